#include "paxscreenlog.h"

#include <QDebug>
#include <QFile>
#include <QMutex>
#include <QTime>

#include <cstdarg>
#include <cstdio>

void paxscreen_log_line(bool error, const char* file, int line, const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    QMessageLogger logger(file, line, nullptr);
    if (error)
        logger.critical("paxscreen[error][%s][%d] %s", file, line, text);
    else
        logger.debug("paxscreen[debug][%s][%d] %s", file, line, text);
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
    qInstallMessageHandler(messageHandler);
}

void messageHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    static const QString prefix = QStringLiteral("paxscreen");
    if (!msg.startsWith(prefix)) {
        std::fprintf(stdout, "%s\n", msg.toLocal8Bit().constData());
        std::fflush(stdout);
        return;
    }
    const QString line = QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
                       + QStringLiteral("] ") + msg.mid(prefix.size()) + QLatin1Char('\n');
    // One writer at a time: the recorder and microphone threads log too.
    QMutexLocker lock(&g_mutex);
    QFile file(g_logFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stdout, "cannot open log file[%s]\n", g_logFile.toLocal8Bit().constData());
        std::fflush(stdout);
        return;
    }
    file.write(line.toUtf8());
}

} // namespace paxscreen_log
