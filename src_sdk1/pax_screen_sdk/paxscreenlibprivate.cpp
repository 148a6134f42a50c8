#include "paxscreenlibprivate.h"

#include "ffmpeginput.h"
#include "macuvcclient.h"
#include "paxaudiorecord.h"
#include "paxdevicemonitor.h"
#include "paxmacos.h"
#include "paxmicrophonelist.h"
#include "paxrecordscreen.h"
#include "paxscreenlog.h"
#include "paxscreenqtlib.h"


#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include <type_traits>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

QMutex g_staticMutex;
QString g_savePath;
bool g_ffmpegInitialised = false;
int g_captureScreenIndex = 1;

const char* const kHardwareEncoder = "h264_videotoolbox";

enum MissingKey { WriteDefault, LeaveAbsent };

struct SettingRow {
    const char* key;
    QVariant def;
    MissingKey missing;
};

const SettingRow kSettings[] = {
#define PAX_SCREEN_SETTING_ROW(Id, key, def, missing) {key, def, missing},
    PAX_SCREEN_SETTINGS(PAX_SCREEN_SETTING_ROW)
#undef PAX_SCREEN_SETTING_ROW
};

// A setting's value as the accessor's type, and back.
template <typename T>
T fromSetting(const QVariant& value)
{
    if constexpr (std::is_same_v<T, QString>)
        return value.toString();
    else if constexpr (std::is_same_v<T, bool>)
        return value.toBool();
    else
        return T(value.toInt());
}

template <typename T>
QVariant toSetting(const T& value)
{
    if constexpr (std::is_enum_v<T>)
        return int(value);
    else
        return value;
}

bool framerateInRange(int framerate)
{
    return framerate >= 1 && framerate <= 60;
}

} // namespace

// ---- process-wide ----------------------------------------------------------

void PaxScreenLibPrivate::setSavePath(QString path)
{
    QMutexLocker lock(&g_staticMutex);
    g_savePath = path;
}

QString PaxScreenLibPrivate::savePath()
{
    QMutexLocker lock(&g_staticMutex);
    return g_savePath;
}

QString PaxScreenLibPrivate::configFilePath()
{
    QString base = savePath();
    if (base.isEmpty())
        base = QCoreApplication::applicationDirPath();
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const QString dir = base + QStringLiteral("config");
    if (!QFileInfo(dir).isDir())
        QDir().mkpath(dir);
    return dir + QStringLiteral("/config.ini");
}

bool PaxScreenLibPrivate::probeFileWritable(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.exists() || info.isSymLink())
        return info.isFile() && info.isWritable();
    QFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    probe.close();
    probe.remove();
    return true;
}

bool PaxScreenLibPrivate::setLogFile(QString path)
{
    if (!QFileInfo::exists(path) && !probeFileWritable(path)) {
        PAXSCREEN_ERROR("file[%s] can not be created", path.toLocal8Bit().constData());
        return false;
    }
    paxscreen_log::install(path);
    return true;
}

// ---- construction ----------------------------------------------------------

PaxScreenLibPrivate::PaxScreenLibPrivate(PaxScreenQtLib* facade, QObject* parent)
    : QObject(parent), m_facade(facade)
{
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::PaxScreenLibPrivate start");
    qRegisterMetaType<PaxScreenRecordInfoS>("PaxScreenRecordInfoS");
    {
        QMutexLocker lock(&g_staticMutex);
        if (!g_ffmpegInitialised) {
            g_ffmpegInitialised = true;
            PAXSCREEN_DEBUG("init ffmpeg..............");
            paxscreen_log::routeFfmpeg();
            avformat_network_init();
            pax_platform::registerFfmpegDevices();
            PAXSCREEN_DEBUG("init ffmpeg..............end");
        }
    }
    m_recorder = new PaxRecordScreen(this);
    if (m_facade)
        connect(m_recorder, &PaxRecordScreen::sigRecordInfo, m_facade, &PaxScreenQtLib::sigRecordInfo);
    m_audioRecorder = new PaxAudioRecord(m_recorder, this);
    for (int i = 0; i < SettingCount; ++i)
        m_values[i] = kSettings[i].def;
    _loadSettings();
    _connectDeviceChanges();
    QTimer::singleShot(100, this, &PaxScreenLibPrivate::slotCheckDevice);
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::PaxScreenLibPrivate end");
}

PaxScreenLibPrivate::~PaxScreenLibPrivate()
{
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::~PaxScreenLibPrivate start");
    m_recorder->myStopRecordWait();
    m_audioRecorder->myStopWait();
    delete m_audioRecorder;
    m_audioRecorder = nullptr;
    delete m_recorder;
    m_recorder = nullptr;
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::~PaxScreenLibPrivate end");
}

void PaxScreenLibPrivate::_connectDeviceChanges()
{
    if (isAvailableMacos13())
        connect(MacUvcClient::getInstance(), &MacUvcClient::sigOutdeviceInOut, this,
                &PaxScreenLibPrivate::slotCheckDevice, Qt::QueuedConnection);
    else
        connect(PaxDeviceMonitor::getInstance(), &PaxDeviceMonitor::sigOutdeviceInOut, this,
                &PaxScreenLibPrivate::slotCheckDevice, Qt::QueuedConnection);
}

// ---- settings file ---------------------------------------------------------

void PaxScreenLibPrivate::_writeSetting(Setting id, const QVariant& value)
{
    QSettings settings(configFilePath(), QSettings::IniFormat);
    settings.setValue(QString::fromLatin1(kSettings[id].key), value);
    settings.sync();
}

QVariant PaxScreenLibPrivate::_readSetting(Setting id)
{
    // Each read opens the file afresh. A missing key or an integer that doesn't parse
    // takes the default, written back unless the row leaves it absent.
    const SettingRow& row = kSettings[id];
    QSettings settings(configFilePath(), QSettings::IniFormat);
    const QString key = QString::fromLatin1(row.key);
    if (settings.contains(key)) {
        const QVariant stored = settings.value(key);
        switch (row.def.userType()) {
        case QMetaType::Bool:
            return stored.toBool();
        case QMetaType::Int: {
            bool ok = false;
            const int v = stored.toInt(&ok);
            if (ok)
                return v;
            break;
        }
        default:
            return stored.toString();
        }
    } else if (row.missing == LeaveAbsent) {
        return row.def;
    }
    settings.setValue(key, row.def);
    settings.sync();
    return row.def;
}

QVariant PaxScreenLibPrivate::_loadVideoEncoder()
{
    // A stored name the recorder refuses is kept as stored; the recorder keeps its own.
    QSettings settings(configFilePath(), QSettings::IniFormat);
    const QString key = QString::fromLatin1(kSettings[SettingVideoEncoder].key);
    const QString stored = settings.value(key).toString();
    if (settings.contains(key) && !m_recorder->setEncoder(stored))
        return stored;
    const QString encoder = m_recorder->getEncoder();
    settings.setValue(key, encoder);
    settings.sync();
    return encoder;
}

void PaxScreenLibPrivate::_loadSettings()
{
    // In row order: the bit-rate type's coupling and the quality presets work on the
    // values loaded before them.
    for (int i = 0; i < SettingCount; ++i) {
        const Setting id = Setting(i);
        QVariant value = id == SettingVideoEncoder ? _loadVideoEncoder() : _readSetting(id);
        if (id == SettingBitrateType) {
            setBitrateType(_PaxBitrateTypeE(value.toInt()));
            continue;
        }
        if (id == SettingFramerate && !framerateInRange(value.toInt())) {
            PAXSCREEN_ERROR("framerate[%d] in the settings is out of range, using 60", value.toInt());
            value = kSettings[id].def;
            _writeSetting(id, value);
        }
        _apply(id, value);
        {
            QMutexLocker lock(&m_mutex);
            m_values[id] = value;
        }
        if (id == SettingRecordQuality)
            _handleRecordQuality();
    }
}

QVariant PaxScreenLibPrivate::_value(Setting id)
{
    QMutexLocker lock(&m_mutex);
    return m_values[id];
}

void PaxScreenLibPrivate::_apply(Setting id, const QVariant& value)
{
    const int v = value.toInt();
    switch (id) {
    case SettingBitrateValue:
        m_recorder->setBitrateValue(v);
        break;
    case SettingQuantizationParameter:
        m_recorder->setQuantizationParameter(v);
        break;
    case SettingBitrateType:
        m_recorder->setBitrateType(v);
        break;
    case SettingProfile:
        m_recorder->setProfile(v);
        break;
    case SettingPresetMode:
        m_recorder->setPresetMode(v);
        break;
    case SettingFramerate:
        m_recorder->setFramerate(v);
        break;
    case SettingMicVolumn:
        m_audioRecorder->setMicVolumn(v);
        break;
    default:
        break;
    }
}

void PaxScreenLibPrivate::_commit(Setting id, const QVariant& value)
{
    _apply(id, value);
    {
        QMutexLocker lock(&m_mutex);
        m_values[id] = value;
    }
    _writeSetting(id, value);
}

bool PaxScreenLibPrivate::_set(Setting id, const QVariant& value)
{
    if (_refuseWhileRecording())
        return false;
    _commit(id, value);
    return true;
}

// ---- accessors of the settings ----------------------------------------------

// Getters of a setting: X receives (type, getter, setting Id).
#define PAX_SCREEN_SETTING_GETTERS(X)                                              \
    X(QString, getCurMicrophoneName, CurMicrophoneName)                            \
    X(bool, getIsRecordAudio, RecordAudio)                                         \
    X(int, getMicVolumn, MicVolumn)                                                \
    X(_PaxBitrateValueE, getBitrateValue, BitrateValue)                            \
    X(_PaxBitrateTypeE, getBitrateType, BitrateType)                               \
    X(_PaxQuantizationParameterE, getQuantizationParameter, QuantizationParameter) \
    X(_PaxProfileE, getProfile, Profile)                                           \
    X(_PaxPresetModeE, getPreset, PresetMode)                                      \
    X(_PaxRecordQualityE, getRecordQuality, RecordQuality)                         \
    X(int, getFramerate, Framerate)                                                \
    X(QString, getPushStreamUrl, PushStreamUrl)

// Setters with no rule of their own (see _set): X receives (parameter type, setter, setting Id).
#define PAX_SCREEN_PLAIN_SETTERS(X)                                                \
    X(int, setMicVolumn, MicVolumn)                                                \
    X(_PaxBitrateValueE, setBitrateValue, BitrateValue)                            \
    X(_PaxQuantizationParameterE, setQuantizationParameter, QuantizationParameter) \
    X(_PaxProfileE, setProfile, Profile)                                           \
    X(_PaxPresetModeE, setPreset, PresetMode)                                      \
    X(QString, setPushStreamUrl, PushStreamUrl)

#define PAX_SCREEN_DEFINE_GETTER(Type, getter, Id) \
    Type PaxScreenLibPrivate::getter() { return fromSetting<Type>(_value(Setting##Id)); }
PAX_SCREEN_SETTING_GETTERS(PAX_SCREEN_DEFINE_GETTER)
#undef PAX_SCREEN_DEFINE_GETTER

#define PAX_SCREEN_DEFINE_SETTER(Type, setter, Id) \
    bool PaxScreenLibPrivate::setter(Type value) { return _set(Setting##Id, toSetting(value)); }
PAX_SCREEN_PLAIN_SETTERS(PAX_SCREEN_DEFINE_SETTER)
#undef PAX_SCREEN_DEFINE_SETTER

// ---- recording state -------------------------------------------------------

// From a start until the run has reported its stop: a host told of the stop may change the
// settings at once, while the recorder thread is still returning from its run.
bool PaxScreenLibPrivate::_isRecording()
{
    return !m_recorder->hasReportedEnd() || m_recorder->getRecordInfo().state != PaxRecordStop;
}

bool PaxScreenLibPrivate::_refuseWhileRecording()
{
    if (!_isRecording())
        return false;
    PAXSCREEN_ERROR("Parameter modification is not allowed during recording");
    return true;
}

// ---- microphone ------------------------------------------------------------

QList<_ScreenMicrophoneS> PaxScreenLibPrivate::getMicrophoneList()
{
    QMutexLocker lock(&m_mutex);
    return m_microphoneList;
}

void PaxScreenLibPrivate::_setAudioInfo(Setting id, const QVariant& value)
{
    if (_refuseWhileRecording()) {
        if (m_facade)
            emit m_facade->sigAudioInfoChange();
        return;
    }
    _commit(id, value);
}

void PaxScreenLibPrivate::setCurMicrophoneName(QString name)
{
    _setAudioInfo(SettingCurMicrophoneName, name);
}

void PaxScreenLibPrivate::setIsRecordAudio(bool record)
{
    _setAudioInfo(SettingRecordAudio, record);
}

void PaxScreenLibPrivate::slotCheckDevice()
{
    _freshMicrophoneInfo();
}

void PaxScreenLibPrivate::_freshMicrophoneInfo()
{
    int captureScreen = 0;
    {
        QMutexLocker lock(&g_staticMutex);
        captureScreen = g_captureScreenIndex;
    }
    const QList<_ScreenMicrophoneS> list = _gsSearchMicrophoneInfo(captureScreen);
    {
        QMutexLocker lock(&g_staticMutex);
        g_captureScreenIndex = captureScreen;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_microphoneList = list;
    }
    m_recorder->setCaptureScreenIndexForMac(captureScreen);
    const QString current = getCurMicrophoneName();
    bool listed = false;
    for (const _ScreenMicrophoneS& mic : list)
        listed = listed || (!current.isEmpty() && mic.name == current);
    if (!listed)
        setCurMicrophoneName(list.isEmpty() ? QString() : list.first().name);
    if (m_facade)
        emit m_facade->sigAudioInfoChange();
}

// ---- encoder ---------------------------------------------------------------

QStringList PaxScreenLibPrivate::getVideoEncoderList()
{
    return m_recorder->getEncoderList();
}

QString PaxScreenLibPrivate::getVideoEncoder()
{
    return m_recorder->getEncoder();
}

bool PaxScreenLibPrivate::setVideoEncoder(QString name)
{
    if (!m_recorder->setEncoder(name))
        return false;
    _commit(SettingVideoEncoder, name);
    return true;
}

bool PaxScreenLibPrivate::getIsHardwareEncoder(bool& available)
{
    available = m_recorder->getEncoderList().contains(QLatin1String(kHardwareEncoder));
    return _value(SettingVideoEncoder).toString() == QLatin1String(kHardwareEncoder);
}

bool PaxScreenLibPrivate::setIsHardwareEncoder(bool hardware)
{
    return setVideoEncoder(hardware ? QString::fromLatin1(kHardwareEncoder) : QStringLiteral("libx264"));
}

// ---- rate control ----------------------------------------------------------

bool PaxScreenLibPrivate::setBitrateType(_PaxBitrateTypeE type)
{
    if (!_set(SettingBitrateType, int(type)))
        return false;
    if (type == PaxBitrateTypeCRF || type == PaxBitrateTypeCQP) {
        setBitrateValue(PaxBitrateValueNone);
        if (getQuantizationParameter() == PaxQuantizationParameterNone)
            setQuantizationParameter(PaxQuantizationParameter23);
    } else if (type == PaxBitrateTypeCBR || type == PaxBitrateTypeVBR || type == PaxBitrateTypeABR) {
        setQuantizationParameter(PaxQuantizationParameterNone);
        if (getBitrateValue() == PaxBitrateValueNone)
            setBitrateValue(PaxBitrateValue8M);
    }
    return true;
}

bool PaxScreenLibPrivate::setRecordQuality(_PaxRecordQualityE quality)
{
    if (!_set(SettingRecordQuality, int(quality)))
        return false;
    _handleRecordQuality();
    return true;
}

void PaxScreenLibPrivate::_handleRecordQuality()
{
    const int quality = getRecordQuality();
    if (quality < 0 || quality > 2)
        return;
    setBitrateType(PaxBitrateTypeVBR);
    setQuantizationParameter(PaxQuantizationParameter23);
    setPreset(PaxPresetUltrafast);
    setProfile(PaxProfileMain);
    setBitrateValue(quality == 0 ? PaxBitrateValue8M : quality == 1 ? PaxBitrateValue4M : PaxBitrateValue2M);
}

bool PaxScreenLibPrivate::setFramerate(int framerate)
{
    if (_refuseWhileRecording())
        return false;
    if (!framerateInRange(framerate)) {
        PAXSCREEN_ERROR("framerate[%d] is out of range 1-60", framerate);
        return false;
    }
    _commit(SettingFramerate, framerate);
    return true;
}

// ---- area ------------------------------------------------------------------

bool PaxScreenLibPrivate::setRect(QRect rect)
{
    if (_refuseWhileRecording())
        return false;
    return m_recorder->setRect(rect);
}

bool PaxScreenLibPrivate::removeRect()
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->removeRect();
    return true;
}

int PaxScreenLibPrivate::getRecordWidth()
{
    return m_recorder->getRect().width();
}

int PaxScreenLibPrivate::getRecordHeight()
{
    return m_recorder->getRect().height();
}

// ---- control ---------------------------------------------------------------

bool PaxScreenLibPrivate::startRecordScreen(QString fileName)
{
    if (!fileName.endsWith(QLatin1String(".mp4"), Qt::CaseSensitive)) {
        PAXSCREEN_ERROR("file[%s] do not end with .mp4", fileName.toLocal8Bit().constData());
        return false;
    }
    if (!probeFileWritable(fileName)) {
        PAXSCREEN_ERROR("file[%s] can not be created", fileName.toLocal8Bit().constData());
        return false;
    }
    // A recording still running is ended first, microphone side included.
    if (m_recorder->isBusy() || m_audioRecorder->isRunning())
        stopRecordScreen();
    QString microphone;
    bool recordAudio = false;
    {
        QMutexLocker lock(&m_mutex);
        microphone = m_values[SettingCurMicrophoneName].toString();
        recordAudio = m_values[SettingRecordAudio].toBool();
    }
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::startRecordScreen filename[%s] m_bRecordAudio[%d] m_curMicrophoneName[%s]",
                    fileName.toLocal8Bit().constData(), int(recordAudio), microphone.toLocal8Bit().constData());
    if (recordAudio && !microphone.isEmpty()) {
        int index = -1;
        for (const _ScreenMicrophoneS& mic : getMicrophoneList()) {
            if (mic.name == microphone) {
                index = mic.index;
                break;
            }
        }
        m_recorder->myStartRecord(fileName, true);
        m_audioRecorder->myStart(index);
    } else {
        m_recorder->myStartRecord(fileName, false);
    }
    return true;
}

void PaxScreenLibPrivate::stopRecordScreen()
{
    m_recorder->myStopRecordWait();
    // The microphone thread leaves once it sees the video side finished; waiting for it
    // always (not only when the settings say audio) keeps a run from outliving its recording.
    m_audioRecorder->myStopWait();
}

void PaxScreenLibPrivate::pause()
{
    m_recorder->myPause();
}

void PaxScreenLibPrivate::resume()
{
    m_recorder->myResume();
}

bool PaxScreenLibPrivate::pauseOrResume()
{
    // The recorder's own status, not the record info that follows it only once a second.
    if (!m_recorder->isBusy())
        return false;
    const int status = m_recorder->getStatus();
    if (status == PaxRecordPause) {
        m_recorder->myResume();
        return false;
    }
    if (status == PaxRecordRun) {
        m_recorder->myPause();
        return true;
    }
    return false;
}

_PaxScreenRecordInfoS PaxScreenLibPrivate::getRecordInfo()
{
    return m_recorder->getRecordInfo();
}

// ---- push stream -----------------------------------------------------------

bool PaxScreenLibPrivate::startPushStream()
{
    const QString url = getPushStreamUrl();
    if (url.isEmpty()) {
        PAXSCREEN_ERROR("push stream url[%s] is empty", url.toLocal8Bit().constData());
        return false;
    }
    PAXSCREEN_DEBUG("PaxScreenLibPrivate::startPushStream m_pushStreamUrl[%s]", url.toLocal8Bit().constData());
    if (m_recorder->isBusy() || m_audioRecorder->isRunning())
        stopRecordScreen();
    m_recorder->myStartPushStream(url);
    return true;
}

void PaxScreenLibPrivate::stopPushStream()
{
    m_recorder->myStopPushStream();
}

// ---- grab ------------------------------------------------------------------

bool PaxScreenLibPrivate::grabScreen(QString fileName, QRect rect)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect geometry = screen ? screen->geometry() : QRect();
    if (!probeFileWritable(fileName)) {
        PAXSCREEN_ERROR("file[%s] can not be created", fileName.toLocal8Bit().constData());
        return false;
    }
    if (rect.isNull())
        rect = geometry;
    if (!screen || rect.isEmpty() || !geometry.contains(rect)) {
        PAXSCREEN_ERROR("rect[%d-%d-%d-%d] of grab is invalid", rect.x(), rect.y(), rect.width(), rect.height());
        return false;
    }
    const QPixmap pixmap = screen->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height());
    if (pixmap.isNull() || !pixmap.save(fileName, nullptr, 100)) {
        PAXSCREEN_ERROR("grab file[%s] failed", fileName.toLocal8Bit().constData());
        return false;
    }
    if (m_facade)
        emit m_facade->sigGrab(fileName);
    return true;
}
