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
    // "Quectel" -> Quectel; "SIMCOM INCORPORATED" -> SIMCom; "Huawei
    // Technologies Co., Ltd." -> Huawei; "u-blox" -> UBlox; "Telit" -> Telit;
    // "Sierra Wireless, Incorporated" -> Sierra; "Fibocom Wireless Inc." ->
    // Fibocom; "Cinterion", "QUALCOMM INCORPORATED", "" -> the design's own
    // commands.
    static const std::array<std::pair<const char *, TModemProfile>, 7> makers{{
        {"quectel", TModemProfile::Quectel},
        {"simcom", TModemProfile::SimCom},
        {"huawei", TModemProfile::Huawei},
        {"u-blox", TModemProfile::UBlox},
        {"telit", TModemProfile::Telit},
        {"sierra", TModemProfile::Sierra},
        {"fibocom", TModemProfile::Fibocom},
    }};
    const std::string maker = Lower(manufacturer);
    for (const auto &[name, profile] : makers)
        if (maker.find(name) != std::string::npos)
            return profile;
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

// ---------------------------------------------------------------- other makers' helpers

namespace {

// A hex identity of which all digits are F (FFFF, 00FFFFFFF) is the
// "unknown" filler of u-blox and Fibocom.
Int HexIdentityOf(std::string_view t)
{
    const Int v = HexOf(t);
    const std::size_t first = t.find_first_not_of('0');
    if (!v || *v == 0 || (first != std::string_view::npos &&
                          Lower(t.substr(first)).find_first_not_of('f') == std::string::npos))
        return std::nullopt;
    return v;
}

TNeighbourCell Neighbour(TRadioTech rat, std::optional<std::int32_t> channel, std::optional<std::int32_t> pci)
{
    TNeighbourCell cell;
    cell.rat = rat;
    cell.channel = channel;
    cell.pci = pci;
    return cell;
}

TRadioCell LteCellAt(std::optional<std::int32_t> pci, std::optional<std::int32_t> channel)
{
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    cell.pci = pci;
    cell.channel = channel;
    return cell;
}

// A decimal identity field where "ff"/"fff" and the other hex fillers stay
// unknown too.
std::optional<std::int32_t> DecimalIdentityOf(std::string_view t)
{
    const std::optional<std::int32_t> v = IntegerOf(t);
    if (!v || *v == 255)
        return std::nullopt;
    return v;
}

// A measure within the range its firmware documents; the invalid markers
// lie outside it.
Number MeasureIn(std::string_view t, double low, double high) { return InRange(NumberOf(t), low, high); }

// The GSM band code of ^MONSC and ^MONNC: 0 GSM850, 1 GSM900, 2 DCS1800,
// 3 PCS1900.
std::string HuaweiGsmBand(std::string_view code)
{
    static const std::array<const char *, 4> bands{"850", "900", "1800", "1900"};
    const Int v = DecimalOf(code);
    return v && *v >= 0 && *v < 4 ? bands[static_cast<std::size_t>(*v)] : std::string();
}

// LTE RSRP -140..-44 dBm and RSRQ -20..-3 dB as printed directly.
Number LteRsrpDbm(std::string_view t) { return MeasureIn(t, -140, -44); }
Number LteRsrqDb(std::string_view t) { return MeasureIn(t, -20, -3); }
// NR SS-RSRP -156..-31 dBm, SS-RSRQ -43..20 dB, SS-SINR -23..40 dB.
Number NrRsrpDbm(std::string_view t) { return MeasureIn(t, -156, -31); }
Number NrRsrqDb(std::string_view t) { return MeasureIn(t, -43, 20); }
Number NrSinrDb(std::string_view t) { return MeasureIn(t, -23, 40); }
// Received power of a whole carrier or a GSM level in dBm.
Number PowerDbm(std::string_view t) { return MeasureIn(t, -130, 0); }

// ^MONSC LTE: MCC, MNC, ARFCN, Cell_ID, PCI (hex), TAC, RSRP, RSRQ, RSSI.
TRadioCell HuaweiLteCell(const TFields &f)
{
    TRadioCell cell = CellOfLayout(f, 0, TRadioTech::Lte, {.mcc = 1, .mnc = 2, .area = 6, .cellId = 4, .channel = 3});
    cell.pci = Int32Of(HexOf(f[5]));
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
    cell.pci = Int32Of(HexOf(f[6]));
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

// An RSRP printed either as dBm (negative) or as the 3GPP index 0..97
// (dBm = index - 141): the sign tells which. Sets indices when it did.
Number RsrpEitherScale(std::string_view t, std::optional<bool> &indices)
{
    const Number v = NumberOf(t);
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
    const Number v = NumberOf(t);
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

// "286 01" (the Telit PLMN) -> MCC and MNC.
void SetSpacedPlmn(const std::string &text, TRadioCell &cell)
{
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos)
        return;
    cell.mcc = IntegerOf(std::string_view(text).substr(0, blank));
    cell.mnc = IntegerOf(Trimmed(std::string_view(text).substr(blank + 1)));
}

// Where the IMSI (14 or 15 digits) of a #RFSTS line stands: 10 in the GSM
// layout, 11 (LE910Cx) or 12 (LE910 V2, LM960) in LTE ones, 15 in WCDMA;
// 0 when none of them holds one.
std::size_t RfstsImsiAt(const TFields &f)
{
    for (const std::size_t at : {10u, 11u, 12u, 15u}) {
        const std::string &t = f[at];
        if ((t.size() == 14 || t.size() == 15) && std::all_of(t.begin(), t.end(), IsDigit))
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
    cell.cellId = HexOf(f[imsi - 1]);
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

// The "Label: value" pairs of a !GSTATUS line: pieces apart by a TAB or
// by two or more blanks; a piece with a colon starts a pair (its value
// after the colon, or the next piece when nothing follows the colon), a
// piece without one ("Normal Service") belongs to no pair.
std::vector<std::pair<std::string, std::string>> LabelledPairs(std::string_view line)
{
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const bool gap = i == line.size() || line[i] == '\t' ||
                         (line[i] == ' ' && i + 1 < line.size() && line[i + 1] == ' ');
        if (!gap)
            continue;
        if (const std::string_view piece = Trimmed(line.substr(start, i - start)); !piece.empty())
            pieces.push_back(piece);
        start = i + 1;
    }
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::size_t colon = pieces[i].find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string label = Lower(Trimmed(pieces[i].substr(0, colon)));
        std::string_view value = Trimmed(pieces[i].substr(colon + 1));
        if (value.empty() && i + 1 < pieces.size() && pieces[i + 1].find(':') == std::string_view::npos)
            value = pieces[++i];
        pairs.emplace_back(std::move(label), std::string(value));
    }
    return pairs;
}

// The first run of digits in a text: 2 of "B2", 78 of "n78".
std::optional<std::int32_t> DigitsIn(std::string_view text)
{
    const std::size_t first = text.find_first_of("0123456789");
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::size_t end = text.find_first_not_of("0123456789", first);
    return Int32Of(DecimalOf(text.substr(first, end == std::string_view::npos ? end : end - first)));
}

// The technology of the !GSTATUS "System mode:" value.
TRadioTech SierraTech(const std::string &mode)
{
    const std::string m = Lower(mode);
    if (StartsWith(m, "lte"))
        return TRadioTech::Lte;
    if (StartsWith(m, "nr5g") || StartsWith(m, "nr"))
        return TRadioTech::Nr5gSa;
    if (m == "wcdma" || m == "umts" || StartsWith(m, "hspa"))
        return TRadioTech::Umts;
    if (m == "gsm" || m == "edge" || m == "gprs")
        return TRadioTech::Gsm;
    return TRadioTech::Unknown;
}

// "8C65 (35666)" -> the hex before the decimal in parentheses (the two do
// not always agree; the hex is what the firmware prints first).
Int HexBeforeParenthesis(const std::string &value)
{
    return HexOf(Trimmed(std::string_view(value).substr(0, value.find(' '))));
}

// The serving cell of a !GSTATUS report, made on its first label.
TRadioCell &SierraServing(TNetState &state)
{
    if (!state.serving) {
        state.serving = TRadioCell{};
        state.serving->rat = state.rat == TRadioTech::Unknown ? TRadioTech::Lte : state.rat;
    }
    return *state.serving;
}

// One "NR5G ..." pair of a !GSTATUS report: the serving cell in NR
// standalone mode, else the NR leg beside the LTE cell.
void SierraNrPair(const std::string &label, const std::string &value, TNetState &state)
{
    const bool standalone = state.serving && state.serving->rat == TRadioTech::Nr5gSa;
    TRadioCell leg = standalone ? *state.serving : state.secondary.value_or(TRadioCell{});
    leg.rat = standalone ? TRadioTech::Nr5gSa : TRadioTech::Nr5gNsa;
    if (label.find("band") != std::string::npos)
        leg.band = BandNamed("n", DigitsIn(value));
    else if (label.find("rx chan") != std::string::npos)
        leg.channel = IntegerOf(value);
    else if (label.find("rsrp") != std::string::npos)
        leg.rsrp = NrRsrpDbm(value);
    else if (label.find("rsrq") != std::string::npos)
        leg.rsrq = NrRsrqDb(value);
    else if (label.find("sinr") != std::string::npos)
        leg.sinr = NrSinrDb(value);
    if (standalone) {
        state.serving = leg;
    } else if (HasNrLeg(leg) || !leg.band.empty()) {
        state.secondary = leg;
        state.rat = TRadioTech::Nr5gNsa;
    }
}

// The band code of a +GTCCINFO serving row: 100 + the LTE band (103 is B3)
// or 5000 + the NR band (5078 is n78), as seen in captures.
std::string FibocomBand(std::string_view code, TRadioTech rat)
{
    const std::optional<std::int32_t> v = IntegerOf(code);
    if (v && rat == TRadioTech::Lte && *v > 100 && *v < 200)
        return "B" + std::to_string(*v - 100);
    if (v && rat == TRadioTech::Nr5gSa && *v > 5000 && *v < 6000)
        return "n" + std::to_string(*v - 5000);
    return {};
}

TRadioTech FibocomTech(std::string_view code)
{
    const Int v = DecimalOf(code);
    if (v == 2)
        return TRadioTech::Umts;
    if (v == 4)
        return TRadioTech::Lte;
    if (v == 9)
        return TRadioTech::Nr5gSa;
    return TRadioTech::Unknown;
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
        cell = Neighbour(TRadioTech::Nr5gSa, IntegerOf(f[1]), Int32Of(HexOf(f[2])));
        cell.rsrp = NrRsrpDbm(f[3]);
        cell.rsrq = NrRsrqDb(f[4]);
    } else {
        return; // NONE
    }
    AppendNeighbour(state, cell);
}

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
    const TFields f(Trimmed(line));
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

// ---------------------------------------------------------------- Sierra Wireless !GSTATUS

void parseGstatusLine(const std::string &line, TNetState &state)
{
    // System mode:   LTE        	PS state:    Attached
    // LTE band:      B2     		LTE bw:      20 MHz
    // LTE Rx chan:   800		LTE Tx chan: 18800
    // PCC RxM RSSI:  -45		RSRP (dBm):  -81           the RSRP beside the main antenna's RSSI
    // PCC RxD RSSI:  -44		RSRP (dBm):  -79           diversity and secondary carriers: skipped
    // Tx Power:      15		TAC:         8C65 (35666)
    // RSRQ (dB):     -14.0		Cell ID:     0A14666A (169106666)
    // SINR (dB):     23.8
    // NR5G band:     n78		NR5G RSRP (dBm): -85       "---" while there is no NR leg
    const auto pairs = LabelledPairs(line);
    const std::string first = pairs.empty() ? std::string() : pairs.front().first;
    for (const auto &[label, value] : pairs) {
        if (label == "system mode") {
            const TRadioTech tech = SierraTech(value);
            if (tech == TRadioTech::Unknown)
                continue;
            SierraServing(state).rat = tech;
            if (tech == TRadioTech::Lte)
                SetAnchorRat(state, tech);
            else
                state.rat = tech;
        } else if (StartsWith(label, "nr5g")) {
            SierraNrPair(label, value, state);
        } else if (label == "lte band") {
            SierraServing(state).band = BandNamed("B", DigitsIn(value));
        } else if (label == "lte rx chan") {
            SierraServing(state).channel = IntegerOf(value);
        } else if (label == "pcc rxm rssi") {
            SierraServing(state).rssi = PowerDbm(value);
        } else if (label == "pcc rxm rsrp" || (label == "rsrp (dbm)" && first == "pcc rxm rssi")) {
            SierraServing(state).rsrp = LteRsrpDbm(value);
        } else if (label == "rsrq (db)") {
            SierraServing(state).rsrq = LteRsrqDb(value);
        } else if (label == "sinr (db)") {
            SierraServing(state).sinr = MeasureIn(value, -20, 40);
        } else if (label == "tac") {
            SierraServing(state).area = HexBeforeParenthesis(value);
        } else if (label == "cell id") {
            SierraServing(state).cellId = HexBeforeParenthesis(value);
        }
    }
    if (state.serving && state.rat == TRadioTech::Unknown)
        state.rat = state.serving->rat;
}

// ---------------------------------------------------------------- Fibocom +GTCCINFO

void parseGtccinfoLine(const std::string &line, TNetState &state)
{
    // +GTCCINFO:                                         header
    // 1,4,262,2,1A2B,0012345AB,100,42,,,-7,29,29,4       serving: IsServiceCell, rat, MCC, MNC, TAC, cell,
    //                                                    EARFCN, PCI, band, bandwidth, RSSNR, rxlev, RSRP idx, RSRQ idx
    // 2,4,,,FFFF,00FFFFFFF,9460,71,,43,43,10             neighbour: ..., EARFCN, PCI, bandwidth, rxlev, RSRP, RSRQ
    // rat 2 WCDMA, 4 LTE, 9 NR; FFFF and 00FFFFFFF are "unknown".
    const TFields f(Trimmed(line));
    const Int kind = DecimalOf(f[0]);
    const TRadioTech rat = FibocomTech(f[1]);
    const bool serving = kind == 1 && f.size() >= 14;
    if (rat == TRadioTech::Unknown || !(serving || (kind == 2 && f.size() >= 12)))
        return;
    const std::size_t m = serving ? 12 : 10; // RSRP, then RSRQ
    const bool lte = rat == TRadioTech::Lte;
    const Number rsrp = lte ? IndexValue(f[m], 97, 1.0, -141.0) : std::nullopt;
    const Number rsrq = lte ? IndexValue(f[m + 1], 34, 0.5, -20.0) : std::nullopt;
    if (!serving) {
        TNeighbourCell n = Neighbour(rat, IntegerOf(f[6]), IntegerOf(f[7]));
        n.rsrp = rsrp;
        n.rsrq = rsrq;
        AppendNeighbour(state, n);
        return;
    }
    TRadioCell cell = CellOfLayout(f, 0, rat, {.mcc = 2, .mnc = 3, .pci = 7, .channel = 6});
    cell.area = HexIdentityOf(f[4]);
    cell.cellId = HexIdentityOf(f[5]);
    cell.band = FibocomBand(f[8], rat);
    cell.rsrp = rsrp;
    cell.rsrq = rsrq;
    if (rat != TRadioTech::Umts)
        cell.sinr = MeasureIn(f[10], -20, 40);
    // NR beside an LTE serving row is the EN-DC leg, whichever comes first.
    if (rat == TRadioTech::Nr5gSa && state.serving && state.serving->rat == TRadioTech::Lte) {
        cell.rat = TRadioTech::Nr5gNsa;
        state.secondary = cell;
        state.rat = TRadioTech::Nr5gNsa;
        return;
    }
    if (lte && state.serving && state.serving->rat == TRadioTech::Nr5gSa) {
        state.secondary = *state.serving;
        state.secondary->rat = TRadioTech::Nr5gNsa;
        state.serving = cell;
        state.rat = TRadioTech::Nr5gNsa;
        return;
    }
    state.serving = cell;
    SetAnchorRat(state, rat);
}
