#pragma once
// Camera recordings with the virtual camera and microphone, shared by the recorder tests and
// the child program that records until it is killed.

#include "audioinput.h"
#include "macuvcclient.h"
#include "myffmpegcameracontrol.h"
#include "paxmacos.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace recorder {

inline const QString kMainCamera = QStringLiteral("Virtual Document Camera");

inline _MFCC_InfoS cameraInfo(const QString& size, int fps)
{
    _MFCC_InfoS info;
    info.device_name = kMainCamera;
    info.pixel_format = QStringLiteral("mjpeg");
    info.fps = QString::number(fps);
    info.video_size = size;
    return info;
}

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

inline void prepareServiceClient()
{
    if (isAvailableMacos13())
        MacUvcClient::getInstance()->setCameraName(0, kMainCamera);
}

inline void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

template <typename Pred> bool waitUntil(Pred pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

} // namespace recorder
