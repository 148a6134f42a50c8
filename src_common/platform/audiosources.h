#pragma once
// Microphones that a capture can open: PulseAudio sources (monitors left out), else the
// ALSA capture devices, and the virtual microphone when the virtual camera is enabled.

#include <QByteArray>
#include <QList>
#include <QString>

namespace pax_platform {

struct AudioSource {
    enum Backend { Pulse, Alsa, Virtual };
    Backend backend = Pulse;
    QString name;    // what the user sees (and the listing prints)
    QString device;  // PulseAudio source name, ALSA "hw:C,D", or empty for the virtual one
};

// PulseAudio's sources when a server answers, otherwise ALSA's capture devices; then
// "Virtual Microphone" when enabled.
QList<AudioSource> availableAudioSources();

// Parsers of `pactl list sources` (C locale) and /proc/asound/pcm.
QList<AudioSource> pulseSourcesFrom(const QByteArray& pactlListSources);
QList<AudioSource> alsaSourcesFrom(const QByteArray& procAsoundPcm);

} // namespace pax_platform
