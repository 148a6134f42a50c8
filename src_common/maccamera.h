#pragma once
// Live frames of the main and the second camera: one capture per camera feeding a slot that
// holds only the newest frame; consumers take the frame out of the slot and own it.

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <QSize>
#include <QString>
#include <QStringList>

// The one-frame slot of a camera. Any thread.
class MacCameraFrameSlot {
public:
    MacCameraFrameSlot() = default;
    ~MacCameraFrameSlot();
    MacCameraFrameSlot(const MacCameraFrameSlot&) = delete;
    MacCameraFrameSlot& operator=(const MacCameraFrameSlot&) = delete;

    // Takes ownership of `frame`; an untaken older frame is deleted.
    void put(QImage* frame);
    // The newest frame, now owned by the caller, or null; the slot is empty afterwards.
    QImage* take();
    // Like take(), but waits up to timeoutMs for a frame when the slot is empty. arrivalNs (when
    // given) receives the steady-clock time in ns at which the frame was put.
    QImage* waitTake(int timeoutMs, qint64* arrivalNs = nullptr);

private:
    QMutex m_lock;
    QWaitCondition m_arrived;
    QImage* m_frame = nullptr;
    qint64 m_arrivalNs = 0;
};

class MacCamera : public QObject {
    Q_OBJECT
public:
    static MacCamera* getInstance();
    static void releaseInstance();

    // Opens the camera called `name` (exact, case-sensitive) at exactly `size` with a frame rate
    // range holding `fps`, and starts filling the camera's slot. A capture already running for the
    // camera is stopped first. False when the camera can't be started (then it is stopped).
    // Any thread; start and stop of one camera are serialised.
    static bool startPreviewMain(const QString& name, QSize size, int fps);
    static bool startPreviewSecond(const QString& name, QSize size, int fps);
    // Stops the capture, if any; a frame left in the slot stays there.
    static void stopPreviewMain();
    static void stopPreviewSecond();
    // The newest frame (Format_ARGB32) or null; the caller deletes it.
    static QImage* getFrameMain();
    static QImage* getFrameSecond();
    // The newest frame, waiting up to timeoutMs for one; arrivalNs as MacCameraFrameSlot::waitTake.
    static QImage* waitFrameMain(int timeoutMs, qint64* arrivalNs = nullptr);
    static QImage* waitFrameSecond(int timeoutMs, qint64* arrivalNs = nullptr);
    // Always empty: discovery lists the devices elsewhere.
    static QStringList listAvailableCameras();

private:
    explicit MacCamera(QObject* parent = nullptr);
    static MacCamera* s_instance;
};
