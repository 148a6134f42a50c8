// The Qt facade started and released fifty times, each time while frames flow.

#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class tst_FacadeLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    }

    void startAndReleaseWhileFramesFlow()
    {
        qint64 slowest = 0;
        for (int i = 0; i < 50; ++i) {
            PaxQtLib* sdk = PaxQtLib::getInstance();
            QSignalSpy content(sdk, &PaxQtLib::sigContentChange);
            QSignalSpy frames(sdk, &PaxQtLib::sigGetOneFrame_currentCamera);
            QTRY_VERIFY_WITH_TIMEOUT(sdk->isDeviceSearchComplete(), 5000);
            sdk->openCurCamera();
            QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 3, 5000);
            QElapsedTimer t;
            t.start();
            PaxQtLib::releaseInstance();
            slowest = std::max(slowest, t.elapsed());
        }
        QVERIFY2(slowest < 2000, qPrintable(QString::number(slowest)));
    }
};

QTEST_MAIN(tst_FacadeLoop)
#include "tst_facade_loop.moc"
