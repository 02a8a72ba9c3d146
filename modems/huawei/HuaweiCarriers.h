#pragma once
// Huawei: the component carriers of AT^LCACELL?.

#include "NetState.h"

#include <string>

// The AT^LCACELL? answer, one quoted "<cell> <ul cfg> <dl cfg> <active>"
// per LTE cell (cell 0 the primary, the others secondary; 1 configured or
// active, 0 not) -> state.carriers: when a secondary cell has its downlink
// configured, the primary carrier (with the serving LTE cell's band,
// channel, PCI and levels: it is that cell) and each such secondary one,
// whose band, channel and levels the answer does not give. No carrier when
// none is configured. True when the line was the answer's.
bool parseLcacell(const std::string &line, TNetState &state);
