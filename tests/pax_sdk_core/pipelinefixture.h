#pragma once
// Shared set-up of the capture pipeline tests: the virtual camera's capture parameters, a
// frame counter on the controller's main-frame signal, and the platform path of the process
// (ORVANE_PLATFORM_VERSION 13.0: through the UVC service client; 11.0: in-process capture).

#include "eventwait.h"
#include "ffmpegvideoinput.h"
#include "virtualcamerafixture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMutex>

#include <atomic>

namespace pipeline {

using virtualcamera::cameraInfo;
using virtualcamera::kMainCamera;
using virtualcamera::prepareServiceClient;
using eventwait::spin;
using eventwait::waitUntil;

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

} // namespace pipeline
