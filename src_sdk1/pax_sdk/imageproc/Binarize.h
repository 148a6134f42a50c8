#pragma once

#include "BinaryImage.h"

#include <QImage>
#include <QSize>

namespace imageproc {

// Wolf's local threshold over a sliding window (k = 0.3). Pixels darker than lowerBound are always
// black, pixels lighter than upperBound always white. A null image gives a null result.
BinaryImage binarizeWolf(const QImage& src, QSize windowSize = QSize(200, 200), unsigned char lowerBound = 1,
                         unsigned char upperBound = 254);

// Sauvola's local threshold (k = 0.34, R = 128).
BinaryImage binarizeSauvola(const QImage& src, QSize windowSize = QSize(200, 200));

// Global thresholds.
BinaryImage binarizeOtsu(const QImage& src);
BinaryImage binarizeMokji(const QImage& src, unsigned int maxEdgeWidth = 3, unsigned int minEdgeMagnitude = 20);

namespace detail {
// The row kernels of the window binarisations come as plain code, SSE2 and AVX2; the best the processor
// has is used. Tests and benchmarks can cap it to run the others. Results are the same either way.
enum class VectorLevel { Scalar = 0, Sse2 = 1, Avx2 = 2 };
void setVectorLevel(VectorLevel most);
// In use: the cap, and what the processor has.
VectorLevel vectorLevel();
VectorLevel processorVectorLevel();
// The vector (AVX2) code paths of the binarisation and the outline search are used when the processor
// has them; tests and benchmarks can switch them off to run the plain paths (for the binarisation this
// is setVectorLevel(Avx2) or setVectorLevel(Scalar)).
void setVectorPathsEnabled(bool enabled);
bool vectorPathsEnabled();
// Enabled, and the processor has AVX2.
bool useVectorPaths();
// Large pictures are binarised in row bands on a small fixed pool of threads (at most 4, by default as
// many as the processors the calling thread may run on, up to that); 1 keeps every binarisation in
// the calling thread. The result does not depend on it.
void setBandThreads(int threads);
int bandThreads();
} // namespace detail

} // namespace imageproc
