// palvex-headless --interval over a simulated modem on a pseudo-terminal:
// one cycle per interval, and a modem unplugged in the middle of the pause
// between two cycles is noticed at once, not at the next cycle.
#include "ModemSimProcess.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif

class IntervalTest : public QObject {
    Q_OBJECT
private slots:
    void oneCycleEachIntervalAndAnUnplugNoticedInThePause();
};

void IntervalTest::oneCycleEachIntervalAndAnUnplugNoticedInThePause()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link});
    QVERIFY(!modem.NextLine().isEmpty());
    ChildProcess monitor(PALVEX_HEADLESS_PATH, {link, "--interval", "2", "--duration", "30"});
    QProcess &process = monitor.Process();

    // Four records, two seconds apart.
    QList<QDateTime> times;
    QElapsedTimer timer;
    timer.start();
    while (times.size() < 4 && timer.elapsed() < 20000) {
        process.waitForReadyRead(100);
        while (process.canReadLine()) {
            const QJsonObject record = QJsonDocument::fromJson(process.readLine()).object();
            times << QDateTime::fromString(record.value("time").toString(), Qt::ISODateWithMs);
        }
    }
    QCOMPARE(times.size(), 4);
    for (qsizetype i = 1; i < times.size(); ++i) {
        const qint64 gap = times[i - 1].msecsTo(times[i]);
        QVERIFY2(gap >= 1900 && gap <= 2600, qPrintable(QStringLiteral("cycles %1 ms apart").arg(gap)));
    }

    // Unplugged early in the pause after the fourth record, nearly two
    // seconds before the next cycle would look at the port.
    process.readAllStandardError();
    QTest::qWait(100);
    QFile::remove(link);
    modem.Process().closeWriteChannel();
    QElapsedTimer unplugged;
    unplugged.start();
    QByteArray progress;
    while (!progress.contains("machine: CLOSE") && unplugged.elapsed() < 5000) {
        process.waitForReadyRead(20);
        progress += process.readAllStandardError();
    }
    QVERIFY2(progress.contains("machine: CLOSE"), progress.constData());
    QVERIFY2(unplugged.elapsed() < 1000,
             qPrintable(QStringLiteral("the unplug was noticed after %1 ms").arg(unplugged.elapsed())));
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
}

QTEST_GUILESS_MAIN(IntervalTest)
#include "IntervalTest.moc"
