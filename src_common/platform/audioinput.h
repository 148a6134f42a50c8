#pragma once
// Microphone sources of the screen recorder: PulseAudio sources, ALSA capture devices when
// PulseAudio lists none, and the virtual microphone (a 440 Hz lavfi tone) while the virtual
// camera is on. Each source opens behind one small interface, so a test can feed lavfi.

#include <QList>
#include <QString>

#include <functional>
#include <memory>

struct AVFormatContext;

namespace pax_platform {

struct AudioSourceInfo {
    QString name;      // shown to the user
    QString format;    // FFmpeg input format: "pulse", "alsa" or "lavfi"
    QString device;    // FFmpeg device name or lavfi graph
};

class AudioInput {
public:
    virtual ~AudioInput() = default;
    // Opens the source asking for `channels` channels (the source may deliver another layout;
    // the reader takes the layout of the decoded frames). 0 or a negative AVERROR code.
    virtual int open(AVFormatContext** ctx, int channels) = 0;
    virtual QString deviceName() const = 0;
};

// Lists the microphones now (PulseAudio, else ALSA, then the virtual microphone when enabled)
// and remembers the listing; a position in it is the microphone index of audioInputAt.
QList<AudioSourceInfo> listAudioSources();
// The input of position `index` of the last listing; null for an index outside it.
std::unique_ptr<AudioInput> audioInputAt(int index);
std::unique_ptr<AudioInput> createAudioInput(const AudioSourceInfo& source);

// Source of the listing replaced by a test (empty function: the system's sources).
using AudioSourceLister = std::function<QList<AudioSourceInfo>()>;
void setAudioSourceLister(AudioSourceLister lister);

// The sources of the PulseAudio server (empty when none answers within a few seconds) and the
// ALSA capture devices, as FFmpeg's "pulse" and "alsa" inputs open them.
QList<AudioSourceInfo> pulseAudioSources();
QList<AudioSourceInfo> alsaAudioSources();
// The virtual microphone: lavfi sine 440 Hz, 44100 Hz mono, paced in real time. Its name is
// "Virtual Microphone", or ORVANE_VIRTUAL_MICROPHONE_NAME when that is set (tests give it names
// in any script).
AudioSourceInfo virtualMicrophone();

} // namespace pax_platform
