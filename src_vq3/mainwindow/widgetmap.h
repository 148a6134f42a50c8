#pragma once
// A test hook for driving the program from outside (another process clicking with xdotool):
// with ORVANE_TEST_WIDGET_MAP set to a file name, the visible widgets of the application are
// written to that file as JSON every 100 ms: each window and each named, button or label widget
// in it with its class, object name, global rectangle, text (a splash screen's: its message; a
// menu's: its entries, one a line), tooltip and checked, enabled and modal states, and the unit
// order of every tool palette. Without the variable nothing runs.
//
// GUI thread only. Writing takes a few milliseconds (a few hundred widgets); the file is
// replaced whole, so a reader never sees half of it.

#include <QByteArray>

namespace WidgetMap {
constexpr const char* Variable = "ORVANE_TEST_WIDGET_MAP";

// Starts the periodic writer once per process when the variable is set; later calls do nothing.
void startFromEnvironment();

// The map of the application's visible widgets as it is now.
QByteArray snapshot();
} // namespace WidgetMap
