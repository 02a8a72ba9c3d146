#pragma once
// SIMCom: the AT+CPSI? answer.

#include "NetState.h"

// +CPSI: <System Mode>,<Operation Mode>,... (GSM, WCDMA, LTE, LTE CAT-M1,
// LTE NB-IOT, NR5G_SA, the NR5G_NSA second line, NO SERVICE) -> serving,
// secondary and rat.
void parseCpsiRead(const std::string &line, TNetState &state);
