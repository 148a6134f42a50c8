#include "paxscreenrecorderseam.h"

#include "paxaudiorecord.h"
#include "paxmicrophonelist.h"
#include "paxrecordscreen.h"

namespace paxscreen_rules {

QRect normalizedRect(const QRect& rect, const QSize& screen)
{
    return PaxRecordScreen::normalizedRect(rect, screen);
}

QRect captureRect(const QRect& logical, const QSize& screen, const QSize& capture)
{
    return PaxRecordScreen::captureRect(logical, screen, capture);
}

QByteArray cropSourceArgs(const QSize& capture, int pixelFormat)
{
    return PaxRecordScreen::cropSourceArgs(capture, pixelFormat);
}

QString gainText(int volume)
{
    return PaxAudioRecord::gainText(volume);
}

QList<_ScreenMicrophoneS> parseDeviceListing(const QString& text, int& captureScreenIndex)
{
    return _gsParseDeviceListing(text, captureScreenIndex);
}

} // namespace paxscreen_rules

PaxScreenRecorderPair::PaxScreenRecorderPair()
    : m_recorder(std::make_unique<PaxRecordScreen>())
    , m_microphone(std::make_unique<PaxAudioRecord>(m_recorder.get()))
{
}

PaxScreenRecorderPair::~PaxScreenRecorderPair()
{
    m_microphone.reset();
    m_recorder.reset();
}

void PaxScreenRecorderPair::setFramerate(int framerate) { m_recorder->setFramerate(framerate); }
void PaxScreenRecorderPair::startRecord(const QString& fileName, bool withAudio)
{
    m_recorder->myStartRecord(fileName, withAudio);
}
void PaxScreenRecorderPair::stopPushStream() { m_recorder->myStopPushStream(); }
void PaxScreenRecorderPair::quitWait() { m_recorder->myQuitWait(); }
void PaxScreenRecorderPair::stopRecordWait() { m_recorder->myStopRecordWait(); }
int PaxScreenRecorderPair::recorderStatus() const { return m_recorder->getStatus(); }
bool PaxScreenRecorderPair::recorderBusy() const { return m_recorder->isBusy(); }
_PaxScreenRecordInfoS PaxScreenRecorderPair::recordInfo() const { return m_recorder->getRecordInfo(); }
void PaxScreenRecorderPair::audioFinish() { m_recorder->audioFinish(); }
void PaxScreenRecorderPair::setRecorderRunStartHook(std::function<void()> hook)
{
    m_recorder->setRunStartHookForTest(std::move(hook));
}

void PaxScreenRecorderPair::startMicrophone(int index) { m_microphone->myStart(index); }
void PaxScreenRecorderPair::stopMicrophoneWait() { m_microphone->myStopWait(); }
int PaxScreenRecorderPair::microphoneStatus() const { return m_microphone->getStatus(); }
bool PaxScreenRecorderPair::microphoneRunning() const { return m_microphone->isRunning(); }
void PaxScreenRecorderPair::setMicrophoneRunStartHook(std::function<void()> hook)
{
    m_microphone->setRunStartHookForTest(std::move(hook));
}
