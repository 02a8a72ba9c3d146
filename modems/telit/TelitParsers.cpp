#include "modems/telit/TelitParsers.h"

#include "modems/common/CellFields.h"

#include <algorithm>

using namespace cellfields;

namespace {

// "286 01" (the Telit PLMN) -> MCC and MNC.
void SetSpacedPlmn(const std::string &text, TRadioCell &cell)
{
    if (text.find(' ') != std::string::npos)
        SetPlmn(cell, PlmnOfText(text));
}

// Where the IMSI (14 or 15 digits) of a #RFSTS line stands: 10 in the GSM
// layout, 11 (LE910Cx) or 12 (LE910 V2, LM960) in LTE ones, 15 in WCDMA;
// 0 when none of them holds one. Users redact the IMSI before they share
// a reply, so digits masked by x, X, * or # count as the IMSI too.
std::size_t RfstsImsiAt(const TFields &f)
{
    const auto imsiLike = [](char c) { return IsDigit(c) || c == 'x' || c == 'X' || c == '*' || c == '#'; };
    for (const std::size_t at : {10u, 11u, 12u, 15u}) {
        const std::string &t = f[at];
        if ((t.size() == 14 || t.size() == 15) && std::all_of(t.begin(), t.end(), imsiLike))
            return at;
    }
    return 0;
}

// #RFSTS LTE: PLMN, EARFCN, RSRP, RSSI, RSRQ, TAC, ..., CID (before the
// IMSI), IMSI, NetNameAsc, SD, ABND, then T3402, T3412, SINR (V2) or SINR
// (Cx) or nothing (LM960).
TRadioCell TelitLteCell(const TFields &f, std::size_t imsi)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Lte, {.area = 5, .channel = 1});
    SetSpacedPlmn(f[0], cell);
    cell.cellId = CellIdOf(f[imsi - 1]);
    cell.band = BandNamed("B", IntegerOf(f[imsi + 3]));
    cell.rsrp = LteRsrpDbm(f[2]);
    cell.rssi = PowerDbm(f[3]);
    cell.rsrq = LteRsrqDb(f[4]);
    const bool v2 = imsi == 12 && f.size() > imsi + 6;
    const Number sinr = MeasureOf(f[v2 ? imsi + 6 : imsi + 4]);
    if (sinr && imsi == 12 && !v2)
        return cell; // LM960: no SINR
    if (sinr && (*sinr < 0 || v2))
        cell.sinr = InRange(sinr, -20, 40);
    return cell;
}

// #RFSTS WCDMA: PLMN, UARFCN, PSC, Ec/Io, RSCP, RSSI, LAC, ..., CID (14),
// IMSI, NetNameAsc, SD, nAST, then nUARFCN, nPSC, nEc/Io per active-set
// cell.
TRadioCell TelitWcdmaCell(const TFields &f, TNetState &state)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Umts, {.area = 6, .cellId = 14, .pci = 2, .channel = 1});
    SetSpacedPlmn(f[0], cell);
    cell.ecno = MeasureIn(f[3], -33, 0);
    cell.rscp = MeasureIn(f[4], -125, -20);
    cell.rssi = PowerDbm(f[5]);
    for (std::size_t i = 19; i + 2 < f.size() && !f[i].empty(); i += 3) {
        TNeighbourCell n = Neighbour(TRadioTech::Umts, IntegerOf(f[i]), IntegerOf(f[i + 1]));
        n.ecno = MeasureIn(f[i + 2], -33, 0);
        AppendNeighbour(state, n);
    }
    return cell;
}

// #RFSTS GSM: PLMN, ARFCN, RSSI, LAC, RAC, TXPWR, MM, RR, NOM, CID, IMSI, ...
TRadioCell TelitGsmCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Gsm, {.area = 3, .cellId = 9, .channel = 1});
    SetSpacedPlmn(f[0], cell);
    if (cell.channel)
        cell.band = GsmBand(*cell.channel, false);
    cell.rssi = PowerDbm(f[2]);
    return cell;
}

} // namespace

// ---------------------------------------------------------------- Telit #RFSTS

void parseRfstsServing(const std::string &line, TNetState &state)
{
    // LTE (V2):  #RFSTS:"286 01",6400,-100,-66,-18,2242,FF,0,128,10,1,859315,"286016339811626","TR TURKCELL",3,20,720,3240,-5
    //            PLMN, EARFCN, RSRP, RSSI, RSRQ, TAC, RAC, TXPWR, DRX, MM, RRC, CID, IMSI, name, SD, ABND, T3402, T3412, SINR
    // LTE (Cx):  no RAC, ends ...,SD,ABND,SINR; LM960 ends ...,SD,ABND
    // WCDMA:     #RFSTS: "262 01",10737,131,-7,-95,-80,1A2B,01,-56,64,19,2,1,0,5E3F01,"262011234567890","Telekom.de",3,2,10737,200,-12
    //            PLMN, UARFCN, PSC, Ec/Io, RSCP, RSSI, LAC, RAC, TXPWR, DRX, MM, RRC, NOM, BLER, CID, IMSI, name, SD, nAST, ...
    // GSM:       #RFSTS: "262 01",62,-70,1A2B,01,0,19,0,1,3C4D,"262011234567890","Telekom.de",3,2
    //            PLMN, ARFCN, RSSI, LAC, RAC, TXPWR, MM, RR, NOM, CID, IMSI, name, SD, ABND
    const std::optional<std::string_view> body = BodyAfter(line, "#RFSTS:");
    if (!body)
        return;
    const TFields f(*body);
    const std::size_t imsi = RfstsImsiAt(f);
    if (imsi == 11 || imsi == 12)
        state.serving = TelitLteCell(f, imsi);
    else if (imsi == 15)
        state.serving = TelitWcdmaCell(f, state);
    else if (imsi == 10)
        state.serving = TelitGsmCell(f);
    else
        return;
    state.rat = state.serving->rat;
}
