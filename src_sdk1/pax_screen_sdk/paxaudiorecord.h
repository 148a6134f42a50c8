#pragma once
// The microphone thread of a screen recording: reads the microphone, applies the volume,
// converts to the AAC encoder's format in frames of its frame size, encodes with the screen
// recorder's AAC encoder and hands every packet to the screen recorder.

#include "paxavptr.h"
#include "paxscreentypes.h"

#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

class PaxRecordScreen;

class PaxAudioRecord : public QThread {
    Q_OBJECT
public:
    explicit PaxAudioRecord(PaxRecordScreen* partner, QObject* parent = nullptr);
    ~PaxAudioRecord() override;

    // Starts a run on the microphone of that index (-1: none listed; the run gives up).
    void myStart(int index);
    void myStart(QString name);
    void myStopWait();
    void setMicVolumn(int volume);
    // PaxRecordStop or PaxRecordRun.
    int getStatus() const { return m_status.load(); }
    // Test hook: called first thing in the microphone thread, before it reads its status.
    // Set only while no run is going.
    void setRunStartHookForTest(std::function<void()> hook) { m_runStartHook = std::move(hook); }

    // The gain text of the volume filter for a volume in percent ("1.00" for 100).
    static QString gainText(int volume);

protected:
    void run() override;

private:
    struct Run;
    // Stops a run still going, stores what `store` sets under the control lock, starts again.
    void _start(const std::function<void()>& store);
    int _doReady();
    void _playDirect();
    void _releaseReady();

    PaxRecordScreen* m_partner = nullptr;
    QMutex m_dataMutex;
    QMutex m_controlMutex;
    std::atomic<int> m_status{PaxRecordStop};
    paxav::InputContext m_input;   // the opened microphone, between _doReady and _releaseReady
    QString m_deviceName;
    int m_deviceIndex = -1;
    int m_volume = 100;
    std::function<void()> m_runStartHook;
};
