#include "paxqtlibdialogsdk.h"

#include "paxqtlib.h"

PaxQtLibDialogSdk::PaxQtLibDialogSdk(PaxQtLib* lib)
    : m_lib(lib ? lib : PaxQtLib::getInstance())
{
    connect(m_lib, &PaxQtLib::sigContentChange, this, [this](_PaxChangeNotifyE notify) { emit sigContentChange(int(notify)); });
}

bool PaxQtLibDialogSdk::getIsRecordAudio(_PaxCameraIndexE c) { return second(c) ? m_lib->getIsRecordAudioSecond() : m_lib->getIsRecordAudioMain(); }
void PaxQtLibDialogSdk::setIsRecordAudio(_PaxCameraIndexE c, bool on) { second(c) ? m_lib->setIsRecordAudioSecond(on) : m_lib->setIsRecordAudioMain(on); }
int PaxQtLibDialogSdk::getCurMicrophoneVolumn(_PaxCameraIndexE c) { return second(c) ? m_lib->getCurMicrophoneVolumnSecond() : m_lib->getCurMicrophoneVolumnMain(); }
void PaxQtLibDialogSdk::setCurMicrophoneVolumn(_PaxCameraIndexE c, int v) { second(c) ? m_lib->setCurMicrophoneVolumnSecond(v) : m_lib->setCurMicrophoneVolumnMain(v); }
QStringList PaxQtLibDialogSdk::getMicrophoneList() { return m_lib->getMicrophoneList(); }
QString PaxQtLibDialogSdk::getCurMicrophone(_PaxCameraIndexE c) { return second(c) ? m_lib->getCurMicrophoneSecond() : m_lib->getCurMicrophoneMain(); }
void PaxQtLibDialogSdk::setCurMicrophone(_PaxCameraIndexE c, const QString& n) { second(c) ? m_lib->setCurMicrophoneSecond(n) : m_lib->setCurMicrophoneMain(n); }
bool PaxQtLibDialogSdk::getIsHardwareEncoder(_PaxCameraIndexE c, bool& available)
{
    return second(c) ? m_lib->getIsHardwareEncoderSecond(available) : m_lib->getIsHardwareEncoderMain(available);
}
void PaxQtLibDialogSdk::setIsHardwareEncoder(_PaxCameraIndexE c, bool on)
{
    second(c) ? m_lib->setIsHardwareEncoderSecond(on) : m_lib->setIsHardwareEncoderMain(on);
}
int PaxQtLibDialogSdk::getRecordQuality(_PaxCameraIndexE c) { return m_lib->getRecordQuality(c); }
void PaxQtLibDialogSdk::setRecordQuality(_PaxCameraIndexE c, _PaxORecordQualityE q) { m_lib->setRecordQuality(c, q); }
int PaxQtLibDialogSdk::getBitrateValue(_PaxCameraIndexE c) { return m_lib->getBitrateValue(c); }
void PaxQtLibDialogSdk::setBitrateValue(_PaxCameraIndexE c, _PaxOBitrateValueE v) { m_lib->setBitrateValue(c, v); }
int PaxQtLibDialogSdk::getBitrateType(_PaxCameraIndexE c) { return m_lib->getBitrateType(c); }
void PaxQtLibDialogSdk::setBitrateType(_PaxCameraIndexE c, _PaxOBitrateTypeE t) { m_lib->setBitrateType(c, t); }
int PaxQtLibDialogSdk::getQuantizationParameter(_PaxCameraIndexE c) { return m_lib->getQuantizationParameter(c); }
void PaxQtLibDialogSdk::setQuantizationParameter(_PaxCameraIndexE c, _PaxOQuantizationParameterE q) { m_lib->setQuantizationParameter(c, q); }
int PaxQtLibDialogSdk::getProfile(_PaxCameraIndexE c) { return m_lib->getProfile(c); }
void PaxQtLibDialogSdk::setProfile(_PaxCameraIndexE c, _PaxOProfileE p) { m_lib->setProfile(c, p); }
int PaxQtLibDialogSdk::getPresetMode(_PaxCameraIndexE c) { return m_lib->getPresetMode(c); }
void PaxQtLibDialogSdk::setPresetMode(_PaxCameraIndexE c, _PaxOPresetModeE p) { m_lib->setPresetMode(c, p); }
QString PaxQtLibDialogSdk::getVideoPrefix(_PaxCameraIndexE c) { return second(c) ? m_lib->getVideoSecondPrefix() : m_lib->getVideoMainPrefix(); }
void PaxQtLibDialogSdk::setVideoPrefix(_PaxCameraIndexE c, const QString& p) { second(c) ? m_lib->setVideoSecondPrefix(p) : m_lib->setVideoMainPrefix(p); }
QList<_SolutionS> PaxQtLibDialogSdk::getSolutionList(_PaxCameraIndexE c) { return m_lib->getSolutionList(c); }
int PaxQtLibDialogSdk::getRecordSolutionIndex(_PaxCameraIndexE c) { return second(c) ? m_lib->getRecordSolutionIndexSecond() : m_lib->getRecordSolutionIndexMain(); }
void PaxQtLibDialogSdk::setRecordSolutionIndex(_PaxCameraIndexE c, int i) { second(c) ? m_lib->setRecordSolutionIndexSecond(i) : m_lib->setRecordSolutionIndexMain(i); }
int PaxQtLibDialogSdk::getCurrentCameraIndex() { return m_lib->getCurrentCameraIndex(); }
bool PaxQtLibDialogSdk::hasSecondCamera() { return m_lib->hasSecondCamera(); }
_PaxRecordInfoS PaxQtLibDialogSdk::getRecordInfo(_PaxCameraIndexE c) { return second(c) ? m_lib->getRecordInfoSecond() : m_lib->getRecordInfoMain(); }
void PaxQtLibDialogSdk::startRecord(_PaxCameraIndexE c) { second(c) ? m_lib->startRecordSecond() : m_lib->startRecordMain(); }
void PaxQtLibDialogSdk::stopRecord(_PaxCameraIndexE c) { second(c) ? m_lib->stopRecordSecond() : m_lib->stopRecordMain(); }
void PaxQtLibDialogSdk::pauseRecord(_PaxCameraIndexE c) { second(c) ? m_lib->pauseSecond() : m_lib->pauseMain(); }
void PaxQtLibDialogSdk::resumeRecord(_PaxCameraIndexE c) { second(c) ? m_lib->resumeSecond() : m_lib->resumeMain(); }
void PaxQtLibDialogSdk::switchCamera(_PaxCameraIndexE c) { m_lib->switchCamera(c); }

_PaxUvcInfoS PaxQtLibDialogSdk::getUvcInfo(UvcControl control)
{
    switch (control) {
    case Brightness: return m_lib->getBrightnessInfo();
    case Contrast: return m_lib->getContrastInfo();
    case Saturation: return m_lib->getSaturationInfo();
    case Sharpness: return m_lib->getSharpnessInfo();
    case Gain: return m_lib->getGainInfo();
    case Exposure: return m_lib->getExposureInfo();
    case Focus: return m_lib->getFocusInfo();
    case ExposureAuto: return m_lib->getExposureAutoInfo();
    case FocusAuto: return m_lib->getFocusAutoInfo();
    }
    return _PaxUvcInfoS();
}

void PaxQtLibDialogSdk::setUvcValue(UvcControl control, int value)
{
    switch (control) {
    case Brightness: m_lib->setBrightness(value); break;
    case Contrast: m_lib->setContrast(value); break;
    case Saturation: m_lib->setSaturation(value); break;
    case Sharpness: m_lib->setSharpness(value); break;
    case Gain: m_lib->setGain(value); break;
    case Exposure: m_lib->setExposure(value); break;
    case Focus: m_lib->setFocus(value); break;
    default: break;
    }
}

void PaxQtLibDialogSdk::setUvcAuto(UvcControl control, bool on)
{
    if (control == ExposureAuto)
        m_lib->setExposureAuto(on);
    else if (control == FocusAuto)
        m_lib->setFocusAuto(on);
}

void PaxQtLibDialogSdk::setUvcToDefault(UvcControl control)
{
    switch (control) {
    case Brightness: m_lib->setBrightnessToDefault(); break;
    case Contrast: m_lib->setContrastToDefault(); break;
    case Saturation: m_lib->setSaturationToDefault(); break;
    case Sharpness: m_lib->setSharpnessToDefault(); break;
    case Gain: m_lib->setGainToDefault(); break;
    case Exposure: m_lib->setExposureToDefault(); break;
    case Focus: m_lib->setFocusToDefault(); break;
    case ExposureAuto: m_lib->setExposureAutoToDefault(); break;
    case FocusAuto: m_lib->setFocusAutoToDefault(); break;
    }
}

void PaxQtLibDialogSdk::doFocus() { m_lib->doFocus(); }
void PaxQtLibDialogSdk::closeCurCamera() { m_lib->closeCurCamera(); }
void PaxQtLibDialogSdk::openCurCamera() { m_lib->openCurCamera(); }
QString PaxQtLibDialogSdk::getFontFamily() { return m_lib->getFontFamily(); }
