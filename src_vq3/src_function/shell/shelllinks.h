#pragma once
// The application's side of the interfaces through which the canvas and the dialogs reach the
// camera SDK facade and the media bridge: adapters forwarding to PaxQtLib and MediaControl.
// installShellLinks() plugs them in once at start-up; GUI thread only.
#include "dialogservices.h"
#include "drawlinks.h"
#include "mymemory.h"

#include <QHash>

class MediaControl;
class WirelessDevice;

class ShellDrawMediaLink : public DrawMediaLink {
public:
    void setRender(MediaControl* media, QGraphicsPixmapItem* item) override;
    void setRender1(MediaControl* media, QGraphicsPixmapItem* item) override;
    void removeThisRender(MediaControl* media, QGraphicsPixmapItem* item) override;
    void closeCamera(MediaControl* media) override;
    void capture(MediaControl* media) override;
    void connectImageCaptured(MediaControl* media, QObject* receiver, const char* slot) override;
    void playWirelessDevice(MediaControl* media, const QString& address) override;
    void runGrabWindow(MediaControl* media, QWidget* parent) override;
};

class ShellDrawCameraLink : public DrawCameraLink {
public:
    double getInitAngle() override;
    void setInitAngle(double angle) override;
    QString getFontFamily() override;
};

// The settings' save folder handed to the facade as the folder of both cameras' recordings.
class ShellMemorySdkLink : public MyMemorySdkLink {
public:
    void setVideoMainSavePath(const QString& folder) override;
    void setVideoSecondSavePath(const QString& folder) override;
};

// The settings dialog's view of the wireless cameras, forwarding to WirelessDeviceManage.
class ShellDialogWirelessManager : public DialogWirelessManager {
public:
    ShellDialogWirelessManager();
    ~ShellDialogWirelessManager() override;
    DialogWirelessDevice* getCurDevice() override;
    QList<DialogWirelessDevice*> getDeviceList() override;

private:
    struct Device;
    DialogWirelessDevice* _adapter(WirelessDevice* device);
    QHash<WirelessDevice*, DialogWirelessDevice*> m_adapters;
    // Adapters of cameras no longer listed: a dialog may still hold one, so they live on (idle).
    QList<DialogWirelessDevice*> m_retired;
};

// Installs the adapters for the settings, the canvas and the dialogs (idempotent);
// removeShellLinks() takes them out again before the facade goes away.
void installShellLinks();
void removeShellLinks();
