// End to end: the session on the real serial channel, talking to the
// simulated modem on a pseudo-terminal, through an unplug and a replug.

#include "ModemSimProcess.h"
#include "SessionHarness.h"
#include "SimulatedTruth.h"
#include "VRSComm32.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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
