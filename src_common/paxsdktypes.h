#pragma once
// Types of the camera SDK that the device layer and the settings store share.

#include <QList>
#include <QMetaType>
#include <QRect>
#include <QString>

// 0 main camera, 1 second camera, 2 the screen (capture-device record and recording dialogs).
enum _PaxCameraIndexE : int {
    PaxCameraIndexMain = 0,
    PaxCameraIndexSecond = 1,
    PaxCameraIndexScreen = 2,
};

// A camera recording's reported state: status 0 stopped, 1 recording, 2 paused.
struct _PaxRecordInfoS {
    int status = 0;
    QString fileName;
    int seconds = 0;
    QRect rect;
    int writeError = 0;   // the failed write (negative AVERROR code) that ended the recording; 0 none
};

// One offered capture size: position in the camera's option list, width, height.
struct _SolutionS {
    int index = 0;
    int width = 0;
    int height = 0;
};

Q_DECLARE_METATYPE(_PaxCameraIndexE)
Q_DECLARE_METATYPE(_PaxRecordInfoS)
Q_DECLARE_METATYPE(_SolutionS)
