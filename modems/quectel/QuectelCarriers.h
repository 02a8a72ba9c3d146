#pragma once
// Quectel: the component carriers of AT+QCAINFO.

#include "NetState.h"

#include <string>

// One line of the AT+QCAINFO answer -> appended to state.carriers (at most
// kMaxCarriers). The layouts are told by the role word and the number of
// fields (the band word tells LTE from NR):
//   "PCC",<freq>,<bw>,"LTE BAND n",<state>,<pci>,<rsrp>,<rsrq>,<rssi>,<sinr>
//   "SCC",<freq>,<bw>,"LTE BAND n",<state>,<pci>,<rsrp>,<rsrq>,<rssi>,<sinr>[,<ul cfg>,<ul bw>,<ul freq>]
//   "PCC"|"SCC",<freq>,<bw>,"NR5G BAND n",<pci>   (NR without levels)
//   "PCC",<freq>,<bw>,"NR5G BAND n",<pci>,<rsrp>,<rsrq>,<rssi>,<sinr>
//   "SCC",<freq>,<bw>,"NR5G BAND n",<state>,<pci>,<ul cfg>,<ul bw>,<ul freq>
// LTE bandwidths are resource blocks, NR ones codes (CarrierFields.h). A
// secondary carrier in state 0 (deconfigured) is no carrier and is left
// out. True when the line was a +QCAINFO line.
bool parseQcainfo(const std::string &line, TNetState &state);
