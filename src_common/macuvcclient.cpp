#include "macuvcclient.h"

#include "mainframeblock.h"
#include "maccamera.h"
#include "paxintool.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMutexLocker>
#include <QSize>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdlib>

namespace {

QBasicMutex g_instanceMutex;
MacUvcClient* g_instance = nullptr;

// Error line of an operation: the function field is the operation's name.
#define MUC_LOG_ERROR_AT(function, ...) pax_log_line(true, __FILE__, function, __LINE__, __VA_ARGS__)
#define MUC_LOG_DEBUG_AT(function, ...) pax_log_line(false, __FILE__, function, __LINE__, __VA_ARGS__)

constexpr int kPollStepMs = 200;          // longest sleep between event processing of a foreign caller
constexpr int kResetWaitMs = 15 * 200;    // each of resetServer's two waits
constexpr int kRetryMs = 1000;            // reconnection and log-folder retry
constexpr qint64 kAttachRetryMs = 1000;   // frame poll re-attaching a lost block

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

// Writes one frame of text on a connected link; `writer` heads its log lines.
void writeFrame(QTcpSocket* socket, const char* writer, const QString& text)
{
    const QByteArray frame = UvcLinkFrame::encode(text);
    qDebug().noquote() << writer << "command len:" << (frame.size() - UvcLinkFrame::HeaderSize);
    qDebug().noquote() << writer << "command content:" << text.left(200);
    socket->write(frame);
    socket->flush();
}

} // namespace

// ---- singleton -------------------------------------------------------------------------------

MacUvcClient* MacUvcClient::getInstance()
{
    QMutexLocker lock(&g_instanceMutex);
    if (!g_instance)
        g_instance = new MacUvcClient(nullptr);
    return g_instance;
}

void MacUvcClient::releaseInstance()
{
    MacUvcClient* client = nullptr;
    {
        QMutexLocker lock(&g_instanceMutex);
        client = g_instance;
        g_instance = nullptr;
    }
    if (!client)
        return;
    QThread* home = client->thread();
    if (home && home != QThread::currentThread() && home->isRunning())
        QMetaObject::invokeMethod(client, [client] { delete client; }, Qt::BlockingQueuedConnection);
    else
        delete client;
}

// ---- construction ----------------------------------------------------------------------------

MacUvcClient::MacUvcClient(QObject* parent)
    : QObject(parent)
{
    m_reader.clear();

    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    m_retryTimer->setInterval(kRetryMs);
    connect(m_retryTimer, &QTimer::timeout, this, [this] { _connectCommand("operator()"); });

    m_retryTimerFather = new QTimer(this);
    m_retryTimerFather->setSingleShot(true);
    m_retryTimerFather->setInterval(kRetryMs);
    connect(m_retryTimerFather, &QTimer::timeout, this, [this] { _connectFather("operator()"); });

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &MacUvcClient::slotTcpConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &MacUvcClient::slotTcpDisconnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &MacUvcClient::slotTcpRead);
    // A refused or failed connection emits no disconnected(): retry on errors as well.
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_linkState.load() != 1)
            m_linkFailed.store(true);
        if (!m_retryTimer->isActive())
            m_retryTimer->start();
    });
    _connectCommand("MacUvcClient");

    m_fatherSocket = new QTcpSocket(this);
    connect(m_fatherSocket, &QTcpSocket::connected, this, &MacUvcClient::slotTcpConnectedFather);
    connect(m_fatherSocket, &QTcpSocket::disconnected, this, &MacUvcClient::slotTcpDisconnectedFather);
    connect(m_fatherSocket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (!m_retryTimerFather->isActive())
            m_retryTimerFather->start();
    });
    // Nothing is expected on the father link; whatever comes is discarded.
    connect(m_fatherSocket, &QTcpSocket::readyRead, this, [this] { m_fatherSocket->readAll(); });
    _connectFather("MacUvcClient");
}

MacUvcClient::~MacUvcClient()
{
    m_retryTimer->stop();
    m_retryTimerFather->stop();
    for (QTcpSocket* s : {m_socket, m_fatherSocket}) {
        disconnect(s, nullptr, this, nullptr);
        s->abort();
        delete s;
    }
    m_socket = nullptr;
    m_fatherSocket = nullptr;

    QMutexLocker lock(&m_blockMutex);
    if (m_block && m_block->isAttached())
        m_block->removeObjects();
    m_block.reset();
}

// Every attempt is logged; a socket that is already connecting or connected is left as it is.
void MacUvcClient::_connectCommand(const char* function)
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    MUC_LOG_DEBUG_AT(function, "start connect korvid ...");
}

void MacUvcClient::_connectFather(const char* function)
{
    if (m_fatherSocket->state() == QAbstractSocket::UnconnectedState)
        m_fatherSocket->connectToHost(m_fatherHost, m_fatherPort, QIODevice::ReadWrite,
                                      QAbstractSocket::AnyIPProtocol);
    MUC_LOG_DEBUG_AT(function, "start connect korvidFather ...");
}

void MacUvcClient::_inOwnThread(std::function<void()> fn)
{
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

QString MacUvcClient::_getHostIp()
{
    return QStringLiteral("127.0.0.1");
}

void MacUvcClient::setCameraName(int idx, QString name)
{
    QMutexLocker lock(&m_nameMutex);
    m_previews[idx != 0 ? 1 : 0].name = name;
}

MacUvcClient::Preview MacUvcClient::_setPreview(int idx, int width, int height, int fps)
{
    QMutexLocker lock(&m_nameMutex);
    Preview& p = m_previews[idx != 0 ? 1 : 0];
    p.size = QSize(width, height);
    p.fps = fps;
    return p;
}

void MacUvcClient::setFrameBlockKeyPath(const QString& path)
{
    QMutexLocker lock(&m_blockMutex);
    m_blockKeyPath = path;
}

// ---- link states -----------------------------------------------------------------------------

void MacUvcClient::slotTcpConnected()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_linkState.store(1);
    m_linkFailed.store(false);
    qDebug() << "connected to korvid";
    _wake();
}

void MacUvcClient::slotTcpDisconnected()
{
    m_linkState.store(0);
    m_reader.clear();
    qDebug() << "connect to korvid failed";
    if (!m_retryTimer->isActive())
        m_retryTimer->start();
    _wake();
}

void MacUvcClient::slotTcpConnectedFather()
{
    m_fatherState.store(1);
    qDebug() << "connected to korvidFather";
}

void MacUvcClient::slotTcpDisconnectedFather()
{
    m_fatherState.store(0);
    qDebug() << "connect to korvidFather failed";
    if (!m_retryTimerFather->isActive())
        m_retryTimerFather->start();
}

// ---- writing and reading ---------------------------------------------------------------------

void MacUvcClient::_tcpWrite(QString& text)
{
    if (m_linkState.load() == 1)
        writeFrame(m_socket, "MacUvcClient::_tcpWrite", text);
}

void MacUvcClient::_tcpWriteFather(QString& text)
{
    if (m_fatherState.load() == 1)
        writeFrame(m_fatherSocket, "MacUvcClient::_tcpWriteFather", text);
}

void MacUvcClient::slotTcpRead()
{
    if (m_linkState.load() != 1)
        return;
    m_dropLink = false;
    const QList<QByteArray> payloads = m_reader.feed(m_socket->readAll());
    for (const QByteArray& payload : payloads) {
        if (UvcLinkFrame::isLogged(payload)) {
            const QByteArray shown = UvcLinkFrame::logPart(payload);
            if (payload.size() >= UvcLinkFrame::LongPayload)
                MUC_LOG_DEBUG_AT("slotTcpRead", "korvid to vq3 feedback head:%s, len:%d", shown.constData(),
                                 int(payload.size()));
            else
                MUC_LOG_DEBUG_AT("slotTcpRead", "korvid to vq3 feedback:%s, len:%d", shown.constData(),
                                 int(payload.size()));
        }
        _ioctlFeedback(UvcLinkFrame::payloadText(payload));
    }
    if (m_dropLink) {
        m_dropLink = false;
        m_socket->abort();   // emits disconnected(): the reconnection is armed
    }
}

void MacUvcClient::_ioctlFeedback(QString text)
{
    const UvcLinkMessage m(text);
    bool notify = false;
    // Korvid ends its process after answering a search or a close: the link is gone from here
    // on, even before the socket notices. A request made now waits for the reconnection instead
    // of writing into the dying connection.
    if (m.hasHead(UvcCmdSearchDevice) || m.hasHead(UvcCmdCloseDevice)) {
        m_linkState.store(0);
        m_dropLink = true;
    }
    {
        std::lock_guard<std::mutex> lock(m_replyMutex);
        Reply& r = m_reply;
        if (m.hasHead(UvcCmdSearchDevice)) {
            r.mainIds = m.item(0);
            r.secondIds = m.item(1);
        } else if (m.hasHead(UvcCmdOpenDevice) || m.hasHead(UvcCmdCloseDevice)) {
            // nothing to store
        } else if (m.hasHead(UvcCmdStartPlay) || m.hasHead(UvcCmdStopPlay)) {
            // A missing item leaves its preset (-1 index, -100 result).
            r.index = m.intItem(0, r.index);
            r.result = m.intItem(1, r.result);
        } else if (m.hasHead(UvcCmdGetControl)) {
            r.index = m.intItem(0, r.index);
            r.type = m.intItem(1, r.type);
            r.result = m.intItem(2, r.result);
            if (m.hasItems(3) && r.result == 0) {
                if (uvcControlIsValueType(r.type)) {
                    if (m.hasItems(7)) {
                        r.max = m.intItem(3);
                        r.min = m.intItem(4);
                        r.def = m.intItem(5);
                        r.cur = m.intItem(6);
                    } else {
                        r.result = MUCR_CONNECT_SERVER_FAILD;   // values missing: as if no result came
                    }
                } else if (uvcControlIsModeType(r.type)) {
                    if (m.hasItems(4))
                        r.mode = m.intItem(3) == 1;
                    else
                        r.result = MUCR_CONNECT_SERVER_FAILD;
                }
            }
        } else if (m.hasHead(UvcCmdSetControl)) {
            r.index = m.intItem(0, r.index);
            r.type = m.intItem(1, r.type);
            r.result = m.intItem(2, r.result);
        } else if (m.hasHead(UvcNotifyDeviceChange)) {
            notify = true;
        }
        // The reply goes to the waiting request itself: the next request may preset the shared
        // fields as soon as the idle flag is set.
        if (m_pending) {
            m_pending->reply = r;
            m_pending->done = true;
            m_pending = nullptr;
        }
        m_idle.store(true);
    }
    m_replyCond.notify_all();
    if (notify)
        emit sigOutdeviceInOut();
}

// ---- waiting ---------------------------------------------------------------------------------

void MacUvcClient::_wake()
{
    {
        std::lock_guard<std::mutex> lock(m_replyMutex);
    }
    m_replyCond.notify_all();
}

bool MacUvcClient::_waitFor(const std::function<bool()>& pred, int ms)
{
    QElapsedTimer elapsed;
    elapsed.start();
    if (QThread::currentThread() == thread()) {
        // The reply is read on this very thread: run its events until pred holds. The timer
        // wakes the wait at the deadline.
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        while (!pred()) {
            const qint64 left = ms - elapsed.elapsed();
            if (left <= 0 || m_interrupted.load())
                return false;
            deadline.start(int(left));
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return true;
    }
    std::unique_lock<std::mutex> lock(m_replyMutex);
    while (!pred()) {
        const qint64 left = ms - elapsed.elapsed();
        if (left <= 0 || m_interrupted.load())
            return false;
        m_replyCond.wait_for(lock, std::chrono::milliseconds(qMin<qint64>(left, kPollStepMs)));
        if (pred())
            break;
        lock.unlock();
        QCoreApplication::processEvents();   // the calling thread's own events
        lock.lock();
    }
    return true;
}

// ---- request protocol ------------------------------------------------------------------------

int MacUvcClient::_fail(const char* op, int code)
{
    MUC_LOG_ERROR_AT(op, "%s", mucrName(code));
    return code;
}

int MacUvcClient::_request(const char* op, const QString& command, bool waitForLink, Preset preset, Reply* reply)
{
    if (m_closed.load())
        return _fail(op, MUCR_CLOSED);
    if (m_linkState.load() != 1) {
        if (!waitForLink || !_waitFor([this] { return m_linkState.load() == 1; }, waitLimit()))
            return _fail(op, m_interrupted.load() ? MUCR_CLOSED : MUCR_CONNECT_SERVER_FAILD);
    }
    // Claiming the idle flag and registering as the waiting request are one step under the
    // reply lock: a message interpreted in between would set the flag idle again with no
    // request registered, and a second request could then take this one's reply.
    Pending pending;
    int refused = 0;
    {
        std::lock_guard<std::mutex> lock(m_replyMutex);
        bool idle = true;
        if (!m_idle.compare_exchange_strong(idle, false)) {
            refused = MUCR_OCCUPATION;
        } else if (m_closed.load()) {
            // isRelease sets the closed flag before it looks at the idle flag: one of the two sees the other.
            m_idle.store(true);
            refused = MUCR_CLOSED;
        } else if (preset == Preset::Search) {
            m_reply.mainIds.clear();
            m_reply.secondIds.clear();
        } else if (preset == Preset::Indexed) {
            m_reply.index = -1;
            m_reply.result = MUCR_CONNECT_SERVER_FAILD;
        }
        if (refused == 0)
            m_pending = &pending;
    }
    if (refused != 0)
        return _fail(op, refused);
    _inOwnThread([this, text = command]() mutable { _tcpWrite(text); });

    if (!_waitFor([&pending] { return pending.done; }, waitLimit())) {
        std::lock_guard<std::mutex> lock(m_replyMutex);
        if (!pending.done) {
            m_pending = nullptr;
            m_idle.store(true);
            return _fail(op, m_interrupted.load() ? MUCR_CLOSED : MUCR_TIMEOUT);
        }
        // The reply came in just at the deadline.
    }
    *reply = pending.reply;
    return 0;
}

int MacUvcClient::_checkIndexed(const char* op, const Reply& reply, int idx, int type)
{
    if (reply.index != idx)
        return _fail(op, MUCR_CAMERA_INDEX_FAILD);
    if (type >= 0 && reply.type != type)
        return _fail(op, MUCR_TYPE_FAILD);
    if (reply.result == MUCR_CONNECT_SERVER_FAILD)
        return _fail(op, MUCR_TIMEOUT);
    if (reply.result != 0)
        return _fail(op, MUCR_UVC_ERROR);
    return 0;
}

int MacUvcClient::searchDevice(QString& mainIds, QString& secondIds)
{
    Reply reply;
    const int r = _request("searchDevice", UvcLinkText::searchDevice(), true, Preset::Search, &reply);
    if (r != 0)
        return r;
    mainIds = reply.mainIds;
    secondIds = reply.secondIds;
    return 0;
}

int MacUvcClient::openDevice()
{
    Reply reply;
    return _request("openDevice", UvcLinkText::openDevice(), true, Preset::None, &reply);
}

int MacUvcClient::closeDevice()
{
    Reply reply;
    return _request("closeDevice", UvcLinkText::closeDevice(), true, Preset::None, &reply);
}

int MacUvcClient::_getValue(const char* op, int idx, int type, PaxUvcControl::_CameraInfo* info)
{
    Reply reply;
    int r = _request(op, UvcLinkText::getControl(idx, type), false, Preset::Indexed, &reply);
    if (r == 0)
        r = _checkIndexed(op, reply, idx, type);
    if (r == 0 && info) {
        info->max = reply.max;
        info->min = reply.min;
        info->def = reply.def;
        info->cur = reply.cur;
    }
    return r;
}

int MacUvcClient::_getMode(const char* op, int idx, int type, bool* automatic)
{
    Reply reply;
    int r = _request(op, UvcLinkText::getControl(idx, type), false, Preset::Indexed, &reply);
    if (r == 0)
        r = _checkIndexed(op, reply, idx, type);
    if (r == 0 && automatic)
        *automatic = reply.mode;
    return r;
}

int MacUvcClient::_set(const char* op, int idx, int type, int value)
{
    Reply reply;
    int r = _request(op, UvcLinkText::setControl(idx, type, value), false, Preset::Indexed, &reply);
    if (r == 0)
        r = _checkIndexed(op, reply, idx, type);
    return r;
}

#define MAC_UVC_DEFINE_VALUE(Name, Type) \
    int MacUvcClient::get##Name##Info(int idx, PaxUvcControl::_CameraInfo* info) \
    { \
        return _getValue("get" #Name "Info", idx, Type, info); \
    } \
    int MacUvcClient::set##Name(int idx, int value) \
    { \
        return _set("set" #Name, idx, Type, value); \
    }
#define MAC_UVC_DEFINE_MODE(Name, Type) \
    int MacUvcClient::get##Name##Info(int idx, bool* automatic) \
    { \
        return _getMode("get" #Name "Info", idx, Type, automatic); \
    } \
    int MacUvcClient::set##Name(int idx, bool automatic) \
    { \
        return _set("set" #Name, idx, Type, automatic ? 1 : 0); \
    }
MAC_UVC_VALUE_CONTROLS(MAC_UVC_DEFINE_VALUE)
MAC_UVC_MODE_CONTROLS(MAC_UVC_DEFINE_MODE)
#undef MAC_UVC_DEFINE_VALUE
#undef MAC_UVC_DEFINE_MODE

// ---- work modes and previews -----------------------------------------------------------------

int MacUvcClient::getWorkMode()
{
    return m_workMode.load();
}

bool MacUvcClient::_attachBlock()
{
    QMutexLocker lock(&m_blockMutex);
    if (m_block && m_block->isAttached())
        return true;
    m_lastAttachTry = monotonicMs();
    if (!m_block)
        m_block = std::make_unique<MainFrameBlock>();
    const QString path = m_blockKeyPath.isEmpty() ? mainFrameKeyPath() : m_blockKeyPath;
    if (!m_block->open(path)) {
        PAX_LOG_ERROR("attach MainFrameBlock failed: %s", qPrintable(m_block->errorText()));
        return false;
    }
    m_frameFailLogged = false;
    return true;
}

int MacUvcClient::switchWorkMode(int mode)
{
    bool closed = false;
    {
        QMutexLocker lock(&m_stateMutex);
        ++m_switching;
        closed = m_closed.load();
    }
    struct SwitchingGuard
    {
        MacUvcClient* c;
        ~SwitchingGuard()
        {
            QMutexLocker lock(&c->m_stateMutex);
            --c->m_switching;
        }
    } guard{this};

    if (closed) {
        MUC_LOG_ERROR_AT("switchWorkMode", "MUCR_CLOSED");
        return MUCR_CLOSED;
    }
    const int current = m_workMode.load();
    if (mode == current) {
        MUC_LOG_DEBUG_AT("switchWorkMode", "uvc workmode not need change, workmode:%d", current);
        return 0;
    }
    if (current == 0) {
        const int r = _attachBlock() ? openDevice() : int(MUCR_CONNECT_SERVER_FAILD);
        if (r != 0) {
            MUC_LOG_ERROR_AT("switchWorkMode", "open uvc device error");
            Preview main;
            {
                QMutexLocker lock(&m_nameMutex);
                main = m_previews[0];
            }
            MacCamera::startPreviewMain(main.name, main.size, main.fps);
            return r;
        }
    } else {
        closeDevice();   // the service ends after it; leaving the service path always succeeds here
    }
    m_workMode.store(mode);
    MUC_LOG_DEBUG_AT("switchWorkMode", "workmode switch success");
    return 0;
}

int MacUvcClient::startPlayCamera(int idx, int width, int height, int fps, bool viaService)
{
    if (idx != 0) {
        // The service streams into the main camera's block: other cameras always play here.
        const Preview second = _setPreview(idx, width, height, fps);
        MacCamera::startPreviewSecond(second.name, second.size, second.fps);
        return 0;
    }
    if (!viaService) {
        const Preview main = _setPreview(idx, width, height, fps);
        if (m_workMode.load() == 0) {
            MacCamera::startPreviewMain(main.name, main.size, main.fps);
            return 0;
        }
    }
    Reply reply;
    int r = _request("startPlayCamera", UvcLinkText::startPlay(idx, width, height, fps), false, Preset::Indexed,
                     &reply);
    if (r == 0)
        r = _checkIndexed("startPlayCamera", reply, idx, -1);
    return r;
}

int MacUvcClient::stopPlayCamera(int idx)
{
    if (m_workMode.load() == 0 || idx != 0) {
        if (idx == 0)
            MacCamera::stopPreviewMain();
        else
            MacCamera::stopPreviewSecond();
        return 0;
    }
    Reply reply;
    int r = _request("stopPlayCamera", UvcLinkText::stopPlay(idx), false, Preset::Indexed, &reply);
    if (r == 0)
        r = _checkIndexed("stopPlayCamera", reply, idx, -1);
    return r;
}

PaxUvcControl::_VideoFrame* MacUvcClient::getVideoFrameFromMainCamera()
{
    QMutexLocker lock(&m_blockMutex);
    if (!m_block || !m_block->isAttached()) {
        // Lost or never attached: try again now and then while the service path is in use.
        if (m_workMode.load() == 0)
            return nullptr;
        if (m_lastAttachTry >= 0 && monotonicMs() - m_lastAttachTry < kAttachRetryMs)
            return nullptr;
        lock.unlock();
        if (!_attachBlock())
            return nullptr;
        lock.relock();
        if (!m_block || !m_block->isAttached())
            return nullptr;
    }
    unsigned char* data = nullptr;
    std::int32_t size = 0;
    switch (m_block->take(&data, &size)) {
    case MainFrameBlock::TakeResult::Taken: {
        m_frameFailLogged = false;
        auto* frame = new PaxUvcControl::_VideoFrame;
        frame->data = data;
        frame->size = size;
        return frame;
    }
    case MainFrameBlock::TakeResult::Empty:
        return nullptr;
    case MainFrameBlock::TakeResult::Failed:
        break;
    }
    if (!m_frameFailLogged) {
        MUC_LOG_ERROR_AT("sem_wait", "%s", qPrintable(m_block->errorText()));
        m_frameFailLogged = true;
    }
    // The semaphore went away under us (the service's objects were removed): drop the
    // attachment and attach again later.
    if (m_block->semaphore().value() < 0)
        m_block->detach();
    return nullptr;
}

bool MacUvcClient::isRelease()
{
    QMutexLocker lock(&m_stateMutex);
    if (m_switching > 0) {
        MUC_LOG_ERROR_AT("isRelease", "正在切换工作模式，不允许析构");
        return true;
    }
    m_closed.store(true);
    if (m_idle.load())
        return false;
    MUC_LOG_ERROR_AT("isRelease", "正在执行命令，不允许析构");
    return true;
}

void MacUvcClient::interruptInstance()
{
    QMutexLocker lock(&g_instanceMutex);
    if (g_instance)
        g_instance->interrupt();
}

void MacUvcClient::interrupt()
{
    {
        QMutexLocker lock(&m_stateMutex);
        m_closed.store(true);
        m_interrupted.store(true);
    }
    MUC_LOG_DEBUG_AT("interrupt", "requests interrupted");
    // A waiter on another thread sleeps on the condition; one on the client's thread waits for
    // its next event.
    _wake();
    QMetaObject::invokeMethod(this, [] {}, Qt::QueuedConnection);
}

// ---- father link -----------------------------------------------------------------------------

void MacUvcClient::setServerLogDir(QString dir)
{
    _inOwnThread([this, dir] { _setServerLogDirHere(dir); });
}

void MacUvcClient::_setServerLogDirHere(const QString& dir)
{
    if (m_fatherState.load() != 1) {
        QTimer::singleShot(kRetryMs, this, [this, dir] { _setServerLogDirHere(dir); });
        return;
    }
    QString text = UvcLinkText::fatherSetLogDir(dir);
    _tcpWriteFather(text);
}

void MacUvcClient::resetServer()
{
    _inOwnThread([this] {
        QString text = UvcLinkText::fatherReset();
        _tcpWriteFather(text);
    });
    _waitFor([this] { return m_linkState.load() != 1; }, kResetWaitMs);
    _inOwnThread([this] {
        m_reader.clear();
        _connectCommand("resetServer");
    });
    // Checked at the end of each poll step, not the moment it connects: the ending service's
    // listening socket may still take the connection and drop it just after.
    for (int step = 0; step < kResetWaitMs / kPollStepMs; ++step) {
        _waitFor([] { return false; }, kPollStepMs);
        if (m_linkState.load() == 1)
            break;
    }
}
