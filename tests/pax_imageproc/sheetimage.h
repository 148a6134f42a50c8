#pragma once
// Generated desk pictures: a light sheet, tilted about its centre, on a dark desk.

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QSizeF>
#include <QTransform>

#include <array>

namespace reftest {

struct Sheet
{
    QImage image;
    std::array<QPointF, 4> corners; // frame pixels
};

inline Sheet sheetOnDesk(QSize frame, QSizeF sheet, qreal degrees, QPointF centre = QPointF(-1, -1),
                         QRgb desk = qRgb(40, 42, 38), QRgb paper = qRgb(235, 232, 228))
{
    if (centre.x() < 0) {
        centre = QPointF(frame.width() / 2.0, frame.height() / 2.0);
    }
    Sheet s;
    s.image = QImage(frame, QImage::Format_RGB32);
    s.image.fill(desk);
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.rotate(degrees);
    const QRectF r(-sheet.width() / 2, -sheet.height() / 2, sheet.width(), sheet.height());
    QPainter p(&s.image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(t);
    p.fillRect(r, QColor(paper));
    // A few dark lines of "text" on the sheet.
    for (int i = 1; i < 6; ++i) {
        const qreal y = r.top() + r.height() * i / 7.0;
        p.fillRect(QRectF(r.left() + r.width() * 0.1, y, r.width() * 0.7, 6), QColor(30, 30, 30));
    }
    p.end();
    s.corners = {t.map(r.topLeft()), t.map(r.topRight()), t.map(r.bottomRight()), t.map(r.bottomLeft())};
    return s;
}

} // namespace reftest
