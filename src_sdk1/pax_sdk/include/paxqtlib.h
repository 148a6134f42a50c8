#pragma once
// The camera SDK's facade for Qt hosts: one process-wide object whose operations forward to
// PaxLibPrivate and whose signals carry the SDK's news, frames and saved pictures.
//
// Threads: create, use and release it from one thread (the application's GUI thread); its
// signals are emitted in that thread.

#include "paxlibprivate.h"

#include <QImage>
#include <QObject>
#include <QPixmap>

class PaxQtLib : public QObject
{
    Q_OBJECT
public:
    // Blocks the first time for at least a second (the UI font is loaded, with this thread's
    // events processed meanwhile); a call made from those events gets the same, still starting,
    // object, whose operations do nothing and give default values until the start is done.
    static PaxQtLib* getInstance();
    // Blocks until the SDK worker thread has ended (it stops the cameras first).
    static void releaseInstance();

    // ---- generated forwards (paxliboperations.h) ----
#define PAX_QTLIB_TWIN(SUF, RET, NAME, STORE, PARAMS, ARGS, FARGS) \
    RET NAME##SUF PARAMS { return m_d ? m_d->NAME##SUF FARGS : RET(); }
#define PAX_QTLIB_FAMILY(RET, NAME, STORE, PARAMS, ARGS, FARGS) \
    PAX_LIB_EACH_PROFILE(PAX_QTLIB_TWIN, RET, NAME, STORE, PARAMS, ARGS, FARGS)
    PAX_LIB_MODE_FAMILIES(PAX_QTLIB_FAMILY)
#define PAX_QTLIB_TODAY(SUF) \
    QString getPicSaveTodayPath##SUF() { return m_d ? m_d->getPicSaveTodayPath##SUF() : QString(); }
    PAX_LIB_TODAY_PATHS(PAX_QTLIB_TODAY)
#define PAX_QTLIB_FORWARD(RET, NAME, TARGET, PARAMS, ARGS, FARGS) \
    RET NAME PARAMS { return m_d ? m_d->NAME FARGS : RET(); }
    PAX_LIB_FORWARDS(PAX_QTLIB_FORWARD)
#define PAX_QTLIB_UVC(NAME) \
    _PaxUvcInfoS get##NAME##Info() { return m_d ? m_d->get##NAME##Info() : _PaxUvcInfoS(); } \
    void set##NAME(int value) { return m_d ? m_d->set##NAME(value) : void(); } \
    void set##NAME##ToDefault() { return m_d ? m_d->set##NAME##ToDefault() : void(); }
    PAX_LIB_UVC_VALUES(PAX_QTLIB_UVC)

// The operations with logic of their own, X(RET, NAME, PARAMS, FARGS).
#define PAX_QTLIB_OWN_OPERATIONS(X) \
    X(bool, isCameraInvalid, (_PaxCameraIndexE camera), (camera)) \
    X(QString, getCameraName, (_PaxCameraIndexE camera), (camera)) \
    X(bool, hasSecondCamera, (), ()) \
    X(bool, isDeviceSearchComplete, (), ()) \
    X(void, switchCamera, (_PaxCameraIndexE camera), (camera, true)) \
    X(void, switchCamera, (), (true)) \
    X(void, switchSolution, (int index), (index, true)) \
    X(void, switchSolution, (_PaxCameraIndexE camera, int index, bool refresh), (camera, index, refresh)) \
    X(void, switchSolution, (int width, int height, bool refresh), (width, height, refresh)) \
    X(int, getCameraStatus, (_PaxCameraIndexE camera), (camera)) \
    X(void, openCurCamera, (), ()) \
    X(void, closeCurCamera, (), ()) \
    X(void, openOtherCamera, (), ()) \
    X(void, closeOtherCamera, (), ()) \
    X(void, openCamera, (), ()) \
    X(void, closeCamera, (), ()) \
    X(bool, pauseOrResumeCurCamera, (), ()) \
    X(bool, pauseOrResumeOtherCamera, (), ()) \
    X(bool, isOpenCurCamera, (), ()) \
    X(bool, isOpenOtherCamera, (), ()) \
    X(void, setScanQrcode, (bool on), (on)) \
    X(QStringList, getMicrophoneList, (), ()) \
    X(bool, getIsHardwareEncoderMain, (bool& available), (available)) \
    X(bool, getIsHardwareEncoderSecond, (bool& available), (available)) \
    X(bool, setIsHardwareEncoderMain, (bool hardware), (hardware)) \
    X(bool, setIsHardwareEncoderSecond, (bool hardware), (hardware)) \
    X(int, getRecordSolutionIndexMain, (), ()) \
    X(int, getRecordSolutionIndexSecond, (), ()) \
    X(void, setRecordSolutionIndexMain, (int index), (index)) \
    X(void, setRecordSolutionIndexSecond, (int index), (index)) \
    X(void, startRecordMain, (), ()) \
    X(void, stopRecordMain, (), ()) \
    X(void, pauseMain, (), ()) \
    X(void, resumeMain, (), ()) \
    X(bool, pauseOrResumeMain, (), ()) \
    X(void, startRecordSecond, (), ()) \
    X(void, stopRecordSecond, (), ()) \
    X(void, pauseSecond, (), ()) \
    X(void, resumeSecond, (), ()) \
    X(bool, pauseOrResumeSecond, (), ()) \
    X(void, grab, (QString file), (file)) \
    X(void, grab, (bool autoTrim, QString file), (autoTrim, file)) \
    X(void, initPdf, (QString file), (file)) \
    X(void, addPic, (QString picture), (picture)) \
    X(void, closePdf, (), ()) \
    X(bool, isMakingPdf, (), ()) \
    X(void, setManuTrimMouseLeftKeyPress, (QPoint point), (point)) \
    X(void, setManuTrimMouseLeftKeyMove, (QPoint point), (point)) \
    X(void, setManuTrimMouseLeftRelease, (), ()) \
    X(void, setManuTrimRemoveRect, (), ())
#define PAX_QTLIB_OWN(RET, NAME, PARAMS, FARGS) \
    RET NAME PARAMS { return m_d ? m_d->NAME FARGS : RET(); }
    PAX_QTLIB_OWN_OPERATIONS(PAX_QTLIB_OWN)

    void doFocus() { return m_d ? m_d->setFocus() : void(); }

signals:
    void sigContentChange(_PaxChangeNotifyE notify);
    void sigGetOneFrame_currentCamera(const QPixmap& pixmap);
    void sigGetOneFrame_otherCamera(const QPixmap& pixmap);
    void sigGrab(QString fileName);
    void sigCapture(const QImage& image);
    void sigBacklight(int value);
    // After each device search of the SDK, once getbInitComplete() is true: a waiter for the first
    // search wakes on it instead of polling the flag.
    void sigInitComplete();

private:
    explicit PaxQtLib(QObject* parent = nullptr);
    ~PaxQtLib() override;

    PaxLibPrivate* m_d = nullptr;
    static PaxQtLib* s_instance;
};
