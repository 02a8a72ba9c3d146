#include "modems/quectel/QuectelParsers.h"

#include "modems/common/CellFields.h"

using namespace cellfields;

namespace {

// ---------------------------------------------------------------- Quectel

// The technology word of a Quectel servingcell line; Unknown for words this
// parser does not read (TDSCDMA, CDMA, HDR...). The satellite (NTN)
// modules print "NTN NBIoT" for the NB-IoT layout.
TRadioTech QuectelTech(const std::string &word)
{
    std::string w = Lower(word);
    if (StartsWith(w, "ntn"))
        w = TrimmedControl(std::string_view(w).substr(3));
    if (w == "lte")
        return TRadioTech::Lte;
    if (w == "emtc" || w == "cat-m" || w == "cat-m1")
        return TRadioTech::LteM;
    if (w == "nbiot" || w == "nb-iot" || w == "cat-nb" || w == "cat-nb1")
        return TRadioTech::NbIot;
    if (w == "nr5g-sa")
        return TRadioTech::Nr5gSa;
    if (w == "nr5g-nsa")
        return TRadioTech::Nr5gNsa;
    if (w == "wcdma")
        return TRadioTech::Umts;
    if (w == "gsm")
        return TRadioTech::Gsm;
    return TRadioTech::Unknown;
}


// NR SINR in dB, -23..40; a value outside (one early firmware printed
// tenths) stays unknown.
Number NrSinr(std::string_view t)
{
    const Number v = MeasureOf(t);
    if (!v || *v < -23 || *v > 40)
        return std::nullopt;
    return v;
}

// The LTE layout from the technology word at r:
//   r+1 is_tdd, MCC, MNC, cellID (hex), PCID, earfcn, band, UL bw, DL bw,
//   TAC (hex), RSRP, RSRQ, RSSI, SINR (r+14), then either CQI, tx_power,
//   srxlev (RG50x/RM5xx, 18 fields from r) or srxlev alone (EC2x, 16).
// The SINR scale follows the layout: the RG50x/RM5xx notes give
// dB = 2 * X - 20, the EC2x manual plain dB. A line of neither length
// cannot tell, so its SINR stays unknown.
TRadioCell QuectelLteCell(const TFields &f, std::size_t r, TRadioTech rat)
{
    TRadioCell cell = CellOfLayout(f, r, rat,
                                   {.mcc = 2, .mnc = 3, .area = 10, .cellId = 4, .pci = 5, .channel = 6, .band = 7,
                                    .bandPrefix = "B", .rssi = 13, .rsrp = 11, .rsrq = 12});
    const Number sinr = MeasureOf(f[r + 14]);
    const std::size_t count = f.size() - r;
    if (sinr && count >= 18)
        cell.sinr = 2.0 * *sinr - 20.0;
    else if (sinr && count == 16)
        cell.sinr = sinr;
    return cell;
}

// r+1 duplex, MCC, MNC, cellID (hex), PCID, TAC (hex), ARFCN, band, DL bw,
// RSRP, RSRQ, SINR, scs, srxlev.
TRadioCell QuectelNrSaCell(const TFields &f, std::size_t r)
{
    TRadioCell cell = CellOfLayout(f, r, TRadioTech::Nr5gSa,
                                   {.mcc = 2, .mnc = 3, .area = 6, .cellId = 4, .pci = 5, .channel = 7, .band = 8,
                                    .bandPrefix = "n", .rsrp = 10, .rsrq = 11});
    cell.sinr = NrSinr(f[r + 12]);
    return cell;
}

// r+1 MCC, MNC, PCID, RSRP, SINR, RSRQ (SINR before RSRQ here), ARFCN, band,
// DL bw, scs.
TRadioCell QuectelNrNsaCell(const TFields &f, std::size_t r)
{
    TRadioCell cell = CellOfLayout(f, r, TRadioTech::Nr5gNsa,
                                   {.mcc = 1, .mnc = 2, .pci = 3, .channel = 7, .band = 8, .bandPrefix = "n",
                                    .rsrp = 4, .rsrq = 6});
    cell.sinr = NrSinr(f[r + 5]);
    return cell;
}

// r+1 MCC, MNC, LAC (hex), cellID (hex), uarfcn, PSC, RAC, RSCP, ecio, ...
TRadioCell QuectelWcdmaCell(const TFields &f, std::size_t r)
{
    return CellOfLayout(f, r, TRadioTech::Umts,
                        {.mcc = 1, .mnc = 2, .area = 3, .cellId = 4, .pci = 6, .channel = 5, .rscp = 8, .ecno = 9});
}

// r+1 mcc, mnc, LAC (hex), cellID (hex), BSIC, arfcn, band (0 DCS1800,
// 1 PCS1900), rxlev, ...
TRadioCell QuectelGsmCell(const TFields &f, std::size_t r)
{
    TRadioCell cell =
        CellOfLayout(f, r, TRadioTech::Gsm, {.mcc = 1, .mnc = 2, .area = 3, .cellId = 4, .pci = 5, .channel = 6});
    const std::optional<std::int32_t> band = IntegerOf(f[r + 7]);
    if (cell.channel && band && (*band == 0 || *band == 1))
        cell.band = GsmBand(*cell.channel, *band == 1);
    cell.rssi = RxLevelDbm(f[r + 8]);
    return cell;
}

// The Quectel WCDMA neighbour values in tenths (EC2x in WCDMA mode prints
// "dBm x 10"): an RSCP below -130 cannot be plain dBm.
void QuectelWcdmaMeasures(TNeighbourCell &cell, std::string_view rscp, std::string_view ecno)
{
    const Number r = MeasureOf(rscp);
    const Number e = MeasureOf(ecno);
    const double scale = (r && *r < -130) ? 10.0 : 1.0;
    if (r)
        cell.rscp = *r / scale;
    if (e)
        cell.ecno = *e / scale;
}

} // namespace

// ---------------------------------------------------------------- +QENG

bool parseQengServing(const std::string &line, TNetState &state)
{
    // +QENG: "servingcell","SEARCH"                             nothing more
    // +QENG: "servingcell","NOCONN"                             EN-DC header
    // +QENG: "servingcell","NOCONN","LTE","FDD",460,01,5F1EA15,12,1650,3,5,5,DE10,-100,-12,-68,11,0,-32768,27
    //        LTE (RG50x/RM5xx layout: SINR 11 -> 2 dB); EC2x ends at
    //        ...,<RSSI>,<SINR>,<srxlev> with SINR in dB
    // +QENG: "LTE","FDD",460,01,5F1EA15,12,1650,3,5,5,DE10,-99,-12,-67,11,9,230,-
    // +QENG:"NR5G-NSA",460,01,747,-71,33,-11,627264,78,12,1     EN-DC lines
    // +QENG: "servingcell","NOCONN","NR5G-SA","TDD",460,01,19013B004,299,690E0F,633984,78,12,-107,-13,2,1,-
    // +QENG: "servingcell","NOCONN","WCDMA",262,01,1A2B,5E3F01,10763,251,1,-85,-6,...
    // +QENG: "servingcell","NOCONN","GSM",262,01,1A2B,3C4D,24,62,0,-67,...
    // "eMTC", "CAT-M", "NBIoT"... take the LTE layout with their own rat.
    const std::optional<std::string_view> body = BodyAfter(line, "+QENG:");
    if (!body)
        return false;
    const TFields f(*body);
    std::size_t r = 0; // position of the technology word
    if (f[0] == "servingcell")
        r = 2;
    else if (QuectelTech(f[0]) != TRadioTech::Lte && QuectelTech(f[0]) != TRadioTech::Nr5gNsa)
        return false;

    const TRadioTech tech = QuectelTech(f[r]);
    switch (tech) {
    case TRadioTech::Lte:
    case TRadioTech::LteM:
    case TRadioTech::NbIot:
        state.serving = QuectelLteCell(f, r, tech);
        SetAnchorRat(state, tech);
        break;
    case TRadioTech::Nr5gNsa:
        SetSecondaryLeg(state, QuectelNrNsaCell(f, r));
        break;
    case TRadioTech::Nr5gSa:
        state.serving = QuectelNrSaCell(f, r);
        state.rat = tech;
        break;
    case TRadioTech::Umts:
        state.serving = QuectelWcdmaCell(f, r);
        state.rat = tech;
        break;
    case TRadioTech::Gsm:
        state.serving = QuectelGsmCell(f, r);
        state.rat = tech;
        break;
    case TRadioTech::Unknown: // SEARCH, the EN-DC header, TDSCDMA, CDMA...
        break;
    }
    return true;
}

bool parseQengNeighbour(const std::string &line, TNetState &state)
{
    // +QENG: "neighbourcell intra","LTE",38950,276,-3,-88,-65,0,37,7,16,6,44
    // +QENG: "neighbourcell inter","LTE",39148,-,-,-,-,-,37,0,30,7,-,-,-,-
    //        LTE lines: earfcn, PCID, RSRQ, RSRP, RSSI, SINR, ...
    // Serving LTE (or NR, or unknown):
    //   +QENG: "neighbourcell","WCDMA",10763,3,14,2,251,-90,-8,20   uarfcn, prio, thresholds, PSC, RSCP, ecno
    //   +QENG: "neighbourcell","GSM",62,3,10,2,1,0,24,-80,20        arfcn, prio, thresholds,
    //                                                               ncc_permitted, band, bsic, rssi
    // Serving WCDMA:
    //   +QENG: "neighbourcell","WCDMA",10763,8,251,-900,-60,...     uarfcn, srxqual, PSC, RSCP, ecno (x10 on EC2x)
    //   +QENG: "neighbourcell","LTE",1300,42,-95,-11,20             earfcn, PCID, RSRP, RSRQ
    //   +QENG: "neighbourcell","GSM",24,-80,31,5                    BSIC, rssi, rxlev, rank
    // Serving GSM:
    //   +QENG: "neighbourcell","GSM",262,01,1A2B,3C4D,24,62,40,...  mcc, mnc, LAC, cellID, BSIC, arfcn, rxlev
    const std::optional<std::string_view> body = BodyAfter(line, "+QENG:");
    if (!body)
        return false;
    const TFields f(*body);
    if (!StartsWith(f[0], "neighbourcell"))
        return false;

    const bool intraOrInter = f[0] != "neighbourcell";
    const TRadioTech tech = QuectelTech(f[1]);
    TNeighbourCell cell;
    cell.rat = tech;
    if (tech == TRadioTech::Lte && intraOrInter) {
        cell.channel = IntegerOf(f[2]);
        cell.pci = IntegerOf(f[3]);
        cell.rsrq = MeasureOf(f[4]);
        cell.rsrp = MeasureOf(f[5]);
        cell.rssi = MeasureOf(f[6]);
    } else if (tech == TRadioTech::Lte) {
        cell.channel = IntegerOf(f[2]);
        cell.pci = IntegerOf(f[3]);
        cell.rsrp = MeasureOf(f[4]);
        cell.rsrq = MeasureOf(f[5]);
    } else if (tech == TRadioTech::Umts && state.rat == TRadioTech::Umts) {
        cell.channel = IntegerOf(f[2]);
        cell.pci = IntegerOf(f[4]);
        QuectelWcdmaMeasures(cell, f[5], f[6]);
    } else if (tech == TRadioTech::Umts) {
        cell.channel = IntegerOf(f[2]);
        cell.pci = IntegerOf(f[6]);
        QuectelWcdmaMeasures(cell, f[7], f[8]);
    } else if (tech == TRadioTech::Gsm && state.rat == TRadioTech::Umts) {
        cell.pci = IntegerOf(f[2]);
        cell.rssi = MeasureOf(f[3]);
    } else if (tech == TRadioTech::Gsm && state.rat == TRadioTech::Gsm) {
        cell.pci = IntegerOf(f[6]);
        cell.channel = IntegerOf(f[7]);
        cell.rssi = RxLevelDbm(f[8]);
    } else if (tech == TRadioTech::Gsm) {
        cell.channel = IntegerOf(f[2]);
        cell.pci = IntegerOf(f[8]);
        cell.rssi = MeasureOf(f[9]);
    } else {
        return true; // a technology this parser does not read
    }
    AppendNeighbour(state, cell);
    return true;
}
