#pragma once
// The measurement record of one poll cycle and the parsers that fill it from
// the modem's answer lines.
//
// Parsers are pure functions from one answer line to the record: no I/O, no
// Qt. They never report errors. A line without the shape a parser needs
// leaves the record as it was; a field that is present but not a number gives
// the parser's default (documented per parser), so the value is still marked
// valid. A number too long to read (beyond 32 bits) makes its field unknown
// (not valid), and never moves the next field into its place. The cutters underneath (CutInteger, CutSpaces) check themselves and
// may throw RynException; the parsers do not catch it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One row of the cell grid: row 0 is the serving cell (or the first
// "AT^SMONP" line), rows 1 to 6 neighbour cells.
struct TCellRow {
    bool valid = false;
    std::int32_t channel = 0; // ARFCN
    std::int32_t rssi = 0;    // the modem's raw level, 0 to 63
    std::int32_t dbm = 0;     // received level in dBm
    std::int32_t c1 = 0;      // path-loss criterion; may be kMissingInteger
    std::int32_t mcc = 0;
    std::int32_t mnc = 0;

    bool operator==(const TCellRow &) const = default;
};

inline constexpr int kNetStateCellCount = 7;

// The radio access technology a cell or a registration is on.
enum class TRadioTech : std::uint8_t { Unknown, Gsm, Umts, Lte, LteM, NbIot, Nr5gNsa, Nr5gSa };

// "GSM", "UMTS", "LTE", "LTE-M", "NB-IoT", "NR5G-NSA", "NR5G-SA"; nullptr
// for Unknown.
const char *RadioTechName(TRadioTech tech);

// The technology of a 27.007 <AcT> (+COPS, +CREG); 8 (EC-GSM-IoT in the
// standard) is what LTE-M modules report for Cat-M1, and 10 (E-UTRA on a
// 5G core) is LTE. Unknown for -1 and numbers the standard has not given.
TRadioTech RadioTechOfAccessTechnology(std::int32_t act);

// One cell of any technology as the modem reported it. Every measure is
// optional: a field the modem left out or reported as unknown ("-", 255,
// 99...) stays empty rather than guessed.
struct TRadioCell {
    TRadioTech rat = TRadioTech::Unknown;
    std::optional<std::int32_t> mcc;
    std::optional<std::int32_t> mnc;
    std::optional<std::int64_t> area;    // LAC or TAC (hex in replies, converted)
    std::optional<std::int64_t> cellId;  // GSM/UMTS/LTE/NR cell identity
    std::optional<std::int32_t> pci;     // LTE/NR physical cell id, UMTS PSC, GSM BSIC
    std::optional<std::int32_t> channel; // ARFCN, UARFCN, EARFCN or NR-ARFCN
    std::string band;                    // "B3", "n78", "900", "1800"; empty when unknown
    std::optional<double> rssi;          // dBm
    std::optional<double> rsrp;          // dBm
    std::optional<double> rsrq;          // dB
    std::optional<double> sinr;          // dB
    std::optional<double> rscp;          // dBm
    std::optional<double> ecno;          // dB

    bool operator==(const TRadioCell &) const = default;
};

// A neighbour cell: the measures a neighbour list gives.
struct TNeighbourCell {
    TRadioTech rat = TRadioTech::Unknown;
    std::optional<std::int32_t> channel;
    std::optional<std::int32_t> pci;
    std::optional<double> rssi;
    std::optional<double> rsrp;
    std::optional<double> rsrq;
    std::optional<double> rscp;
    std::optional<double> ecno;

    bool operator==(const TNeighbourCell &) const = default;
};

// At most this many neighbours are kept of one answer.
inline constexpr std::size_t kMaxNeighbourCells = 32;

// The part a component carrier plays in carrier aggregation: the primary
// carrier (the serving cell's) or a secondary one.
enum class TCarrierRole : std::uint8_t { Primary, Secondary };

// "PCC" or "SCC".
const char *CarrierRoleName(TCarrierRole role);

// One component carrier of an aggregated connection (LTE carrier
// aggregation, the NR carriers of NR CA, or the NR leg of EN-DC that a
// modem lists among the secondary carriers). Unknown values stay empty.
struct TCarrier {
    TCarrierRole role = TCarrierRole::Primary;
    TRadioTech rat = TRadioTech::Unknown;
    std::string band;                    // "B3", "n78"; empty when unknown
    std::optional<std::int32_t> channel; // EARFCN or NR-ARFCN
    std::optional<std::int32_t> pci;
    std::optional<double> bandwidthMhz;  // downlink
    std::optional<double> rssi;          // dBm
    std::optional<double> rsrp;          // dBm
    std::optional<double> rsrq;          // dB
    std::optional<double> sinr;          // dB

    bool operator==(const TCarrier &) const = default;
};

// At most this many component carriers are kept of one answer (3GPP allows
// five LTE carriers, and the NR ones come on top).
inline constexpr std::size_t kMaxCarriers = 8;

struct TNetState {
    std::int32_t signal = 0; // percent, 0 to 96
    bool signalValid = false;
    std::int32_t ber = 0; // bit error rate, 0 to 7
    bool berValid = false;
    std::int32_t registration = 0; // +CREG stat 0 to 5, or -1
    bool registrationValid = false;
    std::int32_t activity = 0; // +CPAS 0, 3 or 4, or -1
    bool activityValid = false;
    std::string operatorName; // long alphanumeric form
    bool operatorNameValid = false;
    std::string operatorCode; // numeric form, MCC and MNC digits
    bool operatorCodeValid = false;
    std::array<TCellRow, kNetStateCellCount> cells{};

    // The radio technology of the serving cell, as the cell commands tell,
    // else as the access technology of +COPS tells; Unknown when neither.
    TRadioTech rat = TRadioTech::Unknown;
    // The access technology field of the +COPS answer (the fallback above).
    TRadioTech copsRat = TRadioTech::Unknown;
    std::optional<TRadioCell> serving;
    // The NR leg of an EN-DC connection.
    std::optional<TRadioCell> secondary;
    std::vector<TNeighbourCell> neighbours;
    // The component carriers, the primary first, when the modem reports
    // carrier aggregation; empty when it reports none.
    std::vector<TCarrier> carriers;

    // Clears the six valid flags and every row's valid flag (values and
    // strings stay as they are), and forgets the technology, the serving,
    // secondary and neighbour cells and the carriers.
    void MarkAllInvalid();

    // Copying is the ordinary member-wise copy, strings included.
    bool operator==(const TNetState &) const = default;
};

// Default of the cell-monitor integer cuts; a value equal to it counts as
// missing.
inline constexpr std::int32_t kMissingInteger = -9999;

// The whole of text as a decimal integer (an optional "+" or "-", then one or
// more digits, nothing else, within 32 bits); any other text, including an
// empty one or one with blanks, gives defaultValue.
std::int32_t integerOrDefault(const std::string &text, std::int32_t defaultValue);

// "+CSQ: <rssi>,<ber>" -> signal and bit error rate.
void parseCsqExec(const std::string &line, TNetState &state);

// The rssi field of "+CSQ: <rssi>,<ber>" as it stands (0 to 31, or 99 for
// unknown); empty when the line has none.
std::optional<std::int32_t> CsqRssi(const std::string &line);

// "+COPS: <mode>[,<format>,\"<oper>\"[,<AcT>]]" -> operator name (format 0)
// or operator code (format 2), and copsRat from a known AcT.
void parseCopsRead(const std::string &line, TNetState &state);

// "+CREG: <n>,<stat>" -> registration.
void parseCregRead(const std::string &line, TNetState &state);

// "+CPAS: <pas>" -> activity.
void parseCpasExec(const std::string &line, TNetState &state);

// One data line of "AT^MONI" (the serving cell) -> row 0.
void parseMoniServing(const std::string &line, TNetState &state);

// Data line number index (0-based) of "AT^MONP" -> row index + 1. An index
// outside 0 to 5 marks rows 1 to 6 invalid instead.
void parseMonpNeighbour(const std::string &line, int index, TNetState &state);

// Data line number index (0-based) of "AT^SMONP" -> row index. An index
// outside 0 to 6 marks rows 1 to 6 invalid instead (row 0 is kept).
void parseSmonpNeighbour(const std::string &line, int index, TNetState &state);

// "900", "1800" or "?" for an ARFCN.
std::string BandOfChannel(std::int32_t channel);
