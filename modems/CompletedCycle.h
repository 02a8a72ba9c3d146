#pragma once
// What a completed poll cycle hands down to whoever records it: the cycle's
// number, the modem's identity, the display record with its general cells
// finished, and the raw rssi and ber of +CSQ. Everything a record needs travels in
// the event; nothing below the session asks the session back. The modem's
// identity and SIM state travel with every cycle.

#include "modems/ModemIdentity.h"
#include "modems/NetState.h"
#include "modems/common/GnssFix.h"

#include <cstdint>
#include <optional>
#include <string>

struct CompletedCycle {
    std::uint64_t cycle = 0;
    const std::string &manufacturer;
    const std::string &model;
    // The display record; valid during the event only.
    const TNetState &record;
    // The rssi of the +CSQ answer (99: unknown), when one came.
    std::optional<std::int32_t> csqRssi;
    // The ber of that answer (99: unknown).
    std::optional<std::int32_t> csqBer;
    // What the modem said about itself and its SIM at the connection's start.
    const ModemIdentity &identity;
    // The position the modem's GNSS gave in this cycle (--gps modem).
    std::optional<TGnssFix> position = std::nullopt;
};
