#include "paxintool.h"

#include "paxplatform.h"

#include <QCoreApplication>

#include <atomic>

namespace {
std::atomic<bool> g_initialised{false};

// Beside the program; before the application object exists (or after it is gone) beside this
// library. Never the current folder.
QString logFolder()
{
    if (QCoreApplication::instance()) {
        const QString folder = QCoreApplication::applicationDirPath();
        if (!folder.isEmpty())
            return folder;
    }
    return pax_platform::moduleFolderOf(reinterpret_cast<const void*>(&pax_sdk_init));
}
} // namespace

void pax_sdk_init()
{
    bool expected = false;
    if (!g_initialised.compare_exchange_strong(expected, true))
        return;
    if (QCoreApplication::startingUp())
        pax_log_line(false, __FILE__, "pax_sdk_init", 100, "QCoreApplication not be created");
    pax_log::Destination destination;
    destination.path = [] {
        const QString folder = logFolder();
        return folder.isEmpty() ? QString() : folder + QStringLiteral("/pax.log");
    };
    destination.echo = pax_log::Echo::StampedAfterFile;
    destination.catchAll = true;
    pax_log::registerDestination(pax_log::Component::Device, destination);
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
