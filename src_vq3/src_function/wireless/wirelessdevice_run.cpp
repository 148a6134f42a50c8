// The decoding thread of a wireless camera: RTSP over TCP, H.264 decoded and scaled to the chosen size.
#include "wirelessdevice.h"

#include "paxavptr.h"
#include "paxintool.h"

extern "C" {
#include <libavutil/imgutils.h>
}

#include <QDateTime>
#include <mutex>

namespace {
constexpr qint64 OpenTimeoutMs = 10000;    // connecting and probing the stream
constexpr qint64 ReadTimeoutMs = 3000;     // a camera that sends nothing for this long has gone
constexpr qint64 CloseGraceMs = 1000;      // closing the session (TEARDOWN) may take this long

void initNetwork()
{
    static std::once_flag once;
    std::call_once(once, [] { avformat_network_init(); });
}

struct ErrorText {
    char buf[1024];
    const char* operator()(int code) { return paxav::errorText(code, buf); }
};
} // namespace

void WirelessDevice::run()
{
    const int width = m_width;
    const int height = m_height;
    if (width <= 0 || height <= 0) {
        PAX_LOG_ERROR("no frame size chosen, width[%d] height[%d]", width, height);
        return;
    }
    const quint16 port = WirelessProtocol::rtspPort();
    const QByteArray url = ("rtsp://" + m_info.ip + (port == WirelessProtocol::RtspPort ? QString() : ":" + QString::number(port))
                            + "/stream0").toUtf8();
    initNetwork();
    ErrorText err;

    m_closing = 0;
    m_deadline = 0;
    _armWatchdog(OpenTimeoutMs);
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        PAX_LOG_ERROR("avformat_alloc_context failed");
        return;
    }
    // Open and every read give up at once when a stop is asked for.
    raw->interrupt_callback.callback = &WirelessDevice::_interrupt;
    raw->interrupt_callback.opaque = this;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "video_size", QByteArray::number(width).append('x').append(QByteArray::number(height)), 0);
    av_dict_set(&options, "max_delay", "4500000", 0);
    av_dict_set(&options, "timeout", "3000000", 0);    // socket I/O time-out of the RTSP input, in us
    int ret = avformat_open_input(&raw, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (ret < 0) {
        PAX_LOG_ERROR("avformat_open_input failed, ret[%d] errors[%s]", ret, err(ret));
        return;    // the context was freed by the failed open
    }
    paxav::InputContext input(raw);
    // Runs before the input is closed: the close sends TEARDOWN, which a stop request must not cut off.
    struct CloseGrace {
        WirelessDevice* device;
        ~CloseGrace()
        {
            device->m_deadline = QDateTime::currentMSecsSinceEpoch() + CloseGraceMs;
            device->m_closing = 1;
        }
    } closeGrace{this};
    _armWatchdog(OpenTimeoutMs);
    ret = avformat_find_stream_info(input.get(), nullptr);
    if (ret < 0) {
        PAX_LOG_ERROR("avformat_find_stream_info failed, ret[%d] errors[%s]", ret, err(ret));
        return;
    }
    _armWatchdog(ReadTimeoutMs);
    int streamIndex = -1;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            streamIndex = int(i);
            break;
        }
    }
    if (streamIndex < 0) {
        PAX_LOG_ERROR("can not find video stream");
        return;
    }
    const AVCodecParameters* params = input->streams[streamIndex]->codecpar;
    if ((params->width > 0 || params->height > 0)
        && !WirelessProtocol::frameSizeAcceptable(params->width, params->height)) {
        PAX_LOG_ERROR("stream frame size %dx%d refused: more than %d a side or %lld pixels", params->width,
                      params->height, WirelessProtocol::MaxFrameSide, WirelessProtocol::MaxFramePixels);
        return;
    }
    const AVCodec* codec = avcodec_find_decoder(params->codec_id);
    paxav::CodecContext decoder(avcodec_alloc_context3(codec));
    if (!codec || !decoder) {
        PAX_LOG_ERROR("avcodec_open2 failed, ret[%d] errors[%s]", AVERROR_DECODER_NOT_FOUND,
                      err(AVERROR_DECODER_NOT_FOUND));
        return;
    }
    avcodec_parameters_to_context(decoder.get(), params);
    ret = avcodec_open2(decoder.get(), codec, nullptr);
    if (ret != 0) {
        PAX_LOG_ERROR("avcodec_open2 failed, ret[%d] errors[%s]", ret, err(ret));
        return;
    }

    paxav::Frame frame(av_frame_alloc());
    paxav::Packet packet(av_packet_alloc());
    SwsContext* scaler = nullptr;    // rebuilt whenever the decoded size or format changes
    bool decodeFailing = false;
    bool refused = false;
    while (m_stop.load() == 0 && !refused) {
        if (av_read_frame(input.get(), packet.get()) < 0)
            break;    // end, error, stop request or 3 s without data
        _armWatchdog(ReadTimeoutMs);
        if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        ret = avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        while (ret >= 0) {
            ret = avcodec_receive_frame(decoder.get(), frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                break;    // the decoder wants more input: normal while it fills its delay
            if (ret < 0) {
                if (!decodeFailing)
                    PAX_LOG_ERROR("failed to decode video frame, ret[%d] errors[%s]", ret, err(ret));
                decodeFailing = true;
                break;
            }
            decodeFailing = false;
            const AVPixelFormat format = AVPixelFormat(frame->format);
            if (format == AV_PIX_FMT_NONE || frame->width <= 0 || frame->height <= 0)
                continue;
            if (!WirelessProtocol::frameSizeAcceptable(frame->width, frame->height)) {
                PAX_LOG_ERROR("stream frame size %dx%d refused: more than %d a side or %lld pixels", frame->width,
                              frame->height, WirelessProtocol::MaxFrameSide, WirelessProtocol::MaxFramePixels);
                refused = true;
                break;
            }
            scaler = sws_getCachedContext(scaler, frame->width, frame->height, format, width, height,
                                          AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
            if (!scaler)
                continue;
            // Scaled straight into the image that is handed out: BGRA bytes are Format_RGB32 here.
            QImage image(width, height, QImage::Format_RGB32);
            if (image.isNull())
                continue;
            uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
            int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
            _offerFrame(image);
        }
    }
    sws_freeContext(scaler);
}

void WirelessDevice::_armWatchdog(qint64 ms)
{
    if (m_deadline.load() >= 0)
        m_deadline = QDateTime::currentMSecsSinceEpoch() + ms;
}

// FFmpeg polls this while it waits on the network: a stop request or a silent camera ends the wait.
int WirelessDevice::_interrupt(void* opaque)
{
    auto* device = static_cast<WirelessDevice*>(opaque);
    if (device->m_closing.load() != 0)
        return QDateTime::currentMSecsSinceEpoch() > device->m_deadline.load() ? 1 : 0;
    if (device->m_stop.load() != 0)
        return 1;
    // Once silent for too long the run is over, even if the demuxer still hands out queued packets.
    if (device->m_deadline.load() < 0 || QDateTime::currentMSecsSinceEpoch() > device->m_deadline.load()) {
        device->m_deadline = -1;
        return 1;
    }
    return 0;
}
