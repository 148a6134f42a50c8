#include "drawoptionselect.h"

#include "dialogservices.h"
#include "screengeometry.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

ColorSelect* ColorSelect::m_spColorSelect = nullptr;
TransparentSelect* TransparentSelect::m_spTransparentSelect = nullptr;

DrawOptionSelect::DrawOptionSelect(QPoint pos, QWidget* parent)
    : QDialog(parent)
    , m_pos(pos)
{
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setStyleSheet(QStringLiteral("background-color:rgba(55,66,76,255);"));
    setMouseTracking(true);
    const int screenHeight = ScreenGeometry::screenHeight();
    m_rowHeight = screenHeight / 30;
    m_width = 3 * m_rowHeight;
    m_margin = screenHeight / 180;
    setGeometry(pos.x(), pos.y(), 3 * m_rowHeight, kRows * m_rowHeight);
}

int DrawOptionSelect::labelPointSize() const
{
    const int size = m_rowHeight / 96;
    return size > 0 ? size : 12;
}

int DrawOptionSelect::labelX(int) const
{
    return m_rowHeight + 2 * m_margin;
}

void DrawOptionSelect::enterEvent(QEvent* event)
{
    QDialog::enterEvent(event);
    m_inside = true;
}

void DrawOptionSelect::leaveEvent(QEvent* event)
{
    QDialog::leaveEvent(event);
    m_inside = false;
    if (m_hoverRow != -1) {
        m_hoverRow = -1;
        update();
    }
}

void DrawOptionSelect::mouseMoveEvent(QMouseEvent* event)
{
    QDialog::mouseMoveEvent(event);
    if (!m_inside || m_rowHeight <= 0)
        return;
    const int row = int(std::lround(event->localPos().y())) / m_rowHeight;
    if (row != m_hoverRow) {
        m_hoverRow = row;
        update();
    }
}

void DrawOptionSelect::mousePressEvent(QMouseEvent* event)
{
    QDialog::mousePressEvent(event);   // a press outside a popup closes it
    if (!m_inside || event->button() != Qt::LeftButton || m_rowHeight <= 0)
        return;
    const QPoint local = mapFromGlobal(event->globalPos());
    const int row = local.y() / m_rowHeight;
    if (local.y() < 0 || row >= kRows || row == m_curRow)
        return;
    m_curRow = row;
    emitChosen(row);
    update();
}

void DrawOptionSelect::paintDisc(QPainter& painter, int row, int r, const QColor& colour)
{
    const int h = m_rowHeight;
    painter.setPen(QPen(colour, 1));
    painter.setBrush(colour);
    painter.drawEllipse(QRect(h / 2 - r, row * h + h / 2 - r, 2 * r, 2 * r));
}

void DrawOptionSelect::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int h = m_rowHeight;
    QFont font(DialogCameraSdk::instance() ? DialogCameraSdk::instance()->getFontFamily() : QString());
    font.setPointSize(labelPointSize());
    for (int i = 0; i < kRows; ++i) {
        if (i == m_curRow || i == m_hoverRow) {
            const QColor grey(120, 120, 120, 128);
            painter.setPen(QPen(grey, 1));
            painter.setBrush(grey);
            painter.drawRect(h / 10, i * h + h / 10, m_width - h / 5, h - h / 5);
        }
        painter.save();
        paintMark(painter, i);
        painter.restore();
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPoint(labelX(i), (i + 1) * h - 2 * m_margin), rowLabel(i));
    }
}

// ---------------------------------------------------------------- colour

ColorSelect::ColorSelect(QPoint pos, QWidget* parent)
    : DrawOptionSelect(pos, parent)
{
}

int ColorSelect::showWindow(QPoint pos, QWidget* parent)
{
    if (!m_spColorSelect)
        m_spColorSelect = new ColorSelect(pos, parent);
    return m_spColorSelect->exec();
}

void ColorSelect::paintMark(QPainter& painter, int row)
{
    static const Qt::GlobalColor fills[kRows] = {Qt::transparent, Qt::black, Qt::white, Qt::red, Qt::blue, Qt::yellow};
    const int h = rowHeight();
    const int m = margin();
    const QColor fill = row == 0 ? QColor(0, 0, 0, 0) : QColor(fills[row]);
    const QColor outline = row == 0 ? QColor(Qt::black) : fill;
    painter.setPen(QPen(outline, 1));
    painter.setBrush(fill);
    painter.drawRect(m, row * h + m, h - 2 * m, h - 2 * m);
}

QString ColorSelect::rowLabel(int row) const
{
    static const char* labels[kRows] = {"透明", "黑色", "白色", "红色", "蓝色", "黄色"};
    return QString::fromUtf8(labels[row]);
}

// ---------------------------------------------------------------- widths

namespace {
// Disc radius of row i for the line and eraser pickers.
int discRadius(int h, int row)
{
    switch (row) {
    case 0: return h / 18;
    case 1: return h / 9;
    case 2: return h / 6;
    case 3: return (4 * h) / 18;
    case 4: return (5 * h) / 18;
    default: return h / 3;
    }
}
const char* const kWidthLabels[DrawOptionSelect::kRows] = {"1", "3", "5", "10", "20", "30"};
} // namespace

PenSelect::PenSelect(QPoint pos, QWidget* parent)
    : DrawOptionSelect(pos, parent)
{
}

void PenSelect::paintMark(QPainter& painter, int row)
{
    paintDisc(painter, row, discRadius(rowHeight(), row), Qt::black);
}

QString PenSelect::rowLabel(int row) const
{
    return QString::fromLatin1(kWidthLabels[row]) + QString::fromUtf8(" 磅");
}

int PenSelect::labelX(int row) const
{
    return row == 0 ? rowHeight() + 10 : DrawOptionSelect::labelX(row);
}

EraseSelect::EraseSelect(QPoint pos, QWidget* parent)
    : DrawOptionSelect(pos, parent)
{
}

void EraseSelect::paintMark(QPainter& painter, int row)
{
    paintDisc(painter, row, discRadius(rowHeight(), row), Qt::white);
}

QString EraseSelect::rowLabel(int row) const
{
    return QString::fromLatin1(kWidthLabels[row]);
}

// ---------------------------------------------------------------- transparency

TransparentSelect::TransparentSelect(QPoint pos, QWidget* parent)
    : DrawOptionSelect(pos, parent)
{
}

int TransparentSelect::showWindow(QPoint pos, QWidget* parent)
{
    if (!m_spTransparentSelect)
        m_spTransparentSelect = new TransparentSelect(pos, parent);
    return m_spTransparentSelect->exec();
}

void TransparentSelect::paintMark(QPainter& painter, int row)
{
    static const QRgb colours[kRows] = {qRgb(83, 91, 127), qRgb(70, 77, 139), qRgb(55, 60, 152),
                                        qRgb(43, 48, 162), qRgb(28, 31, 175), qRgb(0, 0, 200)};
    const int h = rowHeight();
    const int m = margin();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(colours[row]));
    painter.drawRect(m, row * h + m, h - 2 * m, h - 2 * m);
}

QString TransparentSelect::rowLabel(int row) const
{
    static const char* labels[kRows] = {"5%", "25%", "45%", "65%", "85%", "100%"};
    return QString::fromLatin1(labels[row]);
}
