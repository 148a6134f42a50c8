#pragma once
// The one implementation behind the camera SDK's facades. The object lives in the facade's thread
// and carries out the facade operations; its thread (run()) hosts the camera worker PaxObject.
// Frames, content changes and grab names come back from the worker and leave through the owning
// facade.
//
// Threads: every operation and slot runs in the facade's thread, except getCapFrame (any thread).
// Live frames wait in one slot per camera (the latest replaces an older one), so a busy facade
// thread never has more than one frame per camera pending.

#include "paxliboperations.h"
#include "paxnotify.h"

#include <QMutex>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QThread>

#include <memory>

class PaxCommonLib;
struct _PaxBufS;
struct _PaxFrameInfoS;
class PaxCustom1Lib;
class PaxObject;
class PaxQtLib;
class QPainter;
class QPrinter;

// The hardware H.264 encoder's name (not available on this platform's builds).
extern const char* const kPaxHardwareEncoder;
// The software encoder chosen when the hardware one is switched off.
extern const char* const kPaxSoftwareEncoder;

class PaxLibPrivate : public QThread
{
    Q_OBJECT
public:
    explicit PaxLibPrivate(PaxQtLib* owner, QObject* parent = nullptr);
    explicit PaxLibPrivate(PaxCustom1Lib* owner, QObject* parent = nullptr);
    explicit PaxLibPrivate(PaxCommonLib* owner, QObject* parent = nullptr);

    // Callbacks of the plain facade; null stops the deliveries.
    void setChangeCallback(void (*callback)(_PaxChangeNotifyE)) { m_changeCallback = callback; }
    void setFrameCallback(void (*callback)(_PaxFrameInfoS)) { m_frameCallback = callback; }
    void setGrabCallback(void (*callback)(const _PaxBufS&)) { m_grabCallback = callback; }
    ~PaxLibPrivate() override;

    // ---- generated one-call operations (paxliboperations.h) ----
#define PAX_LIB_PRIVATE_TWIN(SUF, RET, NAME, STORE, PARAMS, ARGS, FARGS) \
    RET NAME##SUF PARAMS { return paxLibStore()->STORE##SUF ARGS; }
#define PAX_LIB_PRIVATE_FAMILY(RET, NAME, STORE, PARAMS, ARGS, FARGS) \
    PAX_LIB_EACH_PROFILE(PAX_LIB_PRIVATE_TWIN, RET, NAME, STORE, PARAMS, ARGS, FARGS)
    PAX_LIB_MODE_FAMILIES(PAX_LIB_PRIVATE_FAMILY)
#define PAX_LIB_PRIVATE_TODAY(SUF) \
    QString getPicSaveTodayPath##SUF() { return paxLibStore()->getCurrentPicSaveTodayPath##SUF(); }
    PAX_LIB_TODAY_PATHS(PAX_LIB_PRIVATE_TODAY)
#define PAX_LIB_PRIVATE_FORWARD(RET, NAME, TARGET, PARAMS, ARGS, FARGS) \
    RET NAME PARAMS { return TARGET ARGS; }
    PAX_LIB_FORWARDS(PAX_LIB_PRIVATE_FORWARD)
#define PAX_LIB_PRIVATE_UVC(NAME) \
    _PaxUvcInfoS get##NAME##Info() { return paxLibStore()->get##NAME##Info(); } \
    void set##NAME(int value) { paxLibStore()->set##NAME(value); } \
    void set##NAME##ToDefault() { paxLibStore()->set##NAME##ToDefault(); }
    PAX_LIB_UVC_VALUES(PAX_LIB_PRIVATE_UVC)

    // ---- operations with logic of their own ----
    bool isCameraInvalid(_PaxCameraIndexE camera);
    QString getCameraName(_PaxCameraIndexE camera);
    bool hasSecondCamera();
    bool isDeviceSearchComplete() const { return m_deviceSearchComplete; }
    void switchCamera(_PaxCameraIndexE camera, bool refresh);
    void switchCamera(bool refresh);
    void switchSolution(int index, bool refresh);
    void switchSolution(_PaxCameraIndexE camera, int index, bool refresh);
    void switchSolution(int width, int height, bool refresh);
    int getCameraStatus(_PaxCameraIndexE camera);
    void openCurCamera();
    void closeCurCamera();
    void openOtherCamera();
    void closeOtherCamera();
    void openCamera() { openCurCamera(); }
    void closeCamera() { closeCurCamera(); }
    bool pauseOrResumeCurCamera();
    bool pauseOrResumeOtherCamera();
    bool isOpenCurCamera();
    bool isOpenOtherCamera();
    void setScanQrcode(bool on);
    QStringList getMicrophoneList();
    bool getIsHardwareEncoderMain(bool& available);
    bool getIsHardwareEncoderSecond(bool& available);
    bool setIsHardwareEncoderMain(bool hardware);
    bool setIsHardwareEncoderSecond(bool hardware);
    int getRecordSolutionIndexMain() { return _recordSolutionIndex(PaxCameraIndexMain); }
    int getRecordSolutionIndexSecond() { return _recordSolutionIndex(PaxCameraIndexSecond); }
    void setRecordSolutionIndexMain(int index) { _setRecordSolutionIndex(PaxCameraIndexMain, index); }
    void setRecordSolutionIndexSecond(int index) { _setRecordSolutionIndex(PaxCameraIndexSecond, index); }
    void startRecordMain() { emit sigRecord(PaxCameraIndexMain, RecordStart); }
    void stopRecordMain() { emit sigRecord(PaxCameraIndexMain, RecordStop); }
    void pauseMain() { emit sigRecord(PaxCameraIndexMain, RecordPause); }
    void resumeMain() { emit sigRecord(PaxCameraIndexMain, RecordResume); }
    bool pauseOrResumeMain() { return _pauseOrResume(PaxCameraIndexMain); }
    void startRecordSecond() { emit sigRecord(PaxCameraIndexSecond, RecordStart); }
    void stopRecordSecond() { emit sigRecord(PaxCameraIndexSecond, RecordStop); }
    void pauseSecond() { emit sigRecord(PaxCameraIndexSecond, RecordPause); }
    void resumeSecond() { emit sigRecord(PaxCameraIndexSecond, RecordResume); }
    bool pauseOrResumeSecond() { return _pauseOrResume(PaxCameraIndexSecond); }
    void grab(QString file);
    void grab(bool autoTrim, QString file);
    void initPdf(QString file);
    void addPic(QString picture);
    void closePdf();
    bool isMakingPdf() const { return m_pdfPainter != nullptr; }

    // Manual trim by mouse, in frame pixels.
    void setManuTrimMouseLeftKeyPress(QPoint point);
    void setManuTrimMouseLeftKeyMove(QPoint point);
    void setManuTrimMouseLeftRelease();
    void setManuTrimRemoveRect();

    // Any thread: a full copy of the latest main-camera frame (the caller deletes it), or null.
    // Kept only for the exported entry points, straight from the video-input thread, so a host
    // without an event loop gets frames too.
    void getCapFrame(QPixmap** out);
    // The same as an image; false when no frame has come yet.
    bool getCapImage(QImage& out);

    // Record actions carried by sigRecord.
    enum RecordActionE : int { RecordStop = 0, RecordStart = 1, RecordPause = 2, RecordResume = 3 };

signals:
    void sigRecord(int camera, int action);

public slots:
    void slotDataChange(_PaxDataChangeNotifyE notify);
    void slotGetOneFrameForOutside_mainCamera(const QPixmap& frame);
    void slotGetOneFrameForOutside_secondCamera(const QPixmap& frame);
    void slotContentChange(_PaxChangeNotifyE notify);
    void slotGrab(QString file);

protected:
    void run() override;

private:
    void _construct();
    // Video-input thread: keeps the camera's latest frame and posts one delivery when none waits.
    void _frameArrived(int camera, const QPixmap& frame);
    void _deliverFrame(int camera);
    bool _storeTrimRect(QRect& rect);
    void _setManuTrimRectToStore(const QRect& rect);
    void _removeStoreTrimRect();
    void _freeTrimRects();
    int _recordSolutionIndex(_PaxCameraIndexE camera);
    void _setRecordSolutionIndex(_PaxCameraIndexE camera, int index);
    bool _pauseOrResume(_PaxCameraIndexE camera);
    bool _pauseOrResumeStatus(bool current);
    bool _hardwareEncoder(_PaxCameraIndexE camera, bool& available);
    bool _setHardwareEncoder(_PaxCameraIndexE camera, bool hardware);

    PaxQtLib* m_qtLib = nullptr;
    PaxCommonLib* m_commonLib = nullptr;
    PaxCustom1Lib* m_custom1Lib = nullptr;
    void (*m_changeCallback)(_PaxChangeNotifyE) = nullptr;
    void (*m_frameCallback)(_PaxFrameInfoS) = nullptr;
    void (*m_grabCallback)(const _PaxBufS&) = nullptr;
    QPrinter* m_pdfPrinter = nullptr;
    QPainter* m_pdfPainter = nullptr;
    int m_pdfPages = 0;
    QRect* m_trimCommitted = nullptr;
    QRect* m_trimWorking = nullptr;
    QPoint* m_pressPoint = nullptr;
    QPoint* m_lastMovePoint = nullptr;
    int m_dragState = 0;
    QImage m_capFrame;
    QMutex m_capFrameMutex;
    bool m_deviceSearchComplete = false;
    bool m_mainCameraCurrent = false;

    // Latest frame per camera waiting for the facade's thread.
    QMutex m_frameMutex;
    QPixmap m_pendingFrame[2];
    bool m_framePosted[2] = {false, false};
};
