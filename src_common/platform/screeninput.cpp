#include "screeninput.h"

#include "ffmpegapi.h"
#include "ffmpeginput.h"

#include <QMutex>
#include <QtGlobal>

namespace pax_platform {

namespace {

QMutex g_factoryMutex;
ScreenInputFactory g_factory;

QString displayName(const QString& display)
{
    if (!display.isEmpty())
        return display;
    return qEnvironmentVariable("DISPLAY");
}

class X11ScreenInput final : public ScreenInput {
public:
    explicit X11ScreenInput(QString display) : m_display(std::move(display)) {}

    int open(AVFormatContext** ctx, int framerate, bool drawMouse) override
    {
        const QString display = displayName(m_display);
        *ctx = nullptr;
        if (display.isEmpty())
            return AVERROR(ENODEV);
        const ffmpeg::Api* av = ffmpeg::api();
        if (!av)
            return AVERROR(ENOSYS);
        AVDictionary* options = nullptr;
        av->av_dict_set(&options, "framerate", QByteArray::number(framerate).constData(), 0);
        av->av_dict_set(&options, "draw_mouse", drawMouse ? "1" : "0", 0);
        return openFfmpegInput(ctx, "x11grab", display.toLocal8Bit(), &options);
    }

    QString deviceName() const override { return QStringLiteral("x11grab ") + displayName(m_display); }

private:
    QString m_display;
};

class LavfiScreenInput final : public ScreenInput {
public:
    explicit LavfiScreenInput(QString graph) : m_graph(std::move(graph)) {}

    int open(AVFormatContext** ctx, int framerate, bool) override
    {
        QString graph = m_graph;
        graph.replace(QStringLiteral("{fps}"), QString::number(framerate));
        graph += QStringLiteral(",realtime");
        AVDictionary* options = nullptr;
        return openFfmpegInput(ctx, "lavfi", graph.toUtf8(), &options);
    }

    QString deviceName() const override { return QStringLiteral("lavfi ") + m_graph; }

private:
    QString m_graph;
};

} // namespace

std::unique_ptr<ScreenInput> createX11ScreenInput(const QString& display)
{
    return std::make_unique<X11ScreenInput>(display);
}

std::unique_ptr<ScreenInput> createLavfiScreenInput(const QString& graph)
{
    return std::make_unique<LavfiScreenInput>(graph);
}

std::unique_ptr<ScreenInput> createScreenInput()
{
    ScreenInputFactory factory;
    {
        QMutexLocker lock(&g_factoryMutex);
        factory = g_factory;
    }
    if (factory) {
        if (auto input = factory())
            return input;
    }
    return createX11ScreenInput();
}

void setScreenInputFactory(ScreenInputFactory factory)
{
    QMutexLocker lock(&g_factoryMutex);
    g_factory = std::move(factory);
}

QSize xScreenSize(const QString& display)
{
    AVFormatContext* ctx = nullptr;
    X11ScreenInput input(display);
    if (input.open(&ctx, 1, false) < 0 || !ctx)
        return QSize();
    QSize size;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVCodecParameters* par = ctx->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            size = QSize(par->width, par->height);
            break;
        }
    }
    ffmpeg::api()->avformat_close_input(&ctx);
    return size;
}

} // namespace pax_platform
