#pragma once
// The UVC device seam: one context, its enumerated devices and their open handles, with
// the calls the UVC control layer makes. createContext() decides which implementation runs:
// libuvc on the attached USB cameras, or the virtual camera while ORVANE_VIRTUAL_CAMERA is set.
// Result codes are libuvc's (0 success, negative uvc_error values).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <memory>
#include <vector>

namespace pax_uvc {

// libuvc's codes used by the layer above.
enum Error : int {
    Success = 0,
    ErrorIo = -1,
    ErrorInvalidParam = -2,
    ErrorAccess = -3,
    ErrorNoDevice = -4,
    ErrorNotFound = -5,
    ErrorBusy = -6,
    ErrorPipe = -9,
    ErrorNoMem = -11,
    ErrorNotSupported = -12,
    ErrorInvalidMode = -51,
    ErrorCallbackExists = -52,
    ErrorOther = -99,
};

// UVC request codes of a control read.
enum Request : int {
    GetCur = 0x81,
    GetMin = 0x82,
    GetMax = 0x83,
    GetDef = 0x87,
};

// The processing-unit and camera-terminal controls the layer reads and sets. Their C widths
// are libuvc's: Brightness int16; ExposureAbs uint32; AeMode and FocusAuto uint8; the rest uint16.
enum class Control {
    Brightness,
    Contrast,
    Saturation,
    Sharpness,
    Gain,
    ExposureAbs,
    AeMode,
    FocusAbs,
    FocusAuto,
    BacklightCompensation,
};

enum class FrameFormat { Compressed, Yuyv, Mjpeg };

// Texts that the device does not report are empty (never null).
struct DeviceDescriptor
{
    quint16 idVendor = 0;
    quint16 idProduct = 0;
    QByteArray product;
    QByteArray serialNumber;
    QByteArray manufacturer;
};

// One frame descriptor of a streaming format.
struct FrameDescriptor
{
    int width = 0;
    int height = 0;
    quint32 defaultFrameInterval = 0;   // 100 ns units
};

struct FormatDescriptor
{
    bool mjpeg = false;
    QList<FrameDescriptor> frames;
};

// One frame as the stream delivers it; valid during the callback only.
struct Frame
{
    const void* data = nullptr;
    size_t dataBytes = 0;
    int width = 0;
    int height = 0;
    FrameFormat format = FrameFormat::Mjpeg;
};

// Called on the stream's own thread, once per frame.
using FrameCallback = void (*)(const Frame* frame, void* user);

// A negotiated stream set-up.
class StreamControl
{
public:
    virtual ~StreamControl() = default;
    // Prints the negotiated values (the libuvc form of uvc_print_stream_ctrl).
    virtual void print(FILE* stream) const = 0;
};

// An open camera. Destroying it stops its stream and closes it.
class DeviceHandle
{
public:
    virtual ~DeviceHandle() = default;
    // Address of the underlying handle, for log lines.
    virtual const void* address() const = 0;
    virtual void printDiag(FILE* stream) = 0;
    // Reads one control; *value receives the control's C value widened to 64 bits.
    virtual int getControl(Control control, Request request, qint64* value) = 0;
    // Sets one control; value is already narrowed to the control's width.
    virtual int setControl(Control control, qint64 value) = 0;
    // The streaming formats, in descriptor order.
    virtual QList<FormatDescriptor> formats() = 0;
    // Negotiates a stream; *control is set whatever the result so that it can be printed.
    virtual int getStreamControl(FrameFormat format, int width, int height, int fps,
                                 std::unique_ptr<StreamControl>* control) = 0;
    // Starts the stream: callback runs on a thread of the stream until stopStreaming().
    virtual int startStreaming(const StreamControl& control, FrameCallback callback, void* user) = 0;
    // Stops the stream and returns after its last callback has finished; harmless when idle.
    virtual void stopStreaming() = 0;
};

// One enumerated device; destroying it drops the reference.
class Device
{
public:
    virtual ~Device() = default;
    virtual int getDescriptor(DeviceDescriptor* descriptor) = 0;
    virtual int open(std::unique_ptr<DeviceHandle>* handle) = 0;
};

// A context. Handles and devices made through it must be destroyed before it.
class Context
{
public:
    virtual ~Context() = default;
    // Every UVC device attached; ErrorNoDevice when there is none.
    virtual int findDevices(std::vector<std::unique_ptr<Device>>* devices) = 0;
};

// Makes a context of the implementation in force; a negative code when that fails.
int createContext(std::unique_ptr<Context>* context);

// Camera models the platform adds to the known-camera table: the virtual camera's ids
// while it is selected, otherwise none.
struct KnownCameraId
{
    bool second;
    QString vid;
    QString pid;
};
QList<KnownCameraId> platformKnownCameras();

// The implementations behind createContext().
int createLibuvcContext(std::unique_ptr<Context>* context);
int createVirtualContext(std::unique_ptr<Context>* context);

} // namespace pax_uvc
