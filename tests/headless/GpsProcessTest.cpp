// --gps gpsd: positions from a real gpsd that gpsfake feeds with the NMEA
// drive the tests ship; a gpsd that is missing or connects and says nothing
// gives records without a position, one line on standard error, and no
// slower cycles.
#include "ChildProcess.h"
#include "LoopbackPort.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QTimeZone>

#include <cmath>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif
#ifndef PALVEX_NMEA_DRIVE
#error "PALVEX_NMEA_DRIVE must name the NMEA drive"
#endif

namespace {

constexpr int kWaitMs = 60000;

// Runs palvex-headless to its end while this thread's event loop serves.
struct Run {
    QList<QJsonObject> records;
    QByteArray errors;
    int code = -1;
};

Run RunMonitor(const QStringList &arguments)
{
    ChildProcess monitor(PALVEX_HEADLESS_PATH, arguments);
    QProcess &process = monitor.Process();
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < kWaitMs)
        QTest::qWait(50);
    Run run;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            run.records << QJsonDocument::fromJson(line).object();
    run.errors = process.readAllStandardError();
    run.code = process.state() == QProcess::NotRunning ? process.exitCode() : -1;
    return run;
}

bool Listening(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

class GpsProcessTest : public QObject {
    Q_OBJECT
private slots:
    void gpsdFedByGpsfakeGivesPositionsAlongTheRoute();
    void aMissingOrSilentGpsdGivesNoPositionAndNoStall_data();
    void aMissingOrSilentGpsdGivesNoPositionAndNoStall();
};

void GpsProcessTest::gpsdFedByGpsfakeGivesPositionsAlongTheRoute()
{
    const QString gpsfake = QStandardPaths::findExecutable("gpsfake");
    const QString gpsd = QStandardPaths::findExecutable("gpsd", {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    if (gpsfake.isEmpty() || gpsd.isEmpty())
        QSKIP("gpsd or gpsfake is not installed (Debian gpsd, gpsd-clients; scripts/install-deps.sh installs them)");
    const quint16 port = FreeLoopbackPort();
    QVERIFY(port != 0);
    // Once through the file, a fix every 0.1 s; gpsfake then ends its gpsd.
    ChildProcess feeder(gpsfake, {"-1", "-n", "-q", "-c", "0.05", "-P", QString::number(port), PALVEX_NMEA_DRIVE});
    QElapsedTimer timer;
    timer.start();
    while (!Listening(port) && timer.elapsed() < 10000)
        QTest::qWait(100);
    QVERIFY2(Listening(port), "gpsd did not listen");

    const Run run = RunMonitor({"SIM,model=EC25", "--cycles", "8", "--interval", "0.4", "--quiet", "--gps",
                                QStringLiteral("gpsd:127.0.0.1:%1").arg(port)});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.records.size(), 8);
    int positioned = 0;
    int complete = 0;
    int lastFix = -1;
    for (const QJsonObject &record : run.records) {
        const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Compact);
        QVERIFY2(record.contains("position"), text.constData());
        if (record["position"].isNull())
            continue;
        ++positioned;
        const QJsonObject position = record["position"].toObject();
        // The drive's fix i is at 50.08 + 0.0002 i, 14.42 + 0.0003 i, 240 +
        // 0.5 i m, at 45 km/h, 10:00:i on 9 December 2026.
        const double i = (position["lat"].toDouble() - 50.08) / 0.0002;
        QVERIFY2(std::abs(i - std::round(i)) < 1e-3 && i >= 0 && i < 60, text.constData());
        const int fix = int(std::round(i));
        // The receiver moves on from record to record.
        QVERIFY2(fix > lastFix, text.constData());
        lastFix = fix;
        QVERIFY2(std::abs(position["lon"].toDouble() - (14.42 + 0.0003 * fix)) < 1e-6, text.constData());
        QVERIFY2(std::abs(position["alt_m"].toDouble() - (240 + 0.5 * fix)) < 1e-6, text.constData());
        QCOMPARE(position["fix"].toString(), QStringLiteral("3d"));
        // Speed and date come with $GPRMC, after the first $GPGGA.
        if (position["speed_kmh"].isNull() || position["time"].isNull())
            continue;
        ++complete;
        QVERIFY2(std::abs(position["speed_kmh"].toDouble() - 45) < 0.1, text.constData());
        QCOMPARE(QDateTime::fromString(position["time"].toString(), Qt::ISODateWithMs),
                 QDateTime(QDate(2026, 12, 9), QTime(10, 0, fix), QTimeZone::utc()));
    }
    QVERIFY2(positioned >= 5, run.errors.constData());
    QVERIFY2(complete >= 4, run.errors.constData());
}

void GpsProcessTest::aMissingOrSilentGpsdGivesNoPositionAndNoStall_data()
{
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << false << "palvex: cannot reach gpsd at 127.0.0.1:";
    QTest::newRow("silent") << true << "palvex: no position from gpsd at 127.0.0.1:";
}

void GpsProcessTest::aMissingOrSilentGpsdGivesNoPositionAndNoStall()
{
    QFETCH(bool, silent);
    QFETCH(QString, line);
    // A silent gpsd takes the connection and never says a word.
    QTcpServer server;
    QList<QTcpSocket *> clients;
    quint16 port = 0;
    if (silent) {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [&] { clients << server.nextPendingConnection(); });
        port = server.serverPort();
    } else {
        port = FreeLoopbackPort();
    }
    const Run run =
        RunMonitor({"SIM,model=EC25", "--cycles", "20", "--gps", QStringLiteral("gpsd:127.0.0.1:%1").arg(port)});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.records.size(), 20);
    QDateTime previous;
    for (const QJsonObject &record : run.records) {
        QVERIFY(record.contains("position") && record["position"].isNull());
        // The cycles follow each other as without a receiver: no wait on it.
        const QDateTime time = QDateTime::fromString(record["time"].toString(), Qt::ISODateWithMs);
        if (previous.isValid())
            QVERIFY2(previous.msecsTo(time) < 400, record["time"].toString().toUtf8().constData());
        previous = time;
    }
    QCOMPARE(run.errors.count(line.toUtf8()), 1);
    QCOMPARE(run.errors.count("gpsd"), 1);
    if (silent)
        QVERIFY(!clients.isEmpty());
}

QTEST_GUILESS_MAIN(GpsProcessTest)
#include "GpsProcessTest.moc"
