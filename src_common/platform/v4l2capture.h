#pragma once
// V4L2 capture backend: the capture node whose card name equals the device name, mmap streaming,
// a capture thread waiting in poll() on the device and a wake-up fd, MJPEG (libjpeg-turbo) or YUYV
// (libyuv) turned into ARGB32.

#include "capturebackend.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QVector>

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/types.h>
#include <utility>

namespace pax_platform::v4l2 {

// The system calls the backend makes on a device. A scripted device stands in for the kernel in tests.
// Calls come from the opening thread and then from the capture thread.
class Io {
public:
    virtual ~Io() = default;
    virtual QStringList nodes() = 0;                              // "/dev/videoN", by number
    virtual int open(const QByteArray& path) = 0;                 // fd, or -1 with errno
    virtual void close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;   // -1 with errno
    virtual void* mmap(size_t length, int fd, off_t offset) = 0;       // MAP_FAILED with errno
    virtual void munmap(void* address, size_t length) = 0;
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
};

// The real kernel interface.
Io& systemIo();

// A descriptor opened through an Io, closed through it.
class DeviceFd {
public:
    DeviceFd() = default;
    DeviceFd(Io* io, int fd) : m_io(io), m_fd(fd) {}
    ~DeviceFd() { reset(); }
    DeviceFd(DeviceFd&& o) noexcept : m_io(o.m_io), m_fd(std::exchange(o.m_fd, -1)) {}
    DeviceFd& operator=(DeviceFd&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_io = o.m_io;
            m_fd = std::exchange(o.m_fd, -1);
        }
        return *this;
    }
    void reset()
    {
        if (m_fd >= 0)
            m_io->close(m_fd);
        m_fd = -1;
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    Io* m_io = nullptr;
    int m_fd = -1;
};

// A device name shown in one line: line breaks become spaces, the ends trimmed; "Video device"
// when nothing is left. Other characters, brackets included, are kept (the device listing
// writes names in a form of its own, see listedName).
QString cleanName(QString name);

// One capture node: its path and the name it is opened by.
struct NodeName {
    QString node;
    QString name;
};
// Names of the video capture nodes in node order: the card name (its bytes decoded by
// nameFromBytes, trimmed, line breaks replaced), with " #2", " #3"... added to the later ones of a name that
// repeats, so each name picks one node.
QList<NodeName> captureNodeNames(Io& io);

// Adds " #2", " #3"... to the later ones of a name that repeats in the list, in list order,
// skipping a suffixed name already in use.
template <typename T>
void makeNamesUnique(QList<T>& list, QString T::*name)
{
    QHash<QString, int> seen;
    for (T& item : list) {
        QString& text = item.*name;
        const int count = ++seen[text];
        if (count > 1) {
            QString unique;
            int k = count;
            do {
                unique = text + QStringLiteral(" #%1").arg(k++);
            } while (seen.contains(unique));
            seen[unique] = 1;
            text = unique;
        }
    }
}

// One pixel format at one frame size, with the frame rates the device offers there.
struct ModeCandidate {
    quint32 pixelFormat = 0;   // V4L2_PIX_FMT_MJPEG, _JPEG or _YUYV
    int width = 0;
    int height = 0;
    double minFps = 0;
    double maxFps = 0;
    QVector<v4l2_fract> intervals;   // the discrete intervals; empty for a stepwise range
};
// The last candidate, in device order, of exactly `size` whose rate range holds `fps`; -1 when none.
int chooseMode(const QVector<ModeCandidate>& candidates, QSize size, int fps);
// The frame interval to ask for: the discrete interval nearest to fps, or 1/fps within a range.
v4l2_fract intervalFor(const ModeCandidate& mode, int fps);
// The MJPEG and YUYV modes of exactly `size` an open node offers, in its order.
QVector<ModeCandidate> modesOfSize(Io& io, int fd, QSize size);

// Turns captured buffers into ARGB32 images that own their pixels. One per capture thread.
class FrameConverter {
public:
    FrameConverter();
    ~FrameConverter();
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;

    // Null image when the data is not a whole frame of width x height (`stride` bytes a row for YUYV).
    QImage convert(quint32 pixelFormat, const uchar* data, size_t bytes, int width, int height, int stride);
    // Decodes into an existing ARGB32 image of the frame's size (no allocation).
    bool convertInto(quint32 pixelFormat, const uchar* data, size_t bytes, int stride, QImage& out);
    QString lastError() const { return m_error; }

private:
    void* m_decoder = nullptr;   // tjhandle
    QString m_error;
};

// Starts capturing the node named `name` (see captureNodeNames) through `io`, which must outlive
// the stream. Null on failure, with every descriptor, mapping and buffer released.
std::unique_ptr<CaptureStream> openCapture(Io& io, const QString& name, QSize size, int fps,
                                           CaptureFrameSink sink);

} // namespace pax_platform::v4l2
