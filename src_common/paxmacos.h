#pragma once
// Operating-system version switch and permission helpers.

#include <QString>

// True when the probed major version is at least `major`. The probe runs once; a failed
// probe is cached as "unknown" (every test false, so the in-process UVC path).
bool isGEMacos(int major);
// isGEMacos(12): discovery and UVC controls go through the Korvid service.
bool isAvailableMacos13();
bool isBuiltinAvailableMac13();

// Major version from a software-profile text; -1 when no "System Version:" line has one.
int pax_parseMacosMajor(const QString& text);
// Forgets the cached version (tests only).
void pax_resetMacosVersionCache();

int getCameraPrivacyStatus();
void requestCameraPrivacy();
void openCameraPrivacy();
int resetCameraPrivacy();
int getMicPrivacyStatus();
void requestMicPrivacy();
void openMicPrivacy();
int resetMicPrivacy();
int getRecordDesktopPrivacyStatus();
void requestRecordDesktopPrivacy();
void openRecordDesktopPrivacy();
int resetRecordDesktopPrivacy();
