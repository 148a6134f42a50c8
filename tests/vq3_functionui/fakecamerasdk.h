#pragma once
// A camera SDK double for the dialog tests: it holds the values the test gives it, hands them
// out, keeps what is set and records every call in order. It couples nothing.

#include "dialogservices.h"

#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

class FakeCameraSdk : public DialogCameraSdk
{
    Q_OBJECT
public:
    QStringList calls;
    // Per camera (0, 1) values.
    bool recordAudio[2] = {false, false};
    int volume[2] = {100, 100};
    QString microphone[2];
    QStringList microphones;
    bool hardwareAvailable = false;
    bool hardware[2] = {false, false};
    int quality[2] = {1, 1};
    int bitrateValue[2] = {2, 2};
    int bitrateType[2] = {1, 1};
    int qp[2] = {1, 1};
    int profile[2] = {2, 2};
    int preset[2] = {0, 0};
    QString prefix[2] = {"main", "second"};
    QList<_SolutionS> solutions[2];
    int solutionIndex[2] = {0, 0};
    int currentCamera = 0;
    bool secondCamera = true;
    _PaxRecordInfoS recordInfo[2];
    QMap<int, _PaxUvcInfoS> uvc;
    QString fontFamily = QStringLiteral("DejaVu Sans");

    QMutex mutex;   // the camera open and close may come from a pool thread
    void log(const QString& call) { QMutexLocker lock(&mutex); calls << call; }
    static int c(_PaxCameraIndexE camera) { return camera == PaxCameraIndexSecond ? 1 : 0; }

    bool getIsRecordAudio(_PaxCameraIndexE k) override { return recordAudio[c(k)]; }
    void setIsRecordAudio(_PaxCameraIndexE k, bool on) override { log(QStringLiteral("setIsRecordAudio %1 %2").arg(k).arg(on)); recordAudio[c(k)] = on; }
    int getCurMicrophoneVolumn(_PaxCameraIndexE k) override { return volume[c(k)]; }
    void setCurMicrophoneVolumn(_PaxCameraIndexE k, int v) override { log(QStringLiteral("setCurMicrophoneVolumn %1 %2").arg(k).arg(v)); volume[c(k)] = v; }
    QStringList getMicrophoneList() override { return microphones; }
    QString getCurMicrophone(_PaxCameraIndexE k) override { return microphone[c(k)]; }
    void setCurMicrophone(_PaxCameraIndexE k, const QString& n) override { log(QStringLiteral("setCurMicrophone %1 %2").arg(k).arg(n)); microphone[c(k)] = n; }
    bool getIsHardwareEncoder(_PaxCameraIndexE k, bool& available) override { available = hardwareAvailable; return hardware[c(k)]; }
    void setIsHardwareEncoder(_PaxCameraIndexE k, bool on) override { log(QStringLiteral("setIsHardwareEncoder %1 %2").arg(k).arg(on)); hardware[c(k)] = on; }
    int getRecordQuality(_PaxCameraIndexE k) override { return quality[c(k)]; }
    void setRecordQuality(_PaxCameraIndexE k, _PaxORecordQualityE q) override { log(QStringLiteral("setRecordQuality %1 %2").arg(k).arg(q)); quality[c(k)] = q; }
    int getBitrateValue(_PaxCameraIndexE k) override { return bitrateValue[c(k)]; }
    void setBitrateValue(_PaxCameraIndexE k, _PaxOBitrateValueE v) override { log(QStringLiteral("setBitrateValue %1 %2").arg(k).arg(v)); bitrateValue[c(k)] = v; }
    int getBitrateType(_PaxCameraIndexE k) override { return bitrateType[c(k)]; }
    void setBitrateType(_PaxCameraIndexE k, _PaxOBitrateTypeE t) override { log(QStringLiteral("setBitrateType %1 %2").arg(k).arg(t)); bitrateType[c(k)] = t; }
    int getQuantizationParameter(_PaxCameraIndexE k) override { return qp[c(k)]; }
    void setQuantizationParameter(_PaxCameraIndexE k, _PaxOQuantizationParameterE v) override { log(QStringLiteral("setQuantizationParameter %1 %2").arg(k).arg(v)); qp[c(k)] = v; }
    int getProfile(_PaxCameraIndexE k) override { return profile[c(k)]; }
    void setProfile(_PaxCameraIndexE k, _PaxOProfileE p) override { log(QStringLiteral("setProfile %1 %2").arg(k).arg(p)); profile[c(k)] = p; }
    int getPresetMode(_PaxCameraIndexE k) override { return preset[c(k)]; }
    void setPresetMode(_PaxCameraIndexE k, _PaxOPresetModeE p) override { log(QStringLiteral("setPresetMode %1 %2").arg(k).arg(p)); preset[c(k)] = p; }
    QString getVideoPrefix(_PaxCameraIndexE k) override { return prefix[c(k)]; }
    void setVideoPrefix(_PaxCameraIndexE k, const QString& p) override { log(QStringLiteral("setVideoPrefix %1 %2").arg(k).arg(p)); prefix[c(k)] = p; }
    QList<_SolutionS> getSolutionList(_PaxCameraIndexE k) override { return solutions[c(k)]; }
    int getRecordSolutionIndex(_PaxCameraIndexE k) override { return solutionIndex[c(k)]; }
    void setRecordSolutionIndex(_PaxCameraIndexE k, int i) override { log(QStringLiteral("setRecordSolutionIndex %1 %2").arg(k).arg(i)); solutionIndex[c(k)] = i; }

    int getCurrentCameraIndex() override { return currentCamera; }
    bool hasSecondCamera() override { return secondCamera; }
    _PaxRecordInfoS getRecordInfo(_PaxCameraIndexE k) override { return recordInfo[c(k)]; }
    void startRecord(_PaxCameraIndexE k) override { log(QStringLiteral("startRecord %1").arg(k)); }
    void stopRecord(_PaxCameraIndexE k) override { log(QStringLiteral("stopRecord %1").arg(k)); }
    void pauseRecord(_PaxCameraIndexE k) override { log(QStringLiteral("pauseRecord %1").arg(k)); }
    void resumeRecord(_PaxCameraIndexE k) override { log(QStringLiteral("resumeRecord %1").arg(k)); }
    void switchCamera(_PaxCameraIndexE k) override { log(QStringLiteral("switchCamera %1").arg(k)); }

    _PaxUvcInfoS getUvcInfo(UvcControl control) override { return uvc.value(control); }
    void setUvcValue(UvcControl control, int value) override { log(QStringLiteral("setUvcValue %1 %2").arg(control).arg(value)); uvc[control].cur = value; }
    void setUvcAuto(UvcControl control, bool on) override { log(QStringLiteral("setUvcAuto %1 %2").arg(control).arg(on)); uvc[control].curOn = on; }
    void setUvcToDefault(UvcControl control) override { log(QStringLiteral("setUvcToDefault %1").arg(control)); uvc[control].cur = uvc[control].def; uvc[control].curOn = uvc[control].defOn; }
    void doFocus() override { log(QStringLiteral("doFocus")); }
    void closeCurCamera() override { log(QStringLiteral("closeCurCamera")); }
    void openCurCamera() override { log(QStringLiteral("openCurCamera")); }
    QString getFontFamily() override { return fontFamily; }
};
