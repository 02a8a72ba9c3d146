#pragma once
// The one rule for "no value": the markers modems print in a field when
// they have nothing to report (not camped, not measured, not decoded).
// Every family's parsers read their fields through the helpers of
// CellFields.h, which ask this rule first, so a marker never reaches a
// record as a number.

#include <optional>
#include <string_view>
#include <utility>

namespace cellfields {

// What a field holds, since a marker of one kind is a value of another
// (255 is a fine PCI but no RSRP index; -1 is a fine SINR but no level).
enum class FieldKind {
    Plmn,     // an MCC, an MNC or both in one text ("000", "000 00")
    Area,     // LAC or TAC
    CellId,   // a cell identity
    Channel,  // a PCI, PSC, BSIC, channel or band number
    Level,    // a measure printed in dBm or dB
    Index,    // a 3GPP-style index of a measure (0..97, 0..34...)
};

// Whether text (trimmed, quotes removed) is a "no value" marker for a field
// of that kind:
// - every kind: an empty field, "-", "--", "NA", "N/A", "unknown",
//   "invalid"; 65535, 0x7FFFFFFF and 0xFFFFFFFF, in hex or decimal;
// - a PLMN: only zeros or only F digits, whatever the separator ("000",
//   "000 00", "00000", "FFFFF");
// - an area or cell id: hex of only F digits (FFFF, 0xFFFFFFFF,
//   00FFFFFFF) and -1; an area also FFFE (the deleted TAC);
// - a channel: -1, and hex of only F digits;
// - a level: "-0" (the RSSI of a modem not camped), 255, -255, -256,
//   -32768 and 32767;
// - an index: -1, 99 and 255.
bool IsNoValue(std::string_view text, FieldKind kind);

// An MCC and MNC as their fields print them (one to three digits each);
// both unknown when either is not digits or the MCC is zeros.
std::pair<std::optional<int>, std::optional<int>> PlmnOf(std::string_view mcc, std::string_view mnc);

// One text holding both: "26202", "262 02", "262-02", "262,02" (an MNC of
// two digits in five, of three in six).
std::pair<std::optional<int>, std::optional<int>> PlmnOfText(std::string_view text);

} // namespace cellfields
