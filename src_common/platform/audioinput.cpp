#include "audioinput.h"

#include "ffmpegapi.h"
#include "ffmpeginput.h"
#include "virtualdevice.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QStringList>
#include <QtGlobal>

#include <alsa/asoundlib.h>
#include <pulse/pulseaudio.h>

#include <cstdlib>

namespace pax_platform {

namespace {

QMutex g_mutex;
QList<AudioSourceInfo> g_lastListing;
AudioSourceLister g_lister;

class FfmpegAudioInput final : public AudioInput {
public:
    explicit FfmpegAudioInput(AudioSourceInfo source) : m_source(std::move(source)) {}

    int open(AVFormatContext** ctx, int channels) override
    {
        const ffmpeg::Api* av = ffmpeg::api();
        if (!av) {
            *ctx = nullptr;
            return AVERROR(ENOSYS);
        }
        AVDictionary* options = nullptr;
        if (m_source.format != QLatin1String("lavfi") && channels > 0)
            av->av_dict_set(&options, "channels", QByteArray::number(channels).constData(), 0);
        return openFfmpegInput(ctx, m_source.format.toLatin1().constData(), m_source.device.toUtf8(), &options);
    }

    QString deviceName() const override { return m_source.format + QLatin1Char(' ') + m_source.device; }

private:
    AudioSourceInfo m_source;
};

} // namespace

AudioSourceInfo virtualMicrophone()
{
    const QString name = qEnvironmentVariable("ORVANE_VIRTUAL_MICROPHONE_NAME");
    return {name.isEmpty() ? QString::fromLatin1(pax_virtual::kMicrophoneName) : name, QStringLiteral("lavfi"),
            QStringLiteral("sine=frequency=440:sample_rate=44100,arealtime")};
}

namespace {

// A source as FFmpeg's input device `format` opens it; `description` may hold several lines,
// of which the last names the device best (ALSA: "card, device\nwhat it is").
void addSource(QList<AudioSourceInfo>& out, const char* format, const char* device, const char* description)
{
    const QString name = QString::fromUtf8(device);
    // ALSA's "null" discards playback and captures silence: not a microphone.
    if (name.isEmpty() || name == QLatin1String("null"))
        return;
    const QStringList lines = QString::fromUtf8(description ? description : "").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString shown = lines.isEmpty() ? QString() : lines.last().trimmed();
    out.append({shown.isEmpty() ? name : shown, QString::fromLatin1(format), name});
}

struct PulseListing {
    QList<AudioSourceInfo> sources;
    bool complete = false;
    bool failed = false;
};

void onPulseSource(pa_context*, const pa_source_info* info, int eol, void* data)
{
    auto* listing = static_cast<PulseListing*>(data);
    if (eol != 0) {
        listing->complete = eol > 0;
        listing->failed = eol < 0;
        return;
    }
    if (info && info->name)
        addSource(listing->sources, "pulse", info->name, info->description);
}

// One pass of the loop, waiting at most until `deadline`; false on a loop error.
bool iteratePulse(pa_mainloop* loop, const QDeadlineTimer& deadline)
{
    const qint64 waitMs = qBound<qint64>(0, deadline.remainingTime(), 100);
    return pa_mainloop_prepare(loop, int(waitMs * 1000)) >= 0 && pa_mainloop_poll(loop) >= 0
           && pa_mainloop_dispatch(loop) >= 0;
}

constexpr int kPulseWaitMs = 5000;

} // namespace

QList<AudioSourceInfo> pulseAudioSources()
{
    PulseListing listing;
    pa_mainloop* loop = pa_mainloop_new();
    if (!loop)
        return {};
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "Orvane device list");
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
        // A server that accepts but never answers must not hold the caller (the device search).
        const QDeadlineTimer deadline(kPulseWaitMs);
        pa_operation* operation = nullptr;
        while (!deadline.hasExpired()) {
            const pa_context_state_t state = pa_context_get_state(context);
            if (!PA_CONTEXT_IS_GOOD(state))
                break;   // no server, refused, or gone
            if (state == PA_CONTEXT_READY && !operation) {
                operation = pa_context_get_source_info_list(context, onPulseSource, &listing);
                if (!operation)
                    break;
            }
            if (operation && pa_operation_get_state(operation) != PA_OPERATION_RUNNING)
                break;
            if (!iteratePulse(loop, deadline))
                break;
        }
        if (operation) {
            if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
                pa_operation_cancel(operation);
            pa_operation_unref(operation);
        }
        pa_context_disconnect(context);
    }
    if (context)
        pa_context_unref(context);
    pa_mainloop_free(loop);
    // A listing cut short is no listing: the caller then asks ALSA.
    if (!listing.complete || listing.failed)
        return {};
    return listing.sources;
}

QList<AudioSourceInfo> alsaAudioSources()
{
    QList<AudioSourceInfo> out;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints)
        return out;
    for (void** hint = hints; *hint; ++hint) {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* description = snd_device_name_get_hint(*hint, "DESC");
        char* io = snd_device_name_get_hint(*hint, "IOID");   // none: both ways
        if (name && (!io || qstrcmp(io, "Input") == 0))
            addSource(out, "alsa", name, description);
        free(name);
        free(description);
        free(io);
    }
    snd_device_name_free_hint(hints);
    return out;
}

QList<AudioSourceInfo> listAudioSources()
{
    AudioSourceLister lister;
    {
        QMutexLocker lock(&g_mutex);
        lister = g_lister;
    }
    QList<AudioSourceInfo> sources;
    if (lister) {
        sources = lister();
    } else {
        sources = pulseAudioSources();
        if (sources.isEmpty())
            sources = alsaAudioSources();
        if (pax_virtual::enabled())
            sources.append(virtualMicrophone());
    }
    QMutexLocker lock(&g_mutex);
    g_lastListing = sources;
    return sources;
}

std::unique_ptr<AudioInput> createAudioInput(const AudioSourceInfo& source)
{
    return std::make_unique<FfmpegAudioInput>(source);
}

std::unique_ptr<AudioInput> audioInputAt(int index)
{
    QMutexLocker lock(&g_mutex);
    if (index < 0 || index >= g_lastListing.size())
        return nullptr;
    return createAudioInput(g_lastListing.at(index));
}

void setAudioSourceLister(AudioSourceLister lister)
{
    QMutexLocker lock(&g_mutex);
    g_lister = std::move(lister);
}

} // namespace pax_platform
