#pragma once
// Live frames of the main and the second camera: one capture per camera feeding a slot that
// holds only the newest frame; consumers take the frame out of the slot and own it.

#include <QImage>
#include <QMutex>
#include <QObject>
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

private:
    QMutex m_lock;
    QImage* m_frame = nullptr;
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
    // Always empty: discovery lists the devices elsewhere.
    static QStringList listAvailableCameras();

private:
    explicit MacCamera(QObject* parent = nullptr);
    static MacCamera* s_instance;
};
