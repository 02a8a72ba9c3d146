#pragma once
// u-blox: the AT+UCGED? answer in mode 2 or 5.

#include "NetState.h"

#include <cstdint>
#include <optional>

// Where an AT+UCGED? answer stands: after "+UCGED: 2" the line with the
// technology and PLMN, then the line of that technology's cell.
struct TUcgedReading {
    int linesToCome = 0;
    TRadioTech rat = TRadioTech::Unknown;
    std::optional<std::int32_t> mcc;
    std::optional<std::int32_t> mnc;
};

// One line of the u-blox AT+UCGED? answer in whichever mode the modem is
// set to: mode 2 ("+UCGED: 2", the technology line, the cell line of
// SARA-R5, SARA-R422 or LARA-R6) -> serving and rat; mode 5 ("+RSRP:" and
// "+RSRQ:" lines of PCI, EARFCN, value triplets, serving cell first) ->
// serving, neighbours and rat. RSRP and RSRQ are 3GPP indices on some
// modules and dBm/dB on others: negative values read as dBm/dB, 0..97
// (RSRQ 0..34) as indices.
void parseUcgedLine(const std::string &line, TUcgedReading &reading, TNetState &state);
