#include "audiosources.h"

#include "virtualdevice.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace pax_platform {

QList<AudioSource> pulseSourcesFrom(const QByteArray& text)
{
    QList<AudioSource> list;
    AudioSource current;
    bool inSource = false;
    bool monitor = false;
    auto flush = [&]() {
        if (inSource && !monitor && !current.device.isEmpty()) {
            if (current.name.isEmpty())
                current.name = current.device;
            list.append(current);
        }
        current = AudioSource();
        monitor = false;
    };
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (raw.startsWith("Source #")) {
            flush();
            inSource = true;
            continue;
        }
        if (!inSource)
            continue;
        if (line.startsWith("Name:")) {
            current.device = QString::fromUtf8(line.mid(5).trimmed());
            if (current.device.endsWith(QLatin1String(".monitor")))
                monitor = true;
        } else if (line.startsWith("Description:")) {
            current.name = QString::fromUtf8(line.mid(12).trimmed());
        } else if (line.startsWith("Monitor of Sink:")) {
            if (line.mid(16).trimmed() != "n/a")
                monitor = true;
        }
    }
    flush();
    for (AudioSource& s : list)
        s.backend = AudioSource::Pulse;
    return list;
}

QList<AudioSource> alsaSourcesFrom(const QByteArray& text)
{
    // "00-00: ALC892 Analog : ALC892 Analog : playback 1 : capture 1"
    QList<AudioSource> list;
    for (const QByteArray& raw : text.split('\n')) {
        const QList<QByteArray> fields = raw.split(':');
        if (fields.size() < 3 || !raw.contains("capture"))
            continue;
        const QList<QByteArray> ids = fields.at(0).trimmed().split('-');
        if (ids.size() != 2)
            continue;
        bool okCard = false, okDev = false;
        const int card = ids.at(0).toInt(&okCard);
        const int dev = ids.at(1).toInt(&okDev);
        if (!okCard || !okDev)
            continue;
        AudioSource s;
        s.backend = AudioSource::Alsa;
        s.device = QStringLiteral("hw:%1,%2").arg(card).arg(dev);
        s.name = QString::fromUtf8(fields.at(1).trimmed());
        if (s.name.isEmpty())
            s.name = s.device;
        list.append(s);
    }
    return list;
}

static QList<AudioSource> pulseSources()
{
    const QString pactl = QStandardPaths::findExecutable(QStringLiteral("pactl"));
    if (pactl.isEmpty())
        return {};
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(env);
    process.start(pactl, {QStringLiteral("list"), QStringLiteral("sources")}, QIODevice::ReadOnly);
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return pulseSourcesFrom(process.readAllStandardOutput());
}

QList<AudioSource> availableAudioSources()
{
    QList<AudioSource> list = pulseSources();
    if (list.isEmpty()) {
        QFile pcm(QStringLiteral("/proc/asound/pcm"));
        if (pcm.open(QIODevice::ReadOnly))
            list = alsaSourcesFrom(pcm.readAll());
    }
    if (pax_virtual::enabled()) {
        AudioSource s;
        s.backend = AudioSource::Virtual;
        s.name = QLatin1String(pax_virtual::kMicrophoneName);
        list.append(s);
    }
    return list;
}

} // namespace pax_platform
