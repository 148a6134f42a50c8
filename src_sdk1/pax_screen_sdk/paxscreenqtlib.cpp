#include "paxscreenqtlib.h"

#include "paxscreenlibprivate.h"

PaxScreenQtLib* PaxScreenQtLib::s_instance = nullptr;

PaxScreenQtLib* PaxScreenQtLib::getInstance()
{
    if (!s_instance)
        s_instance = new PaxScreenQtLib;
    return s_instance;
}

void PaxScreenQtLib::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

PaxScreenQtLib::PaxScreenQtLib()
{
    d = new PaxScreenLibPrivate(this);
}

PaxScreenQtLib::~PaxScreenQtLib()
{
    delete d;
    d = nullptr;
}

void PaxScreenQtLib::setSavePath(QString path) { PaxScreenLibPrivate::setSavePath(path); }
bool PaxScreenQtLib::setLogFile(QString path) { return PaxScreenLibPrivate::setLogFile(path); }

// The forwards, one line each.
QList<_ScreenMicrophoneS> PaxScreenQtLib::getMicrophoneList() { return d->getMicrophoneList(); }
QString PaxScreenQtLib::getCurMicrophoneName() { return d->getCurMicrophoneName(); }
void PaxScreenQtLib::setCurMicrophoneName(QString name) { d->setCurMicrophoneName(name); }
bool PaxScreenQtLib::getIsRecordAudio() { return d->getIsRecordAudio(); }
void PaxScreenQtLib::setIsRecordAudio(bool record) { d->setIsRecordAudio(record); }
int PaxScreenQtLib::getMicVolumn() { return d->getMicVolumn(); }
bool PaxScreenQtLib::setMicVolumn(int volume) { return d->setMicVolumn(volume); }
QStringList PaxScreenQtLib::getVideoEncoderList() { return d->getVideoEncoderList(); }
QString PaxScreenQtLib::getVideoEncoder() { return d->getVideoEncoder(); }
bool PaxScreenQtLib::setVideoEncoder(QString name) { return d->setVideoEncoder(name); }
bool PaxScreenQtLib::getIsHardwareEncoder(bool& available) { return d->getIsHardwareEncoder(available); }
bool PaxScreenQtLib::setIsHardwareEncoder(bool hardware) { return d->setIsHardwareEncoder(hardware); }
_PaxBitrateValueE PaxScreenQtLib::getBitrateValue() { return d->getBitrateValue(); }
bool PaxScreenQtLib::setBitrateValue(_PaxBitrateValueE value) { return d->setBitrateValue(value); }
_PaxBitrateTypeE PaxScreenQtLib::getBitrateType() { return d->getBitrateType(); }
bool PaxScreenQtLib::setBitrateType(_PaxBitrateTypeE type) { return d->setBitrateType(type); }
_PaxQuantizationParameterE PaxScreenQtLib::getQuantizationParameter() { return d->getQuantizationParameter(); }
bool PaxScreenQtLib::setQuantizationParameter(_PaxQuantizationParameterE p) { return d->setQuantizationParameter(p); }
_PaxProfileE PaxScreenQtLib::getProfile() { return d->getProfile(); }
bool PaxScreenQtLib::setProfile(_PaxProfileE profile) { return d->setProfile(profile); }
_PaxPresetModeE PaxScreenQtLib::getPreset() { return d->getPreset(); }
bool PaxScreenQtLib::setPreset(_PaxPresetModeE mode) { return d->setPreset(mode); }
_PaxRecordQualityE PaxScreenQtLib::getRecordQuality() { return d->getRecordQuality(); }
bool PaxScreenQtLib::setRecordQuality(_PaxRecordQualityE quality) { return d->setRecordQuality(quality); }
int PaxScreenQtLib::getFramerate() { return d->getFramerate(); }
bool PaxScreenQtLib::setFramerate(int framerate) { return d->setFramerate(framerate); }
bool PaxScreenQtLib::setRect(QRect rect) { return d->setRect(rect); }
bool PaxScreenQtLib::removeRect() { return d->removeRect(); }
int PaxScreenQtLib::getRecordWidth() { return d->getRecordWidth(); }
int PaxScreenQtLib::getRecordHeight() { return d->getRecordHeight(); }
bool PaxScreenQtLib::startRecordScreen(QString fileName) { return d->startRecordScreen(fileName); }
void PaxScreenQtLib::stopRecordScreen() { d->stopRecordScreen(); }
void PaxScreenQtLib::pause() { d->pause(); }
void PaxScreenQtLib::resume() { d->resume(); }
bool PaxScreenQtLib::pauseOrResume() { return d->pauseOrResume(); }
_PaxScreenRecordInfoS PaxScreenQtLib::getRecordInfo() { return d->getRecordInfo(); }
QString PaxScreenQtLib::getPushStreamUrl() { return d->getPushStreamUrl(); }
bool PaxScreenQtLib::setPushStreamUrl(QString url) { return d->setPushStreamUrl(url); }
bool PaxScreenQtLib::startPushStream() { return d->startPushStream(); }
void PaxScreenQtLib::stopPushStream() { d->stopPushStream(); }
bool PaxScreenQtLib::grabScreen(QString fileName, QRect rect) { return d->grabScreen(fileName, rect); }
