// palvex-modemsim: a simulated GSM or LTE modem on a pseudo-terminal.
//
// Prints the device path of the terminal side as its first line of standard
// output and answers AT commands on it with the same engine as the
// program's built-in "SIM" port. Later lines report "unplugged" and, after
// a replug, the new device path. It exits when standard input closes (when
// stdin is a pipe or a terminal) or after --exit-after seconds.

#include "RynReplay.h"
#include "RynSimModem.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

class PtyModem : public QObject {
public:
    PtyModem(std::string link, std::chrono::milliseconds latency, std::uint32_t seed)
        : m_link(std::move(link))
        , m_latency(latency)
        , m_seed(seed)
        , m_engine(seed)
    {
    }
    ~PtyModem() override
    {
        Unplug();
        if (!m_link.empty())
            ::unlink(m_link.c_str());
    }

    TRynSimModemEngine &Engine() { return m_engine; }

    // Answers from a recording instead of the engine (--replay): a recorded
    // loss unplugs the terminal and plugs a new one in after the recorded
    // time; the recorded failed opens are the client's own business.
    bool StartReplay(std::unique_ptr<TRynReplayEngine> replay, std::string &error)
    {
        m_replay = std::move(replay);
        m_replayTimer = new QTimer(this);
        m_replayTimer->setSingleShot(true);
        m_replayTimer->setTimerType(Qt::PreciseTimer);
        connect(m_replayTimer, &QTimer::timeout, this, [this] { PlayDue(); });
        if (!m_replay->Open(TRynReplayEngine::Clock::now(), error, TRynReplayEngine::FailedOpens::Skip))
            return false;
        PlayDue();
        return true;
    }

    // Opens a new pseudo-terminal; returns its device path or an empty text.
    std::string Plug(std::string &error)
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
            if (master >= 0)
                ::close(master);
            return {};
        }
        const char *name = ::ptsname(master);
        const std::string path = name ? name : "";
        // The program keeps the terminal side open itself: with no slave open
        // the master reports a hang-up on every poll, and the line settings
        // would fall back to cooked mode (with echo) between clients.
        const int slave = path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0) {
            error = "cannot open " + path + ": " + std::strerror(errno);
            ::close(master);
            return {};
        }
        termios raw{};
        if (::tcgetattr(slave, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(slave, TCSANOW, &raw);
        }
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        m_master = master;
        m_slave = slave;
        m_path = path;
        m_readNotifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
        connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
        m_writeNotifier = new QSocketNotifier(master, QSocketNotifier::Write, this);
        m_writeNotifier->setEnabled(false);
        connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { Flush(); });
        if (!m_link.empty() && !Relink(error)) {
            Unplug();
            return {};
        }
        return path;
    }

    // Closes both sides, as a pulled USB cable takes the device away, and
    // removes the link with it (as udev removes a device's links): a link
    // left pointing at the freed terminal would lead a client that reopens
    // it to whichever program is given that terminal number next.
    void Unplug()
    {
        ++m_generation;
        m_pacer.Reset();
        if (!m_link.empty() && m_master >= 0)
            ::unlink(m_link.c_str());
        delete m_readNotifier;
        delete m_writeNotifier;
        m_readNotifier = nullptr;
        m_writeNotifier = nullptr;
        m_out.clear();
        m_commandLine.clear();
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        m_master = m_slave = -1;
    }

    void PowerCycle() { m_engine.Reset(m_seed); }

private:
    bool Relink(std::string &error)
    {
        struct stat st {};
        if (::lstat(m_link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            error = m_link + " exists and is not a symbolic link";
            return false;
        }
        // Re-pointed through a temporary name so that the link never
        // disappears for a client that opens it at the wrong moment.
        const std::string temporary = m_link + ".new";
        ::unlink(temporary.c_str());
        if (::symlink(m_path.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), m_link.c_str()) != 0) {
            error = "cannot link " + m_link + ": " + std::strerror(errno);
            return false;
        }
        return true;
    }

    void OnReadable()
    {
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            // Cannot happen while the program holds the terminal side open;
            // stop listening rather than spin.
            m_readNotifier->setEnabled(false);
            return;
        }
        const std::string bytes(buffer, static_cast<std::size_t>(n));
        if (m_replay) {
            m_replay->Feed(bytes, TRynReplayEngine::Clock::now());
            PlayDue();
            return;
        }
        if (m_bootLines && AsksIdentification(bytes))
            Later(BootLines());
        for (TRynSimReply &reply : m_engine.FeedReplies(bytes))
            Later(std::move(reply.bytes), reply.delay);
        Later(m_engine.TakeUnsolicited());
    }

    // True when a command line that asks for the manufacturer or the model
    // ends in bytes; the lines are gathered across reads.
    bool AsksIdentification(const std::string &bytes)
    {
        bool asks = false;
        for (const char c : bytes) {
            if (c != '\r') {
                if (m_commandLine.size() < 256)
                    m_commandLine += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                continue;
            }
            asks = asks || m_commandLine.find("AT+CGMI") != std::string::npos ||
                   m_commandLine.find("AT+CGMM") != std::string::npos;
            m_commandLine.clear();
        }
        return asks;
    }

    // What a module prints after power-on or a reset while it starts up.
    static std::string BootLines()
    {
        std::string lines;
        for (const char *line : {"+CPIN: READY", "+CFUN: 1", "PB DONE", "SMS DONE", "Call Ready", "SMS Ready", "+PACSP0"})
            lines += std::string("\r\n") + line + "\r\n";
        return lines;
    }

public:
    // Before each answer to AT+CGMI and AT+CGMM, the boot lines come first.
    void SetBootLines(bool on) { m_bootLines = on; }

    // An unsolicited line, by turns inside the next answer and on its own.
    void SendUnsolicited()
    {
        m_engine.QueueUnsolicited(m_unsolicitedInside ? TRynSimUrcPlacement::InsideNextAnswer
                                                      : TRynSimUrcPlacement::OnItsOwn);
        m_unsolicitedInside = !m_unsolicitedInside;
        if (m_master >= 0)
            Later(m_engine.TakeUnsolicited());
    }

private:
    void PlayDue()
    {
        for (TRynReplayEngine::Output &o : m_replay->TakeDue(TRynReplayEngine::Clock::now())) {
            switch (o.kind) {
            case TRynReplayEngine::Output::Kind::Data:
            case TRynReplayEngine::Output::Kind::Ring:
            case TRynReplayEngine::Output::Kind::Next:
                Write(o.bytes); // a terminal has no ring line
                break;
            case TRynReplayEngine::Output::Kind::Lost:
                Unplug();
                PrintReplayLine("unplugged");
                QTimer::singleShot(o.reopenAfter, this, [this] {
                    std::string error;
                    const std::string path = Plug(error);
                    if (path.empty() || !m_replay->Open(TRynReplayEngine::Clock::now(), error,
                                                        TRynReplayEngine::FailedOpens::Skip)) {
                        std::fprintf(stderr, "palvex-modemsim: %s\n", error.c_str());
                        QCoreApplication::exit(1);
                        return;
                    }
                    PrintReplayLine(path);
                    PlayDue();
                });
                return;
            case TRynReplayEngine::Output::Kind::Ended:
                PrintReplayLine("the recording has ended");
                return;
            }
        }
        if (const auto due = m_replay->NextDue())
            m_replayTimer->start(std::max(std::chrono::ceil<std::chrono::milliseconds>(*due - TRynReplayEngine::Clock::now()),
                                          std::chrono::milliseconds(0)));
    }

    static void PrintReplayLine(const std::string &line)
    {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    }

    // Writes bytes after the latency and delay, in order: the modem answers
    // one command line after the other.
    void Later(std::string bytes, std::chrono::milliseconds delay = {})
    {
        if (bytes.empty())
            return;
        const auto now = TRynSimPacer::Clock::now();
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_pacer.Due(now, m_latency, delay) - now);
        const std::uint64_t generation = m_generation;
        QTimer::singleShot(wait, Qt::PreciseTimer, this, [this, generation, bytes = std::move(bytes)] {
            if (generation == m_generation)
                Write(bytes);
        });
    }

    void Write(const std::string &bytes)
    {
        m_out.insert(m_out.end(), bytes.begin(), bytes.end());
        Flush();
    }

    void Flush()
    {
        while (!m_out.empty() && m_master >= 0) {
            char chunk[512];
            const std::size_t n = std::min(m_out.size(), sizeof chunk);
            std::copy_n(m_out.begin(), n, chunk);
            const ssize_t written = ::write(m_master, chunk, n);
            if (written <= 0)
                break;
            m_out.erase(m_out.begin(), m_out.begin() + written);
        }
        if (m_writeNotifier)
            m_writeNotifier->setEnabled(!m_out.empty());
    }

    std::string m_link;
    std::chrono::milliseconds m_latency;
    std::uint32_t m_seed;
    TRynSimModemEngine m_engine;
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    std::deque<char> m_out;
    std::uint64_t m_generation = 0;
    TRynSimPacer m_pacer;
    bool m_unsolicitedInside = true;
    bool m_bootLines = false;
    std::string m_commandLine; // the command line being received, upper case
    std::unique_ptr<TRynReplayEngine> m_replay;
    QTimer *m_replayTimer = nullptr;
};

std::chrono::milliseconds Seconds(const QString &text, bool &ok)
{
    const double s = text.toDouble(&ok);
    ok = ok && s >= 0;
    return std::chrono::milliseconds(static_cast<long long>(s * 1000.0));
}

void PrintLine(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// SIGINT and SIGTERM end the event loop through a pipe, so that the link
// is removed as on any other exit.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void QuitOnSignals(QCoreApplication &app)
{
    if (::pipe(g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

bool StdinCanClose()
{
    struct stat st {};
    return ::fstat(STDIN_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || ::isatty(STDIN_FILENO));
}

void QuitWhenStdinCloses(QCoreApplication &app)
{
    if (!StdinCanClose())
        return;
    auto *input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app, [input] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            input->setEnabled(false);
            QCoreApplication::quit();
        }
    });
}

struct SimOptions {
    std::string link;
    std::string model;
    std::string manufacturer; // empty: the model's maker's
    std::chrono::milliseconds latency{20};
    std::uint32_t seed = 1;
    int callAfterPolls = 0;
    bool ringText = false;
    bool bootLines = false;
    int cregMode = 0;
    TRynSimModemEngine::SimCard sim = TRynSimModemEngine::SimCard::Ready;
    std::vector<std::pair<std::string, std::chrono::milliseconds>> delays;
    std::chrono::milliseconds unplugAfter{-1};
    std::chrono::milliseconds replugAfter{-1};
    std::chrono::milliseconds exitAfter{-1};
    std::chrono::milliseconds urcEvery{-1};
    std::string replay; // FILE[,speed=N][,loop]
    std::string fromTerminalLog;
    std::string out;
};

bool Refuse(const std::string &message)
{
    std::fprintf(stderr, "palvex-modemsim: %s\n", message.c_str());
    return false;
}

// Reads a whole number option within [low, high]; says what it needs otherwise.
bool ReadNumber(const QCommandLineParser &parser, const QCommandLineOption &option, long long low, long long high,
                const char *needs, long long &value)
{
    bool ok = false;
    value = parser.value(option).toLongLong(&ok);
    if (ok && value >= low && value <= high)
        return true;
    return Refuse("--" + option.names().constFirst().toStdString() + " needs " + needs);
}

// PATTERN=MS items; the pattern may hold '=' itself (ATE0+COPS=0): the number follows the last one.
bool ReadDelays(const QStringList &items, SimOptions &options)
{
    for (const QString &item : items) {
        const qsizetype eq = item.lastIndexOf('=');
        bool ok = false;
        const int ms = eq > 0 ? item.mid(eq + 1).toInt(&ok) : -1;
        if (eq <= 0 || !ok || ms < 0)
            return Refuse("--delay-cmd needs PATTERN=MS, not \"" + item.toStdString() + "\"");
        options.delays.emplace_back(item.left(eq).toStdString(), std::chrono::milliseconds(ms));
    }
    return true;
}

// The --model help: every model of the registry's families with what it
// answers, the catch-all last, and the command every model answers.
std::string ModelHelp()
{
    std::string named;
    std::string other;
    for (const ModemFamily *family : ModemFamilies())
        for (const SimModel &m : family->models)
            if (*m.model)
                named += (named.empty() ? "" : ", ") + std::string(m.model) + " " + m.help;
            else
                other = m.help;
    std::string all = FallbackFamily().commands.front().text;
    all.pop_back(); // its CR
    return "Model answered to AT+CGMM: " + named + "; any other " + other + ". All answer " + all + ".";
}

bool ParseOptions(const QCoreApplication &app, SimOptions &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated GSM or LTE modem on a pseudo-terminal. Prints the device path first.");
    parser.addHelpOption();
    const QCommandLineOption linkOption("link", "Also make PATH a symbolic link to the device.", "PATH");
    const QCommandLineOption modelOption(
        "model",
        QString::fromStdString(ModelHelp()),
        "TEXT",
        TRynSimModemEngine::kDefaultModel);
    const QCommandLineOption manufacturerOption(
        "manufacturer", "Answer AT+CGMI (and ATI) with NAME instead of the model's maker, as a module sold under "
                        "another name does; the model's commands stay its own.",
        "NAME");
    const QCommandLineOption delayOption(
        "delay-cmd", "Command lines containing PATTERN take MS longer (repeatable), e.g. 'ATE0+COPS=0=2500'.",
        "PATTERN=MS");
    const QCommandLineOption urcOption("urc-every",
                                       "Send an unsolicited line every SECONDS, by turns inside an answer and alone.",
                                       "SECONDS");
    const QCommandLineOption cregOption("creg-mode", "AT+CREG mode at power-on (2: left so by other software).", "N",
                                        "0");
    const QCommandLineOption simOption("sim", "The SIM card: ready, pin (locked by its PIN) or absent.", "STATE",
                                       "ready");
    const QCommandLineOption latencyOption("latency", "Answer latency in milliseconds.", "MS", "20");
    const QCommandLineOption seedOption("seed", "Seed of the simulation.", "N", "1");
    const QCommandLineOption callOption("call-after-polls", "Ring after N polls (0: never).", "N", "0");
    const QCommandLineOption ringOption("ring-text", "Send the unsolicited RING line when a call starts.");
    const QCommandLineOption unplugOption("unplug-after", "Close the terminal after SECONDS.", "SECONDS");
    const QCommandLineOption replugOption("replug-after", "Open a new terminal SECONDS after the unplug.", "SECONDS");
    const QCommandLineOption exitOption("exit-after", "Exit after SECONDS.", "SECONDS");
    const QCommandLineOption bootOption(
        "boot-lines", "Print the boot lines of a module starting up (+CPIN: READY, Call Ready, PB DONE...) before "
                      "each answer to AT+CGMI and AT+CGMM.");
    parser.addOptions({linkOption, modelOption, manufacturerOption, delayOption, urcOption, cregOption, simOption, latencyOption, seedOption,
                       callOption, ringOption, unplugOption, replugOption, exitOption, bootOption});
    const QCommandLineOption replayOption(
        "replay", "Answer as the modem of a session recording (FILE, FILE,speed=N, FILE,loop) instead of simulating one.",
        "FILE");
    parser.addOption(replayOption);
    const QCommandLineOption fromLogOption(
        "from-terminal-log", "Convert a terminal log (palvex --terminal LOG) into a session recording, and exit.", "LOG");
    const QCommandLineOption outOption("out", "The recording --from-terminal-log writes.", "FILE");
    parser.addOptions({fromLogOption, outOption});
    parser.process(app);
    options.replay = parser.value(replayOption).toStdString();
    options.fromTerminalLog = parser.value(fromLogOption).toStdString();
    options.out = parser.value(outOption).toStdString();
    if (options.fromTerminalLog.empty() != options.out.empty())
        return Refuse("--from-terminal-log LOG and --out FILE go together");

    long long latency = 0, seed = 0, callAfter = 0, cregMode = 0;
    if (!ReadNumber(parser, latencyOption, 0, INT_MAX, "a number of milliseconds", latency)
        || !ReadNumber(parser, seedOption, 0, UINT32_MAX, "a number", seed)
        || !ReadNumber(parser, callOption, 0, INT_MAX, "a number", callAfter)
        || !ReadNumber(parser, cregOption, 0, 2, "0, 1 or 2", cregMode)
        || !ReadDelays(parser.values(delayOption), options))
        return false;
    options.latency = std::chrono::milliseconds(latency);
    options.seed = static_cast<std::uint32_t>(seed);
    options.callAfterPolls = static_cast<int>(callAfter);
    options.cregMode = static_cast<int>(cregMode);
    const std::optional<TRynSimModemEngine::SimCard> sim =
        TRynSimModemEngine::SimCardOf(parser.value(simOption).toStdString());
    if (!sim)
        return Refuse("--sim takes ready, pin or absent");
    options.sim = *sim;
    options.link = parser.value(linkOption).toStdString();
    options.model = parser.value(modelOption).toStdString();
    options.manufacturer = parser.value(manufacturerOption).toStdString();
    if (parser.isSet(manufacturerOption) && (options.manufacturer.empty() || options.manufacturer.size() > 80 ||
                                             options.manufacturer.find_first_of("\r\n") != std::string::npos))
        return Refuse("--manufacturer needs a name of 1 to 80 characters on one line");
    options.ringText = parser.isSet(ringOption);
    options.bootLines = parser.isSet(bootOption);
    for (auto [option, target] : {std::pair{&unplugOption, &options.unplugAfter},
                                  std::pair{&replugOption, &options.replugAfter},
                                  std::pair{&exitOption, &options.exitAfter}, std::pair{&urcOption, &options.urcEvery}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        *target = Seconds(parser.value(*option), ok);
        if (!ok)
            return Refuse("--" + option->names().constFirst().toStdString() + " needs a number of seconds");
    }
    return true;
}

// Unplugs after a while and, when asked, plugs a power-cycled modem in again.
void ScheduleUnplug(PtyModem &modem, std::chrono::milliseconds unplugAfter, std::chrono::milliseconds replugAfter)
{
    if (unplugAfter.count() < 0)
        return;
    QTimer::singleShot(unplugAfter, &modem, [&modem, replugAfter] {
        modem.Unplug();
        PrintLine("unplugged");
        if (replugAfter.count() < 0)
            return;
        QTimer::singleShot(replugAfter, &modem, [&modem] {
            modem.PowerCycle();
            std::string error;
            const std::string again = modem.Plug(error);
            if (again.empty()) {
                Refuse(error);
                QCoreApplication::exit(1);
                return;
            }
            PrintLine(again);
        });
    });
}

// --from-terminal-log LOG --out FILE: the exit code.
int ConvertTerminalLog(const std::string &logPath, const std::string &outPath)
{
    QFile log(QString::fromStdString(logPath));
    if (!log.open(QIODevice::ReadOnly)) {
        Refuse("cannot open " + logPath + ": " + log.errorString().toStdString());
        return 1;
    }
    std::string error;
    const std::optional<std::string> recording = RecordingFromTerminalLog(log.readAll(), logPath, error);
    if (!recording) {
        Refuse(error);
        return 1;
    }
    QSaveFile out(QString::fromStdString(outPath));
    if (!out.open(QIODevice::WriteOnly) || out.write(recording->data(), qint64(recording->size())) != qint64(recording->size()) ||
        !out.commit()) {
        Refuse("cannot write " + outPath + ": " + out.errorString().toStdString());
        return 1;
    }
    return 0;
}

// The recording of FILE[,speed=N][,loop], its settings as the port replay: takes them.
std::unique_ptr<TRynReplayEngine> LoadReplay(const std::string &value, std::string &error)
{
    std::string file;
    std::string settings;
    TRynReplayChannel::SplitPort(TRynReplayChannel::kPrefix + value, file, settings);
    TRynReplayChannel channel;
    try {
        channel.SetConfigAsString(settings);
    } catch (const std::invalid_argument &e) {
        error = e.what();
        return nullptr;
    }
    const std::optional<TRynRecording> recording = LoadRecording(file, error);
    if (!recording)
        return nullptr;
    auto engine = std::make_unique<TRynReplayEngine>(*recording);
    engine->SetSpeed(channel.Speed());
    engine->SetLoop(channel.Loop());
    return engine;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("palvex-modemsim");
    SimOptions options;
    if (!ParseOptions(app, options))
        return 2;
    if (!options.fromTerminalLog.empty())
        return ConvertTerminalLog(options.fromTerminalLog, options.out);

    PtyModem modem(options.link, options.latency, options.seed);
    modem.Engine().SetModel(options.model);
    modem.Engine().SetManufacturer(options.manufacturer);
    modem.Engine().SetCallAfterPolls(options.callAfterPolls);
    modem.Engine().SetUnsolicitedRing(options.ringText);
    modem.SetBootLines(options.bootLines);
    modem.Engine().SetCregStartMode(options.cregMode);
    modem.Engine().SetSimCard(options.sim);
    for (const auto &[pattern, delay] : options.delays)
        modem.Engine().AddCommandDelay(pattern, delay);

    std::string error;
    std::unique_ptr<TRynReplayEngine> replay;
    if (!options.replay.empty() && !(replay = LoadReplay(options.replay, error))) {
        Refuse(error);
        return 1;
    }
    const std::string path = modem.Plug(error);
    if (path.empty()) {
        Refuse(error);
        return 1;
    }
    PrintLine(path);
    if (replay && !modem.StartReplay(std::move(replay), error)) {
        Refuse(error);
        return 1;
    }
    QuitOnSignals(app);
    ScheduleUnplug(modem, options.unplugAfter, options.replugAfter);
    if (options.exitAfter.count() >= 0)
        QTimer::singleShot(options.exitAfter, &app, &QCoreApplication::quit);
    QTimer unsolicited;
    if (options.urcEvery.count() > 0) {
        QObject::connect(&unsolicited, &QTimer::timeout, &modem, [&modem] { modem.SendUnsolicited(); });
        unsolicited.start(options.urcEvery);
    }
    QuitWhenStdinCloses(app);
    return app.exec();
}
