#include "ffmpegaudioinput.h"

#include "audioinput.h"
#include "paxavptr.h"
#include "paxintool.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {
constexpr int kTryAgainSleepMs = 5;
constexpr int kReadErrorSleepMs = 100;
} // namespace

struct FfmpegAudioInput::Private {
    paxav::InputContext input;
    int audioIndex = -1;
    paxav::CodecContext decoder;
    paxav::Frame frame;
    paxav::Packet packet;
    paxav::FilterGraph graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
};

FfmpegAudioInput::FfmpegAudioInput(QObject* parent) : QThread(parent), d(std::make_unique<Private>())
{
    mfccRegisterMetaTypes();
    connect(this, &QThread::finished, this, &FfmpegAudioInput::slotFinished, Qt::QueuedConnection);
}

FfmpegAudioInput::~FfmpegAudioInput()
{
    _myCloseWait();
}

float FfmpegAudioInput::gain() const
{
    return m_gain;
}

QString FfmpegAudioInput::volumeFilterValue() const
{
    return QString::asprintf("%.2f", double(m_gain));
}

_MFCC_Record_StatusE FfmpegAudioInput::recordStatus() const
{
    return _MFCC_Record_StatusE(m_recordStatus.load());
}

void FfmpegAudioInput::setAudioInfo(bool bAudio, QString microphoneName, int microphoneIndex, int volume)
{
    _myCloseWait();
    m_bAudio = bAudio;
    m_microphoneName = microphoneName;
    m_microphoneIndex = microphoneIndex;
    m_gain = float(volume) / 100.0f;
    _ioctlStatusChange();
}

void FfmpegAudioInput::slotRecordStatusChange(_MFCC_Record_StatusE status)
{
    m_recordStatus.store(int(status));
    _ioctlStatusChange();
}

void FfmpegAudioInput::slotFinished()
{
    if (!m_endedByItself.exchange(false) || m_stop.load() != 0)
        return;
    wait();   // finished() comes just before the thread is fully done
    PAX_LOG_ERROR("thread invalid exit");
    m_stop.store(1);
    emit sigInvalidExit();
}

void FfmpegAudioInput::_ioctlStatusChange()
{
    const int status = m_recordStatus.load();
    if (status == MFCC_Record_Recording || status == MFCC_Record_Paused) {
        if (m_bAudio)
            _myStart();
    } else if (status == MFCC_Record_Stopped) {
        _myCloseWait();
    }
}

void FfmpegAudioInput::_myStart()
{
    if (m_stop.load() == 0 && isRunning())
        return;
    if (isRunning())
        wait();   // ended by itself; its finished notice is still on the way
    m_endedByItself.store(false);
    m_stop.store(0);
    start();
}

void FfmpegAudioInput::_myCloseWait()
{
    m_stop.store(1);
    wait();
}

void FfmpegAudioInput::run()
{
    _closeAllOpen();
    if (_openAll() != 0) {
        PAX_LOG_ERROR("_openAll failed");
    } else {
        _readLoop();
    }
    _closeAllOpen();
    m_endedByItself.store(m_stop.load() == 0);
}

void FfmpegAudioInput::_closeAllOpen()
{
    d->graph.reset();
    d->source = nullptr;
    d->sink = nullptr;
    d->packet.reset();
    d->frame.reset();
    d->decoder.reset();
    d->input.reset();
    d->audioIndex = -1;
}

int FfmpegAudioInput::_openAll()
{
    PAX_LOG_DEBUG("start audio input, m_bAudio[%d] m_microphoneName[%s] m_microphoneIndex[%d] m_fMicVolume[%f]",
                  int(m_bAudio), qPrintable(m_microphoneName), m_microphoneIndex, double(m_gain));
    if (m_microphoneIndex < 0) {
        PAX_LOG_ERROR("not set microphone");
        return -1;
    }
    std::unique_ptr<pax_platform::AudioInput> microphone = pax_platform::audioInputAt(m_microphoneIndex);
    if (!microphone) {
        pax_platform::listAudioSources();   // nothing listed in this process yet
        microphone = pax_platform::audioInputAt(m_microphoneIndex);
    }
    if (!microphone) {
        PAX_LOG_ERROR("no microphone at index[%d]", m_microphoneIndex);
        return -1;
    }
    const QByteArray deviceName = microphone->deviceName().toUtf8();
    PAX_LOG_DEBUG("open microphone, deviceName[%s]", deviceName.constData());
    char err[256];
    int ret = 0;
    for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
        if (m_stop.load() != 0)
            return -1;
        AVFormatContext* ctx = nullptr;
        ret = microphone->open(&ctx, 1);
        if (ret >= 0) {
            d->input.reset(ctx);
            break;
        }
        PAX_LOG_ERROR("avformat_open_input failed, retval[%d] deviceName[%s] errStr[%s]", ret, deviceName.constData(),
                      paxav::errorText(ret, err));
        if (attempt == kOpenAttempts) {
            PAX_LOG_ERROR("test 10 count, avformat_open_input failed, retval[%d] deviceName[%s]", ret,
                          deviceName.constData());
            return -1;
        }
        QThread::msleep(kOpenRetryMs);
    }
    PAX_LOG_DEBUG("avformat_open_input success, retval[%d] deviceName[%s]", ret, deviceName.constData());

    AVFormatContext* ctx = d->input.get();
    if ((ret = avformat_find_stream_info(ctx, nullptr)) < 0) {
        PAX_LOG_ERROR("avformat_find_stream_info failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    for (unsigned i = 0; i < ctx->nb_streams && d->audioIndex < 0; ++i) {
        if (ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            d->audioIndex = int(i);
    }
    if (d->audioIndex < 0) {
        PAX_LOG_ERROR("couldn't find a audio stream");
        return -1;
    }
    const AVCodecParameters* par = ctx->streams[d->audioIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        PAX_LOG_ERROR("avcodec_find_decoder failed, codec_id[%d]", int(par->codec_id));
        return -1;
    }
    d->decoder.reset(avcodec_alloc_context3(codec));
    if (!d->decoder)
        return -1;
    if ((ret = avcodec_parameters_to_context(d->decoder.get(), par)) < 0) {
        PAX_LOG_ERROR("avcodec_parameters_to_context failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    if ((ret = avcodec_open2(d->decoder.get(), codec, nullptr)) < 0) {
        PAX_LOG_ERROR("avcodec_open2 failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    // The decoder keeps the device's own layout: the frames say how many channels they carry.
    d->frame.reset(av_frame_alloc());
    d->packet.reset(av_packet_alloc());
    if (!d->frame || !d->packet)
        return -1;
    if (_initVolumnFilter() != 0) {
        PAX_LOG_ERROR("_initVolumnFilter failed");
        return -1;
    }
    return 0;
}

int FfmpegAudioInput::_initVolumnFilter()
{
    d->graph.reset(avfilter_graph_alloc());
    if (!d->graph)
        return -1;
    const AVCodecContext* dec = d->decoder.get();
    AVChannelLayout layout{};
    if (dec->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && dec->ch_layout.nb_channels > 0)
        av_channel_layout_copy(&layout, &dec->ch_layout);
    else
        av_channel_layout_default(&layout, qMax(1, dec->ch_layout.nb_channels));
    char layoutName[64] = {0};
    av_channel_layout_describe(&layout, layoutName, sizeof layoutName);
    av_channel_layout_uninit(&layout);
    const char* formatName = av_get_sample_fmt_name(dec->sample_fmt);
    const QByteArray args = QStringLiteral("channel_layout=%1:sample_fmt=%2:time_base=1/%3:sample_rate=%3")
                                .arg(QString::fromLatin1(layoutName), QString::fromLatin1(formatName ? formatName : ""))
                                .arg(dec->sample_rate)
                                .toLatin1();
    if (avfilter_graph_create_filter(&d->source, avfilter_get_by_name("abuffer"), "src", args.constData(), nullptr,
                                     d->graph.get()) < 0)
        return -1;
    AVFilterContext* volume = nullptr;
    const QByteArray volumeArgs = "volume=" + volumeFilterValue().toLatin1();
    if (avfilter_graph_create_filter(&volume, avfilter_get_by_name("volume"), "volume", volumeArgs.constData(),
                                     nullptr, d->graph.get()) < 0)
        return -1;
    if (avfilter_graph_create_filter(&d->sink, avfilter_get_by_name("abuffersink"), "sink", nullptr, nullptr,
                                     d->graph.get()) < 0)
        return -1;
    if (avfilter_link(d->source, 0, volume, 0) < 0 || avfilter_link(volume, 0, d->sink, 0) < 0)
        return -1;
    return avfilter_graph_config(d->graph.get(), nullptr) < 0 ? -1 : 0;
}

int FfmpegAudioInput::_audioVolumeFilterHandle(AVFrame* frame)
{
    if (av_buffersrc_add_frame_flags(d->source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0)
        return -1;
    paxav::Frame filtered(av_frame_alloc());
    if (!filtered || av_buffersink_get_frame(d->sink, filtered.get()) < 0)
        return -1;
    av_frame_unref(frame);
    av_frame_move_ref(frame, filtered.get());
    return 0;
}

void FfmpegAudioInput::_readLoop()
{
    char err[256];
    bool readErrorLogged = false;
    while (m_stop.load() == 0) {
        int ret = av_read_frame(d->input.get(), d->packet.get());
        if (ret == AVERROR(EAGAIN)) {
            QThread::msleep(kTryAgainSleepMs);
            continue;
        }
        if (ret < 0) {
            if (!readErrorLogged)
                PAX_LOG_ERROR("av_read_frame failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
            readErrorLogged = true;
            QThread::msleep(kReadErrorSleepMs);
            continue;
        }
        readErrorLogged = false;
        if (d->packet->stream_index != d->audioIndex) {
            PAX_LOG_ERROR("stream_index[%d] is not audioindex[%d]", d->packet->stream_index, d->audioIndex);
        } else if ((ret = avcodec_send_packet(d->decoder.get(), d->packet.get())) < 0) {
            PAX_LOG_ERROR("avcodec_send_packet failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        } else {
            while (avcodec_receive_frame(d->decoder.get(), d->frame.get()) == 0) {
                if (_audioVolumeFilterHandle(d->frame.get()) != 0)
                    PAX_LOG_ERROR("_audioVolumeFilterHandle failed");
                emit sigSendAudioFrame(_Ffmpeg_Audio_Frame_SendS{d->frame.get(), d->decoder.get()});
                av_frame_unref(d->frame.get());
            }
        }
        av_packet_unref(d->packet.get());
    }
}
