#include "picturedialog.h"

#include "screengeometry.h"

#include <QPainter>
#include <QTimerEvent>

PictureDialog::PictureDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    m_lifeTimer = startTimer(60000, Qt::CoarseTimer);
}

PictureDialog::~PictureDialog()
{
    if (m_lifeTimer != -1)
        killTimer(m_lifeTimer);
    if (m_shrinkTimer != -1)
        killTimer(m_shrinkTimer);
}

void PictureDialog::slotImageCaptured(const QImage& image)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return;
    const double W = ScreenGeometry::screenWidth();
    const double H = ScreenGeometry::screenHeight();
    m_pixmap = QPixmap::fromImage(image);
    show();
    m_fullWidth = W * 0.5;
    m_fullHeight = (double(image.height()) / image.width()) * W * 0.5;
    setGeometry(int(m_fullWidth - m_fullWidth * 0.5), int(H * 0.5 - m_fullHeight * 0.5), int(m_fullWidth),
                int(m_fullHeight));
    hide();
    m_steps = 15;
    if (m_shrinkTimer != -1)
        killTimer(m_shrinkTimer);
    m_shrinkTimer = startTimer(50, Qt::CoarseTimer);
}

void PictureDialog::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_lifeTimer) {
        killTimer(m_lifeTimer);
        m_lifeTimer = -1;
        close();
        return;
    }
    if (event->timerId() != m_shrinkTimer)
        return;
    const int k = m_steps;
    if (k == 0) {
        killTimer(m_shrinkTimer);
        m_shrinkTimer = -1;
        close();
        return;
    }
    const double w = m_fullWidth * k / 15;
    const double h = m_fullHeight * k / 15;
    const double c = m_fullWidth * k * 0.125;
    setGeometry(int(c - w * 0.5), int(c - h * 0.5), int(w), int(h));
    --m_steps;
    show();
}

void PictureDialog::paintEvent(QPaintEvent*)
{
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(QRect(0, 0, width(), height()), m_pixmap);
}
