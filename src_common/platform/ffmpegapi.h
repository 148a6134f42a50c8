#pragma once
// FFmpeg as the platform layer uses it, loaded on first use. The layer links no FFmpeg library,
// so the small programs beside the applications (mytool) start without loading FFmpeg and the
// more than two hundred libraries it pulls in; a process that already holds FFmpeg shares its copy.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libswscale/swscale.h>
}

#include <QString>

namespace pax_platform::ffmpeg {

#define PAX_FFMPEG_FUNCTIONS(F)                                                                    \
    F(avutil, av_dict_free)                                                                        \
    F(avutil, av_dict_set)                                                                         \
    F(avutil, av_frame_alloc)                                                                      \
    F(avutil, av_frame_free)                                                                       \
    F(avutil, av_rescale_q)                                                                        \
    F(avutil, av_strerror)                                                                         \
    F(avcodec, av_packet_alloc)                                                                    \
    F(avcodec, av_packet_free)                                                                     \
    F(avcodec, av_packet_unref)                                                                    \
    F(avcodec, avcodec_alloc_context3)                                                             \
    F(avcodec, avcodec_flush_buffers)                                                              \
    F(avcodec, avcodec_free_context)                                                               \
    F(avcodec, avcodec_open2)                                                                      \
    F(avcodec, avcodec_parameters_to_context)                                                      \
    F(avcodec, avcodec_receive_frame)                                                              \
    F(avcodec, avcodec_send_packet)                                                                \
    F(avformat, av_find_best_stream)                                                               \
    F(avformat, av_find_input_format)                                                              \
    F(avformat, av_guess_frame_rate)                                                               \
    F(avformat, av_read_frame)                                                                     \
    F(avformat, av_seek_frame)                                                                     \
    F(avformat, avformat_alloc_context)                                                            \
    F(avformat, avformat_close_input)                                                              \
    F(avformat, avformat_find_stream_info)                                                         \
    F(avformat, avformat_open_input)                                                               \
    F(avdevice, avdevice_register_all)                                                             \
    F(swscale, sws_freeContext)                                                                    \
    F(swscale, sws_getCoefficients)                                                                \
    F(swscale, sws_getContext)                                                                     \
    F(swscale, sws_scale)                                                                          \
    F(swscale, sws_setColorspaceDetails)

struct Api {
#define PAX_FFMPEG_MEMBER(lib, name) decltype(&::name) name = nullptr;
    PAX_FFMPEG_FUNCTIONS(PAX_FFMPEG_MEMBER)
#undef PAX_FFMPEG_MEMBER
};

// The functions, loaded once per process (thread-safe); with the input devices registered.
// Null when a library or a function is missing; errorString() then says which.
const Api* api();
QString errorString();

} // namespace pax_platform::ffmpeg
