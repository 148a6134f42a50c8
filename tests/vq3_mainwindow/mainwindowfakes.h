#pragma once
// Doubles of the media bridge, the camera SDK and the dialogs the main window opens: they
// record the calls and emit the signals the window listens to. Also where the window's files go.

#include "mainwindowlinks.h"
#include "mymemory.h"
#include "paxnotify.h"
#include "paxscreenqtlib.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QStringList>
#include <QTemporaryDir>

class FakeMediaObject : public QObject
{
    Q_OBJECT
signals:
    void sig_solutionChange();
    void sig_devicePullout();
    void imageCaptured(const QImage& image);
};

class FakeMedia : public MainMediaLink
{
public:
    FakeMediaObject object_;
    int status = 0;
    bool wireless = false;
    bool secondCamera = false;
    QStringList solutions{QStringLiteral("0:1920x1080"), QStringLiteral("1:1280x720")};
    int solutionIndex = 1;
    QList<int> switchedSolutions;
    QList<bool> wirelessSwitches;
    QStringList captureNames;
    QList<int> angles;
    int captures = 0;
    bool frozen = false;
    int refreshes = 0;
    int statusChecks = 0;

    MediaControl* create(QObject*) override { return nullptr; }
    QObject* object(MediaControl*) override { return &object_; }
    int getCameraStatus(MediaControl*) override
    {
        ++statusChecks;
        return status;
    }
    bool isWirelessMode(MediaControl*) override { return wireless; }
    void switchWirelessMode(MediaControl*, bool toggle) override
    {
        wirelessSwitches << toggle;
        if (toggle)
            wireless = !wireless;
    }
    QStringList getSolutionList(MediaControl*) override { return solutions; }
    int getSolutionIndex(MediaControl*) override { return solutionIndex; }
    void switchSolution(MediaControl*, int index) override { switchedSolutions << index; }
    bool hasSecondCamera(MediaControl*) override { return secondCamera; }
    void setCaptureName(MediaControl*, const QString& name) override { captureNames << name; }
    void setAngle(MediaControl*, int angle) override { angles << angle; }
    void capture(MediaControl*) override
    {
        ++captures;
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        emit object_.imageCaptured(image);
    }
    bool pause(MediaControl*) override { return frozen = !frozen; }
    void forceRefresh(MediaControl*) override { ++refreshes; }
};

class FakeCameraObject : public QObject
{
    Q_OBJECT
signals:
    void sigContentChange(_PaxChangeNotifyE notify);
    void sigBacklight(int value);
};

class FakeCamera : public MainCameraLink
{
public:
    FakeCameraObject object_;
    _PaxRecordInfoS main;
    _PaxRecordInfoS second;
    bool startSucceeds = true;
    QString recordFile;
    QStringList calls;   // in order, any thread
    QMutex mutex;
    bool servicePath = false;
    int switchResult = 0;
    int busyAnswers = 0;   // isRelease() answers true this many times
    QList<qint64> releaseAsked;
    QElapsedTimer clock;
    // With `holdSwitch`, switchWorkMode (on a worker thread) waits until the test opens the gate.
    bool holdSwitch = false;
    QSemaphore switchGate;
    bool switchReleased = false;   // the gate opened before the hang ceiling

    FakeCamera() { clock.start(); }
    void note(const QString& call)
    {
        QMutexLocker lock(&mutex);
        calls << call;
    }
    QObject* object() override { return &object_; }
    _PaxRecordInfoS getRecordInfoMain() override { return main; }
    _PaxRecordInfoS getRecordInfoSecond() override { return second; }
    void startRecordMain() override
    {
        note("startRecordMain");
        if (startSucceeds) {
            main.status = 1;
            main.fileName = recordFile;
        }
        emit object_.sigContentChange(PaxChangeRecordInfoMain);
    }
    void stopRecordMain() override
    {
        note("stopRecordMain");
        main.status = 0;
        emit object_.sigContentChange(PaxChangeRecordInfoMain);
    }
    bool isOpenCurCamera() override { return true; }
    bool isCameraInvalid(_PaxCameraIndexE) override { return false; }
    void openCurCamera() override { note("openCurCamera"); }
    void closeCurCamera() override { note("closeCurCamera"); }
    void closeOtherCamera() override { note("closeOtherCamera"); }
    void checkUvcInit() override { note("checkUvcInit"); }
    void releaseInstance() override { note("releaseInstance"); }
    bool isServicePath() override { return servicePath; }
    int switchWorkMode(int mode) override
    {
        note(QStringLiteral("switchWorkMode %1").arg(mode));
        if (holdSwitch)
            switchReleased = switchGate.tryAcquire(1, 60000);
        return switchResult;
    }
    bool isRelease() override
    {
        releaseAsked << clock.elapsed();
        if (busyAnswers > 0) {
            --busyAnswers;
            return true;
        }
        return false;
    }
    void releaseServiceClient() override { note("releaseServiceClient"); }
};

class FakeDialogs : public MainDialogLink
{
public:
    int videoSetRuns = 0;
    void showVideoSet(const QPoint&, QWidget*) override { ++videoSetRuns; }
};

// The three doubles of one test, linked into the main window from link() to unlink().
struct FakeLinks
{
    FakeMedia* media = nullptr;
    FakeCamera* camera = nullptr;
    FakeDialogs* dialogs = nullptr;

    void link()
    {
        media = new FakeMedia;
        camera = new FakeCamera;
        dialogs = new FakeDialogs;
        MainWindowLinks::setMediaLink(media);
        MainWindowLinks::setCameraLink(camera);
        MainWindowLinks::setDialogLink(dialogs);
    }
    void unlink()
    {
        MainWindowLinks::setMediaLink(nullptr);
        MainWindowLinks::setCameraLink(nullptr);
        MainWindowLinks::setDialogLink(nullptr);
        delete media;
        delete camera;
        delete dialogs;
    }
};

// The settings, screen recordings and saved files of the window under test go into `dir`; grabs
// play no tip sound.
inline void keepFilesIn(const QTemporaryDir& dir)
{
    MyMemory::setSavePath(dir.filePath("app"));
    PaxScreenQtLib::setSavePath(dir.filePath("screen/"));
    MyMemory::getInstance()->setConfigSavePath(dir.filePath("save") + "/");
    MyMemory::getInstance()->setConfigGrabTipAudio(false);
}
