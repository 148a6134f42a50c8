#pragma once
// The program's main window, made and brought up in this one place so that the rest of the
// start-up does not depend on its type. GUI thread only.
class QWidget;
class SingleApplication;

namespace AppWindow {
// Creates the main window (no parent) and connects the application's sigActive() to it, so a
// second start brings it forward. Null when the program has no window to make.
QWidget* create(SingleApplication* app);
// Lays the window out (geometry, views, toolbars, device check) and shows it.
void initAndShow(QWidget* window);
// Destroys the window (null is fine) and takes out what create() installed.
void destroy(QWidget* window);
}
