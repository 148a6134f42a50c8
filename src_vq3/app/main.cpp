// Entry of the program Orvane.
//
// Exit status: 255 (-1) when another instance runs; 0 after a refused camera permission, after
// "firstrun" and after a restart; otherwise the event loop's own code. An event loop ending with
// the restart code starts the program again once this process has let go of the single-instance
// port, the SDKs and the cameras, so exactly one instance runs afterwards.
#include "appstartup.h"
#include "orvaneapp.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "paxplatform.h"
#include "singleapplication.h"

#include <QAbstractButton>
#include <QDebug>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <memory>

namespace {
constexpr int kAnotherInstanceRuns = -1;
const char kFirstRun[] = "firstrun";

// Status 2 is asked once and polled once a second (blocking this thread) until it is answered.
// Returns false when the user refused: the program then ends after the message box.
bool cameraPermissionGranted()
{
    const int status = AppStartup::settleCameraPermission(
        getCameraPrivacyStatus, requestCameraPrivacy, [] { QThread::sleep(1); });
    if (status != 1)
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Title"),
                    QStringLiteral("This application must use a camera"), QMessageBox::NoButton);
    QAbstractButton* apply = box.addButton(QStringLiteral("Apply for camera access"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Quit the application"), QMessageBox::AcceptRole);
    box.exec();
    if (box.clickedButton() == apply)
        openCameraPrivacy();
    return false;
}

void logBuildFacts()
{
    qDebug().noquote() << "not define RELEASE_DEBUG";
    qDebug().noquote() << "define RELEASE_UVC";
    qDebug().noquote() << "RELEASE_LANGUAGE:" << 1;
    qDebug().noquote() << "INIT_ANGLE:" << 0;
}
} // namespace

int main(int argc, char* argv[])
{
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    const bool firstRun = argc == 2 && qstrcmp(argv[1], kFirstRun) == 0;

    auto app = std::make_unique<SingleApplication>(argc, argv);
    pax_platform::fitGlobalThreadPool();
    auto orvane = std::make_unique<OrvaneApp>(app.get());
    if (app->isRunning()) {
        qDebug().noquote() << "already a pax_office is running!";
        return kAnotherInstanceRuns;
    }
    logBuildFacts();
    if (!firstRun && !cameraPermissionGranted())
        return 0;

    orvane->makeSplash();
    if (firstRun) {
        paxlib::YL_deleteFatherSaveDir(QStringLiteral("vq3"));
        return 0;
    }
    orvane->showSplashAndScheduleStart();

    const int code = app->exec();
    orvane->finish();
    if (code != AppStartup::RestartCode)
        return code;

    // Let go of everything the next instance needs (the port goes with the application object)
    // before starting it.
    const QString self = QCoreApplication::applicationFilePath();
    orvane.reset();
    app.reset();
    qunsetenv(OrvaneApp::TestRestartVariable);
    if (!QProcess::startDetached(self, QStringList()))
        qWarning().noquote() << "restart failed:" << self;
    return 0;
}
