#include "CellParsers.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

namespace {

using Int = std::optional<std::int64_t>;
using Number = std::optional<double>;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool StartsWith(std::string_view s, std::string_view head) { return s.substr(0, head.size()) == head; }

// The comma-separated fields of an answer. Commas inside double quotes stay
// in their field; each field is trimmed and loses its quotes. A field past
// the end reads as empty, so missing trailing fields are simply unknown.
class TFields {
public:
    explicit TFields(std::string_view body)
    {
        std::string field;
        bool quoted = false;
        for (const char c : body) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                Push(field);
            else
                field += c;
        }
        Push(field);
    }
    const std::string &operator[](std::size_t i) const { return i < m_fields.size() ? m_fields[i] : m_empty; }
    std::size_t size() const { return m_fields.size(); }

private:
    void Push(std::string &field)
    {
        m_fields.emplace_back(Trimmed(field));
        field.clear();
    }
    std::vector<std::string> m_fields;
    std::string m_empty;
};

// The text after "<prefix>" (blanks after the colon optional), or nothing
// when the trimmed line does not start with it.
std::optional<std::string_view> BodyAfter(const std::string &line, std::string_view prefix)
{
    const std::string_view s = Trimmed(line);
    if (!StartsWith(s, prefix))
        return std::nullopt;
    return Trimmed(s.substr(prefix.size()));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "[+-]digits" within 18 digits; anything else (a dash, an empty field,
// trailing text) is unknown.
Int DecimalOf(std::string_view t)
{
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
        if (!t.empty() && t.front() == '-')
            return std::nullopt; // "+-5"
    }
    const std::size_t digits = t.size() - ((!t.empty() && t.front() == '-') ? 1 : 0);
    if (digits == 0 || digits > 18)
        return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 10);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

// Hex digits, with or without "0x", at most 15 of them (60 bits: the 36-bit
// NR cell identity fits with room to spare).
Int HexOf(std::string_view t)
{
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        t.remove_prefix(2);
    if (t.empty() || t.size() > 15 || t.front() == '-')
        return std::nullopt;
    std::int64_t v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 16);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

// A cell identity: decimal unless the field says "0x" (some firmware prints
// it either way); never negative.
Int DecimalOrPrefixedHex(std::string_view t)
{
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X'))
        return HexOf(t);
    const Int v = DecimalOf(t);
    if (!v || *v < 0)
        return std::nullopt;
    return v;
}

// "[+-]digits[.digits]", as in "-7.5"; no exponents, no "inf".
Number NumberOf(std::string_view t)
{
    std::size_t i = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    const std::size_t start = i;
    while (i < t.size() && IsDigit(t[i]))
        ++i;
    const std::size_t whole = i - start;
    std::size_t fraction = 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) {
            ++i;
            ++fraction;
        }
        if (fraction == 0)
            return std::nullopt;
    }
    if (whole == 0 || whole > 15 || fraction > 6 || i != t.size())
        return std::nullopt;
    if (t[0] == '+')
        t.remove_prefix(1);
    double v = 0;
    const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || ptr != t.data() + t.size())
        return std::nullopt;
    return v;
}

std::optional<std::int32_t> Int32Of(const Int &v)
{
    if (!v || *v < INT32_MIN || *v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

// A number in a field of a Quectel or SIMCom reply: "-", -32768 and 65535
// (the "no measurement" fillers) are unknown.
Number MeasureOf(std::string_view t)
{
    const Number v = NumberOf(t);
    if (!v || *v == -32768 || *v == 65535)
        return std::nullopt;
    return v;
}

// An identity or channel field (MCC, MNC, PCI, ARFCN, band number): never
// negative, and 65535 is the "not available" filler.
std::optional<std::int32_t> IntegerOf(std::string_view t)
{
    const Int v = DecimalOf(t);
    if (!v || *v < 0 || *v == 65535)
        return std::nullopt;
    return Int32Of(v);
}

// A 3GPP index within 0..max -> offset + index * step; the unknown markers
// (99, 255) and anything out of range give nothing.
Number IndexValue(std::string_view t, int max, double step, double offset)
{
    const Int idx = DecimalOf(t);
    if (!idx || *idx < 0 || *idx > max)
        return std::nullopt;
    return static_cast<double>(*idx) * step + offset;
}

// A GSM received level: dBm when negative (what the modems print in
// practice), else the 0..63 RXLEV index (dBm = index - 111).
Number RxLevelDbm(std::string_view t)
{
    const Int v = DecimalOf(t);
    if (!v || *v < -120 || *v > 63)
        return std::nullopt;
    return *v < 0 ? static_cast<double>(*v) : static_cast<double>(*v) - 111.0;
}

std::string BandNamed(const char *letter, const std::optional<std::int32_t> &number)
{
    if (!number || *number <= 0)
        return {};
    return letter + std::to_string(*number);
}

// The number after "BAND" in "EUTRAN-BAND3" or "NR5G_BAND78".
std::optional<std::int32_t> NumberAfterBand(const std::string &text)
{
    const std::size_t at = Lower(text).find("band");
    if (at == std::string::npos)
        return std::nullopt;
    return Int32Of(DecimalOf(Trimmed(std::string_view(text).substr(at + 4))));
}

// GSM band of an ARFCN; pcs tells the 512..810 channels are PCS 1900 rather
// than DCS 1800. Empty for a channel of no GSM band.
std::string GsmBand(std::int32_t arfcn, bool pcs)
{
    if ((arfcn >= 0 && arfcn <= 124) || (arfcn >= 955 && arfcn <= 1023))
        return "900";
    if (arfcn >= 128 && arfcn <= 251)
        return "850";
    if (arfcn >= 512 && arfcn <= 810 && pcs)
        return "1900";
    if (arfcn >= 512 && arfcn <= 885)
        return "1800";
    return {};
}

// A row keeps whatever number the design's parser read; a negative one is
// no MCC, MNC or channel.
std::optional<std::int32_t> NonNegative(std::int32_t v)
{
    if (v < 0)
        return std::nullopt;
    return v;
}

std::string DesignBand(std::int32_t arfcn)
{
    const std::string band = BandOfChannel(arfcn);
    return band == "?" ? std::string() : band;
}

// BSIC = NCC * 8 + BCC, each 0..7.
std::optional<std::int32_t> BsicOf(std::string_view ncc, std::string_view bcc)
{
    const Int n = DecimalOf(ncc);
    const Int b = DecimalOf(bcc);
    if (!n || !b || *n < 0 || *n > 7 || *b < 0 || *b > 7)
        return std::nullopt;
    return static_cast<std::int32_t>(*n * 8 + *b);
}

// The LTE anchor of an EN-DC connection must not hide the NR leg, whichever
// of the two lines comes first.
void SetAnchorRat(TNetState &state, TRadioTech rat)
{
    if (state.rat != TRadioTech::Nr5gNsa)
        state.rat = rat;
}

// An NR leg whose every measure and identity is unknown is no leg at all
// (a modem prints such a line while the NR carrier is not added).
bool HasNrLeg(const TRadioCell &cell)
{
    return cell.pci || cell.channel || cell.rsrp || cell.rsrq || cell.sinr;
}

void SetSecondaryLeg(TNetState &state, const TRadioCell &leg)
{
    if (!HasNrLeg(leg))
        return;
    state.secondary = leg;
    state.rat = TRadioTech::Nr5gNsa;
}

void AppendNeighbour(TNetState &state, const TNeighbourCell &cell)
{
    if (state.neighbours.size() < kMaxNeighbourCells)
        state.neighbours.push_back(cell);
}

// ---------------------------------------------------------------- Quectel

// The technology word of a Quectel servingcell line; Unknown for words this
// parser does not read (TDSCDMA, CDMA, HDR...).
TRadioTech QuectelTech(const std::string &word)
{
    const std::string w = Lower(word);
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

// Where each field of a reply stands, counted from the technology word;
// kNone where the layout has no such field. Identity fields are decimal
// except area and cellId (hex); measures are plain numbers.
constexpr int kNone = -1;
struct TLayout {
    int mcc = kNone;
    int mnc = kNone;
    int area = kNone;
    int cellId = kNone;
    int pci = kNone;
    int channel = kNone;
    int band = kNone;           // a band number, printed as bandPrefix + number
    const char *bandPrefix = ""; // "B" (LTE) or "n" (NR)
    int rssi = kNone;
    int rsrp = kNone;
    int rsrq = kNone;
    int rscp = kNone;
    int ecno = kNone;
};

TRadioCell CellOfLayout(const TFields &f, std::size_t r, TRadioTech rat, const TLayout &l)
{
    static const std::string none;
    auto at = [&](int column) -> const std::string & { return column == kNone ? none : f[r + column]; };
    TRadioCell cell;
    cell.rat = rat;
    cell.mcc = IntegerOf(at(l.mcc));
    cell.mnc = IntegerOf(at(l.mnc));
    cell.area = HexOf(at(l.area));
    cell.cellId = HexOf(at(l.cellId));
    cell.pci = IntegerOf(at(l.pci));
    cell.channel = IntegerOf(at(l.channel));
    if (l.band != kNone)
        cell.band = BandNamed(l.bandPrefix, IntegerOf(at(l.band)));
    cell.rssi = MeasureOf(at(l.rssi));
    cell.rsrp = MeasureOf(at(l.rsrp));
    cell.rsrq = MeasureOf(at(l.rsrq));
    cell.rscp = MeasureOf(at(l.rscp));
    cell.ecno = MeasureOf(at(l.ecno));
    return cell;
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

// ---------------------------------------------------------------- SIMCom

// "460-11" -> MCC and MNC.
void SetPlmnOf(const std::string &text, TRadioCell &cell)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos)
        return;
    cell.mcc = IntegerOf(std::string_view(text).substr(0, dash));
    cell.mnc = IntegerOf(std::string_view(text).substr(dash + 1));
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

Number InRange(const Number &v, double low, double high)
{
    if (!v || *v < low || *v > high)
        return std::nullopt;
    return v;
}

// ---------------------------------------------------------------- Cinterion

// ^SMONI 2G: ARFCN, BCCH dBm, MCC, MNC, LAC, cell, C1, C2, NCC, BCC, ...
TRadioCell SmoniGsmCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Gsm,
                                   {.mcc = 3, .mnc = 4, .area = 5, .cellId = 6, .channel = 1, .rssi = 2});
    if (cell.channel)
        cell.band = DesignBand(*cell.channel);
    cell.pci = BsicOf(f[9], f[10]);
    return cell;
}

// ^SMONI 3G: UARFCN, PSC, EC/n0, RSCP, MCC, MNC, LAC, cell, ...
TRadioCell SmoniUmtsCell(const TFields &f)
{
    return CellOfLayout(f, 0, TRadioTech::Umts,
                        {.mcc = 5, .mnc = 6, .area = 7, .cellId = 8, .pci = 2, .channel = 1, .rscp = 4, .ecno = 3});
}

// ^SMONI 4G: EARFCN, band, DL bw, UL bw, mode, MCC, MNC, TAC, global cell
// id, PCI, Srxlev, RSRP, RSRQ, state.
TRadioCell SmoniLteCell(const TFields &f)
{
    return CellOfLayout(f, 0, TRadioTech::Lte,
                        {.mcc = 6, .mnc = 7, .area = 8, .cellId = 9, .pci = 10, .channel = 1, .band = 2,
                         .bandPrefix = "B", .rsrp = 12, .rsrq = 13});
}

} // namespace

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
    cell.area = HexOf(f[3]);
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

// ---------------------------------------------------------------- ^SMONI / ^SMONP

void parseSmoniServing(const std::string &line, TNetState &state)
{
    // ^SMONI: 2G,990,-75,262,03,0139,02C9,28,28,3,0,G,0,-104,NOCONN
    //         ARFCN, BCCH dBm, MCC, MNC, LAC, cell, C1, C2, NCC, BCC (BSIC 24)
    // ^SMONI: 3G,10737,131,-7.5,-103,260,01,7D3D,C80BC9A,21,11,NOCONN
    //         UARFCN, PSC, EC/n0, RSCP, MCC, MNC, LAC, cell
    // ^SMONI: 4G,6300,20,10,10,FDD,262,02,BF75,0345103,350,33,-94,-7,NOCONN
    //         EARFCN, band, DL/UL bw, mode, MCC, MNC, TAC, cell, PCI, Srxlev, RSRP, RSRQ
    // ^SMONI: 4G,SEARCH | ^SMONI: 2G,SEARCH,SEARCH              left as it was
    // Dedicated-mode "-"/"--" columns stay unknown.
    const std::optional<std::string_view> body = BodyAfter(line, "^SMONI:");
    if (!body)
        return;
    const TFields f(*body);
    if (f[1] == "SEARCH")
        return;
    if (f[0] == "2G")
        state.serving = SmoniGsmCell(f);
    else if (f[0] == "3G")
        state.serving = SmoniUmtsCell(f);
    else if (f[0] == "4G")
        state.serving = SmoniLteCell(f);
    else
        return;
    state.rat = state.serving->rat;
}

void parseSmonpSection(const std::string &line, TRadioTech &section, TNetState &state)
{
    // 2G:                                        section headers
    // 658,51,-60,262,07,7,4,46,46,4EED,08B8,0,0  2G: ARFCN, rs, dBm, MCC, MNC, NCC, BCC, ...
    // 10737,131,-7.5,-103,21,11                  3G: UARFCN, PSC, EC/n0, RSCP[, SQual, SRxLev]
    // 6300,-10,-95,30,350                        4G: EARFCN, RSRQ, RSRP, Srxlev, PCID, ...
    // -----,---,-----,----                       empty section: nothing appended
    // 4G: 6300,-10,-95,30,350                    a header with data after it: both
    const std::string_view s = Trimmed(line);
    std::string_view data = s;
    static const std::array<std::pair<std::string_view, TRadioTech>, 3> headers{{
        {"2G:", TRadioTech::Gsm}, {"3G:", TRadioTech::Umts}, {"4G:", TRadioTech::Lte},
    }};
    for (const auto &[header, tech] : headers) {
        if (StartsWith(s, header)) {
            section = tech;
            data = Trimmed(s.substr(header.size()));
        }
    }
    if (data.empty())
        return;
    const TFields f(data);
    TNeighbourCell cell;
    cell.rat = section;
    cell.channel = IntegerOf(f[0]);
    if (!cell.channel)
        return; // dashes, "OK", an echo...
    switch (section) {
    case TRadioTech::Gsm:
        cell.rssi = MeasureOf(f[2]);
        cell.pci = BsicOf(f[5], f[6]);
        break;
    case TRadioTech::Umts:
        cell.pci = IntegerOf(f[1]);
        cell.ecno = MeasureOf(f[2]);
        cell.rscp = MeasureOf(f[3]);
        break;
    case TRadioTech::Lte:
        cell.rsrq = MeasureOf(f[1]);
        cell.rsrp = MeasureOf(f[2]);
        cell.pci = IntegerOf(f[4]);
        break;
    default:
        return; // before any header
    }
    AppendNeighbour(state, cell);
}

// ---------------------------------------------------------------- the design's family

void FillCellsFromRows(TNetState &state)
{
    const TCellRow &row0 = state.cells[0];
    if (row0.valid) {
        TRadioCell cell;
        cell.rat = TRadioTech::Gsm;
        cell.mcc = NonNegative(row0.mcc);
        cell.mnc = NonNegative(row0.mnc);
        cell.channel = NonNegative(row0.channel);
        cell.band = DesignBand(row0.channel);
        cell.rssi = row0.dbm;
        if (state.serving) {
            cell.area = state.serving->area;
            cell.cellId = state.serving->cellId;
        }
        state.serving = cell;
        state.rat = TRadioTech::Gsm;
    }
    state.neighbours.clear();
    for (int i = 1; i < kNetStateCellCount; ++i) {
        const TCellRow &row = state.cells[i];
        if (!row.valid)
            continue;
        TNeighbourCell cell;
        cell.rat = TRadioTech::Gsm;
        cell.channel = NonNegative(row.channel);
        cell.rssi = row.dbm;
        state.neighbours.push_back(cell);
    }
}

void parseMoniCellIdentity(const std::string &line, TNetState &state)
{
    // chann rs  dBm   MCC  MNC  LAC  cell NCC BCC PWR RXLev  C1
    //  1011 29  -79   262  02   0084 4A3E 7   7   33  -105   26 | No connection
    //         -> area 0x0084, cell id 0x4A3E
    //   10 21  -80   ---  --   ---- ---- ...   not registered: nothing
    // A line whose first column is not a channel number (a header, "Searching")
    // is left alone.
    std::vector<std::string_view> columns;
    std::string_view s = Trimmed(line);
    while (!s.empty() && columns.size() < 7) {
        const std::size_t end = s.find_first_of(" \t");
        columns.push_back(s.substr(0, end));
        s = end == std::string_view::npos ? std::string_view() : Trimmed(s.substr(end));
    }
    if (columns.size() < 7 || !DecimalOf(columns[0]))
        return;
    const Int area = HexOf(columns[5]);
    const Int cellId = HexOf(columns[6]);
    if (!area && !cellId)
        return;
    if (!state.serving)
        state.serving = TRadioCell{};
    if (area)
        state.serving->area = area;
    if (cellId)
        state.serving->cellId = cellId;
}

// ---------------------------------------------------------------- identification

TModemProfile ProfileOfManufacturer(const std::string &manufacturer)
{
    // "Quectel" -> Quectel; "SIMCOM INCORPORATED" -> SIMCom; "Cinterion",
    // "QUALCOMM INCORPORATED", "" -> the design's own commands.
    const std::string maker = Lower(manufacturer);
    if (maker.find("quectel") != std::string::npos)
        return TModemProfile::Quectel;
    if (maker.find("simcom") != std::string::npos)
        return TModemProfile::SimCom;
    return TModemProfile::Design;
}

bool IsCinterionFamily(const std::string &manufacturer)
{
    const std::string maker = Lower(manufacturer);
    for (const char *name : {"cinterion", "thales", "gemalto", "siemens"})
        if (maker.find(name) != std::string::npos)
            return true;
    return false;
}
