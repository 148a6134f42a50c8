#include "paxh264options.h"

#include "paxavptr.h"

namespace paxh264 {

namespace {

const char* const kProfiles[] = {"baseline", "extended", "main", "high"};
const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium",    "slow",      "slower",   "veryslow", "placebo"};
const char* const kQuantizers[] = {"51", "23", "13"};

template <int N>
const char* pick(const char* const (&table)[N], int index)
{
    return index >= 0 && index < N ? table[index] : nullptr;
}

} // namespace

const char* profileName(int profile)
{
    return pick(kProfiles, profile);
}

const char* presetName(int preset)
{
    return pick(kPresets, preset);
}

const char* quantizerText(int quantizationParameter)
{
    return pick(kQuantizers, quantizationParameter);
}

int64_t bitRateOf(int step)
{
    if (step >= 0 && step <= 5)
        return int64_t(1048576) << step;
    return 8388608;
}

bool encoderOpens(const QString& name)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name.toLatin1().constData());
    if (!codec)
        return false;
    paxav::CodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx)
        return false;
    ctx->bit_rate = 8000000;
    ctx->width = 1920;
    ctx->height = 1080;
    ctx->time_base = AVRational{1, 25};
    ctx->framerate = AVRational{25, 1};
    ctx->gop_size = 10;
    ctx->max_b_frames = 0;
    ctx->pix_fmt = AV_PIX_FMT_NV12;
    if (codec->pix_fmts) {
        bool nv12 = false;
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
            nv12 = nv12 || *f == AV_PIX_FMT_NV12;
        if (!nv12)
            ctx->pix_fmt = codec->pix_fmts[0];
    }
    AVDictionary* options = nullptr;
    if (codec->id == AV_CODEC_ID_H264)
        av_dict_set(&options, "preset", "slow", 0);
    const int ret = avcodec_open2(ctx.get(), codec, &options);
    av_dict_free(&options);
    return ret >= 0;
}

} // namespace paxh264
