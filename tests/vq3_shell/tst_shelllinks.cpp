// The settings dialog's view of the wireless cameras: what ShellDialogWirelessManager forwards to
// the real WirelessDeviceManage and its devices, against two fake cameras on 127.0.0.2 and
// 127.0.0.3 (the discovery targets are loopback addresses only).
#include "eventwait.h"
#include "dialogservices.h"
#include "fakecameraprocess.h"
#include "paxlib.h"
#include "paxqtlib.h"
#include "shelllinks.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QTest>

namespace {
const QString CameraA = "127.0.0.2";
const QString CameraB = "127.0.0.3";

// The addresses of a list of cameras or of their adapters.
template <typename Device>
QStringList ips(const QList<Device*>& devices)
{
    QStringList out;
    for (Device* device : devices)
        out << (device ? device->getDeviceInfo().ip : QStringLiteral("(null)"));
    return out;
}
// The two fake cameras, found by the manager's discovery.
struct TwoCameras {
    FakeCameraProcess a{CameraA};
    FakeCameraProcess b{CameraB};

    // The manager once it lists both cameras; nullptr when a camera did not start or answer.
    WirelessDeviceManage* discover()
    {
        if (!a.waitReady() || !b.waitReady())
            return nullptr;
        qputenv("ORVANE_WIRELESS_TARGETS", "127.0.0.2,127.0.0.3");
        WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
        manager->searchDevice();
        return QTest::qWaitFor([manager] { return manager->getDeviceList().size() == 2; }, eventwait::kHangMs) ? manager
                                                                                                          : nullptr;
    }
};
} // namespace

class TestShellLinks : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void noCamera();
    void forwardsToTheManagersDevices();
    void settingsReachTheirCamera_data();
    void settingsReachTheirCamera();
    void installedAsTheDialogsManager();
    void adapterOutlivesItsCamera();
};

void TestShellLinks::cleanup()
{
    WirelessDeviceManage::releaseInstance();
}

void TestShellLinks::noCamera()
{
    qputenv("ORVANE_WIRELESS_TARGETS", "127.0.0.5");
    WirelessDeviceManage::getInstance()->searchDevice();
    ShellDialogWirelessManager wireless;
    QVERIFY(!wireless.getCurDevice());
    QVERIFY(wireless.getDeviceList().isEmpty());
}

// The list follows the manager's, in its order; the current device is the adapter of the
// manager's current device, and each camera keeps one adapter across calls.
void TestShellLinks::forwardsToTheManagersDevices()
{
    TwoCameras cameras;
    WirelessDeviceManage* manager = cameras.discover();
    QVERIFY(manager);

    ShellDialogWirelessManager wireless;
    const QList<DialogWirelessDevice*> listed = wireless.getDeviceList();
    QCOMPARE(ips(listed), ips(manager->getDeviceList()));
    for (int i = 0; i < listed.size(); ++i) {
        const WirelessDeviceInfo mine = listed.at(i)->getDeviceInfo();
        const WirelessDeviceInfo theirs = manager->getDeviceList().at(i)->getDeviceInfo();
        QCOMPARE(mine.sid, theirs.sid);
        QCOMPARE(mine.deviceName, theirs.deviceName);
        QCOMPARE(mine.udpPort, theirs.udpPort);
        QCOMPARE(mine.channel, theirs.channel);
    }
    QCOMPARE(wireless.getDeviceList(), listed);

    for (const QString& ip : {CameraB, CameraA}) {
        manager->switchDevice(ip);
        QCOMPARE(manager->getCurDevice()->getIp(), ip);
        DialogWirelessDevice* current = wireless.getCurDevice();
        QVERIFY(current);
        QCOMPARE(current->getDeviceInfo().ip, ip);
        QVERIFY(listed.contains(current));
    }
}

// A dialog may still hold a camera's adapter after the manager deleted the camera: the adapter
// stays valid and does nothing.
void TestShellLinks::adapterOutlivesItsCamera()
{
    TwoCameras cameras;
    QVERIFY(cameras.discover());
    ShellDialogWirelessManager wireless;
    DialogWirelessDevice* held = wireless.getCurDevice();
    QVERIFY(held);
    QVERIFY(!held->getDeviceInfo().ip.isEmpty());
    WirelessDeviceManage::releaseInstance();    // its cameras with it
    WirelessDeviceManage::getInstance();
    QVERIFY(wireless.getDeviceList().isEmpty());
    QVERIFY(held->getDeviceInfo().ip.isEmpty());
    held->setStation("Office", "secret");
    held->setAp("Room 12", WirelessDevice::CH_153);
    QVERIFY(!cameras.a.bytes().contains("CMD_APPEARSSID") && !cameras.b.bytes().contains("CMD_APPEARSSID"));
}

void TestShellLinks::settingsReachTheirCamera_data()
{
    QTest::addColumn<QString>("camera");
    QTest::addColumn<bool>("station");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("station") << CameraB << true << QByteArray("CMD_APPEARSSIDSSID:OfficePASSWD:secret 1");
    QTest::newRow("access point")
        << CameraA << false << QByteArray("CMD_SETWIFI WIFINAME:PASSWD:58203741CMD_SETWIFICHANNEL WIFINAME:Room 12WIFICHANNEL:153");
}

// A setting given through the adapter goes to its own camera only.
void TestShellLinks::settingsReachTheirCamera()
{
    QFETCH(QString, camera);
    QFETCH(bool, station);
    QFETCH(QByteArray, sent);
    TwoCameras cameras;
    QVERIFY(cameras.discover());
    FakeCameraProcess& a = cameras.a;
    FakeCameraProcess& b = cameras.b;
    FakeCameraProcess& target = camera == CameraA ? a : b;
    FakeCameraProcess& other = camera == CameraA ? b : a;
    // Both links are up and past their opening requests (the size list, the size, the channel).
    for (FakeCameraProcess* each : {&a, &b})
        QTRY_VERIFY_WITH_TIMEOUT(each->bytes().contains("CMD_GETWIFICHANNEL")
                                     && each->bytes().contains("CMD_SET_BACK_FRAME"),
                                 eventwait::kHangMs);
    const QByteArray otherBefore = other.bytes();

    ShellDialogWirelessManager wireless;
    DialogWirelessDevice* device = nullptr;
    for (DialogWirelessDevice* d : wireless.getDeviceList()) {
        if (d->getDeviceInfo().ip == camera)
            device = d;
    }
    QVERIFY(device);
    if (station)
        device->setStation("Office", "secret 1");
    else
        device->setAp("Room 12", WirelessDevice::CH_153);
    QTRY_VERIFY_WITH_TIMEOUT(target.bytes().endsWith(sent), eventwait::kHangMs);
    // A request of the other camera's own link, sent now, arrives behind anything sent to it
    // before: the first bytes it got after the opening requests are that request.
    WirelessDevice* otherLink = nullptr;
    for (WirelessDevice* d : WirelessDeviceManage::getInstance()->getDeviceList()) {
        if (d->getIp() == other.address())
            otherLink = d;
    }
    QVERIFY(otherLink);
    otherLink->searchDeviceInfo();
    const QByteArray marker = "CMD_GET_BACK_FRAME_LIST";
    QTRY_VERIFY_WITH_TIMEOUT(other.bytes().size() >= otherBefore.size() + marker.size(), eventwait::kHangMs);
    QCOMPARE(other.bytes().left(otherBefore.size() + marker.size()), otherBefore + marker);
}

void TestShellLinks::installedAsTheDialogsManager()
{
    QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
    installShellLinks();
    DialogWirelessManager* installed = DialogWirelessManager::instance();
    QVERIFY(dynamic_cast<ShellDialogWirelessManager*>(installed));
    installShellLinks();   // a second call changes nothing
    QCOMPARE(DialogWirelessManager::instance(), installed);
    removeShellLinks();
    QVERIFY(!DialogWirelessManager::instance());
    PaxQtLib::releaseInstance();
}

QTEST_MAIN(TestShellLinks)
#include "tst_shelllinks.moc"
