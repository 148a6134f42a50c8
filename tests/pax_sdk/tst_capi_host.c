/* The exported entry points driven by a plain C host that loads the SDK library, from a folder
 * other than the library's and with the process's default Qt platform: starting and stopping the
 * SDK again and again, null output pointers, and capture sizes out of range.
 *
 *   tst_capi_host <sdk library> [case]
 *
 * Each case runs in a child process of its own, so a crash shows as that case failing. Prints
 * "PASS case" or "FAIL case: why" per case; exits 0 when every case passed. */
#include "paxsdk_capi.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

typedef int (*InitFn)(void);
typedef int (*DeviceInfoFn)(long*, _DEVICE_INFO*, char*);
typedef int (*SolutionListFn)(_DEVICE_INFO*, long*, _SOLUTION_INFO*, char*);
typedef int (*DeviceFn)(_DEVICE_INFO*, char*);
typedef int (*StartCaptureFn)(_DEVICE_INFO*, long, long, long, long, char*);
typedef int (*CapFrameFn)(_DEVICE_INFO*, _FMIMG_INFO*);

static struct {
    InitFn init;
    InitFn fini;
    DeviceInfoFn deviceInfo;
    SolutionListFn solutionList;
    DeviceFn stopCapture;
    StartCaptureFn startCapture;
    CapFrameFn capFrame;
} sdk;

static const char* s_library;
static int s_failed;

static void fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    printf("  ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    s_failed = 1;
}

#define CHECK(cond, ...)          \
    do {                          \
        if (!(cond)) {            \
            fail(__VA_ARGS__);    \
            return;               \
        }                         \
    } while (0)

static void* need(void* lib, const char* name)
{
    void* f = dlsym(lib, name);
    if (!f) {
        printf("missing entry point %s\n", name);
        exit(2);
    }
    return f;
}

static void loadSdk(void)
{
    void* lib = dlopen(s_library, RTLD_NOW);
    if (!lib) {
        printf("cannot load %s: %s\n", s_library, dlerror());
        exit(2);
    }
    sdk.init = (InitFn)need(lib, PAX_INIT_SYMBOL);
    sdk.fini = (InitFn)need(lib, PAX_FINI_SYMBOL);
    sdk.deviceInfo = (DeviceInfoFn)need(lib, "getDeviceInfo");
    sdk.solutionList = (SolutionListFn)need(lib, "getDeviceSolutionList");
    sdk.stopCapture = (DeviceFn)need(lib, "stopCapture");
    sdk.startCapture = (StartCaptureFn)need(lib, "startCapture");
    sdk.capFrame = (CapFrameFn)need(lib, "getCapFrame");
}

static void sleepMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* The size of the latest frame, waiting for the first one (60 s at most). 0 when one came. */
static int waitFrameSize(_DEVICE_INFO* device, long long* width, long long* height)
{
    _FMIMG_INFO size = {NULL, NULL, 0, 0, 0};
    int r = PAX_SDK_NO_FRAME;
    for (int i = 0; i < 3000 && (r = sdk.capFrame(device, &size)) == PAX_SDK_NO_FRAME; ++i)
        sleepMs(20);
    *width = (long long)size.width;
    *height = (long long)size.height;
    return r;
}

/* The first camera, found with the documented call. Each call waits about 10 s for the device
 * search; on a loaded machine the search may take longer, so the call is repeated until the camera
 * and its first resolution are known (60 s at most). */
static int firstDevice(_DEVICE_INFO* device, char* message)
{
    int r = -1;
    for (time_t start = time(NULL); time(NULL) - start < 60;) {
        long count = 0;
        _DEVICE_INFO devices[2];
        memset(devices, 0, sizeof devices);
        r = sdk.deviceInfo(&count, devices, message);
        *device = devices[0];
        if (r == PAX_SDK_SUCCESS && count >= 1 && devices[0].width > 0)
            return PAX_SDK_SUCCESS;
        if (r == PAX_SDK_SUCCESS)
            r = -1;
        sleepMs(100);
    }
    return r;
}

/* pax_init, open, frames, pax_fini five times in one process. */
static void caseStartStopFiveTimes(char* message)
{
    for (int round = 1; round <= 5; ++round) {
        sdk.init();
        _DEVICE_INFO device;
        int r = firstDevice(&device, message);
        CHECK(r == PAX_SDK_SUCCESS && device.height > 0,
              "round %d: no camera with a resolution (getDeviceInfo %d, first resolution %lldx%lld)", round, r,
              (long long)device.width, (long long)device.height);
        r = sdk.startCapture(&device, 0, 0, 640, 480, message);
        CHECK(r == PAX_SDK_SUCCESS, "round %d: startCapture gave %d %s", round, r, message);
        long long w = 0, h = 0;
        r = waitFrameSize(&device, &w, &h);
        CHECK(r == PAX_SDK_SUCCESS, "round %d: no frame (%d)", round, r);
        CHECK(w == 640 && h == 480, "round %d: frame of %lldx%lld", round, w, h);
        unsigned char* pixels = malloc((size_t)(w * h * 3));
        _FMIMG_INFO frame = {NULL, pixels, 0, 0, 0};
        r = sdk.capFrame(&device, &frame);
        free(pixels);
        CHECK(r == PAX_SDK_SUCCESS && frame.size == (uint64_t)(w * h * 3), "round %d: frame copy gave %d, %llu bytes",
              round, r, (unsigned long long)frame.size);
        r = sdk.stopCapture(&device, message);
        CHECK(r == PAX_SDK_SUCCESS, "round %d: stopCapture gave %d", round, r);
        sdk.fini();
    }
}

static int isRefusal(int r, const char* message)
{
    return r == PAX_SDK_ABNORMAL && strcmp(message, "Abnormal") == 0;
}

/* Every output pointer left null: a result code, no crash. */
static void caseNullOutputs(char* message)
{
    sdk.init();
    long count = -1;
    _DEVICE_INFO devices[2];
    memset(devices, 0, sizeof devices);
    int r = sdk.deviceInfo(NULL, devices, message);
    CHECK(isRefusal(r, message), "getDeviceInfo without a count gave %d %s", r, message);
    r = sdk.deviceInfo(&count, NULL, message);
    CHECK(isRefusal(r, message), "getDeviceInfo without records gave %d %s", r, message);
    CHECK(count == -1, "getDeviceInfo without records wrote the count");
    _DEVICE_INFO device;
    r = firstDevice(&device, message);
    CHECK(r == PAX_SDK_SUCCESS, "getDeviceInfo gave %d", r);
    _SOLUTION_INFO list[PAX_SDK_MAX_SOLUTIONS];
    r = sdk.solutionList(&device, NULL, list, message);
    CHECK(isRefusal(r, message), "getDeviceSolutionList without a count gave %d %s", r, message);
    count = -1;
    r = sdk.solutionList(&device, &count, NULL, message);
    CHECK(isRefusal(r, message), "getDeviceSolutionList without a list gave %d %s", r, message);
    CHECK(count == -1, "getDeviceSolutionList without a list wrote the count");
    r = sdk.solutionList(NULL, &count, list, message);
    CHECK(r == PAX_SDK_DEVICE_NOT_EXIST, "getDeviceSolutionList without a device gave %d", r);
    r = sdk.startCapture(&device, 0, 0, 320, 240, message);
    CHECK(r == PAX_SDK_SUCCESS, "startCapture gave %d", r);
    long long w = 0, h = 0;
    r = waitFrameSize(&device, &w, &h);
    CHECK(r == PAX_SDK_SUCCESS, "no frame (%d)", r);
    r = sdk.capFrame(&device, NULL);
    CHECK(r == PAX_SDK_ABNORMAL, "getCapFrame without a frame record gave %d", r);
    sdk.stopCapture(&device, message);
    sdk.fini();
}

/* Capture sizes a camera can't deliver: refused, and the size asked before stays. */
static void caseCaptureSizes(char* message)
{
    static const struct {
        long width;
        long height;
    } refused[] = {
        {0, 0},
        {-5, 100},
        {100, -5},
        {-1, 100},
        {100000, 100000},
        {20000, 20000},
        {PAX_SDK_MAX_CAPTURE_SIDE + 1, 100},
        {100, PAX_SDK_MAX_CAPTURE_SIDE + 1},
        {4294967616L, 240}, /* 2^32 + 320 */
        {320, 4294967536L}, /* 2^32 + 240 */
        {LONG_MAX, 1},
        {LONG_MIN, 1},
    };
    sdk.init();
    _DEVICE_INFO device;
    int r = firstDevice(&device, message);
    CHECK(r == PAX_SDK_SUCCESS, "getDeviceInfo gave %d", r);
    r = sdk.startCapture(&device, 0, 0, 320, 240, message);
    CHECK(r == PAX_SDK_SUCCESS, "startCapture 320x240 gave %d", r);
    long long w = 0, h = 0;
    r = waitFrameSize(&device, &w, &h);
    CHECK(r == PAX_SDK_SUCCESS && w == 320 && h == 240, "first frame %d %lldx%lld", r, w, h);
    for (size_t i = 0; i < sizeof refused / sizeof refused[0]; ++i) {
        r = sdk.startCapture(&device, 0, 0, refused[i].width, refused[i].height, message);
        CHECK(isRefusal(r, message), "startCapture %ldx%ld gave %d %s", refused[i].width, refused[i].height, r,
              message);
        r = waitFrameSize(&device, &w, &h);
        CHECK(r == PAX_SDK_SUCCESS && w == 320 && h == 240, "after %ldx%ld: frame %d %lldx%lld", refused[i].width,
              refused[i].height, r, w, h);
    }
    r = sdk.startCapture(&device, 0, 0, 160, 120, message);
    CHECK(r == PAX_SDK_SUCCESS, "startCapture 160x120 gave %d", r);
    r = waitFrameSize(&device, &w, &h);
    CHECK(r == PAX_SDK_SUCCESS && w == 160 && h == 120, "frame %d %lldx%lld", r, w, h);
    sdk.stopCapture(&device, message);
    sdk.fini();
}

static const struct {
    const char* name;
    void (*run)(char* message);
} cases[] = {
    {"start and stop five times", caseStartStopFiveTimes},
    {"null outputs", caseNullOutputs},
    {"capture sizes out of range", caseCaptureSizes},
};

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s <sdk library> [case]\n", argv[0]);
        return 2;
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    s_library = argv[1];
    /* The default platform: nothing names one, and there is no display. */
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    /* A working folder that is neither the library's nor this program's. */
    char folder[] = "/tmp/tst_capi_host.XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) {
        perror("working folder");
        return 2;
    }
    int failures = 0;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        if (argc > 2 && strcmp(argv[2], cases[i].name) != 0)
            continue;
        fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            /* The message buffer is exactly as large as the longest message needs. */
            char* message = malloc(PAX_SDK_MESSAGE_SIZE);
            memset(message, 0, PAX_SDK_MESSAGE_SIZE);
            loadSdk();
            cases[i].run(message);
            fflush(stdout);
            /* A failed case may leave the SDK running: no exit handlers then. */
            if (s_failed)
                _exit(1);
            free(message);
            exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            printf("PASS %s\n", cases[i].name);
        } else {
            ++failures;
            if (WIFSIGNALED(status))
                printf("FAIL %s: ended by signal %d\n", cases[i].name, WTERMSIG(status));
            else
                printf("FAIL %s: exit code %d\n", cases[i].name, WEXITSTATUS(status));
        }
    }
    rmdir(folder);
    printf("%d of the cases failed\n", failures);
    return failures ? 1 : 0;
}
