#pragma once
// Live capture of one camera into ARGB32 frames: the V4L2 backend for real devices and the
// virtual camera's backend, chosen by device name.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace pax_platform {

// Receives every frame on the capture thread: Format_ARGB32 of the negotiated size, owning its
// pixels (never a view of a driver buffer).
using CaptureFrameSink = std::function<void(QImage&& frame)>;

// One running capture. Destroying it stops the capture thread (the sink is not called afterwards)
// and releases the device.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;
};

// Opens the device called `deviceName` at exactly `size` with a frame rate range holding `fps` and
// starts capturing into `sink`. The virtual cameras answer to their names while ORVANE_VIRTUAL_CAMERA
// enables them; any other name is looked up among the V4L2 capture nodes by card name (exact match).
// Null on failure, with nothing left open.
std::unique_ptr<CaptureStream> openCaptureStream(const QString& deviceName, QSize size, int fps,
                                                 CaptureFrameSink sink);

// The truncated-rate rule shared by the backends: min <= fps <= max after cutting both rates to
// whole numbers (a range 29.97 to 30 holds 29 and 30).
bool rateRangeHolds(double minFps, double maxFps, int fps);

} // namespace pax_platform
