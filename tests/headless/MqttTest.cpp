// palvex-headless --mqtt against Debian's mosquitto broker on loopback,
// watched by mosquitto_sub: records on the state topic, Home Assistant
// discovery that names fields the records have, the last will when the
// monitor is killed, and a broker restart survived. The broker, the monitor
// and the simulated modem are the test's own processes, ended by their ids;
// each also ends by itself if the test dies.
#include "ChildProcess.h"
#include "ModemSimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

#include <csignal>

#ifndef PALVEX_HEADLESS_PATH
#error "PALVEX_HEADLESS_PATH must name the palvex-headless executable"
#endif

namespace {

constexpr int kWaitMs = 20000;

quint16 FreeLoopbackPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

// mosquitto_sub -v: one "topic payload" line per message, retained ones first.
class Subscriber : public ChildProcess {
public:
    Subscriber(const QString &program, quint16 port, const QString &filter)
        : ChildProcess(QStringLiteral("timeout"),
                       {"90", program, "-h", "127.0.0.1", "-p", QString::number(port), "-v", "-t", filter})
    {
    }
    // Reads messages until pred holds for the last one of a topic.
    bool WaitFor(const std::function<bool(const QString &topic, const QByteArray &payload)> &pred,
                 int waitMs = kWaitMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < waitMs) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine().trimmed();
                const qsizetype space = line.indexOf(' ');
                const QString topic = QString::fromUtf8(line.left(space));
                const QByteArray payload = space < 0 ? QByteArray() : line.mid(space + 1);
                m_last[topic] = payload;
                if (pred(topic, payload))
                    return true;
            }
            m_process.waitForReadyRead(100);
        }
        return false;
    }
    const std::map<QString, QByteArray> &Last() const { return m_last; }

private:
    std::map<QString, QByteArray> m_last;
};

class Broker {
public:
    Broker(const QString &program, const QString &folder, quint16 port)
    {
        const QString config = folder + "/mosquitto.conf";
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                           .arg(port)
                           .toUtf8());
        file.close();
        m_process = std::make_unique<ChildProcess>(QStringLiteral("timeout"),
                                                   QStringList{"90", program, "-c", config});
        // Ready when it accepts a connection.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 5000) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(200)) {
                m_ready = true;
                break;
            }
            QTest::qWait(100);
        }
    }
    bool Ready() const { return m_ready; }
    void Stop() { m_process.reset(); }

private:
    std::unique_ptr<ChildProcess> m_process;
    bool m_ready = false;
};

bool StateWithCycle(const QString &topic, const QByteArray &payload, const QString &stateTopic, int atLeast)
{
    return topic == stateTopic && QJsonDocument::fromJson(payload).object().value("cycle").toInt() >= atLeast;
}

} // namespace

class MqttTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void recordsDiscoveryWillAndBrokerRestart();

private:
    QString m_broker;
    QString m_subscriber;
};

void MqttTest::initTestCase()
{
    m_broker = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (m_broker.isEmpty())
        m_broker = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin"});
    m_subscriber = QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub"));
    if (m_broker.isEmpty() || m_subscriber.isEmpty())
        QSKIP("mosquitto or mosquitto_sub is not installed (Debian packages mosquitto, mosquitto-clients; "
              "scripts/install-deps.sh installs them)");
}

void MqttTest::recordsDiscoveryWillAndBrokerRestart()
{
    QTemporaryDir dir;
    const quint16 port = FreeLoopbackPort();
    auto broker = std::make_unique<Broker>(m_broker, dir.path(), port);
    QVERIFY(broker->Ready());
    Subscriber states(m_subscriber, port, "test/#");
    Subscriber discovery(m_subscriber, port, "homeassistant/#");
    QTest::qWait(300);

    const QString link = dir.filePath("modem");
    ModemSimProcess modem(PALVEX_MODEMSIM_PATH, {"--link", link, "--model", "EC25"}, 80);
    QVERIFY(!modem.NextLine().isEmpty());
    auto monitor = std::make_unique<ChildProcess>(
        PALVEX_HEADLESS_PATH, QStringList{link, "--quiet", "--duration", "75", "--mqtt",
                                          QStringLiteral("mqtt://127.0.0.1:%1/test/").arg(port)});
    const QString stateTopic = "test/modem/state";
    const QString statusTopic = "test/modem/status";

    // Records arrive, the monitor says it is online.
    QVERIFY(states.WaitFor([&](const QString &t, const QByteArray &p) { return StateWithCycle(t, p, stateTopic, 2); }));
    QCOMPARE(states.Last().at(statusTopic), QByteArray("online"));
    const QJsonObject record = QJsonDocument::fromJson(states.Last().at(stateTopic)).object();
    QCOMPARE(record.value("rat").toString(), QStringLiteral("LTE"));

    // Every discovery config is JSON that reads keys the record has.
    QVERIFY(discovery.WaitFor([](const QString &t, const QByteArray &) { return t.endsWith("/cell_id/config"); }));
    int sensors = 0;
    static const QRegularExpression topLevel(QStringLiteral(R"(value_json\.([a-z_]+))"));
    static const QRegularExpression nested(QStringLiteral(R"(\.get\('([a-z_]+)'\))"));
    for (const auto &[topic, payload] : discovery.Last()) {
        QJsonParseError error{};
        const QJsonObject config = QJsonDocument::fromJson(payload, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, payload.constData());
        QCOMPARE(config.value("state_topic").toString(), stateTopic);
        QCOMPARE(config.value("availability_topic").toString(), statusTopic);
        QCOMPARE(config.value("device").toObject().value("name").toString(), QStringLiteral("Palvex modem"));
        const QString value = config.value("value_template").toString();
        const auto top = topLevel.match(value);
        QVERIFY2(top.hasMatch() && record.contains(top.captured(1)), qPrintable(value));
        const auto inner = nested.match(value);
        if (inner.hasMatch())
            QVERIFY2(record.value(top.captured(1)).toObject().contains(inner.captured(1)), qPrintable(value));
        ++sensors;
    }
    QVERIFY(sensors >= 9);

    // The broker goes away and comes back on the same port: records flow again.
    const int before = QJsonDocument::fromJson(states.Last().at(stateTopic)).object().value("cycle").toInt();
    broker->Stop();
    QTest::qWait(1500);
    broker = std::make_unique<Broker>(m_broker, dir.path(), port);
    QVERIFY(broker->Ready());
    Subscriber again(m_subscriber, port, "test/#");
    QVERIFY(again.WaitFor([&](const QString &t, const QByteArray &p) { return StateWithCycle(t, p, stateTopic, before + 2); },
                          40000));

    // Back online on the new broker; then killed without a word: the broker
    // sends the last will.
    QVERIFY(again.Last().count(statusTopic) && again.Last().at(statusTopic) == "online");
    ::kill(static_cast<pid_t>(monitor->Process().processId()), SIGKILL);
    QVERIFY(again.WaitFor([&](const QString &t, const QByteArray &p) { return t == statusTopic && p == "offline"; }));
    monitor.reset();
    QFile::remove(link);
}

QTEST_GUILESS_MAIN(MqttTest)
#include "MqttTest.moc"
