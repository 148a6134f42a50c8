#pragma once
// The virtual USB document camera selected by ORVANE_VIRTUAL_CAMERA: shared facts and the
// process-wide state of its UVC controls. Every virtual backend (UVC, capture, microphone,
// device listing) reads these; outside src_common/platform/ only tests include this header, to set up
// and read back the virtual camera.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace pax_virtual {

// Number of virtual cameras: "1" -> 1, "2" -> 2, a path to an existing file -> 1, else 0.
int cameraCount();
bool enabled();
// The image or video file the main camera shows; empty when the picture is generated.
QString mediaFile();

inline constexpr const char* kMainName = "Virtual Document Camera";
inline constexpr const char* kSecondName = "Virtual Second Camera";
inline constexpr const char* kMicrophoneName = "Virtual Microphone";
inline constexpr const char* kVendorId = "0000";
inline constexpr const char* kMainProductId = "0001";
inline constexpr const char* kSecondProductId = "0002";

struct Mode { int width; int height; int fps; };
// 1920x1080, 1280x720, 640x480, each at 30 fps, MJPEG.
QList<Mode> modes();

enum Control {
    Brightness, Contrast, Saturation, Sharpness, Gain, Exposure, ExposureMode, Focus, FocusMode,
    ControlCount
};
struct ControlRange { int min; int max; int def; };
// Realistic ranges of a UVC document camera. ExposureMode holds the UVC AE mode value
// (1 manual, 8 aperture priority); FocusMode 0 or 1.
ControlRange controlRange(Control control);
// Current value of camera 0 (main) or 1 (second); thread-safe, values stick for the process.
int controlValue(int camera, Control control);
// Stores the value when it lies in the range; returns false otherwise.
bool setControlValue(int camera, Control control, int value);
// Back to the defaults (tests).
void resetControls();

// A UVC device the virtual backend enumerates.
struct UvcDeviceSpec
{
    quint16 vendorId = 0;
    quint16 productId = 0;
    QByteArray product;        // a null text: the device reports none
    QByteArray serialNumber;
    QByteArray manufacturer;
    int camera = 0;            // control state and picture: 0 main, 1 second
    bool descriptorFails = false;
    bool openFails = false;    // opening answers an access error, as without permission
};
// The devices ORVANE_VIRTUAL_CAMERA selects (main, then second), or the set given to
// setUvcDevices().
QList<UvcDeviceSpec> uvcDevices();
// True while setUvcDevices() replaces the selected devices.
bool uvcDevicesReplaced();
// Replaces the enumerated devices for this process (tests); clearUvcDevices() undoes it.
void setUvcDevices(const QList<UvcDeviceSpec>& devices);
void clearUvcDevices();

// UVC request codes a fault can be set on; RequestSet stands for a write.
enum ControlRequest { RequestSet = 0, RequestCur = 0x81, RequestMin = 0x82, RequestMax = 0x83, RequestDef = 0x87 };
// Makes one request of one control of camera 0 or 1 answer `error` (a negative libuvc code)
// until clearControlFaults(); 0 removes the fault.
void setControlFault(int camera, Control control, int request, int error);
void clearControlFaults();
// The fault set for the request, or 0.
int controlFault(int camera, Control control, int request);

} // namespace pax_virtual
