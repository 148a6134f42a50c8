#include "virtualcapture.h"

#include "virtualdevice.h"
#include "virtualpicture.h"

#include <QtDebug>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pax_virtual {

namespace {

class VirtualCaptureStream final : public pax_platform::CaptureStream {
public:
    VirtualCaptureStream(std::unique_ptr<VirtualFrameSource> source, int fps, pax_platform::CaptureFrameSink sink)
        : m_source(std::move(source)), m_period(std::chrono::nanoseconds(1000000000LL / fps)),
          m_sink(std::move(sink))
    {
        m_thread = std::thread([this] { run(); });
    }

    ~VirtualCaptureStream() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        qint64 number = 0;
        Clock::time_point due = start;
        while (true) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_wake.wait_until(lock, due, [this] { return m_stop; }))
                    return;
            }
            const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            QImage frame = m_source->frame(ms, number++);
            if (frame.isNull()) {
                qWarning("virtual camera: %s; the capture stops", qPrintable(m_source->errorString()));
                return;
            }
            m_sink(std::move(frame));
            due += m_period;
            const Clock::time_point now = Clock::now();
            if (due < now - m_period)
                due = now;   // fell behind: drop the missed frames rather than bursting
        }
    }

    std::unique_ptr<VirtualFrameSource> m_source;
    const std::chrono::nanoseconds m_period;
    pax_platform::CaptureFrameSink m_sink;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;   // last: started once everything it uses exists
};

} // namespace

int captureCameraForName(const QString& deviceName)
{
    const int count = cameraCount();
    if (count >= 1 && deviceName == QLatin1String(kMainName))
        return 0;
    if (count >= 2 && deviceName == QLatin1String(kSecondName))
        return 1;
    return -1;
}

std::unique_ptr<pax_platform::CaptureStream> openVirtualCapture(int camera, QSize size, int fps,
                                                                pax_platform::CaptureFrameSink sink)
{
    if (camera < 0 || camera > 1 || !sink)
        return nullptr;
    bool offered = false;
    for (const Mode& m : modes())
        offered = offered || (m.width == size.width() && m.height == size.height() &&
                              pax_platform::rateRangeHolds(m.fps, m.fps, fps));
    if (!offered || fps <= 0)
        return nullptr;
    auto source = std::make_unique<VirtualFrameSource>(camera, size);
    if (!source->isValid())
        return nullptr;
    qDebug("virtual camera %d: capturing %dx%d at %d fps", camera, size.width(), size.height(), fps);
    return std::make_unique<VirtualCaptureStream>(std::move(source), fps, std::move(sink));
}

} // namespace pax_virtual
