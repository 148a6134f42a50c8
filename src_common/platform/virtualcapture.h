#pragma once
// Capture side of the virtual camera: a thread pacing VirtualFrameSource frames at the requested rate.

#include "capturebackend.h"

namespace pax_virtual {

// Camera 0 (main) or 1 (second) named `deviceName`, or -1 when the name is not an enabled virtual camera.
int captureCameraForName(const QString& deviceName);

// Starts the virtual camera `camera` in one of its modes (exact size, rate range holding fps); null
// when the mode is not offered or the picture cannot be made (an undecodable media file).
std::unique_ptr<pax_platform::CaptureStream> openVirtualCapture(int camera, QSize size, int fps,
                                                                pax_platform::CaptureFrameSink sink);

} // namespace pax_virtual
