#pragma once
// The in-process UVC layer: one context, the main camera (index 0) and the second camera
// (index 1) recognised through the known-camera table, their image controls and streams.
// Results: 0 success, -1 camera index other than 0 and 1 or camera not open, -2 the device
// call failed.

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace pax_uvc {
class Context;
class Device;
class DeviceHandle;
enum class Control;
struct Frame;
}

// The image controls: X(Name, pax_uvc::Control, libuvc name, C type of a set value, request
// order of a read). Brightness reads cur, max, min, def; Focus max, min, def, cur; the rest
// read max, min, def and leave cur as given.
#define PAX_UVC_VALUE_CONTROLS(X) \
    X(Brightness, Brightness, brightness, qint16, kCurMaxMinDef) \
    X(Contrast, Contrast, contrast, quint16, kMaxMinDef) \
    X(Saturation, Saturation, saturation, quint16, kMaxMinDef) \
    X(Sharpness, Sharpness, sharpness, quint16, kMaxMinDef) \
    X(Gain, Gain, gain, quint16, kMaxMinDef) \
    X(Exposure, ExposureAbs, exposure_abs, quint32, kMaxMinDef) \
    X(Focus, FocusAbs, focus_abs, quint16, kMaxMinDefCur)
// The mode controls: X(Name, pax_uvc::Control, libuvc name, automatic value, manual value).
// Their getters read the control's default.
#define PAX_UVC_MODE_CONTROLS(X) \
    X(ExposureMode, AeMode, ae_mode, 8, 1) \
    X(FocusMode, FocusAuto, focus_auto, 1, 0)

class PaxUvcControl : public QObject
{
    Q_OBJECT
public:
    // One control's range and values as the camera reports them.
    struct _CameraInfo
    {
        qint32 max = 0;
        qint32 min = 0;
        qint32 def = 0;
        qint32 cur = 0;
    };
    // One capture mode of a camera.
    struct _Camera_Option
    {
        QString format;   // "mjpeg" or "yuv"
        qint32 fps = 0;
        qint32 width = 0;
        qint32 height = 0;
    };
    // One frame: data from malloc, the record from new; its owner frees both.
    struct _VideoFrame
    {
        unsigned char* data = nullptr;
        qint32 size = 0;
    };

    static PaxUvcControl* getInstance();
    static void releaseInstance();

    ~PaxUvcControl() override;

    // Forgets the cameras, enumerates again and opens the main and the second camera.
    void freshDevice(bool onlyFuncType1);
    bool isSuccessInit();
    QString getMainVid();
    QString getMainPid();
    QString getSecondVid();
    QString getSecondPid();
    int getFuncType();
    bool isCameraValid(int idx);

#define PAX_UVC_DECLARE_VALUE(Name, Control, uvcName, SetType, Requests) \
    int get##Name##Info(int idx, _CameraInfo* info); \
    int set##Name(int idx, int value);
#define PAX_UVC_DECLARE_MODE(Name, Control, uvcName, Auto, Manual) \
    int get##Name##Info(int idx, bool* isAuto); \
    int set##Name(int idx, bool isAuto);
    PAX_UVC_VALUE_CONTROLS(PAX_UVC_DECLARE_VALUE)
    PAX_UVC_MODE_CONTROLS(PAX_UVC_DECLARE_MODE)
#undef PAX_UVC_DECLARE_VALUE
#undef PAX_UVC_DECLARE_MODE

    int getBacklight(int idx);
    int getCameraOption(int idx, QList<_Camera_Option>& list);

    // Streaming. format: 2 any compressed format, 1 YUYV, otherwise MJPEG. Frames go into the
    // shared main-camera block on the service path, into the camera's frame slot otherwise.
    int startReceiveVideoFrame(int idx, int width, int height, int fps, int format);
    int stopReceiveVideoFrame(int idx);
    // Puts a frame into the slot of camera idx (taking ownership; an untaken one is freed).
    void sendVideoFrame(int idx, _VideoFrame* frame);
    // Takes the slot's frame; the caller frees data (free) and the record (delete).
    _VideoFrame* getVideoFrame(int idx);

private:
    PaxUvcControl();

    // The open handle of camera idx, or null.
    pax_uvc::DeviceHandle* _camera(int idx) const;
    // The same, logging a camera that is not there.
    pax_uvc::DeviceHandle* _handle(int idx);
    // The frame slot of camera idx (guarded by m_frameMutex), or null.
    _VideoFrame** _slot(int idx);
    void _closeCameras();
    void _releaseDeviceList();
    int _getInfo(int idx, pax_uvc::Control control, const char* function, const int* requests, int count,
                 _CameraInfo* info);
    int _getMode(int idx, pax_uvc::Control control, const char* function, qint64* value);
    int _set(int idx, pax_uvc::Control control, const char* function, qint64 value);
    void _freeSlots();

    static PaxUvcControl* s_instance;

    // Acquired in this order; handles and devices are released before the context.
    std::unique_ptr<pax_uvc::Context> m_context;
    std::vector<std::unique_ptr<pax_uvc::Device>> m_deviceList;
    QString m_mainVid;
    QString m_mainPid;
    QString m_secondVid;
    QString m_secondPid;
    std::unique_ptr<pax_uvc::DeviceHandle> m_mainHandle;
    std::unique_ptr<pax_uvc::DeviceHandle> m_secondHandle;
    int m_funcType = 2;
    QMutex m_frameMutex;
    _VideoFrame* m_mainFrame = nullptr;     // guarded by m_frameMutex
    _VideoFrame* m_secondFrame = nullptr;   // guarded by m_frameMutex
};
