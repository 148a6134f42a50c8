#include "launcherstartup.h"

#include "korvidlauncher.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    ssize_t r = ::write(g_signalPipe[1], &c, 1);
    (void)r;
}
} // namespace

int runKorvidLauncher(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        launcherLog(QStringLiteral("cannot create the signal pipe"));
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);

    KorvidLauncher launcher;
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
        char c = 0;
        ssize_t r = ::read(g_signalPipe[0], &c, 1);
        (void)r;
        notifier.setEnabled(false);
        launcherLog(QStringLiteral("ending on signal %1").arg(int(c)));
        launcher.stop();
        QCoreApplication::exit(0);
    });

    if (!launcher.start())
        return 1;
    return app.exec();
}
