#include "HeadlessMain.h"

#include "LeanEventLoop.h"
#include "MetricsExporter.h"
#include "ModemSession.h"
#include "RecordLog.h"
#include "VRSComm32.h"
#include "VRynLogger.h"
#include "VRynTerminalLineType.h"
#include "VRynTopDistributor.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// --terminal FILE is rotated at this size, so a flooding modem cannot fill
// the disk; the old files are FILE.1 (newest) to FILE.3.
constexpr qint64 kTerminalLogBytes = 10 * 1024 * 1024;
constexpr int kTerminalLogOldFiles = 3;

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

// Self-pipe: the signal handler only writes one byte; the event loop reads
// it and quits.
int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

bool InstallStopSignals(QObject *owner, std::function<void()> onStop)
{
    if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    for (int fd : g_signalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [onStop = std::move(onStop)] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        onStop();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    return true;
}

// The session's view without a window: the port comes from the command
// line, the machine's texts go to the terminal log, the cycle records to
// standard output, the record log and the metrics.
class HeadlessMonitor : public QObject, public ModemSessionView {
public:
    HeadlessMonitor(const HeadlessOptions &options, RecordLog *log, VRynLogger *terminal, MetricsExporter *metrics)
        : m_options(options)
        , m_port(options.port.toStdString())
        , m_log(log)
        , m_terminal(terminal)
        , m_metrics(metrics)
    {
        m_channel = new TVRSComm32(this);
        if (options.baud > 0)
            m_channel->SetBaudRate(options.baud);
        m_top = new VRynTopDistributor(this);
        m_timer = new QTimer(this);
        m_session = std::make_unique<ModemSession>(*m_top, *m_channel, *this);
    }

    ~HeadlessMonitor() override { Shutdown(); }

    // Runs inside the event loop, so a failure here can end it.
    void Start()
    {
        if (!m_output.OpenStandardOutput(m_options.format))
            return Fail(m_output.ErrorText());
        Guarded([this] { m_session->Start(*m_timer); });
        if (m_options.durationSeconds)
            QTimer::singleShot(std::chrono::milliseconds(static_cast<long long>(*m_options.durationSeconds * 1000.0)),
                               this, [this] { Stop(kExitOk); });
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
        if (!m_session)
            return;
        m_timer->stop();
        m_session.reset();
        m_channel->SetOnStateChange({});
        m_channel->StopComm();
        m_output.Close();
    }

    int ExitCode() const { return m_exitCode; }

    // ModemSessionView
    std::string PortText() const override { return m_port; }

    void TerminalLine(const std::string &line, int lineType) override
    {
        if (m_terminal && m_terminal->isOpen() && !m_terminal->write(line, lineType, QDateTime::currentDateTime()))
            Fail(m_terminal->errorText());
        if (!m_options.quiet && lineType == VRynTerminal_ltExtra)
            StatusLine(line);
    }

    void CycleCompleted(const CompletedCycle &cycle) override
    {
        if (m_stopping)
            return;
        const CycleRecord record = CycleRecordOf(cycle, m_port, QDateTime::currentDateTimeUtc());
        // The log and the metrics first: whoever sees a record on standard
        // output finds it in the log file and in a scrape already.
        if (m_log && !m_log->Append(record))
            return Fail(m_log->ErrorText());
        if (m_metrics) {
            m_metrics->Update(record);
            m_metrics->CountCycle();
        }
        if (!m_output.Append(record))
            return Fail(m_output.ErrorText());
        if (m_options.cycles > 0 && record.cycle >= m_options.cycles)
            Stop(kExitOk);
    }

    void CommandTimedOut() override
    {
        if (m_metrics)
            m_metrics->CountTimeout();
    }

    void PortOpened(const std::string &) override
    {
        if (m_everConnected && m_metrics)
            m_metrics->CountReconnect();
        m_everConnected = true;
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

    // The machine's own progress texts (not the modem's lines) go to
    // standard error; open failures come from PortOpenFailed.
    void StatusLine(const std::string &line)
    {
        const bool machine = line.rfind("machine: ", 0) == 0;
        const bool success = line.rfind("  Success.", 0) == 0;
        if (success)
            m_shownReason.reset();
        if (machine || success)
            TerminalStatusLine(VRynSafeText(line));
    }

    // A failure to open the port is shown with its reason once, and again
    // only when the reason changes or after the port was open in between.
    void PortOpenFailed(const std::string &port, const std::string &reason) override
    {
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
    VRynLogger *m_terminal;
    MetricsExporter *m_metrics;
    TVRSComm32 *m_channel = nullptr;
    VRynTopDistributor *m_top = nullptr;
    QTimer *m_timer = nullptr;
    std::unique_ptr<ModemSession> m_session;
    bool m_everConnected = false;
    bool m_stopping = false;
    std::optional<std::string> m_shownReason; // of the open failure shown last
    int m_exitCode = kExitOk;
};

bool PositiveInteger(const QString &text, std::uint64_t &value)
{
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok && value > 0;
}

} // namespace

HeadlessParse ParseHeadlessOptions(const QStringList &arguments, HeadlessOptions &options, QString &text)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Monitors a GSM modem without a window and writes one record per poll cycle."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption helpOption({"h", "help"}, "Shows this help.");
    const QCommandLineOption headlessOption("headless", "Runs without a window (this mode).");
    const QCommandLineOption baudOption("baud", "Baud rate of the serial port.", "N");
    const QCommandLineOption cyclesOption("cycles", "Stops after N completed poll cycles.", "N");
    const QCommandLineOption durationOption("duration", "Stops after SECONDS.", "SECONDS");
    const QCommandLineOption jsonOption("json", "Writes one JSON object per cycle on standard output (the default).");
    const QCommandLineOption csvOption("csv", "Writes a CSV header and one row per cycle on standard output.");
    const QCommandLineOption logOption(
        "log", "Appends the records to FILE too, flushed after each (JSON lines; CSV for a .csv file).", "FILE");
    const QCommandLineOption terminalOption(
        "terminal", "Writes the terminal lines, with times, to FILE (rotated at 10 MB: FILE.1 to FILE.3 kept).", "FILE");
    const QCommandLineOption metricsOption("metrics", "Serves Prometheus metrics at http://HOST:PORT/metrics.",
                                           "HOST:PORT");
    const QCommandLineOption quietOption("quiet", "No progress lines on standard error.");
    parser.addOptions({helpOption, headlessOption, baudOption, cyclesOption, durationOption, jsonOption, csvOption,
                       logOption, terminalOption, metricsOption, quietOption});
    parser.addPositionalArgument("PORT", "Serial port (ttyUSB0, /dev/ttyACM0, COM3) or SIM for the simulated modem.");

    if (!parser.parse(arguments)) {
        text = parser.errorText();
        return HeadlessParse::Error;
    }
    if (parser.isSet(helpOption)) {
        text = parser.helpText();
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
    if (parser.isSet(durationOption)) {
        bool ok = false;
        const double seconds = parser.value(durationOption).toDouble(&ok);
        // QTimer takes an int of milliseconds.
        if (!ok || !(seconds > 0) || seconds > 2000000.0) {
            text = QStringLiteral("--duration needs a positive number of seconds, got \"%1\"")
                       .arg(parser.value(durationOption));
            return HeadlessParse::Error;
        }
        options.durationSeconds = seconds;
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
    if (parser.isSet(metricsOption)) {
        options.metricsAddress = parser.value(metricsOption);
        if (!MetricsExporter::ValidAddress(options.metricsAddress.toStdString())) {
            text = QStringLiteral("--metrics needs HOST:PORT, got \"%1\"").arg(options.metricsAddress);
            return HeadlessParse::Error;
        }
    }
    options.quiet = parser.isSet(quietOption);
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
    RecordLog log;
    if (!options.logFile.isEmpty() && !log.Open(options.logFile)) {
        ErrorLine(log.ErrorText());
        return kExitFailure;
    }
    VRynLogger terminal;
    if (!options.terminalFile.isEmpty()) {
        terminal.setRotation(kTerminalLogBytes, kTerminalLogOldFiles);
        const VRynLoggerResult result = terminal.open(options.terminalFile, vrloAppend);
        if (!result.ok) {
            ErrorLine(result.errorText);
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

    int code = kExitFailure;
    try {
        HeadlessMonitor monitor(options, log.IsOpen() ? &log : nullptr, terminal.isOpen() ? &terminal : nullptr,
                                metrics.get());
        if (!InstallStopSignals(&monitor, [&monitor] { monitor.Stop(kExitOk); })) {
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
    log.Close();
    terminal.close();
    return code;
}
