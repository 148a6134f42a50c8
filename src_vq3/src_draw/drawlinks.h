#pragma once
// The canvas reaches the media bridge and the camera SDK facade only through these two small
// interfaces. The application shell installs an implementation of each at start-up; tests
// install doubles that record the calls. With nothing installed the canvas still works: calls
// to the media bridge do nothing and the SDK angle is treated as already applied.
//
// GUI thread only.

#include <QString>

class MediaControl;
class QGraphicsPixmapItem;
class QObject;
class QWidget;

// What the views ask of the media bridge that feeds live frames into their picture items.
class DrawMediaLink
{
public:
    virtual ~DrawMediaLink() = default;
    // Makes the item the main camera's render target (closes and reopens the main camera).
    virtual void setRender(MediaControl* media, QGraphicsPixmapItem* item) = 0;
    // Makes the item the second camera's render target.
    virtual void setRender1(MediaControl* media, QGraphicsPixmapItem* item) = 0;
    // Forgets the item as main or second render target; closes nothing.
    virtual void removeThisRender(MediaControl* media, QGraphicsPixmapItem* item) = 0;
    virtual void closeCamera(MediaControl* media) = 0;
    // Saves the picture on display and emits the bridge's imageCaptured(const QImage&).
    virtual void capture(MediaControl* media) = 0;
    // Connects the bridge's imageCaptured(const QImage&) to the receiver's slot (auto connection).
    virtual void connectImageCaptured(MediaControl* media, QObject* receiver, const char* slot) = 0;
    // Makes the wireless camera at `address` the current one, routes its frames (queued) to the
    // bridge and starts it.
    virtual void playWirelessDevice(MediaControl* media, const QString& address) = 0;
    // Runs the grab window modally on the bridge; blocks until the user closes it.
    virtual void runGrabWindow(MediaControl* media, QWidget* parent) = 0;
};

// What the canvas asks of the camera SDK facade.
class DrawCameraLink
{
public:
    virtual ~DrawCameraLink() = default;
    // Rotation in degrees the SDK applies to every live main-camera frame.
    virtual double getInitAngle() = 0;
    virtual void setInitAngle(double angle) = 0;
    // Family of the application font the SDK loaded.
    virtual QString getFontFamily() = 0;
};

namespace DrawLinks
{
// Not owned; pass null to remove. The installed objects must outlive every view.
void setMediaLink(DrawMediaLink* link);
DrawMediaLink* mediaLink();
void setCameraLink(DrawCameraLink* link);
DrawCameraLink* cameraLink();

// Registers the canvas pictures (":/myImage/res/...") of this static library; idempotent.
void initResources();

// The SDK's font family, or the application font's family while no camera link is installed.
QString fontFamily();
}
