#include "HeadlessMain.h"
#include "OperatorScanRun.h"

#include "GpsdPosition.h"
#include "HeadlessSession.h"
#include "LeanEventLoop.h"
#include "MetricsExporter.h"
#include "MqttPublisher.h"
#include "NmeaPosition.h"
#include "ModemSession.h"
#include "RecordLog.h"
#include "RynRecording.h"
#include "RynReplay.h"
#include "VRSComm32.h"
#include "VRynLogger.h"
#include "VRynTerminalLineType.h"
#include "VRynTopDistributor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A terminal log that cannot be written is opened again at most this often.
constexpr qint64 kTerminalReopenMs = 1000;
// The terminal log's lines are written together at the end of a cycle, and
// at the latest this long after the first of them (lines outside cycles:
// opening the port, a silent modem), or when this many bytes wait.
constexpr int kTerminalFlushMs = 1000;
constexpr std::size_t kTerminalFlushBytes = 64 * 1024;

bool IsFifo(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Every line for the terminal goes through VRynSafeText first, so neither a
// modem nor a file or port name can send control sequences to it.
void TerminalStatusLine(const QString &safeText)
{
    std::fprintf(stderr, "%s\n", safeText.toUtf8().constData());
    std::fflush(stderr);
}

void ErrorLine(const QString &text)
{
    TerminalStatusLine(QStringLiteral("palvex: ") + VRynSafeText(text));
}

// Self-pipe: the signal handler only writes one byte, which says which
// signal came; the event loop reads it and quits, or reopens the logs.
int g_signalPipe[2] = {-1, -1};
constexpr char kStopByte = 'S';
constexpr char kHangupByte = 'H';

extern "C" void OnStopSignal(int signal)
{
    const char byte = signal == SIGHUP ? kHangupByte : kStopByte;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM call onStop; SIGHUP calls onHangup, as daemons reopen
// their logs for logrotate.
bool InstallStopSignals(QObject *owner, std::function<void()> onStop, std::function<void()> onHangup)
{
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner,
                     [onStop = std::move(onStop), onHangup = std::move(onHangup)] {
                         char buffer[16];
                         bool stop = false;
                         bool hangup = false;
                         for (ssize_t n; (n = ::read(g_signalPipe[0], buffer, sizeof buffer)) > 0;) {
                             stop = stop || std::memchr(buffer, kStopByte, std::size_t(n));
                             hangup = hangup || std::memchr(buffer, kHangupByte, std::size_t(n));
                         }
                         if (hangup)
                             onHangup();
                         if (stop)
                             onStop();
                     });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    return true;
}

// The session's view without a window: the port comes from the command
// line, the machine's texts go to the terminal log, the cycle records to
// standard output, the record log and the metrics.
class HeadlessMonitor : public QObject, public ModemSessionView {
public:
    HeadlessMonitor(const HeadlessOptions &options, RecordLog *log, VRynLogger *terminal, MetricsExporter *metrics,
                    MqttPublisher *mqtt)
        : m_options(options)
        , m_port(options.port.toStdString())
        , m_log(log)
        , m_terminal(terminal)
        , m_metrics(metrics)
        , m_mqtt(mqtt)
        , m_events(options.thresholds)
        , m_parts(this, *this, options.baud)
        , m_channel(m_parts.channel)
    {
        m_terminalFlush = new QTimer(this);
        m_terminalFlush->setSingleShot(true);
        m_terminalFlush->setInterval(kTerminalFlushMs);
        connect(m_terminalFlush, &QTimer::timeout, this, [this] { FlushTerminalLog(); });
        if (options.intervalSeconds)
            m_parts.session->SetPollInterval(std::chrono::milliseconds(std::llround(*options.intervalSeconds * 1000.0)));
        m_parts.session->SetAnswerCalls(options.answerCalls);
        m_parts.session->SetReadOnly(options.readOnly);
        m_parts.session->SetGnss(options.gps == QLatin1String("modem"));
    }

    ~HeadlessMonitor() override { Shutdown(); }

    // Runs inside the event loop, so a failure here can end it.
    void Start()
    {
        if (!m_output.OpenStandardOutput(m_options.format))
            return Fail(m_output.ErrorText());
        Guarded([this] { m_parts.Start(); });
        if (m_options.durationSeconds)
            QTimer::singleShot(Milliseconds(*m_options.durationSeconds), this, [this] {
                // A run that measured nothing did not do its job.
                if (m_records == 0)
                    return Fail(QStringLiteral("no record within %1 s: %2")
                                    .arg(*m_options.durationSeconds)
                                    .arg(WhyNoRecord()));
                Stop(kExitOk);
            });
        if (m_options.openTimeoutSeconds)
            QTimer::singleShot(Milliseconds(*m_options.openTimeoutSeconds), this, [this] {
                if (!m_everConnected)
                    Fail(QStringLiteral("%1 did not open within %2 s: %3")
                             .arg(m_options.port)
                             .arg(*m_options.openTimeoutSeconds)
                             .arg(WhyNoRecord()));
            });
    }

    static std::chrono::milliseconds Milliseconds(double seconds)
    {
        return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
    }

    // Why no record came, in the user's words.
    QString WhyNoRecord() const
    {
        if (!m_everConnected)
            return m_openReason.empty() ? QStringLiteral("the port did not open") : QString::fromStdString(m_openReason);
        return QStringLiteral("no answer from the modem on %1").arg(m_options.port);
    }

    void Stop(int code)
    {
        if (m_stopping)
            return;
        m_stopping = true;
        m_exitCode = code;
        QCoreApplication::exit(code);
    }

    // Stops polling and closes the port; safe to call twice.
    void Shutdown()
    {
        if (!m_parts.Stop())
            return;
        m_channel->SetRecorder(nullptr);
        m_output.Close();
        FlushTerminalLog();
        ShowRepeats();
    }

    int ExitCode() const { return m_exitCode; }

    // Positions for the records come from gps.
    void SetGps(PositionSource *gps) { m_gps = gps; }

    // The modem's GNSS gave a position in this cycle or not: said when that
    // changes (not while positions come and --quiet).
    void ShowModemGnss(bool position)
    {
        if (m_modemGnssShown && *m_modemGnssShown == position)
            return;
        m_modemGnssShown = position;
        if (position && !m_options.quiet)
            ErrorLine(QStringLiteral("positions from the modem's GNSS"));
        else if (!position)
            ErrorLine(QStringLiteral("no position from the modem's GNSS (no fix, its receiver is off, or the "
                                     "modem has no position query Palvex knows)"));
    }

    // Everything that passes on the port goes to recorder as well.
    void SetRecorder(TRynRecorder *recorder)
    {
        m_recorder = recorder;
        m_channel->SetRecorder(recorder);
    }

    // ModemSessionView
    std::string PortText() const override { return m_port; }

    void TerminalLine(const std::string &line, int lineType) override
    {
        WriteTerminalLog(line, lineType);
        if (!m_options.quiet && lineType == VRynTerminal_ltExtra)
            StatusLine(line);
    }

    // The modem's own lines go to the terminal log only; one that reads like
    // a status line of ours is shown as the modem's text.
    void ReceivedLine(const std::string &line) override
    {
        WriteTerminalLog(line, VRynTerminal_ltExtra);
        if (!m_options.quiet && line.rfind("machine: ", 0) == 0)
            TerminalStatusLine(VRynSafeText("  the modem sent: " + line));
    }

    void CycleCompleted(const CompletedCycle &cycle) override
    {
        if (m_stopping)
            return;
        ++m_records;
        // The cycle refers to the session's record; only the position is
        // the receiver's.
        CompletedCycle positioned = cycle;
        if (m_gps)
            positioned.position = m_gps->Position();
        CycleRecord record = CycleRecordOf(positioned, m_port, QDateTime::currentDateTimeUtc(), m_options.identity);
        record.events = m_events.Next(record);
        if (m_parts.session->Gnss())
            ShowModemGnss(record.position.has_value());
        if (m_gps)
            if (const QString change = m_gps->TakeStatusChange(); !change.isEmpty())
                if (!m_options.quiet || !record.position)
                    ErrorLine(change);
        if (m_recorder) {
            m_recorder->Identity(record.manufacturer, record.model);
            if (!m_recorder->ErrorText().isEmpty())
                return Fail(m_recorder->ErrorText());
            if (m_recorder->Stopped() && !m_recordLimitShown) {
                m_recordLimitShown = true;
                ErrorLine(QStringLiteral("the recording reached its size limit and stops here; the monitor goes on"));
            }
        }
        // The log and the metrics first: whoever sees a record on standard
        // output finds it in the log file and in a scrape already. A log
        // that cannot take it (a full disk, a FIFO without a reader) is
        // said once per reason, counted, and tried again with the next.
        // Each format is written once for all the outputs that take it.
        m_lines.Next(record);
        if (m_log) {
            const bool written = m_log->AppendLine(m_lines.Line(m_log->Format()));
            if (!written && m_metrics)
                m_metrics->CountRecordNotWritten();
            LogProblem(m_logProblem, written ? QString() : m_log->ErrorText(),
                       QStringLiteral("record log \"%1\" is written again").arg(m_log->Path()));
        }
        if (m_metrics) {
            m_metrics->Update(record);
            m_metrics->CountCycle();
        }
        if (m_mqtt) {
            const QByteArray line = m_lines.Line(RecordFormat::Json);
            m_mqtt->PublishState(std::string(line.constData(), std::size_t(line.size()) - 1));
        }
        if (!m_output.Discarded() && !m_output.AppendLine(m_lines.Line(m_output.Format())))
            return Fail(m_output.ErrorText());
        FlushTerminalLog();
        m_cycles = record.cycle;
        if (m_options.cycles > 0 && record.cycle >= m_options.cycles)
            Stop(kExitOk);
    }

    void CommandTimedOut() override
    {
        if (m_metrics)
            m_metrics->CountTimeout();
    }

    // A recording played to its end ends the run: nothing more will come.
    bool StopAtReplayEnd()
    {
        if (!m_channel->ReplayEnded() || m_stopping)
            return false;
        const bool short_ = m_options.cycles > 0 && m_cycles < m_options.cycles;
        ErrorLine(short_ ? QStringLiteral("the recording ended after %1 of %2 cycles").arg(m_cycles).arg(m_options.cycles)
                         : QStringLiteral("the recording has ended"));
        Stop(short_ ? kExitFailure : kExitOk);
        return true;
    }

    void IncomingCall(const std::string &number) override { m_events.IncomingCall(number); }
    void CallAnswered() override { m_events.CallAnswered(); }

    void PortOpened(const std::string &) override
    {
        m_events.PortOpened(QDateTime::currentDateTimeUtc());
        if (m_everConnected && m_metrics)
            m_metrics->CountReconnect();
        if (m_metrics)
            m_metrics->PortOpened();
        m_everConnected = true;
    }

    void ModemSilent(const std::string &text) override
    {
        if (!m_options.quiet)
            TerminalStatusLine(VRynSafeText("  " + text));
    }

    // While the port is away, the last cycle's values are no measurement.
    void ChannelLost() override
    {
        m_events.PortLost(QDateTime::currentDateTimeUtc());
        if (m_metrics)
            m_metrics->PortClosed();
        StopAtReplayEnd();
    }

    // SIGHUP: the logs are opened again under their names, so that a log
    // that logrotate renamed is left alone and a new one begins. Records go
    // whole to one file or the other: this runs between two cycles.
    void ReopenLogs()
    {
        if (m_log) {
            m_log->Reopen();
            LogProblem(m_logProblem, m_log->ErrorText(),
                       QStringLiteral("record log \"%1\" is written again").arg(m_log->Path()));
        }
        // The terminal log writes what waits, and opens itself again when
        // it writes next.
        if (m_terminal)
            m_terminal->close();
    }

    // Shows why the record log waits, when the monitor starts.
    void ReportLogWaiting()
    {
        if (m_log)
            LogProblem(m_logProblem, m_log->ErrorText(), {});
    }

private:
    template <class F> void Guarded(F &&f)
    {
        try {
            f();
        } catch (const std::exception &e) {
            Fail(QString::fromUtf8(e.what()));
        } catch (...) {
            Fail(QStringLiteral("unexpected error"));
        }
    }

    void Fail(const QString &text)
    {
        if (m_stopping)
            return;
        ErrorLine(text);
        Stop(kExitFailure);
    }

    // A log problem is shown when it starts and when its reason changes,
    // and its end once; monitoring goes on meanwhile.
    void LogProblem(QString &shown, const QString &problem, const QString &recovered)
    {
        if (problem == shown)
            return;
        if (!problem.isEmpty())
            ErrorLine(problem);
        else if (!recovered.isEmpty())
            ErrorLine(recovered);
        shown = problem;
    }

    // The line waits for the end of the cycle (FlushTerminalLog), stamped
    // with the time it came.
    void WriteTerminalLog(const std::string &line, int lineType)
    {
        if (!m_terminal)
            return;
        if (m_terminal->waitingBytes() == 0)
            m_terminalFlush->start();
        m_terminal->add(line, lineType, m_clock.LocalMsNow());
        if (m_terminal->waitingBytes() >= kTerminalFlushBytes)
            FlushTerminalLog();
    }

    void FlushTerminalLog()
    {
        if (!m_terminal || m_terminal->waitingBytes() == 0)
            return;
        m_terminalFlush->stop();
        const QString path = m_options.terminalFile;
        if (!m_terminal->isOpen()) {
            // Opened again now and then: a FIFO gets a reader, a file its
            // folder back. The lines that came meanwhile are lost.
            if (m_terminalRetry.isValid() && !m_terminalRetry.hasExpired(kTerminalReopenMs))
                return m_terminal->discard();
            m_terminalRetry.start();
            if (!m_terminal->open(path, vrloAppend).ok) {
                m_terminal->discard();
                return LogProblem(m_terminalProblem, m_terminal->errorText(), {});
            }
        }
        const bool written = m_terminal->flush();
        if (!written && IsFifo(path))
            m_terminal->close(); // its reader went away: opened anew for the next
        LogProblem(m_terminalProblem, written ? QString() : m_terminal->errorText(),
                   QStringLiteral("terminal log \"%1\" is written again").arg(path));
    }

    // The machine's own progress texts (not the modem's lines) go to
    // standard error; open failures come from PortOpenFailed. A line that
    // comes again and again (a modem that never answers is prepared every
    // few seconds) is shown once, then with its count at 10, 100, 1000...
    // times, and its total when another line follows.
    void StatusLine(const std::string &line)
    {
        const bool machine = line.rfind("machine: ", 0) == 0;
        const bool success = line.rfind("  Success.", 0) == 0;
        if (success)
            m_shownReason.reset();
        if (!machine && !success)
            return;
        if (line == m_lastStatus) {
            ++m_statusRepeats;
            if (m_statusRepeats == m_nextRepeatShown) {
                TerminalStatusLine(VRynSafeText(line + " (" + std::to_string(m_statusRepeats) + " times so far)"));
                m_repeatsShown = m_statusRepeats;
                m_nextRepeatShown *= 10;
            }
            return;
        }
        ShowRepeats();
        m_lastStatus = line;
        m_statusRepeats = 1;
        m_repeatsShown = 1;
        m_nextRepeatShown = 10;
        TerminalStatusLine(VRynSafeText(line));
    }

    // How often the last status line came in all, when that was not shown.
    void ShowRepeats()
    {
        if (m_statusRepeats > 1 && m_repeatsShown != m_statusRepeats)
            TerminalStatusLine(VRynSafeText(m_lastStatus + " (" + std::to_string(m_statusRepeats) + " times in all)"));
        m_repeatsShown = m_statusRepeats;
    }

    // A failure to open the port is shown with its reason once, and again
    // only when the reason changes or after the port was open in between.
    void PortOpenFailed(const std::string &port, const std::string &reason) override
    {
        if (m_metrics)
            m_metrics->PortClosed();
        m_openReason = reason;
        // A folder or /dev/null stays what it is: no use waiting for it.
        if (m_channel->NotASerialPort())
            return Fail(QString::fromStdString(reason));
        if (StopAtReplayEnd())
            return;
        if (m_options.quiet || m_shownReason == reason)
            return;
        m_shownReason = reason;
        TerminalStatusLine(VRynSafeText("  Error while opening " + port + "."));
        if (!reason.empty())
            TerminalStatusLine(VRynSafeText("  " + reason));
    }

    HeadlessOptions m_options;
    std::string m_port;
    RecordLog *m_log;
    RecordLog m_output; // standard output
    RecordLines m_lines; // the lines of the current record
    VRynLocalClock m_clock; // stamps the terminal log's lines
    QTimer *m_terminalFlush = nullptr;
    VRynLogger *m_terminal;
    MetricsExporter *m_metrics;
    MqttPublisher *m_mqtt;
    RecordEventDeriver m_events;
    PositionSource *m_gps = nullptr;
    std::optional<bool> m_modemGnssShown;
    HeadlessSession m_parts;
    TVRSComm32 *m_channel;
    bool m_everConnected = false;
    bool m_stopping = false;
    std::uint64_t m_records = 0; // written this run
    std::string m_openReason;    // why the last open failed
    std::optional<std::string> m_shownReason; // of the open failure shown last
    TRynRecorder *m_recorder = nullptr;
    bool m_recordLimitShown = false;
    std::uint64_t m_cycles = 0; // completed so far
    QString m_logProblem;      // shown last for the record log; empty while it is written
    QString m_terminalProblem; // the same for the terminal log
    QElapsedTimer m_terminalRetry;
    std::string m_lastStatus;
    std::uint64_t m_statusRepeats = 0;
    std::uint64_t m_repeatsShown = 0;
    std::uint64_t m_nextRepeatShown = 10;
    int m_exitCode = kExitOk;
};

bool PositiveInteger(const QString &text, std::uint64_t &value)
{
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok && value > 0;
}

// The MQTT publisher of --mqtt, started; the password comes from the file
// or the environment, never from the command line.
std::unique_ptr<MqttPublisher> StartMqtt(const HeadlessOptions &options, QString &error)
{
    MqttSettings settings;
    if (!ParseMqttAddress(options.mqttAddress, settings, error))
        return nullptr;
    if (!options.mqttPasswordFile.isEmpty()) {
        QFile file(options.mqttPasswordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1: %2").arg(options.mqttPasswordFile, file.errorString());
            return nullptr;
        }
        // The first line, without its line end.
        settings.password = file.readLine(4096).trimmed().toStdString();
    } else {
        settings.password = qEnvironmentVariable("PALVEX_MQTT_PASSWORD").toStdString();
    }
    if (!settings.password.empty() && settings.user.empty()) {
        error = QStringLiteral("--mqtt: a password needs a user name (mqtt://USER@HOST/...)");
        return nullptr;
    }
    settings.caFile = options.mqttCaFile.toStdString();
    auto publisher = std::make_unique<MqttPublisher>(settings, options.port.toStdString(), [quiet = options.quiet](
                                                                                              const std::string &line) {
        if (!quiet)
            ErrorLine(QString::fromStdString(line));
    });
    std::string reason;
    if (!publisher->Start(reason)) {
        error = QString::fromStdString(reason);
        return nullptr;
    }
    return publisher;
}

} // namespace

namespace {

// What a --gps text names: gpsd (its host and port) or an NMEA serial port.
struct PositionSourceText {
    bool gpsd = false;
    std::string host;
    std::string port;
    QString serialPort;
    std::int32_t baud = 0;
};

bool ParsePositionSource(const QString &text, PositionSourceText &source, QString &error)
{
    source.gpsd = text == QLatin1String("gpsd") || text.startsWith(QLatin1String("gpsd:"));
    return source.gpsd ? GpsdPosition::ParseSource(text, source.host, source.port, error)
                       : NmeaPosition::ParseSource(text, source.serialPort, source.baud, error);
}

} // namespace

bool CheckPositionSource(const QString &text, QString &error)
{
    PositionSourceText source;
    return ParsePositionSource(text, source, error);
}

std::unique_ptr<PositionSource> MakePositionSource(const QString &text, QString &error)
{
    PositionSourceText source;
    if (!ParsePositionSource(text, source, error))
        return nullptr;
    if (source.gpsd)
        return std::make_unique<GpsdPosition>(source.host, source.port);
    return std::make_unique<NmeaPosition>(source.serialPort, source.baud);
}

HeadlessParse ParseHeadlessOptions(const QStringList &arguments, HeadlessOptions &options, QString &text)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Monitors a cellular modem (2G to 5G) without a window and writes one record per poll cycle."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption({"h", "help"}, "Shows this help.");
    const QCommandLineOption versionOption({"v", "version"}, "Shows the version.");
    const QCommandLineOption headlessOption("headless", "Runs without a window (this mode).");
    const QCommandLineOption baudOption("baud", "Baud rate of the serial port.", "N");
    const QCommandLineOption cyclesOption("cycles", "Stops after N completed poll cycles.", "N");
    const QCommandLineOption durationOption(
        "duration", "Stops after SECONDS (exit code 1 when no record came by then).", "SECONDS");
    const QCommandLineOption openTimeoutOption(
        "open-timeout", "Gives up (exit code 1) when the port has not opened within SECONDS; by default a "
                        "missing port is awaited.", "SECONDS");
    const QCommandLineOption intervalOption(
        "interval", "Starts a poll cycle at most every SECONDS (decimal); the process sleeps in between. Without it, "
                    "one cycle follows the other.", "SECONDS");
    const QCommandLineOption jsonOption("json", "Writes one JSON object per cycle on standard output (the default).");
    const QCommandLineOption csvOption("csv", "Writes a CSV header and one row per cycle on standard output.");
    const QCommandLineOption logOption(
        "log", "Appends the records to FILE too, flushed after each (JSON lines; CSV for a .csv file).", "FILE");
    const QCommandLineOption terminalOption(
        "terminal", "Writes the terminal lines, with times, to FILE (rotated at --terminal-size: FILE.1 to FILE.N kept).",
        "FILE");
    const QCommandLineOption terminalSizeOption(
        "terminal-size", QStringLiteral("Size in MB at which the terminal log is rotated (default %1; 0: never, "
                                        "for logrotate and SIGHUP).")
                             .arg(HeadlessOptions{}.terminalMegabytes),
        "MB");
    const QCommandLineOption terminalFilesOption(
        "terminal-files", QStringLiteral("Old terminal logs kept, FILE.1 to FILE.N (default %1; 0 keeps none).")
                              .arg(HeadlessOptions{}.terminalOldFiles),
        "N");
    const QCommandLineOption metricsOption("metrics", "Serves Prometheus metrics at http://HOST:PORT/metrics.",
                                           "HOST:PORT");
    const QCommandLineOption mqttOption(
        "mqtt",
        "Publishes each record on an MQTT broker: JSON on PREFIX/<port>/state, online/offline on "
        "PREFIX/<port>/status, and Home Assistant discovery (mqtts:// for TLS; the password from "
        "--mqtt-password-file or the environment variable PALVEX_MQTT_PASSWORD).",
        "mqtt://[USER@]HOST[:PORT]/PREFIX");
    const QCommandLineOption mqttPasswordOption("mqtt-password-file", "Reads the MQTT password from FILE.", "FILE");
    const QCommandLineOption mqttCaOption("mqtt-ca", "Certificate authorities for mqtts:// in FILE (PEM) instead of "
                                                     "the system's.", "FILE");
    const QCommandLineOption answerCallsOption("answer-calls", "Answers incoming calls (ATA); by default they ring on.");
    const QCommandLineOption readOnlyOption(
        "read-only", "Sends only commands that change nothing in the modem: no automatic operator selection at "
                     "the start, no call answered.");
    const QCommandLineOption lowRsrpOption(
        "low-rsrp", QStringLiteral("A record carries the event signal_low when the serving cell's RSRP falls below "
                                   "DBM (default %1), signal_recovered when it is %2 dB above it again.")
                        .arg(SignalThresholds{}.rsrpDbm)
                        .arg(SignalThresholds{}.rsrpHysteresisDb),
        "DBM");
    const QCommandLineOption lowSignalOption(
        "low-signal", QStringLiteral("The same for the signal percentage where no RSRP is known (default %1 %, "
                                     "again good at %2 points above).")
                          .arg(SignalThresholds{}.signalPercent)
                          .arg(SignalThresholds{}.signalHysteresisPercent),
        "PERCENT");
    const QCommandLineOption gpsOption(
        "gps", "Adds the position to each record (key position): from gpsd on this machine (gpsd) or on HOST:PORT, "
               "from the modem's own GNSS (modem: AT+QGPSLOC=2, AT+CGPSINFO, asked once per cycle; the receiver "
               "is not switched on), or from a GPS receiver's NMEA sentences on a serial port (/dev/ttyUSB1, at "
               "4800 baud unless given: /dev/ttyUSB1:9600). A missing, silent or garbled receiver gives no "
               "position and one line on standard error; the poll never waits for it.",
        "gpsd[:HOST:PORT]|modem|PORT[:BAUD]");
    const QCommandLineOption quietOption("quiet", "No progress lines on standard error.");
    const QCommandLineOption identityOption(
        "identity", "Records carry the modem's IMEI and the SIM's IMSI and ICCID (they identify a person; by "
                    "default only the firmware and the SIM state are recorded).");
    const QCommandLineOption recordOption(
        "record", "Records everything that passes on the port to FILE, to replay it as replay:FILE.", "FILE");
    const QCommandLineOption redactOption(
        "record-redact", "Writes the digits of the +CIMI, +CCID, +CNUM and +CLIP answers as x in the recording.");
    parser.addOptions({helpOption, versionOption, headlessOption, baudOption, cyclesOption, durationOption,
                       intervalOption, openTimeoutOption, jsonOption, csvOption, logOption, terminalOption,
                       terminalSizeOption, terminalFilesOption, metricsOption, mqttOption, mqttPasswordOption,
                       mqttCaOption, answerCallsOption, readOnlyOption, identityOption,
                       quietOption});
    parser.addOptions({recordOption, redactOption, lowRsrpOption, lowSignalOption, gpsOption});
    const QCommandLineOption scanOption(
        "scan", "Asks the modem which networks it finds (AT+COPS=?, up to 3 minutes), prints them as JSON and exits.");
    parser.addOption(scanOption);
    parser.addPositionalArgument("PORT", "Serial port (ttyUSB0, /dev/ttyACM0, COM3), SIM for the simulated modem "
                                         "(SIM:EC25 for one of its models, SIM:EC25,latency=50 with settings) or replay:FILE for a recording (replay:FILE,speed=10).");

    if (!parser.parse(arguments)) {
        text = parser.errorText();
        return HeadlessParse::Error;
    }
    if (parser.isSet(helpOption)) {
        text = parser.helpText();
        return HeadlessParse::Help;
    }
    if (parser.isSet(versionOption)) {
        text = QFileInfo(arguments.value(0)).fileName() + QStringLiteral(" " PALVEX_VERSION_TEXT "\n");
        return HeadlessParse::Help;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        text = positional.isEmpty() ? QStringLiteral("no port given (try --help)")
                                    : QStringLiteral("one port only, got: %1").arg(positional.join(' '));
        return HeadlessParse::Error;
    }
    options = HeadlessOptions{};
    options.port = positional.front();
    if (options.port.trimmed().isEmpty()) {
        text = QStringLiteral("the port name is empty");
        return HeadlessParse::Error;
    }
    std::uint64_t value = 0;
    if (parser.isSet(baudOption)) {
        if (!PositiveInteger(parser.value(baudOption), value) || value > 4000000) {
            text = QStringLiteral("--baud needs a positive number, got \"%1\"").arg(parser.value(baudOption));
            return HeadlessParse::Error;
        }
        options.baud = static_cast<std::int32_t>(value);
    }
    if (parser.isSet(cyclesOption)) {
        if (!PositiveInteger(parser.value(cyclesOption), value)) {
            text = QStringLiteral("--cycles needs a positive number, got \"%1\"").arg(parser.value(cyclesOption));
            return HeadlessParse::Error;
        }
        options.cycles = value;
    }
    for (auto [option, target] : {std::pair{&durationOption, &options.durationSeconds},
                                  std::pair{&openTimeoutOption, &options.openTimeoutSeconds}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        const double seconds = parser.value(*option).toDouble(&ok);
        // QTimer takes an int of milliseconds.
        if (!ok || !(seconds > 0) || seconds > 2000000.0) {
            text = QStringLiteral("--%1 needs a positive number of seconds, got \"%2\"")
                       .arg(option->names().constFirst(), parser.value(*option));
            return HeadlessParse::Error;
        }
        *target = seconds;
    }
    if (parser.isSet(intervalOption)) {
        bool ok = false;
        const double seconds = parser.value(intervalOption).toDouble(&ok);
        // A day at most: the session's timer takes milliseconds as 32 bits.
        if (!ok || !(seconds > 0) || seconds > 86400.0) {
            text = QStringLiteral("--interval needs a positive number of seconds up to 86400, got \"%1\"")
                       .arg(parser.value(intervalOption));
            return HeadlessParse::Error;
        }
        options.intervalSeconds = seconds;
    }
    if (parser.isSet(jsonOption) && parser.isSet(csvOption)) {
        text = QStringLiteral("--json and --csv exclude each other");
        return HeadlessParse::Error;
    }
    options.format = parser.isSet(csvOption) ? RecordFormat::Csv : RecordFormat::Json;
    for (auto [option, target] : {std::pair{&logOption, &options.logFile}, std::pair{&terminalOption, &options.terminalFile}}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty()) {
            text = QStringLiteral("--%1 needs a file name").arg(option->names().constFirst());
            return HeadlessParse::Error;
        }
        *target = parser.value(*option);
    }
    if (parser.isSet(terminalSizeOption)) {
        bool ok = false;
        value = parser.value(terminalSizeOption).toULongLong(&ok);
        if (!ok || value > 1024 * 1024) {
            text = QStringLiteral("--terminal-size needs a number of MB (0: never rotated), got \"%1\"")
                       .arg(parser.value(terminalSizeOption));
            return HeadlessParse::Error;
        }
        options.terminalMegabytes = value;
    }
    if (parser.isSet(terminalFilesOption)) {
        bool ok = false;
        const int files = parser.value(terminalFilesOption).toInt(&ok);
        if (!ok || files < 0 || files > 1000) {
            text = QStringLiteral("--terminal-files needs a number from 0 to 1000, got \"%1\"")
                       .arg(parser.value(terminalFilesOption));
            return HeadlessParse::Error;
        }
        options.terminalOldFiles = files;
    }
    if (parser.isSet(metricsOption)) {
        options.metricsAddress = parser.value(metricsOption);
        if (!MetricsExporter::ValidAddress(options.metricsAddress.toStdString())) {
            text = QStringLiteral("--metrics needs HOST:PORT, got \"%1\"").arg(options.metricsAddress);
            return HeadlessParse::Error;
        }
    }
    if (parser.isSet(mqttOption)) {
        MqttSettings settings;
        if (!ParseMqttAddress(parser.value(mqttOption), settings, text))
            return HeadlessParse::Error;
        options.mqttAddress = parser.value(mqttOption);
    }
    for (const QCommandLineOption *option : {&mqttPasswordOption, &mqttCaOption}) {
        if (parser.isSet(*option) && !parser.isSet(mqttOption)) {
            text = QStringLiteral("--%1 goes with --mqtt").arg(option->names().constFirst());
            return HeadlessParse::Error;
        }
    }
    if (parser.isSet(lowRsrpOption)) {
        bool ok = false;
        const double dbm = parser.value(lowRsrpOption).toDouble(&ok);
        if (!ok || dbm < -156 || dbm > -31) {
            text = QStringLiteral("--low-rsrp needs a level from -156 to -31 dBm, got \"%1\"").arg(parser.value(lowRsrpOption));
            return HeadlessParse::Error;
        }
        options.thresholds.rsrpDbm = dbm;
    }
    if (parser.isSet(lowSignalOption)) {
        bool ok = false;
        const int percent = parser.value(lowSignalOption).toInt(&ok);
        if (!ok || percent < 1 || percent > 100) {
            text = QStringLiteral("--low-signal needs a percentage from 1 to 100, got \"%1\"").arg(parser.value(lowSignalOption));
            return HeadlessParse::Error;
        }
        options.thresholds.signalPercent = percent;
    }
    if (parser.isSet(gpsOption) && parser.value(gpsOption) == QLatin1String("modem")) {
        options.gps = parser.value(gpsOption);
    } else if (parser.isSet(gpsOption)) {
        if (!CheckPositionSource(parser.value(gpsOption), text))
            return HeadlessParse::Error;
        options.gps = parser.value(gpsOption);
    }
    options.mqttPasswordFile = parser.value(mqttPasswordOption);
    options.mqttCaFile = parser.value(mqttCaOption);
    options.quiet = parser.isSet(quietOption);
    options.readOnly = parser.isSet(readOnlyOption);
    options.identity = parser.isSet(identityOption);
    options.answerCalls = parser.isSet(answerCallsOption);
    if (options.readOnly && options.answerCalls) {
        text = QStringLiteral("--answer-calls and --read-only exclude each other");
        return HeadlessParse::Error;
    }
    if (parser.isSet(recordOption) && parser.value(recordOption).isEmpty()) {
        text = QStringLiteral("--record needs a file name");
        return HeadlessParse::Error;
    }
    options.recordFile = parser.value(recordOption);
    options.recordRedact = parser.isSet(redactOption);
    options.scan = parser.isSet(scanOption);
    if (options.scan) {
        // A scan prints its list and ends: what goes with cycles does not apply.
        for (const QCommandLineOption *option : {&cyclesOption, &durationOption, &intervalOption, &csvOption,
                                                 &logOption, &terminalOption, &metricsOption, &mqttOption, &recordOption,
                                                 &gpsOption, &answerCallsOption, &identityOption}) {
            if (parser.isSet(*option)) {
                text = QStringLiteral("--scan and --%1 exclude each other").arg(option->names().constFirst());
                return HeadlessParse::Error;
            }
        }
    }
    if (options.recordRedact && options.recordFile.isEmpty()) {
        text = QStringLiteral("--record-redact needs --record FILE");
        return HeadlessParse::Error;
    }
    return HeadlessParse::Run;
}

int RunHeadless(int argc, char **argv)
{
    std::unique_ptr<QCoreApplication> ownApp;
    if (!QCoreApplication::instance())
        ownApp = MakeLeanCoreApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("palvex"));
    // A closed reader of standard output shows as a failed write, not as a
    // silent death.
    std::signal(SIGPIPE, SIG_IGN);

    HeadlessOptions options;
    QString text;
    switch (ParseHeadlessOptions(QCoreApplication::arguments(), options, text)) {
    case HeadlessParse::Help:
        std::fputs(qPrintable(text), stdout);
        std::fflush(stdout);
        return kExitOk;
    case HeadlessParse::Error:
        ErrorLine(text);
        return kExitUsage;
    case HeadlessParse::Run:
        break;
    }
    if (options.scan)
        return RunOperatorScan(options, ErrorLine, [](QObject *owner, std::function<void()> onStop) {
            return InstallStopSignals(owner, std::move(onStop), [] {});
        });
    // Only a log that can never be written (a folder, no permission) stops
    // the start; a full disk or a FIFO without a reader is waited out.
    RecordLog log;
    if (!options.logFile.isEmpty() && !log.Open(options.logFile, RecordLogFailures::KeepTrying)) {
        ErrorLine(log.ErrorText());
        return kExitFailure;
    }
    VRynLogger terminal;
    if (!options.terminalFile.isEmpty()) {
        terminal.setRotation(static_cast<qint64>(options.terminalMegabytes) * 1024 * 1024, options.terminalOldFiles);
        const VRynLoggerResult result = terminal.open(options.terminalFile, vrloAppend);
        if (!result.ok && !IsFifo(options.terminalFile)) {
            ErrorLine(result.errorText);
            return kExitFailure;
        }
    }
    // A recording that cannot be replayed is said at once, not retried.
    if (TVRSComm32::IsReplayPort(options.port.toStdString())) {
        if (const std::string error = TRynReplayChannel::CheckPort(options.port.toStdString()); !error.empty()) {
            ErrorLine(QString::fromStdString(error));
            return kExitFailure;
        }
    }
    TRynRecorder recorder;
    if (!options.recordFile.isEmpty()) {
        recorder.SetRedact(options.recordRedact);
        // The settings of a serial port; those of the simulator or a replay
        // are in the port name.
        const std::string port = options.port.toStdString();
        std::string settings;
        if (!TVRSComm32::IsSimulatedPort(port) && !TVRSComm32::IsReplayPort(port)) {
            TVRSComm32 serial;
            if (options.baud > 0)
                serial.SetBaudRate(options.baud);
            settings = serial.GetConfigAsString();
        }
        if (!recorder.Open(options.recordFile, port, settings)) {
            ErrorLine(recorder.ErrorText());
            return kExitFailure;
        }
    }
    std::unique_ptr<MetricsExporter> metrics;
    if (!options.metricsAddress.isEmpty()) {
        metrics = std::make_unique<MetricsExporter>(options.port.toStdString());
        std::string error;
        if (!metrics->Listen(options.metricsAddress.toStdString(), error)) {
            ErrorLine(QString::fromStdString(error));
            return kExitFailure;
        }
        // Port 0 lets the system choose, so the port is shown even when quiet.
        const QString host = options.metricsAddress.left(options.metricsAddress.lastIndexOf(':'));
        if (!options.quiet || options.metricsAddress.endsWith(QStringLiteral(":0")))
            ErrorLine(QStringLiteral("serving metrics on http://%1:%2/metrics").arg(host).arg(metrics->ListeningPort()));
    }

    std::unique_ptr<MqttPublisher> mqtt;
    if (!options.mqttAddress.isEmpty()) {
        QString error;
        mqtt = StartMqtt(options, error);
        if (!mqtt) {
            ErrorLine(error);
            return kExitFailure;
        }
    }

    std::unique_ptr<PositionSource> gps;
    if (!options.gps.isEmpty() && options.gps != QLatin1String("modem"))
        gps = MakePositionSource(options.gps, text);

    int code = kExitFailure;
    try {
        HeadlessMonitor monitor(options, options.logFile.isEmpty() ? nullptr : &log,
                                options.terminalFile.isEmpty() ? nullptr : &terminal, metrics.get(), mqtt.get());
        monitor.ReportLogWaiting();
        if (recorder.IsOpen())
            monitor.SetRecorder(&recorder);
        monitor.SetGps(gps.get());
        if (!InstallStopSignals(&monitor, [&monitor] { monitor.Stop(kExitOk); }, [&monitor] { monitor.ReopenLogs(); })) {
            ErrorLine(QStringLiteral("cannot install the signal handlers"));
            return kExitFailure;
        }
        QTimer::singleShot(0, &monitor, [&monitor] { monitor.Start(); });
        QCoreApplication::exec();
        monitor.Shutdown();
        code = monitor.ExitCode();
    } catch (const std::exception &e) {
        ErrorLine(QString::fromUtf8(e.what()));
        code = kExitFailure;
    }
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    // A publisher still caught in a connect to a silent host is left to the
    // end of the process rather than waited for.
    if (mqtt && !mqtt->Stop())
        (void)mqtt.release();
    log.Close();
    terminal.close();
    recorder.Close();
    return code;
}
