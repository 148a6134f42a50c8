// The single-instance port under a flood of connections: the first instance runs as a process of
// its own with few file descriptors, the test holds connections that send nothing, and a later
// start must still reach it. The first instance never holds more connections than its bound.

#include "processoutput.h"
#include "singleapplication.h"

#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

QString binPath(const QString& name)
{
    return qEnvironmentVariable("ORVANE_BIN_DIR") + QLatin1Char('/') + name;
}

// The first instance, limited to `files` open descriptors; ended when this object goes.
class FirstInstance
{
public:
    ~FirstInstance()
    {
        if (m_p.state() != QProcess::NotRunning) {
            m_p.kill();
            m_p.waitForFinished(60000);
        }
    }

    bool start(int files)
    {
        m_p.setProcessChannelMode(QProcess::MergedChannels);
        m_p.start(QStringLiteral("prlimit"),
                  {QStringLiteral("--nofile=%1:%1").arg(files), binPath(QStringLiteral("singleapp_first"))});
        return m_p.waitForStarted(60000) && waitOutput("listening\n", 1, 60000);
    }

    QByteArray output()
    {
        m_out += m_p.readAll();
        return m_out;
    }

    bool waitOutput(const QByteArray& text, int count, int ms)
    {
        return processoutput::waitFor(m_p, m_out, text, count, ms);
    }

    // The most connections it held at once so far (its "held N" lines).
    int mostHeld()
    {
        int most = 0;
        for (const QByteArray& line : output().split('\n')) {
            if (line.startsWith("held "))
                most = qMax(most, line.mid(5).toInt());
        }
        return most;
    }

private:
    QProcess m_p;
    QByteArray m_out;
};

using Sockets = std::vector<std::unique_ptr<QTcpSocket>>;

void openSilent(Sockets& sockets, int count)
{
    for (int i = 0; i < count; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QStringLiteral("127.0.0.1"), SingleApplication::SingleInstancePort);
    }
}

int countIn(const Sockets& sockets, bool connectedOnce)
{
    int n = 0;
    for (const auto& s : sockets) {
        const bool reached = s->property("reached").toBool();
        if (connectedOnce ? reached : (reached && s->state() == QAbstractSocket::UnconnectedState))
            ++n;
    }
    return n;
}

void track(Sockets& sockets)
{
    for (auto& s : sockets) {
        QTcpSocket* raw = s.get();
        QObject::connect(raw, &QTcpSocket::connected, raw, [raw] { raw->setProperty("reached", true); });
    }
}

} // namespace

class tst_SingleAppFlood : public QObject
{
    Q_OBJECT

private slots:
    void silentConnectionsAreDropped_data()
    {
        QTest::addColumn<int>("connections");
        QTest::newRow("one") << 1;
        QTest::newRow("more than the first instance keeps") << 3 * SingleApplication::MaxConnections;
    }

    void silentConnectionsAreDropped()
    {
        QFETCH(int, connections);
        FirstInstance first;
        QVERIFY2(first.start(1024), first.output().constData());
        Sockets silent;
        openSilent(silent, connections);
        track(silent);
        // Every connection is made, and each is closed by the first instance in the end.
        QTRY_COMPARE_WITH_TIMEOUT(countIn(silent, false), connections, 60000);
        QVERIFY(!first.output().contains("activate"));
        QVERIFY2(first.mostHeld() <= SingleApplication::MaxConnections, first.output().constData());
        QVERIFY2(first.mostHeld() >= qMin(connections, SingleApplication::MaxConnections), first.output().constData());
    }

    void laterStartGetsThroughAFlood_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("flood");
        QTest::newRow("flood beyond the descriptors") << 128 << 300;
    }

    void laterStartGetsThroughAFlood()
    {
        QFETCH(int, files);
        QFETCH(int, flood);
        FirstInstance first;
        QVERIFY2(first.start(files), first.output().constData());
        Sockets silent;
        openSilent(silent, flood);
        track(silent);
        // More connections made than the first instance has descriptors.
        QTRY_VERIFY_WITH_TIMEOUT(countIn(silent, true) >= files + 10, 60000);

        QProcess later;
        later.setProcessChannelMode(QProcess::ForwardedChannels);
        later.start(binPath(QStringLiteral("singleapp_peer")), QStringList());
        QVERIFY(later.waitForFinished(60000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 3);
        QVERIFY2(first.waitOutput("activate\n", 1, 60000), first.output().constData());
        QVERIFY2(first.mostHeld() <= SingleApplication::MaxConnections, first.output().constData());
    }
};

QTEST_MAIN(tst_SingleAppFlood)
#include "tst_singleapp_flood.moc"
