#include "paxscreenlibprivate.h"

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

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

QMutex g_staticMutex;
QString g_savePath;
bool g_ffmpegInitialised = false;
int g_captureScreenIndex = 1;

const char* const kHardwareEncoder = "h264_videotoolbox";

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
            av_log_set_level(AV_LOG_QUIET);
            avformat_network_init();
            avdevice_register_all();
            PAXSCREEN_DEBUG("init ffmpeg..............end");
        }
    }
    m_recorder = new PaxRecordScreen(this);
    if (m_facade)
        connect(m_recorder, &PaxRecordScreen::sigRecordInfo, m_facade, &PaxScreenQtLib::sigRecordInfo);
    m_audioRecorder = new PaxAudioRecord(m_recorder, this);
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

void PaxScreenLibPrivate::_writeSetting(const char* key, const QVariant& value)
{
    QSettings settings(configFilePath(), QSettings::IniFormat);
    settings.setValue(QString::fromLatin1(key), value);
    settings.sync();
}

void PaxScreenLibPrivate::_loadSettings()
{
    // Each pass opens the file afresh; a missing key takes its default and is written back.
    auto read = [](const char* key, const QVariant& def, bool writeBack) {
        QSettings settings(configFilePath(), QSettings::IniFormat);
        const QString k = QString::fromLatin1(key);
        if (settings.contains(k))
            return settings.value(k);
        if (writeBack) {
            settings.setValue(k, def);
            settings.sync();
        }
        return def;
    };
    auto readInt = [&](const char* key, int def) {
        bool ok = false;
        const int v = read(key, def, true).toInt(&ok);
        if (!ok) {
            _writeSetting(key, def);
            return def;
        }
        return v;
    };

    {
        const QString name = read("common/curMicrophoneName", QString(), true).toString();
        QMutexLocker lock(&m_mutex);
        m_curMicrophoneName = name;
    }
    {
        const bool record = read("common/bRecordAudio", true, true).toBool();
        QMutexLocker lock(&m_mutex);
        m_bRecordAudio = record;
    }
    {
        QSettings settings(configFilePath(), QSettings::IniFormat);
        const QString stored = settings.value(QStringLiteral("common/videoEncoder")).toString();
        QString field;
        if (!settings.contains(QStringLiteral("common/videoEncoder"))) {
            field = m_recorder->getEncoder();
            settings.setValue(QStringLiteral("common/videoEncoder"), field);
            settings.sync();
        } else if (m_recorder->setEncoder(stored)) {
            field = m_recorder->getEncoder();
            settings.setValue(QStringLiteral("common/videoEncoder"), field);
            settings.sync();
        } else {
            field = stored;
        }
        QMutexLocker lock(&m_mutex);
        m_videoEncoder = field;
    }
    {
        const int v = readInt("common/bitrateValue", 3);
        m_recorder->setBitrateValue(v);
        QMutexLocker lock(&m_mutex);
        m_bitrateValue = v;
    }
    {
        const int v = readInt("common/quantizationParameter", 1);
        m_recorder->setQuantizationParameter(v);
        QMutexLocker lock(&m_mutex);
        m_quantizationParameter = v;
    }
    setBitrateType(_PaxBitrateTypeE(readInt("common/bitrateType", 4)));
    {
        const int v = readInt("common/profile", 2);
        m_recorder->setProfile(v);
        QMutexLocker lock(&m_mutex);
        m_profile = v;
    }
    {
        const int v = readInt("common/presetMode", 8);
        m_recorder->setPresetMode(v);
        QMutexLocker lock(&m_mutex);
        m_presetMode = v;
    }
    {
        const int v = readInt("common/recordQuality", 1);
        {
            QMutexLocker lock(&m_mutex);
            m_recordQuality = v;
        }
        _handleRecordQuality();
    }
    {
        int v = readInt("common/framerate", 60);
        if (v < 1 || v > 60) {
            PAXSCREEN_ERROR("framerate[%d] in the settings is out of range, using 60", v);
            v = 60;
            _writeSetting("common/framerate", v);
        }
        m_recorder->setFramerate(v);
        QMutexLocker lock(&m_mutex);
        m_framerate = v;
    }
    {
        const int v = readInt("common/micVolumn", 100);
        m_audioRecorder->setMicVolumn(v);
        QMutexLocker lock(&m_mutex);
        m_micVolumn = v;
    }
    {
        const QString url = read("common/pushStreamUrl", QString(), false).toString();
        QMutexLocker lock(&m_mutex);
        m_pushStreamUrl = url;
    }
}

// ---- recording state -------------------------------------------------------

bool PaxScreenLibPrivate::_isRecording()
{
    return m_recorder->isBusy() || m_recorder->getRecordInfo().state != 0;
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

QString PaxScreenLibPrivate::getCurMicrophoneName()
{
    QMutexLocker lock(&m_mutex);
    return m_curMicrophoneName;
}

void PaxScreenLibPrivate::setCurMicrophoneName(QString name)
{
    if (_isRecording()) {
        PAXSCREEN_ERROR("Parameter modification is not allowed during recording");
        if (m_facade)
            emit m_facade->sigAudioInfoChange();
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_curMicrophoneName = name;
    }
    _writeSetting("common/curMicrophoneName", name);
}

bool PaxScreenLibPrivate::getIsRecordAudio()
{
    QMutexLocker lock(&m_mutex);
    return m_bRecordAudio;
}

void PaxScreenLibPrivate::setIsRecordAudio(bool record)
{
    if (_isRecording()) {
        PAXSCREEN_ERROR("Parameter modification is not allowed during recording");
        if (m_facade)
            emit m_facade->sigAudioInfoChange();
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_bRecordAudio = record;
    }
    _writeSetting("common/bRecordAudio", record);
}

int PaxScreenLibPrivate::getMicVolumn()
{
    QMutexLocker lock(&m_mutex);
    return m_micVolumn;
}

bool PaxScreenLibPrivate::setMicVolumn(int volume)
{
    if (_refuseWhileRecording())
        return false;
    m_audioRecorder->setMicVolumn(volume);
    {
        QMutexLocker lock(&m_mutex);
        m_micVolumn = volume;
    }
    _writeSetting("common/micVolumn", volume);
    return true;
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
    {
        QMutexLocker lock(&m_mutex);
        m_videoEncoder = name;
    }
    _writeSetting("common/videoEncoder", name);
    return true;
}

bool PaxScreenLibPrivate::getIsHardwareEncoder(bool& available)
{
    available = m_recorder->getEncoderList().contains(QLatin1String(kHardwareEncoder));
    QMutexLocker lock(&m_mutex);
    return m_videoEncoder == QLatin1String(kHardwareEncoder);
}

bool PaxScreenLibPrivate::setIsHardwareEncoder(bool hardware)
{
    return setVideoEncoder(hardware ? QString::fromLatin1(kHardwareEncoder) : QStringLiteral("libx264"));
}

// ---- rate control ----------------------------------------------------------

_PaxBitrateValueE PaxScreenLibPrivate::getBitrateValue()
{
    QMutexLocker lock(&m_mutex);
    return _PaxBitrateValueE(m_bitrateValue);
}

bool PaxScreenLibPrivate::setBitrateValue(_PaxBitrateValueE value)
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->setBitrateValue(value);
    {
        QMutexLocker lock(&m_mutex);
        m_bitrateValue = value;
    }
    _writeSetting("common/bitrateValue", int(value));
    return true;
}

_PaxBitrateTypeE PaxScreenLibPrivate::getBitrateType()
{
    QMutexLocker lock(&m_mutex);
    return _PaxBitrateTypeE(m_bitrateType);
}

bool PaxScreenLibPrivate::setBitrateType(_PaxBitrateTypeE type)
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->setBitrateType(type);
    {
        QMutexLocker lock(&m_mutex);
        m_bitrateType = type;
    }
    _writeSetting("common/bitrateType", int(type));
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

_PaxQuantizationParameterE PaxScreenLibPrivate::getQuantizationParameter()
{
    QMutexLocker lock(&m_mutex);
    return _PaxQuantizationParameterE(m_quantizationParameter);
}

bool PaxScreenLibPrivate::setQuantizationParameter(_PaxQuantizationParameterE parameter)
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->setQuantizationParameter(parameter);
    {
        QMutexLocker lock(&m_mutex);
        m_quantizationParameter = parameter;
    }
    _writeSetting("common/quantizationParameter", int(parameter));
    return true;
}

_PaxProfileE PaxScreenLibPrivate::getProfile()
{
    QMutexLocker lock(&m_mutex);
    return _PaxProfileE(m_profile);
}

bool PaxScreenLibPrivate::setProfile(_PaxProfileE profile)
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->setProfile(profile);
    {
        QMutexLocker lock(&m_mutex);
        m_profile = profile;
    }
    _writeSetting("common/profile", int(profile));
    return true;
}

_PaxPresetModeE PaxScreenLibPrivate::getPreset()
{
    QMutexLocker lock(&m_mutex);
    return _PaxPresetModeE(m_presetMode);
}

bool PaxScreenLibPrivate::setPreset(_PaxPresetModeE mode)
{
    if (_refuseWhileRecording())
        return false;
    m_recorder->setPresetMode(mode);
    {
        QMutexLocker lock(&m_mutex);
        m_presetMode = mode;
    }
    _writeSetting("common/presetMode", int(mode));
    return true;
}

_PaxRecordQualityE PaxScreenLibPrivate::getRecordQuality()
{
    QMutexLocker lock(&m_mutex);
    return _PaxRecordQualityE(m_recordQuality);
}

bool PaxScreenLibPrivate::setRecordQuality(_PaxRecordQualityE quality)
{
    if (_refuseWhileRecording())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        m_recordQuality = quality;
    }
    _writeSetting("common/recordQuality", int(quality));
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

int PaxScreenLibPrivate::getFramerate()
{
    QMutexLocker lock(&m_mutex);
    return m_framerate;
}

bool PaxScreenLibPrivate::setFramerate(int framerate)
{
    if (_refuseWhileRecording())
        return false;
    if (framerate < 1 || framerate > 60) {
        PAXSCREEN_ERROR("framerate[%d] is out of range 1-60", framerate);
        return false;
    }
    m_recorder->setFramerate(framerate);
    {
        QMutexLocker lock(&m_mutex);
        m_framerate = framerate;
    }
    _writeSetting("common/framerate", framerate);
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
        microphone = m_curMicrophoneName;
        recordAudio = m_bRecordAudio;
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
        m_audioStarted = true;
    } else {
        m_recorder->myStartRecord(fileName, false);
        m_audioStarted = false;
    }
    return true;
}

void PaxScreenLibPrivate::stopRecordScreen()
{
    m_recorder->myStopRecordWait();
    // The microphone thread leaves once it sees the video side finished; waiting for it
    // always (not only when the settings say audio) keeps a run from outliving its recording.
    m_audioRecorder->myStopWait();
    m_audioStarted = false;
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
    if (status == 2) {
        m_recorder->myResume();
        return false;
    }
    if (status == 1) {
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

QString PaxScreenLibPrivate::getPushStreamUrl()
{
    QMutexLocker lock(&m_mutex);
    return m_pushStreamUrl;
}

bool PaxScreenLibPrivate::setPushStreamUrl(QString url)
{
    if (_refuseWhileRecording())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        m_pushStreamUrl = url;
    }
    _writeSetting("common/pushStreamUrl", url);
    return true;
}

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
