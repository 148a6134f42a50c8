#include "pushbutton.h"

#include "drawlinks.h"
#include "drawsettings.h"

#include <QCursor>
#include <QFontMetrics>
#include <QPainter>
#include <QTimerEvent>
#include <QToolTip>

PushButton::PushButton(const QString& text, QWidget* parent, PicMode mode)
    : QPushButton(text, parent), m_myText(text), m_picMode(mode)
{
    setWindowFlag(Qt::FramelessWindowHint);
}

PushButton::~PushButton()
{
    if (m_timerId != -1)
        killTimer(m_timerId);
    delete m_normalPix;
    delete m_pressedPix;
    delete m_activePix;
    delete m_pix;
    delete m_flickerPix;
}

void PushButton::_replace(QPixmap*& slot, QPixmap* pixmap)
{
    if (slot == pixmap)
        return;
    delete slot;
    slot = pixmap;
}

void PushButton::setBackgroundPix(const QString& normal, const QString& pressed, const QString& active)
{
    if (m_picMode != PictureMode)
        return;
    _replace(m_normalPix, new QPixmap(normal));
    _replace(m_pressedPix, new QPixmap(pressed));
    _replace(m_activePix, new QPixmap(active));
    update();
}

void PushButton::setPix(const QString& file)
{
    if (m_picMode != PictureMode)
        return;
    _replace(m_pix, new QPixmap(file));
    update();
}

void PushButton::setPix(QPixmap* pixmap)
{
    // Only a picture button takes the pixmap; any other leaves it to the caller.
    if (m_picMode != PictureMode)
        return;
    _replace(m_pix, pixmap);
    update();
}

void PushButton::setMyText(const QString& text)
{
    m_myText = text;
    setText(text);
}

void PushButton::openPixFlicker()
{
    if (m_flickerPix)
        return;
    const int s = int(m_picSide);
    m_flickerPix = new QPixmap(s, s);
    m_flickerPix->fill(Qt::transparent);
    {
        QPainter painter(m_flickerPix);
        painter.setBrush(QBrush(Qt::red));
        painter.setPen(QPen(Qt::red, 1, Qt::SolidLine));
        const int r = (5 * s) / 12;
        painter.drawEllipse(QRect(s / 2 - r, s / 2 - r, 2 * r, 2 * r));
    }
    if (m_timerId == -1) {
        m_timerId = startTimer(500, Qt::CoarseTimer);
        m_flickerVisible = 1;
        update();
    }
}

void PushButton::closePixFlicker()
{
    if (!m_flickerPix)
        return;
    delete m_flickerPix;
    m_flickerPix = nullptr;
    update();
    if (m_timerId != -1) {
        killTimer(m_timerId);
        m_timerId = -1;
    }
}

void PushButton::pausePixFlicker()
{
    if (!m_flickerPix)
        return;
    if (m_timerId != -1) {
        killTimer(m_timerId);
        m_timerId = -1;
    }
    m_flickerVisible = 1;
    update();
}

void PushButton::resumePixFlicker()
{
    if (!m_flickerPix)
        return;
    if (m_timerId == -1)
        m_timerId = startTimer(500, Qt::CoarseTimer);
    m_flickerVisible = 1;
    update();
}

void PushButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId || m_timerId == -1) {
        QPushButton::timerEvent(event);
        return;
    }
    m_flickerVisible = m_flickerVisible ? 0 : 1;
    update();
}

void PushButton::enterEvent(QEvent* event)
{
    m_hover = true;
    QPushButton::enterEvent(event);
    update();
    QToolTip::showText(QCursor::pos(), toolTip(), this);
}

void PushButton::leaveEvent(QEvent* event)
{
    m_hover = false;
    QPushButton::leaveEvent(event);
    update();
}

// A palette clears the hover look of its buttons with a synthetic hover leave: it ends the
// active picture as a real leave does.
bool PushButton::event(QEvent* event)
{
    if (event->type() == QEvent::HoverLeave && m_hover) {
        m_hover = false;
        update();
    }
    return QPushButton::event(event);
}

void PushButton::paintEvent(QPaintEvent* event)
{
    if (m_picMode == StyleSheetMode) {
        QPushButton::paintEvent(event);
        return;
    }
    if (m_picMode != PictureMode)
        return;
    const QPixmap* background = m_normalPix;
    if (isDown())
        background = m_pressedPix;
    else if (m_hover)
        background = m_activePix;
    else if (isChecked())
        background = m_pressedPix;
    if (!background || background->isNull())
        return;

    QPixmap canvas = background->scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const int s = int(m_picSide);
    // The margin comes from the picture's own height (the blink disc's side when there is none).
    const QPixmap* picture = (m_pix && !m_pix->isNull()) ? m_pix : m_flickerPix;
    const int m = (height() - (picture ? picture->height() : s)) / 2;
    {
        QPainter onCanvas(&canvas);
        if (m_flickerPix) {
            if (m_flickerVisible)
                onCanvas.drawPixmap(QRect(m, m, s, s), *m_flickerPix);
        } else if (m_pix && !m_pix->isNull()) {
            onCanvas.drawPixmap(QRect(m, m, s, s), *m_pix);
        }
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, canvas);
    if (isChecked()) {
        painter.setPen(QPen(QBrush(Qt::red), 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(0, 0, width(), height()));
    }
    const int textX = int(s + 2 * m + 10);
    QFont font(DrawLinks::fontFamily());
    font.setPointSize(qMax(1, DrawSettings::uiFontSize()));
    // A text longer than the room right of the picture (the recording time) gets a smaller size
    // rather than losing its end past the button's edge.
    const int room = width() - textX - 2;
    while (font.pointSize() > 1 && QFontMetrics(font, this).horizontalAdvance(text()) > room)
        font.setPointSize(font.pointSize() - 1);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(textX, height() - 10), text());
}
