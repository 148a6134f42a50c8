#include "ffmpeginput.h"

#include <QtGlobal>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace pax_platform {

void registerFfmpegDevices()
{
    static const bool once = [] {
        avdevice_register_all();
        return true;
    }();
    Q_UNUSED(once);
}

int openFfmpegInput(AVFormatContext** ctx, const char* formatName, const QByteArray& url, AVDictionary** options)
{
    registerFfmpegDevices();
    *ctx = nullptr;
    const AVInputFormat* format = av_find_input_format(formatName);
    if (!format) {
        av_dict_free(options);
        return AVERROR_DEMUXER_NOT_FOUND;
    }
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) {
        av_dict_free(options);
        return AVERROR(ENOMEM);
    }
    const int ret = avformat_open_input(&opened, url.constData(), format, options);
    av_dict_free(options);
    if (ret < 0)
        return ret;   // avformat_open_input freed the context
    *ctx = opened;
    return 0;
}

} // namespace pax_platform
