#include "virtualdevice.h"

#include <QFileInfo>
#include <QMutex>

#include <QHash>

#include <array>

namespace pax_virtual {

namespace {
QString setting()
{
    return qEnvironmentVariable("ORVANE_VIRTUAL_CAMERA").trimmed();
}

constexpr std::array<ControlRange, ControlCount> kRanges{{
    {-64, 64, 0},     // brightness
    {0, 100, 50},     // contrast
    {0, 100, 64},     // saturation
    {0, 15, 3},       // sharpness
    {0, 100, 0},      // gain
    {3, 2047, 250},   // exposure (100 us units)
    {1, 8, 8},        // exposure mode: 1 manual, 8 aperture priority (auto)
    {0, 1023, 512},   // focus
    {0, 1, 1},        // focus mode: auto
}};

QMutex g_mutex;
std::array<std::array<int, ControlCount>, 2> g_values;
bool g_valuesSet = false;

// Guarded by g_mutex.
bool g_devicesReplaced = false;
QList<UvcDeviceSpec> g_devices;
QHash<quint32, int> g_faults;   // (camera, control, request) -> error

quint32 faultKey(int camera, Control control, int request)
{
    return (quint32(camera) << 24) | (quint32(control) << 16) | quint32(request & 0xffff);
}

void ensureDefaults()
{
    if (g_valuesSet)
        return;
    for (auto& camera : g_values)
        for (int c = 0; c < ControlCount; ++c)
            camera[size_t(c)] = kRanges[size_t(c)].def;
    g_valuesSet = true;
}
} // namespace

int cameraCount()
{
    const QString v = setting();
    if (v.isEmpty())
        return 0;
    if (v == QLatin1String("1"))
        return 1;
    if (v == QLatin1String("2"))
        return 2;
    return QFileInfo(v).isFile() ? 1 : 0;
}

bool enabled()
{
    return cameraCount() > 0;
}

QString mediaFile()
{
    const QString v = setting();
    if (v.isEmpty() || v == QLatin1String("1") || v == QLatin1String("2"))
        return QString();
    return QFileInfo(v).isFile() ? v : QString();
}

QList<Mode> modes()
{
    return {{1920, 1080, 30}, {1280, 720, 30}, {640, 480, 30}};
}

ControlRange controlRange(Control control)
{
    if (control < 0 || control >= ControlCount)
        return {0, 0, 0};
    return kRanges[size_t(control)];
}

int controlValue(int camera, Control control)
{
    if (camera < 0 || camera > 1 || control < 0 || control >= ControlCount)
        return 0;
    QMutexLocker lock(&g_mutex);
    ensureDefaults();
    return g_values[size_t(camera)][size_t(control)];
}

bool setControlValue(int camera, Control control, int value)
{
    if (camera < 0 || camera > 1 || control < 0 || control >= ControlCount)
        return false;
    const ControlRange r = kRanges[size_t(control)];
    if (value < r.min || value > r.max)
        return false;
    if (control == ExposureMode && value != 1 && value != 8 && value != 2 && value != 4)
        return false;
    QMutexLocker lock(&g_mutex);
    ensureDefaults();
    g_values[size_t(camera)][size_t(control)] = value;
    return true;
}

void resetControls()
{
    QMutexLocker lock(&g_mutex);
    g_valuesSet = false;
    ensureDefaults();
}

QList<UvcDeviceSpec> uvcDevices()
{
    {
        QMutexLocker lock(&g_mutex);
        if (g_devicesReplaced)
            return g_devices;
    }
    QList<UvcDeviceSpec> list;
    const int count = cameraCount();
    for (int i = 0; i < count; ++i) {
        UvcDeviceSpec d;
        d.vendorId = quint16(QByteArray(kVendorId).toUShort(nullptr, 16));
        d.productId = quint16(QByteArray(i == 0 ? kMainProductId : kSecondProductId).toUShort(nullptr, 16));
        d.product = i == 0 ? kMainName : kSecondName;
        d.serialNumber = i == 0 ? "VDC0001" : "VDC0002";
        d.manufacturer = "Orvane Virtual";
        d.camera = i;
        list.append(d);
    }
    return list;
}

bool uvcDevicesReplaced()
{
    QMutexLocker lock(&g_mutex);
    return g_devicesReplaced;
}

void setUvcDevices(const QList<UvcDeviceSpec>& devices)
{
    QMutexLocker lock(&g_mutex);
    g_devices = devices;
    g_devicesReplaced = true;
}

void clearUvcDevices()
{
    QMutexLocker lock(&g_mutex);
    g_devices.clear();
    g_devicesReplaced = false;
}

void setControlFault(int camera, Control control, int request, int error)
{
    QMutexLocker lock(&g_mutex);
    if (error == 0)
        g_faults.remove(faultKey(camera, control, request));
    else
        g_faults.insert(faultKey(camera, control, request), error);
}

void clearControlFaults()
{
    QMutexLocker lock(&g_mutex);
    g_faults.clear();
}

int controlFault(int camera, Control control, int request)
{
    QMutexLocker lock(&g_mutex);
    return g_faults.value(faultKey(camera, control, request), 0);
}

} // namespace pax_virtual
