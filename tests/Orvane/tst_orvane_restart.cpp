// The program Orvane ending from outside while it records, and restarting itself: SIGINT and the
// window's close stop a running screen or camera recording first, so its MP4 is complete; the
// restart code leaves exactly one instance. The program runs as a process on the X display of the
// test, with the virtual camera and the test's temporary HOME.

#include "mediaprobe.h"
#include "orvaneprocess.h"

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_OrvaneRestart : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

    QProcess* start(const QStringList& extraEnvironment) { return startKept(this, m_processes, {}, extraEnvironment); }

private slots:
    void initTestCase() { verifyReady(); }

    void cleanup() { endAllAndClear(m_processes); }

    // ORVANE_TEST_RECORD starts the recording once the program has started and logs its file.
    void endingStopsTheRecording_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("closeWindow");
        QTest::addColumn<QByteArray>("stopLine");
        const QByteArray screen("ending: stopping the screen recording");
        const QByteArray camera("ending: stopping the main camera's recording");
        QTest::newRow("screen, SIGINT") << QStringLiteral("screen") << false << screen;
        QTest::newRow("screen, window closed") << QStringLiteral("screen") << true << screen;
        QTest::newRow("camera, SIGINT") << QStringLiteral("camera") << false << camera;
        QTest::newRow("camera, window closed") << QStringLiteral("camera") << true << camera;
    }

    void endingStopsTheRecording()
    {
        QFETCH(QString, kind);
        QFETCH(bool, closeWindow);
        QFETCH(QByteArray, stopLine);
        // The widget map shows the recording's time as the program counts it.
        const QString map = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + QStringLiteral("/widgets.json");
        QFile::remove(map);
        QProcess* orvane = start({QStringLiteral("ORVANE_TEST_RECORD=") + kind, QStringLiteral("ORVANE_TEST_WIDGET_MAP=") + map});
        QVERIFY(orvane->waitForStarted(kHangMs));
        QByteArray output;
        QString file;
        QVERIFY2(waitForTestRecording(orvane, output, file, kHangMs), output.right(3000).constData());
        QVERIFY2(file.endsWith(QLatin1String(".mp4")), output.right(3000).constData());
        // Two seconds on the recording's own clock.
        QVERIFY2(waitFor([&] {
            output += orvane->readAll();
            return recordSecondsShown(map) >= 2 || orvane->state() == QProcess::NotRunning;
        }, kHangMs), output.right(3000).constData());
        QVERIFY2(recordSecondsShown(map) >= 2, output.right(3000).constData());

        bool ended = false;
        if (closeWindow) {
            XWindows display;
            QVERIFY(display.connected());
            const QList<xcb_window_t> windows = display.closableWindowsOf(orvane->processId());
            QVERIFY2(!windows.isEmpty(), "the program shows no window to close");
            QVERIFY(display.askToClose(windows.first()));
            QElapsedTimer timer;
            timer.start();
            while (!(ended = orvane->waitForFinished(300)) && timer.elapsed() < kHangMs)
                display.nudge(windows.first());
        } else {
            ::kill(pid_t(orvane->processId()), SIGINT);
            ended = orvane->waitForFinished(kHangMs);
        }
        output += orvane->readAll();
        QVERIFY2(ended, ("the program did not end: " + output.right(3000)).constData());
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());

        // The file has its index (the trailer) and plays from start to end.
        QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
        QVERIFY2(mediaprobe::topLevelBoxes(file).contains(QStringLiteral("moov")),
                 qPrintable(mediaprobe::topLevelBoxes(file).join(QLatin1Char(' '))));
        const QJsonObject info = mediaprobe::probe(file, true);
        QVERIFY2(!info.isEmpty(), qPrintable(file));
        QVERIFY(!mediaprobe::stream(info, QStringLiteral("video")).isEmpty());
        const double duration = mediaprobe::number(info.value(QStringLiteral("format")).toObject(), "duration");
        QVERIFY2(duration > 1.0, qPrintable(QString::number(duration)));
        QVERIFY2(mediaprobe::videoSpan(info) > 1.0, qPrintable(QString::number(mediaprobe::videoSpan(info))));
        const QByteArray errors = mediaprobe::decodeErrors(file);
        QVERIFY2(errors.isEmpty(), errors.constData());
        // It was the program's end that stopped the recording.
        QVERIFY2(countLines(output, stopLine) == 1, output.right(3000).constData());
    }

    // ORVANE_TEST_RESTART=1 makes the program end its event loop with the restart code once it has
    // started, as the settings dialog does after a language change.
    void restartLeavesOneInstance()
    {
        QProcess* orvane = start({QStringLiteral("ORVANE_TEST_RESTART=1")});
        QVERIFY(orvane->waitForStarted(kHangMs));
        const qint64 oldPid = orvane->processId();
        QVERIFY(orvane->waitForFinished(kHangMs));
        const QByteArray output = orvane->readAll();
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());
        QVERIFY2(output.contains("start-up done"), output.constData());
        // The hook kept the old process (and its port) a while after its event loop ended: a new
        // instance started before the old one let go would have found it and ended with 255.
        QVERIFY2(countLines(output, "restart test: holding on before letting go") == 1, output.constData());

        // Both went through the whole start (the log is shared by every instance of one HOME): the
        // new instance did not find a dying old one, which would have ended it before that.
        const auto readLog = [] {
            QFile log(logPath());
            return log.open(QIODevice::ReadOnly) ? stripStamps(log.readAll()) : QByteArray();
        };
        QVERIFY2(waitFor([&] { return countLines(readLog(), "start-up done") == 2; }, kHangMs),
                 readLog().right(3000).constData());
        // The new instance owns the port and keeps running.
        QVERIFY2(waitFor(portListens, kHangMs), "the restarted program does not listen");
        const QList<qint64> instances = runningInstances();
        QCOMPARE(instances.size(), 1);
        const qint64 newPid = instances.first();
        QVERIFY(newPid != oldPid);
        QVERIFY(portListens());

        // It started without the hook, so it stays until SIGINT ends it and frees the port: it
        // does not restart once more on its own (its hook would have fired right after its start).
        ::kill(pid_t(newPid), SIGINT);
        QVERIFY(waitFor([&] { return processGone(newPid); }, kHangMs));
        QVERIFY(waitFor([] { return !portListens(); }, kHangMs));
        QVERIFY(runningInstances().isEmpty());
        const QByteArray log = readLog();
        QVERIFY2(countLines(log, "start-up done") == 2, log.right(3000).constData());
        QVERIFY2(countLines(log, "restart test: holding on before letting go") <= 1, log.right(3000).constData());
    }
};

QTEST_GUILESS_MAIN(tst_OrvaneRestart)
#include "tst_orvane_restart.moc"
