// Single instance: the test process is the first instance; singleapp_peer is started as
// the later ones, and raw loopback clients check what counts as "activate".

#include "singleapplication.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

#include <sys/socket.h>

// Ceiling of every wait: only a hang reaches it.
constexpr int kHangMs = 60000;

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
            peer.start(peerPath(), QStringList());
            QVERIFY(peer.waitForFinished(kHangMs));
            QCOMPARE(peer.exitStatus(), QProcess::NormalExit);
            QCOMPARE(peer.exitCode(), 3);
        }
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= starts, kHangMs);
        // Every connection handled and closed: no signal is still to come.
        QTRY_COMPARE_WITH_TIMEOUT(openConnections(), 0, kHangMs);
        QCOMPARE(spy.count(), starts);
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
        QVERIFY(client.waitForConnected(kHangMs));
        if (!payload.isEmpty()) {
            client.write(payload);
            QVERIFY(client.waitForBytesWritten(kHangMs));
        }
        // The server side exists while the client is connected...
        QTRY_COMPARE_WITH_TIMEOUT(openConnections(), 1, kHangMs);
        client.disconnectFromHost();
        if (client.state() != QAbstractSocket::UnconnectedState)
            QVERIFY(client.waitForDisconnected(kHangMs));
        // ...and is closed and deleted once it goes, after it handled all the client sent.
        QTRY_COMPARE_WITH_TIMEOUT(openConnections(), 0, kHangMs);
        QTEST(int(spy.count()), "signals");
    }

    void nothingIsSentBack()
    {
        QSignalSpy active(app(), &SingleApplication::sigActive);
        QTcpSocket client;
        QByteArray received;
        connect(&client, &QTcpSocket::readyRead, this, [&] { received += client.readAll(); });
        QSignalSpy closed(&client, &QTcpSocket::disconnected);
        client.connectToHost(QStringLiteral("127.0.0.1"), SingleApplication::SingleInstancePort);
        QVERIFY(client.waitForConnected(kHangMs));
        client.write("activate");
        QVERIFY(client.waitForBytesWritten(kHangMs));
        QTRY_COMPARE_WITH_TIMEOUT(active.count(), 1, kHangMs);   // the message was handled
        // Done writing: the instance closes its side, after anything it would have sent.
        QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, kHangMs);
        received += client.readAll();
        QCOMPARE(received, QByteArray());
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
