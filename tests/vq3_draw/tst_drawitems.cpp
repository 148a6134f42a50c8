// Painting of shape, handle, text and picture items, rendered into images and checked by pixel.

#include "drawitem.h"
#include "drawtestsupport.h"
#include "graphicsscene.h"
#include "graphicstextitem.h"
#include "graphicsview.h"
#include "sharpbase.h"

#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QPainterPath>
#include <QtTest>

using namespace drawtest;

class TstDrawItems : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    MyMemory* memory() { return MyMemory::getInstance(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        initSettings(m_dir.path());
    }
    void init() { initSettings(m_dir.path()); }
    void cleanupTestCase() { MyMemory::releaseInstance(); }

    void rectangleFrame_data()
    {
        QTest::addColumn<int>("penSetting");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QRect>("hole");
        QTest::newRow("100x60 pen 10: 10-px frame round 80x40") << 3 << 100 << 60 << QRect(10, 10, 80, 40);
        QTest::newRow("100x60 pen 4") << 1 << 100 << 60 << QRect(4, 4, 92, 52);
        QTest::newRow("width exactly twice the pen: solid") << 3 << 20 << 60 << QRect();
        QTest::newRow("height below twice the pen: solid") << 3 << 100 << 15 << QRect();
        QTest::newRow("one pixel wider than twice the pen") << 3 << 21 << 60 << QRect(10, 10, 1, 40);
    }
    void rectangleFrame()
    {
        QFETCH(int, penSetting);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QRect, hole);
        memory()->setConfigPenWidth(MyMemory::PenWidth(penSetting));
        DrawItem item(QRectF(0, 0, width, height), DrawItem::DRAW_RECT);
        const QImage image = paintItem(&item, width + 10, height + 10).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < height + 10; ++y) {
            for (int x = 0; x < width + 10; ++x) {
                const QRgb pixel = image.pixel(x, y);
                const bool inItem = x < width && y < height;
                const bool inHole = hole.contains(x, y);
                if (!inItem || inHole) {
                    QVERIFY2(qAlpha(pixel) == 0, qPrintable(QStringLiteral("(%1,%2) not clear").arg(x).arg(y)));
                } else {
                    QVERIFY2(pixel == qRgba(255, 0, 0, 255), qPrintable(QStringLiteral("(%1,%2) not red").arg(x).arg(y)));
                }
            }
        }
        QCOMPARE(countAlpha(image, true), (width + 10) * (height + 10) - width * height + hole.width() * hole.height());
    }

    void fillColourPaintsOverLine()
    {
        memory()->setConfigFillColor(MyMemory::ColorBlue);
        memory()->setConfitTransparent(MyMemory::Transparent5);
        DrawItem opaque(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        QImage image = paintItem(&opaque, 100, 60).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.pixel(50, 30), qRgba(0, 0, 255, 255));
        QCOMPARE(image.pixel(5, 30), qRgba(255, 0, 0, 255));

        // A translucent fill lets the line colour show through inside.
        memory()->setConfitTransparent(MyMemory::Transparent3);
        DrawItem translucent(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        image = paintItem(&translucent, 100, 60).convertToFormat(QImage::Format_ARGB32);
        const QRgb inside = image.pixel(50, 30);
        QVERIFY(qRed(inside) > 0);
        QVERIFY(qBlue(inside) > 0);
    }

    void emptyAndFlatItemsPaintNothing_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<QRectF>("rect");
        const QVector<QPair<const char*, int>> shapes = {
            {"rectangle", DrawItem::DRAW_RECT}, {"ellipse", DrawItem::DRAW_ELLIPSE}, {"triangle", DrawItem::DRAW_TRIANGLE}};
        for (const auto& shape : shapes) {
            QTest::addRow("%s empty", shape.first) << shape.second << QRectF();
            QTest::addRow("%s half a pixel high", shape.first) << shape.second << QRectF(0, 0, 100, 0.5);
            QTest::addRow("%s half a pixel wide", shape.first) << shape.second << QRectF(0, 0, 0.5, 60);
            QTest::addRow("%s dragged to a line", shape.first) << shape.second << QRectF(0, 0, 80, 0);
        }
    }
    void emptyAndFlatItemsPaintNothing()
    {
        QFETCH(int, shape);
        QFETCH(QRectF, rect);
        DrawItem item(rect, DrawItem::DRAW_SHAPE(shape));
        const QImage image = paintItem(&item, 120, 80);
        QCOMPARE(countAlpha(image, false), 0);
        // The eraser on such an item neither crashes nor leaves anything visible.
        QPointF from(0, 0), to(50, 0);
        item.erase(from, to);
        QCOMPARE(countAlpha(paintItem(&item, 120, 80), false), 0);
    }

    void ellipseAndTriangleKeepAnOutline_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<QPoint>("linePixel");
        QTest::addColumn<QPoint>("clearPixel");
        QTest::newRow("ellipse: rim at the left middle, clear centre")
            << int(DrawItem::DRAW_ELLIPSE) << QPoint(4, 30) << QPoint(50, 30);
        QTest::newRow("triangle: base line, clear inside") << int(DrawItem::DRAW_TRIANGLE) << QPoint(50, 55) << QPoint(50, 40);
        QTest::newRow("triangle: left side, clear inside") << int(DrawItem::DRAW_TRIANGLE) << QPoint(20, 52) << QPoint(40, 45);
    }
    void ellipseAndTriangleKeepAnOutline()
    {
        QFETCH(int, shape);
        QFETCH(QPoint, linePixel);
        QFETCH(QPoint, clearPixel);
        DrawItem item(QRectF(0, 0, 100, 60), DrawItem::DRAW_SHAPE(shape));
        const QImage image = paintItem(&item, 100, 60).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.pixel(linePixel), qRgba(255, 0, 0, 255));
        QCOMPARE(qAlpha(image.pixel(clearPixel)), 0);
    }

    void repeatedPaintsMatchAFreshDrawing_data()
    {
        QTest::addColumn<int>("shape");
        QTest::newRow("rectangle") << int(DrawItem::DRAW_RECT);
        QTest::newRow("ellipse") << int(DrawItem::DRAW_ELLIPSE);
        QTest::newRow("triangle") << int(DrawItem::DRAW_TRIANGLE);
    }
    void repeatedPaintsMatchAFreshDrawing()
    {
        QFETCH(int, shape);
        DrawItem item(QRectF(0, 0, 120, 90), DrawItem::DRAW_SHAPE(shape));
        const QImage first = paintItem(&item, 130, 100);
        QCOMPARE(paintItem(&item, 130, 100), first);
        // New settings, new size: the next paint must show them, not the earlier picture.
        memory()->setConfigDrawColor(MyMemory::ColorBlue);
        memory()->setConfigPenWidth(MyMemory::PenWidth1);
        item.updateDrawInfo();
        item.setRect(0, 0, 100, 70);
        DrawItem fresh(QRectF(0, 0, 100, 70), DrawItem::DRAW_SHAPE(shape));
        const QImage second = paintItem(&item, 130, 100);
        QVERIFY(second != first);
        QCOMPARE(second, paintItem(&fresh, 130, 100));
    }

    void handleCentres_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QPointF>("centre");
        QTest::addColumn<int>("cursor");
        QTest::newRow("1 top left") << 1 << QPointF(0, 0) << int(Qt::SizeFDiagCursor);
        QTest::newRow("2 top middle") << 2 << QPointF(50, 0) << int(Qt::SizeVerCursor);
        QTest::newRow("3 top right") << 3 << QPointF(100, 0) << int(Qt::SizeBDiagCursor);
        QTest::newRow("4 right middle") << 4 << QPointF(100, 30) << int(Qt::SizeHorCursor);
        QTest::newRow("5 bottom right") << 5 << QPointF(100, 60) << int(Qt::SizeFDiagCursor);
        QTest::newRow("6 bottom middle") << 6 << QPointF(50, 60) << int(Qt::SizeVerCursor);
        QTest::newRow("7 bottom left") << 7 << QPointF(0, 60) << int(Qt::SizeBDiagCursor);
        QTest::newRow("8 left middle") << 8 << QPointF(0, 30) << int(Qt::SizeHorCursor);
    }
    void handleCentres()
    {
        QFETCH(int, direction);
        QFETCH(QPointF, centre);
        QFETCH(int, cursor);
        DrawItem item(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        QCOMPARE(item.handles().size(), 8);
        SizeHandleRect* handle = item.handles().at(direction - 1);
        QCOMPARE(handle->direction(), direction);
        QCOMPARE(handle->pos(), centre);
        QCOMPARE(handle->rect(), QRectF(-10, -10, 20, 20));
        QCOMPARE(handle->parentItem(), &item);
        QCOMPARE(int(SizeHandleRect::cursorForDirection(direction)), cursor);
        // Resizing moves the handles only through updateHandlesPos.
        item.setRect(0, 0, 200, 100);
        QCOMPARE(handle->pos(), centre);
        item.updatehandlesPos();
        QCOMPARE(handle->pos(), QPointF(centre.x() * 2, centre.y() / 60 * 100));
    }

    void handlesFollowSelection_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<bool>("hasHandles");
        QTest::newRow("rectangle shows handles") << int(DrawItem::DRAW_RECT) << true;
        QTest::newRow("pen stroke shows the frame") << int(DrawItem::DRAW_PEN) << false;
        QTest::newRow("flicker rectangle shows the frame") << int(DrawItem::DRAW_FLICKER_RECT) << false;
    }
    void handlesFollowSelection()
    {
        QFETCH(int, shape);
        QFETCH(bool, hasHandles);
        QGraphicsScene scene;
        auto* item = new DrawItem(QRectF(0, 0, 100, 60), DrawItem::DRAW_SHAPE(shape));
        scene.addItem(item);
        QCOMPARE(item->handles().isEmpty(), !hasHandles);
        item->setSelected(true);
        if (hasHandles) {
            for (SizeHandleRect* handle : item->handles())
                QCOMPARE(handle->state(), SizeHandleRect::SelectionHandleInactive);
            QVERIFY(!item->m_frame);
        } else {
            QVERIFY(item->m_frame);
        }
        item->setSelected(false);
        for (SizeHandleRect* handle : item->handles())
            QCOMPARE(handle->state(), SizeHandleRect::SelectionHandleOff);
        QVERIFY(!item->m_frame);
    }

    void handlePaintsByState_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("centre");
        QTest::newRow("off: nothing") << int(SizeHandleRect::SelectionHandleOff) << QColor(0, 0, 0, 0);
        QTest::newRow("inactive: grey") << int(SizeHandleRect::SelectionHandleInactive) << QColor(120, 120, 120, 128);
        QTest::newRow("active: green") << int(SizeHandleRect::SelectionHandleActive) << QColor(0, 255, 0, 128);
    }
    void handlePaintsByState()
    {
        QFETCH(int, state);
        QFETCH(QColor, centre);
        SizeHandleRect handle(nullptr, 1);
        handle.setState(SizeHandleRect::SelectionHandleState(state));
        QImage image = transparentImage(40, 40);
        {
            QPainter painter(&image);
            painter.translate(20, 20);
            QStyleOptionGraphicsItem option;
            handle.paint(&painter, &option, nullptr);
        }
        const QColor got = QColor::fromRgba(image.convertToFormat(QImage::Format_ARGB32).pixel(20, 20));
        QCOMPARE(got.alpha(), centre.alpha());
        if (centre.alpha() > 0) {
            QVERIFY(qAbs(got.red() - centre.red()) <= 2);
            QVERIFY(qAbs(got.green() - centre.green()) <= 2);
        }
    }

    void handleHoverSetsTheMainViewCursor_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("viewRegistered");
        QTest::newRow("selected shape, main view registered") << true << true;
        QTest::newRow("deselected shape: the pointer does not change") << false << true;
        QTest::newRow("selected shape, no main view yet") << true << false;
    }
    void handleHoverSetsTheMainViewCursor()
    {
        QFETCH(bool, selected);
        QFETCH(bool, viewRegistered);
        GraphicsView view(nullptr, nullptr, GraphicsView::MainView, GraphicsView::FitOnCreate);
        memory()->savePtr(QStringLiteral("view"), viewRegistered ? &view : nullptr);
        view.setCursor(Qt::CrossCursor); // another tool's cursor
        GraphicsScene* scene = view.getScene();
        auto* item = new DrawItem(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        scene->addItem(item);
        item->setSelected(selected);
        SizeHandleRect* handle = item->handles().at(2); // top right
        QGraphicsSceneHoverEvent enter(QEvent::GraphicsSceneHoverEnter);
        scene->sendEvent(handle, &enter);
        QVERIFY(handle->isHovered());
        QCOMPARE(handle->state(), selected ? SizeHandleRect::SelectionHandleActive : SizeHandleRect::SelectionHandleOff);
        const Qt::CursorShape lit = (selected && viewRegistered) ? Qt::SizeBDiagCursor : Qt::CrossCursor;
        QCOMPARE(view.cursor().shape(), lit);
        QGraphicsSceneHoverEvent leave(QEvent::GraphicsSceneHoverLeave);
        scene->sendEvent(handle, &leave);
        QCOMPARE(handle->state(), selected ? SizeHandleRect::SelectionHandleInactive : SizeHandleRect::SelectionHandleOff);
        // Leaving a lit handle unsets the main view's cursor, whatever set it before.
        QCOMPARE(view.cursor().shape(), (selected && viewRegistered) ? Qt::ArrowCursor : Qt::CrossCursor);
        // Selecting while the pointer rests on the handle lights it at once.
        scene->sendEvent(handle, &enter);
        item->setSelected(false);
        item->setSelected(true);
        QCOMPARE(handle->state(), SizeHandleRect::SelectionHandleActive);
        memory()->savePtr(QStringLiteral("view"), nullptr);
    }

    void eraseClearsPixelsUntilTransparent()
    {
        memory()->setConfigEraseWidth(MyMemory::EraseWidth5); // 80 px
        QGraphicsScene scene;
        auto* item = new DrawItem(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        scene.addItem(item);
        item->setPos(200, 100);
        QVERIFY(!item->isTransparent());
        QPointF from(200, 100), to(230, 100);
        item->erase(from, to);
        QVERIFY(item->paintsFromCache());
        QVERIFY(!item->isTransparent());
        QCOMPARE(qAlpha(paintItem(item, 100, 60).pixel(5, 5)), 0);
        QCOMPARE(paintItem(item, 100, 60).convertToFormat(QImage::Format_ARGB32).pixel(95, 55), qRgba(255, 0, 0, 255));

        // After an erase a change of settings leaves the picture as it is.
        const QImage erased = paintItem(item, 100, 60);
        memory()->setConfigDrawColor(MyMemory::ColorBlue);
        memory()->setConfigPenWidth(MyMemory::PenWidth5);
        item->updateDrawInfo();
        QCOMPARE(paintItem(item, 100, 60), erased);

        QPointF a(190, 130), b(310, 130);
        item->erase(a, b);
        QVERIFY(item->isTransparent());
    }

    void resizeStretchesTheErasedPicture()
    {
        QGraphicsScene scene;
        auto* item = new DrawItem(QRectF(0, 0, 100, 60), DrawItem::DRAW_RECT);
        scene.addItem(item);
        QPointF from(50, 30), to(51, 30);
        item->erase(from, to);
        item->setRect(0, 0, 200, 120);
        const QImage image = paintItem(item, 200, 120).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(item->cachedPicture()->size(), QSize(200, 120));
        // The 10-px frame is stretched to 20 px, not drawn anew at 10.
        QCOMPARE(image.pixel(15, 60), qRgba(255, 0, 0, 255));
    }

    void pictureItemTakesItsPictureRect()
    {
        DrawItem item(QRectF(), DrawItem::DRAW_PIXMAP);
        QPixmap* picture = new QPixmap(31, 31);
        picture->fill(Qt::green);
        item.setPixmap(picture);
        const QImage image = paintItem(&item, 40, 40).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(item.rect(), QRectF(0, 0, 31, 31));
        QCOMPARE(image.pixel(30, 30), qRgba(0, 255, 0, 255));
        QCOMPARE(qAlpha(image.pixel(31, 31)), 0);
        // A second picture replaces (and frees) the first.
        item.setPixmap(new QPixmap(5, 5));
    }

    void penStrokeFitsItsPath()
    {
        memory()->setConfigPenWidth(MyMemory::PenWidth3); // 10 px
        QGraphicsScene scene;
        auto* item = new DrawItem(QRectF(-1000, -1000, 2000, 2000), DrawItem::DRAW_PEN);
        scene.addItem(item);
        item->setPos(300, 200);
        QPainterPath path;
        path.moveTo(0, 0);
        path.lineTo(-40, 20);
        path.lineTo(60, -30);
        item->setPath(path);
        item->adjustRect();
        QCOMPARE(item->pos(), QPointF(300 - 40 - 10, 200 - 30 - 10));
        QCOMPARE(item->rect(), QRectF(0, 0, 100 + 20, 50 + 20));
        const QPainterPath* fitted = item->penPath();
        QCOMPARE(QPointF(fitted->elementAt(0)), QPointF(50, 40));
        QCOMPARE(QPointF(fitted->elementAt(1)), QPointF(10, 60));
        // The stroke still lies where it was in the scene.
        QCOMPARE(item->mapToScene(QPointF(fitted->elementAt(2))), QPointF(360, 170));
        const QImage image = paintItem(item, 120, 70).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.pixel(50, 40), qRgba(255, 0, 0, 255));
    }

    void textItemIsBornEditing()
    {
        QGraphicsScene scene;
        auto* item = new GraphicsTextItem();
        scene.addItem(item);
        QCOMPARE(item->type(), 65638);
        QCOMPARE(item->toPlainText(), QStringLiteral("      "));
        QCOMPARE(item->font().pointSize(), 20);
        QCOMPARE(item->font().weight(), int(QFont::Black));
        QCOMPARE(item->defaultTextColor(), QColor(Qt::blue));
        QCOMPARE(item->textInteractionFlags(), Qt::TextEditorInteraction);
        QVERIFY(item->flags() & QGraphicsItem::ItemIsFocusable);
        QSignalSpy selected(item, &GraphicsTextItem::selectedChange);
        item->setSelected(false);
        QCOMPARE(selected.count(), 1);
    }

    void stretchedPictureItem_data()
    {
        QTest::addColumn<QRectF>("rect");
        QTest::addColumn<QPoint>("inside");
        QTest::addColumn<QPoint>("outside");
        QTest::newRow("own size") << QRectF(0, 0, 20, 10) << QPoint(19, 9) << QPoint(20, 10);
        QTest::newRow("stretched twice") << QRectF(0, 0, 40, 20) << QPoint(39, 19) << QPoint(40, 20);
        QTest::newRow("shifted") << QRectF(5, 5, 20, 10) << QPoint(24, 14) << QPoint(4, 4);
    }
    void stretchedPictureItem()
    {
        QFETCH(QRectF, rect);
        QFETCH(QPoint, inside);
        QFETCH(QPoint, outside);
        QPixmap pixmap(20, 10);
        pixmap.fill(Qt::yellow);
        GraphicsPixmapItem item(pixmap);
        QCOMPARE(item.orgPixmapRect(), QRectF(0, 0, 20, 10));
        item.setRect(rect);
        const QImage image = paintItem(&item, 50, 30).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.pixel(inside), qRgba(255, 255, 0, 255));
        QCOMPARE(qAlpha(image.pixel(outside)), 0);
    }
};

QTEST_MAIN(TstDrawItems)
#include "tst_drawitems.moc"
