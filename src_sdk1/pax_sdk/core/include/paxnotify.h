#pragma once
// Notifications of the camera SDK to its hosts: the camera object raises them, the facades pass them on.

#include <QMetaType>

enum _PaxChangeNotifyE : int {
    PaxChangeDeviceFound = 0,
    PaxChangeDeviceMissing = 1,
    PaxChangeIntelligentGrab = 2,
    PaxChangePictureGrabbed = 4,
    PaxChangeRecordInfoMain = 5,
    PaxChangeRecordInfoSecond = 6,
    PaxChangeRelayed = 7,
    PaxChangeCameraInfo = 8,
    PaxChangeCameraStatus = 9,
};
typedef _PaxChangeNotifyE PaxChangeNotifyE;

Q_DECLARE_METATYPE(_PaxChangeNotifyE)
