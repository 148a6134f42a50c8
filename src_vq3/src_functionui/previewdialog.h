#pragma once
// A small frameless always-on-top window showing a live camera in a view of its own: the
// picture-in-picture of the second camera (Switch, Grab, Close), or the grab window of a compare
// view (Close only). Moved by its frame, resized by its corner grips; once the camera's frame
// size is known it keeps the picture's aspect ratio.

#include <QDialog>
#include <QPoint>

class DialogMediaControl;
class GraphicsView;
class QLabel;
class QPushButton;

class PreviewDialog : public QDialog
{
    Q_OBJECT
public:
    enum ApplicationScene : int { ScenePip = 0, SceneGrab = 1 };

    PreviewDialog(DialogMediaControl* media, QWidget* parent, PreviewDialog::ApplicationScene scene);
    // Emits sigClose, then closes the second camera.
    ~PreviewDialog() override;

    GraphicsView* view() const { return m_view; }
    QPushButton* m_buttonSwitch = nullptr;
    QPushButton* m_buttonGrab = nullptr;
    QPushButton* m_buttonClose = nullptr;
    QLabel* gripTopLeft() const { return m_grips[0]; }
    QLabel* gripBottomRight() const { return m_grips[3]; }
    bool pointerOutside() const { return m_pointerOutside != 0; }

signals:
    void sigClose();

public slots:
    void slotSwitch();
    void slotGrab();
    // A report with a zero width or height is ignored.
    void slotSolutionChange(int width, int height);
    void slotClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void _layoutControls();
    void _setGeometryByVideoWidthAndHeight(QRect rect);

    double m_buttonWidth = 60.0;
    double m_buttonHeight = 30.0;
    int m_dragMode = 0;
    ApplicationScene m_scene;
    DialogMediaControl* m_media = nullptr;
    GraphicsView* m_view = nullptr;
    QLabel* m_grips[4] = {nullptr, nullptr, nullptr, nullptr};
    QPoint m_pressOffset;
    double m_startWidth = 0;
    double m_startHeight = 0;
    QPoint m_startPos;
    double m_minWidth = 0;
    double m_minHeight = 0;
    int m_pointerOutside = 1;
    int m_videoWidth = -1;
    int m_videoHeight = -1;
};
