#include "paxlog.h"

#include <QFile>
#include <QMessageLogger>
#include <QMutex>
#include <QTextStream>
#include <QTime>

extern "C" {
#include <libavutil/log.h>
}

#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace pax_log {

namespace {

const char* const kCategories[kComponentCount] = {"default", "pax.device", "pax.sdk", "pax.screen", "korvid"};
// Messages nobody claims go to the first of these that has a catch-all destination.
const Component kCatchAllOrder[] = {Component::CameraSdk, Component::Device, Component::Korvid};

struct Registry
{
    QMutex mutex;
    std::array<bool, kComponentCount> registered{};
    std::array<Destination, kComponentCount> destinations;
    // One writer at a time: lines of several threads never mix inside one file.
    QMutex writeMutex;
};
Registry& registry()
{
    static Registry r;
    return r;
}

std::array<std::atomic<int>, kComponentCount> g_ffmpegLevels = {{{AV_LOG_QUIET}, {AV_LOG_QUIET}, {AV_LOG_QUIET},
                                                                  {AV_LOG_QUIET}, {AV_LOG_QUIET}}};
std::atomic<int> g_ffmpegMaxLevel{AV_LOG_QUIET};
std::atomic<bool> g_ffmpegRouted{false};
std::array<std::atomic<int>, kComponentCount> g_ffmpegForms = {};

thread_local bool t_inHandler = false;
// FFmpeg may log one line in pieces; the pieces of this thread wait here for the line end.
thread_local QByteArray t_ffmpegPending;
thread_local int t_ffmpegLevel = AV_LOG_QUIET;

int index(Component component)
{
    return static_cast<int>(component);
}

// Looks up where a message of the component goes. False: nowhere registered.
bool destinationFor(Component component, Destination& out)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (component != Component::Unclaimed && r.registered[index(component)]) {
        out = r.destinations[index(component)];
        return true;
    }
    for (Component c : kCatchAllOrder) {
        if (r.registered[index(c)] && r.destinations[index(c)].catchAll) {
            out = r.destinations[index(c)];
            return true;
        }
    }
    return false;
}

void printLine(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void logFfmpegLine(int level, const char* context, QByteArray text)
{
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    if (text.trimmed().isEmpty())
        return;
    const bool error = level <= AV_LOG_ERROR;
    for (int i = 1; i < kComponentCount; ++i) {
        if (level > g_ffmpegLevels[i].load())
            continue;
        const auto form = static_cast<LineForm>(g_ffmpegForms[i].load());
        line(static_cast<Component>(i), form, error, "ffmpeg", context, 0, "%s", text.constData());
    }
}

void ffmpegCallback(void* avcl, int level, const char* format, va_list args)
{
    if (level > g_ffmpegMaxLevel.load() || t_inHandler)
        return;
    char buffer[1024];
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    if (n <= 0)
        return;
    t_ffmpegPending.append(buffer, qMin(n, int(sizeof buffer) - 1));
    t_ffmpegLevel = qMin(t_ffmpegLevel == AV_LOG_QUIET ? level : t_ffmpegLevel, level);
    if (!t_ffmpegPending.endsWith('\n') && t_ffmpegPending.size() < 4096)
        return;
    const char* context = "av";
    if (avcl) {
        AVClass* avc = *static_cast<AVClass**>(avcl);
        if (avc && avc->item_name)
            context = avc->item_name(avcl);
    }
    QByteArray text;
    text.swap(t_ffmpegPending);
    const int lineLevel = t_ffmpegLevel;
    t_ffmpegLevel = AV_LOG_QUIET;
    logFfmpegLine(lineLevel, context, text);
}

} // namespace

const char* categoryName(Component component)
{
    return kCategories[index(component)];
}

Component componentOfCategory(const char* category)
{
    if (!category)
        return Component::Unclaimed;
    for (int i = 1; i < kComponentCount; ++i) {
        if (std::strcmp(category, kCategories[i]) == 0)
            return static_cast<Component>(i);
    }
    return Component::Unclaimed;
}

void registerDestination(Component component, const Destination& destination)
{
    if (component == Component::Unclaimed)
        return;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        r.destinations[index(component)] = destination;
        r.registered[index(component)] = true;
    }
    installHandler();
}

bool hasDestination(Component component)
{
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    return r.registered[index(component)];
}

void installHandler()
{
    qInstallMessageHandler(customMessageHandler);
}

void setFfmpegLevel(Component component, int avLevel, LineForm form)
{
    g_ffmpegForms[index(component)] = static_cast<int>(form);
    g_ffmpegLevels[index(component)] = avLevel;
    int highest = AV_LOG_QUIET;
    for (const auto& level : g_ffmpegLevels)
        highest = qMax(highest, level.load());
    g_ffmpegMaxLevel = highest;
    bool expected = false;
    if (g_ffmpegRouted.compare_exchange_strong(expected, true))
        av_log_set_callback(ffmpegCallback);
}

int ffmpegLevel(Component component)
{
    return g_ffmpegLevels[index(component)].load();
}

void vline(Component component, LineForm form, bool error, const char* file, const char* function, int line,
           const char* format, va_list args)
{
    QMessageLogger logger(file, line, function, categoryName(component));
    switch (form) {
    case LineForm::Tagged: {
        char buffer[2048];
        if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
            buffer[0] = '\0';
        logger.critical(error ? "[ERROR][%s][%s][%d] %s" : "[DEBUG][%s][%s][%d] %s", file, function, line, buffer);
        break;
    }
    case LineForm::ScreenSdk: {
        char buffer[1024];
        if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
            buffer[0] = '\0';
        if (error)
            logger.critical("paxscreen[error][%s][%d] %s", file, line, buffer);
        else
            logger.debug("paxscreen[debug][%s][%d] %s", file, line, buffer);
        break;
    }
    case LineForm::Korvid: {
        const QString text = QString::vasprintf(format, args);
        logger.critical("[%s][%d] %s", file, line, text.toLocal8Bit().constData());
        break;
    }
    }
}

void line(Component component, LineForm form, bool error, const char* file, const char* function, int line,
          const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vline(component, form, error, file, function, line, format, args);
    va_end(args);
}

QString timeStamp()
{
    return QLatin1Char('[') + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(']');
}

void appendLine(const QString& path, const QString& msg, Echo echo)
{
    QMutexLocker lock(&registry().writeMutex);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::printf("cannot open log file[%s]\n", path.toLocal8Bit().constData());
        std::fflush(stdout);
        return;
    }
    const QString stamped = timeStamp() + QLatin1Char(' ') + msg;
    if (echo == Echo::BareBeforeFile)
        printLine(msg.toLocal8Bit());
    {
        QTextStream out(&file);
        out << stamped << '\n';
        out.flush();
    }
    if (echo == Echo::BareAfterFile)
        printLine(msg.toLocal8Bit());
    else if (echo == Echo::StampedAfterFile)
        printLine(stamped.toLocal8Bit());
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

namespace {
// Messages of libraries that repeat one lasting condition on every use (Qt's sound backend tries
// the sound server each time a sound or an audio device is asked for): written once a process.
bool repeatOfLastingCondition(const QString& msg)
{
    static const char* const kOnce[] = {"PulseAudioService: pa_context_connect() failed"};
    static std::atomic<bool> seen[sizeof kOnce / sizeof kOnce[0]];
    for (size_t i = 0; i < sizeof kOnce / sizeof kOnce[0]; ++i) {
        if (msg == QLatin1String(kOnce[i]))
            return seen[i].exchange(true);
    }
    return false;
}
} // namespace

void customMessageHandler(QtMsgType, const QMessageLogContext& context, const QString& msg)
{
    if (repeatOfLastingCondition(msg))
        return;
    if (!pax_log::enterHandler()) {
        // Logged while a message is being written (a path that logs, say): standard error only.
        std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
        return;
    }
    pax_log::Destination d;
    if (!pax_log::destinationFor(pax_log::componentOfCategory(context.category), d)) {
        pax_log::printLine(msg.toLocal8Bit());
    } else {
        const QString path = d.path ? d.path() : QString();
        if (!d.filedPrefix.isEmpty() && !msg.startsWith(d.filedPrefix))
            pax_log::printLine(msg.toLocal8Bit());
        else if (!path.isEmpty())
            pax_log::appendLine(path, d.filedPrefix.isEmpty() ? msg : msg.mid(d.filedPrefix.size()), d.echo);
    }
    pax_log::leaveHandler();
}
