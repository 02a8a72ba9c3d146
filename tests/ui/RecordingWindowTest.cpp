// The window's session recording: File/Record session… over the built-in
// simulator of every model, then File/Open recording… at two speeds gives
// the same records (time and port aside), with the title saying that a
// recording plays.
#include "MainWindow.h"
#include "WindowTestHome.h"

#include "ModemSession.h"
#include "RynSimModemEngine.h"
#include "TestFiles.h"

#include <QAction>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr std::uint64_t kCycles = 30;

QList<QJsonObject> Records(const QString &path)
{
    QList<QJsonObject> records;
    for (const QByteArray &line : FileLines(path)) {
        QJsonObject o = QJsonDocument::fromJson(line).object();
        o.remove("time");
        o.remove("port");
        records << o;
    }
    return records;
}

// Runs a window on port until it completed kCycles, writing its record log
// to log and, when given, its session recording to recording.
bool RunWindow(const QString &port, const QString &log, const QString &recording, QString &title)
{
    TfrmMain w;
    w.SetCommandLinePort(port);
    if (!recording.isEmpty() && !w.StartSessionRecording(recording))
        return false;
    if (!w.StartRecordLog(log))
        return false;
    w.show();
    const bool done = QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= kCycles; }, 30000);
    title = w.windowTitle();
    w.StopRecordLog();
    w.StopSessionRecording();
    return done;
}

} // namespace

class RecordingWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menuItems();
    void eachModelRoundTripsThroughTheWindow();
    void openRecordingPlaysItAsThePort();
};

void RecordingWindowTest::menuItems()
{
    TfrmMain w;
    QVERIFY(w.Recordsession1 && w.Openrecording1);
    QCOMPARE(w.Recordsession1->text(), QStringLiteral("Record session…"));
    QCOMPARE(w.Openrecording1->text(), QStringLiteral("Open recording…"));
    QVERIFY(w.Recordsession1->isCheckable());
    QTemporaryDir dir;
    QVERIFY(!w.StartSessionRecording(dir.filePath("missing/folder/x.rec")));
    QVERIFY(!w.Recordsession1->isChecked());
    QVERIFY(w.StartSessionRecording(dir.filePath("x.rec")));
    QVERIFY(w.Recordsession1->isChecked());
    w.StopSessionRecording();
    QVERIFY(!w.Recordsession1->isChecked());
}

void RecordingWindowTest::eachModelRoundTripsThroughTheWindow()
{
    QTemporaryDir dir;
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models()) {
        const QString model = *info.model ? QString(info.model) : QStringLiteral("PX-2G");
        const QString recording = dir.filePath(model + ".rec");
        const QString liveLog = dir.filePath(model + ".jsonl");
        QString title;
        QVERIFY2(RunWindow("SIM,model=" + model + ",latency=5", liveLog, recording, title), qPrintable(model));
        QVERIFY2(!title.contains("recording"), qPrintable(title));
        const QList<QJsonObject> live = Records(liveLog);
        QVERIFY(live.size() >= int(kCycles));
        for (const char *speed : {"1", "10"}) {
            const QString what = model + " at speed " + speed;
            const QString replayLog = dir.filePath(model + "-" + speed + ".jsonl");
            QVERIFY2(RunWindow("replay:" + recording + ",speed=" + speed, replayLog, {}, title), qPrintable(what));
            QVERIFY2(title.contains("playing the recording " + recording), qPrintable(title));
            const QList<QJsonObject> replayed = Records(replayLog);
            QVERIFY2(replayed.size() >= int(kCycles), qPrintable(what));
            for (int i = 0; i < int(kCycles); ++i)
                QVERIFY2(replayed[i] == live[i],
                         qPrintable(what + QStringLiteral(": record %1 differs:\n  ").arg(i + 1) +
                                    QJsonDocument(live[i]).toJson(QJsonDocument::Compact) + "\n  " +
                                    QJsonDocument(replayed[i]).toJson(QJsonDocument::Compact)));
        }
    }
}

void RecordingWindowTest::openRecordingPlaysItAsThePort()
{
    QTemporaryDir dir;
    const QString recording = dir.filePath("sim.rec");
    QString title;
    QVERIFY(RunWindow("SIM", dir.filePath("live.jsonl"), recording, title));
    TfrmMain w;
    w.SetCommandLinePort("SIM");
    w.show();
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= 1; }, 10000));
    w.OpenRecording(recording);
    QVERIFY(QTest::qWaitFor([&] { return w.windowTitle().contains("playing the recording"); }, 10000));
    QCOMPARE(w.PortText(), ("replay:" + recording).toStdString());
    const std::uint64_t before = w.Session().CompletedCycles();
    QVERIFY(QTest::qWaitFor([&] { return w.Session().CompletedCycles() >= before + 3; }, 10000));
    QCOMPARE(w.Session().Model(), std::string(TRynSimModemEngine::kDefaultModel));
}

int main(int argc, char **argv)
{
    return RunWindowTest<RecordingWindowTest>(argc, argv);
}

#include "RecordingWindowTest.moc"
