#pragma once
// What the main window uses of the media bridge, the camera SDK facade and the UVC control
// service, as interfaces with exactly the operations the window calls. The program installs
// adapters that forward to MediaControl, PaxQtLib and MacUvcClient; tests install doubles.
// With nothing installed every operation does nothing and reports "no camera".
//
// GUI thread only, except where an operation says otherwise.

#include "paxsdktypes.h"

#include <QPoint>
#include <QString>
#include <QStringList>

class MediaControl;
class QObject;
class QWidget;

class MainMediaLink
{
public:
    virtual ~MainMediaLink() = default;
    // Creates the window's media bridge (the window owns it through `parent`); may be null.
    virtual MediaControl* create(QObject* parent) { (void)parent; return nullptr; }
    virtual void destroy(MediaControl* media) { (void)media; }
    // The bridge as the sender of sig_solutionChange(), sig_devicePullout() and
    // imageCaptured(const QImage&); null when it has none.
    virtual QObject* object(MediaControl* media) { (void)media; return nullptr; }
    // -1 undetermined, 0 a usable camera, 1 none.
    virtual int getCameraStatus(MediaControl*) { return 1; }
    virtual bool isWirelessMode(MediaControl*) { return false; }
    virtual void switchWirelessMode(MediaControl*, bool toggle) { (void)toggle; }
    // Entries "index:widthxheight".
    virtual QStringList getSolutionList(MediaControl*) { return {}; }
    virtual int getSolutionIndex(MediaControl*) { return -1; }
    virtual void switchSolution(MediaControl*, int index) { (void)index; }
    virtual bool hasSecondCamera(MediaControl*) { return false; }
    virtual void setCaptureName(MediaControl*, const QString& name) { (void)name; }
    virtual void setAngle(MediaControl*, int angle) { (void)angle; }
    virtual void capture(MediaControl*) {}
    // Freezes or resumes the current camera's live picture; true when it is frozen now.
    virtual bool pause(MediaControl*) { return false; }
    virtual void forceRefresh(MediaControl*) {}
    virtual QString getOcrPicFilename(MediaControl*) { return {}; }
};

class MainCameraLink
{
public:
    virtual ~MainCameraLink() = default;
    // The facade as the sender of sigContentChange(_PaxChangeNotifyE) and sigBacklight(int);
    // null when there is none.
    virtual QObject* object() { return nullptr; }
    virtual _PaxRecordInfoS getRecordInfoMain() { return {}; }
    virtual _PaxRecordInfoS getRecordInfoSecond() { return {}; }
    virtual void startRecordMain() {}
    virtual void stopRecordMain() {}
    virtual void startRecordSecond() {}
    virtual void stopRecordSecond() {}
    virtual bool pauseOrResumeMain() { return false; }
    virtual bool pauseOrResumeSecond() { return false; }
    virtual bool isOpenCurCamera() { return false; }
    virtual bool isCameraInvalid(_PaxCameraIndexE camera) { (void)camera; return true; }
    // These four may be called from a pool thread.
    virtual void openCurCamera() {}
    virtual void closeCurCamera() {}
    virtual void closeOtherCamera() {}
    virtual void checkUvcInit() {}
    virtual void setUvcControl(bool on) { (void)on; }
    // Stops the SDK worker thread.
    virtual void releaseInstance() {}

    // The UVC control service path (the platform's version decides).
    virtual bool isServicePath() { return false; }
    // Any thread; 0 on success.
    virtual int switchWorkMode(int mode) { (void)mode; return -1; }
    // True while the service client still executes a request or switches work mode.
    virtual bool isRelease() { return false; }
    virtual void releaseServiceClient() {}
};

// The dialogs the window opens that live with the SDK adapters.
class MainDialogLink
{
public:
    virtual ~MainDialogLink() = default;
    // Runs the settings dialog modally.
    virtual void runConfigDialog(bool wirelessMode, QWidget* parent) { (void)wirelessMode; (void)parent; }
    // Runs the UVC controls popup modally at `point`.
    virtual void showVideoSet(const QPoint& point, QWidget* parent) { (void)point; (void)parent; }
    virtual void destroyVideoSet() {}
    // Opens the picture-in-picture window of the second camera and returns it (the sender of
    // sigClose()), or null when it cannot be opened.
    virtual QObject* openPip(MediaControl* media, QWidget* parent) { (void)media; (void)parent; return nullptr; }
};

namespace MainWindowLinks
{
// Not owned; null restores the built-in "nothing installed" behaviour.
void setMediaLink(MainMediaLink* link);
MainMediaLink* media();
void setCameraLink(MainCameraLink* link);
MainCameraLink* camera();
void setDialogLink(MainDialogLink* link);
MainDialogLink* dialogs();
}
