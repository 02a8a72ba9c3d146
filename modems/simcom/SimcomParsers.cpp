#include "modems/simcom/SimcomParsers.h"

#include "modems/common/CellFields.h"

#include <array>

using namespace cellfields;

namespace {

// ---------------------------------------------------------------- SIMCom

// "460-11" -> MCC and MNC.
void SetPlmnOf(const std::string &text, TRadioCell &cell)
{
    if (text.find('-') != std::string::npos)
        SetPlmn(cell, PlmnOfText(text));
}

// The scale of a SIMCom LTE/NR measure block, told by its RSRP: most modules
// print tenths (-850 for -85.0 dBm), the Cat-M/NB ones plain dBm, older
// firmware 3GPP-like indices (positive), which stay unknown.
std::optional<double> SimcomScale(const Number &rsrp)
{
    if (!rsrp)
        return std::nullopt;
    if (*rsrp <= -300 && *rsrp >= -1600)
        return 10.0;
    if (*rsrp >= -160 && *rsrp < 0)
        return 1.0;
    return std::nullopt;
}

Number Scaled(const Number &v, const std::optional<double> &scale)
{
    if (!v || !scale)
        return std::nullopt;
    return *v / *scale;
}

// The NR fields of +CPSI from first on: PCellID, band ("NR5G_BAND78"),
// ARFCN, RSRP, RSRQ, SNR, all three measures on the scale their RSRP tells.
void SimcomNrFields(const TFields &f, std::size_t first, TRadioCell &cell)
{
    cell.pci = IntegerOf(f[first]);
    cell.band = BandNamed("n", NumberAfterBand(f[first + 1]));
    cell.channel = IntegerOf(f[first + 2]);
    const Number rsrp = MeasureOf(f[first + 3]);
    const std::optional<double> scale = SimcomScale(rsrp);
    cell.rsrp = Scaled(rsrp, scale);
    cell.rsrq = Scaled(MeasureOf(f[first + 4]), scale);
    cell.sinr = Scaled(MeasureOf(f[first + 5]), scale);
}

// "WCDMA IMT 2000" and friends -> "B1"...; a text naming none stays empty.
std::string UmtsBandOfText(const std::string &text)
{
    if (const std::optional<std::int32_t> n = NumberAfterBand(text))
        return BandNamed("B", n);
    const std::string t = Lower(text);
    static const std::array<std::pair<const char *, const char *>, 7> names{{
        {"imt 2000", "B1"}, {"2100", "B1"}, {"1900", "B2"}, {"1800", "B3"},
        {"1700", "B4"},     {"850", "B5"},  {"900", "B8"},
    }};
    for (const auto &[name, band] : names)
        if (t.find(name) != std::string::npos)
            return band;
    return {};
}

// The GSM band inside the ARFCN field: the last word of "1002 EGSM 900",
// "600 PCS 1900".
std::string GsmBandOfText(const std::string &text)
{
    const std::size_t blank = text.rfind(' ');
    if (blank == std::string::npos)
        return {};
    const std::string word = text.substr(blank + 1);
    for (const char *band : {"850", "900", "1800", "1900"})
        if (word == band)
            return word;
    return {};
}

} // namespace

// ---------------------------------------------------------------- +CPSI

void parseCpsiRead(const std::string &line, TNetState &state)
{
    // +CPSI: NO SERVICE,Online                                  left as it was
    // +CPSI: GSM,Online,262-01,0x1A2B,15437,62 EGSM 900,-67,0,40-38
    //        MCC-MNC, LAC, cell id (decimal), ARFCN with band text, RxLev
    // +CPSI: WCDMA,Online,262-01,0x1A2B,6160129,WCDMA IMT 2000,251,10763,0,-6.5,-85,30,-70
    //        MCC-MNC, LAC, cell id, band, PSC, UARFCN, SSC, EC/IO, RSCP, ...
    // +CPSI: LTE,Online,460-11,0x5A1E,187214780,257,EUTRAN-BAND3,1850,5,5,-94,-850,-545,15
    //        TAC, ECI, PCI, band, EARFCN, dl/ul bw, RSRQ, RSRP, RSSI (tenths), RSSNR dB
    // +CPSI: LTE CAT-M1,Online,262-01,0x1A2B,26385153,311,EUTRAN-BAND20,6300,3,3,-10,-95,-70,8
    //        the Cat-M/NB modules print plain dB and dBm
    // +CPSI: NR5G_SA,Online,242-12,0x765D,4955280,0,NR5G_BAND78,640704,-740,-110,240
    // +CPSI: NR5G_NSA,644,NR5G_BAND78,627264,-960,-120,95         the NR leg (tenths)
    // "GSM-LIMITED", "LTE-LIMITED"... (limited service) read like the plain mode.
    const std::optional<std::string_view> body = BodyAfter(line, "+CPSI:");
    if (!body)
        return;
    const TFields f(*body);
    std::string mode = Lower(f[0]);
    if (const std::size_t limited = mode.find("-limited"); limited != std::string::npos)
        mode.erase(limited);

    TRadioCell cell;
    if (mode == "nr5g_nsa") {
        cell.rat = TRadioTech::Nr5gNsa;
        SimcomNrFields(f, 1, cell);
        SetSecondaryLeg(state, cell);
        return;
    }
    SetPlmnOf(f[2], cell);
    cell.area = AreaOf(f[3]);
    cell.cellId = DecimalOrPrefixedHex(f[4]);
    if (mode == "gsm") {
        cell.rat = TRadioTech::Gsm;
        cell.channel = IntegerOf(f[5].substr(0, f[5].find(' ')));
        cell.band = GsmBandOfText(f[5]);
        cell.rssi = RxLevelDbm(f[6]);
    } else if (mode == "wcdma") {
        cell.rat = TRadioTech::Umts;
        cell.band = UmtsBandOfText(f[5]);
        cell.pci = IntegerOf(f[6]);
        cell.channel = IntegerOf(f[7]);
        // Plain dB and dBm only; index-like values of older firmware stay
        // unknown.
        cell.ecno = InRange(MeasureOf(f[9]), -30, 0);
        cell.rscp = InRange(MeasureOf(f[10]), -125, -20);
    } else if (mode == "lte" || mode == "lte cat-m1" || mode == "lte nb-iot") {
        cell.rat = mode == "lte" ? TRadioTech::Lte : (mode == "lte cat-m1" ? TRadioTech::LteM : TRadioTech::NbIot);
        cell.pci = IntegerOf(f[5]);
        cell.band = BandNamed("B", NumberAfterBand(f[6]));
        cell.channel = IntegerOf(f[7]);
        const Number rsrp = MeasureOf(f[11]);
        const std::optional<double> scale = SimcomScale(rsrp);
        cell.rsrq = Scaled(MeasureOf(f[10]), scale);
        cell.rsrp = Scaled(rsrp, scale);
        cell.rssi = Scaled(MeasureOf(f[12]), scale);
        cell.sinr = MeasureOf(f[13]);
    } else if (mode == "nr5g_sa" || mode == "nr5g") {
        cell.rat = TRadioTech::Nr5gSa;
        SimcomNrFields(f, 5, cell);
    } else {
        return; // NO SERVICE, TDS, CDMA...
    }
    state.serving = cell;
    if (cell.rat == TRadioTech::Lte)
        SetAnchorRat(state, cell.rat);
    else
        state.rat = cell.rat;
}
