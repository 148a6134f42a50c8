#pragma once
// The application object that keeps one instance per machine: the first instance listens
// on 127.0.0.1:11050; a later start sends "activate" there and reports isRunning().

#include <QApplication>

class QTcpServer;

class SingleApplication : public QApplication
{
    Q_OBJECT
public:
    static constexpr quint16 SingleInstancePort = 11050;

    SingleApplication(int& argc, char** argv);

    bool isRunning();

signals:
    // First instance: a later start asked to be shown instead.
    void sigActive();

public slots:
    void newLocalConnection();

private:
    QTcpServer* m_server = nullptr;
    bool m_isRunning = false;
};
