// The settings file: where it lives, its key/default tables, the load and the save groups.

#include "paxdata.h"

#include "paxdata_p.h"
#include "paxintool.h"
#include "paxlib.h"

#include <QFile>
#include <QSettings>

#include <climits>
#include <cmath>

namespace pax_data {
const char* const kSectionNames[5] = {"common", "BW", "CS", "ZJ", "TM"};
}

namespace {
using Profile = PaxData::Profile;
using Recording = PaxData::Recording;

enum class KeyType { Bool, Int, Text, Double };

// Converts a value read from the file; false when it is damaged or outside [lo, hi].
bool convert(const QVariant& raw, KeyType type, qint64 lo, qint64 hi, QVariant& out)
{
    if (type == KeyType::Text) {
        out = raw.type() == QVariant::StringList ? raw.toStringList().join(QLatin1Char(',')) : raw.toString();
        return true;
    }
    if (raw.type() == QVariant::StringList)
        return false;
    const QString text = raw.toString().trimmed();
    switch (type) {
    case KeyType::Bool: {
        const QString lower = text.toLower();
        if (lower == QLatin1String("true") || lower == QLatin1String("1"))
            out = true;
        else if (lower == QLatin1String("false") || lower == QLatin1String("0"))
            out = false;
        else
            return false;
        return true;
    }
    case KeyType::Int: {
        bool ok = false;
        const qint64 v = text.toLongLong(&ok);
        if (!ok || v < lo || v > hi)
            return false;
        out = int(v);
        return true;
    }
    case KeyType::Double: {
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return false;
        out = v;
        return true;
    }
    case KeyType::Text:
        break;
    }
    return false;
}

// One per-mode key: name, type, accepted range, save group, default and the profile field.
struct ProfileKey {
    const char* name;
    KeyType type;
    qint64 lo;
    qint64 hi;
    int group;
    QVariant (*defaultValue)(int mode);
    QVariant (*get)(const Profile&);
    void (*set)(Profile&, const QVariant&);
};

constexpr qint64 kAnyLo = INT_MIN;
constexpr qint64 kAnyHi = INT_MAX;

QVariant picSavePathDefault(int mode)
{
    return paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QLatin1String(pax_data::kSectionNames[mode]));
}

// Logo alphas are taken modulo 256 at load.
// clang-format off
const ProfileKey kProfileKeys[] = {
    {"picLogoEnable", KeyType::Bool, 0, 1, PaxData::GroupLogoPic,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.picLogoEnable); },
     [](Profile& p, const QVariant& v) { p.picLogoEnable = v.toBool(); }},
    {"logoFile", KeyType::Text, 0, 0, PaxData::GroupLogoPic,
     [](int) { return QVariant(QString()); },
     [](const Profile& p) { return QVariant(p.logoFile); },
     [](Profile& p, const QVariant& v) { p.logoFile = v.toString(); }},
    {"logoAlpha", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoPic,
     [](int) { return QVariant(255); },
     [](const Profile& p) { return QVariant(int(p.logoAlpha)); },
     [](Profile& p, const QVariant& v) { p.logoAlpha = static_cast<unsigned char>(v.toInt()); }},
    {"logoX", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoPic,
     [](int) { return QVariant(50); },
     [](const Profile& p) { return QVariant(p.logoX); },
     [](Profile& p, const QVariant& v) { p.logoX = v.toInt(); }},
    {"logoY", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoPic,
     [](int) { return QVariant(200); },
     [](const Profile& p) { return QVariant(p.logoY); },
     [](Profile& p, const QVariant& v) { p.logoY = v.toInt(); }},
    {"textLogoEnable", KeyType::Bool, 0, 1, PaxData::GroupLogoText,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.textLogoEnable); },
     [](Profile& p, const QVariant& v) { p.textLogoEnable = v.toBool(); }},
    {"logoText", KeyType::Text, 0, 0, PaxData::GroupLogoText,
     [](int) { return QVariant(QString()); },
     [](const Profile& p) { return QVariant(p.logoText); },
     [](Profile& p, const QVariant& v) { p.logoText = v.toString(); }},
    {"textLogoAlpha", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoText,
     [](int) { return QVariant(255); },
     [](const Profile& p) { return QVariant(int(p.textLogoAlpha)); },
     [](Profile& p, const QVariant& v) { p.textLogoAlpha = static_cast<unsigned char>(v.toInt()); }},
    {"textLogoColor", KeyType::Text, 0, 0, PaxData::GroupLogoText,
     [](int) { return QVariant(QStringLiteral("#FF0000")); },
     [](const Profile& p) { return QVariant(p.textLogoColor); },
     [](Profile& p, const QVariant& v) { p.textLogoColor = v.toString(); }},
    {"textLogoX", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoText,
     [](int) { return QVariant(50); },
     [](const Profile& p) { return QVariant(p.textLogoX); },
     [](Profile& p, const QVariant& v) { p.textLogoX = v.toInt(); }},
    {"textLogoY", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoText,
     [](int) { return QVariant(200); },
     [](const Profile& p) { return QVariant(p.textLogoY); },
     [](Profile& p, const QVariant& v) { p.textLogoY = v.toInt(); }},
    {"textSize", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoText,
     [](int) { return QVariant(100); },
     [](const Profile& p) { return QVariant(p.textSize); },
     [](Profile& p, const QVariant& v) { p.textSize = v.toInt(); }},
    {"textWeight", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupLogoText,
     [](int) { return QVariant(10); },
     [](const Profile& p) { return QVariant(p.textWeight); },
     [](Profile& p, const QVariant& v) { p.textWeight = v.toInt(); }},
    {"picSaveFormat", KeyType::Int, PaxPicSaveFormatJpg, PaxPicSaveFormatPdf, PaxData::GroupPicSaveFormat,
     [](int) { return QVariant(0); },
     [](const Profile& p) { return QVariant(p.picSaveFormat); },
     [](Profile& p, const QVariant& v) { p.picSaveFormat = v.toInt(); }},
    {"picNameMode", KeyType::Int, PaxPicNameModeTime, PaxPicNameModeIndex, PaxData::GroupPicNameMode,
     [](int) { return QVariant(0); },
     [](const Profile& p) { return QVariant(p.picNameMode); },
     [](Profile& p, const QVariant& v) { p.picNameMode = v.toInt(); }},
    {"picPressRatio", KeyType::Int, 10, 100, PaxData::GroupPicPressRatio,
     [](int) { return QVariant(100); },
     [](const Profile& p) { return QVariant(p.picPressRatio); },
     [](Profile& p, const QVariant& v) { p.picPressRatio = v.toInt(); }},
    {"nextPicIndex", KeyType::Int, kAnyLo, kAnyHi, PaxData::GroupNextPicIndex,
     [](int) { return QVariant(0); },
     [](const Profile& p) { return QVariant(p.nextPicIndex); },
     [](Profile& p, const QVariant& v) { p.nextPicIndex = v.toInt(); }},
    {"picSavePath", KeyType::Text, 0, 0, PaxData::GroupPicSavePath,
     picSavePathDefault,
     [](const Profile& p) { return QVariant(p.picSavePath); },
     [](Profile& p, const QVariant& v) { p.picSavePath = v.toString(); }},
    {"bRectify", KeyType::Bool, 0, 1, PaxData::GroupRectify,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.rectify); },
     [](Profile& p, const QVariant& v) { p.rectify = v.toBool(); }},
    {"bAutoTrim", KeyType::Bool, 0, 1, PaxData::GroupAutoTrim,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.autoTrim); },
     [](Profile& p, const QVariant& v) { p.autoTrim = v.toBool(); }},
    {"bManuTrim", KeyType::Bool, 0, 1, PaxData::GroupManuTrim,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.manuTrim); },
     [](Profile& p, const QVariant& v) { p.manuTrim = v.toBool(); }},
    {"bAutoDoc", KeyType::Bool, 0, 1, PaxData::GroupAutoDoc,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.autoDoc); },
     [](Profile& p, const QVariant& v) { p.autoDoc = v.toBool(); }},
    {"bIntelligentGrab", KeyType::Bool, 0, 1, PaxData::GroupIntelligentGrab,
     [](int) { return QVariant(false); },
     [](const Profile& p) { return QVariant(p.intelligentGrab); },
     [](Profile& p, const QVariant& v) { p.intelligentGrab = v.toBool(); }},
    {"colorMode", KeyType::Int, PaxColorModeColor, PaxColorModeBlackWhite, PaxData::GroupColorMode,
     [](int mode) { return QVariant(mode == PaxWorkModeBW ? 1 : 0); },
     [](const Profile& p) { return QVariant(p.colorMode); },
     [](Profile& p, const QVariant& v) { p.colorMode = v.toInt(); }},
};

// One recording key per camera. writtenAtLoad false: a missing key keeps its default in memory only.
struct RecordingKeyDesc {
    const char* stem;
    const char* tail;
    KeyType type;
    qint64 lo;
    qint64 hi;
    bool writtenAtLoad;
    QVariant (*defaultValue)(int camera);
    QVariant (*get)(const Recording&);
    void (*set)(Recording&, const QVariant&);
};

const RecordingKeyDesc kRecordingKeys[pax_data::RecordingKeyCount] = {
    {"video", "SavePath", KeyType::Text, 0, 0, true,
     [](int c) { return QVariant(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"),
                                                                   c == 0 ? QStringLiteral("mainvideo")
                                                                          : QStringLiteral("secondvideo"))); },
     [](const Recording& r) { return QVariant(r.videoSavePath); },
     [](Recording& r, const QVariant& v) { r.videoSavePath = v.toString(); }},
    {"video", "Prefix", KeyType::Text, 0, 0, true,
     [](int c) { return QVariant(c == 0 ? QStringLiteral("main") : QStringLiteral("second")); },
     [](const Recording& r) { return QVariant(r.videoPrefix); },
     [](Recording& r, const QVariant& v) { r.videoPrefix = v.toString(); }},
    {"curMicrophoneName", "", KeyType::Text, 0, 0, true,
     [](int) { return QVariant(QString()); },
     [](const Recording& r) { return QVariant(r.microphoneName); },
     [](Recording& r, const QVariant& v) { r.microphoneName = v.toString(); }},
    {"curMicrophoneVolumn", "", KeyType::Int, kAnyLo, kAnyHi, true,
     [](int) { return QVariant(100); },
     [](const Recording& r) { return QVariant(r.microphoneVolume); },
     [](Recording& r, const QVariant& v) { r.microphoneVolume = v.toInt(); }},
    {"bRecordAudio", "", KeyType::Bool, 0, 1, true,
     [](int) { return QVariant(false); },
     [](const Recording& r) { return QVariant(r.recordAudio); },
     [](Recording& r, const QVariant& v) { r.recordAudio = v.toBool(); }},
    {"curEncoder", "", KeyType::Text, 0, 0, false,
     [](int) { return QVariant(QString()); },
     [](const Recording& r) { return QVariant(r.encoder); },
     [](Recording& r, const QVariant& v) { r.encoder = v.toString(); }},
    {"bitrateValue", "", KeyType::Int, PaxOBitrateValue1M, PaxOBitrateValueNone, true,
     [](int) { return QVariant(3); },
     [](const Recording& r) { return QVariant(r.bitrateValue); },
     [](Recording& r, const QVariant& v) { r.bitrateValue = v.toInt(); }},
    {"quantizationParameter", "", KeyType::Int, PaxOQuantizationParameter51, PaxOQuantizationParameterNone, true,
     [](int) { return QVariant(1); },
     [](const Recording& r) { return QVariant(r.quantizationParameter); },
     [](Recording& r, const QVariant& v) { r.quantizationParameter = v.toInt(); }},
    {"bitrateType", "", KeyType::Int, PaxOBitrateTypeCBR, PaxOBitrateTypeNone, true,
     [](int) { return QVariant(4); },
     [](const Recording& r) { return QVariant(r.bitrateType); },
     [](Recording& r, const QVariant& v) { r.bitrateType = v.toInt(); }},
    {"profile", "", KeyType::Int, PaxOProfileBaseline, PaxOProfileNone, true,
     [](int) { return QVariant(2); },
     [](const Recording& r) { return QVariant(r.profile); },
     [](Recording& r, const QVariant& v) { r.profile = v.toInt(); }},
    {"preset", "", KeyType::Int, PaxOPresetUltrafast, PaxOPresetNone, true,
     [](int) { return QVariant(4); },
     [](const Recording& r) { return QVariant(r.preset); },
     [](Recording& r, const QVariant& v) { r.preset = v.toInt(); }},
    {"recordQuality", "", KeyType::Int, PaxORecordQualityLow, PaxORecordQualityNone, true,
     [](int) { return QVariant(1); },
     [](const Recording& r) { return QVariant(r.recordQuality); },
     [](Recording& r, const QVariant& v) { r.recordQuality = v.toInt(); }},
    {"recordSolutionIndex", "", KeyType::Int, -1, kAnyHi, false,
     [](int) { return QVariant(-1); },
     [](const Recording& r) { return QVariant(r.recordSolutionIndex); },
     [](Recording& r, const QVariant& v) { r.recordSolutionIndex = v.toInt(); }},
};
// clang-format on

QString recordingKeyName(int camera, int key)
{
    const RecordingKeyDesc& d = kRecordingKeys[key];
    return QLatin1String(d.stem) + (camera == 0 ? QLatin1String("Main") : QLatin1String("Second"))
        + QLatin1String(d.tail);
}

const QString kCommon = QStringLiteral("common");
} // namespace

QString PaxData::_getConfigPath()
{
    return paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("config"))
        + QStringLiteral("sdk_config.ini");
}

void PaxData::_put(const QString& section, const QString& key, const QVariant& value)
{
    const QString path = section + QLatin1Char('/') + key;
    for (PendingWrite& w : m_pending) {
        if (w.key == path) {
            w.value = value;
            return;
        }
    }
    m_pending.append(PendingWrite{path, value});
}

void PaxData::_writeBatch(const QVector<PendingWrite>& batch)
{
    const QString path = _getConfigPath();
    QSettings settings(path, QSettings::IniFormat);
    for (const PendingWrite& w : batch) {
        if (w.value.isValid())
            settings.setValue(w.key, w.value);
        else
            settings.remove(w.key);
    }
    settings.sync();
    if (settings.status() != QSettings::NoError)
        PAX_LOG_ERROR("cannot write settings file %s (status %d)", qPrintable(path), int(settings.status()));
}

void PaxData::_saveGroup(int mode, int group)
{
    const QString section = QLatin1String(pax_data::kSectionNames[mode]);
    for (const ProfileKey& k : kProfileKeys) {
        if (k.group == group)
            _put(section, QLatin1String(k.name), k.get(m_profiles[mode]));
    }
}

void PaxData::_saveRecordingKey(int camera, int key)
{
    _put(kCommon, recordingKeyName(camera, key), kRecordingKeys[key].get(m_recording[camera]));
}

void PaxData::_load()
{
    const QString path = _getConfigPath();
    QSettings settings(path, QSettings::IniFormat);
    // A file that does not parse is set aside and written anew from what could be read.
    (void)settings.allKeys(); // the parse status is known only after a full read
    const bool damaged = settings.status() == QSettings::FormatError;
    if (damaged) {
        PAX_LOG_ERROR("settings file %s is damaged: kept as %s.damaged, defaults fill it", qPrintable(path),
                      qPrintable(path));
    }

    auto read = [&settings](const QString& key, KeyType type, qint64 lo, qint64 hi, QVariant& out) {
        const QVariant raw = settings.value(key);
        return !raw.isNull() && convert(raw, type, lo, hi, out);
    };

    for (int mode = 0; mode < 5; ++mode) {
        const QString section = QLatin1String(pax_data::kSectionNames[mode]);
        for (int group = 0; group < GroupCount; ++group) {
            bool missing = false;
            for (const ProfileKey& k : kProfileKeys) {
                if (k.group != group)
                    continue;
                QVariant value;
                if (!read(section + QLatin1Char('/') + QLatin1String(k.name), k.type, k.lo, k.hi, value)) {
                    value = k.defaultValue(mode);
                    missing = true;
                }
                k.set(m_profiles[mode], value);
            }
            if (missing || damaged)
                _saveGroup(mode, group);
        }
    }

    QVariant angle;
    if (read(QStringLiteral("common/initAngle"), KeyType::Double, 0, 0, angle)) {
        m_initAngle = angle.toDouble();
    } else {
        m_initAngle = 0.0;
    }
    if (damaged || !angle.isValid())
        _put(kCommon, QStringLiteral("initAngle"), m_initAngle);

    for (int key = 0; key < pax_data::RecordingKeyCount; ++key) {
        const RecordingKeyDesc& k = kRecordingKeys[key];
        for (int camera = 0; camera < 2; ++camera) {
            QVariant value;
            const bool present = read(kCommon + QLatin1Char('/') + recordingKeyName(camera, key), k.type, k.lo,
                                      k.hi, value);
            if (!present)
                value = k.defaultValue(camera);
            k.set(m_recording[camera], value);
            if ((!present && k.writtenAtLoad) || (present && damaged))
                _saveRecordingKey(camera, key);
        }
    }
    if (damaged) {
        QFile::remove(path + QStringLiteral(".damaged"));
        QFile::rename(path, path + QStringLiteral(".damaged"));
    }
    // The stored rate type goes through its coupling, then each camera's record quality.
    for (int camera = 0; camera < 2; ++camera)
        _applyBitrateTypeLocked(camera, m_recording[camera].bitrateType);
    for (int camera = 0; camera < 2; ++camera)
        _applyRecordQualityLocked(camera);
}
