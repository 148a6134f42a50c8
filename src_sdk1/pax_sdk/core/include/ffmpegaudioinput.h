#pragma once
// The microphone input of one camera's recordings: a thread that captures the chosen
// microphone through FFmpeg, applies the gain and hands every decoded frame to the camera's
// recorder (direct connection: the recorder's audio writing runs in this thread). It runs
// only while the camera records or is paused and the recording includes audio.
//
// Threads: setAudioInfo and the status slot run in the SDK worker thread and stop the
// thread by setting the stop flag and waiting; slotFinished arrives queued there too.

#include "myffmpegtypes.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

class FfmpegAudioInput : public QThread
{
    Q_OBJECT
public:
    static constexpr int kOpenAttempts = 10;
    static constexpr int kOpenRetryMs = 100;

    explicit FfmpegAudioInput(QObject* parent = nullptr);
    ~FfmpegAudioInput() override;

    // Stops the thread, stores, gain = volume / 100, applies the run rule.
    void setAudioInfo(bool bAudio, QString microphoneName, int microphoneIndex, int volume);
    float gain() const;
    // The text given to the "volume" filter ("%.2f" of the gain).
    QString volumeFilterValue() const;
    _MFCC_Record_StatusE recordStatus() const;

signals:
    void sigSendAudioFrame(_Ffmpeg_Audio_Frame_SendS frame);
    void sigInvalidExit();

public slots:
    void slotRecordStatusChange(_MFCC_Record_StatusE status);
    void slotFinished();

protected:
    void run() override;

private:
    struct Private;
    void _ioctlStatusChange();
    void _myStart();
    void _myCloseWait();
    int _openAll();
    int _initVolumnFilter();
    void _readLoop();
    void _closeAllOpen();
    int _audioVolumeFilterHandle(AVFrame* frame);

    std::atomic<int> m_stop{1};
    std::atomic<bool> m_endedByItself{false};   // set by run() when it ends without being asked
    std::atomic<int> m_recordStatus{MFCC_Record_Stopped};
    bool m_bAudio = false;
    QString m_microphoneName;
    int m_microphoneIndex = -1;
    float m_gain = 1.0f;
    std::unique_ptr<Private> d;
};
