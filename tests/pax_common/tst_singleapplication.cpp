// Single instance: the test process is the first instance; singleapp_peer is started as
// the later ones, and raw loopback clients check what counts as "activate".

#include "singleapplication.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

class tst_SingleApplication : public QObject
{
    Q_OBJECT

    SingleApplication* app() { return static_cast<SingleApplication*>(qApp); }

    static QString peerPath()
    {
        return qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/singleapp_peer");
    }

    int openConnections() { return app()->findChildren<QTcpSocket*>().size(); }

private slots:
    void firstInstanceIsNotRunning()
    {
        QVERIFY(!app()->isRunning());
    }

    void laterStartsActivateTheFirst_data()
    {
        QTest::addColumn<int>("starts");
        QTest::newRow("one later start") << 1;
        QTest::newRow("two quick starts") << 2;
    }

    void laterStartsActivateTheFirst()
    {
        QFETCH(int, starts);
        QVERIFY2(QFileInfo(peerPath()).isExecutable(), qPrintable(peerPath()));
        QSignalSpy spy(app(), &SingleApplication::sigActive);
        for (int i = 0; i < starts; ++i) {
            // The first instance is busy (no event loop) meanwhile: the later one still ends.
            QProcess peer;
            peer.setProcessChannelMode(QProcess::ForwardedChannels);
            QElapsedTimer timer;
            timer.start();
            peer.start(peerPath(), QStringList());
            QVERIFY(peer.waitForFinished(20000));
            QVERIFY(timer.elapsed() < 20000);
            QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
            QCOMPARE(peer.exitCode(), 3);
        }
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), starts, 5000);
        QTest::qWait(100);
        QCOMPARE(spy.count(), starts);
        QTRY_COMPARE(openConnections(), 0);
    }

    void clientMessages_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("signals");
        QTest::newRow("activate") << QByteArray("activate") << 1;
        QTest::newRow("activate with line feed") << QByteArray("activate\n") << 0;
        QTest::newRow("prefix only") << QByteArray("activ") << 0;
        QTest::newRow("other text") << QByteArray("shutdown") << 0;
        QTest::newRow("leading byte") << QByteArray("xactivate") << 0;
        QTest::newRow("no data") << QByteArray() << 0;
    }

    void clientMessages()
    {
        QFETCH(QByteArray, payload);
        QSignalSpy spy(app(), &SingleApplication::sigActive);
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), SingleApplication::SingleInstancePort);
        QVERIFY(client.waitForConnected(5000));
        if (!payload.isEmpty()) {
            client.write(payload);
            QVERIFY(client.waitForBytesWritten(5000));
        }
        // The server side exists while the client is connected...
        QTRY_COMPARE(openConnections(), 1);
        client.disconnectFromHost();
        if (client.state() != QAbstractSocket::UnconnectedState)
            QVERIFY(client.waitForDisconnected(5000));
        // ...and is closed and deleted once it goes.
        QTRY_COMPARE(openConnections(), 0);
        QTest::qWait(50);
        QTEST(int(spy.count()), "signals");
    }

    void nothingIsSentBack()
    {
        QTcpSocket client;
        client.connectToHost(QStringLiteral("127.0.0.1"), SingleApplication::SingleInstancePort);
        QVERIFY(client.waitForConnected(5000));
        client.write("activate");
        QVERIFY(client.waitForBytesWritten(5000));
        QVERIFY(!client.waitForReadyRead(300));
        QCOMPARE(client.bytesAvailable(), qint64(0));
    }
};

int main(int argc, char** argv)
{
    SingleApplication app(argc, argv);
    if (app.isRunning()) {
        qCritical("port 11050 is held by another program; the test needs it free");
        return 1;
    }
    tst_SingleApplication tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_singleapplication.moc"
