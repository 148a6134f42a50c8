#pragma once
// The text annotation, edited in place, and a picture item that stretches its pixmap.

#include <QGraphicsRectItem>
#include <QGraphicsTextItem>
#include <QPixmap>

class GraphicsTextItem : public QGraphicsTextItem
{
    Q_OBJECT
public:
    enum { Type = 65638 };

    explicit GraphicsTextItem(QGraphicsItem* parent = nullptr);

    int type() const override { return Type; }

signals:
    void lostFocus(GraphicsTextItem* item);
    void selectedChange(QGraphicsItem* item);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;
};

class GraphicsPixmapItem : public QGraphicsRectItem
{
public:
    GraphicsPixmapItem(const QPixmap& pixmap, QGraphicsItem* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    QRectF orgPixmapRect() const { return QRectF(m_pixmap.rect()); }

private:
    QPixmap m_pixmap;
};
