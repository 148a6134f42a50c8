#pragma once

class QImage;

namespace imageproc {

class GrayscaleHistogram;

// One grey level (0..255 compared against grey values); pixels below it are black.
class BinaryThreshold
{
public:
    BinaryThreshold(int threshold) : m_threshold(threshold) {}
    operator int() const { return m_threshold; }

    static BinaryThreshold otsuThreshold(const QImage& image);
    static BinaryThreshold otsuThreshold(const GrayscaleHistogram& hist);
    static BinaryThreshold mokjiThreshold(const QImage& image, unsigned int maxEdgeWidth = 3,
                                          unsigned int minEdgeMagnitude = 20);

private:
    int m_threshold;
};

} // namespace imageproc
