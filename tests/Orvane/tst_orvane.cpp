// The program Orvane driven from outside as a process on the X display, with the virtual camera
// and the temporary HOME of the test: the single-instance port, a second start, "firstrun",
// SIGINT and the restart code.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {
constexpr quint16 kPort = 11050;
constexpr int kAnotherInstanceStatus = 255;

QString programPath()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/Orvane");
}

QString documents()
{
    return QDir::homePath() + QStringLiteral("/Documents");
}

bool portListens()
{
    QTcpSocket probe;
    probe.connectToHost(QStringLiteral("127.0.0.1"), kPort);
    const bool up = probe.waitForConnected(300);
    probe.abort();
    return up;
}

bool waitFor(const std::function<bool()>& condition, int ms)
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

// Processes of this build's program that run with this test's HOME (the restarted instance is
// not our child, so it is found through /proc).
QList<qint64> runningInstances()
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

bool processGone(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    return status.readAll().contains("State:\tZ");
}

// The log's lines without their "[hh:mm:ss] " stamps.
QByteArray stripStamps(const QByteArray& log)
{
    QByteArray out;
    for (const QByteArray& line : log.split('\n'))
        out += (line.startsWith('[') && line.indexOf("] ") == 9 ? line.mid(11) : line) + '\n';
    return out;
}

int countLines(const QByteArray& output, const QByteArray& line)
{
    int count = 0;
    for (const QByteArray& each : output.split('\n'))
        count += each.trimmed() == line ? 1 : 0;
    return count;
}
} // namespace

class tst_Orvane : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

    QProcess* start(const QStringList& arguments, const QStringList& extraEnvironment = {})
    {
        auto* process = new QProcess(this);
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
        m_processes << process;
        return process;
    }

    static QByteArray readUntil(QProcess* process, const QByteArray& line, int ms, QByteArray& output)
    {
        waitFor([&] {
            output += process->readAll();
            return countLines(output, line) > 0 || process->state() == QProcess::NotRunning;
        }, ms);
        output += process->readAll();
        return output;
    }

    static bool interruptAndWait(QProcess* process, int ms)
    {
        ::kill(pid_t(process->processId()), SIGINT);
        return process->waitForFinished(ms);
    }

    // Starts xev on the root window: every window mapped on the display meanwhile is reported.
    QProcess* watchMaps()
    {
        auto* xev = new QProcess(this);
        xev->setProcessChannelMode(QProcess::MergedChannels);
        xev->start(QStringLiteral("xev"), {QStringLiteral("-root"), QStringLiteral("-event"), QStringLiteral("substructure")});
        m_processes << xev;
        return xev->waitForStarted(5000) ? xev : nullptr;
    }

    static int mapsSeen(QProcess* xev)
    {
        QTest::qWait(300);
        xev->terminate();
        xev->waitForFinished(3000);
        return xev->readAll().count("MapNotify event");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
        QVERIFY2(!portListens(), "port 11050 is taken before the test");
    }

    void cleanup()
    {
        // A restarted instance writes into the pipes of the process it replaced: end it first.
        for (qint64 pid : runningInstances())
            ::kill(pid_t(pid), SIGKILL);
        QVERIFY(waitFor([] { return runningInstances().isEmpty(); }, 5000));
        for (QProcess* process : qAsConst(m_processes)) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
            delete process;
        }
        m_processes.clear();
        QDir(documents() + QStringLiteral("/vq3")).removeRecursively();
    }

    void laterStartsActivateTheFirst_data()
    {
        QTest::addColumn<int>("laterStarts");
        QTest::newRow("one later start") << 1;
        QTest::newRow("two later starts") << 2;
    }

    void laterStartsActivateTheFirst()
    {
        QFETCH(int, laterStarts);
        QProcess* first = start({});
        QVERIFY(first->waitForStarted(5000));
        QVERIFY2(waitFor(portListens, 5000), "127.0.0.1:11050 does not listen within 5 s");
        QByteArray firstOutput;
        readUntil(first, "start-up done", 30000, firstOutput);
        QVERIFY2(countLines(firstOutput, "start-up done") == 1, firstOutput.constData());
        // The main view shows the virtual camera: the media bridge reports its first frame's size.
        QVERIFY2(waitFor([&] {
            firstOutput += first->readAll();
            return firstOutput.contains("MediaControl::showImgUsePixmap, video solution changed");
        }, 20000), firstOutput.right(3000).constData());

        for (int i = 0; i < laterStarts; ++i) {
            QProcess* later = start({});
            QVERIFY(later->waitForFinished(30000));
            const QByteArray output = later->readAll();
            QCOMPARE(later->exitStatus(), QProcess::NormalExit);
            QCOMPARE(later->exitCode(), kAnotherInstanceStatus);
            QVERIFY2(output.contains("already a pax_office is running!"), output.constData());
            // The later start never got as far as the delayed start.
            QVERIFY2(!output.contains("start-up done"), output.constData());
        }
        QVERIFY(waitFor([&] {
            firstOutput += first->readAll();
            return countLines(firstOutput, "activate") >= laterStarts;
        }, 5000));
        QTest::qWait(300);
        firstOutput += first->readAll();
        QCOMPARE(countLines(firstOutput, "activate"), laterStarts);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(runningInstances().size(), 1);

        // The SDK log carries the program's messages, each stamped with the time of day. (Other
        // components' messages may span lines, so the program's own are checked whole.)
        QFile log(documents() + QStringLiteral("/vq3/pax_sdk/log/vq3.log"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QString text = QString::fromUtf8(log.readAll());
        QVERIFY2(text.startsWith(QLatin1Char('[')), qPrintable(text.left(200)));
        const QRegularExpression stamped(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] (start-up done|activate)$"),
                                         QRegularExpression::MultilineOption);
        int done = 0;
        int activations = 0;
        for (auto it = stamped.globalMatch(text); it.hasNext();) {
            const QString what = it.next().captured(1);
            (what == QLatin1String("activate") ? activations : done) += 1;
        }
        QCOMPARE(done, 1);
        QCOMPARE(activations, laterStarts);
        QCOMPARE(text.count(QStringLiteral("start-up done")), 1);
    }

    void firstRunArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("cleansUp");
        QTest::newRow("firstrun alone") << QStringList{QStringLiteral("firstrun")} << true;
        QTest::newRow("firstrun as second argument") << QStringList{QStringLiteral("x"), QStringLiteral("firstrun")} << false;
        QTest::newRow("other word") << QStringList{QStringLiteral("firstrunx")} << false;
    }

    void firstRunArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, cleansUp);
        const QString base = documents() + QStringLiteral("/vq3");
        QVERIFY(QDir().mkpath(base + QStringLiteral("/app")));
        QFile kept(base + QStringLiteral("/app/config.ini"));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.write("[app]\n");
        kept.close();

        QProcess* xev = watchMaps();
        QVERIFY(xev);
        QProcess* orvane = start(arguments);
        if (cleansUp) {
            QVERIFY(orvane->waitForFinished(30000));
            QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
            QCOMPARE(orvane->exitCode(), 0);
            QVERIFY(!QFileInfo::exists(base));
            QVERIFY(QFileInfo::exists(documents()));
            QCOMPARE(mapsSeen(xev), 0);
        } else {
            // An ordinary start: the splash screen appears and the folder stays.
            QVERIFY(waitFor(portListens, 5000));
            QByteArray output;
            readUntil(orvane, "start-up done", 30000, output);
            QVERIFY2(countLines(output, "start-up done") == 1, output.constData());
            QVERIFY(QFileInfo::exists(kept.fileName()));
            QVERIFY(mapsSeen(xev) > 0);
            QVERIFY(interruptAndWait(orvane, 10000));
        }
    }

    void interruptEnds_data()
    {
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("during the start") << QByteArray("INIT_ANGLE: 0");
        QTest::newRow("once started") << QByteArray("start-up done");
    }

    void interruptEnds()
    {
        QFETCH(QByteArray, after);
        QProcess* orvane = start({});
        QVERIFY(waitFor(portListens, 5000));
        QByteArray output;
        readUntil(orvane, after, 30000, output);
        QVERIFY2(countLines(output, after) == 1, output.constData());

        QElapsedTimer timer;
        timer.start();
        QVERIFY2(interruptAndWait(orvane, 5000), "SIGINT did not end the program within 5 s");
        output += orvane->readAll();
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!portListens());
    }

    // ORVANE_TEST_RESTART=1 makes the program end its event loop with the restart code once it has
    // started, as the settings dialog does after a language change.
    void restartLeavesOneInstance()
    {
        QProcess* orvane = start({}, {QStringLiteral("ORVANE_TEST_RESTART=1")});
        QVERIFY(orvane->waitForStarted(5000));
        const qint64 oldPid = orvane->processId();
        QVERIFY(orvane->waitForFinished(30000));
        const QByteArray output = orvane->readAll();
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());
        QVERIFY2(output.contains("start-up done"), output.constData());
        // The hook kept the old process (and its port) a while after its event loop ended: a new
        // instance started before the old one let go would have found it and ended with 255.
        QVERIFY2(countLines(output, "restart test: holding on before letting go") == 1, output.constData());

        // The new instance owns the port and keeps running: it did not find a dying old one.
        QVERIFY2(waitFor(portListens, 10000), "the restarted program does not listen");
        QTest::qWait(3000);
        const QList<qint64> instances = runningInstances();
        QCOMPARE(instances.size(), 1);
        const qint64 newPid = instances.first();
        QVERIFY(newPid != oldPid);
        QVERIFY(portListens());

        // It started without the hook, so it stays; SIGINT ends it and frees the port.
        QTest::qWait(2000);
        QCOMPARE(runningInstances(), instances);
        // Both went through the whole start (the log is shared by every instance of one HOME).
        QVERIFY(waitFor([] {
            QFile log(documents() + QStringLiteral("/vq3/pax_sdk/log/vq3.log"));
            return log.open(QIODevice::ReadOnly) && countLines(stripStamps(log.readAll()), "start-up done") == 2;
        }, 20000));
        ::kill(pid_t(newPid), SIGINT);
        QVERIFY(waitFor([&] { return processGone(newPid); }, 5000));
        QVERIFY(waitFor([] { return !portListens(); }, 2000));
    }
};

QTEST_GUILESS_MAIN(tst_Orvane)
#include "tst_orvane.moc"
