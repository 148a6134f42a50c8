#pragma once
// Opening of FFmpeg input devices, shared by the screen and microphone sources.

#include <QByteArray>

struct AVDictionary;
struct AVFormatContext;

namespace pax_platform {

// Registers FFmpeg's input devices once per process.
void registerFfmpegDevices();

// Opens `url` with the input format `formatName` and the options, which are freed on every
// path. 0 and the opened context, or a negative AVERROR code with *ctx null.
int openFfmpegInput(AVFormatContext** ctx, const char* formatName, const QByteArray& url, AVDictionary** options);

} // namespace pax_platform
