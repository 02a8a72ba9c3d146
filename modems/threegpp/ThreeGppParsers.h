#pragma once
// The 3GPP cell measures (+CESQ) that any LTE or 5G module answers: the
// fallback of every family whose own command answers ERROR.

#include "NetState.h"

// +CESQ: rxlev,ber,rscp,ecno,rsrq,rsrp[,ss_rsrq,ss_rsrp,ss_sinr] -> the
// serving cell's measures (lower bound of the 3GPP bin: rsrp dBm = idx - 141,
// rsrq dB = idx/2 - 20, rscp dBm = idx - 121, ecno dB = idx/2 - 24.5, rxlev
// dBm = idx - 111, ss_rsrp = idx - 157, ss_rsrq = idx/2 - 43.5, ss_sinr =
// idx/2 - 23.5). LTE measures win over UMTS over GSM; the NR measures go to
// the secondary cell (NR5G-NSA) beside LTE ones, else to the serving cell
// (NR5G-SA). Identity fields already in serving are kept; state.rat is set
// only when it was Unknown.
void parseCesqExec(const std::string &line, TNetState &state);
