// End to end: the session on the real serial channel, talking to the
// simulated modem on a pseudo-terminal, through an unplug and a replug.

#include "ModemSimProcess.h"
#include "SessionHarness.h"
#include "SimulatedTruth.h"
#include "TestPty.h"
#include "VRSComm32.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QSocketNotifier>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

namespace {

bool WaitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The simulated modem on a pseudo-terminal the test holds: every command
// line the session wrote, as the modem read it.
class ModemOnPty {
public:
    explicit ModemOnPty(TestPty &pty)
        : m_pty(pty)
        , m_notifier(pty.Master(), QSocketNotifier::Read)
    {
        m_engine.SetModel("BGS5");
        m_engine.SetUnsolicitedRing(true);
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { Read(); });
    }

    TRynSimModemEngine &Engine() { return m_engine; }
    const std::vector<std::string> &Lines() const { return m_lines; }

private:
    void Read()
    {
        char buffer[512];
        const ssize_t n = ::read(m_pty.Master(), buffer, sizeof buffer);
        if (n <= 0)
            return;
        const std::string bytes(buffer, std::size_t(n));
        for (char c : bytes) {
            if (c == '\r') {
                m_lines.push_back(m_line);
                m_line.clear();
            } else if (c != '\n') {
                m_line += c;
            }
        }
        const std::string answer = m_engine.Feed(bytes) + m_engine.TakeUnsolicited();
        [[maybe_unused]] const ssize_t written = ::write(m_pty.Master(), answer.data(), answer.size());
    }

    TestPty &m_pty;
    QSocketNotifier m_notifier;
    TRynSimModemEngine m_engine{5};
    std::vector<std::string> m_lines;
    std::string m_line;
};

// The commands that change the modem's state (doc/commands.md): operator
// selection, answering, dialling or hanging up, power and error modes,
// stored profiles and resets.
bool ChangesTheModem(const std::string &line)
{
    static const std::regex changes(R"(^AT.*(\+COPS=[0124]|\+CFUN=|\+CMEE=|\+CLIP=|&W|&F|Z\b)|^ATA|^ATD|^ATH)",
                                    std::regex::icase);
    return std::regex_search(line, changes);
}

// A read-only session, asked to switch the operator and to answer calls,
// sends the modem nothing that changes it; the same session without
// read-only does, so the check can fail.
TEST(SessionOverSerial, ReadOnlySendsNothingThatChangesTheModem)
{
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "not read-only");
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        TestPty pty(dir.filePath("modem"));
        ASSERT_TRUE(pty.Ready());
        ModemOnPty modem(pty);
        TVRSComm32 channel;
        VRynTopDistributor top;
        RecordingView view;
        view.port = pty.Link().toStdString();
        ModemSession session(top, channel, view);
        session.SetReadOnly(readOnly);
        session.SetAnswerCalls(true);
        QTimer tick;
        session.Start(tick);
        ASSERT_TRUE(WaitFor([&] { return view.cycles >= 2; }, 10000)) << "cycles: " << view.cycles;
        session.RequestOperator("23002");
        modem.Engine().StartIncomingCall();
        ASSERT_TRUE(WaitFor([&] { return view.cycles >= 6; }, 10000)) << "cycles: " << view.cycles;
        channel.StopComm();
        std::vector<std::string> changing;
        for (const std::string &line : modem.Lines())
            if (ChangesTheModem(line))
                changing.push_back(line);
        if (readOnly) {
            EXPECT_EQ(changing, std::vector<std::string>{});
            EXPECT_EQ(modem.Engine().Truth().manualSelection, false);
            EXPECT_TRUE(modem.Engine().RingIndicator()) << "the call still rings";
        } else {
            EXPECT_NE(std::find(changing.begin(), changing.end(), "ATE0+COPS=0"), changing.end());
            EXPECT_NE(std::find(changing.begin(), changing.end(), "ATA"), changing.end());
            EXPECT_NE(std::find(changing.begin(), changing.end(), "AT+COPS=1,2,\"23002\""), changing.end());
        }
    }
}

TEST(SessionOverSerial, PollsThroughAnUnplugAndReconnects)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("modem");
    ModemSimProcess sim(PALVEX_MODEMSIM_PATH, {"--link", link, "--model", "MC55", "--latency", "0", "--seed", "9",
                                               "--unplug-after", "2.5", "--replug-after", "1.5"});
    const QString device = sim.NextLine();
    ASSERT_TRUE(device.startsWith("/dev/")) << device.toStdString();

    TVRSComm32 channel;
    VRynTopDistributor top;
    RecordingView view;
    view.port = link.toStdString();
    ModemSession session(top, channel, view);
    QTimer tick;
    session.Start(tick);

    ASSERT_TRUE(WaitFor([&] { return view.cycles >= 3; }, 10000)) << "cycles: " << view.cycles;
    EXPECT_EQ(session.Model(), "MC55");
    const TNetState first = session.DisplayRecordSnapshot();
    EXPECT_TRUE(first.signalValid);
    EXPECT_TRUE(first.cells[0].valid) << "AT^MONI answered over the pty";
    // A pty cannot report its ring line: said once in the terminal, read as off.
    const auto ringNotices = std::count_if(view.lines.begin(), view.lines.end(), [](const std::string &l) {
        return l.find("cannot report its ring indicator") != std::string::npos;
    });
    EXPECT_EQ(ringNotices, 1);

    // The modem goes away: the session closes the port and tries again.
    ASSERT_TRUE(WaitFor([&] { return view.HasLine("machine: CLOSE"); }, 10000));
    EXPECT_TRUE(std::any_of(view.lines.begin(), view.lines.end(), [](const std::string &l) {
        return l.find("connection lost") != std::string::npos;
    })) << "the loss is explained in the terminal";
    const int cyclesAtLoss = view.cycles;
    EXPECT_GE(std::count(view.portColors.begin(), view.portColors.end(), 0x0000FFu), 1)
        << "the port combo turns red";

    // It comes back at the same path; polling resumes.
    ASSERT_TRUE(WaitFor([&] { return view.cycles >= cyclesAtLoss + 3; }, 15000))
        << "cycles after the loss: " << view.cycles - cyclesAtLoss;
    EXPECT_EQ(session.CurrentState() == ModemSession::State::Poll ||
                  session.CurrentState() == ModemSession::State::Answer,
              true);
    EXPECT_TRUE(session.DisplayRecordSnapshot().signalValid);
    channel.StopComm();
}

// A slow and chatty modem: network selection and identification answer
// after their time-outs, the neighbour list takes a while, unsolicited lines
// come inside answers and between them, and the modem reports its location
// in +CREG. Every record is still what the modem reported in that cycle.
TEST(SessionOverSerial, RecordsStayRightWithASlowChattyModem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("modem");
    const std::uint32_t seed = 11;
    ModemSimProcess sim(PALVEX_MODEMSIM_PATH,
                        {"--link", link, "--model", "MC55", "--latency", "0", "--seed", QString::number(seed),
                         "--delay-cmd", "ATE0+COPS=0=2300", "--delay-cmd", "AT+CGMI=2200", "--delay-cmd",
                         "^MONP=150", "--urc-every", "0.15", "--creg-mode", "2"});
    ASSERT_TRUE(sim.NextLine().startsWith("/dev/"));

    // The same modem, fed the same poll commands, tells what each record
    // must hold.
    TRynSimModemEngine replay(seed);
    replay.SetModel("MC55");
    replay.SetCregStartMode(2);
    TVRSComm32 channel;
    VRynTopDistributor top;
    RecordingView view;
    view.port = link.toStdString();
    ModemSession session(top, channel, view);
    int wrong = 0;
    view.onCycle = [&] {
        replay.Feed("AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r");
        const TNetState expected = Expected(replay.Truth());
        const TNetState shown = WithoutStaleRows(session.DisplayRecord(), expected);
        if (shown != expected) {
            ++wrong;
            ADD_FAILURE() << "cycle " << view.cycles << ": signal " << shown.signal << " / " << expected.signal
                          << ", registration " << shown.registration << ", serving " << shown.cells[0].channel
                          << " / " << expected.cells[0].channel;
        }
    };
    QTimer tick;
    session.Start(tick);

    ASSERT_TRUE(WaitFor([&] { return view.cycles >= 20; }, 40000)) << "cycles: " << view.cycles;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(session.Manufacturer(), TRynSimModemEngine::kManufacturer);
    EXPECT_EQ(session.Model(), "MC55");
    EXPECT_EQ(session.DisplayRecordSnapshot().registration, 1);
    EXPECT_TRUE(std::any_of(view.lines.begin(), view.lines.end(),
                            [](const std::string &l) { return l.rfind("+CMTI:", 0) == 0; }))
        << "unsolicited lines reached the terminal";
    channel.StopComm();
    QFile::remove(link);
}

} // namespace
