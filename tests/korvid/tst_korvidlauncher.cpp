// korvid-launcher: starts Korvid, starts it again after it ends and after a reset on the
// father link, hands it the log folder, and ends it when the launcher ends.

#include "korvidlauncher.h"
#include "korvidtestutil.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

class TestKorvidLauncher : public QObject
{
    Q_OBJECT

private:
    // Pids of every "started Korvid" line so far.
    static QList<qint64> startedPids(ChildProcess& launcher)
    {
        QList<qint64> pids;
        static const QRegularExpression re(QStringLiteral("korvid-launcher: started Korvid \\(pid (\\d+)\\)"));
        auto it = re.globalMatch(QString::fromLocal8Bit(launcher.output()));
        while (it.hasNext())
            pids.append(it.next().captured(1).toLongLong());
        return pids;
    }

    static bool processAlive(qint64 pid)
    {
        return QFile::exists(QStringLiteral("/proc/%1/stat").arg(pid)) && ::kill(pid_t(pid), 0) == 0;
    }

    static bool startLauncher(ChildProcess& launcher)
    {
        if (!launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)))
            return false;
        return launcher.waitOutput("korvid-launcher: started Korvid (pid", 1, 15000);
    }

    static QString readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }

private slots:
    void init()
    {
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(UvcServicePort), "port 11080 is taken", 60000);
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(FatherPort), "port 11081 is taken", 60000);
    }

    void restartDelay_data()
    {
        QTest::addColumn<int>("ranMs");
        QTest::addColumn<int>("previous");
        QTest::addColumn<int>("expected");
        QTest::newRow("normal run") << 2500 << 0 << 100;
        QTest::newRow("normal run resets back-off") << 60000 << 5000 << 100;
        QTest::newRow("first fast end") << 50 << 100 << 250;
        QTest::newRow("second fast end doubles") << 50 << 250 << 500;
        QTest::newRow("capped") << 10 << 4000 << 5000;
        QTest::newRow("stays capped") << 10 << 5000 << 5000;
    }

    void restartDelay()
    {
        QFETCH(int, ranMs);
        QFETCH(int, previous);
        QFETCH(int, expected);
        QCOMPARE(KorvidLauncher::restartDelay(ranMs, previous), expected);
    }

    void restartsAfterSearch()
    {
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        const qint64 first = startedPids(launcher).value(0);
        QVERIFY(first > 0);
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[01]", 10000), QStringLiteral("[01],"));
        QVERIFY(launcher.waitOutput("Korvid ended with exit code 11", 1, 10000));
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, 10000), launcher.output().constData());
        const qint64 second = startedPids(launcher).value(1);
        QVERIFY(second > 0 && second != first);
        QVERIFY(!processAlive(first));
        LinkClient again;
        QVERIFY(again.connectTo(UvcServicePort));
        QCOMPARE(again.request("[05]1"), QStringLiteral("[05]1,0"));
        // The client going away ends Korvid with 10; it comes back once more.
        again.close();
        QVERIFY(launcher.waitOutput("Korvid ended with exit code 10", 1, 10000));
        QVERIFY(launcher.waitOutput("korvid-launcher: started Korvid (pid", 3, 10000));
    }

    void logFolderAndReset()
    {
        QTemporaryDir logDir;
        QVERIFY(logDir.isValid());
        const QString dir = logDir.path() + QLatin1Char('/');
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        const qint64 first = startedPids(launcher).value(0);

        LinkClient father;
        QVERIFY(father.connectTo(FatherPort));
        father.send(UvcLinkText::fatherSetLogDir(dir).toUtf8());
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder ", 1, 5000));
        QVERIFY(launcher.waitOutput("receive father process message:", 1, 5000));

        // The running Korvid took the folder from its standard input.
        {
            LinkClient client;
            QVERIFY(client.connectTo(UvcServicePort));
            QCOMPARE(client.request("[05]2"), QStringLiteral("[05]2,0"));
            QTRY_VERIFY(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("vq3 connect")));
            QVERIFY(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("_tcpWrite command content: [05]2,0")));

            // Reset: that Korvid is ended and a new one started with the folder as argument.
            father.send(UvcLinkText::fatherReset().toUtf8());
            QVERIFY(launcher.waitOutput("korvid-launcher: reset requested", 1, 5000));
            QVERIFY(client.waitClosed(10000));
        }
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, 10000), launcher.output().constData());
        const qint64 second = startedPids(launcher).value(1);
        QVERIFY(second != first);
        QVERIFY(QString::fromLocal8Bit(launcher.output()).contains(QStringLiteral("with log folder ") + dir));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("start korvid ...")),
                                 10000);
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]3"), QStringLiteral("[05]3,0"));
        QVERIFY(processAlive(second));
        // The grace timer of the ended Korvid must not reach the new one.
        QTest::qWait(3500);
        QVERIFY(processAlive(second));
        QCOMPARE(client.request("[05]4"), QStringLiteral("[05]4,0"));
    }

    void endsKorvidWhenEnding_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void endsKorvidWhenEnding()
    {
        QFETCH(int, sig);
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        const qint64 korvid = startedPids(launcher).value(0);
        QVERIFY(processAlive(korvid));
        QVERIFY(::kill(pid_t(launcher.process().processId()), sig) == 0);
        QCOMPARE(launcher.waitExit(10000), 0);
        QVERIFY(!processAlive(korvid));
        QVERIFY(launcher.output().contains("korvid-launcher: ending Korvid"));
    }

    void refusesTakenFatherPort()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress(QStringLiteral("127.0.0.1")), FatherPort));
        ChildProcess launcher;
        QVERIFY(launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)));
        QCOMPARE(launcher.waitExit(10000), 1);
        QVERIFY(!launcher.output().contains("started Korvid"));
    }
};

QTEST_GUILESS_MAIN(TestKorvidLauncher)
#include "tst_korvidlauncher.moc"
