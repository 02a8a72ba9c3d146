#pragma once
// The networks a modem finds when asked AT+COPS=? (a scan that takes up to
// three minutes): each with its state, its long and short name, its
// numeric code and the access technology it was seen on.

#include "modems/NetState.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ScannedOperator {
    // 0 unknown, 1 available, 2 current, 3 forbidden (27.007's <stat>).
    int status = 0;
    std::string longName;
    std::string shortName;
    std::string code; // MCC and MNC digits
    // The <AcT> field, -1 when the modem left it out.
    int accessTechnology = -1;

    bool operator==(const ScannedOperator &) const = default;
};

// "unknown", "available", "current" or "forbidden".
const char *OperatorStatusWord(int status);

// The networks of one +COPS=? answer line:
//   +COPS: (2,"Vodafone CZ","VF CZ","23003",7),(1,"T-Mobile CZ",,"23001"),,(0-4),(0-2)
// Names may hold commas and parentheses inside their quotes; the lists of
// modes and formats after the double comma are no networks. An answer with
// no network ("+COPS: ,,(0-4),(0-2)") gives an empty list; a line that is
// no such answer (the read answer "+COPS: 0,0,\"...\"") nothing.
std::optional<std::vector<ScannedOperator>> ParseOperatorScan(std::string_view line);

// Whether line is a +COPS=? answer line (a list, not the read answer).
bool IsOperatorScanLine(std::string_view line);

// How a scan ended.
enum class ScanOutcome : std::uint8_t {
    Done,      // the modem answered OK
    Refused,   // ERROR or +CME ERROR; reason holds the line
    TimedOut,  // no final result code within the scan's time-out
    Cancelled, // the user cancelled it
    PortLost,  // the port went away or was changed
};

struct OperatorScanResult {
    ScanOutcome outcome = ScanOutcome::Done;
    std::vector<ScannedOperator> operators;
    std::string reason; // the modem's error line, for Refused
};

// The outcome in the user's words: "3 networks found", "the modem refused
// the scan: +CME ERROR: 30", "no answer within 180 s", ...
std::string ScanOutcomeText(const OperatorScanResult &result, int timeoutSeconds);
