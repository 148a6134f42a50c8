// Video device list: names and descriptions from node facts, USB ids from a sysfs tree.

#include "videodeviceenum.h"

#include "fakev4l2.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using pax_platform::VideoDevice;
using pax_platform::VideoNodeFacts;
Q_DECLARE_METATYPE(QList<VideoNodeFacts>)

namespace {

QStringList describe(const QList<VideoDevice>& list)
{
    QStringList out;
    for (const VideoDevice& d : list)
        out << d.deviceName + QLatin1Char('|') + d.description;
    return out;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class tst_VideoDeviceEnum : public QObject
{
    Q_OBJECT

private slots:
    void devicesFrom_data()
    {
        QTest::addColumn<QList<VideoNodeFacts>>("nodes");
        QTest::addColumn<int>("virtualCameras");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("usb node") << QList<VideoNodeFacts>{{"/dev/video0", "HD Webcam C525", "046d0826"}} << 0 << ""
                                  << QStringList{"/dev/video0:046d0826|HD Webcam C525"};
        QTest::newRow("node without usb ids")
            << QList<VideoNodeFacts>{{"/dev/video4", "vivid", ""}} << 0 << "" << QStringList{"/dev/video4:|vivid"};
        QTest::newRow("two nodes of one card name")
            << QList<VideoNodeFacts>{{"/dev/video0", "USB Camera", "1d6b0102"}, {"/dev/video2", "USB Camera", "1d6b0103"},
                                     {"/dev/video4", "USB Camera", "1d6b0104"}}
            << 0 << ""
            << QStringList{"/dev/video0:1d6b0102|USB Camera", "/dev/video2:1d6b0103|USB Camera #2",
                           "/dev/video4:1d6b0104|USB Camera #3"};
        QTest::newRow("made-up name already taken")
            << QList<VideoNodeFacts>{{"/dev/video0", "Cam", ""}, {"/dev/video1", "Cam #2", ""}, {"/dev/video2", "Cam", ""}}
            << 0 << "" << QStringList{"/dev/video0:|Cam", "/dev/video1:|Cam #2", "/dev/video2:|Cam #3"};
        QTest::newRow("blanks cleaned, brackets kept")
            << QList<VideoNodeFacts>{{"/dev/video0", " Cam [front] ", ""}, {"/dev/video1", "", ""}} << 0 << ""
            << QStringList{"/dev/video0:|Cam [front]", "/dev/video1:|Video device"};
        QTest::newRow("two virtual cameras and the screen")
            << QList<VideoNodeFacts>{} << 2 << ":99"
            << QStringList{"virtual:00000001|Virtual Document Camera", "virtual:00000002|Virtual Second Camera",
                           "x11::99|Capture screen 0"};
        QTest::newRow("one virtual camera after the nodes")
            << QList<VideoNodeFacts>{{"/dev/video0", "Virtual Document Camera", "12345678"}} << 1 << ""
            << QStringList{"/dev/video0:12345678|Virtual Document Camera",
                           "virtual:00000001|Virtual Document Camera #2"};
        QTest::newRow("nothing") << QList<VideoNodeFacts>{} << 0 << "" << QStringList{};
    }

    void devicesFrom()
    {
        QFETCH(QList<VideoNodeFacts>, nodes);
        QFETCH(int, virtualCameras);
        QFETCH(QString, display);
        const QList<VideoDevice> list = pax_platform::videoDevicesFrom(nodes, virtualCameras, display);
        QTEST(describe(list), "expected");
        for (const VideoDevice& d : list) {
            if (d.kind == VideoDevice::V4l2Node)
                QVERIFY(d.deviceName.startsWith(d.node + QLatin1Char(':')));
            if (d.kind == VideoDevice::Screen)
                QCOMPARE(d.display, display);
        }
    }

    void usbIdFromSysfs_data()
    {
        QTest::addColumn<QByteArray>("vendor");
        QTest::addColumn<QByteArray>("product");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("expected");

        QTest::newRow("usb camera") << QByteArray("046d\n") << QByteArray("0825\n") << true << "046d0825";
        QTest::newRow("upper-case digits") << QByteArray("1BCF\n") << QByteArray("28C4\n") << true << "1bcf28c4";
        QTest::newRow("short ids padded") << QByteArray("1\n") << QByteArray("a2\n") << true << "000100a2";
        QTest::newRow("unreadable id") << QByteArray("zz\n") << QByteArray("0825\n") << true << "";
        QTest::newRow("not a usb device") << QByteArray() << QByteArray() << false << "";
    }

    void usbIdFromSysfs()
    {
        QFETCH(QByteArray, vendor);
        QFETCH(QByteArray, product);
        QFETCH(bool, usb);
        QTemporaryDir sys;
        QVERIFY(sys.isValid());
        const QString root = sys.path();
        const QString parent = usb ? root + "/devices/pci0000:00/0000:00:14.0/usb1/1-2" : root + "/devices/platform/vivid.0";
        const QString iface = usb ? parent + "/1-2:1.0" : parent;
        QVERIFY(QDir().mkpath(iface + "/video4linux/video3"));
        if (usb) {
            QVERIFY(writeFile(parent + "/idVendor", vendor));
            QVERIFY(writeFile(parent + "/idProduct", product));
            // The interface itself carries no ids.
            QVERIFY(writeFile(iface + "/bInterfaceClass", "0e\n"));
        }
        QVERIFY(QDir().mkpath(root + "/class/video4linux/video3"));
        QVERIFY(QFile::link(iface, root + "/class/video4linux/video3/device"));
        QTEST(pax_platform::usbIdFromSysfs(root, "video3"), "expected");
        QCOMPARE(pax_platform::usbIdFromSysfs(root, "video9"), QString());
    }

    // Nodes of a scripted driver: names shared with the capture side, capture nodes only,
    // USB ids from a sysfs tree, and each node's MJPEG/JPEG and YUYV modes.
    // Any bytes a driver reports give a name, and every name comes back from its listing form,
    // which holds no listing mark, line break or character outside printable ASCII.
    void listedNamesRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QByteArray every;
        for (int b = 1; b < 256; ++b)
            every += char(b);
        QString everyName;
        for (int b = 1; b < 128; ++b)
            everyName += QChar(b);
        for (int b = 128; b < 256; ++b)
            everyName += QChar(b); // no byte past 0x7F starts a valid sequence here
        QTest::newRow("every byte value once") << every << everyName;
        QTest::newRow("mixed scripts") << QByteArray("\xe6\x96\x87 \xd0\x94 \xce\x9a \xf0\x9f\x93\xb7")
                                       << QString::fromUtf8("\xe6\x96\x87 \xd0\x94 \xce\x9a \xf0\x9f\x93\xb7");
        QTest::newRow("surrogate encoded in UTF-8") << QByteArray("a\xed\xa0\x80" "b")
                                                    << QString::fromUtf8("a\xc3\xad\xc2\xa0\xc2\x80" "b");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xafx") << QString::fromUtf8("\xc3\x80\xc2\xafx");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << QString::fromUtf8("\xc3\xb4\xc2\x90\xc2\x80\xc2\x80");
        QTest::newRow("valid then cut") << QByteArray("\xc3\xa9\xe6\x96") << QString::fromUtf8("\xc3\xa9\xc3\xa6\xc2\x96");
        QTest::newRow("blanks at the ends") << QByteArray("  Cam  ") << "  Cam  ";
        QTest::newRow("escapes written literally") << QByteArray("%41%%5B%") << "%41%%5B%";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void listedNamesRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QCOMPARE(pax_platform::nameFromBytes(bytes), name);
        const QString listed = pax_platform::listedName(name);
        QCOMPARE(pax_platform::nameFromListing(listed), name);
        QCOMPARE(listed.trimmed(), listed);
        for (const QChar c : listed) {
            QVERIFY2(c.unicode() >= 0x20 && c.unicode() < 0x7F, qPrintable(listed));
            QVERIFY2(c != QLatin1Char('[') && c != QLatin1Char(']'), qPrintable(listed));
        }
    }

    void scriptedDriver()
    {
        auto size = [](int w, int h, QVector<v4l2_fract> intervals, v4l2_fract min = {1, 30}, v4l2_fract max = {1, 1}) {
            FakeV4l2::Size s;
            s.width = w;
            s.height = h;
            s.intervals = intervals;
            s.minInterval = min;
            s.maxInterval = max;
            return s;
        };
        auto format = [](quint32 pixelFormat, QVector<FakeV4l2::Size> sizes) {
            FakeV4l2::Format f;
            f.pixelFormat = pixelFormat;
            f.sizes = sizes;
            return f;
        };
        auto node = [](const char* path, const char* card, QVector<FakeV4l2::Format> formats,
                       quint32 caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING) {
            FakeV4l2::Node n;
            n.path = QString::fromLatin1(path);
            n.card = card;
            n.formats = formats;
            n.caps = caps;
            return n;
        };
        FakeV4l2 io;
        io.nodeList = {
            node("/dev/video0", "USB Camera",
                 {format(V4L2_PIX_FMT_MJPEG, {size(1920, 1080, {{1, 30}, {1, 15}}), size(1280, 720, {{1, 30}})}),
                  format(V4L2_PIX_FMT_YUYV, {size(640, 480, {})}),
                  format(V4L2_PIX_FMT_H264, {size(3840, 2160, {{1, 30}})})}),
            node("/dev/video1", "USB Camera", {}, V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING),
            node("/dev/video2", "USB Camera", {format(V4L2_PIX_FMT_JPEG, {size(800, 600, {{1, 25}})})}),
            node("/dev/video3", "Busy Camera", {format(V4L2_PIX_FMT_MJPEG, {size(640, 480, {{1, 30}})})}),
        };
        io.unopenable = QStringLiteral("/dev/video3");

        QTemporaryDir sys;
        QVERIFY(sys.isValid());
        const QString usbDevice = sys.path() + "/devices/usb1/1-1";
        QVERIFY(writeFile(usbDevice + "/idVendor", "046d\n"));
        QVERIFY(writeFile(usbDevice + "/idProduct", "0825\n"));
        QVERIFY(QDir().mkpath(usbDevice + "/1-1:1.0"));
        QVERIFY(QDir().mkpath(sys.path() + "/class/video4linux/video0"));
        QVERIFY(QFile::link(usbDevice + "/1-1:1.0", sys.path() + "/class/video4linux/video0/device"));

        const QList<VideoDevice> list = pax_platform::availableVideoDevices(io, sys.path(), 1, ":3");
        QCOMPARE(describe(list), (QStringList{"/dev/video0:046d0825|USB Camera", "/dev/video2:|USB Camera #2",
                                              "virtual:00000001|Virtual Document Camera", "x11::3|Capture screen 0"}));
        // Every name opens its node on the capture side too.
        const QList<pax_platform::v4l2::NodeName> names = pax_platform::v4l2::captureNodeNames(io);
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.at(1).name, list.at(1).description);

        auto modeText = [](const QList<pax_platform::VideoMode>& modes) {
            QStringList out;
            for (const pax_platform::VideoMode& m : modes)
                out << QStringLiteral("%1 %2x%3 %4-%5")
                           .arg(m.format == pax_platform::VideoMode::Mjpeg ? "mjpeg" : "yuyv")
                           .arg(m.width)
                           .arg(m.height)
                           .arg(m.minFps)
                           .arg(m.maxFps);
            return out;
        };
        QCOMPARE(modeText(pax_platform::videoDeviceModes(list.at(0), io)),
                 (QStringList{"mjpeg 1920x1080 15-30", "mjpeg 1280x720 30-30", "yuyv 640x480 1-30"}));
        QCOMPARE(modeText(pax_platform::videoDeviceModes(list.at(1), io)), (QStringList{"mjpeg 800x600 25-25"}));
        VideoDevice busy;
        busy.node = QStringLiteral("/dev/video3");
        QVERIFY(pax_platform::videoDeviceModes(busy, io).isEmpty());
        QCOMPARE(io.openFds(), 0);
    }

    void virtualModes()
    {
        const QList<VideoDevice> list = pax_platform::videoDevicesFrom({}, 2, ":1");
        QCOMPARE(list.size(), 3);
        for (int i = 0; i < 2; ++i) {
            const QList<pax_platform::VideoMode> modes = pax_platform::videoDeviceModes(list.at(i));
            QCOMPARE(modes.size(), 3);
            QCOMPARE(modes.at(0).width, 1920);
            QCOMPARE(modes.at(0).height, 1080);
            QCOMPARE(modes.at(2).width, 640);
            for (const pax_platform::VideoMode& m : modes) {
                QCOMPARE(m.format, pax_platform::VideoMode::Mjpeg);
                QCOMPARE(m.maxFps, 30.0);
            }
        }
        QVERIFY(pax_platform::videoDeviceModes(list.at(2)).isEmpty());
        VideoDevice missing;
        missing.node = QStringLiteral("/nonexistent/video0");
        QVERIFY(pax_platform::videoDeviceModes(missing).isEmpty());
    }

    void findByDescription()
    {
        qputenv("ORVANE_VIRTUAL_CAMERA", "2");
        VideoDevice d;
        QVERIFY(pax_platform::findVideoDevice(QStringLiteral("Virtual Second Camera"), &d));
        QCOMPARE(d.kind, VideoDevice::VirtualCamera);
        QCOMPARE(d.virtualIndex, 1);
        QVERIFY(!pax_platform::findVideoDevice(QStringLiteral("Virtual Second"), &d));
        qputenv("ORVANE_VIRTUAL_CAMERA", "");
        QVERIFY(!pax_platform::findVideoDevice(QStringLiteral("Virtual Second Camera"), &d));
    }
};

QTEST_GUILESS_MAIN(tst_VideoDeviceEnum)
#include "tst_videodeviceenum.moc"
