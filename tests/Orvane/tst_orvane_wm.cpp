// The program under a window manager on the test's own X display: the frameless screen-sized
// main window is stacked as full screen while it has the focus, and its palettes and the windows
// opened from them must stay above it, the function palette's Exit button within reach, after
// start and after every switch that shows the main window again; a message box stays above the
// dialog it comes from. Screenshots of each case go to test-artefacts/orvane-wm/.

#include "fakecameraprocess.h"
#include "orvaneprocess.h"

#include <QDirIterator>

#include <optional>

using namespace orvaneprocess;

namespace {

// What a step waits for after its click: the widget it names checked, shown or gone in the
// widget map, the main window's full-screen state on (or off) in the window manager's view, or
// a camera shot in the save folder with the picture window it named gone.
enum class Effect { Checked, Shown, Gone, FullScreen, Normal, Saved };

// A click on a widget of the map, a key when it reads "key:<name>", typed text when it reads
// "type:<text>"; none when empty.
struct Step
{
    QString click;
    Effect effect;
    QString subject;
};

// A row: the steps after start, and "NAME=value" pairs for the program's environment.
struct Case
{
    const char* name;
    QList<Step> steps;
    QStringList environment{};
};

QString artefactFolder()
{
    const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/../test-artefacts/orvane-wm");
    QDir().mkpath(folder);
    return folder;
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class tst_OrvaneWm : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;
    QProcess* m_windowManager = nullptr;
    QString m_mapFile;

    // The client windows of `pid` in the window manager's stacking order, bottom first.
    static QList<xcb_window_t> stackedWindowsOf(XWindows& x, qint64 pid)
    {
        QList<xcb_window_t> windows;
        for (quint32 window : x.values(x.root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW)) {
            const QVector<quint32> pids = x.values(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
            if (!pids.isEmpty() && pids.first() == quint32(pid))
                windows << window;
        }
        return windows;
    }

    static int area(const QRect& rect) { return rect.width() * rect.height(); }

    static xcb_window_t activeWindow(XWindows& x)
    {
        return x.values(x.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW).value(0);
    }

    // The topmost of the program's windows under `point`; none when no window of it lies there.
    static xcb_window_t topmostAt(XWindows& x, const QList<xcb_window_t>& stacked, const QPoint& point)
    {
        xcb_window_t top = XCB_WINDOW_NONE;
        for (xcb_window_t window : stacked)
            if (x.rootGeometry(window).contains(point))
                top = window;
        return top;
    }

    std::optional<Widget> widget(const QString& name)
    {
        const QList<Widget> found = widgetsNamed(readWidgetMap(m_mapFile), name);
        if (found.isEmpty())
            return std::nullopt;
        return found.first();
    }

    // Clicks the middle of the widget, then moves the pointer off the palettes.
    bool click(const QString& name)
    {
        const auto w = widget(name);
        if (!w)
            return false;
        const QPoint p = w->rect.center();
        const int code = QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(p.x()),
                                                                       QString::number(p.y()), "click", "1"});
        QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", "960", "400"});
        return code == 0;
    }

    bool fullScreen(XWindows& x, xcb_window_t window)
    {
        return x.values(window, "_NET_WM_STATE", XCB_ATOM_ATOM).contains(x.atom("_NET_WM_STATE_FULLSCREEN"));
    }

    static int savedFiles()
    {
        int count = 0;
        QDirIterator it(documents() + QStringLiteral("/Orvane"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++count;
        }
        return count;
    }

    static QString icewmPreferences() { return QDir::homePath() + QStringLiteral("/icewm-preferences"); }

    void startWindowManager(XWindows& x, const QString& program, const QStringList& arguments)
    {
        m_windowManager = new QProcess(this);
        m_windowManager->setProcessChannelMode(QProcess::MergedChannels);
        m_windowManager->start(program, arguments);
        QVERIFY2(m_windowManager->waitForStarted(kHangMs), qPrintable(program + QStringLiteral(" does not start")));
        QVERIFY2(waitFor([&] { return !x.values(x.root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).isEmpty(); },
                         kHangMs),
                 qPrintable(program + QStringLiteral(" manages no screen")));
    }

    // The screen as it is, through FFmpeg's X11 grab, written to `file`.
    static void saveScreen(const QString& file)
    {
        QProcess ffmpeg;
        ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-f", "x11grab", "-draw_mouse", "0", "-video_size",
                                                "1920x1080", "-i", QString::fromLocal8Bit(qgetenv("DISPLAY")),
                                                "-frames:v", "1", file});
        ffmpeg.waitForFinished(kHangMs);
    }

    // The main window and its three palettes shown, a palette topmost at the Exit button; then
    // the same once the manager has activated and raised the main window as a click on it would
    // (it keeps the focused main window in its full-screen layer). The screen goes to `screenshot`.
    void expectPalettesAbove(XWindows& x, qint64 pid, xcb_window_t main, const QString& screenshot)
    {
        const auto exit = widget(QStringLiteral("buttonExit"));
        QVERIFY(exit);
        const QPoint centre = exit->rect.center();
        auto describe = [&] {
            const QList<xcb_window_t> stacked = stackedWindowsOf(x, pid);
            const xcb_window_t top = topmostAt(x, stacked, centre);
            return QStringLiteral("main window at %1 of %2 in the stacking order, %3, topmost at the Exit button %4")
                .arg(stacked.indexOf(main))
                .arg(stacked.size())
                .arg(activeWindow(x) == main ? QStringLiteral("focused") : QStringLiteral("not focused"))
                .arg(top == main ? QStringLiteral("the main window")
                                 : top == XCB_WINDOW_NONE ? QStringLiteral("none") : QStringLiteral("a palette"));
        };
        auto palettesAbove = [&] {
            const QList<xcb_window_t> stacked = stackedWindowsOf(x, pid);
            const xcb_window_t top = topmostAt(x, stacked, centre);
            return stacked.size() >= 4 && stacked.first() == main && top != XCB_WINDOW_NONE && top != main
                   && x.rootGeometry(main) == x.rootGeometry(x.root());
        };
        if (!waitFor(palettesAbove, kHangMs)) {
            saveScreen(screenshot);
            QFAIL(qPrintable(describe()));
        }
        QVERIFY2(x.activateThroughManager(main, kHangMs), "the window manager does not answer");
        const bool above = waitFor([&] { return activeWindow(x) == main && palettesAbove(); }, kHangMs);
        saveScreen(screenshot);
        qInfo("%s", qPrintable(describe()));
        QVERIFY2(above, qPrintable(describe()));
    }

    // Starts `windowManager`, then the program with the "NAME=value" pairs of `environment`; `pid`
    // and `main` receive the program's process and its main window, once that covers the screen
    // with its three palettes shown.
    void startUnderManager(XWindows& x, const QString& windowManager, const QStringList& arguments,
                           const QStringList& environment, qint64& pid, xcb_window_t& main)
    {
        startWindowManager(x, windowManager, arguments);
        if (QTest::currentTestFailed())
            return;

        QProcess* orvane = startKept(this, m_processes, {},
                                     QStringList{QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile} + environment);
        QVERIFY2(waitFor([&] { return widget(QStringLiteral("buttonExit")).has_value(); }, kHangMs),
                 "no Exit button in the widget map");

        // The main window (the largest) covers the screen.
        pid = orvane->processId();
        QVERIFY2(waitFor([&] {
                     const QList<xcb_window_t> stacked = stackedWindowsOf(x, pid);
                     if (stacked.size() < 4)
                         return false;
                     main = stacked.first();
                     for (xcb_window_t window : stacked)
                         if (area(x.rootGeometry(window)) > area(x.rootGeometry(main)))
                             main = window;
                     return x.rootGeometry(main) == x.rootGeometry(x.root());
                 }, kHangMs),
                 "the main window and its three palettes are not shown");
    }

    // The rectangle of the window that holds `w`: the map's widget of its window class around it.
    std::optional<QRect> windowRectOf(const Widget& w)
    {
        for (const Widget& each : readWidgetMap(m_mapFile))
            if (each.cls == w.windowClass && each.rect.contains(w.rect))
                return each.rect;
        return std::nullopt;
    }

    // The program has shown a window as soon as the map lists it; the manager maps and places it
    // a little later. True once the topmost of the program's windows under the middle of `name`
    // is the window that holds it, so that a click lands on it.
    bool onScreen(XWindows& x, qint64 pid, const QString& name, QRect& window)
    {
        const auto w = widget(name);
        const auto rect = w ? windowRectOf(*w) : std::nullopt;
        if (!rect)
            return false;
        window = *rect;
        const xcb_window_t top = topmostAt(x, stackedWindowsOf(x, pid), w->rect.center());
        return top != XCB_WINDOW_NONE && x.rootGeometry(top) == *rect;
    }

    // Takes the steps one by one, each waiting for its effect. Typed text goes to the window of the
    // last click, once the manager has given it the focus.
    void runSteps(XWindows& x, qint64 pid, xcb_window_t main, const QList<Step>& steps)
    {
        QRect clickedWindow;
        for (const Step& step : steps) {
            if (step.click.startsWith(QLatin1String("key:"))) {
                QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"key", step.click.mid(4)}), 0);
            } else if (step.click.startsWith(QLatin1String("type:"))) {
                QVERIFY2(waitFor([&] { return x.rootGeometry(activeWindow(x)) == clickedWindow; }, kHangMs),
                         "the window clicked last does not get the focus");
                QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"type", step.click.mid(5)}), 0);
            } else if (!step.click.isEmpty()) {
                QVERIFY2(waitFor([&] { return onScreen(x, pid, step.click, clickedWindow); }, kHangMs),
                         qPrintable(step.click + QStringLiteral(" is not on the screen")));
                QVERIFY2(click(step.click), qPrintable(step.click));
            }
            const bool done = waitFor([&] {
                const auto subject = widget(step.subject);
                switch (step.effect) {
                case Effect::Checked: return subject && subject->checked;
                case Effect::Shown: return subject.has_value();
                case Effect::Gone: return !subject;
                case Effect::FullScreen: return fullScreen(x, main);
                case Effect::Normal: return !fullScreen(x, main);
                case Effect::Saved: return !subject && savedFiles() > 0;
                }
                return false;
            }, kHangMs);
            QVERIFY2(done, qPrintable(QStringLiteral("no effect of the step %1 %2").arg(step.click, step.subject)));
        }
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QList<Step>>();
        m_mapFile = QDir::homePath() + QStringLiteral("/widgetmap.json");
        QVERIFY2(QProcess::execute(QStringLiteral("xdotool"), {"version"}) == 0, "xdotool is missing");
        QFile preferences(icewmPreferences());
        QVERIFY(preferences.open(QIODevice::WriteOnly));
        preferences.write("ShowTaskBar=0\n");
        preferences.close();
        verifyReady();
    }

    void cleanup()
    {
        endAllAndClear(m_processes);
        QFile::remove(m_mapFile);
        if (m_windowManager) {
            m_windowManager->terminate();
            if (!m_windowManager->waitForFinished(kHangMs))
                m_windowManager->kill();
            m_windowManager->waitForFinished(kHangMs);
            delete m_windowManager;
            m_windowManager = nullptr;
        }
    }

    void palettesAboveFocusedMainWindow_data()
    {
        QTest::addColumn<QString>("windowManager");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<QStringList>("environment");

        const Step desktop{QStringLiteral("m_buttonDesktop"), Effect::Checked, QStringLiteral("m_buttonDesktop")};
        const Step presenter{QStringLiteral("m_buttonPresenter"), Effect::Checked, QStringLiteral("m_buttonPresenter")};
        const Step compare{QStringLiteral("m_buttonCompare"), Effect::Checked, QStringLiteral("m_buttonCompare")};
        const Step fullScreenOn{QStringLiteral("buttonFullScreen"), Effect::FullScreen, QString()};
        const Step fullScreenOff{QStringLiteral("buttonFullScreen"), Effect::Normal, QString()};
        const Step settings{QStringLiteral("buttonSettings"), Effect::Shown, QStringLiteral("m_buttonClose")};
        const Step settingsClosed{QStringLiteral("m_buttonClose"), Effect::Gone, QStringLiteral("m_buttonClose")};
        const Step shot{QStringLiteral("buttonCameraShot"), Effect::Saved, QStringLiteral("pictureDialog")};
        const Step videoSettings{QStringLiteral("m_buttonVideoSet"), Effect::Shown, QStringLiteral("VideoSet")};
        const Step videoSettingsClosed{QStringLiteral("key:Escape"), Effect::Gone, QStringLiteral("VideoSet")};
        const Step pictureInPicture{QStringLiteral("buttonPip"), Effect::Shown, QStringLiteral("PreviewDialog")};
        const QStringList twoCameras{QStringLiteral("ORVANE_VIRTUAL_CAMERA=2")};
        const QList<Case> cases{
            {"start", {}},
            {"desktop, presenter", {desktop, presenter}},
            {"desktop, compare", {desktop, compare}},
            {"compare, presenter", {compare, presenter}},
            {"full screen twice", {fullScreenOn, fullScreenOff}},
            {"settings closed", {settings, settingsClosed}},
            {"camera shot", {shot}},
            {"video settings closed", {videoSettings, videoSettingsClosed}},
            {"picture-in-picture, full screen twice", {pictureInPicture, fullScreenOn, fullScreenOff}, twoCameras},
        };
        // The switches that show the main window again, also under a second manager.
        const QStringList icewmCases{"start", "desktop, presenter", "full screen twice"};
        // icewm without its task bar, so the screen's available area stays the whole screen.
        const QList<QPair<QString, QStringList>> managers{
            {QStringLiteral("openbox"), {QStringLiteral("--sm-disable")}},
            {QStringLiteral("icewm"), {QStringLiteral("--config=") + icewmPreferences()}},
        };
        for (const auto& manager : managers)
            for (const auto& each : cases)
                if (manager == managers.first() || icewmCases.contains(QLatin1String(each.name)))
                    QTest::newRow(qPrintable(manager.first + QStringLiteral(": ") + QLatin1String(each.name)))
                        << manager.first << manager.second << each.steps << each.environment;
    }

    void palettesAboveFocusedMainWindow()
    {
        QFETCH(QString, windowManager);
        QFETCH(QStringList, arguments);
        QFETCH(QList<Step>, steps);
        QFETCH(QStringList, environment);
        XWindows x;
        QVERIFY(x.connected());
        qint64 pid = 0;
        xcb_window_t main = XCB_WINDOW_NONE;
        startUnderManager(x, windowManager, arguments, environment, pid, main);
        if (QTest::currentTestFailed())
            return;

        // Settled: the palettes shown before the main window are above it.
        const QString screenshot = artefactFolder() + QStringLiteral("/%1-%2.png").arg(
                                       windowManager, QString::fromLatin1(QTest::currentDataTag())
                                                          .section(QLatin1String(": "), 1)
                                                          .replace(QLatin1String(", "), QLatin1String("-"))
                                                          .replace(QLatin1Char(' '), QLatin1Char('-')));
        expectPalettesAbove(x, pid, main, screenshot);
        if (QTest::currentTestFailed())
            return;

        runSteps(x, pid, main, steps);
        if (QTest::currentTestFailed())
            return;
        if (!steps.isEmpty())
            expectPalettesAbove(x, pid, main, screenshot);
    }

    // A message box without parent widget opened from the settings dialog (in the wireless device
    // mode: a Wi-Fi name that the camera's protocol cannot carry) is stacked above that dialog.
    void errorBoxAboveSettingsDialog()
    {
        FakeCameraProcess camera(QStringLiteral("127.0.0.2"), {"--sizes", "1280*720,640*480,"});
        QVERIFY(camera.waitReady());
        XWindows x;
        QVERIFY(x.connected());
        qint64 pid = 0;
        xcb_window_t main = XCB_WINDOW_NONE;
        startUnderManager(x, QStringLiteral("openbox"), {QStringLiteral("--sm-disable")},
                          {"ORVANE_TEST_WIRELESS=1", "ORVANE_WIRELESS_TARGETS=127.0.0.2"}, pid, main);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(waitFor([&] { return camera.bytes().contains("CMD_SET_BACK_FRAME"); }, kHangMs),
                 "the program does not take the camera");

        runSteps(x, pid, main, {
            {QStringLiteral("buttonSettings"), Effect::Shown, QStringLiteral("m_editWifiName")},
            {QStringLiteral("m_editWifiName"), Effect::Shown, QStringLiteral("m_editWifiName")},
            {QStringLiteral("type:CMD_"), Effect::Shown, QStringLiteral("m_editWifiName")},
            {QStringLiteral("m_buttonCommit"), Effect::Shown, QStringLiteral("m_buttonConfirm")},
            {QStringLiteral("m_buttonConfirm"), Effect::Shown, QStringLiteral("qt_msgbox_label")},
        });
        if (QTest::currentTestFailed())
            return;

        const auto text = widget(QStringLiteral("qt_msgbox_label"));
        QVERIFY(text);
        const auto box = windowRectOf(*text);
        QVERIFY(box);
        const bool above = waitFor([&] {
            const xcb_window_t top = topmostAt(x, stackedWindowsOf(x, pid), text->rect.center());
            return top != XCB_WINDOW_NONE && x.rootGeometry(top) == *box;
        }, kHangMs);
        saveScreen(artefactFolder() + QStringLiteral("/openbox-error-box-over-settings.png"));
        QVERIFY2(above, "another window of the program covers the error box");
    }
};

QTEST_MAIN(tst_OrvaneWm)
#include "tst_orvane_wm.moc"
