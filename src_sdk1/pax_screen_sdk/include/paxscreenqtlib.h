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

// The members the facade forwards to its private part, which declares the same list.
// X receives (return type, name, (parameters), (arguments)).
#define PAX_SCREEN_FORWARDS(X)                                                             \
    X(QList<_ScreenMicrophoneS>, getMicrophoneList, (), ())                                \
    X(QString, getCurMicrophoneName, (), ())                                               \
    X(void, setCurMicrophoneName, (QString name), (name))                                  \
    X(bool, getIsRecordAudio, (), ())                                                      \
    X(void, setIsRecordAudio, (bool record), (record))                                     \
    X(int, getMicVolumn, (), ())                                                           \
    X(bool, setMicVolumn, (int volume), (volume))                                          \
                                                                                           \
    X(QStringList, getVideoEncoderList, (), ())                                            \
    X(QString, getVideoEncoder, (), ())                                                    \
    X(bool, setVideoEncoder, (QString name), (name))                                       \
    X(bool, getIsHardwareEncoder, (bool & available), (available))                         \
    X(bool, setIsHardwareEncoder, (bool hardware), (hardware))                             \
                                                                                           \
    X(_PaxBitrateValueE, getBitrateValue, (), ())                                          \
    X(bool, setBitrateValue, (_PaxBitrateValueE value), (value))                           \
    X(_PaxBitrateTypeE, getBitrateType, (), ())                                            \
    X(bool, setBitrateType, (_PaxBitrateTypeE type), (type))                               \
    X(_PaxQuantizationParameterE, getQuantizationParameter, (), ())                        \
    X(bool, setQuantizationParameter, (_PaxQuantizationParameterE parameter), (parameter)) \
    X(_PaxProfileE, getProfile, (), ())                                                    \
    X(bool, setProfile, (_PaxProfileE profile), (profile))                                 \
    X(_PaxPresetModeE, getPreset, (), ())                                                  \
    X(bool, setPreset, (_PaxPresetModeE mode), (mode))                                     \
    X(_PaxRecordQualityE, getRecordQuality, (), ())                                        \
    X(bool, setRecordQuality, (_PaxRecordQualityE quality), (quality))                     \
    X(int, getFramerate, (), ())                                                           \
    X(bool, setFramerate, (int framerate), (framerate))                                    \
                                                                                           \
    X(bool, setRect, (QRect rect), (rect))                                                 \
    X(bool, removeRect, (), ())                                                            \
    X(int, getRecordWidth, (), ())                                                         \
    X(int, getRecordHeight, (), ())                                                        \
                                                                                           \
    X(bool, startRecordScreen, (QString fileName), (fileName))                             \
    X(void, stopRecordScreen, (), ())                                                      \
    X(void, pause, (), ())                                                                 \
    X(void, resume, (), ())                                                                \
    X(bool, pauseOrResume, (), ())                                                         \
    X(_PaxScreenRecordInfoS, getRecordInfo, (), ())                                        \
                                                                                           \
    X(QString, getPushStreamUrl, (), ())                                                   \
    X(bool, setPushStreamUrl, (QString url), (url))                                        \
    X(bool, startPushStream, (), ())                                                       \
    X(void, stopPushStream, (), ())                                                        \
                                                                                           \
    X(bool, grabScreen, (QString fileName, QRect rect), (fileName, rect))

// Every member but getInstance/releaseInstance forwards to the private part; call from the GUI thread.
class PaxScreenQtLib : public QObject {
    Q_OBJECT
public:
    static PaxScreenQtLib* getInstance();
    static void releaseInstance();

    // Set before the first getInstance() so the settings load from there.
    static void setSavePath(QString path);
    static bool setLogFile(QString path);

    // The forwarded members, declared from the list.
#define PAX_SCREEN_DECLARE_FORWARD(Ret, name, params, args) Ret name params;
    PAX_SCREEN_FORWARDS(PAX_SCREEN_DECLARE_FORWARD)
#undef PAX_SCREEN_DECLARE_FORWARD

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
