#pragma once
// Sequans Monarch (GM01Q, GM02S, Walter, Pycom and other Monarch modules):
// the AT+SQNMONI=9 answer.

#include "NetState.h"

#include <string>

// "+SQNMONI: <network name> Cc:<MCC> Nc:<MNC> RSRP:<dBm> [CINR:<dB>]
// RSRQ:<dB> TAC:<tac> Id:<PCI> EARFCN:<n> PWR:<RSSI dBm> PAGING:<cycle>
// [CID:<0x cell id> BAND:<n> BW:<kHz>]" -> the serving LTE cell. Read by
// its labels (the name may hold blanks and digits); the TAC is decimal
// unless it has hex letters or "0x".
void parseSqnmoniLine(const std::string &line, TNetState &state);
