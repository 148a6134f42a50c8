#pragma once
// The service's own log: lines "[file][line] text" at the critical level, appended with every
// other message of the process to <log folder>korvid.log through the process's one handler.

#include <QString>
#include <QtGlobal>

void korvid_log_line(const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

#define KORVID_LOG(...) korvid_log_line(__FILE__, __LINE__, __VA_ARGS__)

// The first call with a non-empty folder sets the log folder (which must end with '/') and
// registers the service's log destination; later calls change nothing. An empty folder registers
// the destination and leaves the folder unset (messages are dropped until it is set).
void setLogDir(QString dir);
QString logDir();

