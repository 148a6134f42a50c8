#include "paxcustom1lib.h"

#include "paxhostsetup.h"
#include "paxintool.h"
#include "paxlib.h"
#include "paxlibprivate.h"

#include <QApplication>
#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstring>

PaxCustom1Lib* PaxCustom1Lib::s_instance = nullptr;

namespace {

void copyText(char* out, size_t size, const char* text)
{
    std::strncpy(out, text, size - 1);
    out[size - 1] = '\0';
}

} // namespace

PaxCustom1Lib* PaxCustom1Lib::getInstance()
{
    if (!s_instance) {
        paxAcquireHostApplication();
        paxEnsureSaveRoot();
        s_instance = new PaxCustom1Lib();
        s_instance->m_d = new PaxLibPrivate(s_instance);
    }
    return s_instance;
}

void PaxCustom1Lib::releaseInstance()
{
    PaxCustom1Lib* instance = s_instance;
    if (!instance) {
        return;
    }
    s_instance = nullptr;
    delete instance;
    paxReleaseHostApplication();
}

PaxCustom1Lib::PaxCustom1Lib() = default;

PaxCustom1Lib::~PaxCustom1Lib()
{
    delete m_d;
}

const char* PaxCustom1Lib::message(int code)
{
    switch (code) {
    case PAX_SDK_SUCCESS: return "Success";
    case PAX_SDK_DEVICE_FAULT: return "Device Fault";
    case PAX_SDK_PORT_NOT_EXIST: return "Port Not Exist";
    case PAX_SDK_PORT_OPEN_FAILED: return "Port Open Failed";
    case PAX_SDK_NO_RESPONSE: return "No Response";
    case PAX_SDK_ABNORMAL: return "Abnormal";
    case PAX_SDK_DEVICE_OPEN_FAILED: return "Device Open Failed";
    case PAX_SDK_DEVICE_NOT_EXIST: return "Device Not Exist";
    case PAX_SDK_NO_FRAME: return "";
    default: return "Function Not Supported";
    }
}

int PaxCustom1Lib::_result(int code, char* message)
{
    if (message) {
        copyText(message, PAX_SDK_MESSAGE_SIZE, PaxCustom1Lib::message(code));
    }
    return code;
}

int PaxCustom1Lib::_checkDevice(const _DEVICE_INFO* device)
{
    if (!device || device->index > 1 || m_d->isCameraInvalid(_PaxCameraIndexE(device->index))) {
        return PAX_SDK_DEVICE_NOT_EXIST;
    }
    return PAX_SDK_SUCCESS;
}

void PaxCustom1Lib::_waitForSearch()
{
    for (int i = 0; i < 100 && !m_deviceSearchComplete; ++i) {
        QThread::msleep(100);
        QCoreApplication::processEvents();
    }
    if (!m_deviceSearchComplete) {
        PAX_LOG_ERROR("device search not complete after the wait: answering with the cameras known so far");
    }
}

bool PaxCustom1Lib::captureSizeAccepted(long width, long height)
{
    if (width == -1 && height == -1) {
        return true;
    }
    return width >= 1 && height >= 1 && width <= PAX_SDK_MAX_CAPTURE_SIDE && height <= PAX_SDK_MAX_CAPTURE_SIDE;
}

int PaxCustom1Lib::getDeviceInfo(long* count, _DEVICE_INFO* devices, char* message)
{
    if (!count || !devices) {
        return _result(PAX_SDK_ABNORMAL, message);
    }
    _waitForSearch();
    const PaxCameraInfo::_CameraDeviceInfoS main = paxLibCameras()->getCameraInfo(PaxCameraIndexMain);
    const PaxCameraInfo::_CameraDeviceInfoS second = paxLibCameras()->getCameraInfo(PaxCameraIndexSecond);
    *count = 0;
    auto fill = [&](_DEVICE_INFO& d, int index, const char* name) {
        d.index = uint16_t(index);
        copyText(d.name, sizeof d.name, name);
        copyText(d.maker, sizeof d.maker, "Company");
        copyText(d.name2, sizeof d.name2, name);
        m_d->switchCamera(_PaxCameraIndexE(index), false);
        const QList<_SolutionS> list = m_d->getSolutionList();
        if (!list.isEmpty()) {
            d.width = list.first().width;
            d.height = list.first().height;
        }
    };
    if (!main.deviceNameInMac.isEmpty()) {
        *count = 1;
        fill(devices[0], 0, "Main camera");
    }
    if (!second.deviceNameInMac.isEmpty()) {
        *count = 2;
        fill(devices[1], 1, "Second camera");
    }
    return _result(*count > 0 ? PAX_SDK_SUCCESS : PAX_SDK_NO_RESPONSE, message);
}

int PaxCustom1Lib::getDeviceSolutionList(_DEVICE_INFO* device, long* count, _SOLUTION_INFO* list, char* message)
{
    _waitForSearch();
    if (const int bad = _checkDevice(device)) {
        return _result(bad, message);
    }
    if (!count || !list) {
        return _result(PAX_SDK_ABNORMAL, message);
    }
    m_d->switchCamera(_PaxCameraIndexE(device->index), false);
    long n = 0;
    for (const _SolutionS& s : m_d->getSolutionList()) {
        if (n == PAX_SDK_MAX_SOLUTIONS) {
            break;
        }
        list[n].width = s.width;
        list[n].height = s.height;
        ++n;
    }
    *count = n;
    return _result(PAX_SDK_SUCCESS, message);
}

int PaxCustom1Lib::openDevice(_DEVICE_INFO* device, char* message)
{
    return _result(_checkDevice(device), message);
}

int PaxCustom1Lib::getDeviceStatus(_DEVICE_INFO* device, char* message)
{
    return _result(_checkDevice(device), message);
}

int PaxCustom1Lib::closeDevice(_DEVICE_INFO* device, char* message)
{
    return _result(_checkDevice(device), message);
}

int PaxCustom1Lib::startCapture(_DEVICE_INFO* device, long trimMode, long angle, long width, long height,
                                char* message)
{
    if (const int bad = _checkDevice(device)) {
        return _result(bad, message);
    }
    // Checked on the long values: nothing is cut to int before the range is known.
    if (!captureSizeAccepted(width, height)) {
        return _result(PAX_SDK_ABNORMAL, message);
    }
    m_d->switchCamera(_PaxCameraIndexE(device->index), false);
    switch (trimMode) {
    case 2:
        m_d->setManuTrim(true);
        break;
    case 1:
        m_d->setAutoTrim(true);
        break;
    case 0:
        m_d->setAutoTrim(false);
        m_d->setManuTrim(false);
        break;
    default:
        break;
    }
    m_d->setInitAngle(double(angle));
    m_captureWidth = int(width);
    m_captureHeight = int(height);
    m_d->switchSolution(int(width), int(height), false);
    m_d->openCamera();
    return _result(PAX_SDK_SUCCESS, message);
}

int PaxCustom1Lib::getCapFrame(_DEVICE_INFO* device, _FMIMG_INFO* image)
{
    if (const int bad = _checkDevice(device)) {
        return bad;
    }
    if (!image) {
        return PAX_SDK_ABNORMAL;
    }
    QImage frame;
    if (!m_d->getCapImage(frame)) {
        return PAX_SDK_NO_FRAME;
    }
    // Scaled first (nearest pixel, so the order makes no difference), then packed to RGB.
    if (m_captureWidth != -1 && m_captureHeight != -1 && frame.size() != QSize(m_captureWidth, m_captureHeight)) {
        frame = frame.scaled(m_captureWidth, m_captureHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    frame = frame.convertToFormat(QImage::Format_RGB888);
    const int w = frame.width();
    const int h = frame.height();
    image->width = w;
    image->height = h;
    if (image->rect) {
        image->rect[0] = 0.0f;
        image->rect[1] = 0.0f;
        image->rect[2] = float(w);
        image->rect[3] = float(h);
    }
    if (image->buffer) {
        const size_t row = size_t(w) * 3;
        image->size = uint64_t(row) * uint64_t(h);
        for (int y = 0; y < h; ++y) {
            std::memcpy(image->buffer + row * size_t(y), frame.constScanLine(y), row);
        }
    }
    return PAX_SDK_SUCCESS;
}

int PaxCustom1Lib::stopCapture(_DEVICE_INFO* device, char* message)
{
    if (const int bad = _checkDevice(device)) {
        return _result(bad, message);
    }
    m_d->closeCamera();
    return _result(PAX_SDK_SUCCESS, message);
}

int PaxCustom1Lib::photo(_DEVICE_INFO* device, long autoTrim, const char* file, char* message)
{
    if (const int bad = _checkDevice(device)) {
        return _result(bad, message);
    }
    m_d->grab(autoTrim == 1, file ? QString::fromLocal8Bit(file) : QString());
    return _result(PAX_SDK_SUCCESS, message);
}

int PaxCustom1Lib::startRec(char* message)
{
    return _result(PAX_SDK_SUCCESS, message);
}

int PaxCustom1Lib::stopRec(char* message)
{
    return _result(PAX_SDK_SUCCESS, message);
}

// ---- exported entry points ----

#define PAX_CAPI_IN(NAME) PAX_LOG_DEBUG("come here into " NAME)
#define PAX_CAPI_OUT(NAME, RET, MESSAGE) \
    PAX_LOG_DEBUG("come here out " NAME ", ret[%d] retMsg[%s]", RET, (MESSAGE) ? (MESSAGE) : "")

int pax_init()
{
    std::printf("come here into my_init\n");
    std::fflush(stdout);
    pax_sdk_init();
    PaxCustom1Lib::getInstance();
    std::printf("come here out my_init\n");
    std::fflush(stdout);
    return PAX_SDK_SUCCESS;
}

namespace {
int finish(const char* into, const char* out)
{
    std::printf("%s\n", into);
    std::fflush(stdout);
    PaxCustom1Lib::releaseInstance();
    pax_sdk_destroy();
    std::printf("%s\n", out);
    std::fflush(stdout);
    return PAX_SDK_SUCCESS;
}
} // namespace

int pax_fini()
{
    return finish("come here into my_fini", "come here out my_fini");
}

extern "C" {

int pax_close(void)
{
    return finish("come here into pax_close", "come here out pax_close");
}

int getDeviceInfo(long* count, _DEVICE_INFO* devices, char* message)
{
    PAX_CAPI_IN("getDeviceInfo");
    const int ret = PaxCustom1Lib::getInstance()->getDeviceInfo(count, devices, message);
    PAX_CAPI_OUT("getDeviceInfo", ret, message);
    return ret;
}

int getDeviceSolutionList(_DEVICE_INFO* device, long* count, _SOLUTION_INFO* list, char* message)
{
    PAX_CAPI_IN("getDeviceSolutionList");
    const int ret = PaxCustom1Lib::getInstance()->getDeviceSolutionList(device, count, list, message);
    PAX_CAPI_OUT("getDeviceSolutionList", ret, message);
    return ret;
}

int openDevice(_DEVICE_INFO* device, char* message)
{
    PAX_CAPI_IN("openDevice");
    const int ret = PaxCustom1Lib::getInstance()->openDevice(device, message);
    PAX_CAPI_OUT("openDevice", ret, message);
    return ret;
}

int getDeviceStatus(_DEVICE_INFO* device, char* message)
{
    PAX_CAPI_IN("getDeviceStatus");
    const int ret = PaxCustom1Lib::getInstance()->getDeviceStatus(device, message);
    PAX_CAPI_OUT("getDeviceStatus", ret, message);
    return ret;
}

int closeDevice(_DEVICE_INFO* device, char* message)
{
    PAX_CAPI_IN("closeDevice");
    const int ret = PaxCustom1Lib::getInstance()->closeDevice(device, message);
    PAX_CAPI_OUT("closeDevice", ret, message);
    return ret;
}

int startCapture(_DEVICE_INFO* device, long trimMode, long angle, long width, long height, char* message)
{
    PAX_CAPI_IN("startCapture");
    const int ret = PaxCustom1Lib::getInstance()->startCapture(device, trimMode, angle, width, height, message);
    PAX_CAPI_OUT("startCapture", ret, message);
    return ret;
}

int getCapFrame(_DEVICE_INFO* device, _FMIMG_INFO* image)
{
    return PaxCustom1Lib::getInstance()->getCapFrame(device, image);
}

int stopCapture(_DEVICE_INFO* device, char* message)
{
    PAX_CAPI_IN("stopCapture");
    const int ret = PaxCustom1Lib::getInstance()->stopCapture(device, message);
    PAX_CAPI_OUT("stopCapture", ret, message);
    return ret;
}

int photo(_DEVICE_INFO* device, long autoTrim, const char* file, char* message)
{
    PAX_CAPI_IN("photo");
    const int ret = PaxCustom1Lib::getInstance()->photo(device, autoTrim, file, message);
    PAX_CAPI_OUT("photo", ret, message);
    return ret;
}

int startRec(_DEVICE_INFO*, long, long, long, char*, char* message)
{
    PAX_CAPI_IN("startRec");
    const int ret = PaxCustom1Lib::getInstance()->startRec(message);
    PAX_LOG_DEBUG("come here out startRec");
    return ret;
}

int stopRec(_DEVICE_INFO*, char*, char* message)
{
    PAX_CAPI_IN("stopRec");
    const int ret = PaxCustom1Lib::getInstance()->stopRec(message);
    PAX_LOG_DEBUG("come here out stopRec");
    return ret;
}

} // extern "C"
