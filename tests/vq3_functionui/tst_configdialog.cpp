// Settings dialog: both forms' geometry, the write-on-Close rules (byte-identical file without
// changes, restart code on a language change), the record form's target and the wireless form's
// set-up commands against a recording double of the wireless manager.
#include "configdialog.h"
#include "camerarecorddialog.h"
#include "dialogtest.h"
#include "fakecamerasdk.h"
#include "mymemory.h"
#include "paxmacos.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"
#include "tipsdialog.h"
#include "wirelessdevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
class FakeWirelessDevice : public DialogWirelessDevice
{
public:
    WirelessDeviceInfo info;
    QStringList* calls = nullptr;
    WirelessDeviceInfo getDeviceInfo() const override { return info; }
    void setAp(const QString& name, int channel) override { *calls << QStringLiteral("setAp %1 %2").arg(name).arg(channel); }
    void setStation(const QString& name, const QString& password) override
    {
        *calls << QStringLiteral("setStation %1 %2").arg(name, password);
    }
};

class FakeWirelessManager : public DialogWirelessManager
{
public:
    QList<DialogWirelessDevice*> devices;
    DialogWirelessDevice* current = nullptr;
    DialogWirelessDevice* getCurDevice() override { return current; }
    QList<DialogWirelessDevice*> getDeviceList() override { return devices; }
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template <class T>
T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QLatin1String(name));
}
} // namespace

class TestConfigDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    FakeCameraSdk m_sdk;
    FakeWirelessManager m_manager;
    FakeWirelessDevice m_station;
    FakeWirelessDevice m_ap;
    QStringList m_calls;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.filePath("app"));
        PaxScreenQtLib::setSavePath(m_dir.filePath("screen/"));
        DialogCameraSdk::setInstance(&m_sdk);
        m_station.calls = &m_calls;
        m_station.info.mode = 1;
        m_station.info.deviceName = "Cam-S";
        m_station.info.ip = "127.0.0.2";
        m_station.info.wifiName = "Office";
        m_station.info.channel = 2;
        m_ap.calls = &m_calls;
        m_ap.info.mode = 0;
        m_ap.info.deviceName = "Cam-A";
        m_ap.info.ip = "127.0.0.3";
        m_ap.info.wifiName = "CamNet";
        m_ap.info.channel = 4;
        m_manager.devices = {&m_station, &m_ap};
        m_manager.current = &m_ap;
        DialogWirelessManager::setInstance(&m_manager);
    }
    void init()
    {
        m_calls.clear();
        m_sdk.calls.clear();
        m_manager.current = &m_ap;
        m_ap.info.channel = 4;
    }
    void cleanup() { ScreenGeometry::clearOverride(); }
    void cleanupTestCase()
    {
        DialogWirelessManager::setInstance(nullptr);
        DialogCameraSdk::setInstance(nullptr);
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("wireless");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("close");
        QTest::addColumn<QRect>("picture");
        // D = W/3, u = W/120, v = H/74 (wireless) or H/66 (record)
        QTest::newRow("record 1920x1080") << QSize(1920, 1080) << false << QRect(640, 360, 640, 360)
                                          << QRect(640 - 144, 19 * 16, 128, 32) << QRect(176, 64, 640 - 272, 32);
        QTest::newRow("wireless 1920x1080") << QSize(1920, 1080) << true << QRect(640, 270, 640, 540)
                                            << QRect(640 - 144, 34 * 14, 128, 28) << QRect(160, 56, 112, 28);
        QTest::newRow("record 1440x900") << QSize(1440, 900) << false << QRect(480, 300, 480, 300)
                                         << QRect(480 - 108, 19 * 13, 96, 26) << QRect(132, 52, 480 - 204, 26);
        QTest::newRow("wireless 1680x1050") << QSize(1680, 1050) << true << QRect(560, 262, 560, 525)
                                            << QRect(560 - 126, 34 * 14, 112, 28) << QRect(140, 56, 98, 28);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(bool, wireless);
        QFETCH(QRect, dialog);
        QFETCH(QRect, close);
        QFETCH(QRect, picture);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        ConfigDialog d(wireless, nullptr);
        QCOMPARE(d.geometry(), dialog);
        QCOMPARE(d.m_buttonClose->geometry(), close);
        QCOMPARE(d.m_option1->geometry(), picture);
        QCOMPARE(d.m_option2->isHidden(), !wireless);
        QVERIFY(d.m_option5->isHidden());
        QVERIFY(d.m_buttonHelp->isHidden());
        QCOMPARE(d.windowTitle(), QStringLiteral("Settings"));
    }

    void closeWithoutChangesWritesNothing_data()
    {
        QTest::addColumn<bool>("wireless");
        QTest::newRow("record form") << false;
        QTest::newRow("wireless form") << true;
    }
    void closeWithoutChangesWritesNothing()
    {
        QFETCH(bool, wireless);
        MyMemory::getInstance()->setConfigVideoFormat(1);   // hidden in the record form, still kept
        const QByteArray before = readAll(MyMemory::configFileName());
        QVERIFY(!before.isEmpty());
        QEventLoop loop;
        int code = -1;
        QTimer::singleShot(0, [&] {
            ConfigDialog d(wireless, nullptr);
            dialogtest::onNextModal("ConfigDialog", [](QWidget* w) {
                dialogtest::saveScreenshot(w, w->findChild<QGroupBox*>() ? "settings_wireless" : "settings_record");
                static_cast<ConfigDialog*>(w)->m_buttonClose->click();
            }, eventwait::kHangMs, &d);
            d.exec();
            loop.exit(0);
        });
        code = loop.exec();
        QCOMPARE(code, 0);
        QCOMPARE(readAll(MyMemory::configFileName()), before);
    }

    void escapeWritesNothing()
    {
        const QByteArray before = readAll(MyMemory::configFileName());
        ConfigDialog d(false, nullptr);
        d.m_checkRecordAudio->setChecked(false);
        dialogtest::onNextModal("ConfigDialog", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, eventwait::kHangMs, &d);
        d.exec();
        QCOMPARE(readAll(MyMemory::configFileName()), before);
    }

    void uvcBoxFollowsPlatformVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("visible");
        QTest::newRow("11.0 hides") << "11.0" << false;
        QTest::newRow("13.0 shows") << "13.0" << true;
    }
    void uvcBoxFollowsPlatformVersion()
    {
        QFETCH(QString, version);
        QFETCH(bool, visible);
        qputenv("ORVANE_PLATFORM_VERSION", version.toLatin1());
        pax_resetMacosVersionCache();
        ConfigDialog d(false, nullptr);
        QCOMPARE(!d.m_checkUvcControl->isHidden(), visible);
        qputenv("ORVANE_PLATFORM_VERSION", "11.0");
        pax_resetMacosVersionCache();
    }

    void cancelledChooserKeepsFolder()
    {
        ConfigDialog d(false, nullptr);
        const QString before = d.m_edit1->text();
        dialogtest::onNextModal("QFileDialog", [](QWidget* w) { static_cast<QDialog*>(w)->reject(); }, eventwait::kHangMs, &d);
        d.m_buttonSelectPath->click();
        QCOMPARE(d.m_edit1->text(), before);
    }

    void recordTypeAndOptions_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("status");    // the recording of that type
        QTest::addColumn<int>("selection");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("target");
        QTest::newRow("screen, idle") << 0 << 0 << 0 << true << 2;
        QTest::newRow("main camera, idle") << 1 << 0 << -1 << true << 0;
        QTest::newRow("second camera, recording") << 2 << 1 << -1 << false << -1;
        QTest::newRow("main camera, paused") << 1 << 2 << -1 << false << -1;
    }
    void recordTypeAndOptions()
    {
        QFETCH(int, stored);
        QFETCH(int, status);
        QFETCH(int, selection);
        QFETCH(bool, enabled);
        QFETCH(int, target);
        MyMemory::getInstance()->setRecordType(MyMemory::MyRecordType(stored));
        m_sdk.recordInfo[0].status = stored == 1 ? status : 0;
        m_sdk.recordInfo[1].status = stored == 2 ? status : 0;
        ConfigDialog d(false, nullptr);
        auto* type = child<QComboBox>(d, "m_comboRecordType");
        auto* options = child<QPushButton>(d, "m_buttonRecordConfig");
        QCOMPARE(type->currentIndex(), selection);
        QCOMPARE(type->isEnabled(), enabled);
        QCOMPARE(options->isEnabled(), enabled);
        QVERIFY(m_sdk.calls.isEmpty());
        if (target >= 0) {
            int opened = -1;
            dialogtest::onNextModal("CameraRecordDialog", [&opened](QWidget* w) {
                opened = static_cast<CameraRecordDialog*>(w)->target();
                static_cast<QDialog*>(w)->reject();
            }, eventwait::kHangMs, &d);
            options->click();
            QCOMPARE(opened, target);
        }
        m_sdk.recordInfo[0].status = m_sdk.recordInfo[1].status = 0;
        MyMemory::getInstance()->setRecordType(MyMemory::RecordScreen);
    }

    void wirelessFieldsFollowTheCamera()
    {
        ConfigDialog d(true, nullptr);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        auto* devices = child<QComboBox>(d, "m_comboDevice");
        QCOMPARE(devices->count(), 2);
        QCOMPARE(devices->itemText(0), QStringLiteral("Cam-S:127.0.0.2:Office"));
        QCOMPARE(devices->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(d, "m_comboWorkmode")->currentIndex(), 0);
        QVERIFY(child<QLineEdit>(d, "m_editDeviceName")->isVisible());
        QVERIFY(!child<QLineEdit>(d, "m_editWifiName")->isVisible());
        QCOMPARE(child<QLineEdit>(d, "m_editDeviceName")->text(), QStringLiteral("Cam-A"));
        QCOMPARE(child<QComboBox>(d, "m_comboChannel")->currentText(), QStringLiteral("157"));
        devices->setCurrentIndex(0);
        QVERIFY(child<QLineEdit>(d, "m_editWifiName")->isVisible());
        QVERIFY(!child<QLabel>(d, "m_labelChannel")->isVisible());
        QCOMPARE(child<QLineEdit>(d, "m_editWifiName")->text(), QStringLiteral("Office"));
        QVERIFY(child<QLineEdit>(d, "m_editWifiPassword")->text().isEmpty());
        QCOMPARE(m_manager.current, static_cast<DialogWirelessDevice*>(&m_ap));   // the manager's stays
    }

    void wirelessCommit_data()
    {
        QTest::addColumn<int>("device");       // 0 station camera, 1 access-point camera
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("answer");    // button of the confirmation tip
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("tip");       // text of the tip that follows, if any
        QTest::newRow("station") << 0 << "Home" << "secret" << "m_buttonConfirm" << QStringList{"setStation Home secret"}
                                 << "Pls link wifi to Home,then restart!";
        QTest::newRow("access point") << 1 << "Cam-B" << "" << "m_buttonConfirm" << QStringList{"setAp Cam-B 4"} << "";
        QTest::newRow("cancelled") << 0 << "Home" << "secret" << "m_buttonCancel" << QStringList() << "";
        QTest::newRow("password with a marker") << 0 << "Home" << "x PASSWD:y" << "m_buttonConfirm" << QStringList()
                                                << "Invalid Wi-Fi name or password";
        QTest::newRow("name with a command") << 1 << "CMD_REBOOT" << "" << "m_buttonConfirm" << QStringList()
                                             << "Invalid device name or channel";
    }
    void wirelessCommit()
    {
        QFETCH(int, device);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, answer);
        QFETCH(QStringList, sent);
        QFETCH(QString, tip);
        ConfigDialog d(true, nullptr);
        child<QComboBox>(d, "m_comboDevice")->setCurrentIndex(device);
        if (device == 0) {
            child<QLineEdit>(d, "m_editWifiName")->setText(name);
            child<QLineEdit>(d, "m_editWifiPassword")->setText(password);
        } else {
            child<QLineEdit>(d, "m_editDeviceName")->setText(name);
        }
        QString shown;
        dialogtest::onNextModal("TipsDialog", [answer, &shown, &d](QWidget* w) {
            dialogtest::onNextModal("QDialog", [&shown](QWidget* next) {
                auto* label = next->findChild<QLabel*>("label");
                shown = label ? label->text() : static_cast<QMessageBox*>(next)->text();
                QTest::keyClick(next, Qt::Key_Escape);
            }, eventwait::kHangMs, &d);
            w->findChild<QPushButton*>(answer)->click();
        }, eventwait::kHangMs, &d);
        child<QPushButton>(d, "m_buttonCommit")->click();
        QVERIFY(dialogtest::flushEvents());
        QCOMPARE(m_calls, sent);
        QCOMPARE(shown, tip);
    }

    void channelOutsideTheListSendsNothing()
    {
        m_ap.info.channel = 7;
        ConfigDialog d(true, nullptr);
        QCOMPARE(child<QComboBox>(d, "m_comboChannel")->currentIndex(), -1);
        dialogtest::onNextModal("TipsDialog", [&d](QWidget* w) {
            dialogtest::onNextModal("QMessageBox", [](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); }, eventwait::kHangMs, &d);
            w->findChild<QPushButton*>("m_buttonConfirm")->click();
        }, eventwait::kHangMs, &d);
        child<QPushButton>(d, "m_buttonCommit")->click();
        QVERIFY(m_calls.isEmpty());
    }

    void noCurrentCameraGivesEmptyFields()
    {
        m_manager.current = nullptr;
        ConfigDialog d(true, nullptr);
        QCOMPARE(child<QComboBox>(d, "m_comboDevice")->currentIndex(), -1);
        QVERIFY(child<QLineEdit>(d, "m_editWifiName")->text().isEmpty());
        QVERIFY(child<QLineEdit>(d, "m_editDeviceName")->text().isEmpty());
        QCOMPARE(child<QComboBox>(d, "m_comboChannel")->currentIndex(), -1);
        dialogtest::onNextModal("TipsDialog", [](QWidget* w) { w->findChild<QPushButton*>("m_buttonConfirm")->click(); },
                                eventwait::kHangMs, &d);
        child<QPushButton>(d, "m_buttonCommit")->click();
        QVERIFY(m_calls.isEmpty());
    }
    // Last: after exit(773) no nested event loop runs again until the application's own loop
    // starts, so nothing may follow this case.
    void languageChangeRestarts()
    {
        QEventLoop loop;
        QTimer::singleShot(0, [&] {
            ConfigDialog d(false, nullptr);
            d.m_option3->addItem("Another language");
            d.m_option3->setCurrentIndex(1);
            d.m_checkRecordAudio->setChecked(false);
            dialogtest::onNextModal("ConfigDialog", [](QWidget* w) { static_cast<ConfigDialog*>(w)->m_buttonClose->click(); },
                                    eventwait::kHangMs, &d);
            d.exec();
        });
        QCOMPARE(loop.exec(), 773);
        MyMemory::releaseInstance();   // what was written is what the next start reads
        QCOMPARE(int(MyMemory::getInstance()->getCurLanguage()), 1);
        QCOMPARE(MyMemory::getInstance()->getConfigGrabTipAudio(), false);
        MyMemory::getInstance()->setConfigCurLanguage(MyMemory::Chinese_Simplified);
        MyMemory::getInstance()->setConfigGrabTipAudio(true);
    }
};

QTEST_MAIN(TestConfigDialog)
#include "tst_configdialog.moc"
