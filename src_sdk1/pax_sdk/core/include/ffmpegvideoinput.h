#pragma once
// The live video input of one camera: a thread that fetches the camera's frames and hands
// them on as QImages, one in flight at a time (the capture keeps only the newest frame, so
// a slow consumer drops frames and memory stays flat).
//
// Frames come from the in-application capture of the camera (directly, or through the UVC
// service client's in-application mode), or, for the main camera in UVC preview mode, as
// JPEG bytes from the shared frame block. The input runs while the camera plays, is paused
// or records (the run rule).
//
// A second, FFmpeg-based path demuxes and decodes the camera through FFmpeg's capture
// device input (packets handed to the inner decoding thread FfmpegVideoInputInside through
// a one-packet slot); the application never switches it on.
//
// Threads: setCameraInfo, the status slots and closeWait run in the SDK worker thread; the
// frame signals are emitted in the input's own thread (or the inner thread of the decoding
// path) and travel on through direct connections.

#include "myffmpegtypes.h"

#include <QImage>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>

struct AVFormatContext;
struct AVPacket;
class FfmpegVideoInput;

// Decoding thread of the FFmpeg path: takes packets from the outer input's one-packet slot.
class FfmpegVideoInputInside : public QThread
{
    Q_OBJECT
public:
    explicit FfmpegVideoInputInside(FfmpegVideoInput* input);
    void myStart();
    void myCloseWait();

protected:
    void run() override;

private:
    FfmpegVideoInput* m_input;
    std::atomic<int> m_stop{1};
};

class FfmpegVideoInput : public QThread
{
    Q_OBJECT
    friend class FfmpegVideoInputInside;

public:
    explicit FfmpegVideoInput(QObject* parent = nullptr);
    ~FfmpegVideoInput() override;

    // Stops, copies the record and, unless it names no camera, applies the run rule.
    void setCameraInfo(_MFCC_InfoS info);
    _MFCC_InfoS getCameraInfo() const;
    // Closes the camera and joins the thread. After it returns no frame is emitted.
    void closeWait();

    // Decoding path instead of the live capture (off unless switched on; takes effect at the
    // next start).
    void setFfmpegPathEnabled(bool enabled);
    bool isFfmpegPathEnabled() const;

    // Steady-clock time (ns) at which the capture delivered the frame now being handed on;
    // meaningful inside the frame signals (they run in this input's thread).
    qint64 currentFrameArrivalNs() const { return m_arrivalNs.load(); }

    _MFCC_Play_StatusE playStatus() const;
    _MFCC_Record_StatusE recordStatus() const;

signals:
    void sigSendVideoFrameForPlay(_Ffmpeg_Video_Frame_SendS frame);
    void sigSendVideoFrameForRecord(_Ffmpeg_Video_Frame_SendS frame);
    void sigInvalidExit();
    void sigSendVideoImageForPlay(const QImage& image);
    // The camera's frame while it records, before it is shown (the recorder converts it).
    void sigSendVideoImageForRecord(const QImage& image);

public slots:
    void slotFinished();
    void slotPlayStatusChange(_MFCC_Play_StatusE status);
    void slotRecordStatusChange(_MFCC_Record_StatusE status);

protected:
    void run() override;

private:
    struct Decoder;

    void _ioctlStatusChange();   // the run rule
    void _myStart();
    void _myCloseWait();
    void _openCameraSession();
    void _closeCameraSession();
    void _pollLoop();
    void _emitImage(const QImage& image);
    void _closeAllOpen();

    // FFmpeg path.
    int _openCamera();
    int _findVideoStream();
    int _createDecoder();
    int _createFrameAndPacket();
    void _demuxLoop();
    void _putPacket(AVPacket* packet);   // replaces an untaken packet
    void _handlePacket(AVPacket* packet);   // inner thread

    std::atomic<int> m_stop{1};
    std::atomic<qint64> m_arrivalNs{0};
    int m_width = 0;
    int m_height = 0;
    std::atomic<int> m_playStatus{MFCC_Play_Stop};
    std::atomic<int> m_recordStatus{MFCC_Record_Stopped};
    mutable QMutex m_infoLock;   // m_cameraInfo, m_width, m_height
    _MFCC_InfoS m_cameraInfo;
    bool m_sessionOpen = false;   // worker thread
    std::atomic<bool> m_ffmpegPath{false};
    bool m_runningFfmpegPath = false;   // set before the thread starts

    std::unique_ptr<Decoder> m_decoder;
    FfmpegVideoInputInside* m_inside = nullptr;
    QMutex m_packetLock;
    QWaitCondition m_packetArrived;
    AVPacket* m_packet = nullptr;
};
