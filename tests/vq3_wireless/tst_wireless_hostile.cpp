// Cameras that don't play nice: replies cut into pieces with long gaps, absurd frame sizes and
// items that are no sizes in the list, absurd sizes in the stream, late discovery answers, a flood
// of forged discovery replies; the order of the commands, the end of an RTSP
// session, and the fake camera program as a faithful peer (broadcast discovery, commands in pieces).
#include "fakecameraprocess.h"
#include "hostilecamera.h"
#include "logcapture.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

namespace {
const QString Hostile = "127.0.0.4";
const QString CameraA = "127.0.0.2";
const QString Reply = "WIFINAME:HostileSID:0001DEVNAME:BadPRODUCT:X";
constexpr int Ceiling = 60000;
using Pieces = QList<HostileCamera::Piece>;
} // namespace

Q_DECLARE_METATYPE(Pieces)

class TestWirelessHostile : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("ORVANE_WIRELESS_TARGETS", Hostile.toLatin1()); }
    void cleanup() { WirelessDeviceManage::releaseInstance(); }
    void replyInPieces_data();
    void replyInPieces();
    void commandOrder_data();
    void commandOrder();
    void frameSizeBounds_data();
    void frameSizeBounds();
    void streamFrameSizeBound();
    void lateDiscoveryReply();
    void discoveryFlood_data();
    void discoveryFlood();
    void stopEndsRtspSession();
    void fakeCameraAnswersBroadcast();
    void fakeCameraReadsCommandsAsStream();
};

void TestWirelessHostile::replyInPieces_data()
{
    QTest::addColumn<Pieces>("list");
    QTest::addColumn<Pieces>("channel");
    QTest::addColumn<QStringList>("sizes");
    QTest::addColumn<int>("channelValue");
    QTest::addColumn<QByteArray>("set");
    const Pieces channel44{{0, "CMD_GETWIFICHANNEL:44"}};
    QTest::newRow("list cut inside a size")
        << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:1920*10"}, {300, "80,1280*720,"}} << channel44
        << QStringList{"0:1920x1080", "1:1280x720"} << 1 << QByteArray("CMD_SET_BACK_FRAME 1920*1080");
    QTest::newRow("list cut inside its name")
        << Pieces{{0, "CMD_ACK_BA"}, {300, "CK_FRAMELIST:640*480,"}} << channel44 << QStringList{"0:640x480"} << 1
        << QByteArray("CMD_SET_BACK_FRAME 640*480");
    QTest::newRow("list without a trailing comma, cut")
        << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:1280*7"}, {300, "20"}} << channel44 << QStringList{"0:1280x720"} << 1
        << QByteArray("CMD_SET_BACK_FRAME 1280*720");
    QTest::newRow("channel cut inside its number")
        << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:640*480,"}} << Pieces{{0, "CMD_GETWIFICHANNEL:16"}, {300, "5"}}
        << QStringList{"0:640x480"} << 6 << QByteArray("CMD_SET_BACK_FRAME 640*480");
    QTest::newRow("next head cut")
        << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:640*480"}} << Pieces{{0, "CM"}, {300, "D_GETWIFICHANNEL:48"}}
        << QStringList{"0:640x480"} << 2 << QByteArray("CMD_SET_BACK_FRAME 640*480");
}

// A reply is read by its shape, whatever the pauses inside it.
void TestWirelessHostile::replyInPieces()
{
    QFETCH(Pieces, list);
    QFETCH(Pieces, channel);
    QFETCH(QStringList, sizes);
    QFETCH(int, channelValue);
    QFETCH(QByteArray, set);
    LogCapture capture;
    HostileCamera camera(Hostile);
    QVERIFY(camera.listenCommands());
    camera.answer("CMD_GET_BACK_FRAME_LIST", list);
    camera.answer("CMD_GETWIFICHANNEL", channel);
    WirelessDevice device(Reply, Hostile, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(camera.received().contains("CMD_SET_BACK_FRAME"), Ceiling);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("channel:"), Ceiling);
    QCOMPARE(device.getCameraSolutionList(), sizes);
    QCOMPARE(device.getDeviceInfo().channel, channelValue);
    QVERIFY2(camera.received().endsWith(set), camera.received().constData());
    QCOMPARE(camera.received().count("CMD_SET_BACK_FRAME"), 1);
}

void TestWirelessHostile::commandOrder_data()
{
    QTest::addColumn<Pieces>("list");
    QTest::newRow("list answered at once") << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:1280*720,"}};
    QTest::newRow("list and channel in one write")
        << Pieces{{0, "CMD_ACK_BACK_FRAMELIST:1280*720,CMD_GETWIFICHANNEL:44"}};
}

// The list request, the channel request, and then the first size.
void TestWirelessHostile::commandOrder()
{
    QFETCH(Pieces, list);
    HostileCamera camera(Hostile);
    QVERIFY(camera.listenCommands());
    camera.answer("CMD_GET_BACK_FRAME_LIST", list);
    WirelessDevice device(Reply, Hostile, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(camera.received().contains("CMD_SET_BACK_FRAME")
                                 && camera.received().contains("CMD_GETWIFICHANNEL"),
                             Ceiling);
    QCOMPARE(camera.received(), QByteArray("CMD_GET_BACK_FRAME_LISTCMD_GETWIFICHANNELCMD_SET_BACK_FRAME 1280*720"));
    QCOMPARE(device.getCameraCurSolution(), QString("1280x720"));
}

void TestWirelessHostile::frameSizeBounds_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("sizes");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("refused");    // log lines, one per item dropped
    QTest::newRow("square past the int range") << QByteArray("46341*46341,1280*720,") << QStringList{"0:1280x720"}
                                               << "1280x720" << 1;
    QTest::newRow("16384 a side") << QByteArray("16384*16384,") << QStringList{} << "-1x-1" << 1;
    QTest::newRow("wider than 16384") << QByteArray("16385*16,640*480,") << QStringList{"0:640x480"} << "640x480"
                                      << 1;
    QTest::newRow("taller than 16384") << QByteArray("16*16385,") << QStringList{} << "-1x-1" << 1;
    QTest::newRow("past 64-bit numbers") << QByteArray("99999999999*99999999999,640x480,")
                                         << QStringList{"0:640x480"} << "640x480" << 1;
    QTest::newRow("side past 64 bits") << QByteArray("99999999999999999999*1,640x480,")
                                       << QStringList{"0:640x480"} << "640x480" << 1;
    QTest::newRow("not sizes") << QByteArray("0*0,-1*5,xxy,x,0x0,-1x5,1*,*1,1*2*3,+5*5, ,") << QStringList{}
                               << "-1x-1" << 11;
    QTest::newRow("hostile camera's list") << QByteArray("0*0,-1*5,xxy,99999999999999999999*1,1280*720,")
                                           << QStringList{"0:1280x720"} << "1280x720" << 4;
    QTest::newRow("largest accepted") << QByteArray("16384*2048,") << QStringList{"0:16384x2048"} << "16384x2048"
                                      << 0;
    QTest::newRow("8K") << QByteArray("7680*4320,") << QStringList{"0:7680x4320"} << "7680x4320" << 0;
}

// Only sizes with both sides from 1 to 16384 and at most 8192 x 4096 pixels are listed; every
// other item is dropped with one log line.
void TestWirelessHostile::frameSizeBounds()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, sizes);
    QFETCH(QString, chosen);
    QFETCH(int, refused);
    LogCapture capture;
    HostileCamera camera(Hostile);
    QVERIFY(camera.listenCommands());
    camera.answer("CMD_GET_BACK_FRAME_LIST", Pieces{{0, "CMD_ACK_BACK_FRAMELIST:" + list}});
    camera.answer("CMD_GETWIFICHANNEL", Pieces{{0, "CMD_GETWIFICHANNEL:44"}});
    WirelessDevice device(Reply, Hostile, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("solution option:") || LogCapture::anyContaining("refused"),
                             Ceiling);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("channel:"), Ceiling);
    QCOMPARE(device.getCameraSolutionList(), sizes);
    if (!sizes.isEmpty())
        QTRY_VERIFY_WITH_TIMEOUT(camera.received().contains("CMD_SET_BACK_FRAME"), Ceiling);
    QCOMPARE(LogCapture::countContaining("refused"), refused);
    if (sizes.isEmpty()) {
        QVERIFY(!camera.received().contains("CMD_SET_BACK_FRAME"));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(camera.received().contains("CMD_SET_BACK_FRAME"), Ceiling);
        QCOMPARE(device.getCameraCurSolution(), chosen);
    }
    QCOMPARE(WirelessProtocol::frameSizeAcceptable(16384, 2048), true);
    QCOMPARE(WirelessProtocol::frameSizeAcceptable(16384, 2049), false);
    QCOMPARE(WirelessProtocol::frameSizeAcceptable(0, 100), false);
}

// A stream whose pictures are larger than the bound ends with a log line, nothing decoded shown.
void TestWirelessHostile::streamFrameSizeBound()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("large.h264");
    QProcess encode;
    encode.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=gray:size=8192x4112:rate=5", "-frames:v",
                            "2", "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency", "-f", "h264",
                            "-y", file});
    QVERIFY(encode.waitForFinished(Ceiling));
    QCOMPARE(encode.exitCode(), 0);
    LogCapture capture;
    FakeCameraProcess camera(CameraA, {"--sizes", "640*480", "--stream-file", file});
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_COMPARE_WITH_TIMEOUT(device.getCameraCurSolution(), QString("640x480"), Ceiling);
    QSignalSpy frames(&device, &WirelessDevice::sigGetOneFrame);
    device.myPlay();
    QVERIFY(device.wait(Ceiling));
    QVERIFY2(LogCapture::anyContaining("stream frame size 8192x4112 refused"),
             qPrintable(LogCapture::messages().join('\n')));
    QCoreApplication::processEvents();
    QCOMPARE(frames.count(), 0);
}

// An answer to a discovery is taken whenever it comes, also long after the search.
void TestWirelessHostile::lateDiscoveryReply()
{
    HostileCamera camera(Hostile);
    QVERIFY(camera.listenDiscovery());
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_VERIFY_WITH_TIMEOUT(camera.discoveries() > 0, Ceiling);
    QVERIFY(manager->getDeviceList().isEmpty());
    camera.answerDiscovery(Reply.toLatin1(), 2500);
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 1, Ceiling);
    QCOMPARE(manager->getDeviceList().first()->getIp(), Hostile);
    QCOMPARE(manager->getCurDevice(), manager->getDeviceList().first());
}

void TestWirelessHostile::discoveryFlood_data()
{
    QTest::addColumn<bool>("cameraBefore");    // a camera on 127.0.0.5 answered before the flood
    QTest::newRow("no camera before") << false;
    QTest::newRow("camera before") << true;
}

// Forged discovery replies from 200 addresses where no camera listens fill the list; a camera that
// answers 0.3 s later still gets a place (and one whose link answered keeps its own), within the bound.
void TestWirelessHostile::discoveryFlood()
{
    QFETCH(bool, cameraBefore);
    const QString early = "127.0.0.5";
    qputenv("ORVANE_WIRELESS_TARGETS", (Hostile + "," + early).toLatin1());
    LogCapture capture(LogCapture::KeepOnly);    // some 2000 lines of the forged cameras
    const Pieces list{{0, "CMD_ACK_BACK_FRAMELIST:1280*720,"}};
    HostileCamera late(Hostile), before(early);
    for (HostileCamera* camera : {&late, &before}) {
        QVERIFY(camera->listenDiscovery());
        QVERIFY(camera->listenCommands());
        camera->answer("CMD_GET_BACK_FRAME_LIST", list);
    }
    if (cameraBefore)
        before.answerEveryDiscovery(Reply.toLatin1());
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_VERIFY_WITH_TIMEOUT(late.discoveries() > 0, Ceiling);
    if (cameraBefore)
        QTRY_VERIFY_WITH_TIMEOUT(manager->getDeviceList().size() == 1
                                     && !manager->getDeviceList().first()->getCameraSolutionList().isEmpty(),
                                 Ceiling);

    // One reply from each of 127.0.1.1 ... 127.0.1.200, read by the manager in batches.
    const QByteArray forged = "WIFINAME:ForgedSID:0DEVNAME:ForgedPRODUCT:X";
    for (int n = 1; n <= 200; ++n) {
        QUdpSocket forger;
        QVERIFY(forger.bind(QHostAddress(QString("127.0.1.%1").arg(n)), 0));
        QCOMPARE(forger.writeDatagram(forged, QHostAddress::LocalHost, WirelessProtocol::DiscoveryLocalPort),
                 qint64(forged.size()));
        if (n % 20 == 0)
            QCoreApplication::processEvents();
    }
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 64, Ceiling);
    late.answerDiscovery(Reply.toLatin1(), 300);

    auto listed = [manager](const QString& ip) {
        for (WirelessDevice* device : manager->getDeviceList()) {
            if (device->getIp() == ip)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(listed(Hostile), Ceiling);
    QCOMPARE(listed(early), cameraBefore);
    QCOMPARE(manager->getDeviceList().size(), 64);
    QVERIFY(LogCapture::anyContaining("too many wireless cameras, 127.0.1."));
    QVERIFY(!LogCapture::anyContaining("too many wireless cameras, " + Hostile));
}

// Stopping a stream ends the RTSP session with TEARDOWN.
void TestWirelessHostile::stopEndsRtspSession()
{
    FakeCameraProcess stream(CameraA);
    QVERIFY(stream.waitReady());
    HostileCamera camera(Hostile);
    QVERIFY(camera.listenCommands());
    QVERIFY(camera.relayRtsp(WirelessProtocol::rtspPort(), CameraA));
    camera.answer("CMD_GET_BACK_FRAME_LIST", Pieces{{0, "CMD_ACK_BACK_FRAMELIST:640*480,"}});
    WirelessDevice device(Reply, Hostile, 18889);
    QTRY_COMPARE_WITH_TIMEOUT(device.getCameraCurSolution(), QString("640x480"), Ceiling);
    QSignalSpy frames(&device, &WirelessDevice::sigGetOneFrame);
    device.myPlay();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, Ceiling);
    QVERIFY(camera.rtspReceived().contains("PLAY "));
    QVERIFY(!camera.rtspReceived().contains("TEARDOWN "));
    device.myStop();
    QVERIFY(device.isFinished());
    QTRY_VERIFY_WITH_TIMEOUT(camera.rtspReceived().contains("TEARDOWN "), Ceiling);
}

// The fake camera answers a discovery sent to a broadcast address, from its own address.
void TestWirelessHostile::fakeCameraAnswersBroadcast()
{
    qputenv("ORVANE_WIRELESS_TARGETS", "127.255.255.255");
    FakeCameraProcess camera(CameraA);
    QVERIFY(camera.waitReady());
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 1, Ceiling);
    QCOMPARE(manager->getDeviceList().first()->getIp(), CameraA);
}

// The fake camera reads its commands as a stream: a request in two pieces is answered.
void TestWirelessHostile::fakeCameraReadsCommandsAsStream()
{
    FakeCameraProcess camera(CameraA, {"--sizes", "640*480,"});
    QVERIFY(camera.waitReady());
    QTcpSocket link;
    link.connectToHost(CameraA, 8888);
    QVERIFY(link.waitForConnected(Ceiling));
    link.write("CMD_GET_BA");
    link.flush();
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes() == "CMD_GET_BA", Ceiling);
    link.write("CK_FRAME_LISTCMD_GETWIFI");
    link.flush();
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().endsWith("CMD_GETWIFI"), Ceiling);
    link.write("CHANNEL");
    link.flush();
    QByteArray replies;
    QTRY_VERIFY_WITH_TIMEOUT((replies += link.readAll()).contains("CMD_GETWIFICHANNEL:44"), Ceiling);
    QCOMPARE(replies, QByteArray("CMD_ACK_BACK_FRAMELIST:640*480,CMD_GETWIFICHANNEL:44"));
}

QTEST_GUILESS_MAIN(TestWirelessHostile)
#include "tst_wireless_hostile.moc"
