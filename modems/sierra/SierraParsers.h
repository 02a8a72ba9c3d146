#pragma once
// Sierra Wireless: the AT!GSTATUS? report.

#include "NetState.h"

// One line of the Sierra Wireless AT!GSTATUS? report, read by its labels
// ("System mode:", "LTE band:", "LTE Rx chan:", "PCC RxM RSSI:" with the
// "RSRP (dBm):" beside it, "RSRQ (dB):", "SINR (dB):", "TAC:", "Cell ID:",
// and the "NR5G ..." labels of the 5G modules) -> serving, secondary and
// rat. Labels it does not know are skipped, wherever they stand.
void parseGstatusLine(const std::string &line, TNetState &state);
