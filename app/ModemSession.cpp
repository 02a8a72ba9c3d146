#include "ModemSession.h"

#include "AtResultCodes.h"
#include "modems/design/DesignParsers.h"
#include "RynUtils.h"
#include "ValueRanges.h"
#include "VRynCommunicationComponent.h"
#include "VRynTerminalLineType.h"
#include "VRynTopDistributor.h"

#include <QTimer>

#include <algorithm>
#include <array>

namespace {

// Step numbers of the machine's own dialogue.
enum : std::int32_t {
    kPrepareEcho = 0,
    kPrepareEchoWait = 1,
    kPrepareCgmi = 10,
    kPrepareCgmiWait = 11,
    kPrepareCgmm = 20,
    kPrepareCgmmWait = 21,
    kPrepareIdentity = 30,
    kPrepareIdentityWait = 31,
};

// The identity read once per connection, each a read command: what it asks
// and where its answer goes.
struct IdentityCommand {
    const char *command;
    std::string ModemIdentity::*field;
};
constexpr std::array kIdentityCommands{
    IdentityCommand{"AT+CGMR\r", &ModemIdentity::firmware}, IdentityCommand{"AT+CGSN\r", &ModemIdentity::imei},
    IdentityCommand{"AT+CPIN?\r", &ModemIdentity::sim},      IdentityCommand{"AT+CIMI\r", &ModemIdentity::imsi},
    IdentityCommand{"AT+CCID\r", &ModemIdentity::iccid},
};

enum : std::int32_t {
    kPollStart = 0,
    kPollPauseWait = 1,
    kPollHeld = 5,
    kPollMainSend = 2,
    kPollMainWait = 3,
    kPollChooseMonitor = 100,
    kPollMoniSend = 101,
    kPollMoniWait = 102,
    kPollMoniDone = 103,
    kPollMonpSend = 200,
    kPollMonpWait = 201,
    kPollMonpDone = 202,
    kPollSmonpSend = 250,
    kPollSmonpWait = 251,
    kPollSmonpDone = 252,
    kPollProfileSend = 500,
    kPollProfileWait = 501,
    kPollProfileDone = 502,
    kPollProbeSend = 600,
    kPollProbeWait = 601,
    kPollProbeDone = 602,
    kPollOperator = 300,
    kPollOperatorWait = 301,
    kPollGnssWait = 350,
    kPollCopy = 400,
    kPollScanSend = 700,
    kPollScanWait = 701,
};

enum : std::int32_t {
    kAnswerStart = 0,
    kAnswerRing = 1,
    kAnswerSend = 2,
    kAnswerWait = 3,
    kAnswerDone = 100,
};

bool Contains(const std::string &s, const char *text)
{
    return s.find(text) != std::string::npos;
}

// The final result of an operator switch. A modem with verbose errors
// switched on answers "+CME ERROR: <n>" instead of "ERROR"; waiting a minute
// for an answer that has already come would stall the monitor.
bool IsFinalResult(const std::string &line)
{
    return StartsWith(line, "OK") || StartsWith(line, "ERROR") || StartsWith(line, "+CME ERROR");
}

const char *const kMainPollCommand = "AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r";

const char *const kMoni = "AT^MONI\r";
const char *const kMonp = "AT^MONP\r";
const char *const kSmonp = "AT^SMONP\r";

// The number of "+CLIP: \"<number>\",<type>...", empty when the modem
// withheld it.
std::string ClipNumber(const std::string &line)
{
    const std::size_t open = line.find('"');
    const std::size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos)
        return {};
    return line.substr(open + 1, close - open - 1);
}

// The ber field of "+CSQ: <rssi>,<ber>" as it stands; empty when it is not
// a number.
std::optional<std::int32_t> CsqBer(const std::string &line)
{
    const std::size_t colon = line.find(':');
    const std::size_t comma = line.find(',', colon == std::string::npos ? 0 : colon);
    if (colon == std::string::npos || comma == std::string::npos)
        return std::nullopt;
    const std::int32_t ber = integerOrDefault(TrimControl(line.substr(comma + 1)), -1);
    return ber >= 0 ? std::optional<std::int32_t>(ber) : std::nullopt;
}

// The commands of a family as the terminal names them.
std::string CommandNames(const ModemFamily &family)
{
    std::string names;
    for (const FamilyCommand &command : family.commands)
        names += (names.empty() ? "" : " and ") + TrimControl(command.text);
    return names;
}

// Whether the model answers AT^SMONP instead of AT^MONI and AT^MONP.
bool TakesSmonp(const ModemFamily &family, const std::string &model)
{
    return std::any_of(family.smonpModels.begin(), family.smonpModels.end(),
                       [&](const char *m) { return model == m; });
}

} // namespace

bool IsSafeOperatorCode(const std::string &code)
{
    return (code.size() == 5 || code.size() == 6) &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

ModemSession::ModemSession(VRynTopDistributor &top, VRynPortComponent &channel, ModemSessionView &view)
    : m_top(top)
    , m_channel(channel)
    , m_view(view)
{
    m_workingRecord.MarkAllInvalid();
    m_displayRecord.MarkAllInvalid();

    m_top.SetComHandler(&m_channel);
    m_top.SetOnComRecvDecode([this](VRynGeneralDistributor *s, std::uint32_t &t) { distTopComRecvDecode(s, t); });
    m_top.SetOnComRecvPoll([this](VRynGeneralDistributor *s, std::uint32_t &t, const std::string &d, bool &p) {
        distTopComRecvPoll(s, t, d, p);
    });
    m_top.SetOnTimeout([this](VRynGeneralDistributor *s, std::uint32_t &t) { distTopTimeout(s, t); });
    m_top.SetOnComSendTransfer([this](VRynGeneralDistributor *, std::uint32_t, const std::string &d,
                                      VRynGeneralDistributor *, bool) { distTopComSendTransfer(d); });
    // A parser or cutter that throws must not end the program: the text is
    // reported and the machine goes on with the next line.
    m_top.SetOnCallbackException([this](VRynGeneralDistributor *, const std::exception &e, int, bool &handled) {
        m_view.TerminalLine(std::string("machine: ") + e.what(), VRynTerminal_ltExtra);
        handled = true;
    });
    m_channel.SetOnStateChange([this](QObject *, TCommState state) { VRSComm321StateChange(state); });
    m_channel.SetOnNotice([this](const std::string &text) { Write("  " + text); });
}

ModemSession::~ModemSession()
{
    m_channel.SetOnStateChange({});
    m_channel.SetOnNotice({});
    m_top.SetOnComRecvDecode({});
    m_top.SetOnComRecvPoll({});
    m_top.SetOnTimeout({});
    m_top.SetOnComSendTransfer({});
    m_top.SetOnCallbackException({});
    m_top.SetTimeout(kTimeoutDisarm);
}

TNetState ModemSession::DisplayRecordSnapshot()
{
    std::lock_guard lock(m_recordLock);
    return m_displayRecord;
}

std::optional<std::int32_t> ModemSession::DisplayCsqRssi()
{
    std::lock_guard lock(m_recordLock);
    return m_displayCsqRssi;
}

std::optional<std::int32_t> ModemSession::DisplayCsqBer()
{
    std::lock_guard lock(m_recordLock);
    return m_displayCsqBer;
}

// ---- handlers ------------------------------------------------------------

void ModemSession::distTopComRecvDecode(VRynGeneralDistributor *sender, std::uint32_t &)
{
    const std::string_view buffer = sender->GetComBuffer(0);
    if (buffer.empty())
        return;
    const std::size_t cr = buffer.find('\r');
    if (cr == std::string_view::npos) {
        // Noise without line ends is delivered as one line once it is long.
        if (buffer.size() > kMaxLineLength) {
            sender->SetDecodedLength(0, static_cast<int>(buffer.size()));
            sender->SetDecodePending(0, false);
        }
        return;
    }
    // The LF of a CR LF that came with the line goes with it; one that has
    // not come yet is not waited for. Otherwise it would stay behind alone
    // in the buffer, a byte waiting that keeps the distributor ticking.
    const std::size_t end = cr + 1 < buffer.size() && buffer[cr + 1] == '\n' ? cr + 2 : cr + 1;
    sender->SetDecodedLength(0, static_cast<int>(end));
    sender->SetDecodePending(0, false);
}

void ModemSession::distTopComRecvPoll(VRynGeneralDistributor *, std::uint32_t &, const std::string &data,
                                      bool &processed)
{
    if (processed)
        return;
    // Trimmed into a string kept from line to line, which then trades places
    // with the last line: a line costs no allocation.
    std::string &line = m_incomingLine;
    line.assign(TrimmedControl(data));
    // The CR LF around every answer line leaves empty lines between them;
    // they carry nothing worth a terminal line.
    if (Echo() && !line.empty())
        m_view.ReceivedLine(line);
    if (!TakeLine(line))
        return;
    m_lastLine.swap(line);
    Run();
}

bool ModemSession::TakeLine(const std::string &line)
{
    if (line.empty())
        return true;
    const bool dialling = IsDialCommand(m_currentCommand);
    // +CPIN: is also a boot line; while AT+CPIN? waits it is the answer.
    const bool pinAnswer = m_awaitingFinal && StartsWith(line, "+CPIN:") && StartsWith(m_currentCommand, "AT+CPIN?");
    if (!pinAnswer && IsUnsolicitedResultCode(line, dialling)) {
        if (IsRingIndication(line)) {
            m_ringSeen = true;
            // Between the cycles of a long interval the pause ends early
            // for a call that will be answered.
            if (m_answerCalls && !m_readOnly && m_pollInterval > kPollPause && CurrentState() == State::Poll &&
                m_step == kPollPauseWait)
                Arm(std::chrono::milliseconds(0));
        }
        if (StartsWith(line, "+CLIP:")) {
            const std::string number = ClipNumber(line);
            Write("machine: incoming call from " + (number.empty() ? std::string("an unknown number") : number));
            m_view.IncomingCall(number);
        }
        return false;
    }
    // The list of a scan that ended before the modem answered it, and the
    // final result code after it: no answer to the command now out.
    if (!m_scanning && IsOperatorScanLine(line)) {
        // A command held back for that final result code takes it as such.
        m_dropScanFinal = !m_held;
        return false;
    }
    if (m_dropScanFinal && IsFinalResultCode(line, false)) {
        m_dropScanFinal = false;
        return false;
    }
    // A modem that restarted has its echo on again: the echo of a command is
    // no answer to it.
    if (m_awaitingFinal && line == TrimmedControl(m_currentCommand))
        return false;
    const bool final = IsFinalResultCode(line, dialling);
    if (m_held) {
        if (m_held->repeat) {
            // The command is the one that timed out, asked again: its late
            // answer is as good, and the repeat need not go out.
            if (final) {
                m_held.reset();
                m_awaitingFinal = false;
                Disarm();
            }
            return true;
        }
        // The late answer of the command that timed out: shown, not taken.
        if (final)
            ReleaseHeld();
        return false;
    }
    if (final)
        m_awaitingFinal = false;
    return true;
}

void ModemSession::distTopTimeout(VRynGeneralDistributor *, std::uint32_t &)
{
    if (m_channelLost && SessionOpen()) {
        // Armed by the state handler: the loss is acted on at once.
        Run();
        return;
    }
    if (m_held) {
        // The late final result code did not come: the modem lost the
        // command, and the held one goes out now.
        ReleaseHeld();
        return;
    }
    m_timedOut = true;
    const auto state = CurrentState();
    const bool commandPending = !(state == State::Open || (state == State::Poll && m_step == kPollPauseWait));
    if (commandPending)
        m_view.CommandTimedOut();
    Run();
}

void ModemSession::distTopComSendTransfer(const std::string &data)
{
    if (Echo())
        m_view.TerminalLine(data, VRynTerminal_ltOutText);
}

void ModemSession::TerminalSendData(const std::uint8_t *data, std::size_t count)
{
    m_echoToTerminal = true;
    m_top.SendComData(std::string(reinterpret_cast<const char *>(data), count));
}

bool ModemSession::SessionOpen() const
{
    const auto current = CurrentState();
    return current == State::Prepare || current == State::Poll || current == State::Answer;
}

void ModemSession::VRSComm321StateChange(TCommState state)
{
    // A failure while the session is open is a lost connection (a pulled USB
    // modem) just as an orderly disconnect is.
    const bool sessionOpen = SessionOpen();
    if (state == TCommState::CommStateDisconnected || (state == TCommState::CommStateFailed && sessionOpen)) {
        m_channelLost = true;
        // The machine may be waiting a minute for an operator switch or a
        // call: the next tick runs it, so the port is reopened at once.
        if (sessionOpen)
            Arm(std::chrono::milliseconds(0));
    }
    m_view.ChannelStateChanged(state);
}

void ModemSession::SetPollingHeld(bool held)
{
    if (held == m_pollingHeld)
        return;
    m_pollingHeld = held;
    Write(held ? "machine: polling held; commands typed in the terminal meet no poll"
               : "machine: polling resumed");
    m_view.PollingHeldChanged(held);
    if (!held && CurrentState() == State::Poll && m_step == kPollHeld) {
        m_step = kPollStart;
        Run();
    }
}

void ModemSession::RequestOperator(const std::string &code)
{
    m_requestedOperator = code;
}

void ModemSession::RequestScan()
{
    if (ScanPending())
        return;
    m_scanRequested = true;
    // Between two cycles (in the pause of a poll interval, or held) the
    // scan starts at once rather than after the pause.
    if (CurrentState() == State::Poll && (m_step == kPollPauseWait || m_step == kPollHeld)) {
        Disarm();
        m_step = kPollScanSend;
        Run();
    }
}

void ModemSession::CancelScan()
{
    if (!ScanPending())
        return;
    std::lock_guard lock(m_machineLock);
    const bool underWay = m_scanning;
    if (underWay)
        AbortScan();
    FinishScan(ScanOutcome::Cancelled);
    if (underWay && CurrentState() == State::Poll && m_step == kPollScanWait) {
        Disarm();
        m_step = kPollStart;
        Run();
    }
}

void ModemSession::AbortScan()
{
    // Any character ends a search the modem may abort (27.007); a lone CR
    // is also no command to a modem that has finished meanwhile. The final
    // result code still owed holds the next command back a while, and a
    // list that comes later is dropped with its final result code.
    Send("\r");
}

void ModemSession::FinishScan(ScanOutcome outcome, std::string reason)
{
    OperatorScanResult result{outcome, {}, std::move(reason)};
    if (outcome == ScanOutcome::Done)
        result.operators.swap(m_scanned);
    m_scanned.clear();
    m_scanRequested = false;
    m_scanning = false;
    Write("machine: " + ScanOutcomeText(result, static_cast<int>(kScanTimeout.count() / 1000)));
    m_view.ScanFinished(result);
}

// ---- machine -------------------------------------------------------------

void ModemSession::Start(QTimer &tick)
{
    tick.setInterval(kTick);
    m_top.SetTimer(&tick);
    tick.start();
    m_top.TimerTick();
    SetState(State::Init);
    Run();
}

void ModemSession::Run()
{
    std::lock_guard lock(m_machineLock);
    m_runAgain = true;
    while (m_runAgain) {
        m_runAgain = false;
        switch (static_cast<State>(m_state)) {
        case State::Init: RunInit(); break;
        case State::Open: RunOpen(); break;
        case State::Prepare: RunPrepare(); break;
        case State::Poll: RunPoll(); break;
        case State::Answer: RunAnswer(); break;
        case State::Close: RunClose(); break;
        default:
            m_runAgain = true;
            SetState(State::Init);
            break;
        }
    }
}

void ModemSession::SetState(State state)
{
    SetStateValue(static_cast<std::uint8_t>(state));
}

void ModemSession::SetStateValue(std::uint8_t value)
{
    std::lock_guard lock(m_machineLock);
    Disarm();
    m_state = value;
    m_step = 0;
    Run();
}

void ModemSession::Arm(std::chrono::milliseconds interval)
{
    m_top.SetTimeout(static_cast<std::uint32_t>(interval.count()));
}

void ModemSession::Disarm()
{
    m_top.SetTimeout(kTimeoutDisarm);
}

void ModemSession::Send(const std::string &command)
{
    m_top.SendComData(command);
}

void ModemSession::Command(const std::string &text, std::chrono::milliseconds timeout, Repeat repeat)
{
    m_timedOut = false;
    if (m_awaitingFinal) {
        m_held = HeldCommand{text, timeout, repeat == Repeat::Yes && text == m_currentCommand};
        Arm(kLateAnswerWait);
        return;
    }
    Transmit(text, timeout);
}

void ModemSession::Transmit(const std::string &text, std::chrono::milliseconds timeout)
{
    m_currentCommand = text;
    m_awaitingFinal = true;
    Arm(timeout);
    Send(text);
}

void ModemSession::ReleaseHeld()
{
    m_awaitingFinal = false;
    if (!m_held)
        return;
    const HeldCommand held = *m_held;
    m_held.reset();
    Transmit(held.text, held.timeout);
}

void ModemSession::ResetDialogue()
{
    m_dropScanFinal = false;
    m_currentCommand.clear();
    m_awaitingFinal = false;
    m_held.reset();
    m_ringSeen = false;
}

void ModemSession::CellMonitorAnsweredError(const std::string &command)
{
    if (++m_errorCycles[command] < kCellMonitorErrorCycles || !m_commandsOff.insert(command).second)
        return;
    Write("machine: " + TrimControl(command) + " answers only ERROR; it is not sent again until the port is reopened");
}

void ModemSession::FallBack(const char *command, const ModemFamily &family)
{
    Write("machine: " + TrimControl(command) + " answers ERROR; " + CommandNames(family) +
          " used instead until the port is reopened");
    m_family = &family;
    m_profileCommand = 0;
    m_runAgain = true;
    m_step = kPollProfileSend;
}

void ModemSessionView::ReceivedLine(const std::string &line)
{
    TerminalLine(line, VRynTerminal_ltExtra);
}

void ModemSession::Write(const std::string &text)
{
    m_view.TerminalLine(text, VRynTerminal_ltExtra);
}

void ModemSession::MarkDisplayInvalid()
{
    std::lock_guard lock(m_recordLock);
    m_displayRecord.MarkAllInvalid();
}

bool ModemSession::ChannelLostCheck()
{
    if (!m_channelLost)
        return false;
    if (ScanPending())
        FinishScan(ScanOutcome::PortLost);
    m_view.ChannelLost();
    m_runAgain = true;
    SetState(State::Close);
    return true;
}

void ModemSession::RunInit()
{
    Write("machine: INIT");
    // A scan under way was the old port's; one only asked for runs on the
    // port now opened.
    if (m_scanning)
        FinishScan(ScanOutcome::PortLost);
    ResetDialogue();
    m_openFailure.reset();
    m_workingRecord.MarkAllInvalid();
    m_requestedOperator.clear();
    m_workingRecord.MarkAllInvalid();
    MarkDisplayInvalid();
    m_runAgain = true;
    SetState(State::Open);
}

void ModemSession::RunOpen()
{
    switch (m_step) {
    case 0:
        m_echoToTerminal = true;
        Write("machine: OPEN");
        m_runAgain = true;
        m_step = 1;
        break;
    case 1: {
        if (m_channel.Active())
            m_channel.StopComm();
        m_channel.SetCommPort(m_view.PortText());
        const std::string port = m_channel.CommPort();
        const std::string opening = "  Opening port \"" + port + "\".";
        // While the opens fail, the attempt is written only with a new reason.
        const bool retrying = m_openFailure.has_value();
        if (!retrying)
            Write(opening);
        m_view.PortOpening(port);
        if (m_channel.StartComm()) {
            if (retrying)
                Write(opening);
            Write("  Success. Port \"" + port + "\" opened.");
            m_openFailure.reset();
            m_silentRounds = 0;
            m_channelLost = false;
            // A new connection may be another modem: what the last one did
            // not know is asked again.
            ResetDialogue();
            m_errorCycles.clear();
            m_commandsOff.clear();
            m_probed = false;
            m_view.PortOpened(port);
            m_runAgain = true;
            SetState(State::Prepare);
        } else {
            const std::string reason = m_channel.LastErrorText();
            if (m_openFailure != reason) {
                if (retrying)
                    Write(opening);
                Write("  Error while opening " + port + ".");
                if (!reason.empty())
                    Write("  " + reason);
            }
            m_openFailure = reason;
            m_view.PortOpenFailed(port, reason);
            m_timedOut = false;
            Arm(kOpenRetry);
            m_step = 2;
        }
        break;
    }
    case 2:
        if (m_timedOut) {
            Disarm();
            m_step = 1;
            m_runAgain = true;
        }
        break;
    default:
        m_step = 0;
        break;
    }
}

void ModemSession::RunPrepare()
{
    if (ChannelLostCheck())
        return;
    switch (m_step) {
    case kPrepareEcho:
        MarkDisplayInvalid();
        m_echoToTerminal = true;
        Write("machine: PREPARE");
        m_lastLine.clear();
        // Automatic operator selection, as the design starts, unless the
        // modem must stay as its owner set it.
        Command(m_readOnly ? "ATE0\r" : "ATE0+COPS=0\r", kPrepareTimeout, Repeat::Yes);
        m_step = kPrepareEchoWait;
        break;
    case kPrepareEchoWait:
        if (m_timedOut) {
            Disarm();
            if (++m_silentRounds == kSilentRounds) {
                const std::string text =
                    "no answer from the modem on " + m_channel.CommPort() + ": wrong port or baud rate?";
                m_view.TerminalLine(text, VRynTerminal_ltWarning);
                m_view.ModemSilent(text);
            }
            m_step = kPrepareEcho;
            m_runAgain = true;
        } else if (StartsWith(m_lastLine, "OK") || IsErrorResultCode(TrimControl(m_lastLine))) {
            // An error answers too: a modem whose SIM is locked or missing
            // refuses +COPS=0 and is still there to be identified.
            Disarm();
            m_runAgain = true;
            m_step = kPrepareCgmi;
        }
        break;
    case kPrepareCgmi:
    case kPrepareCgmm:
        m_lastLine.clear();
        m_expectFirstLine = true;
        m_identificationRefused = false;
        Command(m_step == kPrepareCgmi ? "AT+CGMI\r" : "AT+CGMM\r", kPrepareTimeout, Repeat::Yes);
        m_step = m_step == kPrepareCgmi ? kPrepareCgmiWait : kPrepareCgmmWait;
        break;
    case kPrepareCgmiWait:
    case kPrepareCgmmWait: {
        const bool cgmi = m_step == kPrepareCgmiWait;
        if (m_timedOut) {
            Disarm();
            m_step = cgmi ? kPrepareCgmi : kPrepareCgmm;
            m_runAgain = true;
            break;
        }
        const std::string line = TrimControl(m_lastLine);
        if (line.empty())
            break;
        if (m_expectFirstLine) {
            // A bare OK here is the late final result of an earlier command
            // (one sent again after its time-out), never the identification;
            // after a status line it ends an answer that named nothing, and
            // the modem is asked again.
            if (line == "OK") {
                if (m_identificationRefused) {
                    Disarm();
                    m_step = cgmi ? kPrepareCgmi : kPrepareCgmm;
                    m_runAgain = true;
                }
                break;
            }
            // A modem starting up prints boot and status lines meanwhile
            // ("+CPIN: READY", "Call Ready"): no identity.
            const std::optional<std::string_view> identity = IdentificationText(line, cgmi);
            if (!identity) {
                m_identificationRefused = true;
                break;
            }
            (cgmi ? m_manufacturer : m_model) = std::string(*identity);
            m_view.ModemIdentified(m_manufacturer, m_model);
            m_expectFirstLine = false;
        } else if (StartsWith(line, "OK")) {
            Disarm();
            m_runAgain = true;
            if (cgmi) {
                m_step = kPrepareCgmm;
            } else {
                m_family = &FamilyOfManufacturer(m_manufacturer);
                m_identity = {};
                m_identityStep = 0;
                m_step = kPrepareIdentity;
            }
        }
        break;
    }
    case kPrepareIdentity:
        if (m_identityStep == kIdentityCommands.size()) {
            m_view.IdentityRead(m_identity);
            if (const std::string problem = SimProblemText(m_identity.sim); !problem.empty())
                Write("machine: " + problem);
            m_runAgain = true;
            SetState(State::Poll);
            break;
        }
        m_lastLine.clear();
        // Asked once: a modem that does not know the command answers ERROR,
        // one that does not answer leaves the value unknown.
        Command(kIdentityCommands[m_identityStep].command, kPrepareTimeout);
        m_step = kPrepareIdentityWait;
        break;
    case kPrepareIdentityWait: {
        const IdentityCommand &asked = kIdentityCommands[m_identityStep];
        const std::string line = TrimControl(m_lastLine);
        const bool sim = asked.field == &ModemIdentity::sim;
        std::string &value = m_identity.*asked.field;
        if (!m_timedOut && line.empty())
            break;
        if (!m_timedOut && !IsFinalResultCode(line, false)) {
            if (value.empty())
                value = sim ? SimStateOf(line) : IdentityValue(line);
            break;
        }
        if (sim && value.empty())
            value = SimStateOf(line); // +CME ERROR: 10, SIM not inserted
        Disarm();
        ++m_identityStep;
        m_step = kPrepareIdentity;
        m_runAgain = true;
        break;
    }
    default:
        m_step = 0;
        break;
    }
}

// The pause before a cycle: the design's short one, or with a poll
// interval what is left of it since the last cycle went out.
std::chrono::milliseconds ModemSession::PauseBeforeCycle() const
{
    if (m_pollInterval <= kPollPause || !m_cycleSentAt)
        return kPollPause;
    const std::chrono::milliseconds elapsed{static_cast<std::uint32_t>(m_top.TickCount() - *m_cycleSentAt)};
    return elapsed >= m_pollInterval - kPollPause ? kPollPause : m_pollInterval - elapsed;
}

void ModemSession::RunPoll()
{
    if (ChannelLostCheck())
        return;
    if (m_step >= kPollScanSend)
        return RunPollScan();
    if (m_step >= kPollProbeSend)
        return RunPollProbe();
    if (m_step >= kPollProfileSend)
        return RunPollProfileCells();
    if (m_step >= kPollOperator)
        return RunPollEnd();
    if (m_step >= kPollChooseMonitor)
        return RunPollDesignCells();
    switch (m_step) {
    case kPollStart:
        m_echoToTerminal = true;
        if (m_scanRequested) {
            m_runAgain = true;
            m_step = kPollScanSend;
            break;
        }
        if (m_pollingHeld) {
            // SetPollingHeld(false) starts the cycle; a lost channel still
            // closes through its armed time-out.
            m_step = kPollHeld;
            break;
        }
        m_timedOut = false;
        m_gnssAsked = false;
        m_workingPosition.reset();
        m_view.CycleStarted();
        m_workingRecord.MarkAllInvalid();
        m_workingCsqRssi.reset();
        m_workingCsqBer.reset();
        Arm(PauseBeforeCycle());
        m_step = kPollPauseWait;
        break;
    case kPollPauseWait:
        if (m_timedOut && m_ringSeen && m_pollInterval > kPollPause) {
            // A call rang during the pause of a poll interval: answered
            // now; the pause then goes on for what is left of it.
            m_runAgain = true;
            SetState(State::Answer);
        } else if (m_timedOut) {
            m_runAgain = true;
            m_step = kPollMainSend;
        }
        break;
    case kPollMainSend:
        m_cycleSentAt = m_top.TickCount();
        m_lastLine.clear();
        Command(kMainPollCommand, kMainAnswerTimeout);
        m_pendingAnswers = 0xFF;
        m_step = kPollMainWait;
        break;
    case kPollMainWait:
        PollMainAnswer();
        break;
    case kPollHeld:
        break;
    default:
        m_step = 0;
        break;
    }
}

// The design's cell monitor: AT^MONI and AT^MONP, or AT^SMONP for the
// models the design family names.
void ModemSession::RunPollDesignCells()
{
    switch (m_step) {
    case kPollChooseMonitor:
        m_runAgain = true;
        if (m_family->choice != FamilyChoice::Design) {
            m_profileCommand = 0;
            m_step = kPollProfileSend;
        } else {
            m_step = TakesSmonp(*m_family, m_model) ? kPollSmonpSend : kPollMoniSend;
        }
        break;
    case kPollMoniSend:
        m_echoToTerminal = false;
        m_runAgain = CellMonitorOff(kMoni);
        if (m_runAgain) {
            m_step = kPollMoniDone;
            break;
        }
        m_lastLine.clear();
        m_expectFirstLine = true;
        Command(kMoni, kCellMonitorTimeout);
        m_step = kPollMoniWait;
        break;
    case kPollMoniWait:
        PollServingCell();
        break;
    case kPollMoniDone:
        Disarm();
        m_runAgain = true;
        m_step = m_shortCycle ? kPollOperator : kPollMonpSend;
        break;
    case kPollMonpSend:
    case kPollSmonpSend: {
        const bool smonp = m_step == kPollSmonpSend;
        m_echoToTerminal = smonp;
        m_runAgain = CellMonitorOff(smonp ? kSmonp : kMonp);
        if (m_runAgain) {
            m_step = smonp ? kPollSmonpDone : kPollMonpDone;
            break;
        }
        m_lastLine.clear();
        m_expectFirstLine = true;
        m_rowIndex = 0;
        Command(smonp ? kSmonp : kMonp, kCellMonitorTimeout);
        m_step = smonp ? kPollSmonpWait : kPollMonpWait;
        break;
    }
    case kPollMonpWait:
        PollNeighbours(NeighbourList::Monp);
        break;
    case kPollSmonpWait:
        PollNeighbours(NeighbourList::Smonp);
        break;
    case kPollMonpDone:
    case kPollSmonpDone:
        Disarm();
        m_runAgain = true;
        m_step = kPollOperator;
        break;
    default:
        m_step = 0;
        break;
    }
}

// The cell commands of the other families, one after the other; the first
// command of a family that answers ERROR makes the session fall back to the
// 3GPP command within the same cycle.
void ModemSession::RunPollProfileCells()
{
    const std::vector<FamilyCommand> &commands = m_family->commands;
    switch (m_step) {
    case kPollProfileSend:
        m_echoToTerminal = true;
        m_runAgain = true;
        if (m_profileCommand >= commands.size() || (m_shortCycle && m_profileCommand > 0)) {
            m_step = kPollOperator;
        } else if (CellMonitorOff(commands[m_profileCommand].text)) {
            ++m_profileCommand;
        } else {
            m_runAgain = false;
            m_lastLine.clear();
            m_reading = AnswerReading{};
            Command(commands[m_profileCommand].text, kCellMonitorTimeout);
            m_step = kPollProfileWait;
        }
        break;
    case kPollProfileWait:
        if (m_timedOut) {
            m_runAgain = true;
            m_step = kPollProfileDone;
        } else if (Waiting()) {
        } else if (IsErrorResultCode(m_lastLine)) {
            Disarm();
            if (m_profileCommand == 0 && m_family != &FallbackFamily()) {
                if (!m_probed) {
                    Write("machine: " + TrimControl(commands[0].text) +
                          " answers ERROR; trying the other families' cell commands");
                    StartProbe(m_family);
                } else {
                    FallBack(commands[0].text, FallbackFamily());
                }
                break;
            }
            CellMonitorAnsweredError(commands[m_profileCommand].text);
            m_runAgain = true;
            m_step = kPollProfileDone;
        } else if (m_lastLine == "OK") {
            CellMonitorAnswered(commands[m_profileCommand].text);
            m_runAgain = true;
            m_step = kPollProfileDone;
        } else {
            m_family->ParseLine(m_profileCommand, m_lastLine, m_reading, m_workingRecord);
        }
        break;
    case kPollProfileDone:
        Disarm();
        ++m_profileCommand;
        m_runAgain = true;
        m_step = kPollProfileSend;
        break;
    default:
        m_step = 0;
        break;
    }
}

void ModemSession::StartProbe(const ModemFamily *tried)
{
    m_probed = true;
    m_probeOrder = ProbeOrder(tried);
    m_probeIndex = 0;
    m_runAgain = true;
    m_step = kPollProbeSend;
}

namespace {

// Whether a cell command's answer gave the record anything of a cell.
bool ReadsCells(const TNetState &record)
{
    return record.rat != TRadioTech::Unknown || record.serving || record.secondary || !record.neighbours.empty() ||
           record.cells[0].valid;
}

} // namespace

// The first command of each family in turn, until one answers with lines
// its parser reads or that start with the command's own prefix: that family is kept, and its commands go out from the
// first in this cycle already. A command that answers ERROR (or nothing
// within its time-out) passes to the next family; when none is left, the
// fallback family.
void ModemSession::RunPollProbe()
{
    switch (m_step) {
    case kPollProbeSend: {
        m_echoToTerminal = true;
        if (m_probeIndex >= m_probeOrder.size()) {
            Write("machine: no family's cell command answers; " + CommandNames(FallbackFamily()) +
                  " used instead until the port is reopened");
            m_family = &FallbackFamily();
            m_profileCommand = 0;
            m_runAgain = true;
            m_step = kPollProfileSend;
            break;
        }
        m_lastLine.clear();
        m_reading = AnswerReading{};
        m_probeRecord.MarkAllInvalid();
        m_probeAnswered = false;
        Command(m_probeOrder[m_probeIndex]->commands.front().text, kCellMonitorTimeout);
        m_step = kPollProbeWait;
        break;
    }
    case kPollProbeWait: {
        const ModemFamily &family = *m_probeOrder[m_probeIndex];
        if (m_timedOut || IsErrorResultCode(m_lastLine)) {
            m_runAgain = true;
            m_step = kPollProbeDone;
        } else if (Waiting()) {
        } else if (m_lastLine == "OK") {
            Disarm();
            if (!m_probeAnswered && !ReadsCells(m_probeRecord)) {
                m_runAgain = true;
                m_step = kPollProbeDone;
                break;
            }
            Write("machine: " + TrimControl(family.commands.front().text) + " answers; reading cells as " +
                  family.name);
            m_family = &family;
            m_profileCommand = 0;
            m_runAgain = true;
            m_step = kPollProfileSend;
        } else {
            family.ParseLine(0, m_lastLine, m_reading, m_probeRecord);
            // A line of the command's own (a modem that is not camped
            // answers "+QENG: \"servingcell\",\"SEARCH\"") tells the family
            // as well as cells do.
            const std::vector<const char *> &prefixes = family.commands.front().linePrefixes;
            m_probeAnswered = m_probeAnswered ||
                              std::any_of(prefixes.begin(), prefixes.end(),
                                          [&](const char *prefix) { return StartsWith(m_lastLine, prefix); });
        }
        break;
    }
    case kPollProbeDone:
        Disarm();
        ++m_probeIndex;
        m_runAgain = true;
        m_step = kPollProbeSend;
        break;
    default:
        m_step = 0;
        break;
    }
}

// The operator switch when one was asked for, then the copy of the record.
void ModemSession::RunPollEnd()
{
    switch (m_step) {
    case kPollOperator:
        // The modem's GNSS once per cycle, only when the user asked for it.
        if (m_gnss && !m_gnssAsked && m_family->gnssCommand && m_family->parseGnss && !m_shortCycle) {
            m_gnssAsked = true;
            m_echoToTerminal = true;
            m_lastLine.clear();
            Command(m_family->gnssCommand, kCellMonitorTimeout);
            m_runAgain = false;
            m_step = kPollGnssWait;
            break;
        }
        StartOperatorSwitch();
        break;
    case kPollGnssWait:
        if (m_timedOut) {
            Disarm();
            m_runAgain = true;
            m_step = kPollOperator;
        } else if (Waiting()) {
        } else if (IsFinalResult(m_lastLine)) {
            Disarm();
            m_runAgain = true;
            m_step = kPollOperator;
        } else if (std::optional<TGnssFix> fix = m_family->parseGnss(m_lastLine)) {
            m_workingPosition = std::move(fix);
        }
        break;
    case kPollOperatorWait:
        if (m_timedOut) {
            Disarm();
            m_runAgain = true;
            m_step = kPollOperator;
        } else if (!Waiting() && IsFinalResult(m_lastLine)) {
            Disarm();
            MarkDisplayInvalid();
            if (StartsWith(m_lastLine, "OK")) {
                m_view.OperatorSwitchDone();
            } else {
                // The modem stays where it was: said, not taken for done.
                const std::string reason =
                    (m_switchingOperator == "AUTO" ? std::string("automatic operator selection")
                                                   : "operator " + m_switchingOperator) +
                    " refused: " + m_lastLine;
                Write("machine: " + reason);
                m_view.OperatorRequestRefused(reason);
            }
            m_switchingOperator.clear();
            m_runAgain = true;
            m_step = kPollCopy;
        }
        break;
    case kPollCopy:
        {
            std::lock_guard lock(m_recordLock);
            m_displayRecord = m_workingRecord;
            CompleteGeneralCells(m_displayRecord);
            ClearOutOfRange(m_displayRecord);
            m_displayCsqRssi = m_workingCsqRssi;
            m_displayCsqBer = m_workingCsqBer;
        }
        ++m_completedCycles;
        m_view.CycleCompleted({m_completedCycles, m_manufacturer, m_model, m_displayRecord, m_displayCsqRssi,
                               m_displayCsqBer, m_identity, m_workingPosition});
        m_workingPosition.reset();
        m_gnssAsked = false;
        Disarm();
        m_runAgain = true;
        SetState(State::Answer);
        break;
    default:
        m_step = 0;
        break;
    }
}

// A network scan between two cycles; the next cycle starts after it.
void ModemSession::RunPollScan()
{
    switch (m_step) {
    case kPollScanSend:
        m_echoToTerminal = true;
        m_scanRequested = false;
        m_scanning = true;
        m_scanned.clear();
        m_lastLine.clear();
        Write("machine: scanning for networks (AT+COPS=?, up to " + std::to_string(kScanTimeout.count() / 1000) +
              " s); polling pauses");
        Command("AT+COPS=?\r", kScanTimeout);
        m_view.ScanStarted(kScanTimeout);
        m_runAgain = false;
        m_step = kPollScanWait;
        break;
    case kPollScanWait:
        if (m_timedOut) {
            Disarm();
            AbortScan();
            FinishScan(ScanOutcome::TimedOut);
        } else if (Waiting()) {
            break;
        } else if (std::optional<std::vector<ScannedOperator>> found = ParseOperatorScan(m_lastLine)) {
            m_scanned.insert(m_scanned.end(), found->begin(), found->end());
            break;
        } else if (IsFinalResult(m_lastLine)) {
            Disarm();
            if (StartsWith(m_lastLine, "OK"))
                FinishScan(ScanOutcome::Done);
            else
                FinishScan(ScanOutcome::Refused, m_lastLine);
        } else {
            break;
        }
        m_runAgain = true;
        m_step = kPollStart;
        break;
    default:
        m_step = kPollStart;
        break;
    }
}

void ModemSession::PollMainAnswer()
{
    if (m_timedOut) {
        m_view.MainAnswerTimedOut();
        Disarm();
        m_workingRecord.signalValid = false;
        m_workingRecord.berValid = false;
        m_workingRecord.registrationValid = false;
        m_workingRecord.activityValid = false;
        m_workingRecord.operatorNameValid = false;
        m_runAgain = true;
        m_step = kPollCopy;
        return;
    }
    if (Waiting())
        return;
    const std::string &line = m_lastLine;
    if (StartsWith(line, "+CSQ:")) {
        m_pendingAnswers &= ~kPendingCsq;
        parseCsqExec(line, m_workingRecord);
        m_workingCsqRssi = CsqRssi(line);
        m_workingCsqBer = CsqBer(line);
    } else if (StartsWith(line, "+COPS:")) {
        m_pendingAnswers &= ~kPendingCops;
        parseCopsRead(line, m_workingRecord);
    } else if (StartsWith(line, "+CREG:")) {
        m_pendingAnswers &= ~kPendingCreg;
        parseCregRead(line, m_workingRecord);
    } else if (StartsWith(line, "+CPAS:")) {
        m_pendingAnswers &= ~kPendingCpas;
        parseCpasExec(line, m_workingRecord);
    } else if (line == "OK") {
        m_pendingAnswers &= ~kPendingOk;
    }
    if ((m_pendingAnswers & kPendingMainMask) == 0) {
        Disarm();
        m_runAgain = true;
        m_step = kPollChooseMonitor;
    }
}

void ModemSession::PollServingCell()
{
    if (m_timedOut) {
        parseMoniServing(std::string(), m_workingRecord);
        m_runAgain = true;
        m_step = kPollMoniDone;
        return;
    }
    if (Waiting())
        return;
    if (IsErrorResultCode(m_lastLine)) {
        // A modem of another family: its own commands, within this cycle.
        Disarm();
        parseMoniServing(std::string(), m_workingRecord);
        const ModemFamily &next = FamilyAfterMoniError(m_manufacturer);
        // No family's words in the identification: the modem's answers
        // tell which family it is.
        if (&next == &FallbackFamily() && !m_probed)
            StartProbe(nullptr);
        else
            FallBack(kMoni, next);
        return;
    }
    if (m_expectFirstLine) {
        if (StartsWith(m_lastLine, "chann"))
            m_expectFirstLine = false;
        return;
    }
    if (StartsWith(m_lastLine, "OK")) {
        CellMonitorAnswered(kMoni);
        m_runAgain = true;
        m_step = kPollMoniDone;
        return;
    }
    parseMoniServing(m_lastLine, m_workingRecord);
}

void ModemSession::PollNeighbours(NeighbourList list)
{
    const bool smonp = list == NeighbourList::Smonp;
    const std::int32_t done = smonp ? kPollSmonpDone : kPollMonpDone;
    auto parse = [&](const std::string &line, int index) {
        if (smonp)
            parseSmonpNeighbour(line, index, m_workingRecord);
        else
            parseMonpNeighbour(line, index, m_workingRecord);
    };
    if (m_timedOut) {
        parse(std::string(), -1);
        m_runAgain = true;
        m_step = done;
        return;
    }
    if (Waiting())
        return;
    const char *const monitor = smonp ? kSmonp : kMonp;
    if (IsErrorResultCode(m_lastLine)) {
        CellMonitorAnsweredError(monitor);
        parse(std::string(), -1);
        m_runAgain = true;
        m_step = done;
        return;
    }
    if (m_expectFirstLine) {
        if (StartsWith(m_lastLine, smonp ? "2G:" : "chann"))
            m_expectFirstLine = false;
        return;
    }
    if (StartsWith(m_lastLine, "OK")) {
        CellMonitorAnswered(monitor);
        m_runAgain = true;
        m_step = done;
        return;
    }
    parse(m_lastLine, m_rowIndex);
    ++m_rowIndex;
}

void ModemSession::StartOperatorSwitch()
{
    m_echoToTerminal = true;
    if (m_requestedOperator.empty()) {
        m_runAgain = true;
        m_step = kPollCopy;
        return;
    }
    const bool unsafe = m_requestedOperator != "AUTO" && !IsSafeOperatorCode(m_requestedOperator);
    if (unsafe || m_readOnly) {
        // The code comes from a file the user edits: a quote or a control
        // character would end the command early or smuggle in another one.
        const std::string reason =
            unsafe ? "operator code refused, it contains a double quote or a control character"
                   : "operator switch not sent: read-only mode changes nothing in the modem";
        Write("machine: " + reason);
        m_requestedOperator.clear();
        m_view.OperatorRequestRefused(reason);
        m_runAgain = true;
        m_step = kPollCopy;
        return;
    }
    MarkDisplayInvalid();
    // Command clears the time-out flag: one left over from the cell monitor
    // would end the minute's wait at its first line.
    if (m_requestedOperator == "AUTO")
        Command("AT+COPS=0\r", kOperatorSwitchTimeout);
    else
        Command("AT+COPS=1,2,\"" + m_requestedOperator + "\"\r", kOperatorSwitchTimeout);
    m_lastLine.clear();
    m_switchingOperator = m_requestedOperator;
    m_requestedOperator.clear();
    m_runAgain = false;
    m_step = kPollOperatorWait;
}

void ModemSession::RunAnswer()
{
    if (ChannelLostCheck())
        return;
    switch (m_step) {
    case kAnswerStart:
        m_echoToTerminal = true;
        m_runAgain = true;
        m_step = kAnswerRing;
        break;
    case kAnswerRing: {
        // A channel without a ring line has only the RING lines to go by.
        const bool ring = m_channel.RingIndicator() || (m_ringSeen && !m_channel.ReportsRingIndicator());
        m_ringSeen = false;
        m_runAgain = true;
        // A call is answered only when the user asked for it.
        m_step = ring && m_answerCalls && !m_readOnly ? kAnswerSend : kAnswerDone;
        break;
    }
    case kAnswerSend:
        m_echoToTerminal = true;
        Command("ATA\r", kAnswerCallTimeout);
        m_lastLine.clear();
        m_runAgain = false;
        m_step = kAnswerWait;
        break;
    case kAnswerWait:
        if (m_timedOut) {
            Disarm();
            m_step = kAnswerDone;
            m_runAgain = true;
        } else if (!m_lastLine.empty()) {
            const std::string &l = m_lastLine;
            if (StartsWith(l, "OK") || Contains(l, "CONNECT") || Contains(l, "ERROR") ||
                Contains(l, "NO CARRIER") || Contains(l, "NO DIALTONE")) {
                if (StartsWith(l, "OK") || StartsWith(l, "CONNECT"))
                    m_view.CallAnswered();
                Disarm();
                m_runAgain = true;
                m_step = kAnswerDone;
            }
        }
        break;
    case kAnswerDone:
        Disarm();
        m_runAgain = true;
        SetState(State::Poll);
        break;
    default:
        m_step = 0;
        break;
    }
}

void ModemSession::RunClose()
{
    Write("machine: CLOSE");
    m_echoToTerminal = true;
    ResetDialogue();
    m_channel.StopComm();
    m_runAgain = true;
    SetState(State::Open);
}
