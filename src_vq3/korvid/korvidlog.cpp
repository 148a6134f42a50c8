#include "korvidlog.h"

#include "paxlog.h"

#include <QMutex>

#include <cstdarg>

namespace {
QMutex gs_mutex;
QString gs_logdir;
} // namespace

void korvid_log_line(const char* file, int line, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    pax_log::vline(pax_log::Component::Korvid, pax_log::LineForm::Korvid, false, file, nullptr, line, format, ap);
    va_end(ap);
}

void setLogDir(QString dir)
{
    {
        QMutexLocker lock(&gs_mutex);
        if (!gs_logdir.isEmpty())
            return;
        gs_logdir = dir;
    }
    // Every message of the service goes to korvid.log (and bare to standard output after it);
    // while the folder is empty, messages are dropped.
    pax_log::Destination destination;
    destination.path = [] {
        const QString dir = logDir();
        return dir.isEmpty() ? QString() : dir + QStringLiteral("korvid.log");
    };
    destination.echo = pax_log::Echo::BareAfterFile;
    destination.catchAll = true;
    pax_log::registerDestination(pax_log::Component::Korvid, destination);
}

QString logDir()
{
    QMutexLocker lock(&gs_mutex);
    return gs_logdir;
}
