#include "audioinput.h"

#include "ffmpeginput.h"
#include "virtualdevice.h"

#include <QMutex>
#include <QtGlobal>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

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
        AVDictionary* options = nullptr;
        if (m_source.format != QLatin1String("lavfi") && channels > 0)
            av_dict_set(&options, "channels", QByteArray::number(channels).constData(), 0);
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

QList<AudioSourceInfo> ffmpegAudioSources(const char* formatName)
{
    registerFfmpegDevices();
    QList<AudioSourceInfo> out;
    const AVInputFormat* format = av_find_input_format(formatName);
    if (!format)
        return out;
    AVDeviceInfoList* list = nullptr;
    if (avdevice_list_input_sources(format, nullptr, nullptr, &list) < 0 || !list) {
        avdevice_free_list_devices(&list);
        return out;
    }
    for (int i = 0; i < list->nb_devices; ++i) {
        const AVDeviceInfo* dev = list->devices[i];
        if (!dev || !dev->device_name)
            continue;
        const QString device = QString::fromUtf8(dev->device_name);
        // ALSA's "null" discards playback and captures silence: not a microphone.
        if (device == QLatin1String("null"))
            continue;
        bool hasAudio = dev->nb_media_types == 0;
        for (int m = 0; m < dev->nb_media_types; ++m)
            hasAudio = hasAudio || dev->media_types[m] == AVMEDIA_TYPE_AUDIO;
        if (!hasAudio)
            continue;
        QString name = dev->device_description ? QString::fromUtf8(dev->device_description).trimmed() : QString();
        if (name.isEmpty())
            name = device;
        out.append({name, QString::fromLatin1(formatName), device});
    }
    avdevice_free_list_devices(&list);
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
        sources = ffmpegAudioSources("pulse");
        if (sources.isEmpty())
            sources = ffmpegAudioSources("alsa");
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
