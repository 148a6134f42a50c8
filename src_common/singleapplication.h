#pragma once
// The application object that keeps one instance per machine: the first instance listens
// on 127.0.0.1:11050; a later start sends "activate" there and reports isRunning().

#include <QApplication>
#include <QList>

class QTcpServer;
class QTcpSocket;

class SingleApplication : public QApplication
{
    Q_OBJECT
public:
    static constexpr quint16 SingleInstancePort = 11050;
    // Connections from later starts: at most this many are open at once (the oldest goes to make
    // room for a new one), and each is dropped this long after it came, whatever it sent.
    static constexpr int MaxConnections = 32;
    static constexpr int ConnectionHoldMs = 5000;

    SingleApplication(int& argc, char** argv);

    bool isRunning();

signals:
    // First instance: a later start asked to be shown instead.
    void sigActive();

public slots:
    void newLocalConnection();

private:
    void _evictOldest();
    void _drop(QTcpSocket* socket);

    QTcpServer* m_server = nullptr;
    QList<QTcpSocket*> m_connections;   // open, oldest first
    bool m_isRunning = false;
};
