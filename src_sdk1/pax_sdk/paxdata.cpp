#include "paxdata.h"

#include "paxdata_p.h"
#include "paxintool.h"

#include <QThread>

PaxData* PaxData::ms_paxData = nullptr;

PaxData* PaxData::getInstance()
{
    if (!ms_paxData)
        ms_paxData = new PaxData(nullptr);
    return ms_paxData;
}

void PaxData::releaseInstance()
{
    delete ms_paxData;
    ms_paxData = nullptr;
}

PaxData::PaxData(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<_PaxDataChangeNotifyE>("_PaxDataChangeNotifyE");
    qRegisterMetaType<_PaxDataChangeNotifyE>("PaxDataChangeNotifyE");
    PaxDataLocker lock(this);
    m_curCameraStatus = QStringLiteral("-1");
    m_otherCameraStatus = QStringLiteral("-1");
    _load();
    _initUvcRecords();
    m_recording[0].recordInfo.status = 0;
    m_recording[1].recordInfo.status = 0;
    m_cameraWid[0] = ~0ULL;
    m_cameraWid[1] = ~0ULL;
}

PaxData::~PaxData() = default;

void PaxData::setClock(std::function<QDateTime()> clock)
{
    PaxDataLocker lock(this);
    m_clock = std::move(clock);
}

QDateTime PaxData::_now()
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void PaxData::_lock()
{
    // A direct-connected receiver of a signal emitted under the lock would deadlock here.
    Q_ASSERT_X(m_lockOwner.load() != QThread::currentThreadId(), "PaxData",
               "store re-entered while locked: connect sigDataChange receivers queued");
    m_mutex.lock();
    m_lockOwner.store(QThread::currentThreadId());
}

void PaxData::_unlock()
{
    if (m_pending.isEmpty()) {
        m_lockOwner.store(nullptr);
        m_mutex.unlock();
        return;
    }
    // The file lock is taken before the store's lock is given up, so batches reach the file
    // in the order of their changes while readers no longer wait for the disk.
    const QVector<PendingWrite> batch = std::move(m_pending);
    m_pending.clear();
    m_fileMutex.lock();
    m_lockOwner.store(nullptr);
    m_mutex.unlock();
    _writeBatch(batch);
    m_fileMutex.unlock();
}

void PaxData::_flushLocked()
{
    if (m_pending.isEmpty())
        return;
    const QVector<PendingWrite> batch = std::move(m_pending);
    m_pending.clear();
    QMutexLocker fileLock(&m_fileMutex);
    _writeBatch(batch);
}

using pax_data::lockedGet;
using pax_data::lockedSet;

_PaxWorkModeE PaxData::getCurrentWorkMode() { return lockedGet(this, m_workMode); }

void PaxData::setCurrentWorkMode(_PaxWorkModeE mode)
{
    PaxDataLocker lock(this);
    m_workMode = mode;
    m_intelligentGrabStep = 0;
    lock.unlock();
    emit sigDataChange(PaxNotifyWorkMode);
}

void PaxData::setCurrentCameraIndex(_PaxCameraIndexE index) { lockedSet(this, m_cameraIndex, index); }
_PaxCameraIndexE PaxData::getCurrentCameraIndex() { return lockedGet(this, m_cameraIndex); }

_PaxCameraIndexE PaxData::getOtherCameraIndex()
{
    return getCurrentCameraIndex() == PaxCameraIndexMain ? PaxCameraIndexSecond : PaxCameraIndexMain;
}

QString PaxData::getCameraStatus(_PaxCameraIndexE index)
{
    PaxDataLocker lock(this);
    return index == m_cameraIndex ? m_curCameraStatus : m_otherCameraStatus;
}

QString PaxData::getCurCameraStatus() { return lockedGet(this, m_curCameraStatus); }
QString PaxData::getOtherCameraStatus() { return lockedGet(this, m_otherCameraStatus); }

// Only a change is notified.
void PaxData::_setCameraStatus(QString& member, const QString& status)
{
    PaxDataLocker lock(this);
    if (member == status)
        return;
    member = status;
    lock.unlock();
    emit sigDataChange(PaxNotifyCameraStatus);
}

void PaxData::setCurCameraStatus(QString status) { _setCameraStatus(m_curCameraStatus, status); }
void PaxData::setOtherCameraStatus(QString status) { _setCameraStatus(m_otherCameraStatus, status); }

void PaxData::cameraInfoUpdate()
{
    emit sigDataChange(PaxNotifyCameraInfo);
}

unsigned long long PaxData::getCameraWid(_PaxCameraIndexE index)
{
    if (!pax_data::validCamera(index))
        return ~0ULL;
    return lockedGet(this, m_cameraWid[index]);
}

void PaxData::setCameraWid(_PaxCameraIndexE index, unsigned long long wid)
{
    if (!pax_data::validCamera(index))
        return;
    lockedSet(this, m_cameraWid[index], wid);
    emit sigDataChange(PaxNotifyCameraWid);
}

int PaxData::getFramePerSecond() { return lockedGet(this, m_framePerSecond); }

void PaxData::setFramePerSecond(int fps)
{
    lockedSet(this, m_framePerSecond, fps);
    emit sigDataChange(PaxNotifyFramePerSecond);
}

bool PaxData::getbInitComplete() { return lockedGet(this, m_initComplete); }
void PaxData::setbInitComplete() { lockedSet(this, m_initComplete, true); }
void PaxData::setFontFamily(QString family) { lockedSet(this, m_fontFamily, family); }
QString PaxData::getFontFamily() { return lockedGet(this, m_fontFamily); }
void PaxData::setTmpPicName(QString name) { lockedSet(this, m_tmpPicName, name); }
