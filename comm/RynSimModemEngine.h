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
// cell; rows 1.. are the neighbours in the order the modem lists them.
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
    std::array<TRynSimCell, 7> cells{};
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
    // them; any other model AT^MONI/AT^MONP.
    void SetModel(const std::string &model) { m_model = model; }
    const std::string &Model() const { return m_model; }

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

private:
    std::string ExecuteLine(const std::string &line);
    std::chrono::milliseconds CommandDelay(const std::string &line) const;
    // Command results: kOk, kSyntaxError (plain "ERROR"), or a +CME code.
    static constexpr int kOk = 0;
    static constexpr int kSyntaxError = -1;
    int ExecuteExtended(const std::string &command, std::vector<std::string> &info);
    int ExecuteCops(const std::string &args, std::vector<std::string> &info);
    int ExecuteCreg(const Request &request, std::vector<std::string> &info);
    int ExecuteCmee(const Request &request, std::vector<std::string> &info);
    void Poll();
    // AT^MONI and AT^MONP: every model but BGS5 and the generic one.
    bool HasMoni() const { return m_model != "BGS5" && m_model != kModelWithoutCellMonitor; }
    void GenerateCells();
    void Wander(TRynSimCell &cell, int low, int high);
    void SelectOperator(const TRynSimOperator &op, bool manual);
    void ResetSettings();
    void RefreshLevels();
    int Random(int low, int high);
    std::string ErrorText(int result) const;
    std::string MoniAnswer() const;
    std::string MonpAnswer() const;
    std::string SmonpAnswer() const;

    std::uint32_t m_seed = 1;
    std::mt19937 m_random;
    std::string m_model = kDefaultModel;
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
    bool m_ringing = false;
    bool m_inCall = false;
    bool m_unsolicitedRing = false;
    int m_callAfterPolls = 0;
    int m_callPollsLeft = 0;
    int m_polls = 0;
    TRynSimTruth m_truth;
};
