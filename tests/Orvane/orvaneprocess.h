#pragma once
// The program Orvane as a process of the test: where it lies, how it starts (virtual camera, X
// display of the test), its single-instance port, its instances with the test's HOME, its log and
// its windows on the X display.

#include "eventwait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>

namespace orvaneprocess {

constexpr quint16 kPort = 11050;
constexpr int kAnotherInstanceStatus = 255;
using eventwait::kHangMs;

inline QString programPath()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/Orvane");
}

inline QString documents()
{
    return QDir::homePath() + QStringLiteral("/Documents");
}

inline QString logPath()
{
    return documents() + QStringLiteral("/vq3/pax_sdk/log/vq3.log");
}

// Whether the program's single-instance port takes connections. A closed loopback port refuses at
// once, so the long ceiling costs nothing; it keeps a busy machine from making a listening port
// look closed.
inline bool portListens()
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), kPort);
    const bool up = probe.waitForConnected(kHangMs);
    probe.abort();
    return up;
}

inline bool waitFor(const std::function<bool()>& condition, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(50);
    }
    return true;
}

// waitFor() that reads the output of `process` (when there is one) into `output` before each look
// at the condition.
inline bool waitReading(QProcess* process, QByteArray& output, const std::function<bool()>& condition, int ms)
{
    return waitFor([&] {
        if (process)
            output += process->readAll();
        return condition();
    }, ms);
}

// Processes of this build's program that run with this test's HOME (a restarted instance is
// not our child, so they are found through /proc).
inline QList<qint64> runningInstances()
{
    const QString program = QFileInfo(programPath()).canonicalFilePath();
    const QByteArray home = "HOME=" + QDir::homePath().toLocal8Bit();
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != program)
            continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> variables = environ.readAll().split('\0');
        // A zombie has an empty environment: it no longer runs.
        if (variables.contains(home))
            pids << pid;
    }
    return pids;
}

// Ends every instance of the program running with this test's HOME (a restarted instance writes
// into the pipes of the process it replaced, so it goes first), then the processes the test
// started, and forgets them. False when an instance outlived SIGKILL.
inline bool endAll(QList<QProcess*>& processes)
{
    for (qint64 pid : runningInstances())
        ::kill(pid_t(pid), SIGKILL);
    const bool ended = waitFor([] { return runningInstances().isEmpty(); }, kHangMs);
    for (QProcess* process : qAsConst(processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(kHangMs);
        }
        delete process;
    }
    processes.clear();
    return ended;
}

inline bool processGone(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    return status.readAll().contains("State:\tZ");
}

// The log's lines without their "[hh:mm:ss] " stamps.
inline QByteArray stripStamps(const QByteArray& log)
{
    QByteArray out;
    for (const QByteArray& line : log.split('\n'))
        out += (line.startsWith('[') && line.indexOf("] ") == 9 ? line.mid(11) : line) + '\n';
    return out;
}

inline int countLines(const QByteArray& output, const QByteArray& line)
{
    int count = 0;
    for (const QByteArray& each : output.split('\n'))
        count += each.trimmed() == line ? 1 : 0;
    return count;
}

// The rest of the first line that starts with `prefix`; empty when there is none.
inline QByteArray lineAfter(const QByteArray& output, const QByteArray& prefix)
{
    for (const QByteArray& each : output.split('\n')) {
        const QByteArray line = each.trimmed();
        if (line.startsWith(prefix))
            return line.mid(prefix.size());
    }
    return QByteArray();
}

// Starts the program with the virtual camera on the test's X display; `extraEnvironment` holds
// "NAME=value" pairs. Output and errors come merged.
inline QProcess* startProgram(QObject* owner, const QStringList& arguments, const QStringList& extraEnvironment = {})
{
    auto* process = new QProcess(owner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QStringLiteral("1"));
    environment.insert(QStringLiteral("ORVANE_PLATFORM_VERSION"), QStringLiteral("11.0"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Mesa's GLX keeps an allocation to the end that the leak checker would report.
    environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    for (const QString& pair : extraEnvironment)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(programPath(), arguments);
    return process;
}

// startProgram() for a test that ends its processes with endAll(): the process joins `processes`.
inline QProcess* startKept(QObject* owner, QList<QProcess*>& processes, const QStringList& arguments,
                           const QStringList& extraEnvironment = {})
{
    QProcess* process = startProgram(owner, arguments, extraEnvironment);
    processes << process;
    return process;
}

// Kills the process if it still runs (waiting at most `ms` for its end), deletes it and forgets it.
inline void killAndForget(QProcess*& process, int ms)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(ms);
    }
    delete process;
    process = nullptr;
}

// Leaves the test's Documents folder empty for the next case.
inline void emptyDocuments()
{
    QDir(documents()).removeRecursively();
    QDir().mkpath(documents());
}

// Writes the settings the program will find (its config.ini in the test's HOME).
inline bool writeSettings(const QByteArray& content)
{
    const QString folder = documents() + QStringLiteral("/vq3/app");
    QFile config(folder + QStringLiteral("/config.ini"));
    return QDir().mkpath(folder) && config.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && config.write(content) == content.size();
}

// Reads the process's output into `output` until `line` appears whole or the process ends.
inline bool readUntil(QProcess* process, const QByteArray& line, int ms, QByteArray& output)
{
    waitFor([&] {
        output += process->readAll();
        return countLines(output, line) > 0 || process->state() == QProcess::NotRunning;
    }, ms);
    output += process->readAll();
    return countLines(output, line) > 0;
}

// The first checks of a program test (the last statements of its initTestCase): the program is
// built and no instance holds its port.
inline void verifyReady()
{
    QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
    QVERIFY2(!portListens(), "port 11050 is taken before the test");
}

// The end of each case (the last statement of cleanup): every instance ended, and no settings or
// save folder (a folder or a plain file in its place) left for the next case.
inline void endAllAndClear(QList<QProcess*>& processes, const QStringList& saveFolders = {QStringLiteral("/Orvane")})
{
    QVERIFY(endAll(processes));
    QDir(documents() + QStringLiteral("/vq3")).removeRecursively();
    for (const QString& saved : saveFolders) {
        QDir(documents() + saved).removeRecursively();
        QFile::remove(documents() + saved);
    }
}

// Reads the output of a program started with ORVANE_TEST_RECORD into `output` until it names the
// file of its recording ("test recording: <file>") or the program ends; false only when `ms` passed.
// `file` is the named file, empty when the program ended without naming one.
inline bool waitForTestRecording(QProcess* process, QByteArray& output, QString& file, int ms)
{
    const bool done = waitFor([&] {
        output += process->readAll();
        return !lineAfter(output, "test recording: ").isEmpty() || process->state() == QProcess::NotRunning;
    }, ms);
    file = QString::fromLocal8Bit(lineAfter(output, "test recording: "));
    return done;
}

// One widget of the map the program writes (ORVANE_TEST_WIDGET_MAP): what it showed at the moment
// the map was written.
struct Widget
{
    QString cls;
    QString name;
    QString windowClass;
    QString text;
    QString tip;
    QRect rect;
    bool enabled = false;
    bool checked = false;
    QStringList units;
    QString hideButton;
};

// The widgets of the map in `mapFile`; none while there is no map.
inline QList<Widget> readWidgetMap(const QString& mapFile)
{
    QFile file(mapFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray list = QJsonDocument::fromJson(file.readAll()).object().value("widgets").toArray();
    QList<Widget> out;
    for (const QJsonValue& value : list) {
        const QJsonObject o = value.toObject();
        Widget w;
        w.cls = o.value("class").toString();
        w.name = o.value("name").toString();
        w.windowClass = o.value("windowClass").toString();
        w.text = o.value("text").toString();
        w.tip = o.value("tip").toString();
        w.rect = QRect(o.value("x").toInt(), o.value("y").toInt(), o.value("w").toInt(), o.value("h").toInt());
        w.enabled = o.value("enabled").toBool();
        w.checked = o.value("checked").toBool();
        for (const QJsonValue& unit : o.value("units").toArray())
            w.units << unit.toString();
        w.hideButton = o.value("hideButton").toString();
        out << w;
    }
    return out;
}

// The widgets of `widgets` called `name`.
inline QList<Widget> widgetsNamed(const QList<Widget>& widgets, const QString& name)
{
    QList<Widget> out;
    for (const Widget& w : widgets)
        if (w.name == name)
            out << w;
    return out;
}

// The recording time the program shows on its "Hide" button ("REC hh:mm:ss"), read from the widget
// map it writes (ORVANE_TEST_WIDGET_MAP) in seconds; -1 when it shows none.
inline int recordSecondsShown(const QString& mapFile)
{
    QFile file(mapFile);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QJsonArray widgets = QJsonDocument::fromJson(file.readAll()).object().value("widgets").toArray();
    static const QRegularExpression rec(QStringLiteral("^REC (\\d+):(\\d\\d):(\\d\\d)$"));
    for (const QJsonValue& value : widgets) {
        const QJsonObject widget = value.toObject();
        if (widget.value("name").toString() != QLatin1String("m_buttonHide"))
            continue;
        const auto match = rec.match(widget.value("text").toString());
        if (match.hasMatch())
            return match.captured(1).toInt() * 3600 + match.captured(2).toInt() * 60 + match.captured(3).toInt();
    }
    return -1;
}

// The windows of one process on the X display of the test, as a window manager would see them:
// the mapped top-level windows carrying the process's _NET_WM_PID.
class XWindows {
public:
    XWindows() : m_connection(xcb_connect(nullptr, nullptr)) {}
    ~XWindows() { xcb_disconnect(m_connection); }
    XWindows(const XWindows&) = delete;
    XWindows& operator=(const XWindows&) = delete;

    bool connected() const { return xcb_connection_has_error(m_connection) == 0; }

    // The mapped top-level windows of `pid` that accept WM_DELETE_WINDOW, largest first.
    QList<xcb_window_t> closableWindowsOf(qint64 pid)
    {
        QList<QPair<int, xcb_window_t>> found;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, screen->root), nullptr), &std::free);
        if (!tree)
            return {};
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t window = children[i];
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
                xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window),
                                                nullptr),
                &std::free);
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            const QVector<quint32> pids = _cardinals(window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
            if (pids.isEmpty() || pids.first() != quint32(pid))
                continue;
            if (!_cardinals(window, atom("WM_PROTOCOLS"), XCB_ATOM_ATOM).contains(atom("WM_DELETE_WINDOW")))
                continue;
            std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
                xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &std::free);
            found << qMakePair(geometry ? int(geometry->width) * int(geometry->height) : 0, window);
        }
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        QList<xcb_window_t> windows;
        for (const auto& each : found)
            windows << each.second;
        return windows;
    }

    // Creates and maps a small top-level window of this connection (it lives as long as the
    // connection): a marker in the stream of map events others watch.
    xcb_window_t mapMarker()
    {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(m_connection, window);
        xcb_flush(m_connection);
        return window;
    }

    // Asks the window to close as a window manager's close button does: WM_DELETE_WINDOW.
    bool askToClose(xcb_window_t window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom("WM_PROTOCOLS");
        event.data.data32[0] = atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        return xcb_flush(m_connection) > 0;
    }

    // Changes a property of the window nobody reads: the owner gets an X event. (Qt keeps a close
    // request it read while processing events without user input until its next X event; on a
    // desktop the pointer and the window manager always bring one.)
    void nudge(xcb_window_t window)
    {
        const quint32 value = ++m_nudges;
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom("_ORVANE_TEST_NUDGE"),
                            XCB_ATOM_CARDINAL, 32, 1, &value);
        xcb_flush(m_connection);
    }

    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }

    // The 32-bit values of a property of `window` (windows, atoms, cardinals); none when unset.
    QVector<quint32> values(xcb_window_t window, const char* property, xcb_atom_t type)
    {
        return _cardinals(window, atom(property), type);
    }

    // The window's rectangle in root coordinates (also when a window manager reparented it).
    QRect rootGeometry(xcb_window_t window)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr), &std::free);
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
            xcb_translate_coordinates_reply(m_connection,
                                            xcb_translate_coordinates(m_connection, window, root(), 0, 0), nullptr),
            &std::free);
        if (!geometry || !origin)
            return QRect();
        return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    }

    // Asks the window manager to activate `window` as a pager or a click on it would, then waits
    // (at most `ms`) until the manager has handled the request: it answers a later request for
    // frame extents of an unmapped window of ours in order.
    bool activateThroughManager(xcb_window_t window, int ms)
    {
        _sendToRoot(window, atom("_NET_ACTIVE_WINDOW"), {2, XCB_CURRENT_TIME, 0});
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const xcb_window_t probe = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        _sendToRoot(probe, atom("_NET_REQUEST_FRAME_EXTENTS"), {});
        const bool answered = waitFor([&] { return !values(probe, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL).isEmpty(); },
                                      ms);
        xcb_destroy_window(m_connection, probe);
        xcb_flush(m_connection);
        return answered;
    }

    xcb_atom_t atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(qstrlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }

private:
    void _sendToRoot(xcb_window_t window, xcb_atom_t type, std::initializer_list<quint32> data)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = type;
        int i = 0;
        for (quint32 value : data)
            event.data.data32[i++] = value;
        xcb_send_event(m_connection, 0, root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_connection);
    }

    QVector<quint32> _cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 64),
                                   nullptr),
            &std::free);
        QVector<quint32> values;
        if (!reply || reply->format != 32)
            return values;
        const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
        for (int i = 0; i < xcb_get_property_value_length(reply.get()) / 4; ++i)
            values << data[i];
        return values;
    }

    xcb_connection_t* m_connection;
    quint32 m_nudges = 0;
};

} // namespace orvaneprocess
