#include "graphicsscene.h"

#include "drawitem.h"
#include "drawsettings.h"
#include "graphicstextitem.h"
#include "sharpbase.h"

#include <QCursor>
#include <QGraphicsPathItem>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QPainter>
#include <QTextCursor>

GraphicsScene::GraphicsScene(QObject* parent) : QGraphicsScene(parent)
{
}

GraphicsScene::~GraphicsScene()
{
    delete m_lastErasePoint;
    // The live pen item and the touch marker are items of the scene: the base destructor
    // deletes them with every other item.
}

QPixmap GraphicsScene::eraserPixmap(int e)
{
    QPixmap pix(e + 1, e + 1);
    pix.fill(Qt::transparent);
    QPainter painter(&pix);
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    painter.setPen(QPen(Qt::white, 1.0));
    painter.drawEllipse(QRectF(0, 0, e, e));
    return pix;
}

void GraphicsScene::_setIoctlMode(Ioctl_Mode mode)
{
    m_ioctlMode = mode;
    const QList<QGraphicsItem*> all = items(Qt::DescendingOrder);
    for (QGraphicsItem* item : all) {
        const bool annotation = item->type() >= FirstAnnotationType;
        const bool on = (mode == IOCTL_DRAW) == annotation;
        item->setFlag(QGraphicsItem::ItemIsMovable, on);
        item->setFlag(QGraphicsItem::ItemIsSelectable, on);
    }
}

void GraphicsScene::_setFirstViewCursor(const QCursor& cursor)
{
    const QList<QGraphicsView*> all = views();
    if (!all.isEmpty())
        all.first()->setCursor(cursor);
}

void GraphicsScene::_selectTool(SceneMode mode, Ioctl_Mode ioctl)
{
    m_drawMode = mode;
    _setIoctlMode(ioctl);
    emit sigUpdateSceneMode(m_drawMode, m_ioctlMode);
}

void GraphicsScene::slotRect()
{
    _selectTool(SCENE_RECT, IOCTL_DRAW);
    _allUnSelected();
}

void GraphicsScene::slotEllipse()
{
    _selectTool(SCENE_ELLIPSE, IOCTL_DRAW);
    _allUnSelected();
}

void GraphicsScene::slotTriangle()
{
    _selectTool(SCENE_TRIANGLE, IOCTL_DRAW);
    _allUnSelected();
}

void GraphicsScene::slotPen()
{
    _selectTool(SCENE_PEN, IOCTL_DRAW);
    _allUnSelected();
}

void GraphicsScene::slotText()
{
    _selectTool(SCENE_TEXT, IOCTL_DRAW);
    _allUnSelected();
}

void GraphicsScene::slotErase()
{
    _selectTool(SCENE_ERASE, IOCTL_DRAW);
    _allUnSelected();
    _setFirstViewCursor(QCursor(eraserPixmap(DrawSettings::eraseWidth()), -1, -1));
}

void GraphicsScene::slotItemMove()
{
    _selectTool(SCENE_SELECT, IOCTL_DRAW);
    _setFirstViewCursor(QCursor(Qt::ArrowCursor));
}

void GraphicsScene::slotVideoMode()
{
    _selectTool(SCENE_SELECT, IOCTL_VIDEO);
    _setFirstViewCursor(QCursor(Qt::ArrowCursor));
}

void GraphicsScene::_allUnSelected()
{
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected) {
        DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item);
        if (shape && shape->drawShape() != DrawItem::DRAW_FLICKER_RECT)
            shape->setSelected(false);
    }
}

void GraphicsScene::editorLostFocus(GraphicsTextItem* item)
{
    if (!item)
        return;
    QTextCursor cursor = item->textCursor();
    cursor.clearSelection();
    item->setTextCursor(cursor);
}

void GraphicsScene::repaintItem()
{
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected) {
        if (item->type() < FirstAnnotationType)
            continue;
        if (DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item))
            shape->updateDrawInfo();
        item->update();
    }
}

void GraphicsScene::dragEnterEvent(QGraphicsSceneDragDropEvent* event)
{
    QGraphicsScene::dragEnterEvent(event);
    event->acceptProposedAction();
}

void GraphicsScene::dragMoveEvent(QGraphicsSceneDragDropEvent* event)
{
    event->acceptProposedAction();
}

void GraphicsScene::dropEvent(QGraphicsSceneDragDropEvent*)
{
}

void GraphicsScene::_placeTouchMarker(const QPointF& point)
{
    const int half = (DrawSettings::eraseWidth() + 1) / 2;
    m_touchMarker->setPos(point - QPointF(half, half));
}

// A press that finds an item still in progress (its release never came) records that item as
// finished first, so nothing stays in the scene outside the history.
void GraphicsScene::_finishUnreleased()
{
    if (m_shapeItem) {
        DrawItem* item = m_shapeItem;
        m_shapeItem = nullptr;
        const QRectF r = item->rect();
        item->setPos(item->pos() + r.topLeft());
        item->setRect(0, 0, r.width(), r.height());
        item->updatehandlesPos();
        _recordNewItem(item);
    }
    if (m_livePenItem)
        _releasePen();
    if (m_textItem) {
        GraphicsTextItem* item = m_textItem;
        m_textItem = nullptr;
        _recordNewItem(item);
    }
}

void GraphicsScene::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF point = event->scenePos();

    if (m_touchErase) {
        if (m_touchMarker) {
            removeItem(m_touchMarker);
            delete m_touchMarker;
        }
        m_touchMarker = new DrawItem(QRectF(), DrawItem::DRAW_PIXMAP);
        addItem(m_touchMarker);
        _placeTouchMarker(point);
        m_touchMarker->setPixmap(new QPixmap(eraserPixmap(DrawSettings::eraseWidth())));
        m_touchMarker->setSelected(true);
    }

    if (m_ioctlMode == IOCTL_VIDEO) {
        QGraphicsScene::mousePressEvent(event);
        return;
    }

    if (m_drawMode <= SCENE_TEXT || m_drawMode == SCENE_ERASE) {
        _finishUnreleased();
        _allUnSelected();
    }

    switch (m_drawMode) {
    case SCENE_RECT:
    case SCENE_ELLIPSE:
    case SCENE_TRIANGLE: {
        const DrawItem::DRAW_SHAPE shape = m_drawMode == SCENE_RECT      ? DrawItem::DRAW_RECT
                                           : m_drawMode == SCENE_ELLIPSE ? DrawItem::DRAW_ELLIPSE
                                                                         : DrawItem::DRAW_TRIANGLE;
        m_shapeItem = new DrawItem(QRectF(), shape);
        addItem(m_shapeItem);
        m_shapeItem->setPos(point);
        break;
    }
    case SCENE_PEN: {
        const double w = DrawSettings::penWidth();
        const QColor c = DrawSettings::lineColor();
        m_livePenPath = QPainterPath(point);
        m_livePenPath.addEllipse(QRectF(point.x() - w / 16, point.y() - w / 16, w / 8, w / 8));
        m_livePenPath.lineTo(point);
        m_livePenItem = addPath(m_livePenPath, QPen(QBrush(c), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin),
                                QBrush(c, Qt::SolidPattern));
        m_livePenItem->setFlags(QGraphicsItem::ItemIsMovable);
        m_penPath = QPainterPath();
        m_penPath.moveTo(0, 0);
        m_penStart = point;
        break;
    }
    case SCENE_TEXT: {
        m_textItem = new GraphicsTextItem();
        m_textItem->setZValue(1000);
        connect(m_textItem, &GraphicsTextItem::lostFocus, this, &GraphicsScene::editorLostFocus);
        addItem(m_textItem);
        m_textItem->setCursor(Qt::IBeamCursor);
        m_textItem->setPos(point);
        m_textItem->setSelected(true);
        m_textItem->setFocus(Qt::OtherFocusReason);
        m_textItem->setTextInteractionFlags(Qt::TextEditorInteraction);
        m_textItem->setTabChangesFocus(true);
        break;
    }
    case SCENE_SELECT:
        _pressSelect(event);
        break;
    case SCENE_ERASE:
        if (!m_lastErasePoint)
            m_lastErasePoint = new QPointF(point);
        break;
    default:
        break;
    }
}

void GraphicsScene::_pressSelect(QGraphicsSceneMouseEvent* event)
{
    const QPointF point = event->scenePos();
    const QList<QGraphicsItem*> under = items(point, Qt::IntersectsItemShape, Qt::DescendingOrder);
    QGraphicsScene::mousePressEvent(event);
    m_pressedShape = nullptr;
    m_handleDirection = 0;
    if (under.isEmpty())
        return;
    DrawItem* shape = nullptr;
    if ((shape = qgraphicsitem_cast<DrawItem*>(under.first()))) {
        shape->setSelected(true);
    } else if (SizeHandleRect* handle = qgraphicsitem_cast<SizeHandleRect*>(under.first())) {
        shape = qgraphicsitem_cast<DrawItem*>(handle->parentItem());
        if (shape)
            shape->setSelectedFromShape(true);
    }
    if (!shape)
        return;
    m_pressedShape = shape;
    const QVector<SizeHandleRect*>& handles = shape->handles();
    for (int i = handles.size() - 1; i >= 0; --i) {
        if (handles[i]->contains(handles[i]->mapFromScene(point))) {
            m_handleDirection = handles[i]->direction();
            break;
        }
    }
    if (m_handleDirection >= 1 && m_handleDirection <= 8) {
        m_drawMode = SCENE_RESIZE;
        const QRectF r = shape->getRectFromShape();
        shape->m_resizeWidth = r.width();
        shape->m_resizeHeight = r.height();
        shape->m_frame = true;
        shape->updateFromShape();
        shape->setSelectedFromShape(true);
    }
}

void GraphicsScene::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    const QPointF point = event->scenePos();
    if (m_touchMarker)
        _placeTouchMarker(point);

    if (m_ioctlMode == IOCTL_VIDEO) {
        QGraphicsScene::mouseMoveEvent(event);
        return;
    }

    switch (m_drawMode) {
    case SCENE_RECT:
    case SCENE_ELLIPSE:
    case SCENE_TRIANGLE:
        if (m_shapeItem) {
            const QPointF d = point - m_shapeItem->pos();
            m_shapeItem->setRect(d.x() > 0 ? 0 : d.x(), d.y() > 0 ? 0 : d.y(), qAbs(d.x()), qAbs(d.y()));
        }
        break;
    case SCENE_PEN:
        if (m_livePenItem) {
            m_livePenPath = m_livePenItem->path();
            m_livePenPath.lineTo(point);
            m_livePenPath.moveTo(point);
            m_livePenItem->setPath(m_livePenPath);
            m_penPath.lineTo(point - m_penStart);
        }
        break;
    case SCENE_SELECT:
        QGraphicsScene::mouseMoveEvent(event);
        break;
    case SCENE_RESIZE:
        _moveResize(point);
        break;
    case SCENE_ERASE: {
        const QList<QGraphicsItem*> under = items(point, Qt::IntersectsItemShape, Qt::DescendingOrder);
        if (m_lastErasePoint) {
            QPointF to = point;
            for (QGraphicsItem* item : under) {
                DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item);
                if (shape && shape != m_touchMarker)
                    shape->erase(*m_lastErasePoint, to);
            }
            *m_lastErasePoint = point;
        }
        break;
    }
    default:
        break;
    }
}

void GraphicsScene::_moveResize(const QPointF& pointer)
{
    if (!m_pressedShape)
        return;
    const QPointF L = pointer - m_pressedShape->getPosFromShape();
    const double W = m_pressedShape->m_resizeWidth;
    const double H = m_pressedShape->m_resizeHeight;
    const double m = 20;
    const double lx = W - L.x() < m ? W - m : L.x();
    const double ly = H - L.y() < m ? H - m : L.y();
    QRectF r;
    switch (m_handleDirection) {
    case 1: r = QRectF(lx, ly, W - lx, H - ly); break;
    case 2: r = QRectF(0, ly, W, H - ly); break;
    case 3: r = QRectF(0, ly, qMax(m, L.x()), H - ly); break;
    case 4: r = QRectF(0, 0, qMax(m, L.x()), H); break;
    case 5: r = QRectF(0, 0, qMax(m, L.x()), qMax(m, L.y())); break;
    case 6: r = QRectF(0, 0, W, qMax(m, L.y())); break;
    case 7: r = QRectF(lx, 0, W - lx, qMax(m, L.y())); break;
    case 8: r = QRectF(lx, 0, W - lx, H); break;
    default: return;
    }
    m_pressedShape->setRectFromShape(r);
    m_pressedShape->updateHandlesPos(r);
}

void GraphicsScene::_recordNewItem(QGraphicsItem* item)
{
    m_undoList.append(UndoRecord{UndoRecord::Added, item});
    _dropRedoList();
}

void GraphicsScene::_releaseShape()
{
    DrawItem* item = m_shapeItem;
    m_shapeItem = nullptr;
    m_drawMode = SCENE_SELECT;
    const QRectF r = item->rect();
    item->setPos(item->pos() + r.topLeft());
    item->setRect(0, 0, r.width(), r.height());
    item->updatehandlesPos();
    item->setSelected(true);
    emit sigUpdateSceneMode(m_drawMode, m_ioctlMode);
    _recordNewItem(item);
}

void GraphicsScene::_releasePen()
{
    removeItem(m_livePenItem);
    delete m_livePenItem;
    m_livePenItem = nullptr;
    DrawItem* item = new DrawItem(QRectF(-1000, -1000, 2000, 2000), DrawItem::DRAW_PEN);
    addItem(item);
    item->setPos(m_penStart);
    item->setPath(m_penPath);
    item->adjustRect();
    _recordNewItem(item);
    item->setFlag(QGraphicsItem::ItemIsMovable, false);
    item->setFlag(QGraphicsItem::ItemIsSelectable, false);
    m_shapeItem = nullptr;
}

void GraphicsScene::_releaseResize()
{
    SharpBase* shape = m_pressedShape;
    m_drawMode = SCENE_SELECT;
    m_pressedShape = nullptr;
    if (!shape)
        return;
    shape->m_frame = false;
    shape->updateFromShape();
    const QRectF r = shape->getRectFromShape();
    const QRectF moved(0, 0, r.width(), r.height());
    shape->setPosFromShape(shape->getPosFromShape() + r.topLeft());
    shape->setRectFromShape(moved);
    shape->updateFromShape();
    shape->updateHandlesPos(moved);
}

void GraphicsScene::_releaseErase()
{
    const QList<QGraphicsView*> all = views();
    if (!all.isEmpty())
        all.first()->viewport()->unsetCursor();
    delete m_lastErasePoint;
    m_lastErasePoint = nullptr;

    QList<DrawItem*> cleared;
    const QList<QGraphicsItem*> all_items = items(Qt::DescendingOrder);
    for (QGraphicsItem* item : all_items) {
        DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item);
        if (shape && shape->isTransparent())
            cleared.append(shape);
    }
    for (DrawItem* shape : qAsConst(cleared)) {
        if (m_pressedShape == shape)
            m_pressedShape = nullptr;
        removeItem(shape);
        _dropUndoRedoListItem(shape);
        delete shape;
    }
}

void GraphicsScene::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_touchMarker) {
        removeItem(m_touchMarker);
        delete m_touchMarker;
        m_touchMarker = nullptr;
        m_touchErase = false;
    }

    if (m_ioctlMode == IOCTL_VIDEO) {
        QGraphicsScene::mouseReleaseEvent(event);
        update();
        return;
    }

    switch (m_drawMode) {
    case SCENE_RECT:
    case SCENE_ELLIPSE:
    case SCENE_TRIANGLE:
        if (m_shapeItem)
            _releaseShape();
        break;
    case SCENE_PEN:
        if (m_livePenItem)
            _releasePen();
        break;
    case SCENE_TEXT:
        if (m_textItem) {
            GraphicsTextItem* item = m_textItem;
            m_textItem = nullptr;
            m_drawMode = SCENE_SELECT;
            emit sigUpdateSceneMode(m_drawMode, m_ioctlMode);
            _recordNewItem(item);
        }
        break;
    case SCENE_RESIZE:
        _releaseResize();
        break;
    case SCENE_ERASE:
        _releaseErase();
        break;
    default:
        break;
    }
    QGraphicsScene::mouseReleaseEvent(event);
    update();
}
