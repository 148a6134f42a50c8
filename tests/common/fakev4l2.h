#pragma once
// A scripted V4L2 driver behind the capture backend's Io: nodes with card names and modes,
// mmap buffers, frames made on demand, injected failures, and a record of what is held.

#include "v4l2capture.h"

#include <QHash>
#include <QMutex>
#include <QVector>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <sys/mman.h>

class FakeV4l2 : public pax_platform::v4l2::Io {
public:
    struct Size {
        int width = 0;
        int height = 0;
        QVector<v4l2_fract> intervals;   // discrete; empty: a continuous range minInterval..maxInterval
        v4l2_fract minInterval{1, 30};
        v4l2_fract maxInterval{1, 1};
    };
    struct Format {
        quint32 pixelFormat = V4L2_PIX_FMT_MJPEG;
        QVector<Size> sizes;
        // When set, the sizes are announced as one stepwise range (min, max, step) instead of a list;
        // every size of the range has the frame rates of sizes.first().
        bool stepwise = false;
        v4l2_frmsize_stepwise range{};
    };
    struct Node {
        QString path;
        QByteArray card;
        quint32 caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        QVector<Format> formats;
    };

    QVector<Node> nodeList;
    // Bytes of frame `n` in the negotiated format (YUYV rows of `stride` bytes).
    std::function<QByteArray(quint32 pixelFormat, int width, int height, int stride, int n)> payload;
    int framePeriodMs = 5;
    int yuyvPadding = 0;             // extra bytes a YUYV row
    // Failures: the request that fails with failErrno, an mmap that fails, a node that can't be opened.
    unsigned long failRequest = 0;
    int failErrno = EIO;
    bool failMmap = false;
    QString unopenable;
    bool driverChangesSize = false;  // S_FMT answers another size
    int loseDeviceAfter = -1;        // frames made before the device goes away

    // ---- observation
    int openFds() const { QMutexLocker l(&m_mutex); return m_fds.size(); }
    int mappings() const { QMutexLocker l(&m_mutex); return m_mapped; }
    int buffers() const { QMutexLocker l(&m_mutex); return m_storage.size(); }
    bool streaming() const { QMutexLocker l(&m_mutex); return m_streaming; }
    QString streamedNode() const { QMutexLocker l(&m_mutex); return m_streamedNode; }
    int framesMade() const { QMutexLocker l(&m_mutex); return m_made; }
    v4l2_fract interval() const { QMutexLocker l(&m_mutex); return m_interval; }
    quint32 pixelFormat() const { QMutexLocker l(&m_mutex); return m_format; }

    // ---- Io
    QStringList nodes() override
    {
        QStringList list;
        for (const Node& n : nodeList)
            list << n.path;
        return list;
    }

    int open(const QByteArray& path) override
    {
        QMutexLocker l(&m_mutex);
        for (int i = 0; i < nodeList.size(); ++i) {
            if (nodeList[i].path.toUtf8() != path)
                continue;
            if (nodeList[i].path == unopenable) {
                errno = EBUSY;
                return -1;
            }
            const int fd = m_nextFd++;
            m_fds.insert(fd, i);
            return fd;
        }
        errno = ENOENT;
        return -1;
    }

    void close(int fd) override
    {
        QMutexLocker l(&m_mutex);
        m_fds.remove(fd);
    }

    int ioctl(int fd, unsigned long request, void* arg) override
    {
        QMutexLocker l(&m_mutex);
        if (!m_fds.contains(fd))
            return error(EBADF);
        if (request == failRequest)
            return error(failErrno);
        const Node& node = nodeList[m_fds.value(fd)];
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto* cap = static_cast<v4l2_capability*>(arg);
            *cap = {};
            std::memcpy(cap->card, node.card.constData(), std::min<size_t>(node.card.size(), sizeof cap->card));
            cap->capabilities = node.caps | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = node.caps;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto* d = static_cast<v4l2_fmtdesc*>(arg);
            if (d->index >= quint32(node.formats.size()))
                return error(EINVAL);
            d->pixelformat = node.formats[int(d->index)].pixelFormat;
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto* s = static_cast<v4l2_frmsizeenum*>(arg);
            const Format* f = format(node, s->pixel_format);
            if (f && f->stepwise) {
                if (s->index > 0)
                    return error(EINVAL);
                s->type = V4L2_FRMSIZE_TYPE_STEPWISE;
                s->stepwise = f->range;
                return 0;
            }
            if (!f || s->index >= quint32(f->sizes.size()))
                return error(EINVAL);
            s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
            s->discrete.width = quint32(f->sizes[int(s->index)].width);
            s->discrete.height = quint32(f->sizes[int(s->index)].height);
            return 0;
        }
        case VIDIOC_ENUM_FRAMEINTERVALS: {
            auto* iv = static_cast<v4l2_frmivalenum*>(arg);
            const Size* s = size(node, iv->pixel_format, int(iv->width), int(iv->height));
            if (!s)
                return error(EINVAL);
            if (s->intervals.isEmpty()) {
                if (iv->index > 0)
                    return error(EINVAL);
                iv->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
                iv->stepwise.min = s->minInterval;
                iv->stepwise.max = s->maxInterval;
                iv->stepwise.step = {1, 1};
                return 0;
            }
            if (iv->index >= quint32(s->intervals.size()))
                return error(EINVAL);
            iv->type = V4L2_FRMIVAL_TYPE_DISCRETE;
            iv->discrete = s->intervals[int(iv->index)];
            return 0;
        }
        case VIDIOC_S_FMT: {
            auto* f = static_cast<v4l2_format*>(arg);
            const Format* fm = format(node, f->fmt.pix.pixelformat);
            if (!fm || fm->sizes.isEmpty())
                fm = &node.formats.first();
            const Size* s = size(node, fm->pixelFormat, int(f->fmt.pix.width), int(f->fmt.pix.height));
            if (!s || driverChangesSize)
                s = &fm->sizes.first() == s && fm->sizes.size() > 1 ? &fm->sizes[1] : &fm->sizes.first();
            m_format = fm->pixelFormat;
            m_width = s->width;
            m_height = s->height;
            f->fmt.pix.pixelformat = m_format;
            f->fmt.pix.width = quint32(m_width);
            f->fmt.pix.height = quint32(m_height);
            m_stride = m_format == V4L2_PIX_FMT_YUYV ? m_width * 2 + yuyvPadding : 0;
            f->fmt.pix.bytesperline = quint32(m_stride);
            f->fmt.pix.sizeimage = quint32(m_format == V4L2_PIX_FMT_YUYV ? m_stride * m_height : m_width * m_height * 2);
            return 0;
        }
        case VIDIOC_S_PARM: {
            auto* p = static_cast<v4l2_streamparm*>(arg);
            m_interval = p->parm.capture.timeperframe;
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto* r = static_cast<v4l2_requestbuffers*>(arg);
            if (m_streaming)
                return error(EBUSY);
            if (r->count == 0) {
                if (m_mapped)
                    return error(EBUSY);   // a real driver keeps mapped buffers alive
                m_storage.clear();
                m_queued.clear();
                m_filled.clear();
                return 0;
            }
            if (!m_storage.isEmpty())
                return error(EBUSY);
            r->count = std::min<quint32>(r->count, 4);
            const int bytes = m_format == V4L2_PIX_FMT_YUYV ? m_stride * m_height : m_width * m_height * 2;
            for (quint32 i = 0; i < r->count; ++i)
                m_storage.append(QByteArray(bytes, '\0'));
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= quint32(m_storage.size()))
                return error(EINVAL);
            b->length = quint32(m_storage[int(b->index)].size());
            b->m.offset = b->index * 4096;
            return 0;
        }
        case VIDIOC_QBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (b->index >= quint32(m_storage.size()))
                return error(EINVAL);
            // The driver owns the buffer again and starts writing the next picture into it at once.
            std::memset(m_storage[int(b->index)].data(), 0x5a, size_t(m_storage[int(b->index)].size()));
            m_queued.push_back(int(b->index));
            return 0;
        }
        case VIDIOC_DQBUF: {
            auto* b = static_cast<v4l2_buffer*>(arg);
            if (m_lost)
                return error(ENODEV);
            if (m_filled.empty())
                return error(EAGAIN);
            b->index = quint32(m_filled.front().first);
            b->bytesused = quint32(m_filled.front().second);
            b->flags = 0;
            m_filled.pop_front();
            return 0;
        }
        case VIDIOC_STREAMON:
            m_streaming = true;
            m_streamedNode = node.path;
            return 0;
        case VIDIOC_STREAMOFF:
            m_streaming = false;
            m_queued.clear();
            m_filled.clear();
            return 0;
        default:
            return error(ENOTTY);
        }
    }

    void* mmap(size_t length, int fd, off_t offset) override
    {
        QMutexLocker l(&m_mutex);
        const int index = int(offset / 4096);
        if (failMmap || !m_fds.contains(fd) || index >= m_storage.size() ||
            size_t(m_storage[index].size()) != length) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        ++m_mapped;
        return m_storage[index].data();
    }

    void munmap(void*, size_t) override
    {
        QMutexLocker l(&m_mutex);
        --m_mapped;
    }

    int poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        // Real descriptors (the wake-up fd) are waited on for one frame period.
        std::vector<pollfd> real;
        for (nfds_t i = 0; i < count; ++i) {
            fds[i].revents = 0;
            if (!isFake(fds[i].fd))
                real.push_back(fds[i]);
        }
        const int r = ::poll(real.data(), real.size(), std::min(timeoutMs, framePeriodMs));
        if (r > 0) {
            for (const pollfd& p : real)
                for (nfds_t i = 0; i < count; ++i)
                    if (fds[i].fd == p.fd)
                        fds[i].revents = p.revents;
            return r;
        }
        QMutexLocker l(&m_mutex);
        for (nfds_t i = 0; i < count; ++i) {
            if (!isFakeLocked(fds[i].fd))
                continue;
            if (m_lost) {
                fds[i].revents = POLLERR;
                return 1;
            }
            if (!m_streaming || m_queued.empty())
                return 0;
            if (loseDeviceAfter >= 0 && m_made >= loseDeviceAfter) {
                m_lost = true;
                fds[i].revents = POLLERR;
                return 1;
            }
            const int index = m_queued.front();
            m_queued.pop_front();
            const QByteArray bytes = payload ? payload(m_format, m_width, m_height, m_stride, m_made) : QByteArray();
            QByteArray& buffer = m_storage[index];
            const int n = std::min(bytes.size(), buffer.size());
            std::memcpy(buffer.data(), bytes.constData(), size_t(n));
            m_filled.emplace_back(index, n);
            ++m_made;
            fds[i].revents = POLLIN;
            return 1;
        }
        return 0;
    }

private:
    int error(int e)
    {
        errno = e;
        return -1;
    }
    bool isFake(int fd) const
    {
        QMutexLocker l(&m_mutex);
        return isFakeLocked(fd);
    }
    bool isFakeLocked(int fd) const { return m_fds.contains(fd); }
    static const Format* format(const Node& node, quint32 pixelFormat)
    {
        for (const Format& f : node.formats)
            if (f.pixelFormat == pixelFormat)
                return &f;
        return nullptr;
    }
    static const Size* size(const Node& node, quint32 pixelFormat, int width, int height)
    {
        const Format* f = format(node, pixelFormat);
        if (!f)
            return nullptr;
        if (f->stepwise) {
            const v4l2_frmsize_stepwise& r = f->range;
            const bool inRange = width >= int(r.min_width) && width <= int(r.max_width) &&
                                 height >= int(r.min_height) && height <= int(r.max_height) &&
                                 (width - int(r.min_width)) % int(std::max(1u, r.step_width)) == 0 &&
                                 (height - int(r.min_height)) % int(std::max(1u, r.step_height)) == 0;
            if (!inRange || f->sizes.isEmpty())
                return nullptr;
            // Any size of the range: the scripted rates of the first entry, at the asked size.
            thread_local Size any;
            any = f->sizes.first();
            any.width = width;
            any.height = height;
            return &any;
        }
        for (const Size& s : f->sizes)
            if (s.width == width && s.height == height)
                return &s;
        return nullptr;
    }

    mutable QMutex m_mutex;
    int m_nextFd = 9000;
    QHash<int, int> m_fds;   // fd -> node index
    quint32 m_format = 0;
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    v4l2_fract m_interval{0, 0};
    QVector<QByteArray> m_storage;
    std::deque<int> m_queued;
    std::deque<std::pair<int, int>> m_filled;   // index, bytes used
    int m_mapped = 0;
    bool m_streaming = false;
    bool m_lost = false;
    int m_made = 0;
    QString m_streamedNode;
};
