#include "paxrecordscreen_run.h"

#include "paxaacencoder.h"
#include "paxfragmentedmp4.h"
#include "paxh264options.h"
#include "paxpacketreader.h"
#include "paxscreenlog.h"
#include "screeninput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include <cstdio>
#include <cstring>

PaxRecordScreen::Run::Run(PaxRecordScreen& owner_) : owner(owner_)
{
}

void PaxRecordScreen::Run::readSettings()
{
    screen = owner.m_screenSize;
    logical = owner.m_rect;
    fileName = owner.m_recordInfo.fileName;
    pushUrl = owner.m_recordInfo.pushStreamUrl;
    framerate = owner.m_framerate;
    bitrate = paxh264::bitRateOf(owner.m_bitrateValue);
    bitrateType = owner.m_bitrateType;
    quantizationParameter = owner.m_quantizationParameter;
    profile = owner.m_profile;
    presetMode = owner.m_presetMode;
    encoderName = owner.m_encoder;
    audioOn = owner.m_audioOn;
    nextFrameDue = 0;
}

void PaxRecordScreen::Run::logSettings() const
{
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start recordingFilename[%s]", fileName.toLocal8Bit().constData());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start pushStreamUrl[%s]", pushUrl.toLocal8Bit().constData());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start recordRect[%d,%d,%d,%d]", logical.x(), logical.y(),
                    logical.width(), logical.height());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start framerate[%d]", framerate);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start br[%d] presetMode[%d] bitrateType[%d]", int(bitrate / 1048576),
                    presetMode, bitrateType);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start quantizationParameter[%d] profile[%d]", quantizationParameter,
                    profile);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start videoEncoderName[%s]", encoderName.toLocal8Bit().constData());
}

bool PaxRecordScreen::Run::openInput()
{
    std::unique_ptr<pax_platform::ScreenInput> screenInput = pax_platform::createScreenInput();
    const QByteArray deviceName = screenInput->deviceName().toLocal8Bit();
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start deviceName[%s]", deviceName.constData());
    AVFormatContext* in = nullptr;
    int ret = screenInput->open(&in, framerate, true);
    if (ret < 0) {
        PAXSCREEN_ERROR("avformat_open_input failed, deviceName[%s] retval[%d] errorStr[%s]", deviceName.constData(),
                        ret, paxav::errorText(ret, err));
        return false;
    }
    input.reset(in);
    ret = avformat_find_stream_info(input.get(), nullptr);
    if (ret < 0) {
        PAXSCREEN_ERROR("avformat_find_stream_info failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }
    for (unsigned i = 0; i < input->nb_streams && videoIndex < 0; ++i) {
        if (input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            videoIndex = int(i);
    }
    if (videoIndex < 0) {
        PAXSCREEN_ERROR("couldn't find a video stream.");
        return false;
    }
    const AVCodecParameters* par = input->streams[videoIndex]->codecpar;
    decoderCodec = avcodec_find_decoder(par->codec_id);
    if (!decoderCodec) {
        PAXSCREEN_ERROR("avcodec_find_decoder failed, codec_id[%d]", int(par->codec_id));
        return false;
    }
    decoder.reset(avcodec_alloc_context3(decoderCodec));
    if (!decoder)
        return false;
    ret = avcodec_parameters_to_context(decoder.get(), par);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_parameters_to_context failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }

    // The capture rectangle of this run; the logical setting stays as it is.
    capture = QSize(decoder->width, decoder->height);
    rect = captureRect(logical, screen, capture);
    if (rect.width() < 2 || rect.height() < 2 || rect.right() >= capture.width() || rect.bottom() >= capture.height()) {
        PAXSCREEN_ERROR("rect is invalid, rect[%d,%d,%d,%d]", rect.x(), rect.y(), rect.width(), rect.height());
        return false;
    }
    {
        QMutexLocker lock(&owner.m_dataMutex);
        owner.m_recordInfo.rect = rect;
    }
    PAXSCREEN_DEBUG("capture size[%dx%d] screen size[%dx%d] capture rect[%d,%d,%d,%d]", capture.width(),
                    capture.height(), screen.width(), screen.height(), rect.x(), rect.y(), rect.width(),
                    rect.height());

    ret = avcodec_open2(decoder.get(), decoderCodec, nullptr);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_open2 failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }
    decoded.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    return decoded && packet;
}

bool PaxRecordScreen::Run::openOutput()
{
    AVFormatContext* out = nullptr;
    int ret = 0;
    if (!pushUrl.isEmpty())
        ret = avformat_alloc_output_context2(&out, nullptr, "flv", pushUrl.toUtf8().constData());
    else
        ret = avformat_alloc_output_context2(&out, nullptr, nullptr, fileName.toLocal8Bit().constData());
    if (ret < 0 || !out) {
        PAXSCREEN_ERROR("avformat_alloc_output_context2 failed, retval[%d] errorStr[%s]", ret,
                        paxav::errorText(ret, err));
        return false;
    }
    output.reset(out);
    return true;
}

bool PaxRecordScreen::Run::openVideoEncoder()
{
    encoderCodec = encoderName.isEmpty() ? nullptr : avcodec_find_encoder_by_name(encoderName.toLatin1().constData());
    if (!encoderCodec) {
        PAXSCREEN_ERROR("avcodec_find_encoder failed!");
        return false;
    }
    encoder.reset(avcodec_alloc_context3(encoderCodec));
    if (!encoder) {
        PAXSCREEN_ERROR("avcodec_alloc_context3 failed");
        return false;
    }
    AVCodecContext* enc = encoder.get();
    paxh264::RecordSettings record;
    record.bitrateType = bitrateType;
    record.bitRate = bitrate;
    record.quantizationParameter = quantizationParameter;
    record.profile = profile;
    record.preset = presetMode;
    record.encoderName = encoderName;
    enc->width = rect.width();
    enc->height = rect.height();
    enc->time_base = AVRational{1, framerate};
    enc->framerate = AVRational{framerate, 1};
    enc->codec_id = encoderCodec->id;
    enc->pix_fmt = paxh264::encoderPixelFormat(encoderCodec, encoderName);
    enc->has_b_frames = 0;
    paxh264::EncoderSettings settings = paxh264::encoderSettings(record, enc->pix_fmt, framerate);
    // A global header for H.264 only: the stream may also be pushed to a live URL.
    settings.globalHeader = encoderCodec->id == AV_CODEC_ID_H264;
    AVDictionary* options = nullptr;
    paxh264::applyEncoderSettings(enc, settings, &options);
    const int ret = avcodec_open2(enc, encoderCodec, &options);
    av_dict_free(&options);
    if (ret < 0) {
        PAXSCREEN_ERROR("avcodec_open2 failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }
    videoStream = avformat_new_stream(output.get(), nullptr);
    if (!videoStream) {
        PAXSCREEN_ERROR("avformat_new_stream failed");
        return false;
    }
    avcodec_parameters_from_context(videoStream->codecpar, enc);
    videoStream->time_base = AVRational{1, 600};
    return true;
}

bool PaxRecordScreen::Run::openOutputIo()
{
    if (output->oformat->flags & AVFMT_NOFILE)
        return true;
    const QByteArray target = pushUrl.isEmpty() ? fileName.toLocal8Bit() : pushUrl.toUtf8();
    const int ret = avio_open(&output->pb, target.constData(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        PAXSCREEN_ERROR("avio_open failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }
    fileOpened = pushUrl.isEmpty();
    return true;
}

bool PaxRecordScreen::Run::openAudioEncoder()
{
    if (!audioOn)
        return true;
    paxaac::Encoder aac;
    const paxaac::OpenResult opened = paxaac::open(output.get(), aac);
    audioEncoder = std::move(aac.context);
    audioStream = aac.stream;
    audioFrame = std::move(aac.frame);
    if (!opened.ok()) {
        PAXSCREEN_ERROR("%s failed, retval[%d] errorStr[%s]", opened.failedCall, opened.ret,
                        paxav::errorText(opened.ret, err));
        return false;
    }
    return true;
}

bool PaxRecordScreen::Run::writeHeader()
{
    AVDictionary* options = nullptr;
    fragmented = pushUrl.isEmpty() && paxmp4::isMp4Family(output->oformat);
    if (fragmented)
        paxmp4::addFragmentOptions(&options);
    const int ret = avformat_write_header(output.get(), &options);
    av_dict_free(&options);
    if (ret < 0) {
        PAXSCREEN_ERROR("avformat_write_header failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        return false;
    }
    headerWritten = true;
    av_dump_format(output.get(), 0,
                   pushUrl.isEmpty() ? fileName.toLocal8Bit().constData() : pushUrl.toUtf8().constData(), 1);
    return true;
}

bool PaxRecordScreen::Run::buildCropGraph()
{
    converted.reset(av_frame_alloc());
    if (!converted)
        return false;
    converted->format = encoder->pix_fmt;
    converted->width = encoder->width;
    converted->height = encoder->height;
    if (av_frame_get_buffer(converted.get(), 0) < 0)
        return false;

    graph.reset(avfilter_graph_alloc());
    if (!graph) {
        PAXSCREEN_ERROR("avfilter_graph_alloc failed");
        return false;
    }
    const QByteArray args = cropSourceArgs(capture, int(decoder->pix_fmt));
    int ret = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args.constData(), nullptr,
                                           graph.get());
    if (ret < 0) {
        PAXSCREEN_ERROR("avfilter_graph_create_filter failed, retval:%d", ret);
        return false;
    }
    ret = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph.get());
    if (ret < 0) {
        PAXSCREEN_ERROR("avfilter_graph_create_filter failed, retval:%d", ret);
        return false;
    }
    const enum AVPixelFormat sinkFormats[] = {decoder->pix_fmt, AV_PIX_FMT_NONE};
    av_opt_set_int_list(sink, "pix_fmts", sinkFormats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    if (!outputs || !inputs) {
        avfilter_inout_free(&outputs);
        avfilter_inout_free(&inputs);
        return false;
    }
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    const QByteArray crop = QStringLiteral("crop=x=%1:y=%2:out_w=%3:out_h=%4")
                                .arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height())
                                .toLatin1();
    ret = avfilter_graph_parse_ptr(graph.get(), crop.constData(), &inputs, &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (ret < 0) {
        PAXSCREEN_ERROR("avfilter_graph_parse_ptr failed, retval:%d", ret);
        return false;
    }
    ret = avfilter_graph_config(graph.get(), nullptr);
    if (ret < 0) {
        PAXSCREEN_ERROR("avfilter_graph_config failed, retval:%d", ret);
        return false;
    }
    filtered.reset(av_frame_alloc());
    return bool(filtered);
}

void PaxRecordScreen::Run::publishHandOver()
{
    if (!audioOn) {
        owner.m_videoOrigin = av_gettime();
        return;
    }
    QMutexLocker bind(&owner.m_bindMutex);
    if (owner.m_bind) {
        owner.m_bind->outputContext = output.get();
        owner.m_bind->fragmented = fragmented;
        owner.m_bind->audioEncoder = audioEncoder.get();
        owner.m_bind->audioStream = audioStream;
        owner.m_bind->audioFrame = audioFrame.get();
        owner.m_bind->videoReady = true;
        owner.m_bind->videoFinished = false;
        owner.m_bind->audioPacketCounter = 0;
        owner.m_bindChanged.wakeAll();
    }
}

bool PaxRecordScreen::Run::frameDue(int64_t now)
{
    const int64_t period = 1000000 / qMax(1, framerate);
    // First frame, or a source late by more than a frame: the frame clock starts again here.
    if (nextFrameDue == 0 || now > nextFrameDue + period) {
        nextFrameDue = now + period;
        return true;
    }
    if (now < nextFrameDue - period / 2)
        return false;
    nextFrameDue += period;
    return true;
}

void PaxRecordScreen::Run::loop()
{
    bool pausing = false;
    int64_t pauseStart = 0;
    for (;;) {
        if (audioOn) {
            QMutexLocker bind(&owner.m_bindMutex);
            if (!owner.m_bind || owner.m_bind->audioFinished)
                break;
            if (owner.m_bind->writeError < 0 && writeError == 0)
                writeError = owner.m_bind->writeError;
        }
        if (writeError < 0)
            break;
        const int status = owner.m_status.load();
        if (status == PaxRecordStop)
            break;
        if (status == PaxRecordPause && !pausing) {
            pausing = true;
            pauseStart = av_gettime();
            owner._callbackRecordInfo(PaxRecordPause, 0);
        } else if (status == PaxRecordRun && pausing) {
            pausing = false;
            int64_t origin = owner.m_videoOrigin.load();
            while (origin && !owner.m_videoOrigin.compare_exchange_weak(origin, origin + (av_gettime() - pauseStart))) {
            }
            pauseStart = 0;
        } else if (status != PaxRecordRun && status != PaxRecordPause) {
            continue;
        }
        // While paused the source is read all the same and what it captured is dropped, so no
        // backlog of pause frames reaches the file after the resume.
        const paxscreen::PacketStep step = paxscreen::readIntoDecoder(
            input.get(), packet.get(), videoIndex, "video", decoder.get(), 10, [pausing] { return pausing; });
        if (step == paxscreen::PacketStep::Ended)
            break;
        if (step == paxscreen::PacketStep::Decoded && !encodeDecoded())
            break;
    }
}

bool PaxRecordScreen::Run::encodeDecoded()
{
    while (writeError == 0 && avcodec_receive_frame(decoder.get(), decoded.get()) >= 0) {
        // With audio, frames before the first audio packet are not recorded.
        const bool beforeAudio = audioOn && owner.m_videoOrigin.load() == 0;
        if (beforeAudio || !frameDue(av_gettime())) {
            av_frame_unref(decoded.get());
            continue;
        }
        if (decoded->width == rect.width() && decoded->height == rect.height()) {
            scaleAndEncode(decoded.get());
            av_frame_unref(decoded.get());
            continue;
        }
        int ret = av_buffersrc_add_frame_flags(source, decoded.get(), AV_BUFFERSRC_FLAG_KEEP_REF);
        av_frame_unref(decoded.get());
        if (ret < 0) {
            PAXSCREEN_ERROR("av_buffersrc_add_frame_flags failed, retval:%d", ret);
            return false;
        }
        for (;;) {
            ret = av_buffersink_get_frame(sink, filtered.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                break;
            if (ret < 0) {
                PAXSCREEN_ERROR("av_buffersink_get_frame failed, retval:%d", ret);
                return false;
            }
            const int encoded = scaleAndEncode(filtered.get());
            av_frame_unref(filtered.get());
            if (encoded < 0)
                break;
        }
    }
    return true;
}

int PaxRecordScreen::Run::scaleAndEncode(AVFrame* frame)
{
    const QSize size(frame->width, frame->height);
    const AVPixelFormat format = AVPixelFormat(frame->format);
    if (!scaler || scalerInput != format || scalerSize != size) {
        scaler.reset(sws_getContext(frame->width, frame->height, format, encoder->width, encoder->height,
                                    encoder->pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr));
        scalerInput = format;
        scalerSize = size;
        if (!scaler)
            return AVERROR(EINVAL);
    }
    if (av_frame_make_writable(converted.get()) < 0)
        return AVERROR(ENOMEM);
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, converted->data, converted->linesize);
    return encodeConverted();
}

int PaxRecordScreen::Run::encodeConverted()
{
    converted->pts = framesSent++;
    int ret = avcodec_send_frame(encoder.get(), converted.get());
    if (ret < 0)
        return ret;
    for (;;) {
        ret = avcodec_receive_packet(encoder.get(), packet.get());
        if (ret < 0)
            break;
        if (packet->size > 0 && writeError == 0 && writeVideoPacket(packet.get()) >= 0)
            videoWritten = true;
        av_packet_unref(packet.get());
    }
    return 0;
}

int PaxRecordScreen::Run::writeVideoPacket(AVPacket* pkt)
{
    pkt->stream_index = videoStream->index;
    const int64_t origin = owner.m_videoOrigin.load();
    const int64_t now = av_gettime();
    const int64_t elapsedUs = origin ? now - origin : 0;
    int64_t pts = av_rescale_q(qMax<int64_t>(elapsedUs, 0), AVRational{1, 1000000}, videoStream->time_base);
    // Strictly increasing per stream, whatever the clock corrections did.
    if (lastVideoPts != AV_NOPTS_VALUE && pts <= lastVideoPts)
        pts = lastVideoPts + 1;
    lastVideoPts = pts;
    pkt->pts = pkt->dts = pts;
    // One frame period: a fragment that ends with this frame hands the next one a later start.
    pkt->duration = av_rescale_q(1, AVRational{1, qMax(framerate, 1)}, videoStream->time_base);

    int ret = 0;
    if (audioOn) {
        QMutexLocker bind(&owner.m_bindMutex);
        if (owner.m_bind && origin) {
            const int64_t audioMs = int64_t(double(owner.m_bind->audioPacketCounter) * paxaac::kFrameSamples * 1000.0 /
                                             paxaac::kSampleRate);
            const int64_t drift = audioMs - elapsedUs / 1000;
            if (drift > 100)
                owner.m_videoOrigin -= 5000;
            else if (drift < -100)
                owner.m_videoOrigin += 5000;
        }
        // The microphone side may have failed a write already: nothing more goes in then, and
        // that failure was logged there.
        if (owner.m_bind && owner.m_bind->writeError < 0) {
            writeError = owner.m_bind->writeError;
            return writeError;
        }
        ret = writeHeldVideo(pkt);
        if (ret < 0 && owner.m_bind)
            owner.m_bind->writeError = ret;
    } else {
        ret = writeHeldVideo(pkt);
    }
    if (ret < 0) {
        noteWriteFailure(ret);
        return ret;
    }

    const int64_t originNow = owner.m_videoOrigin.load();
    if (originNow) {
        const int seconds = int((av_gettime() - originNow) / 1000000);
        if (seconds != lastAnnounced) {
            lastAnnounced = seconds;
            owner._callbackRecordInfo(PaxRecordRun, seconds);
        }
    } else if (lastAnnounced != 0) {
        lastAnnounced = 0;
        owner._callbackRecordInfo(PaxRecordRun, 0);
    }
    return ret;
}

// Video goes out one packet late, with the exact duration up to the next packet: a fragment
// that ends with it then hands the next fragment its true start time.
int PaxRecordScreen::Run::writeHeldVideo(AVPacket* pkt)
{
    if (!heldVideo)
        heldVideo.reset(av_packet_alloc());
    if (!heldVideo)
        return AVERROR(ENOMEM);
    int ret = 0;
    if (heldVideo->size > 0) {
        heldVideo->duration = qMax<int64_t>(1, pkt->dts - heldVideo->dts);
        ret = paxmp4::writePacket(output.get(), heldVideo.get(), fragmented);
        av_packet_unref(heldVideo.get());
    }
    if (ret >= 0)
        av_packet_move_ref(heldVideo.get(), pkt);
    return ret;
}

void PaxRecordScreen::Run::noteWriteFailure(int ret)
{
    if (writeError < 0)
        return;
    writeError = ret;
    PAXSCREEN_ERROR("av_interleaved_write_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
}

void PaxRecordScreen::Run::finish()
{
    bool complete = false;
    if (videoWritten && headerWritten && writeError == 0 && heldVideo && heldVideo->size > 0) {
        const int ret = paxmp4::writePacket(output.get(), heldVideo.get(), fragmented);
        if (ret < 0)
            noteWriteFailure(ret);
    }
    heldVideo.reset();
    if (videoWritten && headerWritten) {
        const int ret = writeError < 0 ? writeError : av_write_trailer(output.get());
        if (ret < 0) {
            if (writeError == 0)
                PAXSCREEN_ERROR("av_write_trailer failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            if (writeError == 0)
                writeError = ret;
        } else {
            complete = true;
        }
    }
    // Release in reverse order; the output's I/O closes with it.
    scaler.reset();
    filtered.reset();
    graph.reset();
    converted.reset();
    audioFrame.reset();
    audioEncoder.reset();
    encoder.reset();
    output.reset();
    packet.reset();
    decoded.reset();
    decoder.reset();
    input.reset();

    if (!pushUrl.isEmpty() || fileName.isEmpty())
        return;
    if (!videoWritten) {
        // Nothing playable was recorded: the file is removed and the record info names none.
        if (fileOpened) {
            QFile::remove(fileName);
            PAXSCREEN_ERROR("recording[%s] holds no complete video, removed", fileName.toLocal8Bit().constData());
        }
        QMutexLocker lock(&owner.m_dataMutex);
        owner.m_recordInfo.fileName.clear();
        return;
    }
    if (!complete) {
        // What was written stays: cut back to its whole fragments, made plain when there is room.
        const bool plain = fragmented && paxmp4::finishAfterFailedWrite(fileName) == 0;
        PAXSCREEN_ERROR("recording[%s] ended by a failed write, the part written is kept%s",
                        fileName.toLocal8Bit().constData(), plain ? "" : " as fragments");
        return;
    }
    if (fragmented)
        rewriteAsNormalMp4();
}

bool PaxRecordScreen::Run::rewriteAsNormalMp4()
{
    const int ret = paxmp4::rewriteAsPlain(fileName);
    if (ret < 0) {
        PAXSCREEN_ERROR("recording[%s] kept as fragments: the normal file could not be written, retval[%d]",
                        fileName.toLocal8Bit().constData(), ret);
        return false;
    }
    return true;
}
