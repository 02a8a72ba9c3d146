// Debian's Prometheus server scraping palvex-headless on the simulated
// modem, both on loopback: the series Prometheus stored match the records
// the monitor printed. Both processes stop by themselves (--duration, and
// timeout(1) around the server) if the test dies; the test ends them by id.
#include "ChildProcess.h"
#include "LoopbackPort.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <map>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif

namespace {

constexpr int kLifetimeSeconds = 90;
constexpr int kWaitMs = 45000;

// Samples of one series keyed by their scrape time in milliseconds.
using Samples = std::map<qint64, double>;

} // namespace

class PrometheusScrapeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void storedSeriesMatchTheRecords();

private:
    // The JSON answer of the HTTP API, or an empty object.
    QJsonObject Query(quint16 port, const QString &query);
    // The samples of the one series query selects, all from the job's
    // target with the port label SIM.
    Samples SeriesSamples(quint16 port, const QString &query);
    void ReadRecords(QProcess &monitor);

    QString m_prometheus;
    QNetworkAccessManager m_network;
    std::map<qint64, int> m_signalByCycle;
};

void PrometheusScrapeTest::initTestCase()
{
    m_prometheus = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
    if (m_prometheus.isEmpty())
        QSKIP("prometheus is not installed (Debian package prometheus; scripts/install-deps.sh installs it)");
    if (QStandardPaths::findExecutable(QStringLiteral("timeout")).isEmpty())
        QSKIP("timeout(1) is missing, so the server's lifetime cannot be bounded");
}

QJsonObject PrometheusScrapeTest::Query(quint16 port, const QString &query)
{
    QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(port));
    QUrlQuery parameters;
    parameters.addQueryItem(QStringLiteral("query"), query);
    url.setQuery(parameters);
    QNetworkRequest request(url);
    request.setTransferTimeout(5000);
    QNetworkReply *reply = m_network.get(request);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError)
        return {};
    return QJsonDocument::fromJson(reply->readAll()).object();
}

Samples PrometheusScrapeTest::SeriesSamples(quint16 port, const QString &query)
{
    const QJsonObject answer = Query(port, query);
    const QJsonArray result = answer.value("data").toObject().value("result").toArray();
    if (answer.value("status").toString() != "success" || result.size() != 1)
        return {};
    const QJsonObject series = result.first().toObject();
    const QJsonObject labels = series.value("metric").toObject();
    if (labels.value("job").toString() != "palvex" || labels.value("port").toString() != "SIM")
        return {};
    Samples samples;
    for (const QJsonValue &pair : series.value("values").toArray()) {
        // [unix time in seconds with milliseconds, "value"]
        const qint64 ms = qRound64(pair.toArray().at(0).toDouble() * 1000.0);
        samples[ms] = pair.toArray().at(1).toString().toDouble();
    }
    return samples;
}

void PrometheusScrapeTest::ReadRecords(QProcess &monitor)
{
    while (monitor.canReadLine()) {
        const QJsonObject record = QJsonDocument::fromJson(monitor.readLine()).object();
        if (record.value("signal").isDouble())
            m_signalByCycle[record.value("cycle").toInteger()] = record.value("signal").toInt();
    }
}

void PrometheusScrapeTest::storedSeriesMatchTheRecords()
{
    const quint16 metricsPort = FreeLoopbackPort();
    const quint16 serverPort = FreeLoopbackPort();
    QVERIFY(metricsPort != 0 && serverPort != 0 && metricsPort != serverPort);

    ChildProcess monitor(QStringLiteral(PALVEX_HEADLESS_PATH),
                  {"SIM", "--quiet", "--metrics", QStringLiteral("127.0.0.1:%1").arg(metricsPort), "--duration",
                   QString::number(kLifetimeSeconds)});
    QVERIFY2(monitor.Process().waitForStarted(), "palvex-headless did not start");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile config(dir.filePath("prometheus.yml"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("global:\n"
                                "  scrape_interval: 1s\n"
                                "scrape_configs:\n"
                                "  - job_name: palvex\n"
                                "    static_configs:\n"
                                "      - targets: ['127.0.0.1:%1']\n")
                     .arg(metricsPort)
                     .toUtf8());
    config.close();
    ChildProcess server(QStringLiteral("timeout"),
                 {QString::number(kLifetimeSeconds), m_prometheus, "--config.file=" + config.fileName(),
                  "--storage.tsdb.path=" + dir.filePath("data"),
                  QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(serverPort), "--log.level=warn"});
    QVERIFY2(server.Process().waitForStarted(), "prometheus did not start");

    // Wait until Prometheus holds two scrapes that saw a completed cycle.
    const QString window = QStringLiteral("[%1s]").arg(kLifetimeSeconds);
    Samples cycles;
    Samples signal;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        ReadRecords(monitor.Process());
        cycles = SeriesSamples(serverPort, "palvex_cycles_total" + window);
        signal = SeriesSamples(serverPort, "palvex_signal_percent" + window);
        qsizetype paired = 0;
        for (const auto &[time, count] : cycles)
            paired += count >= 1 && signal.count(time) ? 1 : 0;
        if (paired >= 2)
            break;
        QVERIFY2(server.Process().state() == QProcess::Running,
                 qPrintable("prometheus ended: " + server.Process().readAllStandardError()));
        QVERIFY2(monitor.Process().state() == QProcess::Running, "palvex-headless ended early");
        QVERIFY2(timer.elapsed() < kWaitMs, "no two scrapes with a completed cycle in time");
        QTest::qWait(500);
    }
    // Every record up to the last scraped cycle (and the one after it) is
    // printed before its metrics change.
    const int lastCycle = int(cycles.rbegin()->second);
    QTRY_VERIFY_WITH_TIMEOUT((ReadRecords(monitor.Process()), m_signalByCycle.count(lastCycle + 1) == 1), 10000);

    int compared = 0;
    for (const auto &[time, count] : cycles) {
        if (!signal.count(time) || count < 1)
            continue;
        const int cycle = int(count);
        const double scraped = signal.at(time);
        QVERIFY2(m_signalByCycle.count(cycle), qPrintable(QStringLiteral("no record for cycle %1").arg(cycle)));
        // The gauges of cycle N+1 are set just before the counter moves to
        // N+1, so a scrape between the two sees them with the count N.
        const bool matches = scraped == m_signalByCycle.at(cycle) || scraped == m_signalByCycle.at(cycle + 1);
        QVERIFY2(matches, qPrintable(QStringLiteral("scrape with %1 cycles has signal %2, the record says %3")
                                         .arg(cycle)
                                         .arg(scraped)
                                         .arg(m_signalByCycle.at(cycle))));
        ++compared;
    }
    QVERIFY(compared >= 2);
    qInfo("compared %d scrapes against %zu records", compared, m_signalByCycle.size());
}

QTEST_GUILESS_MAIN(PrometheusScrapeTest)
#include "PrometheusScrapeTest.moc"
