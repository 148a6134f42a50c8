// Device search against the virtual cameras: camera ids from the UVC layer, the video
// device list, mytool's listing and mode probe, the choice of mode and the microphones.

#include "errorlines.h"
#include "maccamera.h"
#include "paxcamerainfo.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using Info = PaxCameraInfo::_CameraDeviceInfoS;

namespace {

// Ceiling of every wait: only a hang reaches it.
constexpr int kHangMs = 60000;

QStringList sizes(const Info& info)
{
    QStringList out;
    for (const PaxCameraInfo::_Device_Option& o : info.optionList)
        out << QStringLiteral("%1@%2").arg(o.video_size).arg(o.fps);
    return out;
}

QStringList micNames()
{
    QStringList out;
    for (const PaxCameraInfo::_MicrophoneS& m : PaxCameraInfo::getInstance()->getMicrophoneList())
        out << m.name;
    return out;
}

// The enumerator lists the X11 screen as "Capture screen 0" when DISPLAY names one; without a
// display there is no screen entry and the search runs all the same.
bool haveDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}
QString expectedScreenName()
{
    return haveDisplay() ? QStringLiteral("Capture screen 0") : QString();
}

void usePath(const char* version)
{
    qputenv("ORVANE_PLATFORM_VERSION", version);
    pax_resetMacosVersionCache();
}

// Child mode: the test program copied beside a scripted mytool runs one search on a thread
// while this thread keeps querying the model, then prints what it found. A held probe (the
// file "probing" beside the tool) waits until the file "release" appears (at most 60 s): the
// child makes it once three queries were answered while the probe was still held.
int runSearchChild()
{
    usePath("11.0");
    const QDir dir(QCoreApplication::applicationDirPath());
    PaxCameraInfo* model = PaxCameraInfo::getInstance();
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&]() {
        result = model->searchCameraDeviceInfo();
        done = true;
    });
    int answeredWhileProbing = 0;
    while (!done) {
        model->getCameraCurSolution(PaxCameraIndexMain);
        model->getMicrophoneList();
        // Answered, and the probe still held: the query did not wait for it.
        if (QFile::exists(dir.filePath(QStringLiteral("probing"))) && ++answeredWhileProbing == 3)
            QFile(dir.filePath(QStringLiteral("release"))).open(QIODevice::WriteOnly);
        QThread::msleep(10);
    }
    worker.join();
    const Info main = model->getCameraInfo(PaxCameraIndexMain);
    QTextStream out(stdout);
    out << "result=" << result << "\n"
        << "main=" << main.deviceNameInMac << "\n"
        << "index=" << main.deviceIndexInMac << "\n"
        << "modes=" << sizes(main).join(',') << "\n"
        << "current=" << model->getCameraCurSolution(PaxCameraIndexMain) << "\n"
        << "mics=" << micNames().join(',') << "\n"
        << "curmic=" << model->getCurMicrophoneIndex() << "\n"
        << "free=" << (answeredWhileProbing >= 3 ? 1 : 0) << "\n";
    out.flush();
    PaxCameraInfo::releaseInstance();
    PaxUvcControl::releaseInstance();
    return 0;
}

} // namespace

class tst_CameraSearch : public QObject
{
    Q_OBJECT

    PaxCameraInfo* model() { return PaxCameraInfo::getInstance(); }

private slots:
    void initTestCase()
    {
        const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/mytool");
        QVERIFY2(QFileInfo(tool).isExecutable(), qPrintable(tool));
        if (!haveDisplay())
            qInfo("no DISPLAY: the listing has no screen entry, and the checks expect none");
        usePath("11.0");
        QVERIFY(!isAvailableMacos13());
    }

    void cleanup()
    {
        PaxCameraInfo::releaseInstance();
        PaxUvcControl::releaseInstance();
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
    }

    void inProcess_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("mainName");
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<int>("secondIndex");
        QTest::addColumn<QStringList>("mics");
        QTest::addColumn<QStringList>("errors");

        QTest::newRow("two virtual cameras") << QByteArray("2") << 0 << "Virtual Document Camera" << 0
                                             << "Virtual Second Camera" << 1 << QStringList{"Virtual Microphone"}
                                             << QStringList{};
        QTest::newRow("one virtual camera") << QByteArray("1") << 0 << "Virtual Document Camera" << 0 << "" << -1
                                            << QStringList{"Virtual Microphone"} << QStringList{};
        QTest::newRow("no camera") << QByteArray() << -1 << "" << -1 << "" << -1 << QStringList{}
                                   << QStringList{"1302:uvc control is not success init"};
    }

    void inProcess()
    {
        QFETCH(QByteArray, setting);
        QFETCH(int, result);
        QFETCH(int, mainIndex);
        QFETCH(int, secondIndex);
        qputenv("ORVANE_VIRTUAL_CAMERA", setting);

        ErrorLines errors;
        QCOMPARE(model()->searchCameraDeviceInfo(), result);
        QTEST(errors.of(QStringLiteral("_searchCameraDeviceInfoInMac")), "errors");
        const Info main = model()->getCameraInfo(PaxCameraIndexMain);
        QTEST(main.deviceNameInMac, "mainName");
        QTEST(main.deviceIndexInMac, "mainIndex");
        const Info second = model()->getCameraInfo(PaxCameraIndexSecond);
        QTEST(second.deviceNameInMac, "secondName");
        QTEST(second.deviceIndexInMac, "secondIndex");
        const QStringList modes{"640x480@30", "1280x720@30", "1920x1080@30"};
        QCOMPARE(sizes(main), mainIndex >= 0 ? modes : QStringList());
        QCOMPARE(sizes(second), secondIndex >= 0 ? modes : QStringList());
        if (mainIndex >= 0) {
            QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
            QCOMPARE(model()->getCameraCurRealSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
            QCOMPARE(model()->getCameraCurFps(PaxCameraIndexMain), 30);
            QVERIFY(model()->isValidCamera(PaxCameraIndexMain));
        }
        if (secondIndex >= 0)
            QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexSecond), QStringLiteral("1920x1080"));
        QTEST(micNames(), "mics");
        QFETCH(QStringList, mics);
        QCOMPARE(model()->getCurMicrophoneIndex(), mics.isEmpty() ? -1 : 0);
        if (result == 0) {
            const Info screen = model()->getCameraInfo(PaxCameraIndexScreen);
            QCOMPARE(screen.deviceNameInMac, expectedScreenName());
            QCOMPARE(screen.deviceIndexInMac, haveDisplay() ? (secondIndex >= 0 ? 2 : 1) : -1);
            QVERIFY(screen.optionList.isEmpty());
        }
    }

    // A scripted tool beside a copy of this program: listing and probe texts per row.
    void scriptedTool_data()
    {
        QTest::addColumn<QString>("listing");   // empty: no tool at all
        QTest::addColumn<QString>("probe");
        QTest::addColumn<bool>("holdProbe");   // the probe waits until the child releases it
        QTest::addColumn<QStringList>("expected");

        const QString p = QStringLiteral("[mytool] ");
        const QString video = p + "AVFoundation video devices:\n";
        const QString audio = p + "AVFoundation audio devices:\n";
        const QString cams = video + p + "[0] Virtual Second Camera\n" + p + "[1] Virtual Document Camera\n";
        const QString modes = p + "Supported modes:\n" + p + "  1280x720@[5.000000 30.000000]fps\n" + p
                              + "  640x480@[5.000000 15.000000]fps\n" + p + "  640x480@[5.000000 30.000000]fps\n";

        // A tool beside the program that can't run: the one beside the library is not taken instead.
        QTest::newRow("tool not runnable")
            << QString() << QString() << false
            << QStringList{"result=-1", "main=Virtual Document Camera", "index=-1", "modes=", "current=", "mics=", "curmic=-1"};
        QTest::newRow("main camera absent from the listing")
            << video + p + "[0] Virtual Document Camera 2\n" + audio + p + "[0] Mic\n" << modes << false
            << QStringList{"result=-1", "main=Virtual Document Camera", "index=-1", "modes=", "current=", "mics=Mic", "curmic=0"};
        QTest::newRow("listing without audio heading")
            << cams + p + "[0] Mic\n" << modes << false
            << QStringList{"result=0", "main=Virtual Document Camera", "index=1", "modes=640x480@30,1280x720@30",
                           "current=1280x720", "mics=", "curmic=-1"};
        QTest::newRow("audio index 100 skipped")
            << cams + audio + p + "[100] Far Mic\n" + p + "[3] Near Mic\n" << modes << false
            << QStringList{"result=0", "index=1", "mics=Near Mic", "curmic=0"};
        QTest::newRow("stream line only")
            << cams + audio << QStringLiteral("  Stream #0:0: Video: rawvideo (UYVY / 0x59565955), uyvy422, 800x600, 30 tbr\n")
            << false << QStringList{"result=0", "modes=800x600@0", "current=800x600"};
        // Queries never wait for a probe to finish.
        QTest::newRow("slow probe leaves the model free")
            << cams + audio + p + "[0] Mic\n" << modes << true
            << QStringList{"result=0", "modes=640x480@30,1280x720@30", "mics=Mic", "curmic=0", "free=1"};
    }

    void scriptedTool()
    {
        QFETCH(QString, listing);
        QFETCH(QString, probe);
        QFETCH(bool, holdProbe);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString self = dir.filePath(QStringLiteral("searchchild"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), self));
        if (!listing.isNull()) {
            QFile l(dir.filePath("listing.txt")), m(dir.filePath("probe.txt")), tool(dir.filePath("mytool"));
            QVERIFY(l.open(QIODevice::WriteOnly) && m.open(QIODevice::WriteOnly) && tool.open(QIODevice::WriteOnly));
            l.write(listing.toLatin1());
            m.write(probe.toLatin1());
            tool.write(QStringLiteral("#!/bin/sh\n"
                                      "if [ \"$1\" = -list_devices ]; then cat listing.txt; exit 1; fi\n"
                                      "%1"
                                      "cat probe.txt\n"
                                      "echo \"probe of $4\" >> probed.txt\n")
                           .arg(holdProbe ? QStringLiteral("if [ ! -e release ]; then\n"
                                                           "  touch probing; i=0\n"
                                                           "  while [ ! -e release ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"
                                                           "  rm -f probing\n"
                                                           "fi\n")
                                          : QString())
                           .toLatin1());
            tool.close();
            QVERIFY(tool.setPermissions(tool.permissions() | QFileDevice::ExeOwner));
        } else {
            QFile tool(dir.filePath("mytool"));
            QVERIFY(tool.open(QIODevice::WriteOnly));
            tool.write("not a program\n");
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVANE_SEARCH_CHILD"), QStringLiteral("1"));
        env.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QStringLiteral("2"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(self, QStringList());
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
        for (const QString& e : expected)
            QVERIFY2(lines.contains(e), qPrintable(e + " not in:\n" + lines.join('\n')));
        if (!listing.isNull()) {
            // Only the listed cameras are probed: the second one (index 0) here too.
            QFile probed(dir.filePath("probed.txt"));
            const bool mainListed = expected.contains(QStringLiteral("result=0"));
            if (mainListed) {
                QVERIFY(probed.open(QIODevice::ReadOnly));
                QCOMPARE(QString::fromLatin1(probed.readAll()), QStringLiteral("probe of 1\nprobe of 0\n"));
            } else {
                QVERIFY(!probed.exists());
            }
        }
    }

    // The names the search found open the cameras for capture.
    void foundCamerasCapture()
    {
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
        QCOMPARE(model()->searchCameraDeviceInfo(), 0);
        const QString mainName = model()->getCameraDeviceNameInMac(PaxCameraIndexMain);
        const QString secondName = model()->getCameraDeviceNameInMac(PaxCameraIndexSecond);
        QVERIFY(MacCamera::startPreviewMain(mainName, QSize(1280, 720), model()->getCameraCurFps(PaxCameraIndexMain)));
        QVERIFY(MacCamera::startPreviewSecond(secondName, QSize(640, 480), 30));
        // Both cameras deliver frames of the modes asked, each waited for as long as it takes.
        for (int i = 0; i < 5; ++i) {
            std::unique_ptr<QImage> main(MacCamera::waitFrameMain(kHangMs));
            QVERIFY(main);
            QCOMPARE(main->format(), QImage::Format_ARGB32);
            QCOMPARE(main->size(), QSize(1280, 720));
            std::unique_ptr<QImage> second(MacCamera::waitFrameSecond(kHangMs));
            QVERIFY(second);
            QCOMPARE(second->size(), QSize(640, 480));
        }
        MacCamera::stopPreviewMain();
        MacCamera::stopPreviewSecond();
        MacCamera::releaseInstance();
        // A name that is only a prefix of a listed camera opens nothing.
        QVERIFY(!MacCamera::startPreviewMain(QStringLiteral("Virtual Document"), QSize(1280, 720), 30));
        MacCamera::releaseInstance();
    }

    void laterSearchStartsAfresh()
    {
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
        QCOMPARE(model()->searchCameraDeviceInfo(), 0);
        QCOMPARE(model()->getCurMicrophoneIndex(), 0);
        QCOMPARE(model()->switchCameraSolution(PaxCameraIndexMain, 1280, 720), 0);

        qputenv("ORVANE_VIRTUAL_CAMERA", "");
        QCOMPARE(model()->searchCameraDeviceInfo(), -1);
        const Info main = model()->getCameraInfo(PaxCameraIndexMain);
        QVERIFY(main.deviceNameInMac.isEmpty());
        QCOMPARE(main.deviceIndexInMac, -1);
        QCOMPARE(main.show_option, -1);
        QVERIFY(main.optionList.isEmpty());
        QVERIFY(model()->getCameraInfo(PaxCameraIndexSecond).deviceNameInMac.isEmpty());
        QVERIFY(model()->getMicrophoneList().isEmpty());
        // The screen record and the chosen microphone outlive a failed search.
        QCOMPARE(model()->getCameraInfo(PaxCameraIndexScreen).deviceNameInMac, expectedScreenName());
        QCOMPARE(model()->getCurMicrophoneIndex(), 0);
        QCOMPARE(model()->getCameraCurFps(PaxCameraIndexMain), -1);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("ORVANE_SEARCH_CHILD"))
        return runSearchChild();
    tst_CameraSearch tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_camerasearch.moc"
