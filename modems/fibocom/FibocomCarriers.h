#pragma once
// Fibocom: the component carriers of AT+GTCAINFO?.

#include "NetState.h"

#include <string>

// One line of the AT+GTCAINFO? answer -> appended to state.carriers (at
// most kMaxCarriers). The answer is a bare "+GTCAINFO:" line (the first
// carrier may follow it on the same line), then one line per carrier:
//   PCC:<band code>,<pci>,<channel>,<dl bw>,...,<rsrp>
//   SCC <n>:<state>,<ul ca>,<band code>,<pci>,<channel>,<dl bw>,...,<rsrp>
// ("SCC<n>:" without the blank too). Band codes are 100 + the LTE band and
// 5000 + the NR band; the LTE bandwidth is in resource blocks; the RSRP
// (dBm) is the last field of a full line. The NR bandwidth and the fields
// between have no settled reading and stay unknown. A secondary carrier in
// state 0 (deconfigured) is left out. True when the line was one of the
// answer's.
bool parseGtcainfoLine(const std::string &line, TNetState &state);
