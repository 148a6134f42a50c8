#include "maccamera.h"

#include "capturebackend.h"

#include <chrono>
#include <memory>

MacCameraFrameSlot::~MacCameraFrameSlot()
{
    delete m_frame;
}

void MacCameraFrameSlot::put(QImage* frame)
{
    QImage* old;
    const qint64 now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    {
        QMutexLocker lock(&m_lock);
        old = m_frame;
        m_frame = frame;
        m_arrivalNs = now;
    }
    m_arrived.wakeAll();
    delete old;
}

QImage* MacCameraFrameSlot::waitTake(int timeoutMs, qint64* arrivalNs)
{
    QMutexLocker lock(&m_lock);
    if (!m_frame && timeoutMs > 0)
        m_arrived.wait(&m_lock, static_cast<unsigned long>(timeoutMs));
    QImage* frame = m_frame;
    m_frame = nullptr;
    if (arrivalNs)
        *arrivalNs = m_arrivalNs;
    return frame;
}

QImage* MacCameraFrameSlot::take()
{
    QMutexLocker lock(&m_lock);
    QImage* frame = m_frame;
    m_frame = nullptr;
    return frame;
}

namespace {

// Process-wide state of one camera. The capture's sink only touches the slot, so stopping
// (which waits for the capture thread) holds the session lock but never the slot lock.
struct CameraState {
    MacCameraFrameSlot slot;
    QMutex sessionLock;
    std::unique_ptr<pax_platform::CaptureStream> session;

    ~CameraState() { session.reset(); }   // the capture thread ends before the slot goes

    bool start(const QString& name, QSize size, int fps)
    {
        QMutexLocker lock(&sessionLock);
        session.reset();   // never two captures writing one slot
        session = pax_platform::openCaptureStream(name, size, fps, [this](QImage&& frame) {
            slot.put(new QImage(std::move(frame)));
        });
        return session != nullptr;
    }

    void stop()
    {
        QMutexLocker lock(&sessionLock);
        session.reset();
    }
};

CameraState& camera(int index)
{
    static CameraState cameras[2];
    return cameras[index];
}

} // namespace

MacCamera* MacCamera::s_instance = nullptr;

MacCamera::MacCamera(QObject* parent) : QObject(parent) {}

MacCamera* MacCamera::getInstance()
{
    if (!s_instance)
        s_instance = new MacCamera;
    return s_instance;
}

void MacCamera::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

// X receives the name suffix of the twin and its camera index.
#define PAX_MAC_CAMERA_TWINS(X) X(Main, 0) X(Second, 1)

#define PAX_MAC_CAMERA_DEFINE(Suffix, index) \
    bool MacCamera::startPreview##Suffix(const QString& name, QSize size, int fps) \
    { \
        return camera(index).start(name, size, fps); \
    } \
    void MacCamera::stopPreview##Suffix() \
    { \
        camera(index).stop(); \
    } \
    QImage* MacCamera::getFrame##Suffix() \
    { \
        return camera(index).slot.take(); \
    } \
    QImage* MacCamera::waitFrame##Suffix(int timeoutMs, qint64* arrivalNs) \
    { \
        return camera(index).slot.waitTake(timeoutMs, arrivalNs); \
    }
PAX_MAC_CAMERA_TWINS(PAX_MAC_CAMERA_DEFINE)
#undef PAX_MAC_CAMERA_DEFINE

QStringList MacCamera::listAvailableCameras()
{
    return {};
}
