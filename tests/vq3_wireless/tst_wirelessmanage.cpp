// Discovery, pairing of tiles and devices, and the tile's geometry, against two fake cameras on
// 127.0.0.2 and 127.0.0.3 (the discovery targets are loopback addresses only).
#include "eventwait.h"
#include "fakecameraprocess.h"
#include "graphicsviewforwirelessdevice.h"
#include "logcapture.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QAction>
#include <QApplication>
#include <QGraphicsPixmapItem>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
const QString CameraA = "127.0.0.2";
const QString CameraB = "127.0.0.3";

QStringList ips(const QList<WirelessDevice*>& devices)
{
    QStringList out;
    for (WirelessDevice* device : devices)
        out << device->getIp();
    return out;
}

std::unique_ptr<GraphicsViewForWirelessDevice> tile(int w = 400, int h = 400)
{
    auto view = std::make_unique<GraphicsViewForWirelessDevice>();
    view->resize(w, h);
    return view;
}
} // namespace

class TestWirelessManage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void targetsFromEnvironment_data();
    void targetsFromEnvironment();
    void discoveryFindsTwoCameras();
    void noCamera();
    void connectAllPairsByPosition();
    void modesAndIdleDevices();
    void forwardingNeedsASelectedTile();
    void tileFit_data();
    void tileFit();
    void tileWithoutFrame();
    void tileSolutionMenu();
};

void TestWirelessManage::init()
{
    qputenv("ORVANE_WIRELESS_TARGETS", "127.0.0.2,127.0.0.3,127.0.0.2");
}

void TestWirelessManage::cleanup()
{
    WirelessDeviceManage::releaseInstance();
}

void TestWirelessManage::targetsFromEnvironment_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QStringList>("targets");
    QTest::newRow("two addresses") << QByteArray("127.0.0.2,127.0.0.3") << QStringList{"127.0.0.2", "127.0.0.3"};
    QTest::newRow("junk dropped") << QByteArray("127.0.0.2,,nonsense, 127.0.0.4 ,::1")
                                  << QStringList{"127.0.0.2", "127.0.0.4"};
}

void TestWirelessManage::targetsFromEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(QStringList, targets);
    qputenv("ORVANE_WIRELESS_TARGETS", value);
    QCOMPARE(WirelessDeviceManage::discoveryTargets(), targets);
}

void TestWirelessManage::discoveryFindsTwoCameras()
{
    LogCapture capture;
    FakeCameraProcess a(CameraA), b(CameraB);
    QVERIFY(a.waitReady());
    QVERIFY(b.waitReady());
    for (int round = 0; round < 2; ++round) {
        WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
        manager->searchDevice();
        // Both cameras answer; the second reply of 127.0.0.2 makes no second device.
        QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 2, eventwait::kHangMs);
        QVERIFY(eventwait::runPending());   // replies already received
        QCOMPARE(manager->getDeviceList().size(), 2);
        QStringList found = ips(manager->getDeviceList());
        found.sort();
        QCOMPARE(found, (QStringList{CameraA, CameraB}));
        QVERIFY(manager->getCurDevice());
        QVERIFY(!manager->getCurDevice()->getCameraSolutionList().isEmpty());
        // A released manager frees its port: the next one finds the cameras again.
        WirelessDeviceManage::releaseInstance();
    }
    QVERIFY(LogCapture::messages().filter("discovery targets: 127.0.0.2,127.0.0.3,127.0.0.2").size() == 2);
    QVERIFY(LogCapture::messages().filter("discovery targets: 192.168").isEmpty());
}

void TestWirelessManage::noCamera()
{
    qputenv("ORVANE_WIRELESS_TARGETS", "127.0.0.5");
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QVERIFY(manager->getDeviceList().isEmpty());
    QVERIFY(!manager->getCurDevice());
    manager->zoomIn();    // nothing selected, nothing paired: no effect, no crash
}

void TestWirelessManage::connectAllPairsByPosition()
{
    FakeCameraProcess a(CameraA, {"--sizes", "640*480"}), b(CameraB, {"--sizes", "640*480"});
    QVERIFY(a.waitReady());
    QVERIFY(b.waitReady());
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 2, eventwait::kHangMs);
    for (WirelessDevice* device : manager->getDeviceList())
        QTRY_COMPARE_WITH_TIMEOUT(device->getCameraCurSolution(), QString("640x480"), eventwait::kHangMs);
    manager->enterMode(1);
    auto t1 = tile(), t2 = tile(), t3 = tile();
    QList<GraphicsViewForWirelessDevice*> views{t1.get(), t2.get(), t3.get()};
    manager->connectAll(views);
    QVERIFY(manager->isViewUsed(t1.get()));
    QVERIFY(manager->isViewUsed(t2.get()));
    QVERIFY(!manager->isViewUsed(t3.get()));
    QVERIFY(!t3->renderItem());
    QCOMPARE(manager->getDeviceFromView(t1.get()), manager->getDeviceList().at(0));
    QCOMPARE(manager->getDeviceFromView(t2.get()), manager->getDeviceList().at(1));
    QVERIFY(manager->getIdleDeviceList().isEmpty());
    // Frames reach both paired tiles.
    QTRY_VERIFY_WITH_TIMEOUT(!t1->renderItem()->pixmap().isNull(), eventwait::kHangMs);
    QTRY_VERIFY_WITH_TIMEOUT(!t2->renderItem()->pixmap().isNull(), eventwait::kHangMs);
    QCOMPARE(t1->renderItem()->pixmap().size(), QSize(640, 480));

    // The unpaired tile can be selected; zoom then reaches no tile.
    QTest::mouseClick(t3->viewport(), Qt::LeftButton);
    const double before = t1->scaleFactor();
    manager->zoomOut();
    QCOMPARE(t1->scaleFactor(), before);
    // Selecting the first tile routes the toolbar to it.
    QTest::mouseClick(t1->viewport(), Qt::LeftButton);
    manager->zoomOut();
    QCOMPARE(t1->scaleFactor(), qMin(5.0, before * 1.1));

    // Closing a tile makes its camera idle; an idle camera can be shown in the empty tile.
    t2->slotClose();
    QVERIFY(!t2->renderItem());
    QCOMPARE(ips(manager->getIdleDeviceList()), QStringList{manager->getDeviceList().at(1)->getIp()});
    manager->connectOne(t3.get(), manager->getDeviceList().at(1)->getIp());
    QVERIFY(t3->renderItem());
    manager->connectOne(t2.get(), manager->getDeviceList().at(1)->getIp());    // already shown: refused
    QVERIFY(!manager->isViewUsed(t2.get()));
    // A tile deleted with its layout leaves no pair behind.
    t3.reset();
    QCOMPARE(manager->getIdleDeviceList().size(), 1);
    // Switching devices is refused in multi view mode.
    manager->switchDevice(manager->getDeviceList().at(1)->getIp());
    QCOMPARE(manager->getCurDevice(), manager->getDeviceList().at(0));
    manager->enterMode(0);
    QVERIFY(!manager->isViewUsed(t1.get()));
}

void TestWirelessManage::modesAndIdleDevices()
{
    FakeCameraProcess a(CameraA), b(CameraB);
    QVERIFY(a.waitReady());
    QVERIFY(b.waitReady());
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 2, eventwait::kHangMs);
    // Single view: every device but the current one is idle.
    QCOMPARE(manager->getIdleDeviceList().size(), 1);
    QVERIFY(!manager->getIdleDeviceList().contains(manager->getCurDevice()));
    const QString other = manager->getIdleDeviceList().first()->getIp();
    manager->switchDevice(other);
    QCOMPARE(manager->getCurDevice()->getIp(), other);
    manager->switchDevice("127.0.0.99");
    QCOMPARE(manager->getCurDevice()->getIp(), other);
    manager->enterMode(1);
    QCOMPARE(int(manager->getDeviceList().at(0)->showMode()), 1);
    manager->enterMode(1);    // same mode: nothing changes
    QCOMPARE(manager->viewMode(), 1);
    QCOMPARE(manager->getIdleDeviceList().size(), 2);
    manager->enterMode(0);
    QCOMPARE(int(manager->getDeviceList().at(1)->showMode()), 0);
}

void TestWirelessManage::forwardingNeedsASelectedTile()
{
    auto view = tile();
    view->createRender();
    view->showImg(QImage(800, 600, QImage::Format_RGB32));
    const double scale = view->scaleFactor();
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->enterMode(1);
    manager->slotSelect(view.get());    // no pair holds it
    manager->zoomOut();
    manager->rotateRight();
    QCOMPARE(view->scaleFactor(), scale);
    QCOMPARE(view->rotation(), 0.0);
}

void TestWirelessManage::tileFit_data()
{
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<int>("turns");    // quarter turns to the right
    QTest::addColumn<double>("scale");
    QTest::newRow("upright wide frame") << QSize(1920, 1080) << 0 << 400.0 / 1920;
    QTest::newRow("quarter turn") << QSize(1920, 1080) << 1 << 400.0 / 1920;
    QTest::newRow("upright tall frame") << QSize(300, 600) << 0 << 400.0 / 600;
    QTest::newRow("turned tall frame") << QSize(300, 600) << 1 << 400.0 / 600;
    QTest::newRow("half turn") << QSize(800, 400) << 2 << 0.5;
}

void TestWirelessManage::tileFit()
{
    QFETCH(QSize, frame);
    QFETCH(int, turns);
    QFETCH(double, scale);
    auto view = tile(400, 400);
    view->createRender();
    view->showImg(QImage(frame, QImage::Format_RGB32));
    for (int i = 0; i < turns; ++i)
        view->rotateRight();
    view->slotFitToView();
    QVERIFY(qAbs(view->scaleFactor() - scale) < 1e-9);
    QCOMPARE(view->rotation(), double((turns % 4) * 90));
    // A second frame of the same size keeps the user's zoom.
    view->zoomOut();
    const double zoomed = view->scaleFactor();
    view->showImg(QImage(frame, QImage::Format_RGB32));
    QCOMPARE(view->scaleFactor(), zoomed);
    // Zoom limits.
    view->zoomInOut(100);
    QCOMPARE(view->scaleFactor(), 0.1);
    view->zoomInOut(9000000);
    QCOMPARE(view->scaleFactor(), 5.0);
}

void TestWirelessManage::tileWithoutFrame()
{
    auto view = tile();
    view->rotateRight();
    view->slotFitToView();
    QCOMPARE(view->scaleFactor(), 1.0);
    view->createRender();    // an empty picture: nothing to fit
    view->rotateLeft();
    view->slotFitToView();
    view->slot1on1();
    QCOMPARE(view->scaleFactor(), 1.0);
    view->showImg(QImage());
    QVERIFY(view->renderItem()->pixmap().isNull());
}

void TestWirelessManage::tileSolutionMenu()
{
    FakeCameraProcess a(CameraA, {"--sizes", "1280*720,640*480,1920*1080"});
    QVERIFY(a.waitReady());
    qputenv("ORVANE_WIRELESS_TARGETS", "127.0.0.2");
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    manager->searchDevice();
    QTRY_COMPARE_WITH_TIMEOUT(manager->getDeviceList().size(), 1, eventwait::kHangMs);
    WirelessDevice* device = manager->getCurDevice();
    QTRY_COMPARE_WITH_TIMEOUT(device->getCameraCurSolution(), QString("1280x720"), eventwait::kHangMs);
    manager->enterMode(1);
    auto view = tile();
    view->show();
    QList<GraphicsViewForWirelessDevice*> views{view.get()};
    manager->connectAll(views);

    QStringList texts;
    QList<bool> ticks;
    bool deviceMenuEnabled = true;
    QTimer::singleShot(200, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions()) {
            if (!action->menu())
                continue;
            if (action->menu()->title() == "switch device")
                deviceMenuEnabled = action->menu()->isEnabled();
            if (action->menu()->title() != "solution")
                continue;
            for (QAction* item : action->menu()->actions()) {
                texts << item->text();
                ticks << item->isChecked();
            }
        }
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), view->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(view->viewport(), &event);
    QCOMPARE(texts, (QStringList{"0:1280x720", "1:640x480", "2:1920x1080"}));
    // Only the size in use is ticked.
    QCOMPARE(ticks, (QList<bool>{true, false, false}));
    QVERIFY(!deviceMenuEnabled);

    // Choosing a size restarts the stream at it.
    QAction choice("1:640x480");
    choice.setData("1");
    choice.setCheckable(true);
    view->slotSolutionActionTriggered(&choice);
    QCOMPARE(device->getCameraCurSolution(), QString("640x480"));
    QTRY_VERIFY_WITH_TIMEOUT(a.bytes().contains("CMD_SET_BACK_FRAME 640*480"), eventwait::kHangMs);
    QTRY_COMPARE_WITH_TIMEOUT(view->renderItem()->pixmap().size(), QSize(640, 480), eventwait::kHangMs);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestWirelessManage test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wirelessmanage.moc"
