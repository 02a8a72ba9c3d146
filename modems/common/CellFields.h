#pragma once
// The field helpers every family's cell parsers share: the fields of an
// answer, numbers and identities out of them (unknown markers stay empty),
// band names, and the ways a cell enters the general cells of TNetState.

#include "NetState.h"
#include "modems/common/NoValue.h"
#include "RynUtils.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cellfields {

using Int = std::optional<std::int64_t>;
using Number = std::optional<double>;

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
        m_fields.emplace_back(TrimmedControl(field));
        field.clear();
    }
    std::vector<std::string> m_fields;
    std::string m_empty;
};

// The text after "<prefix>" (blanks after the colon optional), or nothing
// when the trimmed line does not start with it.
std::optional<std::string_view> BodyAfter(const std::string &line, std::string_view prefix);

// "[+-]digits" within 18 digits; anything else (a dash, an empty field,
// trailing text) is unknown.
Int DecimalOf(std::string_view t);

// Hex digits, with or without "0x", at most 15 of them (60 bits: the 36-bit
// NR cell identity fits with room to spare).
Int HexOf(std::string_view t);

// A cell identity: decimal unless the field says "0x" (some firmware prints
// it either way); never negative.
Int DecimalOrPrefixedHex(std::string_view t);

// "[+-]digits[.digits]", as in "-7.5"; no exponents, no "inf".
Number NumberOf(std::string_view t);

std::optional<std::int32_t> Int32Of(const Int &v);

// A measure as printed (dBm or dB); the level markers of IsNoValue are
// unknown.
Number MeasureOf(std::string_view t);

// A decimal identity or channel field (PCI, ARFCN, band number): never
// negative, and the channel markers of IsNoValue are unknown.
std::optional<std::int32_t> IntegerOf(std::string_view t);

// A hex field of that kind (area, cell id, or a PCI printed in hex), with
// or without "0x"; its markers are unknown.
Int HexOfKind(std::string_view t, FieldKind kind);
inline Int AreaOf(std::string_view t) { return HexOfKind(t, FieldKind::Area); }
inline Int CellIdOf(std::string_view t) { return HexOfKind(t, FieldKind::CellId); }

// A field that one model prints in decimal and another in "0x" hex (an
// identity or channel of that kind); its markers are unknown.
Int DecimalOrHexOfKind(std::string_view t, FieldKind kind);

// MCC and MNC into the cell, both or neither (see PlmnOf).
void SetPlmn(TRadioCell &cell, const std::pair<std::optional<int>, std::optional<int>> &plmn);

// A 3GPP index within 0..max -> offset + index * step; the index markers
// (-1, 99, 255) and anything out of range give nothing.
Number IndexValue(std::string_view t, int max, double step, double offset);

// A GSM received level: dBm when negative (what the modems print in
// practice), else the 0..63 RXLEV index (dBm = index - 111).
Number RxLevelDbm(std::string_view t);

std::string BandNamed(const char *letter, const std::optional<std::int32_t> &number);

// The number after "BAND" in "EUTRAN-BAND3" or "NR5G_BAND78".
std::optional<std::int32_t> NumberAfterBand(const std::string &text);

// GSM band of an ARFCN; pcs tells the 512..810 channels are PCS 1900 rather
// than DCS 1800. Empty for a channel of no GSM band.
std::string GsmBand(std::int32_t arfcn, bool pcs);

// A row keeps whatever number the design's parser read; a negative one is
// no MCC, MNC or channel.
std::optional<std::int32_t> NonNegative(std::int32_t v);

std::string DesignBand(std::int32_t arfcn);

// BSIC = NCC * 8 + BCC, each 0..7.
std::optional<std::int32_t> BsicOf(std::string_view ncc, std::string_view bcc);

// The LTE anchor of an EN-DC connection must not hide the NR leg, whichever
// of the two lines comes first.
void SetAnchorRat(TNetState &state, TRadioTech rat);

// Whether an NR leg has a measure or identity of its own (a modem prints
// a line of unknowns while the NR carrier is configured but not measured).
bool HasNrLeg(const TRadioCell &cell);

// The NR leg of an EN-DC connection: the connection is NR5G-NSA as soon
// as the modem prints the leg; the leg itself is kept only when it has
// something of its own.
void SetSecondaryLeg(TNetState &state, const TRadioCell &leg);

void AppendNeighbour(TNetState &state, const TNeighbourCell &cell);

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

TRadioCell CellOfLayout(const TFields &f, std::size_t r, TRadioTech rat, const TLayout &l);

Number InRange(const Number &v, double low, double high);

// A hex identity of which all digits are F (FFFF, 00FFFFFFF) is the
// "unknown" filler of u-blox and Fibocom.
Int HexIdentityOf(std::string_view t);

TNeighbourCell Neighbour(TRadioTech rat, std::optional<std::int32_t> channel, std::optional<std::int32_t> pci);

TRadioCell LteCellAt(std::optional<std::int32_t> pci, std::optional<std::int32_t> channel);

// A decimal identity field where "ff"/"fff" and the other hex fillers stay
// unknown too.
std::optional<std::int32_t> DecimalIdentityOf(std::string_view t);

// A measure within the range its firmware documents; the invalid markers
// lie outside it.
Number MeasureIn(std::string_view t, double low, double high);

// LTE RSRP -140..-44 dBm and RSRQ -20..-3 dB as printed directly.
Number LteRsrpDbm(std::string_view t);
Number LteRsrqDb(std::string_view t);
// NR SS-RSRP -156..-31 dBm, SS-RSRQ -43..20 dB, SS-SINR -23..40 dB.
Number NrRsrpDbm(std::string_view t);
Number NrRsrqDb(std::string_view t);
Number NrSinrDb(std::string_view t);
// Received power of a whole carrier or a GSM level in dBm.
Number PowerDbm(std::string_view t);

} // namespace cellfields
