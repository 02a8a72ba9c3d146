// Recording a session with palvex-headless --record and replaying it as the
// port replay:FILE: the records come out the same (time and port aside) for
// every simulated model and speed, over a pseudo-terminal modem that is
// unplugged and plugged in again, and for the recordings kept in
// tests/recordings; a bad recording fails at once with its line.
#include "ChildProcess.h"
#include "ModemSimProcess.h"
#include "RynSimModemEngine.h"
#include "TestFiles.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <unistd.h>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif
#ifndef PALVEX_RECORDINGS_DIR
#error "PALVEX_RECORDINGS_DIR must name tests/recordings"
#endif

namespace {

constexpr int kWaitMs = 60000;

// One palvex-headless run to its end: standard output and error kept.
class Run : public ChildProcess {
public:
    explicit Run(const QStringList &arguments)
        : ChildProcess(PALVEX_HEADLESS_PATH, arguments)
    {
    }
    bool Finish(int waitMs = kWaitMs)
    {
        if (!m_process.waitForFinished(waitMs))
            return false;
        m_out = m_process.readAllStandardOutput();
        m_err = m_process.readAllStandardError();
        return m_process.exitStatus() == QProcess::NormalExit;
    }
    int Code() const { return m_process.exitCode(); }
    const QByteArray &Out() const { return m_out; }
    const QByteArray &Err() const { return m_err; }

private:
    QByteArray m_out;
    QByteArray m_err;
};

// The records as JSON objects without their times and port: what a replay
// must give back.
QList<QJsonObject> Records(const QByteArray &lines)
{
    QList<QJsonObject> records;
    for (const QByteArray &line : lines.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        QJsonObject o = QJsonDocument::fromJson(line).object();
        o.remove("time");
        o.remove("port");
        // The times of the loss and of the new open, too.
        QJsonArray events = o["events"].toArray();
        for (QJsonValueRef event : events)
            if (event.toObject()["type"] == QLatin1String("port_reconnected"))
                event = QJsonObject{{"type", "port_reconnected"}};
        o["events"] = events;
        records << o;
    }
    return records;
}

// Empty when the first n records agree; otherwise the first difference.
QString CompareRecords(const QList<QJsonObject> &expected, const QList<QJsonObject> &actual, qsizetype n)
{
    if (expected.size() < n || actual.size() < n)
        return QStringLiteral("%1 and %2 records, %3 wanted").arg(expected.size()).arg(actual.size()).arg(n);
    for (qsizetype i = 0; i < n; ++i)
        if (expected[i] != actual[i])
            return QStringLiteral("record %1 differs:\n  %2\n  %3")
                .arg(i + 1)
                .arg(QString::fromUtf8(QJsonDocument(expected[i]).toJson(QJsonDocument::Compact)),
                     QString::fromUtf8(QJsonDocument(actual[i]).toJson(QJsonDocument::Compact)));
    return {};
}

} // namespace

class ReplayProcessTest : public QObject {
    Q_OBJECT
private slots:
    void recordThenReplayGivesTheSameRecords();
    void eachSimulatedModelRoundTripsAtBothSpeeds();
    void badRecordingsFailAtOnceWithTheirLine_data();
    void badRecordingsFailAtOnceWithTheirLine();
    void keptRecordingsGiveTheirExpectedRecords();
    void theEndOfTheRecordingEndsTheRun();
    void recordOptionsAreChecked();
#ifdef PALVEX_MODEMSIM_PATH
    void terminalLogConvertedReplaysTheSameRecords();
    void ptyUnplugRecordingReplaysTheSameReconnect();
#endif
};

void ReplayProcessTest::recordThenReplayGivesTheSameRecords()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    Run live({"--headless", "SIM", "--cycles", "12", "--record", "rec", "--quiet"});
    QVERIFY(live.Finish());
    QCOMPARE(live.Code(), 0);
    Run replay({"--headless", "replay:rec,speed=10", "--cycles", "10"});
    QVERIFY(replay.Finish());
    QCOMPARE(replay.Code(), 0);
    const QList<QJsonObject> records = Records(replay.Out());
    QCOMPARE(records.size(), 10);
    const QString difference = CompareRecords(Records(live.Out()), records, 10);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    // The replayed records name the port they came from.
    QVERIFY(replay.Out().contains("\"port\":\"replay:rec,speed=10\""));
    QVERIFY2(replay.Err().contains("Port \"replay:rec,speed=10\" opened"), replay.Err().constData());
}

void ReplayProcessTest::eachSimulatedModelRoundTripsAtBothSpeeds()
{
    // Every model at once: the runs mostly wait for their answers.
    constexpr int kCycles = 30;
    QTemporaryDir dir;
    std::vector<QString> models;
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models())
        models.emplace_back(*info.model ? info.model : "PX-2G");
    std::vector<std::unique_ptr<Run>> live;
    for (const QString &model : models)
        live.push_back(std::make_unique<Run>(QStringList{"--headless", "SIM,model=" + model, "--cycles",
                                                         QString::number(kCycles), "--record",
                                                         dir.filePath(model + ".rec"), "--quiet"}));
    for (std::size_t i = 0; i < models.size(); ++i) {
        QVERIFY2(live[i]->Finish(), qPrintable(models[i]));
        QCOMPARE(live[i]->Code(), 0);
        QCOMPARE(Records(live[i]->Out()).size(), kCycles);
        QVERIFY2(live[i]->Out().contains("\"model\":\"" + models[i].toUtf8() + "\""), qPrintable(models[i]));
    }
    for (const char *speed : {"1", "10"}) {
        std::vector<std::unique_ptr<Run>> replays;
        for (const QString &model : models)
            replays.push_back(std::make_unique<Run>(
                QStringList{"--headless", "replay:" + dir.filePath(model + ".rec") + ",speed=" + speed, "--cycles",
                            QString::number(kCycles), "--quiet"}));
        for (std::size_t i = 0; i < models.size(); ++i) {
            const QString what = models[i] + " at speed " + speed;
            QVERIFY2(replays[i]->Finish(), qPrintable(what));
            QVERIFY2(replays[i]->Code() == 0, qPrintable(what + ": " + replays[i]->Err()));
            const QString difference =
                CompareRecords(Records(live[i]->Out()), Records(replays[i]->Out()), kCycles);
            QVERIFY2(difference.isEmpty(), qPrintable(what + ": " + difference));
        }
    }
}

void ReplayProcessTest::badRecordingsFailAtOnceWithTheirLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    const QByteArray header = R"({"recording":"palvex","format":1,"port":"SIM"})" "\n";
    QTest::newRow("missing") << QByteArray() << "cannot open recording";
    QTest::newRow("empty") << QByteArray("\n") << "is empty, not a recording";
    QTest::newRow("truncated") << header + R"({"t":0,"event":"open"})" "\n" R"({"t":3,"dir":"tx","da)"
                               << "line 3: cut short";
    QTest::newRow("not a chunk") << header + "AT+CSQ\n" << "line 2: not a chunk or marker";
    QTest::newRow("no dialogue") << header << "holds no dialogue to replay";
    QTest::newRow("unknown direction") << header + R"({"t":0,"event":"open"})" "\n" R"({"t":1,"dir":"in","data":"OK"})" "\n"
                                       << "line 3: unknown direction \"in\"";
}

void ReplayProcessTest::badRecordingsFailAtOnceWithTheirLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.rec");
    if (!content.isEmpty())
        QVERIFY(WriteWholeFile(path, content));
    Run run({"--headless", "replay:" + path, "--cycles", "3"});
    QVERIFY2(run.Finish(5000), "the replay did not stop by itself");
    QCOMPARE(run.Code(), 1);
    QVERIFY(run.Out().isEmpty());
    QVERIFY2(QString::fromUtf8(run.Err()).contains(message), run.Err().constData());
    QVERIFY2(run.Err().startsWith("palvex: "), run.Err().constData());
}

#ifdef PALVEX_MODEMSIM_PATH
void ReplayProcessTest::terminalLogConvertedReplaysTheSameRecords()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("terminal.log");
    const QString rec = dir.filePath("fromlog.rec");
    Run live({"--headless", "SIM,model=EC25", "--cycles", "8", "--terminal", log, "--quiet"});
    QVERIFY(live.Finish());
    QCOMPARE(live.Code(), 0);
    QProcess convert;
    convert.start(PALVEX_MODEMSIM_PATH, {"--from-terminal-log", log, "--out", rec});
    QVERIFY(convert.waitForFinished(10000));
    QVERIFY2(convert.exitCode() == 0, convert.readAllStandardError().constData());
    Run replay({"--headless", "replay:" + rec + ",speed=10", "--cycles", "8", "--quiet"});
    QVERIFY(replay.Finish());
    QVERIFY2(replay.Code() == 0, replay.Err().constData());
    const QString difference = CompareRecords(Records(live.Out()), Records(replay.Out()), 8);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    // A file that is no terminal log is refused with its line.
    QVERIFY(WriteWholeFile(log, "2026-12-09 10:00:00.000 [out]   AT<CR>\nnot a log line\n"));
    convert.start(PALVEX_MODEMSIM_PATH, {"--from-terminal-log", log, "--out", rec});
    QVERIFY(convert.waitForFinished(10000));
    QCOMPARE(convert.exitCode(), 1);
    QVERIFY(convert.readAllStandardError().contains("line 2: not a terminal log line"));
}
#endif

void ReplayProcessTest::theEndOfTheRecordingEndsTheRun()
{
    QTemporaryDir dir;
    const QString rec = dir.filePath("three.rec");
    Run live({"--headless", "SIM", "--cycles", "3", "--record", rec, "--quiet"});
    QVERIFY(live.Finish());
    // More cycles asked than recorded: a failure that says so.
    Run tooFew({"--headless", "replay:" + rec + ",speed=10", "--cycles", "10", "--quiet"});
    QVERIFY2(tooFew.Finish(10000), "the replay did not stop at the end of its recording");
    QCOMPARE(tooFew.Code(), 1);
    QCOMPARE(Records(tooFew.Out()).size(), 3);
    QVERIFY2(tooFew.Err().contains("the recording ended after 3 of 10 cycles"), tooFew.Err().constData());
    // No count asked: the whole recording, then a clean end.
    Run whole({"--headless", "replay:" + rec + ",speed=10", "--quiet"});
    QVERIFY(whole.Finish(10000));
    QCOMPARE(whole.Code(), 0);
    QCOMPARE(Records(whole.Out()).size(), 3);
    QVERIFY2(whole.Err().contains("the recording has ended"), whole.Err().constData());
}

void ReplayProcessTest::recordOptionsAreChecked()
{
    Run redactAlone({"--headless", "SIM", "--cycles", "1", "--record-redact"});
    QVERIFY(redactAlone.Finish(10000));
    QCOMPARE(redactAlone.Code(), 2);
    QVERIFY2(redactAlone.Err().contains("--record-redact needs --record FILE"), redactAlone.Err().constData());
    Run unwritable({"--headless", "SIM", "--cycles", "1", "--record", "/nonexistent/folder/rec"});
    QVERIFY(unwritable.Finish(10000));
    QCOMPARE(unwritable.Code(), 1);
    QVERIFY2(unwritable.Err().contains("cannot write the recording /nonexistent/folder/rec"),
             unwritable.Err().constData());
    QVERIFY(unwritable.Out().isEmpty());
}

void ReplayProcessTest::keptRecordingsGiveTheirExpectedRecords()
{
    // Each FILE.rec beside FILE.expected.jsonl: the records its replay must
    // give, time and port aside.
    const QDir folder(PALVEX_RECORDINGS_DIR);
    const QStringList files = folder.entryList({"*.rec"}, QDir::Files, QDir::Name);
    QVERIFY2(files.size() >= 3, qPrintable(folder.path()));
    for (const QString &file : files) {
        const QString expectedPath = folder.filePath(file.chopped(4) + ".expected.jsonl");
        QByteArray expectedText;
        {
            QFile f(expectedPath);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(expectedPath));
            expectedText = f.readAll();
        }
        const QList<QJsonObject> expected = Records(expectedText);
        QVERIFY2(!expected.isEmpty(), qPrintable(expectedPath));
        Run run({"--headless", "replay:" + folder.filePath(file) + ",speed=10", "--cycles",
                 QString::number(expected.size()), "--quiet"});
        QVERIFY2(run.Finish(), qPrintable(file));
        QVERIFY2(run.Code() == 0, qPrintable(file + ": " + run.Err()));
        const QString difference = CompareRecords(expected, Records(run.Out()), expected.size());
        QVERIFY2(difference.isEmpty(), qPrintable(file + ": " + difference));
    }
}

#ifdef PALVEX_MODEMSIM_PATH
void ReplayProcessTest::ptyUnplugRecordingReplaysTheSameReconnect()
{
    // A modem with unsolicited lines, unplugged after 5 s and plugged in
    // again 2.5 s later, whose answer to the first command of each
    // connection comes after the session's time-out (2.6 s against 2 s).
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    const QString rec = dir.filePath("pty.rec");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link, "--unplug-after", "5", "--replug-after", "2.5",
                                                 "--urc-every", "0.7", "--delay-cmd", "ATE0+COPS=0=2600"});
    QVERIFY(!modem.NextLine().isEmpty());
    constexpr int kCycles = 40;
    Run live({"--headless", link, "--cycles", QString::number(kCycles), "--record", rec});
    QVERIFY(live.Finish());
    QVERIFY2(live.Code() == 0, live.Err().constData());
    ::unlink(link.toLocal8Bit().constData());
    const QList<QByteArray> recLines = FileLines(rec);
    const auto count = [&](const QByteArray &what) {
        return int(std::count_if(recLines.begin(), recLines.end(), [&](const QByteArray &l) { return l.contains(what); }));
    };
    QVERIFY2(count("\"event\":\"lost\"") == 1, "the recording holds no loss");
    QVERIFY2(count("\"event\":\"open_failed\"") >= 1, "the recording holds no failed open");
    QCOMPARE(count("\"event\":\"open\""), 2);
    QVERIFY2(count("+CMTI") + count("RING") >= 1, "the recording holds no unsolicited line");
    // A pseudo-terminal has no ring line; the port finds so at its first
    // reading (in each connection that completes a cycle), and a RING line
    // then stands for a call in the replay as well.
    QVERIFY2(count("\"event\":\"ring_line\",\"on\":false") >= 1, "the lack of a ring line is not recorded");

    // At the recorded speed: the late answers come after the time-out again
    // (the preparation starts over), the same reconnect, the same records.
    const auto lines = [](const QByteArray &err, const char *what) { return int(err.count(what)); };
    QVERIFY2(lines(live.Err(), "machine: PREPARE") >= 3, live.Err().constData());
    {
        Run replay({"--headless", "replay:" + rec, "--cycles", QString::number(kCycles)});
        QVERIFY(replay.Finish());
        QVERIFY2(replay.Code() == 0, replay.Err().constData());
        const QString difference = CompareRecords(Records(live.Out()), Records(replay.Out()), kCycles);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QCOMPARE(lines(replay.Err(), "Success. Port"), 2);
        QCOMPARE(lines(replay.Err(), "machine: PREPARE"), lines(live.Err(), "machine: PREPARE"));
        QCOMPARE(lines(replay.Err(), "Error while opening"), lines(live.Err(), "Error while opening"));
        QVERIFY2(replay.Err().contains("No such file or directory"), replay.Err().constData());
    }

    // The same recording on a pseudo-terminal: palvex-modemsim --replay.
    const QString link2 = dir.filePath("replayed");
    ModemSimProcess replayed(PALVEX_MODEMSIM_PATH, {"--link", link2, "--replay", rec});
    QVERIFY(!replayed.NextLine().isEmpty());
    Run overPty({"--headless", link2, "--cycles", QString::number(kCycles)});
    QVERIFY(overPty.Finish());
    QVERIFY2(overPty.Code() == 0, overPty.Err().constData());
    ::unlink(link2.toLocal8Bit().constData());
    const QString difference = CompareRecords(Records(live.Out()), Records(overPty.Out()), kCycles);
    QVERIFY2(difference.isEmpty(), qPrintable("over palvex-modemsim --replay: " + difference));
    QCOMPARE(int(overPty.Err().count("Success. Port")), 2);
    QCOMPARE(replayed.NextLine(), QStringLiteral("unplugged"));
}
#endif

QTEST_GUILESS_MAIN(ReplayProcessTest)
#include "ReplayProcessTest.moc"
