#include "paxopencvutil.h"

#include "Binarize.h"
#include "ffmpeginput.h"
#include "Grayscale.h"
#include "paxlog.h"

#include <QPainter>

#include <opencv2/imgproc.hpp>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cmath>
#include <exception>
#include <mutex>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

// The image in a 32-bit layout whose words are what QImage::pixel() returns (alpha aside).
QImage asPixelWords(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        // pixel() premultiplies only for premultiplied formats.
        return image.convertToFormat(image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied
                                         ? QImage::Format_ARGB32_Premultiplied
                                         : QImage::Format_ARGB32);
    }
}

// Stretched channel c' = clamp((c - 102) * 8 + 127, 0, 255), weighted for the grey sum.
struct StretchTables
{
    uint16_t r[256];
    uint16_t g[256];
    uint16_t b[256];
    StretchTables()
    {
        for (int c = 0; c < 256; ++c) {
            const int s = std::min(255, std::max(0, (c - 102) * 8 + 127));
            r[c] = uint16_t(11 * s);
            g[c] = uint16_t(16 * s);
            b[c] = uint16_t(5 * s);
        }
    }
};

// The grey level of a pixel word without and with the contrast stretch.
inline uchar plainGray(QRgb c) { return uchar(imageproc::grayLevel(c)); }

inline uchar stretchedGray(QRgb c)
{
    static const StretchTables tables;
    return uchar((tables.r[qRed(c)] + tables.g[qGreen(c)] + tables.b[qBlue(c)]) >> 5);
}

// Which source column and row each pixel of a nearest-pixel reduction takes: exactly the pixels
// QImage::scaled(target, mode, Qt::FastTransformation) picks for frames of one size and format. The
// tables are read once per frame size from a probe picture whose pixels hold their own coordinates,
// scaled by Qt itself.
struct ReductionMap
{
    QSize frame;
    QImage::Format format = QImage::Format_Invalid;
    QSize target;
    Qt::AspectRatioMode mode = Qt::IgnoreAspectRatio;
    bool usable = false;
    QSize size; // of the reduced picture
    std::vector<int> cols;
    std::vector<int> rows;

    bool matches(const QImage& f, QSize t, Qt::AspectRatioMode m) const
    {
        return frame == f.size() && format == f.format() && target == t && mode == m;
    }

    void build(const QImage& f, QSize t, Qt::AspectRatioMode m)
    {
        frame = f.size();
        format = f.format();
        target = t;
        mode = m;
        usable = false;
        cols.clear();
        rows.clear();
        // Coordinates up to 4095 fit 12 bits each of the 24 colour bits.
        const int W = f.width();
        const int H = f.height();
        if (W > 4096 || H > 4096) {
            return;
        }
        QImage probe(W, H, f.format());
        if (probe.isNull()) {
            return;
        }
        for (int y = 0; y < H; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(probe.scanLine(y));
            for (int x = 0; x < W; ++x) {
                line[x] = 0xff000000u | (uint32_t(x) << 12) | uint32_t(y);
            }
        }
        const QImage reduced = probe.scaled(t, m, Qt::FastTransformation);
        if (reduced.isNull() || reduced.format() != f.format()) {
            return;
        }
        size = reduced.size();
        cols.resize(size_t(size.width()));
        rows.resize(size_t(size.height()));
        for (int x = 0; x < size.width(); ++x) {
            cols[size_t(x)] = int((reduced.pixel(x, 0) & 0xffffff) >> 12);
        }
        for (int y = 0; y < size.height(); ++y) {
            rows[size_t(y)] = int(reduced.pixel(0, y) & 0xfff);
        }
        // A reduction that does not take whole source columns and rows (none known) keeps Qt's scaling.
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb v = reduced.pixel(x, y) & 0xffffff;
                if (int(v >> 12) != cols[size_t(x)] || int(v & 0xfff) != rows[size_t(y)]) {
                    return;
                }
            }
        }
        usable = true;
    }
};

#if defined(__x86_64__) && defined(__GNUC__)
#define PAX_HAVE_AVX2_REDUCTION 1
// One reduced row: the source pixels the column table names, 8 at a time, with or without the
// stretch c' = clamp(8 c - 689, 0, 255), grey = (11 R' + 16 G' + 5 B') >> 5.
__attribute__((target("avx2"))) void reduceRowAvx2(const QRgb* src, const int* cols, uchar* out, int w, bool stretch)
{
    const __m256i byteMask = _mm256_set1_epi32(0xff);
    const __m256i offset = _mm256_set1_epi32(689);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi32(255);
    const __m256i k11 = _mm256_set1_epi32(11);
    const __m256i k5 = _mm256_set1_epi32(5);
    int x = 0;
    for (; x + 8 <= w; x += 8) {
        // Plain loads: faster than a gather instruction on the processors measured.
        const int* c = cols + x;
        const __m256i v = _mm256_setr_epi32(int(src[c[0]]), int(src[c[1]]), int(src[c[2]]), int(src[c[3]]),
                                            int(src[c[4]]), int(src[c[5]]), int(src[c[6]]), int(src[c[7]]));
        __m256i b = _mm256_and_si256(v, byteMask);
        __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 8), byteMask);
        __m256i r = _mm256_and_si256(_mm256_srli_epi32(v, 16), byteMask);
        if (stretch) {
            b = _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(_mm256_slli_epi32(b, 3), offset), zero), top);
            g = _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(_mm256_slli_epi32(g, 3), offset), zero), top);
            r = _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(_mm256_slli_epi32(r, 3), offset), zero), top);
        }
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(r, k11), _mm256_slli_epi32(g, 4)),
                                             _mm256_mullo_epi32(b, k5));
        const __m256i gray = _mm256_srli_epi32(sum, 5);
        // 32-bit lanes to bytes: each 128-bit half packs its four values into its first 4 bytes.
        const __m256i p16 = _mm256_packus_epi32(gray, gray);
        const __m256i p8 = _mm256_packus_epi16(p16, p16);
        const __m128i both = _mm_unpacklo_epi32(_mm256_castsi256_si128(p8), _mm256_extracti128_si256(p8, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), both);
    }
    for (; x < w; ++x) {
        out[x] = stretch ? stretchedGray(src[cols[x]]) : plainGray(src[cols[x]]);
    }
}
#endif

// True when the box is the frame's own border: every corner within 2 px of a corner of the frame, all
// four frame corners taken. The frame corners are counted both as the last pixel (W - 1, H - 1) and as
// that pixel of the working copy scaled back (a border traced at w - 1 lands on (w - 1) * W / w). A
// light desk around a dark page gives such an outline; it is not a document.
bool isFrameBorder(const QPoint (&corners)[4], int W, int H, int w, int h)
{
    const int slack = 2;
    const int right = std::min(W - 1, int(int64_t(w - 1) * W / w));
    const int bottom = std::min(H - 1, int(int64_t(h - 1) * H / h));
    bool left = false, rightSeen = false, top = false, bottomSeen = false;
    for (const QPoint& p : corners) {
        const bool nearLeft = std::abs(p.x()) <= slack;
        const bool nearRight = p.x() >= right - slack && p.x() <= W - 1 + slack;
        const bool nearTop = std::abs(p.y()) <= slack;
        const bool nearBottom = p.y() >= bottom - slack && p.y() <= H - 1 + slack;
        if (!(nearLeft || nearRight) || !(nearTop || nearBottom)) {
            return false;
        }
        left |= nearLeft;
        rightSeen |= nearRight;
        top |= nearTop;
        bottomSeen |= nearBottom;
    }
    return left && rightSeen && top && bottomSeen;
}

// OpenCV 4.5.1 and later give a minimum-area rectangle's angle in (0, 90]; the rectification of the
// frame processing works with the range [-90, 0). Both describe the same rectangle modulo 90 degrees.
float toLegacyBoxAngle(float angle)
{
    float a = angle - 90.0f;
    while (a >= 0.0f) {
        a -= 90.0f;
    }
    while (a < -90.0f) {
        a += 90.0f;
    }
    return a;
}

// Widens levels to the darkest and lightest value of one row.
void takeRowLevels(const uchar* row, int w, GrayLevels& levels)
{
    uchar darkest = levels.darkest;
    uchar lightest = levels.lightest;
    int x = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (w >= 16) {
        __m128i lo = _mm_set1_epi8(char(darkest));
        __m128i hi = _mm_set1_epi8(char(lightest));
        for (; x + 16 <= w; x += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            lo = _mm_min_epu8(lo, v);
            hi = _mm_max_epu8(hi, v);
        }
        alignas(16) uchar los[16];
        alignas(16) uchar his[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
        for (int i = 0; i < 16; ++i) {
            darkest = std::min(darkest, los[i]);
            lightest = std::max(lightest, his[i]);
        }
    }
#endif
    for (; x < w; ++x) {
        darkest = std::min(darkest, row[x]);
        lightest = std::max(lightest, row[x]);
    }
    levels.darkest = darkest;
    levels.lightest = lightest;
}

} // namespace

bool reduceToGray(const QImage& frame, QSize target, Qt::AspectRatioMode mode, bool stretch, cv::Mat& out,
                  GrayLevels* levels)
{
    if (levels) {
        *levels = GrayLevels();
    }
    if (frame.isNull()) {
        return false;
    }
    const QImage::Format format = frame.format();
    if (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32) {
        // One map per kind of reduction (the outline's and the motion step's) and thread.
        thread_local ReductionMap maps[2];
        ReductionMap& map = maps[mode == Qt::IgnoreAspectRatio ? 0 : 1];
        if (!map.matches(frame, target, mode)) {
            map.build(frame, target, mode);
        }
        if (map.usable) {
            const int w = map.size.width();
            const int h = map.size.height();
            out.create(h, w, CV_8UC1);
            [[maybe_unused]] const bool vector = imageproc::detail::useVectorPaths();
            for (int y = 0; y < h; ++y) {
                const QRgb* src = reinterpret_cast<const QRgb*>(frame.constScanLine(map.rows[size_t(y)]));
                uchar* o = out.ptr<uchar>(y);
#ifdef PAX_HAVE_AVX2_REDUCTION
                if (vector) {
                    reduceRowAvx2(src, map.cols.data(), o, w, stretch);
                } else
#endif
                {
                    for (int x = 0; x < w; ++x) {
                        const QRgb c = src[map.cols[size_t(x)]];
                        o[x] = stretch ? stretchedGray(c) : plainGray(c);
                    }
                }
                if (levels) {
                    takeRowLevels(o, w, *levels);
                }
            }
            return true;
        }
    }
    // Other formats: Qt's own reduction, then its pixels.
    const QImage small = asPixelWords(frame.scaled(target, mode, Qt::FastTransformation));
    if (small.isNull()) {
        return false;
    }
    out.create(small.height(), small.width(), CV_8UC1);
    for (int y = 0; y < small.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(small.constScanLine(y));
        uchar* o = out.ptr<uchar>(y);
        for (int x = 0; x < small.width(); ++x) {
            o[x] = stretch ? stretchedGray(line[x]) : plainGray(line[x]);
        }
        if (levels) {
            takeRowLevels(o, small.width(), *levels);
        }
    }
    return true;
}

bool FindLunKuo(const QImage* frame, QPoint (&corners)[4], float& angle)
{
    if (!frame || frame->isNull()) {
        return false;
    }
    try {
        const int W = frame->width();
        const int H = frame->height();
        const QSize target = W > H ? QSize(1024, 768) : QSize(768, 1024);
        // The working buffers stay with the thread between calls.
        thread_local cv::Mat gray;
        thread_local cv::Mat mask;
        GrayLevels levels;
        if (!reduceToGray(*frame, target, Qt::KeepAspectRatio, true, gray, &levels)) {
            return false;
        }
        const int w = gray.cols;
        const int h = gray.rows;

        // A single grey level has no bright region to find: Otsu's level would fall below it and the
        // whole frame would pass for an outline.
        if (levels.darkest == levels.lightest) {
            return false;
        }

        cv::threshold(gray, mask, 140.0, 200.0, cv::THRESH_BINARY | cv::THRESH_OTSU);
        cv::erode(mask, mask, cv::Mat());

        std::vector<std::vector<cv::Point>> contours;
        cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
        if (contours.empty()) {
            return false;
        }
        double largest = 0.0;
        int chosen = -1;
        for (size_t i = 0; i < contours.size(); ++i) {
            const double area = std::fabs(cv::contourArea(contours[i], false));
            if (area > largest) {
                largest = area;
                chosen = int(i);
            }
        }
        if (chosen < 0) {
            return false;
        }

        const cv::RotatedRect box = cv::minAreaRect(contours[size_t(chosen)]);
        cv::Point2f vertices[4];
        box.points(vertices);

        QPoint found[4];
        for (int i = 0; i < 4; ++i) {
            const int rx = int(std::nearbyint(vertices[i].x));
            const int ry = int(std::nearbyint(vertices[i].y));
            found[i] = QPoint(int(int64_t(rx) * W / w), int(int64_t(ry) * H / h));
        }

        if (isFrameBorder(found, W, H, w, h)) {
            return false;
        }

        // Top-left (smallest x * y) first, cyclic order kept.
        QPoint topLeft = found[0];
        int64_t best = int64_t(found[0].x()) * found[0].y();
        for (int i = 1; i < 4; ++i) {
            const int64_t product = int64_t(found[i].x()) * found[i].y();
            if (product < best) {
                best = product;
                topLeft = found[i];
            }
        }
        for (int shift = 1; shift < 4; ++shift) {
            if (topLeft == found[shift]) {
                std::rotate(found, found + shift, found + 4);
                break;
            }
        }

        for (int i = 0; i < 4; ++i) {
            corners[i] = found[i];
        }
        angle = toLegacyBoxAngle(box.angle);
        return true;
    } catch (const std::exception& e) {
        PAX_LOG_ERROR("outline search failed: %s", e.what());
        return false;
    }
}

cv::Mat ImageToIplImage(const QImage& image, int mode)
{
    if (image.isNull()) {
        return cv::Mat();
    }
    try {
        const QImage words = asPixelWords(image);
        const int w = words.width();
        const int h = words.height();
        if (mode == 1) {
            cv::Mat out(h, w, CV_8UC3);
            for (int y = 0; y < h; ++y) {
                const QRgb* line = reinterpret_cast<const QRgb*>(words.constScanLine(y));
                uchar* o = out.ptr<uchar>(y);
                for (int x = 0; x < w; ++x) {
                    o[3 * x] = uchar(qBlue(line[x]));
                    o[3 * x + 1] = uchar(qGreen(line[x]));
                    o[3 * x + 2] = uchar(qRed(line[x]));
                }
            }
            return out;
        }
        cv::Mat out(h, w, CV_8UC1);
        for (int y = 0; y < h; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(words.constScanLine(y));
            uchar* o = out.ptr<uchar>(y);
            for (int x = 0; x < w; ++x) {
                o[x] = uchar(imageproc::grayLevel(line[x]));
            }
        }
        return out;
    } catch (const std::exception& e) {
        PAX_LOG_ERROR("image conversion failed: %s", e.what());
        return cv::Mat();
    }
}

namespace {

// Smallest and largest x and y of the four corners. Every value counts, -1 included (a corner of a
// document touching the frame's edge can lie there).
void cornerExtremes(const QPoint (&corners)[4], int& minX, int& minY, int& maxX, int& maxY)
{
    minX = maxX = corners[0].x();
    minY = maxY = corners[0].y();
    for (const QPoint& p : corners) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
}

} // namespace

void clipCornersToFrame(QPoint (&corners)[4], const QSize& frame)
{
    for (QPoint& p : corners) {
        p.setX(std::min(std::max(p.x(), 0), std::max(frame.width(), 0)));
        p.setY(std::min(std::max(p.y(), 0), std::max(frame.height(), 0)));
    }
}

QRect transferPointsToRect(QPoint (&corners)[4])
{
    int minX, minY, maxX, maxY;
    cornerExtremes(corners, minX, minY, maxX, maxY);
    return QRect(QPoint(minX, minY), QPoint(maxX - 1, maxY - 1));
}

QRectF transferPointsToRectF(QPoint (&corners)[4])
{
    int minX, minY, maxX, maxY;
    cornerExtremes(corners, minX, minY, maxX, maxY);
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

void mergeImage(QImage* a, QImage* b)
{
    if (!a || !b) {
        return;
    }
    QImage canvas(std::max(a->width(), b->width()), a->height() + b->height(), QImage::Format_RGB888);
    if (canvas.isNull()) {
        PAX_LOG_ERROR("cannot allocate the merged picture");
        return;
    }
    canvas.fill(Qt::black);
    {
        QPainter painter(&canvas);
        painter.drawImage(0, 0, *a);
        painter.drawImage(0, a->height(), *b);
    }
    *b = canvas;
}

QImage myImageScaled(const QImage& source, int width, int height, bool keepAspect)
{
    if (!keepAspect) {
        return source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    QImage canvas(width, height, QImage::Format_RGB32);
    if (canvas.isNull()) {
        return canvas;
    }
    canvas.fill(0);
    if (source.isNull()) {
        return canvas;
    }
    QPainter painter(&canvas);
    if (double(width) / double(height) > double(source.width()) / double(source.height())) {
        const int scaledWidth = int(int64_t(height) * source.width() / source.height());
        painter.drawImage((width - scaledWidth) / 2, 0,
                          source.scaled(scaledWidth, height, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    } else {
        const int scaledHeight = int(int64_t(width) * source.height() / source.width());
        painter.drawImage(0, (height - scaledHeight) / 2,
                          source.scaled(width, scaledHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    }
    painter.end();
    return canvas;
}

QImage blackOrWhiteImage(QImage& image)
{
    const QImage gray = image.format() == QImage::Format_Grayscale8 ? image
                                                                     : image.convertToFormat(QImage::Format_Grayscale8);
    const int w = gray.width();
    const int h = gray.height();
    QImage out(w, h, QImage::Format_Grayscale8);
    if (gray.isNull() || out.isNull()) {
        return out;
    }
    int64_t hist[256] = {};
    for (int y = 0; y < h; ++y) {
        const uchar* line = gray.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            ++hist[line[x]];
        }
    }
    const int64_t total = int64_t(w) * h;
    double sum = 0.0;
    for (int i = 0; i < 256; ++i) {
        sum += double(i) * double(hist[i]);
    }
    double sumB = 0.0;
    int64_t wB = 0;
    double best = 0.0;
    int threshold = 0;
    for (int t = 0; t < 256; ++t) {
        wB += hist[t];
        if (wB == 0) {
            continue;
        }
        const int64_t wF = total - wB;
        if (wF == 0) {
            break;
        }
        sumB += double(t) * double(hist[t]);
        const double mB = sumB / double(wB);
        const double mF = (sum - sumB) / double(wF);
        const double between = double(wB) * double(wF) * (mB - mF) * (mB - mF);
        if (between > best) {
            best = between;
            threshold = t;
        }
    }
    // Levels at or above Otsu's level are white.
    for (int y = 0; y < h; ++y) {
        const uchar* line = gray.constScanLine(y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            o[x] = line[x] >= threshold ? 255 : 0;
        }
    }
    return out;
}

void ffmpeg_init()
{
    static std::once_flag once;
    std::call_once(once, [] {
        PAX_LOG_DEBUG("init ffmpeg..............");
        // FFmpeg's messages go through the process's one log, under the camera SDK at the level it
        // asks: none (AV_LOG_QUIET) unless a level was asked for before.
        pax_log::setFfmpegLevel(pax_log::Component::CameraSdk,
                                pax_log::ffmpegLevel(pax_log::Component::CameraSdk), pax_log::LineForm::Tagged);
        avformat_network_init();
        pax_platform::registerFfmpegDevices();
        PAX_LOG_DEBUG("init ffmpeg..............end");
    });
}
