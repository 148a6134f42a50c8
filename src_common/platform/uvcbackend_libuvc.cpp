// The UVC seam on libuvc: the USB video-class cameras attached to this machine.

#include "uvcbackend.h"

#include <libuvc/libuvc.h>

#include <cstdint>

namespace pax_uvc {

namespace {

uvc_frame_format toUvcFormat(FrameFormat format)
{
    switch (format) {
    case FrameFormat::Compressed:
        return UVC_FRAME_FORMAT_COMPRESSED;
    case FrameFormat::Yuyv:
        return UVC_FRAME_FORMAT_YUYV;
    case FrameFormat::Mjpeg:
        break;
    }
    return UVC_FRAME_FORMAT_MJPEG;
}

FrameFormat fromUvcFormat(uvc_frame_format format)
{
    switch (format) {
    case UVC_FRAME_FORMAT_YUYV:
        return FrameFormat::Yuyv;
    case UVC_FRAME_FORMAT_MJPEG:
        return FrameFormat::Mjpeg;
    default:
        return FrameFormat::Compressed;
    }
}

QByteArray text(const char* s)
{
    return s ? QByteArray(s) : QByteArray("");
}

// The controls on libuvc: X(Control, libuvc name, C type).
#define LIBUVC_CONTROLS(X) \
    X(Brightness, brightness, int16_t) \
    X(Contrast, contrast, uint16_t) \
    X(Saturation, saturation, uint16_t) \
    X(Sharpness, sharpness, uint16_t) \
    X(Gain, gain, uint16_t) \
    X(ExposureAbs, exposure_abs, uint32_t) \
    X(AeMode, ae_mode, uint8_t) \
    X(FocusAbs, focus_abs, uint16_t) \
    X(FocusAuto, focus_auto, uint8_t) \
    X(BacklightCompensation, backlight_compensation, uint16_t)

class LibuvcStreamControl : public StreamControl
{
public:
    void print(FILE* stream) const override { uvc_print_stream_ctrl(const_cast<uvc_stream_ctrl_t*>(&ctrl), stream); }
    uvc_stream_ctrl_t ctrl{};
};

class LibuvcHandle : public DeviceHandle
{
public:
    explicit LibuvcHandle(uvc_device_handle_t* devh) : m_devh(devh) {}
    ~LibuvcHandle() override
    {
        // uvc_close stops a running stream first.
        uvc_close(m_devh);
    }
    LibuvcHandle(const LibuvcHandle&) = delete;
    LibuvcHandle& operator=(const LibuvcHandle&) = delete;

    const void* address() const override { return m_devh; }
    void printDiag(FILE* stream) override { uvc_print_diag(m_devh, stream); }

    int getControl(Control control, Request request, qint64* value) override
    {
        const auto req = static_cast<uvc_req_code>(request);
        switch (control) {
#define LIBUVC_GET(Ctl, name, CType) \
    case Control::Ctl: return get<CType>(uvc_get_##name, req, value);
            LIBUVC_CONTROLS(LIBUVC_GET)
#undef LIBUVC_GET
        }
        return UVC_ERROR_NOT_SUPPORTED;
    }

    int setControl(Control control, qint64 value) override
    {
        switch (control) {
#define LIBUVC_SET(Ctl, name, CType) \
    case Control::Ctl: return uvc_set_##name(m_devh, CType(value));
            LIBUVC_CONTROLS(LIBUVC_SET)
#undef LIBUVC_SET
        }
        return UVC_ERROR_NOT_SUPPORTED;
    }

    QList<FormatDescriptor> formats() override
    {
        QList<FormatDescriptor> list;
        for (const uvc_format_desc_t* f = uvc_get_format_descs(m_devh); f; f = f->next) {
            FormatDescriptor format;
            format.mjpeg = f->bDescriptorSubtype == UVC_VS_FORMAT_MJPEG;
            for (const uvc_frame_desc_t* d = f->frame_descs; d; d = d->next)
                format.frames.append({d->wWidth, d->wHeight, d->dwDefaultFrameInterval});
            list.append(format);
        }
        return list;
    }

    int getStreamControl(FrameFormat format, int width, int height, int fps,
                         std::unique_ptr<StreamControl>* control) override
    {
        auto c = std::make_unique<LibuvcStreamControl>();
        const int r = uvc_get_stream_ctrl_format_size(m_devh, &c->ctrl, toUvcFormat(format), width, height, fps);
        *control = std::move(c);
        return r;
    }

    int startStreaming(const StreamControl& control, FrameCallback callback, void* user) override
    {
        const auto* c = dynamic_cast<const LibuvcStreamControl*>(&control);
        if (!c)
            return UVC_ERROR_INVALID_PARAM;
        m_callback = callback;
        m_user = user;
        uvc_stream_ctrl_t ctrl = c->ctrl;
        return uvc_start_streaming(m_devh, &ctrl, &LibuvcHandle::onFrame, this, 0);
    }

    void stopStreaming() override { uvc_stop_streaming(m_devh); }

private:
    // Reads into the control's C type; *value receives it widened (0 when the read failed).
    template <typename CType>
    uvc_error_t get(uvc_error_t (*getter)(uvc_device_handle_t*, CType*, enum uvc_req_code), uvc_req_code req,
                    qint64* value)
    {
        CType v = 0;
        const uvc_error_t r = getter(m_devh, &v, req);
        *value = v;
        return r;
    }

    static void onFrame(uvc_frame_t* frame, void* user)
    {
        auto* self = static_cast<LibuvcHandle*>(user);
        Frame f;
        f.data = frame->data;
        f.dataBytes = frame->data_bytes;
        f.width = int(frame->width);
        f.height = int(frame->height);
        f.format = fromUvcFormat(frame->frame_format);
        self->m_callback(&f, self->m_user);
    }

    uvc_device_handle_t* m_devh;
    FrameCallback m_callback = nullptr;
    void* m_user = nullptr;
};

class LibuvcDevice : public Device
{
public:
    // Takes over one reference of dev.
    explicit LibuvcDevice(uvc_device_t* dev) : m_dev(dev) {}
    ~LibuvcDevice() override { uvc_unref_device(m_dev); }
    LibuvcDevice(const LibuvcDevice&) = delete;
    LibuvcDevice& operator=(const LibuvcDevice&) = delete;

    int getDescriptor(DeviceDescriptor* descriptor) override
    {
        uvc_device_descriptor_t* desc = nullptr;
        const uvc_error_t r = uvc_get_device_descriptor(m_dev, &desc);
        if (r < 0)
            return r;
        descriptor->idVendor = desc->idVendor;
        descriptor->idProduct = desc->idProduct;
        descriptor->product = text(desc->product);
        descriptor->serialNumber = text(desc->serialNumber);
        descriptor->manufacturer = text(desc->manufacturer);
        uvc_free_device_descriptor(desc);
        return UVC_SUCCESS;
    }

    int open(std::unique_ptr<DeviceHandle>* handle) override
    {
        uvc_device_handle_t* devh = nullptr;
        const uvc_error_t r = uvc_open(m_dev, &devh);
        if (r < 0)
            return r;
        *handle = std::make_unique<LibuvcHandle>(devh);
        return UVC_SUCCESS;
    }

private:
    uvc_device_t* m_dev;
};

class LibuvcContext : public Context
{
public:
    explicit LibuvcContext(uvc_context_t* ctx) : m_ctx(ctx) {}
    ~LibuvcContext() override { uvc_exit(m_ctx); }
    LibuvcContext(const LibuvcContext&) = delete;
    LibuvcContext& operator=(const LibuvcContext&) = delete;

    int findDevices(std::vector<std::unique_ptr<Device>>* devices) override
    {
        // Every UVC device, whatever its ids and serial number: what uvc_find_devices(ctx, &list,
        // 0, 0, NULL) selects, without its leak of the result array when nothing is attached.
        devices->clear();
        uvc_device_t** list = nullptr;
        const uvc_error_t r = uvc_get_device_list(m_ctx, &list);
        if (r < 0)
            return r;
        if (!list)
            return UVC_SUCCESS;
        for (uvc_device_t** d = list; *d; ++d) {
            uvc_ref_device(*d);
            devices->push_back(std::make_unique<LibuvcDevice>(*d));
        }
        uvc_free_device_list(list, 1);
        return devices->empty() ? UVC_ERROR_NO_DEVICE : UVC_SUCCESS;
    }

private:
    uvc_context_t* m_ctx;
};

} // namespace

int createLibuvcContext(std::unique_ptr<Context>* context)
{
    uvc_context_t* ctx = nullptr;
    const uvc_error_t r = uvc_init(&ctx, nullptr);
    if (r < 0)
        return r;
    *context = std::make_unique<LibuvcContext>(ctx);
    return UVC_SUCCESS;
}

} // namespace pax_uvc
