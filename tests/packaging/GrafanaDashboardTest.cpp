// The Grafana dashboard against a real scrape: every series its queries and
// template variables name is served by palvex-headless over a simulated LTE
// modem on a pseudo-terminal. A query naming a metric that does not exist
// draws an empty panel without any error in Grafana, so only a scrape tells.
#include "ModemSimProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif

namespace {

// Every query text of the dashboard: panel targets and template variables.
void CollectQueries(const QJsonValue &value, QStringList &queries)
{
    if (value.isArray()) {
        for (const QJsonValue &item : value.toArray())
            CollectQueries(item, queries);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if ((it.key() == "expr" || it.key() == "query" || it.key() == "definition") && it.value().isString())
            queries << it.value().toString();
        else
            CollectQueries(it.value(), queries);
    }
}

QByteArray Scrape(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray response;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000 && socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(200);
        response += socket.readAll();
    }
    return response + socket.readAll();
}

} // namespace

class GrafanaDashboardTest : public QObject {
    Q_OBJECT
private slots:
    void everyQueryNamesAServedMetric();
};

void GrafanaDashboardTest::everyQueryNamesAServedMetric()
{
    QFile file(QStringLiteral(PALVEX_DASHBOARD_PATH));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument dashboard = QJsonDocument::fromJson(file.readAll(), &parseError);
    QVERIFY2(parseError.error == QJsonParseError::NoError, qPrintable(parseError.errorString()));
    QStringList queries;
    CollectQueries(dashboard.object(), queries);
    QSet<QString> names;
    static const QRegularExpression metric(QStringLiteral(R"(\bpalvex_[a-z0-9_]+)"));
    for (const QString &query : queries)
        for (const auto &match : metric.globalMatch(query))
            names.insert(match.captured());
    QVERIFY2(names.size() >= 8, qPrintable(QStringList(names.values()).join(' ')));

    QTemporaryDir dir;
    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link, "--model", "EC25"});
    QVERIFY(!modem.NextLine().isEmpty());
    ChildProcess monitor(PALVEX_HEADLESS_PATH, {link, "--metrics", "127.0.0.1:0", "--duration", "60"});
    QProcess &process = monitor.Process();
    static const QRegularExpression serving(QStringLiteral(R"(serving metrics on http://127\.0\.0\.1:(\d+)/metrics)"));
    quint16 port = 0;
    QByteArray progress;
    QElapsedTimer timer;
    timer.start();
    while (port == 0 && timer.elapsed() < 10000) {
        process.waitForReadyRead(200);
        progress += process.readAllStandardError();
        const auto match = serving.match(QString::fromUtf8(progress));
        if (match.hasMatch())
            port = match.captured(1).toUShort();
    }
    QVERIFY2(port != 0, progress.constData());
    // A few cycles, so that the serving cell's gauges are there.
    QByteArray text;
    while (timer.elapsed() < 20000) {
        QTest::qWait(1000);
        text = Scrape(port);
        if (text.contains("palvex_serving_rsrp_dbm{"))
            break;
    }
    for (const QString &name : names) {
        const QByteArray sample = "\n" + name.toUtf8() + "{";
        QVERIFY2(text.contains(sample), qPrintable(QStringLiteral("%1 is not served:\n%2").arg(name, QString::fromUtf8(text))));
    }
    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QFile::remove(link);
}

QTEST_GUILESS_MAIN(GrafanaDashboardTest)
#include "GrafanaDashboardTest.moc"
