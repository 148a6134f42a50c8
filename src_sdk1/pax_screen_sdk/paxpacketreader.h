#pragma once
// One step of the screen recorder's capture loops (the screen's and the microphone's): the next
// packet of the input, handed to its decoder.

#include "paxavptr.h"
#include "paxscreenlog.h"

#include <QThread>

namespace paxscreen {

enum class PacketStep {
    Decoded,   // a packet went to the decoder: its frames can be received
    Again,     // nothing for the decoder this time (none ready, dropped, another stream's, refused)
    Ended,     // the input ended or failed (logged): the loop ends
};

// Reads the next packet of `input`. None ready yet: sleeps `idleMs`. A packet read while
// `drop()` holds is let go; one of a stream other than `streamIndex` (the `streamName` stream)
// is logged and let go.
template <typename Drop>
PacketStep readIntoDecoder(AVFormatContext* input, AVPacket* packet, int streamIndex, const char* streamName,
                           AVCodecContext* decoder, int idleMs, Drop drop)
{
    char err[256];
    int ret = av_read_frame(input, packet);
    if (ret == AVERROR(EAGAIN)) {
        av_packet_unref(packet);
        QThread::msleep(idleMs);
        return PacketStep::Again;
    }
    if (ret < 0) {
        av_packet_unref(packet);
        PAXSCREEN_ERROR("av_read_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return PacketStep::Ended;
    }
    if (drop()) {
        av_packet_unref(packet);
        return PacketStep::Again;
    }
    if (packet->stream_index != streamIndex) {
        PAXSCREEN_ERROR("stream_index[%d] is not the %s stream[%d]", packet->stream_index, streamName, streamIndex);
        av_packet_unref(packet);
        return PacketStep::Again;
    }
    ret = avcodec_send_packet(decoder, packet);
    av_packet_unref(packet);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_send_packet failed, %s stream, retval[%d] errorStr[%s]", streamName, ret,
                        paxav::errorText(ret, err));
        return PacketStep::Again;
    }
    return PacketStep::Decoded;
}

} // namespace paxscreen
