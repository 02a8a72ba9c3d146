#pragma once
// The parts of a cell identity: an LTE E-UTRAN cell identity (28 bits) is
// the eNB id and the sector (its low 8 bits); an NR cell identity (36 bits)
// is the gNB id (its high 22 to 32 bits, as the operator chose) and the cell
// within that gNB. Pure functions, no Qt.

#include "modems/NetState.h"

#include <cstdint>
#include <optional>

// The gNB id length: 3GPP TS 38.413 allows 22 to 32 bits; operators differ,
// and 24 is the most common choice.
inline constexpr int kMinGnbIdBits = 22;
inline constexpr int kMaxGnbIdBits = 32;
inline constexpr int kDefaultGnbIdBits = 24;

struct TCellParts {
    std::optional<std::int64_t> enbId;
    std::optional<std::int32_t> sector;
    std::optional<std::int64_t> gnbId;
    std::optional<std::int64_t> nrCell;

    bool operator==(const TCellParts &) const = default;
};

// cellId / 256 and cellId mod 256; empty for a value outside 0 .. 2^28 - 1.
std::optional<std::int64_t> LteEnbId(std::int64_t cellId);
std::optional<std::int32_t> LteSector(std::int64_t cellId);

// The high gnbIdBits bits of a 36-bit NR cell identity, and the rest; empty
// for a value outside 0 .. 2^36 - 1 or a length outside 22 .. 32.
std::optional<std::int64_t> NrGnbId(std::int64_t cellId, int gnbIdBits);
std::optional<std::int64_t> NrCellOfGnb(std::int64_t cellId, int gnbIdBits);

// The parts of a cell's identity by its technology: eNB id and sector for
// LTE, LTE-M and NB-IoT, gNB id and cell for NR; all empty for other
// technologies or an unknown identity.
TCellParts CellPartsOf(const TRadioCell &cell, int gnbIdBits = kDefaultGnbIdBits);
