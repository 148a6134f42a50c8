// The screen geometry every window is laid out from, at the three desktop sizes the dialogs are
// checked at, and the real screen when no override is set.
#include "screengeometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class TestScreenGeometry : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void realScreenWithoutOverride()
    {
        QVERIFY(!ScreenGeometry::hasOverride());
        QScreen* screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        QCOMPARE(ScreenGeometry::screenRect(), screen->geometry());
        QCOMPARE(ScreenGeometry::availableRect(), screen->availableGeometry());
        QCOMPARE(ScreenGeometry::logicalDpi(), screen->logicalDotsPerInch());
    }

    void layoutAtDesktopSizes_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("quarterCentred");   // W/4 x H/4, centred
        QTest::addColumn<QSize>("fifthByThirtieth"); // W/5 x H/30
        QTest::addColumn<QRect>("clipped");          // (W-100, H-50, 400, 300) clipped
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(720, 405, 480, 270) << QSize(384, 36)
                                   << QRect(1820, 1030, 100, 50);
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(540, 337, 360, 225) << QSize(288, 30)
                                  << QRect(1340, 850, 100, 50);
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(630, 394, 420, 262) << QSize(336, 35)
                                   << QRect(1580, 1000, 100, 50);
    }
    void layoutAtDesktopSizes()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, quarterCentred);
        QFETCH(QSize, fifthByThirtieth);
        QFETCH(QRect, clipped);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        QCOMPARE(ScreenGeometry::screenWidth(), screen.width());
        QCOMPARE(ScreenGeometry::screenHeight(), screen.height());
        QCOMPARE(ScreenGeometry::availableRect(), QRect(QPoint(0, 0), screen));
        const QSize quarter = ScreenGeometry::fractionOfScreen(1, 4, 1, 4);
        QCOMPARE(ScreenGeometry::centeredRect(quarter), quarterCentred);
        QCOMPARE(ScreenGeometry::fractionOfScreen(1, 5, 1, 30), fifthByThirtieth);
        QCOMPARE(ScreenGeometry::clipToScreen(QRect(screen.width() - 100, screen.height() - 50, 400, 300)), clipped);
    }

    void overrideKeepsAvailableAreaAndDpi()
    {
        ScreenGeometry::setOverride(QRect(0, 0, 1440, 900), QRect(0, 25, 1440, 850), 72);
        QCOMPARE(ScreenGeometry::availableRect(), QRect(0, 25, 1440, 850));
        QCOMPARE(ScreenGeometry::logicalDpi(), 72.0);
        ScreenGeometry::clearOverride();
        QCOMPARE(ScreenGeometry::screenRect(), QGuiApplication::primaryScreen()->geometry());
    }
};

QTEST_MAIN(TestScreenGeometry)
#include "tst_screengeometry.moc"
