#pragma once
// Owning pointers over the FFmpeg objects of the capture pipeline, one free function each.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

// Frees through a function taking the pointer's address (av_frame_free, avcodec_free_context...).
template <typename T, void (*Free)(T**)>
struct PaxAvAddrFree {
    void operator()(T* p) const { Free(&p); }
};
template <typename T, void (*Free)(T**)>
using PaxAvPtr = std::unique_ptr<T, PaxAvAddrFree<T, Free>>;

using PaxAvFrame = PaxAvPtr<AVFrame, av_frame_free>;
using PaxAvPacket = PaxAvPtr<AVPacket, av_packet_free>;
using PaxAvCodecContext = PaxAvPtr<AVCodecContext, avcodec_free_context>;
using PaxAvInput = PaxAvPtr<AVFormatContext, avformat_close_input>;
using PaxAvFilterGraph = PaxAvPtr<AVFilterGraph, avfilter_graph_free>;
using PaxAvResampler = PaxAvPtr<SwrContext, swr_free>;

struct PaxAvScalerFree {
    void operator()(SwsContext* p) const { sws_freeContext(p); }
};
using PaxAvScaler = std::unique_ptr<SwsContext, PaxAvScalerFree>;

// The output container: its file is closed before the context is freed.
struct PaxAvOutputFree {
    void operator()(AVFormatContext* p) const
    {
        if (p->pb && !(p->oformat->flags & AVFMT_NOFILE))
            avio_closep(&p->pb);
        avformat_free_context(p);
    }
};
using PaxAvOutput = std::unique_ptr<AVFormatContext, PaxAvOutputFree>;

// av_strerror text of a result code.
inline const char* paxAvError(int code, char (&buf)[256])
{
    av_strerror(code, buf, sizeof buf);
    return buf;
}
