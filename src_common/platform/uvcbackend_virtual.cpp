// The UVC seam on the virtual document camera: the devices of virtualdevice.h with their
// nine controls.

#include "uvcbackend.h"

#include "virtualdevice.h"

#include <QMutex>
#include <QSet>

#include <climits>

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

    int startStreaming(const StreamControl&, FrameCallback, void*) override { return ErrorNotSupported; }
    void stopStreaming() override {}

private:
    int m_position;
    pax_virtual::UvcDeviceSpec m_spec;
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
