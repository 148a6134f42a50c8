#pragma once
// USB hot-plug monitor: watches device arrivals and removals on a thread of its own and turns
// every burst of them into one sigOutdeviceInOut(), 5000 ms after the last event.

#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

// Where the monitor thread gets its USB events from: libusb hot-plug by default; tests
// inject their own. open(), waitEvents() and close() run on the monitor thread.
class PaxUsbEventSource
{
public:
    virtual ~PaxUsbEventSource() = default;
    // Prepares the watch; false ends the monitor thread at once (no signal ever follows).
    virtual bool open() = 0;
    // Waits at most timeoutMs; returns the number of arrivals and removals seen meanwhile.
    virtual int waitEvents(int timeoutMs) = 0;
    // Any thread, between open() and close(): makes a running or the next waitEvents() return.
    virtual void wake() = 0;
    virtual void close() = 0;
};

using PaxUsbEventSourceFactory = std::function<std::unique_ptr<PaxUsbEventSource>()>;

class PaxDeviceMonitor : public QThread
{
    Q_OBJECT
public:
    static PaxDeviceMonitor* getInstance();
    static PaxDeviceMonitor* getInstanceNoCreate();
    // Deletes the instance; returns once its thread has ended.
    static void releaseInstance();

    // Source of the monitors created from now on; an empty factory restores libusb.
    static void setEventSourceFactory(PaxUsbEventSourceFactory factory);
    // Quiet time after the last event before the change is signalled (5000 ms).
    static void setDebounceInterval(int ms);
    static int debounceInterval();
    // Longest single wait for events, which bounds how long a release takes (1000 ms).
    static constexpr int EventTimeoutMs = 1000;

    explicit PaxDeviceMonitor(QObject* parent = nullptr);
    ~PaxDeviceMonitor() override;

signals:
    // One raw arrival or removal, emitted on the monitor thread.
    void sigInDeviceInOut();
    // The debounced change, emitted on the thread that owns the object.
    void sigOutdeviceInOut();

public slots:
    void slotDeviceInOut();

protected:
    void timerEvent(QTimerEvent* event) override;
    void run() override;

private:
    static PaxDeviceMonitor* ms_paxDeviceMonitor;

    int m_debounceTimerId = -1;
    std::atomic<int> m_stop{0};
    std::mutex m_sourceMutex;                       // guards m_source for wake()
    PaxUsbEventSource* m_source = nullptr;          // the running thread's source
};
