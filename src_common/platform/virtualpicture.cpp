#include "virtualpicture.h"

#include "ffmpegapi.h"
#include "virtualdevice.h"

#include <QPainter>
#include <QtDebug>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace pax_virtual {

namespace {

namespace ffmpeg = pax_platform::ffmpeg;

// ---------------------------------------------------------------------------------------------
// A 5x7 bitmap font: the picture needs no font database (Korvid runs without a GUI application).

struct Glyph {
    char c;
    std::array<quint8, 7> rows;   // bit 4 is the left column
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
};

const Glyph* glyphFor(char c)
{
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;   // space and anything unknown draw nothing
}

// Glyph cells are 6x7 units (5 columns and a gap); `scale` pixels a unit. Clipped to the image.
void drawText(QImage& image, int x, int y, int scale, const QByteArray& text, QRgb colour)
{
    const int w = image.width();
    const int h = image.height();
    for (int i = 0; i < text.size(); ++i) {
        const Glyph* g = glyphFor(text.at(i));
        if (!g)
            continue;
        const int gx = x + i * 6 * scale;
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5; ++col) {
                if (!(g->rows[size_t(row)] & (0x10 >> col)))
                    continue;
                const int x0 = std::max(0, gx + col * scale);
                const int x1 = std::min(w, gx + (col + 1) * scale);
                const int y0 = std::max(0, y + row * scale);
                const int y1 = std::min(h, y + (row + 1) * scale);
                for (int py = y0; py < y1; ++py) {
                    auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
                    std::fill(line + x0, line + std::max(x0, x1), colour);
                }
            }
        }
    }
}

const char* const kSheetLines[] = {
    "THE QUICK BROWN FOX JUMPS OVER",
    "THE LAZY DOG. PACK MY BOX WITH",
    "FIVE DOZEN LIQUOR JUGS, AND HOW",
    "VEXINGLY QUICK DAFT ZEBRAS JUMP.",
    "SPHINX OF BLACK QUARTZ, JUDGE",
    "MY VOW.",
    "",
    "JACKDAWS LOVE MY BIG SPHINX OF",
    "QUARTZ. THE FIVE BOXING WIZARDS",
    "JUMP QUICKLY. WALTZ, BAD NYMPH,",
    "FOR QUICK JIGS VEX.",
};
constexpr int kCharsPerLine = 32;

// ---------------------------------------------------------------------------------------------
// FFmpeg ownership.

template <typename T, void (*Free)(T**)>
class AvPtr {
public:
    AvPtr() = default;
    explicit AvPtr(T* p) : m_p(p) {}
    ~AvPtr() { reset(); }
    AvPtr(const AvPtr&) = delete;
    AvPtr& operator=(const AvPtr&) = delete;
    void reset(T* p = nullptr)
    {
        if (m_p)
            Free(&m_p);
        m_p = p;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** out() { reset(); return &m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

// Each is called only on what a loaded FFmpeg made.
void closeInput(AVFormatContext** p) { ffmpeg::api()->avformat_close_input(p); }
void freeCodec(AVCodecContext** p) { ffmpeg::api()->avcodec_free_context(p); }
void freeFrame(AVFrame** p) { ffmpeg::api()->av_frame_free(p); }
void freePacket(AVPacket** p) { ffmpeg::api()->av_packet_free(p); }

struct SwsFree {
    void operator()(SwsContext* s) const { ffmpeg::api()->sws_freeContext(s); }
};

QString avErrorText(int code)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    ffmpeg::api()->av_strerror(code, buf, sizeof buf);
    return QString::fromUtf8(buf);
}

// Decodes an image or a video file and hands out the picture due at a time, fitted into a size.
class MediaDecoder {
public:
    bool open(const QString& path, QSize size)
    {
        m_size = size;
        if (!av)
            return fail(QStringLiteral("cannot decode %1: %2").arg(path, ffmpeg::errorString()));
        const QByteArray file = path.toLocal8Bit();
        int r = av->avformat_open_input(m_format.out(), file.constData(), nullptr, nullptr);
        if (r < 0)
            return fail(QStringLiteral("cannot open %1: %2").arg(path, avErrorText(r)));
        r = av->avformat_find_stream_info(m_format.get(), nullptr);
        if (r < 0)
            return fail(QStringLiteral("no stream information in %1: %2").arg(path, avErrorText(r)));
        const AVCodec* codec = nullptr;
        m_stream = av->av_find_best_stream(m_format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
        if (m_stream < 0 || !codec)
            return fail(QStringLiteral("no picture stream in %1").arg(path));
        AVStream* stream = m_format->streams[m_stream];
        m_codec.reset(av->avcodec_alloc_context3(codec));
        if (!m_codec)
            return fail(QStringLiteral("out of memory"));
        r = av->avcodec_parameters_to_context(m_codec.get(), stream->codecpar);
        if (r >= 0)
            r = av->avcodec_open2(m_codec.get(), codec, nullptr);
        if (r < 0)
            return fail(QStringLiteral("cannot open the decoder of %1: %2").arg(path, avErrorText(r)));
        m_frame.reset(av->av_frame_alloc());
        m_packet.reset(av->av_packet_alloc());
        if (!m_frame || !m_packet)
            return fail(QStringLiteral("out of memory"));
        m_timeBase = stream->time_base;
        m_startTs = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
        const AVRational rate = av->av_guess_frame_rate(m_format.get(), stream, nullptr);
        if (rate.num > 0 && rate.den > 0)
            m_frameMs = std::max<qint64>(1, qint64(1000) * rate.den / rate.num);
        // The first picture decides whether the file can be shown at all.
        if (!nextPicture())
            return fail(m_error.isEmpty() ? QStringLiteral("no picture could be decoded from %1").arg(path)
                                          : m_error);
        if (!convertPending())
            return false;
        return true;
    }

    QString error() const { return m_error; }

    QImage pictureAt(qint64 ms)
    {
        if (m_current.isNull())
            return {};
        // Catch up sequentially; a bounded number of steps per call keeps a late caller responsive.
        for (int step = 0; step < 256 && !m_still; ++step) {
            if (!m_havePending && !nextPicture()) {
                if (!m_error.isEmpty())
                    break;   // decoding stopped: keep showing the last picture
                continue;
            }
            if (m_pendingMs > ms)
                break;
            if (!convertPending())
                break;
        }
        return m_current;
    }

private:
    bool fail(const QString& text)
    {
        m_error = text;
        return false;
    }

    // Decodes the next picture into m_frame (m_havePending); at the end of the file it rewinds
    // and starts the next pass, or marks the file still when it holds a single picture.
    bool nextPicture()
    {
        while (true) {
            int r = av->avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (r == 0) {
                const qint64 ts = m_frame->best_effort_timestamp;
                qint64 inPass = ts == AV_NOPTS_VALUE
                    ? m_lastInPassMs + m_frameMs
                    : av->av_rescale_q(ts - m_startTs, m_timeBase, AVRational{1, 1000});
                inPass = std::max<qint64>(inPass, m_picturesThisPass ? m_lastInPassMs : 0);
                m_lastInPassMs = inPass;
                m_pendingMs = m_passStartMs + inPass;
                ++m_picturesThisPass;
                m_havePending = true;
                return true;
            }
            if (r == AVERROR_EOF) {
                if (m_picturesThisPass <= 1 && !m_current.isNull()) {
                    m_still = true;   // a single picture: an image file
                    return false;
                }
                if (m_picturesThisPass == 0)
                    return fail(QStringLiteral("no picture could be decoded"));
                return rewind();
            }
            if (r != AVERROR(EAGAIN))
                return fail(QStringLiteral("decoding failed: %1").arg(avErrorText(r)));
            r = av->av_read_frame(m_format.get(), m_packet.get());
            if (r < 0) {
                av->avcodec_send_packet(m_codec.get(), nullptr);   // drain
                continue;
            }
            if (m_packet->stream_index == m_stream) {
                r = av->avcodec_send_packet(m_codec.get(), m_packet.get());
                if (r < 0 && r != AVERROR(EAGAIN) && !m_reportedBadPacket) {
                    qWarning("virtual camera: a packet of the media file was rejected: %s",
                             qPrintable(avErrorText(r)));
                    m_reportedBadPacket = true;
                }
            }
            av->av_packet_unref(m_packet.get());
        }
    }

    bool rewind()
    {
        m_passStartMs += m_lastInPassMs + m_frameMs;
        m_picturesThisPass = 0;
        m_lastInPassMs = 0;
        const int r = av->av_seek_frame(m_format.get(), m_stream, m_startTs, AVSEEK_FLAG_BACKWARD);
        av->avcodec_flush_buffers(m_codec.get());
        if (r < 0) {
            m_still = true;   // cannot loop: keep the last picture
            return false;
        }
        return false;   // the caller asks again
    }

    bool convertPending()
    {
        m_havePending = false;
        const int fw = m_frame->width;
        const int fh = m_frame->height;
        if (fw <= 0 || fh <= 0)
            return fail(QStringLiteral("picture without size"));
        const double scale = std::min(double(m_size.width()) / fw, double(m_size.height()) / fh);
        const int w = std::clamp(int(std::lround(fw * scale)), 1, m_size.width());
        const int h = std::clamp(int(std::lround(fh * scale)), 1, m_size.height());
        const SwsKey key{fw, fh, m_frame->format, w, h};
        if (!m_sws || !(key == m_swsKey)) {
            // The JPEG ("full range") formats are given to the scaler as their plain twins plus the range.
            AVPixelFormat src = AVPixelFormat(m_frame->format);
            bool fullRange = m_frame->color_range == AVCOL_RANGE_JPEG;
            switch (src) {
            case AV_PIX_FMT_YUVJ420P: src = AV_PIX_FMT_YUV420P; fullRange = true; break;
            case AV_PIX_FMT_YUVJ422P: src = AV_PIX_FMT_YUV422P; fullRange = true; break;
            case AV_PIX_FMT_YUVJ444P: src = AV_PIX_FMT_YUV444P; fullRange = true; break;
            case AV_PIX_FMT_YUVJ440P: src = AV_PIX_FMT_YUV440P; fullRange = true; break;
            default: break;
            }
            m_sws.reset(av->sws_getContext(fw, fh, src, w, h, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
            if (!m_sws)
                return fail(QStringLiteral("unsupported picture format"));
            if (fullRange) {
                const int* coefficients = av->sws_getCoefficients(SWS_CS_DEFAULT);
                av->sws_setColorspaceDetails(m_sws.get(), coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
            }
            m_swsKey = key;
        }
        QImage canvas(m_size, QImage::Format_ARGB32);
        if (canvas.isNull())
            return fail(QStringLiteral("out of memory"));
        canvas.fill(0xff000000);
        const int x0 = (m_size.width() - w) / 2;
        const int y0 = (m_size.height() - h) / 2;
        uint8_t* dst[4] = {canvas.bits() + qsizetype(y0) * canvas.bytesPerLine() + x0 * 4, nullptr, nullptr,
                           nullptr};
        int dstStride[4] = {int(canvas.bytesPerLine()), 0, 0, 0};
        av->sws_scale(m_sws.get(), m_frame->data, m_frame->linesize, 0, fh, dst, dstStride);
        // The picture is shown opaque, whatever alpha the file carries.
        for (int y = y0; y < y0 + h; ++y) {
            auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y)) + x0;
            for (int x = 0; x < w; ++x)
                line[x] |= 0xff000000u;
        }
        m_current = canvas;
        return true;
    }

    QSize m_size;
    const ffmpeg::Api* av = ffmpeg::api();
    AvPtr<AVFormatContext, closeInput> m_format;
    AvPtr<AVCodecContext, freeCodec> m_codec;
    AvPtr<AVFrame, freeFrame> m_frame;
    AvPtr<AVPacket, freePacket> m_packet;
    struct SwsKey {
        int srcWidth, srcHeight, srcFormat, width, height;
        bool operator==(const SwsKey& o) const
        {
            return srcWidth == o.srcWidth && srcHeight == o.srcHeight && srcFormat == o.srcFormat &&
                   width == o.width && height == o.height;
        }
    };
    std::unique_ptr<SwsContext, SwsFree> m_sws;
    SwsKey m_swsKey{};
    int m_stream = -1;
    AVRational m_timeBase{1, 1000};
    qint64 m_startTs = 0;
    qint64 m_frameMs = 40;
    qint64 m_passStartMs = 0;
    qint64 m_lastInPassMs = 0;
    qint64 m_pendingMs = 0;
    int m_picturesThisPass = 0;
    bool m_havePending = false;
    bool m_still = false;
    bool m_reportedBadPacket = false;
    QImage m_current;
    QString m_error;
};

} // namespace

// ---------------------------------------------------------------------------------------------

struct VirtualFrameSource::Private {
    int camera = 0;
    QSize size;
    std::unique_ptr<MediaDecoder> media;
    QString error;

    QImage desk;
    QImage sheet;
    QImage still;           // the settled scene before brightness and contrast
    QImage stillAdjusted;   // `still` with the levels of adjustedFor
    int adjustedFor[2] = {INT_MIN, INT_MIN};

    void renderDesk()
    {
        desk = QImage(size, QImage::Format_ARGB32);
        const QColor top = camera == 0 ? QColor(46, 40, 36) : QColor(30, 36, 50);
        const QColor bottom = camera == 0 ? QColor(24, 20, 18) : QColor(14, 18, 28);
        const int h = size.height();
        for (int y = 0; y < h; ++y) {
            const double t = h > 1 ? double(y) / (h - 1) : 0.0;
            const QRgb c = qRgb(int(top.red() + (bottom.red() - top.red()) * t),
                                int(top.green() + (bottom.green() - top.green()) * t),
                                int(top.blue() + (bottom.blue() - top.blue()) * t));
            auto* line = reinterpret_cast<QRgb*>(desk.scanLine(y));
            std::fill(line, line + size.width(), c);
        }
    }

    // The sheet is laid out once at a fixed resolution and scaled smoothly to its size in the frame,
    // so the text fills the line width at every frame size.
    void renderSheet()
    {
        const int sh = std::max(8, int(std::lround(size.height() * 0.78)));
        const int sw = std::max(6, int(std::lround(sh * 0.707)));
        constexpr int kMasterWidth = 1200;
        constexpr int kMasterHeight = 1697;
        constexpr int kMargin = 100;
        constexpr int kScale = (kMasterWidth - 2 * kMargin) / (kCharsPerLine * 6);
        QImage master(kMasterWidth, kMasterHeight, QImage::Format_ARGB32);
        master.fill(qRgb(247, 246, 240));
        const QRgb ink = qRgb(28, 28, 32);
        int y = kMargin;
        drawText(master, kMargin, y, kScale * 2, camera == 0 ? QByteArray("TEST SHEET") : QByteArray("SECOND CAMERA"),
                 ink);
        y += 7 * kScale * 2 + 8 * kScale;
        size_t i = 0;
        while (y + 7 * kScale < kMasterHeight - kMargin) {
            drawText(master, kMargin, y, kScale, QByteArray(kSheetLines[i % std::size(kSheetLines)]), ink);
            y += 12 * kScale;
            ++i;
        }
        sheet = master.scaled(sw, sh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32);
    }

    // The scene at progress `u` (0 at the start of the slide, 1 settled).
    QImage compose(double u, bool smooth) const
    {
        QImage out = desk.copy();
        const double e = 1.0 - std::pow(1.0 - std::clamp(u, 0.0, 1.0), 3.0);
        const double finalAngle = camera == 0 ? -4.0 : 3.0;
        const double angle = finalAngle + (1.0 - e) * 10.0;
        const QPointF centre(size.width() / 2.0 + (1.0 - e) * size.width() * 0.55,
                             size.height() / 2.0 + (1.0 - e) * size.height() * 0.25);
        QPainter p(&out);
        p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
        p.setRenderHint(QPainter::Antialiasing, smooth);
        p.translate(centre);
        p.rotate(angle);
        p.drawImage(QPointF(-sheet.width() / 2.0, -sheet.height() / 2.0), sheet);
        p.end();
        return out;
    }

    // Brightness and contrast of the virtual UVC controls (defaults leave the picture unchanged).
    static bool levelsAreNeutral(int brightness, int contrast)
    {
        const ControlRange b = controlRange(Brightness);
        const ControlRange c = controlRange(Contrast);
        return brightness == b.def && contrast == c.def;
    }

    static void applyLevels(QImage& image, int brightness, int contrast)
    {
        if (levelsAreNeutral(brightness, contrast))
            return;
        const double gain = double(contrast) / std::max(1, controlRange(Contrast).def);
        std::array<quint8, 256> lut{};
        for (int v = 0; v < 256; ++v)
            lut[size_t(v)] = quint8(std::clamp(int(std::lround((v - 128) * gain + 128 + brightness * 2)), 0, 255));
        const int w = image.width();
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb px = line[x];
                line[x] = 0xff000000u | (QRgb(lut[qRed(px)]) << 16) | (QRgb(lut[qGreen(px)]) << 8) |
                          lut[qBlue(px)];
            }
        }
    }

    void drawCounter(QImage& image, qint64 frameNumber) const
    {
        const QRect area = counterRect(size);
        const QByteArray digits = QByteArray::number(frameNumber);
        const int scale = std::max(1, size.height() / 160);
        const int pad = scale;
        const QRect box = QRect(area.left() + pad, area.top() + pad, int(digits.size()) * 6 * scale + 2 * pad,
                                9 * scale).intersected(area);
        for (int y = box.top(); y <= box.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            std::fill(line + box.left(), line + box.right() + 1, 0xff000000u);
        }
        // Clip the digits to the counter area: draw into a view of that area only.
        QImage view(image.scanLine(area.top()) + area.left() * 4, area.width(), area.height(),
                    image.bytesPerLine(), QImage::Format_ARGB32);
        drawText(view, 2 * pad, 2 * pad, scale, digits, qRgb(224, 224, 224));
    }
};

VirtualFrameSource::VirtualFrameSource(int camera, QSize size) : d(new Private)
{
    d->camera = camera == 1 ? 1 : 0;
    d->size = size.isValid() && !size.isEmpty() ? size : QSize(1920, 1080);
    const QString file = d->camera == 0 ? mediaFile() : QString();
    if (!file.isEmpty()) {
        d->media.reset(new MediaDecoder);
        if (!d->media->open(file, d->size)) {
            d->error = QStringLiteral("virtual camera: %1").arg(d->media->error());
            qWarning("%s", qPrintable(d->error));
        }
        return;
    }
    d->renderDesk();
    d->renderSheet();
}

VirtualFrameSource::~VirtualFrameSource() = default;

bool VirtualFrameSource::isValid() const
{
    return d->error.isEmpty();
}

QString VirtualFrameSource::errorString() const
{
    return d->error;
}

bool VirtualFrameSource::showsMediaFile() const
{
    return d->media != nullptr;
}

QRect VirtualFrameSource::counterRect(QSize size)
{
    return QRect(0, 0, std::max(1, size.width() / 4), std::max(1, size.height() / 10));
}

QImage VirtualFrameSource::frame(qint64 msSinceStart, qint64 frameNumber)
{
    if (!d->error.isEmpty())
        return {};
    const int brightness = controlValue(d->camera, Brightness);
    const int contrast = controlValue(d->camera, Contrast);

    if (d->media) {
        QImage picture = d->media->pictureAt(std::max<qint64>(0, msSinceStart));
        if (picture.isNull()) {
            d->error = QStringLiteral("virtual camera: %1").arg(d->media->error());
            return {};
        }
        if (!Private::levelsAreNeutral(brightness, contrast)) {
            picture = picture.copy();
            Private::applyLevels(picture, brightness, contrast);
        }
        return picture;
    }

    QImage out;
    if (msSinceStart >= kSettleMs) {
        if (d->still.isNull())
            d->still = d->compose(1.0, true);
        if (d->adjustedFor[0] != brightness || d->adjustedFor[1] != contrast || d->stillAdjusted.isNull()) {
            d->stillAdjusted = d->still.copy();
            Private::applyLevels(d->stillAdjusted, brightness, contrast);
            d->adjustedFor[0] = brightness;
            d->adjustedFor[1] = contrast;
        }
        out = d->stillAdjusted.copy();
    } else {
        out = d->compose(double(std::max<qint64>(0, msSinceStart)) / kSettleMs, false);
        Private::applyLevels(out, brightness, contrast);
    }
    d->drawCounter(out, frameNumber);
    return out;
}

} // namespace pax_virtual
