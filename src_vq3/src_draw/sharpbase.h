#pragma once
// Resize handles of a shape and the interface through which the scene resizes a shape without
// knowing its class.

#include <QGraphicsRectItem>
#include <QVector>

class SizeHandleRect : public QGraphicsRectItem
{
public:
    enum { Type = 65639 };
    enum SelectionHandleState
    {
        SelectionHandleOff = 0,
        SelectionHandleInactive = 1,
        SelectionHandleActive = 2,
    };

    SizeHandleRect(QGraphicsItem* parent, int direction);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return Type; }

    int direction() const { return m_direction; }
    SelectionHandleState state() const { return m_state; }
    bool isHovered() const { return m_hovered; }
    void setState(SelectionHandleState state);
    void move(double x, double y);

    // Pointer shape shown while the handle of the direction is lit.
    static Qt::CursorShape cursorForDirection(int direction);

protected:
    void hoverEnterEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    void _freshCursor();

    int m_direction;
    SelectionHandleState m_state = SelectionHandleOff;
    bool m_hovered = false;
};

class SharpBase
{
public:
    SharpBase(QGraphicsItem* owner, bool withHandles);

    virtual void setRectFromShape(const QRectF& rect) = 0;
    virtual QPointF getPosFromShape() = 0;
    virtual void setPosFromShape(const QPointF& pos) = 0;
    virtual void updateFromShape() = 0;
    virtual QRectF getRectFromShape() = 0;
    virtual void setSelectedFromShape(bool selected) = 0;

    // Centre of the handle of `direction` (1..8) on the rectangle; a null point outside 1..8.
    static QPointF handleCentre(const QRectF& rect, int direction);

    void updateHandlesPos(const QRectF& rect);
    void updateHandlesState(bool selected);
    void paint(QPainter* painter, const QRectF& rect);

    const QVector<SizeHandleRect*>& handles() const { return m_handles; }

    // Size of the shape when the running handle drag started.
    double m_resizeWidth = 0;
    double m_resizeHeight = 0;
    // While set, paint() draws the dashed selection frame.
    bool m_frame = false;

protected:
    // No virtual destructor: shapes are deleted as their item class, never through SharpBase.
    ~SharpBase() = default;

private:
    QVector<SizeHandleRect*> m_handles;
};
