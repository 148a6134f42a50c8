// Camera image-control values: ranges read from the attached camera, the user's values kept
// in the settings file while set, applied through the service client or in-process.

#include "paxdata.h"

#include "macuvcclient.h"
#include "paxcamerainfo.h"
#include "paxdata_p.h"
#include "paxintool.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace pax_data {
#define PAX_DATA_UVC_KEY(NAME, KIND, KEY, CALL) KEY,
const char* const kUvcKeys[PaxData::UvcControlCount] = {PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_KEY)};
} // namespace pax_data

namespace {
using pax_data::kUvcKeys;
#define PAX_DATA_UVC_IS_AUTO(NAME, KIND, KEY, CALL) PAX_DATA_UVC_IS_AUTO_##KIND,
#define PAX_DATA_UVC_IS_AUTO_VALUE false
#define PAX_DATA_UVC_IS_AUTO_AUTO true
const bool kUvcIsAuto[PaxData::UvcControlCount] = {PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_IS_AUTO)};

bool isAutoControl(int control)
{
    return kUvcIsAuto[control];
}

// The camera calls of one control, the same on both paths (camera 0 always): the range and
// default of a value, the default mode of an automatic switch, and setting either.
#define PAX_DATA_UVC_READ_VALUE(NAME, KIND, KEY, CALL) PAX_DATA_UVC_READ_VALUE_##KIND(NAME, CALL)
#define PAX_DATA_UVC_READ_VALUE_VALUE(NAME, CALL) \
    case PaxData::Uvc##NAME: return api->get##CALL##Info(0, info);
#define PAX_DATA_UVC_READ_VALUE_AUTO(NAME, CALL)
template <class Api>
int readValue(Api* api, int control, PaxUvcControl::_CameraInfo* info)
{
    switch (control) { PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_READ_VALUE) }
    return -1;
}

#define PAX_DATA_UVC_READ_MODE(NAME, KIND, KEY, CALL) PAX_DATA_UVC_READ_MODE_##KIND(NAME, CALL)
#define PAX_DATA_UVC_READ_MODE_VALUE(NAME, CALL)
#define PAX_DATA_UVC_READ_MODE_AUTO(NAME, CALL) \
    case PaxData::Uvc##NAME: return api->get##CALL##Info(0, automatic);
template <class Api>
int readMode(Api* api, int control, bool* automatic)
{
    switch (control) { PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_READ_MODE) }
    return -1;
}

#define PAX_DATA_UVC_APPLY(NAME, KIND, KEY, CALL) \
    case PaxData::Uvc##NAME: return api->set##CALL(0, PAX_DATA_UVC_APPLY_##KIND);
#define PAX_DATA_UVC_APPLY_VALUE value
#define PAX_DATA_UVC_APPLY_AUTO value != 0
template <class Api>
int applyValue(Api* api, int control, int value)
{
    switch (control) { PAX_DATA_UVC_CONTROLS(PAX_DATA_UVC_APPLY) }
    return -1;
}

// Range and default of a value control, or the default mode of an automatic one.
template <class Api>
int readControl(Api* api, int control, PaxUvcControl::_CameraInfo& info, bool& automatic)
{
    return isAutoControl(control) ? readMode(api, control, &automatic) : readValue(api, control, &info);
}

// "WxH" -> width and height; false unless both are positive numbers.
bool parseSize(const QString& text, int& width, int& height)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    width = parts.at(0).trimmed().toInt(&okW);
    height = parts.at(1).trimmed().toInt(&okH);
    return okW && okH && width > 0 && height > 0;
}
} // namespace

void PaxData::_initUvcRecords()
{
    for (_PaxUvcInfoS& r : m_uvc)
        r.supported = false;
}

void PaxData::setRefreshStreamWaitMs(int ms)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_refreshStreamWaitMs = ms;
}

_PaxUvcInfoS PaxData::_getUvcInfo(int control)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    return m_uvc[control];
}

void PaxData::_saveUvc(int control)
{
    const _PaxUvcInfoS& r = m_uvc[control];
    m_uvcStored[control] = isAutoControl(control) ? QVariant(r.curOn) : QVariant(r.cur);
    ++m_uvcStoredWrites[control];
    _put(QStringLiteral("common"), QLatin1String(kUvcKeys[control]), m_uvcStored[control]);
}

void PaxData::_removeUvc(int control)
{
    m_uvcStored[control] = QVariant();
    ++m_uvcStoredWrites[control];
    _put(QStringLiteral("common"), QLatin1String(kUvcKeys[control]), QVariant());
}

// Reads the nine control keys as the file holds them now (edits by hand included), without the
// store's lock, so that the reloads done under it never wait for the disk. A key the store wrote
// while the file was being read keeps the value written.
void PaxData::_readUvcKeys()
{
    quint64 writesBefore[UvcControlCount];
    {
        PaxDataLocker lock(this);
        if (!lock.held())
            return;
        std::copy(std::begin(m_uvcStoredWrites), std::end(m_uvcStoredWrites), std::begin(writesBefore));
    }
    _writeQueued(); // every write made before is on disk now
    QVariant stored[UvcControlCount];
    {
        QMutexLocker fileLock(&m_fileMutex);
        QSettings settings(_getConfigPath(), QSettings::IniFormat);
        for (int control = 0; control < UvcControlCount; ++control)
            stored[control] = settings.value(QStringLiteral("common/") + QLatin1String(kUvcKeys[control]));
    }
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    for (int control = 0; control < UvcControlCount; ++control) {
        if (m_uvcStoredWrites[control] == writesBefore[control])
            m_uvcStored[control] = stored[control];
    }
}

// The control's key as last read from the file or written by the store; invalid when absent.
QVariant PaxData::_readUvcKey(int control)
{
    return m_uvcStored[control];
}

void PaxData::_setUvcValue(int control, int op, int value)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _setUvcValueLocked(lock, control, op, value);
}

void PaxData::_setUvcAuto(int control, int op, bool on)
{
    _readUvcKeys(); // a manual exposure reloads the stored exposure value
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _setUvcAutoLocked(lock, control, op, on);
}

void PaxData::_setUvcValueLocked(PaxDataLocker& lock, int control, int op, int value)
{
    _PaxUvcInfoS& r = m_uvc[control];
    if (!r.supported)
        return;
    switch (op) {
    case UvcOpSet:
        if (value < r.min || value > r.max)
            return;
        r.cur = value;
        _saveUvc(control);
        break;
    case UvcOpDefault:
        r.cur = r.def;
        _removeUvc(control);
        break;
    case UvcOpReload: {
        const QVariant stored = _readUvcKey(control);
        if (stored.isNull()) {
            r.cur = r.def;
        } else {
            bool ok = false;
            const int v = stored.toString().trimmed().toInt(&ok);
            if (ok && v >= r.min && v <= r.max) {
                r.cur = v;
            } else {
                r.cur = r.def;
                _removeUvc(control);
            }
        }
        break;
    }
    default:
        return;
    }
    _applyUvcLocked(lock, control);
}

void PaxData::_setUvcAutoLocked(PaxDataLocker& lock, int control, int op, bool on)
{
    _PaxUvcInfoS& r = m_uvc[control];
    if (!r.supported)
        return;
    switch (op) {
    case UvcOpSet:
        r.curOn = on;
        _saveUvc(control);
        break;
    case UvcOpDefault:
        r.curOn = r.defOn;
        _removeUvc(control);
        break;
    case UvcOpReload: {
        const QVariant stored = _readUvcKey(control);
        r.curOn = stored.isNull() ? r.defOn : stored.toBool();
        break;
    }
    default:
        return;
    }
    _applyUvcLocked(lock, control);
    // A manual exposure takes effect with the stored exposure value.
    if (control == UvcExposureAuto && !m_uvc[UvcExposureAuto].curOn)
        _setUvcValueLocked(lock, UvcExposure, UvcOpReload, 0);
}

// The camera's answer is not looked at: the store keeps its value either way. The service
// request may wait for the service, so the lock is released around it.
void PaxData::_applyUvcLocked(PaxDataLocker& lock, int control)
{
    const _PaxUvcInfoS& r = m_uvc[control];
    const int value = isAutoControl(control) ? int(r.curOn) : r.cur;
    if (isAvailableMacos13()) {
        lock.unlock();
        applyValue(MacUvcClient::getInstance(), control, value);
        lock.relock();
    } else {
        applyValue(PaxUvcControl::getInstance(), control, value);
    }
}

// Takes what the camera reported for one control (result 0: read) and reloads its value.
void PaxData::_takeInfo(PaxDataLocker& lock, int control, int result, int max, int min, int def, bool defaultOn)
{
    _PaxUvcInfoS& r = m_uvc[control];
    if (result != 0) {
        r.supported = false;
        return;
    }
    if (isAutoControl(control)) {
        if (!(r.supported && r.defOn == defaultOn)) {
            // Automatic focus defaults to on whatever the camera reports.
            r.defOn = control == UvcFocusAuto ? true : defaultOn;
            r.supported = true;
        }
        _setUvcAutoLocked(lock, control, UvcOpReload, false);
        return;
    }
    const bool same = r.supported && r.min == min && r.max == max && r.def == def;
    if (!same) {
        r.max = max;
        r.min = min;
        r.def = def;
        r.supported = true;
        if (control == UvcFocus)
            r.cur = def;
    }
    // The focus value is never re-applied.
    if (control != UvcFocus)
        _setUvcValueLocked(lock, control, UvcOpReload, 0);
}

void PaxData::_freshCameraRelativeUvc(PaxDataLocker& lock)
{
    if (!isAvailableMacos13()) {
        PaxUvcControl* uvc = PaxUvcControl::getInstance();
        for (int control = 0; control < UvcControlCount; ++control) {
            PaxUvcControl::_CameraInfo info;
            bool automatic = false;
            const int result = readControl(uvc, control, info, automatic);
            _takeInfo(lock, control, result, info.max, info.min, info.def, automatic);
        }
        return;
    }

    if (!m_uvcControl)
        return;
    MacUvcClient* client = MacUvcClient::getInstance();
    const int waitMs = m_refreshStreamWaitMs;
    lock.unlock();
    QCoreApplication::processEvents();
    client->openDevice();
    for (int control = 0; control < UvcControlCount; ++control) {
        PaxUvcControl::_CameraInfo info;
        bool automatic = false;
        const int result = readControl(client, control, info, automatic);
        lock.relock();
        _takeInfo(lock, control, result, info.max, info.min, info.def, automatic);
        lock.unlock();
    }

    // Let the service stream the camera a moment so the values take hold, then give the
    // devices back. Without a current capture size there is nothing to stream.
    PaxCameraInfo* cameras = PaxCameraInfo::getInstance();
    int width = 0, height = 0;
    if (parseSize(cameras->getCameraCurRealSolution(PaxCameraIndexMain), width, height)) {
        client->startPlayCamera(0, width, height, cameras->getCameraCurFps(PaxCameraIndexMain), true);
        QThread::msleep(static_cast<unsigned long>(qMax(0, waitMs)));
    } else {
        PAX_LOG_DEBUG("%s", "no current capture size of the main camera: no stream after the refresh");
    }
    _closeServiceDevice();
    lock.relock();
}

// closeDevice makes the service drop the cameras and end; in UVC preview mode (work mode 1)
// the service must keep them, so the close waits until the mode is back to 0.
void PaxData::_closeServiceDevice()
{
    MacUvcClient* client = MacUvcClient::getInstance();
    if (client->getWorkMode() != 1) {
        m_closeDeferred.store(false);
        client->closeDevice();
        return;
    }
    if (m_closeDeferred.exchange(true))
        return;
    PAX_LOG_DEBUG("%s", "UVC preview mode: closing the service devices waits for work mode 0");
    QMetaObject::invokeMethod(
        this,
        [this] {
            auto* timer = new QTimer(this);
            timer->setInterval(200);
            connect(timer, &QTimer::timeout, this, [this, timer] {
                if (!m_closeDeferred.load()) {
                    timer->deleteLater();
                    return;
                }
                MacUvcClient* c = MacUvcClient::getInstance();
                if (c->getWorkMode() == 1)
                    return;
                timer->stop();
                timer->deleteLater();
                if (m_closeDeferred.exchange(false))
                    c->closeDevice();
            });
            timer->start();
        },
        Qt::QueuedConnection);
}

void PaxData::setFocus()
{
    if (isAvailableMacos13()) {
        MacUvcClient* client = MacUvcClient::getInstance();
        client->setFocusMode(0, false);
        client->setFocusMode(0, true);
    } else {
        PaxUvcControl* uvc = PaxUvcControl::getInstance();
        uvc->setFocusMode(0, false);
        uvc->setFocusMode(0, true);
    }
}

void PaxData::freshAutoFocusInfo()
{
    _readUvcKeys();
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _setUvcAutoLocked(lock, UvcFocusAuto, UvcOpReload, false);
}

void PaxData::freshCameraRelative()
{
    _readUvcKeys();
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    _freshCameraRelativeUvc(lock);
}

void PaxData::setUvcControl(bool on)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_uvcControl = on;
}

void PaxData::checkUvcInit()
{
    {
        PaxDataLocker lock(this);
        if (!lock.held() || !m_uvcControl || m_uvc[UvcBrightness].supported)
            return;
    }
    _readUvcKeys();
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    if (m_uvcControl && !m_uvc[UvcBrightness].supported)
        _freshCameraRelativeUvc(lock);
}
