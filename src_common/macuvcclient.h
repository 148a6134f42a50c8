#pragma once
// Client of the UVC control service Korvid: the command link (requests and replies, one at a
// time), the work modes with the main camera streamed into MainFrameBlock, and the father
// link to Korvid's launcher.
//
// Threads: the client lives in one thread (its sockets, slots and timers run there). Every
// request may be called from any thread; it hands its write to the client's thread and waits
// until the reply wakes it (at most the wait limit, 10 s), processing the calling thread's own
// events meanwhile. getVideoFrameFromMainCamera may be called from any thread.
//
// The request wait, which every blocking method below names: called on the client's own thread
// it runs a nested event loop there (the reply is read by it) until the reply or the limit;
// called on any other thread it sleeps on a condition that the reply wakes, and every 200 ms
// processes that thread's pending events. Either way timers, queued slots and other requests of
// the calling thread can run meanwhile (a request started so gets MUCR_OCCUPATION). A foreign
// caller's reply still needs the client's thread to run its event loop. None of these is meant
// for the GUI thread.

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
    // Destroys the client. From another thread than the client's it waits until the client's
    // thread has run the deletion (a blocking queued call): as long as that thread's current
    // event takes, up to a request wait running there.
    static void releaseInstance();

    explicit MacUvcClient(QObject* parent = nullptr);
    ~MacUvcClient() override;

    // Requests; 0 or a MUCR_* code. Any thread. Each blocks in the request wait: first up to the
    // wait limit (10 s) for the command link when it is down, then up to the wait limit for the
    // reply, so at most 20 s.
    int searchDevice(QString& mainIds, QString& secondIds);
    int openDevice();
    int closeDevice();

    // The image controls (generated from MAC_UVC_VALUE_CONTROLS and MAC_UVC_MODE_CONTROLS):
    // 0 or a MUCR_* code. Any thread. Each blocks in the request wait for its reply, at most the
    // wait limit (10 s); with the link down they return MUCR_CONNECT_SERVER_FAILD at once.
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
    // Any thread but the GUI thread (thread-pool tasks): blocks in openDevice's or closeDevice's
    // request wait, at most 20 s.
    int switchWorkMode(int mode);
    int getWorkMode();

    // Camera 0 goes to the service in work mode 1 or when viaService is set; any other camera
    // is always played by the in-application capture. Any thread. The service path blocks in the
    // request wait for the reply, at most the wait limit (10 s); the in-application path does
    // not wait.
    int startPlayCamera(int idx, int width, int height, int fps, bool viaService);
    int stopPlayCamera(int idx);

    // The newest unread frame of the block (malloc'ed bytes, record made with new; the caller
    // frees both), or null. Any thread (the main camera's video-input thread). Blocks only on the
    // frame semaphore, never longer than Korvid's writer holds it (one frame copy); runs no
    // event loop.
    PaxUvcControl::_VideoFrame* getVideoFrameFromMainCamera();

    // True while the client must not be destroyed yet (a switch or a request runs). When no
    // switch runs it first closes the client: every later request returns MUCR_CLOSED.
    // Any thread (the GUI thread's quit path); does not block.
    bool isRelease();

    // Ends the client's work for an ending program: closes it like isRelease (every later request
    // returns MUCR_CLOSED) and wakes every request wait at once, on any thread; a request that was
    // waiting returns MUCR_CLOSED. Any thread; does not block.
    void interrupt();
    // interrupt() on the client when there is one.
    static void interruptInstance();
    bool isInterrupted() const { return m_interrupted.load(); }
    // Whether the command link is up, and whether a connection attempt to the service failed
    // since it was last up (the service does not answer). Any thread.
    bool isLinkUp() const { return m_linkState.load() == 1; }
    bool serviceRefused() const { return m_linkFailed.load(); }

    // Father link. setServerLogDir retries every 1000 ms until the link is up; any thread, does
    // not block.
    void setServerLogDir(QString dir);
    // Asks the launcher to start Korvid again and waits for the command link to drop and come
    // back: two request waits of at most 3 s each, so at most 6 s. Any thread but the GUI thread
    // (the SDK worker thread's discovery calls it).
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
    std::atomic<bool> m_linkFailed{false};
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
    std::atomic<bool> m_interrupted{false};   // interrupt(): waits end at once
    int m_switching = 0;

    std::atomic<int> m_waitLimitMs{10000};
    QTimer* m_retryTimer = nullptr;
    QTimer* m_retryTimerFather = nullptr;
};
