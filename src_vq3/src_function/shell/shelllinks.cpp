#include "shelllinks.h"

#include "mediacontrol.h"
#include "paxqtlib.h"
#include "paxqtlibdialogsdk.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QPointer>

#include <memory>

namespace {
PaxQtLib* sdk() { return PaxQtLib::getInstance(); }

struct Links {
    ShellMemorySdkLink memory;
    ShellDrawMediaLink media;
    ShellDrawCameraLink camera;
    std::unique_ptr<PaxQtLibDialogSdk> dialogSdk;
    ShellDialogWirelessManager wireless;
};
std::unique_ptr<Links>& links()
{
    static std::unique_ptr<Links> value;
    return value;
}
} // namespace

void ShellDrawMediaLink::setRender(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->setRender(item);
}

void ShellDrawMediaLink::setRender1(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->setRender1(item);
}

void ShellDrawMediaLink::removeThisRender(MediaControl* media, QGraphicsPixmapItem* item)
{
    if (media)
        media->removeThisRender(item);
}

void ShellDrawMediaLink::closeCamera(MediaControl* media)
{
    if (media)
        media->closeCamera();
}

void ShellDrawMediaLink::capture(MediaControl* media)
{
    if (media)
        media->capture();
}

void ShellDrawMediaLink::connectImageCaptured(MediaControl* media, QObject* receiver, const char* slot)
{
    if (media && receiver)
        QObject::connect(media, SIGNAL(imageCaptured(QImage)), receiver, slot);
}

void ShellDrawMediaLink::playWirelessDevice(MediaControl* media, const QString& address)
{
    WirelessDeviceManage::getInstance()->switchDevice(address);
    if (media)
        media->openCamera();
}

// The grab window is the picture-in-picture window in its grab scene, which no control of the
// application opens; without it there is nothing to run.
void ShellDrawMediaLink::runGrabWindow(MediaControl*, QWidget*) {}

void ShellMemorySdkLink::setVideoMainSavePath(const QString& folder) { sdk()->setVideoMainSavePath(folder); }
void ShellMemorySdkLink::setVideoSecondSavePath(const QString& folder) { sdk()->setVideoSecondSavePath(folder); }

double ShellDrawCameraLink::getInitAngle() { return sdk()->getInitAngle(); }
void ShellDrawCameraLink::setInitAngle(double angle) { sdk()->setInitAngle(angle); }
QString ShellDrawCameraLink::getFontFamily() { return sdk()->getFontFamily(); }

struct ShellDialogWirelessManager::Device : DialogWirelessDevice {
    explicit Device(WirelessDevice* d) : device(d) {}
    WirelessDeviceInfo getDeviceInfo() const override { return device ? device->getDeviceInfo() : WirelessDeviceInfo(); }
    void setAp(const QString& wifiName, int channel) override
    {
        if (device)
            device->setAp(wifiName, WirelessDevice::_ChannelE(channel));
    }
    void setStation(const QString& name, const QString& password) override
    {
        if (device)
            device->setStation(name, password);
    }
    QPointer<WirelessDevice> device;    // null once the manager has deleted the camera
};

ShellDialogWirelessManager::ShellDialogWirelessManager() = default;

ShellDialogWirelessManager::~ShellDialogWirelessManager()
{
    qDeleteAll(m_adapters);
    qDeleteAll(m_retired);
}

// One adapter per camera, kept while the manager lists the camera.
DialogWirelessDevice* ShellDialogWirelessManager::_adapter(WirelessDevice* device)
{
    if (!device)
        return nullptr;
    const QList<WirelessDevice*> listed = WirelessDeviceManage::getInstance()->getDeviceList();
    for (auto it = m_adapters.begin(); it != m_adapters.end();) {
        if (listed.contains(it.key())) {
            ++it;
        } else {
            m_retired.append(it.value());
            it = m_adapters.erase(it);
        }
    }
    DialogWirelessDevice*& adapter = m_adapters[device];
    if (!adapter)
        adapter = new Device(device);
    return adapter;
}

DialogWirelessDevice* ShellDialogWirelessManager::getCurDevice()
{
    return _adapter(WirelessDeviceManage::getInstance()->getCurDevice());
}

QList<DialogWirelessDevice*> ShellDialogWirelessManager::getDeviceList()
{
    QList<DialogWirelessDevice*> list;
    for (WirelessDevice* device : WirelessDeviceManage::getInstance()->getDeviceList())
        list << _adapter(device);
    return list;
}

void installShellLinks()
{
    if (links())
        return;
    links() = std::make_unique<Links>();
    links()->dialogSdk = std::make_unique<PaxQtLibDialogSdk>();
    MyMemory::setSdkLink(&links()->memory);
    DrawLinks::setMediaLink(&links()->media);
    DrawLinks::setCameraLink(&links()->camera);
    DialogCameraSdk::setInstance(links()->dialogSdk.get());
    DialogWirelessManager::setInstance(&links()->wireless);
}

void removeShellLinks()
{
    if (!links())
        return;
    MyMemory::setSdkLink(nullptr);
    DrawLinks::setMediaLink(nullptr);
    DrawLinks::setCameraLink(nullptr);
    DialogCameraSdk::setInstance(nullptr);
    DialogWirelessManager::setInstance(nullptr);
    links().reset();
}
