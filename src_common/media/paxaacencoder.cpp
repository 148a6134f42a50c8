#include "paxaacencoder.h"

namespace paxaac {

OpenResult open(AVFormatContext* output, Encoder& encoder)
{
    const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!aac)
        return {"avcodec_find_encoder", AVERROR_ENCODER_NOT_FOUND};
    encoder.context.reset(avcodec_alloc_context3(aac));
    if (!encoder.context)
        return {"avcodec_alloc_context3", AVERROR(ENOMEM)};
    AVCodecContext* a = encoder.context.get();
    a->codec_type = AVMEDIA_TYPE_AUDIO;
    a->sample_fmt = aac->sample_fmts ? aac->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    a->sample_rate = kSampleRate;
    av_channel_layout_default(&a->ch_layout, 1);
    a->time_base = AVRational{1, kSampleRate};
    a->codec_tag = 0;
    a->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    if (output->oformat->flags & AVFMT_GLOBALHEADER)
        a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int ret = avcodec_open2(a, aac, nullptr);
    if (ret < 0)
        return {"avcodec_open2", ret};
    encoder.stream = avformat_new_stream(output, nullptr);
    if (!encoder.stream)
        return {"avformat_new_stream", AVERROR(ENOMEM)};
    avcodec_parameters_from_context(encoder.stream->codecpar, a);
    encoder.stream->time_base = AVRational{1, kSampleRate};
    encoder.frame.reset(av_frame_alloc());
    if (!encoder.frame)
        return {"av_frame_alloc", AVERROR(ENOMEM)};
    encoder.frame->nb_samples = a->frame_size > 0 ? a->frame_size : kFrameSamples;
    encoder.frame->format = a->sample_fmt;
    encoder.frame->sample_rate = a->sample_rate;
    av_channel_layout_copy(&encoder.frame->ch_layout, &a->ch_layout);
    ret = av_frame_get_buffer(encoder.frame.get(), 0);
    if (ret < 0)
        return {"av_frame_get_buffer", ret};
    return {};
}

} // namespace paxaac
