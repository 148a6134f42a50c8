// Start-up pieces: splash size rule, camera permission wait, SIGINT delivered to the GUI thread.
#include "eventwait.h"
#include "appstartup.h"
#include "logcapture.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TestAppStartup : public QObject
{
    Q_OBJECT
private slots:
    void splashSize_data();
    void splashSize();
    void permission_data();
    void permission();
    void sigintReachesTheEventLoop();
};

void TestAppStartup::splashSize_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("target");
    QTest::newRow("wide picture") << QSize(1440, 900) << QSize(1000, 500) << QSize(600, 300);
    QTest::newRow("square picture") << QSize(1440, 900) << QSize(400, 400) << QSize(480, 480);
    QTest::newRow("full hd") << QSize(1920, 1040) << QSize(1920, 1080) << QSize(640, 360);
    QTest::newRow("missing picture") << QSize(1440, 900) << QSize(0, 0) << QSize();
    QTest::newRow("flat picture") << QSize(1440, 900) << QSize(800, 0) << QSize();
    QTest::newRow("huge picture") << QSize(1920, 1080) << QSize(60000, 40000) << QSize(640, 426);
}

void TestAppStartup::splashSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, picture);
    QFETCH(QSize, target);
    QCOMPARE(AppStartup::splashTargetSize(available, picture), target);
}

void TestAppStartup::permission_data()
{
    QTest::addColumn<QList<int>>("statuses");    // what each look at the status gives
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("requests");
    QTest::addColumn<int>("polls");
    QTest::newRow("granted") << QList<int>{0} << 0 << 0 << 0;
    QTest::newRow("refused") << QList<int>{1} << 1 << 0 << 0;
    QTest::newRow("other from the start") << QList<int>{3} << 3 << 0 << 0;
    QTest::newRow("asked then granted") << QList<int>{2, 2, 2, 0} << 0 << 1 << 3;
    QTest::newRow("asked then refused") << QList<int>{2, 1} << 1 << 1 << 1;
    QTest::newRow("asked then other ends the wait") << QList<int>{2, 3} << 3 << 1 << 1;
}

void TestAppStartup::permission()
{
    QFETCH(QList<int>, statuses);
    QFETCH(int, result);
    QFETCH(int, requests);
    QFETCH(int, polls);
    int looks = 0;
    int asked = 0;
    int slept = 0;
    LogCapture capture;
    const int got = AppStartup::settleCameraPermission(
        [&] { return statuses.at(qMin(looks++, statuses.size() - 1)); }, [&] { ++asked; }, [&] { ++slept; });
    QCOMPARE(got, result);
    QCOMPARE(asked, requests);
    QCOMPARE(slept, polls);
    QCOMPARE(LogCapture::messages().filter("check camera privacy:").size(), polls);
}

void TestAppStartup::sigintReachesTheEventLoop()
{
    InterruptWatcher* watcher = InterruptWatcher::install(this);
    QVERIFY(watcher);
    QSignalSpy spy(watcher, &InterruptWatcher::interrupted);
    ::raise(SIGINT);    // the process keeps running: the handler only wakes the event loop
    QVERIFY(spy.wait(eventwait::kHangMs));
    QCOMPARE(spy.count(), 1);
    delete watcher;
}

QTEST_GUILESS_MAIN(TestAppStartup)
#include "tst_appstartup.moc"
