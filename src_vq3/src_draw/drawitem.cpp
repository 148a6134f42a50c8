#include "drawitem.h"

#include "drawsettings.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace
{
int g_lineToCount = 0;

bool drawnInPixmap(DrawItem::DRAW_SHAPE shape)
{
    return shape == DrawItem::DRAW_RECT || shape == DrawItem::DRAW_ELLIPSE || shape == DrawItem::DRAW_TRIANGLE;
}
}

DrawItem::DrawItem(const QRectF& rect, DRAW_SHAPE shape, QGraphicsItem* parent)
    : QGraphicsRectItem(rect, parent), SharpBase(this, shape != DRAW_PEN && shape != DRAW_FLICKER_RECT), m_shape(shape)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    updateHandlesPos(this->rect());
    if (m_shape == DRAW_PEN) {
        m_penPath = new QPainterPath;
        m_penPath->moveTo(0, 0);
    }
    updateDrawInfo();
}

DrawItem::~DrawItem()
{
    delete m_cachePix;
    delete m_penPath;
    delete m_pixmap;
}

void DrawItem::updateDrawInfo()
{
    m_lineColor = DrawSettings::lineColor();
    m_fillColor = DrawSettings::fillColor();
    m_penWidth = DrawSettings::penWidth();
    m_fillChoice = DrawSettings::fillChoice();
}

void DrawItem::updatehandlesPos()
{
    updateHandlesPos(rect());
}

QVariant DrawItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedChange)
        updateHandlesState(value.toBool());
    return value;
}

void DrawItem::setPath(QPainterPath& path)
{
    if (!m_penPath)
        return;
    *m_penPath = path;
    update();
}

void DrawItem::adjustRect()
{
    if (m_shape != DRAW_PEN || !m_penPath || m_penPath->elementCount() == 0)
        return;
    const QPainterPath::Element first = m_penPath->elementAt(0);
    double minX = first.x, maxX = first.x, minY = first.y, maxY = first.y;
    for (int i = 1; i < m_penPath->elementCount(); ++i) {
        const QPainterPath::Element e = m_penPath->elementAt(i);
        minX = qMin(minX, e.x);
        maxX = qMax(maxX, e.x);
        minY = qMin(minY, e.y);
        maxY = qMax(maxY, e.y);
    }
    const double p = m_penWidth;
    prepareGeometryChange();
    setPos(pos() + QPointF(minX - p, minY - p));
    setRect(0, 0, maxX - minX + 2 * p, maxY - minY + 2 * p);
    for (int i = 0; i < m_penPath->elementCount(); ++i) {
        const QPainterPath::Element e = m_penPath->elementAt(i);
        m_penPath->setElementPositionAt(i, e.x + p - minX, e.y + p - minY);
    }
    update();
}

void DrawItem::setPixmap(QPixmap* pixmap)
{
    if (pixmap == m_pixmap)
        return;
    delete m_pixmap;
    m_pixmap = pixmap;
    update();
}

void DrawItem::_fitCacheToRect(const QRectF& r)
{
    const int w = int(r.width()), h = int(r.height());
    if (m_cachePix->width() == w && m_cachePix->height() == h)
        return;
    if (w < 1 || h < 1 || m_cachePix->isNull()) {
        // Nothing left to stretch (or nowhere to stretch it to): an empty, transparent picture.
        QPixmap* blank = new QPixmap(qMax(w, 0), qMax(h, 0));
        if (!blank->isNull())
            blank->fill(Qt::transparent);
        delete m_cachePix;
        m_cachePix = blank;
        return;
    }
    QPixmap* scaled = new QPixmap(m_cachePix->scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    delete m_cachePix;
    m_cachePix = scaled;
}

void DrawItem::erase(QPointF& from, QPointF& to)
{
    const QRectF r = rect();
    if (!m_cachePix) {
        m_paintFromPix = true;
        m_cachePix = new QPixmap(qMax(int(r.width()), 0), qMax(int(r.height()), 0));
        if (!m_cachePix->isNull()) {
            m_cachePix->fill(Qt::transparent);
            QPainter cachePainter(m_cachePix);
            _paint(r, &cachePainter);
        }
    }
    _fitCacheToRect(r);
    if (m_cachePix->isNull())
        return;
    QPainter painter(m_cachePix);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.setPen(QPen(QBrush(Qt::color0, Qt::SolidPattern), DrawSettings::eraseWidth(), Qt::SolidLine, Qt::RoundCap,
                        Qt::BevelJoin));
    painter.drawLine(from - pos(), to - pos());
    painter.end();
    update();
}

bool DrawItem::isTransparent() const
{
    if (!m_cachePix)
        return false;
    // Every pixel whose alpha is above 0 still shows: a translucent stroke counts as visible.
    // Premultiplied, a pixel is fully transparent exactly when all its bits are 0.
    const QImage image = m_cachePix->toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        const quint32* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
        quint32 any = 0;
        for (int x = 0; x < image.width(); ++x)
            any |= line[x];
        if (any != 0)
            return false;
    }
    return true;
}

void DrawItem::lineTo(double x, double y)
{
    if (!m_penPath)
        return;
    m_penPath->lineTo(x, y);
    if (++g_lineToCount % 10 == 0)
        update();
}

void DrawItem::setPaintFromPix(bool on)
{
    if (on) {
        if (m_paintFromPix)
            return;
        m_paintFromPix = true;
        update();
        return;
    }
    if (!m_paintFromPix)
        return;
    delete m_cachePix;
    m_cachePix = nullptr;
    m_paintFromPix = false;
    update();
}

void DrawItem::rectFlicker()
{
    if (m_shape != DRAW_FLICKER_RECT)
        return;
    m_flicker = !m_flicker;
    update();
}

void DrawItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    const QRectF r = rect();
    if (m_shape == DRAW_PIXMAP && m_pixmap) {
        const QRectF picRect(m_pixmap->rect());
        if (r != picRect) {
            prepareGeometryChange();
            setRect(picRect);
        }
        painter->drawPixmap(int(r.x()), int(r.y()), *m_pixmap);
        return;
    }
    if (m_paintFromPix) {
        if (m_cachePix) {
            _fitCacheToRect(r);
            if (!m_cachePix->isNull())
                painter->drawPixmap(int(r.x()), int(r.y()), *m_cachePix);
        } else {
            m_cachePix = new QPixmap(qMax(int(r.width()), 0), qMax(int(r.height()), 0));
            if (!m_cachePix->isNull()) {
                m_cachePix->fill(Qt::transparent);
                QPainter cachePainter(m_cachePix);
                _paint(r, &cachePainter);
                cachePainter.end();
                painter->drawPixmap(0, 0, *m_cachePix);
            }
        }
        SharpBase::paint(painter, r);
        return;
    }
    _paint(r, painter);
    SharpBase::paint(painter, r);
}

void DrawItem::_drawShape(QPainter& local, int W, int H, double w, double h) const
{
    const double p = m_penWidth;
    const QColor line = m_lineColor;
    const QColor fill = m_fillColor;
    switch (m_shape) {
    case DRAW_RECT:
        local.fillRect(QRect(0, 0, W, H), QBrush(line, Qt::SolidPattern));
        if (w - 2 * p > 0 && h - 2 * p > 0) {
            if (m_fillChoice == 0)
                local.setCompositionMode(QPainter::CompositionMode_Clear);
            local.fillRect(QRect(int(p), int(p), int(w - 2 * p), int(h - 2 * p)), fill);
        }
        break;
    case DRAW_ELLIPSE:
        local.setBrush(QBrush(line, Qt::SolidPattern));
        local.setPen(QPen(QBrush(line), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        local.drawEllipse(QRect(0, 0, int(w - 1), int(h - 1)));
        if (w - 2 * p > 0 && h - 2 * p > 0) {
            if (m_fillChoice == 0)
                local.setCompositionMode(QPainter::CompositionMode_Clear);
            local.setBrush(QBrush(fill, Qt::SolidPattern));
            local.setPen(QPen(QBrush(fill), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            local.drawEllipse(QRect(int(p), int(p), int(w - 2 * p - 1), int(h - 2 * p - 1)));
        }
        break;
    case DRAW_TRIANGLE: {
        local.setBrush(QBrush(line, Qt::SolidPattern));
        local.setPen(QPen(QBrush(line), 1.0));
        const QPointF outer[3] = {QPointF(0, h), QPointF(w, h), QPointF(w / 2, 0)};
        local.drawPolygon(outer, 3, Qt::OddEvenFill);
        if (m_fillChoice == 0)
            local.setCompositionMode(QPainter::CompositionMode_Clear);
        local.setBrush(QBrush(fill, Qt::SolidPattern));
        local.setPen(QPen(QBrush(fill), 1.0));
        // W and H are at least 1 here, so the inset never divides by zero.
        const double Wd = W, Hd = H;
        const double a = (std::sqrt(4 * Hd * Hd + Wd * Wd) * p + Wd * p) / (2 * Hd);
        const int b = int(a);
        if (w > 2 * b) {
            const int c = int((2 * Hd * a - Wd * p) / Wd);
            if (h > p + c) {
                const QPointF inner[3] = {QPointF(b, h - p), QPointF(w - b, h - p), QPointF(w / 2, c)};
                local.drawPolygon(inner, 3, Qt::OddEvenFill);
            }
        }
        break;
    }
    default:
        break;
    }
}

QPixmap DrawItem::renderShape(const QRectF& r) const
{
    const int W = int(r.width()), H = int(r.height());
    if (!drawnInPixmap(m_shape) || W < 1 || H < 1)
        return QPixmap();
    QPixmap pix(W, H);
    pix.fill(Qt::transparent);
    QPainter local(&pix);
    local.setRenderHint(QPainter::Antialiasing, true);
    _drawShape(local, W, H, r.width(), r.height());
    return pix;
}

const QPixmap& DrawItem::_shapePixmap(const QRectF& r)
{
    if (m_shapePix.isNull() || m_shapePixSize != r.size() || m_shapePixLine != m_lineColor
        || m_shapePixFill != m_fillColor || m_shapePixPen != m_penWidth || m_shapePixFillChoice != m_fillChoice) {
        m_shapePix = renderShape(r);
        m_shapePixSize = r.size();
        m_shapePixLine = m_lineColor;
        m_shapePixFill = m_fillColor;
        m_shapePixPen = m_penWidth;
        m_shapePixFillChoice = m_fillChoice;
    }
    return m_shapePix;
}

void DrawItem::_paint(const QRectF& r, QPainter* painter)
{
    switch (m_shape) {
    case DRAW_PEN:
        if (!m_penPath)
            return;
        painter->setBrush(QBrush(QColor(0, 0, 0, 0), Qt::SolidPattern));
        painter->setPen(QPen(QBrush(m_lineColor), m_penWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->drawPath(*m_penPath);
        return;
    case DRAW_FLICKER_RECT: {
        painter->setBrush(QBrush(QColor(0, 0, 0, 0), Qt::SolidPattern));
        painter->setPen(QPen(QBrush(m_flicker ? Qt::blue : Qt::red), 2.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
        const QRect frame(int(r.x()), int(r.y()), int(r.width()), int(r.height()));
        painter->drawRects(&frame, 1);
        return;
    }
    case DRAW_PIXMAP:
        return;
    default:
        break;
    }
    // A shape less than one pixel wide or high has nothing to paint.
    const QPixmap& pix = _shapePixmap(r);
    if (!pix.isNull())
        painter->drawPixmap(int(r.x()), int(r.y()), pix);
}
