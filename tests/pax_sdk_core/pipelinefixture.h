#pragma once
// Shared set-up of the capture pipeline tests: the virtual camera's capture parameters, a
// frame counter on the controller's main-frame signal, and the platform path of the process
// (ORVANE_PLATFORM_VERSION 13.0: through the UVC service client; 11.0: in-process capture).

#include "eventwait.h"
#include "ffmpegvideoinput.h"
#include "virtualcamerafixture.h"

#include <QImage>
#include <QList>
#include <QMutex>

#include <atomic>

namespace pipeline {

using virtualcamera::cameraInfo;
using virtualcamera::kMainCamera;
using virtualcamera::prepareServiceClient;
using eventwait::spin;
using eventwait::waitUntil;

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// Counts the frames of one signal (connected directly: runs in the video-input thread) and keeps
// the sizes they came in.
class FrameCounter {
public:
    void add(const QImage& image)
    {
        QMutexLocker lock(&m_mutex);
        m_size = image.size();
        if (!m_sizes.contains(m_size))
            m_sizes.append(m_size);
        ++m_count;
    }
    int count() const { return m_count.load(); }
    QSize lastSize() const
    {
        QMutexLocker lock(&m_mutex);
        return m_size;
    }
    // Every size seen since the last reset, in order of first appearance.
    QList<QSize> sizes() const
    {
        QMutexLocker lock(&m_mutex);
        return m_sizes;
    }
    void reset()
    {
        QMutexLocker lock(&m_mutex);
        m_count.store(0);
        m_sizes.clear();
    }

private:
    std::atomic<int> m_count{0};
    mutable QMutex m_mutex;
    QSize m_size;
    QList<QSize> m_sizes;
};

} // namespace pipeline
