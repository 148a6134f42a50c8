#pragma once
// A drawn annotation other than text: rectangle, ellipse, triangle, free pen stroke, a blinking
// dashed rectangle and a picture (the touch eraser marker).

#include "sharpbase.h"

#include <QColor>
#include <QGraphicsRectItem>
#include <QPixmap>

class QPainterPath;

class DrawItem : public QGraphicsRectItem, public SharpBase
{
public:
    enum { Type = 65637 };
    enum DRAW_SHAPE
    {
        DRAW_RECT = 100,
        DRAW_ELLIPSE = 101,
        DRAW_TRIANGLE = 102,
        DRAW_PEN = 103,
        DRAW_FLICKER_RECT = 104,
        DRAW_PIXMAP = 105,
    };

    DrawItem(const QRectF& rect, DRAW_SHAPE shape, QGraphicsItem* parent = nullptr);
    ~DrawItem() override;

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return Type; }

    void setRectFromShape(const QRectF& rect) override { setRect(rect); }
    QPointF getPosFromShape() override { return pos(); }
    void setPosFromShape(const QPointF& pos) override { setPos(pos); }
    void updateFromShape() override { update(); }
    QRectF getRectFromShape() override { return rect(); }
    void setSelectedFromShape(bool selected) override { setSelected(selected); }

    DRAW_SHAPE drawShape() const { return m_shape; }
    void updateDrawInfo();
    void updatehandlesPos();
    void setPath(QPainterPath& path);
    const QPainterPath* penPath() const { return m_penPath; }
    void adjustRect();
    // Takes ownership of the pixmap.
    void setPixmap(QPixmap* pixmap);
    void erase(QPointF& from, QPointF& to);
    bool isTransparent() const;
    void lineTo(double x, double y);
    void setPaintFromPix(bool on);
    void rectFlicker();

    bool paintsFromCache() const { return m_paintFromPix; }
    const QPixmap* cachedPicture() const { return m_cachePix; }
    QColor lineColor() const { return m_lineColor; }
    QColor fillColor() const { return m_fillColor; }
    int penWidth() const { return m_penWidth; }
    int fillChoice() const { return m_fillChoice; }

    // The shape of `rect` drawn as the item draws it before any erase: a transparent pixmap of
    // int(width) x int(height) pixels (a null pixmap when either is below 1). Not for pen,
    // flicker or picture items.
    QPixmap renderShape(const QRectF& rect) const;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    void _paint(const QRectF& rect, QPainter* painter);
    void _drawShape(QPainter& painter, int w, int h, double wf, double hf) const;
    const QPixmap& _shapePixmap(const QRectF& rect);
    void _fitCacheToRect(const QRectF& rect);

    DRAW_SHAPE m_shape;
    QPixmap* m_cachePix = nullptr;
    QPainterPath* m_penPath = nullptr;
    bool m_paintFromPix = false;
    bool m_flicker = true;
    QColor m_lineColor;
    QColor m_fillColor;
    int m_penWidth = 2;
    int m_fillChoice = 0;
    QPixmap* m_pixmap = nullptr;

    // The last shape picture drawn by _paint and what it was drawn from: painting again with
    // the same size and settings reuses it, pixel for pixel the same.
    QPixmap m_shapePix;
    QSizeF m_shapePixSize;
    QColor m_shapePixLine;
    QColor m_shapePixFill;
    int m_shapePixPen = -1;
    int m_shapePixFillChoice = -1;
};
