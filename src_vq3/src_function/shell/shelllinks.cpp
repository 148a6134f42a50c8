#include "shelllinks.h"

#include "mediacontrol.h"
#include "paxqtlib.h"
#include "wirelessdevicemanage.h"

#include <memory>

namespace {
PaxQtLib* sdk() { return PaxQtLib::getInstance(); }
bool isMain(_PaxCameraIndexE camera) { return camera == PaxCameraIndexMain; }

struct Links {
    ShellDrawMediaLink media;
    ShellDrawCameraLink camera;
    std::unique_ptr<ShellDialogCameraSdk> dialogSdk;
};
std::unique_ptr<Links>& links()
{
    static std::unique_ptr<Links> value;
    return value;
}
} // namespace

void ShellDrawMediaLink::setRender(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->setRender(item);
}

void ShellDrawMediaLink::setRender1(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->setRender1(item);
}

void ShellDrawMediaLink::removeThisRender(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->removeThisRender(item);
}

void ShellDrawMediaLink::closeCamera(MediaControl* media)
{
    if (media)
        media->closeCamera();
}

void ShellDrawMediaLink::capture(MediaControl* media)
{
    if (media)
        media->capture();
}

void ShellDrawMediaLink::connectImageCaptured(MediaControl* media, QObject* receiver, const char* slot)
{
    if (media && receiver)
        QObject::connect(media, SIGNAL(imageCaptured(QImage)), receiver, slot);
}

void ShellDrawMediaLink::playWirelessDevice(MediaControl* media, const QString& address)
{
    WirelessDeviceManage::getInstance()->switchDevice(address);
    if (media)
        media->openCamera();
}

// The grab window is the picture-in-picture window in its grab scene, which no control of the
// application opens; without it there is nothing to run.
void ShellDrawMediaLink::runGrabWindow(MediaControl*, QWidget*) {}

double ShellDrawCameraLink::getInitAngle() { return sdk()->getInitAngle(); }
void ShellDrawCameraLink::setInitAngle(double angle) { sdk()->setInitAngle(angle); }
QString ShellDrawCameraLink::getFontFamily() { return sdk()->getFontFamily(); }

ShellDialogCameraSdk::ShellDialogCameraSdk()
{
    connect(sdk(), &PaxQtLib::sigContentChange, this,
            [this](_PaxChangeNotifyE notify) { emit sigContentChange(int(notify)); });
}

bool ShellDialogCameraSdk::getIsRecordAudio(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getIsRecordAudioMain() : sdk()->getIsRecordAudioSecond();
}
void ShellDialogCameraSdk::setIsRecordAudio(_PaxCameraIndexE c, bool on)
{
    isMain(c) ? sdk()->setIsRecordAudioMain(on) : sdk()->setIsRecordAudioSecond(on);
}
int ShellDialogCameraSdk::getCurMicrophoneVolumn(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getCurMicrophoneVolumnMain() : sdk()->getCurMicrophoneVolumnSecond();
}
void ShellDialogCameraSdk::setCurMicrophoneVolumn(_PaxCameraIndexE c, int volume)
{
    isMain(c) ? sdk()->setCurMicrophoneVolumnMain(volume) : sdk()->setCurMicrophoneVolumnSecond(volume);
}
QStringList ShellDialogCameraSdk::getMicrophoneList() { return sdk()->getMicrophoneList(); }
QString ShellDialogCameraSdk::getCurMicrophone(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getCurMicrophoneMain() : sdk()->getCurMicrophoneSecond();
}
void ShellDialogCameraSdk::setCurMicrophone(_PaxCameraIndexE c, const QString& name)
{
    isMain(c) ? sdk()->setCurMicrophoneMain(name) : sdk()->setCurMicrophoneSecond(name);
}
bool ShellDialogCameraSdk::getIsHardwareEncoder(_PaxCameraIndexE c, bool& available)
{
    return isMain(c) ? sdk()->getIsHardwareEncoderMain(available) : sdk()->getIsHardwareEncoderSecond(available);
}
void ShellDialogCameraSdk::setIsHardwareEncoder(_PaxCameraIndexE c, bool on)
{
    isMain(c) ? sdk()->setIsHardwareEncoderMain(on) : sdk()->setIsHardwareEncoderSecond(on);
}
int ShellDialogCameraSdk::getRecordQuality(_PaxCameraIndexE c) { return sdk()->getRecordQuality(c); }
void ShellDialogCameraSdk::setRecordQuality(_PaxCameraIndexE c, _PaxORecordQualityE v) { sdk()->setRecordQuality(c, v); }
int ShellDialogCameraSdk::getBitrateValue(_PaxCameraIndexE c) { return sdk()->getBitrateValue(c); }
void ShellDialogCameraSdk::setBitrateValue(_PaxCameraIndexE c, _PaxOBitrateValueE v) { sdk()->setBitrateValue(c, v); }
int ShellDialogCameraSdk::getBitrateType(_PaxCameraIndexE c) { return sdk()->getBitrateType(c); }
void ShellDialogCameraSdk::setBitrateType(_PaxCameraIndexE c, _PaxOBitrateTypeE v) { sdk()->setBitrateType(c, v); }
int ShellDialogCameraSdk::getQuantizationParameter(_PaxCameraIndexE c) { return sdk()->getQuantizationParameter(c); }
void ShellDialogCameraSdk::setQuantizationParameter(_PaxCameraIndexE c, _PaxOQuantizationParameterE v)
{
    sdk()->setQuantizationParameter(c, v);
}
int ShellDialogCameraSdk::getProfile(_PaxCameraIndexE c) { return sdk()->getProfile(c); }
void ShellDialogCameraSdk::setProfile(_PaxCameraIndexE c, _PaxOProfileE v) { sdk()->setProfile(c, v); }
int ShellDialogCameraSdk::getPresetMode(_PaxCameraIndexE c) { return sdk()->getPresetMode(c); }
void ShellDialogCameraSdk::setPresetMode(_PaxCameraIndexE c, _PaxOPresetModeE v) { sdk()->setPresetMode(c, v); }
QString ShellDialogCameraSdk::getVideoPrefix(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getVideoMainPrefix() : sdk()->getVideoSecondPrefix();
}
void ShellDialogCameraSdk::setVideoPrefix(_PaxCameraIndexE c, const QString& prefix)
{
    isMain(c) ? sdk()->setVideoMainPrefix(prefix) : sdk()->setVideoSecondPrefix(prefix);
}
QList<_SolutionS> ShellDialogCameraSdk::getSolutionList(_PaxCameraIndexE c) { return sdk()->getSolutionList(c); }
int ShellDialogCameraSdk::getRecordSolutionIndex(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getRecordSolutionIndexMain() : sdk()->getRecordSolutionIndexSecond();
}
void ShellDialogCameraSdk::setRecordSolutionIndex(_PaxCameraIndexE c, int index)
{
    isMain(c) ? sdk()->setRecordSolutionIndexMain(index) : sdk()->setRecordSolutionIndexSecond(index);
}
int ShellDialogCameraSdk::getCurrentCameraIndex() { return sdk()->getCurrentCameraIndex(); }
bool ShellDialogCameraSdk::hasSecondCamera() { return sdk()->hasSecondCamera(); }
_PaxRecordInfoS ShellDialogCameraSdk::getRecordInfo(_PaxCameraIndexE c)
{
    return isMain(c) ? sdk()->getRecordInfoMain() : sdk()->getRecordInfoSecond();
}
void ShellDialogCameraSdk::startRecord(_PaxCameraIndexE c) { isMain(c) ? sdk()->startRecordMain() : sdk()->startRecordSecond(); }
void ShellDialogCameraSdk::stopRecord(_PaxCameraIndexE c) { isMain(c) ? sdk()->stopRecordMain() : sdk()->stopRecordSecond(); }
void ShellDialogCameraSdk::pauseRecord(_PaxCameraIndexE c) { isMain(c) ? sdk()->pauseMain() : sdk()->pauseSecond(); }
void ShellDialogCameraSdk::resumeRecord(_PaxCameraIndexE c) { isMain(c) ? sdk()->resumeMain() : sdk()->resumeSecond(); }
void ShellDialogCameraSdk::switchCamera(_PaxCameraIndexE c) { sdk()->switchCamera(c); }

_PaxUvcInfoS ShellDialogCameraSdk::getUvcInfo(UvcControl control)
{
    switch (control) {
    case Brightness: return sdk()->getBrightnessInfo();
    case Contrast: return sdk()->getContrastInfo();
    case Saturation: return sdk()->getSaturationInfo();
    case Sharpness: return sdk()->getSharpnessInfo();
    case Gain: return sdk()->getGainInfo();
    case Exposure: return sdk()->getExposureInfo();
    case Focus: return sdk()->getFocusInfo();
    case ExposureAuto: return sdk()->getExposureAutoInfo();
    case FocusAuto: return sdk()->getFocusAutoInfo();
    }
    return {};
}

void ShellDialogCameraSdk::setUvcValue(UvcControl control, int value)
{
    switch (control) {
    case Brightness: sdk()->setBrightness(value); break;
    case Contrast: sdk()->setContrast(value); break;
    case Saturation: sdk()->setSaturation(value); break;
    case Sharpness: sdk()->setSharpness(value); break;
    case Gain: sdk()->setGain(value); break;
    case Exposure: sdk()->setExposure(value); break;
    case Focus: sdk()->setFocus(value); break;
    case ExposureAuto:
    case FocusAuto: setUvcAuto(control, value != 0); break;
    }
}

void ShellDialogCameraSdk::setUvcAuto(UvcControl control, bool on)
{
    if (control == ExposureAuto)
        sdk()->setExposureAuto(on);
    else if (control == FocusAuto)
        sdk()->setFocusAuto(on);
}

void ShellDialogCameraSdk::setUvcToDefault(UvcControl control)
{
    switch (control) {
    case Brightness: sdk()->setBrightnessToDefault(); break;
    case Contrast: sdk()->setContrastToDefault(); break;
    case Saturation: sdk()->setSaturationToDefault(); break;
    case Sharpness: sdk()->setSharpnessToDefault(); break;
    case Gain: sdk()->setGainToDefault(); break;
    case Exposure: sdk()->setExposureToDefault(); break;
    case Focus: sdk()->setFocusToDefault(); break;
    case ExposureAuto: sdk()->setExposureAutoToDefault(); break;
    case FocusAuto: sdk()->setFocusAutoToDefault(); break;
    }
}

void ShellDialogCameraSdk::doFocus() { sdk()->doFocus(); }
void ShellDialogCameraSdk::closeCurCamera() { sdk()->closeCurCamera(); }
void ShellDialogCameraSdk::openCurCamera() { sdk()->openCurCamera(); }
QString ShellDialogCameraSdk::getFontFamily() { return sdk()->getFontFamily(); }

ShellDialogMediaControl::ShellDialogMediaControl(MediaControl* media) : m_media(media)
{
    connect(media, &MediaControl::sig_solutionChangeSecond, this, &DialogMediaControl::sig_solutionChangeSecond);
    connect(media, &MediaControl::imageCaptured, this, &DialogMediaControl::imageCaptured);
}

void ShellDialogMediaControl::switchPreview() { m_media->switchPreview(); }
void ShellDialogMediaControl::capture_otherCamera(const QString& name) { m_media->capture_otherCamera(name); }
void ShellDialogMediaControl::closeCamera1() { m_media->closeCamera1(); }

void installShellLinks()
{
    if (links())
        return;
    links() = std::make_unique<Links>();
    links()->dialogSdk = std::make_unique<ShellDialogCameraSdk>();
    DrawLinks::setMediaLink(&links()->media);
    DrawLinks::setCameraLink(&links()->camera);
    DialogCameraSdk::setInstance(links()->dialogSdk.get());
}

void removeShellLinks()
{
    if (!links())
        return;
    DrawLinks::setMediaLink(nullptr);
    DrawLinks::setCameraLink(nullptr);
    DialogCameraSdk::setInstance(nullptr);
    links().reset();
}
