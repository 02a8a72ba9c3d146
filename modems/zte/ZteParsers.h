#pragma once
// ZTE platforms (ZTE modules and those built on them): the AT+ZCELLINFO?
// answer, in its three layouts.

#include "NetState.h"

#include <string>

// +ZCELLINFO: the serving cell's identity, band and channel (no levels):
//   "<cell id>, <PCI>, LTE B3, <EARFCN>"                    decimal
//   "0X<TAC>,0X<cell id>,0X<PCI>,LTE B3,<EARFCN>"            hex
//   "0X<LAC>,0X<cell id>,PGSM_900"                           GSM
//   "tac:<TAC>,cellid:<cell id>,pci:<PCI>,band:<band>"       labelled
// The layout is told by where the band word stands (the only field of
// letters), not by what the other fields hold.
void parseZcellinfoLine(const std::string &line, TNetState &state);
