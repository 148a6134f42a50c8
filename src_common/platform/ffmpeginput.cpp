#include "ffmpeginput.h"

#include "ffmpegapi.h"

#include <future>

namespace pax_platform {

void registerFfmpegDevices()
{
    ffmpeg::api();
}

void registerFfmpegDevicesAhead()
{
    // Joined when the process ends (the future's destructor waits), never twice.
    static std::future<void> ahead = std::async(std::launch::async, [] { registerFfmpegDevices(); });
}

int openFfmpegInput(AVFormatContext** ctx, const char* formatName, const QByteArray& url, AVDictionary** options)
{
    *ctx = nullptr;
    const ffmpeg::Api* av = ffmpeg::api();
    if (!av) {
        // Options can only have been made with an FFmpeg in this process, which then loads here too.
        return AVERROR(ENOSYS);
    }
    const AVInputFormat* format = av->av_find_input_format(formatName);
    if (!format) {
        av->av_dict_free(options);
        return AVERROR_DEMUXER_NOT_FOUND;
    }
    AVFormatContext* opened = av->avformat_alloc_context();
    if (!opened) {
        av->av_dict_free(options);
        return AVERROR(ENOMEM);
    }
    const int ret = av->avformat_open_input(&opened, url.constData(), format, options);
    av->av_dict_free(options);
    if (ret < 0)
        return ret;   // avformat_open_input freed the context
    *ctx = opened;
    return 0;
}

} // namespace pax_platform
