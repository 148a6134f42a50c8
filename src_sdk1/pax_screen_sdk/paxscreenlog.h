#pragma once
// Log lines of the screen-record SDK and its optional log file.

#include <QString>

// Formats printf-style into at most 1023 bytes and logs "paxscreen[debug][file][line] text"
// (QMessageLogger::debug) or "paxscreen[error][file][line] text" (QMessageLogger::critical).
void paxscreen_log_line(bool error, const char* file, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

#define PAXSCREEN_DEBUG(...) paxscreen_log_line(false, paxscreen_file_name(__FILE__), __LINE__, __VA_ARGS__)
#define PAXSCREEN_ERROR(...) paxscreen_log_line(true, paxscreen_file_name(__FILE__), __LINE__, __VA_ARGS__)

// The file part of a source path.
constexpr const char* paxscreen_file_name(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/')
            name = p + 1;
    }
    return name;
}

namespace paxscreen_log {
// The log file path ("" until setLogFile succeeded).
QString logFile();
// Stores the path and installs the SDK's message handler (process-wide, replaces any other).
void install(const QString& path);
// The handler: a message starting with "paxscreen" is appended, without those 9 characters,
// as "[hh:mm:ss] rest" to the log file; anything else goes to standard output only.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);
} // namespace paxscreen_log
