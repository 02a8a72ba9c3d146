#pragma once
// The HTTP server of /metrics: one thread of its own with an event loop that
// never waits on a client. A client that sends nothing, or half a request,
// costs a socket and nothing else, so however many there are, a scrape is
// answered as soon as its request is in. Each client has kRequestTimeout
// for its request and for taking the reply; a peer address keeps at most
// kConnectionsPerPeer connections and all peers kConnections (the oldest
// waiting one makes room for a new one), so idle clients cannot use up the
// process's descriptors either.

#include <QByteArray>

#include <chrono>
#include <functional>
#include <string>

class QThread;

class MetricsServer {
public:
    // body gives the exposition text; it runs on the server's thread.
    explicit MetricsServer(std::function<std::string()> body);
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // Listens on host (an IPv4 or IPv6 address without brackets, or a
    // name) and port (0: the system picks one). False with error naming the
    // reason, "address already in use" among them.
    bool Listen(const std::string &host, int port, std::string &error);
    int Port() const { return m_port; }

    static constexpr std::chrono::milliseconds kRequestTimeout{3000};
    static constexpr int kConnections = 256;
    static constexpr int kConnectionsPerPeer = 32;
    static constexpr qsizetype kMaxRequestBytes = 8192;

    // The reply to one request head ("GET /metrics HTTP/1.1" and its header
    // lines), whole, with Connection: close.
    static QByteArray Reply(const QByteArray &request, const std::function<std::string()> &body);

private:
    class Worker;
    QThread *m_thread = nullptr;
    Worker *m_worker = nullptr;
    int m_port = 0;
};
