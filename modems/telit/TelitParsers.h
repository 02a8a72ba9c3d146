#pragma once
// Telit: the #RFSTS answer.

#include "NetState.h"

// #RFSTS: the Telit serving cell (GSM, WCDMA with its active-set
// neighbours, LTE in the LE910 V2, LE910Cx and LM960 layouts) -> serving,
// neighbours and rat. The layout is told by where the IMSI (14 or 15
// digits) stands; a line without one is left alone. The LTE SINR reads as
// dB when negative, or within -20..40 in the V2 layout; the other layouts'
// positive values are an index of unpublished scale and stay unknown.
void parseRfstsServing(const std::string &line, TNetState &state);
