#pragma once
// Log line form of the device layer and the pax.log message handler.

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Formats printf-style into a bounded 2048-byte buffer (longer text is cut) and hands
// "[ERROR][file][function][line] text" or "[DEBUG][...]" to QMessageLogger::critical.
void pax_log_line(bool error, const char* file, const char* function, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;

#define PAX_LOG_ERROR(...) pax_log_line(true, __FILE__, __FUNCTION__, __LINE__, __VA_ARGS__)
#define PAX_LOG_DEBUG(...) pax_log_line(false, __FILE__, __FUNCTION__, __LINE__, __VA_ARGS__)

// Installs customMessageHandler once (again after pax_sdk_destroy).
void pax_sdk_init();
void pax_sdk_destroy();

// Appends "[hh:mm:ss] text" to applicationDirPath()/pax.log and echoes it to standard output.
void customMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

bool pax_strContainList(QString& text, QStringList& list, QString& match, bool upperFallback);

namespace pax_log {
// "[hh:mm:ss]" of now.
QString timeStamp();
// Appends "<stamp> <msg>\n" to path; echoes the line (or only msg when echoBare) to stdout,
// after the file write, or before it when echoFirst.
// Prints "cannot open log file[path]" instead when the file can't be opened.
void appendLine(const QString& path, const QString& msg, bool echoBare, bool echoFirst = false);
// True while this thread is inside a log handler: a message logged from there must not recurse.
bool enterHandler();
void leaveHandler();
} // namespace pax_log
