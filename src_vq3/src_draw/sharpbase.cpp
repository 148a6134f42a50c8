#include "sharpbase.h"

#include "drawsettings.h"
#include "graphicsview.h"

#include <QPainter>

SizeHandleRect::SizeHandleRect(QGraphicsItem* parent, int direction)
    : QGraphicsRectItem(-10, -10, 20, 20, parent), m_direction(direction)
{
    setAcceptHoverEvents(true);
}

Qt::CursorShape SizeHandleRect::cursorForDirection(int direction)
{
    switch (direction) {
    case 1:
    case 5:
        return Qt::SizeFDiagCursor;
    case 2:
    case 6:
        return Qt::SizeVerCursor;
    case 3:
    case 7:
        return Qt::SizeBDiagCursor;
    case 4:
    case 8:
        return Qt::SizeHorCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void SizeHandleRect::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    switch (m_state) {
    case SelectionHandleOff:
        painter->setBrush(QColor(0, 0, 0, 0));
        painter->setPen(QColor(0, 0, 0, 0));
        break;
    case SelectionHandleInactive:
        painter->setBrush(QColor(120, 120, 120, 128));
        painter->setPen(QColor(0, 0, 0, 255));
        break;
    case SelectionHandleActive:
        painter->setBrush(QColor(0, 255, 0, 128));
        painter->setPen(QColor(0, 0, 0, 255));
        break;
    }
    painter->drawEllipse(rect());
}

void SizeHandleRect::setState(SelectionHandleState state)
{
    m_state = state;
    if (m_state == SelectionHandleInactive && m_hovered) {
        m_state = SelectionHandleActive;
        _freshCursor();
    }
    update();
}

void SizeHandleRect::move(double x, double y)
{
    setPos(QPointF(x, y));
}

void SizeHandleRect::hoverEnterEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = true;
    if (m_state == SelectionHandleInactive) {
        m_state = SelectionHandleActive;
        _freshCursor();
        update();
    }
    QGraphicsRectItem::hoverEnterEvent(event);
}

void SizeHandleRect::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    m_hovered = false;
    if (m_state == SelectionHandleActive) {
        m_state = SelectionHandleInactive;
        _freshCursor();
        update();
    }
    QGraphicsRectItem::hoverLeaveEvent(event);
}

void SizeHandleRect::_freshCursor()
{
    // The main view may not be registered yet (or any more): then there is no cursor to set.
    GraphicsView* view = DrawSettings::mainView();
    if (!view)
        return;
    if (m_state == SelectionHandleActive)
        view->setCursor(cursorForDirection(m_direction));
    else
        view->unsetCursor();
}

SharpBase::SharpBase(QGraphicsItem* owner, bool withHandles)
{
    m_handles.reserve(8);
    if (withHandles) {
        for (int direction = 1; direction <= 8; ++direction)
            m_handles.append(new SizeHandleRect(owner, direction));
    }
}

QPointF SharpBase::handleCentre(const QRectF& r, int direction)
{
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    switch (direction) {
    case 1: return QPointF(x, y);
    case 2: return QPointF(x + w / 2, y);
    case 3: return QPointF(x + w, y);
    case 4: return QPointF(x + w, y + h / 2);
    case 5: return QPointF(x + w, y + h);
    case 6: return QPointF(x + w / 2, y + h);
    case 7: return QPointF(x, y + h);
    case 8: return QPointF(x, y + h / 2);
    default: return QPointF();
    }
}

void SharpBase::updateHandlesPos(const QRectF& rect)
{
    for (SizeHandleRect* handle : qAsConst(m_handles)) {
        const int direction = handle->direction();
        if (direction < 1 || direction > 8)
            continue;
        const QPointF centre = handleCentre(rect, direction);
        handle->move(centre.x(), centre.y());
    }
}

void SharpBase::updateHandlesState(bool selected)
{
    if (!m_handles.isEmpty()) {
        for (SizeHandleRect* handle : qAsConst(m_handles))
            handle->setState(selected ? SizeHandleRect::SelectionHandleInactive
                                      : SizeHandleRect::SelectionHandleOff);
        return;
    }
    m_frame = selected;
    updateFromShape();
    updateFromShape();
}

void SharpBase::paint(QPainter* painter, const QRectF& rect)
{
    if (!m_frame)
        return;
    painter->setBrush(QBrush(QColor(0, 0, 0, 0), Qt::SolidPattern));
    painter->setPen(QPen(QBrush(Qt::black, Qt::SolidPattern), 1.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
    const QRect frame(int(rect.x()), int(rect.y()), int(rect.width()), int(rect.height()));
    painter->drawRects(&frame, 1);
}
