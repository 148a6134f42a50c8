// Camera model: the mode-probe and device-listing parsers, the choice of mode and the
// query operations.

#include "paxcamerainfo.h"

#include <QtTest>

using Option = PaxCameraInfo::_Device_Option;
using Info = PaxCameraInfo::_CameraDeviceInfoS;
using Mic = PaxCameraInfo::_MicrophoneS;
Q_DECLARE_METATYPE(QList<Option>)

namespace {

// "video_size,width,height,fps,optionText" per mode.
QStringList describe(const QList<Option>& list)
{
    QStringList out;
    for (const Option& o : list)
        out << QStringLiteral("%1,%2,%3,%4,%5").arg(o.video_size).arg(o.width).arg(o.height).arg(o.fps).arg(o.optionText);
    return out;
}

QString modeLine(const QString& size, const QString& fps)
{
    return QStringLiteral("[avfoundation @ 0x7fd4c2e04a00]   %1@[1.000000 %2]fps\n").arg(size, fps);
}

Option option(int w, int h, int fps = 30)
{
    Option o;
    o.width = w;
    o.height = h;
    o.fps = fps;
    o.video_size = QStringLiteral("%1x%2").arg(w).arg(h);
    o.optionText = QStringLiteral(" video_size:%1 fps:%2").arg(o.video_size).arg(fps);
    return o;
}

QStringList describeMics(const QList<Mic>& mics)
{
    QStringList out;
    for (const Mic& m : mics)
        out << QStringLiteral("%1:%2").arg(m.index).arg(m.name);
    return out;
}

} // namespace

class tst_PaxCameraInfo : public QObject
{
    Q_OBJECT

    PaxCameraInfo* model() { return PaxCameraInfo::getInstance(); }
    void fill(int idx, const QString& name, int avIndex, const QList<Option>& options)
    {
        QMutexLocker lock(&model()->m_mutex);
        Info& d = model()->m_devices[idx];
        d.deviceNameInMac = name;
        d.deviceIndexInMac = avIndex;
        d.optionList = options;
        d.show_option = -1;
        d.real_option = -1;
    }
    void setHeightLimit(int limit)
    {
        QMutexLocker lock(&model()->m_mutex);
        model()->m_devices[0].heightLimit = limit;
    }
    void setMicrophones(const QList<Mic>& mics, int current)
    {
        QMutexLocker lock(&model()->m_mutex);
        model()->m_microphones = mics;
        model()->m_curMicrophone = current;
    }

private slots:
    void cleanup() { PaxCameraInfo::releaseInstance(); }

    void parseDeviceOptions_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("expected");

        const QString head = QStringLiteral("[avfoundation @ 0x7fd4c2e04a00] Selected framerate (29.970030) is not supported by the device.\n"
                                            "[avfoundation @ 0x7fd4c2e04a00] Supported modes:\n");
        const QString tail = QStringLiteral("[avfoundation @ 0x7fd4c2e04a00] Error opening input: Input/output error\n");

        QTest::newRow("sizes sorted ascending")
            << head + modeLine("1920x1080", "30.000000") + modeLine("640x480", "30.000000") + modeLine("1280x720", "30.000000") + tail
            << QStringList{"640x480,640,480,30, video_size:640x480 fps:30", "1280x720,1280,720,30, video_size:1280x720 fps:30",
                           "1920x1080,1920,1080,30, video_size:1920x1080 fps:30"};
        QTest::newRow("same size at 15 then 30 keeps 30")
            << head + modeLine("1280x720", "15.000000") + modeLine("1280x720", "30.000000")
            << QStringList{"1280x720,1280,720,30, video_size:1280x720 fps:15"};
        QTest::newRow("same size at 30 then 15 keeps 30")
            << head + modeLine("1280x720", "30.000000") + modeLine("1280x720", "15.000000")
            << QStringList{"1280x720,1280,720,30, video_size:1280x720 fps:30"};
        QTest::newRow("repeated line counted once")
            << modeLine("800x600", "25.000000") + modeLine("800x600", "25.000000")
            << QStringList{"800x600,800,600,25, video_size:800x600 fps:25"};
        QTest::newRow("same height narrower first")
            << modeLine("1920x1080", "30.000000") + modeLine("1440x1080", "30.000000")
            << QStringList{"1440x1080,1440,1080,30, video_size:1440x1080 fps:30", "1920x1080,1920,1080,30, video_size:1920x1080 fps:30"};
        QTest::newRow("stream line first ends the probe")
            << QStringLiteral("    Stream #0:0: Video: rawvideo (UYVY / 0x59565955), uyvy422, 1280x720, 1000k tbr, 1000k tbn\n")
                   + modeLine("1920x1080", "30.000000")
            << QStringList{"1280x720,1280,720,0,"};
        QTest::newRow("stream line after modes is appended unsorted")
            << modeLine("1920x1080", "30.000000")
                   + QStringLiteral("  Stream #0:0: Video: rawvideo (UYVY / 0x59565955), uyvy422, 640x480, 29.97 tbr\n")
                   + modeLine("320x240", "30.000000")
            << QStringList{"1920x1080,1920,1080,30, video_size:1920x1080 fps:30", "640x480,640,480,0,"};
        QTest::newRow("last fps word wins")
            << QStringLiteral("  1024x768@[5.000000fps 20.000000]fps\n")
            << QStringList{"1024x768,1024,768,20, video_size:1024x768 fps:20"};
        QTest::newRow("lines without fps or rawvideo ignored")
            << QStringLiteral("  1024x768@[5.000000 20.000000]\nInput #0, avfoundation, from '0':\n")
            << QStringList{};
        QTest::newRow("mode without a size dropped")
            << QStringLiteral("frame=  10 fps= 30 q=-1.0\n") << QStringList{};
        QTest::newRow("zero size dropped")
            << modeLine("0x0", "30.000000") + modeLine("x", "30.000000") << QStringList{};
        QTest::newRow("no output") << QString() << QStringList{};
    }

    void parseDeviceOptions()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, expected);
        QList<Option> list;
        PaxCameraInfo::_parseDeviceOptions(output, list);
        QCOMPARE(describe(list), expected);
    }

    void toolTextStopsAtZeroByte()
    {
        const QByteArray bytes("ab\xe9", 3);
        QCOMPARE(PaxCameraInfo::_toolText(bytes + QByteArray(1, '\0') + "tail"), QString::fromLatin1(bytes));
        QCOMPARE(PaxCameraInfo::_toolText("plain"), QStringLiteral("plain"));
    }

    void parseDeviceListing_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("mainName");
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<int>("secondIndex");
        QTest::addColumn<int>("screenIndex");
        QTest::addColumn<QString>("screenName");
        QTest::addColumn<bool>("audioHeading");
        QTest::addColumn<QStringList>("mics");

        const QString p = QStringLiteral("[AVFoundation indev @ 0x7f9b8a504a40] ");
        const QString video = p + "AVFoundation video devices:\n";
        const QString audio = p + "AVFoundation audio devices:\n";
        auto entry = [&](int i, const QString& name) { return p + QStringLiteral("[%1] %2\n").arg(i).arg(name); };

        QTest::newRow("cameras, screen and microphones")
            << video + entry(0, "FaceTime HD Camera") + entry(1, "USB Document Camera") + entry(2, "Capture screen 0") + audio
                   + entry(0, "MacBook Pro Microphone") + entry(1, "USB Audio") + "'': Input/output error\n"
            << "USB Document Camera" << "FaceTime HD Camera" << 1 << 0 << 2 << "Capture screen 0" << true
            << QStringList{"0:MacBook Pro Microphone", "1:USB Audio"};
        QTest::newRow("name matched exactly, not as a prefix")
            << video + entry(0, "USB Camera 2") + entry(1, "USB Camera") + audio
            << "USB Camera" << "USB Camera 2" << 1 << 0 << -1 << "" << true << QStringList{};
        QTest::newRow("longer name not matched by a shorter entry")
            << video + entry(0, "USB Camera") << "USB Camera 2" << "" << -1 << -1 << -1 << "" << false << QStringList{};
        QTest::newRow("later entry of the same name wins")
            << video + entry(0, "Cam") + entry(3, "Cam") << "Cam" << "" << 3 << -1 << -1 << "" << false << QStringList{};
        QTest::newRow("main camera missing")
            << video + entry(0, "Other") + audio + entry(0, "Mic") << "Cam" << "" << -1 << -1 << -1 << "" << true
            << QStringList{"0:Mic"};
        QTest::newRow("audio index of 100 skipped")
            << video + entry(0, "Cam") + audio + entry(5, "Mic five") + entry(100, "Mic hundred") + entry(99, "Mic 99")
            << "Cam" << "" << 0 << -1 << -1 << "" << true << QStringList{"5:Mic five", "99:Mic 99"};
        QTest::newRow("no audio heading, no microphones")
            << video + entry(0, "Cam") + entry(1, "Mic like entry") << "Cam" << "" << 0 << -1 << -1 << "" << false
            << QStringList{};
        QTest::newRow("video entries after the heading are microphones")
            << audio + entry(0, "Cam") << "Cam" << "" << -1 << -1 << -1 << "" << true << QStringList{"0:Cam"};
        QTest::newRow("bare entries without prefix")
            << QStringLiteral("AVFoundation video devices:\n[0] Cam\n[1] Capture screen 1\nAVFoundation audio devices:\n[0] Mic\n")
            << "Cam" << "" << 0 << -1 << 1 << "Capture screen 1" << true << QStringList{"0:Mic"};
        QTest::newRow("video head that is no number reads as 0")
            << video + p + "[x] Cam\n" + audio + p + "[7]\n" + p + "[] Mic\n" << "Cam" << "" << 0 << -1 << -1 << "" << true
            << QStringList{};
        QTest::newRow("empty video heads read as 0")
            << video + p + "[3] Other\n" + p + "[] Second\n" + p + "[] Cam\n" << "Cam" << "Second" << 0 << 0 << -1 << ""
            << false << QStringList{};
        QTest::newRow("screen head that is no number reads as 0")
            << video + p + "[1] Cam\n" + p + "[s] Capture screen 0\n" << "Cam" << "" << 1 << -1 << 0 << "Capture screen 0"
            << false << QStringList{};
        QTest::newRow("names in the listing form")
            << video + p + "[0] Cam %5B2%5D\n" + p + "[1] %E6%96%87%E6%A1%A3 Camera\n" + audio + p + "[0] 100%25 %5BL%5D\n"
            << QString::fromUtf8("\xe6\x96\x87\xe6\xa1\xa3 Camera") << "Cam [2]" << 1 << 0 << -1 << "" << true
            << QStringList{"0:100% [L]"};
        QTest::newRow("accented Latin-1 bytes of an older listing")
            << video + p + QString::fromLatin1("[0] Cam\xe9ra\n") << QString::fromUtf8("Cam\xc3\xa9ra") << "" << 0 << -1 << -1
            << "" << false << QStringList{};
        QTest::newRow("empty output") << QString() << "Cam" << "" << -1 << -1 << -1 << "" << false << QStringList{};
    }

    void parseDeviceListing()
    {
        QFETCH(QString, output);
        QFETCH(QString, mainName);
        QFETCH(QString, secondName);
        const PaxCameraInfo::_DeviceListingS r = PaxCameraInfo::_parseDeviceListing(output, mainName, secondName);
        QTEST(r.mainIndex, "mainIndex");
        QTEST(r.secondIndex, "secondIndex");
        QTEST(r.screenFound ? r.screenIndex : -1, "screenIndex");
        QTEST(r.screenName, "screenName");
        QTEST(r.audioHeading, "audioHeading");
        QTEST(describeMics(r.microphones), "mics");
    }

    void recordDefaults()
    {
        const Info info;
        QVERIFY(info.deviceNameInMac.isEmpty());
        QCOMPARE(info.deviceIndexInMac, -1);
        QCOMPARE(info.show_option, -1);
        QCOMPARE(info.real_option, -1);
        QCOMPARE(info.heightLimit, PaxCameraInfo::kNoHeightLimit);
        QVERIFY(info.reserveFlag);
        QCOMPARE(model()->getCurMicrophoneIndex(), -1);
    }

    void switchCameraSolution_data()
    {
        QTest::addColumn<int>("camera");
        QTest::addColumn<bool>("filled");
        QTest::addColumn<QList<Option>>("options");
        QTest::addColumn<int>("heightLimit");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("show");
        QTest::addColumn<int>("real");

        const QList<Option> three{option(640, 480), option(1280, 720), option(1920, 1080)};
        const int none = PaxCameraInfo::kNoHeightLimit;
        QTest::newRow("largest height chosen") << 0 << true << three << none << -1 << 0 << 2 << 2;
        QTest::newRow("first of two equal heights")
            << 0 << true << QList<Option>{option(1440, 1080), option(1920, 1080), option(640, 480)} << none << -1 << 0 << 0 << 0;
        QTest::newRow("explicit position") << 1 << true << three << none << 1 << 0 << 1 << 1;
        QTest::newRow("position beyond the list") << 0 << true << three << none << 3 << -1 << -1 << -1;
        QTest::newRow("empty list") << 0 << true << QList<Option>{} << none << -1 << -1 << -1 << -1;
        QTest::newRow("height limit picks the limited mode to capture") << 0 << true << three << 720 << -1 << 0 << 2 << 1;
        QTest::newRow("height limit of the main record rules the second") << 1 << true << three << 480 << 2 << 0 << 2 << 0;
        QTest::newRow("height limit without such a mode") << 0 << true << three << 600 << -1 << 0 << 2 << 2;
        QTest::newRow("mode below the limit") << 0 << true << three << 720 << 0 << 0 << 0 << 0;
        QTest::newRow("second camera while not filled") << 1 << false << three << none << 0 << -1 << -1 << -1;
        QTest::newRow("screen record while not filled") << 2 << false << three << none << 1 << 0 << 1 << 1;
    }

    void switchCameraSolution()
    {
        QFETCH(int, camera);
        QFETCH(bool, filled);
        QFETCH(QList<Option>, options);
        QFETCH(int, heightLimit);
        QFETCH(int, n);
        if (filled && camera != 0)
            fill(0, "Main", 0, {option(640, 480)});
        fill(camera, filled || camera != 0 ? "Cam" : "", 1, options);
        if (!filled)
            fill(0, "", -1, {});
        setHeightLimit(heightLimit);
        QTEST(model()->switchCameraSolution(_PaxCameraIndexE(camera), n), "result");
        const Info info = model()->getCameraInfo(_PaxCameraIndexE(camera));
        QTEST(info.show_option, "show");
        QTEST(info.real_option, "real");
    }

    void switchCameraSolutionBySize_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("show");
        QTest::addColumn<QString>("solution");

        QTest::newRow("matching size") << 1280 << 720 << 1 << "1280x720";
        QTest::newRow("first of a size") << 640 << 480 << 0 << "640x480";
        QTest::newRow("unknown size falls back to the largest") << 800 << 600 << 2 << "1920x1080";
        QTest::newRow("width alone does not match") << 1280 << 1080 << 2 << "1920x1080";
    }

    void switchCameraSolutionBySize()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        fill(0, "Cam", 0, {option(640, 480), option(1280, 720), option(1920, 1080)});
        QCOMPARE(model()->switchCameraSolution(PaxCameraIndexMain, width, height), 0);
        QTEST(model()->getCameraCurSolutionIndex(PaxCameraIndexMain), "show");
        QTEST(model()->getCameraCurSolution(PaxCameraIndexMain), "solution");
        QTEST(model()->getCameraCurRealSolution(PaxCameraIndexMain), "solution");
    }

    void switchBySizeWhileNotFilled()
    {
        fill(1, "Second", 1, {option(640, 480)});
        QCOMPARE(model()->switchCameraSolution(PaxCameraIndexSecond, 640, 480), -1);
        QCOMPARE(model()->getCameraInfo(PaxCameraIndexSecond).show_option, -1);
    }

    void queries()
    {
        fill(0, "Main", 4, {option(640, 480, 15), option(1280, 720, 25)});
        QCOMPARE(model()->switchCameraSolution(PaxCameraIndexMain, -1), 0);
        QCOMPARE(model()->getCameraSolutionList(PaxCameraIndexMain), (QStringList{"0:640x480", "1:1280x720"}));
        const QList<_SolutionS> sol = model()->getCameraSolutionList1(PaxCameraIndexMain);
        QCOMPARE(sol.size(), 2);
        QCOMPARE(sol.at(1).index, 1);
        QCOMPARE(sol.at(1).width, 1280);
        QCOMPARE(sol.at(1).height, 720);
        QCOMPARE(model()->getCameraCurFps(PaxCameraIndexMain), 25);
        QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexMain), QStringLiteral("1280x720"));
        QCOMPARE(model()->getCameraDeviceIndexInMac(PaxCameraIndexMain), 4);
        QCOMPARE(model()->getCameraDeviceNameInMac(PaxCameraIndexMain), QStringLiteral("Main"));
        QVERIFY(model()->isValidCamera(PaxCameraIndexMain));
        // Main camera without a second camera.
        QVERIFY(!model()->isValidCamera(PaxCameraIndexSecond));
        QCOMPARE(model()->getCameraCurFps(PaxCameraIndexSecond), -1);
        QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexSecond), QString());
        QCOMPARE(model()->getCameraCurSolutionIndex(PaxCameraIndexSecond), -1);
    }

    void notFilledAnswers()
    {
        fill(1, "Second", 2, {option(640, 480)});
        {
            QMutexLocker lock(&model()->m_mutex);
            model()->m_devices[1].show_option = 0;
            model()->m_devices[1].real_option = 0;
        }
        QCOMPARE(model()->getCameraSolutionList(PaxCameraIndexSecond), QStringList());
        QVERIFY(model()->getCameraSolutionList1(PaxCameraIndexSecond).isEmpty());
        QCOMPARE(model()->getCameraCurSolutionIndex(PaxCameraIndexSecond), -1);
        QCOMPARE(model()->getCameraCurSolution(PaxCameraIndexSecond), QString());
        QCOMPARE(model()->getCameraCurRealSolution(PaxCameraIndexSecond), QString());
        QCOMPARE(model()->getCameraCurFps(PaxCameraIndexSecond), -1);
        // These answer as the record stands.
        QVERIFY(model()->isValidCamera(PaxCameraIndexSecond));
        QCOMPARE(model()->getCameraDeviceIndexInMac(PaxCameraIndexSecond), 2);
        QCOMPARE(model()->getCameraInfo(PaxCameraIndexSecond).deviceNameInMac, QStringLiteral("Second"));
    }

    void indexOutOfRange_data()
    {
        QTest::addColumn<int>("idx");
        QTest::newRow("minus one") << -1;
        QTest::newRow("three") << 3;
        QTest::newRow("large") << 1000000;
    }

    void indexOutOfRange()
    {
        QFETCH(int, idx);
        fill(0, "Main", 0, {option(640, 480)});
        fill(2, "Capture screen 0", 1, {option(640, 480)});
        const _PaxCameraIndexE e = _PaxCameraIndexE(idx);
        QVERIFY(model()->getCameraInfo(e).deviceNameInMac.isEmpty());
        QCOMPARE(model()->getCameraInfo(e).deviceIndexInMac, -1);
        QVERIFY(!model()->isValidCamera(e));
        QVERIFY(model()->getCameraSolutionList(e).isEmpty());
        QVERIFY(model()->getCameraSolutionList1(e).isEmpty());
        QCOMPARE(model()->getCameraCurSolutionIndex(e), -1);
        QCOMPARE(model()->getCameraCurSolution(e), QString());
        QCOMPARE(model()->getCameraCurRealSolution(e), QString());
        QCOMPARE(model()->getCameraCurFps(e), -1);
        QCOMPARE(model()->getCameraDeviceIndexInMac(e), -1);
        QCOMPARE(model()->getCameraDeviceNameInMac(e), QString());
        QCOMPARE(model()->switchCameraSolution(e, 0), -1);
        QCOMPARE(model()->switchCameraSolution(e, 640, 480), -1);
    }

    void microphones_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("switchResult");
        QTest::addColumn<int>("currentAfter");
        QTest::addColumn<int>("infoResult");

        QTest::newRow("switch to second") << 2 << 0 << 1 << 0 << 1 << 0;
        QTest::newRow("switch beyond the list") << 2 << 0 << 2 << -1 << 0 << 0;
        QTest::newRow("negative position") << 2 << 1 << -1 << -1 << 1 << 0;
        QTest::newRow("empty list") << 0 << -1 << 0 << -1 << -1 << -1;
        QTest::newRow("list without current") << 1 << -1 << 5 << -1 << -1 << -1;
    }

    void microphones()
    {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(int, n);
        QList<Mic> mics;
        for (int i = 0; i < count; ++i) {
            Mic m;
            m.index = 10 + i;
            m.name = QStringLiteral("Mic %1").arg(i);
            mics << m;
        }
        setMicrophones(mics, current);
        QTEST(model()->switchMicrophone(n), "switchResult");
        QTEST(model()->getCurMicrophoneIndex(), "currentAfter");
        Mic out;
        out.name = QStringLiteral("untouched");
        QTEST(model()->getCurMicrophoneInfo(&out), "infoResult");
        QFETCH(int, currentAfter);
        QFETCH(int, infoResult);
        if (infoResult == 0)
            QCOMPARE(out.name, QStringLiteral("Mic %1").arg(currentAfter));
        else
            QCOMPARE(out.name, QStringLiteral("untouched"));
        QCOMPARE(model()->getMicrophoneList().size(), count);
    }
};

QTEST_GUILESS_MAIN(tst_PaxCameraInfo)
#include "tst_paxcamerainfo.moc"
