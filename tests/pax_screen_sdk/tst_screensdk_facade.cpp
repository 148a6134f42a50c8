// The screen-record facade without a display: settings file, setter rules, rectangles,
// microphone listing, log lines, and recordings of lavfi sources.

#include "audioinput.h"
#include "logcapture.h"
#include "mediaprobe.h"
#include "paxdevicemonitor.h"
#include "paxscreenlog.h"
#include "paxscreenqtlib.h"
#include "paxscreenrecorderseam.h"
#include "screeninput.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMutex>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>
#include <thread>

Q_DECLARE_METATYPE(QList<int>)

namespace {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// The base folder of the test's save paths, in the documents folder of the test's own home.
QString baseFolder()
{
    const QString path =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/vq3/");
    return QDir().mkpath(path) ? path : QString();
}

QList<pax_platform::AudioSourceInfo> g_sources;

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool logHas(const QStringList& log, const QString& text)
{
    return !log.filter(text).isEmpty();
}

// A wait for a record info of that state.
bool waitForState(QSignalSpy& spy, int state, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int seen = 0;
    while (timer.elapsed() < timeoutMs) {
        for (; seen < spy.count(); ++seen) {
            if (spy.at(seen).at(0).value<PaxScreenRecordInfoS>().state == state)
                return true;
        }
        spy.wait(50);
    }
    for (; seen < spy.count(); ++seen) {
        if (spy.at(seen).at(0).value<PaxScreenRecordInfoS>().state == state)
            return true;
    }
    return false;
}

// Blocks until `status` reads 0 (the ceiling only catches a stop that never lands): a thread
// start hook that lets a stop land between the start of a thread and its first status check.
void waitForStop(const std::function<int()>& status)
{
    QElapsedTimer timer;
    timer.start();
    while (status() != 0 && timer.elapsed() < kEventCeilingMs)
        QThread::msleep(1);
}

// Runs `stop` on a thread of its own and waits for it (ceiling kEventCeilingMs); when it hangs,
// `release` unblocks it so the test run itself still ends. True when the stop ended by itself.
bool endsByItself(const std::function<void()>& stop, const std::function<void()>& release)
{
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        stop();
        done = true;
    });
    const bool ended = QTest::qWaitFor([&] { return done.load(); }, kEventCeilingMs);
    if (!ended)
        release();
    stopper.join();
    return ended;
}

// While set, the thread that logs a microphone's first failed open is held in that log call
// until this recorder has been asked to stop.
std::atomic<PaxScreenRecorderPair*> g_holdRetryUntilStop{nullptr};

void holdingHandler(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    LogCapture::handler(type, context, msg);
    if (!msg.contains(QLatin1String("avformat_open_input failed")))
        return;
    if (PaxScreenRecorderPair* pair = g_holdRetryUntilStop.exchange(nullptr))
        waitForStop([pair] { return pair->recorderStatus(); });
}

} // namespace

class TstScreenSdkFacade : public QObject {
    Q_OBJECT

private:
    QString m_base;
    int m_case = 0;
    QString m_savePath;

    // A fresh save path (and settings file) per facade.
    PaxScreenQtLib* freshFacade()
    {
        m_savePath = m_base + QStringLiteral("case%1/").arg(++m_case);
        QDir().mkpath(m_savePath);
        PaxScreenQtLib::setSavePath(m_savePath);
        return PaxScreenQtLib::getInstance();
    }
    QString configPath() const { return m_savePath + QStringLiteral("config/config.ini"); }

private slots:
    void initTestCase()
    {
        m_base = baseFolder();
        QVERIFY(!m_base.isEmpty());
        qInstallMessageHandler(&holdingHandler);
        pax_platform::setAudioSourceLister([] { return g_sources; });
        pax_platform::setScreenInputFactory([] {
            const QSize size = QGuiApplication::primaryScreen()->geometry().size();
            return pax_platform::createLavfiScreenInput(
                QStringLiteral("testsrc2=s=%1x%2:r={fps}").arg(size.width()).arg(size.height()));
        });
    }

    void cleanup()
    {
        PaxScreenQtLib::releaseInstance();
        g_sources.clear();
        LogCapture::take();
    }

    void cleanupTestCase()
    {
        pax_platform::setAudioSourceLister({});
        pax_platform::setScreenInputFactory({});
        PaxDeviceMonitor::releaseInstance();
        qInstallMessageHandler(nullptr);
    }

    // ---- settings file ------------------------------------------------------

    void freshSettingsFile_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("microphone") << "common/curMicrophoneName" << "";
        QTest::newRow("record audio") << "common/bRecordAudio" << "true";
        QTest::newRow("encoder") << "common/videoEncoder" << "libx264";
        QTest::newRow("bit-rate value") << "common/bitrateValue" << "2";
        QTest::newRow("quantization parameter") << "common/quantizationParameter" << "1";
        QTest::newRow("bit-rate type") << "common/bitrateType" << "1";
        QTest::newRow("profile") << "common/profile" << "2";
        QTest::newRow("preset") << "common/presetMode" << "0";
        QTest::newRow("quality") << "common/recordQuality" << "1";
        QTest::newRow("frame rate") << "common/framerate" << "60";
        QTest::newRow("volume") << "common/micVolumn" << "100";
    }

    void freshSettingsFile()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        freshFacade();
        QVERIFY(QFile::exists(configPath()));
        QSettings settings(configPath(), QSettings::IniFormat);
        QVERIFY2(settings.contains(key), qPrintable(key));
        QCOMPARE(settings.value(key).toString(), expected);
        QVERIFY(!settings.contains(QStringLiteral("common/pushStreamUrl")));
    }

    void freshGetters()
    {
        PaxScreenQtLib* lib = freshFacade();
        QCOMPARE(int(lib->getBitrateType()), 1);
        QCOMPARE(int(lib->getBitrateValue()), 2);
        QCOMPARE(int(lib->getQuantizationParameter()), 1);
        QCOMPARE(int(lib->getPreset()), 0);
        QCOMPARE(int(lib->getProfile()), 2);
        QCOMPARE(int(lib->getRecordQuality()), 1);
        QCOMPARE(lib->getFramerate(), 60);
        QCOMPARE(lib->getMicVolumn(), 100);
        QCOMPARE(lib->getIsRecordAudio(), true);
        QCOMPARE(lib->getVideoEncoder(), QStringLiteral("libx264"));
        QCOMPARE(lib->getPushStreamUrl(), QString());
    }

    void storedValuesLoad_data()
    {
        QTest::addColumn<int>("framerate");
        QTest::addColumn<int>("expectedFramerate");
        QTest::addColumn<QString>("encoder");
        QTest::addColumn<QString>("expectedEncoder");
        QTest::newRow("in range") << 25 << 25 << "libx264" << "libx264";
        QTest::newRow("zero frame rate") << 0 << 60 << "libx264" << "libx264";
        QTest::newRow("frame rate above 60") << 240 << 60 << "libx264" << "libx264";
        QTest::newRow("unknown encoder kept as stored") << 30 << 30 << "h264_videotoolbox" << "h264_videotoolbox";
    }

    void storedValuesLoad()
    {
        QFETCH(int, framerate);
        QFETCH(int, expectedFramerate);
        QFETCH(QString, encoder);
        QFETCH(QString, expectedEncoder);
        m_savePath = m_base + QStringLiteral("case%1/").arg(++m_case);
        QDir().mkpath(m_savePath + QStringLiteral("config"));
        {
            QSettings settings(configPath(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("common/framerate"), framerate);
            settings.setValue(QStringLiteral("common/videoEncoder"), encoder);
            settings.setValue(QStringLiteral("common/recordQuality"), 3);
            settings.setValue(QStringLiteral("common/bitrateType"), 3);
            settings.setValue(QStringLiteral("common/quantizationParameter"), 2);
        }
        PaxScreenQtLib::setSavePath(m_savePath);
        PaxScreenQtLib* lib = PaxScreenQtLib::getInstance();
        QCOMPARE(lib->getFramerate(), expectedFramerate);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value(QStringLiteral("common/framerate")).toInt(),
                 expectedFramerate);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value(QStringLiteral("common/videoEncoder")).toString(),
                 expectedEncoder);
        // The recorder keeps a usable encoder whatever was stored.
        QCOMPARE(lib->getVideoEncoder(), QStringLiteral("libx264"));
        // Custom quality keeps the stored rate control: CRF with "13".
        QCOMPARE(int(lib->getBitrateType()), 3);
        QCOMPARE(int(lib->getQuantizationParameter()), 2);
        QCOMPARE(int(lib->getBitrateValue()), 6);
    }

    void bitrateTypeCoupling_data()
    {
        QTest::addColumn<int>("startValue");
        QTest::addColumn<int>("startParameter");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("parameter");
        QTest::newRow("CRF with no parameter") << 3 << 3 << 3 << 6 << 1;
        QTest::newRow("CQP keeps its parameter") << 3 << 2 << 4 << 6 << 2;
        QTest::newRow("CBR with no value") << 6 << 1 << 0 << 3 << 3;
        QTest::newRow("VBR keeps its value") << 5 << 1 << 1 << 5 << 3;
        QTest::newRow("ABR with no value") << 6 << 0 << 2 << 3 << 3;
        QTest::newRow("unknown type couples nothing") << 4 << 2 << 9 << 4 << 2;
    }

    void bitrateTypeCoupling()
    {
        QFETCH(int, startValue);
        QFETCH(int, startParameter);
        QFETCH(int, type);
        QFETCH(int, value);
        QFETCH(int, parameter);
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setBitrateValue(_PaxBitrateValueE(startValue)));
        QVERIFY(lib->setQuantizationParameter(_PaxQuantizationParameterE(startParameter)));
        QVERIFY(lib->setBitrateType(_PaxBitrateTypeE(type)));
        QCOMPARE(int(lib->getBitrateType()), type);
        QCOMPARE(int(lib->getBitrateValue()), value);
        QCOMPARE(int(lib->getQuantizationParameter()), parameter);
        QSettings settings(configPath(), QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("common/bitrateType")).toInt(), type);
        QCOMPARE(settings.value(QStringLiteral("common/bitrateValue")).toInt(), value);
        QCOMPARE(settings.value(QStringLiteral("common/quantizationParameter")).toInt(), parameter);
    }

    void recordQuality_data()
    {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("type");
        QTest::newRow("high") << 0 << 3 << 1;
        QTest::newRow("middle") << 1 << 2 << 1;
        QTest::newRow("low") << 2 << 1 << 1;
        QTest::newRow("custom changes nothing") << 3 << 5 << 2;
    }

    void recordQuality()
    {
        QFETCH(int, quality);
        QFETCH(int, value);
        QFETCH(int, type);
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setBitrateType(PaxBitrateTypeABR));
        QVERIFY(lib->setBitrateValue(PaxBitrateValue32M));
        QVERIFY(lib->setPreset(PaxPresetSlow));
        QVERIFY(lib->setRecordQuality(_PaxRecordQualityE(quality)));
        QCOMPARE(int(lib->getRecordQuality()), quality);
        QCOMPARE(int(lib->getBitrateValue()), value);
        QCOMPARE(int(lib->getBitrateType()), type);
        QCOMPARE(int(lib->getPreset()), quality == 3 ? 6 : 0);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value(QStringLiteral("common/presetMode")).toInt(),
                 quality == 3 ? 6 : 0);
    }

    void framerateRange_data()
    {
        QTest::addColumn<int>("framerate");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("-5") << -5 << false;
        QTest::newRow("61") << 61 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("60") << 60 << true;
        QTest::newRow("24") << 24 << true;
    }

    void framerateRange()
    {
        QFETCH(int, framerate);
        QFETCH(bool, accepted);
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setFramerate(30));
        QCOMPARE(lib->setFramerate(framerate), accepted);
        QCOMPARE(lib->getFramerate(), accepted ? framerate : 30);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value(QStringLiteral("common/framerate")).toInt(),
                 accepted ? framerate : 30);
    }

    void encoders()
    {
        PaxScreenQtLib* lib = freshFacade();
        const QStringList usable = lib->getVideoEncoderList();
        QVERIFY(usable.contains(QStringLiteral("libx264")));
        QCOMPARE(usable.first(), QStringLiteral("libx264"));
        QVERIFY(!usable.contains(QStringLiteral("h264_videotoolbox")));
        bool available = true;
        QCOMPARE(lib->getIsHardwareEncoder(available), false);
        QCOMPARE(available, false);
        QCOMPARE(lib->setIsHardwareEncoder(true), false);
        QCOMPARE(lib->getVideoEncoder(), QStringLiteral("libx264"));
        QCOMPARE(lib->setVideoEncoder(QStringLiteral("no_such_encoder")), false);
        QCOMPARE(lib->setIsHardwareEncoder(false), true);
    }

    // ---- rectangles -----------------------------------------------------------

    void normalizedRect_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("expected");
        const QSize hd(1920, 1080);
        QTest::newRow("1366 wide on a 1366 screen") << QRect(0, 0, 1366, 768) << QSize(1366, 768) << QRect(0, 0, 1364, 768);
        QTest::newRow("area inside") << QRect(10, 20, 643, 481) << hd << QRect(10, 20, 640, 480);
        QTest::newRow("whole screen") << QRect(0, 0, 1920, 1080) << hd << QRect(0, 0, 1920, 1080);
        QTest::newRow("1 px beyond the right edge") << QRect(1, 0, 1920, 1080) << hd << QRect();
        QTest::newRow("1 px beyond the bottom") << QRect(0, 0, 1920, 1081) << hd << QRect();
        QTest::newRow("negative x") << QRect(-1, 0, 100, 100) << hd << QRect();
        QTest::newRow("width 3") << QRect(0, 0, 3, 100) << hd << QRect();
        QTest::newRow("height 2") << QRect(0, 0, 100, 2) << hd << QRect();
        QTest::newRow("null rectangle") << QRect() << hd << QRect();
        QTest::newRow("width 4") << QRect(100, 100, 4, 4) << hd << QRect(100, 100, 4, 4);
    }

    void normalizedRect()
    {
        QFETCH(QRect, rect);
        QFETCH(QSize, screen);
        QFETCH(QRect, expected);
        QCOMPARE(paxscreen_rules::normalizedRect(rect, screen), expected);
    }

    void captureRect_data()
    {
        QTest::addColumn<QRect>("logical");
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("capture");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("same size") << QRect(0, 0, 1364, 768) << QSize(1920, 1080) << QSize(1920, 1080)
                                   << QRect(0, 0, 1364, 768);
        QTest::newRow("twice as large") << QRect(100, 50, 640, 480) << QSize(1440, 900) << QSize(2880, 1800)
                                        << QRect(200, 100, 1280, 960);
        QTest::newRow("half, odd rounded down to even") << QRect(0, 0, 1364, 768) << QSize(1920, 1080)
                                                        << QSize(960, 540) << QRect(0, 0, 682, 384);
        QTest::newRow("odd scale") << QRect(4, 4, 100, 100) << QSize(1000, 1000) << QSize(1500, 1500)
                                   << QRect(6, 6, 150, 150);
        QTest::newRow("scaled to an odd size") << QRect(0, 0, 12, 12) << QSize(100, 100) << QSize(125, 125)
                                               << QRect(0, 0, 14, 14);
    }

    void captureRect()
    {
        QFETCH(QRect, logical);
        QFETCH(QSize, screen);
        QFETCH(QSize, capture);
        QFETCH(QRect, expected);
        const QRect r = paxscreen_rules::captureRect(logical, screen, capture);
        QCOMPARE(r, expected);
        QCOMPARE(r.width() % 2, 0);
        QCOMPARE(r.height() % 2, 0);
        QVERIFY(QRect(QPoint(0, 0), capture).contains(r));
    }

    void cropSourceArgs_data()
    {
        QTest::addColumn<QSize>("capture");
        QTest::addColumn<int>("pixelFormat");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("full hd bgr0") << QSize(1920, 1080) << 121
                                      << QByteArray("video_size=1920x1080:pix_fmt=121:time_base=1/10:pixel_aspect=0/1");
        QTest::newRow("scaled uyvy") << QSize(2880, 1800) << 15
                                     << QByteArray("video_size=2880x1800:pix_fmt=15:time_base=1/10:pixel_aspect=0/1");
    }

    void cropSourceArgs()
    {
        QFETCH(QSize, capture);
        QFETCH(int, pixelFormat);
        QFETCH(QByteArray, expected);
        QCOMPARE(paxscreen_rules::cropSourceArgs(capture, pixelFormat), expected);
    }

    void facadeSetRect_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        const QSize s = QGuiApplication::primaryScreen()->geometry().size();
        QTest::newRow("inside") << QRect(0, 0, 203, 101) << true << 200 << 100;
        QTest::newRow("outside") << QRect(0, 0, s.width() + 1, 10) << false << s.width() << s.height();
        QTest::newRow("too small") << QRect(0, 0, 2, 2) << false << s.width() << s.height();
    }

    void facadeSetRect()
    {
        QFETCH(QRect, rect);
        QFETCH(bool, accepted);
        QFETCH(int, width);
        QFETCH(int, height);
        PaxScreenQtLib* lib = freshFacade();
        QCOMPARE(lib->setRect(rect), accepted);
        QCOMPARE(lib->getRecordWidth(), width);
        QCOMPARE(lib->getRecordHeight(), height);
        // The record info shows the area set while idle.
        QCOMPARE(lib->getRecordInfo().rect.size(), QSize(width, height));
        QVERIFY(lib->removeRect());
        QCOMPARE(lib->getRecordWidth(), QGuiApplication::primaryScreen()->geometry().width());
        QCOMPARE(lib->getRecordInfo().rect, QGuiApplication::primaryScreen()->geometry());
    }

    // ---- microphones ------------------------------------------------------------

    void parseDeviceListing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("screenIndex");
        QTest::addColumn<QList<int>>("indexes");
        QTest::addColumn<QStringList>("names");
        const QString head = QStringLiteral("[AVFoundation indev @ 0x7f8]");
        QTest::newRow("two capture screens, the later wins")
            << head + " AVFoundation video devices:\n" + head + " [0] FaceTime HD Camera\n" + head
                   + " [1] Capture screen 0\n" + head + " [2] Capture screen 1\n" + head
                   + " AVFoundation audio devices:\n" + head + " [0] Built-in Microphone\n"
            << 2 << QList<int>{0} << QStringList{"Built-in Microphone"};
        QTest::newRow("two-digit index, trimmed name")
            << head + " AVFoundation audio devices:\n" + head + " [12]   USB Audio  \n" << 1 << QList<int>{12}
            << QStringList{"USB Audio"};
        QTest::newRow("three-digit index skipped")
            << head + " AVFoundation audio devices:\n" + head + " [123] Far Mic\n" + head + " [3] Near Mic\n" << 1
            << QList<int>{3} << QStringList{"Near Mic"};
        QTest::newRow("no audio section") << head + " [0] Capture screen 0\n" << 0 << QList<int>{} << QStringList{};
        QTest::newRow("empty text") << QString() << 1 << QList<int>{} << QStringList{};
        QTest::newRow("name up to the line end")
            << head + " AVFoundation audio devices:\n" + head + " [1] Mic A\nnoise\n" << 1 << QList<int>{1}
            << QStringList{"Mic A"};
    }

    void parseDeviceListing()
    {
        QFETCH(QString, text);
        QFETCH(int, screenIndex);
        QFETCH(QList<int>, indexes);
        QFETCH(QStringList, names);
        int captureScreen = 1;
        const QList<_ScreenMicrophoneS> list = paxscreen_rules::parseDeviceListing(text, captureScreen);
        QCOMPARE(captureScreen, screenIndex);
        QList<int> gotIndexes;
        QStringList gotNames;
        for (const _ScreenMicrophoneS& m : list) {
            gotIndexes << m.index;
            gotNames << m.name;
        }
        QCOMPARE(gotIndexes, indexes);
        QCOMPARE(gotNames, names);
    }

    void microphoneRefresh_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("written");
        QTest::newRow("still listed stays, nothing written") << "Mic B" << QStringList{"Mic A", "Mic B"} << "Mic B"
                                                             << false;
        QTest::newRow("vanished: the first listed") << "Gone" << QStringList{"Mic A", "Mic B"} << "Mic A" << true;
        QTest::newRow("none listed: empty") << "Gone" << QStringList{} << "" << true;
        QTest::newRow("empty name takes the first") << "" << QStringList{"Mic C"} << "Mic C" << true;
    }

    void microphoneRefresh()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, listed);
        QFETCH(QString, current);
        QFETCH(bool, written);
        for (const QString& name : listed)
            g_sources.append({name, QStringLiteral("lavfi"), QStringLiteral("anullsrc")});
        m_savePath = m_base + QStringLiteral("case%1/").arg(++m_case);
        QDir().mkpath(m_savePath + QStringLiteral("config"));
        QSettings(configPath(), QSettings::IniFormat).setValue(QStringLiteral("common/curMicrophoneName"), stored);
        PaxScreenQtLib::setSavePath(m_savePath);
        PaxScreenQtLib* lib = PaxScreenQtLib::getInstance();
        QSignalSpy changed(lib, &PaxScreenQtLib::sigAudioInfoChange);
        const QByteArray before = readFile(configPath());
        QVERIFY(changed.wait(kEventCeilingMs));
        QCOMPARE(lib->getCurMicrophoneName(), current);
        const QList<_ScreenMicrophoneS> list = lib->getMicrophoneList();
        QCOMPARE(list.size(), listed.size());
        for (int i = 0; i < list.size(); ++i) {
            QCOMPARE(list.at(i).index, i);
            QCOMPARE(list.at(i).name, listed.at(i));
        }
        QCOMPARE(readFile(configPath()) != before, written);
        QCOMPARE(QSettings(configPath(), QSettings::IniFormat).value(QStringLiteral("common/curMicrophoneName")).toString(),
                 current);
    }

    // A device change (the hot-plug monitor below the service path) lists the microphones again.
    void deviceChangeRefreshes()
    {
        g_sources = {{QStringLiteral("Mic A"), QStringLiteral("lavfi"), QStringLiteral("anullsrc")}};
        PaxScreenQtLib* lib = freshFacade();
        QSignalSpy changed(lib, &PaxScreenQtLib::sigAudioInfoChange);
        QVERIFY(changed.wait(kEventCeilingMs));
        QCOMPARE(lib->getCurMicrophoneName(), QStringLiteral("Mic A"));
        g_sources = {{QStringLiteral("Mic B"), QStringLiteral("lavfi"), QStringLiteral("anullsrc")},
                     {QStringLiteral("Mic C"), QStringLiteral("lavfi"), QStringLiteral("anullsrc")}};
        changed.clear();
        emit PaxDeviceMonitor::getInstance()->sigOutdeviceInOut();
        QVERIFY(changed.wait(kEventCeilingMs));
        QCOMPARE(lib->getMicrophoneList().size(), 2);
        QCOMPARE(lib->getMicrophoneList().at(1).name, QStringLiteral("Mic C"));
        QCOMPARE(lib->getCurMicrophoneName(), QStringLiteral("Mic B"));
    }

    void gainText_data()
    {
        QTest::addColumn<int>("volume");
        QTest::addColumn<QString>("text");
        QTest::newRow("100") << 100 << "1.00";
        QTest::newRow("150") << 150 << "1.50";
        QTest::newRow("0") << 0 << "0.00";
        QTest::newRow("33") << 33 << "0.33";
    }

    void gainText()
    {
        QFETCH(int, volume);
        QFETCH(QString, text);
        QCOMPARE(paxscreen_rules::gainText(volume), text);
    }

    // The microphone thread logs the decoder's and the AAC encoder's format once per run.
    void audioFormatLogLines_data()
    {
        QTest::addColumn<QString>("graph");
        QTest::addColumn<QString>("inputLine");
        const QString mono = QStringLiteral("sine=frequency=440:sample_rate=44100,arealtime");
        const QString stereo = QStringLiteral("sine=frequency=440:sample_rate=48000,aformat=channel_layouts=stereo,arealtime");
        QTest::newRow("mono 44100 Hz")
            << mono << QStringLiteral("audio input frame, channel_layout[4] sample_rate[44100] sample_fmt[1]\n");
        QTest::newRow("stereo 48000 Hz")
            << stereo << QStringLiteral("audio input frame, channel_layout[3] sample_rate[48000] sample_fmt[1]\n");
    }

    void audioFormatLogLines()
    {
        QFETCH(QString, graph);
        QFETCH(QString, inputLine);
        g_sources = {{QStringLiteral("Test Microphone"), QStringLiteral("lavfi"), graph}};
        PaxScreenQtLib* lib = freshFacade();
        QSignalSpy listed(lib, &PaxScreenQtLib::sigAudioInfoChange);
        QVERIFY(listed.wait(kEventCeilingMs));
        QCOMPARE(lib->getCurMicrophoneName(), QStringLiteral("Test Microphone"));
        QVERIFY(lib->setFramerate(10));
        QVERIFY(lib->setRect(QRect(0, 0, 160, 120)));
        QTemporaryDir dir;
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        LogCapture::take();
        QVERIFY(lib->startRecordScreen(dir.filePath(QStringLiteral("formats.mp4"))));
        const QString outputLine = QStringLiteral("audio output frame, channel_layout[4] sample_rate[44100] sample_fmt[8]\n");
        const bool logged = QTest::qWaitFor([&] { return LogCapture::countContaining(outputLine) > 0; }, kEventCeilingMs);
        lib->stopRecordScreen();
        QVERIFY(waitForState(info, 0, kEventCeilingMs));
        QVERIFY(logged);
        const QStringList log = LogCapture::take();
        auto linesEndingWith = [&](const QString& text) {
            int n = 0;
            for (const QString& line : log)
                n += line.startsWith(QLatin1String("paxscreen[debug][")) && line.endsWith(QStringLiteral("] ") + text);
            return n;
        };
        QCOMPARE(linesEndingWith(inputLine), 1);
        QCOMPARE(linesEndingWith(outputLine), 1);
    }

    // ---- log ----------------------------------------------------------------------

    void logLineFormat_data()
    {
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("expectedLength");
        QTest::newRow("debug") << false << 10 << 10;
        QTest::newRow("error") << true << 10 << 10;
        QTest::newRow("long text cut at 1023 bytes") << false << 3000 << 1023;
    }

    void logLineFormat()
    {
        QFETCH(bool, error);
        QFETCH(int, length);
        QFETCH(int, expectedLength);
        LogCapture::take();
        const QByteArray text(length, 'x');
        if (error)
            PAXSCREEN_ERROR("%s", text.constData());
        else
            PAXSCREEN_DEBUG("%s", text.constData());
        const QStringList log = LogCapture::take();
        QCOMPARE(log.size(), 1);
        const QRegularExpression form(QStringLiteral("^paxscreen\\[(debug|error)\\]\\[tst_screensdk_facade\\.cpp\\]\\[(\\d+)\\] (x*)$"));
        const QRegularExpressionMatch m = form.match(log.first());
        QVERIFY2(m.hasMatch(), qPrintable(log.first().left(100)));
        QCOMPARE(m.captured(1), QString::fromLatin1(error ? "error" : "debug"));
        QVERIFY(m.captured(2).toInt() > 0);
        QCOMPARE(m.captured(3).size(), expectedLength);
    }

    void logFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("screen.log"));
        QVERIFY(PaxScreenQtLib::setLogFile(path));
        QVERIFY(!QFile::exists(path));   // the probe leaves nothing behind
        PAXSCREEN_DEBUG("hello %d", 7);
        qDebug("plain message");
        qInstallMessageHandler(&holdingHandler);
        const QString text = QString::fromUtf8(readFile(path));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] \\[debug\\]\\[tst_screensdk_facade\\.cpp\\]\\[\\d+\\] hello 7\n$"))
                     .match(text).hasMatch(),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("plain message")));
        QVERIFY(!PaxScreenQtLib::setLogFile(dir.filePath(QStringLiteral("missing/dir/screen.log"))));
    }

    // ---- files are probed, never destroyed ------------------------------------------

    void existingFilesKept_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("grab outside the screen") << "grab";
        QTest::newRow("recording that fails to start") << "record";
        QTest::newRow("log file") << "log";
    }

    void existingFilesKept()
    {
        QFETCH(QString, call);
        PaxScreenQtLib* lib = freshFacade();
        QTemporaryDir dir;
        const QString file = dir.filePath(call == QLatin1String("grab") ? QStringLiteral("old.png")
                                                                        : QStringLiteral("old.mp4"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("precious");
        }
        if (call == QLatin1String("grab")) {
            const QSize s = QGuiApplication::primaryScreen()->geometry().size();
            QVERIFY(!lib->grabScreen(file, QRect(0, 0, s.width() + 1, s.height())));
            QVERIFY(logHas(LogCapture::take(), QStringLiteral("of grab is invalid")));
        } else if (call == QLatin1String("record")) {
            // The path is fine, the start fails later: the screen can't be opened.
            pax_platform::setScreenInputFactory(
                [] { return pax_platform::createLavfiScreenInput(QStringLiteral("nosuchsource")); });
            lib->setIsRecordAudio(false);
            QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
            const bool started = lib->startRecordScreen(file);
            const bool ended = waitForState(info, 0, kEventCeilingMs);
            initTestCase();
            QVERIFY(started);
            QVERIFY(ended);
            QVERIFY(logHas(LogCapture::take(), QStringLiteral("avformat_open_input failed")));
            QCOMPARE(lib->getRecordInfo().fileName, QString());
        } else {
            QVERIFY(PaxScreenQtLib::setLogFile(file));
            qInstallMessageHandler(&holdingHandler);
        }
        QCOMPARE(readFile(file), QByteArray("precious"));
    }

    void startRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("upper-case suffix") << "clip.MP4" << "do not end with .mp4";
        QTest::newRow("other suffix") << "clip.mkv" << "do not end with .mp4";
        QTest::newRow("missing folder") << "no/such/folder/clip.mp4" << "can not be created";
    }

    void startRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        PaxScreenQtLib* lib = freshFacade();
        QTemporaryDir dir;
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QVERIFY(!lib->startRecordScreen(dir.filePath(name)));
        QVERIFY(logHas(LogCapture::take(), message));
        QVERIFY(!info.wait(300));
        QCOMPARE(lib->getRecordInfo().state, 0);
        QVERIFY(!lib->startPushStream());
        QVERIFY(logHas(LogCapture::take(), QStringLiteral("push stream url[] is empty")));
    }

    // ---- setters while recording or paused --------------------------------------------

    void settersRefusedWhileBusy_data()
    {
        QTest::addColumn<QString>("setter");
        QTest::addColumn<bool>("paused");
        const QStringList setters{"setBitrateValue", "setBitrateType", "setQuantizationParameter", "setProfile",
                                  "setPreset", "setRecordQuality", "setFramerate", "setMicVolumn", "setRect",
                                  "removeRect", "setPushStreamUrl", "setCurMicrophoneName", "setIsRecordAudio"};
        for (const QString& s : setters) {
            QTest::newRow(qPrintable(s + " recording")) << s << false;
            QTest::newRow(qPrintable(s + " paused")) << s << true;
        }
    }

    void settersRefusedWhileBusy()
    {
        QFETCH(QString, setter);
        QFETCH(bool, paused);
        PaxScreenQtLib* lib = freshFacade();
        QVERIFY(lib->setRect(QRect(0, 0, 100, 100)));
        lib->setIsRecordAudio(false);
        const std::function<bool()> calls[] = {
            [&] { return lib->setBitrateValue(PaxBitrateValue32M); },
            [&] { return lib->setBitrateType(PaxBitrateTypeCQP); },
            [&] { return lib->setQuantizationParameter(PaxQuantizationParameter51); },
            [&] { return lib->setProfile(PaxProfileHigh); },
            [&] { return lib->setPreset(PaxPresetPlacebo); },
            [&] { return lib->setRecordQuality(PaxRecordQualityHigh); },
            [&] { return lib->setFramerate(12); },
            [&] { return lib->setMicVolumn(5); },
            [&] { return lib->setRect(QRect(0, 0, 40, 40)); },
            [&] { return lib->removeRect(); },
            [&] { return lib->setPushStreamUrl(QStringLiteral("tcp://127.0.0.1:1")); },
            [&] { lib->setCurMicrophoneName(QStringLiteral("Other")); return false; },
            [&] { lib->setIsRecordAudio(true); return false; },
        };
        const QStringList names{"setBitrateValue", "setBitrateType", "setQuantizationParameter", "setProfile",
                                "setPreset", "setRecordQuality", "setFramerate", "setMicVolumn", "setRect",
                                "removeRect", "setPushStreamUrl", "setCurMicrophoneName", "setIsRecordAudio"};
        const int which = names.indexOf(setter);
        QVERIFY(which >= 0);
        auto snapshot = [&] {
            return QStringList{QString::number(lib->getBitrateValue()), QString::number(lib->getBitrateType()),
                               QString::number(lib->getQuantizationParameter()), QString::number(lib->getProfile()),
                               QString::number(lib->getPreset()), QString::number(lib->getRecordQuality()),
                               QString::number(lib->getFramerate()), QString::number(lib->getMicVolumn()),
                               QString::number(lib->getRecordWidth()), QString::number(lib->getRecordHeight()),
                               lib->getPushStreamUrl(), lib->getCurMicrophoneName(),
                               QString::number(lib->getIsRecordAudio())};
        };
        QTemporaryDir dir;
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QSignalSpy audioChange(lib, &PaxScreenQtLib::sigAudioInfoChange);
        QVERIFY(lib->startRecordScreen(dir.filePath(QStringLiteral("busy.mp4"))));
        if (paused) {
            QVERIFY(waitForState(info, 1, kEventCeilingMs));
            lib->pause();
            QVERIFY(waitForState(info, 2, kEventCeilingMs));
        }
        const QStringList before = snapshot();
        const QByteArray config = readFile(configPath());
        audioChange.clear();
        LogCapture::take();
        QCOMPARE(calls[which](), false);
        QVERIFY(logHas(LogCapture::take(), QStringLiteral("Parameter modification is not allowed during recording")));
        QCOMPARE(snapshot(), before);
        QCOMPARE(readFile(configPath()), config);
        if (setter == QLatin1String("setCurMicrophoneName") || setter == QLatin1String("setIsRecordAudio"))
            QCOMPARE(audioChange.count(), 1);
        lib->stopRecordScreen();
        QVERIFY(waitForState(info, 0, kEventCeilingMs));
        // Idle again: the same call is taken.
        if (setter != QLatin1String("setCurMicrophoneName") && setter != QLatin1String("setIsRecordAudio"))
            QCOMPARE(calls[which](), true);
    }

    // ---- pause and resume decided from the recorder's own status ---------------------------

    void pauseOrResumeBackToBack()
    {
        PaxScreenQtLib* lib = freshFacade();
        lib->setIsRecordAudio(false);
        QVERIFY(lib->setFramerate(10));
        QVERIFY(lib->setRect(QRect(0, 0, 160, 120)));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("toggle.mp4"));
        QSignalSpy info(lib, &PaxScreenQtLib::sigRecordInfo);
        QCOMPARE(lib->pauseOrResume(), false);   // nothing to pause
        QVERIFY(lib->startRecordScreen(file));
        QVERIFY(waitForState(info, 1, kEventCeilingMs));
        QCOMPARE(lib->pauseOrResume(), true);    // paused
        QCOMPARE(lib->pauseOrResume(), false);   // resumed at once
        QCOMPARE(lib->pauseOrResume(), true);    // paused again, not lost
        QVERIFY(waitForState(info, 2, kEventCeilingMs));
        QCOMPARE(lib->pauseOrResume(), false);
        lib->stopRecordScreen();
        QVERIFY(waitForState(info, 0, kEventCeilingMs));
        QCOMPARE(lib->getRecordInfo().state, 0);
    }

    // ---- stops at any moment ------------------------------------------------------------

    void stopBeforeRecorderThreadChecks_data()
    {
        QTest::addColumn<QString>("stop");
        QTest::newRow("myStopPushStream") << "myStopPushStream";
        QTest::newRow("myQuitWait") << "myQuitWait";
        QTest::newRow("myStopRecordWait") << "myStopRecordWait";
    }

    // A stop between the start of the recorder thread and its first status check, during a
    // recording with audio: the microphone side is released, and the full stop that follows
    // ends.
    void stopBeforeRecorderThreadChecks()
    {
        QFETCH(QString, stop);
        g_sources = {{QStringLiteral("Test Microphone"), QStringLiteral("lavfi"),
                      QStringLiteral("sine=frequency=440:sample_rate=44100")}};
        QCOMPARE(pax_platform::listAudioSources().size(), 1);
        PaxScreenRecorderPair pair;
        pair.setRecorderRunStartHook([&] { waitForStop([&] { return pair.recorderStatus(); }); });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("early.mp4"));
        pair.startRecord(file, true);
        pair.startMicrophone(0);
        if (stop == QLatin1String("myStopPushStream"))
            pair.stopPushStream();
        else if (stop == QLatin1String("myQuitWait"))
            pair.quitWait();
        else
            pair.stopRecordWait();
        QVERIFY(!pair.recorderBusy());
        const bool ended = endsByItself(
            [&] {
                pair.stopRecordWait();
                pair.stopMicrophoneWait();
            },
            [&] {
                // A new run without audio drops the bind record the microphone waits on.
                pair.setRecorderRunStartHook({});
                pair.startRecord(dir.filePath(QStringLiteral("release.mp4")), false);
                pair.stopRecordWait();
            });
        QVERIFY(ended);
        QVERIFY(!pair.microphoneRunning());
        QCOMPARE(pair.recordInfo().state, 0);
        QCOMPARE(pair.recordInfo().fileName, QString());
        QVERIFY(!QFile::exists(file));
    }

    // A microphone run stopped before its thread checks its status still tells the recorder,
    // which then ends instead of waiting for it when stopped.
    void microphoneStoppedBeforeItsThreadChecks()
    {
        g_sources = {{QStringLiteral("Test Microphone"), QStringLiteral("lavfi"),
                      QStringLiteral("sine=frequency=440:sample_rate=44100")}};
        QCOMPARE(pax_platform::listAudioSources().size(), 1);
        PaxScreenRecorderPair pair;
        pair.setFramerate(10);
        pair.setMicrophoneRunStartHook([&] { waitForStop([&] { return pair.microphoneStatus(); }); });
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("mute.mp4"));
        pair.startRecord(file, true);
        pair.startMicrophone(0);
        pair.stopMicrophoneWait();
        QVERIFY(!pair.microphoneRunning());
        const bool ended = endsByItself([&] { pair.stopRecordWait(); }, [&] { pair.audioFinish(); });
        QVERIFY(ended);
        QVERIFY(!pair.recorderBusy());
        QVERIFY(!QFile::exists(file));
    }

    // A stop asked of the recorder while its microphone retries a failed open ends the retries at
    // once: the first failure is held until the stop has been asked, so no retry may follow it.
    void recorderStopEndsMicrophoneRetries()
    {
        QCOMPARE(pax_platform::listAudioSources().size(), 0);
        PaxScreenRecorderPair pair;
        pair.setFramerate(10);
        QTemporaryDir dir;
        g_holdRetryUntilStop = &pair;
        pair.startRecord(dir.filePath(QStringLiteral("nomic.mp4")), true);
        pair.startMicrophone(0);
        const QString failed = QStringLiteral("avformat_open_input failed");
        QVERIFY(QTest::qWaitFor([&] { return LogCapture::countContaining(failed) > 0; }, kEventCeilingMs));
        const bool ended = endsByItself(
            [&] {
                pair.stopRecordWait();
                pair.stopMicrophoneWait();
            },
            [&] { pair.audioFinish(); });
        g_holdRetryUntilStop = nullptr;
        QVERIFY(ended);
        QVERIFY(!pair.microphoneRunning());
        QCOMPARE(LogCapture::countContaining(failed), 1);
    }
};

QTEST_MAIN(TstScreenSdkFacade)
#include "tst_screensdk_facade.moc"
