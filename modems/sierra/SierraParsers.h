#pragma once
// Sierra Wireless: the AT!GSTATUS? report.

#include "NetState.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One line of the Sierra Wireless AT!GSTATUS? report, read by its labels
// ("System mode:", "LTE band:", "LTE Rx chan:", "PCC RxM RSSI:" with the
// "RSRP (dBm):" beside it, "RSRQ (dB):", "SINR (dB):", "TAC:", "Cell ID:",
// and the "NR5G ..." labels of the 5G modules) -> serving, secondary and
// rat. Labels it does not know are skipped, wherever they stand.
void parseGstatusLine(const std::string &line, TNetState &state);

// The "Label: value" pairs of one !GSTATUS line, labels in lower case.
std::vector<std::pair<std::string, std::string>> LabelledPairs(std::string_view line);

// The first run of digits in a text: 2 of "B2", 78 of "n78".
std::optional<std::int32_t> DigitsIn(std::string_view text);
