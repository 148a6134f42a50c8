#pragma once
// Per-user save folders under one base folder in the user's Documents, and the SDK log.

#include <QString>

namespace paxlib {
// The base folder (with a trailing "/"); the first call with a non-empty name fixes it.
QString YL_createOrGetFatherSaveDir(QString name);
// base + father + "/" (+ son + "/"), each level created and probed writable; "" for an empty father.
// Aborts the process when the base folder is not set (a programming error).
QString YL_createOrGetSonSaveDir(QString father, QString son);
// Removes Documents/<name> with its contents; refuses "", and names with "/" or "..".
// Returns false when refused or not removed.
bool YL_deleteFatherSaveDir(QString name);
QString YL_getAppIcoImageFilename();
bool YL_isCpuArm();
bool YL_isCpuArmBrand(const QString& brand);
} // namespace paxlib

// Sets the SDK log file name (in base/pax_sdk/log/) and registers the camera SDK's log
// destination: every message of the camera SDK, and of components without a destination of their
// own, is echoed bare to standard output and appended as "[hh:mm:ss] text" to that file. Any thread.
void paxSetLogDir(QString name);
