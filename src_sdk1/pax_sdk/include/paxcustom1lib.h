#pragma once
// The object behind the exported entry points (paxsdk_capi.h): one PaxLibPrivate, the capture
// size asked for and whether the first device search has ended.
//
// Threads: the entry points run in the host's thread; create and release from one thread.

#include "paxsdk_capi.h"

class PaxLibPrivate;

class PaxCustom1Lib
{
public:
    // Creates the singleton (and, when the host has none, an offscreen GUI application object; the
    // save root when it is not set yet).
    static PaxCustom1Lib* getInstance();
    static void releaseInstance();

    // The English text of a result code ("" for the no-frame code).
    static const char* message(int code);

    int getDeviceInfo(long* count, _DEVICE_INFO* devices, char* message);
    int getDeviceSolutionList(_DEVICE_INFO* device, long* count, _SOLUTION_INFO* list, char* message);
    int openDevice(_DEVICE_INFO* device, char* message);
    int getDeviceStatus(_DEVICE_INFO* device, char* message);
    int closeDevice(_DEVICE_INFO* device, char* message);
    int startCapture(_DEVICE_INFO* device, long trimMode, long angle, long width, long height, char* message);
    int getCapFrame(_DEVICE_INFO* device, _FMIMG_INFO* image);
    int stopCapture(_DEVICE_INFO* device, char* message);
    int photo(_DEVICE_INFO* device, long autoTrim, const char* file, char* message);
    int startRec(char* message);
    int stopRec(char* message);

    void setDeviceSearchComplete() { m_deviceSearchComplete = true; }

    // A capture size startCapture takes: both sides 1..PAX_SDK_MAX_CAPTURE_SIDE, or -1 x -1 (the
    // camera's own frame size, no scaling).
    static bool captureSizeAccepted(long width, long height);

private:
    PaxCustom1Lib();
    ~PaxCustom1Lib();
    int _result(int code, char* message);
    // 0 when the record names a usable camera, else the not-exist code.
    int _checkDevice(const _DEVICE_INFO* device);
    void _waitForSearch();

    PaxLibPrivate* m_d = nullptr;
    bool m_deviceSearchComplete = false;
    int m_captureWidth = -1;
    int m_captureHeight = -1;
    static PaxCustom1Lib* s_instance;
};
