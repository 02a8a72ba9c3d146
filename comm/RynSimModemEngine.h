#pragma once
// A simulated modem's AT answering engine: pure and deterministic, the same
// seed and the same bytes in give the same bytes out. It answers in verbose
// form (CR LF around every line) the commands a monitoring session sends,
// plus a few basic ones typed by hand.

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

struct TRynSimOperator {
    std::string code; // MCC and MNC digits
    std::string longName;
    std::string shortName;
};

class TRynSimModemEngine {
public:
    static constexpr const char *kDefaultModel = "BGS5";
    static constexpr const char *kManufacturer = "Palvex Simulated";

    explicit TRynSimModemEngine(std::uint32_t seed = 1);

    // Feeds received bytes; returns what the modem sends back (the echo
    // while echo is on, and the answers of every completed command line).
    std::string Feed(const std::string &bytes);

    // Restarts the simulation from a seed: cells, signal, operator, echo.
    void Reset(std::uint32_t seed);
    std::uint32_t Seed() const { return m_seed; }

    // "BGS5" answers AT^SMONP and not AT^MONI/AT^MONP; any other model the
    // reverse.
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
    // Command results: kOk, kSyntaxError (plain "ERROR"), or a +CME code.
    static constexpr int kOk = 0;
    static constexpr int kSyntaxError = -1;
    int ExecuteExtended(const std::string &command, std::vector<std::string> &info);
    int ExecuteCops(const std::string &args, std::vector<std::string> &info);
    void Poll();
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
