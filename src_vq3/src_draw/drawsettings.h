#pragma once
// The canvas's one doorway into the application settings (MyMemory): drawing settings, the
// pointer registry and the UI metrics. Each function reads the settings afresh.
//
// GUI thread only.

#include <QColor>
#include <QSizeF>
#include <QString>

class GraphicsView;
class QObject;
class QSlider;

namespace DrawSettings
{
QColor lineColor();
QColor fillColor();
int fillChoice();
int penWidth();
int eraseWidth();

// Registry entries; null when nothing is registered. "view" and "curGraphicsView" hold
// GraphicsView pointers, "curMainWindow" the main window as a QObject pointer.
GraphicsView* mainView();
GraphicsView* currentView();
void setCurrentView(GraphicsView* view);
QObject* mainWindow();
// Sets the main window's zoom slider ("m_sliderZoom") or rotation slider ("m_sliderRotate") to
// the value with the slider's signals blocked; nothing when the window or the slider is absent.
void setMainWindowSlider(const char* objectName, int value);

// UI metrics.
QSizeF sliderSize();
QSizeF comboSize();
int bottomInset();
int uiFontSize();
int tipWidth();
int tipHeight();
int tipFontSize();
}
