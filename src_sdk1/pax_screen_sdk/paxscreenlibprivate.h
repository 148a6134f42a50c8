#pragma once
// Private part of the screen-record facade: settings, recorders and the microphone list.

#include "paxscreenqtlib.h"
#include "paxscreentypes.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>

class PaxAudioRecord;
class PaxRecordScreen;

class PaxScreenLibPrivate : public QObject {
    Q_OBJECT
public:
    explicit PaxScreenLibPrivate(PaxScreenQtLib* facade, QObject* parent = nullptr);
    ~PaxScreenLibPrivate() override;

    static void setSavePath(QString path);
    static QString savePath();
    static bool setLogFile(QString path);
    // The settings file of the current save path (base + "config/config.ini").
    static QString configFilePath();

    // The members the facade forwards here.
#define PAX_SCREEN_DECLARE_FORWARD(Ret, name, params, args) Ret name params;
    PAX_SCREEN_FORWARDS(PAX_SCREEN_DECLARE_FORWARD)
#undef PAX_SCREEN_DECLARE_FORWARD

    // Checks that a file can be written at the path without touching a file already there:
    // an existing file must be writable; a new one is created exclusively and removed again.
    static bool probeFileWritable(const QString& fileName);

public slots:
    void slotCheckDevice();

private:
    // The settings of config.ini, in load order: X receives (Id, key, default, missing key).
    // A missing key is written with its default, or left absent until set. The encoder's
    // default is the recorder's first usable encoder.
#define PAX_SCREEN_SETTINGS(X)                                                \
    X(CurMicrophoneName, "common/curMicrophoneName", QString(), WriteDefault) \
    X(RecordAudio, "common/bRecordAudio", true, WriteDefault)                 \
    X(VideoEncoder, "common/videoEncoder", QVariant(), WriteDefault)          \
    X(BitrateValue, "common/bitrateValue", 3, WriteDefault)                   \
    X(QuantizationParameter, "common/quantizationParameter", 1, WriteDefault) \
    X(BitrateType, "common/bitrateType", 4, WriteDefault)                     \
    X(Profile, "common/profile", 2, WriteDefault)                             \
    X(PresetMode, "common/presetMode", 8, WriteDefault)                       \
    X(RecordQuality, "common/recordQuality", 1, WriteDefault)                 \
    X(Framerate, "common/framerate", 60, WriteDefault)                        \
    X(MicVolumn, "common/micVolumn", 100, WriteDefault)                       \
    X(PushStreamUrl, "common/pushStreamUrl", QString(), LeaveAbsent)

    enum Setting {
#define PAX_SCREEN_SETTING_ID(Id, key, def, missing) Setting##Id,
        PAX_SCREEN_SETTINGS(PAX_SCREEN_SETTING_ID)
#undef PAX_SCREEN_SETTING_ID
        SettingCount
    };

    bool _isRecording();
    bool _refuseWhileRecording();
    QVariant _value(Setting id);
    // Refused while recording; else the setting is applied, held and written.
    bool _set(Setting id, const QVariant& value);
    // The microphone choices: refused while recording with a sigAudioInfoChange.
    void _setAudioInfo(Setting id, const QVariant& value);
    void _commit(Setting id, const QVariant& value);
    // Hands a setting to the recorder it configures (none for those held here only).
    void _apply(Setting id, const QVariant& value);
    void _writeSetting(Setting id, const QVariant& value);
    QVariant _readSetting(Setting id);
    QVariant _loadVideoEncoder();
    void _loadSettings();
    void _handleRecordQuality();
    void _freshMicrophoneInfo();
    void _connectDeviceChanges();

    PaxScreenQtLib* m_facade = nullptr;
    QMutex m_mutex;
    QVariant m_values[SettingCount];   // one per settings row, under m_mutex
    PaxRecordScreen* m_recorder = nullptr;
    PaxAudioRecord* m_audioRecorder = nullptr;
    QList<_ScreenMicrophoneS> m_microphoneList;
};
