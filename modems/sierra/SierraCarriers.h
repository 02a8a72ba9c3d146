#pragma once
// Sierra Wireless: the component carriers of the AT!GSTATUS? report.

#include "NetState.h"

#include <string>

// One line of the AT!GSTATUS? report -> state.carriers. "LTE bw:" opens the
// primary carrier; "LTE CA state:" keeps it when ACTIVE (taking the serving
// cell's band and channel) and clears the list otherwise. The secondary
// carriers come from "LTE Scell band:", "LTE Scell bw:", "LTE Scell chan:"
// and "SCC RxM RSSI:" with the RSRP beside it (the numbered "LTE SCC<n>
// ..." labels of later firmware likewise, n = 1..4); the primary takes
// "PCC RxM RSSI:" with its RSRP, "RSRQ (dB):" and "SINR (dB):". The
// diversity antenna's lines (RxD) are skipped.
void parseGstatusCarriers(const std::string &line, TNetState &state);
