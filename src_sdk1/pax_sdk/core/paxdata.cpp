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
    if (!lock.held())
        return;
    m_clock = std::move(clock);
}

QDateTime PaxData::_now()
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

bool PaxData::_lock()
{
    // A receiver connected directly to a signal emitted under the lock (PaxNotifyNextPicName)
    // would wait for itself here: refuse it, in every build.
    if (m_lockOwner.load() == QThread::currentThreadId()) {
        PAX_LOG_ERROR("%s", "settings store re-entered while locked: call refused; connect sigDataChange "
                            "receivers queued");
        return false;
    }
    m_mutex.lock();
    m_lockOwner.store(QThread::currentThreadId());
    return true;
}

void PaxData::_unlock()
{
    if (m_pending.isEmpty()) {
        m_lockOwner.store(nullptr);
        m_mutex.unlock();
        return;
    }
    // The batch joins the write queue in lock order; the disk is written after the store's lock
    // is given up, so readers never wait for it.
    {
        QMutexLocker queueLock(&m_queueMutex);
        for (const PendingWrite& w : m_pending)
            _putInto(m_writeQueue, w.key, w.value);
    }
    m_pending.clear();
    m_lockOwner.store(nullptr);
    m_mutex.unlock();
    _writeQueued();
}

// Whoever holds the file lock writes everything queued so far. A setter that finds its batch
// already taken by another thread waits on the file lock until that write is on disk, so every
// setter returns with its values in the file.
void PaxData::_writeQueued()
{
    QMutexLocker fileLock(&m_fileMutex);
    QVector<PendingWrite> batch;
    {
        QMutexLocker queueLock(&m_queueMutex);
        batch.swap(m_writeQueue);
    }
    if (!batch.isEmpty())
        _writeBatch(batch);
}

using pax_data::lockedGet;
using pax_data::lockedSet;

_PaxWorkModeE PaxData::getCurrentWorkMode() { return lockedGet(this, m_workMode); }

void PaxData::setCurrentWorkMode(_PaxWorkModeE mode)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
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
    if (!lock.held())
        return {};
    return index == m_cameraIndex ? m_curCameraStatus : m_otherCameraStatus;
}

QString PaxData::getCurCameraStatus() { return lockedGet(this, m_curCameraStatus); }
QString PaxData::getOtherCameraStatus() { return lockedGet(this, m_otherCameraStatus); }

// Only a change is notified.
void PaxData::_setCameraStatus(QString& member, const QString& status)
{
    PaxDataLocker lock(this);
    if (!lock.held())
        return;
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
    if (lockedSet(this, m_cameraWid[index], wid))
        emit sigDataChange(PaxNotifyCameraWid);
}

int PaxData::getFramePerSecond() { return lockedGet(this, m_framePerSecond); }

void PaxData::setFramePerSecond(int fps)
{
    if (lockedSet(this, m_framePerSecond, fps))
        emit sigDataChange(PaxNotifyFramePerSecond);
}

bool PaxData::getbInitComplete() { return lockedGet(this, m_initComplete); }
void PaxData::setbInitComplete() { lockedSet(this, m_initComplete, true); }
void PaxData::setFontFamily(QString family) { lockedSet(this, m_fontFamily, family); }
QString PaxData::getFontFamily() { return lockedGet(this, m_fontFamily); }
void PaxData::setTmpPicName(QString name) { lockedSet(this, m_tmpPicName, name); }
