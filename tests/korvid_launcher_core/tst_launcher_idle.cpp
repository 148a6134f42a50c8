// korvid-launcher's father link under idle connections: connections that hold a place and send
// nothing give way, so the client always gets in.

#include "korvidlauncher.h"
#include "korvidtestutil.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

class TestLauncherIdle : public QObject
{
    Q_OBJECT

private:
    static bool connectFather(QTcpSocket& s)
    {
        s.connectToHost(QStringLiteral("127.0.0.1"), FatherPort);
        return s.waitForConnected(60000);
    }

    static int closedCount(const std::vector<std::unique_ptr<QTcpSocket>>& sockets)
    {
        int closed = 0;
        for (const auto& s : sockets) {
            s->waitForReadyRead(0);
            s->readAll();
            if (s->state() != QAbstractSocket::ConnectedState)
                ++closed;
        }
        return closed;
    }

private slots:
    void init()
    {
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(UvcServicePort), "port 11080 is taken", 60000);
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(FatherPort), "port 11081 is taken", 60000);
    }

    void idleConnectionsGiveWayToTheClient_data()
    {
        QTest::addColumn<int>("idle");
        QTest::newRow("every place held") << int(KorvidLauncher::MaxFatherConnections);
    }

    void idleConnectionsGiveWayToTheClient()
    {
        QFETCH(int, idle);
        ChildProcess launcher;
        QVERIFY(launcher.start(QStringLiteral("korvid-launcher"), {}, serviceEnvironment(false)));
        QVERIFY2(launcher.waitOutput("korvid-launcher: started Korvid (pid", 1, 60000), launcher.output().constData());

        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < idle; ++i) {
            held.push_back(std::make_unique<QTcpSocket>());
            QVERIFY(connectFather(*held.back()));
        }
        QVERIFY(launcher.waitOutput("korvid-launcher: father link connected", idle, 60000));

        // The client as the application runs it: connect, send the log folder, and connect again
        // after a second whenever the launcher drops the connection.
        QTemporaryDir logDir;
        QVERIFY(logDir.isValid());
        const QByteArray frame = rawFrame(UvcLinkText::fatherSetLogDir(logDir.path() + QLatin1Char('/')).toUtf8());
        std::unique_ptr<QTcpSocket> client;
        QElapsedTimer ceiling;
        ceiling.start();
        while (!launcher.output().contains("korvid-launcher: log folder ") && ceiling.elapsed() < 60000) {
            if (!client || client->state() != QAbstractSocket::ConnectedState) {
                if (client)
                    QTest::qWait(1000);
                client = std::make_unique<QTcpSocket>();
                if (connectFather(*client)) {
                    client->write(frame);
                    client->waitForBytesWritten(60000);
                }
            }
            client->waitForReadyRead(60000);
            launcher.waitOutput("korvid-launcher: log folder ", 1, 100);
        }
        QVERIFY2(launcher.output().contains("korvid-launcher: log folder "), launcher.output().constData());
        QVERIFY(launcher.output().contains("korvid-launcher: dropped a father link connection: idle"));
        // One idle connection made room; the others keep theirs while nobody else waits.
        QTRY_COMPARE_WITH_TIMEOUT(closedCount(held), 1, 60000);
        QCOMPARE(client->state(), QAbstractSocket::ConnectedState);
    }
};

QTEST_MAIN(TestLauncherIdle)
#include "tst_launcher_idle.moc"
