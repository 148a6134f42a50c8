// The wireless camera link and stream decoding against the fake camera on loopback.
#include "eventwait.h"
#include "fakecameraprocess.h"
#include "logcapture.h"
#include "wirelessdevice.h"

#include <QSignalSpy>
#include <QTest>

namespace {
const QString CameraA = "127.0.0.2";
const QString Reply = "WIFINAME:ClassroomSID:0042DEVNAME:Desk CameraPRODUCT:X1";
} // namespace

class TestWirelessDevice : public QObject
{
    Q_OBJECT
private slots:
    void discoveryReply_data();
    void discoveryReply();
    void mode_data();
    void mode();
    void link_data();
    void link();
    void accessPointWithUnknownChannel();
    void stationWithEmptyNames();
    void noListener();
    void decoding_data();
    void decoding();
    void runWithoutChosenSize();
    void stalledCameraEndsLoop();
};

void TestWirelessDevice::discoveryReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("wifiName");
    QTest::addColumn<QString>("sid");
    QTest::addColumn<QString>("deviceName");
    QTest::newRow("all fields") << Reply << "Classroom" << "0042" << "Desk Camera";
    QTest::newRow("markers alone") << "WIFINAME:SID:DEVNAME:PRODUCT:" << "" << "" << "";
    QTest::newRow("no product") << "WIFINAME:aSID:bDEVNAME:c" << "a" << "b" << "";
    QTest::newRow("name holding SID") << "WIFINAME:MySIDnetSID:7DEVNAME:dPRODUCT:" << "My" << "7" << "d";
    QTest::newRow("junk") << "\x01\x02garbage" << "" << "" << "";
}

void TestWirelessDevice::discoveryReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, wifiName);
    QFETCH(QString, sid);
    QFETCH(QString, deviceName);
    WirelessDeviceInfo info;
    WirelessProtocol::parseDiscoveryReply(reply, info);
    QCOMPARE(info.wifiName, wifiName);
    QCOMPARE(info.sid, sid);
    QCOMPARE(info.deviceName, deviceName);
}

void TestWirelessDevice::mode_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("mode");
    QTest::newRow("own access point") << "192.168.100.1" << 0;
    QTest::newRow("longer address") << "192.168.100.10" << 1;
    QTest::newRow("loopback") << "127.0.0.2" << 1;
}

void TestWirelessDevice::mode()
{
    QFETCH(QString, ip);
    QFETCH(int, mode);
    QCOMPARE(WirelessProtocol::modeForAddress(ip), mode);
}

void TestWirelessDevice::link_data()
{
    QTest::addColumn<QStringList>("cameraOptions");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("current");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("sent");    // what the camera received after the two requests
    const QStringList twoSizes{"0:1920x1080", "1:1280x720"};
    QTest::newRow("trailing comma") << QStringList{"--sizes", "1920*1080,1280*720,", "--channel", "44"} << twoSizes
                                    << "1920x1080" << 1 << QByteArray("CMD_SET_BACK_FRAME 1920*1080");
    QTest::newRow("split replies") << QStringList{"--sizes", "1920*1080,1280*720,", "--channel", "44", "--split"}
                                   << twoSizes << "1920x1080" << 1 << QByteArray("CMD_SET_BACK_FRAME 1920*1080");
    QTest::newRow("list and channel in one read")
        << QStringList{"--sizes", "640*480", "--channel", "44", "--combined"} << QStringList{"0:640x480"}
        << "640x480" << 1 << QByteArray("CMD_SET_BACK_FRAME 640*480");
    QTest::newRow("empty items") << QStringList{"--sizes", " ,1280*720,,640x480 ", "--channel", "165"}
                                 << QStringList{"0:1280x720", "1:640x480"} << "1280x720" << 6
                                 << QByteArray("CMD_SET_BACK_FRAME 1280*720");
    QTest::newRow("unknown channel") << QStringList{"--sizes", "1280*720", "--channel", "36"}
                                     << QStringList{"0:1280x720"} << "1280x720" << 7
                                     << QByteArray("CMD_SET_BACK_FRAME 1280*720");
    QTest::newRow("zero size dropped") << QStringList{"--sizes", "0*0,1280*720", "--channel", "40"}
                                       << QStringList{"0:1280x720"} << "1280x720" << 0
                                       << QByteArray("CMD_SET_BACK_FRAME 1280*720");
    QTest::newRow("no number") << QStringList{"--sizes", "wide*tall", "--channel", "x"} << QStringList{} << "-1x-1"
                               << 7 << QByteArray();
}

void TestWirelessDevice::link()
{
    QFETCH(QStringList, cameraOptions);
    QFETCH(QStringList, list);
    QFETCH(QString, current);
    QFETCH(int, channel);
    QFETCH(QByteArray, sent);
    LogCapture capture;
    FakeCameraProcess camera(CameraA, cameraOptions);
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QCOMPARE(device.getCameraCurSolution(), QString("-1x-1"));
    QTRY_COMPARE_WITH_TIMEOUT(device.getCameraSolutionList(), list, eventwait::kHangMs);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("channel:"), eventwait::kHangMs);
    QCOMPARE(device.getCameraSolutionList(), list);    // the list reply came before the channel
    QCOMPARE(device.getDeviceInfo().channel, channel);
    QCOMPARE(device.getCameraCurSolution(), current);
    const QByteArray requests = "CMD_GET_BACK_FRAME_LIST";
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().contains("CMD_GETWIFICHANNEL"), eventwait::kHangMs);
    QVERIFY(camera.bytes().startsWith(requests));
    if (sent.isEmpty())
        QVERIFY(!camera.bytes().contains("CMD_SET_BACK_FRAME"));
    else
        QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().contains(sent), eventwait::kHangMs);
    QCOMPARE(device.getDeviceInfo().ip, CameraA);
    QCOMPARE(device.getDeviceInfo().tcpPort, quint16(8888));
    QCOMPARE(device.getDeviceInfo().udpPort, quint16(18889));
}

void TestWirelessDevice::accessPointWithUnknownChannel()
{
    LogCapture capture;
    FakeCameraProcess camera(CameraA, {"--channel", "36"});
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("channel:7"), eventwait::kHangMs);
    QCOMPARE(device._getChannelStr(WirelessDevice::CH_NONE), QString());
    QCOMPARE(device._getChannelStr(WirelessDevice::CH_153), QString("153"));
    device.setAp("Room 12", WirelessDevice::_ChannelE(device.getDeviceInfo().channel));
    const QByteArray expected = "CMD_SETWIFI WIFINAME:PASSWD:58203741CMD_SETWIFICHANNEL WIFINAME:Room 12WIFICHANNEL:";
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().endsWith(expected), eventwait::kHangMs);
}

void TestWirelessDevice::stationWithEmptyNames()
{
    FakeCameraProcess camera(CameraA);
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().contains("CMD_GETWIFICHANNEL"), eventwait::kHangMs);
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().contains("CMD_SET_BACK_FRAME"), eventwait::kHangMs);
    device.setStation("", "");
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().endsWith("CMD_APPEARSSIDSSID:PASSWD:"), eventwait::kHangMs);
    QCOMPARE(camera.bytes().count("CMD_APPEARSSID"), 1);
}

void TestWirelessDevice::noListener()
{
    LogCapture capture;
    WirelessDevice device(Reply, "127.0.0.9", 18889);
    // The constructor does not wait for the link.
    QVERIFY(!LogCapture::anyContaining("tcp connect failed"));
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::anyContaining("tcp connect failed"), eventwait::kHangMs);
    QVERIFY(device.getCameraSolutionList().isEmpty());
    device.setStation("a", "b");    // written into no link: nothing happens
    device.myPlay();                // no size chosen: the thread ends by itself
    QVERIFY(device.wait(eventwait::kHangMs));
}

void TestWirelessDevice::decoding_data()
{
    QTest::addColumn<QStringList>("cameraOptions");
    QTest::addColumn<int>("showMode");
    QTest::newRow("main view") << QStringList{"--sizes", "1280*720"} << 0;
    QTest::newRow("tile") << QStringList{"--sizes", "1280*720"} << 1;
    QTest::newRow("stream at another size") << QStringList{"--sizes", "1280*720", "--stream-size", "640x360"} << 0;
}

void TestWirelessDevice::decoding()
{
    QFETCH(QStringList, cameraOptions);
    QFETCH(int, showMode);
    FakeCameraProcess camera(CameraA, cameraOptions);
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_COMPARE_WITH_TIMEOUT(device.getCameraCurSolution(), QString("1280x720"), eventwait::kHangMs);
    device.changeShowMode(WirelessDevice::_ShowModeE(showMode));
    QCOMPARE(int(device.showMode()), showMode);
    QSignalSpy mainFrames(&device, &WirelessDevice::sigGetOneFrame);
    QSignalSpy tileFrames(&device, &WirelessDevice::sigGetOneFrameInside);
    QSignalSpy& frames = showMode == 0 ? mainFrames : tileFrames;
    device.myPlay();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 5, eventwait::kHangMs);
    const QImage image = frames.last().at(0).value<QImage>();
    QCOMPARE(image.size(), QSize(1280, 720));
    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE((showMode == 0 ? tileFrames : mainFrames).count(), 0);
    // Colour bars: the left and right edges differ.
    QVERIFY(qAbs(qGray(image.pixel(20, 20)) - qGray(image.pixel(1260, 20))) > 60);

    // Stopping ends the thread before it returns; no frame follows.
    device.myStop();
    QVERIFY(device.isFinished());
    QCoreApplication::processEvents();
    const int after = frames.count();
    QVERIFY(eventwait::runPending());
    QCOMPARE(frames.count(), after);

    // Started again, the stream is opened anew.
    device.myPlay();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= after + 3, eventwait::kHangMs);
}

void TestWirelessDevice::runWithoutChosenSize()
{
    LogCapture capture;
    FakeCameraProcess camera(CameraA, {"--no-list"});
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_VERIFY_WITH_TIMEOUT(camera.bytes().contains("CMD_GETWIFICHANNEL"), eventwait::kHangMs);
    QSignalSpy frames(&device, &WirelessDevice::sigGetOneFrame);
    device.myPlay();
    QVERIFY(device.wait(eventwait::kHangMs));
    QVERIFY(LogCapture::anyContaining("no frame size chosen, width[-1] height[-1]"));
    QVERIFY(eventwait::runPending());
    QCOMPARE(frames.count(), 0);
}

void TestWirelessDevice::stalledCameraEndsLoop()
{
    FakeCameraProcess camera(CameraA, {"--sizes", "640*480"});
    QVERIFY(camera.waitReady());
    WirelessDevice device(Reply, CameraA, 18889);
    QTRY_COMPARE_WITH_TIMEOUT(device.getCameraCurSolution(), QString("640x480"), eventwait::kHangMs);
    QSignalSpy frames(&device, &WirelessDevice::sigGetOneFrame);
    device.myPlay();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= 3, eventwait::kHangMs);
    camera.pause();
    // A camera that sends nothing more ends the loop by itself.
    QVERIFY(device.wait(eventwait::kHangMs));
    device.myStop();
    camera.resume();
    const int before = frames.count();
    device.myPlay();
    QTRY_VERIFY_WITH_TIMEOUT(frames.count() >= before + 3, eventwait::kHangMs);
    device.myStop();
}

QTEST_GUILESS_MAIN(TestWirelessDevice)
#include "tst_wirelessdevice.moc"
