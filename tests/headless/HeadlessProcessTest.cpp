// palvex-headless as a real process: records of the simulated modem checked
// against a replay of the same simulator, a pseudo-terminal modem that is
// unplugged and plugged in again, a Prometheus scrape over loopback, a clean
// stop on SIGTERM and the error exits.
#include "CycleRecord.h"
#include "LoopbackPort.h"
#include "MeasurementDisplay.h"
#include "ChildProcess.h"
#include "ModemSimProcess.h"
#include "TestFiles.h"
#include "RynSimModem.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>
#include <memory>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif
#ifndef PALVEX_PATH
#error "PALVEX_PATH must name the palvex executable"
#endif

namespace {

constexpr int kWaitMs = 20000;

const QStringList kKeys{"cycle",         "time",          "port",  "manufacturer", "model",     "signal",
                        "ber",           "registration",  "activity", "operator_name", "operator_code",
                        "cells",         "rat",           "serving", "secondary",     "neighbours",  "carriers",
                        "events",        "position",
                        "firmware",      "sim",           "imei",    "imsi",          "iccid"};

// palvex-headless started by a test, with its standard output collected.
class Child : public ChildProcess {
public:
    using ChildProcess::ChildProcess;

    // Collects standard output until pred holds for the lines read so far.
    bool WaitForLines(const std::function<bool(const QList<QByteArray> &)> &pred, int waitMs = kWaitMs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            while (m_process.canReadLine())
                m_lines.append(m_process.readLine().trimmed());
            if (pred(m_lines))
                return true;
            if (timer.elapsed() > waitMs || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
        }
    }
    bool Finish(int waitMs = kWaitMs)
    {
        const bool done = m_process.waitForFinished(waitMs);
        while (m_process.canReadLine())
            m_lines.append(m_process.readLine().trimmed());
        const QByteArray rest = m_process.readAllStandardOutput().trimmed();
        if (!rest.isEmpty())
            m_lines.append(rest);
        return done;
    }
    const QList<QByteArray> &Lines() const { return m_lines; }

private:
    QList<QByteArray> m_lines;
};

QJsonObject ParseRecord(const QByteArray &line, QString &error)
{
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        error = "not a JSON object: " + QString::fromUtf8(line);
        return {};
    }
    // Keys in the text in the documented order, and no others.
    const QJsonObject o = doc.object();
    if (o.keys().size() != kKeys.size())
        error = "wrong key count in " + QString::fromUtf8(line);
    qsizetype last = -1;
    for (const QString &key : kKeys) {
        const qsizetype at = line.indexOf("\"" + key.toUtf8() + "\":");
        if (!o.contains(key) || at <= last)
            error = "key " + key + " missing or out of order in " + QString::fromUtf8(line);
        last = at;
    }
    return o;
}

// What a record must hold when the simulator reported truth.
QString CompareWithTruth(const QJsonObject &o, const TRynSimTruth &t)
{
    // 99 is "not known": null, never 0.
    const int signal = (t.rssi >= 0 && t.rssi <= 31) ? t.rssi * 100 / 32 : 0;
    std::map<QString, QJsonValue> expected{{"signal", t.rssi == 99 ? QJsonValue() : QJsonValue(signal)},
                                           {"ber", t.ber == 99 ? QJsonValue() : QJsonValue(t.ber)},
                                           {"registration", t.registration},
                                           {"activity", t.activity},
                                           {"operator_name", QString::fromStdString(t.operatorName)},
                                           {"operator_code", QString::fromStdString(t.operatorCode)}};
    for (const auto &[key, value] : expected)
        if (o[key] != value)
            return QStringLiteral("%1: %2 instead of %3")
                .arg(key, QJsonDocument(QJsonArray{o[key]}).toJson(QJsonDocument::Compact),
                     QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    const QJsonArray cells = o["cells"].toArray();
    if (cells.size() != 7)
        return "cells has " + QString::number(cells.size()) + " entries";
    for (int i = 0; i < 7; ++i) {
        if (i >= t.cellCount) {
            if (!cells[i].isNull())
                return QStringLiteral("cell %1 should be null").arg(i);
            continue;
        }
        const TRynSimCell &c = t.cells[static_cast<std::size_t>(i)];
        const QJsonObject cell = cells[i].toObject();
        const std::map<QString, int> values{{"channel", c.channel}, {"rssi", c.rssi}, {"dbm", c.dbm},
                                            {"c1", c.c1},           {"mcc", c.mcc},   {"mnc", c.mnc}};
        for (const auto &[key, value] : values)
            if (cell[key].toInt(-99999) != value)
                return QStringLiteral("cell %1 %2: %3 instead of %4").arg(i).arg(key).arg(cell[key].toInt()).arg(value);
    }
    // The same cells in the shape every modem family shares.
    const QJsonObject serving = o["serving"].toObject();
    if (o["rat"] != "GSM" || serving["rat"] != "GSM" || serving["channel"].toInt() != t.cells[0].channel ||
        serving["rssi"].toInt() != t.cells[0].dbm)
        return "serving cell " + QJsonDocument(serving).toJson(QJsonDocument::Compact);
    if (o["neighbours"].toArray().size() != t.cellCount - 1)
        return QStringLiteral("%1 neighbours").arg(o["neighbours"].toArray().size());
    return {};
}

// The simulator fed exactly what the session sends to a "BGS5" modem:
// the preparation, then per cycle the main command and AT^SMONP.
class SimReplay {
public:
    SimReplay()
    {
        m_engine.Feed("ATE0+COPS=0\r");
        m_engine.Feed("AT+CGMI\r");
        m_engine.Feed("AT+CGMM\r");
    }
    const TRynSimTruth &NextCycle()
    {
        m_engine.Feed("AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r");
        m_engine.Feed("AT^SMONP\r");
        return m_engine.Truth();
    }

private:
    TRynSimModemEngine m_engine;
};

// A plain HTTP GET over loopback; the body, or empty on failure.
QByteArray HttpGet(quint16 port, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray response;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        if (!socket.waitForReadyRead(200) && socket.state() != QAbstractSocket::ConnectedState)
            break;
        response += socket.readAll();
    }
    response += socket.readAll();
    const qsizetype body = response.indexOf("\r\n\r\n");
    if (!response.startsWith("HTTP/1.") || !response.contains(" 200 ") || body < 0)
        return {};
    return response.mid(body + 4);
}

// Value of the one series of name whose labels contain every part.
std::optional<double> SeriesValue(const QByteArray &text, const QByteArray &name, const QList<QByteArray> &parts = {})
{
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith(name + '{') && !line.startsWith(name + ' '))
            continue;
        if (!std::all_of(parts.begin(), parts.end(), [&](const QByteArray &p) { return line.contains(p); }))
            continue;
        bool ok = false;
        const double v = line.mid(line.lastIndexOf(' ') + 1).toDouble(&ok);
        if (ok)
            return v;
    }
    return std::nullopt;
}


} // namespace

class HeadlessProcessTest : public QObject {
    Q_OBJECT
private slots:
    void simJsonRecordsMatchTheSimulator();
    void sigtermStopsCleanlyWithEverythingWritten();
    void metricsScrapeShowsTheSimulatorValues();
    void errorsGiveOneLineAndAFailureCode_data();
    void errorsGiveOneLineAndAFailureCode();
    void bothProgramsTreatABadOptionAlike();
    void logFormatFollowsTheFileName_data();
    void logFormatFollowsTheFileName();
    void pathThatIsNoSerialPortIsRefusedAtOnce_data();
    void pathThatIsNoSerialPortIsRefusedAtOnce();
    void runWithoutRecordsFails();
    void aMissingPortIsAwaitedAndEachNewReasonShownEscaped();
    void errorLinesAreEscaped();
    void metricsOnPortZeroShowsThePort();
    void scanListsTheNetworksAndAnInterruptCancelsIt();
#ifdef PALVEX_MODEMSIM_PATH
    void ptyCsvSurvivesAnUnplug();
    void ptyEachProfileFillsTheCells_data();
    void ptyEachProfileFillsTheCells();
    void ptyEachMakerFillsRecordAndGrid_data();
    void ptyEachMakerFillsRecordAndGrid();
    void ptyAggregatingModelsListTheirCarriers_data();
    void ptyAggregatingModelsListTheirCarriers();
    void ptyModuleUnderAnotherNameIsReadByItsAnswers_data();
    void ptyModuleUnderAnotherNameIsReadByItsAnswers();
    void aModemPluggedInAfterTheStartIsMonitored();
    void callsAreAnsweredOnlyWhenAsked();
#endif
};

void HeadlessProcessTest::simJsonRecordsMatchTheSimulator()
{
    QTemporaryDir dir;
    const QString terminal = dir.filePath("terminal.log");
    Child child(PALVEX_HEADLESS_PATH, {"--headless", "SIM", "--cycles", "5", "--terminal", terminal});
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.Process().exitCode(), 0);
    QCOMPARE(child.Lines().size(), 5);

    SimReplay replay;
    for (int i = 0; i < 5; ++i) {
        QString error;
        const QJsonObject o = ParseRecord(child.Lines()[i], error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(o["cycle"].toInt(), i + 1);
        QCOMPARE(o["port"].toString(), QStringLiteral("SIM"));
        QCOMPARE(o["manufacturer"].toString(), QString(TRynSimModemEngine::kManufacturer));
        QCOMPARE(o["model"].toString(), QString(TRynSimModemEngine::kDefaultModel));
        const QDateTime time = QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && o["time"].toString().endsWith('Z') && o["time"].toString().contains('.'),
                 qPrintable(o["time"].toString()));
        QVERIFY(qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 120);
        const QString mismatch = CompareWithTruth(o, replay.NextCycle());
        QVERIFY2(mismatch.isEmpty(), qPrintable(QStringLiteral("cycle %1: %2").arg(i + 1).arg(mismatch)));
    }

    // A simulated model by its port name: today's modules in their makers'
    // formats, without further settings.
    Child lte(PALVEX_HEADLESS_PATH, {"SIM:EC25", "--cycles", "2", "--quiet"});
    QVERIFY(lte.Finish());
    QCOMPARE(lte.Process().exitCode(), 0);
    QCOMPARE(lte.Lines().size(), 2);
    for (const QByteArray &line : lte.Lines()) {
        QString error;
        const QJsonObject o = ParseRecord(line, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(o["model"].toString(), QStringLiteral("EC25"));
        // Firmware and SIM state always; the IMEI only with --identity.
        QVERIFY(!o["firmware"].toString().isEmpty());
        QCOMPARE(o["sim"].toString(), QStringLiteral("READY"));
        QVERIFY(o["imei"].isNull());
        QCOMPARE(o["port"].toString(), QStringLiteral("SIM:EC25"));
        QCOMPARE(o["rat"].toString(), QStringLiteral("LTE"));
        QVERIFY(o["serving"].toObject()["rsrp"].isDouble());
    }

    // A locked SIM is said plainly; --identity adds the IMEI and the SIM's
    // identities where the modem gives them.
    Child locked(PALVEX_HEADLESS_PATH, {"SIM:EC25,sim=pin", "--cycles", "1", "--identity"});
    QVERIFY(locked.Finish());
    QCOMPARE(locked.Lines().size(), 1);
    QString error;
    const QJsonObject o = ParseRecord(locked.Lines()[0], error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(o["sim"].toString(), QStringLiteral("SIM PIN"));
    QCOMPARE(o["registration"].toInt(), 0);
    QCOMPARE(o["imei"].toString().size(), 15);
    QVERIFY(!o["iccid"].toString().isEmpty());
    QVERIFY(o["imsi"].isNull()); // a locked SIM does not tell it
    const QByteArray err = locked.Process().readAllStandardError();
    QVERIFY2(err.contains("SIM locked: the PIN is needed"), err.constData());

    // The terminal log has the machine's progress and the commands, with times.
    const QList<QByteArray> lines = FileLines(terminal);
    QVERIFY(!lines.isEmpty());
    QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QByteArray &l) { return l.contains("machine: INIT"); }));
    QVERIFY(std::any_of(lines.begin(), lines.end(), [](const QByteArray &l) { return l.contains("AT+CSQ"); }));
    QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )").match(QString(lines.front())).hasMatch(),
             lines.front().constData());
}

void HeadlessProcessTest::sigtermStopsCleanlyWithEverythingWritten()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("records.jsonl");
    Child child(PALVEX_HEADLESS_PATH, {"SIM", "--log", log, "--quiet"});
    QVERIFY(child.WaitForLines([](const QList<QByteArray> &l) { return l.size() >= 3; }));
    child.Process().terminate(); // SIGTERM to this child only
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.Process().exitCode(), 0);
    QVERIFY(child.Process().readAllStandardError().isEmpty());
    // Every record on standard output is in the log, and nothing else.
    QCOMPARE(FileLines(log), child.Lines());
}

void HeadlessProcessTest::scanListsTheNetworksAndAnInterruptCancelsIt()
{
    // Both programs, a modem that takes a while to answer.
    for (const char *program : {PALVEX_PATH, PALVEX_HEADLESS_PATH}) {
        Child child(program, {"--scan", "SIM:EC25,delay=COPS=?:700"});
        QVERIFY(child.Finish());
        QCOMPARE(child.Process().exitCode(), 0);
        const QJsonDocument json = QJsonDocument::fromJson(child.Lines().join('\n'));
        QVERIFY2(json.isArray(), child.Lines().join('\n').constData());
        std::map<QString, QString> status;
        for (const QJsonValue &v : json.array())
            status[v[QStringLiteral("code")].toString()] = v[QStringLiteral("status")].toString();
        QCOMPARE(status, (std::map<QString, QString>{
                             {"23001", "current"}, {"23002", "available"}, {"23003", "available"}, {"26202", "forbidden"}}));
        QCOMPARE(json.array().first()[QStringLiteral("technology")].toString(), QStringLiteral("LTE"));
        QVERIFY(child.Process().readAllStandardError().contains("4 networks found"));
    }
    // An interrupt during a long search cancels it: nothing on standard
    // output, the reason on standard error, a failure code.
    Child child(PALVEX_HEADLESS_PATH, {"--scan", "SIM:EC25,delay=COPS=?:60000"});
    QByteArray err;
    QVERIFY(QTest::qWaitFor(
        [&] {
            child.Process().waitForReadyRead(50);
            err += child.Process().readAllStandardError();
            return err.contains("scanning for networks");
        },
        kWaitMs));
    ::kill(static_cast<pid_t>(child.Process().processId()), SIGINT);
    QVERIFY(child.Finish(5000));
    QCOMPARE(child.Process().exitCode(), 1);
    QVERIFY(child.Lines().isEmpty());
    err += child.Process().readAllStandardError();
    QVERIFY2(err.contains("palvex: the scan was cancelled"), err.constData());
}

void HeadlessProcessTest::metricsScrapeShowsTheSimulatorValues()
{
    const quint16 port = FreeLoopbackPort();
    QVERIFY(port != 0);
    Child child(PALVEX_HEADLESS_PATH,
                {"--headless", "SIM", "--quiet", "--metrics", QStringLiteral("127.0.0.1:%1").arg(port)});
    QVERIFY(child.WaitForLines([](const QList<QByteArray> &l) { return l.size() >= 2; }));

    // The metrics server listens on the loopback address only.
    {
        QFile tcp("/proc/net/tcp");
        if (tcp.open(QIODevice::ReadOnly)) {
            const QByteArray local = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
            int listening = 0;
            for (const QByteArray &line : tcp.readAll().split('\n')) {
                const QList<QByteArray> f = line.simplified().split(' ');
                if (f.size() > 3 && f[1].endsWith(":" + local) && f[3] == "0A") {
                    ++listening;
                    QCOMPARE(f[1], "0100007F:" + local);
                }
            }
            QCOMPARE(listening, 1);
        }
    }

    // A cycle may end between the record and the scrape: compare with the
    // record whose number the scrape reports, and try again when the scrape
    // caught the update half-way.
    QString lastMismatch;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const QByteArray text = HttpGet(port, "/metrics");
        QVERIFY2(!text.isEmpty(), "no answer from /metrics");
        const auto cycles = SeriesValue(text, "palvex_cycles_total", {"port=\"SIM\""});
        QVERIFY2(cycles && *cycles >= 2, text.constData());
        const int n = static_cast<int>(*cycles);
        QVERIFY(child.WaitForLines([n](const QList<QByteArray> &l) { return l.size() >= n; }));
        QString error;
        const QJsonObject o = ParseRecord(child.Lines()[n - 1], error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(o["cycle"].toInt(), n);

        const int signal = o["signal"].toInt();
        const int rssi = (signal * 32 + 99) / 100;
        struct Expect {
            QByteArray name;
            double value;
            QList<QByteArray> parts;
        };
        std::vector<Expect> expected{
            {"palvex_signal_percent", double(signal), {"port=\"SIM\""}},
            {"palvex_signal_dbm", double(-113 + 2 * rssi), {"port=\"SIM\""}},
            {"palvex_bit_error_rate", double(o["ber"].toInt()), {"port=\"SIM\""}},
            {"palvex_registration_state", double(o["registration"].toInt()), {"port=\"SIM\""}},
            {"palvex_activity", double(o["activity"].toInt()), {"port=\"SIM\""}},
            {"palvex_modem_info",
             1,
             {"operator_name=\"" + o["operator_name"].toString().toUtf8() + '"',
              "operator_code=\"" + o["operator_code"].toString().toUtf8() + '"', "model=\"BGS5\""}},
            {"palvex_timeouts_total", 0, {"port=\"SIM\""}},
            {"palvex_reconnects_total", 0, {"port=\"SIM\""}},
        };
        const QJsonArray cells = o["cells"].toArray();
        for (int row = 0; row < cells.size(); ++row) {
            if (cells[row].isNull())
                continue;
            const QJsonObject c = cells[row].toObject();
            const QList<QByteArray> labels{"row=\"" + QByteArray::number(row) + '"',
                                           "channel=\"" + QByteArray::number(c["channel"].toInt()) + '"',
                                           "band=\"" + c["band"].toString().toUtf8() + '"'};
            expected.push_back({"palvex_cell_dbm", double(c["dbm"].toInt()), labels});
            expected.push_back({"palvex_cell_rssi", double(c["rssi"].toInt()), labels});
        }
        lastMismatch.clear();
        for (const Expect &e : expected) {
            const auto v = SeriesValue(text, e.name, e.parts);
            if (!v || *v != e.value)
                lastMismatch = QStringLiteral("%1 %2 instead of %3\n%4")
                                   .arg(QString(e.name), v ? QString::number(*v) : QStringLiteral("missing"))
                                   .arg(e.value)
                                   .arg(QString(text));
        }
        if (lastMismatch.isEmpty())
            break;
    }
    QVERIFY2(lastMismatch.isEmpty(), qPrintable(lastMismatch));
}

void HeadlessProcessTest::errorsGiveOneLineAndAFailureCode_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("bad option") << QStringList{"SIM", "--colour"} << "colour";
    QTest::newRow("unwritable log") << QStringList{"SIM", "--log", "/proc/palvex/records.csv"} << "records.csv";
    QTest::newRow("unknown simulated model") << QStringList{"SIM:EC52", "--quiet"} << "no model \"EC52\"";
}

void HeadlessProcessTest::errorsGiveOneLineAndAFailureCode()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    Child child(PALVEX_HEADLESS_PATH, arguments);
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitStatus(), QProcess::NormalExit);
    QVERIFY(child.Process().exitCode() != 0);
    QVERIFY(child.Lines().isEmpty());
    const QByteArray error = child.Process().readAllStandardError();
    QVERIFY2(error.count('\n') == 1 && error.startsWith("palvex: ") && error.contains(message.toUtf8()),
             error.constData());
}

// The window and the headless monitor: one line naming the program and
// exit code 2 for an option they do not know; --version names each.
void HeadlessProcessTest::bothProgramsTreatABadOptionAlike()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char *program : {PALVEX_PATH, PALVEX_HEADLESS_PATH}) {
        QProcess process;
        process.start(QString::fromUtf8(program), {"--colour"});
        QVERIFY(process.waitForFinished(kWaitMs));
        QCOMPARE(process.exitCode(), 2);
        const QByteArray error = process.readAllStandardError();
        QVERIFY2(error.contains("palvex: Unknown option 'colour'.\n"), error.constData());
        process.start(QString::fromUtf8(program), {"--version"});
        QVERIFY(process.waitForFinished(kWaitMs));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QRegularExpression(QStringLiteral("^\\S+ \\d+\\.\\d+\\.\\d+\n$"))
                    .match(QString::fromUtf8(process.readAllStandardOutput()))
                    .hasMatch());
    }
}

void HeadlessProcessTest::logFormatFollowsTheFileName_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("logName");
    QTest::addColumn<bool>("csvOutput");
    QTest::addColumn<bool>("csvLog");
    const QString palvex = QStringLiteral(PALVEX_PATH);
    const QString headless = QStringLiteral(PALVEX_HEADLESS_PATH);
    QTest::newRow("palvex --headless, csv log") << palvex << QStringList{"--headless"} << "x.csv" << false << true;
    QTest::newRow("palvex-headless, csv log") << headless << QStringList{} << "x.csv" << false << true;
    QTest::newRow("palvex-headless, upper-case csv log") << headless << QStringList{} << "X.CSV" << false << true;
    QTest::newRow("palvex --headless --csv, json log")
        << palvex << QStringList{"--headless", "--csv"} << "x.jsonl" << true << false;
    QTest::newRow("palvex-headless --csv, csv log") << headless << QStringList{"--csv"} << "x.csv" << true << true;
}

void HeadlessProcessTest::logFormatFollowsTheFileName()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, logName);
    QFETCH(bool, csvOutput);
    QFETCH(bool, csvLog);
    QTemporaryDir dir;
    const QString log = dir.filePath(logName);
    Child child(program, arguments + QStringList{"SIM", "--cycles", "2", "--quiet", "--log", log});
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitCode(), 0);

    // Either output: a CSV header, then the rows, each with a field per
    // column; or JSON lines of the documented keys. Cycles 1 and 2 in both.
    auto check = [](const QList<QByteArray> &lines, bool csv) -> QString {
        if (lines.size() != (csv ? 3 : 2))
            return QStringLiteral("%1 lines: %2").arg(lines.size()).arg(QString(lines.join('|')));
        if (csv && lines[0] != CsvHeader())
            return "not the CSV header: " + QString(lines[0]);
        for (int cycle = 1; cycle <= 2; ++cycle) {
            const QByteArray &line = lines[csv ? cycle : cycle - 1];
            QString error;
            if (csv && (line.count(',') != CsvHeader().count(',') || !line.startsWith(QByteArray::number(cycle) + ",")))
                return "not CSV row " + QString::number(cycle) + ": " + QString(line);
            if (!csv && ParseRecord(line, error)["cycle"].toInt() != cycle)
                return error.isEmpty() ? "not JSON record " + QString::number(cycle) + ": " + QString(line) : error;
        }
        return {};
    };
    const QString output = check(child.Lines(), csvOutput);
    QVERIFY2(output.isEmpty(), qPrintable("standard output: " + output));
    const QString logged = check(FileLines(log), csvLog);
    QVERIFY2(logged.isEmpty(), qPrintable("log: " + logged));
}

void HeadlessProcessTest::pathThatIsNoSerialPortIsRefusedAtOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << "file";
    QTest::newRow("folder") << "folder";
    QTest::newRow("/dev/null") << "null";
}

// A path that is there but is no serial device fails every open the same
// way: refused at once with exit code 1, no list of processes that merely
// hold the device open.
void HeadlessProcessTest::pathThatIsNoSerialPortIsRefusedAtOnce()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    QString port = dir.filePath("not-a-tty");
    if (kind == "file") {
        QFile file(port);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(port));
    } else {
        port = "/dev/null";
    }
    Child child(PALVEX_HEADLESS_PATH, {port, "--duration", "30"});
    QVERIFY(child.Finish(5000));
    QCOMPARE(child.Process().exitCode(), 1);
    QVERIFY(child.Lines().isEmpty());
    const QByteArray progress = child.Process().readAllStandardError();
    QVERIFY2(progress.contains("palvex: " + port.toUtf8() + ": not a serial port\n"), progress.constData());
    QVERIFY2(!progress.contains("in use by"), progress.constData());
}

// A missing port is awaited; a run that ends without a record says why and
// exits 1, and so does one that gives up after --open-timeout.
void HeadlessProcessTest::runWithoutRecordsFails()
{
    QTemporaryDir dir;
    const QString port = dir.filePath("missing");
    for (const QStringList &limit : {QStringList{"--duration", "1.5"}, QStringList{"--open-timeout", "1.5"}}) {
        const QByteArray locale = qgetenv("LC_ALL");
        qputenv("LC_ALL", "C");
        Child child(PALVEX_HEADLESS_PATH, QStringList{port} + limit);
        locale.isNull() ? qunsetenv("LC_ALL") : qputenv("LC_ALL", locale);
        QVERIFY(child.Finish());
        QCOMPARE(child.Process().exitCode(), 1);
        const QByteArray progress = child.Process().readAllStandardError();
        QCOMPARE(progress.count("  Error while opening " + port.toUtf8() + "."), 1);
        QVERIFY2(progress.contains("No such file or directory\n"), progress.constData());
        QVERIFY2(progress.contains(limit.front() == "--duration" ? "palvex: no record within 1.5 s: "
                                                                 : "did not open within 1.5 s: "),
                 progress.constData());
    }
}

namespace {

// No byte of text is a control character other than the line ends.
bool HasNoControlCharacters(const QByteArray &text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\n') || byte == 0x7F;
    });
}

} // namespace

void HeadlessProcessTest::aMissingPortIsAwaitedAndEachNewReasonShownEscaped()
{
    // A port name that would set the terminal's title; missing first, then
    // a file that is no terminal: the wait is shown once, the file refused.
    QTemporaryDir dir;
    const QString port = dir.filePath("\x1b]0;owned\x07modem");
    const QByteArray shownPort = dir.filePath("\\x1B]0;owned\\x07modem").toUtf8();
    const QByteArray locale = qgetenv("LC_ALL");
    qputenv("LC_ALL", "C");
    Child child(PALVEX_HEADLESS_PATH, {port, "--duration", "30"});
    locale.isNull() ? qunsetenv("LC_ALL") : qputenv("LC_ALL", locale);
    QTest::qWait(2500);
    QCOMPARE(child.Process().state(), QProcess::Running);
    QFile file(port);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(child.Finish(5000));
    QCOMPARE(child.Process().exitCode(), 1);
    const QByteArray stderrText = child.Process().readAllStandardError();
    QVERIFY2(HasNoControlCharacters(stderrText), stderrText.constData());
    const QList<QByteArray> progress = stderrText.split('\n');
    const QByteArray failure = "  Error while opening " + shownPort + ".";
    QCOMPARE(progress.count(failure), 1);
    const qsizetype missing = progress.indexOf(failure);
    QVERIFY2(missing + 1 < progress.size(), stderrText.constData());
    QCOMPARE(progress[missing + 1], QByteArray("  No such file or directory"));
    QCOMPARE(progress.count("  No such file or directory"), 1);
    QVERIFY(progress.indexOf("palvex: " + shownPort + ": not a serial port") > missing + 1);
}

void HeadlessProcessTest::errorLinesAreEscaped()
{
    QTemporaryDir dir;
    Child child(PALVEX_HEADLESS_PATH, {"SIM", "--log", dir.filePath("missing\x1b[2J/records.jsonl")});
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitCode(), 1);
    const QByteArray error = child.Process().readAllStandardError();
    QVERIFY2(HasNoControlCharacters(error), error.constData());
    QVERIFY2(error.contains("missing\\x1B[2J/records.jsonl"), error.constData());
}

void HeadlessProcessTest::metricsOnPortZeroShowsThePort()
{
    Child child(PALVEX_HEADLESS_PATH, {"SIM", "--quiet", "--metrics", "127.0.0.1:0"});
    QVERIFY(child.WaitForLines([](const QList<QByteArray> &l) { return !l.isEmpty(); }));
    const QByteArray progress = child.Process().readAllStandardError();
    const QRegularExpressionMatch match =
        QRegularExpression(R"(^palvex: serving metrics on http://127\.0\.0\.1:(\d+)/metrics\n$)")
            .match(QString::fromUtf8(progress));
    QVERIFY2(match.hasMatch(), progress.constData());
    const quint16 port = match.captured(1).toUShort();
    QVERIFY(port != 0);
    QVERIFY(HttpGet(port, "/metrics").contains("palvex_cycles_total{port=\"SIM\"}"));
    child.Process().terminate();
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitCode(), 0);
}

#ifdef PALVEX_MODEMSIM_PATH
void HeadlessProcessTest::aModemPluggedInAfterTheStartIsMonitored()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    Child child(PALVEX_HEADLESS_PATH, {link, "--cycles", "1"});
    QTest::qWait(1500);
    QCOMPARE(child.Process().state(), QProcess::Running);
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link});
    QVERIFY(!modem.NextLine().isEmpty());
    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitCode(), 0);
    QCOMPARE(child.Lines().size(), 1);
    QString error;
    QCOMPARE(ParseRecord(child.Lines().front(), error)["cycle"].toInt(), 1);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QByteArray progress = child.Process().readAllStandardError();
    QCOMPARE(progress.count("  Error while opening " + link.toUtf8() + "."), 1);
    QCOMPARE(progress.count("  Success. Port"), 1);
    QFile::remove(link);
    modem.Process().closeWriteChannel();
    QVERIFY(modem.Process().waitForFinished(5000));
}

void HeadlessProcessTest::ptyEachProfileFillsTheCells_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("rat");
    QTest::addColumn<bool>("secondary");
    // Every simulated model of every family in the registry, with the cell
    // command its family sends first.
    for (const TRynSimModelInfo &info : TRynSimModemEngine::Models()) {
        const ModemFamily &family = *info.family;
        const std::string model = *info.model ? info.model : "MC55";
        // AT^MONI is not echoed to the terminal (unless its debug switch is
        // on): an empty command stands for it, and the rows it gave.
        std::string first = "\r";
        if (!family.commands.empty())
            first = family.commands.front().text;
        else if (std::find(family.smonpModels.begin(), family.smonpModels.end(), model) != family.smonpModels.end())
            first = "AT^SMONP\r";
        first.pop_back(); // its CR
        const char *rat = info.radio == TRynSimRadio::Gsm ? "GSM"
                          : info.radio == TRynSimRadio::NrNonStandalone ? "NR5G-NSA"
                                                                         : "LTE";
        QTest::newRow((std::string(family.name) + " " + model).c_str())
            << QString::fromStdString(model) << QString::fromStdString(first) << rat
            << (info.radio == TRynSimRadio::NrNonStandalone);
    }
}

// Each model of each family over a pseudo-terminal: the family chosen from
// its identification sends its own cell command, and the record carries the
// technology and the serving cell in the shape every family shares.
// Three cycles of palvex-headless on a pseudo-terminal modem of model: the
// last record, and the lines of the terminal log.
struct ModelRun {
    QJsonObject last;
    QList<QByteArray> terminal;
};

bool RunModel(const QString &model, ModelRun &run, const QStringList &modemArguments = {})
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    const QString terminal = dir.filePath("terminal.log");
    auto modem = std::make_unique<ModemSimProcess>(
        PALVEX_MODEMSIM_PATH, QStringList{"--link", link, "--model", model, "--latency", "0"} + modemArguments);
    if (modem->NextLine().isEmpty())
        return false;
    Child child(PALVEX_HEADLESS_PATH, {link, "--cycles", "3", "--quiet", "--terminal", terminal});
    const bool finished = child.Finish();
    QFile::remove(link);
    modem.reset();
    if (!finished || child.Process().exitCode() != 0 || child.Lines().size() != 3)
        return false;
    QString error;
    run.last = ParseRecord(child.Lines().back(), error);
    run.terminal = FileLines(terminal);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return error.isEmpty();
}

bool Sent(const QList<QByteArray> &terminal, const QString &command)
{
    return std::any_of(terminal.begin(), terminal.end(),
                       [&](const QByteArray &line) { return line.contains(command.toUtf8()); });
}

void HeadlessProcessTest::ptyEachProfileFillsTheCells()
{
    QFETCH(QString, model);
    QFETCH(QString, command);
    QFETCH(QString, rat);
    QFETCH(bool, secondary);
    ModelRun run;
    QVERIFY(RunModel(model, run));
    const QJsonObject &last = run.last;
    QCOMPARE(last["rat"].toString(), rat);
    const QJsonObject serving = last["serving"].toObject();
    QVERIFY2(!serving.isEmpty(), qPrintable(QJsonDocument(last).toJson(QJsonDocument::Compact)));
    if (rat != "GSM") {
        QVERIFY(serving["channel"].isDouble());
        QVERIFY(serving["rsrp"].toDouble() < -40 && serving["rsrp"].toDouble() > -141);
        // The LTE cell id's parts: eNB id and sector.
        QVERIFY(serving["cell_id"].isDouble());
        const qint64 cellId = serving["cell_id"].toInteger();
        QCOMPARE(serving["enb_id"].toInteger(-1), cellId / 256);
        QCOMPARE(serving["sector"].toInteger(-1), cellId % 256);
        QVERIFY(serving["gnb_id"].isNull());
        QVERIFY(serving["nr_cell"].isNull());
    }
    QCOMPARE(last["secondary"].isObject(), secondary);
    if (command.isEmpty())
        QVERIFY(last["cells"].toArray().at(0).isObject());
    else
        QVERIFY2(Sent(run.terminal, command), qPrintable(command + " not in the terminal log"));
}

// A modem that rings after its second poll: the headless monitor lets it
// ring, unless --answer-calls asks it to answer.
void HeadlessProcessTest::callsAreAnsweredOnlyWhenAsked()
{
    for (const bool answer : {false, true}) {
        QTemporaryDir dir;
        const QString link = dir.filePath("modem");
        const QString terminal = dir.filePath("terminal.log");
        auto modem = std::make_unique<ModemSimProcess>(
            PALVEX_MODEMSIM_PATH,
            QStringList{"--link", link, "--latency", "0", "--call-after-polls", "2", "--ring-text"});
        QVERIFY(!modem->NextLine().isEmpty());
        QStringList arguments{link, "--cycles", "6", "--quiet", "--terminal", terminal};
        if (answer)
            arguments << "--answer-calls";
        Child child(PALVEX_HEADLESS_PATH, arguments);
        QVERIFY(child.Finish());
        QCOMPARE(child.Process().exitCode(), 0);
        QFile::remove(link);
        modem.reset();
        const QList<QByteArray> lines = FileLines(terminal);
        QVERIFY2(Sent(lines, "RING"), "the modem rang");
        QCOMPARE(Sent(lines, "ATA"), answer);
    }
}

// The truth of a simulated model after the session's three cycles: the
// engine fed what the session feeds it that moves the radio (the start and
// one main command per cycle) from the simulator's default seed.
TRynSimTruth TruthAfterThreeCycles(const QString &model)
{
    TRynSimModemEngine engine(1);
    engine.SetModel(model.toStdString());
    engine.Feed("ATE0+COPS=0\r");
    for (int cycle = 0; cycle < 3; ++cycle)
        engine.Feed("AT+CSQ;+COPS=3,0;+COPS?;+COPS=3,2;+COPS?;+CREG?;+CPAS\r");
    return engine.Truth();
}

// The values of a cell of the truth under the record's keys; only keys
// lists them, every other key must be null.
QJsonObject ExpectedCell(const TRynSimLteCell &c, const TRynSimLteServing *serving, const QStringList &keys,
                         const QStringList &all)
{
    std::map<QString, QJsonValue> values{{"rat", "LTE"},           {"pci", c.pci},
                                         {"channel", c.earfcn},    {"band", QStringLiteral("B%1").arg(c.band)},
                                         {"rssi", c.rssi.value},   {"rsrp", c.rsrp.value},
                                         {"rsrq", c.rsrq.value}};
    if (serving) {
        values.insert({{"mcc", serving->mcc}, {"mnc", serving->mnc}, {"area", serving->tac},
                       {"cell_id", serving->cellId}, {"sinr", serving->sinr.value},
                       {"enb_id", serving->cellId / 256}, {"sector", serving->cellId % 256}});
    }
    QJsonObject o;
    for (const QString &key : all) {
        // The eNB id and sector come with the LTE cell id.
        const bool decoded = (key == "enb_id" || key == "sector") && keys.contains("cell_id");
        o[key] = keys.contains(key) || key == "rat" || decoded ? values[key] : QJsonValue(QJsonValue::Null);
    }
    return o;
}

std::optional<double> NumberOrNull(const QJsonValue &v)
{
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

// The record's serving cell and neighbours back as the display record
// the window would show them from.
TNetState CellsOfRecord(const QJsonObject &o)
{
    TNetState r;
    r.MarkAllInvalid();
    const QJsonObject s = o["serving"].toObject();
    TRadioCell cell;
    cell.rat = TRadioTech::Lte;
    const auto whole = [](const QJsonValue &v) { return v.isDouble() ? std::optional<int>(v.toInt()) : std::nullopt; };
    cell.mcc = whole(s["mcc"]);
    cell.mnc = whole(s["mnc"]);
    cell.pci = whole(s["pci"]);
    cell.area = whole(s["area"]);
    cell.cellId = whole(s["cell_id"]);
    cell.channel = whole(s["channel"]);
    cell.band = s["band"].toString().toStdString();
    cell.rsrp = NumberOrNull(s["rsrp"]);
    cell.rsrq = NumberOrNull(s["rsrq"]);
    cell.sinr = NumberOrNull(s["sinr"]);
    r.serving = cell;
    for (const QJsonValue &v : o["neighbours"].toArray()) {
        TNeighbourCell n;
        n.rat = TRadioTech::Lte;
        n.channel = whole(v["channel"]);
        n.pci = whole(v["pci"]);
        n.rsrp = NumberOrNull(v["rsrp"]);
        n.rsrq = NumberOrNull(v["rsrq"]);
        r.neighbours.push_back(n);
    }
    return r;
}

void HeadlessProcessTest::ptyEachMakerFillsRecordAndGrid_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("serving");    // the keys the maker's command fills
    QTest::addColumn<QStringList>("neighbours"); // empty: it lists none
    QTest::addColumn<QStringList>("columns");    // the grid columns that show a value
    QTest::newRow("Huawei") << "ME909s-120" << QStringList{"AT^MONSC", "AT^MONNC"}
                            << QStringList{"mcc", "mnc", "area", "cell_id", "pci", "channel", "rssi", "rsrp", "rsrq"}
                            << QStringList{"channel", "pci", "rssi", "rsrp", "rsrq"}
                            // No band in ^MONSC: the grid derives it from the EARFCN.
                            << QStringList{"EARFCN", "band", "PCI", "RSRP", "RSRQ", "MCC MNC"};
    QTest::newRow("u-blox") << "SARA-R510M8S" << QStringList{"AT+UCGED?"}
                            << QStringList{"mcc", "mnc", "area", "cell_id", "pci", "channel", "band", "rsrp", "rsrq",
                                           "sinr"}
                            << QStringList{} << QStringList{"EARFCN", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC"};
    QTest::newRow("Telit") << "LE910C1-EUX" << QStringList{"AT#RFSTS"}
                           << QStringList{"mcc", "mnc", "area", "cell_id", "channel", "band", "rssi", "rsrp", "rsrq"}
                           << QStringList{} << QStringList{"EARFCN", "band", "RSRP", "RSRQ", "MCC MNC"};
    QTest::newRow("Sierra") << "EM7565" << QStringList{"AT!GSTATUS?"}
                            << QStringList{"area", "cell_id", "channel", "band", "rssi", "rsrp", "rsrq", "sinr"}
                            << QStringList{} << QStringList{"EARFCN", "band", "RSRP", "RSRQ", "SINR"};
    QTest::newRow("Fibocom") << "FM350-GL" << QStringList{"AT+GTCCINFO?"}
                             << QStringList{"mcc", "mnc", "area", "cell_id", "pci", "channel", "band", "rsrp", "rsrq",
                                            "sinr"}
                             << QStringList{"channel", "pci", "rsrp", "rsrq"}
                             << QStringList{"EARFCN", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC"};
}

// Each new maker's module over a pseudo-terminal: its profile is chosen
// and its commands sent (no fallback), the record's serving cell and
// neighbours hold what the simulated modem reported and nothing it did not,
// and the grid shows the LTE columns with values where the maker gives them.
void HeadlessProcessTest::ptyEachMakerFillsRecordAndGrid()
{
    QFETCH(QString, model);
    QFETCH(QStringList, commands);
    QFETCH(QStringList, serving);
    QFETCH(QStringList, neighbours);
    QFETCH(QStringList, columns);
    ModelRun run;
    QVERIFY(RunModel(model, run));
    for (const QString &command : commands)
        QVERIFY2(Sent(run.terminal, command), qPrintable(command + " not in the terminal log"));
    QVERIFY2(!Sent(run.terminal, "AT+CESQ"), "fell back to AT+CESQ");

    const TRynSimTruth truth = TruthAfterThreeCycles(model);
    const QJsonObject &o = run.last;
    QCOMPARE(o["rat"].toString(), QStringLiteral("LTE"));
    QVERIFY(o["secondary"].isNull());
    const QStringList cellKeys{"rat",  "mcc",  "mnc",  "area", "cell_id", "enb_id", "sector", "gnb_id", "nr_cell",
                               "pci",  "channel", "band", "rssi", "rsrp", "rsrq", "sinr", "rscp", "ecno"};
    QCOMPARE(o["serving"].toObject(), ExpectedCell(truth.lte.serving, &truth.lte.serving, serving, cellKeys));
    const QJsonArray listed = o["neighbours"].toArray();
    QCOMPARE(listed.size(), neighbours.isEmpty() ? 0 : qsizetype(truth.lte.neighbours.size()));
    const QStringList neighbourKeys{"rat", "channel", "pci", "rssi", "rsrp", "rsrq", "rscp", "ecno"};
    for (qsizetype i = 0; i < listed.size(); ++i)
        QCOMPARE(listed[i].toObject(),
                 ExpectedCell(truth.lte.neighbours[std::size_t(i)], nullptr, neighbours, neighbourKeys));

    std::int32_t lastChannel = -1;
    const TDisplayTexts grid = ComposeDisplay(CellsOfRecord(o), lastChannel);
    const TGridRow lteHeader{"RAT", "channel", "band", "PCI", "RSRP", "RSRQ", "SINR", "MCC MNC", "TAC", "cell id"};
    QVERIFY(grid.header == lteHeader);
    // The technology always; the channel as the data rows call the EARFCN;
    // TAC and cell id where the record has them.
    columns.replaceInStrings(QRegularExpression("^EARFCN$"), "channel");
    columns << "RAT";
    if (serving.contains("area"))
        columns << "TAC";
    if (serving.contains("cell_id"))
        columns << "cell id";
    for (std::size_t column = 0; column < lteHeader.size(); ++column) {
        const bool shown = grid.rows[0][column] != "-";
        QVERIFY2(shown == columns.contains(QString::fromStdString(lteHeader[column])),
                 qPrintable(QStringLiteral("column %1: %2").arg(QString::fromStdString(lteHeader[column]),
                                                               QString::fromStdString(grid.rows[0][column]))));
    }
    const QString rsrp = QString::fromStdString(grid.rows[0][4]).trimmed();
    QCOMPARE(rsrp, QString::number(truth.lte.serving.rsrp.value));
}

void HeadlessProcessTest::ptyAggregatingModelsListTheirCarriers_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("levels"); // whether the secondary carrier's RSRQ and SINR are given
    QTest::newRow("EC25") << "EC25" << "AT+QCAINFO" << true;
    QTest::newRow("RM500Q") << "RM500Q" << "AT+QCAINFO" << true;
    QTest::newRow("FM350-GL") << "FM350-GL" << "AT+GTCAINFO?" << false;
}

// The simulated modules that aggregate carriers: the record lists the
// serving cell's carrier as PCC and the operator's other carrier as SCC
// (and the NR leg of EN-DC as a second SCC), with the simulator's values.
void HeadlessProcessTest::ptyAggregatingModelsListTheirCarriers()
{
    QFETCH(QString, model);
    QFETCH(QString, command);
    QFETCH(bool, levels);
    ModelRun run;
    QVERIFY(RunModel(model, run));
    QVERIFY2(Sent(run.terminal, command), qPrintable(command + " not in the terminal log"));
    const TRynSimTruth truth = TruthAfterThreeCycles(model);
    const QJsonArray carriers = run.last["carriers"].toArray();
    QCOMPARE(carriers.size(), truth.lte.hasNr ? 3 : 2);
    const auto expect = [](const QJsonObject &o, const char *role, const TRynSimLteServing &c) {
        QCOMPARE(o["role"].toString(), QString(role));
        QCOMPARE(o["rat"].toString(), QStringLiteral("LTE"));
        QCOMPARE(o["band"].toString(), QStringLiteral("B%1").arg(c.band));
        QCOMPARE(o["channel"].toInt(), c.earfcn);
        QCOMPARE(o["pci"].toInt(), c.pci);
        QCOMPARE(o["bandwidth_mhz"].toDouble(), double(c.bandwidthMhz));
        QCOMPARE(o["rsrp"].toDouble(), c.rsrp.value);
    };
    expect(carriers[0].toObject(), "PCC", truth.lte.serving);
    const QJsonObject scc = carriers[1].toObject();
    expect(scc, "SCC", truth.lte.scc);
    QCOMPARE(scc["rsrq"].isNull(), !levels);
    if (levels)
        QCOMPARE(scc["sinr"].toDouble(), truth.lte.scc.sinr.value);
    if (truth.lte.hasNr) {
        const QJsonObject leg = carriers[2].toObject();
        QCOMPARE(leg["rat"].toString(), QStringLiteral("NR5G-NSA"));
        QCOMPARE(leg["channel"].toInt(), truth.lte.nr.arfcn);
        QCOMPARE(leg["pci"].toInt(), truth.lte.nr.pci);
        QCOMPARE(leg["bandwidth_mhz"].toDouble(), 100.0);
        QVERIFY(leg["rsrp"].isNull());
    }

}

void HeadlessProcessTest::ptyModuleUnderAnotherNameIsReadByItsAnswers_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("command");
    for (const ModemFamily *family : ProbeOrder(nullptr)) {
        const std::string first = family->commands.front().text;
        QTest::newRow(family->name) << QString(family->models.front().model) << QString(family->name)
                                    << QString::fromStdString(first.substr(0, first.size() - 1));
    }
}

// A module of each family whose AT+CGMI names no family: the session finds
// the family by which command the module answers, says so once, and the
// record holds the cells of that family's command.
void HeadlessProcessTest::ptyModuleUnderAnotherNameIsReadByItsAnswers()
{
    QFETCH(QString, model);
    QFETCH(QString, family);
    QFETCH(QString, command);
    ModelRun run;
    QVERIFY(RunModel(model, run, {"--manufacturer", "Some Other Name"}));
    const QByteArray said = ("machine: " + command + " answers; reading cells as " + family).toUtf8();
    QCOMPARE(std::count_if(run.terminal.begin(), run.terminal.end(),
                           [&](const QByteArray &line) { return line.endsWith(said); }),
             1);
    QCOMPARE(run.last["manufacturer"].toString(), QStringLiteral("Some Other Name"));
    QVERIFY2(run.last["serving"].isObject(), qPrintable(QJsonDocument(run.last).toJson(QJsonDocument::Compact)));
    QVERIFY(!run.last["rat"].isNull());
    // No fall-back: the 3GPP command goes out only where the family reads
    // its levels from it.
    const auto own = std::find_if(ModemFamilies().begin(), ModemFamilies().end(),
                                  [&](const ModemFamily *f) { return family == f->name; });
    QVERIFY(own != ModemFamilies().end());
    const bool usesCesq = std::any_of((*own)->commands.begin(), (*own)->commands.end(),
                                      [](const auto &c) { return std::string(c.text) == "AT+CESQ\r"; });
    QVERIFY2(usesCesq || !Sent(run.terminal, "AT+CESQ"), "fell back to AT+CESQ");
}

void HeadlessProcessTest::ptyCsvSurvivesAnUnplug()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    const QString log = dir.filePath("records.csv");
    // A slow modem, so a cycle takes long enough for the test to pull the
    // plug in the middle of the second one.
    const QStringList modemArguments{"--link", link, "--latency", "250"};
    auto modem = std::make_unique<ModemSimProcess>(PALVEX_MODEMSIM_PATH, modemArguments);
    QVERIFY(!modem->NextLine().isEmpty());

    const quint16 metricsPort = FreeLoopbackPort();
    QVERIFY(metricsPort != 0);
    Child child(PALVEX_HEADLESS_PATH, {"--headless", link, "--cycles", "3", "--csv", "--log", log, "--metrics",
                                       QStringLiteral("127.0.0.1:%1").arg(metricsPort)});
    QVERIFY(child.WaitForLines([](const QList<QByteArray> &l) { return l.size() >= 2; })); // header, cycle 1

    // Unplug: the simulator closes both sides and removes its link.
    modem->Process().closeWriteChannel();
    QVERIFY(modem->Process().waitForFinished(5000));
    QCOMPARE(modem->Process().exitCode(), 0);
    const QList<QByteArray> beforeUnplug = child.Lines();
    const QList<QByteArray> logged = FileLines(log);
    QVERIFY2(logged.size() >= beforeUnplug.size(), "records written before the unplug are missing from the log");
    for (qsizetype i = 0; i < beforeUnplug.size(); ++i)
        QCOMPARE(logged[i], beforeUnplug[i]);
    QVERIFY2(child.Lines().size() < 4, "all cycles ended before the unplug; the modem is too fast for this test");

    // Plugged in again a second later under the same name.
    QTest::qWait(1000);
    QCOMPARE(child.Process().state(), QProcess::Running);
    modem = std::make_unique<ModemSimProcess>(PALVEX_MODEMSIM_PATH, modemArguments);
    QVERIFY(!modem->NextLine().isEmpty());

    // The new open is counted as a reconnect while the remaining cycles run
    // (the modem's preparation alone takes three slow answers).
    std::optional<double> reconnects;
    QElapsedTimer timer;
    timer.start();
    while (child.Process().state() == QProcess::Running && timer.elapsed() < kWaitMs) {
        reconnects = SeriesValue(HttpGet(metricsPort, "/metrics"), "palvex_reconnects_total");
        if (reconnects && *reconnects >= 1)
            break;
        QTest::qWait(50);
    }
    QVERIFY2(reconnects.has_value(), "no scrape succeeded while the monitor ran");
    QCOMPARE(*reconnects, 1.0);

    QVERIFY(child.Finish());
    QCOMPARE(child.Process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.Process().exitCode(), 0);
    const QList<QByteArray> lines = child.Lines();
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[0].startsWith("cycle,time,port,"));
    for (int i = 1; i <= 3; ++i) {
        QVERIFY2(lines[i].startsWith(QByteArray::number(i) + ','), lines[i].constData());
        QVERIFY2(lines[i].contains("," + link.toUtf8() + ",Palvex Simulated,BGS5,"), lines[i].constData());
    }
    QCOMPARE(FileLines(log), lines);
    const QByteArray progress = child.Process().readAllStandardError();
    QCOMPARE(progress.count("  Success. Port"), 2);
    QVERIFY2(progress.contains("machine: CLOSE"), progress.constData());
}
#endif

QTEST_GUILESS_MAIN(HeadlessProcessTest)
#include "HeadlessProcessTest.moc"
