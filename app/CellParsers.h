#pragma once
// Parsers of the cell-information answers of today's LTE and 5G modules
// (3GPP +CESQ, Quectel +QENG, SIMCom +CPSI, the newer Cinterion ^SMONI and
// ^SMONP) into the general cells of TNetState, the general cells of the
// design's own module family, and the choice of command family from the
// manufacturer text.
//
// Like the parsers of NetState.h these are pure functions: no I/O, no Qt, no
// errors reported, nothing thrown. A line without the prefix a parser needs
// leaves the record as it was. A field that is missing, is "-" or carries the
// modem's "unknown" value (99, 255, -32768, 65535...) stays empty rather than
// guessed. Identities (area, cell id) are integers, converted from hex where
// the reply prints hex.

#include "NetState.h"

#include <cstdint>
#include <string>

// +CESQ: rxlev,ber,rscp,ecno,rsrq,rsrp[,ss_rsrq,ss_rsrp,ss_sinr] -> the
// serving cell's measures (lower bound of the 3GPP bin: rsrp dBm = idx - 141,
// rsrq dB = idx/2 - 20, rscp dBm = idx - 121, ecno dB = idx/2 - 24.5, rxlev
// dBm = idx - 111, ss_rsrp = idx - 157, ss_rsrq = idx/2 - 43.5, ss_sinr =
// idx/2 - 23.5). LTE measures win over UMTS over GSM; the NR measures go to
// the secondary cell (NR5G-NSA) beside LTE ones, else to the serving cell
// (NR5G-SA). Identity fields already in serving are kept; state.rat is set
// only when it was Unknown.
void parseCesqExec(const std::string &line, TNetState &state);

// One line of the AT+QENG="servingcell" answer (the single-line LTE,
// NR5G-SA, WCDMA and GSM forms, and the "LTE" and "NR5G-NSA" lines of EN-DC)
// -> serving, secondary and rat. True when the line belonged to that answer.
bool parseQengServing(const std::string &line, TNetState &state);

// One line of the AT+QENG="neighbourcell" answer -> appended to
// state.neighbours (at most kMaxNeighbourCells). The WCDMA and GSM lines have
// one layout per serving technology; state.rat (from the servingcell answer
// of the same cycle) picks it. True when the line was a neighbour line.
bool parseQengNeighbour(const std::string &line, TNetState &state);

// +CPSI: <System Mode>,<Operation Mode>,... (GSM, WCDMA, LTE, LTE CAT-M1,
// LTE NB-IOT, NR5G_SA, the NR5G_NSA second line, NO SERVICE) -> serving,
// secondary and rat.
void parseCpsiRead(const std::string &line, TNetState &state);

// ^SMONI: the serving cell of the newer Cinterion modules (2G, 3G and 4G
// forms) -> serving and rat. A searching module leaves the record as it was.
void parseSmoniServing(const std::string &line, TNetState &state);

// One line of the newer Cinterion ^SMONP answer: the headers "2G:", "3G:"
// and "4G:" set section; a data line appends a neighbour of the section's
// technology. Lines before any header (section Unknown) are skipped.
void parseSmonpSection(const std::string &line, TRadioTech &section, TNetState &state);

// The design family's rows as general cells: a valid row 0 becomes the
// serving GSM cell (keeping area and cellId already there) and sets rat to
// GSM; the valid rows 1 to 6 replace the neighbours.
void FillCellsFromRows(TNetState &state);

// The LAC and cell identity (hex columns 6 and 7) of a ^MONI data line ->
// serving area and cellId, creating serving when needed. Nothing else
// changes.
void parseMoniCellIdentity(const std::string &line, TNetState &state);

// The command family a session uses. ThreeGpp and NewerCinterion are only
// reached by falling back when the family's own command answers ERROR.
enum class TModemProfile : std::uint8_t { Design, ThreeGpp, Quectel, SimCom, NewerCinterion };

// The AT+CGMI text -> Quectel ("quectel"), SimCom ("simcom"), else Design;
// case-insensitive, anywhere in the text.
TModemProfile ProfileOfManufacturer(const std::string &manufacturer);

// Whether the maker text names the newer Cinterion family ("cinterion",
// "thales", "gemalto", "siemens"; case-insensitive, anywhere in the text).
bool IsCinterionFamily(const std::string &manufacturer);
