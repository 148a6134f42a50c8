#include "paxrecordscreen.h"

#include "paxaacencoder.h"
#include "paxavptr.h"
#include "paxfragmentedmp4.h"
#include "paxh264options.h"
#include "paxrecordscreen_run.h"
#include "paxscreenlog.h"

#include <QFile>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QScreen>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

PaxRecordScreen::PaxRecordScreen(QObject* parent) : QThread(parent)
{
    connect(this, &QThread::finished, this, &PaxRecordScreen::slotFinished, Qt::QueuedConnection);
    _probeEncoders();
    m_screenSize = _screenSize();
    m_rect = QRect(QPoint(0, 0), m_screenSize);
    m_recordInfo.rect = m_rect;
}

PaxRecordScreen::~PaxRecordScreen()
{
    myQuitWait();
    QMutexLocker bind(&m_bindMutex);
    delete m_bind;
    m_bind = nullptr;
}

QStringList PaxRecordScreen::encoderCandidates()
{
    return {QStringLiteral("libx264"), QStringLiteral("h264_nvenc"), QStringLiteral("h264_qsv"),
            QStringLiteral("h264_amf"), QStringLiteral("h264_videotoolbox")};
}

void PaxRecordScreen::_probeEncoders()
{
    QStringList usable;
    for (const QString& name : encoderCandidates()) {
        if (paxh264::encoderUsable(name))
            usable.append(name);
    }
    QMutexLocker lock(&m_dataMutex);
    m_encoderList = usable;
    m_encoder = usable.isEmpty() ? QString() : usable.first();
}

QSize PaxRecordScreen::_screenSize()
{
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry().size();
    return QSize();
}

bool PaxRecordScreen::isBusy() const
{
    return isRunning();
}

// ---- control ---------------------------------------------------------------

void PaxRecordScreen::myStartRecord(QString fileName, bool withAudio)
{
    _start(fileName, QString(), withAudio);
}

void PaxRecordScreen::myStartPushStream(QString url)
{
    _start(QString(), url, false);
}

void PaxRecordScreen::_start(const QString& fileName, const QString& pushUrl, bool withAudio)
{
    QMutexLocker control(&m_controlMutex);
    m_status = PaxRecordStop;
    wait();
    m_audioOn = false;
    {
        QMutexLocker data(&m_dataMutex);
        m_recordInfo.fileName = fileName;
        m_recordInfo.pushStreamUrl = pushUrl;
        m_recordInfo.writeError = 0;
        m_screenSize = _screenSize();
    }
    {
        QMutexLocker bind(&m_bindMutex);
        delete m_bind;
        m_bind = nullptr;
        if (withAudio) {
            m_bind = new _AudioBindInfoS;
            m_audioOn = true;
        }
    }
    m_status = PaxRecordRun;
    m_reportedEnd = false;
    start();
}

void PaxRecordScreen::myStopRecordWait()
{
    QMutexLocker control(&m_controlMutex);
    if (!isRunning())
        return;
    m_status = PaxRecordStop;
    wait();
    QMutexLocker bind(&m_bindMutex);
    delete m_bind;
    m_bind = nullptr;
}

void PaxRecordScreen::myStopPushStream()
{
    QMutexLocker control(&m_controlMutex);
    if (isRunning()) {
        m_status = PaxRecordStop;
        wait();
    }
}

void PaxRecordScreen::myPause()
{
    QMutexLocker control(&m_controlMutex);
    int running = PaxRecordRun;
    if (isRunning())
        m_status.compare_exchange_strong(running, PaxRecordPause);
}

void PaxRecordScreen::myResume()
{
    QMutexLocker control(&m_controlMutex);
    int paused = PaxRecordPause;
    if (isRunning())
        m_status.compare_exchange_strong(paused, PaxRecordRun);
}

void PaxRecordScreen::myQuitWait()
{
    QMutexLocker control(&m_controlMutex);
    if (isRunning()) {
        m_status = PaxRecordStop;
        wait();
    }
}

void PaxRecordScreen::slotFinished()
{
}

// ---- settings --------------------------------------------------------------

#define PAX_RECORD_SCREEN_DEFINE_SETTER(setter, member) \
    void PaxRecordScreen::setter(int value)             \
    {                                                   \
        QMutexLocker lock(&m_dataMutex);                \
        member = value;                                 \
    }
PAX_RECORD_SCREEN_SETTINGS(PAX_RECORD_SCREEN_DEFINE_SETTER)
#undef PAX_RECORD_SCREEN_DEFINE_SETTER

void PaxRecordScreen::setVideoSourceIsSingleThread(bool single)
{
    QMutexLocker lock(&m_dataMutex);
    m_singleThread = single;
}

QStringList PaxRecordScreen::getEncoderList()
{
    QMutexLocker lock(&m_dataMutex);
    return m_encoderList;
}

bool PaxRecordScreen::setEncoder(QString name)
{
    QMutexLocker lock(&m_dataMutex);
    if (!m_encoderList.contains(name))
        return false;
    m_encoder = name;
    return true;
}

QString PaxRecordScreen::getEncoder()
{
    QMutexLocker lock(&m_dataMutex);
    return m_encoder;
}

// ---- area ------------------------------------------------------------------

QRect PaxRecordScreen::normalizedRect(const QRect& rect, const QSize& screen)
{
    const int x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const int sw = screen.width(), sh = screen.height();
    // Sizes below 4 would round down to nothing.
    if (x < 0 || y < 0 || w < 4 || h < 4 || x > sw || y > sh || x + w > sw || y + h > sh)
        return QRect();
    return QRect(x, y, w / 4 * 4, h / 4 * 4);
}

bool PaxRecordScreen::setRect(QRect rect)
{
    QMutexLocker lock(&m_dataMutex);
    m_screenSize = _screenSize();
    const QRect normalized = normalizedRect(rect, m_screenSize);
    if (!normalized.isValid()) {
        lock.unlock();
        PAXSCREEN_ERROR("rect is invalid, rect[%d,%d,%d,%d]", rect.x(), rect.y(), rect.width(), rect.height());
        return false;
    }
    m_rect = normalized;
    _showRectWhileIdle();
    return true;
}

void PaxRecordScreen::removeRect()
{
    QMutexLocker lock(&m_dataMutex);
    m_screenSize = _screenSize();
    m_rect = QRect(QPoint(0, 0), m_screenSize);
    _showRectWhileIdle();
}

void PaxRecordScreen::_showRectWhileIdle()
{
    // The record info shows the area set; a run going on keeps reporting its capture area.
    if (!isRunning())
        m_recordInfo.rect = m_rect;
}

QRect PaxRecordScreen::getRect()
{
    QMutexLocker lock(&m_dataMutex);
    return m_rect;
}

void PaxRecordScreen::updateRect()
{
}

QRect PaxRecordScreen::captureRect(const QRect& logical, const QSize& screen, const QSize& capture)
{
    if (!screen.isValid() || capture == screen || !capture.isValid())
        return QRect(logical.x(), logical.y(), logical.width() & ~1, logical.height() & ~1);
    const int64_t cw = capture.width(), ch = capture.height();
    const int64_t sw = screen.width(), sh = screen.height();
    int x = int(logical.x() * cw / sw);
    int y = int(logical.y() * ch / sh);
    int w = int(logical.width() * cw / sw);
    int h = int(logical.height() * ch / sh);
    w = qMin(w, int(cw) - x) & ~1;
    h = qMin(h, int(ch) - y) & ~1;
    return QRect(x, y, w, h);
}

QByteArray PaxRecordScreen::cropSourceArgs(const QSize& capture, int pixelFormat)
{
    // Frames are timed by the wall clock, not by the graph: its time base is fixed.
    return QStringLiteral("video_size=%1x%2:pix_fmt=%3:time_base=%4/%5:pixel_aspect=%6/%7")
        .arg(capture.width()).arg(capture.height()).arg(pixelFormat).arg(1).arg(10).arg(0).arg(1)
        .toLatin1();
}

_PaxScreenRecordInfoS PaxRecordScreen::getRecordInfo()
{
    QMutexLocker lock(&m_dataMutex);
    return m_recordInfo;
}

// ---- audio hand-over -------------------------------------------------------

void PaxRecordScreen::waitForVideoReady()
{
    QMutexLocker bind(&m_bindMutex);
    while (m_bind && !m_bind->videoReady && !m_bind->videoFinished)
        m_bindChanged.wait(&m_bindMutex);
}

_AudioBindInfoS PaxRecordScreen::getAudioBindInfo()
{
    QMutexLocker bind(&m_bindMutex);
    return m_bind ? *m_bind : _AudioBindInfoS();
}

void PaxRecordScreen::writeAudioPacket(AVPacket* packet)
{
    if (m_status.load() == PaxRecordPause)
        return;
    int ret = 0;
    {
        QMutexLocker bind(&m_bindMutex);
        // After a failed write nothing more goes into the output: the recorder ends it.
        if (!m_bind || !m_bind->outputContext || !m_bind->audioStream || m_bind->videoFinished
            || m_bind->writeError < 0)
            return;
        // Video frames are encoded only from the first audio packet on, so both clocks
        // start together and no video time stamp ever has to move back.
        if (m_bind->audioPacketCounter == 0)
            m_videoOrigin = av_gettime();
        packet->stream_index = m_bind->audioStream->index;
        const AVRational sampleTime{1, paxaac::kSampleRate};
        packet->pts = packet->dts = av_rescale_q(m_bind->audioPacketCounter * paxaac::kFrameSamples, sampleTime,
                                                 m_bind->audioStream->time_base);
        packet->duration = av_rescale_q(paxaac::kFrameSamples, sampleTime, m_bind->audioStream->time_base);
        ++m_bind->audioPacketCounter;
        ret = paxmp4::writePacket(m_bind->outputContext, packet, m_bind->fragmented);
        if (ret < 0)
            m_bind->writeError = ret;
    }
    if (ret < 0) {
        char err[1024];
        PAXSCREEN_ERROR("av_interleaved_write_frame failed, retval[%d] errorStr[%s]", ret, paxav::errorText(ret, err));
    }
}

void PaxRecordScreen::audioFinish()
{
    QMutexLocker bind(&m_bindMutex);
    if (m_bind) {
        m_bind->audioFinished = true;
        m_bindChanged.wakeAll();
    }
}

bool PaxRecordScreen::isVideoFinish()
{
    QMutexLocker bind(&m_bindMutex);
    return m_bind ? m_bind->videoFinished : false;
}

void PaxRecordScreen::_waitForAudioFinish()
{
    QMutexLocker bind(&m_bindMutex);
    while (m_bind && !m_bind->audioFinished)
        m_bindChanged.wait(&m_bindMutex);
}

// ---- the recorder thread ---------------------------------------------------

void PaxRecordScreen::_endHandOver()
{
    {
        QMutexLocker bind(&m_bindMutex);
        if (m_bind) {
            m_bind->videoFinished = true;
            m_bindChanged.wakeAll();
        }
    }
    if (m_audioOn) {
        _waitForAudioFinish();
        QMutexLocker bind(&m_bindMutex);
        delete m_bind;
        m_bind = nullptr;
    }
}

void PaxRecordScreen::run()
{
    if (m_runStartHook)
        m_runStartHook();
    const int status = m_status.load();
    if (status != PaxRecordRun && status != PaxRecordPause) {
        // Stopped before the thread got going: nothing was recorded, and that is announced.
        {
            QMutexLocker lock(&m_dataMutex);
            m_recordInfo.fileName.clear();
        }
        _endHandOver();
        _callbackRecordInfo(PaxRecordStop, 0);
        return;
    }
    _callbackRecordInfo(PaxRecordRun, 0);
    _playDirect();
    _callbackRecordInfo(PaxRecordStop, 0);
}

void PaxRecordScreen::_callbackRecordInfo(int state, int seconds)
{
    _PaxScreenRecordInfoS info;
    {
        QMutexLocker lock(&m_dataMutex);
        m_recordInfo.state = state;
        m_recordInfo.recordSeconds = seconds;
        info = m_recordInfo;
    }
    // Only a run's end reports the stop state.
    m_reportedEnd = state == PaxRecordStop;
    emit sigRecordInfo(info);
}

void PaxRecordScreen::_playDirect()
{
    Run run(*this);
    {
        QMutexLocker lock(&m_dataMutex);
        run.readSettings();
    }
    m_videoOrigin = 0;
    run.logSettings();
    const bool ready = run.openInput() && run.openOutput() && run.openVideoEncoder() && run.openOutputIo()
            && run.openAudioEncoder() && run.writeHeader() && run.buildCropGraph();
    if (ready) {
        run.publishHandOver();
        run.loop();
    }
    // End steps, after the loop and after every set-up failure.
    _endHandOver();
    run.finish();
    int seconds = 0;
    {
        QMutexLocker lock(&m_dataMutex);
        m_recordInfo.writeError = run.writeError;
        seconds = m_recordInfo.recordSeconds;
    }
    PAXSCREEN_DEBUG("PaxRecordScreen::_playDirect end recordingTime[%d]", seconds);
}
