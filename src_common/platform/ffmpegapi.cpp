#include "ffmpegapi.h"

#include <QByteArray>

#include <dlfcn.h>
#include <mutex>

extern "C" {
#include <libavutil/version.h>
}

namespace pax_platform::ffmpeg {

namespace {

#define PAX_SONAME(lib, major) "lib" #lib ".so." AV_STRINGIFY(major)

struct Library {
    const char* tag;
    const char* soname;
};

// Dependencies first, so each opens against the copies already loaded.
constexpr Library kLibraries[] = {
    {"avutil", PAX_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR)},
    {"swscale", PAX_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR)},
    {"avcodec", PAX_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR)},
    {"avformat", PAX_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR)},
    {"avdevice", PAX_SONAME(avdevice, LIBAVDEVICE_VERSION_MAJOR)},
};

std::once_flag g_once;
Api g_api;
bool g_loaded = false;
QString g_error;

void* handleOf(void* const* handles, const char* tag)
{
    for (size_t i = 0; i < std::size(kLibraries); ++i)
        if (qstrcmp(kLibraries[i].tag, tag) == 0)
            return handles[i];
    return nullptr;
}

void load()
{
    void* handles[std::size(kLibraries)] = {};
    for (size_t i = 0; i < std::size(kLibraries); ++i) {
        // Never closed: FFmpeg keeps process-wide state (registered devices, log callback).
        handles[i] = dlopen(kLibraries[i].soname, RTLD_NOW | RTLD_GLOBAL);
        if (!handles[i]) {
            g_error = QStringLiteral("cannot load %1: %2")
                          .arg(QString::fromLatin1(kLibraries[i].soname), QString::fromLocal8Bit(dlerror()));
            return;
        }
    }
#define PAX_FFMPEG_RESOLVE(lib, name)                                                              \
    g_api.name = reinterpret_cast<decltype(&::name)>(dlsym(handleOf(handles, #lib), #name));       \
    if (!g_api.name) {                                                                             \
        g_error = QStringLiteral("no function %1 in lib%2").arg(QStringLiteral(#name), QStringLiteral(#lib)); \
        return;                                                                                    \
    }
    PAX_FFMPEG_FUNCTIONS(PAX_FFMPEG_RESOLVE)
#undef PAX_FFMPEG_RESOLVE
    g_api.avdevice_register_all();
    g_loaded = true;
}

} // namespace

const Api* api()
{
    std::call_once(g_once, load);
    return g_loaded ? &g_api : nullptr;
}

QString errorString()
{
    api();
    return g_error;
}

} // namespace pax_platform::ffmpeg
