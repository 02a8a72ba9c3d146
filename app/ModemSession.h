#pragma once
// The modem session: one event-driven state machine that talks AT commands
// to the modem through the top distributor. Every event (a received line, an
// expired time-out, a direct call from the owner) runs the machine once; it
// never blocks and never waits in a loop.
//
// The machine writes to its owner only through ModemSessionView, and talks
// to the modem only through the top distributor and a VRynPortComponent, so
// it runs the same on the serial port, on the simulated modem and on a
// scripted channel in tests.

#include "modems/CompletedCycle.h"
#include "modems/ModemFamily.h"
#include "modems/OperatorScan.h"
#include "NetState.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <map>
#include <optional>
#include <set>
#include <string>

class QTimer;
class VRynGeneralDistributor;
class VRynTopDistributor;
class VRynPortComponent;
enum class TCommState : std::uint8_t;

// What the session tells its owner (the window, the headless monitor, a
// test): what happened, not how to show it. Every event but PortText has an
// empty default, so an owner overrides only what it shows.
class ModemSessionView {
public:
    virtual ~ModemSessionView() = default;

    // The port to open; asked at every open, so a changed port is used at
    // the next one.
    virtual std::string PortText() const = 0;

    // A line for the terminal: the machine's texts and the received lines
    // (VRynTerminal_ltExtra), the sent commands (VRynTerminal_ltOutText).
    virtual void TerminalLine(const std::string &/*line*/, int /*lineType*/) {}
    // A line the modem sent, for the terminal; by default TerminalLine with
    // VRynTerminal_ltExtra. An owner that shows the machine's own texts
    // elsewhere tells the modem's lines apart here.
    virtual void ReceivedLine(const std::string &line);
    // The port is about to be opened (which may take a while).
    virtual void PortOpening(const std::string &/*port*/) {}
    // The port opened; every call after the first is a reconnect.
    virtual void PortOpened(const std::string &/*port*/) {}
    // The port did not open; the open is tried again after kOpenRetry.
    // reason is the channel's error text, empty when it has none.
    virtual void PortOpenFailed(const std::string &/*port*/, const std::string &/*reason*/) {}
    // The port opened but the modem answered nothing in kSilentRounds
    // PREPARE rounds; text says so in the user's words ("no answer from the
    // modem on ttyS0: wrong port or baud rate?"). Once per connection.
    virtual void ModemSilent(const std::string &/*text*/) {}
    // The channel reported a state of its connection.
    virtual void ChannelStateChanged(TCommState /*state*/) {}
    // The open channel went away; the session closes it and opens it again.
    virtual void ChannelLost() {}
    // The modem named its manufacturer or its model (the other may still be
    // empty).
    virtual void ModemIdentified(const std::string &/*manufacturer*/, const std::string &/*model*/) {}
    // The firmware, IMEI, SIM state, IMSI and ICCID were read (empty where
    // the modem did not say), once per connection before the first cycle.
    virtual void IdentityRead(const ModemIdentity &/*identity*/) {}
    // The modem reported an incoming call with the caller's number (a +CLIP
    // line); number is empty when the modem did not tell it.
    virtual void IncomingCall(const std::string &/*number*/) {}
    // The modem took the call that rang (ATA answered OK or CONNECT).
    virtual void CallAnswered() {}
    // Polling was held or resumed (SetPollingHeld).
    virtual void PollingHeldChanged(bool /*held*/) {}
    // A poll cycle started: a new operator may be chosen.
    virtual void CycleStarted() {}
    // The main poll command went unanswered: the signal is unknown.
    virtual void MainAnswerTimedOut() {}
    // The requested operator switch was answered (or went unanswered); the
    // display record is marked invalid until the next cycle.
    virtual void OperatorSwitchDone() {}
    // The requested operator switch did not happen: the code was not sent
    // (it is not a numeric code, or the session is read-only), or the modem
    // answered it with ERROR or +CME ERROR. reason says so in the user's
    // words ("operator 26201 refused: +CME ERROR: 30"); the modem stays on
    // the operator it used before.
    virtual void OperatorRequestRefused(const std::string &/*reason*/) {}
    // A network scan (RequestScan) went out to the modem; polling pauses
    // until ScanFinished, at most timeout later.
    virtual void ScanStarted(std::chrono::milliseconds /*timeout*/) {}
    // The scan ended: the networks found, or why none were.
    virtual void ScanFinished(const OperatorScanResult & /*result*/) {}
    // A poll cycle ended; what it hands down is valid during the call.
    virtual void CycleCompleted(const CompletedCycle &/*cycle*/) {}
    // A command went unanswered within its time-out (the pause of a poll
    // cycle and the wait between two open attempts are not commands).
    virtual void CommandTimedOut() {}
};

class ModemSession {
public:
    enum class State : std::uint8_t { Init, Open, Prepare, Poll, Answer, Close };

    // Makes channel top's communication handler and installs the session's
    // handlers on top (receive decode, receive poll, time-out, send
    // transfer, callback exceptions) and on channel (state changes, port
    // notices). All three outlive the session.
    ModemSession(VRynTopDistributor &top, VRynPortComponent &channel, ModemSessionView &view);
    ~ModemSession();
    ModemSession(const ModemSession &) = delete;
    ModemSession &operator=(const ModemSession &) = delete;

    // Drives the top distributor with tick at kTick, runs one tick, then
    // starts the session at INIT: the start-up of a monitor.
    void Start(QTimer &tick);

    void Run();
    void SetState(State state);
    // Any raw value; one outside the known states restarts at INIT.
    void SetStateValue(std::uint8_t value);

    State CurrentState() const { return static_cast<State>(m_state); }
    std::int32_t Step() const { return m_step; }

    // A new poll cycle starts at most once per interval; between cycles
    // nothing is sent and the process sleeps (a call that rings meanwhile is
    // still answered at once). Zero keeps the design's pace: the next cycle
    // right after the last one.
    void SetPollInterval(std::chrono::milliseconds interval) { m_pollInterval = interval; }
    std::chrono::milliseconds PollInterval() const { return m_pollInterval; }

    // The typed bytes of the terminal go to the modem unchanged.
    void TerminalSendData(const std::uint8_t *data, std::size_t count);

    // A numeric operator code or "AUTO"; sent at the next poll cycle.
    void RequestOperator(const std::string &code);
    const std::string &RequestedOperator() const { return m_requestedOperator; }

    // A network scan: AT+COPS=? in a step of its own between two poll
    // cycles, with its own time-out; no poll cycle runs meanwhile, and held
    // polling does not hold it back. It reads only, so a read-only session
    // scans too. A second request while one is pending or under way is
    // the same scan.
    void RequestScan();
    // Ends a scan that was asked for or is under way: a character aborts
    // the modem's search, and what it still answers later is dropped.
    // ScanFinished says Cancelled.
    void CancelScan();
    bool ScanPending() const { return m_scanRequested || m_scanning; }

    // While on, a poll cycle sends only the main command and the serving
    // cell's command (the family's first cell command, AT^MONI or the
    // BGS5's AT^SMONP), for a faster cycle while an antenna is pointed.
    // Takes effect at the next cell command.
    void SetShortCycle(bool on) { m_shortCycle = on; }
    // --gps modem: each cycle also asks the family's GNSS position query
    // (AT+QGPSLOC=2, AT+CGPSINFO), which never switches the receiver on; a
    // family without one asks nothing.
    void SetGnss(bool on) { m_gnss = on; }
    bool Gnss() const { return m_gnss; }
    bool ShortCycle() const { return m_shortCycle; }
    // Whether an incoming call is answered with ATA (the design's way; the
    // default). A read-only session never answers.
    bool AnswerCalls() const { return m_answerCalls; }
    void SetAnswerCalls(bool on) { m_answerCalls = on; }
    // Read-only: only commands that change nothing in the modem (echo off
    // aside). The session starts without automatic operator selection,
    // answers no call and refuses operator switches. Typed commands still
    // go out: the user sends them.
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on) { m_readOnly = on; }
    // Held polling: no poll cycle starts (the one under way ends), so typed
    // commands meet no poll command; resumed, the next cycle starts at once.
    bool PollingHeld() const { return m_pollingHeld; }
    void SetPollingHeld(bool held);

    bool DebugTerminal() const { return m_debugTerminal; }
    void SetDebugTerminal(bool on) { m_debugTerminal = on; }
    bool EchoToTerminal() const { return m_echoToTerminal; }

    const std::string &Manufacturer() const { return m_manufacturer; }
    // The command family the cell commands come from: chosen from the
    // manufacturer, or by which family's command the modem answers when
    // the manufacturer names none or the family's command answers only
    // ERROR, else the fallback; kept until the next reconnect.
    const ModemFamily &Family() const { return *m_family; }
    const std::string &Model() const { return m_model; }
    // What the modem said about itself at this connection's start.
    const ModemIdentity &Identity() const { return m_identity; }
    std::uint64_t CompletedCycles() const { return m_completedCycles; }

    // The display record may be read only while RecordLock() is held.
    std::recursive_mutex &RecordLock() { return m_recordLock; }
    const TNetState &DisplayRecord() const { return m_displayRecord; }
    TNetState DisplayRecordSnapshot();
    // The rssi of the +CSQ answer of the displayed cycle (99: the modem did
    // not know it); empty when none came.
    std::optional<std::int32_t> DisplayCsqRssi();
    // The ber of that answer as it stood (99: unknown, as every LTE modem
    // says); empty when none came.
    std::optional<std::int32_t> DisplayCsqBer();
    const TNetState &WorkingRecord() const { return m_workingRecord; }

    // Handlers; public so the owner may wire them itself.
    void distTopComRecvDecode(VRynGeneralDistributor *sender, std::uint32_t &theTime);
    void distTopComRecvPoll(VRynGeneralDistributor *sender, std::uint32_t &theTime, const std::string &data,
                            bool &processed);
    void distTopTimeout(VRynGeneralDistributor *sender, std::uint32_t &theTime);
    void distTopComSendTransfer(const std::string &data);
    void VRSComm321StateChange(TCommState state);

    // A receive buffer that grows past this size without a CR is taken as one
    // line, so noise cannot grow the buffer without limit.
    static constexpr std::size_t kMaxLineLength = 4096;

    // Period of the top distributor's timer.
    static constexpr std::chrono::milliseconds kTick{50};
    static constexpr std::chrono::milliseconds kOpenRetry{1000};
    static constexpr std::chrono::milliseconds kPrepareTimeout{2000};
    static constexpr std::chrono::milliseconds kPollPause{10};
    static constexpr std::chrono::milliseconds kMainAnswerTimeout{500};
    static constexpr std::chrono::milliseconds kCellMonitorTimeout{1000};
    static constexpr std::chrono::milliseconds kOperatorSwitchTimeout{60000};
    static constexpr std::chrono::milliseconds kAnswerCallTimeout{60000};
    // 27.007 gives a network scan up to three minutes.
    static constexpr std::chrono::milliseconds kScanTimeout{180000};
    // How long a command that timed out may still send its final result
    // code before the next command goes out regardless.
    static constexpr std::chrono::milliseconds kLateAnswerWait{2000};
    // A cell-monitor command that answers only ERROR this many cycles in a
    // row is not sent again until the port is reopened.
    static constexpr int kCellMonitorErrorCycles = 3;
    // PREPARE rounds without any answer before the owner hears of it.
    static constexpr int kSilentRounds = 3;

private:
    std::chrono::milliseconds PauseBeforeCycle() const;
    void RunInit();
    void RunOpen();
    void RunPrepare();
    void RunPoll();
    void RunPollDesignCells();
    void RunPollProfileCells();
    void RunPollProbe();
    void RunPollEnd();
    void RunPollScan();
    // Ends the scan under way (or asked for) with outcome, tells the owner.
    void FinishScan(ScanOutcome outcome, std::string reason = {});
    // A character to the modem that ends a search it is still running.
    void AbortScan();
    void RunAnswer();
    void RunClose();

    void PollMainAnswer();
    void PollServingCell();
    // The neighbour list the design's family reads: AT^MONP's, or AT^SMONP's
    // (serving cell first) on the models that take it.
    enum class NeighbourList : std::uint8_t { Monp, Smonp };
    void PollNeighbours(NeighbourList list);
    void StartOperatorSwitch();
    void FallBack(const char *command, const ModemFamily &family);
    // Tries the first command of each family of ProbeOrder(tried) within
    // this cycle and keeps the first whose answer its parser reads; the
    // fallback family when none does. Once per connection.
    void StartProbe(const ModemFamily *tried);

    // Whether a command sent again after its time-out may take the late
    // answer of the one before it: the same question, asked again.
    enum class Repeat : std::uint8_t { No, Yes };
    struct HeldCommand {
        std::string text;
        std::chrono::milliseconds timeout;
        bool repeat;
    };

    void Arm(std::chrono::milliseconds interval);
    void Disarm();
    // Sends a command of the machine's dialogue and arms its time-out. While
    // the command before it still owes its final result code (it timed
    // out), the command is held back until that code arrives or
    // kLateAnswerWait has passed, so that the late answer is not taken for
    // this one's.
    void Command(const std::string &text, std::chrono::milliseconds timeout, Repeat repeat = Repeat::No);
    void Transmit(const std::string &text, std::chrono::milliseconds timeout);
    void ReleaseHeld();
    void ResetDialogue();
    // Classifies a received, trimmed line; true when the machine should see it.
    bool TakeLine(const std::string &line);
    // A cell command (by its text, CR included) that answered ERROR, or that
    // answered; one that answered only ERROR kCellMonitorErrorCycles cycles
    // in a row is off until the next reconnect.
    void CellMonitorAnsweredError(const std::string &command);
    void CellMonitorAnswered(const std::string &command) { m_errorCycles.erase(command); }
    bool CellMonitorOff(const std::string &command) const { return m_commandsOff.count(command) > 0; }
    bool SessionOpen() const;
    void Send(const std::string &command);
    void Write(const std::string &text);
    bool Echo() const { return m_echoToTerminal || m_debugTerminal; }
    // Wait for a line: true when neither a time-out nor a line has come.
    bool Waiting() const { return !m_timedOut && m_lastLine.empty(); }
    void MarkDisplayInvalid();
    bool ChannelLostCheck();

    VRynTopDistributor &m_top;
    VRynPortComponent &m_channel;
    ModemSessionView &m_view;

    std::uint8_t m_state = static_cast<std::uint8_t>(State::Init);
    std::int32_t m_step = 0;
    bool m_runAgain = false;
    bool m_timedOut = false;
    bool m_channelLost = false;
    // Why the last open failed, while the opens fail: an open that fails
    // again for the same reason is not written to the terminal again.
    std::optional<std::string> m_openFailure;
    int m_silentRounds = 0;
    // The last command of the dialogue, and whether its final result code is
    // still to come.
    std::string m_currentCommand;
    bool m_awaitingFinal = false;
    std::optional<HeldCommand> m_held;
    // A RING or +CRING line came: an incoming call, for a channel that
    // cannot report the ring indicator line.
    bool m_ringSeen = false;
    std::chrono::milliseconds m_pollInterval{0};
    std::optional<std::uint32_t> m_cycleSentAt; // tick count when the last cycle's first command went out
    std::map<std::string, int> m_errorCycles;
    std::set<std::string> m_commandsOff;
    const ModemFamily *m_family = &FamilyOfManufacturer({});
    std::size_t m_profileCommand = 0;
    // Whether this connection has probed the families' commands, the
    // families being probed and the one whose command is out, and what its
    // answer gave (apart from the cycle's record).
    bool m_probed = false;
    std::vector<const ModemFamily *> m_probeOrder;
    std::size_t m_probeIndex = 0;
    TNetState m_probeRecord;
    bool m_probeAnswered = false; // a line of the probed command's own prefix came
    AnswerReading m_reading;
    bool m_expectFirstLine = false;
    bool m_identificationRefused = false; // a status line came instead of the identity
    std::uint8_t m_pendingAnswers = 0;
    std::int32_t m_rowIndex = 0;
    std::string m_lastLine;
    std::string m_incomingLine; // the line being taken, before it becomes the last
    std::string m_manufacturer;
    std::string m_model;
    ModemIdentity m_identity;
    std::size_t m_identityStep = 0; // the identity command being asked
    TNetState m_workingRecord;
    TNetState m_displayRecord;
    std::optional<std::int32_t> m_workingCsqRssi;
    std::optional<std::int32_t> m_displayCsqRssi;
    std::optional<std::int32_t> m_workingCsqBer;
    std::optional<std::int32_t> m_displayCsqBer;
    bool m_echoToTerminal = true;
    bool m_debugTerminal = false;
    bool m_shortCycle = false;
    bool m_gnss = false;
    bool m_gnssAsked = false; // in this cycle
    std::optional<TGnssFix> m_workingPosition;
    bool m_answerCalls = true;
    bool m_readOnly = false;
    bool m_pollingHeld = false;
    std::string m_requestedOperator;
    std::string m_switchingOperator; // the code of the switch sent, until its answer
    bool m_scanRequested = false;
    bool m_scanning = false; // AT+COPS=? is out, its answer not yet in
    std::vector<ScannedOperator> m_scanned;
    // A scan answer came after its scan had ended (cancelled, timed out):
    // it and the final result code after it are no answer to the command
    // now out.
    bool m_dropScanFinal = false;
    std::uint64_t m_completedCycles = 0;

    std::recursive_mutex m_machineLock;
    std::recursive_mutex m_recordLock;
};

// Bits of the pending answers of the main poll command.
inline constexpr std::uint8_t kPendingCsq = 0x01;
inline constexpr std::uint8_t kPendingCops = 0x02;
inline constexpr std::uint8_t kPendingCreg = 0x04;
inline constexpr std::uint8_t kPendingCpas = 0x08;
inline constexpr std::uint8_t kPendingOk = 0x10;
inline constexpr std::uint8_t kPendingMainMask = 0x1F;

// True when code may go inside AT+COPS=1,2,"...": a numeric operator code,
// 5 or 6 ASCII digits (MCC and a two- or three-digit MNC). Anything else
// could end the command, inject another or reach the modem as bytes it
// does not expect.
bool IsSafeOperatorCode(const std::string &code);
