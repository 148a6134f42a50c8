#include "singleapplication.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace {
const char kHost[] = "127.0.0.1";
const QByteArray kActivate = QByteArrayLiteral("activate");
constexpr int kSecondStartWaitMs = 30000;
}

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    m_server = new QTcpServer(this);
    m_isRunning = false;
    if (m_server->listen(QHostAddress(QString::fromLatin1(kHost)), SingleInstancePort)) {
        connect(m_server, &QTcpServer::newConnection, this, &SingleApplication::newLocalConnection);
        return;
    }

    // The port is taken: another instance runs. Ask it to come forward.
    m_isRunning = true;
    QTcpSocket* socket = new QTcpSocket(this);
    connect(socket, &QTcpSocket::connected, socket, [socket]() {
        socket->write(kActivate);
        socket->flush();
        socket->disconnectFromHost();
    });
    socket->connectToHost(QString::fromLatin1(kHost), SingleInstancePort, QIODevice::ReadWrite);
    socket->waitForDisconnected(kSecondStartWaitMs);
    socket->deleteLater();
}

bool SingleApplication::isRunning()
{
    return m_isRunning;
}

void SingleApplication::newLocalConnection()
{
    QTcpSocket* socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    connect(socket, &QTcpSocket::readyRead, this, [this, socket]() {
        if (socket->readAll() == kActivate)
            emit sigActive();
    });
    connect(socket, &QTcpSocket::disconnected, socket, [socket]() {
        socket->close();
        socket->deleteLater();
    });
}
