#pragma once
// One wireless camera found by a discovery: its identity, the text command link on TCP 8888 and the
// thread that decodes its RTSP stream.
#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <atomic>

class QTcpSocket;
class QTimer;

struct WirelessDeviceInfo {
    int mode = 1;              // 0: the camera is its own access point (192.168.100.1); 1: a station
    QString sid;
    QString wifiName;
    QString ip;
    QString deviceName;
    quint16 udpPort = 0;
    quint16 tcpPort = 8888;
    int channel = 7;           // _ChannelE; 7 until the camera names a known channel
};

// Protocol texts, used by both ends (the application and the test camera's tests).
namespace WirelessProtocol {
constexpr quint16 DiscoveryLocalPort = 18888;
constexpr quint16 DiscoveryCameraPort = 18889;
constexpr quint16 CommandPort = 8888;
constexpr quint16 RtspPort = 554;
constexpr const char* Discover = "CMD_DISCOVER";
constexpr const char* ReplyHead = "CMD_";
constexpr const char* GetFrameList = "CMD_GET_BACK_FRAME_LIST";
constexpr const char* GetChannel = "CMD_GETWIFICHANNEL";
constexpr const char* FrameListReply = "CMD_ACK_BACK_FRAMELIST";
constexpr const char* ChannelReply = "CMD_GETWIFICHANNEL";
constexpr const char* SetFrame = "CMD_SET_BACK_FRAME ";
constexpr const char* ApPassword = "CMD_SETWIFI WIFINAME:PASSWD:58203741";
constexpr const char* ApChannel = "CMD_SETWIFICHANNEL ";
constexpr const char* Station = "CMD_APPEARSSID";
constexpr const char* OwnApAddress = "192.168.100.1";
// Parses a discovery reply's WIFINAME/SID/DEVNAME fields into info.
void parseDiscoveryReply(const QString& reply, WirelessDeviceInfo& info);
// 0 for the address a camera has as its own access point, else 1.
int modeForAddress(const QString& ip);
// The RTSP port: ORVANE_WIRELESS_RTSP_PORT when set to a valid port, else 554.
quint16 rtspPort();
// Largest frame taken from a camera: 16384 a side, 8192 x 4096 pixels in all.
constexpr int MaxFrameSide = 16384;
constexpr qint64 MaxFramePixels = qint64(8192) * 4096;
// True for a size within those bounds (both sides positive).
bool frameSizeAcceptable(qint64 width, qint64 height);
enum class FrameSizeRead { Size, NotASize, TooLarge };
// Reads a list item "W*H" or "WxH": two decimal numbers, blanks around each allowed. Size when both
// lie within the bounds (then width and height are set), TooLarge for numbers past them (also past
// 64 bits), NotASize for anything else, a side of 0 included.
FrameSizeRead readFrameSize(const QString& item, int& width, int& height);
// Index of the first character after the first whole reply that begins text (which begins with
// "CMD_"), or -1 while the reply may still go on. Replies carry no terminator: one ends where the
// next "CMD_" begins, or where its own shape is whole (a channel number that can't grow into a
// channel of the table; a size list ending in ",").
int replyEnd(const QString& text);
}

class WirelessDevice : public QThread {
    Q_OBJECT
public:
    enum _ChannelE { CH_40 = 0, CH_44, CH_48, CH_153, CH_157, CH_161, CH_165, CH_NONE };
    enum _ShowModeE { SHOW_MAIN_VIEW = 0, SHOW_TILE = 1 };
    // The command link: connecting, connected at least once, or given up without ever connecting.
    enum LinkState { LinkConnecting = 0, LinkAnswered = 1, LinkFailed = 2 };

    // Opens the command link without blocking: the frame size list and the channel are asked for once
    // the connection stands; "tcp connect failed" is logged when it does not within 4000 ms.
    WirelessDevice(QString reply, QString ip, quint16 port, QObject* parent = nullptr);
    // Stops the decoding thread (the stop flag also interrupts a blocking open or read).
    ~WirelessDevice() override;

    QString getIp() const;
    WirelessDeviceInfo getDeviceInfo() const;
    QStringList getCameraSolutionList() const;
    QString getCameraCurSolution() const;
    // Chooses the list entry numbered index and tells the camera. GUI thread; blocks it 100 ms.
    void switchCameraSolution(int index);
    void searchDeviceInfo();
    void setAp(QString wifiName, _ChannelE channel);
    void setStation(QString name, QString password);
    void changeShowMode(_ShowModeE mode);
    _ShowModeE showMode() const { return m_showMode; }
    LinkState linkState() const { return m_linkState; }
    QString _getChannelStr(_ChannelE channel) const;
    QObject* getGraphicsView() const { return m_view; }
    // Starts (or restarts) the decoding thread. GUI thread; waits for a running loop to end.
    void myPlay();
    // Stops the decoding thread; returns once its loop has ended (the interrupt makes that prompt).
    void myStop();

signals:
    void sigGetOneFrame(const QImage& image);
    void sigGetOneFrameInside(const QImage& image);
    // The command link answered or failed (linkState() tells which); emitted once.
    void sigLinkSettled();

protected:
    void run() override;

private slots:
    void slotTcpRead();

private:
    void _onConnected();
    bool _write(const QByteArray& command);
    void _parseBuffered(bool takeRest);
    void _handleReply(const QString& reply);
    void _stopThread();
    // Decoding thread: hands a frame to the GUI thread; at most one waits there at a time.
    void _offerFrame(const QImage& image);
    Q_INVOKABLE void _deliverFrame();
    static int _interrupt(void* opaque);
    void _armWatchdog(qint64 ms);

    QObject* m_view = nullptr;
    _ShowModeE m_showMode = SHOW_MAIN_VIEW;
    WirelessDeviceInfo m_info;
    QTcpSocket* m_socket = nullptr;
    QTimer* m_connectTimer = nullptr;
    bool m_connectPending = false;
    LinkState m_linkState = LinkConnecting;
    bool m_channelSent = false;       // the first channel request went out
    QByteArray m_heldSetCommand;      // a size chosen before that, sent right after it
    QString m_rxText;           // received text not yet taken as whole replies
    QStringList m_solutionList;
    std::atomic<int> m_width{-1};     // chosen size, read by the decoding thread
    std::atomic<int> m_height{-1};
    std::atomic<int> m_stop{1};
    std::atomic<qint64> m_deadline{0};   // epoch ms after which a network wait gives up
    std::atomic<int> m_closing{0};       // the stream is being closed: a stop no longer interrupts

    QMutex m_frameMutex;
    QImage m_pendingFrame;      // latest decoded frame not yet delivered
    bool m_framePending = false;
};
