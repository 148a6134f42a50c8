// Recording settings of the main and the second camera.

#include "paxdata.h"

#include "paxdata_p.h"

#include <QFileInfo>

using namespace pax_data;

QString PaxData::_getRecordingText(int camera, QString Recording::*field)
{
    PaxDataLocker lock(this);
    return m_recording[camera].*field;
}

void PaxData::_setRecordingText(int camera, QString Recording::*field, int key, const QString& value)
{
    PaxDataLocker lock(this);
    m_recording[camera].*field = value;
    _saveRecordingKey(camera, key);
}

int PaxData::_getRecordingInt(int camera, int Recording::*field, int invalid)
{
    if (!validCamera(camera))
        return invalid;
    PaxDataLocker lock(this);
    return m_recording[camera].*field;
}

void PaxData::_setRecordingInt(int camera, int Recording::*field, int key, int value)
{
    if (!validCamera(camera))
        return;
    PaxDataLocker lock(this);
    m_recording[camera].*field = value;
    _saveRecordingKey(camera, key);
}

void PaxData::_setVideoSavePath(int camera, const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    _setRecordingText(camera, &Recording::videoSavePath, KeyVideoSavePath, path);
}

bool PaxData::_recordStoppedLocked(int camera)
{
    return m_recording[camera].recordInfo.status == 0;
}

void PaxData::_setMicrophoneName(int camera, const QString& name)
{
    PaxDataLocker lock(this);
    if (!_recordStoppedLocked(camera))
        return;
    m_recording[camera].microphoneName = name;
    _saveRecordingKey(camera, KeyMicrophoneName);
}

void PaxData::_setMicrophoneVolume(int camera, int volume)
{
    PaxDataLocker lock(this);
    if (!_recordStoppedLocked(camera))
        return;
    m_recording[camera].microphoneVolume = volume;
    _saveRecordingKey(camera, KeyMicrophoneVolume);
}

void PaxData::_setRecordAudio(int camera, bool on)
{
    PaxDataLocker lock(this);
    if (!_recordStoppedLocked(camera))
        return;
    m_recording[camera].recordAudio = on;
    _saveRecordingKey(camera, KeyRecordAudio);
}

void PaxData::_setEncoder(int camera, const QString& name)
{
    PaxDataLocker lock(this);
    Recording& r = m_recording[camera];
    if (name == r.encoder || !m_encoderList.contains(name, Qt::CaseSensitive))
        return;
    r.encoder = name;
    _saveRecordingKey(camera, KeyEncoder);
}

void PaxData::_setRecordInfo(int camera, const _PaxRecordInfoS& info)
{
    PaxDataLocker lock(this);
    m_recording[camera].recordInfo = info;
    lock.unlock();
    emit sigDataChange(camera == 0 ? PaxNotifyRecordInfoMain : PaxNotifyRecordInfoSecond);
}

QString PaxData::getVideoMainSavePath() { return _getRecordingText(0, &Recording::videoSavePath); }
QString PaxData::getVideoSecondSavePath() { return _getRecordingText(1, &Recording::videoSavePath); }
void PaxData::setVideoMainSavePath(QString path) { _setVideoSavePath(0, path); }
void PaxData::setVideoSecondSavePath(QString path) { _setVideoSavePath(1, path); }
QString PaxData::getVideoMainPrefix() { return _getRecordingText(0, &Recording::videoPrefix); }
QString PaxData::getVideoSecondPrefix() { return _getRecordingText(1, &Recording::videoPrefix); }
void PaxData::setVideoMainPrefix(QString prefix) { _setRecordingText(0, &Recording::videoPrefix, KeyVideoPrefix, prefix); }
void PaxData::setVideoSecondPrefix(QString prefix) { _setRecordingText(1, &Recording::videoPrefix, KeyVideoPrefix, prefix); }
QString PaxData::getCurMicrophoneNameMain() { return _getRecordingText(0, &Recording::microphoneName); }
QString PaxData::getCurMicrophoneNameSecond() { return _getRecordingText(1, &Recording::microphoneName); }
void PaxData::setCurMicrophoneNameMain(QString name) { _setMicrophoneName(0, name); }
void PaxData::setCurMicrophoneNameSecond(QString name) { _setMicrophoneName(1, name); }
int PaxData::getCurMicrophoneVolumnMain() { return _getRecordingInt(0, &Recording::microphoneVolume, 0); }
int PaxData::getCurMicrophoneVolumnSecond() { return _getRecordingInt(1, &Recording::microphoneVolume, 0); }
void PaxData::setCurMicrophoneVolumnMain(int volume) { _setMicrophoneVolume(0, volume); }
void PaxData::setCurMicrophoneVolumnSecond(int volume) { _setMicrophoneVolume(1, volume); }

bool PaxData::getbRecordAudioMain()
{
    PaxDataLocker lock(this);
    return m_recording[0].recordAudio;
}

bool PaxData::getbRecordAudioSecond()
{
    PaxDataLocker lock(this);
    return m_recording[1].recordAudio;
}

void PaxData::setbRecordAudioMain(bool on) { _setRecordAudio(0, on); }
void PaxData::setbRecordAudioSecond(bool on) { _setRecordAudio(1, on); }
QString PaxData::getEncoderMain() { return _getRecordingText(0, &Recording::encoder); }
QString PaxData::getEncoderSecond() { return _getRecordingText(1, &Recording::encoder); }
void PaxData::setEncoderMain(QString name) { _setEncoder(0, name); }
void PaxData::setEncoderSecond(QString name) { _setEncoder(1, name); }

QStringList PaxData::getEncoderList()
{
    PaxDataLocker lock(this);
    return m_encoderList;
}

// An encoder not in a non-empty list falls back to its first entry (in memory only);
// an empty list leaves both encoders as they are.
void PaxData::setEncoderList(QStringList list)
{
    PaxDataLocker lock(this);
    m_encoderList = list;
    if (m_encoderList.isEmpty())
        return;
    for (Recording& r : m_recording) {
        if (!m_encoderList.contains(r.encoder, Qt::CaseSensitive))
            r.encoder = m_encoderList.first();
    }
}

_PaxRecordInfoS PaxData::getRecordInfoMain()
{
    PaxDataLocker lock(this);
    return m_recording[0].recordInfo;
}

_PaxRecordInfoS PaxData::getRecordInfoSecond()
{
    PaxDataLocker lock(this);
    return m_recording[1].recordInfo;
}

void PaxData::setRecordInfoMain(_PaxRecordInfoS info) { _setRecordInfo(0, info); }
void PaxData::setRecordInfoSecond(_PaxRecordInfoS info) { _setRecordInfo(1, info); }

_PaxOBitrateValueE PaxData::getBitrateValue(_PaxCameraIndexE index)
{
    return _PaxOBitrateValueE(_getRecordingInt(index, &Recording::bitrateValue, PaxOBitrateValueNone));
}

void PaxData::setBitrateValue(_PaxCameraIndexE index, _PaxOBitrateValueE value)
{
    _setRecordingInt(index, &Recording::bitrateValue, KeyBitrateValue, value);
}

_PaxOBitrateTypeE PaxData::getBitrateType(_PaxCameraIndexE index)
{
    return _PaxOBitrateTypeE(_getRecordingInt(index, &Recording::bitrateType, PaxOBitrateTypeNone));
}

void PaxData::setBitrateType(_PaxCameraIndexE index, _PaxOBitrateTypeE type)
{
    if (!validCamera(index))
        return;
    PaxDataLocker lock(this);
    _applyBitrateTypeLocked(index, type);
}

_PaxOQuantizationParameterE PaxData::getQuantizationParameter(_PaxCameraIndexE index)
{
    return _PaxOQuantizationParameterE(
        _getRecordingInt(index, &Recording::quantizationParameter, PaxOQuantizationParameterNone));
}

void PaxData::setQuantizationParameter(_PaxCameraIndexE index, _PaxOQuantizationParameterE qp)
{
    _setRecordingInt(index, &Recording::quantizationParameter, KeyQuantizationParameter, qp);
}

_PaxOProfileE PaxData::getProfile(_PaxCameraIndexE index)
{
    return _PaxOProfileE(_getRecordingInt(index, &Recording::profile, PaxOProfileNone));
}

void PaxData::setProfile(_PaxCameraIndexE index, _PaxOProfileE profile)
{
    _setRecordingInt(index, &Recording::profile, KeyProfile, profile);
}

_PaxOPresetModeE PaxData::getPresetMode(_PaxCameraIndexE index)
{
    return _PaxOPresetModeE(_getRecordingInt(index, &Recording::preset, PaxOPresetNone));
}

void PaxData::setPresetMode(_PaxCameraIndexE index, _PaxOPresetModeE preset)
{
    _setRecordingInt(index, &Recording::preset, KeyPreset, preset);
}

_PaxORecordQualityE PaxData::getRecordQuality(_PaxCameraIndexE index)
{
    return _PaxORecordQualityE(_getRecordingInt(index, &Recording::recordQuality, PaxORecordQualityNone));
}

void PaxData::setRecordQuality(_PaxCameraIndexE index, _PaxORecordQualityE quality)
{
    if (!validCamera(index))
        return;
    PaxDataLocker lock(this);
    m_recording[index].recordQuality = quality;
    _saveRecordingKey(index, KeyRecordQuality);
    _applyRecordQualityLocked(index);
}

int PaxData::getRecordSolutionIndex(_PaxCameraIndexE index)
{
    return _getRecordingInt(index, &Recording::recordSolutionIndex, -1);
}

void PaxData::setRecordSolutionIndex(_PaxCameraIndexE index, int solutionIndex)
{
    _setRecordingInt(index, &Recording::recordSolutionIndex, KeyRecordSolutionIndex, solutionIndex);
}

// Rate-driven types drop the quantization level, level-driven types the bit rate; the whole
// coupling is one locked step.
void PaxData::_applyBitrateTypeLocked(int camera, int type)
{
    Recording& r = m_recording[camera];
    r.bitrateType = type;
    _saveRecordingKey(camera, KeyBitrateType);
    if (type >= PaxOBitrateTypeCBR && type <= PaxOBitrateTypeABR) {
        r.quantizationParameter = PaxOQuantizationParameterNone;
        _saveRecordingKey(camera, KeyQuantizationParameter);
        if (r.bitrateValue == PaxOBitrateValueNone) {
            r.bitrateValue = PaxOBitrateValue8M;
            _saveRecordingKey(camera, KeyBitrateValue);
        }
    } else if (type == PaxOBitrateTypeCRF || type == PaxOBitrateTypeCQP) {
        r.bitrateValue = PaxOBitrateValueNone;
        _saveRecordingKey(camera, KeyBitrateValue);
        if (r.quantizationParameter == PaxOQuantizationParameterNone) {
            r.quantizationParameter = PaxOQuantizationParameter23;
            _saveRecordingKey(camera, KeyQuantizationParameter);
        }
    }
}

// Low, middle and high quality fix VBR, level "23", preset "ultrafast", profile "main" and a
// bit rate of their own; custom keeps the individual choices.
void PaxData::_applyRecordQualityLocked(int camera)
{
    Recording& r = m_recording[camera];
    const int quality = r.recordQuality;
    if (quality < PaxORecordQualityLow || quality > PaxORecordQualityHigh)
        return;
    _applyBitrateTypeLocked(camera, PaxOBitrateTypeVBR);
    r.quantizationParameter = PaxOQuantizationParameter23;
    _saveRecordingKey(camera, KeyQuantizationParameter);
    r.preset = PaxOPresetUltrafast;
    _saveRecordingKey(camera, KeyPreset);
    r.profile = PaxOProfileMain;
    _saveRecordingKey(camera, KeyProfile);
    r.bitrateValue = PaxOBitrateValue2M + quality;
    _saveRecordingKey(camera, KeyBitrateValue);
}

void PaxData::_handleRecordQualityMain()
{
    PaxDataLocker lock(this);
    _applyRecordQualityLocked(0);
}

void PaxData::_handleRecordQualitySecond()
{
    PaxDataLocker lock(this);
    _applyRecordQualityLocked(1);
}
