#pragma once
// Screen capture source of the screen recorder: FFmpeg x11grab on $DISPLAY, or a lavfi
// graph (a test pattern paced in real time) set by a test through the factory hook.

#include <QSize>
#include <QString>

#include <functional>
#include <memory>

struct AVFormatContext;

namespace pax_platform {

class ScreenInput {
public:
    virtual ~ScreenInput() = default;
    // Opens the source at `framerate` frames per second, drawing the pointer when `drawMouse`.
    // 0 and the opened context, or a negative AVERROR code (nothing is left open then).
    virtual int open(AVFormatContext** ctx, int framerate, bool drawMouse) = 0;
    // What is opened, for the log ("x11grab :0", "lavfi testsrc2=...").
    virtual QString deviceName() const = 0;
};

// The factory in force (set by setScreenInputFactory), else the X11 screen of $DISPLAY.
std::unique_ptr<ScreenInput> createScreenInput();
// Replaces the source of every later recording; an empty function restores the X11 screen.
using ScreenInputFactory = std::function<std::unique_ptr<ScreenInput>()>;
void setScreenInputFactory(ScreenInputFactory factory);

// x11grab of the whole screen `display` (":0"); an empty name means $DISPLAY.
std::unique_ptr<ScreenInput> createX11ScreenInput(const QString& display = QString());
// A lavfi video graph ("testsrc2=s=1920x1080" ...); `{fps}` in the text is replaced by the
// frame rate asked for, and a realtime filter is appended so frames come at the wall-clock pace.
std::unique_ptr<ScreenInput> createLavfiScreenInput(const QString& graph);

// Size of the X screen in pixels (the capture size; it may differ from Qt's logical size
// under scaling). An invalid size when no X display can be opened.
QSize xScreenSize(const QString& display = QString());

} // namespace pax_platform
