// --gps gpsd: positions from a real gpsd that gpsfake feeds with the NMEA
// drive the tests ship; a gpsd that is missing or connects and says nothing
// gives records without a position, one line on standard error, and no
// slower cycles. --gps PORT: the same drive written to a pseudo-terminal,
// and a port that is missing, silent or sends garbage.
#include "ChildProcess.h"
#include "LoopbackPort.h"
#include "TestPty.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <cmath>
#include <optional>

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

// A run of records cycles, at least positioned of them along the shipped
// NMEA drive and complete of those with its speed and time as well; fails
// the test for a position off the drive or one that goes back.
void ExpectPositionsAlongTheDrive(const Run &run, qsizetype records, int leastPositioned, int leastComplete)
{
    QCOMPARE(run.code, 0);
    QCOMPARE(run.records.size(), records);
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
    QVERIFY2(positioned >= leastPositioned, run.errors.constData());
    QVERIFY2(complete >= leastComplete, run.errors.constData());
}

// Writes to the master side of pty, never blocking the test: what the
// terminal cannot take now is dropped, as a receiver's bytes would be.
void Feed(const TestPty &pty, const QByteArray &bytes)
{
    if (pty.Master() >= 0)
        [[maybe_unused]] const ssize_t written = ::write(pty.Master(), bytes.constData(), size_t(bytes.size()));
}

// A pseudo-terminal in raw mode, its master not blocking.
bool MakeRaw(const TestPty &pty)
{
    termios settings = pty.Settings();
    ::cfmakeraw(&settings);
    return ::tcsetattr(pty.Master(), TCSANOW, &settings) == 0 &&
           ::fcntl(pty.Master(), F_SETFL, ::fcntl(pty.Master(), F_GETFL) | O_NONBLOCK) == 0;
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
    void modemGnssGivesPositionsAlongTheSimulatedRoute_data();
    void modemGnssGivesPositionsAlongTheSimulatedRoute();
    void aMissingOrSilentGpsdGivesNoPositionAndNoStall_data();
    void aMissingOrSilentGpsdGivesNoPositionAndNoStall();
    void nmeaPortGivesPositionsAlongTheRoute();
    void aMissingSilentOrGarbledNmeaPortGivesNoPositionAndNoStall_data();
    void aMissingSilentOrGarbledNmeaPortGivesNoPositionAndNoStall();
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
    ExpectPositionsAlongTheDrive(run, 8, 5, 4);
}

void GpsProcessTest::modemGnssGivesPositionsAlongTheSimulatedRoute_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("gnss");
    QTest::newRow("Quectel AT+QGPSLOC=2") << "EC25" << true;
    QTest::newRow("SIMCom AT+CGPSINFO") << "SIM7600" << true;
    QTest::newRow("no GNSS query") << "BGS5" << false;
}

// The simulated modem drives a loop at 50 km/h; from the first query on,
// its serving cell's RSRP follows the distance to the cell's site. The log
// of the drive becomes a map with a point per positioned record.
void GpsProcessTest::modemGnssGivesPositionsAlongTheSimulatedRoute()
{
    QFETCH(QString, model);
    QFETCH(bool, gnss);
    QTemporaryDir dir;
    const QString log = dir.filePath("drive.jsonl");
    const Run run = RunMonitor({"SIM,model=" + model, "--cycles", "12", "--gps", "modem", "--log", log});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.records.size(), 12);
    QCOMPARE(run.errors.count("GNSS"), 1);
    QVERIFY2(run.errors.contains(gnss ? "palvex: positions from the modem's GNSS"
                                      : "palvex: no position from the modem's GNSS"),
             run.errors.constData());
    double lastLat = 0;
    for (const QJsonObject &record : run.records) {
        const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Compact);
        if (!gnss) {
            QVERIFY2(record["position"].isNull(), text.constData());
            continue;
        }
        const QJsonObject position = record["position"].toObject();
        const double lat = position["lat"].toDouble();
        const double lon = position["lon"].toDouble();
        // On the loop: 1500 m around 50.09 N 14.43 E, northward at first.
        const double north = (lat - 50.09) * 111320;
        const double east = (lon - 14.43) * 111320 * std::cos(50.09 * M_PI / 180);
        QVERIFY2(std::abs(std::hypot(north, east) - 1500) < 2, text.constData());
        QVERIFY2(lat > lastLat, text.constData());
        lastLat = lat;
        QVERIFY2(std::abs(position["speed_kmh"].toDouble() - 50) < 0.1, text.constData());
        QCOMPARE(position["fix"].toString(), QStringLiteral("3d"));
        const QDateTime time = QDateTime::fromString(position["time"].toString(), Qt::ISODateWithMs);
        QVERIFY2(std::abs(time.secsTo(QDateTime::fromString(record["time"].toString(), Qt::ISODateWithMs))) <= 2,
                 text.constData());
        // The RSRP the record carries is the one of the place (the query of
        // the cycle before moved the modem there).
        if (record["cycle"].toInt() > 1) {
            const double siteNorth = (lat - 50.08) * 111320;
            const double siteEast = (lon - 14.42) * 111320 * std::cos(50.09 * M_PI / 180);
            const double km = std::hypot(siteNorth, siteEast) / 1000;
            const double expected = std::round(-60 - 35 * std::log10(km / 0.1));
            QVERIFY2(std::abs(record["serving"]["rsrp"].toDouble() - expected) <= 1, text.constData());
        }
    }
    if (!gnss)
        return;
    qsizetype events = 0;
    for (const QJsonObject &record : run.records)
        events += record["events"].toArray().size();
    // The map: a point per positioned record, in every format.
    struct Format {
        const char *name;
        QByteArray item;
    };
    for (const Format &format : {Format{"geojson", "\"kind\": \"record\""}, Format{"kml", "<Placemark>"},
                                 Format{"gpx", "<trkpt "}}) {
        const QString map = dir.filePath(QStringLiteral("drive.") + format.name);
        QProcess exporter;
        exporter.start(PALVEX_EXPORT_PATH, {"--format", format.name, "--output", map, log});
        QVERIFY(exporter.waitForFinished(20000));
        QCOMPARE(exporter.exitCode(), 0);
        QCOMPARE(exporter.readAllStandardError().trimmed(),
                 QStringLiteral("palvex-export: 12 records: 12 points and %1 events written, 0 without a position "
                                "skipped")
                     .arg(events)
                     .toUtf8());
        QFile file(map);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // KML's events are placemarks too.
        QCOMPARE(file.readAll().count(format.item), 12 + (format.item == "<Placemark>" ? events : 0));
    }
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

// The drive's sentences written to a pseudo-terminal as a receiver sends
// them: a GGA and an RMC every 0.1 s.
void GpsProcessTest::nmeaPortGivesPositionsAlongTheRoute()
{
    QFile drive(PALVEX_NMEA_DRIVE);
    QVERIFY(drive.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = drive.readAll().split('\n');
    QTemporaryDir dir;
    TestPty pty(dir.filePath("gps"));
    QVERIFY(pty.Ready());
    QVERIFY(MakeRaw(pty));
    qsizetype next = 0;
    QTimer feeder;
    connect(&feeder, &QTimer::timeout, this, [&] {
        for (int i = 0; i < 2 && next < lines.size(); ++i, ++next)
            Feed(pty, lines[next] + "\r\n");
    });
    feeder.start(100);

    const Run run =
        RunMonitor({"SIM,model=EC25", "--cycles", "8", "--interval", "0.4", "--quiet", "--gps", pty.Link() + ":9600"});
    feeder.stop();
    pty.CloseMaster();
    ExpectPositionsAlongTheDrive(run, 8, 5, 5);
}

void GpsProcessTest::aMissingSilentOrGarbledNmeaPortGivesNoPositionAndNoStall_data()
{
    QTest::addColumn<QString>("feed");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << "none" << "palvex: cannot open NMEA port ";
    QTest::newRow("silent") << "" << "palvex: no position from NMEA port ";
    QTest::newRow("garbage") << "garbage" << "palvex: no NMEA sentence on ";
}

// The cycles follow each other as without a receiver, for longer than a
// receiver gets to say something.
void GpsProcessTest::aMissingSilentOrGarbledNmeaPortGivesNoPositionAndNoStall()
{
    QFETCH(QString, feed);
    QFETCH(QString, line);
    QTemporaryDir dir;
    std::optional<TestPty> pty;
    QString port = dir.filePath("no-such-receiver");
    if (feed != "none") {
        pty.emplace(dir.filePath("gps"));
        QVERIFY(pty->Ready());
        QVERIFY(MakeRaw(*pty));
        port = pty->Link();
    }
    // Bytes of a wrong speed, broken sentences and lines without an end.
    QByteArray garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += char((i * 7919) % 251 + 1);
    garbage += "\r\n$GPGGA,100000.00,5004.8000,N,01425.2000,E,1,08,0.9,240.0,M,45.0,M,,*00\r\n$GPRMC,1000\r\n";
    QTimer feeder;
    connect(&feeder, &QTimer::timeout, this, [&] {
        if (feed == "garbage")
            Feed(*pty, garbage);
    });
    feeder.start(50);

    const Run run = RunMonitor({"SIM,model=EC25", "--cycles", "16", "--interval", "0.5", "--gps", port});
    feeder.stop();
    if (pty)
        pty->CloseMaster();
    QCOMPARE(run.code, 0);
    QCOMPARE(run.records.size(), 16);
    QDateTime first;
    QDateTime previous;
    for (const QJsonObject &record : run.records) {
        QVERIFY(record.contains("position") && record["position"].isNull());
        const QDateTime time = QDateTime::fromString(record["time"].toString(), Qt::ISODateWithMs);
        if (previous.isValid())
            QVERIFY2(previous.msecsTo(time) < 900, record["time"].toString().toUtf8().constData());
        else
            first = time;
        previous = time;
    }
    // Long enough for the receiver's grace of 5 s to have passed.
    QVERIFY(first.msecsTo(previous) > 6000);
    QCOMPARE(run.errors.count(line.toUtf8()), 1);
    QCOMPARE(run.errors.count("NMEA"), 1);
}

QTEST_GUILESS_MAIN(GpsProcessTest)
#include "GpsProcessTest.moc"
