#pragma once
// The program's side of the interfaces through which the main window reaches the media bridge,
// the camera SDK facade, the UVC control service and the dialogs that live with the SDK
// adapters: each operation forwards to MediaControl, PaxQtLib, MacUvcClient or the dialog.
// GUI thread only, except where MainWindowLinks says otherwise.
#include "mainwindowlinks.h"

class AppMediaLink : public MainMediaLink {
public:
    MediaControl* create(QObject* parent) override;
    void destroy(MediaControl* media) override;
    QObject* object(MediaControl* media) override;
    int getCameraStatus(MediaControl* media) override;
    bool isWirelessMode(MediaControl* media) override;
    void switchWirelessMode(MediaControl* media, bool toggle) override;
    QStringList getSolutionList(MediaControl* media) override;
    int getSolutionIndex(MediaControl* media) override;
    void switchSolution(MediaControl* media, int index) override;
    bool hasSecondCamera(MediaControl* media) override;
    void setCaptureName(MediaControl* media, const QString& name) override;
    void setAngle(MediaControl* media, int angle) override;
    void capture(MediaControl* media) override;
    bool pause(MediaControl* media) override;
    void forceRefresh(MediaControl* media) override;
    QString getOcrPicFilename(MediaControl* media) override;
};

class AppCameraLink : public MainCameraLink {
public:
    QObject* object() override;
    _PaxRecordInfoS getRecordInfoMain() override;
    _PaxRecordInfoS getRecordInfoSecond() override;
    void startRecordMain() override;
    void stopRecordMain() override;
    void startRecordSecond() override;
    void stopRecordSecond() override;
    bool pauseOrResumeMain() override;
    bool pauseOrResumeSecond() override;
    bool isOpenCurCamera() override;
    bool isCameraInvalid(_PaxCameraIndexE camera) override;
    void openCurCamera() override;
    void closeCurCamera() override;
    void closeOtherCamera() override;
    void checkUvcInit() override;
    void setUvcControl(bool on) override;
    void releaseInstance() override;
    bool isServicePath() override;
    int switchWorkMode(int mode) override;
    bool isRelease() override;
    void releaseServiceClient() override;
};

class AppDialogLink : public MainDialogLink {
public:
    void runConfigDialog(bool wirelessMode, QWidget* parent) override;
    void showVideoSet(const QPoint& point, QWidget* parent) override;
    void destroyVideoSet() override;
    QObject* openPip(MediaControl* media, QWidget* parent) override;
};

namespace AppLinks {
// Installs the three adapters (idempotent); remove() takes them out again.
void install();
void remove();
}
