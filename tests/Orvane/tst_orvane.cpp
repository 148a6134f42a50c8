// The program Orvane driven from outside as a process on the X display, with the virtual camera
// and the temporary HOME of the test: the single-instance port, a second start, "firstrun",
// SIGINT. (Ending while recording and the restart code: tst_orvane_restart.)

#include "orvaneprocess.h"

#include <QRegularExpression>

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_Orvane : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

    QProcess* start(const QStringList& arguments, const QStringList& extraEnvironment = {})
    {
        QProcess* process = startProgram(this, arguments, extraEnvironment);
        m_processes << process;
        return process;
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
        QVERIFY(endAll(m_processes));
        QDir(documents() + QStringLiteral("/vq3")).removeRecursively();
        for (const QString& saved : {QStringLiteral("/Orvane"), QStringLiteral("/Orvane0")}) {
            QDir(documents() + saved).removeRecursively();
            QFile::remove(documents() + saved);
        }
    }

    // A first start with a fresh HOME writes the application's settings file with the default
    // save folder and the microphone volume, nothing else; a plain file in the folder's place is
    // kept and the next free name is used.
    void freshHomeSettings_data()
    {
        QTest::addColumn<bool>("plainFile");
        QTest::addColumn<QString>("folder");
        QTest::newRow("nothing in the way") << false << QStringLiteral("Orvane");
        QTest::newRow("plain file Orvane") << true << QStringLiteral("Orvane0");
    }

    void freshHomeSettings()
    {
        QFETCH(bool, plainFile);
        QFETCH(QString, folder);
        QVERIFY(!QFileInfo::exists(documents() + QStringLiteral("/vq3")));
        QFile file(documents() + QStringLiteral("/Orvane"));
        if (plainFile) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept\n");
            file.close();
        }
        QProcess* orvane = start({});
        QByteArray output;
        QVERIFY2(readUntil(orvane, "start-up done", 30000, output), output.right(3000).constData());
        QVERIFY(interruptAndWait(orvane, 5000));
        QCOMPARE(orvane->exitCode(), 0);

        QFile config(documents() + QStringLiteral("/vq3/app/config.ini"));
        QVERIFY(config.open(QIODevice::ReadOnly));
        const QString expected = QStringLiteral("[common]\nmicVolumn=100\nsave_path=%1/%2/\n").arg(documents(), folder);
        QCOMPARE(QString::fromUtf8(config.readAll()), expected);
        QVERIFY(QFileInfo(documents() + QLatin1Char('/') + folder).isDir());
        if (plainFile) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("kept\n"));
        }
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
        QFile log(logPath());
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
};

QTEST_GUILESS_MAIN(tst_Orvane)
#include "tst_orvane.moc"
