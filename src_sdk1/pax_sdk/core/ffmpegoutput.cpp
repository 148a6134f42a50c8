#include "ffmpegoutput.h"

#include "paxaacencoder.h"
#include "paxavptr.h"
#include "paxfragmentedmp4.h"
#include "paxh264options.h"
#include "paxintool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QWaitCondition>

#include <libyuv/convert_from_argb.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <thread>
#include <vector>

namespace {

constexpr int kAudioBufferBytes = 88200;       // converted samples of one input frame
constexpr int kAccumulatorBytes = 110250;      // resampled audio waiting for a full encoder frame
constexpr int kBytesPerSample = 4;             // float, mono
constexpr int kAudioFrameBytes = FfmpegOutput::kAudioFrameSamples * kBytesPerSample;
constexpr int kDriftLimitMs = 100;
constexpr qint64 kDriftStepUs = 5000;

} // namespace

// ---- settings of the video encoder ------------------------------------------------------------

qint64 FfmpegOutput::bitRateOf(int bitrateValue)
{
    return paxh264::bitRateOf(bitrateValue);
}

FfmpegEncoderSettings FfmpegOutput::encoderSettings(const _MFCC_Record_InfoS& info, int pixelFormat, int fps)
{
    paxh264::RecordSettings record;
    record.bitrateType = info.bitrateType;
    record.bitRate = bitRateOf(info.bitrateValue);
    record.quantizationParameter = info.quantizationParameter;
    record.profile = info.profile;
    record.preset = info.preset;
    record.encoderName = info.videoEncoder;
    FfmpegEncoderSettings s = paxh264::encoderSettings(record, pixelFormat, fps);
    s.globalHeader = true;   // H.264 into MP4
    return s;
}

// ---- state ----------------------------------------------------------------------------------------

struct QueuedFrame {
    paxav::Frame frame;
    qint64 pts = 0;
};

struct FfmpegOutput::Private {
    std::atomic<int> status{MFCC_Record_Stopped};

    // Parameters: written in the worker thread, read under `lock` by writers.
    _MFCC_Record_InfoS info;
    int width = 0;
    int height = 0;
    int fps = 0;

    // One lock over the check, the use and the release of everything below.
    QMutex lock;
    bool opened = false;
    paxav::OutputContext muxer;
    bool fragmented = false;
    int writeError = 0;   // the first failed write of the recording; nothing is written after it
    paxav::CodecContext videoCodec;
    AVStream* videoStream = nullptr;
    paxav::Packet videoPacket;
    paxav::Packet heldVideo;   // the last video packet, written when the next one comes
    paxav::CodecContext audioCodec;
    AVStream* audioStream = nullptr;
    paxav::Frame audioFrame;
    paxav::Packet audioPacket;
    paxav::Resampler resampler;
    AVChannelLayout resamplerLayout{};
    int resamplerRate = 0;
    int resamplerFormat = -1;
    std::vector<uint8_t> audioBuffer;
    std::vector<uint8_t> accumulator;
    int accumulated = 0;
    qint64 startTime = -1;
    qint64 openTime = -1;
    qint64 pauseStart = -1;
    qint64 audioPackets = 0;
    qint64 lastPts = -1;
    int lastEmittedSeconds = -1;   // per recorder
    bool firstPictureDone = false;

    // Conversion in the producing thread: scaler and the pool of encoder-format frames.
    QMutex convertLock;
    paxav::Scaler scaler;
    int scalerSource[3] = {0, 0, -1};   // width, height, format

    // Queue to the encoding thread.
    QMutex queueLock;
    QWaitCondition queueWake;
    std::deque<QueuedFrame> queue;
    std::vector<paxav::Frame> pool;
    bool accepting = false;
    bool encoderStop = false;
    bool dropEpisode = false;
    VideoCounters counters;
    std::thread encoder;

    qint64 videoTimeMs(qint64 now) const { return startTime < 0 ? 0 : (now - startTime) / 1000; }
    qint64 audioTimeMs() const { return qint64(double(audioPackets) * kAudioFrameSamples * 1000 / kAudioSampleRate); }
};

FfmpegOutput::FfmpegOutput(QObject* parent) : QObject(parent), d(std::make_unique<Private>())
{
    mfccRegisterMetaTypes();
}

FfmpegOutput::~FfmpegOutput()
{
    if (d->status.load() != MFCC_Record_Stopped)
        _myCloseWait();
    _closeAllOpen();
}

_MFCC_Record_StatusE FfmpegOutput::getStatus() const
{
    return _MFCC_Record_StatusE(d->status.load());
}

_MFCC_Record_InfoS FfmpegOutput::getRecordInfo() const
{
    QMutexLocker lock(&d->lock);
    return d->info;
}

FfmpegOutput::VideoCounters FfmpegOutput::videoCounters() const
{
    QMutexLocker lock(&d->queueLock);
    return d->counters;
}

// ---- status -------------------------------------------------------------------------------------

void FfmpegOutput::setStatus(_MFCC_Record_StatusE status)
{
    const int current = d->status.load();
    if (current == int(status))
        return;
    if (current == MFCC_Record_Stopped) {
        if (_openAll() != 0) {
            PAX_LOG_ERROR("_openAll failed");
            emit sigRecordStatusChange(MFCC_Record_Stopped);
            return;
        }
        {
            QMutexLocker lock(&d->lock);
            if (status == MFCC_Record_Paused)
                d->pauseStart = av_gettime();
        }
        d->status.store(int(status));
    } else if (status == MFCC_Record_Stopped) {
        _myCloseWait();
    } else {
        // Pause accounting: the paused time is cut out of the video clock.
        QMutexLocker lock(&d->lock);
        const qint64 now = av_gettime();
        if (status == MFCC_Record_Paused && d->pauseStart < 0) {
            d->pauseStart = now;
        } else if (status == MFCC_Record_Recording && d->pauseStart >= 0) {
            if (d->startTime >= 0)
                d->startTime += now - d->pauseStart;
            d->pauseStart = -1;
        }
        d->status.store(int(status));
    }
    emit sigRecordStatusChange(status);
}

bool FfmpegOutput::_reopen(_MFCC_Record_StatusE previous)
{
    if (previous == MFCC_Record_Stopped)
        return true;
    if (_openAll() != 0) {
        PAX_LOG_ERROR("_openAll failed");
        emit sigRecordStatusChange(MFCC_Record_Stopped);
        return false;
    }
    d->status.store(int(previous));
    return true;
}

void FfmpegOutput::setRecordInfo(_MFCC_Record_InfoS info)
{
    {
        QMutexLocker lock(&d->lock);
        const _MFCC_Record_InfoS& o = d->info;
        if (o.filename == info.filename && o.bAudio == info.bAudio && o.videoEncoder == info.videoEncoder &&
            o.bitrateValue == info.bitrateValue && o.bitrateType == info.bitrateType &&
            o.quantizationParameter == info.quantizationParameter && o.profile == info.profile &&
            o.preset == info.preset) {
            d->info.microphoneName = info.microphoneName;
            d->info.microphoneIndex = info.microphoneIndex;
            d->info.microphoneVolume = info.microphoneVolume;
            return;
        }
    }
    const _MFCC_Record_StatusE previous = getStatus();
    if (previous != MFCC_Record_Stopped)
        _myCloseWait();
    {
        QMutexLocker lock(&d->lock);
        d->info = info;
    }
    _reopen(previous);
}

void FfmpegOutput::setWidthHeightFramerate(int width, int height, int fps)
{
    {
        QMutexLocker lock(&d->lock);
        if (d->width == width && d->height == height && d->fps == fps)
            return;
    }
    const _MFCC_Record_StatusE previous = getStatus();
    if (previous != MFCC_Record_Stopped)
        _myCloseWait();
    {
        QMutexLocker lock(&d->lock);
        d->width = width;
        d->height = height;
        d->fps = fps;
    }
    _reopen(previous);
}

void FfmpegOutput::slotInvalidExit()
{
    if (d->status.load() == MFCC_Record_Stopped)
        return;
    _myCloseWait();
    emit sigRecordStatusChange(MFCC_Record_Stopped);
}

void FfmpegOutput::_myCloseWait()
{
    d->status.store(MFCC_Record_Stopped);
    _closeAllOpen();
}

// ---- open -----------------------------------------------------------------------------------------

int FfmpegOutput::_openAll()
{
    _closeAllOpen();
    _MFCC_Record_InfoS info;
    int width, height, fps;
    {
        QMutexLocker lock(&d->lock);
        info = d->info;
        width = d->width;
        height = d->height;
        fps = d->fps;
    }
    const qint64 br = bitRateOf(info.bitrateValue);
    PAX_LOG_DEBUG("start record, width:%d,height:%d,framerate:%d", width, height, fps);
    PAX_LOG_DEBUG("start record, filename:%s,m_videoEncoderName:%s,m_bAudio:%d", qPrintable(info.filename),
                  qPrintable(info.videoEncoder), int(info.bAudio));
    PAX_LOG_DEBUG("start record, br:%d,m_presetMode:%d,m_bitrateType:%d", int(br >> 20), info.preset,
                  info.bitrateType);
    PAX_LOG_DEBUG("start record, m_quantizationParameter:%d,m_profile:%d", info.quantizationParameter, info.profile);
    if (width <= 0 || height <= 0 || fps <= 0) {
        PAX_LOG_ERROR("no video size or frame rate, width[%d] height[%d] fps[%d]", width, height, fps);
        return -1;
    }

    char err[256];
    QMutexLocker lock(&d->lock);
    const QByteArray path = QFile::encodeName(info.filename);
    AVFormatContext* out = nullptr;
    int ret = avformat_alloc_output_context2(&out, nullptr, nullptr, path.constData());
    if (ret < 0 || !out) {
        PAX_LOG_ERROR("avformat_alloc_output_context2 failed");
        return -1;
    }
    d->muxer.reset(out);
    auto fail = [this, &lock] {
        lock.unlock();
        _closeAllOpen();
        return -1;
    };

    const AVCodec* codec = avcodec_find_encoder_by_name(info.videoEncoder.toLatin1().constData());
    if (!codec) {
        PAX_LOG_ERROR("avcodec_find_encoder_by_name failed, encoderName[%s]", qPrintable(info.videoEncoder));
        return fail();
    }
    d->videoCodec.reset(avcodec_alloc_context3(codec));
    if (!d->videoCodec) {
        PAX_LOG_ERROR("avcodec_alloc_context3 failed");
        return fail();
    }
    AVCodecContext* vc = d->videoCodec.get();
    const AVPixelFormat pixelFormat = paxh264::encoderPixelFormat(codec, info.videoEncoder);
    const FfmpegEncoderSettings s = encoderSettings(info, pixelFormat, fps);
    vc->width = width;
    vc->height = height;
    vc->time_base = AVRational{1, fps};
    vc->framerate = AVRational{fps, 1};
    vc->pix_fmt = pixelFormat;
    AVDictionary* options = nullptr;
    paxh264::applyEncoderSettings(vc, s, &options);
    ret = avcodec_open2(vc, codec, &options);
    av_dict_free(&options);
    if (ret < 0) {
        PAX_LOG_ERROR("avcodec_open2 failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return fail();
    }
    d->videoStream = avformat_new_stream(out, nullptr);
    if (!d->videoStream) {
        PAX_LOG_ERROR("avformat_new_stream failed");
        return fail();
    }
    avcodec_parameters_from_context(d->videoStream->codecpar, vc);
    d->videoStream->time_base = AVRational{1, 600};

    ret = avio_open(&out->pb, path.constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        PAX_LOG_ERROR("avio_open failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return fail();
    }

    if (info.bAudio) {
        d->accumulator.assign(kAccumulatorBytes, 0);
        d->accumulated = 0;
        paxaac::Encoder aac;
        const paxaac::OpenResult opened = paxaac::open(out, aac);
        d->audioCodec = std::move(aac.context);
        d->audioStream = aac.stream;
        d->audioFrame = std::move(aac.frame);
        if (!opened.ok()) {
            PAX_LOG_ERROR("%s failed, retval[%d] errorStr[%s]", opened.failedCall, opened.ret,
                          paxav::errorText(opened.ret, err));
            return fail();
        }
        d->audioPacket.reset(av_packet_alloc());
        if (!d->audioPacket)
            return fail();
        d->audioBuffer.assign(kAudioBufferBytes, 0);
    }

    // Fragmented while recording: a killed process leaves a playable file up to its last
    // fragment; the clean stop rewrites it as a plain MP4.
    AVDictionary* muxOptions = nullptr;
    d->fragmented = paxmp4::isMp4Family(out->oformat);
    if (d->fragmented)
        paxmp4::addFragmentOptions(&muxOptions);
    ret = avformat_write_header(out, &muxOptions);
    av_dict_free(&muxOptions);
    if (ret < 0) {
        PAX_LOG_ERROR("avformat_write_header failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return fail();
    }
    av_dump_format(out, 0, path.constData(), 1);

    d->videoPacket.reset(av_packet_alloc());
    d->heldVideo.reset(av_packet_alloc());
    if (!d->videoPacket || !d->heldVideo)
        return fail();
    d->startTime = av_gettime();
    d->openTime = d->startTime;
    d->pauseStart = -1;
    d->audioPackets = 0;
    d->lastPts = -1;
    d->lastEmittedSeconds = -1;
    d->firstPictureDone = false;
    d->writeError = 0;
    d->opened = true;
    lock.unlock();

    {
        QMutexLocker q(&d->queueLock);
        d->counters = VideoCounters();
        d->encoderStop = false;
        d->accepting = true;
        d->dropEpisode = false;
    }
    d->encoder = std::thread([this] { _encodeLoop(); });
    return 0;
}

// ---- release ----------------------------------------------------------------------------------

void FfmpegOutput::_closeAllOpen()
{
    // No new frame enters; the encoding thread writes what is queued, then ends.
    {
        QMutexLocker q(&d->queueLock);
        d->accepting = false;
        d->encoderStop = true;
    }
    d->queueWake.wakeAll();
    if (d->encoder.joinable())
        d->encoder.join();
    {
        QMutexLocker c(&d->convertLock);   // waits for a conversion in flight
        d->scaler.reset();
    }
    QString finished;
    bool fragmented = false;
    bool failed = false;
    {
        QMutexLocker lock(&d->lock);
        if (d->opened && d->videoCodec && d->writeError == 0) {
            // Drain the encoder.
            avcodec_send_frame(d->videoCodec.get(), nullptr);
            while (avcodec_receive_packet(d->videoCodec.get(), d->videoPacket.get()) == 0)
                _writeVideoPacket();
            if (d->heldVideo && d->heldVideo->size > 0)
                _writePacket(d->heldVideo.get());   // its duration: one frame
        }
        if (d->opened && d->startTime >= 0) {
            if (d->writeError == 0)
                av_write_trailer(d->muxer.get());
            finished = d->info.filename;
            fragmented = d->fragmented;
            failed = d->writeError < 0;
        }
        d->opened = false;
        d->startTime = -1;
        d->pauseStart = -1;
        d->audioPackets = 0;
        d->resampler.reset();
        av_channel_layout_uninit(&d->resamplerLayout);
        d->videoPacket.reset();
        d->heldVideo.reset();
        d->audioPacket.reset();
        d->audioFrame.reset();
        d->audioBuffer = std::vector<uint8_t>();
        d->accumulator = std::vector<uint8_t>();
        d->accumulated = 0;
        d->videoCodec.reset();
        d->audioCodec.reset();
        d->videoStream = nullptr;
        d->audioStream = nullptr;
        d->muxer.reset();
    }
    {
        QMutexLocker q(&d->queueLock);
        d->queue.clear();
        d->pool.clear();
    }
    if (!fragmented || finished.isEmpty())
        return;
    if (failed) {
        // What was written stays: cut back to its whole fragments, made plain when there is room.
        const int ret = paxmp4::finishAfterFailedWrite(finished);
        PAX_LOG_ERROR("recording[%s] ended by a failed write, the part written is kept%s", qPrintable(finished),
                      ret < 0 ? " as fragments" : "");
        return;
    }
    _rewritePlain(finished);
}

void FfmpegOutput::_rewritePlain(const QString& filename)
{
    const int ret = paxmp4::rewriteAsPlain(filename);
    if (ret < 0) {
        char err[256];
        PAX_LOG_ERROR("rewriting the recording[%s] failed, retval[%d] errStr[%s]; it stays fragmented",
                      qPrintable(filename), ret, paxav::errorText(ret, err));
    }
}

// ---- video ----------------------------------------------------------------------------------------

int FfmpegOutput::writeVideoFrame(AVFrame* frame, AVCodecContext* decoder)
{
    if (!frame || !decoder)
        return -1;
    return _queueVideo(frame->data, frame->linesize, decoder->width, decoder->height, decoder->pix_fmt);
}

void FfmpegOutput::slotSendVideoFrameForRecord(_Ffmpeg_Video_Frame_SendS frame)
{
    writeVideoFrame(frame.frame, frame.codecCtx);
}

void FfmpegOutput::slotSendVideoImageForRecord(const QImage& image)
{
    AVPixelFormat format;
    switch (image.format()) {
    case QImage::Format_ARGB32:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        format = AV_PIX_FMT_BGRA;   // little-endian 0xAARRGGBB
        break;
    case QImage::Format_RGB888:
        format = AV_PIX_FMT_RGB24;
        break;
    default: {
        const QImage converted = image.convertToFormat(QImage::Format_RGB32);
        slotSendVideoImageForRecord(converted);
        return;
    }
    }
    const uint8_t* data[4] = {image.constBits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    _queueVideo(data, strides, image.width(), image.height(), format);
}

int FfmpegOutput::_queueVideo(const uint8_t* const* data, const int* strides, int width, int height, int pixelFormat)
{
    const qint64 arrival = av_gettime();
    if (d->status.load() != MFCC_Record_Recording)
        return -1;
    int encWidth, encHeight, encFormat;
    {
        QMutexLocker lock(&d->lock);
        if (!d->opened)
            return -1;
        encWidth = d->videoCodec->width;
        encHeight = d->videoCodec->height;
        encFormat = d->videoCodec->pix_fmt;
    }
    // A free frame of the pool, or drop this one when the queue is full.
    paxav::Frame target;
    {
        QMutexLocker q(&d->queueLock);
        if (!d->accepting)
            return -1;
        if (int(d->queue.size()) >= kVideoQueueFrames) {
            ++d->counters.dropped;
            if (!d->dropEpisode)
                PAX_LOG_ERROR("the video encoder falls behind: frames are dropped");
            d->dropEpisode = true;
            return -1;
        }
        d->dropEpisode = false;
        if (!d->pool.empty()) {
            target = std::move(d->pool.back());
            d->pool.pop_back();
        }
    }
    if (!target) {
        target.reset(av_frame_alloc());
        if (!target)
            return -1;
        target->format = encFormat;
        target->width = encWidth;
        target->height = encHeight;
        if (av_frame_get_buffer(target.get(), 0) < 0)
            return -1;
    }
    if (av_frame_make_writable(target.get()) < 0)
        return -1;
    {
        QMutexLocker c(&d->convertLock);
        if (encFormat == AV_PIX_FMT_YUV420P && pixelFormat == AV_PIX_FMT_BGRA && width == encWidth &&
            height == encHeight) {
            libyuv::ARGBToI420(data[0], strides[0], target->data[0], target->linesize[0], target->data[1],
                               target->linesize[1], target->data[2], target->linesize[2], width, height);
        } else {
            int* src = d->scalerSource;
            if (!d->scaler || src[0] != width || src[1] != height || src[2] != pixelFormat) {
                d->scaler.reset(sws_getContext(width, height, AVPixelFormat(pixelFormat), encWidth, encHeight,
                                               AVPixelFormat(encFormat), SWS_BICUBIC, nullptr, nullptr, nullptr));
                src[0] = width;
                src[1] = height;
                src[2] = pixelFormat;
            }
            if (!d->scaler) {
                PAX_LOG_ERROR("sws_getContext failed, format[%d] %dx%d", pixelFormat, width, height);
                return -1;
            }
            sws_scale(d->scaler.get(), data, strides, 0, height, target->data, target->linesize);
        }
    }
    // Time stamp on the frame grid of the encoder, from the pause-free video clock.
    qint64 pts;
    {
        QMutexLocker lock(&d->lock);
        if (!d->opened || d->status.load() != MFCC_Record_Recording)
            return -1;
        if (d->pauseStart >= 0) {
            d->startTime += arrival - d->pauseStart;
            d->pauseStart = -1;
        }
        if (d->info.bAudio && d->audioPackets == 0) {
            // The video clock waits for the audio: frames before the first audio are not kept.
            d->startTime = arrival;
            return -1;
        }
        const qint64 elapsedUs = qMax<qint64>(0, arrival - d->startTime);
        pts = (elapsedUs * d->fps + 500000) / 1000000;
        if (pts <= d->lastPts)
            pts = d->lastPts + 1;
        d->lastPts = pts;
    }
    target->pts = pts;
    {
        QMutexLocker q(&d->queueLock);
        if (!d->accepting)
            return -1;
        d->queue.push_back(QueuedFrame{std::move(target), pts});
        ++d->counters.queued;
    }
    d->queueWake.wakeAll();
    return 0;
}

void FfmpegOutput::_encodeLoop()
{
    while (true) {
        QueuedFrame item;
        {
            QMutexLocker q(&d->queueLock);
            while (d->queue.empty() && !d->encoderStop)
                d->queueWake.wait(&d->queueLock);
            if (d->queue.empty())
                return;   // stopped and drained
            item = std::move(d->queue.front());
            d->queue.pop_front();
        }
        {
            QMutexLocker lock(&d->lock);
            if (d->opened) {
                if (!d->firstPictureDone) {
                    d->firstPictureDone = true;
                    PAX_LOG_DEBUG("first video frame, %lld ms after the open",
                                  static_cast<long long>((av_gettime() - d->openTime) / 1000));
                    _saveFirstPicture(item.frame.get());
                }
                const int ret = avcodec_send_frame(d->videoCodec.get(), item.frame.get());
                if (ret < 0) {
                    char err[256];
                    PAX_LOG_ERROR("avcodec_send_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
                }
                while (avcodec_receive_packet(d->videoCodec.get(), d->videoPacket.get()) == 0)
                    _writeVideoPacket();
            }
        }
        QMutexLocker q(&d->queueLock);
        ++d->counters.encoded;
        d->pool.push_back(std::move(item.frame));
    }
}

// Writes d->videoPacket (lock held) and reports the recorded seconds.
void FfmpegOutput::_writeVideoPacket()
{
    AVPacket* packet = d->videoPacket.get();
    if (packet->size <= 0) {
        av_packet_unref(packet);
        return;
    }
    packet->stream_index = d->videoStream->index;
    // One frame period: a fragment that ends with this frame hands the next one a later start.
    packet->duration = 1;
    av_packet_rescale_ts(packet, d->videoCodec->time_base, d->videoStream->time_base);
    const qint64 now = av_gettime();
    if (d->info.bAudio) {
        const qint64 drift = d->audioTimeMs() - d->videoTimeMs(now);
        if (drift > kDriftLimitMs)
            d->startTime -= kDriftStepUs;
        else if (drift < -kDriftLimitMs)
            d->startTime += kDriftStepUs;
    }
    // Video goes out one packet late, with the exact duration up to this packet: a fragment that
    // ends with it then hands the next fragment its true start time.
    AVPacket* held = d->heldVideo.get();
    if (held->size <= 0) {
        av_packet_move_ref(held, packet);
        return;
    }
    held->duration = qMax<int64_t>(1, packet->dts - held->dts);
    // Seconds written: the time of the written frame on the pause-free video clock.
    const AVRational tb = d->videoStream->time_base;
    const int seconds = held->pts == AV_NOPTS_VALUE || held->pts < 0 ? 0 : int(held->pts * tb.num / tb.den);
    const int ret = _writePacket(held);
    av_packet_unref(held);
    av_packet_move_ref(held, packet);
    if (ret < 0)
        return;
    if (seconds != d->lastEmittedSeconds) {
        d->lastEmittedSeconds = seconds;
        emit sigRecordTimeChange(seconds);
    }
}

// Writes a packet into the file (lock held). The first failure (a full disk, an I/O error) is
// logged, nothing more is written, and the recording is ended in the recorder's own thread.
int FfmpegOutput::_writePacket(AVPacket* packet)
{
    if (d->writeError < 0)
        return d->writeError;
    const int ret = paxmp4::writePacket(d->muxer.get(), packet, d->fragmented);
    if (ret >= 0)
        return ret;
    d->writeError = ret;
    char err[256];
    PAX_LOG_ERROR("av_interleaved_write_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
    {
        QMutexLocker q(&d->queueLock);
        d->accepting = false;
    }
    QMetaObject::invokeMethod(this, &FfmpegOutput::_endAfterWriteFailure, Qt::QueuedConnection);
    return ret;
}

void FfmpegOutput::_endAfterWriteFailure()
{
    if (d->status.load() == MFCC_Record_Stopped)
        return;
    _myCloseWait();
    emit sigRecordStatusChange(MFCC_Record_Stopped);
}

int FfmpegOutput::writeError() const
{
    QMutexLocker lock(&d->lock);
    return d->writeError;
}

// The recording's first picture, beside it as "mytemp_<name>.jpg" (lock held).
void FfmpegOutput::_saveFirstPicture(const AVFrame* frame)
{
    const int w = frame->width;
    const int h = frame->height;
    paxav::Scaler toRgb(sws_getContext(w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr,
                                     nullptr, nullptr));
    if (!toRgb)
        return;
    QImage picture(w, h, QImage::Format_RGB888);
    uint8_t* dst[4] = {picture.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(picture.bytesPerLine()), 0, 0, 0};
    sws_scale(toRgb.get(), frame->data, frame->linesize, 0, h, dst, dstStride);
    const QFileInfo fi(d->info.filename);
    const QString name = QStringLiteral("%1/mytemp_%2.%3")
                             .arg(fi.absolutePath(), fi.fileName().section(QLatin1Char('.'), 0, 0),
                                  QStringLiteral("jpg"));
    if (!picture.save(name, "jpg", 100))
        PAX_LOG_ERROR("cannot save the first picture[%s]", qPrintable(name));
}

// ---- audio ----------------------------------------------------------------------------------------

void FfmpegOutput::slotSendAudioFrame(_Ffmpeg_Audio_Frame_SendS frame)
{
    writeAudioFrame(frame.frame, frame.codecCtx);
}

int FfmpegOutput::writeAudioFrame(AVFrame* frame, AVCodecContext* decoder)
{
    Q_UNUSED(decoder);
    if (!frame || frame->nb_samples <= 0)
        return -1;
    QMutexLocker lock(&d->lock);
    if (!d->opened || !d->info.bAudio || !d->audioCodec || d->status.load() != MFCC_Record_Recording)
        return -1;
    // The input layout is the frame's own: a mono device delivers one channel.
    AVChannelLayout inLayout{};
    if (frame->ch_layout.nb_channels > 0 && frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    else
        av_channel_layout_default(&inLayout, qMax(1, frame->ch_layout.nb_channels));
    if (!d->resampler || av_channel_layout_compare(&inLayout, &d->resamplerLayout) != 0 ||
        d->resamplerRate != frame->sample_rate || d->resamplerFormat != frame->format) {
        d->resampler.reset();
        SwrContext* swr = nullptr;
        int ret = swr_alloc_set_opts2(&swr, &d->audioCodec->ch_layout, d->audioCodec->sample_fmt, kAudioSampleRate,
                                      &inLayout, AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        if (ret < 0 || !swr) {
            PAX_LOG_ERROR("swr_alloc failed");
            av_channel_layout_uninit(&inLayout);
            return -1;
        }
        d->resampler.reset(swr);
        if ((ret = swr_init(swr)) < 0) {
            char err[256];
            PAX_LOG_ERROR("swr_init failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
            d->resampler.reset();
            av_channel_layout_uninit(&inLayout);
            return -1;
        }
        av_channel_layout_uninit(&d->resamplerLayout);
        av_channel_layout_copy(&d->resamplerLayout, &inLayout);
        d->resamplerRate = frame->sample_rate;
        d->resamplerFormat = frame->format;
    }
    av_channel_layout_uninit(&inLayout);

    uint8_t* out[1] = {d->audioBuffer.data()};
    const int capacity = kAudioBufferBytes / kBytesPerSample;
    const int converted = swr_convert(d->resampler.get(), out, capacity,
                                      const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0)
        return -1;
    const int bytes = qMin(converted * kBytesPerSample, kAccumulatorBytes - d->accumulated);
    std::memcpy(d->accumulator.data() + d->accumulated, d->audioBuffer.data(), size_t(bytes));
    d->accumulated += bytes;

    int consumed = 0;
    while (d->accumulated - consumed >= kAudioFrameBytes) {
        AVFrame* af = d->audioFrame.get();
        if (av_frame_make_writable(af) < 0)
            break;
        std::memcpy(af->data[0], d->accumulator.data() + consumed, kAudioFrameBytes);
        af->nb_samples = kAudioFrameSamples;
        af->pts = d->audioPackets * kAudioFrameSamples;
        consumed += kAudioFrameBytes;
        int ret = avcodec_send_frame(d->audioCodec.get(), af);
        if (ret < 0) {
            char err[256];
            PAX_LOG_ERROR("avcodec_send_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            continue;
        }
        while (avcodec_receive_packet(d->audioCodec.get(), d->audioPacket.get()) == 0) {
            AVPacket* packet = d->audioPacket.get();
            if (packet->size > 0) {
                packet->stream_index = d->audioStream->index;
                packet->pts = packet->dts = d->audioPackets * kAudioFrameSamples;
                packet->duration = kAudioFrameSamples;
                av_packet_rescale_ts(packet, AVRational{1, kAudioSampleRate}, d->audioStream->time_base);
                ++d->audioPackets;
                _writePacket(packet);
            }
            av_packet_unref(packet);
        }
    }
    if (consumed > 0) {
        std::memmove(d->accumulator.data(), d->accumulator.data() + consumed, size_t(d->accumulated - consumed));
        d->accumulated -= consumed;
    }
    return 0;
}
