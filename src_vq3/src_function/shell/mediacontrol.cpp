#include "mediacontrol.h"

#include "mymemory.h"
#include "mytips.h"
#include "oncecommandfromthread.h"
#include "paxintool.h"
#include "paxqtlib.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGraphicsPixmapItem>

MediaControl::MediaControl(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<_PaxChangeNotifyE>("PaxChangeNotifyE");
    qRegisterMetaType<_PaxChangeNotifyE>("_PaxChangeNotifyE");
    _initByWirelessMode();
    PaxQtLib* sdk = PaxQtLib::getInstance();
    connect(sdk, &PaxQtLib::sigContentChange, this, &MediaControl::slotPaxContentChange, Qt::QueuedConnection);
    if (sdk->isDeviceSearchComplete())
        m_cameraStatus = sdk->isCameraInvalid(PaxCameraIndexMain) ? 1 : 0;
}

MediaControl::~MediaControl()
{
    _destroyAll();
}

void MediaControl::_destroyAll()
{
    WirelessDeviceManage::releaseInstance();
    m_captureName.clear();
}

void MediaControl::_initByWirelessMode()
{
    _destroyAll();
    PaxQtLib* sdk = PaxQtLib::getInstance();
    if (m_wirelessMode) {
        WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
        manager->searchDevice();
        m_cameraStatus = manager->getCurDevice() ? 0 : 1;
        return;
    }
    if (m_usbConnected)
        return;    // the SDK's frames are connected once
    m_usbConnected = true;
    connect(sdk, &PaxQtLib::sigGetOneFrame_currentCamera, this, &MediaControl::showImgUsePixmap);
    connect(sdk, &PaxQtLib::sigGetOneFrame_otherCamera, this, &MediaControl::showImgSecondUsePixmap);
    connect(sdk, &PaxQtLib::sigCapture, this, &MediaControl::slotImageCaptured);
}

void MediaControl::switchWirelessMode(bool toggle)
{
    closeCamera();
    if (toggle)
        m_wirelessMode = !m_wirelessMode;
    _initByWirelessMode();
}

void MediaControl::setRender(QGraphicsPixmapItem* item)
{
    closeCamera();
    m_mainSize = QSize(-1, -1);
    m_render = item;
    openCamera();
}

void MediaControl::setRender1(QGraphicsPixmapItem* item)
{
    PaxQtLib::getInstance()->closeOtherCamera();
    m_secondSize = QSize(-1, -1);
    m_render1 = item;
    if (item && m_cameraStatus == 0)
        PaxQtLib::getInstance()->openOtherCamera();
}

void MediaControl::removeThisRender(QGraphicsPixmapItem* item)
{
    if (m_render == item)
        m_render = nullptr;
    if (m_render1 == item)
        m_render1 = nullptr;
}

void MediaControl::openCamera()
{
    m_open = 1;
    if (m_wirelessMode) {
        WirelessDevice* device = WirelessDeviceManage::getInstance()->getCurDevice();
        if (device) {
            connect(device, &WirelessDevice::sigGetOneFrame, this, &MediaControl::showImg, Qt::QueuedConnection);
            device->myPlay();
        }
        return;
    }
    if (m_cameraStatus == 0)
        PaxQtLib::getInstance()->openCurCamera();
}

void MediaControl::closeCamera()
{
    m_open = 0;
    if (!m_wirelessMode) {
        PaxQtLib::getInstance()->closeCurCamera();
        return;
    }
    if (WirelessDevice* device = WirelessDeviceManage::getInstance()->getCurDevice()) {
        device->myStop();
        device->disconnect();
    }
    _showBlack();
}

void MediaControl::openCamera1()
{
    if (m_cameraStatus == 0 && m_render1)
        PaxQtLib::getInstance()->openOtherCamera();
}

void MediaControl::closeCamera1()
{
    PaxQtLib::getInstance()->closeOtherCamera();
}

void MediaControl::switchPreview()
{
    m_mainSize = QSize(-1, -1);
    m_secondSize = QSize(-1, -1);
    PaxQtLib::getInstance()->switchCamera();
}

bool MediaControl::pause()
{
    return PaxQtLib::getInstance()->pauseOrResumeCurCamera();
}

bool MediaControl::hasSecondCamera()
{
    return PaxQtLib::getInstance()->hasSecondCamera();
}

void MediaControl::forceRefresh()
{
    m_mainSize.setWidth(-1);
}

void MediaControl::showImgUsePixmap(const QPixmap& pixmap)
{
    if (!m_render || m_open != 1)
        return;
    m_render->setPixmap(pixmap);
    if (pixmap.size() != m_mainSize) {
        m_mainSize = pixmap.size();
        PAX_LOG_DEBUG("MediaControl::showImgUsePixmap, video solution changed, width[%d] height[%d]",
                      m_mainSize.width(), m_mainSize.height());
        emit sig_solutionChange();
    }
}

void MediaControl::showImgSecondUsePixmap(const QPixmap& pixmap)
{
    if (!m_render1)
        return;
    m_render1->setPixmap(pixmap);
    if (pixmap.size() != m_secondSize) {
        m_secondSize = pixmap.size();
        PAX_LOG_DEBUG("MediaControl::showImgSecondUsePixmap, video solution changed, width[%d] height[%d]",
                      m_secondSize.width(), m_secondSize.height());
        emit sig_solutionChangeSecond(m_secondSize.width(), m_secondSize.height());
    }
}

void MediaControl::showImgSecond(const QImage& image)
{
    if (!m_render1)
        return;
    m_render1->setPixmap(QPixmap::fromImage(image));
    if (image.size() != m_secondSize) {
        m_secondSize = image.size();
        PAX_LOG_DEBUG("MediaControl::showImgSecond, video solution changed, width[%d] height[%d]",
                      m_secondSize.width(), m_secondSize.height());
        emit sig_solutionChangeSecond(m_secondSize.width(), m_secondSize.height());
    }
}

void MediaControl::showImg(const QImage& image)
{
    if (!m_render || m_open != 1)
        return;
    m_render->setPixmap(QPixmap::fromImage(image));
    if (image.size() != m_mainSize) {
        m_mainSize = image.size();
        PAX_LOG_DEBUG("MediaControl::showImg, video solution changed, width[%d] height[%d]", m_mainSize.width(),
                      m_mainSize.height());
        emit sig_solutionChange();
    }
}

void MediaControl::_showBlack()
{
    if (!m_render || m_mainSize.width() < 1 || m_mainSize.height() < 1)
        return;
    QPixmap black(m_mainSize);
    black.fill(Qt::black);
    m_render->setPixmap(black);
    QCoreApplication::processEvents();
}

void MediaControl::slotPaxContentChange(_PaxChangeNotifyE notify)
{
    if (notify == PaxChangeDeviceMissing) {
        m_cameraStatus = 1;
        PAX_LOG_DEBUG("closeCamera from check device");
        closeCamera();
        PAX_LOG_DEBUG("closeCamera1 from check device");
        PaxQtLib::getInstance()->closeOtherCamera();
    } else if (notify == PaxChangeDeviceFound) {
        m_cameraStatus = 0;
        openCamera();
        if (m_cameraStatus == 0 && m_render1)
            PaxQtLib::getInstance()->openOtherCamera();
    }
}

void MediaControl::capture()
{
    if (MyMemory::getInstance()->getConfigGrabTipAudio())
        OnceCommandFromThread::playGrabTipAudio();
    slotImageCaptured(QImage());
}

// Saves in the configured format; when that fails, as JPEG beside it (only the file's suffix is
// replaced). False when neither save worked.
bool MediaControl::_saveShot(const QImage& image, const QString& name)
{
    const QString format = MyMemory::getInstance()->getConfigPictureFormatSuffix();
    if (!image.isNull() && image.save(name, format.toLatin1().constData()))
        return true;
    const QString fallback = MyMemory::replaceFileSuffix(name, "jpg");
    return !image.isNull() && image.save(fallback, "jpg");
}

void MediaControl::slotImageCaptured(const QImage&)
{
    if (!m_render)
        return;
    const QImage image = m_render->pixmap().toImage();
    if (m_captureName.isEmpty())
        return;
    const QString name = m_captureName;
    m_captureName.clear();
    if (!_saveShot(image, name)) {
        PAX_LOG_ERROR("shot not saved: %s", qPrintable(name));
        myErrorTip(tr("Save picture failed!"));
        return;
    }
    emit imageCaptured(image);
}

void MediaControl::capture_otherCamera(QString name)
{
    if (!m_render1)
        return;
    if (MyMemory::getInstance()->getConfigGrabTipAudio())
        OnceCommandFromThread::playGrabTipAudio();
    const QImage image = m_render1->pixmap().toImage();
    if (!_saveShot(image, name)) {
        PAX_LOG_ERROR("shot not saved: %s", qPrintable(name));
        myErrorTip(tr("Save picture failed!"));
        return;
    }
    emit imageCaptured(image);
}

QString MediaControl::getOcrPicFilename()
{
    if (!m_render || m_render->pixmap().isNull())
        return {};
    const QString name = getTempFilename();
    if (name.isEmpty())
        return {};
    const QString picture = name + ".jpg";
    return m_render->pixmap().toImage().save(picture, "jpg") ? picture : QString();
}

QStringList MediaControl::getSolutionList()
{
    QStringList list;
    if (m_wirelessMode) {
        if (WirelessDevice* device = WirelessDeviceManage::getInstance()->getCurDevice())
            list = device->getCameraSolutionList();
        return list;
    }
    const QList<_SolutionS> solutions = PaxQtLib::getInstance()->getSolutionList();
    for (int i = 0; i < solutions.size(); ++i)
        list << QString("%1:%2x%3").arg(i).arg(solutions.at(i).width).arg(solutions.at(i).height);
    return list;
}

void MediaControl::switchSolution(int index)
{
    if (!m_wirelessMode) {
        PaxQtLib::getInstance()->switchSolution(index);
        openCamera();
    } else if (WirelessDevice* device = WirelessDeviceManage::getInstance()->getCurDevice()) {
        closeCamera();
        device->switchCameraSolution(index);
        openCamera();
    }
    MyMemory::getInstance()->setConfigGaoOption(index);
}

int MediaControl::getSolutionIndex()
{
    if (m_wirelessMode)
        return MyMemory::getInstance()->getConfigGaoOption();
    return PaxQtLib::getInstance()->getSolutionIndex();
}
