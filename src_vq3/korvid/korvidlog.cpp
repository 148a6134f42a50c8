#include "korvidlog.h"

#include "paxintool.h"

#include <QMessageLogger>

#include <cstdarg>

namespace {
QString gs_logdir;
bool gs_handlerInstalled = false;
} // namespace

void korvid_log_line(const char* file, int line, const char* format, ...)
{
    va_list ap;
    va_start(ap, format);
    const QString text = QString::vasprintf(format, ap);
    va_end(ap);
    QMessageLogger(file, line, nullptr).critical("[%s][%d] %s", file, line, text.toLocal8Bit().constData());
}

void setLogDir(QString dir)
{
    if (!gs_logdir.isEmpty())
        return;
    gs_logdir = dir;
    if (!gs_handlerInstalled) {
        gs_handlerInstalled = true;
        qInstallMessageHandler(_customMessageHandler);
    }
}

QString logDir()
{
    return gs_logdir;
}

void _customMessageHandler(QtMsgType, const QMessageLogContext&, const QString& msg)
{
    if (gs_logdir.isEmpty())
        return;
    if (!pax_log::enterHandler())
        return;
    pax_log::appendLine(gs_logdir + QStringLiteral("korvid.log"), QStringLiteral("%1").arg(msg), true);
    pax_log::leaveHandler();
}
