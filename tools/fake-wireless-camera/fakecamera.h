#pragma once
// A scripted wireless camera bound to one (loopback) address.
#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSize>
#include <QString>

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

struct FakeCameraOptions {
    QHostAddress address;
    quint16 discoveryPort = 18889;
    quint16 commandPort = 8888;
    quint16 rtspPort = 554;
    QString wifiName = "FakeCam";
    QString sid = "0001";
    QString deviceName = "Fake Wireless Camera";
    QString product = "FWC";
    QString sizes = "1920*1080,1280*720,";    // value of the frame size list reply
    int channel = 44;
    QSize forcedStreamSize;                    // stream at this size whatever was set
    bool splitReplies = false;                 // every reply in two writes 15 ms apart
    bool combineListAndChannel = false;        // the list reply carries the channel reply in the same write
    bool answerList = true;
    QString streamFile;                        // stream this H.264 file (Annex B) instead of a test pattern
    bool moving = false;                       // the pattern scrolls, so every frame differs
    QString byteLogPath;                       // every byte received on the command port, appended
};

class FakeCamera : public QObject {
    Q_OBJECT
public:
    explicit FakeCamera(const FakeCameraOptions& options, QObject* parent = nullptr);
    ~FakeCamera() override;
    // Binds the three ports; false (and a reason on stderr) when one can't be bound.
    bool start();

private:
    static constexpr int CommandQuietMs = 30;
    void _onDatagram(QUdpSocket* socket);
    void _onConnection();
    void _onCommandBytes(QTcpSocket* socket);
    void _takeCommands(QTcpSocket* socket, bool quiet);
    void _handleCommand(QTcpSocket* socket, const QByteArray& command);
    void _reply(QTcpSocket* socket, const QByteArray& text);
    void _setStreamSize(const QSize& size);
    bool _startRtsp();

    FakeCameraOptions m_options;
    QUdpSocket* m_udp = nullptr;       // bound to the camera's address
    QUdpSocket* m_udpAny = nullptr;    // bound to every address: broadcasts
    QHash<QTcpSocket*, QByteArray> m_pending;    // received command text not yet taken
    QTcpServer* m_tcp = nullptr;
    QFile m_byteLog;
    QSize m_streamSize{1920, 1080};
    void* m_rtspServer = nullptr;    // GstRTSPServer*
    void* m_factory = nullptr;       // GstRTSPMediaFactory*
    unsigned m_rtspSource = 0;
};
