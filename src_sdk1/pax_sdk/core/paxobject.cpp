#include "paxobject.h"

#include "macuvcclient.h"
#include "ffmpegoutput.h"
#include "myffmpegcameracontrol.h"
#include "paxcamerainfo.h"
#include "paxdevicemonitor.h"
#include "paxintool.h"
#include "paxmacos.h"

#include <QTimer>
#include <QTimerEvent>

#include <array>
#include <climits>

#include <libyuv.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {

static_assert(PaxData::ModeCount == 5, "one getter per work mode below");

// The twins of store member NAME by work mode: the plain member for 0, then ForBW..ForTM in
// PAX_MODE_PROFILES' order.
#define PAX_OBJECT_TWINS(NAME) \
    std::array<decltype(&PaxData::NAME), PaxData::ModeCount> \
    { \
        &PaxData::NAME, &PaxData::NAME##ForBW, &PaxData::NAME##ForCS, &PaxData::NAME##ForZJ, &PaxData::NAME##ForTM \
    }

PaxData* store() { return PaxData::getInstance(); }
PaxCameraInfo* cameraInfo() { return PaxCameraInfo::getInstance(); }
MyFfmpegCameraControl* pipeline() { return MyFfmpegCameraControl::getInstance(); }

const _PaxCameraIndexE kCameras[2] = {PaxCameraIndexMain, PaxCameraIndexSecond};

// The longest interval a Qt timer takes, in seconds.
constexpr int kMaxTimeGrabSeconds = INT_MAX / 1000;

_MFCC_Play_StatusE playStatusOf(const QString& text)
{
    if (text == QLatin1String("1")) {
        return MFCC_Play_Play;
    }
    if (text == QLatin1String("2")) {
        return MFCC_Play_Pause;
    }
    return MFCC_Play_Stop;
}

// Record action of the facade (0 stop, 1 start, 2 pause, 3 resume) -> record status.
_MFCC_Record_StatusE recordStatusOfAction(int action)
{
    switch (action) {
    case 1:
    case 3:
        return MFCC_Record_Recording;
    case 2:
        return MFCC_Record_Paused;
    default:
        return MFCC_Record_Stopped;
    }
}

int recordStateOf(_MFCC_Record_StatusE status)
{
    switch (status) {
    case MFCC_Record_Recording:
        return 1;
    case MFCC_Record_Paused:
        return 2;
    default:
        return 0;
    }
}

bool sameCaptureFields(const _MFCC_InfoS& a, const _MFCC_InfoS& b)
{
    return a.device_name == b.device_name && a.pixel_format == b.pixel_format && a.fps == b.fps &&
           a.video_size == b.video_size && a.iFrameCountPerSecond == b.iFrameCountPerSecond && a.wid == b.wid;
}

bool sameRecordFields(const _MFCC_Record_InfoS& a, const _MFCC_Record_InfoS& b)
{
    return a.bAudio == b.bAudio && a.microphoneName == b.microphoneName && a.microphoneIndex == b.microphoneIndex &&
           a.microphoneVolume == b.microphoneVolume && a.videoEncoder == b.videoEncoder &&
           a.bitrateValue == b.bitrateValue && a.bitrateType == b.bitrateType &&
           a.quantizationParameter == b.quantizationParameter && a.profile == b.profile && a.preset == b.preset;
}

} // namespace

// ---- raw-frame conversion ----

struct PaxObject::RawConverter {
    SwsContext* sws = nullptr;
    int width = 0;
    int height = 0;
    int format = -1;
    AVFrame* i420 = nullptr;

    ~RawConverter() { reset(); }
    void reset()
    {
        sws_freeContext(sws);
        sws = nullptr;
        av_frame_free(&i420);
        width = height = 0;
        format = -1;
    }
    // Made again when size or source format change; false when it can't be made.
    bool prepare(int w, int h, int f)
    {
        if (sws && w == width && h == height && f == format) {
            return true;
        }
        reset();
        sws = sws_getContext(w, h, AVPixelFormat(f), w, h, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                             nullptr);
        i420 = av_frame_alloc();
        if (!sws || !i420) {
            reset();
            return false;
        }
        i420->format = AV_PIX_FMT_YUV420P;
        i420->width = w;
        i420->height = h;
        if (av_frame_get_buffer(i420, 0) < 0) {
            reset();
            return false;
        }
        width = w;
        height = h;
        format = f;
        return true;
    }
};

// ---- construction ----

PaxObject::PaxObject(QObject* parent) : QThread(parent), m_frameHost(this), m_pass(&m_frameHost)
{
    qRegisterMetaType<PaxDataChangeNotifyE>("PaxDataChangeNotifyE");
    qRegisterMetaType<_PaxDataChangeNotifyE>("_PaxDataChangeNotifyE");
    qRegisterMetaType<LunkuoS>("LunkuoS");
    qRegisterMetaType<_PaxChangeNotifyE>("_PaxChangeNotifyE");
    mfccRegisterMetaTypes();

    for (Camera& camera : m_cameras) {
        camera.info.device_name = QStringLiteral("invalid device name");
    }

    store()->setEncoderList(pipeline()->getVideoEncoderList());

    connect(store(), &PaxData::sigDataChange, this, &PaxObject::slotDataChange, Qt::QueuedConnection);
    if (isAvailableMacos13()) {
        connect(MacUvcClient::getInstance(), &MacUvcClient::sigOutdeviceInOut, this, &PaxObject::slotCheckDevice,
                Qt::QueuedConnection);
    } else {
        connect(PaxDeviceMonitor::getInstance(), &PaxDeviceMonitor::sigOutdeviceInOut, this,
                &PaxObject::slotCheckDevice, Qt::QueuedConnection);
    }
    QTimer::singleShot(0, this, &PaxObject::slotCheckDevice);

    m_openCv = new PaxOpenCv(nullptr);
    m_frameHost.setOpenCv(m_openCv);
    connect(m_openCv, &PaxOpenCv::sigLunkuo, this, &PaxObject::slotLunkuo, Qt::QueuedConnection);
    connect(m_openCv, &PaxOpenCv::sigGrabDoc, this, &PaxObject::slotGrabDoc, Qt::QueuedConnection);

    m_pass.clearLunkuoFound();
    m_workMode = store()->getCurrentWorkMode();
    const double angle = store()->getCurrentInitAngle();
    m_pass.edit([&](PaxFrameSettingsS& s) { s.initAngle = angle; });
    _initColorMode();
    _initbRectifyByWorkMode();
    _initbAutoTrimByWorkMode();
    _initbManuTrimByWorkMode();
    _initManuTrimRect();
    _initbAutoDocByWorkMode();
    _initbTimeGrabByWorkMode();
    _initbIntelligentGrabByWorkMode();
    m_scanQrcode = store()->getScanQrcode(m_scanQrcodeText);
    _initTextLogoByWorkMode();
    _initPicLogoByWorkMode();

    MyFfmpegCameraControl* control = pipeline();
    connect(control, &MyFfmpegCameraControl::sigGetOneFrameForMain, this, &PaxObject::slotIoctlImageMain,
            Qt::DirectConnection);
    connect(control, &MyFfmpegCameraControl::sigGetOneFrameForSecond, this, &PaxObject::slotIoctlImageSecond,
            Qt::DirectConnection);
    connect(control, &MyFfmpegCameraControl::sigSendOneFrameForMain, this, &PaxObject::slotIoctlFrameMain,
            Qt::DirectConnection);
    connect(this, &PaxObject::sigNewFrameForMain, this, &PaxObject::slotNewFrameForMain, Qt::QueuedConnection);
    connect(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain, this,
            &PaxObject::slotRecordStatusChangeForMain);
    connect(control, &MyFfmpegCameraControl::sigRecordStatusChangeForSecond, this,
            &PaxObject::slotRecordStatusChangeForSecond);
    connect(control, &MyFfmpegCameraControl::sigRecordTimeChangeForMain, this,
            &PaxObject::slotRecordTimeChangeForMain);
    connect(control, &MyFfmpegCameraControl::sigRecordTimeChangeForSecond, this,
            &PaxObject::slotRecordTimeChangeForSecond);
}

PaxObject::~PaxObject()
{
    // The pipeline first: its video-input threads run the frame pass, the outline tasks and the
    // raw-frame slot until their inputs are closed and joined.
    MyFfmpegCameraControl::releaseInstance();
    if (m_timeGrabTimerId >= 0) {
        killTimer(m_timeGrabTimerId);
        m_timeGrabTimerId = -1;
    }
    m_pass.edit([](PaxFrameSettingsS& s) {
        s.hasManuTrimRect = false;
        s.manuTrimRect = QRect();
    });
    m_pass.releaseKeptPicture();
    PaxDeviceMonitor::releaseInstance();
    m_frameHost.setOpenCv(nullptr);
    delete m_openCv;
    m_openCv = nullptr;
    QMutexLocker lock(&m_rawMutex);
    _freeRawFrame(m_rawFrame);
    m_raw.reset();
}

// ---- per-work-mode settings ----

bool PaxObject::_workModeValid() const
{
    return m_workMode >= 0 && m_workMode < PaxData::ModeCount;
}

void PaxObject::_applyOutlineTaskRule()
{
    const PaxFrameSettingsS s = m_pass.settings();
    if (s.rectify || s.autoTrim) {
        m_openCv->startIdentifyLunkuo();
    } else {
        m_openCv->stopIdentifyLunkuo();
        m_pass.clearLunkuoFound();
    }
}

void PaxObject::_initColorMode()
{
    if (!_workModeValid()) {
        return;
    }
    const int mode = (store()->*PAX_OBJECT_TWINS(getCurrentColorMode)[m_workMode])();
    m_pass.edit([&](PaxFrameSettingsS& s) { s.colorMode = mode; });
}

void PaxObject::_initbRectifyByWorkMode()
{
    if (_workModeValid()) {
        const bool on = (store()->*PAX_OBJECT_TWINS(getRectify)[m_workMode])();
        m_pass.edit([&](PaxFrameSettingsS& s) { s.rectify = on; });
    }
    _applyOutlineTaskRule();
}

void PaxObject::_initbAutoTrimByWorkMode()
{
    if (_workModeValid()) {
        const bool on = (store()->*PAX_OBJECT_TWINS(getAutoTrim)[m_workMode])();
        m_pass.edit([&](PaxFrameSettingsS& s) { s.autoTrim = on; });
    }
    const bool photo = store()->getPhotoAutoTrim();
    m_pass.edit([&](PaxFrameSettingsS& s) { s.photoAutoTrim = photo; });
    _applyOutlineTaskRule();
}

void PaxObject::_initbManuTrimByWorkMode()
{
    if (!_workModeValid()) {
        return;
    }
    const bool on = (store()->*PAX_OBJECT_TWINS(getManuTrim)[m_workMode])();
    m_pass.edit([&](PaxFrameSettingsS& s) { s.manuTrim = on; });
}

void PaxObject::_initManuTrimRect()
{
    if (!_workModeValid()) {
        return;
    }
    QRect rect;
    const bool present = (store()->*PAX_OBJECT_TWINS(getManuTrimRect)[m_workMode])(rect);
    m_pass.edit([&](PaxFrameSettingsS& s) {
        s.hasManuTrimRect = present;
        s.manuTrimRect = present ? rect : QRect();
    });
}

void PaxObject::_initbAutoDocByWorkMode()
{
    if (_workModeValid()) {
        const bool on = (store()->*PAX_OBJECT_TWINS(getAutoDoc)[m_workMode])();
        m_pass.edit([&](PaxFrameSettingsS& s) { s.autoDoc = on; });
    }
    if (m_pass.settings().autoDoc) {
        m_openCv->startIdentifyMotion();
    } else {
        m_openCv->stopIdentifyMotion();
    }
}

void PaxObject::_initbTimeGrabByWorkMode()
{
    bool on = false;
    int seconds = 0;
    if (_workModeValid()) {
        on = (store()->*PAX_OBJECT_TWINS(getTimeGrab)[m_workMode])(seconds);
    }
    if (m_timeGrabTimerId >= 0) {
        killTimer(m_timeGrabTimerId);
        m_timeGrabTimerId = -1;
    }
    // An interval of 0 would grab every frame until the disk is full: it means off.
    if (on && seconds > 0) {
        const int ms = std::min(seconds, kMaxTimeGrabSeconds) * 1000;
        m_timeGrabTimerId = startTimer(ms, Qt::CoarseTimer);
    }
}

void PaxObject::_initbIntelligentGrabByWorkMode()
{
    if (_workModeValid()) {
        int step = 0;
        const bool on = (store()->*PAX_OBJECT_TWINS(getIntelligentGrab)[m_workMode])(step);
        m_pass.edit([&](PaxFrameSettingsS& s) {
            s.intelligentGrab = on;
            s.intelligentGrabStep = step;
        });
    }
    m_pass.releaseKeptPicture();
}

void PaxObject::_initTextLogoByWorkMode()
{
    if (!_workModeValid()) {
        return;
    }
    PaxTextLogoS logo;
    logo.enable = (store()->*PAX_OBJECT_TWINS(getTextLogoEnable)[m_workMode])();
    (store()->*PAX_OBJECT_TWINS(getTextLogoInfo)[m_workMode])(logo.text, logo.alpha, logo.x, logo.y, logo.fontSize,
                                                               logo.fontWeight, logo.colorName);
    m_pass.edit([&](PaxFrameSettingsS& s) { s.textLogo = logo; });
}

void PaxObject::_initPicLogoByWorkMode()
{
    if (!_workModeValid()) {
        return;
    }
    PaxPicLogoS logo;
    logo.enable = (store()->*PAX_OBJECT_TWINS(getPicLogoEnable)[m_workMode])();
    (store()->*PAX_OBJECT_TWINS(getPicLogoInfo)[m_workMode])(logo.file, logo.alpha, logo.x, logo.y);
    m_pass.edit([&](PaxFrameSettingsS& s) { s.picLogo = logo; });
}

void PaxObject::_removeMqnuTrimRect()
{
    if (_workModeValid()) {
        (store()->*PAX_OBJECT_TWINS(removeMenuTrimRect)[m_workMode])();
    }
}

void PaxObject::slotDataChange(_PaxDataChangeNotifyE notify)
{
    switch (notify) {
    case PaxNotifyInitAngle: {
        const double angle = store()->getCurrentInitAngle();
        m_pass.edit([&](PaxFrameSettingsS& s) { s.initAngle = angle; });
        break;
    }
    case PaxNotifyRectify:
        _initbRectifyByWorkMode();
        break;
    case PaxNotifyAutoTrim:
        _initbAutoTrimByWorkMode();
        break;
    case PaxNotifyManuTrim:
        _initbManuTrimByWorkMode();
        break;
    case PaxNotifyManuTrimRect:
        _initManuTrimRect();
        break;
    case PaxNotifyAutoDoc:
        _initbAutoDocByWorkMode();
        break;
    case PaxNotifyTimeGrab:
        _initbTimeGrabByWorkMode();
        break;
    case PaxNotifyIntelligentGrab:
        _initbIntelligentGrabByWorkMode();
        break;
    case PaxNotifyScanQrcode:
        m_scanQrcode = store()->getScanQrcode(m_scanQrcodeText);
        break;
    case PaxNotifyPicLogo:
        _initPicLogoByWorkMode();
        break;
    case PaxNotifyTextLogo:
        _initTextLogoByWorkMode();
        break;
    case PaxNotifyColorMode:
        _initColorMode();
        break;
    case PaxNotifyWorkMode:
        m_workMode = store()->getCurrentWorkMode();
        _initbRectifyByWorkMode();
        _initbAutoTrimByWorkMode();
        _initbManuTrimByWorkMode();
        _initbAutoDocByWorkMode();
        _initbIntelligentGrabByWorkMode();
        _initbTimeGrabByWorkMode();
        _initColorMode();
        _initTextLogoByWorkMode();
        _initPicLogoByWorkMode();
        _initManuTrimRect();
        break;
    case PaxNotifyCameraStatus:
        _updateCameraPlayStatusToFfmpegCamera();
        break;
    case PaxNotifyCameraInfo:
    case PaxNotifyCameraWid:
    case PaxNotifyFramePerSecond:
        _setCameraInfoToFfmpegCamera();
        break;
    default:
        break;
    }
}

// ---- devices ----

void PaxObject::slotCheckDevice()
{
    const int result = cameraInfo()->searchCameraDeviceInfo();
    _freshMicrophoneInfo();
    if (result == 0) {
        store()->freshCameraRelative();
        emit sigContentChange(PaxChangeDeviceFound);
        QTimer::singleShot(9000, this, &PaxObject::slotFreshAutoFocusInfo);
    } else {
        emit sigContentChange(PaxChangeDeviceMissing);
    }
    store()->setbInitComplete();
    store()->cameraInfoUpdate();
    _setCameraInfoToFfmpegCamera();
    emit sigInitComplete();
}

void PaxObject::slotFreshAutoFocusInfo()
{
    store()->freshAutoFocusInfo();
}

void PaxObject::_freshMicrophoneInfo()
{
    const QList<PaxCameraInfo::_MicrophoneS> list = cameraInfo()->getMicrophoneList();
    const QString fallback = list.isEmpty() ? QString() : list.last().name;
    auto present = [&](const QString& name) {
        if (name.isEmpty()) {
            return false;
        }
        for (const PaxCameraInfo::_MicrophoneS& m : list) {
            if (m.name == name) {
                return true;
            }
        }
        return false;
    };
    if (!present(store()->getCurMicrophoneNameMain())) {
        store()->setCurMicrophoneNameMain(fallback);
    }
    if (!present(store()->getCurMicrophoneNameSecond())) {
        store()->setCurMicrophoneNameSecond(fallback);
    }
}

int _getMicrophoneIndexFromName(QString name)
{
    const QList<PaxCameraInfo::_MicrophoneS> list = PaxCameraInfo::getInstance()->getMicrophoneList();
    for (const PaxCameraInfo::_MicrophoneS& m : list) {
        if (m.name == name) {
            return m.index;
        }
    }
    return -1;
}

// ---- pushes to the pipeline ----

void PaxObject::_setCameraInfoToFfmpegCamera()
{
    for (_PaxCameraIndexE camera : kCameras) {
        _MFCC_InfoS fresh;
        if (!cameraInfo()->isValidCamera(camera)) {
            fresh.device_name = QString();
        } else {
            fresh.device_name = cameraInfo()->getCameraDeviceNameInMac(camera);
            fresh.pixel_format = QStringLiteral("mjpeg");
            fresh.fps = QString::number(cameraInfo()->getCameraCurFps(camera));
            fresh.video_size = cameraInfo()->getCameraCurRealSolution(camera);
            fresh.iFrameCountPerSecond = store()->getFramePerSecond();
            fresh.wid = store()->getCameraWid(camera);
        }
        _MFCC_InfoS& kept = m_cameras[camera].info;
        if (sameCaptureFields(kept, fresh)) {
            continue;
        }
        kept.device_name = fresh.device_name;
        kept.pixel_format = fresh.pixel_format;
        kept.fps = fresh.fps;
        kept.video_size = fresh.video_size;
        kept.iFrameCountPerSecond = fresh.iFrameCountPerSecond;
        kept.wid = fresh.wid;
        pipeline()->setCameraInfo(camera, kept);
    }
}

void PaxObject::_updateCameraPlayStatusToFfmpegCamera()
{
    for (_PaxCameraIndexE camera : kCameras) {
        const _MFCC_Play_StatusE status = playStatusOf(store()->getCameraStatus(camera));
        if (status == m_cameras[camera].playStatus) {
            continue;
        }
        m_cameras[camera].playStatus = status;
        pipeline()->changeCameraPlayStatus(camera, status);
    }
}

void PaxObject::_setCameraRecordInfoToFfmpegCamera()
{
    for (_PaxCameraIndexE camera : kCameras) {
        const bool main = camera == PaxCameraIndexMain;
        _MFCC_Record_InfoS fresh;
        fresh.bAudio = main ? store()->getbRecordAudioMain() : store()->getbRecordAudioSecond();
        fresh.microphoneName = main ? store()->getCurMicrophoneNameMain() : store()->getCurMicrophoneNameSecond();
        fresh.microphoneIndex = _getMicrophoneIndexFromName(fresh.microphoneName);
        fresh.microphoneVolume = main ? store()->getCurMicrophoneVolumnMain() : store()->getCurMicrophoneVolumnSecond();
        fresh.videoEncoder = main ? store()->getEncoderMain() : store()->getEncoderSecond();
        fresh.bitrateValue = store()->getBitrateValue(camera);
        fresh.bitrateType = store()->getBitrateType(camera);
        fresh.quantizationParameter = store()->getQuantizationParameter(camera);
        fresh.profile = store()->getProfile(camera);
        fresh.preset = store()->getPresetMode(camera);

        _MFCC_Record_InfoS& kept = m_cameras[camera].recordInfo;
        if (!kept.filename.isEmpty() && sameRecordFields(kept, fresh)) {
            continue;
        }
        if (kept.filename.isEmpty()) {
            kept.filename = store()->getNextVideoName(camera);
        }
        const QString filename = kept.filename;
        kept = fresh;
        kept.filename = filename;
        pipeline()->setCameraRecordInfo(camera, kept);
    }
}

// ---- recording ----

int PaxObject::_chooseRecordSolution(_PaxCameraIndexE camera)
{
    const QList<_SolutionS> list = cameraInfo()->getCameraSolutionList1(camera);
    const int stored = store()->getRecordSolutionIndex(camera);
    int chosen = -1;
    for (const _SolutionS& s : list) {
        if (stored != -1 ? s.index == stored : (s.width == 1920 && s.height == 1080)) {
            chosen = s.index;
            break;
        }
    }
    if (chosen == -1) {
        chosen = list.isEmpty() ? -1 : 0;
    }
    return chosen;
}

void PaxObject::slotRecord(int type, int status)
{
    if (type != PaxCameraIndexMain && type != PaxCameraIndexSecond) {
        PAX_LOG_ERROR("no such camera[%d]", type);
        return;
    }
    const _PaxCameraIndexE camera = _PaxCameraIndexE(type);
    Camera& c = m_cameras[camera];
    const _MFCC_Record_StatusE next = recordStatusOfAction(status);

    if (c.recordStatus != MFCC_Record_Stopped || next == MFCC_Record_Stopped) {
        if (next == c.recordStatus) {
            return;
        }
        c.recordStatus = next;
        pipeline()->changeCameraRecordStatus(camera, next);
        return;
    }

    const int index = _chooseRecordSolution(camera);
    if (index != -1 && index != cameraInfo()->getCameraCurSolutionIndex(camera)) {
        cameraInfo()->switchCameraSolution(camera, index);
        _setCameraInfoToFfmpegCamera();
        store()->cameraInfoUpdate();
    }
    c.recordInfo.filename.clear();
    _setCameraRecordInfoToFfmpegCamera();
    c.recordStatus = next;
    pipeline()->changeCameraRecordStatus(camera, next);
}

void PaxObject::_recordStatusReported(_PaxCameraIndexE camera, _MFCC_Record_StatusE status)
{
    m_cameras[camera].recordStatus = status;
    _callbackRecordInfoToUp(camera);
}

void PaxObject::_recordSecondsReported(_PaxCameraIndexE camera, int seconds)
{
    m_cameras[camera].recordSeconds = seconds;
    _callbackRecordInfoToUp(camera);
}

void PaxObject::slotRecordStatusChangeForMain(_MFCC_Record_StatusE status)
{
    _recordStatusReported(PaxCameraIndexMain, status);
}

void PaxObject::slotRecordStatusChangeForSecond(_MFCC_Record_StatusE status)
{
    _recordStatusReported(PaxCameraIndexSecond, status);
}

void PaxObject::slotRecordTimeChangeForMain(int second)
{
    _recordSecondsReported(PaxCameraIndexMain, second);
}

void PaxObject::slotRecordTimeChangeForSecond(int second)
{
    _recordSecondsReported(PaxCameraIndexSecond, second);
}

void PaxObject::_callbackRecordInfoToUp(_PaxCameraIndexE camera)
{
    _PaxRecordInfoS info;
    info.status = recordStateOf(m_cameras[camera].recordStatus);
    info.fileName = m_cameras[camera].recordInfo.filename;
    info.seconds = m_cameras[camera].recordSeconds;
    info.rect = QRect();
    if (m_cameras[camera].recordStatus == MFCC_Record_Stopped)
        info.writeError = pipeline()->output(camera)->writeError();
    if (camera == PaxCameraIndexMain) {
        store()->setRecordInfoMain(info);
    } else {
        store()->setRecordInfoSecond(info);
    }
}

// ---- grabs ----

void PaxObject::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timeGrabTimerId || !_workModeValid()) {
        return;
    }
    (store()->*PAX_OBJECT_TWINS(grab)[m_workMode])();
}

void PaxObject::slotGrabDoc()
{
    store()->grab();
}

void PaxObject::slotLunkuo(LunkuoS lunkuo)
{
    m_pass.setLunkuo(lunkuo);
}

// ---- frames ----

void PaxObject::_ioctlImage(QImage& image)
{
    m_pass.process(image);
}

void PaxObject::slotIoctlImageMain(const QImage& image)
{
    QImage frame = image;
    _ioctlImage(frame);
    emit sigGetOneFrameForOutside_mainCamera(QPixmap::fromImage(frame));
}

void PaxObject::slotIoctlImageSecond(const QImage& image)
{
    emit sigGetOneFrameForOutside_secondCamera(QPixmap::fromImage(image));
}

void PaxObject::_freeRawFrame(_Ffmpeg_Video_Frame_OutS& frame)
{
    av_frame_free(&frame.frame);
    av_freep(&frame.buffer);
    frame.pixelFormat = -1;
}

void PaxObject::slotIoctlFrameMain(_Ffmpeg_Video_Frame_OutS frame)
{
    {
        QMutexLocker lock(&m_rawMutex);
        _freeRawFrame(m_rawFrame);
        m_rawFrame = frame;
    }
    emit sigNewFrameForMain();
}

void PaxObject::slotNewFrameForMain()
{
    _Ffmpeg_Video_Frame_OutS taken;
    {
        QMutexLocker lock(&m_rawMutex);
        taken = m_rawFrame;
        m_rawFrame = _Ffmpeg_Video_Frame_OutS();
    }
    if (!taken.frame) {
        _freeRawFrame(taken);
        return;
    }
    const AVFrame* f = taken.frame;
    if (!m_raw) {
        m_raw = std::make_unique<RawConverter>();
    }
    QImage image;
    if (f->width > 0 && f->height > 0 && m_raw->prepare(f->width, f->height, f->format)) {
        sws_scale(m_raw->sws, f->data, f->linesize, 0, f->height, m_raw->i420->data, m_raw->i420->linesize);
        image = QImage(f->width, f->height, QImage::Format_RGB888);
        if (!image.isNull()) {
            const AVFrame* y = m_raw->i420;
            libyuv::I420ToRAW(y->data[0], y->linesize[0], y->data[1], y->linesize[1], y->data[2], y->linesize[2],
                              image.bits(), int(image.bytesPerLine()), f->width, f->height);
        }
    }
    _freeRawFrame(taken);
    if (image.isNull()) {
        return;
    }
    _ioctlImage(image);
    emit sigGetOneFrameForOutside_mainCamera(QPixmap::fromImage(image));
}
