#pragma once
// Client of the UVC control service Korvid: the command link (requests and replies, one at a
// time), the work modes with the main camera streamed into MainFrameBlock, and the father
// link to Korvid's launcher.
//
// Threads: the client lives in one thread (its sockets, slots and timers run there). Every
// request may be called from any thread; it hands its write to the client's thread and waits
// until the reply wakes it (at most the wait limit, 10 s), processing the calling thread's own
// events meanwhile. getVideoFrameFromMainCamera may be called from any thread.

#include "paxuvccontrol.h"
#include "uvclink.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class MainFrameBlock;
class QTcpSocket;
class QTimer;

// The image controls of the request family: X(Name, UvcControlType). Value controls read
// max, min, def, cur into a _CameraInfo; mode controls read the automatic flag into a bool.
#define MAC_UVC_VALUE_CONTROLS(X) UVC_LINK_VALUE_CONTROLS(X)
#define MAC_UVC_MODE_CONTROLS(X) UVC_LINK_MODE_CONTROLS(X)

class MacUvcClient : public QObject
{
    Q_OBJECT

public:
    static MacUvcClient* getInstance();
    static void releaseInstance();

    explicit MacUvcClient(QObject* parent = nullptr);
    ~MacUvcClient() override;

    // Requests; 0 or a MUCR_* code. Any thread.
    int searchDevice(QString& mainIds, QString& secondIds);
    int openDevice();
    int closeDevice();

#define MAC_UVC_DECLARE_VALUE(Name, Type) \
    int get##Name##Info(int idx, PaxUvcControl::_CameraInfo* info); \
    int set##Name(int idx, int value);
#define MAC_UVC_DECLARE_MODE(Name, Type) \
    int get##Name##Info(int idx, bool* automatic); \
    int set##Name(int idx, bool automatic);
    MAC_UVC_VALUE_CONTROLS(MAC_UVC_DECLARE_VALUE)
    MAC_UVC_MODE_CONTROLS(MAC_UVC_DECLARE_MODE)
#undef MAC_UVC_DECLARE_VALUE
#undef MAC_UVC_DECLARE_MODE

    void setCameraName(int idx, QString name);
    QString _getHostIp();

    // Work mode 0: frames from the in-application capture; 1: Korvid streams the main camera
    // into MainFrameBlock. Returns 0, -95, -100 (block or service unreachable) or openDevice's code.
    int switchWorkMode(int mode);
    int getWorkMode();

    // Camera 0 goes to the service in work mode 1 or when viaService is set; any other camera
    // is always played by the in-application capture.
    int startPlayCamera(int idx, int width, int height, int fps, bool viaService);
    int stopPlayCamera(int idx);

    // The newest unread frame of the block (malloc'ed bytes, record made with new; the caller
    // frees both), or null. Never blocks longer than the writer holds the semaphore.
    PaxUvcControl::_VideoFrame* getVideoFrameFromMainCamera();

    // True while the client must not be destroyed yet (a switch or a request runs). When no
    // switch runs it first closes the client: every later request returns MUCR_CLOSED.
    bool isRelease();

    // Father link. setServerLogDir retries every 1000 ms until the link is up.
    void setServerLogDir(QString dir);
    void resetServer();

    // Longest wait of a request for its reply, and of search/open/close for the link
    // (default 10000 ms). Tests shorten it.
    void setWaitLimit(int ms) { m_waitLimitMs.store(ms); }
    int waitLimit() const { return m_waitLimitMs.load(); }
    // Folder whose ftok keys MainFrameBlock (default: the application's folder). Takes effect
    // at the next attach.
    void setFrameBlockKeyPath(const QString& path);

signals:
    void sigOutdeviceInOut();

public slots:
    void slotTcpConnected();
    void slotTcpDisconnected();
    void slotTcpRead();
    void slotTcpConnectedFather();
    void slotTcpDisconnectedFather();

private:
    enum class Preset { None, Search, Indexed };
    struct Reply
    {
        QString mainIds;
        QString secondIds;
        int index = -1;
        int type = -1;
        int result = MUCR_CONNECT_SERVER_FAILD;
        int max = 0, min = 0, def = 0, cur = 0;
        bool mode = false;
    };
    // The in-application preview of a camera: its capture name, the size and rate last asked.
    struct Preview
    {
        QString name;
        QSize size{-1, -1};
        int fps = -1;
    };
    // Stores the size and rate of camera idx's preview and returns the preview.
    Preview _setPreview(int idx, int width, int height, int fps);
    // The request waiting for its reply; filled by the interpreter.
    struct Pending
    {
        Reply reply;
        bool done = false;
    };

    void _ioctlFeedback(QString text);
    void _tcpWrite(QString& text);
    void _tcpWriteFather(QString& text);

    // The request protocol: closed, link, busy checks, preset, send, wait. Returns 0 with
    // `reply` holding the interpreted reply, or a negative code (already logged).
    int _request(const char* op, const QString& command, bool waitForLink, Preset preset, Reply* reply);
    // Checks of a request that carries a camera index (and a control type when type >= 0).
    int _checkIndexed(const char* op, const Reply& reply, int idx, int type);
    int _getValue(const char* op, int idx, int type, PaxUvcControl::_CameraInfo* info);
    int _getMode(const char* op, int idx, int type, bool* automatic);
    int _set(const char* op, int idx, int type, int value);
    int _fail(const char* op, int code);

    // Waits until pred holds or ms pass, processing the calling thread's events meanwhile.
    bool _waitFor(const std::function<bool()>& pred, int ms);
    void _wake();
    // Runs fn on the client's thread (at once when already there).
    void _inOwnThread(std::function<void()> fn);
    void _connectCommand(const char* function);
    void _connectFather(const char* function);
    void _setServerLogDirHere(const QString& dir);

    bool _attachBlock();

    QTcpSocket* m_fatherSocket = nullptr;
    QString m_fatherHost = QString::fromLatin1(UvcLinkHost);
    quint16 m_fatherPort = FatherPort;
    std::atomic<int> m_fatherState{0};

    QTcpSocket* m_socket = nullptr;
    QString m_host = QString::fromLatin1(UvcLinkHost);
    quint16 m_port = UvcServicePort;
    std::atomic<int> m_linkState{0};
    UvcLinkReader m_reader;

    std::atomic<bool> m_idle{true};
    std::atomic<int> m_workMode{0};

    QMutex m_nameMutex;   // the previews
    Preview m_previews[2];   // main camera, then any other

    QMutex m_blockMutex;   // the attachment and its key path
    std::unique_ptr<MainFrameBlock> m_block;
    QString m_blockKeyPath;
    qint64 m_lastAttachTry = -1;
    bool m_frameFailLogged = false;

    std::mutex m_replyMutex;   // reply fields and the wake of a waiting request
    std::condition_variable m_replyCond;
    Reply m_reply;
    Pending* m_pending = nullptr;
    bool m_dropLink = false;   // client thread only

    QMutex m_stateMutex;   // closed flag against running switches
    std::atomic<bool> m_closed{false};
    int m_switching = 0;

    std::atomic<int> m_waitLimitMs{10000};
    QTimer* m_retryTimer = nullptr;
    QTimer* m_retryTimerFather = nullptr;
};
