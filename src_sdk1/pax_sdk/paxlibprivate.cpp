#include "paxlibprivate.h"

#include "macuvcclient.h"
#include "myffmpegcameracontrol.h"
#include "paxintool.h"
#include "paxmacos.h"
#include "paxcommonlib.h"
#include "paxcustom1lib.h"
#include "paxobject.h"
#include "paxqtlib.h"
#include "paxthread.h"
#include "paxuvccontrol.h"

#include <QPainter>
#include <QPrinter>

#include <atomic>

const char* const kPaxHardwareEncoder = "h264_videotoolbox";
const char* const kPaxSoftwareEncoder = "libx264";

namespace {

// Facades alive in the process: the last one to go releases the shared store and camera model.
std::atomic<int> s_facades{0};

// Handle windows of the manual trim: 10 pixels before the anchor, 15 past it.
bool nearAnchor(const QPoint& p, int ax, int ay)
{
    return ax - 10 <= p.x() && p.x() <= ax + 15 && ay - 10 <= p.y() && p.y() <= ay + 15;
}

// Mouse points of the manual trim are kept within +-2^28, so the sums and differences of two
// or three of them (handle positions, widths, moves) stay far inside int.
constexpr int kTrimPointLimit = 1 << 28;

QPoint boundedTrimPoint(QPoint point)
{
    return QPoint(qBound(-kTrimPointLimit, point.x(), kTrimPointLimit),
                  qBound(-kTrimPointLimit, point.y(), kTrimPointLimit));
}

} // namespace

// ---- life cycle ----

PaxLibPrivate::PaxLibPrivate(PaxQtLib* owner, QObject* parent) : QThread(parent), m_qtLib(owner)
{
    m_mainCameraCurrent = true;
    _construct();
}

PaxLibPrivate::PaxLibPrivate(PaxCustom1Lib* owner, QObject* parent) : QThread(parent), m_custom1Lib(owner)
{
    _construct();
}

PaxLibPrivate::PaxLibPrivate(PaxCommonLib* owner, QObject* parent) : QThread(parent), m_commonLib(owner)
{
    _construct();
}

void PaxLibPrivate::_construct()
{
    ++s_facades;
    qRegisterMetaType<PaxDataChangeNotifyE>("PaxDataChangeNotifyE");
    qRegisterMetaType<_PaxDataChangeNotifyE>("_PaxDataChangeNotifyE");
    qRegisterMetaType<_PaxChangeNotifyE>("PaxChangeNotifyE");
    qRegisterMetaType<_PaxChangeNotifyE>("_PaxChangeNotifyE");
    // The pipeline the worker builds probes the encoders and opens FFmpeg's inputs; the encoders
    // are probed and the input devices loaded meanwhile.
    MyFfmpegCameraControl::probeEncodersAhead();
    MyFfmpegCameraControl::loadInputDevicesAhead();
    PaxCameraInfo::getInstance();
    PaxData::getInstance();
    if (m_qtLib) {
        // Blocks (at least a second, running this thread's events) until the font is loaded.
        PaxData::getInstance()->setFontFamily(PaxThread::getFontFamily());
    }
    connect(PaxData::getInstance(), &PaxData::sigDataChange, this, &PaxLibPrivate::slotDataChange,
            Qt::QueuedConnection);
    start(QThread::InheritPriority);
    if (m_qtLib && isAvailableMacos13()) {
        MacUvcClient::getInstance()->moveToThread(this);
    }
}

PaxLibPrivate::~PaxLibPrivate()
{
    quit();
    wait();
    if (!isAvailableMacos13()) {
        PaxUvcControl::releaseInstance();
    }
    delete m_pdfPainter;
    m_pdfPainter = nullptr;
    delete m_pdfPrinter;
    m_pdfPrinter = nullptr;
    _freeTrimRects();
    delete m_pressPoint;
    m_pressPoint = nullptr;
    delete m_lastMovePoint;
    m_lastMovePoint = nullptr;
    if (--s_facades == 0) {
        PaxCameraInfo::releaseInstance();
        PaxData::releaseInstance();
    }
}

void PaxLibPrivate::run()
{
    PaxObject object;
    connect(&object, &PaxObject::sigGetOneFrameForOutside_mainCamera, this,
            [this](const QPixmap& frame) { _frameArrived(PaxCameraIndexMain, frame); }, Qt::DirectConnection);
    connect(&object, &PaxObject::sigGetOneFrameForOutside_secondCamera, this,
            [this](const QPixmap& frame) { _frameArrived(PaxCameraIndexSecond, frame); }, Qt::DirectConnection);
    connect(&object, &PaxObject::sigContentChange, this, &PaxLibPrivate::slotContentChange, Qt::QueuedConnection);
    connect(&object, &PaxObject::sigGrab, this, &PaxLibPrivate::slotGrab, Qt::QueuedConnection);
    if (m_qtLib) {
        connect(&object, &PaxObject::sigCaptue, m_qtLib, &PaxQtLib::sigCapture, Qt::QueuedConnection);
        connect(&object, &PaxObject::sigBacklight, m_qtLib, &PaxQtLib::sigBacklight, Qt::QueuedConnection);
        connect(&object, &PaxObject::sigInitComplete, m_qtLib, &PaxQtLib::sigInitComplete, Qt::QueuedConnection);
    }
    connect(this, &PaxLibPrivate::sigRecord, &object, &PaxObject::slotRecord, Qt::QueuedConnection);
    exec();
}

// ---- relays ----

void PaxLibPrivate::_frameArrived(int camera, const QPixmap& frame)
{
    if (m_custom1Lib && camera == PaxCameraIndexMain) {
        const QImage image = frame.toImage();
        QMutexLocker lock(&m_capFrameMutex);
        m_capFrame = image;
    }
    QMutexLocker lock(&m_frameMutex);
    m_pendingFrame[camera] = frame;
    if (m_framePosted[camera]) {
        return;
    }
    m_framePosted[camera] = true;
    QMetaObject::invokeMethod(this, [this, camera] { _deliverFrame(camera); }, Qt::QueuedConnection);
}

void PaxLibPrivate::_deliverFrame(int camera)
{
    QPixmap frame;
    {
        QMutexLocker lock(&m_frameMutex);
        frame.swap(m_pendingFrame[camera]);
        m_framePosted[camera] = false;
    }
    if (frame.isNull()) {
        return;
    }
    if (camera == PaxCameraIndexMain) {
        slotGetOneFrameForOutside_mainCamera(frame);
    } else {
        slotGetOneFrameForOutside_secondCamera(frame);
    }
}

void PaxLibPrivate::slotGetOneFrameForOutside_mainCamera(const QPixmap& frame)
{
    if (m_qtLib) {
        if (m_mainCameraCurrent) {
            emit m_qtLib->sigGetOneFrame_currentCamera(frame);
        } else {
            emit m_qtLib->sigGetOneFrame_otherCamera(frame);
        }
    }
    if (m_commonLib && m_frameCallback) {
        std::vector<uint8_t> pixels;
        int width = 0;
        int height = 0;
        paxPackRgb(frame.toImage(), pixels, width, height);
        m_frameCallback(_PaxFrameInfoS{pixels.data(), uint64_t(pixels.size()), width, height});
    }
}

void PaxLibPrivate::slotGetOneFrameForOutside_secondCamera(const QPixmap& frame)
{
    if (!m_qtLib) {
        return;
    }
    if (m_mainCameraCurrent) {
        emit m_qtLib->sigGetOneFrame_otherCamera(frame);
    } else {
        emit m_qtLib->sigGetOneFrame_currentCamera(frame);
    }
}

void PaxLibPrivate::getCapFrame(QPixmap** out)
{
    QImage image;
    *out = getCapImage(image) ? new QPixmap(QPixmap::fromImage(image)) : nullptr;
}

bool PaxLibPrivate::getCapImage(QImage& out)
{
    QMutexLocker lock(&m_capFrameMutex);
    if (m_capFrame.isNull()) {
        return false;
    }
    // The kept frame is only ever replaced, never changed: sharing it is a copy.
    out = m_capFrame;
    return true;
}

void PaxLibPrivate::slotContentChange(_PaxChangeNotifyE notify)
{
    if (m_qtLib) {
        if (notify == PaxChangeDeviceFound || notify == PaxChangeDeviceMissing) {
            m_deviceSearchComplete = true;
        }
        emit m_qtLib->sigContentChange(notify);
    }
    if (m_commonLib && m_changeCallback) {
        m_changeCallback(notify);
    }
    if (m_custom1Lib && (notify == PaxChangeDeviceFound || notify == PaxChangeDeviceMissing)) {
        m_custom1Lib->setDeviceSearchComplete();
    }
}

void PaxLibPrivate::slotGrab(QString file)
{
    if (m_qtLib) {
        emit m_qtLib->sigGrab(file);
    }
    if (m_commonLib && m_grabCallback) {
        _PaxBufS name;
        paxStringToBuf(file, name);
        m_grabCallback(name);
    }
}

void PaxLibPrivate::slotDataChange(_PaxDataChangeNotifyE notify)
{
    switch (notify) {
    case PaxNotifyManuTrimRect: {
        QRect rect;
        if (!_storeTrimRect(rect)) {
            _freeTrimRects();
        }
        return;
    }
    case PaxNotifyWorkMode: {
        QRect rect;
        const bool present = _storeTrimRect(rect);
        _freeTrimRects();
        if (present) {
            m_trimCommitted = new QRect(rect);
            m_trimWorking = new QRect(rect);
        }
        return;
    }
    default:
        break;
    }
    if (!m_qtLib) {
        return;
    }
    switch (notify) {
    case PaxNotifyNextPicName:
        emit m_qtLib->sigContentChange(PaxChangePictureGrabbed);
        break;
    case PaxNotifyRecordInfoMain:
        emit m_qtLib->sigContentChange(PaxChangeRecordInfoMain);
        break;
    case PaxNotifyRecordInfoSecond:
        emit m_qtLib->sigContentChange(PaxChangeRecordInfoSecond);
        break;
    case PaxNotifyReserved18:
        emit m_qtLib->sigContentChange(PaxChangeRelayed);
        break;
    case PaxNotifyCameraStatus:
        emit m_qtLib->sigContentChange(PaxChangeCameraStatus);
        break;
    case PaxNotifyCameraInfo:
        emit m_qtLib->sigContentChange(PaxChangeCameraInfo);
        break;
    default:
        break;
    }
}

// ---- cameras ----

bool PaxLibPrivate::isCameraInvalid(_PaxCameraIndexE camera)
{
    if (camera > PaxCameraIndexSecond) {
        return false;
    }
    return !paxLibCameras()->isValidCamera(camera);
}

QString PaxLibPrivate::getCameraName(_PaxCameraIndexE camera)
{
    return paxLibCameras()->getCameraInfo(camera).cameraName;
}

bool PaxLibPrivate::hasSecondCamera()
{
    return !paxLibCameras()->getCameraInfo(PaxCameraIndexSecond).deviceNameInMac.isEmpty();
}

void PaxLibPrivate::switchCamera(_PaxCameraIndexE camera, bool refresh)
{
    if (camera > PaxCameraIndexSecond || paxLibCameras()->getCameraInfo(camera).deviceNameInMac.isEmpty() ||
        camera == paxLibStore()->getCurrentCameraIndex()) {
        return;
    }
    paxLibStore()->setCurrentCameraIndex(camera);
    paxLibStore()->setCurCameraStatus(QStringLiteral("1"));
    paxLibStore()->setOtherCameraStatus(QStringLiteral("1"));
    if (refresh) {
        paxLibStore()->cameraInfoUpdate();
    }
    m_mainCameraCurrent = paxLibStore()->getCurrentCameraIndex() == PaxCameraIndexMain;
}

void PaxLibPrivate::switchCamera(bool refresh)
{
    if (!hasSecondCamera()) {
        return;
    }
    paxLibStore()->setCurrentCameraIndex(paxLibStore()->getOtherCameraIndex());
    if (refresh) {
        paxLibStore()->cameraInfoUpdate();
    }
    m_mainCameraCurrent = paxLibStore()->getCurrentCameraIndex() == PaxCameraIndexMain;
}

void PaxLibPrivate::switchSolution(int index, bool refresh)
{
    switchSolution(paxLibStore()->getCurrentCameraIndex(), index, refresh);
}

void PaxLibPrivate::switchSolution(_PaxCameraIndexE camera, int index, bool refresh)
{
    paxLibCameras()->switchCameraSolution(camera, index);
    if (refresh) {
        paxLibStore()->cameraInfoUpdate();
    }
}

void PaxLibPrivate::switchSolution(int width, int height, bool refresh)
{
    paxLibCameras()->switchCameraSolution(paxLibStore()->getCurrentCameraIndex(), width, height);
    if (refresh) {
        paxLibStore()->cameraInfoUpdate();
    }
}

int PaxLibPrivate::getCameraStatus(_PaxCameraIndexE camera)
{
    const QString status = camera == paxLibStore()->getCurrentCameraIndex() ? paxLibStore()->getCurCameraStatus()
                                                                           : paxLibStore()->getOtherCameraStatus();
    if (status == QLatin1String("0")) {
        return 1;
    }
    if (status == QLatin1String("1")) {
        return 0;
    }
    return 2;
}

void PaxLibPrivate::openCurCamera()
{
    paxLibStore()->setCurCameraStatus(QStringLiteral("1"));
}

void PaxLibPrivate::closeCurCamera()
{
    paxLibStore()->setCurCameraStatus(QStringLiteral("0"));
}

void PaxLibPrivate::openOtherCamera()
{
    paxLibStore()->setOtherCameraStatus(QStringLiteral("1"));
}

void PaxLibPrivate::closeOtherCamera()
{
    paxLibStore()->setOtherCameraStatus(QStringLiteral("0"));
}

bool PaxLibPrivate::_pauseOrResumeStatus(bool current)
{
    PaxData* d = paxLibStore();
    const QString status = current ? d->getCurCameraStatus() : d->getOtherCameraStatus();
    if (status == QLatin1String("1")) {
        current ? d->setCurCameraStatus(QStringLiteral("2")) : d->setOtherCameraStatus(QStringLiteral("2"));
        return true;
    }
    if (status == QLatin1String("2")) {
        current ? d->setCurCameraStatus(QStringLiteral("1")) : d->setOtherCameraStatus(QStringLiteral("1"));
    }
    return false;
}

bool PaxLibPrivate::pauseOrResumeCurCamera()
{
    return _pauseOrResumeStatus(true);
}

bool PaxLibPrivate::pauseOrResumeOtherCamera()
{
    return _pauseOrResumeStatus(false);
}

bool PaxLibPrivate::isOpenCurCamera()
{
    return paxLibStore()->getCurCameraStatus() == QLatin1String("1");
}

bool PaxLibPrivate::isOpenOtherCamera()
{
    return paxLibStore()->getOtherCameraStatus() == QLatin1String("1");
}

void PaxLibPrivate::setScanQrcode(bool on)
{
    paxLibStore()->setScanQrcode(on, QString(), false);
}

QStringList PaxLibPrivate::getMicrophoneList()
{
    QStringList names;
    for (const PaxCameraInfo::_MicrophoneS& m : paxLibCameras()->getMicrophoneList()) {
        names.append(m.name);
    }
    return names;
}

// ---- recording ----

bool PaxLibPrivate::_hardwareEncoder(_PaxCameraIndexE camera, bool& available)
{
    available = paxLibStore()->getEncoderList().contains(QLatin1String(kPaxHardwareEncoder));
    const QString current =
        camera == PaxCameraIndexMain ? paxLibStore()->getEncoderMain() : paxLibStore()->getEncoderSecond();
    return current == QLatin1String(kPaxHardwareEncoder);
}

bool PaxLibPrivate::_setHardwareEncoder(_PaxCameraIndexE camera, bool hardware)
{
    const QString name = QLatin1String(hardware ? kPaxHardwareEncoder : kPaxSoftwareEncoder);
    if (camera == PaxCameraIndexMain) {
        paxLibStore()->setEncoderMain(name);
        return paxLibStore()->getEncoderMain() == name;
    }
    paxLibStore()->setEncoderSecond(name);
    return paxLibStore()->getEncoderSecond() == name;
}

bool PaxLibPrivate::getIsHardwareEncoderMain(bool& available)
{
    return _hardwareEncoder(PaxCameraIndexMain, available);
}

bool PaxLibPrivate::getIsHardwareEncoderSecond(bool& available)
{
    return _hardwareEncoder(PaxCameraIndexSecond, available);
}

bool PaxLibPrivate::setIsHardwareEncoderMain(bool hardware)
{
    return _setHardwareEncoder(PaxCameraIndexMain, hardware);
}

bool PaxLibPrivate::setIsHardwareEncoderSecond(bool hardware)
{
    return _setHardwareEncoder(PaxCameraIndexSecond, hardware);
}

int PaxLibPrivate::_recordSolutionIndex(_PaxCameraIndexE camera)
{
    const QList<_SolutionS> list = paxLibCameras()->getCameraSolutionList1(camera);
    const int stored = paxLibStore()->getRecordSolutionIndex(camera);
    for (const _SolutionS& s : list) {
        if (stored != -1 && s.index == stored) {
            return stored;
        }
    }
    if (stored == -1) {
        for (const _SolutionS& s : list) {
            if (s.width == 1920 && s.height == 1080) {
                if (s.index != -1) {
                    return s.index;
                }
                break;
            }
        }
    }
    return list.isEmpty() ? -1 : 0;
}

void PaxLibPrivate::_setRecordSolutionIndex(_PaxCameraIndexE camera, int index)
{
    for (const _SolutionS& s : paxLibCameras()->getCameraSolutionList1(camera)) {
        if (s.index == index) {
            paxLibStore()->setRecordSolutionIndex(camera, index);
            return;
        }
    }
}

bool PaxLibPrivate::_pauseOrResume(_PaxCameraIndexE camera)
{
    const _PaxRecordInfoS info =
        camera == PaxCameraIndexMain ? paxLibStore()->getRecordInfoMain() : paxLibStore()->getRecordInfoSecond();
    if (info.status == 2) {
        emit sigRecord(camera, RecordResume);
        return false;
    }
    if (info.status == 1) {
        emit sigRecord(camera, RecordPause);
        return true;
    }
    return false;
}

// ---- grabs and PDF ----

void PaxLibPrivate::grab(QString file)
{
    paxLibStore()->setTmpPicName(file);
    paxLibStore()->grab();
}

void PaxLibPrivate::grab(bool autoTrim, QString file)
{
    paxLibStore()->setTmpPicName(file);
    paxLibStore()->setPhotoAutoTrim(autoTrim);
    paxLibStore()->grab();
}

void PaxLibPrivate::initPdf(QString file)
{
    delete m_pdfPainter;
    m_pdfPainter = nullptr;
    delete m_pdfPrinter;
    m_pdfPrinter = nullptr;
    m_pdfPages = 0;
    if (file.isEmpty() || !file.endsWith(QLatin1String(".pdf"))) {
        return;
    }
    m_pdfPrinter = new QPrinter(QPrinter::ScreenResolution);
    m_pdfPrinter->setOutputFormat(QPrinter::PdfFormat);
    m_pdfPrinter->setFullPage(true);
    m_pdfPrinter->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    m_pdfPrinter->setResolution(72);
    m_pdfPrinter->setOutputFileName(file);
    m_pdfPainter = new QPainter();
}

void PaxLibPrivate::addPic(QString picture)
{
    if (!m_pdfPainter || !m_pdfPrinter) {
        return;
    }
    const QPixmap pixmap(picture);
    if (pixmap.isNull()) {
        PAX_LOG_ERROR("picture not added to the PDF, cannot load[%s]", qPrintable(picture));
        return;
    }
    const QPageSize size(QSizeF(pixmap.width(), pixmap.height()), QPageSize::Point, QString(), QPageSize::ExactMatch);
    m_pdfPrinter->setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    if (m_pdfPages == 0) {
        if (!m_pdfPainter->begin(m_pdfPrinter)) {
            PAX_LOG_ERROR("cannot write the PDF[%s]", qPrintable(m_pdfPrinter->outputFileName()));
            return;
        }
    } else {
        m_pdfPrinter->newPage();
    }
    m_pdfPainter->drawPixmap(0, 0, pixmap);
    ++m_pdfPages;
}

void PaxLibPrivate::closePdf()
{
    if (m_pdfPainter) {
        if (m_pdfPrinter && m_pdfPainter->isActive()) {
            m_pdfPainter->end();
        }
        delete m_pdfPainter;
        m_pdfPainter = nullptr;
    }
    delete m_pdfPrinter;
    m_pdfPrinter = nullptr;
    m_pdfPages = 0;
}

// ---- manual trim by mouse ----

bool PaxLibPrivate::_storeTrimRect(QRect& rect)
{
    switch (paxLibStore()->getCurrentWorkMode()) {
    case PaxWorkModeCommon:
        return paxLibStore()->getManuTrimRect(rect);
#define PAX_LIB_GET_TRIM_CASE(NAME, MODE) \
    case MODE: \
        return paxLibStore()->getManuTrimRectFor##NAME(rect);
        PAX_MODE_PROFILES(PAX_LIB_GET_TRIM_CASE)
    default:
        return false;
    }
}

void PaxLibPrivate::_setManuTrimRectToStore(const QRect& rect)
{
    switch (paxLibStore()->getCurrentWorkMode()) {
    case PaxWorkModeCommon:
        paxLibStore()->setManuTrimRect(rect);
        break;
#define PAX_LIB_SET_TRIM_CASE(NAME, MODE) \
    case MODE: \
        paxLibStore()->setManuTrimRectFor##NAME(rect); \
        break;
        PAX_MODE_PROFILES(PAX_LIB_SET_TRIM_CASE)
    default:
        break;
    }
}

void PaxLibPrivate::_removeStoreTrimRect()
{
    switch (paxLibStore()->getCurrentWorkMode()) {
    case PaxWorkModeCommon:
        paxLibStore()->removeMenuTrimRect();
        break;
#define PAX_LIB_REMOVE_TRIM_CASE(NAME, MODE) \
    case MODE: \
        paxLibStore()->removeMenuTrimRectFor##NAME(); \
        break;
        PAX_MODE_PROFILES(PAX_LIB_REMOVE_TRIM_CASE)
    default:
        break;
    }
}

void PaxLibPrivate::_freeTrimRects()
{
    delete m_trimCommitted;
    m_trimCommitted = nullptr;
    delete m_trimWorking;
    m_trimWorking = nullptr;
}

void PaxLibPrivate::setManuTrimMouseLeftKeyPress(QPoint point)
{
    if (!m_pressPoint) {
        m_pressPoint = new QPoint;
    }
    *m_pressPoint = boundedTrimPoint(point);
    delete m_lastMovePoint;
    m_lastMovePoint = nullptr;
    m_dragState = m_trimCommitted ? 1 : 0;
}

void PaxLibPrivate::setManuTrimMouseLeftKeyMove(QPoint point)
{
    if (!m_pressPoint) {
        return;
    }
    const QPoint m = boundedTrimPoint(point);
    if (!m_lastMovePoint) {
        m_lastMovePoint = new QPoint;
    }
    *m_lastMovePoint = m;
    const QPoint p = *m_pressPoint;

    if (m_dragState == 0) {
        if (!m_trimCommitted) {
            m_trimCommitted = new QRect;
            m_trimWorking = new QRect;
        }
        *m_trimCommitted = QRect(QPoint(p.x(), p.y()), QPoint(m.x(), m.y()));
        *m_trimWorking = *m_trimCommitted;
        _setManuTrimRectToStore(*m_trimWorking);
        return;
    }
    // The rectangle may have gone meanwhile (work mode changed, manual trim switched off).
    if (!m_trimCommitted || !m_trimWorking) {
        return;
    }
    const int L = m_trimCommitted->left();
    const int T = m_trimCommitted->top();
    const int w = m_trimCommitted->width();
    const int h = m_trimCommitted->height();
    if (m_dragState == 1) {
        const int X = L + w;
        const int Y = T + h;
        const int CX = L + w / 2;
        const int CY = T + h / 2;
        const struct {
            int state;
            int ax;
            int ay;
        } handles[] = {{10, L, T}, {11, CX, T}, {12, X, T}, {13, L, CY}, {14, L, Y}, {15, X, CY}, {16, CX, Y}, {17, X, Y}};
        for (const auto& handle : handles) {
            if (nearAnchor(p, handle.ax, handle.ay)) {
                m_dragState = handle.state;
                break;
            }
        }
        if (m_dragState == 1) {
            if (L - 10 < p.x() && p.x() < X - 10 && T - 10 < p.y() && p.y() < Y - 10) {
                m_dragState = 18;
            } else {
                return;
            }
        }
    }
    const int R = L + w - 1;
    const int B = T + h - 1;
    QRect r;
    switch (m_dragState) {
    case 10: r = QRect(m.x(), m.y(), R - m.x(), B - m.y()); break;
    case 11: r = QRect(L, m.y(), w, B - m.y()); break;
    case 12: r = QRect(L, m.y(), m.x() - L, B - m.y()); break;
    case 13: r = QRect(m.x(), T, R - m.x(), h); break;
    case 14: r = QRect(m.x(), T, R - m.x(), m.y() - T); break;
    case 15: r = QRect(L, T, m.x() - L, h); break;
    case 16: r = QRect(L, T, w, m.y() - T); break;
    case 17: r = QRect(L, T, m.x() - L, m.y() - T); break;
    case 18: r = QRect(L + m.x() - p.x(), T + m.y() - p.y(), w, h); break;
    default: return;
    }
    *m_trimWorking = r;
    _setManuTrimRectToStore(r);
}

void PaxLibPrivate::setManuTrimMouseLeftRelease()
{
    if (!m_pressPoint) {
        return;
    }
    if (m_trimCommitted && m_trimWorking) {
        *m_trimCommitted = *m_trimWorking;
    }
    delete m_pressPoint;
    m_pressPoint = nullptr;
    delete m_lastMovePoint;
    m_lastMovePoint = nullptr;
}

void PaxLibPrivate::setManuTrimRemoveRect()
{
    if (!m_trimCommitted) {
        return;
    }
    _freeTrimRects();
    _removeStoreTrimRect();
}
