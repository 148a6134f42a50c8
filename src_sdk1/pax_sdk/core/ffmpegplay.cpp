#include "ffmpegplay.h"

#include "paxavptr.h"
#include "paxintool.h"

#include <SDL2/SDL.h>
#include <libyuv/convert_argb.h>

extern "C" {
#include <libavutil/imgutils.h>
}

// Scratch of the decoding path, made for one frame size and released on a size change,
// a stop and an invalid exit.
struct FfmpegPlay::Scratch {
    int width = 0;
    int height = 0;
    int sourceFormat = AV_PIX_FMT_NONE;
    int scalerFlags = 0;
    paxav::Frame yuv;        // YUV420P of the frame size
    paxav::Scaler scaler;    // source format -> YUV420P
    QImage rgb;            // RGB888 handed on when there is no window
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;

    ~Scratch()
    {
        if (texture)
            SDL_DestroyTexture(texture);
        if (renderer)
            SDL_DestroyRenderer(renderer);
        if (window)
            SDL_DestroyWindow(window);
    }

    // The YUV420P frame of `src`, converted with `flags`; null on failure.
    AVFrame* toYuv420(AVFrame* src, int srcFormat, int flags)
    {
        if (!yuv) {
            yuv.reset(av_frame_alloc());
            if (!yuv)
                return nullptr;
            yuv->format = AV_PIX_FMT_YUV420P;
            yuv->width = width;
            yuv->height = height;
            if (av_frame_get_buffer(yuv.get(), 0) < 0) {
                yuv.reset();
                return nullptr;
            }
        }
        if (!scaler || sourceFormat != srcFormat || scalerFlags != flags) {
            scaler.reset(sws_getContext(width, height, AVPixelFormat(srcFormat), width, height, AV_PIX_FMT_YUV420P,
                                        flags, nullptr, nullptr, nullptr));
            sourceFormat = srcFormat;
            scalerFlags = flags;
            if (!scaler)
                return nullptr;
        }
        sws_scale(scaler.get(), src->data, src->linesize, 0, height, yuv->data, yuv->linesize);
        return yuv.get();
    }
};

FfmpegPlay::FfmpegPlay(QObject* parent) : QObject(parent)
{
    mfccRegisterMetaTypes();
}

FfmpegPlay::~FfmpegPlay()
{
    if (m_status.load() != MFCC_Play_Stop)
        _myCloseWait(true);
    QMutexLocker lock(&m_frameLock);
    _releaseScratch();
}

_MFCC_Play_StatusE FfmpegPlay::getStatus() const
{
    return _MFCC_Play_StatusE(m_status.load());
}

void FfmpegPlay::setStatus(_MFCC_Play_StatusE status)
{
    const int old = m_status.load();
    if (old == int(status))
        return;
    if (status == MFCC_Play_Stop)
        _myCloseWait(true);
    m_status.store(int(status));
    emit sigPlayStatusChange(status);
}

void FfmpegPlay::setWid(quint64 wid, int width, int height)
{
    Q_UNUSED(width);
    Q_UNUSED(height);
    m_wid.store(wid);
}

quint64 FfmpegPlay::getWid() const
{
    return m_wid.load();
}

void FfmpegPlay::_myCloseWait(bool keepStopped)
{
    const int previous = m_status.exchange(MFCC_Play_Stop);
    {
        // Taking the lock waits for a frame in flight; none starts afterwards while stopped.
        QMutexLocker lock(&m_frameLock);
        _releaseScratch();
    }
    if (!keepStopped)
        m_status.store(previous);
}

void FfmpegPlay::_releaseScratch()
{
    m_scratch.reset();
}

void FfmpegPlay::slotSendVideoImageForPlay(const QImage& image)
{
    QMutexLocker lock(&m_frameLock);
    if (m_status.load() != MFCC_Play_Play)
        return;
    emit sigGetOneFrame(image);
}

void FfmpegPlay::slotSendVideoFrameForPlay(_Ffmpeg_Video_Frame_SendS frame)
{
    if (!frame.frame || !frame.codecCtx)
        return;
    QMutexLocker lock(&m_frameLock);
    if (m_status.load() != MFCC_Play_Play)
        return;
    _showFrame(frame.frame, frame.codecCtx);
}

void FfmpegPlay::slotInvalidExit()
{
    QMutexLocker lock(&m_frameLock);
    _releaseScratch();
}

void FfmpegPlay::_showFrame(AVFrame* frame, AVCodecContext* decoder)
{
    const int width = decoder->width;
    const int height = decoder->height;
    if (width <= 0 || height <= 0)
        return;
    if (m_scratch && (m_scratch->width != width || m_scratch->height != height))
        _releaseScratch();
    if (!m_scratch) {
        m_scratch = std::make_unique<Scratch>();
        m_scratch->width = width;
        m_scratch->height = height;
    }
    if (m_wid.load() != kMfccNoWindow) {
        _renderToWindow(frame, decoder);
        return;
    }
    AVFrame* yuv = m_scratch->toYuv420(frame, decoder->pix_fmt, SWS_BICUBIC);
    if (!yuv) {
        PAX_LOG_ERROR("cannot convert a %dx%d frame of format[%d] to YUV420P", width, height, int(decoder->pix_fmt));
        return;
    }
    QImage& rgb = m_scratch->rgb;
    if (rgb.width() != width || rgb.height() != height)
        rgb = QImage(width, height, QImage::Format_RGB888);
    libyuv::I420ToRAW(yuv->data[0], yuv->linesize[0], yuv->data[1], yuv->linesize[1], yuv->data[2], yuv->linesize[2],
                      rgb.bits(), int(rgb.bytesPerLine()), width, height);
    emit sigGetOneFrame(rgb);
}

bool FfmpegPlay::_renderToWindow(AVFrame* frame, AVCodecContext* decoder)
{
    Scratch& s = *m_scratch;
    if (!s.texture) {
        // SDL's video part is started once per process and stays: shutting it down unloads
        // the window-system libraries it opened, with what they still hold.
        static const bool sdlVideo = [] {
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
                return true;
            PAX_LOG_ERROR("SDL_InitSubSystem failed[%s]", SDL_GetError());
            return false;
        }();
        if (!sdlVideo)
            return false;
        s.window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(quintptr(m_wid.load())));
        if (!s.window) {
            PAX_LOG_ERROR("SDL_CreateWindowFrom failed[%s]", SDL_GetError());
            return false;
        }
        s.renderer = SDL_CreateRenderer(s.window, -1, 0);
        if (!s.renderer) {
            PAX_LOG_ERROR("SDL_CreateRenderer failed[%s]", SDL_GetError());
            return false;
        }
        // Planes in Y, U, V order: the I420 layout of the converted frame.
        s.texture = SDL_CreateTexture(s.renderer, SDL_PIXELFORMAT_IYUV, SDL_TEXTUREACCESS_STREAMING, s.width, s.height);
        if (!s.texture) {
            PAX_LOG_ERROR("SDL_CreateTexture failed[%s]", SDL_GetError());
            return false;
        }
    }
    AVFrame* yuv = s.toYuv420(frame, decoder->pix_fmt, SWS_BILINEAR);
    if (!yuv)
        return false;
    SDL_UpdateYUVTexture(s.texture, nullptr, yuv->data[0], yuv->linesize[0], yuv->data[1], yuv->linesize[1],
                         yuv->data[2], yuv->linesize[2]);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
    SDL_RenderPresent(s.renderer);
    return true;
}
