// mytool as the camera model runs it: the listing and the mode probe, read back with the
// model's own parsers.

#include "listing.h"
#include "paxcamerainfo.h"

#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString output;
};

Run runTool(const QStringList& args, const QByteArray& virtualSetting, const QString& display)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
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
    if (!p.waitForFinished(30000))
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
