#include "MqttPublisher.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaObject>
#include <QUrl>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr unsigned kFirstRetrySeconds = 1;
constexpr unsigned kLastRetrySeconds = 60;

// libmosquitto keeps global state (its TLS and socket set-up): once per
// process, never undone while a client may still exist.
void InitLibrary()
{
    static const int once = mosquitto_lib_init();
    (void)once;
}

struct Sensor {
    const char *key;
    const char *name;
    const char *value; // Jinja expression over value_json
    const char *unit; // nullptr: a text sensor
    const char *deviceClass;
    const char *icon;
};

// The sensors every monitor announces; the expressions read the record's
// own keys and give None (unknown in Home Assistant) where it has null.
constexpr Sensor kSensors[] = {
    {"signal", "Signal", "value_json.signal", "%", nullptr, "mdi:signal"},
    {"rsrp", "RSRP", "(value_json.serving or {}).get('rsrp')", "dBm", "signal_strength", nullptr},
    {"rsrq", "RSRQ", "(value_json.serving or {}).get('rsrq')", "dB", nullptr, "mdi:signal"},
    {"sinr", "SINR", "(value_json.serving or {}).get('sinr')", "dB", nullptr, "mdi:signal"},
    {"technology", "Technology", "value_json.rat", nullptr, nullptr, "mdi:radio-tower"},
    {"operator", "Operator", "value_json.operator_name", nullptr, nullptr, "mdi:domain"},
    {"registration", "Registration", "value_json.registration", nullptr, nullptr, "mdi:access-point-network"},
    {"band", "Band", "(value_json.serving or {}).get('band')", nullptr, nullptr, "mdi:sine-wave"},
    {"cell_id", "Cell ID", "(value_json.serving or {}).get('cell_id')", nullptr, nullptr, "mdi:radio-tower"},
};

} // namespace

bool ParseMqttAddress(const QString &address, MqttSettings &settings, QString &error)
{
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "mqtt" && scheme != "mqtts") || url.host().isEmpty()) {
        error = QStringLiteral("--mqtt needs mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://..., got \"%1\"").arg(address);
        return false;
    }
    if (!url.password().isEmpty()) {
        error = QStringLiteral("--mqtt: put the password in --mqtt-password-file or PALVEX_MQTT_PASSWORD, not in the "
                               "address (it would show in the process list)");
        return false;
    }
    QString prefix = url.path();
    while (prefix.startsWith('/'))
        prefix.remove(0, 1);
    while (prefix.endsWith('/'))
        prefix.chop(1);
    if (prefix.isEmpty())
        prefix = QStringLiteral("palvex");
    if (prefix.contains('+') || prefix.contains('#')) {
        error = QStringLiteral("--mqtt: the topic prefix \"%1\" holds a wildcard (+ or #)").arg(prefix);
        return false;
    }
    settings.tls = scheme == "mqtts";
    settings.host = url.host().toStdString();
    settings.port = url.port(settings.tls ? 8883 : 1883);
    settings.user = url.userName().toStdString();
    settings.prefix = prefix.toStdString();
    return true;
}

std::string MqttPortLevel(const std::string &port)
{
    std::string level = port.substr(port.find_last_of('/') == std::string::npos ? 0 : port.find_last_of('/') + 1);
    if (level.empty())
        level = "port";
    for (char &c : level) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        if (!plain)
            c = '_';
    }
    return level;
}

std::vector<MqttDiscoveryMessage> MqttDiscoveryMessages(const MqttSettings &settings, const std::string &port,
                                                        const std::string &version)
{
    std::vector<MqttDiscoveryMessage> messages;
    if (settings.discoveryPrefix.empty())
        return messages;
    const std::string level = MqttPortLevel(port);
    const std::string base = settings.prefix + "/" + level;
    const QString id = QStringLiteral("palvex_") + QString::fromStdString(level);
    QJsonObject device{{"identifiers", QJsonArray{id}},
                       {"name", QStringLiteral("Palvex ") + QString::fromStdString(level)},
                       {"manufacturer", QStringLiteral("Palvex")},
                       {"model", QStringLiteral("cellular modem monitor")},
                       {"sw_version", QString::fromStdString(version)}};
    for (const Sensor &sensor : kSensors) {
        QJsonObject config{
            {"name", QString::fromLatin1(sensor.name)},
            {"unique_id", id + '_' + QLatin1String(sensor.key)},
            {"object_id", id + '_' + QLatin1String(sensor.key)},
            {"state_topic", QString::fromStdString(base + "/state")},
            {"value_template", QStringLiteral("{{ %1 }}").arg(QLatin1String(sensor.value))},
            {"availability_topic", QString::fromStdString(base + "/status")},
            {"payload_available", QStringLiteral("online")},
            {"payload_not_available", QStringLiteral("offline")},
            {"device", device},
        };
        if (sensor.unit) {
            config["unit_of_measurement"] = QString::fromLatin1(sensor.unit);
            config["state_class"] = QStringLiteral("measurement");
        }
        if (sensor.deviceClass)
            config["device_class"] = QString::fromLatin1(sensor.deviceClass);
        if (sensor.icon)
            config["icon"] = QString::fromLatin1(sensor.icon);
        messages.push_back({settings.discoveryPrefix + "/sensor/" + id.toStdString() + "/" + sensor.key + "/config",
                            QJsonDocument(config).toJson(QJsonDocument::Compact).toStdString()});
    }
    return messages;
}

MqttPublisher::MqttPublisher(MqttSettings settings, std::string port, std::function<void(const std::string &)> say)
    : m_settings(std::move(settings))
    , m_port(std::move(port))
    , m_base(m_settings.prefix + "/" + MqttPortLevel(m_port))
    , m_say(std::move(say))
{
}

MqttPublisher::~MqttPublisher()
{
    if (!Stop())
        std::terminate(); // the owner must not destroy a publisher whose thread still runs
    if (m_client)
        mosquitto_destroy(m_client);
}

bool MqttPublisher::Start(std::string &error)
{
    InitLibrary();
    const std::string clientId = "palvex-" + MqttPortLevel(m_port) + "-" + std::to_string(QCoreApplication::applicationPid());
    m_client = mosquitto_new(clientId.c_str(), true, this);
    if (!m_client) {
        error = "cannot set up the MQTT client (out of memory)";
        return false;
    }
    mosquitto_threaded_set(m_client, true);
    mosquitto_connect_callback_set(m_client, &MqttPublisher::OnConnect);
    mosquitto_disconnect_callback_set(m_client, &MqttPublisher::OnDisconnect);
    mosquitto_publish_callback_set(m_client, &MqttPublisher::OnPublish);
    mosquitto_reconnect_delay_set(m_client, kFirstRetrySeconds, kLastRetrySeconds, true);
    static const char offline[] = "offline";
    mosquitto_will_set(m_client, StatusTopic().c_str(), sizeof offline - 1, offline, 1, true);
    if (!m_settings.user.empty())
        mosquitto_username_pw_set(m_client, m_settings.user.c_str(),
                                  m_settings.password.empty() ? nullptr : m_settings.password.c_str());
    if (m_settings.tls) {
        const int rc = mosquitto_tls_set(m_client, m_settings.caFile.empty() ? nullptr : m_settings.caFile.c_str(),
                                         m_settings.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                                         nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = "cannot set up TLS for MQTT: " + std::string(mosquitto_strerror(rc));
            return false;
        }
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void MqttPublisher::Run()
{
    unsigned delay = kFirstRetrySeconds;
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        // Name lookup and the TCP handshake block only this thread.
        int rc = mosquitto_connect(m_client, m_settings.host.c_str(), m_settings.port, kKeepAliveSeconds);
        if (rc == MOSQ_ERR_SUCCESS) {
            delay = kFirstRetrySeconds;
            // Returns after Stop's disconnect; reconnects by itself meanwhile.
            rc = mosquitto_loop_forever(m_client, 1000, 1);
        }
        const std::string reason =
            rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : std::string(mosquitto_strerror(rc));
        lock.lock();
        if (rc != MOSQ_ERR_SUCCESS && !m_stopping)
            Say("cannot reach the MQTT broker " + m_settings.host + ":" + std::to_string(m_settings.port) + ": " +
                reason);
        m_wake.wait_for(lock, std::chrono::seconds(delay), [this] { return m_stopping; });
        delay = std::min(delay * 2, kLastRetrySeconds);
    }
    m_runEnded = true;
    m_finished.notify_all();
}

void MqttPublisher::OnConnect(mosquitto *client, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    if (rc != 0) {
        // The broker answered but refused: said once, tried again later.
        std::lock_guard lock(publisher->m_mutex);
        publisher->Say("the MQTT broker " + publisher->m_settings.host + " refused the connection: " +
                       mosquitto_connack_string(rc));
        return;
    }
    static const char online[] = "online";
    mosquitto_publish(client, nullptr, publisher->StatusTopic().c_str(), sizeof online - 1, online, 1, true);
    for (const MqttDiscoveryMessage &message :
         MqttDiscoveryMessages(publisher->m_settings, publisher->m_port, QCoreApplication::applicationVersion().toStdString()))
        mosquitto_publish(client, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
                          message.payload.data(), 1, true);
    std::lock_guard lock(publisher->m_mutex);
    publisher->m_connected = true;
    publisher->m_pendingMid = -1;
    publisher->SendNewestLocked();
    // After a problem was said, its end is said too.
    if (!publisher->m_lastSaid.empty())
        publisher->Say("connected to the MQTT broker " + publisher->m_settings.host);
}

void MqttPublisher::OnDisconnect(mosquitto *, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    std::lock_guard lock(publisher->m_mutex);
    publisher->m_connected = false;
    publisher->m_pendingMid = -1;
    if (rc != 0 && !publisher->m_stopping)
        publisher->Say("lost the MQTT broker " + publisher->m_settings.host + "; reconnecting");
}

void MqttPublisher::OnPublish(mosquitto *, void *self, int mid)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    std::lock_guard lock(publisher->m_mutex);
    if (mid != publisher->m_pendingMid)
        return;
    publisher->m_pendingMid = -1;
    publisher->SendNewestLocked();
}

void MqttPublisher::PublishState(std::string json)
{
    std::lock_guard lock(m_mutex);
    m_newest = std::move(json);
    m_haveNewest = true;
    SendNewestLocked();
}

// One state message at a time on the link: a newer record replaces the one
// still waiting, so a slow broker costs records, never memory.
void MqttPublisher::SendNewestLocked()
{
    if (!m_connected || !m_haveNewest || m_pendingMid != -1 || !m_client)
        return;
    int mid = -1;
    const int rc = mosquitto_publish(m_client, &mid, StateTopic().c_str(), static_cast<int>(m_newest.size()),
                                     m_newest.data(), 0, true);
    if (rc == MOSQ_ERR_SUCCESS) {
        m_pendingMid = mid;
        m_haveNewest = false;
    }
}

// Called with m_mutex held.
void MqttPublisher::Say(const std::string &reason)
{
    if (reason == m_lastSaid || !m_say)
        return;
    m_lastSaid = reason;
    auto say = m_say;
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [say, reason] { say(reason); }, Qt::QueuedConnection);
}

bool MqttPublisher::Stop()
{
    if (!m_thread.joinable())
        return true;
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopping && m_connected) {
            // A clean disconnect does not fire the will: say it ourselves.
            static const char offline[] = "offline";
            mosquitto_publish(m_client, nullptr, StatusTopic().c_str(), sizeof offline - 1, offline, 1, true);
        }
        m_stopping = true;
    }
    m_wake.notify_all();
    mosquitto_disconnect(m_client);
    // A connect to a host that swallows packets blocks in the system until
    // its own time-out; the process does not wait for it on the way out.
    std::unique_lock lock(m_mutex);
    if (!m_finished.wait_for(lock, std::chrono::seconds(3), [this] { return m_runEnded; }))
        return false;
    lock.unlock();
    m_thread.join();
    return true;
}
