// The program under a window manager on the test's own X display: the frameless screen-sized
// main window is stacked as full screen while it has the focus, and its palettes must stay above
// it, the function palette's Exit button within reach, after start and after every switch that
// shows the main window again. Screenshots of each case go to test-artefacts/orvane-wm/.

#include "orvaneprocess.h"

#include <optional>

using namespace orvaneprocess;

namespace {

// What a click is awaited by: the button it names checked in the widget map, or the main
// window's full-screen state on (or off) in the window manager's view.
enum class Effect { Checked, FullScreen, Normal };

struct Step
{
    QString button;
    Effect effect;
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

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QList<Step>>();
        m_mapFile = QDir::homePath() + QStringLiteral("/widgetmap.json");
        QVERIFY2(QProcess::execute(QStringLiteral("xdotool"), {"version"}) == 0, "xdotool is missing");
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

        const QString openbox = QStringLiteral("openbox");
        const QStringList openboxArguments{QStringLiteral("--sm-disable")};
        const Step desktop{QStringLiteral("m_buttonDesktop"), Effect::Checked};
        const Step presenter{QStringLiteral("m_buttonPresenter"), Effect::Checked};
        const Step compare{QStringLiteral("m_buttonCompare"), Effect::Checked};
        const Step fullScreenOn{QStringLiteral("buttonFullScreen"), Effect::FullScreen};
        const Step fullScreenOff{QStringLiteral("buttonFullScreen"), Effect::Normal};

        QTest::newRow("start") << openbox << openboxArguments << QList<Step>{};
        QTest::newRow("desktop, presenter") << openbox << openboxArguments << QList<Step>{desktop, presenter};
        QTest::newRow("compare, presenter") << openbox << openboxArguments << QList<Step>{compare, presenter};
        QTest::newRow("full screen twice") << openbox << openboxArguments << QList<Step>{fullScreenOn, fullScreenOff};
    }

    void palettesAboveFocusedMainWindow()
    {
        QFETCH(QString, windowManager);
        QFETCH(QStringList, arguments);
        QFETCH(QList<Step>, steps);
        XWindows x;
        QVERIFY(x.connected());
        startWindowManager(x, windowManager, arguments);
        if (QTest::currentTestFailed())
            return;

        QProcess* orvane = startKept(this, m_processes, {}, {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile});
        QVERIFY2(waitFor([&] { return widget(QStringLiteral("buttonExit")).has_value(); }, kHangMs),
                 "no Exit button in the widget map");

        // The main window (the largest) covers the screen and has the focus: the manager keeps
        // it in its full-screen layer.
        const qint64 pid = orvane->processId();
        xcb_window_t main = XCB_WINDOW_NONE;
        QVERIFY2(waitFor([&] {
                     const QList<xcb_window_t> stacked = stackedWindowsOf(x, pid);
                     if (stacked.size() < 4)
                         return false;
                     main = stacked.first();
                     for (xcb_window_t window : stacked)
                         if (area(x.rootGeometry(window)) > area(x.rootGeometry(main)))
                             main = window;
                     return activeWindow(x) == main && x.rootGeometry(main) == x.rootGeometry(x.root());
                 }, kHangMs),
                 "the main window and its three palettes are not shown, or the main window has no focus");

        for (const Step& step : steps) {
            QVERIFY2(click(step.button), qPrintable(step.button));
            const bool done = waitFor([&] {
                switch (step.effect) {
                case Effect::Checked: {
                    const auto button = widget(step.button);
                    return button && button->checked;
                }
                case Effect::FullScreen: return fullScreen(x, main);
                case Effect::Normal: return !fullScreen(x, main);
                }
                return false;
            }, kHangMs);
            QVERIFY2(done, qPrintable(QStringLiteral("the click on %1 had no effect").arg(step.button)));
        }

        // The main window and its three palettes shown again, a palette topmost at Exit.
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
        const QString screenshot = artefactFolder() + QStringLiteral("/%1-%2.png").arg(
                                       windowManager, QString::fromLatin1(QTest::currentDataTag())
                                                          .replace(QLatin1String(", "), QLatin1String("-"))
                                                          .replace(QLatin1Char(' '), QLatin1Char('-')));
        if (!waitFor(palettesAbove, kHangMs)) {
            saveScreen(screenshot);
            QFAIL(qPrintable(describe()));
        }

        // Activated and raised again as a click on it would: the palettes stay above it.
        QVERIFY2(x.activateThroughManager(main, kHangMs), "the window manager does not answer");
        const bool above = waitFor([&] { return activeWindow(x) == main && palettesAbove(); }, kHangMs);
        saveScreen(screenshot);
        qInfo("%s", qPrintable(describe()));
        QVERIFY2(above, qPrintable(describe()));
    }
};

QTEST_MAIN(tst_OrvaneWm)
#include "tst_orvane_wm.moc"
