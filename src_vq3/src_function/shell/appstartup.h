#pragma once
// Pieces of the program's start and end that live outside main(): the splash picture's size, the
// camera permission wait, and SIGINT handled in the GUI thread.
#include <QObject>
#include <QSize>

#include <functional>

namespace AppStartup {
constexpr int RestartCode = 773;

// The splash picture scaled to cover a third of the available screen in width and height, keeping
// its aspect ratio; an invalid size (no scaling) for a missing or empty picture.
QSize splashTargetSize(const QSize& available, const QSize& picture);

// Camera permission at start: status 2 (not yet asked) makes one request and then polls once a
// second (`sleepOneSecond`, which blocks) while the status stays 2; returns the final status
// (0 granted, 1 refused, 3 other). Each poll is logged as "check camera privacy:<status>".
int settleCameraPermission(const std::function<int()>& status, const std::function<void()>& request,
                           const std::function<void()>& sleepOneSecond);
}

// Turns SIGINT, SIGTERM and SIGHUP into the `interrupted()` signal in the thread that installed
// it: the handler only writes the signal's number into a socket pair, which the GUI thread reads.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handler; GUI thread, once. Null when the socket pair could not be made.
    static InterruptWatcher* install(QObject* parent = nullptr);
    ~InterruptWatcher() override;
    // "SIGINT", "SIGTERM" or "SIGHUP": the signal behind the last `interrupted()`.
    const char* lastSignalName() const;

signals:
    void interrupted();

private:
    explicit InterruptWatcher(QObject* parent);
    void _drain();

    int m_lastSignal = 0;
};
