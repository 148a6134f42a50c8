#pragma once
// The service's own log: lines "[file][line] text" at the critical level, and the message
// handler that appends them to <log folder>korvid.log.

#include <QString>
#include <QtGlobal>

void korvid_log_line(const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

#define KORVID_LOG(...) korvid_log_line(__FILE__, __LINE__, __VA_ARGS__)

// The first call sets the log folder (which must end with '/') and installs the handler;
// later calls change nothing. An empty folder installs the handler and leaves it unset.
void setLogDir(QString dir);
QString logDir();

void _customMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
