#pragma once
// A TCP port on loopback that was free a moment ago, for a server a test
// starts (the test links Qt6::Network).

#include <QHostAddress>
#include <QTcpServer>

inline quint16 FreeLoopbackPort()
{
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}
