#pragma once
// The simulated radio: what the simulated modem knows of its cells and
// network (the truth every family's answers print), the networks it can
// select, and the text helpers and number printers the simulated answers
// of every family share. Plain C++; the engine in comm/ drives it.

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One cell as the modem last reported it. Row 0 of the truth is the serving
// cell; rows 1.. are the neighbours in the order the modem lists them,
// strongest first.
struct TRynSimCell {
    int channel = 0; // ARFCN
    int rssi = 0;    // raw level 0..63 (RXLEV, dBm + 110)
    int dbm = 0;
    int c1 = 0;
    int c2 = 0;
    int mcc = 0;
    int mnc = 0;
    int bcc = 0;
    int ncc = 0;
    int lac = 0;
    int cellId = 0;
    int meanDbm = 0; // the level the reception fades around; not reported
};

// A level as a parser should make of the printed line (dBm or dB), and the
// text the model's own cell command printed for it: "-95" in +QENG and
// ^SMONI, "-950" (tenths) in +CPSI, "-10.5" for a half-dB RSRQ in ^SMONI.
// The printed text is empty where that command does not print the level.
struct TRynSimLevel {
    double value = 0;
    std::string printed;
};

struct TRynSimLteCell {
    int earfcn = 0;
    int band = 0; // LTE band number, from the EARFCN
    int pci = 0;
    TRynSimLevel rsrp; // dBm
    TRynSimLevel rsrq; // dB
    TRynSimLevel rssi; // dBm, follows from RSRP, RSRQ and the bandwidth
};

struct TRynSimLteServing : TRynSimLteCell {
    int mcc = 0;
    int mnc = 0;
    int tac = 0;
    int cellId = 0; // 28-bit E-UTRAN cell identity
    int bandwidthMhz = 0;
    TRynSimLevel sinr; // dB
};

// The NR leg of an EN-DC connection (SS-RSRP, SS-RSRQ, SS-SINR).
struct TRynSimNrCell {
    int arfcn = 0;
    int band = 78;
    int pci = 0;
    TRynSimLevel rsrp; // dBm
    TRynSimLevel rsrq; // dB
    TRynSimLevel sinr; // dB
};

// The LTE radio (and NR leg) as the LTE models report it; rat is empty for
// the GSM models, which report none of it.
struct TRynSimLteTruth {
    std::string rat; // "LTE" or "NR5G-NSA"
    int accessTechnology = -1; // +COPS AcT: 7 E-UTRAN, 13 EN-DC; -1 not printed
    TRynSimLteServing serving;
    std::vector<TRynSimLteCell> neighbours; // 3 to 6, in the order listed
    bool hasNr = false;
    TRynSimNrCell nr;
    // The operator's two carriers; the serving cell is on one of them.
    std::array<int, 2> carrierEarfcns{};
    // The serving cell's site on the other carrier: the secondary component
    // carrier of the models that aggregate (the same PCI, a few dB weaker).
    TRynSimLteServing scc;
};

// Where the simulated modem's GNSS receiver is: on a loop route, a second
// of driving per poll; utc "hhmmss" and date "ddmmyy" of the fix.
struct TRynSimGnss {
    double lat = 0;
    double lon = 0;
    double altM = 0;
    double speedKmh = 0;
    double courseDeg = 0;
    std::string utc;
    std::string date;
};

// What the modem last reported (or would report now, before any poll).
struct TRynSimTruth {
    int rssi = 0;         // +CSQ rssi 0..31
    int ber = 0;          // +CSQ ber 0..7
    int registration = 1; // +CREG stat
    int activity = 0;     // +CPAS: 0 ready, 3 ringing, 4 call in progress
    std::string operatorName;
    std::string operatorCode;
    bool manualSelection = false;
    int cellCount = 1; // serving cell plus neighbours, at most 7
    std::array<TRynSimCell, 7> cells{}; // the GSM radio
    TRynSimLteTruth lte;
    TRynSimGnss gnss;
};

// The maker the simulated modules of the design's own family name.
constexpr const char *kSimManufacturer = "Palvex Simulated";

// C1 = RXLEV - RXLEV_ACCESS_MIN; the transmit power ^MONI prints.
constexpr int kSimRxLevAccessMin = 8;
constexpr int kSimMaxTxPower = 5;

// The radio a model has: GSM, LTE, or LTE with an NR leg (EN-DC).
enum class TRynSimRadio : std::uint8_t { Gsm, Lte, NrNonStandalone };

struct TRynSimOperator {
    std::string code; // MCC and MNC digits
    std::string longName;
    std::string shortName;
};

// The networks the simulated modem can register on; the first is its home.
const std::vector<TRynSimOperator> &SimOperators();

// One extended command as the modem read it.
struct SimRequest {
    std::string rest; // everything after the name
    bool exec = false;
    bool test = false;
    bool read = false;
    bool set = false;
    std::string args; // after the '=' of a set command
};

// What a family's simulated answer is printed from. reportMode is the
// setting a family's own set command changes (AT+UCGED=<mode>; 2 at
// power-on).
struct SimContext {
    const TRynSimTruth &truth;
    const std::string &model;
    bool lte; // the model reports the LTE radio
    std::uint32_t seed;
    int polls;
    int &reportMode;
    // Set when the GNSS position was asked (nullptr: not kept).
    bool *gnssUsed = nullptr;
};

// Command results: kSimOk, kSimError (plain "ERROR"), or a +CME code.
constexpr int kSimOk = 0;
constexpr int kSimError = -1;

// A family's cell command as the simulated modem answers it: name as the
// engine reads it ("+QENG", "^MONSC"), and its answer: the information
// lines and the result.
struct SimCellCommand {
    const char *name;
    int (*execute)(const SimRequest &request, SimContext &context, std::vector<std::string> &info);
};

// A command answered by a text in its exec form (a cell-monitor list) and
// by OK in its test form.
template <std::string (*Answer)(const SimContext &)>
int SimExecAnswer(const SimRequest &r, SimContext &context, std::vector<std::string> &info)
{
    if (!(r.exec || r.test))
        return kSimError;
    if (r.exec)
        info.push_back(Answer(context));
    return kSimOk;
}

// A command answered by a text in its read form ("AT+CPSI?") and by OK in
// its test form.
template <std::string (*Answer)(const SimContext &)>
int SimReadAnswer(const SimRequest &r, SimContext &context, std::vector<std::string> &info)
{
    if (!(r.read || r.test))
        return kSimError;
    if (r.read)
        info.push_back(Answer(context));
    return kSimOk;
}

namespace simtext {

std::string Upper(std::string s);

// Splits "1,2,\"230 01\"" on commas outside quotes; quotes are removed and
// a quoted argument is marked so that 1,"2" and 1,2 can be told apart.
struct Argument {
    std::string text;
    bool quoted = false;
};
bool SplitArguments(const std::string &args, std::vector<Argument> &out);

std::string Format(const char *format, auto... values)
{
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, format, values...);
    return std::string(buffer, n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buffer - 1) : 0);
}

// The bandwidth code of +QENG and +CPSI: 0=1.4, 1=3, 2=5, 3=10, 4=15, 5=20 MHz.
int BandwidthCode(int mhz);
// Srxlev of a cell whose network asks for at least -128 dBm.
int Srxlev(double rsrp);
std::string Whole(double value);
std::string Tenths(double value);
// "-10" or "-10.5", as ^SMONI prints RSRQ.
std::string Decimal(double value);
int Clamped(double value, int low, int high);
// The 3GPP indices of +CESQ, +UCGED mode 2 and +GTCCINFO (lower bound of
// the bin): RSRP dBm = index - 141, RSRQ dB = index / 2 - 20.
std::string RsrpIndex(double dbm);
std::string RsrqIndex(double db);

} // namespace simtext
