// TVRSComm32 end to end: against palvex-modemsim on a pseudo-terminal (open,
// answers, state order, open failure, unplug and replug, the ring line), and
// on its built-in simulated modem.
#include "RynSimModem.h"
#include "SerialPortDetails.h"
#include "VRSComm32.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "ModemSimProcess.h"
#include "TestPty.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#ifndef PALVEX_MODEMSIM_PATH
#error "PALVEX_MODEMSIM_PATH must name the palvex-modemsim executable"
#endif

namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 5000;

// palvex-modemsim with this build's path.
class TestModemSim : public ModemSimProcess {
public:
    explicit TestModemSim(QStringList arguments)
        : ModemSimProcess(QStringLiteral(PALVEX_MODEMSIM_PATH), std::move(arguments))
    {
    }
};

struct Recorder {
    std::vector<TCommState> states;
    std::string received;

    void Attach(TVRSComm32 &comm)
    {
        comm.SetOnStateChange([this](QObject *, TCommState s) { states.push_back(s); });
        comm.SetOnReceiveData([this](VRynCommunicationComponent *, const std::uint8_t *b, std::uint16_t n) {
            received.append(reinterpret_cast<const char *>(b), n);
        });
    }
    int Count(TCommState s) const { return static_cast<int>(std::count(states.begin(), states.end(), s)); }
};

// A simulated modem that unplugs itself a second after it starts, and a
// recorded channel to open on it.
struct UnpluggingModem {
    TestModemSim sim{{"--unplug-after", "1", "--latency", "0"}};
    QString device = sim.NextLine();
    TVRSComm32 comm;
    Recorder rec;

    // True when the modem came up and the channel opened on it.
    bool Open()
    {
        rec.Attach(comm);
        comm.SetCommPort(device.toStdString());
        return device.startsWith("/dev/") && comm.StartComm();
    }
};

// Whether this process still has a descriptor open on the device.
bool HoldsDevice(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath().isEmpty() ? device
                                                                            : QFileInfo(device).canonicalFilePath();
    for (const QFileInfo &fd : QDir("/proc/self/fd").entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == target || fd.symLinkTarget() == device)
            return true;
    return false;
}

std::atomic<int> g_ringWarnings{0};
QtMessageHandler g_previousHandler = nullptr;

void CountingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.contains("ring indicator"))
        ++g_ringWarnings;
    g_previousHandler(type, context, message);
}

} // namespace

class SerialChannelTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsOfTheWindowComponent();
    void attachedHandlerHearsPresentStatePosted();
    void opensPtyThroughLinkAnswersAndReportsStatesInOrder();
    void missingDeviceFailsWithOsErrorText();
    void unplugReportsFailedOnceAndClosesThePort();
    void stopBetweenALossAndItsReportReportsTheLoss();
    void autoReconnectOpensTheRepluggedDevice();
    void aSecondOpenUnderAnotherNameIsRefusedNamingTheHolder();
    void refusedSettingsChangeNothing();
    void ringIndicatorOnPtyReadsOffWithOneWarning();
    void throwingHandlerDoesNotReachTheEventLoop();
    void simPortRunsBuiltInModemAsynchronously();
    void simulatedModemHonoursLatencyAndDropsAnswersOnClose();
    void portListEndsWithSim();
    void modemsimExitsWhenStdinClosesAndRemovesItsLink();
    void commandReachesTheDeviceWithoutATurnOfTheEventLoop();
};

void SerialChannelTest::defaultsOfTheWindowComponent()
{
    TVRSComm32 comm;
    QCOMPARE(comm.CommPort(), std::string("COM1"));
    QCOMPARE(comm.BaudRate(), 115200);
    QCOMPARE(comm.GetConfigAsString(), std::string("115200,8,N,1,none"));
    QVERIFY(!comm.AutoReconnect());
    QVERIFY(!comm.Active());
    QCOMPARE(comm.GetState(), TCommState::CommStateDisconnected);
    QVERIFY(!comm.RingIndicator());
    QVERIFY2(!comm.Send("AT\r"), "closed ports accept nothing");
    QVERIFY2(!comm.ConfigurationDialog(), "no dialog installed");
}

void SerialChannelTest::attachedHandlerHearsPresentStatePosted()
{
    TVRSComm32 comm;
    std::vector<TCommState> plain, advanced;
    comm.SetOnStateChange([&](QObject *sender, TCommState s) {
        QCOMPARE(sender, &comm);
        plain.push_back(s);
    });
    QVERIFY(plain.empty()); // posted, not called from inside the setter
    QTRY_COMPARE_WITH_TIMEOUT(plain.size(), std::size_t{1}, kWaitMs);
    QCOMPARE(plain.front(), TCommState::CommStateDisconnected);
    comm.SetOnAdvancedStateChange([&](VRynCommunicationComponent *, QObject *, TCommState s) { advanced.push_back(s); });
    QTRY_COMPARE_WITH_TIMEOUT(advanced.size(), std::size_t{1}, kWaitMs);
    QCOMPARE(advanced.front(), TCommState::CommStateDisconnected);
}

void SerialChannelTest::opensPtyThroughLinkAnswersAndReportsStatesInOrder()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    TestModemSim sim({"--link", link, "--model", "PX-2G", "--latency", "0"});
    const QString device = sim.NextLine();
    QVERIFY2(device.startsWith("/dev/"), qPrintable("modemsim said: " + device));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    TVRSComm32 comm;
    Recorder rec;
    rec.Attach(comm);
    QTRY_COMPARE_WITH_TIMEOUT(rec.states.size(), std::size_t{1}, kWaitMs);
    comm.SetCommPort(link.toStdString()); // not in the system's port list, opens all the same
    QVERIFY2(comm.StartComm(), comm.LastErrorText().c_str());
    QVERIFY(comm.Active());
    QCOMPARE(comm.GetState(), TCommState::CommStateConnected);
    QVERIFY(comm.LastErrorText().empty());

    QVERIFY(comm.Send("ATE0+COPS=0\r"));
    QTRY_VERIFY_WITH_TIMEOUT(rec.received.find("\r\nOK\r\n") != std::string::npos, kWaitMs);
    rec.received.clear();
    QVERIFY(comm.Send("AT+CGMM\r"));
    QTRY_COMPARE_WITH_TIMEOUT(rec.received, std::string("\r\nPX-2G\r\n\r\nOK\r\n"), kWaitMs);

    comm.StopComm();
    QVERIFY(!comm.Active());
    QVERIFY(!HoldsDevice(device));
    QTest::qWait(50); // nothing more arrives after the close
    const std::vector<TCommState> expected = {TCommState::CommStateDisconnected, TCommState::CommStateConnected,
                                              TCommState::CommStateDisconnected};
    QCOMPARE(rec.states, expected);
}

void SerialChannelTest::missingDeviceFailsWithOsErrorText()
{
    QTemporaryDir dir;
    TVRSComm32 comm;
    Recorder rec;
    rec.Attach(comm);
    QTRY_COMPARE_WITH_TIMEOUT(rec.states.size(), std::size_t{1}, kWaitMs);
    comm.SetCommPort(dir.filePath("no-such-modem").toStdString());
    QVERIFY(!comm.StartComm());
    QVERIFY(!comm.Active());
    QCOMPARE(comm.GetState(), TCommState::CommStateFailed);
    QCOMPARE(rec.states.back(), TCommState::CommStateFailed);
    QVERIFY2(comm.LastErrorText().find("No such file or directory") != std::string::npos, comm.LastErrorText().c_str());
    QVERIFY(comm.LastErrorCode() != 0);
    QVERIFY(!comm.Send("AT\r"));
}

void SerialChannelTest::unplugReportsFailedOnceAndClosesThePort()
{
    UnpluggingModem modem;
    QVERIFY2(modem.Open(), modem.comm.LastErrorText().c_str());
    auto &[sim, device, comm, rec] = modem;
    QVERIFY(HoldsDevice(device));
    QCOMPARE(sim.NextLine(), QString("unplugged"));
    QTRY_VERIFY_WITH_TIMEOUT(rec.Count(TCommState::CommStateFailed) == 1, kWaitMs);
    QVERIFY(!comm.Active());
    QCOMPARE(comm.GetState(), TCommState::CommStateFailed);
    QVERIFY(!HoldsDevice(device)); // no dead handle kept open
    QVERIFY2(comm.LastErrorText().rfind("connection lost: ", 0) == 0, comm.LastErrorText().c_str());
    QVERIFY(!comm.Send("AT\r"));
    QTest::qWait(300);
    QCOMPARE(rec.Count(TCommState::CommStateFailed), 1); // reported once, not a stream
    QCOMPARE(rec.states.back(), TCommState::CommStateFailed);

    comm.StopComm(); // the owner's orderly close after a loss reports nothing more
    QCOMPARE(rec.states.back(), TCommState::CommStateFailed);
}

void SerialChannelTest::stopBetweenALossAndItsReportReportsTheLoss()
{
    UnpluggingModem modem;
    QVERIFY2(modem.Open(), modem.comm.LastErrorText().c_str());
    auto &[sim, device, comm, rec] = modem;
    QCOMPARE(sim.NextLine(), QString("unplugged"));
    // One turn of the event loop at a time: the turn that sees the error
    // marks the loss and posts its report for a later turn.
    QElapsedTimer timer;
    timer.start();
    while (comm.Active() && timer.elapsed() < kWaitMs)
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    QVERIFY(!comm.Active());
    if (rec.Count(TCommState::CommStateFailed) != 0)
        QSKIP("the loss was reported in the same turn of the event loop that saw it; nothing to stop in between");
    QCOMPARE(comm.GetState(), TCommState::CommStateConnected);
    comm.StopComm();
    QCOMPARE(comm.GetState(), TCommState::CommStateFailed);
    QTest::qWait(100);
    QCOMPARE(rec.Count(TCommState::CommStateFailed), 1);
    QCOMPARE(rec.states.back(), TCommState::CommStateFailed);
    QVERIFY2(comm.LastErrorText().rfind("connection lost: ", 0) == 0, comm.LastErrorText().c_str());
}

void SerialChannelTest::autoReconnectOpensTheRepluggedDevice()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("usbmodem");
    TestModemSim sim({"--link", link, "--unplug-after", "1", "--replug-after", "0.5", "--latency", "0"});
    const QString first = sim.NextLine();
    QVERIFY(first.startsWith("/dev/"));

    TVRSComm32 comm;
    comm.SetAutoReconnect(true);
    Recorder rec;
    rec.Attach(comm);
    QTRY_COMPARE_WITH_TIMEOUT(rec.states.size(), std::size_t{1}, kWaitMs);
    comm.SetCommPort(link.toStdString());
    QVERIFY(comm.StartComm());
    QCOMPARE(sim.NextLine(), QString("unplugged"));
    // The device's link goes with it, so nobody reopens a freed terminal
    // that another program may be given next.
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QTRY_VERIFY_WITH_TIMEOUT(rec.Count(TCommState::CommStateFailed) == 1, kWaitMs);
    const QString second = sim.NextLine();
    QVERIFY(second.startsWith("/dev/"));
    QVERIFY(QFileInfo(link).isSymLink());
    QTRY_VERIFY_WITH_TIMEOUT(comm.Active(), kWaitMs);
    QCOMPARE(rec.states.back(), TCommState::CommStateConnected);
    QCOMPARE(rec.Count(TCommState::CommStateConnected), 2);
    rec.received.clear();
    QVERIFY(comm.Send("AT\r"));
    QTRY_VERIFY_WITH_TIMEOUT(rec.received.find("OK\r\n") != std::string::npos, kWaitMs);
    QVERIFY(!HoldsDevice(first) || first == second);
}

// One device under two names (its /dev/pts/N and a link): the second open
// is refused and names who holds the device, this process or another
// program with an exclusive lock on it.
void SerialChannelTest::aSecondOpenUnderAnotherNameIsRefusedNamingTheHolder()
{
    QTemporaryDir dir;
    TestPty pty(dir.filePath("modem"));
    QVERIFY(pty.Ready());
    const std::string link = pty.Link().toStdString();
    TVRSComm32 first;
    TVRSComm32 second;
    first.SetCommPort(pty.Device().toStdString());
    second.SetCommPort(link);
    QVERIFY2(first.StartComm(), first.LastErrorText().c_str());
    QVERIFY(!second.StartComm());
    QCOMPARE(second.GetState(), TCommState::CommStateFailed);
    QFile comm("/proc/self/comm");
    QVERIFY(comm.open(QIODevice::ReadOnly));
    const std::string self = comm.readLine().trimmed().toStdString();
    QCOMPARE(second.LastErrorText(), PortInUseText(link, {{int(::getpid()), self}}));
    QVERIFY(second.LastErrorText().find(" is in use by " + self + " (pid ") != std::string::npos);
    first.StopComm();
    QVERIFY2(second.StartComm(), second.LastErrorText().c_str());
    second.StopComm();

    ChildProcess holder("flock", {"--no-fork", pty.Device(), "sleep", "30"});
    QVERIFY(holder.Process().waitForStarted(kWaitMs));
    const int pid = int(holder.Process().processId());
    // Locked once flock has become sleep.
    QTRY_VERIFY_WITH_TIMEOUT(DeviceHolders(pty.Device().toStdString()).size() == 1 &&
                                 DeviceHolders(pty.Device().toStdString()).front().name == "sleep",
                             kWaitMs);
    QVERIFY(!second.StartComm());
    QCOMPARE(second.LastErrorText(), "port " + link + " is in use by sleep (pid " + std::to_string(pid) + ")");
    holder.Process().terminate();
    QVERIFY(holder.Process().waitForFinished(kWaitMs));
    QVERIFY2(second.StartComm(), second.LastErrorText().c_str());
    second.StopComm();
}

// 1.5 stop bits (which Linux does not have) and settings the device no
// longer takes are refused, and the port keeps what it had.
void SerialChannelTest::refusedSettingsChangeNothing()
{
    QTemporaryDir dir;
    TestPty pty(dir.filePath("modem"));
    QVERIFY(pty.Ready());
    TVRSComm32 comm;
    comm.SetCommPort(pty.Link().toStdString());
    QVERIFY2(comm.StartComm(), comm.LastErrorText().c_str());
    comm.SetConfigAsString("9600,8,N,2,none");
    QVERIFY(pty.Settings().c_cflag & CSTOPB);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, comm.SetStopBits(TVRSComm32::TStopBits::OneAndHalf));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, comm.SetConfigAsString("9600,8,N,1.5,none"));
    QCOMPARE(comm.GetConfigAsString(), std::string("9600,8,N,2,none"));
    QVERIFY(pty.Settings().c_cflag & CSTOPB);

    pty.CloseMaster(); // hung up: the device takes no settings any more
    try {
        comm.SetConfigAsString("115200,8,N,1,none");
        QFAIL("a hung-up port took new settings");
    } catch (const std::invalid_argument &e) {
        const std::string text = e.what();
        QVERIFY2(text.find("refused the baud rate 115200 (") != std::string::npos, e.what());
        QVERIFY2(text.find("the settings stay 9600,8,N,2,none") != std::string::npos, e.what());
    }
    QCOMPARE(comm.GetConfigAsString(), std::string("9600,8,N,2,none"));
}

void SerialChannelTest::ringIndicatorOnPtyReadsOffWithOneWarning()
{
    TestModemSim sim({"--latency", "0", "--model", "BGS5"});
    const QString device = sim.NextLine();
    TVRSComm32 comm;
    Recorder rec;
    rec.Attach(comm);
    comm.SetCommPort(device.toStdString());
    QVERIFY(comm.StartComm());
    QTest::qWait(20);
    const std::size_t statesBefore = rec.states.size();

    g_ringWarnings = 0;
    g_previousHandler = qInstallMessageHandler(CountingHandler);
    bool anyOn = false;
    for (int i = 0; i < 5; ++i)
        anyOn = comm.RingIndicator() || anyOn;
    QTest::qWait(50);
    qInstallMessageHandler(g_previousHandler);

    QVERIFY(!anyOn);
    QCOMPARE(g_ringWarnings.load(), 1);
    QVERIFY(comm.Active()); // not taken for a lost port
    QCOMPARE(rec.states.size(), statesBefore);
    QVERIFY(comm.Send("AT+CGMM\r"));
    QTRY_VERIFY_WITH_TIMEOUT(rec.received.find("BGS5") != std::string::npos, kWaitMs);
}

void SerialChannelTest::throwingHandlerDoesNotReachTheEventLoop()
{
    TestModemSim sim({"--latency", "0"});
    const QString device = sim.NextLine();
    TVRSComm32 comm;
    comm.SetCommPort(device.toStdString());
    int calls = 0;
    comm.SetOnReceiveData([&](VRynCommunicationComponent *, const std::uint8_t *, std::uint16_t) {
        ++calls;
        throw std::runtime_error("handler broke");
    });
    QVERIFY(comm.StartComm());
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("receive handler failed: handler broke"));
    QVERIFY(comm.Send("AT\r"));
    QTRY_VERIFY_WITH_TIMEOUT(calls >= 1, kWaitMs);
    QVERIFY(comm.Active());
}

void SerialChannelTest::simPortRunsBuiltInModemAsynchronously()
{
    TVRSComm32 comm;
    comm.Simulator().SetLatency(0ms);
    comm.Simulator().Engine().SetModel("PX-2G");
    Recorder rec;
    rec.Attach(comm);
    QTRY_COMPARE_WITH_TIMEOUT(rec.states.size(), std::size_t{1}, kWaitMs);
    comm.SetCommPort("sim");
    QVERIFY(comm.IsSimulated());
    QVERIFY(comm.StartComm());
    QVERIFY(comm.Active());
    QCOMPARE(comm.GetState(), TCommState::CommStateConnected);
    QVERIFY(comm.Send("ATE0;+CGMM\r"));
    QVERIFY(rec.received.empty()); // never from inside Send, even at latency 0
    QTRY_VERIFY_WITH_TIMEOUT(rec.received.find("\r\nPX-2G\r\n\r\nOK\r\n") != std::string::npos, kWaitMs);

    QVERIFY(!comm.RingIndicator());
    comm.Simulator().StartIncomingCall();
    QVERIFY(comm.RingIndicator());
    rec.received.clear();
    comm.Send("ATA\r");
    QTRY_COMPARE_WITH_TIMEOUT(rec.received, std::string("\r\nOK\r\n"), kWaitMs);
    QVERIFY(!comm.RingIndicator());

    comm.StopComm();
    QVERIFY(!comm.Active());
    QVERIFY(!comm.RingIndicator());
    QTest::qWait(20);
    const std::vector<TCommState> expected = {TCommState::CommStateDisconnected, TCommState::CommStateConnected,
                                              TCommState::CommStateDisconnected};
    QCOMPARE(rec.states, expected);
}

void SerialChannelTest::simulatedModemHonoursLatencyAndDropsAnswersOnClose()
{
    TRynSimModem modem;
    std::string received;
    modem.SetOnReceiveData([&](VRynCommunicationComponent *, const std::uint8_t *b, std::uint16_t n) {
        received.append(reinterpret_cast<const char *>(b), n);
    });
    QVERIFY(!modem.Send("AT\r")); // closed
    modem.SetConfigAsString("latency=150, model=BGS5, seed=3");
    QCOMPARE(modem.GetConfigAsString(), std::string("model=BGS5,latency=150,seed=3,call=0"));
    QVERIFY(modem.StartComm());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(modem.Send("ATE0\r"));
    QTRY_VERIFY_WITH_TIMEOUT(received.find("OK") != std::string::npos, kWaitMs);
    QVERIFY(timer.elapsed() >= 140);

    received.clear();
    modem.Send("AT+CGMM\r");
    modem.StopComm();
    QTest::qWait(250);
    QVERIFY(received.empty()); // the closed session's answer is dropped

    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, modem.SetConfigAsString("latency=fast"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, modem.SetConfigAsString("colour=red"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, modem.SetConfigAsString("latency=0,delay=AT+CGMM"));
    QCOMPARE(modem.Latency(), 150ms); // a refused text changes nothing

    // A slow command: its answer comes after its own delay.
    modem.SetConfigAsString("latency=0,delay=at+cgmm:200");
    QVERIFY(modem.StartComm());
    received.clear();
    timer.restart();
    modem.Send("AT+CGMM\r");
    QTRY_VERIFY_WITH_TIMEOUT(received.find("OK") != std::string::npos, kWaitMs);
    QVERIFY(timer.elapsed() >= 190);
    modem.StopComm();
}

void SerialChannelTest::portListEndsWithSim()
{
    const std::vector<std::string> ports = TVRSComm32::PortList();
    QVERIFY(!ports.empty());
    // The simulated ports come last: SIM, then its models.
    std::vector<std::string> simulated;
    for (const SerialPortDetails &port : SimulatedPorts())
        simulated.push_back(port.name);
    QCOMPARE(simulated.front(), std::string("SIM"));
    QVERIFY(ports.size() >= simulated.size());
    QVERIFY(std::equal(simulated.begin(), simulated.end(), ports.end() - std::ssize(simulated)));
    QCOMPARE(std::count(ports.begin(), ports.end(), "SIM"), 1);
    QCOMPARE(TVRSComm32::PortList("no-port-has-this-name"), simulated);
}

void SerialChannelTest::modemsimExitsWhenStdinClosesAndRemovesItsLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    TestModemSim sim({"--link", link});
    QVERIFY(sim.NextLine().startsWith("/dev/"));
    QVERIFY(QFileInfo(link).isSymLink());
    sim.Process().closeWriteChannel();
    QVERIFY(sim.Process().waitForFinished(kWaitMs));
    QCOMPARE(sim.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.Process().exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

// A command goes to the device within Send, with no turn of the event loop
// for a write notifier, and two in a row arrive in order.
void SerialChannelTest::commandReachesTheDeviceWithoutATurnOfTheEventLoop()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    QVERIFY(QFile::link(QString::fromLocal8Bit(::ptsname(master)), link));
    {
        TVRSComm32 comm;
        comm.SetCommPort(link.toStdString());
        QVERIFY2(comm.StartComm(), comm.LastErrorText().c_str());
        QVERIFY(comm.Send("AT+CSQ\r"));
        QVERIFY(comm.Send("AT^MONI\r"));
        char buffer[64] = {};
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        QCOMPARE(QByteArray(buffer, int(std::max<ssize_t>(n, 0))), QByteArray("AT+CSQ\rAT^MONI\r"));
        QFile::remove(link);
        comm.StopComm();
    }
    ::close(master);
}

QTEST_GUILESS_MAIN(SerialChannelTest)
#include "SerialChannelTest.moc"
