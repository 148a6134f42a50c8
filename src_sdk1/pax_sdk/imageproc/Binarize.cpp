#include "Binarize.h"

#include "BinaryThreshold.h"
#include "Brick.h"
#include "Grayscale.h"
#include "Morphology.h"

#include <QDebug>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace imageproc {

namespace {

// A grey view of the source: the source's own bytes when it already is 8-bit grey, else a converted copy.
struct GrayView
{
    QImage holder;
    const uchar* bits = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;

    explicit GrayView(const QImage& src)
    {
        const bool direct = src.format() == QImage::Format_Grayscale8 ||
                            (src.format() == QImage::Format_Indexed8 && src.isGrayscale() && src.colorCount() == 256 &&
                             src.colorTable() == createGrayscalePalette());
        holder = direct ? src : toGrayscale(src);
        bits = holder.constBits();
        stride = holder.bytesPerLine();
        width = holder.width();
        height = holder.height();
    }
};

// Sliding window sums over a grey picture, one output row at a time: the column sums of the
// window's rows are updated by one entering and one leaving row, and a prefix over them gives
// every window sum with two look-ups. The sums equal those of integral images.
class WindowSums
{
public:
    WindowSums(const GrayView& g, QSize window)
        : m_g(g),
          m_lowerH(window.height() / 2),
          m_upperH(window.height() - window.height() / 2),
          m_leftW(window.width() / 2),
          m_rightW(window.width() - window.width() / 2),
          m_colSum(size_t(g.width), 0),
          m_colSq(size_t(g.width), 0),
          m_prefSum(size_t(g.width) + 1, 0),
          m_prefSq(size_t(g.width) + 1, 0),
          m_invArea(size_t(g.width), 0.0),
          m_left(size_t(g.width)),
          m_right(size_t(g.width))
    {
        for (int x = 0; x < g.width; ++x) {
            m_left[size_t(x)] = std::max(0, x - m_leftW);
            m_right[size_t(x)] = std::min(g.width, x + m_rightW);
        }
        // Rows of the window of row -1: [0, min(h, upperH - 1)).
        const int firstBottom = std::min(g.height, m_upperH - 1);
        for (int y = 0; y < firstBottom; ++y) {
            addRow(y);
        }
    }

    // Moves the window to row y (rows must come in order 0, 1, ...) and fills mean and deviation.
    // Returns the largest deviation of the row.
    double row(int y, float* mean, float* dev)
    {
        const int entering = y + m_upperH - 1;
        if (entering < m_g.height) {
            addRow(entering);
        }
        const int leaving = y - m_lowerH - 1;
        if (leaving >= 0) {
            subRow(leaving);
        }
        const int top = std::max(0, y - m_lowerH);
        const int bottom = std::min(m_g.height, y + m_upperH);
        const int rows = bottom - top;
        if (rows != m_areaRows) {
            m_areaRows = rows;
            for (int x = 0; x < m_g.width; ++x) {
                const int area = rows * (m_right[size_t(x)] - m_left[size_t(x)]);
                assert(area > 0);
                m_invArea[size_t(x)] = 1.0 / double(area);
            }
        }
        const int w = m_g.width;
        uint32_t* ps = m_prefSum.data();
        uint64_t* pq = m_prefSq.data();
        const uint32_t* cs = m_colSum.data();
        const uint64_t* cq = m_colSq.data();
        for (int x = 0; x < w; ++x) {
            ps[x + 1] = ps[x] + cs[x];
            pq[x + 1] = pq[x] + cq[x];
        }
        const int* left = m_left.data();
        const int* right = m_right.data();
        const double* inv = m_invArea.data();
        double maxDev = 0.0;
        for (int x = 0; x < w; ++x) {
            const uint32_t sum = ps[right[x]] - ps[left[x]];
            const uint64_t sq = pq[right[x]] - pq[left[x]];
            const double m = double(sum) * inv[x];
            const double sqm = double(sq) * inv[x];
            const double d = std::sqrt(std::fabs(sqm - m * m));
            mean[x] = float(m);
            dev[x] = float(d);
            maxDev = d > maxDev ? d : maxDev;
        }
        return maxDev;
    }

private:
    void addRow(int y)
    {
        const uchar* line = m_g.bits + size_t(y) * m_g.stride;
        for (int x = 0; x < m_g.width; ++x) {
            const uint32_t v = line[x];
            m_colSum[size_t(x)] += v;
            m_colSq[size_t(x)] += v * v;
        }
    }

    void subRow(int y)
    {
        const uchar* line = m_g.bits + size_t(y) * m_g.stride;
        for (int x = 0; x < m_g.width; ++x) {
            const uint32_t v = line[x];
            m_colSum[size_t(x)] -= v;
            m_colSq[size_t(x)] -= v * v;
        }
    }

    const GrayView& m_g;
    const int m_lowerH;
    const int m_upperH;
    const int m_leftW;
    const int m_rightW;
    int m_areaRows = -1;
    std::vector<uint32_t> m_colSum;
    std::vector<uint64_t> m_colSq;
    std::vector<uint32_t> m_prefSum;
    std::vector<uint64_t> m_prefSq;
    std::vector<double> m_invArea;
    std::vector<int> m_left;
    std::vector<int> m_right;
};

// Packs one row of 0/1 flags into words, leftmost pixel in the top bit.
inline void packFlags(const uint8_t* flags, int width, uint32_t* out)
{
    int x = 0;
    int i = 0;
    for (; x + 32 <= width; x += 32, ++i) {
        uint32_t w = 0;
        for (int b = 0; b < 32; ++b) {
            w = (w << 1) | flags[x + b];
        }
        out[i] = w;
    }
    if (x < width) {
        uint32_t w = 0;
        const int rest = width - x;
        for (int b = 0; b < rest; ++b) {
            w = (w << 1) | flags[x + b];
        }
        out[i] = w << (32 - rest);
    }
}

} // namespace

BinaryImage binarizeWolf(const QImage& src, QSize windowSize, unsigned char lowerBound, unsigned char upperBound)
{
    if (windowSize.width() < 1 || windowSize.height() < 1) {
        throw std::invalid_argument("binarizeWolf: invalid window_size");
    }
    if (src.isNull()) {
        return BinaryImage();
    }
    const GrayView gray(src);
    const int w = gray.width;
    const int h = gray.height;

    int minGray = 255;
    for (int y = 0; y < h; ++y) {
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        uchar rowMin = 255;
        for (int x = 0; x < w; ++x) {
            rowMin = line[x] < rowMin ? line[x] : rowMin;
        }
        minGray = std::min(minGray, int(rowMin));
    }

    std::unique_ptr<float[]> means(new float[size_t(w) * size_t(h)]);
    std::unique_ptr<float[]> deviations(new float[size_t(w) * size_t(h)]);
    double maxDeviation = 0.0;
    {
        WindowSums sums(gray, windowSize);
        for (int y = 0; y < h; ++y) {
            const double rowMax = sums.row(y, means.get() + size_t(y) * w, deviations.get() + size_t(y) * w);
            maxDeviation = rowMax > maxDeviation ? rowMax : maxDeviation;
        }
    }

    qDebug() << "max_deviation :" << maxDeviation;
    qDebug() << "lower_bound :" << lowerBound << ",upper_bound:" << upperBound;

    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    std::vector<uint8_t> flags(static_cast<size_t>(w));
    const float fMin = float(minGray);
    const double k = -0.3;
    for (int y = 0; y < h; ++y, out += wpl) {
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        const float* m = means.get() + size_t(y) * w;
        const float* s = deviations.get() + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            const uchar g = line[x];
            const float mean = m[x];
            const double threshold = double(mean) + double(mean - fMin) * ((1.0 - double(s[x]) / maxDeviation) * k);
            const bool black = g < lowerBound || (g <= upperBound && threshold > double(g));
            flags[size_t(x)] = black;
        }
        packFlags(flags.data(), w, out);
    }
    return bw;
}

BinaryImage binarizeSauvola(const QImage& src, QSize windowSize)
{
    if (windowSize.width() < 1 || windowSize.height() < 1) {
        throw std::invalid_argument("binarizeSauvola: invalid window_size");
    }
    if (src.isNull()) {
        return BinaryImage();
    }
    const GrayView gray(src);
    const int w = gray.width;
    const int h = gray.height;
    WindowSums sums(gray, windowSize);
    std::vector<float> mean(static_cast<size_t>(w));
    std::vector<float> dev(static_cast<size_t>(w));
    std::vector<uint8_t> flags(static_cast<size_t>(w));
    BinaryImage bw(w, h);
    const int wpl = bw.wordsPerLine();
    uint32_t* out = bw.data();
    for (int y = 0; y < h; ++y, out += wpl) {
        sums.row(y, mean.data(), dev.data());
        const uchar* line = gray.bits + size_t(y) * gray.stride;
        for (int x = 0; x < w; ++x) {
            const double m = mean[size_t(x)];
            const double threshold = m * (1.0 + 0.34 * (double(dev[size_t(x)]) * 0.0078125 - 1.0));
            flags[size_t(x)] = threshold > double(line[x]);
        }
        packFlags(flags.data(), w, out);
    }
    return bw;
}

BinaryImage binarizeOtsu(const QImage& src) { return BinaryImage(src, BinaryThreshold::otsuThreshold(src)); }

BinaryImage binarizeMokji(const QImage& src, unsigned int maxEdgeWidth, unsigned int minEdgeMagnitude)
{
    return BinaryImage(src, BinaryThreshold::mokjiThreshold(src, maxEdgeWidth, minEdgeMagnitude));
}

// ---- global thresholds ----

BinaryThreshold BinaryThreshold::otsuThreshold(const QImage& image)
{
    return otsuThreshold(GrayscaleHistogram(image));
}

BinaryThreshold BinaryThreshold::otsuThreshold(const GrayscaleHistogram& hist)
{
    int64_t count[256];
    int64_t levelSum[256];
    int64_t c = 0;
    int64_t s = 0;
    for (int i = 0; i < 256; ++i) {
        c += hist[i];
        s += int64_t(hist[i]) * i;
        count[i] = c;
        levelSum[i] = s;
    }
    const int64_t total = count[255];
    const int64_t totalSum = levelSum[255];
    double best = 0.0;
    int first = -1;
    int last = -1;
    for (int t = 0; t < 256; ++t) {
        const int64_t c1 = count[t];
        const int64_t c2 = total - c1;
        if (c1 <= 0 || c2 <= 0) {
            continue;
        }
        const double diff = double(levelSum[t]) / double(c1) - double(totalSum - levelSum[t]) / double(c2);
        const double between = diff * diff * double(c1) * double(c2);
        if (between > best) {
            best = between;
            first = t;
            last = t;
        } else if (between == best) {
            last = t;
        }
    }
    return BinaryThreshold((first + last + 2) / 2);
}

BinaryThreshold BinaryThreshold::mokjiThreshold(const QImage& image, unsigned int maxEdgeWidth,
                                                unsigned int minEdgeMagnitude)
{
    if (maxEdgeWidth < 1) {
        throw std::invalid_argument("mokjiThreshold: invalid max_edge_width");
    }
    if (minEdgeMagnitude < 1) {
        throw std::invalid_argument("mokjiThreshold: invalid min_edge_magnitude");
    }
    const GrayImage gray(image);
    const int w = gray.width();
    const int h = gray.height();
    const int dilateSize = int(maxEdgeWidth) * 2 + 1;
    const GrayImage darkest = dilateGray(gray, Brick(QSize(dilateSize, dilateSize)), 0xff);

    std::vector<int> matrix(256 * 256, 0);
    const int margin = int(maxEdgeWidth);
    for (int y = margin; y < h - margin; ++y) {
        const uchar* srcLine = gray.data() + size_t(y) * gray.stride();
        const uchar* dLine = darkest.data() + size_t(y) * darkest.stride();
        for (int x = margin; x < w - margin; ++x) {
            const int p = srcLine[x];
            const int d = dLine[x];
            assert(d <= p);
            ++matrix[size_t(d) * 256 + size_t(p)];
        }
    }

    double total = 0.0;
    double weighted = 0.0;
    for (int d = 0; d < 256; ++d) {
        for (int p = d + int(minEdgeMagnitude); p < 256; ++p) {
            const int n = matrix[size_t(d) * 256 + size_t(p)];
            total += n;
            weighted += double(n) * (d + p);
        }
    }
    if (total == 0.0 || minEdgeMagnitude >= 256) {
        return BinaryThreshold(128);
    }
    return BinaryThreshold(int(weighted * 0.5 / total + 0.5));
}

} // namespace imageproc
