#pragma once
// The recorder of one camera: encodes H.264 video and AAC audio into an MP4 file.
//
// Video reaches it as decoded frames (decoding path) or as the camera's live images; each is
// converted once, in the producing thread, into the encoder's format and queued (at most
// kVideoQueueFrames; a full queue drops the newest frame) to the recorder's encoding thread.
// Audio frames are encoded in the microphone thread. One lock covers every use and the
// release of the encoders and the file, so a stop can never free them under a writer.
//
// The file is written as fragmented MP4 while recording, each fragment flushed to the file as it
// is finished, so a killed process leaves everything but the last second playable; a clean stop
// rewrites it as a normal, seekable MP4. The first failed write ends the recording (status 1
// reported, writeError() says why); the file keeps its whole fragments.
//
// Threads: setStatus, setRecordInfo, setWidthHeightFramerate and the destructor run in the
// SDK worker thread; writeVideoFrame / slotSendVideoImageForRecord in the producing video
// thread; writeAudioFrame in the microphone thread.

#include "myffmpegtypes.h"
#include "paxaacencoder.h"
#include "paxh264options.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>

#include <atomic>
#include <memory>

// What the recording parameters make of the video encoder (before it is opened).
using FfmpegEncoderSettings = paxh264::EncoderSettings;

class FfmpegOutput : public QObject
{
    Q_OBJECT
public:
    static constexpr int kVideoQueueFrames = 8;
    static constexpr int kAudioFrameSamples = paxaac::kFrameSamples;
    static constexpr int kAudioSampleRate = paxaac::kSampleRate;

    explicit FfmpegOutput(QObject* parent = nullptr);
    ~FfmpegOutput() override;

    // Recording parameters; while recording or paused a change reopens the file.
    void setRecordInfo(_MFCC_Record_InfoS info);
    _MFCC_Record_InfoS getRecordInfo() const;
    void setWidthHeightFramerate(int width, int height, int fps);
    // Same status: nothing. Stopped -> recording/paused opens the file (status 1 reported on
    // failure); recording/paused -> stopped finishes and releases it. Emits the new status.
    void setStatus(_MFCC_Record_StatusE status);
    _MFCC_Record_StatusE getStatus() const;

    // 0, or -1 when the frame was not taken (not recording, or a failure, logged).
    int writeVideoFrame(AVFrame* frame, AVCodecContext* decoder);
    int writeAudioFrame(AVFrame* frame, AVCodecContext* decoder);

    // Bit rate in bit/s of a bitrateValue (0..5: 1..32 x 2^20; other: 8 x 2^20).
    static qint64 bitRateOf(int bitrateValue);
    // The encoder settings of the parameters for an encoder of that name and pixel format.
    static FfmpegEncoderSettings encoderSettings(const _MFCC_Record_InfoS& info, int pixelFormat, int fps);

    // Video frames taken into the queue, dropped (full queue) and written, since the open.
    struct VideoCounters {
        qint64 queued = 0;
        qint64 dropped = 0;
        qint64 encoded = 0;
    };
    VideoCounters videoCounters() const;

    // The failed write (a negative AVERROR code) that ended the last recording by itself, 0 when
    // none did. Cleared by the next open.
    int writeError() const;

signals:
    void sigRecordStatusChange(_MFCC_Record_StatusE status);
    void sigRecordTimeChange(int seconds);

public slots:
    void slotSendAudioFrame(_Ffmpeg_Audio_Frame_SendS frame);
    void slotSendVideoFrameForRecord(_Ffmpeg_Video_Frame_SendS frame);
    // A live image of the camera (any RGB32 format); converted here and queued.
    void slotSendVideoImageForRecord(const QImage& image);
    // The input ended by itself: stop and report status 1.
    void slotInvalidExit();

private:
    struct Private;
    int _openAll();
    void _closeAllOpen();
    void _myCloseWait();
    bool _reopen(_MFCC_Record_StatusE previous);
    int _queueVideo(const uint8_t* const* data, const int* strides, int width, int height, int pixelFormat);
    void _encodeLoop();
    void _writeVideoPacket();
    int _writePacket(AVPacket* packet);
    void _endAfterWriteFailure();
    void _saveFirstPicture(const AVFrame* frame);
    void _rewritePlain(const QString& filename);

    std::unique_ptr<Private> d;
};
