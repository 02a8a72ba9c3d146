#include "MetricsServer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// How often the time-outs of the clients are looked at.
constexpr std::chrono::milliseconds kSweep{200};

QByteArray Response(const QByteArray &status, const QByteArray &type, const QByteArray &body, bool head)
{
    QByteArray out = "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                     "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (!head)
        out += body;
    return out;
}

QByteArray Error(const QByteArray &status, bool head = false)
{
    return Response(status, "text/plain; charset=utf-8", status + '\n', head);
}

} // namespace

QByteArray MetricsServer::Reply(const QByteArray &request, const std::function<std::string()> &body)
{
    const qsizetype lineEnd = request.indexOf('\n');
    const QList<QByteArray> parts = request.left(lineEnd < 0 ? request.size() : lineEnd).trimmed().split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1."))
        return Error("400 Bad Request");
    const bool head = parts[0] == "HEAD";
    if (parts[0] != "GET" && !head)
        return Error("405 Method Not Allowed");
    QByteArray path = parts[1];
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    if (path != "/metrics")
        return Error("404 Not Found", head);
    return Response("200 OK", "text/plain; version=0.0.4; charset=utf-8", QByteArray::fromStdString(body()), head);
}

// Lives on the server's thread: the listening socket and the clients.
class MetricsServer::Worker : public QObject {
public:
    explicit Worker(std::function<std::string()> body)
        : m_body(std::move(body))
    {
        m_server.setListenBacklogSize(kConnections);
        m_server.setMaxPendingConnections(kConnections);
        connect(&m_server, &QTcpServer::newConnection, this, [this] { Accept(); });
        connect(&m_sweep, &QTimer::timeout, this, [this] { Sweep(); });
    }

    // The clients go before the list that knows them.
    ~Worker() override
    {
        for (const Client &client : std::exchange(m_clients, {}))
            if (client.socket) {
                client.socket->disconnect(this);
                delete client.socket;
            }
    }

    bool Listen(const std::string &host, int port, std::string &error, int &bound)
    {
        QHostAddress address;
        const QString name = QString::fromStdString(host);
        if (!address.setAddress(name)) {
            const QHostInfo info = QHostInfo::fromName(name);
            if (info.addresses().isEmpty()) {
                error = "cannot find the address of \"" + host + "\": " + info.errorString().toStdString();
                return false;
            }
            address = info.addresses().front();
        }
        if (!m_server.listen(address, static_cast<quint16>(port))) {
            error = m_server.serverError() == QAbstractSocket::AddressInUseError
                        ? "address already in use (another program, or another instance, serves this port)"
                        : m_server.errorString().toStdString();
            return false;
        }
        bound = m_server.serverPort();
        m_sweep.start(kSweep);
        return true;
    }

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        QHostAddress peer;
        QElapsedTimer since; // connected, or answered
        QByteArray request;
        bool answered = false;
    };

    void Accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            const QHostAddress peer = socket->peerAddress();
            MakeRoom(peer);
            Client client{socket, peer, {}, {}, false};
            client.since.start();
            m_clients.push_back(std::move(client));
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Drop(socket); });
        }
    }

    // A new client past a cap takes the place of the oldest that has not
    // sent its request yet (of the same peer first).
    void MakeRoom(const QHostAddress &peer)
    {
        const auto waiting = [](const Client &c) { return !c.answered; };
        const auto ofPeer = [&](const Client &c) { return c.peer == peer; };
        if (std::count_if(m_clients.begin(), m_clients.end(), ofPeer) >= kConnectionsPerPeer) {
            const auto oldest = std::find_if(m_clients.begin(), m_clients.end(),
                                             [&](const Client &c) { return ofPeer(c) && waiting(c); });
            if (oldest != m_clients.end())
                Close(oldest->socket);
        }
        if (static_cast<int>(m_clients.size()) >= kConnections) {
            const auto oldest = std::find_if(m_clients.begin(), m_clients.end(), waiting);
            Close(oldest != m_clients.end() ? oldest->socket : m_clients.front().socket);
        }
    }

    Client *Find(QTcpSocket *socket)
    {
        const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                     [socket](const Client &c) { return c.socket == socket; });
        return it == m_clients.end() ? nullptr : &*it;
    }

    void Read(QTcpSocket *socket)
    {
        Client *client = Find(socket);
        if (!client || client->answered) {
            socket->readAll();
            return;
        }
        client->request += socket->readAll();
        const qsizetype end = client->request.indexOf("\r\n\r\n");
        const qsizetype bareEnd = client->request.indexOf("\n\n");
        QByteArray reply;
        if (end >= 0 || bareEnd >= 0)
            reply = Reply(client->request, m_body);
        else if (client->request.size() > kMaxRequestBytes)
            reply = Error("431 Request Header Fields Too Large");
        else
            return;
        client->answered = true;
        client->request.clear();
        client->since.restart();
        socket->write(reply);
        socket->disconnectFromHost(); // once the reply is out
    }

    void Sweep()
    {
        for (const Client &client : std::vector<Client>(m_clients))
            if (client.since.hasExpired(kRequestTimeout.count()))
                Close(client.socket);
    }

    void Close(QTcpSocket *socket)
    {
        Drop(socket);
        if (socket) {
            socket->abort();
            socket->deleteLater();
        }
    }

    void Drop(QTcpSocket *socket)
    {
        const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                     [socket](const Client &c) { return c.socket == socket; });
        if (it == m_clients.end())
            return;
        m_clients.erase(it);
        if (socket)
            socket->deleteLater();
    }

    std::function<std::string()> m_body;
    QTcpServer m_server{this};
    QTimer m_sweep{this};
    std::vector<Client> m_clients; // oldest first
};

MetricsServer::MetricsServer(std::function<std::string()> body)
    : m_thread(new QThread)
    , m_worker(new Worker(std::move(body)))
{
    m_thread->setObjectName(QStringLiteral("metrics"));
    m_worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

MetricsServer::~MetricsServer()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

bool MetricsServer::Listen(const std::string &host, int port, std::string &error)
{
    bool ok = false;
    int bound = 0;
    QMetaObject::invokeMethod(
        m_worker, [&] { ok = m_worker->Listen(host, port, error, bound); }, Qt::BlockingQueuedConnection);
    m_port = ok ? bound : 0;
    return ok;
}
