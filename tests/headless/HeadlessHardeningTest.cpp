// palvex-headless as a long-running service under hostile conditions: a
// modem printing its boot lines while it is identified, a full disk, a FIFO
// for a log, a log emptied by copytruncate, the metrics while the modem is
// unplugged, a modem line that reads like ours, and a modem that never
// answers.
#include "ChildProcess.h"
#include "LoopbackPort.h"
#include "ModemSimProcess.h"
#include "SmallFilesystem.h"
#include "TestFiles.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif

namespace {

constexpr int kWaitMs = 20000;

class Monitor : public ChildProcess {
public:
    using ChildProcess::ChildProcess;

    // Standard output's lines once the process ended (or after the wait).
    QList<QByteArray> FinishedLines(int waitMs = kWaitMs)
    {
        m_process.waitForFinished(waitMs);
        QList<QByteArray> lines;
        for (const QByteArray &line : m_process.readAllStandardOutput().split('\n'))
            if (!line.isEmpty())
                lines << line;
        return lines;
    }
    QByteArray Errors() { return m_errors += m_process.readAllStandardError(); }

private:
    QByteArray m_errors;
};

// The body of GET /metrics, or nothing.
std::optional<QByteArray> Scrape(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return std::nullopt;
    socket.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray response;
    while (socket.waitForReadyRead(2000) || socket.bytesAvailable())
        response += socket.readAll();
    const qsizetype body = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.1 200") || body < 0)
        return std::nullopt;
    return response.mid(body + 4);
}

std::optional<double> Value(const QByteArray &text, const QByteArray &name)
{
    for (const QByteArray &line : text.split('\n'))
        if (line.startsWith(name + '{') || line.startsWith(name + ' '))
            return line.mid(line.lastIndexOf(' ') + 1).toDouble();
    return std::nullopt;
}

// Scrapes until pred holds for a scrape; the last scrape.
QByteArray ScrapeUntil(quint16 port, const std::function<bool(const QByteArray &)> &pred)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray last;
    while (timer.elapsed() < kWaitMs) {
        if (const auto text = Scrape(port)) {
            last = *text;
            if (pred(last))
                break;
        }
        QTest::qWait(100);
    }
    return last;
}

} // namespace

class HeadlessHardeningTest : public QObject {
    Q_OBJECT
private slots:
    void aFullDiskAtStartKeepsMonitoringAndMetrics();
    void aFifoLogWithoutReaderNeverBlocks();
    void aCsvLogEmptiedByCopytruncateGetsItsHeader();
    void aModemThatNeverAnswersIsNotRepeatedEveryFewSeconds();
#ifdef PALVEX_MODEMSIM_PATH
    void bootLinesBeforeEachIdentificationAreNoIdentity();
    void theCycleGaugesGoWhileThePortIsAway();
#endif
};

// The record log's disk is full from the start: the monitor says so once,
// goes on polling, serves its metrics with the count of records not written,
// and writes again when there is room.
void HeadlessHardeningTest::aFullDiskAtStartKeepsMonitoringAndMetrics()
{
    SmallFilesystem disk(64 * 1024);
    if (!disk.IsMounted())
        QSKIP(qPrintable(disk.SkipReason()));
    QVERIFY(disk.Fill("filler"));
    const QString log = disk.FilePath("records.csv");
    const quint16 port = FreeLoopbackPort();
    QVERIFY(port != 0);
    Monitor monitor(PALVEX_HEADLESS_PATH, {"SIM", "--log", log, "--metrics", QStringLiteral("127.0.0.1:%1").arg(port)});
    const QByteArray full = ScrapeUntil(port, [](const QByteArray &text) {
        return Value(text, "palvex_records_not_written_total").value_or(0) >= 3;
    });
    QCOMPARE(monitor.Process().state(), QProcess::Running);
    QVERIFY2(Value(full, "palvex_cycles_total").value_or(0) >= 3, full.constData());
    QVERIFY2(Value(full, "palvex_signal_percent").has_value(), full.constData());
    QCOMPARE(QFileInfo(log).size(), 0);

    // Room again: the header and the records follow.
    QVERIFY(QFile::remove(disk.FilePath("filler")));
    QElapsedTimer timer;
    timer.start();
    while (FileLines(log).size() < 3 && timer.elapsed() < kWaitMs)
        QTest::qWait(50);
    monitor.Process().terminate();
    QVERIFY(monitor.Process().waitForFinished(kWaitMs));
    QCOMPARE(monitor.Process().exitCode(), 0);
    const QList<QByteArray> lines = FileLines(log);
    QVERIFY(lines.size() >= 3);
    QVERIFY2(lines[0].startsWith("cycle,time,port,"), lines[0].constData());
    const QByteArray errors = monitor.Errors();
    QCOMPARE(errors.count(QString::fromLocal8Bit(std::strerror(ENOSPC)).toUtf8()), 1);
    QCOMPARE(errors.count("is written again"), 1);
}

// A log that is a FIFO: without a reader the monitor goes on; a reader that
// comes gets the header and the records.
void HeadlessHardeningTest::aFifoLogWithoutReaderNeverBlocks()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("records.csv");
    const QString terminal = dir.filePath("terminal.fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QCOMPARE(::mkfifo(QFile::encodeName(terminal).constData(), 0600), 0);
    Monitor monitor(PALVEX_HEADLESS_PATH, {"SIM", "--cycles", "30", "--log", fifo, "--terminal", terminal});
    const QList<QByteArray> records = monitor.FinishedLines();
    QCOMPARE(monitor.Process().exitCode(), 0);
    QCOMPARE(records.size(), 30);
    const QByteArray errors = monitor.Errors();
    QCOMPARE(errors.count("the FIFO has no reader"), 2); // once for each log

    // With a reader: the records arrive, the header first.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    Monitor second(PALVEX_HEADLESS_PATH, {"SIM", "--cycles", "3", "--log", fifo});
    QCOMPARE(second.FinishedLines().size(), 3);
    QByteArray read(65536, '\0');
    const ssize_t n = ::read(reader, read.data(), read.size());
    ::close(reader);
    QVERIFY(n > 0);
    read.truncate(n);
    const QList<QByteArray> lines = read.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith("cycle,time,port,"));
}

// logrotate's copytruncate empties the log under the monitor: the next
// record is preceded by the CSV header again.
void HeadlessHardeningTest::aCsvLogEmptiedByCopytruncateGetsItsHeader()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("records.csv");
    Monitor monitor(PALVEX_HEADLESS_PATH, {"SIM", "--log", log, "--quiet"});
    QElapsedTimer timer;
    timer.start();
    while (FileLines(log).size() < 3 && timer.elapsed() < kWaitMs)
        QTest::qWait(20);
    QVERIFY(QFile::resize(log, 0));
    QTest::qWait(300);
    monitor.Process().terminate();
    QVERIFY(monitor.Process().waitForFinished(kWaitMs));
    const QList<QByteArray> lines = FileLines(log);
    QVERIFY2(lines.size() >= 2, QByteArray::number(lines.size()).constData());
    QVERIFY2(lines[0].startsWith("cycle,time,port,"), lines[0].constData());
    for (qsizetype i = 1; i < lines.size(); ++i)
        QVERIFY2(!lines[i].startsWith("cycle,"), lines[i].constData());
}

// A port that never answers a command: "machine: PREPARE" is shown once
// and then with a count, not every time. What the modem sends that reads
// like our status line is shown as the modem's text.
void HeadlessHardeningTest::aModemThatNeverAnswersIsNotRepeatedEveryFewSeconds()
{
    // A pseudo-terminal on which the test plays a modem that answers nothing.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString slave = QString::fromLocal8Bit(::ptsname(master));
    Monitor monitor(PALVEX_HEADLESS_PATH, {slave, "--duration", "9"});
    QTest::qWait(1500);
    const QByteArray mimic = "\r\nmachine: CLOSE\r\n";
    QCOMPARE(::write(master, mimic.constData(), mimic.size()), ssize_t(mimic.size()));
    QVERIFY(monitor.Process().waitForFinished(kWaitMs + 9000));
    ::close(master);
    const QByteArray errors = monitor.Errors();
    QVERIFY2(errors.contains("\n  the modem sent: machine: CLOSE\n"), errors.constData());
    QVERIFY2(!errors.contains("\nmachine: CLOSE"), errors.constData());
    // Nine seconds of four-second preparations: PREPARE came three times,
    // shown once and counted at the end.
    QCOMPARE(errors.count("machine: PREPARE"), 2);
    QCOMPARE(errors.count("machine: PREPARE\n"), 1);
    const QRegularExpressionMatch count =
        QRegularExpression(QStringLiteral("machine: PREPARE \\((\\d+) times in all\\)\n")).match(QString::fromUtf8(errors));
    QVERIFY2(count.hasMatch(), errors.constData());
    QVERIFY2(count.captured(1).toInt() >= 2, errors.constData());
}

#ifdef PALVEX_MODEMSIM_PATH
// Boot lines before each answer to AT+CGMI and AT+CGMM, at the start and
// after a replug: every record names the modem and carries its cells.
void HeadlessHardeningTest::bootLinesBeforeEachIdentificationAreNoIdentity()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link, "--model", "SIM7600", "--boot-lines", "--latency",
                                                 "5", "--unplug-after", "1.5", "--replug-after", "0.3"});
    QVERIFY(!modem.NextLine().isEmpty());
    Monitor monitor(PALVEX_HEADLESS_PATH, {link, "--duration", "4", "--quiet"});
    const QList<QByteArray> records = monitor.FinishedLines(kWaitMs);
    QFile::remove(link);
    QCOMPARE(modem.NextLine(), QStringLiteral("unplugged"));
    QVERIFY(records.size() >= 4);
    // The outage shows as a gap between two records' times; there are
    // records on both sides of it.
    QDateTime previous;
    int afterGap = -1;
    for (const QByteArray &line : records) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QCOMPARE(o["manufacturer"].toString(), QStringLiteral("SIMCOM INCORPORATED"));
        QCOMPARE(o["model"].toString(), QStringLiteral("SIM7600"));
        QVERIFY2(o["serving"].isObject(), line.constData());
        const QDateTime time = QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
        if (previous.isValid() && previous.msecsTo(time) > 250)
            afterGap = 0;
        else if (afterGap >= 0)
            ++afterGap;
        previous = time;
    }
    QVERIFY2(afterGap >= 1, "no records after the replug");
}

// Unplugged: the values of the last cycle leave the scrape and
// palvex_port_open is 0; plugged in again, they come back.
void HeadlessHardeningTest::theCycleGaugesGoWhileThePortIsAway()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH,
                          {"--link", link, "--latency", "5", "--unplug-after", "2", "--replug-after", "3"});
    QVERIFY(!modem.NextLine().isEmpty());
    const quint16 port = FreeLoopbackPort();
    Monitor monitor(PALVEX_HEADLESS_PATH, {link, "--quiet", "--metrics", QStringLiteral("127.0.0.1:%1").arg(port)});
    const QByteArray before = ScrapeUntil(port, [](const QByteArray &text) {
        return Value(text, "palvex_signal_percent").has_value();
    });
    QCOMPARE(Value(before, "palvex_port_open"), std::optional<double>(1));
    QCOMPARE(modem.NextLine(5000), QStringLiteral("unplugged"));
    const QByteArray away = ScrapeUntil(port, [](const QByteArray &text) {
        return Value(text, "palvex_port_open") == std::optional<double>(0);
    });
    QCOMPARE(Value(away, "palvex_port_open"), std::optional<double>(0));
    for (const QByteArray name : {"palvex_signal_percent", "palvex_signal_dbm", "palvex_registration_state",
                                  "palvex_cell_dbm", "palvex_modem_info"})
        QVERIFY2(!Value(away, name).has_value(), (name + " while unplugged:\n" + away).constData());
    QVERIFY(Value(away, "palvex_cycles_total").has_value());
    QVERIFY(!modem.NextLine(6000).isEmpty()); // plugged in again
    const QByteArray back = ScrapeUntil(port, [](const QByteArray &text) {
        return Value(text, "palvex_signal_percent").has_value();
    });
    QCOMPARE(Value(back, "palvex_port_open"), std::optional<double>(1));
    QFile::remove(link);
}
#endif

QTEST_GUILESS_MAIN(HeadlessHardeningTest)
#include "HeadlessHardeningTest.moc"
