#pragma once
// Fibocom: the AT+GTCCINFO? answer.

#include "NetState.h"

// One line of the Fibocom AT+GTCCINFO? answer: a serving row
// (IsServiceCell 1) -> serving (a second one, NR beside LTE, -> secondary);
// a neighbour row (2) -> appended to the neighbours. LTE RSRP and RSRQ are
// 3GPP indices, the RSSNR dB; the measures of WCDMA rows and NR RSRP/RSRQ
// (scale not published) stay unknown.
void parseGtccinfoLine(const std::string &line, TNetState &state);
