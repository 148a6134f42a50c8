#pragma once
// Microphone discovery of the screen-record SDK.

#include "paxscreentypes.h"

#include <QList>
#include <QString>

// Lists the microphones now (the platform's sources, in listing order; the index of an entry is
// its position). `captureScreenIndex` is left as it is: the screen is found by the screen input.
QList<_ScreenMicrophoneS> _gsSearchMicrophoneInfo(int& captureScreenIndex);

// Reads a device-listing text of the capture library: every "[N] Capture screen" line sets
// `captureScreenIndex` (the last wins); the entries after "AVFoundation audio devices" with an
// index of at most two digits are the microphones. Pure; safe from any thread.
QList<_ScreenMicrophoneS> _gsParseDeviceListing(const QString& text, int& captureScreenIndex);
