#include "paxframepass.h"

#include "Binarize.h"
#include "paxintool.h"
#include "paxopencvutil.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPainter>
#include <QPrinter>
#include <QTransform>

#include <cmath>
#include <exception>

namespace {

const QColor kAutoTrimColor(255, 255, 0, 255);
const QColor kManuTrimColor(255, 0, 0, 255);

// QPainter can't paint on one-bit and indexed pictures.
bool isPaintable(QImage::Format format)
{
    return format != QImage::Format_Mono && format != QImage::Format_MonoLSB && format != QImage::Format_Indexed8 &&
           format != QImage::Format_Invalid;
}

void makePaintable(QImage& image)
{
    if (!isPaintable(image.format()) && !image.isNull()) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
}

QPen overlayPen(const QColor& color, int frameWidth)
{
    return QPen(QBrush(color), PaxFramePass::overlayPenWidth(frameWidth), Qt::SolidLine, Qt::SquareCap,
                Qt::BevelJoin);
}

void beginOverlay(QPainter& painter, const QColor& color, int frameWidth)
{
    painter.setPen(overlayPen(color, frameWidth));
    painter.setBrush(QColor(0, 0, 0, 0));
}

// "1280x720" -> QSize; invalid for anything else.
QSize parseSolution(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) {
        return QSize();
    }
    bool okW = false;
    bool okH = false;
    const int w = parts[0].toInt(&okW, 10);
    const int h = parts[1].toInt(&okH, 10);
    if (!okW || !okH || w <= 0 || h <= 0) {
        return QSize();
    }
    return QSize(w, h);
}

QImage colourMode(const QImage& frame, int mode)
{
    switch (mode) {
    case PaxColorModeBlackWhite:
        try {
            const QImage gray = frame.convertToFormat(QImage::Format_Grayscale8);
            return imageproc::binarizeWolf(gray, QSize(51, 51), 50, 254).toQImage();
        } catch (const std::exception& e) {
            PAX_LOG_ERROR("black and white failed: %s", e.what());
            return frame;
        }
    case PaxColorModeGray:
        return frame.convertToFormat(QImage::Format_Grayscale8);
    default:
        return frame;
    }
}

} // namespace

PaxFramePass::PaxFramePass(PaxFramePassHost* host) : m_host(host) {}

void PaxFramePass::edit(const std::function<void(PaxFrameSettingsS&)>& edit)
{
    QMutexLocker lock(&m_mutex);
    edit(m_settings);
}

PaxFrameSettingsS PaxFramePass::settings() const
{
    QMutexLocker lock(&m_mutex);
    return m_settings;
}

void PaxFramePass::setLunkuo(const _Lunkuo& lunkuo)
{
    QMutexLocker lock(&m_mutex);
    m_lunkuo = lunkuo;
}

_Lunkuo PaxFramePass::lunkuo() const
{
    QMutexLocker lock(&m_mutex);
    return m_lunkuo;
}

void PaxFramePass::clearLunkuoFound()
{
    QMutexLocker lock(&m_mutex);
    m_lunkuo.found = false;
}

void PaxFramePass::releaseKeptPicture()
{
    QMutexLocker lock(&m_mutex);
    m_kept = QImage();
    m_hasKept = false;
    ++m_keptGeneration;
}

bool PaxFramePass::hasKeptPicture() const
{
    QMutexLocker lock(&m_mutex);
    return m_hasKept;
}

PaxFramePass::Snapshot PaxFramePass::_snapshot() const
{
    QMutexLocker lock(&m_mutex);
    Snapshot s;
    s.settings = m_settings;
    s.lunkuo = m_lunkuo;
    s.kept = m_kept;
    s.hasKept = m_hasKept;
    s.keptGeneration = m_keptGeneration;
    return s;
}

double PaxFramePass::correctionAngle(double outlineAngle)
{
    return outlineAngle > -45.0 ? -outlineAngle : -90.0 - outlineAngle;
}

QImage PaxFramePass::rectified(const QImage& frame, double degrees)
{
    // The frame turned about its centre and cut to its own size: the centre cut of the turned
    // picture, without making the larger turned picture first. Uncovered corners are black.
    const int w = frame.width();
    const int h = frame.height();
    QImage turned(w, h, QImage::Format_RGB32);
    if (frame.isNull() || turned.isNull()) {
        return QImage();
    }
    turned.fill(Qt::black);
    {
        QPainter painter(&turned);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(w / 2.0, h / 2.0);
        painter.rotate(degrees);
        painter.translate(-w / 2.0, -h / 2.0);
        painter.drawImage(QPoint(0, 0), frame);
    }
    return turned.convertToFormat(QImage::Format_RGB888);
}

QImage PaxFramePass::_rectifiedByOutline(const QImage& frame, const _Lunkuo& lunkuo) const
{
    if (!lunkuo.found || lunkuo.angle == 0.0f) {
        return QImage();
    }
    return rectified(frame, correctionAngle(double(lunkuo.angle)));
}

QRect PaxFramePass::usableTrimRect(const QRect& rect, const QRect& bounds)
{
    return rect.normalized().intersected(bounds);
}

QVector<QRectF> PaxFramePass::trimHandles(const QRect& rect, int penWidth)
{
    const int d = 2 * penWidth;
    const int side = 5 * penWidth;
    const int L = rect.left();
    const int T = rect.top();
    const int W = rect.width();
    const int H = rect.height();
    const QPoint corners[8] = {
        {L - d, T - d},         {L - d + W / 2, T - d},         {L + W - d, T - d},     {L - d, T - d + H / 2},
        {L - d, T + H - d},     {L + W - d, T - d + H / 2},     {L + W - d, T + H - d}, {L - d + W / 2, T + H - d},
    };
    QVector<QRectF> out;
    out.reserve(8);
    for (const QPoint& p : corners) {
        out.append(QRectF(p.x(), p.y(), side, side));
    }
    return out;
}

void PaxFramePass::process(QImage& frame)
{
    Snapshot s = _snapshot();
    const PaxFrameSettingsS& st = s.settings;

    // 1. Init angle (an identity turn leaves the frame as it is).
    if (st.initAngle != 0.0) {
        QTransform turn;
        turn.rotate(st.initAngle);
        frame = frame.transformed(turn, Qt::SmoothTransformation);
    }

    // 2. Outline and motion feed.
    bool fed = false;
    if (st.autoDoc) {
        m_host->feedOutlineTasks(frame);
        fed = true;
    }

    // 3. Rectification into a copy; the frame stays as it is.
    QImage rectifiedCopy;
    if (st.rectify) {
        if (!fed) {
            m_host->feedOutlineTasks(frame);
            fed = true;
        }
        rectifiedCopy = _rectifiedByOutline(frame, s.lunkuo);
    }

    // 4. Colour mode of the frame.
    frame = colourMode(frame, st.colorMode);

    // 5. Capture request.
    if (m_host->takeCaptureRequest()) {
        m_host->captured(frame);
    }

    // 6.-15. A pending grab.
    PaxData::_IoctlTypeE type = PaxData::IoctlTypeCommon;
    const QString name = m_host->takeNextPicName(type);
    if (!name.isEmpty()) {
        QImage picture;
        if (_buildPicture(s, frame, rectifiedCopy, picture)) {
            int format = PaxPicSaveFormatJpg;
            QString formatText;
            int quality = 100;
            m_host->pictureFormat(type, format, formatText, quality);
            _save(picture, name, format, formatText, quality);
        }
    }

    // 16. Overlays.
    _drawOverlays(s, frame, rectifiedCopy, fed);
}

bool PaxFramePass::_buildPicture(const Snapshot& s, const QImage& frame, const QImage& rectifiedCopy, QImage& picture)
{
    const PaxFrameSettingsS& st = s.settings;
    const QImage& source = rectifiedCopy.isNull() ? frame : rectifiedCopy;
    picture = source;

    // 9. Automatic trim of the grab.
    if (st.autoTrim && st.photoAutoTrim) {
        if (rectifiedCopy.isNull() && s.lunkuo.found && s.lunkuo.angle != 0.0f) {
            const QImage turned = _rectifiedByOutline(frame, s.lunkuo);
            if (!turned.isNull()) {
                picture = turned;
            }
        }
        _Lunkuo outline;
        if (m_host->findOutline(picture, outline)) {
            // A sheet reaching past the frame has corners outside it: crop to the part inside.
            clipCornersToFrame(outline.corners, picture.size());
            picture = picture.copy(transferPointsToRect(outline.corners));
        }
    }

    // 10. Manual trim, from the untrimmed source; a rectangle dragged up or left still counts.
    if (st.manuTrim && st.hasManuTrimRect) {
        const QRect cut = usableTrimRect(st.manuTrimRect, source.rect());
        if (!cut.isEmpty()) {
            picture = source.copy(cut);
        }
    }

    // 11., 12. Logos.
    if (st.textLogo.enable && !st.textLogo.text.isEmpty()) {
        _drawTextLogo(picture, st.textLogo);
    }
    if (st.picLogo.enable && !st.picLogo.file.isEmpty()) {
        _drawPicLogo(picture, st.picLogo);
    }

    // 13. Intelligent grab: the first shot is kept, the second is saved below it.
    bool keepFirst = false;
    if (st.intelligentGrab) {
        QMutexLocker lock(&m_mutex);
        const bool current = m_keptGeneration == s.keptGeneration;
        if (!s.hasKept) {
            if (current) {
                m_kept = picture;
                m_hasKept = true;
            }
            keepFirst = true;
            lock.unlock();
            m_host->intelligentGrabChanged(true, 1);
        } else {
            QImage first = s.kept;
            mergeImage(&first, &picture);
            if (current) {
                m_kept = QImage();
                m_hasKept = false;
                ++m_keptGeneration;
                m_settings.intelligentGrab = false;
            }
            lock.unlock();
            m_host->intelligentGrabChanged(false, 0);
        }
    }

    // 14. Scaling to the requested solution.
    QString real;
    QString requested;
    m_host->mainSolutions(real, requested);
    if (real != requested) {
        const QSize size = parseSolution(requested);
        if (size.isValid()) {
            picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }

    // 15. Nothing is saved for the first of two shots.
    return !keepFirst;
}

void PaxFramePass::_drawTextLogo(QImage& picture, const PaxTextLogoS& logo)
{
    const QString family = m_host->fontFamily();
    if (family.isEmpty()) {
        return;
    }
    makePaintable(picture);
    QPainter painter(&picture);
    if (!painter.isActive()) {
        return;
    }
    QFont font(family, logo.fontSize, logo.fontWeight, false);
    painter.setFont(font);
    QColor color;
    color.setNamedColor(logo.colorName);
    color.setAlpha(logo.alpha);
    painter.setPen(color);
    painter.drawText(QPoint(logo.x, logo.y), logo.text);
}

void PaxFramePass::_drawPicLogo(QImage& picture, const PaxPicLogoS& logo)
{
    QImage image(logo.file);
    if (image.isNull() || logo.x < 0 || logo.y < 0) {
        return;
    }
    image = image.convertToFormat(QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            uchar& alpha = line[4 * x + 3];
            if (alpha != 0) {
                alpha = logo.alpha;
            }
        }
    }
    makePaintable(picture);
    QPainter painter(&picture);
    if (painter.isActive()) {
        painter.drawImage(QPoint(logo.x, logo.y), image);
    }
}

void PaxFramePass::_save(const QImage& picture, const QString& name, int format, const QString& formatText,
                         int quality)
{
    const bool written = format == PaxPicSaveFormatPdf
                             ? paxSavePdf(picture, name)
                             : picture.save(name, formatText.toLatin1().constData(), quality);
    if (!written) {
        pax_log_line(true, __FILE__, "_ioctlImage", __LINE__, "save pic error, picName[%s]",
                     name.toLocal8Bit().constData());
        return;
    }
    m_host->grabbed(name);
}

void PaxFramePass::_drawOverlays(const Snapshot& s, QImage& frame, QImage& rectifiedCopy, bool fed)
{
    const PaxFrameSettingsS& st = s.settings;
    if (st.autoTrim) {
        if (!fed) {
            m_host->feedOutlineTasks(frame);
        }
        if (!rectifiedCopy.isNull()) {
            _Lunkuo outline;
            if (m_host->findOutline(rectifiedCopy, outline)) {
                QPainter painter(&rectifiedCopy);
                beginOverlay(painter, kAutoTrimColor, rectifiedCopy.width());
                const QRectF box = transferPointsToRectF(outline.corners);
                painter.drawRects(&box, 1);
            }
        } else if (s.lunkuo.found) {
            makePaintable(frame);
            QPainter painter(&frame);
            beginOverlay(painter, kAutoTrimColor, frame.width());
            painter.drawPolygon(s.lunkuo.corners, 4, Qt::OddEvenFill);
        }
    }
    if (st.manuTrim && st.hasManuTrimRect) {
        const QRect rect = st.manuTrimRect.normalized();
        if (!rectifiedCopy.isNull()) {
            QPainter painter(&rectifiedCopy);
            beginOverlay(painter, kManuTrimColor, rectifiedCopy.width());
            painter.drawRect(rect);
        } else {
            makePaintable(frame);
            QPainter painter(&frame);
            beginOverlay(painter, kManuTrimColor, frame.width());
            painter.drawRect(rect);
            for (const QRectF& handle : trimHandles(rect, overlayPenWidth(frame.width()))) {
                painter.fillRect(handle, kManuTrimColor);
            }
        }
    }
    if (!rectifiedCopy.isNull()) {
        frame = rectifiedCopy;
        rectifiedCopy = QImage();
    }
}

bool paxSavePdf(const QImage& picture, const QString& fileName)
{
    if (picture.isNull()) {
        return false;
    }
    QFile::remove(fileName);
    {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(72);
        printer.setOutputFileName(fileName);
        printer.setFullPage(true);
        const QPageSize size(QSizeF(picture.width(), picture.height()), QPageSize::Point, QString(),
                             QPageSize::ExactMatch);
        printer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        QPainter painter;
        if (!painter.begin(&printer)) {
            return false;
        }
        painter.drawImage(QPoint(0, 0), picture);
        if (!painter.end()) {
            return false;
        }
    }
    const QFileInfo written(fileName);
    return written.exists() && written.size() > 0;
}
