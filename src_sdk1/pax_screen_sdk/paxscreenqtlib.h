#pragma once
// The screen-record SDK: records the screen or an area of it, with microphone audio, into MP4
// files or pushes it as an FLV stream, and grabs still pictures of screen areas.

#include "paxscreentypes.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

class PaxScreenLibPrivate;

// Every member but getInstance/releaseInstance forwards to the private part; call from the GUI thread.
class PaxScreenQtLib : public QObject {
    Q_OBJECT
public:
    static PaxScreenQtLib* getInstance();
    static void releaseInstance();

    // Set before the first getInstance() so the settings load from there.
    static void setSavePath(QString path);
    static bool setLogFile(QString path);

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

signals:
    void sigRecordInfo(PaxScreenRecordInfoS info);
    void sigGrab(QString filename);
    void sigAudioInfoChange();

private:
    PaxScreenQtLib();
    ~PaxScreenQtLib() override;

    PaxScreenLibPrivate* d = nullptr;
    static PaxScreenQtLib* s_instance;
};
