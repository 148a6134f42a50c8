// korvid-launcher: starts Korvid, starts it again after it ends and after a reset on the
// father link, hands it the log folder, and ends it when the launcher ends.

#include "korvidlauncher.h"
#include "korvidtestutil.h"

#include <QDir>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/types.h>
#include <vector>

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

    // Running, not merely waiting to be reaped.
    static bool processAlive(qint64 pid)
    {
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly) || ::kill(pid_t(pid), 0) != 0)
            return false;
        const QByteArray stat = f.readAll();
        const int close = stat.lastIndexOf(')');
        return close > 0 && stat.size() > close + 2 && stat.at(close + 2) != 'Z' && stat.at(close + 2) != 'X';
    }

    // Connects to the father link; true once connected.
    static bool connectFather(QTcpSocket& s)
    {
        s.connectToHost(QStringLiteral("127.0.0.1"), FatherPort);
        return s.waitForConnected(kServiceHangMs);
    }

    // True when the launcher closed the connection within ms.
    static bool closedByPeer(QTcpSocket& s, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (s.state() == QAbstractSocket::ConnectedState && t.elapsed() < ms) {
            s.waitForReadyRead(50);
            s.readAll();
        }
        return s.state() != QAbstractSocket::ConnectedState;
    }

    static bool startLauncher(ChildProcess& launcher)
    {
        if (!launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)))
            return false;
        return launcher.waitOutput("korvid-launcher: started Korvid (pid", 1, kServiceHangMs);
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
        QCOMPARE(client.request("[01]"), QStringLiteral("[01],"));
        QVERIFY(launcher.waitOutput("Korvid ended with exit code 11", 1, kServiceHangMs));
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, kServiceHangMs), launcher.output().constData());
        const qint64 second = startedPids(launcher).value(1);
        QVERIFY(second > 0 && second != first);
        QVERIFY(!processAlive(first));
        LinkClient again;
        QVERIFY(again.connectTo(UvcServicePort));
        QCOMPARE(again.request("[05]1"), QStringLiteral("[05]1,0"));
        // The client going away ends Korvid with 10; it comes back once more.
        again.close();
        QVERIFY(launcher.waitOutput("Korvid ended with exit code 10", 1, kServiceHangMs));
        QVERIFY(launcher.waitOutput("korvid-launcher: started Korvid (pid", 3, kServiceHangMs));
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
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder ", 1, kServiceHangMs));
        QVERIFY(launcher.waitOutput("receive father process message:", 1, kServiceHangMs));

        // The running Korvid took the folder from its standard input.
        {
            LinkClient client;
            QVERIFY(client.connectTo(UvcServicePort));
            QCOMPARE(client.request("[05]2"), QStringLiteral("[05]2,0"));
            QTRY_VERIFY_WITH_TIMEOUT(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("vq3 connect")), kServiceHangMs);
            QVERIFY(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("_tcpWrite command content: [05]2,0")));

            // Reset: that Korvid is ended and a new one started with the folder as argument.
            father.send(UvcLinkText::fatherReset().toUtf8());
            QVERIFY(launcher.waitOutput("korvid-launcher: reset requested", 1, kServiceHangMs));
            QVERIFY(client.waitClosed(kServiceHangMs));
        }
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, kServiceHangMs), launcher.output().constData());
        const qint64 second = startedPids(launcher).value(1);
        QVERIFY(second != first);
        QVERIFY(QString::fromLocal8Bit(launcher.output()).contains(QStringLiteral("with log folder ") + dir));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(dir + QStringLiteral("korvid.log")).contains(QLatin1String("start korvid ...")),
                                 kServiceHangMs);
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]3"), QStringLiteral("[05]3,0"));
        QVERIFY(processAlive(second));
        // The grace timer of the ended Korvid (3 s) must not reach the new one: a window for a
        // wrong kill to show, which load can only hide, never fake.
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
        QCOMPARE(launcher.waitExit(kServiceHangMs), 0);
        QVERIFY(!processAlive(korvid));
        QVERIFY(launcher.output().contains("korvid-launcher: ending Korvid"));
    }

    // Makes nested folders under base so that the deepest one with its closing '/' is `bytes`
    // bytes long; returns it without the '/', or a null string when it can't be made.
    static QString deepFolder(const QString& base, int bytes)
    {
        QString path = base;
        while (path.toUtf8().size() + 1 < bytes) {
            const int room = bytes - 1 - path.toUtf8().size() - 1;   // after the next '/'
            const int step = room > 200 ? 100 : room;
            path += QLatin1Char('/') + QString(qMax(step, 1), QLatin1Char('d'));
        }
        if (path.toUtf8().size() + 1 != bytes || !QDir().mkpath(path))
            return QString();
        return path;
    }

    // Row: the log-folder text (%1 = an existing folder without its trailing '/', %2 = a file
    // in it, %3 = a folder whose text with '/' fills one read of Korvid's standard input with
    // the line end, %4 = one a byte longer) and the folder taken, or a null string when the text
    // is refused.
    void acceptedLogDir_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("accepted");
        QTest::newRow("folder") << QStringLiteral("%1/") << QStringLiteral("%1/");
        QTest::newRow("folder without the closing slash") << QStringLiteral("%1") << QStringLiteral("%1/");
        QTest::newRow("relative path") << QStringLiteral("log/") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("missing folder") << QStringLiteral("%1/missing/") << QString();
        QTest::newRow("regular file") << QStringLiteral("%2") << QString();
        QTest::newRow("line break inside") << QStringLiteral("%1/\n/") << QString();
        QTest::newRow("tab inside") << QStringLiteral("%1/\t") << QString();
        QTest::newRow("escape sequence") << QStringLiteral("%1/\x1b[2J") << QString();
        QTest::newRow("delete character") << QStringLiteral("%1/\x7f") << QString();
        QTest::newRow("undecodable bytes") << QStringLiteral("%1/") + QChar(QChar::ReplacementCharacter) << QString();
        QTest::newRow("binary junk")
            << QString::fromLocal8Bit(QByteArray("\x01\x02\xff\xfe\x00\x10junk", 10)) << QString();
        QTest::newRow("longest folder Korvid reads at once") << QStringLiteral("%3") << QStringLiteral("%3/");
        QTest::newRow("folder too long for one read") << QStringLiteral("%4/") << QString();
    }

    void acceptedLogDir()
    {
        QFETCH(QString, text);
        QFETCH(QString, accepted);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("file"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString longest = deepFolder(dir.path() + QStringLiteral("/a"), KorvidStdinRead - 1);
        const QString tooLong = deepFolder(dir.path() + QStringLiteral("/b"), KorvidStdinRead);
        QVERIFY(!longest.isNull() && !tooLong.isNull());
        auto fill = [&](QString t) {
            return t.replace(QLatin1String("%1"), dir.path())
                .replace(QLatin1String("%2"), file)
                .replace(QLatin1String("%3"), longest)
                .replace(QLatin1String("%4"), tooLong);
        };
        const QString got = KorvidLauncher::acceptedLogDir(fill(text));
        if (accepted.isNull())
            QVERIFY2(got.isNull(), qPrintable(got));
        else
            QCOMPARE(got, fill(accepted));
    }

    // Two folders in one write: the running Korvid, started without one, gets the first alone
    // and logs there; the next Korvid gets the second as its argument.
    void twoFoldersInOneWrite()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(first.isValid() && second.isValid());
        const QString firstDir = first.path() + QLatin1Char('/');
        const QString secondDir = second.path() + QLatin1Char('/');
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        LinkClient father;
        QVERIFY(father.connectTo(FatherPort));
        father.socket().write(rawFrame(UvcLinkText::fatherSetLogDir(firstDir).toUtf8())
                              + rawFrame(UvcLinkText::fatherSetLogDir(secondDir).toUtf8()));
        QVERIFY(father.socket().waitForBytesWritten(kServiceHangMs));
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder " + secondDir.toUtf8(), 1, kServiceHangMs));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]6"), QStringLiteral("[05]6,0"));
        QTRY_VERIFY2_WITH_TIMEOUT(readFile(firstDir + QStringLiteral("korvid.log")).contains(QLatin1String("vq3 connect")),
                                  launcher.output().constData(), kServiceHangMs);
        QVERIFY(!QFileInfo::exists(secondDir + QStringLiteral("korvid.log")));

        father.send(UvcLinkText::fatherReset().toUtf8());
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, kServiceHangMs), launcher.output().constData());
        QVERIFY(QString::fromLocal8Bit(launcher.output()).contains(QStringLiteral("with log folder ") + secondDir));
    }

    // A refused folder is logged and the one given before stays: the next Korvid gets that one.
    void refusedLogDirKeepsPrevious()
    {
        QTemporaryDir logDir;
        QVERIFY(logDir.isValid());
        const QString dir = logDir.path() + QLatin1Char('/');
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        LinkClient father;
        QVERIFY(father.connectTo(FatherPort));
        father.send(UvcLinkText::fatherSetLogDir(dir).toUtf8());
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder " + dir.toUtf8(), 1, kServiceHangMs));
        father.send(QByteArray("[01]\x01\x02\xff\x1b[2Jjunk\n"));
        father.send(QByteArray("[01]relative/"));
        QVERIFY(launcher.waitOutput("korvid-launcher: refused a log folder", 2, kServiceHangMs));
        father.send(UvcLinkText::fatherReset().toUtf8());
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 2, kServiceHangMs), launcher.output().constData());
        const QString out = QString::fromLocal8Bit(launcher.output());
        QCOMPARE(out.count(QStringLiteral("korvid-launcher: log folder ")), 1);
        QVERIFY(out.contains(QStringLiteral("with log folder ") + dir + QLatin1Char('\n')));
        QVERIFY(!out.contains(QLatin1String("junk")));
    }

    // Row: what a father-link connection sends before the launcher must drop it.
    void oversizedFrameDropsConnection_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray longFrame("#");
        longFrame.append("\x00\x00\x10\x00", 4);   // 1 MiB announced
        QTest::newRow("announces a megabyte") << longFrame;
        QTest::newRow("announces a megabyte and sends 64 KiB of it") << longFrame + QByteArray(64 * 1024, 'a');
        QTest::newRow("a log folder longer than any path")
            << rawFrame("[01]/" + QByteArray(KorvidLauncher::MaxFatherPayload, 'd'));
    }

    void oversizedFrameDropsConnection()
    {
        QFETCH(QByteArray, bytes);
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        QTcpSocket calm, greedy;
        QVERIFY(connectFather(calm));
        QVERIFY(connectFather(greedy));
        greedy.write(bytes);
        greedy.flush();
        QVERIFY(closedByPeer(greedy, kServiceHangMs));
        QVERIFY(launcher.waitOutput("korvid-launcher: dropped a father link connection", 1, kServiceHangMs));
        // The other connection is served as before.
        QTemporaryDir logDir;
        calm.write(rawFrame(UvcLinkText::fatherSetLogDir(logDir.path() + QLatin1Char('/')).toUtf8()));
        QVERIFY(calm.waitForBytesWritten(kServiceHangMs));
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder ", 1, kServiceHangMs));
        QVERIFY(calm.state() == QAbstractSocket::ConnectedState);
    }

    void connectionsAreBounded()
    {
        ChildProcess launcher;
        QVERIFY2(startLauncher(launcher), launcher.output().constData());
        std::vector<std::unique_ptr<QTcpSocket>> open;
        for (int i = 0; i < KorvidLauncher::MaxFatherConnections; ++i) {
            open.push_back(std::make_unique<QTcpSocket>());
            QVERIFY(connectFather(*open.back()));
        }
        QVERIFY(launcher.waitOutput("korvid-launcher: father link connected", KorvidLauncher::MaxFatherConnections, kServiceHangMs));
        // None of them idle when the next one comes, however long the connecting took: each has
        // just sent a message, and the launcher has read them all.
        for (auto& s : open) {
            s->write(rawFrame("[09]"));
            QVERIFY(s->waitForBytesWritten(kServiceHangMs));
        }
        QVERIFY(launcher.waitOutput("korvid-launcher: ignored father link message",
                                    KorvidLauncher::MaxFatherConnections, kServiceHangMs));
        QTcpSocket extra;
        QVERIFY(connectFather(extra));
        QVERIFY(closedByPeer(extra, kServiceHangMs));
        for (auto& s : open)
            QVERIFY(!closedByPeer(*s, 10));
        // A place that comes free is taken again.
        open.front()->disconnectFromHost();
        QVERIFY(launcher.waitOutput("korvid-launcher: father link closed", 1, kServiceHangMs));
        QTcpSocket next;
        QVERIFY(connectFather(next));
        QTemporaryDir logDir;
        next.write(rawFrame(UvcLinkText::fatherSetLogDir(logDir.path() + QLatin1Char('/')).toUtf8()));
        QVERIFY(next.waitForBytesWritten(kServiceHangMs));
        QVERIFY(launcher.waitOutput("korvid-launcher: log folder ", 1, kServiceHangMs));
    }

    // Killed outright, the launcher gets no chance to end Korvid: the parent-death signal does.
    void killedLauncherTakesKorvidAlong()
    {
        // The output goes to a file that stays open, so nothing but the launcher's death can
        // end Korvid (a closed pipe would, at its next line).
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString outFile = dir.filePath(QStringLiteral("launcher.out"));
        ChildProcess launcher;
        launcher.process().setStandardOutputFile(outFile);
        QVERIFY(launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)));
        static const QRegularExpression re(QStringLiteral("started Korvid \\(pid (\\d+)\\)"));
        qint64 korvid = 0;
        QTRY_VERIFY_WITH_TIMEOUT((korvid = re.match(readFile(outFile)).captured(1).toLongLong()) > 0, kServiceHangMs);
        QVERIFY(processAlive(korvid));
        auto reap = qScopeGuard([korvid] {
            if (processAlive(korvid))
                ::kill(pid_t(korvid), SIGKILL);
        });
        QTRY_VERIFY_WITH_TIMEOUT(listeningPorts().contains(UvcServicePort), kServiceHangMs);
        QVERIFY(::kill(pid_t(launcher.process().processId()), SIGKILL) == 0);
        QCOMPARE(launcher.waitExit(kServiceHangMs), -1);
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(korvid), kServiceHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(!listeningPorts().contains(UvcServicePort), kServiceHangMs);
    }

    // While something else holds the command port (a Korvid of a killed launcher, say), the
    // launcher starts none of its own on another port, and starts it there once the port is free.
    void startsKorvidOnlyOnFreeServicePort()
    {
        auto blocker = std::make_unique<QTcpServer>();
        QVERIFY(blocker->listen(QHostAddress(QStringLiteral("127.0.0.1")), UvcServicePort));
        ChildProcess launcher;
        QVERIFY(launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)));
        QVERIFY2(launcher.waitOutput("korvid-launcher: port 11080 is taken", 1, kServiceHangMs), launcher.output().constData());
        QTest::qWait(800);   // a window for a wrong start to show (several looks at the port)
        QVERIFY(!launcher.output().contains("started Korvid"));
        QVERIFY(!listeningPorts().contains(UvcServicePort + 2));
        blocker.reset();
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 1, kServiceHangMs), launcher.output().constData());
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]1"), QStringLiteral("[05]1,0"));
        QCOMPARE(launcher.output().count("port 11080 is taken"), 1);
    }

    // start() hands Korvid to the system and returns; the launcher's event loop learns that it
    // runs, and meanwhile serves the father link.
    void startDoesNotWaitForKorvid()
    {
        KorvidLauncher launcher;
        QVERIFY(launcher.start());
        QCOMPARE(launcher.korvidState(), QProcess::Starting);
        QTRY_COMPARE_WITH_TIMEOUT(launcher.korvidState(), QProcess::Running, kServiceHangMs);
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]2"), QStringLiteral("[05]2,0"));
        launcher.stop();
        QCOMPARE(launcher.korvidState(), QProcess::NotRunning);
    }

    void refusesTakenFatherPort()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress(QStringLiteral("127.0.0.1")), FatherPort));
        ChildProcess launcher;
        QVERIFY(launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)));
        QCOMPARE(launcher.waitExit(kServiceHangMs), 1);
        QVERIFY(!launcher.output().contains("started Korvid"));
    }
};

QTEST_GUILESS_MAIN(TestKorvidLauncher)
#include "tst_korvidlauncher.moc"
