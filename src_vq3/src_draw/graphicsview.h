#pragma once
// The view that shows a live or still picture under its own annotation scene: zoom, rotation,
// fit, centring and 1:1, tips over the picture, compare-view hover buttons, still pictures,
// a drag source for the grab window and touch gestures.

#include <QGraphicsView>
#include <QPointer>

#include <functional>

class GraphicsScene;
class MediaControl;
class QAction;
class QTouchEvent;
class QGraphicsPixmapItem;
class QLabel;
class QMenu;
class QPushButton;

class GraphicsView : public QGraphicsView
{
    Q_OBJECT
public:
    enum Mode
    {
        MainView = 0,
        CompareView = 1,
        GrabView = 2,
        PipView = 3,
    };
    enum RenderFillMode
    {
        FitOnCreate = 0,
        OriginOnCreate = 1,
    };
    enum TipKind
    {
        TipZoom = 0,
        TipRotate = 1,
        TipZoomRotate = 2,
    };
    enum DragState
    {
        DragIdle = 0,
        DragPressed = 1,
        DragRequested = 2,
    };

    static constexpr double MinScale = 0.1;
    static constexpr double MaxScale = 5.0;
    static constexpr double SceneSide = 100000;
    static constexpr double CentrePos = 10000;

    GraphicsView(MediaControl* media, QWidget* parent, Mode mode, RenderFillMode fillMode);
    ~GraphicsView() override;

    // Chooses the file of "Open a picture": returns the chosen path or an empty string. The
    // default runs a non-native file dialog (blocks the GUI thread until the user answers).
    using PictureChooser = std::function<QString(QWidget* parent, const QString& title, const QString& filter)>;
    static void setPictureChooser(PictureChooser chooser);

    GraphicsScene* getScene() const { return m_scene; }
    Mode mode() const { return m_mode; }
    double scale() const { return m_scale; }
    double rotation() const { return m_rotate; }
    int getRotate() const { return int(m_rotate); }
    double getInitAngle() const { return m_initAngle; }
    void setInitAngle(double angle) { m_initAngle = angle; }
    bool getSetAngleToSdk() const { return m_setAngleToSdk; }
    void setSetAngleToSdk(bool on) { m_setAngleToSdk = on; }
    bool fitAllowed() const { return m_fitAllowed; }
    int drawMode() const { return m_drawMode; }
    int ioctlMode() const { return m_ioctlMode; }
    QGraphicsPixmapItem* liveItem() const { return m_liveItem; }
    QGraphicsPixmapItem* pictureItem() const { return m_pictureItem; }
    QString pictureFile() const { return m_pictureFile; }
    double pictureAngle() const { return m_pictureAngle; }
    QPushButton* pictureButton() const { return m_pictureButton; }
    QPushButton* previewButton() const { return m_previewButton; }
    QLabel* tipLabel() const { return m_tipLabel; }
    QLabel* tipLabel1() const { return m_tipLabel1; }
    QMenu* deviceMenu() const { return m_deviceMenu; }
    int dragState() const { return m_dragState; }

    void myResize(int width, int height);
    double _getRotate(int which) const;
    void stopPreview();
    void removeAll();
    void disableButton(bool disabled);
    void _createToolbar();
    void _deleteToolbar();
    void _freshPixmap();

    // Mouse-wheel zoom works only while this is true.
    bool bWheelZoom = true;

signals:
    void sigBroadcastNotice(int notice);
    void sigClearHoverStatus();

public slots:
    void slotUpdateSceneMode(int drawMode, int ioctlMode);
    void slotFitToView();
    void slot1on1();
    void slotRotate(int angle);
    void slotPicture();
    void slotPreview(bool refit = true);
    void slotGrab();
    void slotBroadcastNotice(int notice);
    void slotImageCaptured(const QImage& image);
    void slotDeviceActionTriggered(QAction* action);
    void zoomIn();
    void zoomOut();
    void zoomInOut(int value);
    void rotateLeft();
    void rotateRight();

protected:
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    bool _isCurrentView() const;
    void _zoomRotate(QPointF* anchor = nullptr);
    void _moveItemAbout(QGraphicsPixmapItem* item, QPointF* anchor);
    void _showTipByKind();
    void _showTip(const QString& text, int type);
    void _showTip1(const QString& zoomText, const QString& angleText);
    QLabel* _makeTipLabel(QLabel* label, const QString& text, int type, int x, int y);
    void _centerToView();
    void _restartRotateTimer();
    void _dropLiveItem();
    void _dropPictureItem();
    QPixmap _loadRotated(const QString& file) const;
    bool _touchDraw(QTouchEvent* event);
    bool _touchPinch(QTouchEvent* event);

    Mode m_mode;
    RenderFillMode m_fillMode;
    GraphicsScene* m_scene = nullptr;
    QPushButton* m_pictureButton = nullptr;
    QPushButton* m_previewButton = nullptr;
    double m_scale = 1.0;
    double m_rotate = 0;
    double m_initAngle = 0;
    QGraphicsPixmapItem* m_pictureItem = nullptr;
    QGraphicsPixmapItem* m_liveItem = nullptr;
    QLabel* m_tipLabel = nullptr;
    QLabel* m_tipLabel1 = nullptr;
    int m_tipTimer = -1;
    MediaControl* m_media = nullptr;
    int m_dragState = DragIdle;
    QPixmap* m_dragPixmap = nullptr;
    QMenu* m_deviceMenu = nullptr;
    int m_ioctlMode = 1;
    int m_drawMode = 5;
    int m_touchId = -1;
    int m_tipKind = TipZoom;
    bool m_fitAllowed = true;
    int m_rotateTimer = -1;
    QString m_pictureFile;
    double m_pictureAngle = 0;
    bool m_setAngleToSdk = true;
};
