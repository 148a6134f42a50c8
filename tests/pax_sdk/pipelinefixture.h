#pragma once
// Shared set-up of the capture pipeline tests: the virtual camera's capture parameters, a
// frame counter on the controller's main-frame signal, and the platform path of the process
// (ORVANE_PLATFORM_VERSION 13.0: through the UVC service client; 11.0: in-process capture).

#include "ffmpegvideoinput.h"
#include "macuvcclient.h"
#include "myffmpegcameracontrol.h"
#include "paxmacos.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QThread>

#include <atomic>

namespace pipeline {

inline const QString kMainCamera = QStringLiteral("Virtual Document Camera");

inline _MFCC_InfoS cameraInfo(const QString& size = QStringLiteral("1920x1080"), const QString& fps = QStringLiteral("30"))
{
    _MFCC_InfoS info;
    info.device_name = kMainCamera;
    info.pixel_format = QStringLiteral("mjpeg");
    info.fps = fps;
    info.video_size = size;
    return info;
}

// On the service path the client names the camera it plays in its in-application mode.
inline void prepareServiceClient()
{
    if (isAvailableMacos13())
        MacUvcClient::getInstance()->setCameraName(0, kMainCamera);
}

// Counts the frames of one signal (connected directly: runs in the video-input thread).
class FrameCounter {
public:
    void add(const QImage& image)
    {
        const int n = ++m_count;
        if (n == 1)
            m_first.start();
        QMutexLocker lock(&m_mutex);
        m_size = image.size();
    }
    int count() const { return m_count.load(); }
    QSize lastSize() const
    {
        QMutexLocker lock(&m_mutex);
        return m_size;
    }
    void reset() { m_count.store(0); }

private:
    std::atomic<int> m_count{0};
    QElapsedTimer m_first;
    mutable QMutex m_mutex;
    QSize m_size;
};

// Runs the calling thread's events until pred holds or ms pass.
template <typename Pred> bool waitUntil(Pred pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

// Runs the calling thread's events for ms.
inline void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

} // namespace pipeline
