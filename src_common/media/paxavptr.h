#pragma once
// Owning pointers over FFmpeg objects, one free function each.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <memory>

namespace paxav {

template <typename T, void (*Free)(T**)>
struct FreeAddr {
    void operator()(T* p) const { Free(&p); }
};

using Frame = std::unique_ptr<AVFrame, FreeAddr<AVFrame, av_frame_free>>;
using Packet = std::unique_ptr<AVPacket, FreeAddr<AVPacket, av_packet_free>>;
using CodecContext = std::unique_ptr<AVCodecContext, FreeAddr<AVCodecContext, avcodec_free_context>>;
using InputContext = std::unique_ptr<AVFormatContext, FreeAddr<AVFormatContext, avformat_close_input>>;
using FilterGraph = std::unique_ptr<AVFilterGraph, FreeAddr<AVFilterGraph, avfilter_graph_free>>;
using Resampler = std::unique_ptr<SwrContext, FreeAddr<SwrContext, swr_free>>;

struct SwsFree {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
using Scaler = std::unique_ptr<SwsContext, SwsFree>;

struct FifoFree {
    void operator()(AVAudioFifo* p) const { av_audio_fifo_free(p); }
};
using AudioFifo = std::unique_ptr<AVAudioFifo, FifoFree>;

// The output container: its I/O is closed before the context is freed.
struct OutputFree {
    void operator()(AVFormatContext* p) const
    {
        if (p->pb && !(p->oformat->flags & AVFMT_NOFILE))
            avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
using OutputContext = std::unique_ptr<AVFormatContext, OutputFree>;

// av_strerror text of a result code, written into `buf`.
template <std::size_t N>
inline const char* errorText(int code, char (&buf)[N])
{
    av_strerror(code, buf, sizeof buf);
    return buf;
}

} // namespace paxav
