#pragma once
// Parsers of the cell-information answers of today's LTE and 5G modules
// (3GPP +CESQ, Quectel +QENG, SIMCom +CPSI, the newer Cinterion ^SMONI and
// ^SMONP, Huawei ^MONSC and ^MONNC, u-blox +UCGED, Telit #RFSTS, Sierra
// Wireless !GSTATUS, Fibocom +GTCCINFO) into the general cells of TNetState, the general cells of the
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
#include <optional>
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

// ^MONSC: the Huawei serving cell (GSM, WCDMA, LTE and NR forms) -> serving
// and rat. "^MONSC: NONE" leaves the record as it was. Identities are hex
// (the PCI too), ARFCNs decimal, measures dBm and dB; a measure outside the
// range the firmware documents (NR prints -1256, -348, -188 for invalid)
// stays unknown.
void parseMonscServing(const std::string &line, TNetState &state);

// One ^MONNC line (a Huawei neighbour cell: GSM, WCDMA, LTE or NR) ->
// appended to the neighbours. "^MONNC: NONE" appends nothing.
void parseMonncNeighbour(const std::string &line, TNetState &state);

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

// #RFSTS: the Telit serving cell (GSM, WCDMA with its active-set
// neighbours, LTE in the LE910 V2, LE910Cx and LM960 layouts) -> serving,
// neighbours and rat. The layout is told by where the IMSI (14 or 15
// digits) stands; a line without one is left alone. The LTE SINR reads as
// dB when negative, or within -20..40 in the V2 layout; the other layouts'
// positive values are an index of unpublished scale and stay unknown.
void parseRfstsServing(const std::string &line, TNetState &state);

// One line of the Sierra Wireless AT!GSTATUS? report, read by its labels
// ("System mode:", "LTE band:", "LTE Rx chan:", "PCC RxM RSSI:" with the
// "RSRP (dBm):" beside it, "RSRQ (dB):", "SINR (dB):", "TAC:", "Cell ID:",
// and the "NR5G ..." labels of the 5G modules) -> serving, secondary and
// rat. Labels it does not know are skipped, wherever they stand.
void parseGstatusLine(const std::string &line, TNetState &state);

// One line of the Fibocom AT+GTCCINFO? answer: a serving row
// (IsServiceCell 1) -> serving (a second one, NR beside LTE, -> secondary);
// a neighbour row (2) -> appended to the neighbours. LTE RSRP and RSRQ are
// 3GPP indices, the RSSNR dB; the measures of WCDMA rows and NR RSRP/RSRQ
// (scale not published) stay unknown.
void parseGtccinfoLine(const std::string &line, TNetState &state);

// The command family a session uses. ThreeGpp and NewerCinterion are only
// reached by falling back when the family's own command answers ERROR. New
// families go at the end, so that a stored value keeps its meaning.
enum class TModemProfile : std::uint8_t {
    Design,
    ThreeGpp,
    Quectel,
    SimCom,
    NewerCinterion,
    Huawei,
    UBlox,
    Telit,
    Sierra,
    Fibocom,
};

// The AT+CGMI text -> Quectel ("quectel"), SimCom ("simcom"), Huawei
// ("huawei"), UBlox ("u-blox"), Telit ("telit"), Sierra ("sierra"), Fibocom
// ("fibocom"), else Design; case-insensitive, anywhere in the text.
TModemProfile ProfileOfManufacturer(const std::string &manufacturer);

// Whether the maker text names the newer Cinterion family ("cinterion",
// "thales", "gemalto", "siemens"; case-insensitive, anywhere in the text).
bool IsCinterionFamily(const std::string &manufacturer);
