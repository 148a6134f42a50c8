#include "paxplatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtGlobal>

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace pax_platform {

QByteArray softwareProfileText()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("system_profiler"));
    if (!program.isEmpty()) {
        QProcess process;
        process.start(program, {QStringLiteral("SPSoftwareDataType")}, QIODevice::ReadWrite);
        if (!process.waitForStarted(30000))
            return QByteArray();
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished(1000);
            return QByteArray();
        }
        QByteArray out = process.readAllStandardOutput();
        const int nul = out.indexOf('\0');
        if (nul >= 0)
            out.truncate(nul);
        return out;
    }
    QByteArray version = qgetenv("ORVANE_PLATFORM_VERSION").trimmed();
    if (version.isEmpty())
        version = "13.0";
    return "Software:\n\n    System Software Overview:\n\n      System Version: Linux " + version + "\n";
}

QString cpuBrandFromCpuinfo(const QByteArray& cpuinfo)
{
    for (const QByteArray& line : cpuinfo.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        if (line.left(colon).trimmed() == "model name")
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
    }
    return QString();
}

QString cpuBrandText()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return cpuBrandFromCpuinfo(f.readAll());
}

int allowedCpuCount()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0)
        return 1;
    return qMax(1, CPU_COUNT(&set));
}

void fitGlobalThreadPool()
{
    QThreadPool::globalInstance()->setMaxThreadCount(allowedCpuCount());
}

static bool isCaptureNode(int fd)
{
    v4l2_capability cap{};
    if (ioctl(fd, VIDIOC_QUERYCAP, &cap) != 0)
        return false;
    const quint32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    return caps & V4L2_CAP_VIDEO_CAPTURE;
}

int cameraPermissionStatus()
{
    const QStringList nodes = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System);
    for (const QString& node : nodes) {
        const QByteArray path = QFile::encodeName(QStringLiteral("/dev/") + node);
        const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == EACCES || errno == EPERM) {
                // A node we can't even open read-only is not ours to judge; only capture nodes count.
                const int ro = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                if (ro < 0)
                    return 1;
                const bool capture = isCaptureNode(ro);
                ::close(ro);
                if (capture)
                    return 1;
            }
            continue;
        }
        ::close(fd);
    }
    return 0;
}

QString moduleFolderOf(const void* address)
{
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname || info.dli_fname[0] != '/')
        return QString();
    const QFileInfo module(QFile::decodeName(info.dli_fname));
    const QString folder = module.canonicalPath();
    return folder.isEmpty() ? module.absolutePath() : folder;
}

QString virtualCameraSetting()
{
    return qEnvironmentVariable("ORVANE_VIRTUAL_CAMERA");
}

int micPermissionStatus()
{
    if (!virtualCameraSetting().isEmpty())
        return 0;
    QFile pcm(QStringLiteral("/proc/asound/pcm"));
    if (pcm.open(QIODevice::ReadOnly) && pcm.readAll().contains("capture"))
        return 0;
    return 3;
}

int screenPermissionStatus()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") ? 1 : 0;
}

void openSettingsPane(SettingsPane pane)
{
    const char* panel = pane == SettingsPane::Camera ? "camera"
                      : pane == SettingsPane::Microphone ? "microphone" : "privacy";
    const QString control = QStandardPaths::findExecutable(QStringLiteral("gnome-control-center"));
    if (!control.isEmpty()) {
        QProcess::startDetached(control, {QString::fromLatin1(panel)});
        return;
    }
    QProcess::startDetached(QStringLiteral("xdg-open"), {QStringLiteral("settings://")});
}

int resetPermission(SettingsPane pane)
{
    qInfo("permission reset asked for pane %d: nothing to reset on this system", int(pane));
    return 0;
}

QString helperProgramPath(const QString& name)
{
    // The program's own folder first (programs and tools are installed together); a host program
    // elsewhere finds the tool beside the library that runs it.
    const bool haveApp = QCoreApplication::instance() != nullptr;
    if (haveApp) {
        const QFileInfo inAppDir(QDir(QCoreApplication::applicationDirPath()), name);
        if (inAppDir.exists())
            return inAppDir.absoluteFilePath();
    }
    Dl_info info{};
    if (::dladdr(reinterpret_cast<const void*>(&helperProgramPath), &info) && info.dli_fname && *info.dli_fname) {
        const QFileInfo beside(QFileInfo(QFile::decodeName(info.dli_fname)).absoluteDir(), name);
        if (beside.isFile() && beside.isExecutable())
            return beside.absoluteFilePath();
    }
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(name);
}

} // namespace pax_platform
