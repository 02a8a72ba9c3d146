#pragma once
// Huawei: ^MONSC and ^MONNC.

#include "NetState.h"

// ^MONSC: the Huawei serving cell (GSM, WCDMA, LTE and NR forms) -> serving
// and rat. "^MONSC: NONE" leaves the record as it was. Identities are hex
// (the PCI too), ARFCNs decimal, measures dBm and dB; a measure outside the
// range the firmware documents (NR prints -1256, -348, -188 for invalid)
// stays unknown.
void parseMonscServing(const std::string &line, TNetState &state);

// One ^MONNC line (a Huawei neighbour cell: GSM, WCDMA, LTE or NR) ->
// appended to the neighbours. "^MONNC: NONE" appends nothing.
void parseMonncNeighbour(const std::string &line, TNetState &state);
