#pragma once
// A test seam of the screen-record SDK. Hosts reach the SDK through PaxScreenQtLib alone; tests
// also drive one screen recorder and its microphone recorder outside the facade, step by step
// (a stop landing between a thread's start and its first status check), and check the recorder's
// pure rules for areas, the crop graph, the microphone gain and the device listing. Nothing in the SDK's own work uses
// this header.

#include "paxscreentypes.h"

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

class PaxRecordScreen;
class PaxAudioRecord;

namespace paxscreen_rules {
// A record rectangle clipped to even sizes inside the screen, or an empty one when it does not fit.
QRect normalizedRect(const QRect& rect, const QSize& screen);
// A rectangle of the logical screen in the pixels of a capture of another size, with even sides.
QRect captureRect(const QRect& logical, const QSize& screen, const QSize& capture);
// The crop graph's buffer source arguments for a capture size and FFmpeg pixel format.
QByteArray cropSourceArgs(const QSize& capture, int pixelFormat);
// The microphone volume (percent) as the volume filter's gain text ("1.50").
QString gainText(int volume);
// The microphones of a device-listing text of the capture library; `captureScreenIndex` takes the
// last "[N] Capture screen" line's index (see the microphone list).
QList<_ScreenMicrophoneS> parseDeviceListing(const QString& text, int& captureScreenIndex);
} // namespace paxscreen_rules

// One screen recorder with its microphone recorder bound to it, as the facade's private part holds
// them. Every call forwards to the recorder's or the microphone recorder's member of the same
// meaning; the same threads may call them (any thread).
class PaxScreenRecorderPair {
public:
    PaxScreenRecorderPair();
    ~PaxScreenRecorderPair();
    PaxScreenRecorderPair(const PaxScreenRecorderPair&) = delete;
    PaxScreenRecorderPair& operator=(const PaxScreenRecorderPair&) = delete;

    // The screen recorder.
    void setFramerate(int framerate);
    void startRecord(const QString& fileName, bool withAudio);
    void stopPushStream();
    void quitWait();
    void stopRecordWait();
    // The recorder's status (_PaxRecordStatusE) and whether its thread has not finished its run.
    int recorderStatus() const;
    bool recorderBusy() const;
    _PaxScreenRecordInfoS recordInfo() const;
    // What the microphone recorder calls when it has finished.
    void audioFinish();
    // Runs at the start of the recorder thread's run, before its first status check.
    void setRecorderRunStartHook(std::function<void()> hook);

    // The microphone recorder.
    void startMicrophone(int index);
    void stopMicrophoneWait();
    int microphoneStatus() const;
    bool microphoneRunning() const;
    // Runs at the start of the microphone thread's run, before its first status check.
    void setMicrophoneRunStartHook(std::function<void()> hook);

private:
    // Declared in the order made: the microphone recorder goes first.
    std::unique_ptr<PaxRecordScreen> m_recorder;
    std::unique_ptr<PaxAudioRecord> m_microphone;
};
