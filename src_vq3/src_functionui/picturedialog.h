#pragma once
// Shot preview: shows a picture just taken at half the screen width, then shrinks it in 15
// steps of 50 ms toward the top-left corner and closes (deleting itself).

#include <QDialog>
#include <QPixmap>

class PictureDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PictureDialog(QWidget* parent);
    ~PictureDialog() override;

    int stepsLeft() const { return m_steps; }
    bool hasPicture() const { return !m_pixmap.isNull(); }

public slots:
    // A null picture or one without width or height is ignored.
    void slotImageCaptured(const QImage& image);

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_pixmap;
    int m_shrinkTimer = -1;
    int m_lifeTimer = -1;
    int m_steps = 0;
    double m_fullWidth = 0;
    double m_fullHeight = 0;
};
