#pragma once
// Qualcomm reference designs sold by Foxconn, Dell and others (T77W968,
// T99W175, DW5821e, MV31-W): the AT^DEBUG? engineering report.

#include "NetState.h"

#include <string>

// Where a ^DEBUG answer stands between its lines.
struct TDebugReading {
    TRadioTech rat = TRadioTech::Unknown; // the technology of the "RAT:" line
    bool secondaryCarrier = false;        // after "scell:": not the serving cell
};

// One line of the AT^DEBUG? answer, in either of its two forms:
//  - "key:value" pairs (T99W175, T77W968 later firmware): "RAT:LTE+NR",
//    "mcc:222,mnc:88", "lte_cell_id:80389889", "pcell: lte_band:3 ...",
//    "channel:1650 pci:28", "lte_rsrp:-84.1dBm,rsrq:-13.6dB", "nr_band:n78"...
//  - "LABEL: value" lines (DW5821e): "EARFCN(DL/UL): 1300/19300", "BAND: 3",
//    "PLMN: 452 02", "eNB ID(PCI): 112819-3(16)", "RSRP: -88.3dBm ...".
// The LTE cell serves (with the NR leg as secondary in "LTE+NR"); in NR
// standalone the NR cell serves. Secondary carriers ("scell:") are skipped.
// Identities are decimal.
void parseDebugLine(const std::string &line, TDebugReading &reading, TNetState &state);
