/* The camera SDK's exported entry points for host programs that do not use Qt.
 *
 * Load libpax_sdk.so (dlopen) or link it. Call pax_init() once, getDeviceInfo() (it waits up to
 * about 10 s for the first device search), then per camera getDeviceSolutionList() and
 * startCapture(), getCapFrame() repeatedly, photo() as needed, stopCapture(), and pax_fini().
 * pax_init and pax_fini have C++ linkage: a C host looks them up by PAX_INIT_SYMBOL and
 * PAX_FINI_SYMBOL; every other entry point has a plain C name.
 *
 * Every entry point returns a result code (PAX_SDK_...). A message buffer, when not null, receives
 * the code's NUL-terminated English text and must hold at least PAX_SDK_MESSAGE_SIZE bytes. The
 * record sizes and offsets below hold for 64-bit Linux (LP64).
 *
 * PAX_SDK_ABNORMAL (431005, "Abnormal") answers an argument the call can't use: a null count,
 * record, list or frame pointer, or a capture size out of range; nothing is changed then. */
#ifndef PAXSDK_CAPI_H
#define PAXSDK_CAPI_H

#include <stddef.h>
#include <stdint.h>

#define PAX_SDK_SUCCESS 0
#define PAX_SDK_DEVICE_FAULT 431001
#define PAX_SDK_PORT_NOT_EXIST 431002
#define PAX_SDK_PORT_OPEN_FAILED 431003
#define PAX_SDK_NO_RESPONSE 431004
#define PAX_SDK_ABNORMAL 431005
#define PAX_SDK_DEVICE_OPEN_FAILED 431006
#define PAX_SDK_DEVICE_NOT_EXIST 431007
#define PAX_SDK_NO_FRAME 431008

/* The longest message ("Function Not Supported") and its terminator. */
#define PAX_SDK_MESSAGE_SIZE 23
/* getDeviceSolutionList fills at most this many entries. */
#define PAX_SDK_MAX_SOLUTIONS 64
/* startCapture takes sides of 1 to this many pixels (or -1 x -1: the camera's own size). */
#define PAX_SDK_MAX_CAPTURE_SIDE 16384

#define PAX_INIT_SYMBOL "_Z8pax_initv"
#define PAX_FINI_SYMBOL "_Z8pax_finiv"

/* One camera; getDeviceInfo takes an array of two. */
typedef struct _DEVICE_INFO {
    uint16_t index;     /* 0 main camera, 1 second camera; read by every per-device call */
    char name[40];      /* "Main camera" or "Second camera" */
    char maker[56];     /* "Company" */
    char name2[118];    /* the name again */
    int64_t width;      /* the camera's first resolution */
    int64_t height;
    unsigned char reserved[112];
} _DEVICE_INFO;

typedef struct _SOLUTION_INFO {
    int64_t width;
    int64_t height;
} _SOLUTION_INFO;

typedef struct _FMIMG_INFO {
    float* rect;             /* four floats, or null: receives 0, 0, width, height */
    unsigned char* buffer;   /* width x height x 3 bytes of RGB rows, or null */
    uint64_t size;           /* bytes written into buffer */
    int64_t width;
    int64_t height;
} _FMIMG_INFO;

#ifdef __cplusplus
static_assert(sizeof(_DEVICE_INFO) == 344 && offsetof(_DEVICE_INFO, name) == 2 && offsetof(_DEVICE_INFO, maker) == 42 &&
                  offsetof(_DEVICE_INFO, name2) == 98 && offsetof(_DEVICE_INFO, width) == 216 &&
                  offsetof(_DEVICE_INFO, height) == 224,
              "record layout");
static_assert(sizeof(_SOLUTION_INFO) == 16, "record layout");
static_assert(sizeof(_FMIMG_INFO) == 40 && offsetof(_FMIMG_INFO, size) == 16 && offsetof(_FMIMG_INFO, width) == 24,
              "record layout");
int pax_init();
int pax_fini();
extern "C" {
#endif

int pax_close(void);
/* A query with a null message buffer returns the code alone. */
int getDeviceInfo(long* count, _DEVICE_INFO* devices, char* message);
int getDeviceSolutionList(_DEVICE_INFO* device, long* count, _SOLUTION_INFO* list, char* message);
int openDevice(_DEVICE_INFO* device, char* message);
int getDeviceStatus(_DEVICE_INFO* device, char* message);
int closeDevice(_DEVICE_INFO* device, char* message);
int startCapture(_DEVICE_INFO* device, long trimMode, long angle, long width, long height, char* message);
/* Query the frame size with a null buffer first; the buffer must hold width x height x 3 bytes. */
int getCapFrame(_DEVICE_INFO* device, _FMIMG_INFO* image);
int stopCapture(_DEVICE_INFO* device, char* message);
int photo(_DEVICE_INFO* device, long autoTrim, const char* file, char* message);
int startRec(_DEVICE_INFO* device, long a, long b, long c, char* d, char* message);
int stopRec(_DEVICE_INFO* device, char* d, char* message);

#ifdef __cplusplus
}
#endif

#endif
