#pragma once
// The annotation scene every view shows: it turns left-button presses, moves and releases into
// new shapes, pen strokes and texts, selection, handle resizes and pixel erasing, and keeps the
// undo and redo history of added and removed items.

#include <QGraphicsScene>
#include <QList>
#include <QPainterPath>
#include <QPointF>

class DrawItem;
class GraphicsTextItem;
class QGraphicsPathItem;
class SharpBase;

// One history entry. The item belongs to the scene; the record never owns it.
struct UndoRecord
{
    enum Kind
    {
        Added = 0,
        Removed = 1,
    };
    int kind = Added;
    QGraphicsItem* item = nullptr;
};

class GraphicsScene : public QGraphicsScene
{
    Q_OBJECT
public:
    enum SceneMode
    {
        SCENE_RECT = 0,
        SCENE_ELLIPSE = 1,
        SCENE_TRIANGLE = 2,
        SCENE_PEN = 3,
        SCENE_TEXT = 4,
        SCENE_SELECT = 5,
        SCENE_RESIZE = 6,
        SCENE_ERASE = 7,
    };
    enum Ioctl_Mode
    {
        IOCTL_DRAW = 0,
        IOCTL_VIDEO = 1,
    };
    // Items of this type or above are annotations; everything below is picture.
    static constexpr int FirstAnnotationType = 65637;

    explicit GraphicsScene(QObject* parent = nullptr);
    ~GraphicsScene() override;

    int getIoctlMode() const { return m_ioctlMode; }
    int getDrawMode() const { return m_drawMode; }
    void setTouchErase() { m_touchErase = true; }
    bool touchErase() const { return m_touchErase; }
    void _setIoctlMode(Ioctl_Mode mode);
    void _allUnSelected();
    void repaintItem();
    double myabs(double value) const { return value < 0 ? -value : value; }

    const QList<UndoRecord>& undoList() const { return m_undoList; }
    const QList<UndoRecord>& redoList() const { return m_redoList; }
    int handleDirection() const { return m_handleDirection; }
    DrawItem* touchMarker() const { return m_touchMarker; }

    // The eraser cursor's picture for an eraser of e pixels: (e + 1) x (e + 1), a black disc
    // with a white rim on transparency.
    static QPixmap eraserPixmap(int e);

    void _dropRedoList();
    void _dropUndoList();
    // Forgets every record that refers to the item, in both lists; the item is not touched.
    void _dropUndoRedoListItem(QGraphicsItem* item);

signals:
    void sigUpdateSceneMode(int drawMode, int ioctlMode);

public slots:
    void slotRect();
    void slotEllipse();
    void slotTriangle();
    void slotPen();
    void slotText();
    void slotErase();
    void slotItemMove();
    void slotVideoMode();
    void slotRemoveSelected();
    void slotRemoveAll();
    void slotUndo();
    void slotRedo();
    void editorLostFocus(GraphicsTextItem* item);

protected:
    void dragEnterEvent(QGraphicsSceneDragDropEvent* event) override;
    void dragMoveEvent(QGraphicsSceneDragDropEvent* event) override;
    void dropEvent(QGraphicsSceneDragDropEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;

private:
    void _selectTool(SceneMode mode, Ioctl_Mode ioctl);
    void _setFirstViewCursor(const QCursor& cursor);
    void _recordNewItem(QGraphicsItem* item);
    void _finishUnreleased();
    void _pressSelect(QGraphicsSceneMouseEvent* event);
    void _moveResize(const QPointF& pointer);
    void _releaseShape();
    void _releasePen();
    void _releaseResize();
    void _releaseErase();
    void _placeTouchMarker(const QPointF& point);

    int m_drawMode = SCENE_SELECT;
    GraphicsTextItem* m_textItem = nullptr;
    DrawItem* m_shapeItem = nullptr;
    int m_handleDirection = 0;
    SharpBase* m_pressedShape = nullptr;
    QPointF* m_lastErasePoint = nullptr;
    int m_ioctlMode = IOCTL_VIDEO;
    QList<UndoRecord> m_undoList;
    QList<UndoRecord> m_redoList;
    QPainterPath m_livePenPath;
    QPainterPath m_penPath;
    QGraphicsPathItem* m_livePenItem = nullptr;
    QPointF m_penStart;
    DrawItem* m_touchMarker = nullptr;
    bool m_touchErase = false;
};
