#pragma once
// The valid range of every number of a measurement record, in one table.
//
// A modem may send a number no field can hold: a sentinel such as
// 2147483647 for "not measured", a level of +214748364 dBm, a channel of
// a billion. Parsers read what the text says; the session then makes every
// value outside its field's range unknown before the record is shown or
// written, so an impossible number never passes as a measurement.

#include "NetState.h"

#include <cstdint>
#include <span>

enum class TValueKind : std::uint8_t {
    Signal,        // percent of +CSQ
    BitErrorRate,  // +CSQ class
    Registration,  // +CREG stat, -1 for any other
    Activity,      // +CPAS, -1 for any other
    GsmChannel,    // ARFCN of a grid row
    GsmLevel,      // raw level of a grid row
    GsmDbm,        // received level of a grid row
    C1,            // path-loss criterion of a grid row
    Mcc,
    Mnc,
    Area,          // LAC or TAC
    CellId,
    Pci,           // PCI, PSC or BSIC
    Channel,       // ARFCN, UARFCN, EARFCN or NR-ARFCN
    RssiDbm,
    Rsrp,
    Rsrq,
    Sinr,
    Rscp,
    EcNo,
};

struct TValueRange {
    TValueKind kind;
    const char *name;
    double low;  // both ends included
    double high;
};

// The table, one entry per kind in the order of the enum.
std::span<const TValueRange> ValueRanges();
const TValueRange &ValueRangeOf(TValueKind kind);
bool InValueRange(TValueKind kind, double value);

// Makes every value of state outside its range unknown: the field's valid
// flag is cleared, an optional emptied, a grid row with a bad column marked
// invalid (its C1 alone becomes kMissingInteger).
void ClearOutOfRange(TNetState &state);
