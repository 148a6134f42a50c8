#pragma once

#include "BWColor.h"
#include "BinaryThreshold.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <atomic>
#include <cstddef>
#include <cstdint>

class QColor;

namespace imageproc {

// A packed 1-bit image whose copies share their words until one is written.
// Row y starts at word y * wordsPerLine(); pixel x is bit 31 - (x % 32) of word x / 32.
class BinaryImage
{
public:
    class SharedData;

    BinaryImage();
    BinaryImage(int width, int height);
    explicit BinaryImage(QSize size);
    BinaryImage(int width, int height, BWColor color);
    BinaryImage(QSize size, BWColor color);
    BinaryImage(int width, int height, SharedData* data);
    explicit BinaryImage(const QImage& image, BinaryThreshold threshold = BinaryThreshold(128));
    BinaryImage(const QImage& image, const QRect& rect, BinaryThreshold threshold = BinaryThreshold(128));
    BinaryImage(const BinaryImage& other);
    BinaryImage& operator=(const BinaryImage& other);
    ~BinaryImage();

    void swap(BinaryImage& other);

    bool isNull() const { return !m_data; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    QSize size() const { return QSize(m_width, m_height); }
    QRect rect() const { return QRect(0, 0, m_width, m_height); }
    int wordsPerLine() const { return m_wpl; }

    // Makes the words private first.
    uint32_t* data();
    const uint32_t* data() const;
    void copyIfShared();

    void fill(BWColor color);
    void fill(const QRect& rect, BWColor color);
    void fillExcept(const QRect& rect, BWColor color);
    void fillFrame(const QRect& outer, const QRect& inner, BWColor color);

    void invert();
    BinaryImage inverted() const;

    int countBlackPixels() const;
    int countWhitePixels() const;
    int countBlackPixels(const QRect& rect) const;
    int countWhitePixels(const QRect& rect) const;

    QRect contentBoundingBox(BWColor contentColor = BLACK) const;

    // Format_Mono with the colour table 0 = white, 1 = black.
    QImage toQImage() const;
    QImage toAlphaMask(const QColor& color) const;

private:
    void fillRectImpl(uint32_t* data, const QRect& rect, BWColor color);
    // whole: rect is the whole image, whose 1-bit rows are then taken word by word.
    static BinaryImage fromImage(const QImage& image, const QRect& rect, int threshold, bool whole);
    static BinaryImage fromMono(const QImage& image);
    static BinaryImage fromMono(const QImage& image, const QRect& rect);
    static BinaryImage fromMonoLSB(const QImage& image);
    static BinaryImage fromMonoLSB(const QImage& image, const QRect& rect);
    static BinaryImage fromIndexed8(const QImage& image, const QRect& rect, int threshold);
    static BinaryImage fromGrayscale8(const QImage& image, const QRect& rect, int threshold);
    static BinaryImage fromRgb32(const QImage& image, const QRect& rect, int threshold);
    static BinaryImage fromArgb32Premultiplied(const QImage& image, const QRect& rect, int threshold);
    static BinaryImage fromRgb16(const QImage& image, const QRect& rect, int threshold);

    SharedData* m_data;
    int m_width;
    int m_height;
    int m_wpl;
};

// One block: an atomic reference count followed by the pixel words.
class BinaryImage::SharedData
{
public:
    static void* operator new(size_t size, size_t numWords);
    static void operator delete(void* addr, size_t numWords);
    static void operator delete(void* addr);

    // The words follow the header in the same block.
    uint32_t* data() { return reinterpret_cast<uint32_t*>(this + 1); }
    const uint32_t* data() const { return reinterpret_cast<const uint32_t*>(this + 1); }
    bool isShared() const { return m_refCounter.load(std::memory_order_acquire) > 1; }
    void ref() const { m_refCounter.fetch_add(1, std::memory_order_relaxed); }
    void unref() const;

private:
    friend class BinaryImage;
    SharedData() : m_refCounter(1) {}
    SharedData(const SharedData&) = delete;
    SharedData& operator=(const SharedData&) = delete;

    mutable std::atomic<int32_t> m_refCounter;
};

inline void swap(BinaryImage& a, BinaryImage& b) { a.swap(b); }

bool operator==(const BinaryImage& a, const BinaryImage& b);
inline bool operator!=(const BinaryImage& a, const BinaryImage& b) { return !(a == b); }

} // namespace imageproc
