#include "paxaudiorecord.h"

#include "audioinput.h"
#include "paxaacencoder.h"
#include "paxavptr.h"
#include "paxpacketreader.h"
#include "paxrecordscreen.h"
#include "paxscreenlog.h"

#include <QMutexLocker>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

namespace {

// The shape of the audio frames a graph or a resampler was built for.
struct FrameShape {
    AVChannelLayout layout{};
    int rate = 0;
    int format = -1;

    FrameShape() = default;
    FrameShape(const FrameShape&) = delete;
    FrameShape& operator=(const FrameShape&) = delete;
    ~FrameShape() { clear(); }

    void clear() { av_channel_layout_uninit(&layout); }

    void take(const AVFrame* frame)
    {
        clear();
        av_channel_layout_copy(&layout, &frame->ch_layout);
        rate = frame->sample_rate;
        format = frame->format;
    }

    bool matches(const AVFrame* frame) const
    {
        return frame->sample_rate == rate && frame->format == format
               && av_channel_layout_compare(&frame->ch_layout, &layout) == 0;
    }
};

// The channel mask of a layout as logged; 0 for a layout given by count or custom order only.
int layoutMask(const AVChannelLayout& layout)
{
    return layout.order == AV_CHANNEL_ORDER_NATIVE ? int(layout.u.mask) : 0;
}

// The volume graph abuffer -> volume -> abuffersink for frames of one shape.
struct VolumeGraph {
    paxav::FilterGraph graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    FrameShape shape;

    bool matches(const AVFrame* frame) const { return graph && shape.matches(frame); }
};

int initVolumeFilter(VolumeGraph& vg, const AVFrame* frame, double gain)
{
    vg.graph.reset();
    vg.source = vg.sink = nullptr;
    vg.shape.clear();
    paxav::FilterGraph graph(avfilter_graph_alloc());
    if (!graph)
        return -1;
    char layout[64] = {0};
    AVChannelLayout frameLayout{};
    if (frame->ch_layout.nb_channels > 0 && frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(&frameLayout, &frame->ch_layout);
    else
        av_channel_layout_default(&frameLayout, qMax(1, frame->ch_layout.nb_channels));
    av_channel_layout_describe(&frameLayout, layout, sizeof layout);
    av_channel_layout_uninit(&frameLayout);
    const char* formatName = av_get_sample_fmt_name(AVSampleFormat(frame->format));
    if (!formatName || frame->sample_rate <= 0)
        return -1;
    const QByteArray args = QStringLiteral("channel_layout=%1:sample_fmt=%2:time_base=1/%3:sample_rate=%3")
                                .arg(QString::fromLatin1(layout), QString::fromLatin1(formatName))
                                .arg(frame->sample_rate)
                                .toLatin1();
    AVFilterContext* source = nullptr;
    AVFilterContext* volume = nullptr;
    AVFilterContext* sink = nullptr;
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("abuffer"), "src", args.constData(), nullptr,
                                     graph.get()) < 0)
        return -1;
    const QByteArray volumeArgs = QByteArray("volume=") + QByteArray::number(gain, 'f', 2);
    if (avfilter_graph_create_filter(&volume, avfilter_get_by_name("volume"), "volume", volumeArgs.constData(),
                                     nullptr, graph.get()) < 0)
        return -1;
    if (avfilter_graph_create_filter(&sink, avfilter_get_by_name("abuffersink"), "sink", nullptr, nullptr,
                                     graph.get()) < 0)
        return -1;
    if (avfilter_link(source, 0, volume, 0) < 0 || avfilter_link(volume, 0, sink, 0) < 0)
        return -1;
    if (avfilter_graph_config(graph.get(), nullptr) < 0)
        return -1;
    vg.graph = std::move(graph);
    vg.source = source;
    vg.sink = sink;
    vg.shape.take(frame);
    return 0;
}

// The resampler for frames of one shape into the encoder's format.
struct Converter {
    paxav::Resampler swr;
    FrameShape shape;

    bool matches(const AVFrame* frame) const { return swr && shape.matches(frame); }
};

} // namespace

PaxAudioRecord::PaxAudioRecord(PaxRecordScreen* partner, QObject* parent) : QThread(parent), m_partner(partner)
{
}

PaxAudioRecord::~PaxAudioRecord()
{
    myStopWait();
    _releaseReady();
}

QString PaxAudioRecord::gainText(int volume)
{
    return QString::number(volume / 100.0, 'f', 2);
}

void PaxAudioRecord::myStart(int index)
{
    _start([&] { m_deviceIndex = index; });
}

void PaxAudioRecord::myStart(QString name)
{
    _start([&] { m_deviceName = name; });
}

void PaxAudioRecord::_start(const std::function<void()>& store)
{
    QMutexLocker control(&m_controlMutex);
    m_status = PaxRecordStop;
    wait();
    store();
    m_status = PaxRecordRun;
    start();
}

void PaxAudioRecord::myStopWait()
{
    QMutexLocker control(&m_controlMutex);
    m_status = PaxRecordStop;
    wait();
}

void PaxAudioRecord::setMicVolumn(int volume)
{
    QMutexLocker lock(&m_dataMutex);
    m_volume = volume;
}

void PaxAudioRecord::run()
{
    if (m_runStartHook)
        m_runStartHook();
    // Every exit tells the partner, which waits for it before it closes the output.
    struct FinishGuard {
        PaxRecordScreen* partner;
        ~FinishGuard()
        {
            if (partner)
                partner->audioFinish();
        }
    } finish{m_partner};
    if (m_status.load() != PaxRecordRun)
        return;
    // The microphone opens once the output is ready: a source opened earlier would hand over
    // the sound buffered while waiting, ahead of the video.
    if (m_partner) {
        m_partner->waitForVideoReady();
        // The video side gave up or was stopped meanwhile: nothing to record.
        if (m_partner->isVideoFinish() || !m_partner->getAudioBindInfo().audioFrame)
            return;
    }
    if (_doReady() < 0)
        return;
    _playDirect();
    _releaseReady();
}

void PaxAudioRecord::_releaseReady()
{
    m_input.reset();
}

int PaxAudioRecord::_doReady()
{
    std::unique_ptr<pax_platform::AudioInput> input = pax_platform::audioInputAt(m_deviceIndex);
    const QByteArray deviceName = input ? input->deviceName().toLocal8Bit()
                                        : QByteArray("index ") + QByteArray::number(m_deviceIndex);
    PAXSCREEN_DEBUG("open microphone, deviceName[%s]", deviceName.constData());
    AVFormatContext* ctx = nullptr;
    int ret = AVERROR(ENODEV);
    for (int attempt = 0; attempt < 10; ++attempt) {
        ret = input ? input->open(&ctx, 1) : AVERROR(ENODEV);
        if (ret >= 0)
            break;
        PAXSCREEN_ERROR("avformat_open_input failed, retval[%d] deviceName[%s]", ret, deviceName.constData());
        // A stop, of this side or of the video side (asked or done), ends the retries early.
        if (m_status.load() != PaxRecordRun
            || (m_partner && (m_partner->getStatus() == PaxRecordStop || m_partner->isVideoFinish())))
            return -1;
        QThread::msleep(100);
    }
    if (ret < 0 || !ctx)
        return -1;
    PAXSCREEN_DEBUG("avformat_open_input retval[%d] deviceName[%s]", ret, deviceName.constData());
    if (avformat_find_stream_info(ctx, nullptr) < 0) {
        PAXSCREEN_DEBUG("couldn't find stream information");
        avformat_close_input(&ctx);
        return -1;
    }
    m_input.reset(ctx);
    return 0;
}

// One microphone run: the decoder and the conversion into the screen recorder's AAC encoder,
// in named steps. Each step logs its own failure and returns false; what the run made is
// released with it.
struct PaxAudioRecord::Run {
    explicit Run(PaxAudioRecord& owner_) : owner(owner_) {}
    ~Run() { freeConverted(); }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The microphone stream of the opened input, its decoder, frames and packets.
    bool openDecoder();
    // Waits for the video side, then takes its AAC encoder and frame and makes the sample FIFO.
    bool takeHandOver();
    // Reads, decodes, applies the volume, converts and encodes until a stop or the video's end.
    void loop();
    // Every frame the decoder has, through the volume graph into the encoder.
    void decodeFrames();
    // Converts one frame (the layout it really has) into the FIFO, then encodes every full frame.
    bool feed(AVFrame* frame);
    bool prepareConverter(const AVFrame* frame);
    bool reserveConverted(int samples);
    void freeConverted();
    void encodeAndWrite(AVFrame* frame);

    PaxAudioRecord& owner;
    char err[1024] = {0};
    double gain = 1.0;
    int audioIndex = -1;
    paxav::CodecContext decoder;
    paxav::Frame decoded;
    paxav::Frame filtered;
    paxav::Packet packet;
    paxav::Packet output;
    _AudioBindInfoS bind;
    AVCodecContext* encoder = nullptr;   // the screen recorder's
    AVFrame* encodeFrame = nullptr;      // the screen recorder's
    int frameSize = paxaac::kFrameSamples;
    paxav::AudioFifo fifo;
    VolumeGraph volumeGraph;
    bool volumeBroken = false;
    Converter converter;
    uint8_t** converted = nullptr;
    int convertedCapacity = 0;
};

bool PaxAudioRecord::Run::openDecoder()
{
    AVFormatContext* input = owner.m_input.get();
    for (unsigned i = 0; i < input->nb_streams && audioIndex < 0; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            audioIndex = int(i);
    }
    if (audioIndex < 0) {
        PAXSCREEN_ERROR("couldn't find a audio stream");
        return false;
    }
    const AVCodecParameters* par = input->streams[audioIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        PAXSCREEN_ERROR("avcodec_find_decoder failed, codec_id[%d]", int(par->codec_id));
        return false;
    }
    decoder.reset(avcodec_alloc_context3(codec));
    const int ret = decoder ? avcodec_parameters_to_context(decoder.get(), par) : AVERROR(ENOMEM);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_parameters_to_context failed, retval[%d] errorStr[%s]", ret,
                        paxav::errorText(ret, err));
        return false;
    }
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0) {
        PAXSCREEN_ERROR("avcodec_open2 failed");
        return false;
    }
    decoded.reset(av_frame_alloc());
    filtered.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    output.reset(av_packet_alloc());
    return decoded && filtered && packet && output;
}

bool PaxAudioRecord::Run::takeHandOver()
{
    owner.m_partner->waitForVideoReady();
    bind = owner.m_partner->getAudioBindInfo();
    if (!bind.audioFrame || !bind.audioEncoder || !bind.audioStream) {
        PAXSCREEN_ERROR("video init failed");
        return false;
    }
    encoder = bind.audioEncoder;
    encodeFrame = bind.audioFrame;
    frameSize = encoder->frame_size > 0 ? encoder->frame_size : paxaac::kFrameSamples;
    PAXSCREEN_DEBUG("audio input frame, channel_layout[%d] sample_rate[%d] sample_fmt[%d]\n",
                    layoutMask(decoder->ch_layout), decoder->sample_rate, int(decoder->sample_fmt));
    PAXSCREEN_DEBUG("audio output frame, channel_layout[%d] sample_rate[%d] sample_fmt[%d]\n",
                    layoutMask(encoder->ch_layout), encoder->sample_rate, int(encoder->sample_fmt));
    fifo.reset(av_audio_fifo_alloc(encoder->sample_fmt, encoder->ch_layout.nb_channels, 4 * frameSize));
    return bool(fifo);
}

void PaxAudioRecord::Run::loop()
{
    while (owner.m_status.load() == PaxRecordRun) {
        if (owner.m_partner->isVideoFinish())
            break;
        const paxscreen::PacketStep step = paxscreen::readIntoDecoder(
            owner.m_input.get(), packet.get(), audioIndex, "audio", decoder.get(), 5, [] { return false; });
        if (step == paxscreen::PacketStep::Ended)
            break;
        if (step == paxscreen::PacketStep::Decoded)
            decodeFrames();
    }
}

void PaxAudioRecord::Run::decodeFrames()
{
    while (avcodec_receive_frame(decoder.get(), decoded.get()) >= 0) {
        // The volume graph follows the layout of the decoded frames.
        AVFrame* toConvert = decoded.get();
        bool gotFiltered = false;
        if (!volumeBroken && !volumeGraph.matches(decoded.get())) {
            if (initVolumeFilter(volumeGraph, decoded.get(), gain) < 0) {
                PAXSCREEN_ERROR("_initVolumnFilter failed");
                volumeBroken = true;
            }
        }
        if (!volumeBroken) {
            if (av_buffersrc_add_frame_flags(volumeGraph.source, decoded.get(), AV_BUFFERSRC_FLAG_KEEP_REF) >= 0) {
                if (av_buffersink_get_frame(volumeGraph.sink, filtered.get()) >= 0) {
                    toConvert = filtered.get();
                    gotFiltered = true;
                }
            } else {
                PAXSCREEN_ERROR("_audioVolumeFilterHandle failed");
            }
        }
        if (!feed(toConvert))
            PAXSCREEN_ERROR("audio conversion failed");
        // Frames the graph still holds come out with the next calls.
        if (gotFiltered) {
            av_frame_unref(filtered.get());
            while (av_buffersink_get_frame(volumeGraph.sink, filtered.get()) >= 0) {
                feed(filtered.get());
                av_frame_unref(filtered.get());
            }
        }
        av_frame_unref(decoded.get());
    }
}

bool PaxAudioRecord::Run::prepareConverter(const AVFrame* frame)
{
    if (converter.matches(frame))
        return true;
    converter.swr.reset();
    converter.shape.clear();
    SwrContext* swr = nullptr;
    AVChannelLayout inLayout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels <= 0)
        av_channel_layout_default(&inLayout, qMax(1, frame->ch_layout.nb_channels));
    else
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    const int ret = swr_alloc_set_opts2(&swr, &encoder->ch_layout, encoder->sample_fmt, encoder->sample_rate, &inLayout,
                                        AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (ret < 0 || !swr) {
        PAXSCREEN_ERROR("swr_alloc failed");
        swr_free(&swr);
        return false;
    }
    converter.swr.reset(swr);
    if (swr_init(swr) < 0) {
        PAXSCREEN_ERROR("swr_init failed");
        converter.swr.reset();
        return false;
    }
    converter.shape.take(frame);
    PAXSCREEN_DEBUG("audio resampler input, channels[%d] sample_rate[%d] sample_fmt[%d]", frame->ch_layout.nb_channels,
                    frame->sample_rate, frame->format);
    return true;
}

bool PaxAudioRecord::Run::reserveConverted(int samples)
{
    if (samples <= convertedCapacity)
        return true;
    freeConverted();
    if (av_samples_alloc_array_and_samples(&converted, nullptr, encoder->ch_layout.nb_channels, samples,
                                           encoder->sample_fmt, 0) < 0)
        return false;
    convertedCapacity = samples;
    return true;
}

void PaxAudioRecord::Run::freeConverted()
{
    if (converted) {
        av_freep(&converted[0]);
        av_freep(&converted);
    }
    convertedCapacity = 0;
}

bool PaxAudioRecord::Run::feed(AVFrame* frame)
{
    if (!prepareConverter(frame))
        return false;
    if (!reserveConverted(int(swr_get_out_samples(converter.swr.get(), frame->nb_samples))))
        return false;
    const int got = swr_convert(converter.swr.get(), converted, convertedCapacity,
                                const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (got < 0)
        return false;
    if (got > 0 && av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(converted), got) < got)
        return false;
    while (av_audio_fifo_size(fifo.get()) >= frameSize) {
        if (av_frame_make_writable(encodeFrame) < 0)
            return false;
        encodeFrame->nb_samples = frameSize;
        av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(encodeFrame->data), frameSize);
        encodeAndWrite(encodeFrame);
    }
    return true;
}

void PaxAudioRecord::Run::encodeAndWrite(AVFrame* frame)
{
    const int ret = avcodec_send_frame(encoder, frame);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_send_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return;
    }
    while (avcodec_receive_packet(encoder, output.get()) >= 0) {
        output->stream_index = bind.audioStream->index;
        owner.m_partner->writeAudioPacket(output.get());
        av_packet_unref(output.get());
    }
}

void PaxAudioRecord::_playDirect()
{
    if (!m_partner) {
        PAXSCREEN_ERROR("not set video");
        return;
    }
    Run run(*this);
    int volume = 100;
    {
        QMutexLocker lock(&m_dataMutex);
        volume = m_volume;
    }
    PAXSCREEN_DEBUG("microphone volumn[%d]", volume);
    run.gain = volume / 100.0;
    if (run.openDecoder() && run.takeHandOver())
        run.loop();
}
