#pragma once
// Linux stand-ins for the operating-system services the device layer asks for.
// Nothing outside src_common/platform/ knows which system answers.

#include <QByteArray>
#include <QString>

namespace pax_platform {

// Text in the shape of `system_profiler SPSoftwareDataType`: the program's own output
// when one is on PATH (waited for at most 30 s), otherwise a "System Version:" line made
// from ORVANE_PLATFORM_VERSION (default "13.0"). Empty when the program fails.
QByteArray softwareProfileText();

// "model name" of /proc/cpuinfo; cpuBrandFromCpuinfo parses a given text.
QString cpuBrandText();
QString cpuBrandFromCpuinfo(const QByteArray& cpuinfo);

// The number of processors the calling thread may run on (its affinity mask), at least 1.
int allowedCpuCount();
// Sizes Qt's global thread pool, over which Qt splits large image conversions and scaling, to
// allowedCpuCount() (Qt sizes it by the machine's processors). Called once at a program's start.
void fitGlobalThreadPool();

// Permission codes: 0 allowed, 1 denied, 3 unavailable.
int cameraPermissionStatus();   // 0 when every capture node opens read-write (or none exists), 1 on EACCES
int micPermissionStatus();      // 0 when a capture source exists, else 3
int screenPermissionStatus();   // 0 with an X display, 1 without

enum class SettingsPane { Camera, Microphone, ScreenCapture };
void openSettingsPane(SettingsPane pane);   // the desktop's settings, detached
int resetPermission(SettingsPane pane);     // nothing to reset here: logged, returns 0

// The absolute folder of the program or shared library that holds `address` (a function of
// it); empty when that can't be told.
QString moduleFolderOf(const void* address);

// Value of ORVANE_VIRTUAL_CAMERA (empty when unset).
QString virtualCameraSetting();

// Absolute path of a helper program shipped with the system (such as "mytool"): the one beside the
// running program when there is one there, else the one beside the library that holds this code
// (a host program installed elsewhere). The current directory plays no part.
QString helperProgramPath(const QString& name);

} // namespace pax_platform
