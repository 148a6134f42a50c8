// MacUvcClient against a scripted fake Korvid on 127.0.0.1:11080 and a fake launcher on 11081.

#include "fakeservers.h"
#include "logcapture.h"
#include "macuvcclient.h"
#include "mainframeblock.h"

#include <QtTest>

#include <QTemporaryDir>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

using ClientOp = std::function<int(MacUvcClient*)>;
using Pieces = QList<FakeServer::Piece>;
Q_DECLARE_METATYPE(ClientOp)
Q_DECLARE_METATYPE(Pieces)

namespace {

// Ceiling of every wait, and the wait limit of a client whose requests are answered: only a
// hang reaches it.
constexpr int kHangMs = 60000;

FakeServer::Script always(const Pieces& pieces)
{
    return [pieces](const QString&) { return pieces; };
}

Pieces reply(const QByteArray& payload, int delayMs = 0)
{
    return Pieces{FakeServer::Piece{delayMs, UvcLinkFrame::encode(QString::fromLatin1(payload)), false}};
}

QTcpSocket* commandSocket(MacUvcClient* c)
{
    for (QTcpSocket* s : c->findChildren<QTcpSocket*>())
        if (s->peerPort() == UvcServicePort)
            return s;
    return nullptr;
}

bool linked(MacUvcClient* c)
{
    const QTcpSocket* s = commandSocket(c);
    return s && s->state() == QAbstractSocket::ConnectedState;
}

// The client's two sockets in the order it makes them: the command link's, then the father link's.
QTcpSocket* socketOf(MacUvcClient* c, int which)
{
    return c->findChildren<QTcpSocket*>(QString(), Qt::FindDirectChildrenOnly).value(which);
}

QTcpSocket* fatherSocket(MacUvcClient* c)
{
    return socketOf(c, 1);
}

// True once a connection attempt of `s` was refused.
bool refused(const QTcpSocket* s)
{
    return s && s->state() == QAbstractSocket::UnconnectedState && s->error() == QAbstractSocket::ConnectionRefusedError;
}

// The reply the fake service gives `request`, to be sent by the test when it chooses.
QByteArray korvidReply(const QString& request)
{
    QByteArray bytes;
    for (const FakeServer::Piece& p : FakeServer::korvidLike(request))
        bytes += p.bytes;
    return bytes;
}

// Runs fn on a thread of its own; join() waits for it and returns its result.
class Runner
{
public:
    explicit Runner(std::function<int()> fn)
        : m_thread(QThread::create([this, fn] { m_result = fn(); }))
    {
        m_thread->start();
    }
    ~Runner()
    {
        m_thread->wait();
        delete m_thread;
    }
    int join()
    {
        // The caller may own the client: keep its events flowing meanwhile.
        while (!m_thread->wait(5))
            QCoreApplication::processEvents();
        return m_result;
    }

private:
    std::atomic<int> m_result{1};
    QThread* m_thread;
};

// Runs `body(k)` for k = 0 .. threads-1, each on a thread of its own at once, and waits for all.
void runOnThreads(int threads, const std::function<void(int)>& body)
{
    std::vector<std::unique_ptr<Runner>> runners;
    for (int k = 0; k < threads; ++k) {
        runners.push_back(std::make_unique<Runner>([&body, k] {
            body(k);
            return 0;
        }));
    }
    for (auto& r : runners)
        r->join();
}

// The Qt messages logged while alive, counted by function tag and text.
class MessageCapture : public LogCapture
{
public:
    // Number of tagged lines of `function` whose text is `text`.
    int count(const QString& function, const QString& text) const
    {
        return LogCapture::count([&](const QString& l) {
            return l.contains(QLatin1String("][") + function + QLatin1String("][")) &&
                   l.endsWith(QLatin1String("] ") + text);
        });
    }
};

} // namespace

class tst_MacUvcClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandTexts_data();
    void commandTexts();
    void controlValues();
    void replyResults_data();
    void replyResults();
    void failedGetLeavesInfoUntouched();
    void searchDevice_data();
    void searchDevice();

    void noServer();
    void lateReplyEndsNextWait();
    void occupiedWhileWaiting();
    void concurrentRequestsSendOneAtATime();
    void noticeNeverFreesClaimedRequest();
    void requestsFromForeignThreads();

    void closedAfterIsRelease();
    void isReleaseWhileWaiting();
    void isReleaseDuringSwitch();
    void interruptEndsWaits_data();
    void interruptEndsWaits();

    void switchWithoutBlock();
    void switchAndPlay();
    void switchFailsWhenServiceSilent();
    void switchBackWithServiceGone();
    void frames();
    void corruptCountIsNoFrame_data();
    void corruptCountIsNoFrame();
    void destructionRemovesBlock();

    void reconnectsAfterRefusedConnection();
    void reconnectsAfterDisconnect();
    void searchThenOpenWaitsForRestart();

    void logDirSentOnceWhenLauncherComesUp();
    void resetServer();
    void resetServerWaitsPastLinkToEndingService();
    void resetServerLogsReconnect_data();
    void resetServerLogsReconnect();

    void timeoutAfterTenSeconds();

private:
    MacUvcClient* makeClient(int waitLimit = kHangMs, bool waitForLink = true);
    // A fake launcher on the father port whose reset ("[02]") drops the service's client, as a
    // restart does; with abandonFirst the ending service still takes the next connection, then drops it.
    bool startRestartingLauncher(bool abandonFirst = false);
    // A restarting launcher (startRestartingLauncher) and a client linked on both links whose
    // resetServer() is called. Failures are reported through QTest (the caller checks
    // QTest::currentTestFailed()); the client, for further checks.
    MacUvcClient* resetThroughLauncher(bool abandonFirst);
    // A client living on a thread of its own, linked; null when the link did not come up.
    MacUvcClient* makeThreadedClient();
    bool makeBlock();

    std::unique_ptr<FakeServer> m_korvid;
    std::unique_ptr<FakeServer> m_father;
    MacUvcClient* m_client = nullptr;
    QThread* m_clientThread = nullptr;
    std::unique_ptr<QTemporaryDir> m_blockDir;
    std::unique_ptr<MainFrameBlock> m_writer;
};

void tst_MacUvcClient::init()
{
    m_korvid = std::make_unique<FakeServer>();
    // The port may still be held for a moment by a service that is ending.
    QVERIFY(FakeServer::waitUntil([this] { return m_korvid->listen(UvcServicePort); }, kHangMs));
    m_korvid->setScript(&FakeServer::korvidLike);
}

void tst_MacUvcClient::cleanup()
{
    if (m_client) {
        if (m_clientThread)
            QMetaObject::invokeMethod(m_client, [c = m_client] { delete c; }, Qt::BlockingQueuedConnection);
        else
            delete m_client;
        m_client = nullptr;
    }
    if (m_clientThread) {
        m_clientThread->quit();
        m_clientThread->wait();
        delete m_clientThread;
        m_clientThread = nullptr;
    }
    m_korvid.reset();
    m_father.reset();
    if (m_writer && m_writer->isAttached())
        m_writer->removeObjects();
    m_writer.reset();
    m_blockDir.reset();
}

bool tst_MacUvcClient::startRestartingLauncher(bool abandonFirst)
{
    m_father = std::make_unique<FakeServer>();
    if (!FakeServer::waitUntil([this] { return m_father->listen(FatherPort); }, kHangMs))
        return false;
    FakeServer* korvid = m_korvid.get();
    m_father->setScript([korvid, abandonFirst](const QString& r) {
        if (r == QLatin1String("[02]")) {
            if (abandonFirst)
                korvid->abandonNextConnection(50);
            korvid->dropClient();
        }
        return Pieces{};
    });
    return true;
}

MacUvcClient* tst_MacUvcClient::resetThroughLauncher(bool abandonFirst)
{
    MacUvcClient* c = nullptr;
    [&] {
        QVERIFY(startRestartingLauncher(abandonFirst));
        c = makeClient();
        QTRY_VERIFY_WITH_TIMEOUT(m_father->hasClient(), kHangMs);
        // The client's end of the father link is up too.
        QVERIFY(FakeServer::waitUntil(
            [c] { return fatherSocket(c) && fatherSocket(c)->state() == QAbstractSocket::ConnectedState; }, kHangMs));
        c->resetServer();   // returns: its own waits are bounded, a hang ends the test at its ceiling
    }();
    return c;
}

MacUvcClient* tst_MacUvcClient::makeClient(int waitLimit, bool waitForLink)
{
    m_client = new MacUvcClient(nullptr);
    if (waitLimit > 0)
        m_client->setWaitLimit(waitLimit);
    if (waitForLink) {
        QElapsedTimer t;
        t.start();
        while (!linked(m_client) && t.elapsed() < kHangMs)
            QTest::qWait(5);
    }
    return m_client;
}

MacUvcClient* tst_MacUvcClient::makeThreadedClient()
{
    m_clientThread = new QThread;
    m_clientThread->start();
    MacUvcClient* c = makeClient();
    c->moveToThread(m_clientThread);
    return FakeServer::waitUntil([c] { return linked(c); }, kHangMs) ? c : nullptr;
}

bool tst_MacUvcClient::makeBlock()
{
    m_blockDir = std::make_unique<QTemporaryDir>();
    m_writer = std::make_unique<MainFrameBlock>();
    if (!m_writer->create(m_blockDir->path()))
        return false;
    if (m_client)
        m_client->setFrameBlockKeyPath(m_blockDir->path());
    return true;
}

// ---- messages --------------------------------------------------------------------------------

void tst_MacUvcClient::commandTexts_data()
{
    QTest::addColumn<ClientOp>("op");
    QTest::addColumn<QString>("sent");

    PaxUvcControl::_CameraInfo* info = nullptr;   // the result values are checked elsewhere
    static PaxUvcControl::_CameraInfo sink;
    static bool flag;
    info = &sink;
#define ROW_VALUE(Name, Type) \
    QTest::newRow("get" #Name) << ClientOp([info](MacUvcClient* c) { return c->get##Name##Info(1, info); }) \
                               << QStringLiteral("[06]1,%1").arg(int(Type)); \
    QTest::newRow("set" #Name) << ClientOp([](MacUvcClient* c) { return c->set##Name(0, 42); }) \
                               << QStringLiteral("[07]0,%1,42").arg(int(Type));
#define ROW_MODE(Name, Type) \
    QTest::newRow("get" #Name) << ClientOp([](MacUvcClient* c) { return c->get##Name##Info(0, &flag); }) \
                               << QStringLiteral("[06]0,%1").arg(int(Type)); \
    QTest::newRow("set" #Name " auto") << ClientOp([](MacUvcClient* c) { return c->set##Name(0, true); }) \
                                       << QStringLiteral("[07]0,%1,1").arg(int(Type)); \
    QTest::newRow("set" #Name " manual") << ClientOp([](MacUvcClient* c) { return c->set##Name(1, false); }) \
                                         << QStringLiteral("[07]1,%1,0").arg(int(Type));
    MAC_UVC_VALUE_CONTROLS(ROW_VALUE)
    MAC_UVC_MODE_CONTROLS(ROW_MODE)
#undef ROW_VALUE
#undef ROW_MODE
    QTest::newRow("negative exposure") << ClientOp([](MacUvcClient* c) { return c->setExposure(0, -3); })
                                       << QStringLiteral("[07]0,5,-3");
    QTest::newRow("start via service") << ClientOp([](MacUvcClient* c) {
        return c->startPlayCamera(0, 1280, 720, 30, true);
    }) << QStringLiteral("[04]0,1280,720,30");
    QTest::newRow("open") << ClientOp([](MacUvcClient* c) { return c->openDevice(); }) << QStringLiteral("[02]");
    QTest::newRow("close") << ClientOp([](MacUvcClient* c) { return c->closeDevice(); }) << QStringLiteral("[03]");
}

void tst_MacUvcClient::commandTexts()
{
    QFETCH(ClientOp, op);
    QFETCH(QString, sent);
    MacUvcClient* c = makeClient();
    QVERIFY(linked(c));
    QCOMPARE(op(c), 0);
    QCOMPARE(m_korvid->received(), QStringList{sent});
}

void tst_MacUvcClient::controlValues()
{
    MacUvcClient* c = makeClient();
    struct Get
    {
        const char* name;
        int type;
        std::function<int(PaxUvcControl::_CameraInfo*)> get;
    };
    const QList<Get> gets{
        {"brightness", 0, [c](auto* i) { return c->getBrightnessInfo(0, i); }},
        {"contrast", 1, [c](auto* i) { return c->getContrastInfo(0, i); }},
        {"saturation", 2, [c](auto* i) { return c->getSaturationInfo(0, i); }},
        {"sharpness", 3, [c](auto* i) { return c->getSharpnessInfo(0, i); }},
        {"gain", 4, [c](auto* i) { return c->getGainInfo(0, i); }},
        {"exposure", 5, [c](auto* i) { return c->getExposureInfo(0, i); }},
        {"focus", 7, [c](auto* i) { return c->getFocusInfo(0, i); }},
    };
    for (const Get& g : gets) {
        PaxUvcControl::_CameraInfo info{-5, -5, -5, -5};
        QCOMPARE(g.get(&info), 0);
        QVERIFY2(info.max == 255 + g.type && info.min == -g.type && info.def == 128 + g.type
                     && info.cur == 100 + g.type,
                 g.name);
    }
    bool automatic = false;
    QCOMPARE(c->getExposureModeInfo(0, &automatic), 0);
    QCOMPARE(automatic, true);
    automatic = true;
    QCOMPARE(c->getFocusModeInfo(0, &automatic), 0);
    QCOMPARE(automatic, false);
}

void tst_MacUvcClient::replyResults_data()
{
    QTest::addColumn<ClientOp>("op");
    QTest::addColumn<Pieces>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("notices");

    static PaxUvcControl::_CameraInfo info;
    static bool flag;
    const ClientOp getBrightness0 = [](MacUvcClient* c) { return c->getBrightnessInfo(0, &info); };
    const ClientOp getBrightness1 = [](MacUvcClient* c) { return c->getBrightnessInfo(1, &info); };
    const ClientOp getGain0 = [](MacUvcClient* c) { return c->getGainInfo(0, &info); };
    const ClientOp getExpMode0 = [](MacUvcClient* c) { return c->getExposureModeInfo(0, &flag); };
    const ClientOp setBrightness0 = [](MacUvcClient* c) { return c->setBrightness(0, 5); };
    const ClientOp startPlay0 = [](MacUvcClient* c) { return c->startPlayCamera(0, 640, 480, 30, true); };

    const QByteArray good = UvcLinkFrame::encode("[06]0,0,0,255,0,128,100");
    QTest::newRow("reply split in three reads")
        << getBrightness0
        << Pieces{{0, good.left(2), false}, {40, good.mid(2, 3), false}, {40, good.mid(5), false}} << 0 << 0;
    QTest::newRow("wrong camera index") << getBrightness1 << reply("[06]0,0,0,255,0,128,100") << -98 << 0;
    QTest::newRow("wrong control type") << getGain0 << reply("[06]0,0,0,255,0,128,100") << -97 << 0;
    QTest::newRow("uvc error") << getBrightness0 << reply("[06]0,0,-2") << -96 << 0;
    QTest::newRow("set result -100 reads as unset") << setBrightness0 << reply("[07]0,0,-100") << -99 << 0;
    QTest::newRow("set result -1") << setBrightness0 << reply("[07]0,0,-1") << -96 << 0;
    QTest::newRow("set ok") << setBrightness0 << reply("[07]0,0,0") << 0 << 0;
    QTest::newRow("device notice ends the wait") << getGain0 << reply("[08]") << -98 << 1;
    QTest::newRow("unknown head ends the wait") << getGain0 << reply("[09]0,4,0") << -98 << 0;
    QTest::newRow("empty payload ends the wait")
        << getGain0 << Pieces{{0, UvcLinkFrame::header(0), false}} << -98 << 0;
    QTest::newRow("value reply without values") << getBrightness0 << reply("[06]0,0,0,255") << -99 << 0;
    QTest::newRow("mode reply without flag") << getExpMode0 << reply("[06]0,6,0") << -99 << 0;
    QTest::newRow("set reply with index only") << setBrightness0 << reply("[07]0") << -97 << 0;
    QTest::newRow("junk, reply and notice in one read")
        << getBrightness0
        << Pieces{{0, "xyz" + UvcLinkFrame::encode("[06]0,0,0,1,2,3,4") + UvcLinkFrame::encode("[08]"), false}}
        << 0 << 1;
    QTest::newRow("notice first answers the request")
        << getBrightness0
        << Pieces{{0, UvcLinkFrame::encode("[08]") + UvcLinkFrame::encode("[06]0,0,0,1,2,3,4"), false}} << -98 << 1;
    QTest::newRow("start play other index") << startPlay0 << reply("[04]1,0") << -98 << 0;
    QTest::newRow("start play failed") << startPlay0 << reply("[04]0,-1") << -96 << 0;
    QTest::newRow("start play without result") << startPlay0 << reply("[04]0") << -99 << 0;
    QTest::newRow("letter as index reads 0") << getBrightness0 << reply("[06]a,0,0,9,8,7,6") << 0 << 0;
    QTest::newRow("long reply is still read")
        << getBrightness0 << reply("[06]0,0,0,1,2,3,4," + QByteArray(1500, '7')) << 0 << 0;
}

void tst_MacUvcClient::replyResults()
{
    QFETCH(ClientOp, op);
    QFETCH(Pieces, answer);
    QFETCH(int, result);
    QFETCH(int, notices);
    m_korvid->setScript(always(answer));
    MacUvcClient* c = makeClient();
    QSignalSpy spy(c, &MacUvcClient::sigOutdeviceInOut);
    QCOMPARE(op(c), result);   // the reply ends the wait: no time-out result
    QCOMPARE(spy.count(), notices);
    QCOMPARE(m_korvid->received().size(), 1);
}

void tst_MacUvcClient::failedGetLeavesInfoUntouched()
{
    m_korvid->setScript(always(reply("[06]0,0,0,255,0,128,100")));
    MacUvcClient* c = makeClient();
    PaxUvcControl::_CameraInfo info{1, 2, 3, 4};
    QCOMPARE(c->getBrightnessInfo(1, &info), int(MUCR_CAMERA_INDEX_FAILD));
    QCOMPARE(info.max, 1);
    QCOMPARE(info.min, 2);
    QCOMPARE(info.def, 3);
    QCOMPARE(info.cur, 4);
    QCOMPARE(c->getBrightnessInfo(0, &info), 0);
    QCOMPARE(info.max, 255);
    QCOMPARE(info.def, 128);
    QCOMPARE(info.cur, 100);
}

void tst_MacUvcClient::searchDevice_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("mainIds");
    QTest::addColumn<QString>("secondIds");
    QTest::addColumn<int>("notices");
    QTest::newRow("both cameras") << QByteArray("[01]00000001,00000002") << "00000001" << "00000002" << 0;
    QTest::newRow("main only") << QByteArray("[01]00000001,") << "00000001" << "" << 0;
    QTest::newRow("none") << QByteArray("[01],") << "" << "" << 0;
    QTest::newRow("no comma") << QByteArray("[01]") << "" << "" << 0;
    QTest::newRow("device notice instead") << QByteArray("[08]") << "" << "" << 1;
}

void tst_MacUvcClient::searchDevice()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, mainIds);
    QFETCH(QString, secondIds);
    QFETCH(int, notices);
    m_korvid->setScript(always(reply(answer)));
    MacUvcClient* c = makeClient();
    QSignalSpy spy(c, &MacUvcClient::sigOutdeviceInOut);
    QString m = "old", s = "old";
    QCOMPARE(c->searchDevice(m, s), 0);
    QCOMPARE(m, mainIds);
    QCOMPARE(s, secondIds);
    QCOMPARE(spy.count(), notices);
    QCOMPARE(m_korvid->received(), QStringList{"[01]"});
}

// ---- request protocol ------------------------------------------------------------------------

void tst_MacUvcClient::noServer()
{
    m_korvid->stop();
    MacUvcClient* c = makeClient(300, false);
    QVERIFY(FakeServer::waitUntil([c] { return refused(socketOf(c, 0)); }, kHangMs));
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getBrightnessInfo(0, &info), int(MUCR_CONNECT_SERVER_FAILD));
    QCOMPARE(c->setGain(0, 1), int(MUCR_CONNECT_SERVER_FAILD));
    QCOMPARE(c->startPlayCamera(0, 640, 480, 30, true), int(MUCR_CONNECT_SERVER_FAILD));
    QVERIFY(m_korvid->received().isEmpty());
    // search, open and close wait for the link first, up to the wait limit...
    QString m, s;
    QCOMPARE(c->searchDevice(m, s), int(MUCR_CONNECT_SERVER_FAILD));
    QCOMPARE(c->openDevice(), int(MUCR_CONNECT_SERVER_FAILD));
    // ...and go out once it comes up meanwhile.
    c->setWaitLimit(kHangMs);
    Runner search([c] {
        QString main, second;
        return c->searchDevice(main, second);
    });
    QVERIFY(m_korvid->listen(UvcServicePort));
    QCOMPARE(search.join(), 0);
    QCOMPARE(m_korvid->received(), QStringList{"[01]"});
}

void tst_MacUvcClient::lateReplyEndsNextWait()
{
    m_korvid->setScript(always({}));   // the test sends the reply itself
    MacUvcClient* c = makeClient(300);
    QCOMPARE(c->setGain(0, 3), int(MUCR_TIMEOUT));
    // Its reply comes after the wait ended; the next request takes it, as it echoes its index and type.
    m_korvid->send(UvcLinkFrame::encode("[07]0,4,0"));
    c->setWaitLimit(kHangMs);
    QCOMPARE(c->setGain(0, 4), 0);
    // The second request went out too (the reply it took may have come before it arrived).
    QVERIFY(FakeServer::waitUntil([this] { return m_korvid->received().size() == 2; }, kHangMs));
    QCOMPARE(m_korvid->received(), (QStringList{"[07]0,4,3", "[07]0,4,4"}));
}

void tst_MacUvcClient::occupiedWhileWaiting()
{
    m_korvid->setScript(always({}));   // the reply goes out when the test sends it
    MacUvcClient* c = makeThreadedClient();
    QVERIFY(c);

    PaxUvcControl::_CameraInfo first{};
    Runner waiting([c, &first] { return c->getFocusInfo(0, &first); });
    QVERIFY(FakeServer::waitUntil([this] { return m_korvid->received().size() == 1; }, kHangMs));
    PaxUvcControl::_CameraInfo second{7, 7, 7, 7};
    QCOMPARE(c->getBrightnessInfo(0, &second), int(MUCR_OCCUPATION));
    QCOMPARE(c->setFocus(0, 1), int(MUCR_OCCUPATION));
    QCOMPARE(second.max, 7);
    m_korvid->send(korvidReply(QStringLiteral("[06]0,7")));
    QCOMPARE(waiting.join(), 0);
    QCOMPARE(first.max, 255 + 7);
    QCOMPARE(m_korvid->received(), QStringList{"[06]0,7"});
    // Idle again afterwards.
    m_korvid->setScript(&FakeServer::korvidLike);
    QCOMPARE(c->getBrightnessInfo(0, &second), 0);
}

void tst_MacUvcClient::concurrentRequestsSendOneAtATime()
{
    m_korvid->setScript(FakeServer::korvidLikeAfter(2));
    MacUvcClient* c = makeThreadedClient();
    QVERIFY(c);

    std::atomic<int> ok{0}, busy{0}, other{0}, wrongValue{0};
    runOnThreads(6, [&](int k) {
        for (int i = 0; i < 40; ++i) {
            PaxUvcControl::_CameraInfo info{};
            const int type = (k + i) % 2 == 0 ? 4 : 2;   // gain or saturation
            const int r = type == 4 ? c->getGainInfo(0, &info) : c->getSaturationInfo(0, &info);
            if (r == 0) {
                ++ok;
                if (info.max != 255 + type)
                    ++wrongValue;   // took another request's reply
            } else if (r == MUCR_OCCUPATION) {
                ++busy;
                QThread::usleep(200);
            } else {
                ++other;
            }
        }
    });
    QCOMPARE(other.load(), 0);
    QCOMPARE(wrongValue.load(), 0);
    QCOMPARE(m_korvid->maxOutstanding(), 1);
    QCOMPARE(m_korvid->received().size(), ok.load());
    QVERIFY(ok.load() > 0);
    QCOMPARE(ok.load() + busy.load(), 240);
}

// Device-change notices arrive right behind every reply, so they often come while the next
// request is being claimed. A notice ends a waiting request but must never free the client
// between a request's claim and its registration: a second request would then take over the
// first one's reply, and the first would wait out its whole limit.
void tst_MacUvcClient::noticeNeverFreesClaimedRequest()
{
    m_korvid->setScript([](const QString& request) {
        QList<FakeServer::Piece> pieces = FakeServer::korvidLike(request);
        if (!pieces.isEmpty()) {
            for (int i = 0; i < 4; ++i)
                pieces.first().bytes += UvcLinkFrame::encode(QString::fromLatin1(UvcNotifyDeviceChange));
        }
        return pieces;
    });
    MacUvcClient* c = makeThreadedClient();
    QVERIFY(c);

    // A request that lost its reply waits out its whole limit and reports a time-out.
    constexpr int kPerThread = 150;
    std::atomic<int> answered{0}, timedOut{0}, other{0};
    runOnThreads(4, [&](int) {
        int mine = 0;
        while (mine < kPerThread && timedOut.load() == 0) {
            PaxUvcControl::_CameraInfo info{};
            const int r = c->getGainInfo(0, &info);
            if (r == 0 || r == MUCR_CAMERA_INDEX_FAILD) {   // a reply, or ended by a notice
                ++answered;
                ++mine;
            } else if (r == MUCR_TIMEOUT) {
                ++timedOut;
            } else if (r != MUCR_OCCUPATION) {
                ++other;
            }
        }
    });
    QCOMPARE(timedOut.load(), 0);
    QCOMPARE(other.load(), 0);
    QCOMPARE(answered.load(), 4 * kPerThread);
}

void tst_MacUvcClient::requestsFromForeignThreads()
{
    // The client lives in this (main) thread; requests come from other threads, whose wait is
    // woken by the reply rather than by polling.
    // How long such a request takes is a figure of bench_uvcclient (BM_ControlReadRoundTrip).
    MacUvcClient* c = makeClient();
    QSignalSpy spy(c, &MacUvcClient::sigOutdeviceInOut);
    Runner r([c] {
        int failures = 0;
        for (int i = 0; i < 20; ++i) {
            PaxUvcControl::_CameraInfo info{};
            failures += c->getSharpnessInfo(1, &info) != 0 || info.def != 128 + 3;
        }
        return failures;
    });
    QCOMPARE(r.join(), 0);
    m_korvid->send(UvcLinkFrame::encode("[08]"));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, kHangMs);
}

// ---- shut-down rule --------------------------------------------------------------------------

void tst_MacUvcClient::closedAfterIsRelease()
{
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    QCOMPARE(c->isRelease(), false);
    PaxUvcControl::_CameraInfo info;
    bool flag;
    QString m, s;
    QCOMPARE(c->getBrightnessInfo(0, &info), int(MUCR_CLOSED));
    QCOMPARE(c->setFocusMode(0, true), int(MUCR_CLOSED));
    QCOMPARE(c->getExposureModeInfo(0, &flag), int(MUCR_CLOSED));
    QCOMPARE(c->searchDevice(m, s), int(MUCR_CLOSED));
    QCOMPARE(c->openDevice(), int(MUCR_CLOSED));
    QCOMPARE(c->startPlayCamera(0, 640, 480, 30, true), int(MUCR_CLOSED));
    QCOMPARE(c->switchWorkMode(1), int(MUCR_CLOSED));
    QCOMPARE(c->getWorkMode(), 0);
    QCOMPARE(c->isRelease(), false);
    QVERIFY(m_korvid->received().isEmpty());
}

void tst_MacUvcClient::isReleaseWhileWaiting()
{
    m_korvid->setScript(always({}));   // the reply goes out when the test sends it
    MacUvcClient* c = makeClient();
    Runner waiting([c] { return c->setSharpness(0, 9); });
    QVERIFY(FakeServer::waitUntil([this] { return m_korvid->received().size() == 1; }, kHangMs));
    QCOMPARE(c->isRelease(), true);   // a request is outstanding; the client is closed meanwhile
    m_korvid->send(korvidReply(QStringLiteral("[07]0,3,9")));
    QCOMPARE(waiting.join(), 0);      // the waiting request completes normally
    QCOMPARE(c->isRelease(), false);
    QCOMPARE(c->setSharpness(0, 1), int(MUCR_CLOSED));
    QCOMPARE(m_korvid->received().size(), 1);
}

void tst_MacUvcClient::interruptEndsWaits_data()
{
    QTest::addColumn<bool>("serviceUp");
    QTest::newRow("search waiting for the link") << false;
    QTest::newRow("search waiting for its reply") << true;
}

// An ending program interrupts the client: a search waiting for the link or for its reply ends
// at once, well inside its wait limit, and later requests are refused.
void tst_MacUvcClient::interruptEndsWaits()
{
    QFETCH(bool, serviceUp);
    if (serviceUp)
        m_korvid->setScript(always({}));   // no reply ever comes
    else
        m_korvid->stop();
    MacUvcClient* c = makeClient(0, serviceUp);
    c->setWaitLimit(kHangMs);   // the ceiling: before it only the interruption ends the wait
    Runner search([c] {
        QString main, second;
        return c->searchDevice(main, second);
    });
    if (serviceUp)
        QVERIFY(FakeServer::waitUntil([this] { return m_korvid->received().size() == 1; }, kHangMs));
    c->interrupt();
    QCOMPARE(search.join(), int(MUCR_CLOSED));
    QVERIFY(c->isInterrupted());
    QString main, second;
    QCOMPARE(c->searchDevice(main, second), int(MUCR_CLOSED));
}

void tst_MacUvcClient::isReleaseDuringSwitch()
{
    m_korvid->setScript(always({}));   // the reply goes out when the test sends it
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    Runner switching([c] { return c->switchWorkMode(1); });
    QVERIFY(FakeServer::waitUntil([this] { return m_korvid->received().size() == 1; }, kHangMs));
    QCOMPARE(c->isRelease(), true);   // not closed by this call
    m_korvid->setScript(&FakeServer::korvidLike);
    m_korvid->send(korvidReply(QStringLiteral("[02]")));
    QCOMPARE(switching.join(), 0);
    QCOMPARE(c->getWorkMode(), 1);
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getBrightnessInfo(0, &info), 0);
    QCOMPARE(c->isRelease(), false);
    QCOMPARE(c->getBrightnessInfo(0, &info), int(MUCR_CLOSED));
}

// ---- work modes and frames -------------------------------------------------------------------

void tst_MacUvcClient::switchWithoutBlock()
{
    MacUvcClient* c = makeClient();
    QTemporaryDir empty;
    c->setFrameBlockKeyPath(empty.path());   // no block made for this key
    QCOMPARE(c->switchWorkMode(1), int(MUCR_CONNECT_SERVER_FAILD));
    QCOMPARE(c->getWorkMode(), 0);
    QVERIFY(m_korvid->received().isEmpty());
    QCOMPARE(c->isRelease(), false);   // the switching flag was cleared
}

void tst_MacUvcClient::switchAndPlay()
{
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    c->setCameraName(0, "Main");
    c->setCameraName(1, "Second");
    // Mode 0: previews are local, nothing goes to the service.
    QCOMPARE(c->startPlayCamera(0, 1280, 720, 30, false), 0);
    QCOMPARE(c->stopPlayCamera(0), 0);
    QVERIFY(m_korvid->received().isEmpty());

    QCOMPARE(c->switchWorkMode(1), 0);
    QCOMPARE(c->getWorkMode(), 1);
    QCOMPARE(c->switchWorkMode(1), 0);   // already there: nothing sent
    QCOMPARE(m_korvid->received(), QStringList{"[02]"});

    QCOMPARE(c->startPlayCamera(0, 1920, 1080, 30, false), 0);
    QCOMPARE(c->startPlayCamera(1, 640, 480, 30, false), 0);   // the second camera stays local
    QCOMPARE(c->stopPlayCamera(1), 0);
    QCOMPARE(c->stopPlayCamera(0), 0);
    QCOMPARE(m_korvid->received(), (QStringList{"[02]", "[04]0,1920,1080,30", "[05]0"}));

    QCOMPARE(c->switchWorkMode(0), 0);
    QCOMPARE(c->getWorkMode(), 0);
    QCOMPARE(m_korvid->received().last(), QStringLiteral("[03]"));
    const int sent = m_korvid->received().size();
    QCOMPARE(c->startPlayCamera(0, 1920, 1080, 30, false), 0);
    QCOMPARE(m_korvid->received().size(), sent);
}

void tst_MacUvcClient::switchFailsWhenServiceSilent()
{
    m_korvid->setScript(always({}));
    MacUvcClient* c = makeClient(300);
    QVERIFY(makeBlock());
    QCOMPARE(c->switchWorkMode(1), int(MUCR_TIMEOUT));
    QCOMPARE(c->getWorkMode(), 0);
    QCOMPARE(c->isRelease(), false);
}

void tst_MacUvcClient::switchBackWithServiceGone()
{
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    QCOMPARE(c->switchWorkMode(1), 0);
    m_korvid->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!linked(c), kHangMs);
    // Nothing listens any more: the wait for the link can only end at its limit.
    c->setWaitLimit(400);
    QCOMPARE(c->switchWorkMode(0), 0);   // closeDevice's failure is not looked at
    QCOMPARE(c->getWorkMode(), 0);
    QCOMPARE(m_korvid->received(), QStringList{"[02]"});

    // closeDevice waits for the link: a service back meanwhile gets the close.
    c->setWaitLimit(kHangMs);
    QVERIFY(m_korvid->listen(UvcServicePort));
    QTRY_VERIFY_WITH_TIMEOUT(linked(c), kHangMs);
    QCOMPARE(c->switchWorkMode(1), 0);
    m_korvid->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!linked(c), kHangMs);
    Runner switching([c] { return c->switchWorkMode(0); });
    QVERIFY(m_korvid->listen(UvcServicePort));
    QCOMPARE(switching.join(), 0);
    QCOMPARE(c->getWorkMode(), 0);
    QCOMPARE(m_korvid->received(), (QStringList{"[02]", "[02]", "[03]"}));
}

void tst_MacUvcClient::frames()
{
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    QVERIFY(c->getVideoFrameFromMainCamera() == nullptr);   // mode 0, not attached
    QCOMPARE(c->switchWorkMode(1), 0);
    QVERIFY(c->getVideoFrameFromMainCamera() == nullptr);   // empty block

    QByteArray a(1000, '\0');
    for (int i = 0; i < a.size(); ++i)
        a[i] = char(i * 7);
    const QByteArray b(70000, 'b');
    QCOMPARE(m_writer->write(a.constData(), size_t(a.size())), MainFrameBlock::WriteResult::Written);
    PaxUvcControl::_VideoFrame* f = c->getVideoFrameFromMainCamera();
    QVERIFY(f);
    QCOMPARE(f->size, a.size());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(f->data), f->size), a);
    std::free(f->data);
    delete f;
    QVERIFY(c->getVideoFrameFromMainCamera() == nullptr);   // each frame once

    m_writer->write(a.constData(), size_t(a.size()));
    m_writer->write(b.constData(), size_t(b.size()));
    f = c->getVideoFrameFromMainCamera();
    QVERIFY(f);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(f->data), f->size), b);   // only the newest
    std::free(f->data);
    delete f;
    QVERIFY(c->getVideoFrameFromMainCamera() == nullptr);
}

void tst_MacUvcClient::corruptCountIsNoFrame_data()
{
    QTest::addColumn<quint32>("count");
    QTest::newRow("negative") << 0xfffffff0u;
    QTest::newRow("0x80000000") << 0x80000000u;
    QTest::newRow("frame area plus one") << quint32(kMainFrameAreaSize + 1);
}

void tst_MacUvcClient::corruptCountIsNoFrame()
{
    QFETCH(quint32, count);
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    QCOMPARE(c->switchWorkMode(1), 0);
    std::memcpy(m_writer->address(), &count, sizeof count);
    QVERIFY(c->getVideoFrameFromMainCamera() == nullptr);
    // A good frame afterwards is read again.
    QCOMPARE(m_writer->write("jpeg", 4), MainFrameBlock::WriteResult::Written);
    PaxUvcControl::_VideoFrame* f = c->getVideoFrameFromMainCamera();
    QVERIFY(f);
    QCOMPARE(f->size, 4);
    std::free(f->data);
    delete f;
}

void tst_MacUvcClient::destructionRemovesBlock()
{
    MacUvcClient* c = makeClient();
    QVERIFY(makeBlock());
    QCOMPARE(c->switchWorkMode(1), 0);
    delete c;
    m_client = nullptr;
    MainFrameBlock reader;
    QVERIFY(!reader.open(m_blockDir->path()));
    m_writer->detach();
}

// ---- reconnection ----------------------------------------------------------------------------

void tst_MacUvcClient::reconnectsAfterRefusedConnection()
{
    m_korvid->stop();
    MacUvcClient* c = makeClient(kHangMs, false);
    QVERIFY(FakeServer::waitUntil([c] { return refused(socketOf(c, 0)); }, kHangMs));   // the first attempt
    QVERIFY(!linked(c));
    QVERIFY(m_korvid->listen(UvcServicePort));
    QTRY_VERIFY_WITH_TIMEOUT(linked(c), kHangMs);
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getContrastInfo(0, &info), 0);
}

void tst_MacUvcClient::reconnectsAfterDisconnect()
{
    MacUvcClient* c = makeClient();
    QTRY_COMPARE_WITH_TIMEOUT(m_korvid->connections(), 1, kHangMs);   // the server's thread took it
    m_korvid->dropClient();
    QTRY_VERIFY_WITH_TIMEOUT(!linked(c), kHangMs);
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getContrastInfo(0, &info), int(MUCR_CONNECT_SERVER_FAILD));
    QTRY_VERIFY_WITH_TIMEOUT(linked(c), kHangMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_korvid->connections(), 2, kHangMs);
    QCOMPARE(c->getContrastInfo(0, &info), 0);
}

void tst_MacUvcClient::searchThenOpenWaitsForRestart()
{
    // The service answers a search and drops the link, as Korvid does before it exits.
    MacUvcClient* c = makeClient();
    QString m, s;
    QCOMPARE(c->searchDevice(m, s), 0);
    QCOMPARE(m, QStringLiteral("00000001"));
    QCOMPARE(c->openDevice(), 0);   // waits for the reconnection
    QCOMPARE(m_korvid->received(), (QStringList{"[01]", "[02]"}));
    QTRY_COMPARE_WITH_TIMEOUT(m_korvid->connections(), 2, kHangMs);
}

// ---- father link -----------------------------------------------------------------------------

void tst_MacUvcClient::logDirSentOnceWhenLauncherComesUp()
{
    m_father = std::make_unique<FakeServer>();
    MacUvcClient* c = makeClient();
    // The launcher is not there yet: the first try finds no link.
    QVERIFY(FakeServer::waitUntil([c] { return refused(fatherSocket(c)); }, kHangMs));
    c->setServerLogDir(QString::fromUtf8("/home/u/Documents/\xe6\x97\xa5/korvid/"));
    QVERIFY(m_father->listen(FatherPort));
    QTRY_VERIFY_WITH_TIMEOUT(m_father->received().size() == 1, kHangMs);
    // A window for a second copy from a later retry (one each 1000 ms) to show, which load can
    // only hide, never fake.
    QTest::qWait(1300);
    QCOMPARE(m_father->received(), QStringList{QString::fromUtf8("[01]/home/u/Documents/\xe6\x97\xa5/korvid/")});
    QVERIFY(m_korvid->received().isEmpty());
}

void tst_MacUvcClient::resetServer()
{
    // The launcher restarts the service: the command link drops, then comes back.
    MacUvcClient* c = resetThroughLauncher(false);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_father->received(), QStringList{"[02]"});
    QVERIFY(linked(c));   // returned once the link was back
    QTRY_COMPARE_WITH_TIMEOUT(m_korvid->connections(), 2, kHangMs);
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getBrightnessInfo(0, &info), 0);
}

void tst_MacUvcClient::resetServerWaitsPastLinkToEndingService()
{
    // The ending service's listening socket still takes the first reconnection and then goes.
    MacUvcClient* c = resetThroughLauncher(true);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(linked(c));
    // The link resetServer returned on is the new service's: a request at once is answered.
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(c->getBrightnessInfo(0, &info), 0);
    QCOMPARE(m_korvid->connections(), 2);
}

void tst_MacUvcClient::resetServerLogsReconnect_data()
{
    QTest::addColumn<bool>("launcher");
    // The launcher restarts the service: the link drops and is made anew.
    QTest::newRow("link dropped") << true;
    // No launcher: nothing is sent, the link stays up, and the reconnection is still logged.
    QTest::newRow("link stays up") << false;
}

void tst_MacUvcClient::resetServerLogsReconnect()
{
    QFETCH(bool, launcher);
    if (launcher)
        QVERIFY(startRestartingLauncher());
    MacUvcClient* c = makeClient();
    QVERIFY(linked(c));
    if (launcher) {
        QTRY_VERIFY_WITH_TIMEOUT(m_father->hasClient(), kHangMs);
        QVERIFY(FakeServer::waitUntil(
            [c] { return fatherSocket(c) && fatherSocket(c)->state() == QAbstractSocket::ConnectedState; }, kHangMs));
    }
    MessageCapture log;
    c->resetServer();
    QCOMPARE(log.count(QStringLiteral("resetServer"), QStringLiteral("start connect korvid ...")), 1);
    QVERIFY(linked(c));
}

// ---- the one real time-out -------------------------------------------------------------------

void tst_MacUvcClient::timeoutAfterTenSeconds()
{
    m_korvid->setScript(always({}));
    MacUvcClient* c = makeClient(0);
    QCOMPARE(c->waitLimit(), 10000);   // the default
    PaxUvcControl::_CameraInfo info;
    QElapsedTimer t;
    t.start();
    QCOMPARE(c->getBrightnessInfo(0, &info), int(MUCR_TIMEOUT));
    // Not given up before its limit: a lower bound of a deliberate wait, which load only lengthens.
    QVERIFY2(t.elapsed() >= 9900, qPrintable(QString::number(t.elapsed())));
    m_korvid->setScript(&FakeServer::korvidLike);
    QCOMPARE(c->getBrightnessInfo(0, &info), 0);   // idle again
}

QTEST_GUILESS_MAIN(tst_MacUvcClient)
#include "tst_macuvcclient.moc"
