#pragma once
// Intel XMM (XMM7360/7560 modules: L850-GL, L860-GL, DW5820e): the
// AT+XMCI=1 cell list and the AT+XCESQ? measures.

#include "NetState.h"

#include <string>

// One line of the AT+XMCI=1 answer:
//   +XMCI: <type>,<MCC>,<MNC>,<LAC|TAC>,<CI>,...  type 0/2/4 the GSM, UMTS,
//   LTE serving cell, 1/3/5 their neighbours.
// Identities and channels are printed in "0x" hex by most firmware and in
// decimal by some; either is read. LTE RSRP and RSRQ are 3GPP indices
// (lower bound of the bin), the RSSNR half dB (the same value +XCESQ
// prints). A line broken after a comma is kept in pending and read with
// the next one.
void parseXmciLine(const std::string &line, std::string &pending, TNetState &state);

// +XCESQ: <n>,<rxlev>,<ber>,<rscp>,<ecno>,<rsrq>,<rsrp>,<rssnr>[,...]:
// the serving cell's measures where +XMCI left them unknown (rsrp dBm =
// idx - 141, rsrq dB = idx / 2 - 20, rssnr dB = value / 2; rscp, ecno and
// rxlev as +CESQ); a serving cell of its own when +XMCI gave none.
void parseXcesqLine(const std::string &line, TNetState &state);
