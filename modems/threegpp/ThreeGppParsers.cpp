#include "modems/threegpp/ThreeGppParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

// ---------------------------------------------------------------- +CESQ

void parseCesqExec(const std::string &line, TNetState &state)
{
    // +CESQ: 99,99,255,255,20,80            LTE: rsrq -10 dB, rsrp -61 dBm
    // +CESQ: 99,99,95,40,255,255            UMTS: rscp -26 dBm, ecno -4.5 dB
    // +CESQ: 10,6,255,255,255,255           GSM: rssi -101 dBm
    // +CESQ: 99,99,255,255,255,255,71,74,74 NR SA: rsrq -8, rsrp -83, sinr 13.5
    // +CESQ: 17,99,255,255,4,29,75,52,57    LTE plus the NR leg (EN-DC)
    // +CESQ:99,99,255,255,20               truncated: rsrp unknown
    // +CESQ: 99,99,255,255,255,255          nothing known: left as it was
    const std::optional<std::string_view> body = BodyAfter(line, "+CESQ:");
    if (!body)
        return;
    const TFields f(*body);
    const Number rxlev = IndexValue(f[0], 63, 1.0, -111.0);
    const Number rscp = IndexValue(f[2], 96, 1.0, -121.0);
    const Number ecno = IndexValue(f[3], 49, 0.5, -24.5);
    const Number rsrq = IndexValue(f[4], 34, 0.5, -20.0);
    const Number rsrp = IndexValue(f[5], 97, 1.0, -141.0);
    const Number ssRsrq = IndexValue(f[6], 127, 0.5, -43.5);
    const Number ssRsrp = IndexValue(f[7], 126, 1.0, -157.0);
    const Number ssSinr = IndexValue(f[8], 127, 0.5, -23.5);
    const bool lte = rsrp || rsrq;
    const bool nr = ssRsrq || ssRsrp || ssSinr;

    auto cellOf = [](std::optional<TRadioCell> &slot, TRadioTech rat) -> TRadioCell & {
        if (!slot)
            slot = TRadioCell{};
        if (slot->rat == TRadioTech::Unknown)
            slot->rat = rat;
        return *slot;
    };
    auto fillNr = [&](TRadioCell &cell) {
        cell.rsrp = ssRsrp;
        cell.rsrq = ssRsrq;
        cell.sinr = ssSinr;
    };

    TRadioTech rat = TRadioTech::Unknown;
    if (lte) {
        TRadioCell &cell = cellOf(state.serving, TRadioTech::Lte);
        cell.rsrp = rsrp;
        cell.rsrq = rsrq;
        rat = TRadioTech::Lte;
        if (nr) {
            fillNr(cellOf(state.secondary, TRadioTech::Nr5gNsa));
            rat = TRadioTech::Nr5gNsa;
        }
    } else if (nr) {
        fillNr(cellOf(state.serving, TRadioTech::Nr5gSa));
        rat = TRadioTech::Nr5gSa;
    } else if (rscp || ecno) {
        TRadioCell &cell = cellOf(state.serving, TRadioTech::Umts);
        cell.rscp = rscp;
        cell.ecno = ecno;
        rat = TRadioTech::Umts;
    } else if (rxlev) {
        cellOf(state.serving, TRadioTech::Gsm).rssi = rxlev;
        rat = TRadioTech::Gsm;
    }
    if (state.rat == TRadioTech::Unknown)
        state.rat = rat;
}
