#include "modems/huawei/HuaweiParsers.h"

#include "modems/common/CellFields.h"

#include <array>

using namespace cellfields;

namespace {

// The GSM band code of ^MONSC and ^MONNC: 0 GSM850, 1 GSM900, 2 DCS1800,
// 3 PCS1900.
std::string HuaweiGsmBand(std::string_view code)
{
    static const std::array<const char *, 4> bands{"850", "900", "1800", "1900"};
    const Int v = DecimalOf(code);
    return v && *v >= 0 && *v < 4 ? bands[static_cast<std::size_t>(*v)] : std::string();
}

// ^MONSC LTE: MCC, MNC, ARFCN, Cell_ID, PCI (hex), TAC, RSRP, RSRQ, RSSI.
TRadioCell HuaweiLteCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Lte, {.mcc = 1, .mnc = 2, .area = 6, .cellId = 4, .channel = 3});
    cell.pci = Int32Of(HexOfKind(f[5], FieldKind::Channel));
    cell.rsrp = LteRsrpDbm(f[7]);
    cell.rsrq = LteRsrqDb(f[8]);
    cell.rssi = PowerDbm(f[9]);
    return cell;
}

// ^MONSC NR: MCC, MNC, ARFCN, SCS, Cell_ID, PCI (hex), TAC, RSRP, RSRQ,
// SINR.
TRadioCell HuaweiNrCell(const TFields &f)
{
    TRadioCell cell =
        CellOfLayout(f, 0, TRadioTech::Nr5gSa, {.mcc = 1, .mnc = 2, .area = 7, .cellId = 5, .channel = 3});
    cell.pci = Int32Of(HexOfKind(f[6], FieldKind::Channel));
    cell.rsrp = NrRsrpDbm(f[8]);
    cell.rsrq = NrRsrqDb(f[9]);
    cell.sinr = NrSinrDb(f[10]);
    return cell;
}

// ^MONSC WCDMA: MCC, MNC, ARFCN, PSC, Cell_ID, LAC, RSCP, RXLEV, EC/N0, ...
TRadioCell HuaweiWcdmaCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Umts,
                                   {.mcc = 1, .mnc = 2, .area = 6, .cellId = 5, .pci = 4, .channel = 3});
    cell.rscp = MeasureIn(f[7], -125, -20);
    cell.rssi = PowerDbm(f[8]);
    cell.ecno = MeasureIn(f[9], -33, 0);
    return cell;
}

// ^MONSC GSM: MCC, MNC, BAND, ARFCN, BSIC, Cell_ID, LAC, RXLEV (dBm), ...
TRadioCell HuaweiGsmCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Gsm,
                                   {.mcc = 1, .mnc = 2, .area = 7, .cellId = 6, .pci = 5, .channel = 4});
    cell.band = HuaweiGsmBand(f[3]);
    cell.rssi = PowerDbm(f[8]);
    return cell;
}

} // namespace

// ---------------------------------------------------------------- Huawei ^MONSC / ^MONNC

void parseMonscServing(const std::string &line, TNetState &state)
{
    // ^MONSC: LTE,460,01,1650,A5C933,1F3,183D,-98,-5,-72
    //         MCC, MNC, EARFCN, cell (hex), PCI (hex), TAC, RSRP, RSRQ, RSSI
    // ^MONSC: NR,460,01,1650,1,AB12345678,1F3,1234AB,-80,-10,32
    //         MCC, MNC, ARFCN, SCS, cell, PCI (hex), TAC, RSRP, RSRQ, SINR
    // ^MONSC: WCDMA,460,01,10700,301,5E3F01,1A2B,-85,-70,-6,6,0
    //         MCC, MNC, UARFCN, PSC, cell, LAC, RSCP, RXLEV, EC/N0, ...
    // ^MONSC: GSM,460,01,1,62,24,3C4D,1A2B,-67,,              band code 1 = GSM900
    // ^MONSC: NONE                                           left as it was
    const std::optional<std::string_view> body = BodyAfter(line, "^MONSC:");
    if (!body)
        return;
    const TFields f(*body);
    const std::string rat = Lower(f[0]);
    if (rat == "lte")
        state.serving = HuaweiLteCell(f);
    else if (rat == "nr")
        state.serving = HuaweiNrCell(f);
    else if (rat == "wcdma")
        state.serving = HuaweiWcdmaCell(f);
    else if (rat == "gsm")
        state.serving = HuaweiGsmCell(f);
    else
        return;
    state.rat = state.serving->rat;
}

void parseMonncNeighbour(const std::string &line, TNetState &state)
{
    // ^MONNC: GSM,3,128,9,0,0,-66          BAND, ARFCN, BSIC, cell, LAC, RXLEV
    // ^MONNC: WCDMA,10750,301,-78,-2       ARFCN, PSC, RSCP, EC/N0
    // ^MONNC: LTE,1650,301,-101,-12,-75    EARFCN, PCI (decimal), RSRP, RSRQ, RXLEV
    // ^MONNC: NR,627264,2EB,-90,-11,15     ARFCN, PCI (hex), RSRP, RSRQ, SINR
    // ^MONNC: NONE                         no neighbours
    const std::optional<std::string_view> body = BodyAfter(line, "^MONNC:");
    if (!body)
        return;
    const TFields f(*body);
    const std::string rat = Lower(f[0]);
    TNeighbourCell cell;
    if (rat == "gsm") {
        cell = Neighbour(TRadioTech::Gsm, IntegerOf(f[2]), IntegerOf(f[3]));
        cell.rssi = PowerDbm(f[6]);
    } else if (rat == "wcdma") {
        cell = Neighbour(TRadioTech::Umts, IntegerOf(f[1]), IntegerOf(f[2]));
        cell.rscp = MeasureIn(f[3], -125, -20);
        cell.ecno = MeasureIn(f[4], -33, 0);
    } else if (rat == "lte") {
        cell = Neighbour(TRadioTech::Lte, IntegerOf(f[1]), IntegerOf(f[2]));
        cell.rsrp = LteRsrpDbm(f[3]);
        cell.rsrq = LteRsrqDb(f[4]);
        cell.rssi = PowerDbm(f[5]);
    } else if (rat == "nr") {
        cell = Neighbour(TRadioTech::Nr5gSa, IntegerOf(f[1]), Int32Of(HexOfKind(f[2], FieldKind::Channel)));
        cell.rsrp = NrRsrpDbm(f[3]);
        cell.rsrq = NrRsrqDb(f[4]);
    } else {
        return; // NONE
    }
    AppendNeighbour(state, cell);
}
