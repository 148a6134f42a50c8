// The wireless tile's fit has no bounds of its own; its zoom buttons keep their limits.

#include "eventwait.h"
#include "graphicsviewforwirelessdevice.h"
#include "mymemory.h"

#include <QGraphicsPixmapItem>
#include <QTemporaryDir>
#include <QtTest>

class TstWirelessTileFit : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.path());
        MyMemory::getInstance();
    }

    void fitHasNoBounds_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("scale");
        QTest::newRow("small picture grows past the zoom limit") << QSize(100, 50) << 0 << 8.0;
        QTest::newRow("long picture shrinks past the zoom limit") << QSize(16000, 100) << 0 << 0.05;
        QTest::newRow("turned small picture") << QSize(50, 100) << 90 << 8.0;
    }
    void fitHasNoBounds()
    {
        QFETCH(QSize, picture);
        QFETCH(int, rotation);
        QFETCH(double, scale);
        GraphicsViewForWirelessDevice tile;
        tile.resize(800, 600);
        tile.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tile, eventwait::kHangMs));
        tile.createRender();
        QPixmap pixmap(picture);
        pixmap.fill(Qt::darkCyan);
        tile.renderItem()->setPixmap(pixmap);
        tile.slotRotate(rotation);
        tile.slotFitToView();
        QCOMPARE(tile.scaleFactor(), scale);
        tile.zoomIn();
        tile.zoomOut();
        QVERIFY(tile.scaleFactor() >= 0.1 && tile.scaleFactor() <= 5.0);
    }
};

QTEST_MAIN(TstWirelessTileFit)
#include "tst_wirelesstile_fit.moc"
