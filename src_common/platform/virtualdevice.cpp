#include "virtualdevice.h"

#include <QFileInfo>
#include <QMutex>

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

} // namespace pax_virtual
