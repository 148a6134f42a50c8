// Older camera model: option ordering, current camera and option, open modes.

#include "errorlines.h"
#include "paxcamerainfo1.h"

#include <QSignalSpy>
#include <QtTest>

using Option = PaxCameraInfo1::_Device_Option;
using Camera = PaxCameraInfo1::_CameraDeviceInfoS;
Q_DECLARE_METATYPE(QList<Option>)

namespace {

Option opt(const QString& format, int w, int h, int mode = PaxOpenMode1)
{
    Option o;
    o.pixelFormat = format;
    o.width = w;
    o.height = h;
    o.openMode = mode;
    o.videoSize = QStringLiteral("%1x%2").arg(w).arg(h);
    return o;
}

QStringList describe(const QList<Option>& list)
{
    QStringList out;
    for (const Option& o : list)
        out << o.pixelFormat + QLatin1Char(' ') + o.videoSize;
    return out;
}

QStringList describe(const QList<_SolutionS>& list)
{
    QStringList out;
    for (const _SolutionS& s : list)
        out << QStringLiteral("%1:%2x%3").arg(s.index).arg(s.width).arg(s.height);
    return out;
}

// Camera "A": mode 1, options [0] mode 0 640x480, [1] mode 1 1280x720, [2] mode 1 1920x1080.
// Camera "B": mode 0, options [0] mode 0 320x240, current option 0.
QList<Camera> twoCameras()
{
    Camera a;
    a.cameraName = QStringLiteral("A");
    a.openMode = PaxOpenMode1;
    a.optionList = {opt("mjpeg", 640, 480, PaxOpenMode0), opt("mjpeg", 1280, 720), opt("mjpeg", 1920, 1080)};
    Camera b;
    b.cameraName = QStringLiteral("B");
    b.openMode = PaxOpenMode0;
    b.optionList = {opt("rawvideo", 320, 240, PaxOpenMode0)};
    b.curOption = 0;
    return {a, b};
}

} // namespace

class tst_PaxCameraInfo1 : public QObject
{
    Q_OBJECT

    PaxCameraInfo1* model() { return PaxCameraInfo1::getInstance(); }
    void setCameras(const QList<Camera>& cameras, int current)
    {
        model()->m_cameraList = cameras;
        model()->m_curCamera = current;
    }

private slots:
    void cleanup() { PaxCameraInfo1::releaseInstance(); }

    void adjustOptionList_data()
    {
        QTest::addColumn<QList<Option>>("input");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("formats ordered, others and repeats dropped")
            << QList<Option>{opt("mjpeg", 1280, 720), opt("rawvideo", 640, 480), opt("h264", 1920, 1080),
                             opt("mjpeg", 1920, 1080), opt("mjpeg", 1280, 720)}
            << QStringList{"mjpeg 1920x1080", "mjpeg 1280x720", "rawvideo 640x480"};
        QTest::newRow("same width, taller first")
            << QList<Option>{opt("mjpeg", 1280, 720), opt("mjpeg", 1280, 960), opt("mjpeg", 640, 480)}
            << QStringList{"mjpeg 1280x960", "mjpeg 1280x720", "mjpeg 640x480"};
        QTest::newRow("wider ahead of taller")
            << QList<Option>{opt("mjpeg", 1920, 720), opt("mjpeg", 1280, 1080)}
            << QStringList{"mjpeg 1920x720", "mjpeg 1280x1080"};
        QTest::newRow("rawvideo sorted by width")
            << QList<Option>{opt("rawvideo", 320, 240), opt("rawvideo", 800, 600), opt("rawvideo", 640, 480),
                             opt("rawvideo", 800, 600)}
            << QStringList{"rawvideo 800x600", "rawvideo 640x480", "rawvideo 320x240"};
        QTest::newRow("same size in both formats kept once per format")
            << QList<Option>{opt("rawvideo", 640, 480), opt("mjpeg", 640, 480)}
            << QStringList{"mjpeg 640x480", "rawvideo 640x480"};
        QTest::newRow("only other formats") << QList<Option>{opt("h264", 1920, 1080), opt("yuv", 640, 480)}
                                            << QStringList{};
        QTest::newRow("empty") << QList<Option>{} << QStringList{};
    }

    void adjustOptionList()
    {
        QFETCH(QList<Option>, input);
        PaxCameraInfo1::_adjustOptionList(input);
        QTEST(describe(input), "expected");
    }

    void searchLeavesTheModelEmpty()
    {
        setCameras(twoCameras(), 1);
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        model()->searchCameraDeviceInfo();
        QVERIFY(model()->getCameraList().isEmpty());
        QCOMPARE(model()->getCurCameraIndex(), -1);
        QVERIFY(model()->getMicrophoneList().isEmpty());
        QCOMPARE(cur.count(), 0);
    }

    void searchErrorLine_data()
    {
        QTest::addColumn<bool>("withCameras");
        QTest::newRow("empty model") << false;
        QTest::newRow("model with cameras") << true;
    }

    void searchErrorLine()
    {
        QFETCH(bool, withCameras);
        if (withCameras)
            setCameras(twoCameras(), 1);
        ErrorLines errors;
        model()->searchCameraDeviceInfo();
        QCOMPARE(errors.of(QStringLiteral("searchCameraDeviceInfo")), QStringList{"46:not find camera"});
    }

    void emptyModelAnswers()
    {
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        QVERIFY(!model()->switchCurCamera(0));
        QCOMPARE(cur.count(), 0);
        QCOMPARE(model()->getCurCameraIndex(), -1);
        QCOMPARE(model()->getCurCameraOpenMode(), PaxOpenModeNone);
        QCOMPARE(model()->getCameraOpenMode(0), PaxOpenModeNone);
        QCOMPARE(model()->getCurCameraSolutionIndex(), -1);
        QVERIFY(model()->getCurCameraSolutionList().isEmpty());
        QVERIFY(model()->getCameraSolutionList(0, PaxOpenModeNone).isEmpty());
        QVERIFY(!model()->switchCurCameraOpenMode(PaxOpenMode0));
        QVERIFY(!model()->switchCurCameraSolution(-1));
        const Camera none = model()->getCameraInfo(5);
        QCOMPARE(none.reserveNumber, -1);
        QCOMPARE(none.curOption, -1);
        QCOMPARE(none.openMode, PaxOpenMode1);
    }

    void switchCurCamera_data()
    {
        QTest::addColumn<int>("i");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("signals");

        QTest::newRow("camera without option takes its first of its mode") << 0 << true << 0 << 1 << 1;
        QTest::newRow("camera with option keeps it") << 1 << true << 1 << 0 << 1;
        QTest::newRow("negative index") << -1 << false << -1 << -1 << 0;
        QTest::newRow("index at count") << 2 << false << -1 << -1 << 0;
    }

    void switchCurCamera()
    {
        QFETCH(int, i);
        setCameras(twoCameras(), -1);
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        QTEST(model()->switchCurCamera(i), "result");
        QTEST(model()->getCurCameraIndex(), "current");
        QTEST(model()->getCurCameraSolutionIndex(), "option");
        QTEST(int(cur.count()), "signals");
        QCOMPARE(model()->getCameraList(), (QStringList{"A", "B"}));
    }

    void switchCurCameraSolution_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("signals");

        QTest::newRow("first of the mode") << -1 << -1 << true << 1 << 1;
        QTest::newRow("option of the mode") << 1 << 2 << true << 2 << 1;
        QTest::newRow("already current") << 2 << 2 << false << 2 << 0;
        QTest::newRow("option of another mode") << 1 << 0 << false << 1 << 0;
        QTest::newRow("beyond the list") << 1 << 3 << false << 1 << 0;
    }

    void switchCurCameraSolution()
    {
        QFETCH(int, start);
        QFETCH(int, n);
        QList<Camera> cameras = twoCameras();
        cameras[0].curOption = start;
        setCameras(cameras, 0);
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        QSignalSpy any(model(), &PaxCameraInfo1::sigCameraInfoChange);
        QTEST(model()->switchCurCameraSolution(n), "result");
        QTEST(model()->getCurCameraSolutionIndex(), "option");
        QTEST(int(cur.count()), "signals");
        QCOMPARE(any.count(), 0);
    }

    void switchCameraSolution()
    {
        setCameras(twoCameras(), 1);
        QSignalSpy any(model(), &PaxCameraInfo1::sigCameraInfoChange);
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        QVERIFY(model()->switchCameraSolution(0, 2));
        QCOMPARE(model()->getCameraSolutionIndex(0), 2);
        QVERIFY(!model()->switchCameraSolution(0, 0));  // other mode
        QVERIFY(model()->switchCameraSolution(0, -1));  // first of camera 0's mode
        QCOMPARE(model()->getCameraSolutionIndex(0), 1);
        QVERIFY(!model()->switchCameraSolution(2, 0));
        QCOMPARE(any.count(), 2);
        QCOMPARE(any.at(0).at(0).toInt(), 0);
        QCOMPARE(cur.count(), 0);
        // Without a current camera nothing switches.
        setCameras(twoCameras(), -1);
        QVERIFY(!model()->switchCameraSolution(0, 2));
    }

    void solutionLists_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mode 0") << int(PaxOpenMode0) << QStringList{"0:640x480"};
        QTest::newRow("mode 1") << int(PaxOpenMode1) << QStringList{"1:1280x720", "2:1920x1080"};
        QTest::newRow("camera's own mode") << int(PaxOpenModeNone) << QStringList{"1:1280x720", "2:1920x1080"};
    }

    void solutionLists()
    {
        QFETCH(int, mode);
        setCameras(twoCameras(), 0);
        QTEST(describe(model()->getCameraSolutionList(0, _PaxOpenModeE(mode))), "expected");
        QCOMPARE(describe(model()->getCurCameraSolutionList()), (QStringList{"1:1280x720", "2:1920x1080"}));
    }

    void openModes()
    {
        setCameras(twoCameras(), 0);
        QSignalSpy cur(model(), &PaxCameraInfo1::sigCurCameraInfoChange);
        QSignalSpy any(model(), &PaxCameraInfo1::sigCameraInfoChange);
        QVERIFY(!model()->switchCurCameraOpenMode(PaxOpenMode1));  // already set
        QVERIFY(model()->switchCurCameraOpenMode(PaxOpenMode0));
        QCOMPARE(model()->getCurCameraOpenMode(), PaxOpenMode0);
        QCOMPARE(model()->getCurCameraSolutionIndex(), 0);
        QCOMPARE(cur.count(), 1);
        QVERIFY(model()->switchCameraOpenMode(1, PaxOpenMode1));
        QCOMPARE(model()->getCameraOpenMode(1), PaxOpenMode1);
        // No option of mode 1: the option stays.
        QCOMPARE(model()->getCameraSolutionIndex(1), 0);
        QCOMPARE(any.count(), 1);
        QVERIFY(!model()->switchCameraOpenMode(1, PaxOpenMode1));
        QVERIFY(!model()->switchCameraOpenMode(7, PaxOpenMode0));
    }
};

QTEST_GUILESS_MAIN(tst_PaxCameraInfo1)
#include "tst_paxcamerainfo1.moc"
