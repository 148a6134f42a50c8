#pragma once
// The capture pipeline of both cameras: per camera one live video input, one microphone
// input, one recorder and one player, wired together. The camera object sets capture and
// recording parameters and drives play and record status; live frames come back as QImage
// signals (direct, in the camera's video-input thread), record status and seconds as signals.
//
// Threads: created, used and released in the SDK worker thread only.

#include "myffmpegtypes.h"
#include "paxsdktypes.h"

#include <QImage>
#include <QObject>
#include <QStringList>

class FfmpegAudioInput;
class FfmpegOutput;
class FfmpegPlay;
class FfmpegVideoInput;

class MyFfmpegCameraControl : public QObject
{
    Q_OBJECT
public:
    static MyFfmpegCameraControl* getInstance();
    static void releaseInstance();

    void setCameraInfo(_PaxCameraIndexE index, _MFCC_InfoS info);
    void setCameraRecordInfo(_PaxCameraIndexE index, _MFCC_Record_InfoS info);
    void changeCameraPlayStatus(_PaxCameraIndexE index, _MFCC_Play_StatusE status);
    void changeCameraRecordStatus(_PaxCameraIndexE index, _MFCC_Record_StatusE status);
    QStringList getVideoEncoderList();

    // Encoders probed, in this order.
    static QStringList probedEncoderNames();
    // True when the encoder can be found and opened with the probe's settings.
    static bool _findVideoEncoder(const QString& name);
    // Starts the probe of probedEncoderNames() on a thread of its own, so that the construction
    // finds the answers ready (each encoder is probed once per process).
    static void probeEncodersAhead();
    // Starts loading FFmpeg's input devices (the platform layer loads them on first use) on a
    // thread of its own, so that the first input opened or the screen SDK's start does not wait.
    static void loadInputDevicesAhead();

    // The camera's components (null for an index other than 0 and 1).
    FfmpegVideoInput* videoInput(int index) const;
    FfmpegAudioInput* audioInput(int index) const;
    FfmpegOutput* output(int index) const;
    FfmpegPlay* player(int index) const;

signals:
    void sigGetOneFrameForMain(const QImage& image);
    void sigGetOneFrameForSecond(const QImage& image);
    void sigSendOneFrameForMain(_Ffmpeg_Video_Frame_OutS frame);
    void sigSendOneFrameForSecond(_Ffmpeg_Video_Frame_OutS frame);
    void sigRecordStatusChangeForMain(_MFCC_Record_StatusE status);
    void sigRecordStatusChangeForSecond(_MFCC_Record_StatusE status);
    void sigRecordTimeChangeForMain(int seconds);
    void sigRecordTimeChangeForSecond(int seconds);

private:
    explicit MyFfmpegCameraControl(QObject* parent = nullptr);
    ~MyFfmpegCameraControl() override;

    struct Camera {
        FfmpegVideoInput* videoInput = nullptr;
        FfmpegAudioInput* audioInput = nullptr;
        FfmpegOutput* output = nullptr;
        FfmpegPlay* player = nullptr;
    };
    void _createCamera(int index);
    const Camera* _camera(int index) const;

    Camera m_cameras[2];
    QStringList m_encoderList;
    static MyFfmpegCameraControl* s_instance;
};
