#pragma once
// The dialogs' camera SDK interface served by the camera SDK facade PaxQtLib: what the
// application installs with DialogCameraSdk::setInstance. GUI thread, except the camera open
// and close, which the facade takes from any thread.

#include "dialogservices.h"

class PaxQtLib;

class PaxQtLibDialogSdk : public DialogCameraSdk
{
    Q_OBJECT
public:
    // Forwards to `lib` (PaxQtLib::getInstance() when null) and relays its notifications.
    explicit PaxQtLibDialogSdk(PaxQtLib* lib = nullptr);

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

private:
    bool second(_PaxCameraIndexE camera) const { return camera == PaxCameraIndexSecond; }
    PaxQtLib* m_lib = nullptr;
};
