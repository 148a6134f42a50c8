#include "orvaneapp.h"

#include "appstartup.h"
#include "appwindow.h"
#include "macuvcclient.h"
#include "mymemory.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "paxqtlib.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"
#include "shelllinks.h"
#include "singleapplication.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QHash>
#include <QIcon>
#include <QLibraryInfo>
#include <QSplashScreen>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <cstdlib>

namespace {
constexpr int kDelayedStartMs = 500;
constexpr int kInitPollMs = 200;

// Qt's own catalogues for a language suffix of the settings, tried in this order: the widgets'
// texts alone, then the catalogue that gathers all of Qt's modules.
QStringList qtCatalogues(const QString& suffix)
{
    static const QHash<QString, QString> locales{{QStringLiteral("zh"), QStringLiteral("zh_CN")}};
    const QString locale = locales.value(suffix, suffix);
    return {QStringLiteral("qtbase_") + locale, QStringLiteral("qt_") + locale};
}

void showEmptyRedMessage(QSplashScreen* splash)
{
    if (splash)
        splash->showMessage(QString(), Qt::AlignCenter, Qt::red);
}
} // namespace

OrvaneApp::OrvaneApp(SingleApplication* app) : QObject(nullptr), m_app(app)
{
    if (auto* watcher = InterruptWatcher::install(this))
        connect(watcher, &InterruptWatcher::interrupted, this,
                [this, watcher] { _onInterrupt(watcher->lastSignalName()); });
    // Counted by whoever needs to know that a second start reached this instance.
    connect(m_app, &SingleApplication::sigActive, this, [] { qDebug().noquote() << "activate"; });
}

OrvaneApp::~OrvaneApp()
{
    finish();
    delete m_splash;
    if (m_testRestartHold) {
        qDebug().noquote() << "restart test: holding on before letting go";
        QThread::msleep(TestRestartHoldMs);
    }
}

void OrvaneApp::makeSplash()
{
    m_splash = new QSplashScreen(QPixmap());
    m_splash->setEnabled(false);
    const QPixmap picture(QCoreApplication::applicationDirPath() + QStringLiteral("/image/start_image.png"));
    const QSize target = AppStartup::splashTargetSize(ScreenGeometry::availableRect().size(), picture.size());
    if (target.isValid())
        m_splash->setPixmap(picture.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void OrvaneApp::showSplashAndScheduleStart()
{
    m_splash->show();
    m_splash->raise();
    m_splash->activateWindow();
    showEmptyRedMessage(m_splash);
    // Scheduled only now: showing the splash processes events while it waits for the window to be
    // exposed, and the start deletes the splash when it ends.
    QTimer::singleShot(kDelayedStartMs, this, &OrvaneApp::_delayedStart);
}

void OrvaneApp::_delayedStart()
{
    m_starting = true;
    const bool done = _delayedStartSteps();
    m_starting = false;
    delete m_splash;
    m_splash = nullptr;
    if (!done || m_quitRequested) {
        // SIGINT arrived while the start was under way: end the way the handler would have.
        QCoreApplication::exit(0);
        return;
    }
    qDebug().noquote() << "start-up done";
    const QString record = qEnvironmentVariable(TestRecordVariable);
    if (!record.isEmpty())
        _startTestRecording(record);
    if (qEnvironmentVariable(TestRestartVariable) == QLatin1String("1")) {
        m_testRestartHold = true;
        QTimer::singleShot(0, this, [] { QCoreApplication::exit(AppStartup::RestartCode); });
    }
}

// The steps of the delayed start; false when SIGINT cut them short. The SDK's start (at least a
// second, events processed) and the wait for its first device search (events processed) block this
// thread.
bool OrvaneApp::_delayedStartSteps()
{
    paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
    PaxScreenQtLib::setSavePath(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("screen_sdk"), QString()));
    paxSetLogDir(QStringLiteral("vq3.log"));
    MyMemory::setSavePath(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("app"), QString()));

    PaxQtLib* sdk = PaxQtLib::getInstance();
    m_cameraSdkMade = true;
    MyMemory* memory = MyMemory::getInstance();
    sdk->setUvcControl(memory->getConfigUvcControl());
    installShellLinks();   // from here on a changed save folder reaches the facade
    if (m_quitRequested)
        return false;

    if (isAvailableMacos13())
        MacUvcClient::getInstance()->setServerLogDir(
            paxlib::YL_createOrGetSonSaveDir(QStringLiteral("korvid"), QString()));

    QString suffix = memory->getCurLanguageSuffix();
    if (suffix.isEmpty()) {
        // A hand-edited language that is not offered: the one offered is used and stored.
        qDebug().noquote() << QStringLiteral("language[%1] is not offered, language 0 is used")
                                  .arg(int(memory->getCurLanguage()));
        memory->setConfigCurLanguage(MyMemory::Chinese_Simplified);
        suffix = memory->getCurLanguageSuffix();
    }
    // Installed first, so the program's own translator (searched first) wins where both know a text.
    _installQtTranslator(suffix);
    m_translator = std::make_unique<QTranslator>();
    m_translator->load(QStringLiteral(":/tr_") + suffix + QStringLiteral(".qm"));
    QCoreApplication::installTranslator(m_translator.get());

    QFont font = QApplication::font();
    font.setFamily(sdk->getFontFamily());
    font.setPointSize(memory->appFontPointSize);
    QApplication::setFont(font);

    m_window = AppWindow::create(m_app);
    showEmptyRedMessage(m_splash);
    QCoreApplication::processEvents();

    _waitForFirstDeviceSearch(sdk);
    if (m_quitRequested)
        return false;
    // The camera's recordings go to the save folder the settings hold (handed once the SDK's first
    // search is done: its settings store is busy until then).
    sdk->setVideoMainSavePath(memory->getConfigSavePath());
    sdk->setVideoSecondSavePath(memory->getConfigSavePath());

    if (m_window)
        AppWindow::initAndShow(m_window);
    QApplication::setWindowIcon(QIcon(paxlib::YL_getAppIcoImageFilename()));
    QCoreApplication::setApplicationName(QStringLiteral("vq3"));
    return true;
}

// Runs this thread's events until the SDK's first device search is complete (its sigInitComplete,
// queued from the worker) or SIGINT asks to end. The search takes as long as the device listing
// and the mode probe, a few seconds at most (30 s per probe when the tool hangs).
void OrvaneApp::_waitForFirstDeviceSearch(PaxQtLib* sdk)
{
    QEventLoop wait;
    // The loop quits through the queue, so what the search posted before it ended (its device
    // notices, and what they post in turn, such as the live view opening the camera) runs first, as
    // it did when the flag was polled: the camera then starts while the window is laid out.
    // Connected before the flag is read: a search that completes in between still wakes the loop.
    connect(sdk, &PaxQtLib::sigInitComplete, &wait, &QEventLoop::quit, Qt::QueuedConnection);
    if (m_quitRequested)
        return;
    if (sdk->getbInitComplete())
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    // On the service path the search waits for the camera service: the splash says so while
    // the service refuses the link.
    QTimer serviceCheck;
    if (isAvailableMacos13()) {
        serviceCheck.setInterval(kInitPollMs);
        connect(&serviceCheck, &QTimer::timeout, this, [this] { _showServiceState(); });
        serviceCheck.start();
    }
    m_initWait = &wait;
    wait.exec();
    m_initWait = nullptr;
}

// The texts Qt itself shows (standard buttons, the file dialog) in the language of the settings,
// from Qt's translations folder. A missing catalogue leaves them in English and is logged.
void OrvaneApp::_installQtTranslator(const QString& suffix)
{
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    const QStringList catalogues = qtCatalogues(suffix);
    auto translator = std::make_unique<QTranslator>();
    for (const QString& catalogue : catalogues) {
        if (translator->load(catalogue, folder, QString(), QStringLiteral(".qm"))) {
            QCoreApplication::installTranslator(translator.get());
            m_qtTranslator = std::move(translator);
            return;
        }
    }
    qWarning().noquote() << QStringLiteral("Qt's translation %1.qm is missing in %2: Qt's own texts stay in English")
                                .arg(catalogues.first(), folder);
}

void OrvaneApp::_showServiceState()
{
    MacUvcClient* client = MacUvcClient::getInstance();
    const bool silent = !client->isLinkUp() && client->serviceRefused();
    if (silent == m_serviceSilent || !m_splash)
        return;
    m_serviceSilent = silent;
    if (silent) {
        qDebug().noquote() << "camera service does not answer";
        m_splash->showMessage(tr("The camera service does not answer, please start it and wait"),
                              Qt::AlignHCenter | Qt::AlignBottom, Qt::red);
    } else {
        showEmptyRedMessage(m_splash);
    }
}

void OrvaneApp::_onInterrupt(const char* signalName)
{
    qDebug().noquote() << QStringLiteral("%1: ending").arg(QLatin1String(signalName));
    m_quitRequested = true;
    // A device search waiting for the camera service gives up at once.
    MacUvcClient::interruptInstance();
    if (m_initWait)
        m_initWait->quit();
    // Inside the delayed start the SDK may still be starting: the start sees the request after
    // its current step and ends the loop itself.
    if (!m_starting)
        QCoreApplication::exit(0);
}

// Starts the recording the test hook asks for; the camera's as soon as the camera is open. Logs
// the file once the recording runs.
void OrvaneApp::_startTestRecording(const QString& what)
{
    if (what == QLatin1String("screen")) {
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        screen->setRect(ScreenGeometry::screenRect());
        if (screen->startRecordScreen(MyMemory::getNextVideoName()))
            qDebug().noquote() << "test recording:" << screen->getRecordInfo().fileName;
        else
            qWarning().noquote() << "test recording: the screen recording did not start";
        return;
    }
    if (what != QLatin1String("camera")) {
        qWarning().noquote() << "test recording: unknown kind" << what;
        return;
    }
    auto* poll = new QTimer(this);
    poll->setInterval(kInitPollMs);
    connect(poll, &QTimer::timeout, this, [poll, asked = false]() mutable {
        PaxQtLib* sdk = PaxQtLib::getInstance();
        const _PaxRecordInfoS info = sdk->getRecordInfoMain();
        if (info.status != PaxRecordStop) {
            qDebug().noquote() << "test recording:" << info.fileName;
            poll->deleteLater();
        } else if (!asked && sdk->isOpenCurCamera()) {
            asked = true;
            sdk->startRecordMain();
        }
    });
    poll->start();
}

void OrvaneApp::_stopRecordings()
{
    if (m_window) {
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        if (screen->getRecordInfo().state != PaxRecordStop) {
            qDebug().noquote() << "ending: stopping the screen recording";
            screen->stopRecordScreen();
        }
    }
    if (m_cameraSdkMade) {
        PaxQtLib* sdk = PaxQtLib::getInstance();
        if (sdk->getRecordInfoMain().status != PaxRecordStop) {
            qDebug().noquote() << "ending: stopping the main camera's recording";
            sdk->stopRecordMain();
        }
        if (sdk->getRecordInfoSecond().status != PaxRecordStop) {
            qDebug().noquote() << "ending: stopping the second camera's recording";
            sdk->stopRecordSecond();
        }
    }
}

void OrvaneApp::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    _stopRecordings();
    AppWindow::destroy(m_window);
    delete m_splash;
    m_splash = nullptr;
    if (m_cameraSdkMade) {
        removeShellLinks();
        // The SDK's worker ends only once a request to the camera service it runs has returned.
        MacUvcClient::interruptInstance();
        PaxScreenQtLib::releaseInstance();
        PaxQtLib::releaseInstance();
        MyMemory::releaseInstance();
        m_cameraSdkMade = false;
    }
    for (std::unique_ptr<QTranslator>* translator : {&m_translator, &m_qtTranslator}) {
        if (*translator) {
            QCoreApplication::removeTranslator(translator->get());
            translator->reset();
        }
    }
}
