#pragma once
// A simulated modem's AT answering engine: pure and deterministic, the same
// seed and the same bytes in give the same bytes out. It answers in verbose
// form (CR LF around every line) the commands a monitoring session sends,
// plus a few basic ones typed by hand.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <random>
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
};

// How a model speaks: the maker it names to AT+CGMI and its radio and
// cell-monitor command.
enum class TRynSimRadio : std::uint8_t { Gsm, Lte, NrNonStandalone };
enum class TRynSimCellMonitor : std::uint8_t {
    MoniMonp,     // AT^MONI and AT^MONP
    GsmSmonp,     // AT^SMONP with the 2G block only
    None,         // none: AT+CESQ only
    QuectelQeng,  // AT+QENG="servingcell" and "neighbourcell"
    SimcomCpsi,   // AT+CPSI?
    CinterionSmoni, // AT^SMONI and the sectioned AT^SMONP
    HuaweiMonsc,    // AT^MONSC and AT^MONNC
    UbloxUcged,     // AT+UCGED? in the mode AT+UCGED= set (2 at power-on, or 5)
    TelitRfsts,     // AT#RFSTS (LE910Cx layout, SINR as an index)
    SierraGstatus,  // AT!GSTATUS?
    FibocomGtccinfo, // AT+GTCCINFO?
};

struct TRynSimModelInfo {
    const char *model; // empty: every model not in the table
    const char *manufacturer;
    const char *revision;
    TRynSimRadio radio;
    TRynSimCellMonitor monitor;
};

// A piece of the modem's output, and the time the modem takes for it on top
// of the channel's latency.
struct TRynSimReply {
    std::string bytes;
    std::chrono::milliseconds delay{0};
};

// When each reply goes out: after the latency, never before the reply before
// it, and then after its own delay: the modem answers one command line after
// the other.
class TRynSimPacer {
public:
    using Clock = std::chrono::steady_clock;
    Clock::time_point Due(Clock::time_point now, std::chrono::milliseconds latency, std::chrono::milliseconds delay)
    {
        m_last = std::max(now + latency, m_last) + delay;
        return m_last;
    }
    void Reset() { m_last = {}; }

private:
    Clock::time_point m_last{};
};

enum class TRynSimUrcPlacement : std::uint8_t { InsideNextAnswer, OnItsOwn };

struct TRynSimOperator {
    std::string code; // MCC and MNC digits
    std::string longName;
    std::string shortName;
};

class TRynSimModemEngine {
public:
    // One extended command as the modem read it.
    struct Request;

    static constexpr const char *kDefaultModel = "BGS5";
    // A module without any of the cell-monitor commands.
    static constexpr const char *kModelWithoutCellMonitor = "GENERIC";
    static constexpr const char *kManufacturer = "Palvex Simulated";

    explicit TRynSimModemEngine(std::uint32_t seed = 1);

    // Feeds received bytes; returns what the modem sends back (the echo
    // while echo is on, and the answers of every completed command line).
    std::string Feed(const std::string &bytes);
    // The same output in pieces: the echo, then the answer of each completed
    // line with the extra time the modem takes for that command.
    std::vector<TRynSimReply> FeedReplies(const std::string &bytes);

    // Every command line that contains pattern (case-insensitive) takes the
    // modem that much longer; of several matching patterns the longest
    // delay counts.
    void AddCommandDelay(const std::string &pattern, std::chrono::milliseconds delay);
    // The next line of a fixed round of unsolicited result codes (RING,
    // +CMTI, +CREG, ^SYSSTART...): in the middle of the next answer, or
    // on its own through TakeUnsolicited.
    void QueueUnsolicited(TRynSimUrcPlacement placement);
    // The AT+CREG report mode at power-on and after ATZ; 2 is a modem that
    // other software left reporting its location.
    void SetCregStartMode(int mode);

    // Restarts the simulation from a seed: cells, signal, operator, echo.
    void Reset(std::uint32_t seed);
    std::uint32_t Seed() const { return m_seed; }

    // "BGS5" answers AT^SMONP and not AT^MONI/AT^MONP; "GENERIC" none of
    // them; "EC25", "RM500Q", "SIM7600", "ELS61", "ME909s-120",
    // "SARA-R510M8S", "LE910C1-EUX", "EM7565" and "FM350-GL" their makers'
    // commands (see Models()); any other model AT^MONI/AT^MONP.
    void SetModel(const std::string &model);
    const std::string &Model() const { return m_model; }
    // The known models, the catch-all row last.
    static const std::vector<TRynSimModelInfo> &Models();
    static const TRynSimModelInfo &ModelInfo(const std::string &model);

    // The call rings (ring indicator on, +CPAS 3) until ATA; an answered
    // call lasts kCallPolls polls (+CPAS 4), or until ATH.
    void StartIncomingCall();
    // A call starts after that many polls (AT+CSQ); 0 never.
    void SetCallAfterPolls(int polls) { m_callAfterPolls = polls; }
    int CallAfterPolls() const { return m_callAfterPolls; }
    bool RingIndicator() const { return m_ringing; }
    bool InCall() const { return m_inCall; }
    bool Echo() const { return m_echo; }
    int PollCount() const { return m_polls; }

    // When on, the start of a call also sends the unsolicited "RING" line.
    void SetUnsolicitedRing(bool on) { m_unsolicitedRing = on; }
    // Unsolicited output produced outside a command (RING); taken once.
    std::string TakeUnsolicited();

    const TRynSimTruth &Truth() const { return m_truth; }
    static const std::vector<TRynSimOperator> &Operators();

    static constexpr int kCallPolls = 5;
    // A GSM serving cell is kept for this many polls (about 2 to 6 minutes
    // at the simulator's 10 polls a second) before the modem moves toward
    // its strongest neighbour, which takes over once it is
    // kReselectHysteresisDb stronger.
    static constexpr int kServingDwellMinPolls = 1200;
    static constexpr int kServingDwellMaxPolls = 3600;
    static constexpr int kReselectHysteresisDb = 4;

private:
    std::string ExecuteLine(const std::string &line);
    std::chrono::milliseconds CommandDelay(const std::string &line) const;
    // Command results: kOk, kSyntaxError (plain "ERROR"), or a +CME code.
    static constexpr int kOk = 0;
    static constexpr int kSyntaxError = -1;
    int ExecuteExtended(const std::string &command, std::vector<std::string> &info);
    // A basic command (a letter, or & and a letter, and its number): false
    // when it ends the line, with final set to its result code.
    bool ExecuteBasic(const std::string &name, int value, std::vector<std::string> &info, std::string &final);
    // The answer as sent: the information lines (with a queued unsolicited
    // line in their middle), then the final result code.
    std::string FramedAnswer(std::vector<std::string> info, const std::string &final);
    // The extended commands by name, in groups of a kind.
    using Handler = int (*)(TRynSimModemEngine &, const Request &, std::vector<std::string> &);
    using Handlers = std::vector<std::pair<std::string, Handler>>;
    static Handlers IdentityCommands();
    static Handlers NetworkCommands();
    static Handlers CellCommands();
    static Handlers MakerCellCommands();
    int ExecuteUcged(const Request &request, std::vector<std::string> &info);
    int ExecuteCops(const std::string &args, std::vector<std::string> &info);
    int ExecuteCreg(const Request &request, std::vector<std::string> &info);
    int ExecuteCmee(const Request &request, std::vector<std::string> &info);
    void Poll();
    bool Monitors(TRynSimCellMonitor monitor) const { return m_info->monitor == monitor; }
    bool IsLte() const { return m_info->radio != TRynSimRadio::Gsm; }
    void GenerateCells();
    void GenerateLte();
    void WanderLte();
    void ReselectLte();
    void RefreshLte();
    void Wander(TRynSimCell &cell);
    void EvolveGsmCells();
    void MoveTowardNeighbour();
    void SelectOperator(const TRynSimOperator &op, bool manual);
    void ResetSettings();
    void RefreshLevels();
    int Random(int low, int high);
    // The LTE radio draws from a stream of its own, so that the GSM models
    // answer as they always have.
    int LteRandom(int low, int high);
    double LteLevel(double low, double high, double step);
    int NewLteCellId();
    void WanderLevel(TRynSimLevel &level, double step, int steps, double low, double high);
    std::string ErrorText(int result) const;
    std::string MoniAnswer() const;
    std::string MonpAnswer() const;
    std::string SmonpAnswer() const;
    std::string CesqAnswer() const;
    std::string QengServingAnswer() const;
    std::string QengNeighbourAnswer() const;
    std::string CpsiAnswer() const;
    std::string SmoniAnswer() const;
    std::string SectionedSmonpAnswer() const;
    std::string MonscAnswer() const;
    std::string MonncAnswer() const;
    std::string UcgedAnswer() const;
    std::string RfstsAnswer() const;
    std::string GstatusAnswer() const;
    std::string GtccinfoAnswer() const;

    std::uint32_t m_seed = 1;
    std::mt19937 m_random;
    std::mt19937 m_lteRandom;
    std::string m_model = kDefaultModel;
    const TRynSimModelInfo *m_info = &ModelInfo(kDefaultModel);
    std::string m_line;
    std::string m_lastLine;
    std::string m_unsolicited;
    std::string m_unsolicitedInside;
    std::size_t m_unsolicitedRound = 0;
    std::vector<std::pair<std::string, std::chrono::milliseconds>> m_delays;
    int m_cregStartMode = 0;
    bool m_echo = true;
    int m_copsFormat = 0;
    int m_cregMode = 0;
    int m_cmee = 0;
    int m_ucgedMode = 2;
    bool m_ringing = false;
    bool m_inCall = false;
    bool m_unsolicitedRing = false;
    int m_callAfterPolls = 0;
    int m_callPollsLeft = 0;
    int m_polls = 0;
    int m_servingPollsLeft = 0; // 0: moving toward the strongest neighbour
    TRynSimTruth m_truth;
};
