// Manual trim by mouse through the Qt facade: drawing, handles, moving, removing, and the
// rectangle going away in the middle of a drag.

#include "nousbevents.h"
#include "paxdatafixture.h"

#include "paxdevicemonitor.h"
#include "paxlib.h"
#include "paxqtlib.h"

#include <QtTest>

namespace {
// One drag: press at `from`, moves through `path`, release.
struct Drag {
    QPoint from;
    QList<QPoint> path;
};

QRect stored()
{
    QRect r;
    return PaxData::getInstance()->getManuTrimRect(r) ? r : QRect(-5, -5, 1, 1);
}
} // namespace

Q_DECLARE_METATYPE(QList<QPoint>)

class tst_ManualTrim : public QObject
{
    Q_OBJECT

    PaxQtLib* lib() { return PaxQtLib::getInstance(); }

    void drag(QPoint from, const QList<QPoint>& path)
    {
        lib()->setManuTrimMouseLeftKeyPress(from);
        for (const QPoint& p : path)
            lib()->setManuTrimMouseLeftKeyMove(p);
        lib()->setManuTrimMouseLeftRelease();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
        QVERIFY(lib());
    }
    void init()
    {
        lib()->setCurrentWorkMode(PaxWorkModeCommon);
        lib()->setManuTrim(true);
        lib()->setManuTrimRemoveRect();
        PaxData::getInstance()->removeMenuTrimRect();
        QCoreApplication::processEvents();
    }
    void cleanupTestCase() { PaxQtLib::releaseInstance(); }

    void drags_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QList<QPoint>>("path");
        QTest::addColumn<QRect>("expected");
        const QList<QPoint> draw{{200, 180}, {300, 250}};
        QTest::newRow("top-left handle") << QPoint(105, 105) << QList<QPoint>{{110, 110}, {120, 130}}
                                         << QRect(QPoint(120, 130), QPoint(299, 249));
        QTest::newRow("bottom-right handle") << QPoint(305, 255) << QList<QPoint>{{400, 300}}
                                             << QRect(QPoint(100, 100), QPoint(399, 299));
        QTest::newRow("top-middle handle") << QPoint(200, 95) << QList<QPoint>{{250, 90}}
                                           << QRect(QPoint(100, 90), QPoint(300, 249));
        QTest::newRow("move inside") << QPoint(200, 170) << QList<QPoint>{{210, 165}}
                                     << QRect(QPoint(110, 95), QPoint(310, 245));
        QTest::newRow("press near nothing") << QPoint(50, 170) << QList<QPoint>{{60, 180}, {90, 200}}
                                            << QRect(QPoint(100, 100), QPoint(300, 250));
    }
    // First draw (100,100) -> (300,250), then the drag of the row.
    void drags()
    {
        QFETCH(QPoint, from);
        QFETCH(QList<QPoint>, path);
        QFETCH(QRect, expected);
        drag({100, 100}, {{200, 180}, {300, 250}});
        QCOMPARE(stored(), QRect(QPoint(100, 100), QPoint(300, 250)));
        drag(from, path);
        QCOMPARE(stored(), expected);
    }

    void resizeStartsFromTheCommittedRectangle()
    {
        drag({100, 100}, {{300, 250}});
        // Many moves in one drag: each starts again from the committed rectangle.
        drag({105, 105}, {{50, 50}, {80, 70}, {120, 130}});
        QCOMPARE(stored(), QRect(QPoint(120, 130), QPoint(299, 249)));
    }

    void pressAndReleaseStoresNothing()
    {
        drag({100, 100}, {});
        QRect r;
        QVERIFY(!PaxData::getInstance()->getManuTrimRect(r));
        lib()->setManuTrimRemoveRect(); // nothing to remove
        QVERIFY(!PaxData::getInstance()->getManuTrimRect(r));
    }

    void removeRect()
    {
        drag({100, 100}, {{300, 250}});
        lib()->setManuTrimRemoveRect();
        QRect r;
        QVERIFY(!PaxData::getInstance()->getManuTrimRect(r));
        // The next drag draws anew.
        drag({10, 20}, {{30, 40}});
        QCOMPARE(stored(), QRect(QPoint(10, 20), QPoint(30, 40)));
    }

    void manualTrimOffKeepsTheStoreEmpty()
    {
        lib()->setManuTrim(false);
        drag({100, 100}, {{300, 250}});
        QRect r;
        QVERIFY(!PaxData::getInstance()->getManuTrimRect(r));
    }

    // The work mode changes in the middle of a drag: the local rectangles go, the drag goes on
    // without them.
    void workModeChangeMidDrag()
    {
        drag({100, 100}, {{300, 250}});
        lib()->setManuTrimMouseLeftKeyPress({105, 105});
        lib()->setManuTrimMouseLeftKeyMove({110, 110});
        lib()->setCurrentWorkMode(PaxWorkModeBW);
        QCoreApplication::processEvents();
        lib()->setManuTrimMouseLeftKeyMove({120, 130});
        lib()->setManuTrimMouseLeftKeyMove({140, 150});
        lib()->setManuTrimMouseLeftRelease();
        lib()->setManuTrimRemoveRect();
        QRect r;
        QVERIFY(!PaxData::getInstance()->getManuTrimRectForBW(r));
        lib()->setCurrentWorkMode(PaxWorkModeCommon);
        QCoreApplication::processEvents();
        // Back in the common mode its rectangle is there again to be resized.
        QCOMPARE(stored(), QRect(QPoint(110, 110), QPoint(299, 249)));
        drag({295, 245}, {{280, 240}});
        QCOMPARE(stored().bottomRight(), QPoint(279, 239));
    }
};

QTEST_MAIN(tst_ManualTrim)
#include "tst_manualtrim.moc"
