#include "paxrecordscreen.h"

#include "paxavptr.h"
#include "paxscreenlog.h"
#include "screeninput.h"

#include <QFile>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QScreen>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

namespace {

const char* const kProfiles[] = {"baseline", "extended", "main", "high"};
const char* const kPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                "medium", "slow", "slower", "veryslow", "placebo"};
const char* const kQuantizers[] = {"51", "23", "13"};

int64_t bitrateOf(int value)
{
    if (value >= 0 && value <= 5)
        return int64_t(1048576) << value;
    return 8388608;
}

bool encoderUsable(const QString& name)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name.toLatin1().constData());
    if (!codec)
        return false;
    paxav::CodecContext ctx(avcodec_alloc_context3(codec));
    if (!ctx)
        return false;
    ctx->bit_rate = 8000000;
    ctx->width = 1920;
    ctx->height = 1080;
    ctx->time_base = AVRational{1, 25};
    ctx->framerate = AVRational{25, 1};
    ctx->gop_size = 10;
    ctx->max_b_frames = 0;
    ctx->pix_fmt = AV_PIX_FMT_NV12;
    if (codec->pix_fmts) {
        bool nv12 = false;
        for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f)
            nv12 = nv12 || *f == AV_PIX_FMT_NV12;
        if (!nv12)
            ctx->pix_fmt = codec->pix_fmts[0];
    }
    AVDictionary* options = nullptr;
    if (codec->id == AV_CODEC_ID_H264)
        av_dict_set(&options, "preset", "slow", 0);
    const int ret = avcodec_open2(ctx.get(), codec, &options);
    av_dict_free(&options);
    return ret >= 0;
}

} // namespace

// Everything one recording run owns; released in reverse order of acquisition.
struct PaxRecordScreen::Run {
    QString fileName;
    QString pushUrl;
    QRect rect;                 // capture pixels
    int framerate = 30;
    int64_t bitrate = 0;
    int bitrateType = 0;
    int quantizationParameter = 3;
    int profile = 2;
    int presetMode = 0;
    QString encoderName;

    paxav::InputContext input;
    int videoIndex = -1;
    paxav::CodecContext decoder;
    paxav::Frame decoded;
    paxav::Packet packet;
    paxav::OutputContext output;
    paxav::CodecContext encoder;
    AVStream* videoStream = nullptr;
    paxav::CodecContext audioEncoder;
    AVStream* audioStream = nullptr;
    paxav::Frame audioFrame;
    paxav::Frame converted;
    paxav::FilterGraph graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    paxav::Frame filtered;
    paxav::Scaler scaler;
    AVPixelFormat scalerInput = AV_PIX_FMT_NONE;
    QSize scalerSize;

    bool fileOpened = false;
    bool headerWritten = false;
    bool videoWritten = false;
    int64_t lastVideoPts = AV_NOPTS_VALUE;
    int64_t framesSent = 0;
    int lastAnnounced = 0;
};

PaxRecordScreen::PaxRecordScreen(QObject* parent) : QThread(parent)
{
    connect(this, &QThread::finished, this, &PaxRecordScreen::slotFinished, Qt::QueuedConnection);
    _probeEncoders();
    m_screenSize = _screenSize();
    m_rect = QRect(QPoint(0, 0), m_screenSize);
    m_recordInfo.rect = m_rect;
}

PaxRecordScreen::~PaxRecordScreen()
{
    myQuitWait();
    QMutexLocker bind(&m_bindMutex);
    delete m_bind;
    m_bind = nullptr;
}

QStringList PaxRecordScreen::encoderCandidates()
{
    return {QStringLiteral("libx264"), QStringLiteral("h264_nvenc"), QStringLiteral("h264_qsv"),
            QStringLiteral("h264_amf"), QStringLiteral("h264_videotoolbox")};
}

void PaxRecordScreen::_probeEncoders()
{
    QStringList usable;
    for (const QString& name : encoderCandidates()) {
        if (encoderUsable(name))
            usable.append(name);
    }
    QMutexLocker lock(&m_dataMutex);
    m_encoderList = usable;
    m_encoder = usable.isEmpty() ? QString() : usable.first();
}

QSize PaxRecordScreen::_screenSize()
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().size();
    return QSize();
}

bool PaxRecordScreen::isBusy() const
{
    return isRunning();
}

// ---- control ---------------------------------------------------------------

void PaxRecordScreen::myStartRecord(QString fileName, bool withAudio)
{
    _start(fileName, QString(), withAudio);
}

void PaxRecordScreen::myStartPushStream(QString url)
{
    _start(QString(), url, false);
}

void PaxRecordScreen::_start(const QString& fileName, const QString& pushUrl, bool withAudio)
{
    QMutexLocker control(&m_controlMutex);
    m_status = 0;
    wait();
    m_audioOn = false;
    {
        QMutexLocker data(&m_dataMutex);
        m_recordInfo.fileName = fileName;
        m_recordInfo.pushStreamUrl = pushUrl;
        m_screenSize = _screenSize();
    }
    {
        QMutexLocker bind(&m_bindMutex);
        delete m_bind;
        m_bind = nullptr;
        if (withAudio) {
            m_bind = new _AudioBindInfoS;
            m_audioOn = true;
        }
    }
    m_status = 1;
    start();
}

void PaxRecordScreen::myStopRecordWait()
{
    QMutexLocker control(&m_controlMutex);
    if (!isRunning())
        return;
    m_status = 0;
    wait();
    QMutexLocker bind(&m_bindMutex);
    delete m_bind;
    m_bind = nullptr;
}

void PaxRecordScreen::myStopPushStream()
{
    QMutexLocker control(&m_controlMutex);
    if (isRunning()) {
        m_status = 0;
        wait();
    }
}

void PaxRecordScreen::myPause()
{
    QMutexLocker control(&m_controlMutex);
    int running = 1;
    if (isRunning())
        m_status.compare_exchange_strong(running, 2);
}

void PaxRecordScreen::myResume()
{
    QMutexLocker control(&m_controlMutex);
    int paused = 2;
    if (isRunning())
        m_status.compare_exchange_strong(paused, 1);
}

void PaxRecordScreen::myQuitWait()
{
    QMutexLocker control(&m_controlMutex);
    if (isRunning()) {
        m_status = 0;
        wait();
    }
}

void PaxRecordScreen::slotFinished()
{
}

// ---- settings --------------------------------------------------------------

#define PAX_RECORD_SCREEN_DEFINE_SETTER(setter, member) \
    void PaxRecordScreen::setter(int value)             \
    {                                                   \
        QMutexLocker lock(&m_dataMutex);                \
        member = value;                                 \
    }
PAX_RECORD_SCREEN_SETTINGS(PAX_RECORD_SCREEN_DEFINE_SETTER)
#undef PAX_RECORD_SCREEN_DEFINE_SETTER

void PaxRecordScreen::setVideoSourceIsSingleThread(bool single)
{
    QMutexLocker lock(&m_dataMutex);
    m_singleThread = single;
}

QStringList PaxRecordScreen::getEncoderList()
{
    QMutexLocker lock(&m_dataMutex);
    return m_encoderList;
}

bool PaxRecordScreen::setEncoder(QString name)
{
    QMutexLocker lock(&m_dataMutex);
    if (!m_encoderList.contains(name))
        return false;
    m_encoder = name;
    return true;
}

QString PaxRecordScreen::getEncoder()
{
    QMutexLocker lock(&m_dataMutex);
    return m_encoder;
}

// ---- area ------------------------------------------------------------------

QRect PaxRecordScreen::normalizedRect(const QRect& rect, const QSize& screen)
{
    const int x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const int sw = screen.width(), sh = screen.height();
    // Sizes below 4 would round down to nothing.
    if (x < 0 || y < 0 || w < 4 || h < 4 || x > sw || y > sh || x + w > sw || y + h > sh)
        return QRect();
    return QRect(x, y, w / 4 * 4, h / 4 * 4);
}

bool PaxRecordScreen::setRect(QRect rect)
{
    QMutexLocker lock(&m_dataMutex);
    m_screenSize = _screenSize();
    const QRect normalized = normalizedRect(rect, m_screenSize);
    if (!normalized.isValid()) {
        lock.unlock();
        PAXSCREEN_ERROR("rect is invalid, rect[%d,%d,%d,%d]", rect.x(), rect.y(), rect.width(), rect.height());
        return false;
    }
    m_rect = normalized;
    _showRectWhileIdle();
    return true;
}

void PaxRecordScreen::removeRect()
{
    QMutexLocker lock(&m_dataMutex);
    m_screenSize = _screenSize();
    m_rect = QRect(QPoint(0, 0), m_screenSize);
    _showRectWhileIdle();
}

void PaxRecordScreen::_showRectWhileIdle()
{
    // The record info shows the area set; a run going on keeps reporting its capture area.
    if (!isRunning())
        m_recordInfo.rect = m_rect;
}

QRect PaxRecordScreen::getRect()
{
    QMutexLocker lock(&m_dataMutex);
    return m_rect;
}

void PaxRecordScreen::updateRect()
{
}

QRect PaxRecordScreen::captureRect(const QRect& logical, const QSize& screen, const QSize& capture)
{
    if (!screen.isValid() || capture == screen || !capture.isValid())
        return QRect(logical.x(), logical.y(), logical.width() & ~1, logical.height() & ~1);
    const int64_t cw = capture.width(), ch = capture.height();
    const int64_t sw = screen.width(), sh = screen.height();
    int x = int(logical.x() * cw / sw);
    int y = int(logical.y() * ch / sh);
    int w = int(logical.width() * cw / sw);
    int h = int(logical.height() * ch / sh);
    w = qMin(w, int(cw) - x) & ~1;
    h = qMin(h, int(ch) - y) & ~1;
    return QRect(x, y, w, h);
}

QByteArray PaxRecordScreen::cropSourceArgs(const QSize& capture, int pixelFormat)
{
    // Frames are timed by the wall clock, not by the graph: its time base is fixed.
    return QStringLiteral("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=%6/%7")
        .arg(capture.width()).arg(capture.height()).arg(pixelFormat).arg(1).arg(10).arg(0).arg(1)
        .toLatin1();
}

_PaxScreenRecordInfoS PaxRecordScreen::getRecordInfo()
{
    QMutexLocker lock(&m_dataMutex);
    return m_recordInfo;
}

// ---- audio hand-over -------------------------------------------------------

void PaxRecordScreen::waitForVideoReady()
{
    for (;;) {
        {
            QMutexLocker bind(&m_bindMutex);
            if (!m_bind || m_bind->videoReady || m_bind->videoFinished)
                return;
        }
        QThread::msleep(100);
    }
}

_AudioBindInfoS PaxRecordScreen::getAudioBindInfo()
{
    QMutexLocker bind(&m_bindMutex);
    return m_bind ? *m_bind : _AudioBindInfoS();
}

void PaxRecordScreen::writeAudioPacket(AVPacket* packet)
{
    if (m_status.load() == 2)
        return;
    int ret = 0;
    {
        QMutexLocker bind(&m_bindMutex);
        if (!m_bind || !m_bind->outputContext || !m_bind->audioStream || m_bind->videoFinished)
            return;
        // Video frames are encoded only from the first audio packet on, so both clocks
        // start together and no video time stamp ever has to move back.
        if (m_bind->audioPacketCounter == 0)
            m_videoOrigin = av_gettime();
        packet->stream_index = m_bind->audioStream->index;
        packet->pts = packet->dts = av_rescale_q(m_bind->audioPacketCounter * 1024, AVRational{1, 44100},
                                                 m_bind->audioStream->time_base);
        packet->duration = av_rescale_q(1024, AVRational{1, 44100}, m_bind->audioStream->time_base);
        ++m_bind->audioPacketCounter;
        ret = av_interleaved_write_frame(m_bind->outputContext, packet);
    }
    if (ret < 0) {
        char err[1024];
        PAXSCREEN_ERROR("av_interleaved_write_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
    }
}

void PaxRecordScreen::audioFinish()
{
    QMutexLocker bind(&m_bindMutex);
    if (m_bind)
        m_bind->audioFinished = true;
}

bool PaxRecordScreen::isVideoFinish()
{
    QMutexLocker bind(&m_bindMutex);
    return m_bind ? m_bind->videoFinished : false;
}

void PaxRecordScreen::_waitForAudioFinish()
{
    for (;;) {
        {
            QMutexLocker bind(&m_bindMutex);
            if (!m_bind || m_bind->audioFinished)
                return;
        }
        QThread::msleep(20);
    }
}

// ---- the recorder thread ---------------------------------------------------

void PaxRecordScreen::_endHandOver()
{
    {
        QMutexLocker bind(&m_bindMutex);
        if (m_bind)
            m_bind->videoFinished = true;
    }
    if (m_audioOn) {
        _waitForAudioFinish();
        QMutexLocker bind(&m_bindMutex);
        delete m_bind;
        m_bind = nullptr;
    }
}

void PaxRecordScreen::run()
{
    if (m_runStartHook)
        m_runStartHook();
    const int status = m_status.load();
    if (status != 1 && status != 2) {
        // Stopped before the thread got going: nothing was recorded, and that is announced.
        {
            QMutexLocker lock(&m_dataMutex);
            m_recordInfo.fileName.clear();
        }
        _endHandOver();
        _callbackRecordInfo(0, 0);
        return;
    }
    _callbackRecordInfo(1, 0);
    _playDirect();
    _callbackRecordInfo(0, 0);
}

void PaxRecordScreen::_callbackRecordInfo(int state, int seconds)
{
    _PaxScreenRecordInfoS info;
    {
        QMutexLocker lock(&m_dataMutex);
        m_recordInfo.state = state;
        m_recordInfo.recordSeconds = seconds;
        info = m_recordInfo;
    }
    emit sigRecordInfo(info);
}

int PaxRecordScreen::_writeVideoPacket(Run& run, AVPacket* packet)
{
    packet->stream_index = run.videoStream->index;
    const int64_t origin = m_videoOrigin.load();
    const int64_t now = av_gettime();
    const int64_t elapsedUs = origin ? now - origin : 0;
    int64_t pts = av_rescale_q(qMax<int64_t>(elapsedUs, 0), AVRational{1, 1000000}, run.videoStream->time_base);
    // Strictly increasing per stream, whatever the clock corrections did.
    if (run.lastVideoPts != AV_NOPTS_VALUE && pts <= run.lastVideoPts)
        pts = run.lastVideoPts + 1;
    run.lastVideoPts = pts;
    packet->pts = packet->dts = pts;
    packet->duration = 0;

    int ret = 0;
    if (m_audioOn) {
        QMutexLocker bind(&m_bindMutex);
        if (m_bind && origin) {
            const int64_t audioMs = int64_t(double(m_bind->audioPacketCounter) * 1024.0 * 1000.0 / 44100.0);
            const int64_t drift = audioMs - elapsedUs / 1000;
            if (drift > 100)
                m_videoOrigin -= 5000;
            else if (drift < -100)
                m_videoOrigin += 5000;
        }
        ret = av_interleaved_write_frame(run.output.get(), packet);
    } else {
        ret = av_interleaved_write_frame(run.output.get(), packet);
    }
    if (ret < 0) {
        char err[1024];
        PAXSCREEN_ERROR("av_interleaved_write_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
    }

    const int64_t originNow = m_videoOrigin.load();
    if (originNow) {
        const int seconds = int((av_gettime() - originNow) / 1000000);
        if (seconds != run.lastAnnounced) {
            run.lastAnnounced = seconds;
            _callbackRecordInfo(1, seconds);
        }
    } else if (run.lastAnnounced != 0) {
        run.lastAnnounced = 0;
        _callbackRecordInfo(1, 0);
    }
    return ret;
}

int PaxRecordScreen::_ioctlVideoFrame(Run& run)
{
    run.converted->pts = run.framesSent++;
    int ret = avcodec_send_frame(run.encoder.get(), run.converted.get());
    if (ret < 0)
        return ret;
    for (;;) {
        ret = avcodec_receive_packet(run.encoder.get(), run.packet.get());
        if (ret < 0)
            break;
        if (run.packet->size > 0) {
            _writeVideoPacket(run, run.packet.get());
            run.videoWritten = true;
        }
        av_packet_unref(run.packet.get());
    }
    return 0;
}

void PaxRecordScreen::_playDirect()
{
    Run run;
    char err[1024];
    QSize screen;
    QRect logical;
    {
        QMutexLocker lock(&m_dataMutex);
        screen = m_screenSize;
        logical = m_rect;
        run.fileName = m_recordInfo.fileName;
        run.pushUrl = m_recordInfo.pushStreamUrl;
        run.framerate = m_framerate;
        run.bitrate = bitrateOf(m_bitrateValue);
        run.bitrateType = m_bitrateType;
        run.quantizationParameter = m_quantizationParameter;
        run.profile = m_profile;
        run.presetMode = m_presetMode;
        run.encoderName = m_encoder;
    }
    m_videoOrigin = 0;

    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start recordingFilename[%s]", run.fileName.toLocal8Bit().constData());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start pushStreamUrl[%s]", run.pushUrl.toLocal8Bit().constData());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start recordRect[%d,%d,%d,%d]", logical.x(), logical.y(),
                    logical.width(), logical.height());
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start framerate[%d]", run.framerate);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start br[%d] presetMode[%d] bitrateType[%d]",
                    int(run.bitrate / 1048576), run.presetMode, run.bitrateType);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start quantizationParameter[%d] profile[%d]",
                    run.quantizationParameter, run.profile);
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start videoEncoderName[%s]", run.encoderName.toLocal8Bit().constData());

    auto setup = [&]() -> bool {
        int ret = 0;
        // Input.
        std::unique_ptr<pax_platform::ScreenInput> source = pax_platform::createScreenInput();
        const QByteArray deviceName = source->deviceName().toLocal8Bit();
        PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect start deviceName[%s]", deviceName.constData());
        AVFormatContext* in = nullptr;
        ret = source->open(&in, run.framerate, true);
        if (ret < 0) {
            PAXSCREEN_ERROR("avformat_open_input failed, deviceName[%s] retval[%d] errorStr[%s]", deviceName.constData(),
                            ret, paxav::errorText(ret, err));
            return false;
        }
        run.input.reset(in);
        ret = avformat_find_stream_info(run.input.get(), nullptr);
        if (ret < 0) {
            PAXSCREEN_ERROR("avformat_find_stream_info failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            return false;
        }
        for (unsigned i = 0; i < run.input->nb_streams; ++i) {
            if (run.input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                run.videoIndex = int(i);
                break;
            }
        }
        if (run.videoIndex < 0) {
            PAXSCREEN_ERROR("couldn't find a video stream.");
            return false;
        }
        const AVCodecParameters* par = run.input->streams[run.videoIndex]->codecpar;
        const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
        if (!decoder) {
            PAXSCREEN_ERROR("avcodec_find_decoder failed, codec_id[%d]", int(par->codec_id));
            return false;
        }
        run.decoder.reset(avcodec_alloc_context3(decoder));
        if (!run.decoder)
            return false;
        ret = avcodec_parameters_to_context(run.decoder.get(), par);
        if (ret < 0) {
            PAXSCREEN_ERROR("avcodec_parameters_to_context failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            return false;
        }

        // The capture rectangle of this run; the logical setting stays as it is.
        const QSize capture(run.decoder->width, run.decoder->height);
        run.rect = captureRect(logical, screen, capture);
        if (run.rect.width() < 2 || run.rect.height() < 2 || run.rect.right() >= capture.width()
            || run.rect.bottom() >= capture.height()) {
            PAXSCREEN_ERROR("rect is invalid, rect[%d,%d,%d,%d]", run.rect.x(), run.rect.y(), run.rect.width(),
                            run.rect.height());
            return false;
        }
        {
            QMutexLocker lock(&m_dataMutex);
            m_recordInfo.rect = run.rect;
        }
        PAXSCREEN_DEBUG("capture size[%dx%d] screen size[%dx%d] capture rect[%d,%d,%d,%d]", capture.width(),
                        capture.height(), screen.width(), screen.height(), run.rect.x(), run.rect.y(),
                        run.rect.width(), run.rect.height());
        const QByteArray crop = QStringLiteral("crop=x=%1:y=%2:out_w=%3:out_h=%4")
                                    .arg(run.rect.x()).arg(run.rect.y()).arg(run.rect.width()).arg(run.rect.height())
                                    .toLatin1();

        ret = avcodec_open2(run.decoder.get(), decoder, nullptr);
        if (ret < 0) {
            PAXSCREEN_ERROR("avcodec_open2 failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            return false;
        }
        run.decoded.reset(av_frame_alloc());
        run.packet.reset(av_packet_alloc());
        if (!run.decoded || !run.packet)
            return false;

        // Output.
        AVFormatContext* out = nullptr;
        if (!run.pushUrl.isEmpty())
            ret = avformat_alloc_output_context2(&out, nullptr, "flv", run.pushUrl.toUtf8().constData());
        else
            ret = avformat_alloc_output_context2(&out, nullptr, nullptr, run.fileName.toLocal8Bit().constData());
        if (ret < 0 || !out) {
            PAXSCREEN_ERROR("avformat_alloc_output_context2 failed, retval[%d] errorStr[%s]", ret,
                            paxav::errorText(ret, err));
            return false;
        }
        run.output.reset(out);

        const AVCodec* encoder = run.encoderName.isEmpty()
                                     ? nullptr
                                     : avcodec_find_encoder_by_name(run.encoderName.toLatin1().constData());
        if (!encoder) {
            PAXSCREEN_ERROR("avcodec_find_encoder failed!");
            return false;
        }
        run.encoder.reset(avcodec_alloc_context3(encoder));
        if (!run.encoder) {
            PAXSCREEN_ERROR("avcodec_alloc_context3 failed");
            return false;
        }
        AVCodecContext* enc = run.encoder.get();
        const int64_t br = run.bitrate;
        switch (run.bitrateType) {
        case 0:
            enc->bit_rate = br;
            enc->rc_min_rate = br;
            enc->rc_max_rate = br;
            enc->bit_rate_tolerance = int(br);
            enc->rc_buffer_size = int(br);
            enc->rc_initial_buffer_occupancy = int(3 * br / 4);
            break;
        case 1:
            enc->bit_rate = br;
            enc->rc_min_rate = br - 3 * br / 4;
            enc->rc_max_rate = br + 3 * br / 4;
            if (run.encoderName != QLatin1String("h264_videotoolbox"))
                enc->flags |= AV_CODEC_FLAG_QSCALE;
            break;
        case 2:
            enc->bit_rate = br;
            break;
        default:
            break;
        }
        enc->width = run.rect.width();
        enc->height = run.rect.height();
        enc->time_base = AVRational{1, run.framerate};
        enc->framerate = AVRational{run.framerate, 1};
        enc->codec_id = encoder->id;
        enc->pix_fmt = run.encoderName == QLatin1String("h264_videotoolbox") || !encoder->pix_fmts
                           ? AV_PIX_FMT_YUV420P
                           : encoder->pix_fmts[0];
        enc->gop_size = 3 * run.framerate;
        enc->max_b_frames = 0;
        enc->has_b_frames = 0;
        if (encoder->id == AV_CODEC_ID_H264)
            enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

        AVDictionary* options = nullptr;
        if (enc->pix_fmt != AV_PIX_FMT_NV12) {
            enc->qmin = 10;
            enc->qmax = 40;
            if (run.profile >= 0 && run.profile <= 3)
                av_dict_set(&options, "profile", kProfiles[run.profile], 0);
            av_dict_set(&options, "tune", "zerolatency", 0);
            if (run.presetMode >= 0 && run.presetMode <= 9)
                av_dict_set(&options, "preset", kPresets[run.presetMode], 0);
        }
        if ((run.bitrateType == 3 || run.bitrateType == 4) && run.quantizationParameter >= 0
            && run.quantizationParameter <= 2) {
            const char* key = run.bitrateType == 3 ? "crf" : "qp";
            av_dict_set(&options, key, kQuantizers[run.quantizationParameter], 0);
            av_opt_set(enc->priv_data, key, kQuantizers[run.quantizationParameter], AV_OPT_SEARCH_CHILDREN);
        }
        ret = avcodec_open2(enc, encoder, &options);
        av_dict_free(&options);
        if (ret < 0) {
            PAXSCREEN_ERROR("avcodec_open2 failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            return false;
        }
        run.videoStream = avformat_new_stream(run.output.get(), nullptr);
        if (!run.videoStream) {
            PAXSCREEN_ERROR("avformat_new_stream failed");
            return false;
        }
        avcodec_parameters_from_context(run.videoStream->codecpar, enc);
        run.videoStream->time_base = AVRational{1, 600};

        if (!(run.output->oformat->flags & AVFMT_NOFILE)) {
            const QByteArray target = run.pushUrl.isEmpty() ? run.fileName.toLocal8Bit() : run.pushUrl.toUtf8();
            ret = avio_open(&run.output->pb, target.constData(), AVIO_FLAG_WRITE);
            if (ret < 0) {
                PAXSCREEN_ERROR("avio_open failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
                return false;
            }
            run.fileOpened = run.pushUrl.isEmpty();
        }

        if (m_audioOn) {
            const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
            if (!aac) {
                PAXSCREEN_ERROR("avcodec_find_encoder failed, codec_id[%d]", int(AV_CODEC_ID_AAC));
                return false;
            }
            run.audioEncoder.reset(avcodec_alloc_context3(aac));
            if (!run.audioEncoder)
                return false;
            AVCodecContext* a = run.audioEncoder.get();
            a->codec_type = AVMEDIA_TYPE_AUDIO;
            a->sample_fmt = aac->sample_fmts ? aac->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
            a->sample_rate = 44100;
            av_channel_layout_default(&a->ch_layout, 1);
            a->time_base = AVRational{1, 44100};
            a->codec_tag = 0;
            a->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
            if (run.output->oformat->flags & AVFMT_GLOBALHEADER)
                a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            ret = avcodec_open2(a, aac, nullptr);
            if (ret < 0) {
                PAXSCREEN_ERROR("avcodec_open2 failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
                return false;
            }
            run.audioStream = avformat_new_stream(run.output.get(), nullptr);
            if (!run.audioStream) {
                PAXSCREEN_ERROR("avformat_new_stream failed");
                return false;
            }
            avcodec_parameters_from_context(run.audioStream->codecpar, a);
            run.audioStream->time_base = AVRational{1, 44100};
            run.audioFrame.reset(av_frame_alloc());
            if (!run.audioFrame)
                return false;
            run.audioFrame->nb_samples = a->frame_size > 0 ? a->frame_size : 1024;
            run.audioFrame->format = a->sample_fmt;
            av_channel_layout_copy(&run.audioFrame->ch_layout, &a->ch_layout);
            run.audioFrame->sample_rate = a->sample_rate;
            if (av_frame_get_buffer(run.audioFrame.get(), 0) < 0) {
                PAXSCREEN_DEBUG("av_frame_get_buffer failed");
                return false;
            }
        }

        ret = avformat_write_header(run.output.get(), nullptr);
        if (ret < 0) {
            PAXSCREEN_ERROR("avformat_write_header failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
            return false;
        }
        run.headerWritten = true;
        av_dump_format(run.output.get(), 0, run.pushUrl.isEmpty() ? run.fileName.toLocal8Bit().constData()
                                                                   : run.pushUrl.toUtf8().constData(), 1);

        // Converted frame.
        run.converted.reset(av_frame_alloc());
        if (!run.converted)
            return false;
        run.converted->format = enc->pix_fmt;
        run.converted->width = enc->width;
        run.converted->height = enc->height;
        if (av_frame_get_buffer(run.converted.get(), 0) < 0)
            return false;

        // Crop graph, used when a decoded frame is larger than the rectangle.
        run.graph.reset(avfilter_graph_alloc());
        if (!run.graph) {
            PAXSCREEN_ERROR("avfilter_graph_alloc failed");
            return false;
        }
        const QByteArray args = cropSourceArgs(capture, int(run.decoder->pix_fmt));
        ret = avfilter_graph_create_filter(&run.source, avfilter_get_by_name("buffer"), "in", args.constData(),
                                           nullptr, run.graph.get());
        if (ret < 0) {
            PAXSCREEN_ERROR("avfilter_graph_create_filter failed, retval:%d", ret);
            return false;
        }
        ret = avfilter_graph_create_filter(&run.sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                           run.graph.get());
        if (ret < 0) {
            PAXSCREEN_ERROR("avfilter_graph_create_filter failed, retval:%d", ret);
            return false;
        }
        const enum AVPixelFormat sinkFormats[] = {run.decoder->pix_fmt, AV_PIX_FMT_NONE};
        av_opt_set_int_list(run.sink, "pix_fmts", sinkFormats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN);
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        if (!outputs || !inputs) {
            avfilter_inout_free(&outputs);
            avfilter_inout_free(&inputs);
            return false;
        }
        outputs->name = av_strdup("in");
        outputs->filter_ctx = run.source;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = run.sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        ret = avfilter_graph_parse_ptr(run.graph.get(), crop.constData(), &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        if (ret < 0) {
            PAXSCREEN_ERROR("avfilter_graph_parse_ptr failed, retval:%d", ret);
            return false;
        }
        ret = avfilter_graph_config(run.graph.get(), nullptr);
        if (ret < 0) {
            PAXSCREEN_ERROR("avfilter_graph_config failed, retval:%d", ret);
            return false;
        }
        run.filtered.reset(av_frame_alloc());
        if (!run.filtered)
            return false;

        // The hand-over to the microphone side: published once the header is written.
        if (m_audioOn) {
            QMutexLocker bind(&m_bindMutex);
            if (m_bind) {
                m_bind->outputContext = run.output.get();
                m_bind->audioEncoder = run.audioEncoder.get();
                m_bind->audioStream = run.audioStream;
                m_bind->audioFrame = run.audioFrame.get();
                m_bind->videoReady = true;
                m_bind->videoFinished = false;
                m_bind->audioPacketCounter = 0;
            }
        } else {
            m_videoOrigin = av_gettime();
        }
        return true;
    };

    auto scaleAndEncode = [&](AVFrame* frame) -> int {
        const QSize size(frame->width, frame->height);
        const AVPixelFormat format = AVPixelFormat(frame->format);
        if (!run.scaler || run.scalerInput != format || run.scalerSize != size) {
            run.scaler.reset(sws_getContext(frame->width, frame->height, format, run.encoder->width,
                                            run.encoder->height, run.encoder->pix_fmt, SWS_BICUBIC, nullptr,
                                            nullptr, nullptr));
            run.scalerInput = format;
            run.scalerSize = size;
            if (!run.scaler)
                return AVERROR(EINVAL);
        }
        if (av_frame_make_writable(run.converted.get()) < 0)
            return AVERROR(ENOMEM);
        sws_scale(run.scaler.get(), frame->data, frame->linesize, 0, frame->height, run.converted->data,
                  run.converted->linesize);
        return _ioctlVideoFrame(run);
    };

    const bool ready = setup();
    if (ready) {
        bool pausing = false;
        int64_t pauseStart = 0;
        for (;;) {
            if (m_audioOn) {
                QMutexLocker bind(&m_bindMutex);
                if (!m_bind || m_bind->audioFinished)
                    break;
            }
            const int status = m_status.load();
            if (status == 0)
                break;
            if (status == 2) {
                if (!pausing) {
                    pausing = true;
                    pauseStart = av_gettime();
                    _callbackRecordInfo(2, 0);
                }
                QThread::msleep(100);
                continue;
            }
            if (status != 1)
                continue;
            if (pausing) {
                pausing = false;
                int64_t origin = m_videoOrigin.load();
                while (origin && !m_videoOrigin.compare_exchange_weak(origin, origin + (av_gettime() - pauseStart))) {
                }
                pauseStart = 0;
            }
            int ret = av_read_frame(run.input.get(), run.packet.get());
            if (ret == AVERROR(EAGAIN)) {
                av_packet_unref(run.packet.get());
                QThread::msleep(10);
                continue;
            }
            if (ret < 0) {
                av_packet_unref(run.packet.get());
                PAXSCREEN_ERROR("av_read_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
                break;
            }
            if (run.packet->stream_index != run.videoIndex) {
                PAXSCREEN_ERROR("stream_index invalid, stream_index:%d,videoindex:%d", run.packet->stream_index,
                                run.videoIndex);
                av_packet_unref(run.packet.get());
                continue;
            }
            ret = avcodec_send_packet(run.decoder.get(), run.packet.get());
            av_packet_unref(run.packet.get());
            if (ret < 0) {
                PAXSCREEN_ERROR("avcodec_send_packet failed");
                continue;
            }
            bool failed = false;
            while (!failed && avcodec_receive_frame(run.decoder.get(), run.decoded.get()) >= 0) {
                // With audio, frames before the first audio packet are not recorded.
                if (m_audioOn && m_videoOrigin.load() == 0) {
                    av_frame_unref(run.decoded.get());
                    continue;
                }
                if (run.decoded->width == run.rect.width() && run.decoded->height == run.rect.height()) {
                    scaleAndEncode(run.decoded.get());
                } else {
                    ret = av_buffersrc_add_frame_flags(run.source, run.decoded.get(), AV_BUFFERSRC_FLAG_KEEP_REF);
                    if (ret < 0) {
                        PAXSCREEN_ERROR("av_buffersrc_add_frame_flags failed, retval:%d", ret);
                        failed = true;
                    }
                    while (!failed) {
                        ret = av_buffersink_get_frame(run.sink, run.filtered.get());
                        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
                            break;
                        if (ret < 0) {
                            PAXSCREEN_ERROR("av_buffersink_get_frame failed, retval:%d", ret);
                            failed = true;
                            break;
                        }
                        const int encoded = scaleAndEncode(run.filtered.get());
                        av_frame_unref(run.filtered.get());
                        if (encoded < 0)
                            break;
                    }
                }
                av_frame_unref(run.decoded.get());
            }
            if (failed)
                break;
        }
    }

    // End steps, after the loop and after every setup failure.
    _endHandOver();
    bool complete = false;
    if (run.videoWritten && run.headerWritten) {
        const int ret = av_write_trailer(run.output.get());
        if (ret < 0)
            PAXSCREEN_ERROR("av_write_trailer failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
        else
            complete = true;
    }
    // Release in reverse order; the output's I/O closes with it.
    run.scaler.reset();
    run.filtered.reset();
    run.graph.reset();
    run.converted.reset();
    run.audioFrame.reset();
    run.audioEncoder.reset();
    run.encoder.reset();
    run.output.reset();
    run.packet.reset();
    run.decoded.reset();
    run.decoder.reset();
    run.input.reset();

    // A file without its trailer can't be played: it is removed, and the final record info
    // names no file.
    if (!complete && run.pushUrl.isEmpty() && !run.fileName.isEmpty()) {
        if (run.fileOpened) {
            QFile::remove(run.fileName);
            PAXSCREEN_ERROR("recording[%s] holds no complete video, removed", run.fileName.toLocal8Bit().constData());
        }
        QMutexLocker lock(&m_dataMutex);
        m_recordInfo.fileName.clear();
    }
    int seconds = 0;
    {
        QMutexLocker lock(&m_dataMutex);
        seconds = m_recordInfo.recordSeconds;
    }
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect end recordingTime[%d]", seconds);
}
