// Streaming of the UVC layer through the virtual camera (ORVANE_VIRTUAL_CAMERA=2): frames into
// the per-camera slots on the in-process path, into the shared main-camera block on the
// service path.

#include "logcapture.h"
#include "mainframeblock.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"
#include "virtualdevice.h"

#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define PAX_HAVE_LSAN 1
#endif

using Frame = PaxUvcControl::_VideoFrame;

namespace {

pax_virtual::UvcDeviceSpec device(quint16 pid, int camera)
{
    pax_virtual::UvcDeviceSpec d;
    d.vendorId = 0x0000;
    d.productId = pid;
    d.product = "Virtual";
    d.camera = camera;
    return d;
}

void useServicePath(bool service)
{
    qputenv("ORVANE_PLATFORM_VERSION", service ? "13.0" : "11.0");
    pax_resetMacosVersionCache();
}

Frame* makeFrame(int size, unsigned char fill)
{
    auto* f = new Frame;
    f->data = static_cast<unsigned char*>(std::malloc(size_t(size)));
    std::memset(f->data, fill, size_t(size));
    f->size = size;
    return f;
}

void freeFrame(Frame* f)
{
    if (!f)
        return;
    std::free(f->data);
    delete f;
}

// Ceiling of every wait for a frame: only a hang reaches it.
constexpr int kHangMs = 60000;

// Waits for a frame in the slot of camera idx, at most timeoutMs.
Frame* waitForFrame(PaxUvcControl* uvc, int idx, int timeoutMs = kHangMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (Frame* f = uvc->getVideoFrame(idx))
            return f;
        QThread::msleep(5);
    }
    return nullptr;
}

bool isJpeg(const unsigned char* data, int size)
{
    return size > 4 && data[0] == 0xff && data[1] == 0xd8 && data[size - 2] == 0xff && data[size - 1] == 0xd9;
}

} // namespace

class tst_PaxUvcStream : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void framesLandInSlot_data();
    void framesLandInSlot();
    void startArguments_data();
    void startArguments();
    void secondStartOnStreamingCamera();
    void framesKeepComing();
    void stopIsPrompt();
    void slotKeepsLatestFrame();
    void invalidSlotIndex();
    void slotFramesFreedAtDestruction();
    void streamingCameraReleased();
    void framesLandInBlock();

private:
    PaxUvcControl* open(const QList<pax_virtual::UvcDeviceSpec>& devices);
};

void tst_PaxUvcStream::init()
{
    useServicePath(false);
    pax_virtual::resetControls();
}

void tst_PaxUvcStream::cleanup()
{
    PaxUvcControl::releaseInstance();
    pax_virtual::clearUvcDevices();
}

PaxUvcControl* tst_PaxUvcStream::open(const QList<pax_virtual::UvcDeviceSpec>& devices)
{
    pax_virtual::setUvcDevices(devices);
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    return uvc;
}

void tst_PaxUvcStream::framesLandInSlot_data()
{
    QTest::addColumn<int>("idx");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("main 640x480") << 0 << 640 << 480;
    QTest::newRow("main 1280x720") << 0 << 1280 << 720;
    QTest::newRow("main 1920x1080") << 0 << 1920 << 1080;
    QTest::newRow("second 640x480") << 1 << 640 << 480;
}

void tst_PaxUvcStream::framesLandInSlot()
{
    QFETCH(int, idx);
    QFETCH(int, width);
    QFETCH(int, height);
    PaxUvcControl* uvc = open({device(0x0001, 0), device(0x0002, 1)});
    QVERIFY(uvc->isCameraValid(idx));

    QCOMPARE(uvc->startReceiveVideoFrame(idx, width, height, 30, 0), 0);
    Frame* frame = waitForFrame(uvc, idx);
    QCOMPARE(uvc->stopReceiveVideoFrame(idx), 0);
    QVERIFY(frame);
    QVERIFY(isJpeg(frame->data, frame->size));
    QImage image;
    QVERIFY(image.loadFromData(frame->data, frame->size, "JPEG"));
    QCOMPARE(image.size(), QSize(width, height));
    freeFrame(frame);
    // The other camera's slot got nothing.
    QVERIFY(!uvc->getVideoFrame(1 - idx));
}

void tst_PaxUvcStream::startArguments_data()
{
    QTest::addColumn<int>("idx");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("fps");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    // The virtual camera offers MJPEG only.
    QTest::newRow("format 0 is MJPEG") << 0 << 640 << 30 << 0 << 0 << "";
    QTest::newRow("format 5 is MJPEG") << 0 << 640 << 30 << 5 << 0 << "";
    QTest::newRow("format 2 is any compressed") << 0 << 640 << 30 << 2 << 0 << "";
    QTest::newRow("format 1 is YUYV") << 0 << 640 << 30 << 1 << -1 << "uvc_get_stream_ctrl_format_size error";
    QTest::newRow("size not offered") << 0 << 800 << 30 << 0 << -1 << "uvc_get_stream_ctrl_format_size error";
    QTest::newRow("rate not offered") << 0 << 640 << 15 << 0 << -1 << "uvc_get_stream_ctrl_format_size error";
    QTest::newRow("second camera not open") << 1 << 640 << 30 << 0 << -1 << "";
    QTest::newRow("index 2") << 2 << 640 << 30 << 0 << -1 << "";
    QTest::newRow("index -1") << -1 << 640 << 30 << 0 << -1 << "";
}

void tst_PaxUvcStream::startArguments()
{
    QFETCH(int, idx);
    QFETCH(int, width);
    QFETCH(int, fps);
    QFETCH(int, format);
    QFETCH(int, result);
    QFETCH(QString, message);
    PaxUvcControl* uvc = open({device(0x0001, 0)});
    const int height = width == 640 ? 480 : 600;

    LogCapture log;
    QCOMPARE(uvc->startReceiveVideoFrame(idx, width, height, fps, format), result);
    if (message.isEmpty())
        QCOMPARE(log.messages(), QStringList());
    else
        QCOMPARE(log.messages(), QStringList{message});
    QCOMPARE(uvc->stopReceiveVideoFrame(idx), idx == 0 ? 0 : -1);
}

void tst_PaxUvcStream::secondStartOnStreamingCamera()
{
    PaxUvcControl* uvc = open({device(0x0001, 0)});
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), 0);
    LogCapture log;
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), -1);
    QVERIFY(log.contains(QStringLiteral("uvc_start_streaming error")));
    // Stopped, it starts again.
    QCOMPARE(uvc->stopReceiveVideoFrame(0), 0);
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), 0);
    Frame* f = waitForFrame(uvc, 0);
    QVERIFY(f);
    freeFrame(f);
}

// Frames keep coming, each a new picture (the virtual camera numbers its frames) of the size
// asked. The rate they come at is a figure of bench_capture (BM_VirtualUvcStreamRate).
void tst_PaxUvcStream::framesKeepComing()
{
    PaxUvcControl* uvc = open({device(0x0001, 0)});
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), 0);
    Frame* first = waitForFrame(uvc, 0);
    QVERIFY(first);
    QByteArray previous(reinterpret_cast<const char*>(first->data), first->size);
    freeFrame(first);
    for (int i = 0; i < 10; ++i) {
        Frame* f = waitForFrame(uvc, 0);
        QVERIFY2(f, qPrintable(QStringLiteral("frame %1 did not come").arg(i + 1)));
        const QByteArray jpeg(reinterpret_cast<const char*>(f->data), f->size);
        freeFrame(f);
        QVERIFY(isJpeg(reinterpret_cast<const unsigned char*>(jpeg.constData()), jpeg.size()));
        QImage image;
        QVERIFY(image.loadFromData(jpeg, "JPEG"));
        QCOMPARE(image.size(), QSize(640, 480));
        QVERIFY(jpeg != previous);   // not the same frame again
        previous = jpeg;
    }
    QCOMPARE(uvc->stopReceiveVideoFrame(0), 0);
}

void tst_PaxUvcStream::stopIsPrompt()
{
    PaxUvcControl* uvc = open({device(0x0001, 0), device(0x0002, 1)});
    QCOMPARE(uvc->startReceiveVideoFrame(0, 1920, 1080, 30, 0), 0);
    QCOMPARE(uvc->startReceiveVideoFrame(1, 640, 480, 30, 0), 0);
    freeFrame(waitForFrame(uvc, 0));
    freeFrame(waitForFrame(uvc, 1));

    QCOMPARE(uvc->stopReceiveVideoFrame(0), 0);   // returns: a hang ends the test at its ceiling

    // No frame of camera 0 after the stop returned, while camera 1, at the same rate, goes on
    // delivering three more.
    freeFrame(uvc->getVideoFrame(0));
    for (int i = 0; i < 3; ++i) {
        Frame* second = waitForFrame(uvc, 1);
        QVERIFY(second);
        freeFrame(second);
    }
    QVERIFY(!uvc->getVideoFrame(0));
    // Stopping an idle camera is harmless.
    QCOMPARE(uvc->stopReceiveVideoFrame(0), 0);
}

void tst_PaxUvcStream::slotKeepsLatestFrame()
{
    PaxUvcControl* uvc = open({device(0x0001, 0)});
    uvc->sendVideoFrame(0, makeFrame(100, 1));
    uvc->sendVideoFrame(0, makeFrame(200, 2));
    uvc->sendVideoFrame(1, makeFrame(300, 3));
    Frame* f = uvc->getVideoFrame(0);
    QVERIFY(f);
    QCOMPARE(f->size, 200);
    QCOMPARE(int(f->data[199]), 2);
    freeFrame(f);
    QVERIFY(!uvc->getVideoFrame(0));
    f = uvc->getVideoFrame(1);
    QVERIFY(f);
    QCOMPARE(f->size, 300);
    freeFrame(f);
    QVERIFY(!uvc->getVideoFrame(1));
}

void tst_PaxUvcStream::invalidSlotIndex()
{
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    // A frame for no camera is not kept (and not leaked: the leak checker watches this process).
    uvc->sendVideoFrame(2, makeFrame(64, 9));
    uvc->sendVideoFrame(-1, makeFrame(64, 9));
    QVERIFY(!uvc->getVideoFrame(2));
    QVERIFY(!uvc->getVideoFrame(-1));
    QVERIFY(!uvc->getVideoFrame(0));
    QVERIFY(!uvc->getVideoFrame(1));
}

void tst_PaxUvcStream::slotFramesFreedAtDestruction()
{
    // Frames nobody took are freed with the object.
#ifdef PAX_HAVE_LSAN
    QCOMPARE(__lsan_do_recoverable_leak_check(), 0);
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->sendVideoFrame(0, makeFrame(4096, 1));
    uvc->sendVideoFrame(1, makeFrame(4096, 2));
    uvc = nullptr;
    PaxUvcControl::releaseInstance();
    QCOMPARE(__lsan_do_recoverable_leak_check(), 0);
#else
    // Without the leak checker: the allocator's count of bytes in use, in its arenas and in
    // blocks mapped on their own together, so it does not matter where a frame was placed.
    const auto inUse = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t big = 8 << 20;
    const size_t before = inUse();
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->sendVideoFrame(0, makeFrame(int(big), 1));
    uvc->sendVideoFrame(1, makeFrame(int(big), 2));
    QVERIFY(inUse() >= before + 2 * big);
    PaxUvcControl::releaseInstance();
    QVERIFY(inUse() < before + big);
#endif
}

void tst_PaxUvcStream::streamingCameraReleased()
{
    // Released while both cameras stream: the streams end first, and frames left in the slots
    // go with the object.
    PaxUvcControl* uvc = open({device(0x0001, 0), device(0x0002, 1)});
    QCOMPARE(uvc->startReceiveVideoFrame(0, 640, 480, 30, 0), 0);
    QCOMPARE(uvc->startReceiveVideoFrame(1, 640, 480, 30, 0), 0);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kHangMs) {
        // Let both slots fill without taking the frames.
        QThread::msleep(50);
        Frame* a = uvc->getVideoFrame(0);
        Frame* b = uvc->getVideoFrame(1);
        const bool both = a && b;
        if (a)
            uvc->sendVideoFrame(0, a);
        if (b)
            uvc->sendVideoFrame(1, b);
        if (both)
            break;
    }
    PaxUvcControl::releaseInstance();   // returns: a hang ends the test at its ceiling
#ifdef PAX_HAVE_LSAN
    QCOMPARE(__lsan_do_recoverable_leak_check(), 0);
#endif
}

void tst_PaxUvcStream::framesLandInBlock()
{
    useServicePath(true);
    QVERIFY(isAvailableMacos13());
    QVERIFY(createShareMemory() != 0);
    MainFrameBlock reader;
    QVERIFY2(reader.open(), qPrintable(reader.errorText()));
    QCOMPARE(reader.segmentSize(), size_t(0x4500000));

    // The block takes the frames of whichever camera streams, camera 1 as camera 0.
    PaxUvcControl* uvc = open({device(0x0001, 0), device(0x0002, 1)});
    QCOMPARE(uvc->startReceiveVideoFrame(1, 1280, 720, 30, 0), 0);
    QByteArray jpeg;
    QElapsedTimer t;
    t.start();
    MainFrameBlock::TakeResult r = MainFrameBlock::TakeResult::Empty;
    while (t.elapsed() < kHangMs && (r = reader.take(jpeg)) == MainFrameBlock::TakeResult::Empty)
        QThread::msleep(5);
    QCOMPARE(uvc->stopReceiveVideoFrame(1), 0);
    QCOMPARE(int(r), int(MainFrameBlock::TakeResult::Taken));
    QVERIFY(isJpeg(reinterpret_cast<const unsigned char*>(jpeg.constData()), jpeg.size()));
    QImage image;
    QVERIFY(image.loadFromData(jpeg, "JPEG"));
    QCOMPARE(image.size(), QSize(1280, 720));
    // Nothing went into the slots on this path.
    QVERIFY(!uvc->getVideoFrame(0));
    QVERIFY(!uvc->getVideoFrame(1));
    reader.removeObjects();
}

QTEST_GUILESS_MAIN(tst_PaxUvcStream)
#include "tst_paxuvcstream.moc"
