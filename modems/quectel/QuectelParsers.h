#pragma once
// Quectel: the servingcell and neighbourcell answers of AT+QENG.

#include "NetState.h"

// One line of the AT+QENG="servingcell" answer (the single-line LTE,
// NR5G-SA, WCDMA and GSM forms, and the "LTE" and "NR5G-NSA" lines of EN-DC)
// -> serving, secondary and rat. True when the line belonged to that answer.
bool parseQengServing(const std::string &line, TNetState &state);

// One line of the AT+QENG="neighbourcell" answer -> appended to
// state.neighbours (at most kMaxNeighbourCells). The WCDMA and GSM lines have
// one layout per serving technology; state.rat (from the servingcell answer
// of the same cycle) picks it. True when the line was a neighbour line.
bool parseQengNeighbour(const std::string &line, TNetState &state);
