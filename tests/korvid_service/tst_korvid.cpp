// The service program over loopback: replies, exit codes, the single client, the port search,
// the log folder, an idle standard input, and streaming of the virtual camera into the block.

#include "korvidtestutil.h"
#include "mainframeblock.h"
#include "virtualdevice.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestKorvid : public QObject
{
    Q_OBJECT

private:
    // Service shared by the rows of one data-driven test function.
    std::unique_ptr<ChildProcess> m_shared;
    std::unique_ptr<LinkClient> m_sharedClient;
    QByteArray m_sharedFunction;

    void stopShared()
    {
        m_sharedClient.reset();
        m_shared.reset();
        m_sharedFunction.clear();
    }

    // The shared service of the current test function, started on its first row.
    bool startShared(bool virtualCamera)
    {
        if (m_shared)
            return true;
        m_shared = std::make_unique<ChildProcess>();
        m_sharedFunction = QTest::currentTestFunction();
        if (!m_shared->start(QStringLiteral("Korvid"), {}, serviceEnvironment(virtualCamera)))
            return false;
        m_sharedClient = std::make_unique<LinkClient>();
        return m_sharedClient->connectTo(UvcServicePort);
    }

    static bool waitListening(int port, int ms = kServiceHangMs)
    {
        QElapsedTimer t;
        t.start();
        while (!listeningPorts().contains(port)) {
            if (t.elapsed() > ms)
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    static QString readFile(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromLocal8Bit(f.readAll());
    }

private slots:
    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) != m_sharedFunction)
            stopShared();
        if (m_shared)
            return;
        // Another service of this machine may still hold the port for a moment.
        QTRY_VERIFY2_WITH_TIMEOUT(!listeningPorts().contains(UvcServicePort), "port 11080 is taken", 60000);
    }

    void cleanupTestCase()
    {
        stopShared();
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("reply");   // null: no reply at all

        QTest::newRow("control read of type 9") << QByteArray("[06]0,9") << QStringLiteral("[06]0,9,-1");
        QTest::newRow("control write of type -3") << QByteArray("[07]0,-3,5") << QStringLiteral("[07]0,-3,-1");
        QTest::newRow("stop play of camera 1") << QByteArray("[05]1") << QStringLiteral("[05]1,0");
        QTest::newRow("stop play reads the rest as one number") << QByteArray("[05]12,4") << QStringLiteral("[05]0,0");
        QTest::newRow("control read, no camera open") << QByteArray("[06]0,0") << QStringLiteral("[06]0,0,-1");
        QTest::newRow("control write, no camera open") << QByteArray("[07]1,2,30") << QStringLiteral("[07]1,2,-1");
        QTest::newRow("control read, letter as index") << QByteArray("[06]x,9") << QStringLiteral("[06]0,9,-1");
        QTest::newRow("control read without type") << QByteArray("[06]0") << QStringLiteral("[06]0,-1,-1");
        QTest::newRow("control write without value") << QByteArray("[07]0,1") << QStringLiteral("[07]0,1,-1");
        QTest::newRow("start play without camera") << QByteArray("[04]0,1280,720,30") << QStringLiteral("[04]0,-1");
        QTest::newRow("start play with too few items") << QByteArray("[04]0,1280") << QStringLiteral("[04]0,-1");
        QTest::newRow("unknown head") << QByteArray("[09]") << QString();
        QTest::newRow("no head") << QByteArray("hello 01") << QString();
        QTest::newRow("empty payload") << QByteArray() << QString();
        QTest::newRow("lower-case look-alike") << QByteArray("[0a]1") << QString();
    }

    void replies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, reply);
        QVERIFY(startShared(false));
        QVERIFY(m_shared->running());
        if (reply.isNull()) {
            // Still serving, and the next message is the reply to the next request: the first
            // got none.
            m_sharedClient->send(request);
            QCOMPARE(m_sharedClient->request("[05]7"), QStringLiteral("[05]7,0"));
        } else {
            QCOMPARE(m_sharedClient->request(request), reply);
        }
        QVERIFY(m_shared->running());
    }

    void framesSplitAndJoinedOnTheWire()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        // Junk, then two frames in one write.
        client.socket().write("xyz" + rawFrame("[05]3") + rawFrame("[06]1,11"));
        QCOMPARE(client.next(kServiceHangMs), QStringLiteral("[05]3,0"));
        QCOMPARE(client.next(kServiceHangMs), QStringLiteral("[06]1,11,-1"));
        // A frame split after the '#' and one length byte: the service has read the first part
        // before the rest is sent.
        const QByteArray f = rawFrame("[05]4");
        client.socket().write(f.left(2));
        QVERIFY(waitAllRead(client.socket()));
        client.socket().write(f.mid(2));
        QCOMPARE(client.next(kServiceHangMs), QStringLiteral("[05]4,0"));
        // A huge announced length is dropped without harm; the next frame is served.
        QByteArray huge("#");
        huge.append("\x00\x00\x00\x80", 4);
        client.socket().write(huge + "abc");
        QVERIFY(waitAllRead(client.socket()));
        QCOMPARE(client.request("[05]5"), QStringLiteral("[05]5,0"));
        QVERIFY(korvid.running());
    }

    // Row: how many requests go out in one write. Each complete request gets exactly one reply,
    // in order, without the client sending another byte.
    void backToBackRequestsAllAnswered_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("two") << 2;
        QTest::newRow("more than one read") << 3000;
        QTest::newRow("far more than the socket buffers") << 20000;
    }

    void backToBackRequestsAllAnswered()
    {
        QFETCH(int, count);
        ChildProcess korvid;
        // Two lines per reply go to its output, which nobody reads while the replies come.
        korvid.process().setStandardOutputFile(QProcess::nullDevice());
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QByteArray burst;
        for (int i = 0; i < count; ++i)
            burst += rawFrame("[05]" + QByteArray::number(i));
        client.socket().write(burst);
        int answered = 0;
        QString reply;
        for (; answered < count; ++answered) {
            reply = client.next(kServiceHangMs);
            if (reply != QStringLiteral("[05]%1,0").arg(answered))
                break;
        }
        QVERIFY2(answered == count, qPrintable(QStringLiteral("%1 of %2 answered in order, then: %3")
                                                   .arg(answered).arg(count).arg(reply.left(40))));
        // Nothing more: the next message answers the next request.
        QCOMPARE(client.request("[05]" + QByteArray::number(count)), QStringLiteral("[05]%1,0").arg(count));
        QVERIFY(korvid.running());
    }

    // Row: the request that ends the service, its reply, the exit code, and the least time the
    // reply takes: the service sleeps 2 s for the cameras to settle before it. A lower bound of a
    // deliberate pause, which load only lengthens.
    void endingCommands_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("minMs");
        QTest::newRow("search without camera") << QByteArray("[01]") << QStringLiteral("[01],") << 11 << 1800;
        QTest::newRow("close without open") << QByteArray("[03]") << QStringLiteral("[03]0") << 12 << 1800;
    }

    void endingCommands()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, reply);
        QFETCH(int, exitCode);
        QFETCH(int, minMs);
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QElapsedTimer t;
        t.start();
        QCOMPARE(client.request(request), reply);
        QVERIFY2(t.elapsed() >= minMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(client.waitClosed(kServiceHangMs));
        QCOMPARE(korvid.waitExit(kServiceHangMs), exitCode);
    }

    void clientDisconnectEndsWith10()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]0"), QStringLiteral("[05]0,0"));
        client.close();
        QCOMPARE(korvid.waitExit(kServiceHangMs), 10);
    }

    void secondConnectionReplacesFirst()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        LinkClient first;
        QVERIFY(first.connectTo(UvcServicePort));
        QCOMPARE(first.request("[05]1"), QStringLiteral("[05]1,0"));
        LinkClient second;
        QVERIFY(second.connectTo(UvcServicePort));
        QVERIFY(first.waitClosed(kServiceHangMs));
        QCOMPARE(second.request("[05]2"), QStringLiteral("[05]2,0"));
        QVERIFY(korvid.running());   // closing the first did not end the service
        second.close();
        QCOMPARE(korvid.waitExit(kServiceHangMs), 10);
    }

    void portSearchSkipsFatherPort()
    {
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress(QStringLiteral("127.0.0.1")), UvcServicePort));
        QVERIFY(!listeningPorts().contains(FatherPort));
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false)));
        QVERIFY(waitListening(FatherPort + 1));
        QVERIFY(!listeningPorts().contains(FatherPort));
        LinkClient client;
        QVERIFY(client.connectTo(FatherPort + 1));
        QCOMPARE(client.request("[05]6"), QStringLiteral("[05]6,0"));
    }

    void idleWithStandardInputAtEnd()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(false), true));
        QVERIFY(waitListening(UvcServicePort));
        const qint64 pid = korvid.process().processId();
        const qint64 before = cpuTicks(pid);
        QVERIFY(before >= 0);
        QTest::qWait(1500);
        const qint64 used = cpuTicks(pid) - before;
        // Clock ticks are 1/100 s: a busy loop would use about 150 here.
        QVERIFY2(used <= 20, qPrintable(QStringLiteral("%1 ticks in 1.5 s").arg(used)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]0"), QStringLiteral("[05]0,0"));
    }

    // Row: the command-line argument (%1 = first folder, %2 = second), the text written to
    // standard input, the folder whose korvid.log gets the lines (empty: none anywhere), and a
    // text that must be in that log.
    void logFolder_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("stdinText");
        QTest::addColumn<QString>("logIn");
        QTest::addColumn<QString>("expected");
        QTest::newRow("argument") << QStringList{QStringLiteral("%1/")} << QString() << QStringLiteral("%1")
                                  << QStringLiteral("start korvid ...");
        QTest::newRow("standard input, trimmed") << QStringList{} << QStringLiteral("  %2/ \n")
                                                 << QStringLiteral("%2") << QStringLiteral("vq3 connect");
        QTest::newRow("standard input up to a zero byte")
            << QStringList{} << (QStringLiteral("%2/") + QChar(0) + QStringLiteral("%1/\n")) << QStringLiteral("%2")
            << QStringLiteral("vq3 connect");
        QTest::newRow("argument wins over standard input")
            << QStringList{QStringLiteral("%1/")} << QStringLiteral("%2/\n") << QStringLiteral("%1")
            << QStringLiteral("receive father process message:%2/");
        QTest::newRow("two arguments: no folder") << QStringList{QStringLiteral("%1/"), QStringLiteral("%2/")}
                                                  << QString() << QString() << QString();
        QTest::newRow("nothing: no log") << QStringList{} << QString() << QString() << QString();
    }

    void logFolder()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, stdinText);
        QFETCH(QString, logIn);
        QFETCH(QString, expected);
        QTemporaryDir one, two;
        QVERIFY(one.isValid() && two.isValid());
        auto fill = [&](QString s) { return s.replace(QLatin1String("%1"), one.path()).replace(QLatin1String("%2"), two.path()); };
        for (QString& a : args)
            a = fill(a);

        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), args, serviceEnvironment(false)));
        if (!stdinText.isEmpty()) {
            korvid.process().write(fill(stdinText).toUtf8());
            korvid.process().waitForBytesWritten(kServiceHangMs);
        }
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[05]0"), QStringLiteral("[05]0,0"));

        const QString logOne = readFile(one.filePath(QStringLiteral("korvid.log")));
        const QString logTwo = readFile(two.filePath(QStringLiteral("korvid.log")));
        if (logIn.isEmpty()) {
            QVERIFY(logOne.isEmpty());
            QVERIFY(logTwo.isEmpty());
            return;
        }
        const QString log = fill(logIn) == one.path() ? logOne : logTwo;
        const QString other = fill(logIn) == one.path() ? logTwo : logOne;
        QVERIFY2(log.contains(fill(expected)), qPrintable(log));
        QVERIFY(other.isEmpty());
        // Line form: "[hh:mm:ss] [source][line] text" for the service's own lines.
        const QRegularExpression line(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] \\[[^\\]]+\\.cpp\\]\\[\\d+\\] vq3 connect$"),
                                      QRegularExpression::MultilineOption);
        QVERIFY2(line.match(log).hasMatch(), qPrintable(log));
        QVERIFY(log.contains(QLatin1String("] Korvid::_tcpWrite command content: [05]0,0")));
    }

    void virtualCameraControlsAndStream()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(true)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[02]"), QStringLiteral("[02]00000001,"));

        using namespace pax_virtual;
        const Control controls[] = {Brightness, Contrast, Saturation, Sharpness, Gain, Exposure, ExposureMode, Focus, FocusMode};
        for (int type = 0; type <= 8; ++type) {
            const ControlRange r = controlRange(controls[type]);
            QString expected;
            if (type == 6 || type == 8) {
                expected = QStringLiteral("[06]0,%1,0,1").arg(type);   // both start automatic
            } else {
                const int cur = (type == 0 || type == 7) ? r.def : 0;  // only these read the current value
                expected = QStringLiteral("[06]0,%1,0,%2,%3,%4,%5").arg(type).arg(r.max).arg(r.min).arg(r.def).arg(cur);
            }
            QCOMPARE(client.request(QStringLiteral("[06]0,%1").arg(type).toLatin1()), expected);
        }
        QCOMPARE(client.request("[06]1,0"), QStringLiteral("[06]1,0,-1"));   // no second camera
        QCOMPARE(client.request("[07]0,0,17"), QStringLiteral("[07]0,0,0"));
        const ControlRange b = controlRange(Brightness);
        QCOMPARE(client.request("[06]0,0"), QStringLiteral("[06]0,0,0,%1,%2,%3,17").arg(b.max).arg(b.min).arg(b.def));
        QCOMPARE(client.request("[07]0,8,0"), QStringLiteral("[07]0,8,0"));
        QCOMPARE(client.request("[06]0,8"), QStringLiteral("[06]0,8,0,1"));   // the mode read reports the default

        MainFrameBlock block;
        QVERIFY2(block.open(), qPrintable(block.errorText()));
        auto cleanupBlock = qScopeGuard([&] { block.removeObjects(); });
        QByteArray stale;
        block.take(stale);
        QCOMPARE(client.request("[04]0,1280,720,30"), QStringLiteral("[04]0,0"));
        int frames = 0;
        QElapsedTimer t;
        t.start();
        while (frames < 3 && t.elapsed() < kServiceHangMs) {
            QByteArray jpeg;
            if (block.take(jpeg) == MainFrameBlock::TakeResult::Taken) {
                QVERIFY(jpeg.startsWith("\xff\xd8"));
                const QImage img = QImage::fromData(jpeg, "JPG");
                QCOMPARE(img.size(), QSize(1280, 720));
                ++frames;
            } else {
                QTest::qWait(10);
            }
        }
        QCOMPARE(frames, 3);
        QCOMPARE(client.request("[05]0"), QStringLiteral("[05]0,0"));
        client.close();
        QCOMPARE(korvid.waitExit(kServiceHangMs), 10);
        // The stream ended with the service: after the frame it may have left, nothing new.
        QByteArray rest;
        block.take(rest);
        QCOMPARE(block.take(rest), MainFrameBlock::TakeResult::Empty);
    }

    // Row: a control write to the open virtual camera and the result it gets. A value past the
    // width the control has at the camera is refused (-1) and sets nothing; one within it goes to
    // the camera, which refuses what is outside its range (-2).
    void controlWriteValueWidth_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("result");
        QTest::newRow("brightness past 16 bits, cut to -1") << 0 << qint64(65535) << -1;
        QTest::newRow("brightness of the int range, cut to -1") << 0 << qint64(2147483647) << -1;
        QTest::newRow("brightness below 16 bits, cut to 0") << 0 << qint64(-65536) << -1;
        QTest::newRow("brightness one past 16 bits") << 0 << qint64(32768) << -1;
        QTest::newRow("brightness at the end of 16 bits") << 0 << qint64(-32768) << -2;
        QTest::newRow("contrast past 16 bits, cut to 50") << 1 << qint64(65536 + 50) << -1;
        QTest::newRow("contrast at the end of 16 bits") << 1 << qint64(65535) << -2;
        QTest::newRow("negative contrast") << 1 << qint64(-1) << -1;
        QTest::newRow("negative exposure") << 5 << qint64(-1) << -1;
        QTest::newRow("focus past 16 bits, cut to 512") << 7 << qint64(65536 + 512) << -1;
        QTest::newRow("focus mode takes any value") << 8 << qint64(70000) << 0;
        QTest::newRow("brightness within its range") << 0 << qint64(-64) << 0;
    }

    void controlWriteValueWidth()
    {
        QFETCH(int, type);
        QFETCH(qint64, value);
        QFETCH(int, result);
        const bool fresh = !m_shared;
        QVERIFY(startShared(true));
        if (fresh)
            QCOMPARE(m_sharedClient->request("[02]"), QStringLiteral("[02]00000001,"));
        QVERIFY(m_shared->running());
        const QString request = QStringLiteral("[07]0,%1,%2").arg(type).arg(value);
        QCOMPARE(m_sharedClient->request(request.toLatin1()), QStringLiteral("[07]0,%1,%2").arg(type).arg(result));
        // Brightness and focus read their current values: a refused write left them alone.
        using namespace pax_virtual;
        const ControlRange b = controlRange(Brightness);
        const ControlRange f = controlRange(Focus);
        const int brightness = type == 0 && result == 0 ? int(value) : b.def;
        QCOMPARE(m_sharedClient->request("[06]0,0"),
                 QStringLiteral("[06]0,0,0,%1,%2,%3,%4").arg(b.max).arg(b.min).arg(b.def).arg(brightness));
        QCOMPARE(m_sharedClient->request("[06]0,7"),
                 QStringLiteral("[06]0,7,0,%1,%2,%3,%3").arg(f.max).arg(f.min).arg(f.def));
        if (type == 0 && result == 0)
            QCOMPARE(m_sharedClient->request(QStringLiteral("[07]0,0,%1").arg(b.def).toLatin1()), QStringLiteral("[07]0,0,0"));
    }

    void virtualCameraSearch()
    {
        ChildProcess korvid;
        QVERIFY(korvid.start(QStringLiteral("Korvid"), {}, serviceEnvironment(true)));
        LinkClient client;
        QVERIFY(client.connectTo(UvcServicePort));
        QCOMPARE(client.request("[01]"), QStringLiteral("[01]00000001,"));
        QCOMPARE(korvid.waitExit(kServiceHangMs), 11);
    }
};

QTEST_GUILESS_MAIN(TestKorvid)
#include "tst_korvid.moc"
