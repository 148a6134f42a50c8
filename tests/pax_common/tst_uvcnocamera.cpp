// The libuvc backend on a machine without a UVC camera (the virtual camera not selected).

#include "logcapture.h"
#include "paxuvccontrol.h"

#include <QtTest>

class tst_UvcNoCamera : public QObject
{
    Q_OBJECT
private slots:
    void refreshFindsNothing();
};

void tst_UvcNoCamera::refreshFindsNothing()
{
    QVERIFY(qEnvironmentVariableIsEmpty("ORVANE_VIRTUAL_CAMERA"));
    LogCapture log;
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    for (int round = 0; round < 2; ++round) {
        uvc->freshDevice(false);
        const QStringList lines = log.messages();
        if (log.countStartingWith(QStringLiteral("uvc_open success:")) > 0)
            QSKIP("a known UVC camera is attached to this machine");
        // No camera: libuvc reports the absence as a find error (or libusb has no USB at all).
        QVERIFY2(log.contains(QStringLiteral("uvc_find_devices error: -4"))
                     || log.countStartingWith(QStringLiteral("uvc_init error:")) > 0
                     || log.countStartingWith(QStringLiteral("uvc device number:")) > 0,
                 qPrintable(lines.join('\n')));
        QVERIFY(!uvc->isSuccessInit());
        QCOMPARE(uvc->getMainVid(), QString());
        QCOMPARE(uvc->getMainPid(), QString());
        QCOMPARE(uvc->getSecondVid(), QString());
        QCOMPARE(uvc->getSecondPid(), QString());
    }
    PaxUvcControl::_CameraInfo info;
    QCOMPARE(uvc->getBrightnessInfo(0, &info), -1);
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), -1);
    QCOMPARE(uvc->stopReceiveVideoFrame(0), -1);
    PaxUvcControl::releaseInstance();   // returns: a hang ends the test at its ceiling
}

QTEST_GUILESS_MAIN(tst_UvcNoCamera)
#include "tst_uvcnocamera.moc"
