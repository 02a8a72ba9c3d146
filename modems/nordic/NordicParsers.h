#pragma once
// Nordic nRF91 (nRF9160, nRF9151 and the modules built on them): the
// AT%XMONITOR answer.

#include "NetState.h"

#include <string>

// %XMONITOR: <reg_status>[,<full_name>,<short_name>,<plmn>,<tac>,<AcT>,
// <band>,<cell_id>,<phys_cell_id>,<EARFCN>,<rsrp>,<snr>,...] -> the serving
// cell, when registered (status 1 or 5). PLMN as one text ("52501"), TAC and
// cell id in hex; AcT 7 E-UTRAN (LTE-M on these modems), 9 NB-IoT. RSRP is
// the 0..97 index (dBm = idx - 141, lower bound of the bin; 255 unknown),
// SNR the 0..49 index (dB = idx - 25; 127 unknown).
void parseXmonitorLine(const std::string &line, TNetState &state);
