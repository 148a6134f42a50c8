// Picture output settings per work mode.

#include "paxdata.h"

#include "paxdata_p.h"

#include <QFileInfo>

void PaxData::_setPicSaveFormat(int mode, int format)
{
    PaxDataLocker lock(this);
    m_profiles[mode].picSaveFormat = format;
    _saveGroup(mode, GroupPicSaveFormat);
    lock.unlock();
    emit sigDataChange(PaxNotifyPicSaveFormat);
}

void PaxData::_setColorMode(int mode, int colorMode)
{
    PaxDataLocker lock(this);
    m_profiles[mode].colorMode = colorMode;
    _saveGroup(mode, GroupColorMode);
    lock.unlock();
    emit sigDataChange(PaxNotifyColorMode);
}

void PaxData::_setPicPressRatio(int mode, int ratio)
{
    if (ratio < 10 || ratio > 100)
        return;
    PaxDataLocker lock(this);
    m_profiles[mode].picPressRatio = ratio;
    _saveGroup(mode, GroupPicPressRatio);
}

QString PaxData::_getPicSavePath(int mode)
{
    PaxDataLocker lock(this);
    return m_profiles[mode].picSavePath;
}

// Only an existing folder is taken, stored exactly as given.
void PaxData::_setPicSavePath(int mode, const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return;
    PaxDataLocker lock(this);
    m_profiles[mode].picSavePath = path;
    _saveGroup(mode, GroupPicSavePath);
}

void PaxData::_setPicLogoEnable(int mode, bool on)
{
    PaxDataLocker lock(this);
    m_profiles[mode].picLogoEnable = on;
    _saveGroup(mode, GroupLogoPic);
    lock.unlock();
    emit sigDataChange(PaxNotifyPicLogo);
}

void PaxData::_setPicLogoInfo(int mode, const QString& file, unsigned char alpha, int x, int y)
{
    PaxDataLocker lock(this);
    Profile& p = m_profiles[mode];
    p.logoFile = file;
    p.logoAlpha = alpha;
    p.logoX = x;
    p.logoY = y;
    _saveGroup(mode, GroupLogoPic);
    lock.unlock();
    emit sigDataChange(PaxNotifyPicLogo);
}

void PaxData::_getPicLogoInfo(int mode, QString& file, unsigned char& alpha, int& x, int& y)
{
    PaxDataLocker lock(this);
    const Profile& p = m_profiles[mode];
    file = p.logoFile;
    alpha = p.logoAlpha;
    x = p.logoX;
    y = p.logoY;
}

void PaxData::_setTextLogoEnable(int mode, bool on)
{
    PaxDataLocker lock(this);
    m_profiles[mode].textLogoEnable = on;
    _saveGroup(mode, GroupLogoText);
    lock.unlock();
    emit sigDataChange(PaxNotifyTextLogo);
}

void PaxData::_setTextLogoInfo(int mode, const QString& text, unsigned char alpha, int x, int y, int size, int weight,
                               const QString& color)
{
    PaxDataLocker lock(this);
    Profile& p = m_profiles[mode];
    p.logoText = text;
    p.textLogoAlpha = alpha;
    p.textLogoX = x;
    p.textLogoY = y;
    p.textSize = size;
    p.textWeight = weight;
    p.textLogoColor = color;
    _saveGroup(mode, GroupLogoText);
    lock.unlock();
    emit sigDataChange(PaxNotifyTextLogo);
}

void PaxData::_getTextLogoInfo(int mode, QString& text, unsigned char& alpha, int& x, int& y, int& size,
                               int& weight, QString& color)
{
    PaxDataLocker lock(this);
    const Profile& p = m_profiles[mode];
    text = p.logoText;
    alpha = p.textLogoAlpha;
    x = p.textLogoX;
    y = p.textLogoY;
    size = p.textSize;
    weight = p.textWeight;
    color = p.textLogoColor;
}

double PaxData::getCurrentInitAngle()
{
    PaxDataLocker lock(this);
    return m_initAngle;
}

void PaxData::setCurrentInitAngle(double angle)
{
    PaxDataLocker lock(this);
    m_initAngle = angle;
    lock.unlock();
    emit sigDataChange(PaxNotifyInitAngle);
}
