#include "recordareabox.h"

#include <QPainter>

namespace {
// Decides the next colour; shared by every box and never reset.
bool s_nextBlue = true;
} // namespace

RecordAreaBox::RecordAreaBox(QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_color(Qt::red)
{
    setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_flickTimer, &QTimer::timeout, this, &RecordAreaBox::FlickSlots);
}

void RecordAreaBox::Flick(bool on)
{
    if (on)
        m_flickTimer.start(500);
    else
        m_flickTimer.stop();
}

void RecordAreaBox::FlickSlots()
{
    m_color = s_nextBlue ? QColor(Qt::blue) : QColor(Qt::red);
    s_nextBlue = !s_nextBlue;
    update();
}

void RecordAreaBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QBrush(m_color), 2, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(0, 0, width(), height());
}
