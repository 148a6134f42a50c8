#pragma once
// Outline and motion tasks: background analysis of the live picture that never holds up the frames.

#include <QImage>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QThread>

#include <opencv2/core.hpp>

#include <atomic>
#include <functional>
#include <memory>

// The outline record.
struct _Lunkuo
{
    bool found = false;
    QPoint corners[4];
    float angle = 0.0f;
};
typedef _Lunkuo LunkuoS;
Q_DECLARE_METATYPE(LunkuoS)

// A background thread that analyses the latest offered frame, about ten times a second.
// Subclasses stop the thread in their own destructor, before their part is gone.
class PaxFrameTask : public QThread
{
    Q_OBJECT
public:
    ~PaxFrameTask() override;

    // Any thread: keeps a copy of the frame when the task runs and is idle, else drops it.
    void setImage(const QImage& image);

protected:
    explicit PaxFrameTask(QObject* parent);

    // Unless the thread runs: status run, start it with inherited priority.
    void startTask();
    // If the thread runs: status stop, wait until it has ended.
    void stopTask();

    // The body of run(): one step at once, then one every 100 ms until stopped. A step holds the lock,
    // hands the pending frame to analyse and deletes it.
    void runSteps(const std::function<void(const QImage&)>& analyse);

    // The frame waiting for analysis, or null.
    const QImage* pendingImage() const { return m_pendingImage.get(); }

private:
    void _step(const std::function<void(const QImage&)>& analyse);

    std::atomic<int> m_status{1};
    QMutex m_mutex;
    std::unique_ptr<QImage> m_pendingImage;
};

// Outline of the latest frame, about ten times a second.
class PaxLunkuoTask : public PaxFrameTask
{
    Q_OBJECT
public:
    explicit PaxLunkuoTask(QObject* parent = nullptr);
    ~PaxLunkuoTask() override;

    void startIdentifyLunkuo();
    void stopIdentifyLunkuo();

    // One outline step on the pending frame, without the lock.
    void _identifyLunkuo();

signals:
    void sigLunkuo(LunkuoS lunkuo);

protected:
    void run() override;
};

// The motion watch of one run: decides, frame by frame, when a document laid down lies still.
class PaxMotionDetector
{
public:
    using Clock = std::function<qint64()>;
    using OutlineFinder = std::function<bool(const QImage&, QPoint (&)[4], float&)>;

    static constexpr int kSize_W = 640;
    static constexpr int kSize_H = 480;
    static constexpr qint64 kStillMsecs = 501;

    // clock: monotonic milliseconds; finder: the outline search (FindLunKuo when empty).
    explicit PaxMotionDetector(Clock clock = Clock(), OutlineFinder finder = OutlineFinder());

    // Analyses one frame; true when a document was laid down and now lies still.
    bool step(const QImage& frame);

    int motionState() const { return m_motionState; }

private:
    Clock m_clock;
    OutlineFinder m_finder;
    qint64 m_frameCount = 0;
    int m_motionState = -1;
    bool m_firstMotion = true;
    qint64 m_stillSince = 0;
    cv::Mat m_current;
    cv::Mat m_previous;
    cv::Mat m_difference;
    cv::Mat m_gray;
    cv::Mat m_mask;
    cv::Mat m_eroded;
};

// Watches for a document that has been laid down and lies still.
class PaxMotionTask : public PaxFrameTask
{
    Q_OBJECT
public:
    explicit PaxMotionTask(QObject* parent = nullptr);
    ~PaxMotionTask() override;

    void startIdentifyMotion();
    void stopIdentifyMotion();

    // Replaces the monotonic millisecond clock of the next runs; call while stopped.
    void setClock(PaxMotionDetector::Clock clock);

signals:
    void sigGrabDoc();

protected:
    void run() override;

private:
    PaxMotionDetector::Clock m_clock;
};

// Owns the outline task and the motion task and relays their signals.
class PaxOpenCv : public QObject
{
    Q_OBJECT
public:
    explicit PaxOpenCv(QObject* parent = nullptr);
    ~PaxOpenCv() override;

    void startIdentifyLunkuo();
    void stopIdentifyLunkuo();
    void startIdentifyMotion();
    void stopIdentifyMotion();

    // Frame thread: hands the frame to both tasks; never blocks.
    void setImage(const QImage& image);

    // Outline search in the caller's thread; the record is not cleared first.
    bool getLunkuo(const QImage& image, _Lunkuo& lunkuo);

    PaxLunkuoTask* lunkuoTask() const { return m_lunkuoTask; }
    PaxMotionTask* motionTask() const { return m_motionTask; }

signals:
    void sigLunkuo(LunkuoS lunkuo);
    void sigGrabDoc();

private:
    PaxLunkuoTask* m_lunkuoTask;
    PaxMotionTask* m_motionTask;
};
