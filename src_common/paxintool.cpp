#include "paxintool.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <QTime>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
std::atomic<bool> g_initialised{false};
thread_local bool t_inHandler = false;
}

void pax_log_line(bool error, const char* file, const char* function, int line, const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        buffer[0] = '\0';
    QMessageLogger(file, line, function).critical(error ? "[ERROR][%s][%s][%d] %s" : "[DEBUG][%s][%s][%d] %s",
                                                  file, function, line, buffer);
}

namespace pax_log {

QString timeStamp()
{
    return QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(']');
}

void appendLine(const QString& path, const QString& msg, bool echoBare, bool echoFirst)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::printf("cannot open log file[%s]\n", path.toLocal8Bit().constData());
        std::fflush(stdout);
        return;
    }
    const QString line = timeStamp() + QLatin1Char(' ') + msg;
    const QByteArray echo = (echoBare ? msg : line).toLocal8Bit();
    const auto writeEcho = [&echo] {
        std::fwrite(echo.constData(), 1, size_t(echo.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    if (echoFirst)
        writeEcho();
    {
        QTextStream out(&file);
        out << line << '\n';
        out.flush();
    }
    if (!echoFirst)
        writeEcho();
}

bool enterHandler()
{
    if (t_inHandler)
        return false;
    t_inHandler = true;
    return true;
}

void leaveHandler()
{
    t_inHandler = false;
}

} // namespace pax_log

void customMessageHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    if (!pax_log::enterHandler()) {
        std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
        return;
    }
    pax_log::appendLine(QCoreApplication::applicationDirPath() + QStringLiteral("/pax.log"), msg, false);
    pax_log::leaveHandler();
}

void pax_sdk_init()
{
    bool expected = false;
    if (!g_initialised.compare_exchange_strong(expected, true))
        return;
    if (QCoreApplication::startingUp())
        pax_log_line(false, __FILE__, "pax_sdk_init", 100, "QCoreApplication not be created");
    qInstallMessageHandler(customMessageHandler);
}

void pax_sdk_destroy()
{
    g_initialised = false;
}

bool pax_strContainList(QString& text, QStringList& list, QString& match, bool upperFallback)
{
    match.clear();
    for (const QString& item : list) {
        if (text.indexOf(item) >= 0) {
            match = item;
            return true;
        }
    }
    if (match.isEmpty() && upperFallback) {
        const QStringList pieces = text.mid(5, 9).split(QLatin1Char('p'));
        const QString first = pieces.value(0).toUpper();
        const QString second = pieces.value(1).toUpper();
        match = QStringLiteral("%1p%2").arg(first, second);
        return true;
    }
    return false;
}
