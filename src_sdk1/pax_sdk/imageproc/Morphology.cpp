#include "Morphology.h"

#include "RasterOp.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <stdexcept>
#include <string>

namespace imageproc {

namespace {

using RopOrSrcDst = RopOr<RopSrc, RopDst>;
using RopAndSrcDst = RopAnd<RopSrc, RopDst>;
using RopSubtractDstSrc = RopSubtract<RopDst, RopSrc>;

// Source rectangle that the brick reaches from dstArea: x from left - maxX to right - minX.
QRect reachedArea(const QRect& dstArea, const Brick& brick)
{
    return QRect(QPoint(dstArea.left() - brick.maxX(), dstArea.top() - brick.maxY()),
                 QPoint(dstArea.right() - brick.minX(), dstArea.bottom() - brick.minY()));
}

// The argument errors of the morphology operations; each message names the operation. dstArea is
// checked only where given.
template <typename Image>
void checkArguments(const char* name, const Image& src, bool brickEmpty, const QRect* dstArea = nullptr)
{
    if (src.isNull()) {
        throw std::invalid_argument(std::string(name) + ": src image is null");
    }
    if (brickEmpty) {
        throw std::invalid_argument(std::string(name) + ": brick is empty");
    }
    if (dstArea && dstArea->isEmpty()) {
        throw std::invalid_argument(std::string(name) + ": dst_area is empty");
    }
}

// Opening and closing: first into the destination area widened by the centred brick, then second
// from there into the destination area.
template <typename Image, typename Surroundings>
Image firstThenSecond(const Image& src, const QSize& brick, const QRect& dstArea, Surroundings surroundings,
                      Image (*first)(const Image&, const Brick&, const QRect&, Surroundings),
                      Image (*second)(const Image&, const Brick&, const QRect&, Surroundings))
{
    const Brick b(brick);
    const QRect tmpArea = reachedArea(dstArea, b);
    const Image tmp = first(src, b, tmpArea, surroundings);
    return second(tmp, b, dstArea.translated(-tmpArea.topLeft()), surroundings);
}

// img(x) = op over img(x - len + 1 .. x), in place, for the part of each row from len - 1 on.
// Doubles the covered range at each pass, so a range of n costs about log2(n) passes.
void spreadInDirection(BinaryImage& img, const AbstractRasterOp& op, int len, bool horizontal)
{
    int covered = 1;
    while (covered < len) {
        const int step = std::min(covered, len - covered);
        assert(step > 0);
        if (horizontal) {
            op(img, QRect(step, 0, img.width() - step, img.height()), img, QPoint(0, 0));
        } else {
            op(img, QRect(0, step, img.width(), img.height() - step), img, QPoint(0, 0));
        }
        covered += step;
    }
}

BinaryImage dilateOrErodeBrick(const BinaryImage& src, const Brick& brick, const QRect& dstArea, BWColor surroundings,
                               const AbstractRasterOp& op, const char* name)
{
    checkArguments(name, src, brick.isEmpty(), &dstArea);
    const QRect reach = reachedArea(dstArea, brick);
    const int bw = brick.width();
    const int bh = brick.height();

    // The reached part of the source, with the surroundings around it.
    BinaryImage work(reach.size(), surroundings);
    const QRect overlap = reach.intersected(src.rect());
    if (!overlap.isEmpty()) {
        rasterOp<RopSrc>(work, overlap.translated(-reach.topLeft()), src, overlap.topLeft());
    }

    spreadInDirection(work, op, bw, true);
    BinaryImage columns(dstArea.width(), reach.height());
    rasterOp<RopSrc>(columns, columns.rect(), work, QPoint(bw - 1, 0));
    work = BinaryImage();

    spreadInDirection(columns, op, bh, false);
    BinaryImage dst(dstArea.size());
    rasterOp<RopSrc>(dst, dst.rect(), columns, QPoint(0, bh - 1));
    return dst;
}

// out[j] = min (or max) of in[j .. j + n - 1] for j in 0 .. count - 1, in O(1) per element
// (running extremes over segments of length n, forward and backward).
template <typename Cmp>
void slidingExtreme(const uchar* in, int inStride, int count, int n, uchar* out, int outStride, std::vector<uchar>& fwd,
                    std::vector<uchar>& bwd, Cmp better)
{
    const int len = count + n - 1;
    fwd.resize(size_t(len));
    bwd.resize(size_t(len));
    for (int seg = 0; seg < len; seg += n) {
        const int end = std::min(seg + n, len);
        uchar acc = in[size_t(seg) * inStride];
        fwd[size_t(seg)] = acc;
        for (int i = seg + 1; i < end; ++i) {
            const uchar v = in[size_t(i) * inStride];
            acc = better(v, acc) ? v : acc;
            fwd[size_t(i)] = acc;
        }
        acc = in[size_t(end - 1) * inStride];
        bwd[size_t(end - 1)] = acc;
        for (int i = end - 2; i >= seg; --i) {
            const uchar v = in[size_t(i) * inStride];
            acc = better(v, acc) ? v : acc;
            bwd[size_t(i)] = acc;
        }
    }
    for (int j = 0; j < count; ++j) {
        const uchar a = bwd[size_t(j)];
        const uchar b = fwd[size_t(j + n - 1)];
        out[size_t(j) * outStride] = better(a, b) ? a : b;
    }
}

template <typename Cmp>
GrayImage dilateOrErodeGray(const GrayImage& src, const Brick& brick, const QRect& dstArea, unsigned char surroundings,
                            Cmp better, const char* name)
{
    checkArguments(name, src, brick.isEmpty(), &dstArea);
    const QRect reach = reachedArea(dstArea, brick);
    const int bw = brick.width();
    const int bh = brick.height();
    const int rw = reach.width();
    const int rh = reach.height();

    // The reached part of the source, surroundings elsewhere.
    std::vector<uchar> ext(size_t(rw) * size_t(rh), surroundings);
    const QRect overlap = reach.intersected(src.rect());
    if (!overlap.isEmpty()) {
        const uchar* s = src.data();
        const int stride = src.stride();
        for (int y = overlap.top(); y <= overlap.bottom(); ++y) {
            std::memcpy(&ext[size_t(y - reach.top()) * rw + size_t(overlap.left() - reach.left())],
                        s + size_t(y) * stride + overlap.left(), size_t(overlap.width()));
        }
    }

    std::vector<uchar> fwd;
    std::vector<uchar> bwd;
    const int dw = dstArea.width();
    std::vector<uchar> horizontal(size_t(dw) * size_t(rh));
    for (int y = 0; y < rh; ++y) {
        slidingExtreme(&ext[size_t(y) * rw], 1, dw, bw, &horizontal[size_t(y) * dw], 1, fwd, bwd, better);
    }
    ext = std::vector<uchar>();

    GrayImage dst(dstArea.size());
    uchar* d = dst.data();
    const int dstStride = dst.stride();
    for (int x = 0; x < dw; ++x) {
        slidingExtreme(&horizontal[size_t(x)], dw, dstArea.height(), bh, d + x, dstStride, fwd, bwd, better);
    }
    return dst;
}

const auto darker = [](uchar a, uchar b) { return a < b; };
const auto lighter = [](uchar a, uchar b) { return a > b; };

// Image of src's size whose pixel p is src(p + offset), the surroundings colour where that lies outside.
BinaryImage shiftedOperand(const BinaryImage& src, BWColor surroundings, const QPoint& offset)
{
    BinaryImage operand(src.size(), surroundings);
    const QRect area = src.rect().intersected(src.rect().translated(-offset));
    if (!area.isEmpty()) {
        rasterOp<RopSrc>(operand, area, src, area.topLeft() + offset);
    }
    return operand;
}

} // namespace

// ---- binary morphology ----

BinaryImage dilateBrick(const BinaryImage& src, const Brick& brick, const QRect& dstArea, BWColor srcSurroundings)
{
    static const TemplateRasterOp<RopOrSrcDst> op;
    return dilateOrErodeBrick(src, brick, dstArea, srcSurroundings, op, "dilateBrick");
}

BinaryImage dilateBrick(const BinaryImage& src, const Brick& brick, BWColor srcSurroundings)
{
    return dilateBrick(src, brick, src.rect(), srcSurroundings);
}

BinaryImage erodeBrick(const BinaryImage& src, const Brick& brick, const QRect& dstArea, BWColor srcSurroundings)
{
    static const TemplateRasterOp<RopAndSrcDst> op;
    return dilateOrErodeBrick(src, brick, dstArea, srcSurroundings, op, "erodeBrick");
}

BinaryImage erodeBrick(const BinaryImage& src, const Brick& brick, BWColor srcSurroundings)
{
    return erodeBrick(src, brick, src.rect(), srcSurroundings);
}

BinaryImage openBrick(const BinaryImage& src, const QSize& brick, const QRect& dstArea, BWColor srcSurroundings)
{
    checkArguments("openBrick", src, brick.isEmpty());
    return firstThenSecond(src, brick, dstArea, srcSurroundings, erodeBrick, dilateBrick);
}

BinaryImage openBrick(const BinaryImage& src, const QSize& brick, BWColor srcSurroundings)
{
    return openBrick(src, brick, src.rect(), srcSurroundings);
}

BinaryImage closeBrick(const BinaryImage& src, const QSize& brick, const QRect& dstArea, BWColor srcSurroundings)
{
    checkArguments("closeBrick", src, brick.isEmpty());
    return firstThenSecond(src, brick, dstArea, srcSurroundings, dilateBrick, erodeBrick);
}

BinaryImage closeBrick(const BinaryImage& src, const QSize& brick, BWColor srcSurroundings)
{
    return closeBrick(src, brick, src.rect(), srcSurroundings);
}

// ---- grey morphology ----

GrayImage dilateGray(const GrayImage& src, const Brick& brick, const QRect& dstArea, unsigned char srcSurroundings)
{
    return dilateOrErodeGray(src, brick, dstArea, srcSurroundings, darker, "dilateGray");
}

GrayImage dilateGray(const GrayImage& src, const Brick& brick, unsigned char srcSurroundings)
{
    return dilateGray(src, brick, src.rect(), srcSurroundings);
}

GrayImage erodeGray(const GrayImage& src, const Brick& brick, const QRect& dstArea, unsigned char srcSurroundings)
{
    return dilateOrErodeGray(src, brick, dstArea, srcSurroundings, lighter, "erodeGray");
}

GrayImage erodeGray(const GrayImage& src, const Brick& brick, unsigned char srcSurroundings)
{
    return erodeGray(src, brick, src.rect(), srcSurroundings);
}

GrayImage openGray(const GrayImage& src, const QSize& brick, const QRect& dstArea, unsigned char srcSurroundings)
{
    checkArguments("openGray", src, brick.isEmpty(), &dstArea);
    return firstThenSecond(src, brick, dstArea, srcSurroundings, erodeGray, dilateGray);
}

GrayImage openGray(const GrayImage& src, const QSize& brick, unsigned char srcSurroundings)
{
    return openGray(src, brick, src.rect(), srcSurroundings);
}

GrayImage closeGray(const GrayImage& src, const QSize& brick, const QRect& dstArea, unsigned char srcSurroundings)
{
    checkArguments("closeGray", src, brick.isEmpty(), &dstArea);
    return firstThenSecond(src, brick, dstArea, srcSurroundings, dilateGray, erodeGray);
}

GrayImage closeGray(const GrayImage& src, const QSize& brick, unsigned char srcSurroundings)
{
    return closeGray(src, brick, src.rect(), srcSurroundings);
}

// ---- hit-or-miss ----

BinaryImage hitMissMatch(const BinaryImage& src, BWColor srcSurroundings, const std::vector<QPoint>& hits,
                         const std::vector<QPoint>& misses)
{
    if (src.isNull()) {
        return BinaryImage();
    }
    BinaryImage result;
    size_t firstHit = 0;
    size_t firstMiss = 0;
    if (!hits.empty()) {
        result = shiftedOperand(src, srcSurroundings, hits[0]);
        firstHit = 1;
    } else if (!misses.empty()) {
        result = shiftedOperand(src, srcSurroundings, misses[0]);
        result.invert();
        firstMiss = 1;
    } else {
        return BinaryImage(src.size(), WHITE);
    }
    for (size_t i = firstHit; i < hits.size(); ++i) {
        rasterOp<RopAndSrcDst>(result, shiftedOperand(src, srcSurroundings, hits[i]));
    }
    for (size_t i = firstMiss; i < misses.size(); ++i) {
        rasterOp<RopSubtractDstSrc>(result, shiftedOperand(src, srcSurroundings, misses[i]));
    }
    return result;
}

BinaryImage hitMissMatch(const BinaryImage& src, BWColor srcSurroundings, const char* pattern, int patternWidth,
                         int patternHeight, const QPoint& patternOrigin)
{
    std::vector<QPoint> hits;
    std::vector<QPoint> misses;
    const char* p = pattern;
    for (int y = 0; y < patternHeight; ++y) {
        for (int x = 0; x < patternWidth; ++x, ++p) {
            const QPoint offset(x - patternOrigin.x(), y - patternOrigin.y());
            switch (*p) {
            case 'X':
                hits.push_back(offset);
                break;
            case ' ':
                misses.push_back(offset);
                break;
            case '?':
                break;
            default:
                throw std::invalid_argument("hitMissMatch: invalid character in pattern");
            }
        }
    }
    return hitMissMatch(src, srcSurroundings, hits, misses);
}

void hitMissReplaceInPlace(BinaryImage& img, BWColor srcSurroundings, const char* pattern, int patternWidth,
                           int patternHeight)
{
    const int size = patternWidth * patternHeight;
    int originIdx = -1;
    for (int i = 0; i < size; ++i) {
        const char c = pattern[i];
        if (c != 'X' && c != '-' && c != ' ' && c != '+' && c != '?') {
            throw std::invalid_argument("hitMissReplace: invalid character in pattern");
        }
        if (originIdx < 0 && (c == '+' || c == '-')) {
            originIdx = i;
        }
    }
    if (originIdx < 0 || img.isNull()) {
        return;
    }
    const QPoint origin(originIdx % patternWidth, originIdx / patternWidth);
    std::vector<QPoint> hits;
    std::vector<QPoint> misses;
    for (int i = 0; i < size; ++i) {
        const QPoint offset(i % patternWidth - origin.x(), i / patternWidth - origin.y());
        const char c = pattern[i];
        if (c == 'X' || c == '-') {
            hits.push_back(offset);
        } else if (c == ' ' || c == '+') {
            misses.push_back(offset);
        }
    }
    const BinaryImage matches = hitMissMatch(img, srcSurroundings, hits, misses);
    const QRect rect = img.rect();
    for (int i = 0; i < size; ++i) {
        const char c = pattern[i];
        if (c != '+' && c != '-') {
            continue;
        }
        const QPoint offset(i % patternWidth - origin.x(), i / patternWidth - origin.y());
        // Pixel p + offset changes where the match image has p.
        const QRect area = rect.intersected(rect.translated(offset));
        if (area.isEmpty()) {
            continue;
        }
        if (c == '+') {
            rasterOp<RopOrSrcDst>(img, area, matches, area.topLeft() - offset);
        } else {
            rasterOp<RopSubtractDstSrc>(img, area, matches, area.topLeft() - offset);
        }
    }
}

BinaryImage hitMissReplace(const BinaryImage& src, BWColor srcSurroundings, const char* pattern, int patternWidth,
                           int patternHeight)
{
    BinaryImage dst(src);
    hitMissReplaceInPlace(dst, srcSurroundings, pattern, patternWidth, patternHeight);
    return dst;
}

} // namespace imageproc
