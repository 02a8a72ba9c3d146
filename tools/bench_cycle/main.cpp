// Measures the poll cycle of the session over the real serial path: the
// session, a top distributor with its 50 ms timer and TVRSComm32 against
// palvex-modemsim on a pseudo-terminal. Prints the cycle period and the CPU
// time this process spends per cycle, for each answer latency.
//
//   bench_cycle [--modemsim PATH] [--cycles N] [--latency MS ...] [--wakeups] [--glib] [--bare]
//
// It runs on the headless monitor's event loop (Qt's poll-based one); with
// --glib on the GLib loop that the window uses.
//
// With --wakeups it also counts, per cycle, how often the event loop woke up
// (the event dispatcher's awake signal: one per turn of the loop that
// returned from its wait) and how often the process gave up the processor
// to sleep (voluntary context switches from getrusage, which count the
// waits the kernel really put to sleep, the costly part of a wake-up).
//
// The CPU per cycle is given as the mean over the run and as the median of
// the single cycles; the median is what a cycle costs when nothing else on
// the machine (another guest, a build) lands in it. The mean is also split
// into user and kernel time.
//
// With --bare a row " bare" follows each latency: the same commands over the
// same pseudo-terminal as plain system calls (write, poll, read, a sleep to
// the next cycle), what the dialogue costs on this machine without Palvex.

#include "LeanEventLoop.h"
#include "ModemSession.h"
#include "RynSimModem.h"
#include "VRSComm32.h"
#include "VRynTopDistributor.h"

#include <QAbstractEventDispatcher>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of this process, user and system together, at nanosecond
// resolution (getrusage counts in scheduler ticks here).
double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Voluntary context switches of this process so far.
std::uint64_t VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::uint64_t(usage.ru_nvcsw);
}

// User CPU time of this process so far, in ms.
double UserCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec) * 1e3 + double(usage.ru_utime.tv_usec) / 1e3;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// What is read at the end of each cycle.
struct Samples {
    std::vector<Clock::time_point> ends;
    std::vector<double> cpu;
    std::vector<double> user;
    std::vector<std::uint64_t> wakes;
    std::vector<std::uint64_t> switches;
    void Take(std::uint64_t wakeUps)
    {
        ends.push_back(Clock::now());
        cpu.push_back(ProcessCpuMs());
        user.push_back(UserCpuMs());
        wakes.push_back(wakeUps);
        switches.push_back(VoluntarySwitches());
    }
};

// Records when each cycle ended; shows nothing.
class TimingView : public ModemSessionView {
public:
    std::string port;
    std::size_t wanted = 0;
    QEventLoop *loop = nullptr;
    Samples samples;
    const std::uint64_t *wakeCounter = nullptr;
    std::string PortText() const override { return port; }
    void CycleCompleted(const CompletedCycle &) override
    {
        samples.Take(wakeCounter ? *wakeCounter : 0);
        if (samples.ends.size() >= wanted && loop)
            loop->quit();
    }
};

// The MC55 dialogue: the command that prepares the session, then the
// commands of every poll cycle.
constexpr const char *kPrepareCommand = "ATE0+COPS=0\r";
const std::vector<std::string> kCycleCommands{"AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r",
                                              "AT^MONI\r", "AT^MONP\r"};

// Bytes on the wire in one MC55 cycle: the commands and the answers the
// simulated modem gives them.
std::size_t WireBytesPerCycle()
{
    TRynSimModemEngine engine(1);
    engine.SetModel("MC55");
    engine.Feed(kPrepareCommand);
    std::size_t bytes = 0;
    for (const auto &c : kCycleCommands)
        bytes += c.size() + engine.Feed(c).size();
    return bytes;
}

struct Result {
    int latency = 0;
    int cycles = 0;
    double periodMs = 0;
    double cpuMsPerCycle = 0;
    double medianCpuMs = 0;
    double userMsPerCycle = 0;
    double floorMs = 0;
    double wakesPerCycle = 0;
    double switchesPerCycle = 0;
    bool ok = false;
};

constexpr int kWarmUpCycles = 3;

// palvex-modemsim with an MC55 on a pseudo-terminal in a folder of its own.
// Its output goes to a file, so this process polls the same descriptors as
// the headless monitor: its wake-up, the port and one more.
class SimulatedModem {
public:
    SimulatedModem(const QString &program, int latencyMs, int cycles) : m_link(m_dir.filePath("modem"))
    {
        m_process.setStandardOutputFile(m_dir.filePath("sim.out"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, {"--link", m_link, "--model", "MC55", "--latency", QString::number(latencyMs),
                                  "--exit-after", QString::number(30 + cycles)});
        // The simulator prints its line once the link stands.
        const QFile out(m_dir.filePath("sim.out"));
        for (int waited = 0; waited < 5000 && out.size() == 0 && m_process.state() != QProcess::NotRunning;
             waited += 10)
            QThread::msleep(10);
        m_started = out.size() > 0;
        if (!m_started)
            std::fprintf(stderr, "bench_cycle: %s did not start\n", qPrintable(program));
    }
    // The link goes before the modem stops.
    ~SimulatedModem()
    {
        QFile::remove(m_link);
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
    bool Started() const { return m_started; }
    const QString &Link() const { return m_link; }

private:
    QTemporaryDir m_dir;
    QString m_link;
    QProcess m_process;
    bool m_started = false;
};

Result Summarise(const Samples &s, int latencyMs, int cycles)
{
    Result r;
    r.latency = latencyMs;
    if (int(s.ends.size()) < kWarmUpCycles + cycles) {
        std::fprintf(stderr, "bench_cycle: only %zu cycles in 60 s\n", s.ends.size());
        return r;
    }
    const auto first = std::size_t(kWarmUpCycles - 1);
    const auto last = std::size_t(kWarmUpCycles + cycles - 1);
    r.cycles = cycles;
    r.periodMs = std::chrono::duration<double, std::milli>(s.ends[last] - s.ends[first]).count() / cycles;
    r.cpuMsPerCycle = (s.cpu[last] - s.cpu[first]) / cycles;
    r.userMsPerCycle = (s.user[last] - s.user[first]) / cycles;
    std::vector<double> single;
    for (std::size_t i = first; i < last; ++i)
        single.push_back(s.cpu[i + 1] - s.cpu[i]);
    r.medianCpuMs = Median(single);
    r.wakesPerCycle = double(s.wakes[last] - s.wakes[first]) / cycles;
    r.switchesPerCycle = double(s.switches[last] - s.switches[first]) / cycles;
    const double wireMs = double(WireBytesPerCycle()) * 10.0 / 115200.0 * 1000.0;
    r.floorMs = 50.0 + 3.0 * latencyMs + wireMs;
    r.ok = true;
    return r;
}

Result Measure(const QString &modemsim, int latencyMs, int cycles)
{
    const SimulatedModem sim(modemsim, latencyMs, cycles);
    if (!sim.Started())
        return Result{};

    TVRSComm32 channel;
    VRynTopDistributor top;
    TimingView view;
    view.port = sim.Link().toStdString();
    ModemSession session(top, channel, view);
    std::uint64_t wakeUps = 0;
    view.wakeCounter = &wakeUps;
    const QMetaObject::Connection awake = QObject::connect(QAbstractEventDispatcher::instance(),
                                                           &QAbstractEventDispatcher::awake, [&] { ++wakeUps; });
    QTimer tick;
    session.Start(tick);

    QEventLoop loop;
    view.wanted = std::size_t(kWarmUpCycles + cycles);
    view.loop = &loop;
    QTimer::singleShot(std::chrono::seconds(60), &loop, &QEventLoop::quit);
    loop.exec();
    view.loop = nullptr;
    QObject::disconnect(awake);
    channel.StopComm();
    return Summarise(view.samples, latencyMs, cycles);
}

// Waits up to timeoutMs for the port to become readable; false on time-out.
bool WaitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

// The same dialogue without the program: plain system calls, one command at
// a time, each answer read until its final result code, then a sleep to the
// next 50 ms cycle start. What this costs is the machine's price of the
// dialogue (its system calls, sleeps and wake-ups), the floor for any client.
Result MeasureBare(const QString &modemsim, int latencyMs, int cycles)
{
    const SimulatedModem sim(modemsim, latencyMs, cycles);
    if (!sim.Started())
        return Result{};
    const int fd = ::open(QFile::encodeName(sim.Link()).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "bench_cycle: cannot open %s: %s\n", qPrintable(sim.Link()), std::strerror(errno));
        return Result{};
    }
    termios raw{};
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
    // One command and its answer up to OK or ERROR; false when it does not come.
    const auto ask = [fd](const std::string &command) {
        if (::write(fd, command.data(), command.size()) != ssize_t(command.size()))
            return false;
        std::string answer;
        char buffer[4096];
        while (answer.find("OK\r\n") == std::string::npos && answer.find("ERROR") == std::string::npos) {
            if (!WaitReadable(fd, 2000))
                return false;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            answer.append(buffer, std::size_t(n));
        }
        return true;
    };
    Samples samples;
    bool answered = ask(kPrepareCommand);
    for (int cycle = 0; answered && cycle < kWarmUpCycles + cycles; ++cycle) {
        const Clock::time_point start = Clock::now();
        for (std::size_t c = 0; answered && c < kCycleCommands.size(); ++c)
            answered = ask(kCycleCommands[c]);
        samples.Take(0);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(start + std::chrono::milliseconds(50) - Clock::now());
        if (left.count() > 0)
            WaitReadable(fd, int(left.count())); // nothing comes unasked
    }
    ::close(fd);
    if (!answered)
        std::fprintf(stderr, "bench_cycle: the simulated modem stopped answering\n");
    return Summarise(samples, latencyMs, cycles);
}

// CPU this process spends on one bare timer wake-up of the event loop: the
// platform's price of every sleep and wake, which a cycle pays at least
// once per answer and once per tick.
double WakeUpCpuMs()
{
    constexpr int kWarmUp = 10;
    constexpr int kWakeUps = 200;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    int count = 0;
    double start = 0;
    double perWakeUp = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        ++count;
        if (count == kWarmUp)
            start = ProcessCpuMs();
        if (count == kWarmUp + kWakeUps) {
            perWakeUp = (ProcessCpuMs() - start) / kWakeUps;
            loop.quit();
        }
    });
    timer.start();
    loop.exec();
    return perWakeUp;
}

QString DefaultModemSim()
{
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {here.filePath("palvex-modemsim"), here.filePath("../modemsim/palvex-modemsim")})
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    return QStringLiteral("palvex-modemsim");
}

} // namespace

int main(int argc, char **argv)
{
    // Asked before the application exists, which fixes its event loop.
    bool glib = false;
    for (int i = 1; i < argc; ++i)
        glib = glib || std::strcmp(argv[i], "--glib") == 0;
    const std::unique_ptr<QCoreApplication> own =
        glib ? std::make_unique<QCoreApplication>(argc, argv) : MakeLeanCoreApplication(argc, argv);
    QCoreApplication &app = *own;
    QCommandLineParser parser;
    parser.setApplicationDescription("Poll-cycle period and CPU time of the session over a pseudo-terminal modem.");
    parser.addHelpOption();
    const QCommandLineOption simOption("modemsim", "The palvex-modemsim program.", "PATH", DefaultModemSim());
    const QCommandLineOption cyclesOption("cycles", "Cycles measured per latency.", "N", "40");
    const QCommandLineOption latencyOption("latency", "Answer latency in ms (repeatable).", "MS");
    const QCommandLineOption wakeOption("wakeups", "Also count the event loop's wake-ups per cycle.");
    const QCommandLineOption glibOption("glib", "Run on the GLib event loop (the window's) instead of the headless one.");
    const QCommandLineOption bareOption("bare", "Also run the dialogue as bare system calls: the machine's floor.");
    parser.addOptions({simOption, cyclesOption, latencyOption, wakeOption, glibOption, bareOption});
    parser.process(app);

    bool ok = false;
    const int cycles = parser.value(cyclesOption).toInt(&ok);
    if (!ok || cycles < 1) {
        std::fprintf(stderr, "bench_cycle: --cycles needs a positive number\n");
        return 2;
    }
    std::vector<int> latencies;
    for (const QString &l : parser.values(latencyOption))
        latencies.push_back(l.toInt());
    if (latencies.empty())
        latencies = {0, 20};

    std::printf("model MC55 over a pseudo-terminal, %d cycles per run, %zu wire bytes per cycle\n", cycles,
                WireBytesPerCycle());
    std::printf("event loop: %s\n", QAbstractEventDispatcher::instance()->metaObject()->className());
    std::printf("one bare timer wake-up of the event loop costs %.3f ms of CPU here\n", WakeUpCpuMs());
    const bool wakeups = parser.isSet(wakeOption);
    // MC55: the main poll command, AT^MONI and AT^MONP.
    constexpr double kCommandsPerCycle = 3;
    std::printf("%-10s %10s %10s %13s %13s %13s %13s %13s%s\n", "latency", "period ms", "floor ms", "period/floor",
                "cpu ms/cycle", "of it user", "median cycle", "cpu ms/cmd", wakeups ? "   wakes/cycle  sleeps/cycle" : "");
    int failures = 0;
    const auto print = [&](const Result &r, const char *label) {
        if (!r.ok) {
            ++failures;
            return;
        }
        const std::string latency = std::to_string(r.latency) + label;
        std::printf("%-10s %10.1f %10.1f %13.2f %13.3f %13.3f %13.3f %13.3f", latency.c_str(), r.periodMs, r.floorMs,
                    r.periodMs / r.floorMs, r.cpuMsPerCycle, r.userMsPerCycle, r.medianCpuMs,
                    r.cpuMsPerCycle / kCommandsPerCycle);
        if (wakeups)
            std::printf(" %13.1f %13.1f", r.wakesPerCycle, r.switchesPerCycle);
        std::printf("\n");
    };
    for (int latency : latencies) {
        print(Measure(parser.value(simOption), latency, cycles), "");
        if (parser.isSet(bareOption))
            print(MeasureBare(parser.value(simOption), latency, cycles), " bare");
    }
    return failures == 0 ? 0 : 1;
}
