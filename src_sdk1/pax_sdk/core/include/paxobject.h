#pragma once
// The camera worker of the SDK: one object for both cameras, living in the SDK worker thread.
// It searches the cameras (at start and after every USB change), keeps the current work mode's
// settings for the per-frame pass, hands capture, play and recording parameters to the capture
// pipeline, drives camera recordings, runs the timed grab and passes the live frames on.
//
// Threads: constructed, destroyed and served (every slot but the frame slots) in the SDK worker
// thread. slotIoctlImageMain/Second and slotIoctlFrameMain run in the pipeline's video-input
// threads; they share only the frame pass (its own lock) and the raw-frame slot (m_rawMutex).

#include "myffmpegtypes.h"
#include "paxdata.h"
#include "paxframehost.h"
#include "paxframepass.h"
#include "paxnotify.h"
#include "paxopencv.h"

#include <QImage>
#include <QMutex>
#include <QPixmap>
#include <QThread>

#include <memory>

struct SwsContext;

class PaxObject : public QThread
{
    Q_OBJECT
public:
    explicit PaxObject(QObject* parent = nullptr);
    ~PaxObject() override;

    // The frame pass of the main camera (tests and the facade read its state).
    PaxFramePass& framePass() { return m_pass; }
    // Id of the timed-grab timer, -1 when none runs.
    int timeGrabTimerId() const { return m_timeGrabTimerId; }
    // What was last sent to the pipeline for camera 0 or 1.
    _MFCC_InfoS sentCameraInfo(int camera) const { return m_cameras[camera & 1].info; }
    _MFCC_Play_StatusE sentPlayStatus(int camera) const { return m_cameras[camera & 1].playStatus; }
    _MFCC_Record_InfoS sentRecordInfo(int camera) const { return m_cameras[camera & 1].recordInfo; }
    _MFCC_Record_StatusE sentRecordStatus(int camera) const { return m_cameras[camera & 1].recordStatus; }

signals:
    void sigGetOneFrameForInside(const QImage& image);
    void sigContentChange(_PaxChangeNotifyE notify);
    void sigGetOneFrameForOutside_mainCamera(const QPixmap& pixmap);
    void sigGetOneFrameForOutside_secondCamera(const QPixmap& pixmap);
    void sigGrab(QString fileName);
    void sigCaptue(const QImage& image);
    void sigNewFrameForMain();
    void sigBacklight(int value);
    // After each device search, once PaxData::getbInitComplete() is true and the camera info is sent.
    void sigInitComplete();

public slots:
    void slotRecord(int type, int status);
    void slotIoctlImageMain(const QImage& image);
    void slotIoctlImageSecond(const QImage& image);
    void slotIoctlFrameMain(_Ffmpeg_Video_Frame_OutS frame);
    void slotRecordStatusChangeForMain(_MFCC_Record_StatusE status);
    void slotRecordStatusChangeForSecond(_MFCC_Record_StatusE status);
    void slotRecordTimeChangeForMain(int second);
    void slotRecordTimeChangeForSecond(int second);
    void slotNewFrameForMain();
    void slotFreshAutoFocusInfo();
    void slotCheckDevice();
    void slotLunkuo(LunkuoS lunkuo);
    void slotGrabDoc();
    void slotDataChange(_PaxDataChangeNotifyE notify);

protected:
    void timerEvent(QTimerEvent* event) override;
    // Never started: the object only borrows QThread's type.
    void run() override {}

private:
    // The pass's reports become this object's signals.
    class FrameHost : public PaxFrameStoreHost
    {
    public:
        explicit FrameHost(PaxObject* owner) : m_owner(owner) {}
        void captured(const QImage& frame) override { emit m_owner->sigCaptue(frame); }
        void grabbed(const QString& fileName) override { emit m_owner->sigGrab(fileName); }
        void intelligentGrabReported() override { emit m_owner->sigContentChange(PaxChangeIntelligentGrab); }

    private:
        PaxObject* m_owner;
    };

    struct Camera {
        _MFCC_InfoS info;
        _MFCC_Play_StatusE playStatus = MFCC_Play_Stop;
        _MFCC_Record_InfoS recordInfo;
        int recordSeconds = 0;
        _MFCC_Record_StatusE recordStatus = MFCC_Record_Stopped;
    };

    // Conversion state of the raw-frame path, made on the first raw frame.
    struct RawConverter;

    bool _workModeValid() const;
    void _applyOutlineTaskRule();
    void _initColorMode();
    void _initbRectifyByWorkMode();
    void _initbAutoTrimByWorkMode();
    void _initbManuTrimByWorkMode();
    void _initManuTrimRect();
    void _initbAutoDocByWorkMode();
    void _initbTimeGrabByWorkMode();
    void _initbIntelligentGrabByWorkMode();
    void _initTextLogoByWorkMode();
    void _initPicLogoByWorkMode();
    void _freshMicrophoneInfo();
    void _setCameraInfoToFfmpegCamera();
    void _updateCameraPlayStatusToFfmpegCamera();
    void _setCameraRecordInfoToFfmpegCamera();
    void _callbackRecordInfoToUp(_PaxCameraIndexE camera);
    void _ioctlImage(QImage& image);
    void _removeMqnuTrimRect();
    int _chooseRecordSolution(_PaxCameraIndexE camera);
    void _recordStatusReported(_PaxCameraIndexE camera, _MFCC_Record_StatusE status);
    void _recordSecondsReported(_PaxCameraIndexE camera, int seconds);
    void _freeRawFrame(_Ffmpeg_Video_Frame_OutS& frame);

    Camera m_cameras[2];
    _PaxWorkModeE m_workMode = PaxWorkModeCommon;
    int m_timeGrabTimerId = -1;
    bool m_scanQrcode = false;
    QString m_scanQrcodeText;

    FrameHost m_frameHost;
    PaxFramePass m_pass;
    PaxOpenCv* m_openCv = nullptr;

    QMutex m_rawMutex;
    _Ffmpeg_Video_Frame_OutS m_rawFrame;
    std::unique_ptr<RawConverter> m_raw;
};

// Position of the first listed microphone named `name` (case-sensitive), else -1.
int _getMicrophoneIndexFromName(QString name);
