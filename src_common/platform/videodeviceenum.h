#pragma once
// The video devices a capture session can open: V4L2 capture nodes, the X11 screen and,
// when enabled, the virtual cameras. Stands in for the system's camera list, whose device
// name carries the USB ids and whose description is the name the capture side opens.

#include <QByteArray>
#include <QList>
#include <QString>

namespace pax_platform {

namespace v4l2 {
class Io;
}

struct VideoDevice {
    enum Kind { V4l2Node, VirtualCamera, Screen };
    Kind kind = V4l2Node;
    // "/dev/videoN:" + USB vendor and product id as 8 lower-case hex digits (nothing after
    // the colon for a node that is no USB device), "virtual:" + ids, or "x11:" + display.
    QString deviceName;
    // Card name, unique in the list ("Name", "Name #2", ...); "Capture screen 0" for the screen.
    QString description;
    QString node;           // "/dev/videoN" of a V4L2 node
    int virtualIndex = -1;  // 0 main, 1 second virtual camera
    QString display;        // X display of the screen
};

// One V4L2 capture node as the system reports it, before names are made unique.
struct VideoNodeFacts {
    QString node;   // "/dev/videoN"
    QString card;   // VIDIOC_QUERYCAP card name
    QString usbId;  // 8 lower-case hex digits, empty when not a USB device
};

// The list in its fixed order: capture nodes by number, virtual cameras, the screen.
QList<VideoDevice> availableVideoDevices();
// The same from a given device interface and sysfs root (tests script both).
QList<VideoDevice> availableVideoDevices(v4l2::Io& io, const QString& sysRoot, int virtualCameras,
                                         const QString& display);

// Builds the list from given facts (availableVideoDevices() feeds it the live system).
QList<VideoDevice> videoDevicesFrom(const QList<VideoNodeFacts>& nodes, int virtualCameras,
                                    const QString& display);

// Vendor and product id ("046d0825") of a video4linux node ("video0") read from
// sysRoot/class/video4linux/<node>/device and its USB parents; empty when none is found.
QString usbIdFromSysfs(const QString& sysRoot, const QString& nodeName);

// A name a driver reports as bytes: valid UTF-8 sequences are decoded as UTF-8 and every other
// byte stands for the Latin-1 character of its value, so any byte sequence gives a name with
// nothing replaced or dropped.
QString nameFromBytes(const QByteArray& bytes);

// A device or microphone name as the capture tool's listing carries it, and back. The listing is
// cut at "[" and "]" and read line by line, so the name's UTF-8 bytes outside printable ASCII,
// the marks "[", "]" and "%", and blanks at either end are written as "%" and two upper-case hex
// digits; a printable ASCII name without those marks is written as it is. Listing and reader
// agree on this one form, which round-trips every name.
QString listedName(const QString& name);
QString nameFromListing(const QString& listed);

// The device whose description equals `description` exactly.
bool findVideoDevice(const QString& description, VideoDevice* out);

// One capture mode a device offers: size and the frame-rate range, per pixel format.
struct VideoMode {
    enum Format { Mjpeg, Yuyv };   // Mjpeg covers the drivers' JPEG format too
    Format format = Mjpeg;
    int width = 0;
    int height = 0;
    double minFps = 0;
    double maxFps = 0;
};

// The MJPEG and YUYV modes of a camera (V4L2 node or virtual camera); empty for the screen
// or a node that can't be queried.
QList<VideoMode> videoDeviceModes(const VideoDevice& device);
QList<VideoMode> videoDeviceModes(const VideoDevice& device, v4l2::Io& io);

} // namespace pax_platform
