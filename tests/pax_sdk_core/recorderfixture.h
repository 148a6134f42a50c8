#pragma once
// Camera recordings with the virtual camera and microphone, shared by the recorder tests and
// the child program that records until it is killed.

#include "audioinput.h"
#include "eventwait.h"
#include "virtualcamerafixture.h"

namespace recorder {

using virtualcamera::cameraInfo;
using virtualcamera::kMainCamera;
using virtualcamera::prepareServiceClient;
using eventwait::spin;
using eventwait::waitUntil;

// Position of the microphone called `name` in a fresh listing, -1 when absent.
inline int microphoneIndex(const QString& name)
{
    const QList<pax_platform::AudioSourceInfo> sources = pax_platform::listAudioSources();
    for (int i = 0; i < sources.size(); ++i) {
        if (sources.at(i).name == name)
            return i;
    }
    return -1;
}

inline _MFCC_Record_InfoS recordInfo(const QString& file, bool audio, int microphone, int volume = 100)
{
    _MFCC_Record_InfoS info;
    info.filename = file;
    info.bAudio = audio;
    info.microphoneName = QStringLiteral("test microphone");
    info.microphoneIndex = microphone;
    info.microphoneVolume = volume;
    info.videoEncoder = QStringLiteral("libx264");
    info.bitrateValue = 2;
    info.bitrateType = 1;
    info.quantizationParameter = 3;
    info.profile = 2;
    info.preset = 0;
    return info;
}

} // namespace recorder
