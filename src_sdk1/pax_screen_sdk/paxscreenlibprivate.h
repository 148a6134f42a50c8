#pragma once
// Private part of the screen-record facade: settings, recorders and the microphone list.

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
class PaxScreenQtLib;

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

    QList<_ScreenMicrophoneS> getMicrophoneList();
    QString getCurMicrophoneName();
    void setCurMicrophoneName(QString name);
    bool getIsRecordAudio();
    void setIsRecordAudio(bool record);
    int getMicVolumn();
    bool setMicVolumn(int volume);

    QStringList getVideoEncoderList();
    QString getVideoEncoder();
    bool setVideoEncoder(QString name);
    bool getIsHardwareEncoder(bool& available);
    bool setIsHardwareEncoder(bool hardware);

    _PaxBitrateValueE getBitrateValue();
    bool setBitrateValue(_PaxBitrateValueE value);
    _PaxBitrateTypeE getBitrateType();
    bool setBitrateType(_PaxBitrateTypeE type);
    _PaxQuantizationParameterE getQuantizationParameter();
    bool setQuantizationParameter(_PaxQuantizationParameterE parameter);
    _PaxProfileE getProfile();
    bool setProfile(_PaxProfileE profile);
    _PaxPresetModeE getPreset();
    bool setPreset(_PaxPresetModeE mode);
    _PaxRecordQualityE getRecordQuality();
    bool setRecordQuality(_PaxRecordQualityE quality);
    int getFramerate();
    bool setFramerate(int framerate);

    bool setRect(QRect rect);
    bool removeRect();
    int getRecordWidth();
    int getRecordHeight();

    bool startRecordScreen(QString fileName);
    void stopRecordScreen();
    void pause();
    void resume();
    bool pauseOrResume();
    _PaxScreenRecordInfoS getRecordInfo();

    QString getPushStreamUrl();
    bool setPushStreamUrl(QString url);
    bool startPushStream();
    void stopPushStream();

    bool grabScreen(QString fileName, QRect rect);

    // Checks that a file can be written at the path without touching a file already there:
    // an existing file must be writable; a new one is created exclusively and removed again.
    static bool probeFileWritable(const QString& fileName);

public slots:
    void slotCheckDevice();

private:
    bool _isRecording();
    bool _refuseWhileRecording();
    void _writeSetting(const char* key, const QVariant& value);
    void _loadSettings();
    void _handleRecordQuality();
    void _freshMicrophoneInfo();
    void _connectDeviceChanges();

    PaxScreenQtLib* m_facade = nullptr;
    QMutex m_mutex;
    QString m_curMicrophoneName;
    bool m_bRecordAudio = true;
    QString m_videoEncoder;
    int m_bitrateValue = 3;
    int m_bitrateType = 4;
    int m_quantizationParameter = 1;
    int m_profile = 2;
    int m_presetMode = 8;
    int m_recordQuality = 1;
    PaxRecordScreen* m_recorder = nullptr;
    PaxAudioRecord* m_audioRecorder = nullptr;
    bool m_audioStarted = false;
    int m_framerate = 60;
    QList<_ScreenMicrophoneS> m_microphoneList;
    int m_micVolumn = 100;
    QString m_pushStreamUrl;
};
