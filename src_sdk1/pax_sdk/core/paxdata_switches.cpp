// Document processing switches per work mode.

#include "paxdata.h"

#include "paxdata_p.h"

bool PaxData::_getFlag(int mode, bool Profile::*field)
{
    if (!pax_data::validMode(mode))
        return false;
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    return m_profiles[mode].*field;
}

int PaxData::_getInt(int mode, int Profile::*field)
{
    if (!pax_data::validMode(mode))
        return 0;
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    return m_profiles[mode].*field;
}

void PaxData::_setProfileInt(int mode, int Profile::*field, int value, int group, int notify)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].*field = value;
    _saveGroup(mode, group);
    lock.unlock();
    if (notify >= 0)
        emit sigDataChange(_PaxDataChangeNotifyE(notify));
}

void PaxData::_setProfileFlag(int mode, bool Profile::*field, bool on, int group, int notify)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].*field = on;
    _saveGroup(mode, group);
    lock.unlock();
    emit sigDataChange(_PaxDataChangeNotifyE(notify));
}

// Switching one trim on switches the mode's other trim off, in memory and in the file.
void PaxData::_setAutoTrim(int mode, bool on)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    Profile& p = m_profiles[mode];
    p.autoTrim = on;
    _saveGroup(mode, GroupAutoTrim);
    const bool manuOff = on && p.manuTrim;
    if (manuOff) {
        p.manuTrim = false; // the rectangle is kept, but unreadable while manual trim is off
        _saveGroup(mode, GroupManuTrim);
    }
    lock.unlock();
    emit sigDataChange(PaxNotifyAutoTrim);
    if (manuOff)
        emit sigDataChange(PaxNotifyManuTrim);
}

void PaxData::_setManuTrim(int mode, bool on)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    Profile& p = m_profiles[mode];
    p.manuTrim = on;
    _saveGroup(mode, GroupManuTrim);
    p.manuTrimRect.reset();
    const bool autoOff = on && p.autoTrim;
    if (autoOff) {
        p.autoTrim = false;
        _saveGroup(mode, GroupAutoTrim);
    }
    lock.unlock();
    emit sigDataChange(PaxNotifyManuTrim);
    emit sigDataChange(PaxNotifyManuTrimRect);
    if (autoOff)
        emit sigDataChange(PaxNotifyAutoTrim);
}

void PaxData::_setManuTrimRect(int mode, const QRect& rect)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    Profile& p = m_profiles[mode];
    if (!p.manuTrim)
        return;
    p.manuTrimRect = std::make_unique<QRect>(rect);
    lock.unlock();
    emit sigDataChange(PaxNotifyManuTrimRect);
}

bool PaxData::_getManuTrimRect(int mode, QRect& rect)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    const Profile& p = m_profiles[mode];
    if (!p.manuTrim || !p.manuTrimRect)
        return false;
    rect = *p.manuTrimRect;
    return true;
}

void PaxData::_removeMenuTrimRect(int mode)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    Profile& p = m_profiles[mode];
    if (!p.manuTrim || !p.manuTrimRect)
        return;
    p.manuTrimRect.reset();
    lock.unlock();
    emit sigDataChange(PaxNotifyManuTrimRect);
}

bool PaxData::getPhotoAutoTrim()
{
    return pax_data::lockedGet(this, m_photoAutoTrim);
}

void PaxData::setPhotoAutoTrim(bool on)
{
    pax_data::lockedSet(this, m_photoAutoTrim, on);
    emit sigDataChange(PaxNotifyAutoTrim);
}

void PaxData::setAutoTrimRect(QRect rect)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    if (!m_profiles[PaxWorkModeCommon].autoTrim)
        return;
    m_autoTrimRect = std::make_unique<QRect>(rect);
    lock.unlock();
    emit sigDataChange(PaxNotifyAutoTrimRect);
}

bool PaxData::getAutoTrimRect(QRect& rect)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    if (!m_profiles[PaxWorkModeCommon].autoTrim || !m_autoTrimRect)
        return false;
    rect = *m_autoTrimRect;
    return true;
}

bool PaxData::_getTimeGrab(int mode, int& seconds)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    seconds = int(m_profiles[mode].timeGrabSeconds);
    return m_profiles[mode].timeGrab;
}

void PaxData::_setTimeGrab(int mode, bool on, unsigned int seconds)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].timeGrab = on;
    m_profiles[mode].timeGrabSeconds = seconds;
    lock.unlock();
    emit sigDataChange(PaxNotifyTimeGrab);
}

bool PaxData::_getIntelligentGrab(int mode, int& step)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    step = m_intelligentGrabStep;
    return m_profiles[mode].intelligentGrab;
}

void PaxData::_setIntelligentGrab(int mode, bool on, int step, bool quiet)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].intelligentGrab = on;
    m_intelligentGrabStep = step;
    _saveGroup(mode, GroupIntelligentGrab);
    lock.unlock();
    if (!quiet)
        emit sigDataChange(PaxNotifyIntelligentGrab);
}

bool PaxData::getScanQrcode(QString& text)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return {};
    text = m_scanQrcodeText;
    return m_scanQrcode;
}

void PaxData::setScanQrcode(bool on, QString text, bool takeText)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_scanQrcode = on;
    if (takeText)
        m_scanQrcodeText = text;
    lock.unlock();
    if (!takeText)
        emit sigDataChange(PaxNotifyScanQrcode);
}
