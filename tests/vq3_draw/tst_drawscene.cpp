// The annotation scene driven by left-button presses, moves and releases: drawing, selecting,
// resizing by handles, erasing, and the undo and redo history. Runs under ASan, so a history
// step that touches a deleted item fails the run.

#include "drawitem.h"
#include "drawtestsupport.h"
#include "graphicsscene.h"
#include "graphicstextitem.h"
#include "sharpbase.h"

#include <QGraphicsPathItem>
#include <QGraphicsSceneMouseEvent>
#include <QTextCursor>
#include <QtTest>

using namespace drawtest;

namespace
{
// Sends scene mouse events as a view would.
class Mouse
{
public:
    explicit Mouse(QGraphicsScene* scene) : m_scene(scene) {}

    void press(const QPointF& p, Qt::MouseButton button = Qt::LeftButton)
    {
        m_down = p;
        m_buttons = button;
        send(QEvent::GraphicsSceneMousePress, p, button);
    }
    void move(const QPointF& p) { send(QEvent::GraphicsSceneMouseMove, p, Qt::NoButton); }
    void release(const QPointF& p, Qt::MouseButton button = Qt::LeftButton)
    {
        m_buttons = Qt::NoButton;
        send(QEvent::GraphicsSceneMouseRelease, p, button);
    }
    void drag(const QPointF& from, const QPointF& to)
    {
        press(from);
        move((from + to) / 2);
        move(to);
        release(to);
    }

private:
    void send(QEvent::Type type, const QPointF& p, Qt::MouseButton button)
    {
        QGraphicsSceneMouseEvent event(type);
        event.setScenePos(p);
        event.setScreenPos(p.toPoint());
        event.setLastScenePos(m_last);
        event.setLastScreenPos(m_last.toPoint());
        event.setButton(button);
        event.setButtons(m_buttons);
        event.setButtonDownScenePos(Qt::LeftButton, m_down);
        event.setButtonDownScreenPos(Qt::LeftButton, m_down.toPoint());
        QCoreApplication::sendEvent(m_scene, &event);
        m_last = p;
    }

    QGraphicsScene* m_scene;
    QPointF m_last;
    QPointF m_down;
    Qt::MouseButtons m_buttons = Qt::NoButton;
};

QList<DrawItem*> drawItems(QGraphicsScene* scene)
{
    QList<DrawItem*> out;
    for (QGraphicsItem* item : scene->items())
        if (DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item))
            out.append(shape);
    return out;
}

bool listHolds(const QList<UndoRecord>& list, const void* item)
{
    for (const UndoRecord& record : list)
        if (record.item == item)
            return true;
    return false;
}

bool sceneHolds(QGraphicsScene* scene, const void* item)
{
    for (QGraphicsItem* each : scene->items())
        if (each == item)
            return true;
    return false;
}

// Draws a rectangle from `from` to `to` with the rectangle tool; returns the new item.
DrawItem* drawRect(GraphicsScene* scene, const QPointF& from, const QPointF& to)
{
    scene->slotRect();
    Mouse(scene).drag(from, to);
    return qgraphicsitem_cast<DrawItem*>(scene->undoList().last().item);
}
}

class TstDrawScene : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { initSettings(m_dir.path()); }
    void cleanupTestCase() { MyMemory::releaseInstance(); }

    void toolSlotsSetModes_data()
    {
        QTest::addColumn<QByteArray>("slot");
        QTest::addColumn<int>("drawMode");
        QTest::addColumn<int>("ioctlMode");
        QTest::newRow("rectangle") << QByteArray("slotRect") << 0 << 0;
        QTest::newRow("ellipse") << QByteArray("slotEllipse") << 1 << 0;
        QTest::newRow("triangle") << QByteArray("slotTriangle") << 2 << 0;
        QTest::newRow("pen") << QByteArray("slotPen") << 3 << 0;
        QTest::newRow("text") << QByteArray("slotText") << 4 << 0;
        QTest::newRow("eraser") << QByteArray("slotErase") << 7 << 0;
        QTest::newRow("move") << QByteArray("slotItemMove") << 5 << 0;
        QTest::newRow("back to video") << QByteArray("slotVideoMode") << 5 << 1;
    }
    void toolSlotsSetModes()
    {
        QFETCH(QByteArray, slot);
        QFETCH(int, drawMode);
        QFETCH(int, ioctlMode);
        GraphicsScene scene;
        scene.slotRect();
        Mouse(&scene).drag(QPointF(10, 10), QPointF(60, 60));
        auto* picture = scene.addPixmap(QPixmap(10, 10));
        QSignalSpy spy(&scene, &GraphicsScene::sigUpdateSceneMode);
        QVERIFY(QMetaObject::invokeMethod(&scene, slot.constData()));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), drawMode);
        QCOMPARE(spy.at(0).at(1).toInt(), ioctlMode);
        QCOMPARE(scene.getDrawMode(), drawMode);
        QCOMPARE(scene.getIoctlMode(), ioctlMode);
        DrawItem* shape = drawItems(&scene).first();
        const bool annotating = ioctlMode == GraphicsScene::IOCTL_DRAW;
        QCOMPARE(bool(shape->flags() & QGraphicsItem::ItemIsSelectable), annotating);
        QCOMPARE(bool(picture->flags() & QGraphicsItem::ItemIsMovable), !annotating);
    }

    void shapeDraggedInAnyDirection_data()
    {
        QTest::addColumn<QByteArray>("tool");
        QTest::addColumn<int>("shape");
        QTest::addColumn<QPointF>("to");
        QTest::newRow("rectangle down right") << QByteArray("slotRect") << 100 << QPointF(160, 140);
        QTest::newRow("rectangle up left") << QByteArray("slotRect") << 100 << QPointF(40, 60);
        QTest::newRow("rectangle up right") << QByteArray("slotRect") << 100 << QPointF(160, 60);
        QTest::newRow("rectangle down left") << QByteArray("slotRect") << 100 << QPointF(40, 140);
        QTest::newRow("ellipse up left") << QByteArray("slotEllipse") << 101 << QPointF(40, 60);
        QTest::newRow("triangle down right") << QByteArray("slotTriangle") << 102 << QPointF(160, 140);
    }
    void shapeDraggedInAnyDirection()
    {
        QFETCH(QByteArray, tool);
        QFETCH(int, shape);
        QFETCH(QPointF, to);
        const QPointF from(100, 100);
        GraphicsScene scene;
        QVERIFY(QMetaObject::invokeMethod(&scene, tool.constData()));
        QSignalSpy spy(&scene, &GraphicsScene::sigUpdateSceneMode);
        Mouse(&scene).drag(from, to);
        const QList<DrawItem*> items = drawItems(&scene);
        QCOMPARE(items.size(), 1);
        DrawItem* item = items.first();
        QCOMPARE(int(item->drawShape()), shape);
        QCOMPARE(item->pos(), QPointF(qMin(from.x(), to.x()), qMin(from.y(), to.y())));
        QCOMPARE(item->rect(), QRectF(0, 0, qAbs(to.x() - from.x()), qAbs(to.y() - from.y())));
        QVERIFY(item->isSelected());
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_SELECT));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(GraphicsScene::SCENE_SELECT));
        QCOMPARE(scene.undoList().size(), 1);
        QCOMPARE(scene.undoList().first().kind, int(UndoRecord::Added));
        QCOMPARE(scene.undoList().first().item, static_cast<QGraphicsItem*>(item));
        // Handles sit on the finished rectangle.
        QCOMPARE(item->handles().at(4)->pos(), QPointF(item->rect().bottomRight()));
    }

    void handleDragResizes_data()
    {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QPointF>("target");
        QTest::addColumn<QPointF>("pos");
        QTest::addColumn<QRectF>("rect");
        // Shape 100 x 60 at (100, 100).
        QTest::newRow("bottom right to 5 px inside top left")
            << 5 << QPointF(105, 105) << QPointF(100, 100) << QRectF(0, 0, 20, 20);
        QTest::newRow("top left past bottom right") << 1 << QPointF(250, 200) << QPointF(180, 140) << QRectF(0, 0, 20, 20);
        QTest::newRow("top middle up") << 2 << QPointF(150, 80) << QPointF(100, 80) << QRectF(0, 0, 100, 80);
        QTest::newRow("top right") << 3 << QPointF(230, 90) << QPointF(100, 90) << QRectF(0, 0, 130, 70);
        QTest::newRow("right middle wider") << 4 << QPointF(250, 130) << QPointF(100, 100) << QRectF(0, 0, 150, 60);
        QTest::newRow("bottom middle squeezed") << 6 << QPointF(150, 110) << QPointF(100, 100) << QRectF(0, 0, 100, 20);
        QTest::newRow("bottom left") << 7 << QPointF(120, 200) << QPointF(120, 100) << QRectF(0, 0, 80, 100);
        QTest::newRow("left middle out") << 8 << QPointF(90, 130) << QPointF(90, 100) << QRectF(0, 0, 110, 60);
    }
    void handleDragResizes()
    {
        QFETCH(int, direction);
        QFETCH(QPointF, target);
        QFETCH(QPointF, pos);
        QFETCH(QRectF, rect);
        GraphicsScene scene;
        DrawItem* item = drawRect(&scene, QPointF(100, 100), QPointF(200, 160));
        item->setSelected(false);
        scene.slotItemMove();
        const QPointF handleCentre = item->mapToScene(SharpBase::handleCentre(item->rect(), direction));
        Mouse mouse(&scene);
        mouse.press(handleCentre);
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_RESIZE));
        QCOMPARE(scene.handleDirection(), direction);
        QVERIFY(item->isSelected());
        QVERIFY(item->m_frame);
        mouse.move((handleCentre + target) / 2);
        mouse.move(target);
        QCOMPARE(item->pos(), QPointF(100, 100));
        mouse.release(target);
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_SELECT));
        QVERIFY(!item->m_frame);
        QCOMPARE(item->pos(), pos);
        QCOMPARE(item->rect(), rect);
        QCOMPARE(item->handles().at(4)->pos(), rect.bottomRight());
        // Resizing is not recorded.
        QCOMPARE(scene.undoList().size(), 1);
    }

    void historyDropsUnreachableItems()
    {
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        DrawItem* b = drawRect(&scene, QPointF(100, 10), QPointF(160, 60));
        scene.slotUndo();
        scene.slotUndo();
        QVERIFY(!a->isVisible());
        QVERIFY(!b->isVisible());
        QCOMPARE(scene.redoList().size(), 2);
        QCOMPARE(scene.redoList().at(0).item, static_cast<QGraphicsItem*>(b));
        QCOMPARE(scene.redoList().at(1).item, static_cast<QGraphicsItem*>(a));
        drawRect(&scene, QPointF(200, 10), QPointF(260, 60));
        QVERIFY(!sceneHolds(&scene, a));
        QVERIFY(sceneHolds(&scene, b));
        QVERIFY(!b->isVisible());
        QVERIFY(scene.redoList().isEmpty());
        scene.slotRedo();
        QVERIFY(!b->isVisible());
        QCOMPARE(scene.undoList().size(), 1);
    }

    void removeUndoRedo_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("undoCount");
        QTest::addColumn<int>("redoCount");
        QTest::newRow("delete hides") << "d" << false << 2 << 0;
        QTest::newRow("delete, undo shows") << "du" << true << 1 << 1;
        QTest::newRow("delete, undo, redo hides") << "dur" << false << 2 << 0;
        QTest::newRow("delete, undo, undo hides the creation") << "duu" << false << 0 << 2;
        QTest::newRow("undo on empty list does nothing") << "uuuu" << false << 0 << 1;
        QTest::newRow("redo on empty list does nothing") << "rr" << true << 1 << 0;
        QTest::newRow("delete twice records once (hidden items are not selected)") << "dd" << false << 2 << 0;
    }
    void removeUndoRedo()
    {
        QFETCH(QString, steps);
        QFETCH(bool, visible);
        QFETCH(int, undoCount);
        QFETCH(int, redoCount);
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        for (QChar step : steps) {
            if (step == 'd') {
                a->setSelected(true);
                scene.slotRemoveSelected();
            } else if (step == 'u') {
                scene.slotUndo();
            } else {
                scene.slotRedo();
            }
        }
        QCOMPARE(a->isVisible(), visible);
        QCOMPARE(scene.undoList().size(), undoCount);
        QCOMPARE(scene.redoList().size(), redoCount);
    }

    void deleteWithNothingSelectedRecordsNothing()
    {
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        a->setSelected(false);
        scene.slotRemoveSelected();
        QCOMPARE(scene.undoList().size(), 1);
        QVERIFY(a->isVisible());
    }

    void eraseThenRedoTouchesNoDeletedItem()
    {
        MyMemory::getInstance()->setConfigEraseWidth(MyMemory::EraseWidth5); // 80 px
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(100, 100), QPointF(200, 160));
        for (int i = 0; i < 2; ++i) {
            a->setSelected(true);
            scene.slotRemoveSelected();
            QVERIFY(!a->isVisible());
            scene.slotUndo();
            QVERIFY(a->isVisible());
        }
        QVERIFY(listHolds(scene.redoList(), a));
        scene.slotErase();
        Mouse mouse(&scene);
        mouse.press(QPointF(100, 130));
        for (int x = 110; x <= 200; x += 10)
            mouse.move(QPointF(x, 130));
        QVERIFY(a->isTransparent());
        mouse.release(QPointF(200, 130));
        QVERIFY(!sceneHolds(&scene, a));
        QVERIFY(!listHolds(scene.undoList(), a));
        QVERIFY(!listHolds(scene.redoList(), a));
        for (int i = 0; i < 4; ++i) {
            scene.slotRedo();
            scene.slotUndo();
            scene.slotUndo();
        }
        QVERIFY(drawItems(&scene).isEmpty());
    }

    void partialEraseKeepsTheItem()
    {
        MyMemory::getInstance()->setConfigEraseWidth(MyMemory::EraseWidth1); // 16 px
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(100, 100), QPointF(200, 160));
        scene.slotErase();
        Mouse mouse(&scene);
        mouse.press(QPointF(120, 130));
        QVERIFY(!a->paintsFromCache()); // a press alone erases nothing
        mouse.move(QPointF(150, 130));
        mouse.release(QPointF(150, 130));
        QVERIFY(sceneHolds(&scene, a));
        QVERIFY(a->paintsFromCache());
        QVERIFY(!a->isTransparent());
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_ERASE));
    }

    void clearRemovesEveryAnnotation()
    {
        GraphicsScene scene;
        QGraphicsPixmapItem* picture = scene.addPixmap(QPixmap(50, 50));
        auto* flicker = new DrawItem(QRectF(0, 0, 40, 40), DrawItem::DRAW_FLICKER_RECT);
        scene.addItem(flicker);
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        drawRect(&scene, QPointF(100, 10), QPointF(160, 60));
        scene.slotText();
        Mouse(&scene).drag(QPointF(300, 300), QPointF(300, 300));
        a->setSelected(true);
        scene.slotRemoveSelected(); // a hidden
        scene.slotUndo();
        scene.slotUndo(); // the text's creation undone: hidden, in the redo list
        scene.slotRemoveAll();
        QVERIFY(scene.undoList().isEmpty());
        QVERIFY(scene.redoList().isEmpty());
        QList<QGraphicsItem*> left = scene.items();
        QCOMPARE(left.size(), 2);
        QVERIFY(left.contains(picture));
        QVERIFY(left.contains(flicker));
        scene.slotUndo();
        scene.slotRedo();
        QCOMPARE(scene.items().size(), 2);
    }

    void rightButtonChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("tool");
        QTest::newRow("rectangle tool") << QByteArray("slotRect");
        QTest::newRow("move tool") << QByteArray("slotItemMove");
        QTest::newRow("video mode") << QByteArray("slotVideoMode");
    }
    void rightButtonChangesNothing()
    {
        QFETCH(QByteArray, tool);
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        a->setSelected(true);
        QVERIFY(QMetaObject::invokeMethod(&scene, tool.constData()));
        a->setSelected(true); // in video mode annotations cannot be selected
        const bool wasSelected = a->isSelected();
        Mouse mouse(&scene);
        mouse.press(QPointF(200, 200), Qt::RightButton);
        mouse.release(QPointF(200, 200), Qt::RightButton);
        QCOMPARE(a->isSelected(), wasSelected);
        QCOMPARE(drawItems(&scene).size(), 1);
        QCOMPARE(scene.undoList().size(), 1);
    }

    void penStrokeStaysInPenMode()
    {
        GraphicsScene scene;
        scene.slotPen();
        QSignalSpy spy(&scene, &GraphicsScene::sigUpdateSceneMode);
        Mouse mouse(&scene);
        mouse.press(QPointF(50, 50));
        QCOMPARE(scene.items().size(), 1); // the live stroke
        mouse.move(QPointF(80, 70));
        mouse.move(QPointF(120, 60));
        mouse.release(QPointF(120, 60));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_PEN));
        const QList<DrawItem*> items = drawItems(&scene);
        QCOMPARE(items.size(), 1);
        DrawItem* stroke = items.first();
        QCOMPARE(int(stroke->drawShape()), int(DrawItem::DRAW_PEN));
        QVERIFY(!(stroke->flags() & QGraphicsItem::ItemIsSelectable));
        QVERIFY(!(stroke->flags() & QGraphicsItem::ItemIsMovable));
        const int p = MyMemory::getInstance()->getPenWidthByInt();
        QCOMPARE(stroke->pos(), QPointF(50 - p, 50 - p));
        QCOMPARE(stroke->rect(), QRectF(0, 0, 70 + 2 * p, 20 + 2 * p));
        for (QGraphicsItem* item : scene.items())
            QVERIFY(!qgraphicsitem_cast<QGraphicsPathItem*>(item));
        QCOMPARE(scene.undoList().size(), 1);
        scene.slotItemMove();
        QVERIFY(stroke->flags() & QGraphicsItem::ItemIsSelectable);
    }

    void textIsRecordedAndKeepsEditing()
    {
        GraphicsScene scene;
        scene.slotText();
        QSignalSpy spy(&scene, &GraphicsScene::sigUpdateSceneMode);
        Mouse(&scene).drag(QPointF(40, 40), QPointF(40, 40));
        QCOMPARE(scene.undoList().size(), 1);
        auto* text = static_cast<GraphicsTextItem*>(scene.undoList().first().item->toGraphicsObject());
        QVERIFY(text);
        QCOMPARE(text->type(), int(GraphicsTextItem::Type));
        QCOMPARE(text->zValue(), 1000.0);
        QCOMPARE(text->pos(), QPointF(40, 40));
        QCOMPARE(text->textInteractionFlags(), Qt::TextEditorInteraction);
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_SELECT));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), int(GraphicsScene::SCENE_SELECT));
    }

    void overlappingHandlesHighestDirectionWins()
    {
        GraphicsScene scene;
        DrawItem* item = drawRect(&scene, QPointF(100, 100), QPointF(110, 110));
        scene.slotItemMove();
        Mouse mouse(&scene);
        mouse.press(QPointF(105, 105));
        QCOMPARE(scene.handleDirection(), 8);
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_RESIZE));
        mouse.move(QPointF(105, 105));
        mouse.release(QPointF(105, 105));
        QCOMPARE(scene.getDrawMode(), int(GraphicsScene::SCENE_SELECT));
        // The left side moved out so that the width is no less than 20 px.
        QCOMPARE(item->pos(), QPointF(90, 100));
        QCOMPARE(item->rect(), QRectF(0, 0, 20, 10));
    }

    void textLosingFocusStopsEditing()
    {
        GraphicsScene scene;
        scene.slotText();
        Mouse(&scene).drag(QPointF(40, 40), QPointF(40, 40));
        auto* text = static_cast<GraphicsTextItem*>(scene.undoList().first().item->toGraphicsObject());
        QSignalSpy lost(text, &GraphicsTextItem::lostFocus);
        QTextCursor cursor = text->textCursor();
        cursor.insertText(QStringLiteral("note"));
        cursor.select(QTextCursor::Document);
        text->setTextCursor(cursor);
        QVERIFY(text->textCursor().hasSelection());
        QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
        scene.sendEvent(text, &out);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(text->textInteractionFlags(), Qt::NoTextInteraction);
        QVERIFY(!text->textCursor().hasSelection());
        QVERIFY(text->toPlainText().contains(QStringLiteral("note")));
        // A click makes it editable again.
        scene.slotItemMove();
        Mouse(&scene).drag(text->mapToScene(text->boundingRect().center()), text->mapToScene(text->boundingRect().center()));
        QCOMPARE(text->textInteractionFlags(), Qt::TextEditorInteraction);
    }

    void pressWithoutReleaseLeavesNoOrphan_data()
    {
        QTest::addColumn<QByteArray>("tool");
        QTest::newRow("rectangle") << QByteArray("slotRect");
        QTest::newRow("pen") << QByteArray("slotPen");
    }
    void pressWithoutReleaseLeavesNoOrphan()
    {
        QFETCH(QByteArray, tool);
        GraphicsScene scene;
        QVERIFY(QMetaObject::invokeMethod(&scene, tool.constData()));
        Mouse mouse(&scene);
        mouse.press(QPointF(10, 10));
        mouse.move(QPointF(50, 50));
        mouse.press(QPointF(100, 100));
        mouse.move(QPointF(150, 150));
        mouse.release(QPointF(150, 150));
        QCOMPARE(scene.undoList().size(), 2);
        const QList<DrawItem*> items = drawItems(&scene);
        QCOMPARE(items.size(), 2);
        for (DrawItem* item : items)
            QVERIFY(listHolds(scene.undoList(), item));
        for (QGraphicsItem* item : scene.items())
            QVERIFY(item->type() >= GraphicsScene::FirstAnnotationType);
    }

    void videoModeLeavesAnnotationsAlone()
    {
        GraphicsScene scene;
        DrawItem* a = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        a->setSelected(false);
        scene.slotVideoMode();
        Mouse mouse(&scene);
        mouse.press(QPointF(30, 30));
        mouse.move(QPointF(80, 80));
        mouse.release(QPointF(80, 80));
        QVERIFY(!a->isSelected());
        QCOMPARE(a->pos(), QPointF(10, 10));
    }

    void repaintItemRereadsSettings()
    {
        GraphicsScene scene;
        DrawItem* selected = drawRect(&scene, QPointF(10, 10), QPointF(60, 60));
        DrawItem* other = drawRect(&scene, QPointF(100, 10), QPointF(160, 60));
        other->setSelected(false);
        selected->setSelected(true);
        MyMemory::getInstance()->setConfigDrawColor(MyMemory::ColorYellow);
        MyMemory::getInstance()->setConfigPenWidth(MyMemory::PenWidth5);
        scene.repaintItem();
        QCOMPARE(selected->lineColor(), QColor(255, 255, 0, 255));
        QCOMPARE(selected->penWidth(), 30);
        QCOMPARE(other->lineColor(), QColor(255, 0, 0, 255));
    }

    void touchEraseMarkerLivesUntilRelease()
    {
        MyMemory::getInstance()->setConfigEraseWidth(MyMemory::EraseWidth1); // 16 px
        GraphicsScene scene;
        scene.slotErase();
        scene.setTouchErase();
        Mouse mouse(&scene);
        mouse.press(QPointF(100, 100));
        DrawItem* marker = scene.touchMarker();
        QVERIFY(marker);
        QCOMPARE(int(marker->drawShape()), int(DrawItem::DRAW_PIXMAP));
        QCOMPARE(marker->pos(), QPointF(100 - 8, 100 - 8));
        // Selected when made, then deselected with every shape as an eraser press begins.
        QVERIFY(!marker->isSelected());
        mouse.move(QPointF(130, 110));
        QCOMPARE(marker->pos(), QPointF(130 - 8, 110 - 8));
        mouse.release(QPointF(130, 110));
        QVERIFY(!scene.touchMarker());
        QVERIFY(!scene.touchErase());
        QVERIFY(drawItems(&scene).isEmpty());
    }

    void eraserCursorPicture()
    {
        const QImage image = GraphicsScene::eraserPixmap(30).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(31, 31));
        QCOMPARE(image.pixel(15, 15), qRgba(0, 0, 0, 255));
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(30, 30)), 0);
    }
};

QTEST_MAIN(TstDrawScene)
#include "tst_drawscene.moc"
