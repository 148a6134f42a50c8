#include "paxuvccontrol.h"

#include "cameravidpid.h"
#include "mainframeblock.h"
#include "paxmacos.h"
#include "uvcbackend.h"

#include <QDebug>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

using pax_uvc::Control;

namespace {

// Stream callback record: the instance and the camera index a stream belongs to.
struct UvcData
{
    PaxUvcControl* control = nullptr;
    int idx = 0;
};
UvcData s_uvcDataMain{nullptr, 0};
UvcData s_uvcDataSecond{nullptr, 1};

const char* requestName(int request)
{
    switch (request) {
    case pax_uvc::GetCur: return "UVC_GET_CUR";
    case pax_uvc::GetMin: return "UVC_GET_MIN";
    case pax_uvc::GetMax: return "UVC_GET_MAX";
    case pax_uvc::GetDef: return "UVC_GET_DEF";
    }
    return "UVC_GET";
}

// Request orders of the getters.
constexpr int kCurMaxMinDef[] = {pax_uvc::GetCur, pax_uvc::GetMax, pax_uvc::GetMin, pax_uvc::GetDef};
constexpr int kMaxMinDef[] = {pax_uvc::GetMax, pax_uvc::GetMin, pax_uvc::GetDef};
constexpr int kMaxMinDefCur[] = {pax_uvc::GetMax, pax_uvc::GetMin, pax_uvc::GetDef, pax_uvc::GetCur};

bool matches(const CameraVidPid& row, const QString& vid, const QString& pid)
{
    return row.getVid() == vid && row.getPid() == pid;
}

void freeFrame(PaxUvcControl::_VideoFrame* frame)
{
    if (!frame)
        return;
    std::free(frame->data);
    delete frame;
}

} // namespace

// libuvc's (or the virtual camera's) frame callback, on the stream's thread.
static void cb(const pax_uvc::Frame* frame, void* user)
{
    const auto* record = static_cast<const UvcData*>(user);
    if (isAvailableMacos13()) {
        mainFrameWriteServiceFrame(frame->data, frame->dataBytes);
        return;
    }
    // The record counts bytes in 32 bits.
    if (frame->dataBytes > size_t(INT32_MAX))
        return;
    auto* copy = new PaxUvcControl::_VideoFrame;
    copy->data = static_cast<unsigned char*>(std::malloc(frame->dataBytes ? frame->dataBytes : 1));
    if (!copy->data) {
        delete copy;
        return;
    }
    std::memcpy(copy->data, frame->data, frame->dataBytes);
    copy->size = qint32(frame->dataBytes);
    record->control->sendVideoFrame(record->idx, copy);
}

PaxUvcControl* PaxUvcControl::s_instance = nullptr;

PaxUvcControl* PaxUvcControl::getInstance()
{
    if (!s_instance)
        s_instance = new PaxUvcControl;
    return s_instance;
}

void PaxUvcControl::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

PaxUvcControl::PaxUvcControl() = default;

PaxUvcControl::~PaxUvcControl()
{
    // Streams end (their last callback returns) before the handles close.
    _closeCameras();
    _releaseDeviceList();
    m_context.reset();
    _freeSlots();
}

void PaxUvcControl::_closeCameras()
{
    if (m_mainHandle)
        m_mainHandle->stopStreaming();
    if (m_secondHandle)
        m_secondHandle->stopStreaming();
    m_mainHandle.reset();
    m_secondHandle.reset();
}

void PaxUvcControl::_releaseDeviceList()
{
    m_deviceList.clear();
}

void PaxUvcControl::_freeSlots()
{
    QMutexLocker lock(&m_frameMutex);
    freeFrame(m_mainFrame);
    freeFrame(m_secondFrame);
    m_mainFrame = nullptr;
    m_secondFrame = nullptr;
}

void PaxUvcControl::freshDevice(bool onlyFuncType1)
{
    const QList<CameraVidPid> table = getCameraVidPidList();

    _closeCameras();
    m_mainVid.clear();
    m_mainPid.clear();
    m_secondVid.clear();
    m_secondPid.clear();
    m_funcType = 2;
    _releaseDeviceList();
    m_context.reset();

    int r = pax_uvc::createContext(&m_context);
    if (r < 0) {
        qDebug("uvc_init error: %d", r);
        m_context.reset();
        return;
    }
    r = m_context->findDevices(&m_deviceList);
    if (r < 0) {
        qDebug("uvc_find_devices error: %d", r);
        return;
    }
    if (m_deviceList.empty()) {
        qDebug("uvc m_dev is null");
        return;
    }

    int i = 0;
    for (; i < int(m_deviceList.size()); ++i) {
        pax_uvc::Device* device = m_deviceList[size_t(i)].get();
        pax_uvc::DeviceDescriptor desc;
        r = device->getDescriptor(&desc);
        if (r < 0) {
            // Without its ids the device can't be recognised: go on with the next one.
            qDebug("uvc_get_device_descriptor error: %d", r);
            continue;
        }
        qDebug("uvcDevice(%d) idVendor(%04x) idProduct(%04x) product(%s) serial(%s) manufacturer(%s)", i,
               desc.idVendor, desc.idProduct, desc.product.constData(), desc.serialNumber.constData(),
               desc.manufacturer.constData());
        const QString vid = QString::asprintf("%04x", desc.idVendor);
        const QString pid = QString::asprintf("%04x", desc.idProduct);

        bool known = false;
        for (const CameraVidPid& row : table) {
            if (matches(row, vid, pid) && (!onlyFuncType1 || row.getFuncType() == CameraVidPid::FuncType1)) {
                known = true;
                break;
            }
        }
        if (!known)
            continue;

        std::unique_ptr<pax_uvc::DeviceHandle> handle;
        r = device->open(&handle);
        if (r < 0) {
            // Often a permission problem: the devices after this one may still be usable.
            qDebug("uvc_open error: %d", r);
            continue;
        }
        qDebug("uvc_open success: %p", handle->address());
        handle->printDiag(stderr);

        for (const CameraVidPid& row : table) {
            if (!matches(row, vid, pid))
                continue;
            const bool main = row.getType() == CameraVidPid::CameraTypeMain;
            if (main ? bool(m_mainHandle) : bool(m_secondHandle))
                continue;
            if (main) {
                m_mainVid = row.getVid();
                m_mainPid = row.getPid();
                m_mainHandle = std::move(handle);
            } else {
                m_secondVid = row.getVid();
                m_secondPid = row.getPid();
                m_secondHandle = std::move(handle);
            }
            m_funcType = row.getFuncType();
            break;
        }
        if (m_mainHandle && m_secondHandle)
            return;
        // A handle no row took (its roles are filled) is closed here.
        handle.reset();
    }
    qDebug("uvc device number:%d", i);
}

bool PaxUvcControl::isSuccessInit()
{
    return bool(m_mainHandle);
}

QString PaxUvcControl::getMainVid()
{
    return m_mainVid;
}

QString PaxUvcControl::getMainPid()
{
    return m_mainPid;
}

QString PaxUvcControl::getSecondVid()
{
    return m_secondVid;
}

QString PaxUvcControl::getSecondPid()
{
    return m_secondPid;
}

int PaxUvcControl::getFuncType()
{
    return m_funcType;
}

bool PaxUvcControl::isCameraValid(int idx)
{
    return _camera(idx) != nullptr;
}

pax_uvc::DeviceHandle* PaxUvcControl::_camera(int idx) const
{
    return idx == 0 ? m_mainHandle.get() : idx == 1 ? m_secondHandle.get() : nullptr;
}

pax_uvc::DeviceHandle* PaxUvcControl::_handle(int idx)
{
    pax_uvc::DeviceHandle* h = _camera(idx);
    if (!h)
        qDebug("cameraType error: %d", idx);
    return h;
}

PaxUvcControl::_VideoFrame** PaxUvcControl::_slot(int idx)
{
    return idx == 0 ? &m_mainFrame : idx == 1 ? &m_secondFrame : nullptr;
}

int PaxUvcControl::_getInfo(int idx, Control control, const char* function, const int* requests, int count,
                            _CameraInfo* info)
{
    pax_uvc::DeviceHandle* h = _handle(idx);
    if (!h)
        return -1;
    for (int k = 0; k < count; ++k) {
        const int request = requests[k];
        qint64 value = 0;
        const int r = h->getControl(control, pax_uvc::Request(request), &value);
        if (r < 0) {
            // The focus getter reports a failed current-value read under the default's name.
            const int named = (control == Control::FocusAbs && request == pax_uvc::GetCur) ? pax_uvc::GetDef : request;
            qDebug("%s %s error: %d", function, requestName(named), r);
            return -2;
        }
        const qint32 v = qint32(value);
        switch (request) {
        case pax_uvc::GetCur: info->cur = v; break;
        case pax_uvc::GetMax: info->max = v; break;
        case pax_uvc::GetMin: info->min = v; break;
        case pax_uvc::GetDef: info->def = v; break;
        }
    }
    return 0;
}

int PaxUvcControl::_getMode(int idx, Control control, const char* function, qint64* value)
{
    pax_uvc::DeviceHandle* h = _handle(idx);
    if (!h)
        return -1;
    const int r = h->getControl(control, pax_uvc::GetDef, value);
    if (r < 0) {
        qDebug("%s UVC_GET_DEF error: %d", function, r);
        return -2;
    }
    return 0;
}

int PaxUvcControl::_set(int idx, Control control, const char* function, qint64 value)
{
    pax_uvc::DeviceHandle* h = _handle(idx);
    if (!h)
        return -1;
    const int r = h->setControl(control, value);
    if (r < 0) {
        qDebug("%s error: %d", function, r);
        return -2;
    }
    return 0;
}

#define PAX_UVC_DEFINE_VALUE(Name, Ctl, uvcName, SetType, Requests) \
    int PaxUvcControl::get##Name##Info(int idx, _CameraInfo* info) \
    { \
        return _getInfo(idx, Control::Ctl, "uvc_get_" #uvcName, Requests, int(std::size(Requests)), info); \
    } \
    int PaxUvcControl::set##Name(int idx, int value) \
    { \
        return _set(idx, Control::Ctl, "uvc_set_" #uvcName, SetType(value)); \
    }
#define PAX_UVC_DEFINE_MODE(Name, Ctl, uvcName, Auto, Manual) \
    int PaxUvcControl::get##Name##Info(int idx, bool* isAuto) \
    { \
        qint64 mode = 0; \
        const int r = _getMode(idx, Control::Ctl, "uvc_get_" #uvcName, &mode); \
        if (r == 0) \
            *isAuto = quint8(mode) == (Auto); \
        return r; \
    } \
    int PaxUvcControl::set##Name(int idx, bool isAuto) \
    { \
        return _set(idx, Control::Ctl, "uvc_set_" #uvcName, isAuto ? (Auto) : (Manual)); \
    }
PAX_UVC_VALUE_CONTROLS(PAX_UVC_DEFINE_VALUE)
PAX_UVC_MODE_CONTROLS(PAX_UVC_DEFINE_MODE)
#undef PAX_UVC_DEFINE_VALUE
#undef PAX_UVC_DEFINE_MODE

int PaxUvcControl::getBacklight(int idx)
{
    pax_uvc::DeviceHandle* h = _handle(idx);
    if (!h)
        return -1;
    qint64 value = 0;
    const int r = h->getControl(Control::BacklightCompensation, pax_uvc::GetCur, &value);
    if (r < 0) {
        qDebug("uvc_get_backlight_compensation error: %d", r);
        return -2;
    }
    return int(quint16(value));
}

int PaxUvcControl::getCameraOption(int idx, QList<_Camera_Option>& list)
{
    pax_uvc::DeviceHandle* h = _camera(idx);
    if (!h)
        return -1;
    const QList<pax_uvc::FormatDescriptor> formats = h->formats();
    if (formats.isEmpty())
        return 0;
    const pax_uvc::FormatDescriptor& format = formats.first();
    for (const pax_uvc::FrameDescriptor& frame : format.frames) {
        _Camera_Option option;
        option.format = format.mjpeg ? QStringLiteral("mjpeg") : QStringLiteral("yuv");
        option.width = frame.width;
        option.height = frame.height;
        // An interval of 0 names no rate.
        option.fps = frame.defaultFrameInterval ? int(10000000u / frame.defaultFrameInterval) : 0;
        list.append(option);
    }
    return 0;
}

int PaxUvcControl::startReceiveVideoFrame(int idx, int width, int height, int fps, int format)
{
    pax_uvc::DeviceHandle* h = _camera(idx);
    if (!h)
        return -1;
    const pax_uvc::FrameFormat frameFormat = format == 2 ? pax_uvc::FrameFormat::Compressed
                                             : format == 1 ? pax_uvc::FrameFormat::Yuyv
                                                           : pax_uvc::FrameFormat::Mjpeg;
    std::unique_ptr<pax_uvc::StreamControl> control;
    int r = h->getStreamControl(frameFormat, width, height, fps, &control);
    if (control)
        control->print(stderr);
    if (r < 0) {
        qDebug("uvc_get_stream_ctrl_format_size error");
        return -1;
    }
    UvcData& record = idx == 0 ? s_uvcDataMain : s_uvcDataSecond;
    record.control = this;
    record.idx = idx;
    r = h->startStreaming(*control, &cb, &record);
    if (r < 0) {
        qDebug("uvc_start_streaming error");
        return -1;
    }
    return 0;
}

int PaxUvcControl::stopReceiveVideoFrame(int idx)
{
    pax_uvc::DeviceHandle* h = _camera(idx);
    if (!h)
        return -1;
    h->stopStreaming();
    return 0;
}

void PaxUvcControl::sendVideoFrame(int idx, _VideoFrame* frame)
{
    QMutexLocker lock(&m_frameMutex);
    _VideoFrame** slot = _slot(idx);
    if (!slot) {
        // Not a camera of this object: the frame has no place to go.
        lock.unlock();
        freeFrame(frame);
        return;
    }
    freeFrame(*slot);
    *slot = frame;
}

PaxUvcControl::_VideoFrame* PaxUvcControl::getVideoFrame(int idx)
{
    QMutexLocker lock(&m_frameMutex);
    _VideoFrame** slot = _slot(idx);
    if (!slot)
        return nullptr;
    _VideoFrame* frame = *slot;
    *slot = nullptr;
    return frame;
}
