// The UVC seam on the virtual document camera: the devices of virtualdevice.h with their
// nine controls, streaming the virtual picture as MJPEG.

#include "uvcbackend.h"

#include "virtualdevice.h"
#include "virtualpicture.h"

#include <QDebug>
#include <QMutex>
#include <QSet>

#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace pax_uvc {

namespace {

QMutex g_openMutex;
QSet<int> g_openDevices;   // positions in pax_virtual::uvcDevices() with an open handle

bool toVirtual(Control control, pax_virtual::Control* out)
{
    switch (control) {
    case Control::Brightness: *out = pax_virtual::Brightness; return true;
    case Control::Contrast: *out = pax_virtual::Contrast; return true;
    case Control::Saturation: *out = pax_virtual::Saturation; return true;
    case Control::Sharpness: *out = pax_virtual::Sharpness; return true;
    case Control::Gain: *out = pax_virtual::Gain; return true;
    case Control::ExposureAbs: *out = pax_virtual::Exposure; return true;
    case Control::AeMode: *out = pax_virtual::ExposureMode; return true;
    case Control::FocusAbs: *out = pax_virtual::Focus; return true;
    case Control::FocusAuto: *out = pax_virtual::FocusMode; return true;
    case Control::BacklightCompensation: break;
    }
    return false;
}

class VirtualStreamControl : public StreamControl
{
public:
    void print(FILE* stream) const override
    {
        std::fprintf(stream,
                     "bmHint: %04x\nbFormatIndex: %d\nbFrameIndex: %d\ndwFrameInterval: %u\n"
                     "wWidth: %d\nwHeight: %d\n",
                     1, formatIndex, frameIndex, fps > 0 ? 10000000u / unsigned(fps) : 0u, width, height);
    }
    int formatIndex = 0;
    int frameIndex = 0;
    int width = 0;
    int height = 0;
    int fps = 0;
};

// Owns a libjpeg-turbo compressor.
struct TjHandle
{
    tjhandle h = tjInitCompress();
    TjHandle() = default;
    ~TjHandle()
    {
        if (h)
            tjDestroy(h);
    }
    TjHandle(const TjHandle&) = delete;
    TjHandle& operator=(const TjHandle&) = delete;
};

// One running stream: a thread that renders the virtual picture at the negotiated size and
// rate, encodes it as JPEG and hands it to the callback. Waits between frames on a condition
// variable, so that stop() ends it within one frame's work.
class VirtualStream
{
public:
    VirtualStream(int camera, int width, int height, int fps, FrameCallback callback, void* user)
        : m_camera(camera), m_width(width), m_height(height), m_fps(fps), m_callback(callback), m_user(user)
    {
        m_thread = std::thread(&VirtualStream::run, this);
    }
    ~VirtualStream() { stop(); }
    VirtualStream(const VirtualStream&) = delete;
    VirtualStream& operator=(const VirtualStream&) = delete;

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void run()
    {
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::nanoseconds(1000000000LL / std::max(1, m_fps));
        pax_virtual::VirtualFrameSource source(m_camera, QSize(m_width, m_height));
        TjHandle tj;
        // Encoded frames never exceed this bound, so the buffer is made once.
        const unsigned long capacity = tjBufSize(m_width, m_height, TJSAMP_420);
        unsigned char* jpeg = tj.h ? tjAlloc(int(capacity)) : nullptr;
        if (!jpeg)
            qWarning("virtual camera stream: no JPEG encoder");
        bool renderFailed = false;

        const auto start = Clock::now();
        auto due = start;
        qint64 number = 0;
        while (jpeg) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_wake.wait_until(lock, due, [this] { return m_stop; }))
                    break;
            }
            const auto now = Clock::now();
            const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
            const QImage image = source.frame(ms, number);
            if (image.isNull() || image.format() != QImage::Format_ARGB32) {
                if (!renderFailed)
                    qWarning("virtual camera stream: no picture: %s", qPrintable(source.errorString()));
                renderFailed = true;
            } else {
                renderFailed = false;
                unsigned long size = capacity;
                if (tjCompress2(tj.h, image.constBits(), m_width, int(image.bytesPerLine()), m_height, TJPF_BGRA,
                                &jpeg, &size, TJSAMP_420, 85, TJFLAG_NOREALLOC | TJFLAG_FASTDCT) == 0) {
                    Frame frame;
                    frame.data = jpeg;
                    frame.dataBytes = size;
                    frame.width = m_width;
                    frame.height = m_height;
                    frame.format = FrameFormat::Mjpeg;
                    m_callback(&frame, m_user);
                }
            }
            ++number;
            due += period;
            // Behind by more than a frame (slow machine): drop the missed frames, don't burst.
            if (Clock::now() > due + period)
                due = Clock::now();
        }
        tjFree(jpeg);
    }

    const int m_camera;
    const int m_width;
    const int m_height;
    const int m_fps;
    const FrameCallback m_callback;
    void* const m_user;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;   // guarded by m_mutex
    std::thread m_thread;
};

class VirtualHandle : public DeviceHandle
{
public:
    VirtualHandle(int position, const pax_virtual::UvcDeviceSpec& spec) : m_position(position), m_spec(spec) {}
    ~VirtualHandle() override
    {
        stopStreaming();
        QMutexLocker lock(&g_openMutex);
        g_openDevices.remove(m_position);
    }
    VirtualHandle(const VirtualHandle&) = delete;
    VirtualHandle& operator=(const VirtualHandle&) = delete;

    const void* address() const override { return this; }

    void printDiag(FILE* stream) override
    {
        std::fprintf(stream, "DEVICE CONFIGURATION (%04x:%04x/%s) ---\nStatus: idle\nVideoStreaming(1):\n",
                     m_spec.vendorId, m_spec.productId, m_spec.serialNumber.constData());
        for (const pax_virtual::Mode& m : pax_virtual::modes())
            std::fprintf(stream, "\tMJPEG %dx%d @ %d fps\n", m.width, m.height, m.fps);
        std::fprintf(stream, "END DEVICE CONFIGURATION\n");
    }

    int getControl(Control control, Request request, qint64* value) override
    {
        pax_virtual::Control c;
        if (!toVirtual(control, &c))
            return ErrorPipe;
        if (const int fault = pax_virtual::controlFault(m_spec.camera, c, request))
            return fault;
        const pax_virtual::ControlRange range = pax_virtual::controlRange(c);
        switch (request) {
        case GetCur: *value = pax_virtual::controlValue(m_spec.camera, c); return Success;
        case GetMin: *value = range.min; return Success;
        case GetMax: *value = range.max; return Success;
        case GetDef: *value = range.def; return Success;
        }
        return ErrorInvalidParam;
    }

    int setControl(Control control, qint64 value) override
    {
        pax_virtual::Control c;
        if (!toVirtual(control, &c))
            return ErrorPipe;
        if (const int fault = pax_virtual::controlFault(m_spec.camera, c, pax_virtual::RequestSet))
            return fault;
        // Like a camera stalling a request outside the control's range.
        if (value < INT_MIN || value > INT_MAX || !pax_virtual::setControlValue(m_spec.camera, c, int(value)))
            return ErrorPipe;
        return Success;
    }

    QList<FormatDescriptor> formats() override
    {
        FormatDescriptor mjpeg;
        mjpeg.mjpeg = true;
        for (const pax_virtual::Mode& m : pax_virtual::modes())
            mjpeg.frames.append({m.width, m.height, quint32(10000000 / m.fps)});
        return {mjpeg};
    }

    int getStreamControl(FrameFormat format, int width, int height, int fps,
                         std::unique_ptr<StreamControl>* control) override
    {
        auto c = std::make_unique<VirtualStreamControl>();
        int result = ErrorInvalidMode;
        if (format != FrameFormat::Yuyv) {
            const QList<pax_virtual::Mode> modes = pax_virtual::modes();
            for (int i = 0; i < modes.size(); ++i) {
                if (modes[i].width == width && modes[i].height == height && modes[i].fps == fps) {
                    c->formatIndex = 1;
                    c->frameIndex = i + 1;
                    c->width = width;
                    c->height = height;
                    c->fps = fps;
                    result = Success;
                    break;
                }
            }
        }
        *control = std::move(c);
        return result;
    }

    int startStreaming(const StreamControl& control, FrameCallback callback, void* user) override
    {
        const auto* c = dynamic_cast<const VirtualStreamControl*>(&control);
        if (!c || c->fps <= 0 || !callback)
            return ErrorInvalidParam;
        std::lock_guard<std::mutex> lock(m_streamMutex);
        if (m_stream)
            return ErrorBusy;
        m_stream = std::make_unique<VirtualStream>(m_spec.camera, c->width, c->height, c->fps, callback, user);
        return Success;
    }

    void stopStreaming() override
    {
        std::unique_ptr<VirtualStream> stream;
        {
            std::lock_guard<std::mutex> lock(m_streamMutex);
            stream = std::move(m_stream);
        }
        // Joined outside the lock.
        stream.reset();
    }

private:
    int m_position;
    pax_virtual::UvcDeviceSpec m_spec;
    std::mutex m_streamMutex;
    std::unique_ptr<VirtualStream> m_stream;   // guarded by m_streamMutex
};

class VirtualDevice : public Device
{
public:
    VirtualDevice(int position, const pax_virtual::UvcDeviceSpec& spec) : m_position(position), m_spec(spec) {}

    int getDescriptor(DeviceDescriptor* descriptor) override
    {
        if (m_spec.descriptorFails)
            return ErrorIo;
        descriptor->idVendor = m_spec.vendorId;
        descriptor->idProduct = m_spec.productId;
        descriptor->product = m_spec.product.isNull() ? QByteArray("") : m_spec.product;
        descriptor->serialNumber = m_spec.serialNumber.isNull() ? QByteArray("") : m_spec.serialNumber;
        descriptor->manufacturer = m_spec.manufacturer.isNull() ? QByteArray("") : m_spec.manufacturer;
        return Success;
    }

    int open(std::unique_ptr<DeviceHandle>* handle) override
    {
        if (m_spec.openFails)
            return ErrorAccess;
        {
            QMutexLocker lock(&g_openMutex);
            if (g_openDevices.contains(m_position))
                return ErrorBusy;
            g_openDevices.insert(m_position);
        }
        *handle = std::make_unique<VirtualHandle>(m_position, m_spec);
        return Success;
    }

private:
    int m_position;
    pax_virtual::UvcDeviceSpec m_spec;
};

class VirtualContext : public Context
{
public:
    int findDevices(std::vector<std::unique_ptr<Device>>* devices) override
    {
        devices->clear();
        const QList<pax_virtual::UvcDeviceSpec> specs = pax_virtual::uvcDevices();
        if (specs.isEmpty())
            return ErrorNoDevice;
        for (int i = 0; i < specs.size(); ++i)
            devices->push_back(std::make_unique<VirtualDevice>(i, specs[i]));
        return Success;
    }
};

} // namespace

int createVirtualContext(std::unique_ptr<Context>* context)
{
    *context = std::make_unique<VirtualContext>();
    return Success;
}

} // namespace pax_uvc
