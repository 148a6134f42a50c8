#include "paxopencv.h"

#include "paxopencvutil.h"

#include <QDebug>
#include <QElapsedTimer>

#include <opencv2/imgproc.hpp>

#include <exception>
#include <mutex>
#include <utility>

namespace {

enum { StatusRun = 0, StatusStop = 1 };

const int kIdleSleepMsecs = 100;

PaxMotionDetector::Clock monotonicClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer]() { return timer->elapsed(); };
}

} // namespace

// ---- frame task ----

PaxFrameTask::PaxFrameTask(QObject* parent) : QThread(parent) {}

PaxFrameTask::~PaxFrameTask() = default;

void PaxFrameTask::setImage(const QImage& image)
{
    if (!isRunning()) {
        return;
    }
    std::unique_lock<QMutex> lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock()) {
        m_pendingImage = std::make_unique<QImage>(image);
    }
}

void PaxFrameTask::startTask()
{
    if (isRunning()) {
        return;
    }
    m_status = StatusRun;
    start(QThread::InheritPriority);
}

void PaxFrameTask::stopTask()
{
    if (!isRunning()) {
        return;
    }
    m_status = StatusStop;
    wait();
}

void PaxFrameTask::_step(const std::function<void(const QImage&)>& analyse)
{
    QMutexLocker locker(&m_mutex);
    if (m_pendingImage) {
        analyse(*m_pendingImage);
        m_pendingImage.reset();
    }
}

void PaxFrameTask::runSteps(const std::function<void(const QImage&)>& analyse)
{
    if (m_status == StatusRun) {
        _step(analyse);
    }
    for (;;) {
        if (m_status == StatusStop) {
            return;
        }
        QThread::msleep(kIdleSleepMsecs);
        if (m_status == StatusRun) {
            _step(analyse);
        }
    }
}

// ---- outline task ----

PaxLunkuoTask::PaxLunkuoTask(QObject* parent) : PaxFrameTask(parent) {}

PaxLunkuoTask::~PaxLunkuoTask() { stopTask(); }

void PaxLunkuoTask::startIdentifyLunkuo() { startTask(); }

void PaxLunkuoTask::stopIdentifyLunkuo() { stopTask(); }

void PaxLunkuoTask::_identifyLunkuo()
{
    const QImage* frame = pendingImage();
    if (!frame) {
        return;
    }
    _Lunkuo lunkuo;
    lunkuo.found = FindLunKuo(frame, lunkuo.corners, lunkuo.angle);
    emit sigLunkuo(lunkuo);
}

void PaxLunkuoTask::run()
{
    runSteps([this](const QImage&) { _identifyLunkuo(); });
}

// ---- motion detector ----

PaxMotionDetector::PaxMotionDetector(Clock clock, OutlineFinder finder)
    : m_clock(clock ? std::move(clock) : monotonicClock()),
      m_finder(finder ? std::move(finder)
                      : OutlineFinder([](const QImage& image, QPoint(&corners)[4], float& angle) {
                            return FindLunKuo(&image, corners, angle);
                        }))
{
}

bool PaxMotionDetector::step(const QImage& frame)
{
    if (frame.isNull()) {
        return false;
    }
    bool grab = false;
    if (m_frameCount == 0) {
        // The first frame of a run only makes the buffers; the previous frame starts black.
        try {
            m_current = cv::Mat::zeros(kSize_H, kSize_W, CV_32FC1);
            m_previous = cv::Mat::zeros(kSize_H, kSize_W, CV_32FC1);
            m_difference = cv::Mat::zeros(kSize_H, kSize_W, CV_32FC1);
            m_mask = cv::Mat::zeros(kSize_H, kSize_W, CV_8UC1);
        } catch (const std::exception& e) {
            // Not counted: the next frame makes them again.
            qCritical() << "motion step failed:" << e.what();
            return false;
        }
        ++m_frameCount;
        return false;
    }
    try {
        // Every buffer is made on the first use and kept: a step allocates no picture.
        if (!reduceToGray(frame, QSize(kSize_W, kSize_H), Qt::IgnoreAspectRatio, false, m_gray)) {
            ++m_frameCount;
            return false;
        }
        m_gray.convertTo(m_current, CV_32F, 1.0, 0.0);
        cv::absdiff(m_current, m_previous, m_difference);
        // Differences above 80 become 255, the rest 0 (a binary threshold at 80).
        cv::compare(m_difference, 80.0, m_mask, cv::CMP_GT);
        cv::erode(m_mask, m_eroded, cv::Mat());
        cv::dilate(m_eroded, m_mask, cv::Mat());
        std::swap(m_current, m_previous);
        const int changed = cv::countNonZero(m_mask);

        if (changed > 0) {
            if (m_firstMotion) {
                m_firstMotion = false;
            } else {
                m_motionState = 0;
            }
        } else {
            if (m_motionState == 0) {
                m_stillSince = m_clock();
            }
            if (m_motionState >= 0) {
                ++m_motionState;
            }
        }

        if (m_motionState > 0 && m_clock() - m_stillSince >= kStillMsecs) {
            QPoint corners[4] = {QPoint(0, 0), QPoint(0, 0), QPoint(0, 0), QPoint(0, 0)};
            float angle = 0.0f;
            if (m_finder(frame, corners, angle)) {
                const QRect rect = transferPointsToRect(corners);
                const qint64 area = qint64(rect.width()) * rect.height();
                const qint64 frameArea = qint64(frame.width()) * frame.height();
                if (area > frameArea / 20 && area < frameArea) {
                    qCritical() << "curr_area:" << area << "," << frameArea;
                    grab = true;
                }
            }
            m_motionState = -1;
        }
    } catch (const std::exception& e) {
        qCritical() << "motion step failed:" << e.what();
    }
    ++m_frameCount;
    return grab;
}

// ---- motion task ----

PaxMotionTask::PaxMotionTask(QObject* parent) : PaxFrameTask(parent) {}

PaxMotionTask::~PaxMotionTask() { stopTask(); }

void PaxMotionTask::startIdentifyMotion() { startTask(); }

void PaxMotionTask::stopIdentifyMotion() { stopTask(); }

void PaxMotionTask::setClock(PaxMotionDetector::Clock clock) { m_clock = std::move(clock); }

void PaxMotionTask::run()
{
    PaxMotionDetector detector(m_clock);
    runSteps([&](const QImage& frame) {
        if (detector.step(frame)) {
            emit sigGrabDoc();
        }
    });
}

// ---- owner ----

PaxOpenCv::PaxOpenCv(QObject* parent)
    : QObject(parent), m_lunkuoTask(new PaxLunkuoTask()), m_motionTask(new PaxMotionTask())
{
    qRegisterMetaType<LunkuoS>("LunkuoS");
    connect(m_lunkuoTask, &PaxLunkuoTask::sigLunkuo, this, &PaxOpenCv::sigLunkuo, Qt::DirectConnection);
    connect(m_motionTask, &PaxMotionTask::sigGrabDoc, this, &PaxOpenCv::sigGrabDoc, Qt::DirectConnection);
}

PaxOpenCv::~PaxOpenCv()
{
    m_lunkuoTask->stopIdentifyLunkuo();
    delete m_lunkuoTask;
    m_motionTask->stopIdentifyMotion();
    delete m_motionTask;
}

void PaxOpenCv::startIdentifyLunkuo() { m_lunkuoTask->startIdentifyLunkuo(); }

void PaxOpenCv::stopIdentifyLunkuo() { m_lunkuoTask->stopIdentifyLunkuo(); }

void PaxOpenCv::startIdentifyMotion() { m_motionTask->startIdentifyMotion(); }

void PaxOpenCv::stopIdentifyMotion() { m_motionTask->stopIdentifyMotion(); }

void PaxOpenCv::setImage(const QImage& image)
{
    m_lunkuoTask->setImage(image);
    m_motionTask->setImage(image);
}

bool PaxOpenCv::getLunkuo(const QImage& image, _Lunkuo& lunkuo)
{
    lunkuo.found = FindLunKuo(&image, lunkuo.corners, lunkuo.angle);
    return lunkuo.found;
}
