#include "singleapplication.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        // A later instance writes its message and closes at once. Room is made for each new
        // connection by dropping the oldest, so a flood never keeps a later start out.
        while (m_connections.size() >= MaxConnections)
            _evictOldest();
        m_connections.append(socket);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() {
            if (socket->readAll() == kActivate)
                emit sigActive();
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket]() {
            m_connections.removeOne(socket);
            socket->close();
            socket->deleteLater();
        });
        // A connection still open after the hold time is dropped, whatever it sent.
        QTimer::singleShot(ConnectionHoldMs, socket, [this, socket]() { _drop(socket); });
    }
}

void SingleApplication::_evictOldest()
{
    QTcpSocket* socket = m_connections.first();
    // What it has sent and not yet been read counts as a message before it goes.
    if (socket->bytesAvailable() > 0 || socket->waitForReadyRead(0)) {
        if (socket->readAll() == kActivate)
            emit sigActive();
    }
    _drop(socket);
}

void SingleApplication::_drop(QTcpSocket* socket)
{
    m_connections.removeOne(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}
