#pragma once
// Opening of FFmpeg input devices, shared by the screen and microphone sources.

#include <QByteArray>

struct AVDictionary;
struct AVFormatContext;

namespace pax_platform {

// Loads FFmpeg and registers its input devices, once per process (the platform layer loads it on
// first use, see ffmpegapi.h; openFfmpegInput reports when it cannot be loaded).
void registerFfmpegDevices();
// Starts registerFfmpegDevices() on a thread of its own and returns; a later call waits for it.
void registerFfmpegDevicesAhead();

// Opens `url` with the input format `formatName` and the options, which are freed on every
// path. 0 and the opened context, or a negative AVERROR code with *ctx null (ENOSYS when FFmpeg
// cannot be loaded).
int openFfmpegInput(AVFormatContext** ctx, const char* formatName, const QByteArray& url, AVDictionary** options);

} // namespace pax_platform
