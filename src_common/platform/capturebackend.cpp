#include "capturebackend.h"

#include "v4l2capture.h"
#include "virtualcapture.h"

#include <cmath>

namespace pax_platform {

bool rateRangeHolds(double minFps, double maxFps, int fps)
{
    return std::trunc(minFps) <= fps && fps <= std::trunc(maxFps);
}

std::unique_ptr<CaptureStream> openCaptureStream(const QString& deviceName, QSize size, int fps,
                                                 CaptureFrameSink sink)
{
    if (!sink || fps <= 0 || size.width() <= 0 || size.height() <= 0)
        return nullptr;
    const int virtualCamera = pax_virtual::captureCameraForName(deviceName);
    if (virtualCamera >= 0)
        return pax_virtual::openVirtualCapture(virtualCamera, size, fps, std::move(sink));
    return v4l2::openCapture(v4l2::systemIo(), deviceName, size, fps, std::move(sink));
}

} // namespace pax_platform
