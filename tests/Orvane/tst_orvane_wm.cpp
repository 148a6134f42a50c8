// The program under a window manager (openbox on the test's own X display): the frameless
// screen-sized main window is stacked as full screen while it has the focus, and its palettes
// must stay above it, the function palette's Settings button within reach.

#include "orvaneprocess.h"

using namespace orvaneprocess;

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

private slots:
    void initTestCase()
    {
        m_mapFile = QDir::homePath() + QStringLiteral("/widgetmap.json");
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

    void palettesAboveFocusedMainWindow()
    {
        XWindows x;
        QVERIFY(x.connected());
        m_windowManager = new QProcess(this);
        m_windowManager->setProcessChannelMode(QProcess::MergedChannels);
        m_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        QVERIFY2(m_windowManager->waitForStarted(kHangMs), "openbox does not start");
        QVERIFY2(waitFor([&] { return !x.values(x.root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).isEmpty(); },
                         kHangMs),
                 "openbox manages no screen");

        QProcess* orvane = startKept(this, m_processes, {}, {QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + m_mapFile});
        Widget settings;
        QVERIFY2(waitFor([&] {
                     const QList<Widget> found = widgetsNamed(readWidgetMap(m_mapFile), QStringLiteral("buttonSettings"));
                     if (found.isEmpty())
                         return false;
                     settings = found.first();
                     return true;
                 }, kHangMs),
                 "no Settings button in the widget map");
        const QPoint centre = settings.rect.center();

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
                     return x.values(x.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW).value(0) == main
                            && x.rootGeometry(main) == x.rootGeometry(x.root());
                 }, kHangMs),
                 "the main window and its three palettes are not shown, or the main window has no focus");
        // Activated and raised again as a click on it would; its palettes must stay above it, and
        // the topmost of the program's windows under the Settings button's centre be a palette.
        QVERIFY2(x.activateThroughManager(main, kHangMs), "the window manager does not answer");
        const QList<xcb_window_t> stacked = stackedWindowsOf(x, pid);
        xcb_window_t top = XCB_WINDOW_NONE;
        for (xcb_window_t window : stacked)
            if (x.rootGeometry(window).contains(centre))
                top = window;
        const QString seen = QStringLiteral("main window at %1 of %2 in the stacking order, topmost at the Settings "
                                            "button %3")
                                 .arg(stacked.indexOf(main))
                                 .arg(stacked.size())
                                 .arg(top == main ? QStringLiteral("the main window") : QStringLiteral("a palette"));
        const bool above = stacked.size() >= 4 && stacked.first() == main && top != XCB_WINDOW_NONE && top != main
                           && x.values(x.root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW).value(0) == main;
        qInfo("%s", qPrintable(seen));
        QVERIFY2(above, qPrintable(seen));
    }
};

QTEST_MAIN(tst_OrvaneWm)
#include "tst_orvane_wm.moc"
