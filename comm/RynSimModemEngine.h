#pragma once
// A simulated modem's AT answering engine: pure and deterministic, the same
// seed and the same bytes in give the same bytes out. It answers in verbose
// form (CR LF around every line) the commands a monitoring session sends,
// plus a few basic ones typed by hand.

#include "modems/ModemFamily.h"
#include "modems/common/SimRadio.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <optional>
#include <string>
#include <vector>

// A model the simulated modem can be: its row of a family in the
// registry, and the family that answers its cell commands.
struct TRynSimModelInfo {
    const char *model; // empty: every model not in the table
    const char *manufacturer;
    const char *revision;
    TRynSimRadio radio;
    const ModemFamily *family;
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

class TRynSimModemEngine {
public:
    // One extended command as the modem read it.
    using Request = SimRequest;

    static constexpr const char *kDefaultModel = "BGS5";
    // A module without any of the cell-monitor commands.
    static constexpr const char *kModelWithoutCellMonitor = "GENERIC";
    static constexpr const char *kManufacturer = kSimManufacturer;

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

    // The SIM card: ready, locked by its PIN, or missing. A locked or
    // missing SIM keeps the modem from registering (+CPIN? says why).
    enum class SimCard : std::uint8_t { Ready, PinLocked, Missing };
    void SetSimCard(SimCard card);
    SimCard Sim() const { return m_simCard; }
    // The card of a setting's word: "ready", "pin" or "absent".
    static std::optional<SimCard> SimCardOf(const std::string &word);

    // Restarts the simulation from a seed: cells, signal, operator, echo.
    void Reset(std::uint32_t seed);
    std::uint32_t Seed() const { return m_seed; }

    // A model of a family in the registry answers that family's cell
    // commands (the design family's "BGS5" AT^SMONP and not AT^MONI/AT^MONP;
    // the 3GPP family's "GENERIC" none of its own); any other model
    // AT^MONI/AT^MONP. Every model answers AT+CESQ.
    void SetModel(const std::string &model);
    const std::string &Model() const { return m_model; }
    // The name AT+CGMI (and ATI) answers instead of the model's maker's, as
    // a module sold under another name does; empty: the model's maker's.
    // Kept across models and resets.
    void SetManufacturer(const std::string &name) { m_manufacturer = name; }
    std::string Manufacturer() const;
    // The known models, family by family in the registry's order, the
    // catch-all row last.
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
    // A cell command of the model's family, or of the fallback family that
    // every model answers; kSyntaxError when neither knows it.
    int ExecuteFamilyCommand(const std::string &name, const Request &request, std::vector<std::string> &info);
    int ExecuteCops(const std::string &args, std::vector<std::string> &info);
    int ExecuteCreg(const Request &request, std::vector<std::string> &info);
    int ExecuteCmee(const Request &request, std::vector<std::string> &info);
    int ExecuteCfun(const Request &request, std::vector<std::string> &info);
    // The SIM's identities: the IMSI starts with the home network's code.
    std::string Imsi() const;
    std::string Iccid() const;
    void Poll();
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
    // Off the network: no registration, no operator.
    void LeaveNetwork();
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

    std::uint32_t m_seed = 1;
    std::mt19937 m_random;
    std::mt19937 m_lteRandom;
    std::string m_model = kDefaultModel;
    std::string m_manufacturer;
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
    int m_cfun = 1;
    SimCard m_simCard = SimCard::Ready;
    int m_reportMode = 2; // set by a family's own command (AT+UCGED=)
    // The GNSS position was asked: the serving cell's RSRP follows the
    // route from then on (the distance to the cell's site).
    bool m_gnssUsed = false;
    void MoveAlongRoute();
    bool m_ringing = false;
    bool m_inCall = false;
    bool m_unsolicitedRing = false;
    int m_callAfterPolls = 0;
    int m_callPollsLeft = 0;
    int m_polls = 0;
    int m_servingPollsLeft = 0; // 0: moving toward the strongest neighbour
    TRynSimTruth m_truth;
};
