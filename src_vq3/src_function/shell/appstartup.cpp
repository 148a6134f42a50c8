#include "appstartup.h"

#include "paxintool.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace AppStartup {
QSize splashTargetSize(const QSize& available, const QSize& picture)
{
    const int w3 = available.width() / 3;
    const int h3 = available.height() / 3;
    if (picture.width() < 1 || picture.height() < 1 || w3 < 1 || h3 < 1)
        return {};
    const qint64 pw = picture.width();
    const qint64 ph = picture.height();
    if (double(w3) / h3 > double(pw) / ph)
        return QSize(w3, int(ph * w3 / pw));
    return QSize(int(pw * h3 / ph), h3);
}

int settleCameraPermission(const std::function<int()>& status, const std::function<void()>& request,
                           const std::function<void()>& sleepOneSecond)
{
    int current = status();
    if (current != 2)
        return current;
    request();
    do {
        sleepOneSecond();
        current = status();
        PAX_LOG_DEBUG("check camera privacy:%d", current);
    } while (current == 2);
    return current;
}
} // namespace AppStartup

namespace {
int g_pipe[2] = {-1, -1};

// The signals that end the program in order: Ctrl+C, logout or shutdown, a closed terminal.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onEndingSignal(int number)
{
    const char byte = char(number);
    const ssize_t written = ::write(g_pipe[1], &byte, 1);
    (void)written;
}

void setEndingHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int number : kEndingSignals)
        ::sigaction(number, &action, nullptr);
}
} // namespace

InterruptWatcher* InterruptWatcher::install(QObject* parent)
{
    if (g_pipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        PAX_LOG_ERROR("no socket pair for SIGINT");
        return nullptr;
    }
    ::fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
    auto* watcher = new InterruptWatcher(parent);
    setEndingHandlers(onEndingSignal);
    return watcher;
}

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent)
{
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::_drain);
}

InterruptWatcher::~InterruptWatcher()
{
    setEndingHandlers(SIG_DFL);
}

const char* InterruptWatcher::lastSignalName() const
{
    switch (m_lastSignal) {
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "SIGINT";
    }
}

void InterruptWatcher::_drain()
{
    char bytes[16];
    const ssize_t count = ::read(g_pipe[0], bytes, sizeof bytes);
    if (count <= 0)
        return;
    m_lastSignal = quint8(bytes[count - 1]);
    emit interrupted();
}
