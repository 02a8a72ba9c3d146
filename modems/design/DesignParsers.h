#pragma once
// The general cells of the design's own module family, from the rows its
// parsers in NetState.h fill.

#include "NetState.h"

// The design family's rows as general cells: a valid row 0 becomes the
// serving GSM cell (keeping area and cellId already there) and sets rat to
// GSM; the valid rows 1 to 6 replace the neighbours.
void FillCellsFromRows(TNetState &state);

// The LAC and cell identity (hex columns 6 and 7) of a ^MONI data line ->
// serving area and cellId, creating serving when needed. Nothing else
// changes.
void parseMoniCellIdentity(const std::string &line, TNetState &state);

// The general cells in one shape for every family: the design's rows give
// them when no cell command did, and the technology falls back to the
// access technology of +COPS. The session does it once, where a cycle's
// record becomes the display record.
void CompleteGeneralCells(TNetState &state);
