#pragma once
// The player of one camera: passes live frames on while the camera plays and drops them
// while it is paused or stopped. Frames of the decoding path are turned into RGB images,
// or rendered into a native window through SDL when one is set.
//
// Threads: setStatus, setWid and the destructor run in the SDK worker thread; the frame
// slots run in the producing video-input thread. A frame is passed on under the frame lock,
// so a stop can never release the scratch while a frame is in flight.

#include "myffmpegtypes.h"

#include <QImage>
#include <QMutex>
#include <QObject>

#include <atomic>
#include <memory>

class FfmpegPlay : public QObject
{
    Q_OBJECT
public:
    explicit FfmpegPlay(QObject* parent = nullptr);
    ~FfmpegPlay() override;

    _MFCC_Play_StatusE getStatus() const;
    // Same status: nothing. Going to stop waits for a frame in flight and releases the
    // scratch. Then emits sigPlayStatusChange(status). Worker thread.
    void setStatus(_MFCC_Play_StatusE status);
    // Stores the native window (kMfccNoWindow: none); the size is the frame size to expect.
    void setWid(quint64 wid, int width, int height);
    quint64 getWid() const;

signals:
    void sigPlayStatusChange(_MFCC_Play_StatusE status);
    void sigGetOneFrame(const QImage& image);
    void sigSendOneFrame(_Ffmpeg_Video_Frame_OutS frame);

public slots:
    // Live path: emits sigGetOneFrame(image) while playing. Producing thread.
    void slotSendVideoImageForPlay(const QImage& image);
    // Decoding path: RGB888 image through sigGetOneFrame, or SDL rendering into the window.
    void slotSendVideoFrameForPlay(_Ffmpeg_Video_Frame_SendS frame);
    // The input ended by itself: the scratch is released.
    void slotInvalidExit();

private:
    struct Scratch;
    // Stops, waits for a frame in flight, releases; the previous status comes back unless
    // keepStopped.
    void _myCloseWait(bool keepStopped);
    void _releaseScratch();   // frame lock held
    void _showFrame(AVFrame* frame, AVCodecContext* decoder);   // frame lock held
    bool _renderToWindow(AVFrame* frame, AVCodecContext* decoder);   // frame lock held

    std::atomic<int> m_status{MFCC_Play_Stop};
    std::atomic<quint64> m_wid{kMfccNoWindow};
    QMutex m_frameLock;   // one frame passed on at a time; the scratch
    std::unique_ptr<Scratch> m_scratch;
};
