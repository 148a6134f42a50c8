// Device search against the virtual cameras: camera ids from the UVC layer, the video
// device list, mytool's listing and mode probe, the choice of mode and the microphones.

#include "paxcamerainfo.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtTest>

using Info = PaxCameraInfo::_CameraDeviceInfoS;

namespace {

QStringList sizes(const Info& info)
{
    QStringList out;
    for (const PaxCameraInfo::_Device_Option& o : info.optionList)
        out << QStringLiteral("%1@%2").arg(o.video_size).arg(o.fps);
    return out;
}

QStringList micNames()
{
    QStringList out;
    for (const PaxCameraInfo::_MicrophoneS& m : PaxCameraInfo::getInstance()->getMicrophoneList())
        out << m.name;
    return out;
}

void usePath(const char* version)
{
    qputenv("ORVANE_PLATFORM_VERSION", version);
    pax_resetMacosVersionCache();
}

} // namespace

class tst_CameraSearch : public QObject
{
    Q_OBJECT

    PaxCameraInfo* model() { return PaxCameraInfo::getInstance(); }

private slots:
    void initTestCase()
    {
        const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/mytool");
        QVERIFY2(QFileInfo(tool).isExecutable(), qPrintable(tool));
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "needs an X display for the screen entry");
        usePath("11.0");
        QVERIFY(!isAvailableMacos13());
    }

    void cleanup()
    {
        PaxCameraInfo::releaseInstance();
        PaxUvcControl::releaseInstance();
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
    }

    void inProcess_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("mainName");
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<int>("secondIndex");
        QTest::addColumn<QStringList>("mics");

        QTest::newRow("two virtual cameras") << QByteArray("2") << 0 << "Virtual Document Camera" << 0
                                             << "Virtual Second Camera" << 1 << QStringList{"Virtual Microphone"};
        QTest::newRow("one virtual camera") << QByteArray("1") << 0 << "Virtual Document Camera" << 0 << "" << -1
                                            << QStringList{"Virtual Microphone"};
        QTest::newRow("no camera") << QByteArray() << -1 << "" << -1 << "" << -1 << QStringList{};
    }

    void inProcess()
    {
        QFETCH(QByteArray, setting);
        QFETCH(int, result);
        QFETCH(int, mainIndex);
        QFETCH(int, secondIndex);
        qputenv("ORVANE_VIRTUAL_CAMERA", setting);

        QCOMPARE(model()->searchCameraDeviceInfo(), result);
        const Info main = model()->getCameraInfo(PaxCameraIndexMain);
        QTEST(main.deviceNameInMac, "mainName");
        QTEST(main.deviceIndexInMac, "mainIndex");
        const Info second = model()->getCameraInfo(PaxCameraIndexSecond);
        QTEST(second.deviceNameInMac, "secondName");
        QTEST(second.deviceIndexInMac, "secondIndex");
        const QStringList modes{"640x480@30", "1280x720@30", "1920x1080@30"};
        QCOMPARE(sizes(main), mainIndex >= 0 ? modes : QStringList());
        QCOMPARE(sizes(second), secondIndex >= 0 ? modes : QStringList());
        if (mainIndex >= 0) {
            QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
            QCOMPARE(model()->getCameraCurRealSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
            QCOMPARE(model()->getCameraCurFps(PaxCameraIndexMain), 30);
            QVERIFY(model()->isValidCamera(PaxCameraIndexMain));
        }
        if (secondIndex >= 0)
            QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexSecond), QStringLiteral("1920x1080"));
        QTEST(micNames(), "mics");
        QFETCH(QStringList, mics);
        QCOMPARE(model()->getCurMicrophoneIndex(), mics.isEmpty() ? -1 : 0);
        if (result == 0) {
            const Info screen = model()->getCameraInfo(PaxCameraIndexScreen);
            QCOMPARE(screen.deviceNameInMac, QStringLiteral("Capture screen 0"));
            QCOMPARE(screen.deviceIndexInMac, secondIndex >= 0 ? 2 : 1);
            QVERIFY(screen.optionList.isEmpty());
        }
    }

    void laterSearchStartsAfresh()
    {
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
        QCOMPARE(model()->searchCameraDeviceInfo(), 0);
        QCOMPARE(model()->getCurMicrophoneIndex(), 0);
        QCOMPARE(model()->switchCameraSolution(PaxCameraIndexMain, 1280, 720), 0);

        qputenv("ORVANE_VIRTUAL_CAMERA", "");
        QCOMPARE(model()->searchCameraDeviceInfo(), -1);
        const Info main = model()->getCameraInfo(PaxCameraIndexMain);
        QVERIFY(main.deviceNameInMac.isEmpty());
        QCOMPARE(main.deviceIndexInMac, -1);
        QCOMPARE(main.show_option, -1);
        QVERIFY(main.optionList.isEmpty());
        QVERIFY(model()->getCameraInfo(PaxCameraIndexSecond).deviceNameInMac.isEmpty());
        QVERIFY(model()->getMicrophoneList().isEmpty());
        // The screen record and the chosen microphone outlive a failed search.
        QCOMPARE(model()->getCameraInfo(PaxCameraIndexScreen).deviceNameInMac, QStringLiteral("Capture screen 0"));
        QCOMPARE(model()->getCurMicrophoneIndex(), 0);
        QCOMPARE(model()->getCameraCurFps(PaxCameraIndexMain), -1);
    }
};

QTEST_GUILESS_MAIN(tst_CameraSearch)
#include "tst_camerasearch.moc"
