// The settings file: where it lives, its key/default tables, the load and the save groups.

#include "paxdata.h"

#include "paxdata_p.h"
#include "paxintool.h"
#include "paxlib.h"
#include "paxsettingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include <climits>
#include <cmath>

namespace pax_data {
#define PAX_DATA_SECTION_NAME(NAME, MODE) #NAME,
const char* const kSectionNames[PaxData::ModeCount] = {"common", PAX_MODE_PROFILES(PAX_DATA_SECTION_NAME)};
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

// A row's field as the file holds it: logo alphas are written as integers.
QVariant toVariant(bool v) { return v; }
QVariant toVariant(int v) { return v; }
QVariant toVariant(unsigned char v) { return int(v); }
QVariant toVariant(const QString& v) { return v; }
void fromVariant(const QVariant& v, bool& out) { out = v.toBool(); }
void fromVariant(const QVariant& v, int& out) { out = v.toInt(); }
void fromVariant(const QVariant& v, unsigned char& out) { out = static_cast<unsigned char>(v.toInt()); }
void fromVariant(const QVariant& v, QString& out) { out = v.toString(); }

template <class T> constexpr KeyType keyTypeOf();
template <> constexpr KeyType keyTypeOf<bool>() { return KeyType::Bool; }
template <> constexpr KeyType keyTypeOf<int>() { return KeyType::Int; }
template <> constexpr KeyType keyTypeOf<unsigned char>() { return KeyType::Int; }
template <> constexpr KeyType keyTypeOf<QString>() { return KeyType::Text; }

// Range of accepted integers; a value outside it is taken as damaged. Other types ignore it.
struct Range {
    qint64 lo;
    qint64 hi;
};
constexpr Range range(qint64 lo, qint64 hi) { return Range{lo, hi}; }
constexpr Range kAny{INT_MIN, INT_MAX};

// The value of a key: a field of a profile or of a camera's recording settings, its accepted
// range, its type in the file and its default (defaultFor, when not null, gives the default of
// each mode or camera).
template <class Rec>
struct KeyField {
    Range range;
    KeyType type;
    QVariant fixedDefault;
    QVariant (*defaultFor)(int index);
    QVariant (*get)(const Rec&);
    void (*set)(Rec&, const QVariant&);

    QVariant defaultValue(int index) const { return defaultFor ? defaultFor(index) : fixedDefault; }
};

// The KeyField of the field FIELD of REC.
#define PAX_KEY_FIELD(REC, FIELD, DEFAULT, DEFAULT_FOR, RANGE) \
    KeyField<REC> \
    { \
        RANGE, keyTypeOf<decltype(REC::FIELD)>(), QVariant(DEFAULT), DEFAULT_FOR, \
            [](const REC& r) { return toVariant(r.FIELD); }, \
            [](REC& r, const QVariant& v) { fromVariant(v, r.FIELD); } \
    }

// One per-mode key of a save group.
struct ProfileKey {
    const char* name;
    int group;
    KeyField<Profile> field;
};

QVariant picSavePathDefault(int mode)
{
    return paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QLatin1String(pax_data::kSectionNames[mode]));
}

QVariant colorModeDefault(int mode)
{
    return mode == PaxWorkModeBW ? PaxColorModeGray : PaxColorModeColor;
}

#define PROFILE_KEY(NAME, GROUP, FIELD, DEFAULT, RANGE) \
    {NAME, PaxData::GROUP, PAX_KEY_FIELD(Profile, FIELD, DEFAULT, nullptr, RANGE)}
#define PROFILE_KEY_BY_MODE(NAME, GROUP, FIELD, DEFAULT_FOR, RANGE) \
    {NAME, PaxData::GROUP, PAX_KEY_FIELD(Profile, FIELD, QVariant(), DEFAULT_FOR, RANGE)}

// Logo alphas are taken modulo 256 at load.
// clang-format off
const ProfileKey kProfileKeys[] = {
    PROFILE_KEY("picLogoEnable",    GroupLogoPic,         picLogoEnable,   false,                    kAny),
    PROFILE_KEY("logoFile",         GroupLogoPic,         logoFile,        QString(),                kAny),
    PROFILE_KEY("logoAlpha",        GroupLogoPic,         logoAlpha,       255,                      kAny),
    PROFILE_KEY("logoX",            GroupLogoPic,         logoX,           50,                       kAny),
    PROFILE_KEY("logoY",            GroupLogoPic,         logoY,           200,                      kAny),
    PROFILE_KEY("textLogoEnable",   GroupLogoText,        textLogoEnable,  false,                    kAny),
    PROFILE_KEY("logoText",         GroupLogoText,        logoText,        QString(),                kAny),
    PROFILE_KEY("textLogoAlpha",    GroupLogoText,        textLogoAlpha,   255,                      kAny),
    PROFILE_KEY("textLogoColor",    GroupLogoText,        textLogoColor,   QStringLiteral("#FF0000"), kAny),
    PROFILE_KEY("textLogoX",        GroupLogoText,        textLogoX,       50,                       kAny),
    PROFILE_KEY("textLogoY",        GroupLogoText,        textLogoY,       200,                      kAny),
    PROFILE_KEY("textSize",         GroupLogoText,        textSize,        100,                      kAny),
    PROFILE_KEY("textWeight",       GroupLogoText,        textWeight,      10,                       kAny),
    PROFILE_KEY("picSaveFormat",    GroupPicSaveFormat,   picSaveFormat,   PaxPicSaveFormatJpg,
                range(PaxPicSaveFormatJpg, PaxPicSaveFormatPdf)),
    PROFILE_KEY("picNameMode",      GroupPicNameMode,     picNameMode,     PaxPicNameModeTime,
                range(PaxPicNameModeTime, PaxPicNameModeIndex)),
    PROFILE_KEY("picPressRatio",    GroupPicPressRatio,   picPressRatio,   100,                      range(10, 100)),
    PROFILE_KEY("nextPicIndex",     GroupNextPicIndex,    nextPicIndex,    0,                        kAny),
    PROFILE_KEY_BY_MODE("picSavePath", GroupPicSavePath,  picSavePath,     picSavePathDefault,       kAny),
    PROFILE_KEY("bRectify",         GroupRectify,         rectify,         false,                    kAny),
    PROFILE_KEY("bAutoTrim",        GroupAutoTrim,        autoTrim,        false,                    kAny),
    PROFILE_KEY("bManuTrim",        GroupManuTrim,        manuTrim,        false,                    kAny),
    PROFILE_KEY("bAutoDoc",         GroupAutoDoc,         autoDoc,         false,                    kAny),
    PROFILE_KEY("bIntelligentGrab", GroupIntelligentGrab, intelligentGrab, false,                    kAny),
    PROFILE_KEY_BY_MODE("colorMode", GroupColorMode,      colorMode,       colorModeDefault,
                        range(PaxColorModeColor, PaxColorModeBlackWhite)),
};
// clang-format on

// One recording key per camera, named stem + "Main"/"Second" + tail. writtenAtLoad false: a
// missing key keeps its default in memory only.
struct RecordingKeyDesc {
    const char* stem;
    const char* tail;
    bool writtenAtLoad;
    KeyField<Recording> field;
};

QVariant videoSavePathDefault(int camera)
{
    return paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), camera == 0 ? QStringLiteral("mainvideo")
                                                                                   : QStringLiteral("secondvideo"));
}

QVariant videoPrefixDefault(int camera)
{
    return pax_data::defaultVideoPrefix(camera);
}

#define RECORDING_KEY(STEM, TAIL, WRITTEN_AT_LOAD, FIELD, DEFAULT, RANGE) \
    {STEM, TAIL, WRITTEN_AT_LOAD, PAX_KEY_FIELD(Recording, FIELD, DEFAULT, nullptr, RANGE)}
#define RECORDING_KEY_BY_CAMERA(STEM, TAIL, WRITTEN_AT_LOAD, FIELD, DEFAULT_FOR, RANGE) \
    {STEM, TAIL, WRITTEN_AT_LOAD, PAX_KEY_FIELD(Recording, FIELD, QVariant(), DEFAULT_FOR, RANGE)}

// Indexed by PaxData::RecordingKey.
// clang-format off
const RecordingKeyDesc kRecordingKeys[PaxData::RecordingKeyCount] = {
    RECORDING_KEY_BY_CAMERA("video",    "SavePath", true, videoSavePath, videoSavePathDefault, kAny),
    RECORDING_KEY_BY_CAMERA("video",    "Prefix",   true, videoPrefix,   videoPrefixDefault,   kAny),
    RECORDING_KEY("curMicrophoneName",     "", true,  microphoneName,        QString(),                   kAny),
    RECORDING_KEY("curMicrophoneVolumn",   "", true,  microphoneVolume,      100,                         kAny),
    RECORDING_KEY("bRecordAudio",          "", true,  recordAudio,           false,                       kAny),
    RECORDING_KEY("curEncoder",            "", false, encoder,               QString(),                   kAny),
    RECORDING_KEY("bitrateValue",          "", true,  bitrateValue,          PaxOBitrateValue8M,
                  range(PaxOBitrateValue1M, PaxOBitrateValueNone)),
    RECORDING_KEY("quantizationParameter", "", true,  quantizationParameter, PaxOQuantizationParameter23,
                  range(PaxOQuantizationParameter51, PaxOQuantizationParameterNone)),
    RECORDING_KEY("bitrateType",           "", true,  bitrateType,           PaxOBitrateTypeCQP,
                  range(PaxOBitrateTypeCBR, PaxOBitrateTypeNone)),
    RECORDING_KEY("profile",               "", true,  profile,               PaxOProfileMain,
                  range(PaxOProfileBaseline, PaxOProfileNone)),
    RECORDING_KEY("preset",                "", true,  preset,                PaxOPresetFast,
                  range(PaxOPresetUltrafast, PaxOPresetNone)),
    RECORDING_KEY("recordQuality",         "", true,  recordQuality,         PaxORecordQualityMiddle,
                  range(PaxORecordQualityLow, PaxORecordQualityNone)),
    RECORDING_KEY("recordSolutionIndex",   "", false, recordSolutionIndex,   -1,
                  range(-1, INT_MAX)),
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

void PaxData::_putInto(QVector<PendingWrite>& list, const QString& key, const QVariant& value)
{
    for (PendingWrite& w : list) {
        if (w.key == key) {
            w.value = value;
            return;
        }
    }
    list.append(PendingWrite{key, value});
}

void PaxData::_put(const QString& section, const QString& key, const QVariant& value)
{
    _putInto(m_pending, section + QLatin1Char('/') + key, value);
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
            _put(section, QLatin1String(k.name), k.field.get(m_profiles[mode]));
    }
}

void PaxData::_saveRecordingKey(int camera, int key)
{
    _put(kCommon, recordingKeyName(camera, key), kRecordingKeys[key].field.get(m_recording[camera]));
}

void PaxData::_storeRecordingKeyLocked(int camera, int key, const QVariant& value)
{
    kRecordingKeys[key].field.set(m_recording[camera], value);
    _saveRecordingKey(camera, key);
}

using paxsettings::dropByteOrderMark;
using paxsettings::setAsideName;
using paxsettings::usableFolder;

void PaxData::_load()
{
    const QString path = _getConfigPath();
    dropByteOrderMark(path);
    QSettings settings(path, QSettings::IniFormat);
    // A file that does not parse is set aside; the new one gets every value that could be read.
    (void)settings.allKeys(); // the parse status is known only after a full read
    const bool damaged = settings.status() == QSettings::FormatError;
    const QString setAside = damaged ? setAsideName(path) : QString();
    if (damaged) {
        PAX_LOG_ERROR("settings file %s is damaged: kept as %s, the values still readable are kept",
                      qPrintable(path), qPrintable(setAside));
    }

    auto read = [&settings](const QString& key, KeyType type, Range range, QVariant& out) {
        const QVariant raw = settings.value(key);
        return !raw.isNull() && convert(raw, type, range.lo, range.hi, out);
    };

    for (int mode = 0; mode < ModeCount; ++mode) {
        const QString section = QLatin1String(pax_data::kSectionNames[mode]);
        for (int group = 0; group < GroupCount; ++group) {
            bool missing = false;
            for (const ProfileKey& k : kProfileKeys) {
                if (k.group != group)
                    continue;
                QVariant value;
                if (!read(section + QLatin1Char('/') + QLatin1String(k.name), k.field.type, k.field.range, value)
                    || (group == GroupPicSavePath && !usableFolder(value))) {
                    value = k.field.defaultValue(mode);
                    missing = true;
                }
                k.field.set(m_profiles[mode], value);
            }
            if (missing || damaged)
                _saveGroup(mode, group);
        }
    }

    QVariant angle;
    if (read(QStringLiteral("common/initAngle"), KeyType::Double, kAny, angle)) {
        m_initAngle = angle.toDouble();
    } else {
        m_initAngle = 0.0;
    }
    if (damaged || !angle.isValid())
        _put(kCommon, QStringLiteral("initAngle"), m_initAngle);

    for (int key = 0; key < PaxData::RecordingKeyCount; ++key) {
        const RecordingKeyDesc& k = kRecordingKeys[key];
        for (int camera = 0; camera < 2; ++camera) {
            QVariant value;
            const bool present = read(kCommon + QLatin1Char('/') + recordingKeyName(camera, key), k.field.type,
                                      k.field.range, value)
                && (key != KeyVideoSavePath || usableFolder(value));
            if (!present)
                value = k.field.defaultValue(camera);
            k.field.set(m_recording[camera], value);
            if ((!present && k.writtenAtLoad) || (present && damaged))
                _saveRecordingKey(camera, key);
        }
    }
    if (damaged) {
        // The image controls the user set are not loaded here, but they must survive the rewrite.
        for (int control = 0; control < UvcControlCount; ++control) {
            const QVariant stored = settings.value(kCommon + QLatin1Char('/') + QLatin1String(pax_data::kUvcKeys[control]));
            if (!stored.isNull() && stored.type() != QVariant::StringList)
                _put(kCommon, QLatin1String(pax_data::kUvcKeys[control]), stored.toString());
        }
        QFile::rename(path, setAside);
    }
    // The stored rate type goes through its coupling, then each camera's record quality.
    for (int camera = 0; camera < 2; ++camera)
        _applyBitrateTypeLocked(camera, m_recording[camera].bitrateType);
    for (int camera = 0; camera < 2; ++camera)
        _applyRecordQualityLocked(camera);
}
