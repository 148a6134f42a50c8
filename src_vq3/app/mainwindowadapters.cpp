#include "mainwindowadapters.h"

#include "configdialog.h"
#include "macuvcclient.h"
#include "mediacontrol.h"
#include "paxmacos.h"
#include "paxqtlib.h"
#include "previewdialog.h"
#include "shelllinks.h"
#include "videoset.h"

#include <memory>

MediaControl* AppMediaLink::create(QObject* parent) { return new MediaControl(parent); }
void AppMediaLink::destroy(MediaControl* media) { delete media; }
QObject* AppMediaLink::object(MediaControl* media) { return media; }
int AppMediaLink::getCameraStatus(MediaControl* media) { return media ? media->getCameraStatus() : 1; }
bool AppMediaLink::isWirelessMode(MediaControl* media) { return media && media->isWirelessMode(); }
void AppMediaLink::switchWirelessMode(MediaControl* media, bool toggle)
{
    if (media)
        media->switchWirelessMode(toggle);
}
QStringList AppMediaLink::getSolutionList(MediaControl* media) { return media ? media->getSolutionList() : QStringList(); }
int AppMediaLink::getSolutionIndex(MediaControl* media) { return media ? media->getSolutionIndex() : -1; }
void AppMediaLink::switchSolution(MediaControl* media, int index)
{
    if (media)
        media->switchSolution(index);
}
bool AppMediaLink::hasSecondCamera(MediaControl* media) { return media && media->hasSecondCamera(); }
void AppMediaLink::setCaptureName(MediaControl* media, const QString& name)
{
    if (media)
        media->setCaptureName(name);
}
void AppMediaLink::setAngle(MediaControl* media, int angle)
{
    if (media)
        media->setAngle(angle);
}
void AppMediaLink::capture(MediaControl* media)
{
    if (media)
        media->capture();
}
bool AppMediaLink::pause(MediaControl* media) { return media && media->pause(); }
void AppMediaLink::forceRefresh(MediaControl* media)
{
    if (media)
        media->forceRefresh();
}
QString AppMediaLink::getOcrPicFilename(MediaControl* media) { return media ? media->getOcrPicFilename() : QString(); }

QObject* AppCameraLink::object() { return PaxQtLib::getInstance(); }
_PaxRecordInfoS AppCameraLink::getRecordInfoMain() { return PaxQtLib::getInstance()->getRecordInfoMain(); }
_PaxRecordInfoS AppCameraLink::getRecordInfoSecond() { return PaxQtLib::getInstance()->getRecordInfoSecond(); }
void AppCameraLink::startRecordMain() { PaxQtLib::getInstance()->startRecordMain(); }
void AppCameraLink::stopRecordMain() { PaxQtLib::getInstance()->stopRecordMain(); }
void AppCameraLink::startRecordSecond() { PaxQtLib::getInstance()->startRecordSecond(); }
void AppCameraLink::stopRecordSecond() { PaxQtLib::getInstance()->stopRecordSecond(); }
bool AppCameraLink::pauseOrResumeMain() { return PaxQtLib::getInstance()->pauseOrResumeMain(); }
bool AppCameraLink::pauseOrResumeSecond() { return PaxQtLib::getInstance()->pauseOrResumeSecond(); }
bool AppCameraLink::isOpenCurCamera() { return PaxQtLib::getInstance()->isOpenCurCamera(); }
bool AppCameraLink::isCameraInvalid(_PaxCameraIndexE camera) { return PaxQtLib::getInstance()->isCameraInvalid(camera); }
void AppCameraLink::openCurCamera() { PaxQtLib::getInstance()->openCurCamera(); }
void AppCameraLink::closeCurCamera() { PaxQtLib::getInstance()->closeCurCamera(); }
void AppCameraLink::closeOtherCamera() { PaxQtLib::getInstance()->closeOtherCamera(); }
void AppCameraLink::checkUvcInit() { PaxQtLib::getInstance()->checkUvcInit(); }
void AppCameraLink::setUvcControl(bool on) { PaxQtLib::getInstance()->setUvcControl(on); }
void AppCameraLink::releaseInstance()
{
    // The canvas and the dialogs reach the facade through the shell's adapters: out they go first.
    removeShellLinks();
    PaxQtLib::releaseInstance();
}
bool AppCameraLink::isServicePath() { return isAvailableMacos13(); }
int AppCameraLink::switchWorkMode(int mode) { return MacUvcClient::getInstance()->switchWorkMode(mode); }
bool AppCameraLink::isRelease() { return MacUvcClient::getInstance()->isRelease(); }
void AppCameraLink::releaseServiceClient() { MacUvcClient::releaseInstance(); }

void AppDialogLink::runConfigDialog(bool wirelessMode, QWidget* parent)
{
    ConfigDialog dialog(wirelessMode, parent);
    dialog.exec();
}
void AppDialogLink::showVideoSet(const QPoint& point, QWidget* parent) { VideoSet::showWindow(point, parent); }
void AppDialogLink::destroyVideoSet() { VideoSet::destroyWindow(); }

namespace {
// The picture-in-picture window reaches the bridge through this adapter; one window at a time.
std::unique_ptr<ShellDialogMediaControl>& pipMedia()
{
    static std::unique_ptr<ShellDialogMediaControl> media;
    return media;
}

struct Links {
    AppMediaLink media;
    AppCameraLink camera;
    AppDialogLink dialogs;
};
std::unique_ptr<Links>& links()
{
    static std::unique_ptr<Links> instance;
    return instance;
}
} // namespace

QObject* AppDialogLink::openPip(MediaControl* media, QWidget* parent)
{
    if (!media)
        return nullptr;
    pipMedia() = std::make_unique<ShellDialogMediaControl>(media);
    auto* pip = new PreviewDialog(pipMedia().get(), parent, PreviewDialog::ScenePip);
    pip->setAttribute(Qt::WA_DeleteOnClose);
    pip->show();
    return pip;
}

namespace AppLinks {
void install()
{
    if (links())
        return;
    links() = std::make_unique<Links>();
    MainWindowLinks::setMediaLink(&links()->media);
    MainWindowLinks::setCameraLink(&links()->camera);
    MainWindowLinks::setDialogLink(&links()->dialogs);
}

void remove()
{
    if (!links())
        return;
    MainWindowLinks::setMediaLink(nullptr);
    MainWindowLinks::setCameraLink(nullptr);
    MainWindowLinks::setDialogLink(nullptr);
    links().reset();
    pipMedia().reset();
}
} // namespace AppLinks
