#pragma once
// The newer Cinterion modules: ^SMONI and the sectioned ^SMONP.

#include "NetState.h"

// ^SMONI: the serving cell of the newer Cinterion modules (2G, 3G and 4G
// forms) -> serving and rat. A searching module leaves the record as it was.
void parseSmoniServing(const std::string &line, TNetState &state);

// One line of the newer Cinterion ^SMONP answer: the headers "2G:", "3G:"
// and "4G:" set section; a data line appends a neighbour of the section's
// technology. Lines before any header (section Unknown) are skipped.
void parseSmonpSection(const std::string &line, TRadioTech &section, TNetState &state);
