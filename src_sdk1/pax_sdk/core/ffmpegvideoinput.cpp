#include "ffmpegvideoinput.h"

#include "ffmpeginput.h"
#include "maccamera.h"
#include "macuvcclient.h"
#include "paxavptr.h"
#include "paxintool.h"
#include "paxmacos.h"

#include <QElapsedTimer>

#include <chrono>
#include <cstdlib>

namespace {

constexpr int kPollMs = 10;

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

// Demuxer and decoder of the FFmpeg path.
struct FfmpegVideoInput::Decoder {
    paxav::InputContext input;
    int videoIndex = -1;
    paxav::CodecContext codec;
    paxav::Frame frame;
    QElapsedTimer sinceLastFrame;   // rate limit of the inner thread
};

// ---- inner decoding thread ------------------------------------------------------------------

FfmpegVideoInputInside::FfmpegVideoInputInside(FfmpegVideoInput* input) : QThread(nullptr), m_input(input) {}

void FfmpegVideoInputInside::myStart()
{
    if (isRunning())
        return;
    m_stop.store(0);
    start();
}

void FfmpegVideoInputInside::myCloseWait()
{
    m_stop.store(1);
    {
        QMutexLocker lock(&m_input->m_packetLock);
        m_input->m_packetArrived.wakeAll();
    }
    wait();
}

void FfmpegVideoInputInside::run()
{
    while (m_stop.load() == 0) {
        AVPacket* packet = nullptr;
        {
            QMutexLocker lock(&m_input->m_packetLock);
            if (!m_input->m_packet && m_stop.load() == 0)
                m_input->m_packetArrived.wait(&m_input->m_packetLock, kPollMs);
            packet = m_input->m_packet;
            m_input->m_packet = nullptr;
        }
        if (!packet)
            continue;
        m_input->_handlePacket(packet);
        av_packet_free(&packet);
    }
}

// ---- outer input --------------------------------------------------------------------------------

FfmpegVideoInput::FfmpegVideoInput(QObject* parent) : QThread(parent), m_decoder(std::make_unique<Decoder>())
{
    mfccRegisterMetaTypes();
    m_cameraInfo.device_index = 3;
    m_inside = new FfmpegVideoInputInside(this);
    connect(this, &QThread::finished, this, &FfmpegVideoInput::slotFinished, Qt::QueuedConnection);
}

FfmpegVideoInput::~FfmpegVideoInput()
{
    _myCloseWait();
    delete m_inside;
    QMutexLocker lock(&m_packetLock);
    av_packet_free(&m_packet);
}

_MFCC_InfoS FfmpegVideoInput::getCameraInfo() const
{
    QMutexLocker lock(&m_infoLock);
    return m_cameraInfo;
}

_MFCC_Play_StatusE FfmpegVideoInput::playStatus() const
{
    return _MFCC_Play_StatusE(m_playStatus.load());
}

_MFCC_Record_StatusE FfmpegVideoInput::recordStatus() const
{
    return _MFCC_Record_StatusE(m_recordStatus.load());
}

void FfmpegVideoInput::setFfmpegPathEnabled(bool enabled)
{
    m_ffmpegPath.store(enabled);
}

bool FfmpegVideoInput::isFfmpegPathEnabled() const
{
    return m_ffmpegPath.load();
}

void FfmpegVideoInput::setCameraInfo(_MFCC_InfoS info)
{
    _myCloseWait();
    {
        QMutexLocker lock(&m_infoLock);
        m_cameraInfo = info;
        if (info.device_name.isEmpty())
            return;
        const QStringList size = info.video_size.split(QLatin1Char('x'));
        m_width = size.value(0).toInt();
        m_height = size.value(1).toInt();
    }
    _ioctlStatusChange();
}

void FfmpegVideoInput::closeWait()
{
    _myCloseWait();
}

void FfmpegVideoInput::slotFinished()
{
    PAX_LOG_DEBUG("thread id[%d] device_index[%d] exit", int(quintptr(QThread::currentThreadId()) & 0x7fffffff),
                  getCameraInfo().device_index);
}

void FfmpegVideoInput::slotPlayStatusChange(_MFCC_Play_StatusE status)
{
    m_playStatus.store(int(status));
    _ioctlStatusChange();
}

void FfmpegVideoInput::slotRecordStatusChange(_MFCC_Record_StatusE status)
{
    m_recordStatus.store(int(status));
    _ioctlStatusChange();
}

void FfmpegVideoInput::_ioctlStatusChange()
{
    const int play = m_playStatus.load();
    const int record = m_recordStatus.load();
    const bool wanted = play == MFCC_Play_Play || play == MFCC_Play_Pause || record == MFCC_Record_Recording ||
                        record == MFCC_Record_Paused;
    if (wanted) {
        if (!getCameraInfo().device_name.isEmpty())
            _myStart();
    } else if (play == MFCC_Play_Stop && record == MFCC_Record_Stopped) {
        _myCloseWait();
    }
}

void FfmpegVideoInput::_myStart()
{
    if (isRunning())
        return;
    m_runningFfmpegPath = m_ffmpegPath.load();
    m_stop.store(0);
    start();
    if (!m_runningFfmpegPath)
        _openCameraSession();
}

void FfmpegVideoInput::_myCloseWait()
{
    _closeCameraSession();
    if (isRunning()) {
        m_stop.store(1);
        wait();
    }
}

void FfmpegVideoInput::_openCameraSession()
{
    const _MFCC_InfoS info = getCameraInfo();
    int width, height;
    {
        QMutexLocker lock(&m_infoLock);
        width = m_width;
        height = m_height;
    }
    const int fps = info.fps.toInt();
    // A frame left from an earlier session must not be shown as this one's first.
    delete (info.device_index == 0 ? MacCamera::getFrameMain() : MacCamera::getFrameSecond());
    if (isAvailableMacos13()) {
        MacUvcClient::getInstance()->startPlayCamera(info.device_index, width, height, fps, false);
    } else if (info.device_index != 0) {
        MacCamera::startPreviewSecond(info.device_name, QSize(width, height), fps);
    } else {
        MacCamera::startPreviewMain(info.device_name, QSize(width, height), fps);
    }
    m_sessionOpen = true;
}

void FfmpegVideoInput::_closeCameraSession()
{
    if (!m_sessionOpen)
        return;
    m_sessionOpen = false;
    const int index = getCameraInfo().device_index;
    if (isAvailableMacos13()) {
        MacUvcClient::getInstance()->stopPlayCamera(index);
    } else if (index != 0) {
        MacCamera::stopPreviewSecond();
    } else {
        MacCamera::stopPreviewMain();
    }
}

void FfmpegVideoInput::run()
{
    _closeAllOpen();
    if (m_runningFfmpegPath) {
        if (_openCamera() == 0 && _findVideoStream() == 0 && _createDecoder() == 0 && _createFrameAndPacket() == 0) {
            m_inside->myStart();
            _demuxLoop();
            m_inside->myCloseWait();
        }
    } else {
        _pollLoop();
    }
    _closeAllOpen();
}

void FfmpegVideoInput::_emitImage(const QImage& image)
{
    if (m_recordStatus.load() == MFCC_Record_Recording)
        emit sigSendVideoImageForRecord(image);
    emit sigSendVideoImageForPlay(image);
}

void FfmpegVideoInput::_pollLoop()
{
    const int index = getCameraInfo().device_index;
    const bool serviceClient = index == 0 && isAvailableMacos13();
    while (m_stop.load() == 0) {
        if (serviceClient && MacUvcClient::getInstance()->getWorkMode() != 0) {
            // UVC preview: the service writes the main camera's JPEG frames into the block.
            if (PaxUvcControl::_VideoFrame* frame = MacUvcClient::getInstance()->getVideoFrameFromMainCamera()) {
                m_arrivalNs.store(steadyNs());
                const QImage image = QImage::fromData(frame->data, frame->size);
                std::free(frame->data);
                delete frame;
                if (!image.isNull())
                    _emitImage(image);
            }
            QThread::msleep(kPollMs);
            continue;
        }
        qint64 arrival = 0;
        QImage* image = index == 0 ? MacCamera::waitFrameMain(kPollMs, &arrival)
                                   : MacCamera::waitFrameSecond(kPollMs, &arrival);
        if (!image)
            continue;
        m_arrivalNs.store(arrival);
        // The capture's frames are opaque ARGB32: the same bytes labelled RGB32 turn into a pixmap
        // without a copy and without a search for transparent pixels.
        if (image->format() == QImage::Format_ARGB32)
            image->reinterpretAsFormat(QImage::Format_RGB32);
        _emitImage(*image);
        delete image;
    }
}

void FfmpegVideoInput::_closeAllOpen()
{
    Decoder& d = *m_decoder;
    d.videoIndex = -1;
    d.frame.reset();
    d.codec.reset();
    d.input.reset();
}

// ---- FFmpeg path ----------------------------------------------------------------------------------

int FfmpegVideoInput::_openCamera()
{
    const _MFCC_InfoS info = getCameraInfo();
    if (info.device_name.isEmpty()) {
        PAX_LOG_ERROR("not set camera");
        return -1;
    }
    PAX_LOG_DEBUG("m_cameraInfo.device_index:%d threadid:%d", info.device_index,
                  int(quintptr(QThread::currentThreadId()) & 0x7fffffff));
    AVDictionary* options = nullptr;
    if (!info.pixel_format.isEmpty()) {
        av_dict_set(&options, "pixel_format", info.pixel_format.toLatin1().constData(), 0);
        PAX_LOG_DEBUG("m_cameraInfo.pixel_format:%s", qPrintable(info.pixel_format));
    }
    if (!info.fps.isEmpty()) {
        av_dict_set(&options, "framerate", info.fps.toLatin1().constData(), 0);
        PAX_LOG_DEBUG("m_cameraInfo.fps:%s", qPrintable(info.fps));
    }
    if (!info.video_size.isEmpty()) {
        av_dict_set(&options, "video_size", info.video_size.toLatin1().constData(), 0);
        PAX_LOG_DEBUG("m_cameraInfo.video_size:%s", qPrintable(info.video_size));
    }
    const QByteArray format = info.input_format.isEmpty() ? QByteArrayLiteral("video4linux2") : info.input_format.toLatin1();
    PAX_LOG_DEBUG("start video input, device_name:%s", qPrintable(info.device_name));
    AVFormatContext* ctx = nullptr;
    // Registers the capture devices once per process: a host may use nothing else of FFmpeg.
    const int ret = pax_platform::openFfmpegInput(&ctx, format.constData(), info.device_name.toUtf8(), &options);
    if (ret < 0) {
        char err[256];
        PAX_LOG_ERROR("avformat_open_input failed, retval[%d] deviceName[%s] errStr[%s]", ret,
                      qPrintable(info.device_name), paxav::errorText(ret, err));
        return -1;
    }
    m_decoder->input.reset(ctx);
    av_dump_format(ctx, 0, info.device_name.toUtf8().constData(), 0);
    return 0;
}

int FfmpegVideoInput::_findVideoStream()
{
    AVFormatContext* ctx = m_decoder->input.get();
    const int ret = avformat_find_stream_info(ctx, nullptr);
    if (ret < 0) {
        char err[256];
        PAX_LOG_ERROR("avformat_find_stream_info failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    ctx->flags |= AVFMT_FLAG_NONBLOCK;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        if (ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            m_decoder->videoIndex = int(i);
            return 0;
        }
    }
    PAX_LOG_ERROR("couldn't find a video stream.");
    return -1;
}

int FfmpegVideoInput::_createDecoder()
{
    const AVCodecParameters* par = m_decoder->input->streams[m_decoder->videoIndex]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) {
        PAX_LOG_ERROR("avcodec_find_decoder failed, codec_id[%d]", int(par->codec_id));
        return -1;
    }
    m_decoder->codec.reset(avcodec_alloc_context3(codec));
    if (!m_decoder->codec)
        return -1;
    char err[256];
    int ret = avcodec_parameters_to_context(m_decoder->codec.get(), par);
    if (ret < 0) {
        PAX_LOG_ERROR("avcodec_parameters_to_context failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    ret = avcodec_open2(m_decoder->codec.get(), codec, nullptr);
    if (ret < 0) {
        PAX_LOG_ERROR("avcodec_open2 failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return -1;
    }
    return 0;
}

int FfmpegVideoInput::_createFrameAndPacket()
{
    m_decoder->frame.reset(av_frame_alloc());
    m_decoder->sinceLastFrame.invalidate();
    return m_decoder->frame ? 0 : -1;
}

void FfmpegVideoInput::_demuxLoop()
{
    bool errorLogged = false;
    while (m_stop.load() == 0) {
        AVPacket* packet = av_packet_alloc();
        if (!packet)
            return;
        const int ret = av_read_frame(m_decoder->input.get(), packet);
        if (ret == AVERROR(EAGAIN)) {
            av_packet_free(&packet);
            QThread::msleep(5);
            continue;
        }
        if (ret < 0) {
            av_packet_free(&packet);
            if (!errorLogged) {
                char err[256];
                PAX_LOG_ERROR("av_read_frame failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
                errorLogged = true;
            }
            QThread::msleep(kPollMs);
            continue;
        }
        errorLogged = false;
        _putPacket(packet);
    }
}

void FfmpegVideoInput::_putPacket(AVPacket* packet)
{
    AVPacket* old;
    {
        QMutexLocker lock(&m_packetLock);
        old = m_packet;
        m_packet = packet;
    }
    m_packetArrived.wakeAll();
    av_packet_free(&old);
}

void FfmpegVideoInput::_handlePacket(AVPacket* packet)
{
    Decoder& d = *m_decoder;
    if (packet->stream_index != d.videoIndex) {
        PAX_LOG_ERROR("stream_index[%d] is not videoindex[%d]", packet->stream_index, d.videoIndex);
        return;
    }
    const _MFCC_InfoS info = getCameraInfo();
    const auto due = [&d, &info] {
        if (info.iFrameCountPerSecond < 1)
            return true;
        if (d.sinceLastFrame.isValid() && d.sinceLastFrame.elapsed() < 1000 / info.iFrameCountPerSecond)
            return false;
        d.sinceLastFrame.start();
        return true;
    };
    m_arrivalNs.store(steadyNs());
    if (info.wid == kMfccNoWindow && info.pixel_format == QLatin1String("mjpeg") &&
        m_recordStatus.load() == MFCC_Record_Stopped) {
        if (!due())
            return;
        const QImage image = QImage::fromData(packet->data, packet->size, "JPG");
        if (!image.isNull())
            emit sigSendVideoImageForPlay(image);
        return;
    }
    int ret = avcodec_send_packet(d.codec.get(), packet);
    if (ret < 0) {
        char err[256];
        PAX_LOG_ERROR("avcodec_send_packet failed, retval[%d] errStr[%s]", ret, paxav::errorText(ret, err));
        return;
    }
    while (avcodec_receive_frame(d.codec.get(), d.frame.get()) == 0) {
        if (due()) {
            const _Ffmpeg_Video_Frame_SendS send{d.frame.get(), d.codec.get()};
            emit sigSendVideoFrameForPlay(send);
            emit sigSendVideoFrameForRecord(send);
        }
        av_frame_unref(d.frame.get());
    }
}
