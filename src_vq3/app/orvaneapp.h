#pragma once
// The program's life after the application object exists: the splash screen, the delayed start
// (folders, SDKs, settings, translator, font, main window), SIGINT, and the orderly end that stops
// recordings and releases the window, the SDKs and the single-instance port.
//
// GUI thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class PaxQtLib;
class QEventLoop;
class QSplashScreen;
class QTranslator;
class QWidget;
class SingleApplication;

class OrvaneApp : public QObject {
    Q_OBJECT
public:
    // A test hook: with ORVANE_TEST_RESTART=1 the program ends its event loop with the restart code
    // once the delayed start is done, as the settings dialog does after a language change. The
    // restarted process does not inherit the variable. The object's destruction then keeps the
    // process (and the single-instance port, which the application object still holds) for
    // TestRestartHoldMs more, as a slow camera's release would: a new instance started before
    // this process let go finds it still running and ends with 255.
    static constexpr const char* TestRestartVariable = "ORVANE_TEST_RESTART";
    static constexpr int TestRestartHoldMs = 2000;
    // A test hook: with ORVANE_TEST_RECORD=screen (the whole screen) or =camera (the main camera,
    // once it shows) the program starts that recording after the delayed start and logs
    // "test recording: <file>" once it runs, so a test can end the program while it records.
    static constexpr const char* TestRecordVariable = "ORVANE_TEST_RECORD";

    explicit OrvaneApp(SingleApplication* app);
    ~OrvaneApp() override;

    // Creates the disabled splash screen with its picture (not shown yet).
    void makeSplash();
    // Shows the splash screen and schedules the delayed start 500 ms later.
    void showSplashAndScheduleStart();

    // After the event loop: stops running recordings (so their files get their trailers), destroys
    // the main window and releases the SDKs and the settings. Idempotent. Blocks until the SDK
    // worker threads have ended (a recording's trailer is written meanwhile, a few seconds at most).
    void finish();

    QWidget* mainWindow() const { return m_window; }

private:
    void _delayedStart();
    bool _delayedStartSteps();
    void _installQtTranslator(const QString& suffix);
    void _waitForFirstDeviceSearch(PaxQtLib* sdk);
    void _onInterrupt(const char* signalName);
    // Tells on the splash whether the camera service refuses the link (service path only).
    void _showServiceState();
    void _stopRecordings();
    void _startTestRecording(const QString& what);

    SingleApplication* m_app;
    QSplashScreen* m_splash = nullptr;
    std::unique_ptr<QTranslator> m_qtTranslator;   // Qt's own texts
    std::unique_ptr<QTranslator> m_translator;     // the program's texts
    QPointer<QWidget> m_window;
    bool m_serviceSilent = false;
    QEventLoop* m_initWait = nullptr;   // set while the start waits for the first device search
    bool m_cameraSdkMade = false;
    bool m_starting = false;
    bool m_quitRequested = false;
    bool m_finished = false;
    bool m_testRestartHold = false;
};
