// The plain-type facade as a host without Qt uses it: released and made again in one process with
// the default platform, and arguments at the edges of their types (picture formats, mouse points).

#include "paxcommonlib.h"

#include "nousbevents.h"
#include "paxdevicemonitor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QtTest>

#include <climits>

namespace {

struct Got {
    int found = 0;
    int frames = 0;
} g_got;

void onChange(_PaxChangeNotifyE what)
{
    if (what == PaxChangeDeviceFound)
        ++g_got.found;
}

void onFrame(_PaxFrameInfoS frame)
{
    if (frame.width > 0 && frame.height > 0 && frame.data)
        ++g_got.frames;
}

// Runs the events of the facade's application object until `done` holds or 60 s have passed.
template <typename F>
bool waitFor(F done)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return done();
}

QRect storedTrim()
{
    QRect r;
    return PaxData::getInstance()->getManuTrimRect(r) ? r : QRect();
}

_PaxPointS point(int x, int y)
{
    return _PaxPointS{x, y};
}

} // namespace

Q_DECLARE_METATYPE(_PaxPointS)

class tst_CommonLibBounds : public QObject
{
    Q_OBJECT

    PaxCommonLib* lib() { return PaxCommonLib::getInstance(); }

    void drag(_PaxPointS from, _PaxPointS to)
    {
        lib()->setManuTrimMouseLeftKeyPress(from);
        lib()->setManuTrimMouseLeftKeyMove(to);
        lib()->setManuTrimMouseLeftRelease();
    }

private slots:
    void initTestCase()
    {
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
        QVERIFY(!QCoreApplication::instance());
    }

    void releasedAndMadeAgain_data()
    {
        QTest::addColumn<int>("rounds");
        QTest::addColumn<QByteArray>("platformSetting");
        QTest::addColumn<QString>("platform");
        QTest::newRow("five rounds, no platform named") << 5 << QByteArray() << QStringLiteral("offscreen");
        QTest::newRow("two rounds, the host names one") << 2 << QByteArray("minimal") << QStringLiteral("minimal");
    }

    void releasedAndMadeAgain()
    {
        QFETCH(int, rounds);
        QFETCH(QByteArray, platformSetting);
        QFETCH(QString, platform);
        if (platformSetting.isEmpty())
            qunsetenv("QT_QPA_PLATFORM");
        else
            qputenv("QT_QPA_PLATFORM", platformSetting);
        const auto unset = qScopeGuard([] { qunsetenv("QT_QPA_PLATFORM"); });
        for (int round = 1; round <= rounds; ++round) {
            g_got = Got();
            lib()->registerCallBackFun(&onChange);
            QVERIFY2(qobject_cast<QGuiApplication*>(QCoreApplication::instance()), qPrintable(QString::number(round)));
            QCOMPARE(QGuiApplication::platformName(), platform);
            QVERIFY2(waitFor([] { return g_got.found > 0; }), qPrintable(QString::number(round)));
            lib()->registerCallBackFun(&onFrame);
            lib()->openCamera();
            QVERIFY2(waitFor([] { return g_got.frames >= 3; }), qPrintable(QString::number(round)));
            lib()->closeCamera();
            lib()->registerCallBackFun(static_cast<PaxCommonLib::FrameCallback>(nullptr));
            lib()->registerCallBackFun(static_cast<PaxCommonLib::ChangeCallback>(nullptr));
            PaxCommonLib::releaseInstance();
            QVERIFY(!QCoreApplication::instance());
        }
    }

    void picSaveFormatOutOfRange_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("42") << 42;
        QTest::newRow("one past pdf") << 5;
        QTest::newRow("negative") << -1;
        QTest::newRow("largest int") << INT_MAX;
    }

    void picSaveFormatOutOfRange()
    {
        QFETCH(int, format);
        lib()->setPicSaveFormat(PaxPicSaveFormatPng);
        lib()->setPicSaveFormat(_PaxPicSaveFormatE(format));
        QCOMPARE(int(lib()->getPicSaveFormat()), int(PaxPicSaveFormatPng));
        lib()->setPicSaveFormat(PaxPicSaveFormatPdf);
        QCOMPARE(int(lib()->getPicSaveFormat()), int(PaxPicSaveFormatPdf));
        lib()->setPicSaveFormat(PaxPicSaveFormatJpg);
    }

    void trimFromExtremePoints_data()
    {
        QTest::addColumn<_PaxPointS>("from");
        QTest::addColumn<_PaxPointS>("to");
        QTest::addColumn<bool>("fromHandle");
        QTest::newRow("least to greatest") << point(INT_MIN, INT_MIN) << point(INT_MAX, INT_MAX) << false;
        QTest::newRow("greatest to least") << point(INT_MAX, INT_MAX) << point(INT_MIN, INT_MIN) << false;
        QTest::newRow("mixed corners") << point(INT_MIN, INT_MAX) << point(INT_MAX, INT_MIN) << false;
        QTest::newRow("top-left handle to least") << point(10, 10) << point(INT_MIN, INT_MIN) << true;
        QTest::newRow("bottom-right handle to greatest") << point(109, 109) << point(INT_MAX, INT_MAX) << true;
        QTest::newRow("whole rectangle moved to least") << point(50, 50) << point(INT_MIN, INT_MIN) << true;
    }

    void trimFromExtremePoints()
    {
        QFETCH(_PaxPointS, from);
        QFETCH(_PaxPointS, to);
        QFETCH(bool, fromHandle);
        QVERIFY(lib()); // the facade first: it makes the application object and the store
        PaxData::getInstance()->setCurrentWorkMode(PaxWorkModeCommon);
        lib()->setManuTrim(true);
        lib()->setManuTrimRemoveRect();
        if (fromHandle)
            drag(point(10, 10), point(110, 110));
        drag(from, to);
        // A drag that starts on the rectangle so made: its handles and sides are worked out.
        drag(point(0, 0), point(1, 1));
        QVERIFY(lib()->getManuTrim());
        const QRect r = storedTrim().normalized();
        QVERIFY(!r.isNull());
        // The rectangle reaches far towards the points, and a plain drag still works after it.
        if (!fromHandle)
            QVERIFY(r.contains(QRect(-1000000, -1000000, 2000000, 2000000)));
        lib()->setManuTrimRemoveRect();
        drag(point(20, 30), point(220, 130));
        QCOMPARE(storedTrim(), QRect(QPoint(20, 30), QPoint(220, 130)));
        lib()->setManuTrimRemoveRect();
    }

    void cleanupTestCase() { PaxCommonLib::releaseInstance(); }
};

// No application object and no platform named: the facade makes what a plain host needs.
int main(int argc, char** argv)
{
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    tst_CommonLibBounds test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commonlib_bounds.moc"
