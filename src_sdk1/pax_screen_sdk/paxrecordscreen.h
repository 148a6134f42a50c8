#pragma once
// The screen recorder thread: screen -> crop -> H.264 -> MP4 file or FLV stream, with the
// AAC packets of the microphone recorder interleaved into the same output.

#include "paxscreentypes.h"

#include <QByteArray>
#include <QMutex>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>
#include <functional>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

// Hand-over between the screen recorder and the microphone recorder.
struct _AudioBindInfoS {
    AVFormatContext* outputContext = nullptr;
    bool fragmented = false;   // written as fragmented MP4 (paxmp4::writePacket)
    AVCodecContext* audioEncoder = nullptr;
    AVStream* audioStream = nullptr;
    AVFrame* audioFrame = nullptr;   // one encoder frame: the microphone side fills and encodes it
    bool videoReady = false;
    bool audioFinished = false;
    bool videoFinished = false;
    int64_t audioPacketCounter = 0;
    int writeError = 0;   // the first failed write of either side; nothing is written after it
};

class PaxRecordScreen : public QThread {
    Q_OBJECT
public:
    explicit PaxRecordScreen(QObject* parent = nullptr);
    ~PaxRecordScreen() override;

    // Control (any thread; serialised by the control lock).
    void myStartRecord(QString fileName, bool withAudio);
    void myStartPushStream(QString url);
    void myStopRecordWait();
    void myStopPushStream();
    void myPause();
    void myResume();
    void myQuitWait();
    // The recorder's own status (_PaxRecordStatusE), current at once.
    int getStatus() const { return m_status.load(); }
    // True while the recorder thread has not finished its run.
    bool isBusy() const;
    // True once the last run has reported its stop (and before the first start): what remains of
    // the thread's run then touches no setting.
    bool hasReportedEnd() const { return m_reportedEnd.load(); }

    // Settings stored under the data lock, taking effect at the next start.
    // X receives (setter, member); each setter takes an int.
#define PAX_RECORD_SCREEN_SETTINGS(X)                    \
    X(setBitrateValue, m_bitrateValue)                   \
    X(setBitrateType, m_bitrateType)                     \
    X(setQuantizationParameter, m_quantizationParameter) \
    X(setProfile, m_profile)                             \
    X(setPresetMode, m_presetMode)                       \
    X(setFramerate, m_framerate)                         \
    X(setCaptureScreenIndexForMac, m_captureScreenIndex)
#define PAX_RECORD_SCREEN_DECLARE_SETTER(setter, member) void setter(int value);
    PAX_RECORD_SCREEN_SETTINGS(PAX_RECORD_SCREEN_DECLARE_SETTER)
#undef PAX_RECORD_SCREEN_DECLARE_SETTER
    void setVideoSourceIsSingleThread(bool single);
    QStringList getEncoderList();
    bool setEncoder(QString name);
    QString getEncoder();

    // Area in logical screen pixels; the capture rectangle is derived from it per run.
    bool setRect(QRect rect);
    void removeRect();
    QRect getRect();
    void updateRect();

    _PaxScreenRecordInfoS getRecordInfo();

    // Audio hand-over, called from the microphone thread.
    void waitForVideoReady();
    _AudioBindInfoS getAudioBindInfo();
    void writeAudioPacket(AVPacket* packet);
    void audioFinish();
    bool isVideoFinish();

    // Test hook: called first thing in the recorder thread, before it reads its status.
    // Set only while no run is going.
    void setRunStartHookForTest(std::function<void()> hook) { m_runStartHook = std::move(hook); }

    // The encoder names tried, in order.
    static QStringList encoderCandidates();
    // Capture rectangle of a logical rectangle: scaled from the logical screen size to the
    // capture size, kept inside the capture, width and height rounded down to even.
    static QRect captureRect(const QRect& logical, const QSize& screen, const QSize& capture);
    // Arguments of the crop graph's buffer source for frames of `capture` size and pixel format.
    static QByteArray cropSourceArgs(const QSize& capture, int pixelFormat);
    // The logical rectangle setRect keeps, or an invalid QRect when refused.
    static QRect normalizedRect(const QRect& rect, const QSize& screen);

signals:
    void sigRecordInfo(PaxScreenRecordInfoS info);

public slots:
    void slotFinished();

protected:
    void run() override;

private:
    struct Run;
    // Stops a run still going, then starts one for the file or the stream url.
    void _start(const QString& fileName, const QString& pushUrl, bool withAudio);
    void _playDirect();
    void _callbackRecordInfo(int state, int seconds);
    void _waitForAudioFinish();
    // Every exit of the recorder thread: marks video finished, which releases the microphone
    // side however far it got, and with audio waits for it and drops the bind record.
    void _endHandOver();
    static QSize _screenSize();
    // Under the data lock: the record info takes the area set while no run is going.
    void _showRectWhileIdle();
    void _probeEncoders();

    std::atomic<int> m_status{PaxRecordStop};
    std::atomic<bool> m_reportedEnd{true};
    QMutex m_dataMutex;
    QMutex m_controlMutex;
    _PaxScreenRecordInfoS m_recordInfo;
    QRect m_rect;
    QSize m_screenSize;
    QMutex m_bindMutex;
    // Woken whenever the bind record's flags change (video ready or finished, audio finished).
    QWaitCondition m_bindChanged;
    _AudioBindInfoS* m_bind = nullptr;
    std::atomic<int64_t> m_videoOrigin{0};
    bool m_audioOn = false;
    QStringList m_encoderList;
    QString m_encoder;
    int m_bitrateValue = 3;
    int m_bitrateType = 4;
    int m_quantizationParameter = 1;
    int m_profile = 2;
    int m_presetMode = 8;
    bool m_singleThread = false;
    int m_captureScreenIndex = 1;
    int m_framerate = 60;
    std::function<void()> m_runStartHook;
};
