#pragma once
// Log lines of the screen-record SDK and its optional log file.

#include "paxlog.h"

#include <QString>

// Formats printf-style into at most 1023 bytes and logs "paxscreen[debug][file][line] text"
// (QMessageLogger::debug) or "paxscreen[error][file][line] text" (QMessageLogger::critical),
// as messages of the screen SDK.
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
// FFmpeg's messages up to this level are logged as the SDK's error and debug lines.
constexpr int kFfmpegLevel = 16;   // AV_LOG_ERROR
// The log file path ("" until setLogFile succeeded).
QString logFile();
// Stores the path and registers the SDK's destination: a message of the SDK starting with
// "paxscreen" is appended, without those 9 characters, as "[hh:mm:ss] rest" to the file; any
// other message of the SDK goes to standard output only. Without it the SDK's messages go to
// the process's catch-all log (the camera SDK's log in the application). Any thread.
void install(const QString& path);
// Asks for FFmpeg's errors in the SDK's log (once per process is enough; any thread).
void routeFfmpeg();
} // namespace paxscreen_log
