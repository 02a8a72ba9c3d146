#pragma once
// The records of a headless monitor on an MQTT broker, for Home Assistant
// and other MQTT consumers: each record as JSON on PREFIX/<port>/state,
// "online"/"offline" on PREFIX/<port>/status (the offline one also as the
// broker's last will), and Home Assistant discovery configurations so that a
// device "Palvex <port>" with its sensors appears by itself.
//
// libmosquitto does the protocol on a thread of the publisher's own, so a
// slow or absent broker never holds the poll cycle: Publish only stores the
// newest state and hands it on when the link can take it. While the broker
// is away only that newest state waits (no queue grows), and it is sent
// first after the reconnect.

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;

struct MqttSettings {
    std::string host;
    int port = 0;
    std::string user; // empty: no login
    std::string password;
    bool tls = false;
    std::string caFile; // empty: the system's certificate authorities
    std::string prefix; // topic prefix without a trailing slash
    std::string discoveryPrefix = "homeassistant"; // empty: no discovery
};

// Reads mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://... into settings
// (port 1883, or 8883 for mqtts). A password in the address is refused: it
// would show in the process list and the journal.
bool ParseMqttAddress(const QString &address, MqttSettings &settings, QString &error);

// A topic level made of port: the device's base name, with every character
// that MQTT or Home Assistant treat specially replaced by '_'
// ("/dev/ttyUSB2" -> "ttyUSB2", "serial/by-id/usb-X:1" -> "usb-X_1").
std::string MqttPortLevel(const std::string &port);

// The Home Assistant discovery topic and configuration of each sensor, for a
// monitor on port whose records go to stateTopic.
struct MqttDiscoveryMessage {
    std::string topic;
    std::string payload;
};
std::vector<MqttDiscoveryMessage> MqttDiscoveryMessages(const MqttSettings &settings, const std::string &port,
                                                        const std::string &version);

class MqttPublisher {
public:
    // say is called on the owner's thread (through the Qt event loop of
    // context) with a line for the user: a refused login, a lost broker,
    // each once until its reason changes.
    MqttPublisher(MqttSettings settings, std::string port, std::function<void(const std::string &)> say);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // Starts the connection thread; false with error when libmosquitto
    // cannot even be set up (a bad CA file, no memory).
    bool Start(std::string &error);
    // The record of a cycle as one JSON object.
    void PublishState(std::string json);
    // Says "offline", disconnects and ends the thread; safe to call twice.
    // False when the thread is still stuck in the system's connect after a
    // few seconds: then the publisher must outlive the process (the owner
    // lets it go instead of destroying it).
    bool Stop();

    std::string StateTopic() const { return m_base + "/state"; }
    std::string StatusTopic() const { return m_base + "/status"; }

private:
    static void OnConnect(mosquitto *, void *self, int rc);
    static void OnDisconnect(mosquitto *, void *self, int rc);
    static void OnPublish(mosquitto *, void *self, int mid);
    void Run();
    void SendNewestLocked();
    void Say(const std::string &reason);

    MqttSettings m_settings;
    std::string m_port;
    std::string m_base; // PREFIX/<port>
    std::function<void(const std::string &)> m_say;
    mosquitto *m_client = nullptr;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_finished;
    bool m_runEnded = false;
    bool m_stopping = false;
    bool m_connected = false;
    std::string m_newest; // the state not yet handed to the link
    bool m_haveNewest = false;
    int m_pendingMid = -1; // the state message on its way, -1: none
    std::string m_lastSaid;
};
