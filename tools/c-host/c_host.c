/* A host program in plain C for the camera SDK's exported entry points: it loads the SDK library,
 * lists the cameras, opens the first, captures at a given size, writes one frame as raw RGB and
 * takes a photo. It is the example for users and the black-box test of the interface.
 *
 *   c-host <sdk library> <output folder> <width> <height>
 *
 * Prints one line per step ("key value ..."); exits 0 when every call answered as documented. */
#include "paxsdk_capi.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

typedef int (*InitFn)(void);
typedef int (*DeviceInfoFn)(long*, _DEVICE_INFO*, char*);
typedef int (*DeviceFn)(_DEVICE_INFO*, char*);
typedef int (*StartCaptureFn)(_DEVICE_INFO*, long, long, long, long, char*);
typedef int (*CapFrameFn)(_DEVICE_INFO*, _FMIMG_INFO*);
typedef int (*PhotoFn)(_DEVICE_INFO*, long, const char*, char*);

static void* need(void* lib, const char* name)
{
    void* f = dlsym(lib, name);
    if (!f) {
        fprintf(stderr, "missing entry point %s\n", name);
        exit(2);
    }
    return f;
}

static void sleepMs(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

int main(int argc, char** argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: %s <sdk library> <output folder> <width> <height>\n", argv[0]);
        return 2;
    }
    /* One write per line: the SDK's log lines share standard output. */
    setvbuf(stdout, NULL, _IOLBF, 0);
    const char* folder = argv[2];
    const long width = atol(argv[3]);
    const long height = atol(argv[4]);
    void* lib = dlopen(argv[1], RTLD_NOW);
    if (!lib) {
        fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    InitFn init = (InitFn)need(lib, PAX_INIT_SYMBOL);
    InitFn fini = (InitFn)need(lib, PAX_FINI_SYMBOL);
    DeviceInfoFn deviceInfo = (DeviceInfoFn)need(lib, "getDeviceInfo");
    DeviceFn openDev = (DeviceFn)need(lib, "openDevice");
    DeviceFn stopCap = (DeviceFn)need(lib, "stopCapture");
    StartCaptureFn startCap = (StartCaptureFn)need(lib, "startCapture");
    CapFrameFn capFrame = (CapFrameFn)need(lib, "getCapFrame");
    PhotoFn takePhoto = (PhotoFn)need(lib, "photo");

    /* The message buffer is exactly as large as the longest message needs. */
    char* message = malloc(PAX_SDK_MESSAGE_SIZE);
    init();

    long count = -1;
    _DEVICE_INFO devices[2];
    memset(devices, 0, sizeof devices);
    int r = deviceInfo(&count, devices, message);
    printf("devices %d %ld %s\n", r, count, message);
    if (count < 1) {
        fini();
        free(message);
        return 0;
    }
    /* The first record as the SDK wrote it, byte for byte (the SDK's log shares standard output). */
    char path[4096];
    snprintf(path, sizeof path, "%s/record.bin", folder);
    FILE* rec = fopen(path, "wb");
    if (rec) {
        fwrite(&devices[0], 1, sizeof devices[0], rec);
        fclose(rec);
    }

    r = startCap(&devices[0], 0, 0, width, height, message);
    printf("start %d %s\n", r, message);

    /* Before the first frame: the code for no frame, and the buffer left as it was. */
    unsigned char probe[16];
    memset(probe, 0xab, sizeof probe);
    _FMIMG_INFO image = {NULL, probe, 0, -1, -1};
    r = capFrame(&devices[0], &image);
    int untouched = image.size == 0 && image.width == -1 && probe[0] == 0xab && probe[15] == 0xab;
    printf("early %d %d\n", r, untouched);

    /* Wait for a frame, asking for its size with no buffer first. */
    _FMIMG_INFO size = {NULL, NULL, 0, 0, 0};
    for (int i = 0; i < 200 && (r = capFrame(&devices[0], &size)) != PAX_SDK_SUCCESS; ++i)
        sleepMs(50);
    float rect[4] = {0, 0, 0, 0};
    unsigned char* pixels = malloc((size_t)(size.width * size.height * 3));
    _FMIMG_INFO frame = {rect, pixels, 0, 0, 0};
    r = capFrame(&devices[0], &frame);
    printf("frame %d %llu %lld %lld %.0f %.0f\n", r, (unsigned long long)frame.size, (long long)frame.width,
           (long long)frame.height, rect[2], rect[3]);
    snprintf(path, sizeof path, "%s/frame.rgb", folder);
    FILE* out = fopen(path, "wb");
    if (out) {
        fwrite(pixels, 1, (size_t)frame.size, out);
        fclose(out);
    }
    free(pixels);

    snprintf(path, sizeof path, "%s/photo.jpg", folder);
    r = takePhoto(&devices[0], 0, path, message);
    struct stat st;
    int waited = 0;
    while (stat(path, &st) != 0 && waited < 10000) {
        sleepMs(50);
        waited += 50;
    }
    printf("photo %d %s %s\n", r, message, path);

    _DEVICE_INFO bad = devices[0];
    bad.index = 2;
    r = openDev(&bad, message);
    printf("badindex %d %s\n", r, message);

    r = stopCap(&devices[0], message);
    printf("stop %d %s\n", r, message);
    fini();
    free(message);
    return 0;
}
