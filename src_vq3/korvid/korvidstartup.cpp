#include "korvidstartup.h"

#include "korvid.h"
#include "korvidlog.h"
#include "mainframeblock.h"
#include "paxdevicemonitor.h"
#include "paxuvccontrol.h"
#include "uvclink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Reads what the launcher sends on standard input; stops watching at end of input.
void readStandardInput(QSocketNotifier* notifier)
{
    char buf[KorvidStdinRead + 1];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf - 1);
    if (n > 0) {
        buf[n] = '\0';
        KORVID_LOG("receive father process message:%s", buf);
        // The bytes as one zero-terminated text: a zero byte ends it.
        setLogDir(QString::fromUtf8(buf).trimmed());
        return;
    }
    if (n == 0 || (errno != EINTR && errno != EAGAIN))
        notifier->setEnabled(false);
}

} // namespace

int runKorvid(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 2)
        setLogDir(QString::fromUtf8(argv[1]));

    QSocketNotifier* stdinNotifier = nullptr;
    if (::fcntl(STDIN_FILENO, F_GETFD) != -1) {
        stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(stdinNotifier, &QSocketNotifier::activated, stdinNotifier,
                         [stdinNotifier] { readStandardInput(stdinNotifier); }, Qt::DirectConnection);
    }

    KORVID_LOG("start korvid ...");
    createShareMemory();
    PaxUvcControl::getInstance();
    Korvid::getInstance();

    const int code = app.exec();

    Korvid::releaseInstance();
    PaxDeviceMonitor::releaseInstance();
    PaxUvcControl::releaseInstance();
    return code;
}
