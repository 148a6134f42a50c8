#include "paxscreenlog.h"

#include <QMutex>

#include <cstdarg>

void paxscreen_log_line(bool error, const char* file, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    pax_log::vline(pax_log::Component::ScreenSdk, pax_log::LineForm::ScreenSdk, error, file, nullptr, line, format,
                   args);
    va_end(args);
}

namespace paxscreen_log {

namespace {
QMutex g_mutex;
QString g_logFile;
}

QString logFile()
{
    QMutexLocker lock(&g_mutex);
    return g_logFile;
}

void install(const QString& path)
{
    {
        QMutexLocker lock(&g_mutex);
        g_logFile = path;
    }
    pax_log::Destination destination;
    destination.path = logFile;
    destination.filedPrefix = QStringLiteral("paxscreen");
    destination.echo = pax_log::Echo::None;
    pax_log::registerDestination(pax_log::Component::ScreenSdk, destination);
}

void routeFfmpeg()
{
    pax_log::setFfmpegLevel(pax_log::Component::ScreenSdk, kFfmpegLevel, pax_log::LineForm::ScreenSdk);
}

} // namespace paxscreen_log
