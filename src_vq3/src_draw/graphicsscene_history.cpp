// Undo and redo of added and removed annotation items. The history only hides and shows items;
// it deletes an item only when no record can reach it any more.

#include "drawitem.h"
#include "graphicsscene.h"
#include "graphicstextitem.h"

void GraphicsScene::_dropRedoList()
{
    if (!m_redoList.isEmpty()) {
        const UndoRecord last = m_redoList.takeLast();
        if (last.kind == UndoRecord::Added) {
            // Forget every other record of the item before it goes, so no list keeps a
            // pointer to it.
            _dropUndoRedoListItem(last.item);
            removeItem(last.item);
            delete last.item;
        }
    }
    m_redoList.clear();
}

void GraphicsScene::_dropUndoList()
{
    m_undoList.clear();
}

void GraphicsScene::_dropUndoRedoListItem(QGraphicsItem* item)
{
    auto refersToItem = [item](const UndoRecord& record) { return record.item == item; };
    m_redoList.erase(std::remove_if(m_redoList.begin(), m_redoList.end(), refersToItem), m_redoList.end());
    m_undoList.erase(std::remove_if(m_undoList.begin(), m_undoList.end(), refersToItem), m_undoList.end());
}

void GraphicsScene::slotRemoveSelected()
{
    const QList<QGraphicsItem*> selected = selectedItems();
    for (QGraphicsItem* item : selected) {
        const DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item);
        const bool removable = (shape && shape->drawShape() != DrawItem::DRAW_FLICKER_RECT)
                               || item->type() == GraphicsTextItem::Type;
        if (!removable)
            continue;
        item->setVisible(false);
        m_undoList.append(UndoRecord{UndoRecord::Removed, item});
    }
}

void GraphicsScene::slotUndo()
{
    if (m_undoList.isEmpty())
        return;
    const UndoRecord record = m_undoList.takeLast();
    record.item->setVisible(record.kind != UndoRecord::Added);
    m_redoList.append(record);
}

void GraphicsScene::slotRedo()
{
    if (m_redoList.isEmpty())
        return;
    const UndoRecord record = m_redoList.takeLast();
    record.item->setVisible(record.kind == UndoRecord::Added);
    m_undoList.append(record);
}

void GraphicsScene::slotRemoveAll()
{
    _dropRedoList();
    m_undoList.clear();

    // Every annotation item goes except flicker rectangles. Children (the handles) go with
    // their shape, so only the outermost annotation items are deleted here.
    QList<QGraphicsItem*> doomed;
    const QList<QGraphicsItem*> all = items(Qt::DescendingOrder);
    for (QGraphicsItem* item : all) {
        if (item->type() < FirstAnnotationType)
            continue;
        const DrawItem* shape = qgraphicsitem_cast<DrawItem*>(item);
        if (shape && shape->drawShape() == DrawItem::DRAW_FLICKER_RECT)
            continue;
        doomed.append(item);
    }
    auto isDoomed = [&doomed](QGraphicsItem* item) { return doomed.contains(item); };
    QList<QGraphicsItem*> roots;
    for (QGraphicsItem* item : qAsConst(doomed)) {
        bool underDoomed = false;
        for (QGraphicsItem* parent = item->parentItem(); parent; parent = parent->parentItem()) {
            if (isDoomed(parent)) {
                underDoomed = true;
                break;
            }
        }
        if (!underDoomed)
            roots.append(item);
    }
    for (QGraphicsItem* item : qAsConst(roots)) {
        if (item == m_touchMarker)
            m_touchMarker = nullptr;
        if (item == m_shapeItem)
            m_shapeItem = nullptr;
        if (m_textItem && item == static_cast<QGraphicsItem*>(m_textItem))
            m_textItem = nullptr;
        if (m_pressedShape && item == static_cast<QGraphicsItem*>(static_cast<DrawItem*>(m_pressedShape)))
            m_pressedShape = nullptr;
        removeItem(item);
        delete item;
    }
}
