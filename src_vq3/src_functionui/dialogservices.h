#pragma once
// What the dialogs use of the camera SDK facade and of the media bridge, as interfaces with
// exactly the operations the dialogs call. The application plugs in adapters that forward to
// PaxQtLib and MediaControl; tests plug in doubles that record the calls.
//
// GUI thread only.

#include "paxdata.h"
#include "paxsdktypes.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The camera SDK's change notifications the dialogs react to.
enum DialogCameraNotify : int {
    CameraNotifyFound = 0,
    CameraNotifyMissing = 1,
    CameraNotifyRecordInfoMain = 5,
    CameraNotifyRecordInfoSecond = 6,
};

class DialogCameraSdk : public QObject
{
    Q_OBJECT
public:
    // The facade the dialogs talk to; null until the application (or a test) sets one.
    static DialogCameraSdk* instance();
    static void setInstance(DialogCameraSdk* sdk);

    // Recording settings of camera 0 or 1.
    virtual bool getIsRecordAudio(_PaxCameraIndexE camera) = 0;
    virtual void setIsRecordAudio(_PaxCameraIndexE camera, bool on) = 0;
    virtual int getCurMicrophoneVolumn(_PaxCameraIndexE camera) = 0;
    virtual void setCurMicrophoneVolumn(_PaxCameraIndexE camera, int volume) = 0;
    virtual QStringList getMicrophoneList() = 0;
    virtual QString getCurMicrophone(_PaxCameraIndexE camera) = 0;
    virtual void setCurMicrophone(_PaxCameraIndexE camera, const QString& name) = 0;
    virtual bool getIsHardwareEncoder(_PaxCameraIndexE camera, bool& available) = 0;
    virtual void setIsHardwareEncoder(_PaxCameraIndexE camera, bool on) = 0;
    virtual int getRecordQuality(_PaxCameraIndexE camera) = 0;
    virtual void setRecordQuality(_PaxCameraIndexE camera, _PaxORecordQualityE quality) = 0;
    virtual int getBitrateValue(_PaxCameraIndexE camera) = 0;
    virtual void setBitrateValue(_PaxCameraIndexE camera, _PaxOBitrateValueE value) = 0;
    virtual int getBitrateType(_PaxCameraIndexE camera) = 0;
    virtual void setBitrateType(_PaxCameraIndexE camera, _PaxOBitrateTypeE type) = 0;
    virtual int getQuantizationParameter(_PaxCameraIndexE camera) = 0;
    virtual void setQuantizationParameter(_PaxCameraIndexE camera, _PaxOQuantizationParameterE qp) = 0;
    virtual int getProfile(_PaxCameraIndexE camera) = 0;
    virtual void setProfile(_PaxCameraIndexE camera, _PaxOProfileE profile) = 0;
    virtual int getPresetMode(_PaxCameraIndexE camera) = 0;
    virtual void setPresetMode(_PaxCameraIndexE camera, _PaxOPresetModeE preset) = 0;
    virtual QString getVideoPrefix(_PaxCameraIndexE camera) = 0;
    virtual void setVideoPrefix(_PaxCameraIndexE camera, const QString& prefix) = 0;
    virtual QList<_SolutionS> getSolutionList(_PaxCameraIndexE camera) = 0;
    virtual int getRecordSolutionIndex(_PaxCameraIndexE camera) = 0;
    virtual void setRecordSolutionIndex(_PaxCameraIndexE camera, int index) = 0;

    // Camera recordings.
    virtual int getCurrentCameraIndex() = 0;
    virtual bool hasSecondCamera() = 0;
    virtual _PaxRecordInfoS getRecordInfo(_PaxCameraIndexE camera) = 0;
    virtual void startRecord(_PaxCameraIndexE camera) = 0;
    virtual void stopRecord(_PaxCameraIndexE camera) = 0;
    virtual void pauseRecord(_PaxCameraIndexE camera) = 0;
    virtual void resumeRecord(_PaxCameraIndexE camera) = 0;
    virtual void switchCamera(_PaxCameraIndexE camera) = 0;

    // UVC image controls of the main camera, by control.
    enum UvcControl : int { Brightness, Contrast, Saturation, Sharpness, Gain, Exposure, Focus, ExposureAuto, FocusAuto };
    virtual _PaxUvcInfoS getUvcInfo(UvcControl control) = 0;
    virtual void setUvcValue(UvcControl control, int value) = 0;          // the seven value controls
    virtual void setUvcAuto(UvcControl control, bool on) = 0;             // ExposureAuto, FocusAuto
    virtual void setUvcToDefault(UvcControl control) = 0;
    virtual void doFocus() = 0;
    virtual void closeCurCamera() = 0;   // any thread
    virtual void openCurCamera() = 0;    // any thread

    // Family of the application font the SDK loaded.
    virtual QString getFontFamily() = 0;

signals:
    // The SDK's notification (DialogCameraNotify values among others), in the GUI thread.
    void sigContentChange(int notify);
};

class MediaControl;

// What the picture-in-picture window uses of the media bridge.
class DialogMediaControl : public QObject
{
    Q_OBJECT
public:
    // The bridge handed to the window's view (null where there is none, as in tests).
    virtual MediaControl* media() const = 0;
    virtual void switchPreview() = 0;
    virtual void capture_otherCamera(const QString& name) = 0;
    virtual void closeCamera1() = 0;
signals:
    void sig_solutionChangeSecond(int width, int height);
    void imageCaptured(const QImage& image);
};

// What the settings dialog uses of the wireless cameras: the manager's list and current camera,
// each camera's record and its two set-up commands. The application's adapter forwards to
// WirelessDeviceManage and WirelessDevice.
struct WirelessDeviceInfo;

class DialogWirelessDevice
{
public:
    virtual ~DialogWirelessDevice() = default;
    virtual WirelessDeviceInfo getDeviceInfo() const = 0;
    virtual void setAp(const QString& wifiName, int channel) = 0;
    virtual void setStation(const QString& name, const QString& password) = 0;
};

class DialogWirelessManager
{
public:
    static DialogWirelessManager* instance();
    static void setInstance(DialogWirelessManager* manager);
    virtual ~DialogWirelessManager() = default;
    virtual DialogWirelessDevice* getCurDevice() = 0;
    virtual QList<DialogWirelessDevice*> getDeviceList() = 0;
};
