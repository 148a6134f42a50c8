#include "paxmacos.h"

#include "paxplatform.h"

#include <QDebug>
#include <QStringList>

#include <atomic>

namespace {
constexpr int kUnprobed = -1;
constexpr int kUnknown = -2;   // probe ran and found no version: not retried
std::atomic<int> g_majorVersion{kUnprobed};
}

int pax_parseMacosMajor(const QString& text)
{
    int major = -1;
    const QStringList lines = text.split(QStringLiteral("\n"));
    for (const QString& line : lines) {
        if (!line.contains(QStringLiteral("System Version:")))
            continue;
        const QString value = line.split(QStringLiteral(":")).value(1);
        const QStringList pieces = value.split(QStringLiteral(" "));
        for (const QString& piece : pieces) {
            if (!piece.contains(QLatin1Char('.')))
                continue;
            bool ok = false;
            const int n = piece.left(piece.indexOf(QLatin1Char('.'))).toInt(&ok);
            major = ok ? n : 0;
            break;
        }
    }
    return major;
}

void pax_resetMacosVersionCache()
{
    g_majorVersion = kUnprobed;
}

bool isGEMacos(int major)
{
    int cached = g_majorVersion.load();
    if (cached == kUnprobed) {
        const int probed = pax_parseMacosMajor(QString::fromUtf8(pax_platform::softwareProfileText()));
        int expected = kUnprobed;
        g_majorVersion.compare_exchange_strong(expected, probed >= 0 ? probed : kUnknown);
        cached = g_majorVersion.load();
    }
    return cached >= 0 && cached >= major;
}

bool isAvailableMacos13()
{
    return isGEMacos(12);
}

bool isBuiltinAvailableMac13()
{
    return isGEMacos(13);
}

int getCameraPrivacyStatus()
{
    return pax_platform::cameraPermissionStatus();
}

void requestCameraPrivacy()
{
}

void openCameraPrivacy()
{
    pax_platform::openSettingsPane(pax_platform::SettingsPane::Camera);
}

int resetCameraPrivacy()
{
    return pax_platform::resetPermission(pax_platform::SettingsPane::Camera);
}

int getMicPrivacyStatus()
{
    return pax_platform::micPermissionStatus();
}

void requestMicPrivacy()
{
}

void openMicPrivacy()
{
    pax_platform::openSettingsPane(pax_platform::SettingsPane::Microphone);
}

int resetMicPrivacy()
{
    return pax_platform::resetPermission(pax_platform::SettingsPane::Microphone);
}

int getRecordDesktopPrivacyStatus()
{
    const int status = pax_platform::screenPermissionStatus();
    qDebug() << "record ping:" << status;
    return status;
}

void requestRecordDesktopPrivacy()
{
}

void openRecordDesktopPrivacy()
{
    pax_platform::openSettingsPane(pax_platform::SettingsPane::ScreenCapture);
}

int resetRecordDesktopPrivacy()
{
    return pax_platform::resetPermission(pax_platform::SettingsPane::ScreenCapture);
}
