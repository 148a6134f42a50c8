#pragma once
// The process's one log.
//
// One Qt message handler (customMessageHandler) serves the whole process. Each component that
// keeps a log registers where its messages go with registerDestination(): the file, which
// messages it files, and how it echoes them on standard output. Every message carries the
// component that logged it (as its Qt category), so it lands in that component's file in that
// component's form, whatever order the components registered in. A message of a component
// without a destination, and a message of no component (Qt's own, a bare qWarning), goes to the
// first registered catch-all destination in the order CameraSdk, Device, Korvid; without one it
// is printed to standard output.
//
// FFmpeg's av_log goes through the same handler: a component asks with setFfmpegLevel() for
// FFmpeg's messages up to a level, and each such message is logged under that component in the
// component's line form.
//
// Every function here may be called from any thread.
//
// How a component uses it (the camera SDK, for example):
//     pax_log::Destination d;
//     d.path = [] { return folder() + "sdk.log"; };
//     d.echo = pax_log::Echo::BareBeforeFile;
//     d.catchAll = true;
//     pax_log::registerDestination(pax_log::Component::CameraSdk, d);
// and its code logs with PAX_LOG_ERROR / PAX_LOG_DEBUG (the library's CMake target names its
// component with the compile definition PAX_LOG_THIS_COMPONENT=CameraSdk).

#include <QString>
#include <QtGlobal>

#include <cstdarg>
#include <functional>

namespace pax_log {

// Who logged a message. Unclaimed: code that names no component.
enum class Component { Unclaimed, Device, CameraSdk, ScreenSdk, Korvid };
constexpr int kComponentCount = 5;

// The Qt category a component's messages carry ("default" for Unclaimed).
const char* categoryName(Component component);
Component componentOfCategory(const char* category);

// The shape of a component's own lines; FFmpeg's lines for the component take it too.
enum class LineForm {
    Tagged,      // "[ERROR][file][function][line] text" / "[DEBUG]..." at Qt's critical level
    ScreenSdk,   // "paxscreen[error][file][line] text" (critical) / "paxscreen[debug]..." (debug)
    Korvid       // "[file][line] text" at Qt's critical level
};

// What standard output gets for a filed message.
enum class Echo {
    None,              // nothing
    BareBeforeFile,    // the message, then the file line is written
    BareAfterFile,     // the file line is written, then the message
    StampedAfterFile   // the file line is written, then the same line
};

struct Destination
{
    // The file to append to, asked for each message (the file is opened and closed per message).
    // An empty path drops the message silently.
    std::function<QString()> path;
    // Non-empty: only messages starting with it are filed, without it; any other message of the
    // component is printed to standard output alone.
    QString filedPrefix;
    Echo echo = Echo::None;
    // Also takes messages of components without a destination and messages of no component.
    bool catchAll = false;
};

// Sets (or replaces) the component's destination and installs the process's handler.
void registerDestination(Component component, const Destination& destination);
bool hasDestination(Component component);
// Installs customMessageHandler as Qt's message handler (again, if something replaced it).
void installHandler();

// FFmpeg messages at or below avLevel (AV_LOG_ERROR, AV_LOG_WARNING...) are logged under the
// component in its line form (file "ffmpeg", function the FFmpeg context, line 0); AV_LOG_QUIET
// (-8) asks for none, which is where every component starts. The first call routes FFmpeg's
// av_log into this log (av_log_set_callback).
void setFfmpegLevel(Component component, int avLevel, LineForm form);
int ffmpegLevel(Component component);

// Formats printf-style into a bounded buffer and logs in the component's line form under its category.
void vline(Component component, LineForm form, bool error, const char* file, const char* function, int line,
           const char* format, va_list args);
void line(Component component, LineForm form, bool error, const char* file, const char* function, int line,
          const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 7, 8)))
#endif
    ;

// "[hh:mm:ss]" of now.
QString timeStamp();
// Appends "<stamp> <msg>\n" to path and echoes as asked. Prints "cannot open log file[path]"
// instead when the file can't be opened.
void appendLine(const QString& path, const QString& msg, Echo echo);
// True while this thread is inside the log handler: a message logged from there must not recurse.
bool enterHandler();
void leaveHandler();

} // namespace pax_log

// The process's one Qt message handler (see above).
void customMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// The component of the code being compiled: each library target defines it.
#ifndef PAX_LOG_THIS_COMPONENT
#define PAX_LOG_THIS_COMPONENT Unclaimed
#endif

// The tagged line form of the device layer and the camera SDK: formats printf-style into a bounded
// 2048-byte buffer (longer text is cut) and hands "[ERROR][file][function][line] text" or
// "[DEBUG][...]" to QMessageLogger::critical under the component of the code that calls it.
static inline void pax_log_line(bool error, const char* file, const char* function, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 5, 6)))
#endif
    ;
static inline void pax_log_line(bool error, const char* file, const char* function, int line, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    pax_log::vline(pax_log::Component::PAX_LOG_THIS_COMPONENT, pax_log::LineForm::Tagged, error, file, function, line,
                   format, args);
    va_end(args);
}

#define PAX_LOG_ERROR(...) pax_log_line(true, __FILE__, __FUNCTION__, __LINE__, __VA_ARGS__)
#define PAX_LOG_DEBUG(...) pax_log_line(false, __FILE__, __FUNCTION__, __LINE__, __VA_ARGS__)
