// Picture output settings per work mode.

#include "paxdata.h"

#include "paxdata_p.h"

#include <QDir>
#include <QFileInfo>

void PaxData::_setPicPressRatio(int mode, int ratio)
{
    if (ratio < 10 || ratio > 100)
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].picPressRatio = ratio;
    _saveGroup(mode, GroupPicPressRatio);
}

QString PaxData::_getPicSavePath(int mode)
{
    return pax_data::lockedGet(this, m_profiles[mode].picSavePath);
}

// Only an existing folder is taken, stored exactly as given.
void PaxData::_setPicSavePath(int mode, const QString& path)
{
    if (path.isEmpty() || QDir::isRelativePath(path) || !QFileInfo(path).isDir())
        return;
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
    m_profiles[mode].picSavePath = path;
    _saveGroup(mode, GroupPicSavePath);
}

void PaxData::_setPicLogoInfo(int mode, const QString& file, unsigned char alpha, int x, int y)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
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
    if (!lock.held())
        return;
    const Profile& p = m_profiles[mode];
    file = p.logoFile;
    alpha = p.logoAlpha;
    x = p.logoX;
    y = p.logoY;
}

void PaxData::_setTextLogoInfo(int mode, const QString& text, unsigned char alpha, int x, int y, int size, int weight,
                               const QString& color)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
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
    if (!lock.held())
        return;
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
    return pax_data::lockedGet(this, m_initAngle);
}

void PaxData::setCurrentInitAngle(double angle)
{
    pax_data::lockedSet(this, m_initAngle, angle);
    emit sigDataChange(PaxNotifyInitAngle);
}
