// Recording settings of the main and the second camera.

#include "paxdata.h"

#include "paxdata_p.h"

#include <QDir>
#include <QFileInfo>

using pax_data::lockedGet;
using pax_data::validCamera;

QString PaxData::_getRecording(int camera, QString Recording::*field)
{
    return lockedGet(this, m_recording[camera].*field);
}

bool PaxData::_getRecording(int camera, bool Recording::*field)
{
    return lockedGet(this, m_recording[camera].*field);
}

_PaxRecordInfoS PaxData::_getRecording(int camera, _PaxRecordInfoS Recording::*field)
{
    return lockedGet(this, m_recording[camera].*field);
}

int PaxData::_getRecordingInt(int camera, int Recording::*field, int invalid)
{
    if (!validCamera(camera))
        return invalid;
    return lockedGet(this, m_recording[camera].*field);
}

void PaxData::_setRecording(int camera, int key, const QVariant& value)
{
    if (!validCamera(camera))
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _storeRecordingKeyLocked(camera, key, value);
}

void PaxData::_setWhileStopped(int camera, int key, const QVariant& value)
{
    if (!validCamera(camera))
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    if (m_recording[camera].recordInfo.status != 0)
        return;
    _storeRecordingKeyLocked(camera, key, value);
}

void PaxData::_setVideoSavePath(int camera, const QString& path)
{
    if (path.isEmpty() || QDir::isRelativePath(path) || !QFileInfo(path).isDir())
        return;
    _setRecording(camera, KeyVideoSavePath, path);
}

void PaxData::_setEncoder(int camera, const QString& name)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    Recording& r = m_recording[camera];
    if (name == r.encoder || !m_encoderList.contains(name, Qt::CaseSensitive))
        return;
    r.encoder = name;
    _saveRecordingKey(camera, KeyEncoder);
}

void PaxData::_setRecordInfo(int camera, const _PaxRecordInfoS& info)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_recording[camera].recordInfo = info;
    lock.unlock();
    emit sigDataChange(camera == 0 ? PaxNotifyRecordInfoMain : PaxNotifyRecordInfoSecond);
}

QStringList PaxData::getEncoderList()
{
    return lockedGet(this, m_encoderList);
}

// An encoder not in a non-empty list falls back to its first entry (in memory only);
// an empty list leaves both encoders as they are.
void PaxData::setEncoderList(QStringList list)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_encoderList = list;
    if (m_encoderList.isEmpty())
        return;
    for (Recording& r : m_recording) {
        if (!m_encoderList.contains(r.encoder, Qt::CaseSensitive))
            r.encoder = m_encoderList.first();
    }
}

void PaxData::setBitrateType(_PaxCameraIndexE index, _PaxOBitrateTypeE type)
{
    if (!validCamera(index))
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _applyBitrateTypeLocked(index, type);
}

void PaxData::setRecordQuality(_PaxCameraIndexE index, _PaxORecordQualityE quality)
{
    if (!validCamera(index))
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_recording[index].recordQuality = quality;
    _saveRecordingKey(index, KeyRecordQuality);
    _applyRecordQualityLocked(index);
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

void PaxData::_handleRecordQuality(int camera)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _applyRecordQualityLocked(camera);
}
