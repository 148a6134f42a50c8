#include "videodeviceenum.h"

#include "v4l2capture.h"
#include "virtualdevice.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <linux/videodev2.h>

namespace pax_platform {

namespace {

int xioctl(v4l2::Io& io, int fd, unsigned long request, void* arg)
{
    int r;
    do {
        r = io.ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r;
}

QString readHexId(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    bool ok = false;
    const uint value = f.readAll().trimmed().toUInt(&ok, 16);
    if (!ok || value > 0xffff)
        return QString();
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

void addFps(VideoMode& mode, quint32 numerator, quint32 denominator)
{
    if (numerator == 0 || denominator == 0)
        return;
    const double fps = double(denominator) / double(numerator);
    if (mode.minFps <= 0 || fps < mode.minFps)
        mode.minFps = fps;
    if (fps > mode.maxFps)
        mode.maxFps = fps;
}

void queryIntervals(v4l2::Io& io, int fd, quint32 pixelFormat, VideoMode& mode)
{
    v4l2_frmivalenum iv{};
    iv.pixel_format = pixelFormat;
    iv.width = quint32(mode.width);
    iv.height = quint32(mode.height);
    for (iv.index = 0; xioctl(io, fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) == 0; ++iv.index) {
        if (iv.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            addFps(mode, iv.discrete.numerator, iv.discrete.denominator);
        } else {
            addFps(mode, iv.stepwise.min.numerator, iv.stepwise.min.denominator);
            addFps(mode, iv.stepwise.max.numerator, iv.stepwise.max.denominator);
            break;
        }
    }
}

QList<VideoMode> nodeModes(v4l2::Io& io, const QString& node)
{
    QList<VideoMode> modes;
    const v4l2::DeviceFd fd(&io, io.open(QFile::encodeName(node)));
    if (!fd.valid())
        return modes;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; xioctl(io, fd.get(), VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
        VideoMode::Format format;
        if (desc.pixelformat == V4L2_PIX_FMT_MJPEG || desc.pixelformat == V4L2_PIX_FMT_JPEG)
            format = VideoMode::Mjpeg;
        else if (desc.pixelformat == V4L2_PIX_FMT_YUYV)
            format = VideoMode::Yuyv;
        else
            continue;
        v4l2_frmsizeenum size{};
        size.pixel_format = desc.pixelformat;
        for (size.index = 0; xioctl(io, fd.get(), VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
            VideoMode mode;
            mode.format = format;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                mode.width = int(size.discrete.width);
                mode.height = int(size.discrete.height);
            } else {
                mode.width = int(size.stepwise.max_width);
                mode.height = int(size.stepwise.max_height);
            }
            queryIntervals(io, fd.get(), desc.pixelformat, mode);
            if (mode.width > 0 && mode.height > 0)
                modes.append(mode);
            if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE)
                break;
        }
    }
    return modes;
}

} // namespace

namespace {
// Length of the valid UTF-8 sequence at bytes[i], 0 when the byte starts none (overlong forms,
// surrogates and values past U+10FFFF are not valid).
int utf8SequenceAt(const QByteArray& bytes, int i)
{
    const auto at = [&bytes](int k) { return static_cast<unsigned char>(bytes.at(k)); };
    const unsigned char b = at(i);
    int length = 0;
    unsigned lo = 0x80, hi = 0xBF; // range of the first continuation byte
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    if (at(i + 1) < lo || at(i + 1) > hi)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return length;
}

bool plainListedByte(unsigned char b, bool atEnd)
{
    if (b < 0x20 || b >= 0x7F || b == '[' || b == ']' || b == '%')
        return false;
    return !(atEnd && b == ' ');
}
} // namespace

QString nameFromBytes(const QByteArray& bytes)
{
    QString name;
    int start = 0; // first byte of the valid run not yet decoded
    int i = 0;
    while (i < bytes.size()) {
        const int length = utf8SequenceAt(bytes, i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + start, i - start);
        name += QChar(static_cast<unsigned char>(bytes.at(i)));
        start = ++i;
    }
    name += QString::fromUtf8(bytes.constData() + start, bytes.size() - start);
    return name;
}

QString listedName(const QString& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = name.toUtf8();
    QString out;
    for (int i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (plainListedByte(b, i == 0 || i == bytes.size() - 1)) {
            out += QLatin1Char(char(b));
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(kHex[b >> 4]);
            out += QLatin1Char(kHex[b & 0xF]);
        }
    }
    return out;
}

QString nameFromListing(const QString& listed)
{
    // The listing is read as Latin-1, one character a byte; characters past Latin-1 can only come
    // from text decoded otherwise and are taken as their UTF-8 bytes.
    QByteArray bytes;
    int i = 0;
    while (i < listed.size()) {
        int end = i;
        const bool latin1 = listed.at(i).unicode() <= 0xFF;
        while (end < listed.size() && (listed.at(end).unicode() <= 0xFF) == latin1)
            ++end;
        bytes += latin1 ? listed.mid(i, end - i).toLatin1() : listed.mid(i, end - i).toUtf8();
        i = end;
    }
    return nameFromBytes(QByteArray::fromPercentEncoding(bytes));
}

QString usbIdFromSysfs(const QString& sysRoot, const QString& nodeName)
{
    QString dir = QFileInfo(sysRoot + QStringLiteral("/class/video4linux/") + nodeName + QStringLiteral("/device"))
                      .canonicalFilePath();
    const QString root = QFileInfo(sysRoot).canonicalFilePath();
    while (!dir.isEmpty() && dir != root && dir != QLatin1String("/")) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor")) && QFileInfo::exists(dir + QStringLiteral("/idProduct"))) {
            const QString vid = readHexId(dir + QStringLiteral("/idVendor"));
            const QString pid = readHexId(dir + QStringLiteral("/idProduct"));
            if (vid.isEmpty() || pid.isEmpty())
                return QString();
            return vid + pid;
        }
        dir = QFileInfo(dir).path();
    }
    return QString();
}

QList<VideoDevice> videoDevicesFrom(const QList<VideoNodeFacts>& nodes, int virtualCameras, const QString& display)
{
    QList<VideoDevice> list;
    for (const VideoNodeFacts& facts : nodes) {
        VideoDevice d;
        d.kind = VideoDevice::V4l2Node;
        d.node = facts.node;
        d.deviceName = facts.node + QLatin1Char(':') + facts.usbId;
        d.description = v4l2::cleanName(facts.card);
        list.append(d);
    }
    const char* virtualNames[] = {pax_virtual::kMainName, pax_virtual::kSecondName};
    const char* virtualProducts[] = {pax_virtual::kMainProductId, pax_virtual::kSecondProductId};
    for (int i = 0; i < std::min(virtualCameras, 2); ++i) {
        VideoDevice d;
        d.kind = VideoDevice::VirtualCamera;
        d.virtualIndex = i;
        d.deviceName = QStringLiteral("virtual:") + QLatin1String(pax_virtual::kVendorId) + QLatin1String(virtualProducts[i]);
        d.description = QLatin1String(virtualNames[i]);
        list.append(d);
    }
    // Two devices of one name: the later ones get " #2", " #3"... in list order.
    v4l2::makeNamesUnique(list, &VideoDevice::description);
    if (!display.isEmpty()) {
        VideoDevice d;
        d.kind = VideoDevice::Screen;
        d.display = display;
        d.deviceName = QStringLiteral("x11:") + display;
        d.description = QStringLiteral("Capture screen 0");
        list.append(d);
    }
    return list;
}

QList<VideoDevice> availableVideoDevices(v4l2::Io& io, const QString& sysRoot, int virtualCameras,
                                         const QString& display)
{
    // The capture backend's names, so every listed name opens its node.
    QList<VideoNodeFacts> nodes;
    for (const v4l2::NodeName& n : v4l2::captureNodeNames(io)) {
        VideoNodeFacts facts;
        facts.node = n.node;
        facts.card = n.name;
        facts.usbId = usbIdFromSysfs(sysRoot, QFileInfo(n.node).fileName());
        nodes.append(facts);
    }
    return videoDevicesFrom(nodes, virtualCameras, display);
}

QList<VideoDevice> availableVideoDevices()
{
    return availableVideoDevices(v4l2::systemIo(), QStringLiteral("/sys"), pax_virtual::cameraCount(),
                                 qEnvironmentVariable("DISPLAY"));
}

bool findVideoDevice(const QString& description, VideoDevice* out)
{
    for (const VideoDevice& d : availableVideoDevices()) {
        if (d.description == description) {
            if (out)
                *out = d;
            return true;
        }
    }
    return false;
}

QList<VideoMode> videoDeviceModes(const VideoDevice& device)
{
    return videoDeviceModes(device, v4l2::systemIo());
}

QList<VideoMode> videoDeviceModes(const VideoDevice& device, v4l2::Io& io)
{
    QList<VideoMode> modes;
    switch (device.kind) {
    case VideoDevice::V4l2Node:
        return nodeModes(io, device.node);
    case VideoDevice::VirtualCamera:
        for (const pax_virtual::Mode& m : pax_virtual::modes()) {
            VideoMode mode;
            mode.format = VideoMode::Mjpeg;
            mode.width = m.width;
            mode.height = m.height;
            mode.minFps = m.fps;
            mode.maxFps = m.fps;
            modes.append(mode);
        }
        return modes;
    case VideoDevice::Screen:
        break;
    }
    return modes;
}

} // namespace pax_platform
