// Drawing option pickers: geometry from the screen, row choice by mouse, hover highlight and
// the painted rows.
#include "dialogtest.h"
#include "drawoptionselect.h"
#include "screengeometry.h"

#include <QSignalSpy>

#include <memory>

namespace {
enum Kind { Colour, Pen, Eraser, Transparency };

std::unique_ptr<DrawOptionSelect> makePicker(int kind, QPoint pos, int current)
{
    switch (kind) {
    case Colour: { auto* p = new ColorSelect(pos, nullptr); p->setCurColor(MyMemory::Color(current)); return std::unique_ptr<DrawOptionSelect>(p); }
    case Pen: { auto* p = new PenSelect(pos, nullptr); p->setCurPenWidth(MyMemory::PenWidth(current)); return std::unique_ptr<DrawOptionSelect>(p); }
    case Eraser: { auto* p = new EraseSelect(pos, nullptr); p->setCurEraseWidth(MyMemory::EraseWidth(current)); return std::unique_ptr<DrawOptionSelect>(p); }
    default: { auto* p = new TransparentSelect(pos, nullptr); p->setCurTransparent(MyMemory::MyTransparent(current)); return std::unique_ptr<DrawOptionSelect>(p); }
    }
}

const char* signalOf(int kind)
{
    switch (kind) {
    case Colour: return SIGNAL(sigColorSelectChanged(int));
    case Pen: return SIGNAL(sigPenWidthSelectChanged(int));
    case Eraser: return SIGNAL(sigEraseWidthSelectChanged(int));
    default: return SIGNAL(sigTransparentSelectChanged(int));
    }
}
} // namespace

class TestPickers : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void geometryFromScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("margin");
        QTest::newRow("colour 1920x1080") << QSize(1920, 1080) << int(Colour) << QSize(108, 216) << 6;
        QTest::newRow("pen 1440x900") << QSize(1440, 900) << int(Pen) << QSize(90, 180) << 5;
        QTest::newRow("eraser 1680x1050") << QSize(1680, 1050) << int(Eraser) << QSize(105, 210) << 5;
        QTest::newRow("transparency 1920x1080") << QSize(1920, 1080) << int(Transparency) << QSize(108, 216) << 6;
    }
    void geometryFromScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(int, kind);
        QFETCH(QSize, size);
        QFETCH(int, margin);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        auto picker = makePicker(kind, QPoint(106, 300), 2);
        QCOMPARE(picker->geometry(), QRect(QPoint(106, 300), size));
        QCOMPARE(picker->rowHeight(), size.height() / 6);
        QCOMPARE(picker->margin(), margin);
        QCOMPARE(picker->labelPointSize(), 12);
        QVERIFY(picker->windowFlags().testFlag(Qt::Popup));
        QVERIFY(picker->hasMouseTracking());
    }

    void pressChoosesRow_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("pressY");
        QTest::addColumn<int>("emitted");   // -1: nothing
        QTest::newRow("colour, another row") << int(Colour) << 3 << 36 * 4 + 10 << 4;
        QTest::newRow("colour, current row") << int(Colour) << 3 << 36 * 3 + 2 << -1;
        QTest::newRow("pen, first row") << int(Pen) << 2 << 5 << 0;
        QTest::newRow("eraser, last row") << int(Eraser) << 0 << 36 * 5 + 35 << 5;
        QTest::newRow("transparency, row 1") << int(Transparency) << 5 << 40 << 1;
    }
    void pressChoosesRow()
    {
        QFETCH(int, kind);
        QFETCH(int, current);
        QFETCH(int, pressY);
        QFETCH(int, emitted);
        auto picker = makePicker(kind, QPoint(300, 200), current);
        QSignalSpy spy(picker.get(), signalOf(kind));
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get(), eventwait::kHangMs));
        QTest::mouseMove(picker.get(), QPoint(50, pressY));
        QTRY_VERIFY_WITH_TIMEOUT(picker->underMouse(), eventwait::kHangMs);
        QEnterEvent enter(QPointF(50, pressY), QPointF(50, pressY), picker->mapToGlobal(QPoint(50, pressY)));
        QApplication::sendEvent(picker.get(), &enter);
        QTest::mousePress(picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, pressY));
        if (emitted < 0) {
            QCOMPARE(spy.count(), 0);
            QCOMPARE(picker->currentRow(), current);
        } else {
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), emitted);
            QCOMPARE(picker->currentRow(), emitted);
        }
        QVERIFY(picker->isVisible());   // a choice does not close the popup
    }

    void pressOutsideNeverSelects()
    {
        auto picker = makePicker(Colour, QPoint(300, 200), 3);
        QSignalSpy spy(picker.get(), SIGNAL(sigColorSelectChanged(int)));
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get(), eventwait::kHangMs));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(picker.get(), &leave);
        QTest::mousePress(picker.get(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 40));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(picker->currentRow(), 3);
    }

    void hoverFollowsPointerAndClearsOnLeave()
    {
        auto picker = makePicker(Pen, QPoint(300, 200), 1);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get(), eventwait::kHangMs));
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), picker->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(picker.get(), &enter);
        QTest::mouseMove(picker.get(), QPoint(60, 36 * 4 + 3));
        QTRY_COMPARE_WITH_TIMEOUT(picker->hoveredRow(), 4, eventwait::kHangMs);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(picker.get(), &leave);
        QCOMPARE(picker->hoveredRow(), -1);
        QCOMPARE(picker->currentRow(), 1);
    }

    void paintedRows_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QPoint>("pixel");
        QTest::addColumn<QColor>("colour");
        // Row height 36, margin 6: swatch squares from (6, 36i + 6), 24 wide.
        QTest::newRow("colour red swatch") << int(Colour) << QPoint(18, 36 * 3 + 18) << QColor(Qt::red);
        QTest::newRow("colour blue swatch") << int(Colour) << QPoint(18, 36 * 4 + 18) << QColor(Qt::blue);
        QTest::newRow("colour yellow swatch") << int(Colour) << QPoint(18, 36 * 5 + 18) << QColor(Qt::yellow);
        QTest::newRow("transparency row 5") << int(Transparency) << QPoint(18, 36 * 5 + 18) << QColor(0, 0, 200);
        QTest::newRow("transparency row 0") << int(Transparency) << QPoint(18, 18) << QColor(83, 91, 127);
        QTest::newRow("pen disc centre") << int(Pen) << QPoint(18, 36 * 5 + 18) << QColor(Qt::black);
        QTest::newRow("eraser disc centre") << int(Eraser) << QPoint(18, 36 * 5 + 18) << QColor(Qt::white);
        QTest::newRow("current row highlight") << int(Eraser) << QPoint(100, 36 * 2 + 5)
                                               << QColor((55 + 120) / 2, (66 + 120) / 2, (76 + 120) / 2);
    }
    void paintedRows()
    {
        QFETCH(int, kind);
        QFETCH(QPoint, pixel);
        QFETCH(QColor, colour);
        auto picker = makePicker(kind, QPoint(300, 200), 2);
        picker->show();
        QVERIFY(QTest::qWaitForWindowExposed(picker.get(), eventwait::kHangMs));
        const QImage image = picker->grab().toImage();
        const QColor got = image.pixelColor(pixel);
        QVERIFY2(qAbs(got.red() - colour.red()) <= 2 && qAbs(got.green() - colour.green()) <= 2 &&
                     qAbs(got.blue() - colour.blue()) <= 2,
                 qPrintable(got.name() + " != " + colour.name()));
        dialogtest::saveScreenshot(picker.get(), QStringLiteral("picker_%1").arg(kind));
    }
};

QTEST_MAIN(TestPickers)
#include "tst_pickers.moc"
