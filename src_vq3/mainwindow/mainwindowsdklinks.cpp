#include "mainwindowsdklinks.h"

#include "configdialog.h"
#include "dialogservices.h"
#include "macuvcclient.h"
#include "mediacontrol.h"
#include "paxmacos.h"
#include "paxqtlib.h"
#include "previewdialog.h"
#include "shelllinks.h"
#include "videoset.h"

#include <QPointer>

namespace
{
// What the picture-in-picture window asks of the window's media bridge.
class PipMediaBridge : public DialogMediaControl
{
public:
    explicit PipMediaBridge(MediaControl* media)
        : m_media(media)
    {
        connect(media, &MediaControl::sig_solutionChangeSecond, this, &DialogMediaControl::sig_solutionChangeSecond);
        connect(media, &MediaControl::imageCaptured, this, &DialogMediaControl::imageCaptured);
    }
    MediaControl* media() const override { return m_media; }
    void switchPreview() override
    {
        if (m_media)
            m_media->switchPreview();
    }
    void capture_otherCamera(const QString& name) override
    {
        if (m_media)
            m_media->capture_otherCamera(name);
    }
    void closeCamera1() override
    {
        if (m_media)
            m_media->closeCamera1();
    }

private:
    QPointer<MediaControl> m_media;   // the window's bridge may go first
};

ShellMainMediaLink g_media;
ShellMainCameraLink g_camera;
ShellMainDialogLink g_dialogs;
}

MediaControl* ShellMainMediaLink::create(QObject* parent) { return new MediaControl(parent); }
void ShellMainMediaLink::destroy(MediaControl* media) { delete media; }
QObject* ShellMainMediaLink::object(MediaControl* media) { return media; }
int ShellMainMediaLink::getCameraStatus(MediaControl* media) { return media ? media->getCameraStatus() : 1; }
bool ShellMainMediaLink::isWirelessMode(MediaControl* media) { return media && media->isWirelessMode(); }
void ShellMainMediaLink::switchWirelessMode(MediaControl* media, bool toggle)
{
    if (media)
        media->switchWirelessMode(toggle);
}
QStringList ShellMainMediaLink::getSolutionList(MediaControl* media) { return media ? media->getSolutionList() : QStringList(); }
int ShellMainMediaLink::getSolutionIndex(MediaControl* media) { return media ? media->getSolutionIndex() : -1; }
void ShellMainMediaLink::switchSolution(MediaControl* media, int index)
{
    if (media)
        media->switchSolution(index);
}
bool ShellMainMediaLink::hasSecondCamera(MediaControl* media) { return media && media->hasSecondCamera(); }
void ShellMainMediaLink::setCaptureName(MediaControl* media, const QString& name)
{
    if (media)
        media->setCaptureName(name);
}
void ShellMainMediaLink::setAngle(MediaControl* media, int angle)
{
    if (media)
        media->setAngle(angle);
}
void ShellMainMediaLink::capture(MediaControl* media)
{
    if (media)
        media->capture();
}
bool ShellMainMediaLink::pause(MediaControl* media) { return media && media->pause(); }
void ShellMainMediaLink::forceRefresh(MediaControl* media)
{
    if (media)
        media->forceRefresh();
}
QString ShellMainMediaLink::getOcrPicFilename(MediaControl* media) { return media ? media->getOcrPicFilename() : QString(); }

QObject* ShellMainCameraLink::object() { return PaxQtLib::getInstance(); }
_PaxRecordInfoS ShellMainCameraLink::getRecordInfoMain() { return PaxQtLib::getInstance()->getRecordInfoMain(); }
_PaxRecordInfoS ShellMainCameraLink::getRecordInfoSecond() { return PaxQtLib::getInstance()->getRecordInfoSecond(); }
void ShellMainCameraLink::startRecordMain() { PaxQtLib::getInstance()->startRecordMain(); }
void ShellMainCameraLink::stopRecordMain() { PaxQtLib::getInstance()->stopRecordMain(); }
void ShellMainCameraLink::startRecordSecond() { PaxQtLib::getInstance()->startRecordSecond(); }
void ShellMainCameraLink::stopRecordSecond() { PaxQtLib::getInstance()->stopRecordSecond(); }
bool ShellMainCameraLink::pauseOrResumeMain() { return PaxQtLib::getInstance()->pauseOrResumeMain(); }
bool ShellMainCameraLink::pauseOrResumeSecond() { return PaxQtLib::getInstance()->pauseOrResumeSecond(); }
bool ShellMainCameraLink::isOpenCurCamera() { return PaxQtLib::getInstance()->isOpenCurCamera(); }
bool ShellMainCameraLink::isCameraInvalid(_PaxCameraIndexE camera) { return PaxQtLib::getInstance()->isCameraInvalid(camera); }
void ShellMainCameraLink::openCurCamera() { PaxQtLib::getInstance()->openCurCamera(); }
void ShellMainCameraLink::closeCurCamera() { PaxQtLib::getInstance()->closeCurCamera(); }
void ShellMainCameraLink::closeOtherCamera() { PaxQtLib::getInstance()->closeOtherCamera(); }
void ShellMainCameraLink::checkUvcInit() { PaxQtLib::getInstance()->checkUvcInit(); }
void ShellMainCameraLink::setUvcControl(bool on) { PaxQtLib::getInstance()->setUvcControl(on); }
void ShellMainCameraLink::releaseInstance()
{
    removeShellLinks();
    PaxQtLib::releaseInstance();
}
bool ShellMainCameraLink::isServicePath() { return isAvailableMacos13(); }
int ShellMainCameraLink::switchWorkMode(int mode) { return MacUvcClient::getInstance()->switchWorkMode(mode); }
bool ShellMainCameraLink::isRelease() { return MacUvcClient::getInstance()->isRelease(); }
void ShellMainCameraLink::releaseServiceClient() { MacUvcClient::releaseInstance(); }

void ShellMainDialogLink::runConfigDialog(bool wirelessMode, QWidget* parent)
{
    ConfigDialog dialog(wirelessMode, parent);
    dialog.exec();
}
void ShellMainDialogLink::showVideoSet(const QPoint& point, QWidget* parent) { VideoSet::showWindow(point, parent); }
void ShellMainDialogLink::destroyVideoSet() { VideoSet::destroyWindow(); }
QObject* ShellMainDialogLink::openPip(MediaControl* media, QWidget* parent)
{
    if (!media)
        return nullptr;
    auto* bridge = new PipMediaBridge(media);
    auto* dialog = new PreviewDialog(bridge, parent, PreviewDialog::ScenePip);
    bridge->setParent(dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose, true);
    dialog->show();
    return dialog;
}

void installMainWindowLinks()
{
    installShellLinks();
    MainWindowLinks::setMediaLink(&g_media);
    MainWindowLinks::setCameraLink(&g_camera);
    MainWindowLinks::setDialogLink(&g_dialogs);
}

void removeMainWindowLinks()
{
    MainWindowLinks::setMediaLink(nullptr);
    MainWindowLinks::setCameraLink(nullptr);
    MainWindowLinks::setDialogLink(nullptr);
}
