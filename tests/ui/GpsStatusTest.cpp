// The status bar's GPS part: its text for a fix, a receiver asked every
// second and what it says of itself, and the window over the simulated
// Quectel modem with its own GNSS, or a receiver beside it whose fix goes
// into the record log.
#include "GpsStatus.h"
#include "MainWindow.h"
#include "WindowTestHome.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// A receiver whose fix and state the test sets.
class FakeSource : public PositionSource {
public:
    std::optional<TGnssFix> fix;
    QString state;
    std::optional<TGnssFix> Position() const override { return fix; }

protected:
    QString State() const override { return state; }
};

TGnssFix Fix(double lat, double lon, int dimension)
{
    TGnssFix fix;
    fix.lat = lat;
    fix.lon = lon;
    fix.dimension = dimension;
    if (dimension == 3)
        fix.altM = 240.5;
    fix.speedKmh = 45;
    fix.time = "2026-12-09T10:00:01.000Z";
    return fix;
}

} // namespace

class GpsStatusTest : public QObject {
    Q_OBJECT
private slots:
    void textOfAFix_data();
    void textOfAFix();
    void aSourceIsAskedEverySecond();
    void windowShowsTheModemsGnssFix();
    void windowRecordsCarryTheSourcesFix();
};

void GpsStatusTest::textOfAFix_data()
{
    QTest::addColumn<std::optional<TGnssFix>>("fix");
    QTest::addColumn<QString>("text");
    QTest::newRow("3D") << std::optional(Fix(50.075538, 14.437801, 3)) << "GPS 3D fix 50.0755, 14.4378";
    QTest::newRow("2D south-west") << std::optional(Fix(-33.85125, -151.20732, 2)) << "GPS 2D fix -33.8513, -151.2073";
    QTest::newRow("none") << std::optional<TGnssFix>() << "GPS no fix";
}

void GpsStatusTest::textOfAFix()
{
    QFETCH(std::optional<TGnssFix>, fix);
    QFETCH(QString, text);
    QCOMPARE(TGpsStatus::Text(fix), text);
}

void GpsStatusTest::aSourceIsAskedEverySecond()
{
    TGpsStatus panel;
    QVERIFY(panel.isHidden());
    QSignalSpy said(&panel, &TGpsStatus::StatusChanged);
    auto owned = std::make_unique<FakeSource>();
    FakeSource *source = owned.get();
    source->state = "cannot open NMEA port /dev/ttyUSB1: No such file or directory";
    panel.SetSource(std::move(owned));
    QVERIFY(!panel.isHidden());
    QCOMPARE(panel.FullText(), QStringLiteral("GPS no fix"));
    QCOMPARE(said.size(), 1);
    QCOMPARE(said[0][0].toString(), source->state);
    QCOMPARE(said[0][1].toBool(), true);

    source->fix = Fix(50.075538, 14.437801, 3);
    source->state = "positions from NMEA port /dev/ttyUSB1";
    QTRY_COMPARE_WITH_TIMEOUT(panel.FullText(), QStringLiteral("GPS 3D fix 50.0755, 14.4378"), 3000);
    QCOMPARE(said.size(), 2);
    QCOMPARE(said[1][1].toBool(), false);
    QVERIFY2(panel.toolTip().contains("altitude 240.5 m") && panel.toolTip().contains("speed 45.0 km/h") &&
                 panel.toolTip().contains(source->state),
             qPrintable(panel.toolTip()));
    // The same state is not said again.
    QTest::qWait(1500);
    QCOMPARE(said.size(), 2);

    source->fix.reset();
    QTRY_COMPARE_WITH_TIMEOUT(panel.FullText(), QStringLiteral("GPS no fix"), 3000);
    panel.SetSource(nullptr);
    QVERIFY(panel.isHidden());
}

void GpsStatusTest::windowShowsTheModemsGnssFix()
{
    TfrmMain w;
    w.SetCommandLinePort(QStringLiteral("SIM,model=EC25"));
    w.show();
    // No receiver configured: no GPS part.
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= 1; }, 10000));
    QVERIFY(!w.gpsStatus->isVisible());

    w.SetModemGnss(true);
    QVERIFY(w.Session().Gnss());
    QVERIFY(w.gpsStatus->isVisible());
    const std::uint64_t after = w.Session().CompletedCycles() + 2;
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= after; }, 10000));
    // The simulated loop runs around 50.09 N 14.43 E.
    QVERIFY2(w.gpsStatus->FullText().startsWith("GPS 3D fix 50.0"), qPrintable(w.gpsStatus->FullText()));
}

void GpsStatusTest::windowRecordsCarryTheSourcesFix()
{
    QTemporaryDir dir;
    TfrmMain w;
    auto owned = std::make_unique<FakeSource>();
    owned->fix = Fix(50.075538, 14.437801, 3);
    owned->state = "positions from gpsd at localhost:2947";
    w.SetPositionSource(std::move(owned));
    QVERIFY(w.StartRecordLog(dir.filePath("records.jsonl")));
    w.SetCommandLinePort(QStringLiteral("SIM,model=EC25"));
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= 2; }, 10000));
    QCOMPARE(w.gpsStatus->FullText(), QStringLiteral("GPS 3D fix 50.0755, 14.4378"));
    w.StopRecordLog();
    QFile log(dir.filePath("records.jsonl"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    QVERIFY(lines.size() >= 2);
    for (const QByteArray &line : lines) {
        const QJsonObject position = QJsonDocument::fromJson(line).object()["position"].toObject();
        QVERIFY2(std::abs(position["lat"].toDouble() - 50.075538) < 1e-9, line.constData());
        QCOMPARE(position["fix"].toString(), QStringLiteral("3d"));
        QCOMPARE(position["time"].toString(), QStringLiteral("2026-12-09T10:00:01.000Z"));
    }
}

int main(int argc, char **argv) { return RunWindowTest<GpsStatusTest>(argc, argv); }
#include "GpsStatusTest.moc"
