// The program Orvane driven from outside as a process on the X display, with the virtual camera
// and the temporary HOME of the test: the single-instance port, a second start, "firstrun",
// SIGINT. (Ending while recording and the restart code: tst_orvane_restart.)

#include "orvaneprocess.h"

#include <QRegularExpression>
#include <QSet>

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_Orvane : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

    QProcess* start(const QStringList& arguments, const QStringList& extraEnvironment = {})
    {
        return startKept(this, m_processes, arguments, extraEnvironment);
    }

    static bool interruptAndWait(QProcess* process, int ms)
    {
        ::kill(pid_t(process->processId()), SIGINT);
        return process->waitForFinished(ms);
    }

    // Reports of the marker windows the test mapped (they are not the program's).
    QList<QByteArray> m_markers;

    // Maps windows of the test's own on the root window, another each second or so, until xev
    // reports one; every map before that report has been reported then. The reports up to it
    // are added to `seen`.
    bool mapMarker(QProcess* xev, QByteArray& seen)
    {
        XWindows display;
        if (!display.connected())
            return false;
        const int first = m_markers.size();
        int polls = 0;
        const auto reported = [&] {
            for (int i = first; i < m_markers.size(); ++i)
                if (seen.contains(m_markers[i]))
                    return true;
            return false;
        };
        waitFor([&] {
            if (polls++ % 20 == 0)
                m_markers << "window 0x" + QByteArray::number(quint32(display.mapMarker()), 16) + ", override";
            seen += xev->readAll();
            return reported() || xev->state() == QProcess::NotRunning;
        }, kHangMs);
        return reported();
    }

    // Starts xev on the root window: every window mapped on the display from now on is reported.
    QProcess* watchMaps()
    {
        auto* xev = new QProcess(this);
        xev->setProcessChannelMode(QProcess::MergedChannels);
        // Line-buffered: each report reaches the pipe as it is printed.
        xev->start(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("xev"), QStringLiteral("-root"),
                                              QStringLiteral("-event"), QStringLiteral("substructure")});
        m_processes << xev;
        QByteArray seen;
        // A marker reported: xev listens.
        return xev->waitForStarted(kHangMs) && mapMarker(xev, seen) ? xev : nullptr;
    }

    // The windows mapped since watchMaps() but the markers; -1 when xev failed.
    int mapsSeen(QProcess* xev)
    {
        QByteArray seen;
        if (!mapMarker(xev, seen)) {
            qWarning("xev reported no marker (%s): %s", xev->state() == QProcess::NotRunning ? "ended" : "running",
                     seen.right(2000).constData());
            return -1;
        }
        xev->terminate();
        xev->waitForFinished(kHangMs);
        // (A new connection may get the window id an earlier one had.)
        int markers = 0;
        for (const QByteArray& marker : QSet<QByteArray>(m_markers.begin(), m_markers.end()))
            markers += seen.count(marker);
        return seen.count("MapNotify event") - markers;
    }

private slots:
    void initTestCase() { verifyReady(); }

    void cleanup() { endAllAndClear(m_processes, {QStringLiteral("/Orvane"), QStringLiteral("/Orvane0")}); }

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
        QVERIFY2(readUntil(orvane, "start-up done", kHangMs, output), output.right(3000).constData());
        QVERIFY(interruptAndWait(orvane, kHangMs));
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
        QVERIFY(first->waitForStarted(kHangMs));
        QVERIFY2(waitFor(portListens, kHangMs), "127.0.0.1:11050 does not listen");
        QByteArray firstOutput;
        readUntil(first, "start-up done", kHangMs, firstOutput);
        QVERIFY2(countLines(firstOutput, "start-up done") == 1, firstOutput.constData());
        // The main view shows the virtual camera: the media bridge reports its first frame's size.
        QVERIFY2(waitFor([&] {
            firstOutput += first->readAll();
            return firstOutput.contains("MediaControl::showImgUsePixmap, video solution changed");
        }, kHangMs), firstOutput.right(3000).constData());

        for (int i = 0; i < laterStarts; ++i) {
            QProcess* later = start({});
            QVERIFY(later->waitForFinished(kHangMs));
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
        }, kHangMs));
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(runningInstances().size(), 1);
        // Its whole output, up to its end: one activation for each later start, no more.
        QVERIFY(interruptAndWait(first, kHangMs));
        firstOutput += first->readAll();
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(countLines(firstOutput, "activate"), laterStarts);

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
            QVERIFY(orvane->waitForFinished(kHangMs));
            QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
            QCOMPARE(orvane->exitCode(), 0);
            QVERIFY(!QFileInfo::exists(base));
            QVERIFY(QFileInfo::exists(documents()));
            QCOMPARE(mapsSeen(xev), 0);
        } else {
            // An ordinary start: the splash screen appears and the folder stays.
            QVERIFY(waitFor(portListens, kHangMs));
            QByteArray output;
            readUntil(orvane, "start-up done", kHangMs, output);
            QVERIFY2(countLines(output, "start-up done") == 1, output.constData());
            QVERIFY(QFileInfo::exists(kept.fileName()));
            QVERIFY(mapsSeen(xev) > 0);
            QVERIFY(interruptAndWait(orvane, kHangMs));
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
        QByteArray output;
        QVERIFY2(waitFor(portListens, kHangMs), (output += orvane->readAll()).right(3000).constData());
        readUntil(orvane, after, kHangMs, output);
        QVERIFY2(countLines(output, after) == 1, output.constData());

        QVERIFY2(interruptAndWait(orvane, kHangMs), "SIGINT did not end the program");
        output += orvane->readAll();
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());
        QVERIFY(!portListens());
    }
};

QTEST_GUILESS_MAIN(tst_Orvane)
#include "tst_orvane.moc"
