#pragma once
// Camera recordings with the virtual camera and microphone, shared by the recorder tests and
// the child program that records until it is killed.

#include "audioinput.h"
#include "eventwait.h"
#include "ffmpegoutput.h"
#include "virtualcamerafixture.h"

#include <QList>
#include <QMutex>

namespace recorder {

using virtualcamera::cameraInfo;
using virtualcamera::kMainCamera;
using virtualcamera::prepareServiceClient;
using eventwait::spin;
using eventwait::waitUntil;

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// The recorded seconds one recorder reported, in order. The recorder reports from its encoding
// thread; connected directly, the log is filled there and read from the test's thread.
class SecondsLog
{
public:
    template <typename Sender, typename Signal> SecondsLog(Sender* sender, Signal signal)
    {
        m_connection =
            QObject::connect(sender, signal, sender, [this](int seconds) { add(seconds); }, Qt::DirectConnection);
    }
    ~SecondsLog() { QObject::disconnect(m_connection); }
    SecondsLog(const SecondsLog&) = delete;
    SecondsLog& operator=(const SecondsLog&) = delete;
    void add(int seconds)
    {
        QMutexLocker lock(&m_mutex);
        m_values.append(seconds);
    }
    QList<int> values() const
    {
        QMutexLocker lock(&m_mutex);
        return m_values;
    }
    // The last value reported, -1 before the first.
    int last() const
    {
        QMutexLocker lock(&m_mutex);
        return m_values.isEmpty() ? -1 : m_values.last();
    }

private:
    QMetaObject::Connection m_connection;
    mutable QMutex m_mutex;
    QList<int> m_values;
};

// Frames the recorder has encoded since it was opened.
inline qint64 encodedFrames(const FfmpegOutput* output)
{
    return output->videoCounters().encoded;
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

} // namespace recorder
