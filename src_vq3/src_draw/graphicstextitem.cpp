#include "graphicstextitem.h"

#include "drawlinks.h"

#include <QFont>
#include <QPainter>
#include <QTextCursor>

GraphicsTextItem::GraphicsTextItem(QGraphicsItem* parent) : QGraphicsTextItem(parent)
{
    setPlainText(QStringLiteral("      "));
    QFont font(DrawLinks::fontFamily());
    font.setPointSize(20);
    font.setWeight(QFont::Black);
    setFont(font);
    setDefaultTextColor(Qt::blue);
    setFlags(ItemIsMovable | ItemIsSelectable | ItemIsFocusable);
    setSelected(true);
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setFocus(Qt::OtherFocusReason);
}

void GraphicsTextItem::focusOutEvent(QFocusEvent* event)
{
    setTextInteractionFlags(Qt::NoTextInteraction);
    emit lostFocus(this);
    QGraphicsTextItem::focusOutEvent(event);
}

void GraphicsTextItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setActive(true);
    setFocus(Qt::OtherFocusReason);
    QGraphicsTextItem::mousePressEvent(event);
}

void GraphicsTextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setActive(true);
    setFocus(Qt::OtherFocusReason);
    QGraphicsTextItem::mouseDoubleClickEvent(event);
}

QVariant GraphicsTextItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedHasChanged)
        emit selectedChange(this);
    return value;
}

GraphicsPixmapItem::GraphicsPixmapItem(const QPixmap& pixmap, QGraphicsItem* parent)
    : QGraphicsRectItem(QRectF(pixmap.rect()), parent), m_pixmap(pixmap)
{
}

void GraphicsPixmapItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF r = rect();
    if (int(r.width()) < 1 || int(r.height()) < 1 || m_pixmap.isNull())
        return;
    if (r.width() == m_pixmap.width() && r.height() == m_pixmap.height()) {
        painter->drawPixmap(int(r.x()), int(r.y()), m_pixmap);
        return;
    }
    painter->drawPixmap(int(r.x()), int(r.y()),
                        m_pixmap.scaled(int(r.width()), int(r.height()), Qt::IgnoreAspectRatio, Qt::FastTransformation));
}
