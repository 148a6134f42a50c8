#include "v4l2capture.h"

#include "videodeviceenum.h"

#include <QDir>
#include <QFile>
#include <QtDebug>

#include <libyuv/convert_argb.h>
#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pax_platform::v4l2 {

namespace {

// A memory-mapped capture buffer record for QUERYBUF, QBUF and DQBUF.
v4l2_buffer mmapBuffer(quint32 index = 0)
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

class SystemIo final : public Io {
public:
    QStringList nodes() override
    {
        QStringList names = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System);
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [](const QString& n) {
                                       bool ok = false;
                                       n.mid(5).toInt(&ok);
                                       return !ok;
                                   }),
                    names.end());
        std::sort(names.begin(), names.end(),
                  [](const QString& a, const QString& b) { return a.mid(5).toInt() < b.mid(5).toInt(); });
        QStringList paths;
        for (const QString& n : names)
            paths << QStringLiteral("/dev/") + n;
        return paths;
    }
    int open(const QByteArray& path) override { return ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC); }
    void close(int fd) override { ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override
    {
        int r;
        do {
            r = ::ioctl(fd, request, arg);
        } while (r == -1 && errno == EINTR);
        return r;
    }
    void* mmap(size_t length, int fd, off_t offset) override
    {
        return ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    }
    void munmap(void* address, size_t length) override { ::munmap(address, length); }
    int poll(pollfd* fds, nfds_t count, int timeoutMs) override { return ::poll(fds, count, timeoutMs); }
};

// One mmap'ed driver buffer.
class Mapping {
public:
    Mapping(Io* io, void* address, size_t length) : m_io(io), m_address(address), m_length(length) {}
    ~Mapping()
    {
        if (m_address)
            m_io->munmap(m_address, m_length);
    }
    Mapping(Mapping&& o) noexcept
        : m_io(o.m_io), m_address(std::exchange(o.m_address, nullptr)), m_length(o.m_length)
    {
    }
    Mapping& operator=(Mapping&&) = delete;
    const uchar* data() const { return static_cast<const uchar*>(m_address); }
    size_t length() const { return m_length; }

private:
    Io* m_io;
    void* m_address;
    size_t m_length;
};

QString fourcc(quint32 f)
{
    const char c[5] = {char(f & 0xff), char((f >> 8) & 0xff), char((f >> 16) & 0xff), char((f >> 24) & 0xff), 0};
    return QString::fromLatin1(c);
}

bool isJpeg(quint32 pixelFormat)
{
    return pixelFormat == V4L2_PIX_FMT_MJPEG || pixelFormat == V4L2_PIX_FMT_JPEG;
}

double rateOf(const v4l2_fract& interval)
{
    return interval.numerator ? double(interval.denominator) / interval.numerator : 0.0;
}

void addRate(ModeCandidate& mode, double fps)
{
    if (fps <= 0)
        return;
    if (mode.minFps <= 0 || fps < mode.minFps)
        mode.minFps = fps;
    mode.maxFps = std::max(mode.maxFps, fps);
}

constexpr int kBufferCount = 4;

class V4l2Stream final : public CaptureStream {
public:
    V4l2Stream(Io& io, CaptureFrameSink sink) : m_io(io), m_sink(std::move(sink)) {}
    ~V4l2Stream() override { _free(); }

    bool open(const QString& node, const QString& name, QSize size, int fps);
    void start() { m_thread = std::thread([this] { run(); }); }

private:
    // Idempotent: stops the thread, then gives everything back to the driver in reverse order.
    void _free();
    void run();
    bool fail(const char* what)
    {
        qWarning("V4L2 capture %s: %s failed: %s", qPrintable(m_node), what, strerror(errno));
        return false;
    }

    Io& m_io;
    CaptureFrameSink m_sink;
    QString m_node;
    quint32 m_pixelFormat = 0;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    int m_periodMs = 33;
    // Acquired in this order, released in reverse by _free().
    DeviceFd m_device;
    bool m_buffersRequested = false;
    std::vector<Mapping> m_maps;
    bool m_streaming = false;
    int m_wakeFd = -1;
    std::thread m_thread;
};

bool V4l2Stream::open(const QString& node, const QString& name, QSize size, int fps)
{
    m_node = node;
    const int fd = m_io.open(QFile::encodeName(node));
    if (fd < 0)
        return fail("open");
    m_device = DeviceFd(&m_io, fd);

    const QVector<ModeCandidate> modes = modesOfSize(m_io, fd, size);
    const int chosen = chooseMode(modes, size, fps);
    if (chosen < 0)
        return false;   // no mode of that size holds the rate: a plain refusal
    const ModeCandidate& mode = modes[chosen];

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = quint32(size.width());
    format.fmt.pix.height = quint32(size.height());
    format.fmt.pix.pixelformat = mode.pixelFormat;
    format.fmt.pix.field = V4L2_FIELD_ANY;
    if (m_io.ioctl(fd, VIDIOC_S_FMT, &format) != 0)
        return fail("VIDIOC_S_FMT");
    if (int(format.fmt.pix.width) != size.width() || int(format.fmt.pix.height) != size.height() ||
        format.fmt.pix.pixelformat != mode.pixelFormat) {
        qWarning("V4L2 capture %s: asked for %dx%d %s, the driver set %ux%u %s", qPrintable(node), size.width(),
                 size.height(), qPrintable(fourcc(mode.pixelFormat)), format.fmt.pix.width, format.fmt.pix.height,
                 qPrintable(fourcc(format.fmt.pix.pixelformat)));
        return false;
    }
    m_pixelFormat = format.fmt.pix.pixelformat;
    m_width = size.width();
    m_height = size.height();
    m_stride = int(format.fmt.pix.bytesperline);
    if (!isJpeg(m_pixelFormat) && m_stride < m_width * 2)
        m_stride = m_width * 2;

    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    parm.parm.capture.timeperframe = intervalFor(mode, fps);
    if (m_io.ioctl(fd, VIDIOC_S_PARM, &parm) != 0)
        qWarning("V4L2 capture %s: the frame rate cannot be set: %s", qPrintable(node), strerror(errno));
    const double obtained = rateOf(parm.parm.capture.timeperframe);
    m_periodMs = obtained > 0 ? int(std::ceil(1000.0 / obtained)) : 1000 / std::max(1, fps);
    qDebug("V4L2 capture %s (%s): asked %dx%d at %d fps, got %dx%d %s at %.2f fps", qPrintable(node),
           qPrintable(name), size.width(), size.height(), fps, m_width, m_height, qPrintable(fourcc(m_pixelFormat)),
           obtained);

    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (m_io.ioctl(fd, VIDIOC_REQBUFS, &request) != 0)
        return fail("VIDIOC_REQBUFS");
    m_buffersRequested = true;
    if (request.count < 2) {
        qWarning("V4L2 capture %s: only %u buffers", qPrintable(node), request.count);
        return false;
    }
    m_maps.reserve(request.count);
    for (quint32 i = 0; i < request.count; ++i) {
        v4l2_buffer buffer = mmapBuffer(i);
        if (m_io.ioctl(fd, VIDIOC_QUERYBUF, &buffer) != 0)
            return fail("VIDIOC_QUERYBUF");
        void* address = m_io.mmap(buffer.length, fd, off_t(buffer.m.offset));
        if (address == MAP_FAILED)
            return fail("mmap");
        m_maps.emplace_back(&m_io, address, buffer.length);
    }
    for (quint32 i = 0; i < request.count; ++i) {
        v4l2_buffer buffer = mmapBuffer(i);
        if (m_io.ioctl(fd, VIDIOC_QBUF, &buffer) != 0)
            return fail("VIDIOC_QBUF");
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (m_io.ioctl(fd, VIDIOC_STREAMON, &type) != 0)
        return fail("VIDIOC_STREAMON");
    m_streaming = true;
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return fail("eventfd");
    return true;
}

void V4l2Stream::_free()
{
    if (m_thread.joinable()) {
        const quint64 one = 1;
        if (::write(m_wakeFd, &one, sizeof one) != sizeof one)
            qWarning("V4L2 capture %s: cannot wake the capture thread", qPrintable(m_node));
        m_thread.join();
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
    if (m_streaming) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        m_io.ioctl(m_device.get(), VIDIOC_STREAMOFF, &type);
        m_streaming = false;
    }
    m_maps.clear();
    if (m_buffersRequested) {
        v4l2_requestbuffers request{};
        request.count = 0;
        request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        request.memory = V4L2_MEMORY_MMAP;
        m_io.ioctl(m_device.get(), VIDIOC_REQBUFS, &request);
        m_buffersRequested = false;
    }
    m_device.reset();
}

void V4l2Stream::run()
{
    FrameConverter converter;
    pollfd fds[2] = {{m_device.get(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int timeoutMs = std::max(200, 4 * m_periodMs);
    bool waitingReported = false;
    bool badFrameReported = false;
    while (true) {
        fds[0].revents = fds[1].revents = 0;
        const int r = m_io.poll(fds, 2, timeoutMs);
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            qWarning("V4L2 capture %s: poll failed: %s", qPrintable(m_node), strerror(errno));
            return;
        }
        if (fds[1].revents)
            return;   // stop
        if (r == 0) {
            if (!waitingReported)
                qWarning("V4L2 capture %s: no frame for %d ms", qPrintable(m_node), timeoutMs);
            waitingReported = true;
            continue;
        }
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !(fds[0].revents & POLLIN)) {
            qWarning("V4L2 capture %s: the device is gone", qPrintable(m_node));
            return;
        }
        v4l2_buffer buffer = mmapBuffer();
        if (m_io.ioctl(m_device.get(), VIDIOC_DQBUF, &buffer) != 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            qWarning("V4L2 capture %s: VIDIOC_DQBUF failed: %s", qPrintable(m_node), strerror(errno));
            return;
        }
        if (waitingReported)
            qDebug("V4L2 capture %s: frames arrive again", qPrintable(m_node));
        waitingReported = false;

        // The pixels are copied out while the buffer is ours; only then does it go back to the driver.
        QImage frame;
        if (buffer.index < m_maps.size() && !(buffer.flags & V4L2_BUF_FLAG_ERROR)) {
            const Mapping& map = m_maps[buffer.index];
            frame = converter.convert(m_pixelFormat, map.data(), std::min<size_t>(buffer.bytesused, map.length()),
                                      m_width, m_height, m_stride);
        }
        if (m_io.ioctl(m_device.get(), VIDIOC_QBUF, &buffer) != 0) {
            qWarning("V4L2 capture %s: VIDIOC_QBUF failed: %s", qPrintable(m_node), strerror(errno));
            if (errno == ENODEV)
                return;
        }
        if (frame.isNull()) {
            if (!badFrameReported)
                qWarning("V4L2 capture %s: frame dropped: %s", qPrintable(m_node),
                         qPrintable(converter.lastError().isEmpty() ? QStringLiteral("driver marked it bad")
                                                                    : converter.lastError()));
            badFrameReported = true;
            continue;
        }
        badFrameReported = false;
        m_sink(std::move(frame));
    }
}

} // namespace

QString cleanName(QString name)
{
    name.replace(QLatin1Char('\n'), QLatin1Char(' '));
    name.replace(QLatin1Char('\r'), QLatin1Char(' '));
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("Video device") : name;
}

Io& systemIo()
{
    static SystemIo io;
    return io;
}

QList<NodeName> captureNodeNames(Io& io)
{
    QList<NodeName> list;
    for (const QString& node : io.nodes()) {
        DeviceFd fd(&io, io.open(QFile::encodeName(node)));
        if (!fd.valid())
            continue;
        v4l2_capability cap{};
        if (io.ioctl(fd.get(), VIDIOC_QUERYCAP, &cap) != 0)
            continue;
        const quint32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING))
            continue;
        const char* text = reinterpret_cast<const char*>(cap.card);
        list.append({node, cleanName(nameFromBytes(QByteArray(text, int(strnlen(text, sizeof cap.card)))))});
    }
    makeNamesUnique(list, &NodeName::name);
    return list;
}

int chooseMode(const QVector<ModeCandidate>& candidates, QSize size, int fps)
{
    int chosen = -1;
    for (int i = 0; i < candidates.size(); ++i) {
        const ModeCandidate& m = candidates[i];
        if (m.width == size.width() && m.height == size.height() && rateRangeHolds(m.minFps, m.maxFps, fps))
            chosen = i;
    }
    return chosen;
}

v4l2_fract intervalFor(const ModeCandidate& mode, int fps)
{
    if (!mode.intervals.isEmpty()) {
        v4l2_fract best = mode.intervals.first();
        for (const v4l2_fract& f : mode.intervals)
            if (std::abs(rateOf(f) - fps) < std::abs(rateOf(best) - fps))
                best = f;
        return best;
    }
    return v4l2_fract{1, quint32(std::max(1, fps))};
}

QVector<ModeCandidate> modesOfSize(Io& io, int fd, QSize size)
{
    QVector<ModeCandidate> modes;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; io.ioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
        if (!isJpeg(desc.pixelformat) && desc.pixelformat != V4L2_PIX_FMT_YUYV)
            continue;
        bool offered = false;
        v4l2_frmsizeenum fs{};
        fs.pixel_format = desc.pixelformat;
        for (fs.index = 0; !offered && io.ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) == 0; ++fs.index) {
            if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                offered = int(fs.discrete.width) == size.width() && int(fs.discrete.height) == size.height();
            } else {
                const auto& s = fs.stepwise;
                const auto inSteps = [](int v, quint32 min, quint32 max, quint32 step) {
                    return v >= int(min) && v <= int(max) && (step <= 1 || (quint32(v) - min) % step == 0);
                };
                offered = inSteps(size.width(), s.min_width, s.max_width, s.step_width) &&
                          inSteps(size.height(), s.min_height, s.max_height, s.step_height);
                break;
            }
        }
        if (!offered)
            continue;
        ModeCandidate mode;
        mode.pixelFormat = desc.pixelformat;
        mode.width = size.width();
        mode.height = size.height();
        v4l2_frmivalenum iv{};
        iv.pixel_format = desc.pixelformat;
        iv.width = quint32(size.width());
        iv.height = quint32(size.height());
        for (iv.index = 0; io.ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) == 0; ++iv.index) {
            if (iv.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
                if (iv.discrete.numerator && iv.discrete.denominator) {
                    mode.intervals.append(iv.discrete);
                    addRate(mode, rateOf(iv.discrete));
                }
            } else {
                // Stepwise or continuous: the shortest interval is the highest rate.
                addRate(mode, rateOf(iv.stepwise.min));
                addRate(mode, rateOf(iv.stepwise.max));
                mode.intervals.clear();
                break;
            }
        }
        if (mode.maxFps > 0)
            modes.append(mode);
    }
    return modes;
}

FrameConverter::FrameConverter() : m_decoder(tjInitDecompress()) {}

FrameConverter::~FrameConverter()
{
    if (m_decoder)
        tjDestroy(static_cast<tjhandle>(m_decoder));
}

QImage FrameConverter::convert(quint32 pixelFormat, const uchar* data, size_t bytes, int width, int height,
                               int stride)
{
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) {
        m_error = QStringLiteral("out of memory");
        return {};
    }
    if (!convertInto(pixelFormat, data, bytes, stride, image))
        return {};
    return image;
}

bool FrameConverter::convertInto(quint32 pixelFormat, const uchar* data, size_t bytes, int stride, QImage& out)
{
    m_error.clear();
    const int width = out.width();
    const int height = out.height();
    if (!data || bytes == 0 || out.format() != QImage::Format_ARGB32 || width <= 0 || height <= 0) {
        m_error = QStringLiteral("empty frame");
        return false;
    }
    if (isJpeg(pixelFormat)) {
        auto* tj = static_cast<tjhandle>(m_decoder);
        if (!tj) {
            m_error = QStringLiteral("no JPEG decoder");
            return false;
        }
        int w = 0, h = 0, subsampling = 0, colourspace = 0;
        if (tjDecompressHeader3(tj, data, static_cast<unsigned long>(bytes), &w, &h, &subsampling, &colourspace) != 0) {
            m_error = QString::fromUtf8(tjGetErrorStr2(tj));
            return false;
        }
        if (w != width || h != height) {
            m_error = QStringLiteral("JPEG of %1x%2 in a %3x%4 stream").arg(w).arg(h).arg(width).arg(height);
            return false;
        }
        if (tjDecompress2(tj, data, static_cast<unsigned long>(bytes), out.bits(), width, int(out.bytesPerLine()),
                          height, TJPF_BGRA, 0) != 0 &&
            tjGetErrorCode(tj) != TJERR_WARNING) {
            m_error = QString::fromUtf8(tjGetErrorStr2(tj));
            return false;
        }
        return true;
    }
    if (pixelFormat == V4L2_PIX_FMT_YUYV) {
        if (stride < width * 2 || bytes < size_t(stride) * size_t(height - 1) + size_t(width) * 2) {
            m_error = QStringLiteral("short YUYV frame of %1 bytes").arg(bytes);
            return false;
        }
        // libyuv's ARGB is B, G, R, A in memory: QImage's ARGB32 on this little-endian machine.
        if (libyuv::YUY2ToARGB(data, stride, out.bits(), int(out.bytesPerLine()), width, height) != 0) {
            m_error = QStringLiteral("YUYV conversion failed");
            return false;
        }
        return true;
    }
    m_error = QStringLiteral("pixel format %1 not handled").arg(fourcc(pixelFormat));
    return false;
}

std::unique_ptr<CaptureStream> openCapture(Io& io, const QString& name, QSize size, int fps, CaptureFrameSink sink)
{
    if (!sink || fps <= 0 || size.width() <= 0 || size.height() <= 0)
        return nullptr;
    QString node;
    for (const NodeName& n : captureNodeNames(io))
        if (n.name == name) {
            node = n.node;
            break;
        }
    if (node.isEmpty())
        return nullptr;
    auto stream = std::make_unique<V4l2Stream>(io, std::move(sink));
    if (!stream->open(node, name, size, fps))
        return nullptr;   // the destructor releases what was acquired
    stream->start();
    return stream;
}

} // namespace pax_platform::v4l2
