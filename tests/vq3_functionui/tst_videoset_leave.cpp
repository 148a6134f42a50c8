// Leaving the UVC preview mode (macOS 12 on): the camera is switched back at once and the tip
// waits only for what is left of its minimum afterwards.
#include "dialogtest.h"
#include "fakecamerasdk.h"
#include "paxmacos.h"
#include "videoset.h"

class TestVideoSetLeave : public QObject
{
    Q_OBJECT

private slots:
    void switchesBackFirstThenWaitsForTheRest()
    {
        qputenv("ORVANE_PLATFORM_VERSION", "13.0");
        pax_resetMacosVersionCache();
        FakeCameraSdk sdk;
        DialogCameraSdk::setInstance(&sdk);
        FakeCameraSdk* camera = &sdk;
        VideoSet::setWorkModeSwitch([camera](int mode) {
            camera->log(QStringLiteral("switchWorkMode %1").arg(mode));
            return 0;
        });
        QList<int> waits;
        VideoSet::setLeaveWait([camera, &waits](int ms) {
            camera->log(QStringLiteral("wait"));
            waits << ms;
        });
        dialogtest::onNextModal("VideoSet", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        VideoSet::showWindow(QPoint(300, 1000), nullptr);

        QCOMPARE(sdk.calls, (QStringList{"closeCurCamera", "wait", "switchWorkMode 0", "openCurCamera", "wait"}));
        QCOMPARE(waits.size(), 2);
        QCOMPARE(waits.first(), 500);
        // What is left of the 5.5 s minimum: the 500 ms above took no time here.
        QVERIFY2(waits.last() > 5000 && waits.last() <= 5500, qPrintable(QString::number(waits.last())));

        VideoSet::destroyWindow();
        VideoSet::setWorkModeSwitch({});
        VideoSet::setLeaveWait({});
        DialogCameraSdk::setInstance(nullptr);
    }
};

QTEST_MAIN(TestVideoSetLeave)
#include "tst_videoset_leave.moc"
