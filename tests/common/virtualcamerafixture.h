#pragma once
// The virtual camera as the camera SDK tests open it: its name and capture parameters, and the
// service client told which camera it plays (on the UVC service path).

#include "macuvcclient.h"
#include "myffmpegcameracontrol.h"
#include "paxmacos.h"

namespace virtualcamera {

inline const QString kMainCamera = QStringLiteral("Virtual Document Camera");

inline _MFCC_InfoS cameraInfo(const QString& size = QStringLiteral("1920x1080"),
                              const QString& fps = QStringLiteral("30"))
{
    _MFCC_InfoS info;
    info.device_name = kMainCamera;
    info.pixel_format = QStringLiteral("mjpeg");
    info.fps = fps;
    info.video_size = size;
    return info;
}

inline _MFCC_InfoS cameraInfo(const QString& size, int fps)
{
    return cameraInfo(size, QString::number(fps));
}

// On the service path the client names the camera it plays in its in-application mode.
inline void prepareServiceClient()
{
    if (isAvailableMacos13())
        MacUvcClient::getInstance()->setCameraName(0, kMainCamera);
}

} // namespace virtualcamera
