#pragma once
// A movable, stretchable, half-transparent frame over the screen. Function 0 hands back the
// framed rectangle for a screen grab; function 1 starts a screen recording of the framed area.

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QRect>

class QLabel;
class QPushButton;

class RecordDialog : public QDialog
{
    Q_OBJECT
public:
    enum Function : int { FunctionCapture = 0, FunctionRecord = 1 };

    // The main view registered as "view" in MyMemory gives the initial size (the screen when none is).
    RecordDialog(RecordDialog::Function function, QWidget* parent);
    ~RecordDialog() override;

    // 1 only when "Start Record" started a recording (function 1).
    int acceptedFlag() const { return m_accepted; }
    // The framed rectangle after "Start Capture" (function 0); null otherwise. Owned by the frame.
    const QRect* chosenRect() const { return m_rect; }
    QString videoFileName() const { return m_videoFileName; }
    Function function() const { return m_function; }

    // Function 1: stops the screen recording and closes the frame.
    void stopRecord();
    void resizeDialog(double w, double h, bool full);

signals:
    void imageCaptured(const QImage& image);

public slots:
    void slotFullScreen();
    void slot1920x1080();
    void slot1280x720();
    void slot1024x768();
    void slot800x600();
    void slot640x480();
    void slotGrab();
    void slotClose();
    void slotActualSolutionScaleChanged(int percent);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateControlsPos(const QRectF& rect);
    void _freshActualSolution();
    QPushButton* _button(const QString& text, const char* objectName, const char* slot);

    int m_accepted = 0;
    QRect* m_rect = nullptr;
    double m_buttonWidth = 0;
    double m_buttonHeight = 0;
    int m_dragMode = 0;
    Function m_function;
    QLabel* m_gripTopLeft = nullptr;
    QLabel* m_gripBottomLeft = nullptr;
    QLabel* m_gripTopRight = nullptr;
    QLabel* m_gripBottomRight = nullptr;
    QPushButton* m_buttonGrab = nullptr;
    QPushButton* m_buttonClose = nullptr;
    QPushButton* m_buttonFullScreen = nullptr;
    QPushButton* m_button1024x768 = nullptr;
    QPushButton* m_button800x600 = nullptr;
    QPushButton* m_button640x480 = nullptr;
    QPushButton* m_button1280x720 = nullptr;
    QPushButton* m_button1920x1080 = nullptr;
    QLabel* m_labelSolution = nullptr;
    QPoint m_pressOffset;
    double m_startWidth = 0;
    double m_startHeight = 0;
    QPoint m_startPos;
    double m_minWidth = 0;
    double m_minHeight = 0;
    int m_scale = 100;
    QString m_videoFileName;
};
