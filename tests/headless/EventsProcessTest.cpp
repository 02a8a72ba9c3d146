// The events of the records over a pseudo-terminal modem: the simulated LTE
// modem reselects cells, rings, and is unplugged and plugged in again; the
// records of palvex-headless carry what changed, each event in the record
// of the cycle in which it was seen.
#include "ModemSimProcess.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif
#ifndef PALVEX_MODEMSIM_PATH
#error "PALVEX_MODEMSIM_PATH must name the palvex-modemsim executable"
#endif

namespace {

constexpr int kWaitMs = 60000;

QDateTime Time(const QJsonValue &value) { return QDateTime::fromString(value.toString(), Qt::ISODateWithMs); }

// "cell 2893569 PCI 101", as the events name a serving cell.
QString CellText(const QJsonObject &serving)
{
    return QStringLiteral("cell %1 PCI %2")
        .arg(serving["cell_id"].toInteger())
        .arg(serving["pci"].toInteger());
}

} // namespace

class EventsProcessTest : public QObject {
    Q_OBJECT
private slots:
    void recordsOfAReselectingReplugedModemCarryTheirEvents();
};

void EventsProcessTest::recordsOfAReselectingReplugedModemCarryTheirEvents()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link, "--model", "EC25", "--seed", "3", "--latency", "5",
                                                 "--call-after-polls", "12", "--ring-text", "--unplug-after", "1.5",
                                                 "--replug-after", "0.3"});
    QVERIFY(!modem.NextLine().isEmpty());
    ChildProcess monitor(PALVEX_HEADLESS_PATH, {link, "--cycles", "120", "--answer-calls", "--quiet"});
    QProcess &process = monitor.Process();
    QVERIFY(process.waitForFinished(kWaitMs));
    QFile::remove(link);
    QCOMPARE(modem.NextLine(), QStringLiteral("unplugged"));
    QCOMPARE(process.exitCode(), 0);

    QList<QJsonObject> records;
    for (const QByteArray &line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            records << QJsonDocument::fromJson(line).object();
    QCOMPARE(records.size(), 120);

    QMap<QString, int> counts;
    QJsonObject lastServing;
    QDateTime lastTime;
    for (const QJsonObject &record : records) {
        const QByteArray text = QJsonDocument(record).toJson(QJsonDocument::Compact);
        QVERIFY2(record["events"].isArray(), text.constData());
        const QJsonObject serving = record["serving"].toObject();
        QVERIFY2(!serving.isEmpty(), text.constData());
        for (const QJsonValue &value : record["events"].toArray()) {
            const QJsonObject event = value.toObject();
            const QString type = event["type"].toString();
            ++counts[type];
            if (type == QLatin1String("serving_cell_changed")) {
                // From the cell of the record before to the cell of this one.
                QCOMPARE(event["from"].toString(), CellText(lastServing));
                QCOMPARE(event["to"].toString(), CellText(serving));
            } else if (type == QLatin1String("band_changed")) {
                QCOMPARE(event["from"].toString(), lastServing["band"].toString());
                QCOMPARE(event["to"].toString(), serving["band"].toString());
            } else if (type == QLatin1String("port_reconnected")) {
                // Lost after the record before, open again before this one.
                const QDateTime lost = Time(event["from"]);
                const QDateTime opened = Time(event["to"]);
                QVERIFY2(lastTime <= lost && lost < opened && opened <= Time(record["time"]), text.constData());
                QVERIFY2(lost.msecsTo(opened) >= 250, text.constData());
            } else if (type == QLatin1String("call_answered")) {
                QVERIFY2(event["from"].isNull(), text.constData());
            } else {
                QVERIFY2(type == QLatin1String("signal_low") || type == QLatin1String("signal_recovered"),
                         text.constData());
            }
        }
        // Without a reselection the serving cell is the one before.
        const QJsonArray events = record["events"].toArray();
        const bool reselected = std::any_of(events.begin(), events.end(),
                                            [](const QJsonValue &e) {
                                                return e["type"].toString() == QLatin1String("serving_cell_changed");
                                            });
        if (!lastServing.isEmpty() && !reselected)
            QCOMPARE(CellText(serving), CellText(lastServing));
        lastServing = serving;
        lastTime = Time(record["time"]);
    }
    qInfo() << counts;
    QCOMPARE(counts.value("port_reconnected"), 1);
    // The simulator rings after its 12th poll on each connection.
    QCOMPARE(counts.value("call_answered"), 2);
    QVERIFY2(counts.value("serving_cell_changed") >= 1, "no reselection in 120 cycles");
}

QTEST_GUILESS_MAIN(EventsProcessTest)
#include "EventsProcessTest.moc"
