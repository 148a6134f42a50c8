#pragma once
// The application's side of the interfaces through which the canvas and the dialogs reach the
// camera SDK facade and the media bridge: adapters forwarding to PaxQtLib and MediaControl.
// installShellLinks() plugs them in once at start-up; GUI thread only.
#include "dialogservices.h"
#include "drawlinks.h"

class MediaControl;

class ShellDrawMediaLink : public DrawMediaLink {
public:
    void setRender(MediaControl* media, QGraphicsPixmapItem* item) override;
    void setRender1(MediaControl* media, QGraphicsPixmapItem* item) override;
    void removeThisRender(MediaControl* media, QGraphicsPixmapItem* item) override;
    void closeCamera(MediaControl* media) override;
    void capture(MediaControl* media) override;
    void connectImageCaptured(MediaControl* media, QObject* receiver, const char* slot) override;
    void playWirelessDevice(MediaControl* media, const QString& address) override;
    void runGrabWindow(MediaControl* media, QWidget* parent) override;
};

class ShellDrawCameraLink : public DrawCameraLink {
public:
    double getInitAngle() override;
    void setInitAngle(double angle) override;
    QString getFontFamily() override;
};

class ShellDialogCameraSdk : public DialogCameraSdk {
    Q_OBJECT
public:
    ShellDialogCameraSdk();
    bool getIsRecordAudio(_PaxCameraIndexE camera) override;
    void setIsRecordAudio(_PaxCameraIndexE camera, bool on) override;
    int getCurMicrophoneVolumn(_PaxCameraIndexE camera) override;
    void setCurMicrophoneVolumn(_PaxCameraIndexE camera, int volume) override;
    QStringList getMicrophoneList() override;
    QString getCurMicrophone(_PaxCameraIndexE camera) override;
    void setCurMicrophone(_PaxCameraIndexE camera, const QString& name) override;
    bool getIsHardwareEncoder(_PaxCameraIndexE camera, bool& available) override;
    void setIsHardwareEncoder(_PaxCameraIndexE camera, bool on) override;
    int getRecordQuality(_PaxCameraIndexE camera) override;
    void setRecordQuality(_PaxCameraIndexE camera, _PaxORecordQualityE quality) override;
    int getBitrateValue(_PaxCameraIndexE camera) override;
    void setBitrateValue(_PaxCameraIndexE camera, _PaxOBitrateValueE value) override;
    int getBitrateType(_PaxCameraIndexE camera) override;
    void setBitrateType(_PaxCameraIndexE camera, _PaxOBitrateTypeE type) override;
    int getQuantizationParameter(_PaxCameraIndexE camera) override;
    void setQuantizationParameter(_PaxCameraIndexE camera, _PaxOQuantizationParameterE qp) override;
    int getProfile(_PaxCameraIndexE camera) override;
    void setProfile(_PaxCameraIndexE camera, _PaxOProfileE profile) override;
    int getPresetMode(_PaxCameraIndexE camera) override;
    void setPresetMode(_PaxCameraIndexE camera, _PaxOPresetModeE preset) override;
    QString getVideoPrefix(_PaxCameraIndexE camera) override;
    void setVideoPrefix(_PaxCameraIndexE camera, const QString& prefix) override;
    QList<_SolutionS> getSolutionList(_PaxCameraIndexE camera) override;
    int getRecordSolutionIndex(_PaxCameraIndexE camera) override;
    void setRecordSolutionIndex(_PaxCameraIndexE camera, int index) override;
    int getCurrentCameraIndex() override;
    bool hasSecondCamera() override;
    _PaxRecordInfoS getRecordInfo(_PaxCameraIndexE camera) override;
    void startRecord(_PaxCameraIndexE camera) override;
    void stopRecord(_PaxCameraIndexE camera) override;
    void pauseRecord(_PaxCameraIndexE camera) override;
    void resumeRecord(_PaxCameraIndexE camera) override;
    void switchCamera(_PaxCameraIndexE camera) override;
    _PaxUvcInfoS getUvcInfo(UvcControl control) override;
    void setUvcValue(UvcControl control, int value) override;
    void setUvcAuto(UvcControl control, bool on) override;
    void setUvcToDefault(UvcControl control) override;
    void doFocus() override;
    void closeCurCamera() override;
    void openCurCamera() override;
    QString getFontFamily() override;
};

// What the picture-in-picture window uses of the media bridge.
class ShellDialogMediaControl : public DialogMediaControl {
    Q_OBJECT
public:
    explicit ShellDialogMediaControl(MediaControl* media);
    void switchPreview() override;
    void capture_otherCamera(const QString& name) override;
    void closeCamera1() override;

private:
    MediaControl* m_media;
};

// Installs the adapters for the canvas and the dialogs (idempotent); removeShellLinks() takes
// them out again before the facade goes away.
void installShellLinks();
void removeShellLinks();
