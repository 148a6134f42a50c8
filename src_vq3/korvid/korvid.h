#pragma once
// The service object: listens on the command link, serves one client at a time, answers its
// commands through the UVC layer and tells it about USB changes.

#include "uvclink.h"

#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

class Korvid : public QObject
{
    Q_OBJECT
public:
    static Korvid* getInstance();
    static void releaseInstance();

    QString _getHostIp();
    // The port listening succeeded on (11080 unless taken).
    int port() const { return m_port; }

private slots:
    void slotTcpNewConnection();
    void slotFunctionReadyRead();
    void slotFunctionDisconnected();
    void slotCheckDevice();

private:
    Korvid();
    ~Korvid() override;

    void _createTcpServer();
    void _ioctlCommand(QString text);
    void _tcpWrite(QString& text);

    void _startMonitor();
    void _stopMonitor();
    void _releaseUvc();
    void _detachClient();
    // Writes nothing more and ends the event loop with code.
    void _finish(int code);

    void _searchOrOpen(bool search);
    void _close();
    // Gives the cameras up, waits 2 s for them to settle, sends the reply and ends with code.
    void _releaseAndEnd(QString reply, int code);
    void _startPlay(const UvcLinkMessage& msg);
    void _stopPlay(const UvcLinkMessage& msg);
    void _getControl(const UvcLinkMessage& msg);
    void _setControl(const UvcLinkMessage& msg);

    static Korvid* ms_Korvid;

    QTcpServer* m_server = nullptr;
    QString m_host;
    int m_port = 0;
    QTcpSocket* m_client = nullptr;
    UvcLinkReader m_reader;   // receive buffer of the current client
    bool m_finishing = false;
    bool m_reading = false;   // slotFunctionReadyRead runs (a reply's wait may re-enter it)
};
