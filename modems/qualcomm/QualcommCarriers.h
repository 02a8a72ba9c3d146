#pragma once
// Qualcomm reference designs: the component carriers of AT^CA_INFO?.

#include "NetState.h"

#include <string>

// Where an AT^CA_INFO? answer stands between its lines.
struct TCaInfoReading {
    // A line of another kind came after the carrier lines: what follows is
    // no longer the LTE list this parser knows.
    bool otherSection = false;
};

// One line of the AT^CA_INFO? answer -> state.carriers. The lines, as a
// public capture shows them:
//   "PCC info: Band is LTE_B7, Band_width is 20.0 MHz"
//   "SCC1 info: Band is LTE_B3, Band_width is 10.0 MHz"
// The primary carrier takes the serving LTE cell's channel, PCI and levels
// when that cell is on the same band (AT^DEBUG? answers first in a cycle);
// a secondary carrier has its band and bandwidth only. A band word other
// than LTE_B<n> leaves band and technology unknown. True when the line was
// a carrier line.
bool parseCaInfoLine(const std::string &line, TCaInfoReading &reading, TNetState &state);
