// mytool as the camera model runs it: the listing and the mode probe, read back with the
// model's own parsers.

#include "audioinput.h"
#include "fakev4l2.h"
#include "listing.h"
#include "paxcamerainfo.h"
#include "videodeviceenum.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString output;
};

Run runTool(const QStringList& args, const QByteArray& virtualSetting, const QString& display,
            const QString& microphoneName = QString(), const QPair<QString, QString>& extra = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!extra.first.isEmpty())
        env.insert(extra.first, extra.second);
    if (!microphoneName.isEmpty())
        env.insert(QStringLiteral("ORVANE_VIRTUAL_MICROPHONE_NAME"), microphoneName);
    env.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QString::fromLatin1(virtualSetting));
    if (display.isEmpty())
        env.remove(QStringLiteral("DISPLAY"));
    else
        env.insert(QStringLiteral("DISPLAY"), display);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(qEnvironmentVariable("ORVANE_BIN_DIR"));
    p.start(QStringLiteral("./mytool"), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = PaxCameraInfo::_toolText(p.readAll());
    return r;
}

const QStringList kListArgs{"-list_devices", "true", "-f", "avfoundation", "-i", "''"};

// Names of the video entries in listing order (the pieces before the audio heading).
QStringList videoNames(const QString& output)
{
    QStringList names;
    const int audio = output.indexOf(QLatin1String("AVFoundation audio devices"));
    const QStringList lines = output.left(audio < 0 ? output.size() : audio).split('\n');
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\[(\\d+)\\] (.*)$")).match(line);
        if (m.hasMatch())
            names << m.captured(1) + QLatin1Char(':') + m.captured(2);
    }
    return names;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QStringList describeMics(const QList<PaxCameraInfo::_MicrophoneS>& mics)
{
    QStringList out;
    for (const PaxCameraInfo::_MicrophoneS& m : mics)
        out << QStringLiteral("%1:%2").arg(m.index).arg(m.name);
    return out;
}

} // namespace

class tst_MyTool : public QObject
{
    Q_OBJECT

private slots:
    void listing_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<QString>("display");
        QTest::addColumn<int>("mainIndex");
        QTest::addColumn<int>("secondIndex");
        QTest::addColumn<int>("screenIndex");
        QTest::addColumn<bool>("virtualMic");

        QTest::newRow("two cameras and a screen") << QByteArray("2") << ":42" << 0 << 1 << 2 << true;
        QTest::newRow("one camera") << QByteArray("1") << ":42" << 0 << -1 << 1 << true;
        QTest::newRow("no display") << QByteArray("2") << "" << 0 << 1 << -1 << true;
        QTest::newRow("nothing virtual") << QByteArray() << "" << -1 << -1 << -1 << false;
    }

    void listing()
    {
        QFETCH(QByteArray, setting);
        QFETCH(QString, display);
        QFETCH(bool, virtualMic);
        const Run r = runTool(kListArgs, setting, display);
        QCOMPARE(r.exitCode, 0);
        const PaxCameraInfo::_DeviceListingS listing = PaxCameraInfo::_parseDeviceListing(
            r.output, QStringLiteral("Virtual Document Camera"), QStringLiteral("Virtual Second Camera"));
        QTEST(listing.mainIndex, "mainIndex");
        QTEST(listing.secondIndex, "secondIndex");
        QTEST(listing.screenFound ? listing.screenIndex : -1, "screenIndex");
        if (listing.screenFound)
            QCOMPARE(listing.screenName, QStringLiteral("Capture screen 0"));
        QVERIFY(listing.audioHeading);
        bool found = false;
        for (const PaxCameraInfo::_MicrophoneS& m : listing.microphones) {
            if (m.name == QLatin1String("Virtual Microphone")) {
                found = true;
                QCOMPARE(m.index, listing.microphones.size() - 1);
            }
        }
        QCOMPARE(found, virtualMic);
        // Every listed index appears once, counting from 0.
        const QStringList names = videoNames(r.output);
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(names.at(i).startsWith(QString::number(i) + QLatin1Char(':')), qPrintable(names.join(", ")));
    }

    // The tool starts on every device search: listing and probing load no FFmpeg (and the more
    // than two hundred libraries it pulls in).
    void loadsNoFfmpeg_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("listing") << kListArgs;
        QTest::newRow("mode probe") << QStringList{"-f", "avfoundation", "-i", "0"};
    }

    void loadsNoFfmpeg()
    {
        QFETCH(QStringList, args);
        const Run r = runTool(args, "2", ":42", QString(), {QStringLiteral("LD_DEBUG"), QStringLiteral("files")});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.output.contains(QLatin1String("libpax_platform")), "no loader trace");
        for (const char* library : {"libavformat", "libavcodec", "libavdevice", "libavutil"})
            QVERIFY2(!r.output.contains(QLatin1String(library)), library);
    }

    void probe_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("modes");

        const QStringList three{"640x480@30", "1280x720@30", "1920x1080@30"};
        QTest::newRow("main camera") << "0" << 0 << three;
        QTest::newRow("second camera") << "1" << 0 << three;
        QTest::newRow("screen has no modes") << "2" << 1 << QStringList{};
        QTest::newRow("index past the list") << "3" << 1 << QStringList{};
        QTest::newRow("not a number") << "cam" << 1 << QStringList{};
        QTest::newRow("negative") << "-1" << 1 << QStringList{};
    }

    void probe()
    {
        QFETCH(QString, input);
        const Run r = runTool({"-f", "avfoundation", "-i", input}, "2", ":42");
        QTEST(r.exitCode, "exitCode");
        QList<PaxCameraInfo::_Device_Option> list;
        PaxCameraInfo::_parseDeviceOptions(r.output, list);
        QStringList modes;
        for (const PaxCameraInfo::_Device_Option& o : list)
            modes << QStringLiteral("%1@%2").arg(o.video_size).arg(o.fps);
        QTEST(modes, "modes");
        if (!modes.isEmpty())
            QVERIFY(r.output.contains(QLatin1String("1920x1080@[30.000000 30.000000]fps")));
    }

    // Names come back from the printed listing exactly as the enumerators gave them.
    void namesReadBack_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("microphone");
        QTest::newRow("plain names") << "USB Document Camera" << "USB Audio";
        QTest::newRow("accented names") << QString::fromUtf8("Cam\xc3\xa9ra de documents")
                                        << QString::fromUtf8("Audio interne St\xc3\xa9r\xc3\xa9o analogique");
        QTest::newRow("umlaut and sign") << QString::fromUtf8("Dokumentenkamera f\xc3\xbcr B\xc3\xbcro\xc2\xae")
                                         << QString::fromUtf8("Eingebautes Ger\xc3\xa4t");
    }

    void namesReadBack()
    {
        QFETCH(QString, camera);
        QFETCH(QString, microphone);
        const QByteArray printed =
            mytool::listing({QStringLiteral("Other Camera"), camera, QStringLiteral("Capture screen 0")},
                            {QStringLiteral("Monitor"), microphone});
        const PaxCameraInfo::_DeviceListingS listing =
            PaxCameraInfo::_parseDeviceListing(PaxCameraInfo::_toolText(printed), camera, QString());
        QCOMPARE(listing.mainIndex, 1);
        QCOMPARE(listing.screenIndex, 2);
        QCOMPARE(describeMics(listing.microphones), (QStringList{"0:Monitor", "1:" + microphone}));
    }

    // Card names as a driver reports them and microphone names as the audio source gives them,
    // in any script or byte sequence: the camera with the main camera's USB ids and the
    // microphone are found again in the printed listing, under the names given.
    void namesFoundThroughDriverAndSource_data()
    {
        QTest::addColumn<QByteArray>("card");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("microphone");
        QTest::newRow("plain ASCII") << QByteArray("USB Document Camera") << "USB Document Camera" << "USB Audio";
        QTest::newRow("Chinese") << QByteArray("\xe6\x96\x87\xe6\xa1\xa3 Camera")
                                 << QString::fromUtf8("\xe6\x96\x87\xe6\xa1\xa3 Camera")
                                 << QString::fromUtf8("\xe9\xba\xa6\xe5\x85\x8b\xe9\xa3\x8e \xe9\x98\xb5\xe5\x88\x97");
        QTest::newRow("Cyrillic") << QByteArray("\xd0\x94\xd0\xbe\xd0\xba-\xd0\xba\xd0\xb0\xd0\xbc\xd0\xb5\xd1\x80\xd0\xb0")
                                  << QString::fromUtf8("\xd0\x94\xd0\xbe\xd0\xba-\xd0\xba\xd0\xb0\xd0\xbc\xd0\xb5\xd1\x80\xd0\xb0")
                                  << QString::fromUtf8("\xd0\x9c\xd0\xb8\xd0\xba\xd1\x80\xd0\xbe\xd1\x84\xd0\xbe\xd0\xbd");
        QTest::newRow("Greek") << QByteArray("\xce\x9a\xce\xac\xce\xbc\xce\xb5\xcf\x81\xce\xb1")
                               << QString::fromUtf8("\xce\x9a\xce\xac\xce\xbc\xce\xb5\xcf\x81\xce\xb1")
                               << QString::fromUtf8("\xce\x9c\xce\xb9\xce\xba\xcf\x81\xcf\x8c\xcf\x86\xcf\x89\xce\xbd\xce\xbf");
        QTest::newRow("emoji") << QByteArray("Cam \xf0\x9f\x93\xb7 Pro") << QString::fromUtf8("Cam \xf0\x9f\x93\xb7 Pro")
                               << QString::fromUtf8("Mic \xf0\x9f\x8e\xa4");
        // Bytes that are no UTF-8 are shown as the Latin-1 characters of their values.
        QTest::newRow("invalid UTF-8") << QByteArray("Cam\xff\xfe") << QString::fromUtf8("Cam\xc3\xbf\xc3\xbe")
                                       << QString::fromUtf8("Mic\xc3\xbf\xc3\xbe");
        QTest::newRow("cut UTF-8 sequence") << QByteArray("Cam \xe6\x96") << QString::fromUtf8("Cam \xc3\xa6\xc2\x96")
                                            << QString::fromUtf8("Mic \xc3\xa6");
        QTest::newRow("brackets") << QByteArray("Cam [HD] (2)") << "Cam [HD] (2)" << "[Mic] 1]";
        QTest::newRow("percent signs") << QByteArray("Cam 100% %41") << "Cam 100% %41" << "Mic %5B 50%";
    }

    void namesFoundThroughDriverAndSource()
    {
        QFETCH(QByteArray, card);
        QFETCH(QString, shown);
        QFETCH(QString, microphone);

        // The scripted driver: another camera first, then the main camera (USB ids 0c45:6366).
        FakeV4l2 io;
        FakeV4l2::Node other;
        other.path = QStringLiteral("/dev/video0");
        other.card = "Other Camera";
        FakeV4l2::Node main = other;
        main.path = QStringLiteral("/dev/video1");
        main.card = card;
        io.nodeList = {other, main};
        QTemporaryDir sys;
        QVERIFY(sys.isValid());
        const QString usbDevice = sys.path() + "/devices/usb1/1-1";
        QVERIFY(writeFile(usbDevice + "/idVendor", "0c45\n"));
        QVERIFY(writeFile(usbDevice + "/idProduct", "6366\n"));
        QVERIFY(QDir().mkpath(usbDevice + "/1-1:1.0"));
        QVERIFY(QDir().mkpath(sys.path() + "/class/video4linux/video1"));
        QVERIFY(QFile::link(usbDevice + "/1-1:1.0", sys.path() + "/class/video4linux/video1/device"));
        const QList<pax_platform::VideoDevice> devices = pax_platform::availableVideoDevices(io, sys.path(), 0, ":7");
        QStringList video;
        QString mainName;
        for (const pax_platform::VideoDevice& d : devices) {
            video << d.description;
            if (d.deviceName.endsWith(QLatin1String(":0c456366")))
                mainName = d.description;
        }
        QCOMPARE(mainName, shown);
        // The capture side opens the node by the same name.
        const QList<pax_platform::v4l2::NodeName> names = pax_platform::v4l2::captureNodeNames(io);
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.at(1).name, shown);

        // The virtual microphone source under the row's name, in this process and in mytool's.
        qputenv("ORVANE_VIRTUAL_CAMERA", "1");
        qputenv("ORVANE_VIRTUAL_MICROPHONE_NAME", microphone.toUtf8());
        QStringList audio;
        for (const pax_platform::AudioSourceInfo& a : pax_platform::listAudioSources())
            audio << a.name;
        qunsetenv("ORVANE_VIRTUAL_MICROPHONE_NAME");
        qunsetenv("ORVANE_VIRTUAL_CAMERA");
        QVERIFY2(audio.contains(microphone), qPrintable(audio.join(", ")));

        const QByteArray printed = mytool::listing(video, audio);
        const PaxCameraInfo::_DeviceListingS listing =
            PaxCameraInfo::_parseDeviceListing(PaxCameraInfo::_toolText(printed), mainName, QString());
        QCOMPARE(listing.mainIndex, 1);
        QCOMPARE(listing.screenIndex, 2);
        QStringList expectedMics;
        for (int i = 0; i < audio.size(); ++i)
            expectedMics << QStringLiteral("%1:%2").arg(i).arg(audio.at(i));
        QCOMPARE(describeMics(listing.microphones), expectedMics);
        // Plain ASCII names are printed as they are.
        if (QTest::currentDataTag() == QLatin1String("plain ASCII"))
            QVERIFY(printed.contains("[mytool] [1] USB Document Camera\n"));

        // The same microphone through the built tool's own listing.
        const Run r = runTool(kListArgs, "1", QString(), microphone);
        QCOMPARE(r.exitCode, 0);
        const PaxCameraInfo::_DeviceListingS fromTool = PaxCameraInfo::_parseDeviceListing(
            r.output, QStringLiteral("Virtual Document Camera"), QString());
        QVERIFY(fromTool.mainIndex >= 0);
        QCOMPARE(fromTool.microphones.isEmpty() ? QString() : fromTool.microphones.last().name, microphone);
    }

    void modeLineShape_data()
    {
        QTest::addColumn<double>("minFps");
        QTest::addColumn<double>("maxFps");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("fps");
        QTest::newRow("one rate") << 30.0 << 30.0 << QByteArray("[mytool]   1920x1080@[30.000000 30.000000]fps\n") << 30;
        QTest::newRow("rate range") << 7.5 << 15.0 << QByteArray("[mytool]   1920x1080@[7.500000 15.000000]fps\n") << 15;
    }

    void modeLineShape()
    {
        QFETCH(double, minFps);
        QFETCH(double, maxFps);
        const QByteArray line = mytool::modeLine(1920, 1080, minFps, maxFps);
        QTEST(line, "line");
        QList<PaxCameraInfo::_Device_Option> list;
        PaxCameraInfo::_parseDeviceOptions(PaxCameraInfo::_toolText(line), list);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.at(0).video_size, QStringLiteral("1920x1080"));
        QTEST(list.at(0).fps, "fps");
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("other input format") << QStringList{"-f", "v4l2", "-i", "0"};
        QTest::newRow("missing input") << QStringList{"-f", "avfoundation"};
        QTest::newRow("option without value") << QStringList{"-f", "avfoundation", "-i"};
        QTest::newRow("unknown option") << QStringList{"-x", "1", "-f", "avfoundation", "-i", "0"};
    }

    void badArguments()
    {
        QFETCH(QStringList, args);
        const Run r = runTool(args, "2", "");
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.output.contains(QLatin1String("fps")));
    }
};

QTEST_GUILESS_MAIN(tst_MyTool)
#include "tst_mytool.moc"
