#pragma once
// One tile of the wireless compare layout: shows the frames of the wireless camera the manager
// paired it with, zooms, rotates its picture item itself, fits and offers a context menu.
//
// GUI thread only.
#include <QGraphicsView>
#include <QImage>

class GraphicsScene;
class QAction;
class QGraphicsPixmapItem;
class QMenu;

class GraphicsViewForWirelessDevice : public QGraphicsView {
    Q_OBJECT
public:
    explicit GraphicsViewForWirelessDevice(QWidget* parent = nullptr);
    ~GraphicsViewForWirelessDevice() override;

    void zoomIn();
    void zoomOut();
    void zoomInOut(int value);
    void rotateLeft();
    void rotateRight();
    void createRender();
    void deleteRender();
    QGraphicsPixmapItem* renderItem() const { return m_render; }
    double scaleFactor() const { return m_scale; }
    double rotation() const { return m_rotate; }

signals:
    void sigClose(GraphicsViewForWirelessDevice* view);
    void sigSelect(GraphicsViewForWirelessDevice* view);

public slots:
    void slotClose();
    void slotDeviceActionTriggered(QAction* action);
    // Blocks the GUI thread while the paired device's decoding loop ends.
    void slotSolutionActionTriggered(QAction* action);
    void showImg(const QImage& image);
    void slotFitToView();
    void slot1on1();
    void slotRotate(int value);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void _zoomRotate(QPointF* anchor = nullptr);
    void _centre();
    void _setSliders();

    GraphicsScene* m_scene = nullptr;
    QGraphicsPixmapItem* m_render = nullptr;
    double m_scale = 1.0;
    double m_rotate = 0.0;
    int m_width = -1;
    int m_height = -1;
    QMenu* m_deviceMenu = nullptr;
    QMenu* m_solutionMenu = nullptr;
    QAction* m_closeAction = nullptr;
};
