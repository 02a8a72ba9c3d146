#pragma once
// Altair ALT1250 (Murata Type 1SC and Type 1SE, Sony's LTE-M/NB-IoT modules
// and others built on it): AT%MEAS="8" and AT%PCONI.

#include "NetState.h"

#include <string>

// "%MEAS: Signal Quality: RSRP = <dBm>, RSRQ = <dB>, SINR = <dB>, RSSI =
// <dBm>" (one reference writes it without the blanks around "=") -> the
// serving cell's levels; "N/A" is unknown. The identity stays as AT%PCONI
// or an earlier line left it.
void parseMeasLine(const std::string &line, TNetState &state);

// One line of the AT%PCONI answer, "<label>: <value>" lines without a
// prefix (a public capture: "duplexing mode: TDD", "Transmission mode: Open
// loop MIMO", "Bandwidth: 3", "EARFCN: 38000", "Global Cell ID: 00002E01",
// "Physical Cell ID: 11") -> the serving cell's channel, cell id (hex) and
// PCI. Labels are compared without case; the others are skipped.
void parsePconiLine(const std::string &line, TNetState &state);
