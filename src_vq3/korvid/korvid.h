#pragma once
// The service object: listens on the command link, serves one client at a time, answers its
// commands through the UVC layer and tells it about USB changes.
//
// Threads: everything runs on the main thread, one command after the other. Two waits block
// that thread and its event loop: each reply waits up to 30 s for its bytes to be written
// (_tcpWrite), and the search and close commands sleep 2 s for the cameras to settle before
// their reply (_releaseAndEnd). Meanwhile no other command, connection or device notice is
// served.

#include "uvclink.h"

#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

class Korvid : public QObject
{
    Q_OBJECT
public:
    // Main thread only; neither blocks.
    static Korvid* getInstance();
    static void releaseInstance();

    QString _getHostIp();
    // The port listening succeeded on (11080 unless taken).
    int port() const { return m_port; }

private slots:
    void slotTcpNewConnection();
    // Serves the commands read; blocks the main thread in each reply's write (at most 30 s) and,
    // for search and close, 2 s more before the reply (see the class comment).
    void slotFunctionReadyRead();
    void slotFunctionDisconnected();
    void slotCheckDevice();

private:
    Korvid();
    ~Korvid() override;

    void _createTcpServer();
    void _ioctlCommand(QString text);
    // Writes one reply and blocks the main thread until it is written, at most 30 s.
    void _tcpWrite(QString& text);

    void _startMonitor();
    void _stopMonitor();
    void _releaseUvc();
    void _detachClient();
    // Writes nothing more and ends the event loop with code.
    void _finish(int code);

    void _searchOrOpen(bool search);
    void _close();
    // Gives the cameras up, sleeps 2 s on the main thread for them to settle (the event loop
    // stops meanwhile), sends the reply (up to 30 s more, see _tcpWrite) and ends with code.
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
