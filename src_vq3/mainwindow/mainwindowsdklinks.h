#pragma once
// The program's side of MainWindowLinks: adapters forwarding to MediaControl, PaxQtLib,
// MacUvcClient and the dialogs. installMainWindowLinks() plugs them in once at start-up (after
// the camera SDK facade exists); removeMainWindowLinks() takes them out before it goes.

#include "mainwindowlinks.h"

class ShellMainMediaLink : public MainMediaLink
{
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

class ShellMainCameraLink : public MainCameraLink
{
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

class ShellMainDialogLink : public MainDialogLink
{
public:
    void runConfigDialog(bool wirelessMode, QWidget* parent) override;
    void showVideoSet(const QPoint& point, QWidget* parent) override;
    void destroyVideoSet() override;
    QObject* openPip(MediaControl* media, QWidget* parent) override;
};

void installMainWindowLinks();
void removeMainWindowLinks();
