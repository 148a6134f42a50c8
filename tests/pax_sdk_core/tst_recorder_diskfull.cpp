// Camera recordings that meet a full disk or a killed process: the recording ends at the first
// failed write with its file kept playable, and a kill loses at most the last second.
//
// The recorder runs in a child process (this program with "--record-child"), so a file-size
// limit (RLIMIT_FSIZE, SIGXFSZ ignored: a write past it fails with EFBIG, as on a full disk) and
// a SIGKILL reach only the child. The child prints one line per event:
//   "seconds <n>"            the recorder reported n seconds written
//   "status <s> <writeError>" the recorder reported status s (0 recording, 1 stopped)
#include "ffmpegoutput.h"
#include "mediaprobe.h"
#include "myffmpegcameracontrol.h"
#include "processoutput.h"
#include "recorderfixture.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

using namespace recorder;

namespace {

// Starts this program as the recording child: into `file`, with the microphone when `audio`, under
// a file-size limit of `limit` bytes (0: none).
void startRecordChild(QProcess& child, const QString& file, bool audio, qint64 limit)
{
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--record-child"), file, audio ? QStringLiteral("1") : QStringLiteral("0"),
                 QString::number(limit)});
}

int countOf(const QList<QByteArray>& lines, const QByteArray& text)
{
    int n = 0;
    for (const QByteArray& line : lines)
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace

class tst_RecorderDiskFull : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // The first failed write ends the recording: reported stopped once with the error, logged
    // once, the file kept with whole fragments only, so it plays without a decoding error.
    void fullDiskEndsRecording_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video only") << false;
        QTest::newRow("with microphone") << true;
    }
    void fullDiskEndsRecording()
    {
        QFETCH(bool, audio);
        const QString file = m_dir.filePath(QStringLiteral("full-%1.mp4").arg(audio));
        QProcess child;
        startRecordChild(child, file, audio, 1536 * 1024);
        QVERIFY(child.waitForStarted(60000));
        processoutput::Lines out{child, {}, {}};
        const bool stopped = out.waitFor([](const QByteArray& l) { return l.startsWith("status 1 "); }, 60000);
        QVERIFY2(stopped, out.lines.join('\n').right(3000).constData());
        // The recording ended by itself, with the failed write as the reason.
        const QByteArray status = out.lines.last();
        QVERIFY2(status.split(' ').value(2).toInt() < 0, status.constData());
        QVERIFY(child.waitForFinished(60000));
        out.lines += (out.buffer + child.readAllStandardOutput()).split('\n');
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(countOf(out.lines, "status 1 "), 1);
        QCOMPARE(countOf(out.lines, "av_interleaved_write_frame failed"), 1);
        QCOMPARE(countOf(out.lines, "ended by a failed write"), 1);

        QVERIFY(QFile::exists(file));
        QVERIFY(QFileInfo(file).size() > 0);
        const QJsonObject probe = mediaprobe::probe(file, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe can't read the file");
        const double span = mediaprobe::videoSpan(probe);
        QVERIFY2(span >= 1.0, qPrintable(QString::number(span)));
        const QByteArray errors = mediaprobe::decodeErrors(file);
        QVERIFY2(errors.isEmpty(), errors.constData());
    }

    // Killed once the recorder has reported N seconds: the N - 1 whole fragments before the last play.
    void killKeepsAllButTheLastSecond_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::addColumn<int>("seconds");
        QTest::newRow("video only") << false << 4;
        QTest::newRow("with microphone") << true << 4;
    }
    void killKeepsAllButTheLastSecond()
    {
        QFETCH(bool, audio);
        QFETCH(int, seconds);
        const QString file = m_dir.filePath(QStringLiteral("killed-%1.mp4").arg(audio));
        QProcess child;
        startRecordChild(child, file, audio, 0);
        QVERIFY(child.waitForStarted(60000));
        processoutput::Lines out{child, {}, {}};
        const QByteArray wanted = "seconds " + QByteArray::number(seconds);
        QVERIFY2(out.waitFor([&](const QByteArray& l) { return l == wanted; }, 60000),
                 out.lines.join('\n').right(3000).constData());
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QJsonObject probe = mediaprobe::probe(file, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe can't read the file");
        // All but the last fragment (a second of media) are kept. Frames are stamped as they arrive,
        // so a fragment's cut may fall a little short of its second: a quarter second of slack for
        // that (a lost fragment is a whole second).
        const double span = mediaprobe::videoSpan(probe);
        QVERIFY2(span >= seconds - 1.25,
                 qPrintable(QStringLiteral("%1 s kept after %2 s reported").arg(span).arg(seconds)));
        const QStringList boxes = mediaprobe::topLevelBoxes(file);
        QVERIFY2(boxes.count(QStringLiteral("moof")) >= seconds - 1, qPrintable(boxes.join(',')));
    }

private:
    QTemporaryDir m_dir;
};

// The child: records the virtual camera (with the virtual microphone when asked) into the file
// under a file-size limit (0: none) until the recorder stops by itself or the process is killed.
int recordChild(QGuiApplication& app, const QStringList& args)
{
    const QString file = args.value(0);
    const bool audio = args.value(1) == QLatin1String("1");
    const qint64 limit = args.value(2).toLongLong();
    prepareServiceClient();
    MyFfmpegCameraControl* control = MyFfmpegCameraControl::getInstance();
    bool started = false;
    QObject::connect(control, &MyFfmpegCameraControl::sigRecordTimeChangeForMain, &app, [](int seconds) {
        std::printf("seconds %d\n", seconds);
        std::fflush(stdout);
    });
    QObject::connect(control, &MyFfmpegCameraControl::sigRecordStatusChangeForMain, &app,
                     [&](_MFCC_Record_StatusE status) {
                         std::printf("status %d %d\n", int(status), control->output(PaxCameraIndexMain)->writeError());
                         std::fflush(stdout);
                         if (status == MFCC_Record_Recording)
                             started = true;
                         else if (status == MFCC_Record_Stopped && started)
                             QTimer::singleShot(0, &app, [&app] { app.exit(0); });
                     });
    if (limit > 0) {
        std::signal(SIGXFSZ, SIG_IGN);   // a write past the limit fails instead of ending the process
        const rlimit rl{rlim_t(limit), rlim_t(limit)};
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0)
            return 4;
    }
    control->setCameraInfo(PaxCameraIndexMain, cameraInfo(QStringLiteral("1280x720"), 30));
    control->setCameraRecordInfo(
        PaxCameraIndexMain, recordInfo(file, audio, audio ? microphoneIndex(QStringLiteral("Virtual Microphone")) : -1));
    control->changeCameraRecordStatus(PaxCameraIndexMain, MFCC_Record_Recording);
    QTimer::singleShot(60000, &app, [&app] { app.exit(3); });
    const int code = app.exec();
    MyFfmpegCameraControl::releaseInstance();
    return code;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--record-child") == 0) {
        QGuiApplication app(argc, argv);
        return recordChild(app, app.arguments().mid(2));
    }
    QCoreApplication app(argc, argv);
    tst_RecorderDiskFull test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recorder_diskfull.moc"
