#include "modems/ublox/UbloxParsers.h"

#include "modems/common/CellFields.h"

#include <algorithm>

using namespace cellfields;

namespace {

// An RSRP printed either as dBm (negative) or as the 3GPP index 0..97
// (dBm = index - 141): the sign tells which. Sets indices when it did.
Number RsrpEitherScale(std::string_view t, std::optional<bool> &indices)
{
    const Number v = MeasureOf(t);
    if (v && *v < 0) {
        indices = false;
        return InRange(v, -140, -44);
    }
    const Number index = IndexValue(t, 97, 1.0, -141.0);
    if (index)
        indices = true;
    return index;
}

// An RSRQ on the scale its RSRP told, else by its own sign: dB (negative)
// or the index 0..34 (dB = index / 2 - 20).
Number RsrqEitherScale(std::string_view t, const std::optional<bool> &indices)
{
    const Number v = MeasureOf(t);
    if (!v)
        return std::nullopt;
    const bool index = indices ? *indices : *v >= 0;
    return index ? IndexValue(t, 34, 0.5, -20.0) : InRange(v, -20, -3);
}

// The +UCGED mode 2 LTE line. SARA-R5 and LARA-R6 (20 fields or more):
// EARFCN, Lband, ul_BW, dl_BW, TAC, LcellId, PCID, mTmsi, mmeGrId, mmeCode,
// RSRP, RSRQ, Lsinr, ...; SARA-R422 (14): EARFCN, Lband, ul_BW, dl_BW, TAC,
// P-CID, RSRP, RSRQ, NBMsinr, ... Another length is a layout not known here.
TRadioCell UbloxLteCell(const TFields &f)
{
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    const bool r5 = f.size() >= 20;
    if (!r5 && f.size() != 14)
        return cell;
    cell.channel = IntegerOf(f[0]);
    cell.band = BandNamed("B", DecimalIdentityOf(f[1]));
    cell.area = HexIdentityOf(f[4]);
    cell.cellId = r5 ? HexIdentityOf(f[5]) : std::nullopt;
    cell.pci = DecimalIdentityOf(f[r5 ? 6 : 5]);
    std::optional<bool> indices;
    cell.rsrp = RsrpEitherScale(f[r5 ? 10 : 6], indices);
    cell.rsrq = RsrqEitherScale(f[r5 ? 11 : 7], indices);
    if (r5)
        cell.sinr = MeasureIn(f[12], -20, 40);
    return cell;
}

// The +UCGED mode 2 cell line of the technology the line before named.
// LARA-R6 2G: arfcn, band1900, GcellId, BSIC, Glac, Grac, RxLev, ...;
// 3G: uarfcn, Wband, WcellId, Wlac, Wrac, scrambling_code, ... (its level
// fields have no published scale).
TRadioCell UbloxCell(const TFields &f, const TUcgedReading &reading)
{
    TRadioCell cell;
    if (reading.rat == TRadioTech::Lte) {
        cell = UbloxLteCell(f);
    } else if (reading.rat == TRadioTech::Gsm) {
        cell = CellOfLayout(f, 0, TRadioTech::Gsm, {.area = 4, .cellId = 2, .pci = 3, .channel = 0});
        const std::optional<std::int32_t> pcs = IntegerOf(f[1]);
        if (cell.channel && pcs && *pcs <= 1)
            cell.band = GsmBand(*cell.channel, *pcs == 1);
        cell.rssi = RxLevelDbm(f[6]);
    } else {
        cell = CellOfLayout(f, 0, TRadioTech::Umts, {.area = 3, .cellId = 2, .pci = 5, .channel = 0});
    }
    cell.mcc = reading.mcc;
    cell.mnc = reading.mnc;
    return cell;
}

// The technology code of the +UCGED mode 2 line: 2 GSM, 3 UMTS (LARA-R6),
// 4 (LARA-R6) and 6 (SARA-R4/R5) LTE.
TRadioTech UbloxTech(std::string_view code)
{
    const Int v = DecimalOf(code);
    if (!v)
        return TRadioTech::Unknown;
    switch (*v) {
    case 2: return TRadioTech::Gsm;
    case 3: return TRadioTech::Umts;
    case 4:
    case 6: return TRadioTech::Lte;
    default: return TRadioTech::Unknown;
    }
}

// A +UCGED mode 5 line: "+RSRP:" or "+RSRQ:" then PCI, EARFCN, "value"
// triplets, the serving cell first. RSRP lines make the cells; an RSRQ
// goes to the cell of the same PCI and EARFCN.
void UbloxMode5Line(const TFields &f, bool rsrp, TNetState &state)
{
    for (std::size_t i = 0; i + 2 < f.size(); i += 3) {
        const std::optional<std::int32_t> pci = IntegerOf(f[i]);
        const std::optional<std::int32_t> channel = IntegerOf(f[i + 1]);
        if (!pci || !channel)
            break;
        const Number value = rsrp ? MeasureIn(f[i + 2], -140, -44) : MeasureIn(f[i + 2], -20, -3);
        if (i == 0) {
            if (!state.serving || state.serving->pci != pci || state.serving->channel != channel)
                state.serving = LteCellAt(pci, channel);
            (rsrp ? state.serving->rsrp : state.serving->rsrq) = value;
            state.rat = TRadioTech::Lte;
            continue;
        }
        const auto same = std::find_if(state.neighbours.begin(), state.neighbours.end(), [&](const TNeighbourCell &n) {
            return n.rat == TRadioTech::Lte && n.pci == pci && n.channel == channel;
        });
        if (same != state.neighbours.end()) {
            (rsrp ? same->rsrp : same->rsrq) = value;
            continue;
        }
        TNeighbourCell cell = Neighbour(TRadioTech::Lte, channel, pci);
        (rsrp ? cell.rsrp : cell.rsrq) = value;
        AppendNeighbour(state, cell);
    }
}

} // namespace

// ---------------------------------------------------------------- u-blox +UCGED

void parseUcgedLine(const std::string &line, TUcgedReading &reading, TNetState &state)
{
    // Mode 2 (SARA-R5):
    //   +UCGED: 2
    //   6,4,001,01                          rat, svc, MCC, MNC ("rat,MCC,MNC" on SARA-R4)
    //   2525,5,50,50,e8fe,1a2d001,1,d60814d1,8001,01,28,31,13.75,3,1,10,28,-50,-6,0,255,255,0
    //        EARFCN, band, ul/dl bw, TAC, cell, PCI, ..., RSRP idx 28, RSRQ idx 31, SINR 13.75 dB
    // Mode 5 (SARA-R4):
    //   +RSRP: 476,5110,"-096.50",          PCI, EARFCN, dBm; serving first, then neighbours
    //   +RSRQ: 476,5110,"-20.00",
    if (const std::optional<std::string_view> mode = BodyAfter(line, "+UCGED:")) {
        reading = TUcgedReading{};
        reading.linesToCome = DecimalOf(*mode) == 2 ? 2 : 0;
        return;
    }
    for (const bool rsrp : {true, false}) {
        if (const std::optional<std::string_view> body = BodyAfter(line, rsrp ? "+RSRP:" : "+RSRQ:")) {
            UbloxMode5Line(TFields(*body), rsrp, state);
            return;
        }
    }
    if (reading.linesToCome == 0)
        return;
    const TFields f(TrimmedControl(line));
    if (reading.linesToCome-- == 2) {
        const bool service = f.size() >= 4;
        reading.rat = UbloxTech(f[0]);
        reading.mcc = DecimalIdentityOf(f[service ? 2 : 1]);
        reading.mnc = DecimalIdentityOf(f[service ? 3 : 2]);
        if (reading.rat == TRadioTech::Unknown)
            reading.linesToCome = 0;
        return;
    }
    state.serving = UbloxCell(f, reading);
    state.rat = reading.rat;
}
