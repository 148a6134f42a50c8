// The program Orvane ending on SIGTERM and SIGHUP (logout, shutdown, a closed terminal) as it
// does on SIGINT, and starting with a settings file a user or a crash damaged. The program runs as
// a process on the X display of the test, with the virtual camera and the test's temporary HOME.

#include "mediaprobe.h"
#include "orvaneprocess.h"

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_OrvaneSignals : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

    QProcess* start(const QStringList& extraEnvironment) { return startKept(this, m_processes, {}, extraEnvironment); }

    static QString configPath() { return documents() + QStringLiteral("/vq3/app/config.ini"); }

    static bool writeConfig(const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(configPath()).absolutePath());
        QFile file(configPath());
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    // Starts the program with `extraEnvironment`, waits for the end of its start, ends it with
    // SIGINT and returns everything it printed.
    QByteArray startAndEnd(const QStringList& extraEnvironment, bool* ok)
    {
        *ok = false;
        QProcess* orvane = start(extraEnvironment);
        QByteArray output;
        if (!orvane->waitForStarted(60000) || !readUntil(orvane, "start-up done", 60000, output)) {
            qWarning("%s", output.right(3000).constData());
            return output;
        }
        ::kill(pid_t(orvane->processId()), SIGINT);
        *ok = orvane->waitForFinished(60000) && orvane->exitStatus() == QProcess::NormalExit
            && orvane->exitCode() == 0;
        output += orvane->readAll();
        return output;
    }

private slots:
    void initTestCase() { verifyReady(); }

    void cleanup() { endAllAndClear(m_processes); }

    // SIGTERM and SIGHUP stop a running recording and end the program with status 0, leaving a
    // complete MP4.
    void endingSignalStopsTheRecording_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QByteArray>("endLine");
        QTest::addColumn<QByteArray>("stopLine");
        const QByteArray screen("ending: stopping the screen recording");
        const QByteArray camera("ending: stopping the main camera's recording");
        QTest::newRow("screen, SIGTERM") << QStringLiteral("screen") << int(SIGTERM) << QByteArray("SIGTERM: ending")
                                         << screen;
        QTest::newRow("screen, SIGHUP") << QStringLiteral("screen") << int(SIGHUP) << QByteArray("SIGHUP: ending")
                                        << screen;
        QTest::newRow("camera, SIGTERM") << QStringLiteral("camera") << int(SIGTERM) << QByteArray("SIGTERM: ending")
                                         << camera;
        QTest::newRow("camera, SIGHUP") << QStringLiteral("camera") << int(SIGHUP) << QByteArray("SIGHUP: ending")
                                        << camera;
    }

    void endingSignalStopsTheRecording()
    {
        QFETCH(QString, kind);
        QFETCH(int, signalNumber);
        QFETCH(QByteArray, endLine);
        QFETCH(QByteArray, stopLine);
        QProcess* orvane = start({QStringLiteral("ORVANE_TEST_RECORD=") + kind});
        QVERIFY(orvane->waitForStarted(60000));
        QByteArray output;
        QString file;
        QVERIFY2(waitForTestRecording(orvane, output, file, 60000), output.right(3000).constData());
        QVERIFY2(file.endsWith(QLatin1String(".mp4")), output.right(3000).constData());
        // The recording has written its first fragment.
        QVERIFY2(waitFor([&] {
            output += orvane->readAll();
            return mediaprobe::topLevelBoxes(file).contains(QStringLiteral("moof"))
                || orvane->state() == QProcess::NotRunning;
        }, 60000), output.right(3000).constData());

        ::kill(pid_t(orvane->processId()), signalNumber);
        const bool ended = orvane->waitForFinished(60000);
        output += orvane->readAll();
        QVERIFY2(ended, ("the program did not end: " + output.right(3000)).constData());
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QVERIFY2(orvane->exitCode() == 0, output.right(3000).constData());
        QVERIFY2(countLines(output, endLine) == 1, output.right(3000).constData());
        QVERIFY2(countLines(output, stopLine) == 1, output.right(3000).constData());

        // A plain MP4 with its index, playing from start to end.
        const QStringList boxes = mediaprobe::topLevelBoxes(file);
        QVERIFY2(boxes.contains(QStringLiteral("moov")) && !boxes.contains(QStringLiteral("moof")),
                 qPrintable(boxes.join(QLatin1Char(' '))));
        const QJsonObject info = mediaprobe::probe(file, true);
        QVERIFY2(!info.isEmpty(), qPrintable(file));
        QVERIFY(mediaprobe::videoSpan(info) > 0.5);
        const QByteArray errors = mediaprobe::decodeErrors(file);
        QVERIFY2(errors.isEmpty(), errors.constData());
    }

    // A save folder that is empty, relative or a plain file counts as missing: the default folder
    // is stored and recordings go there, never to the filesystem's root or the current folder.
    void unusableSavePathIsReplaced_data()
    {
        QTest::addColumn<QByteArray>("savePath");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("relative") << QByteArray("videos/");
        QTest::newRow("plain file") << QByteArray("@PLAIN@");
    }

    void unusableSavePathIsReplaced()
    {
        QFETCH(QByteArray, savePath);
        if (savePath == "@PLAIN@") {
            QDir().mkpath(documents());
            QFile plain(documents() + QStringLiteral("/plain"));
            QVERIFY(plain.open(QIODevice::WriteOnly));
            plain.close();
            savePath = QFile::encodeName(plain.fileName());
        }
        QVERIFY(writeConfig("[common]\nsave_path=" + savePath + "\n"));
        QProcess* orvane = start({QStringLiteral("ORVANE_TEST_RECORD=screen")});
        QVERIFY(orvane->waitForStarted(60000));
        QByteArray output;
        QString file;
        QVERIFY2(waitForTestRecording(orvane, output, file, 60000), output.right(3000).constData());
        const QString folder = documents() + QStringLiteral("/Orvane/");
        QVERIFY2(file.startsWith(folder), qPrintable(file));
        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(60000));
        QCOMPARE(orvane->exitCode(), 0);

        QSettings config(configPath(), QSettings::IniFormat);
        QCOMPARE(config.value(QStringLiteral("common/save_path")).toString(), folder);
    }

    // A settings file that does not parse is kept under a numbered ".damaged" name (an earlier
    // one is never replaced); the values still readable stay in the new file.
    void damagedFileIsKept()
    {
        QDir().mkpath(QFileInfo(configPath()).absolutePath());
        QFile earlier(configPath() + QStringLiteral(".damaged"));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier\n");
        earlier.close();
        const QByteArray junk("[common\nrecordType=1\n\x01\x02 junk without a value\n");
        QVERIFY(writeConfig(junk));

        bool ended = false;
        const QByteArray output = startAndEnd({}, &ended);
        QVERIFY2(ended, output.right(3000).constData());

        QFile kept(configPath() + QStringLiteral(".damaged.1"));
        QVERIFY2(kept.open(QIODevice::ReadOnly), output.right(3000).constData());
        QCOMPARE(kept.readAll(), junk);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier\n"));
        QVERIFY2(output.contains("is damaged: kept as"), output.right(3000).constData());

        QSettings config(configPath(), QSettings::IniFormat);
        (void)config.allKeys();
        QCOMPARE(config.status(), QSettings::NoError);
        QCOMPARE(config.value(QStringLiteral("common/save_path")).toString(),
                 documents() + QStringLiteral("/Orvane/"));
    }

    // A hand-edited UI language other than 0 is logged and language 0 is used: the program starts.
    void unknownLanguageFallsBack_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("1") << 1;
        QTest::newRow("2") << 2;
        QTest::newRow("-1") << -1;
    }

    void unknownLanguageFallsBack()
    {
        QFETCH(int, language);
        QVERIFY(writeConfig("[common]\nlanguage=" + QByteArray::number(language) + "\n"));
        bool ended = false;
        const QByteArray output = startAndEnd({}, &ended);
        QVERIFY2(ended, output.right(3000).constData());
        QVERIFY2(output.contains(QByteArray("language[") + QByteArray::number(language) + "] is not offered"),
                 output.right(3000).constData());
        QSettings config(configPath(), QSettings::IniFormat);
        QCOMPARE(config.value(QStringLiteral("common/language")).toInt(), 0);
    }
};

QTEST_MAIN(tst_OrvaneSignals)
#include "tst_orvane_signals.moc"
