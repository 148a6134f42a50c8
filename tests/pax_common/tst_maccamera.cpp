// MacCamera: the one-frame slot and the previews of the virtual cameras (ORVANE_VIRTUAL_CAMERA=2).

#include "maccamera.h"
#include "virtualframecounter.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

using Frame = std::unique_ptr<QImage>;

enum Camera { Main, Second };

bool start(Camera c, const QString& name, QSize size, int fps)
{
    return c == Main ? MacCamera::startPreviewMain(name, size, fps) : MacCamera::startPreviewSecond(name, size, fps);
}

Frame take(Camera c)
{
    return Frame(c == Main ? MacCamera::getFrameMain() : MacCamera::getFrameSecond());
}

// Ceiling of every wait for a frame: only a hang reaches it.
constexpr int kHangMs = 60000;

// The next frame put into the camera's slot, waiting up to `ms` for it; null when none came.
Frame waitFrame(Camera c, int ms = kHangMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int left = int(qMax<qint64>(1, ms - timer.elapsed()));
        if (Frame f = Frame(c == Main ? MacCamera::waitFrameMain(left) : MacCamera::waitFrameSecond(left)))
            return f;
        if (timer.elapsed() >= ms)
            return nullptr;
    }
}

// Takes `n` new frames as a video-input thread does, each waited for as long as the capture needs.
// Fails the test when a frame does not come or is not `size`, or when the frame numbers the virtual
// camera draws do not increase from one frame to the next (two captures writing one slot, or an old
// frame given again). `numbers` receives the frame numbers.
void takeFrames(Camera c, int n, QSize size, QList<qint64>* numbers)
{
    qint64 previous = -1;
    for (int i = 0; i < n; ++i) {
        Frame f = waitFrame(c);
        QVERIFY2(f, qPrintable(QStringLiteral("frame %1 of %2 did not come").arg(i + 1).arg(n)));
        QCOMPARE(f->size(), size);
        QCOMPARE(f->format(), QImage::Format_ARGB32);
        const qint64 number = virtualframecounter::read(*f);
        QVERIFY2(number > previous, qPrintable(QStringLiteral("frame number %1 after %2").arg(number).arg(previous)));
        previous = number;
        *numbers << number;
    }
}

} // namespace

Q_DECLARE_METATYPE(Camera)

class tst_MacCamera : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void slotKeepsNewest();
    void slotEmptyGivesNull();
    void slotFromManyThreads();

    void deliversFrames_data();
    void deliversFrames();
    void frameLeftAfterStopIsReturned();
    void stopWithoutSessionDoesNothing();
    void restartWhileRunning();
    void refusedStart_data();
    void refusedStart();
    void failedRestartStopsOlderCapture();
    void camerasAreIndependent();
    void virtualCamerasFollowSetting_data();
    void virtualCamerasFollowSetting();
    void listAvailableCamerasIsEmpty();
    void singleton();
};

void tst_MacCamera::initTestCase()
{
    qputenv("ORVANE_VIRTUAL_CAMERA", "2");
}

void tst_MacCamera::cleanup()
{
    MacCamera::stopPreviewMain();
    MacCamera::stopPreviewSecond();
    take(Main);
    take(Second);
}

namespace {
// A frame whose pixels report when they are freed.
QImage* trackedFrame(QRgb colour, int* freed)
{
    auto* pixels = new uint[16];
    std::fill(pixels, pixels + 16, colour);
    struct Info { uint* pixels; int* freed; };
    return new QImage(reinterpret_cast<uchar*>(pixels), 4, 4, QImage::Format_ARGB32,
                      [](void* p) {
                          auto* info = static_cast<Info*>(p);
                          ++*info->freed;
                          delete[] info->pixels;
                          delete info;
                      },
                      new Info{pixels, freed});
}
} // namespace

void tst_MacCamera::slotKeepsNewest()
{
    int freedFirst = 0, freedSecond = 0;
    {
        MacCameraFrameSlot slot;
        QImage* first = trackedFrame(qRgb(255, 0, 0), &freedFirst);
        QImage* second = trackedFrame(qRgb(0, 0, 255), &freedSecond);
        slot.put(first);    // untaken...
        QCOMPARE(freedFirst, 0);
        slot.put(second);   // ...and replaced: freed by the slot
        QCOMPARE(freedFirst, 1);
        Frame got(slot.take());
        QCOMPARE(got.get(), second);
        QCOMPARE(got->pixel(0, 0), qRgb(0, 0, 255));
        QVERIFY(!slot.take());
        QCOMPARE(freedSecond, 0);   // the taker owns it now
    }
    QCOMPARE(freedSecond, 1);
    QCOMPARE(freedFirst, 1);
}

void tst_MacCamera::slotEmptyGivesNull()
{
    MacCameraFrameSlot slot;
    QVERIFY(!slot.take());
    auto* frame = new QImage(2, 2, QImage::Format_ARGB32);
    slot.put(frame);
    Frame got(slot.take());
    QCOMPARE(got.get(), frame);
    QVERIFY(!slot.take());
    // A frame left in the slot is freed with it.
    int freed = 0;
    {
        MacCameraFrameSlot other;
        other.put(trackedFrame(qRgb(1, 2, 3), &freed));
    }
    QCOMPARE(freed, 1);
}

void tst_MacCamera::slotFromManyThreads()
{
    MacCameraFrameSlot slot;
    std::atomic<bool> done{false};
    std::atomic<int> taken{0};
    std::atomic<int> wrong{0};
    std::unique_ptr<QThread> taker(QThread::create([&] {
        while (!done) {
            if (Frame f = Frame(slot.take())) {
                wrong += f->width() != 3;
                ++taken;
            }
        }
    }));
    taker->start();
    for (int i = 0; i < 5000; ++i)
        slot.put(new QImage(3, 3, QImage::Format_ARGB32));
    done = true;
    taker->wait();
    const int left = Frame(slot.take()) ? 1 : 0;
    QCOMPARE(int(wrong), 0);
    QVERIFY(taken + left >= 1);
    QVERIFY(taken + left <= 5000);
}

void tst_MacCamera::deliversFrames_data()
{
    QTest::addColumn<Camera>("camera");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("main 1280x720") << Main << "Virtual Document Camera" << QSize(1280, 720);
    QTest::newRow("second 640x480") << Second << "Virtual Second Camera" << QSize(640, 480);
}

// Frames keep coming, each new (its number above the one before) and of the size asked. The rate
// they come at is a figure of bench_capture (BM_VirtualCaptureRate), and of bench_sdk_pipeline
// through the whole pipeline.
void tst_MacCamera::deliversFrames()
{
    QFETCH(Camera, camera);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QVERIFY(start(camera, name, size, 30));
    Frame first = waitFrame(camera);
    QVERIFY(first);
    QCOMPARE(first->format(), QImage::Format_ARGB32);
    QCOMPARE(first->size(), size);
    QCOMPARE(qAlpha(first->pixel(size.width() / 2, size.height() / 2)), 255);
    QVERIFY(virtualframecounter::read(*first) >= 0);

    QList<qint64> numbers;
    takeFrames(camera, 30, size, &numbers);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(numbers.first() > virtualframecounter::read(*first));
}

void tst_MacCamera::frameLeftAfterStopIsReturned()
{
    // Stop while a frame waits untaken in the slot: it is still given afterwards. Nothing tells
    // when the capture has put a frame without taking it, so each round leaves the slot alone for
    // a few frame periods and stops; a round that found the slot empty (the capture thread not
    // scheduled in time) starts again, until the ceiling.
    QElapsedTimer timer;
    timer.start();
    Frame left;
    qint64 taken = -1;
    while (!left && timer.elapsed() < kHangMs) {
        QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
        Frame f = waitFrame(Main);
        QVERIFY(f);
        taken = virtualframecounter::read(*f);
        QThread::msleep(100);
        MacCamera::stopPreviewMain();
        left.reset(MacCamera::getFrameMain());
    }
    QVERIFY(left);
    QCOMPARE(left->size(), QSize(640, 480));
    QVERIFY(virtualframecounter::read(*left) > taken);   // the capture's newer frame, not an old one
    QVERIFY(!MacCamera::getFrameMain());
    QVERIFY(!waitFrame(Main, 200));   // stopped: nothing new
}

void tst_MacCamera::stopWithoutSessionDoesNothing()
{
    MacCamera::stopPreviewMain();
    MacCamera::stopPreviewMain();
    MacCamera::stopPreviewSecond();
    QVERIFY(!MacCamera::getFrameMain());
    QVERIFY(!MacCamera::getFrameSecond());
    // A camera can still be started afterwards.
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    QVERIFY(waitFrame(Main));
}

void tst_MacCamera::restartWhileRunning()
{
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(1280, 720), 30));
    Frame f = waitFrame(Main);
    QVERIFY(f);
    QCOMPARE(f->size(), QSize(1280, 720));

    // Restart in another mode without stopping: the older capture ends first.
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    take(Main);   // a frame of the older capture may still sit in the slot
    QList<qint64> numbers;
    takeFrames(Main, 10, QSize(640, 480), &numbers);   // one writer: no frame of the older capture
    if (QTest::currentTestFailed())
        return;

    // And again, same mode: the frame numbers of two captures writing the slot would interleave.
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    take(Main);
    numbers.clear();
    takeFrames(Main, 15, QSize(640, 480), &numbers);
}

void tst_MacCamera::refusedStart_data()
{
    QTest::addColumn<Camera>("camera");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fps");
    QTest::newRow("unknown name") << Main << "No Such Camera" << QSize(1280, 720) << 30;
    QTest::newRow("empty name") << Main << "" << QSize(1280, 720) << 30;
    QTest::newRow("other letter case") << Main << "virtual document camera" << QSize(1280, 720) << 30;
    QTest::newRow("name with a space more") << Main << "Virtual Document Camera " << QSize(1280, 720) << 30;
    QTest::newRow("size not offered") << Main << "Virtual Document Camera" << QSize(800, 600) << 30;
    QTest::newRow("rate not offered") << Main << "Virtual Document Camera" << QSize(1280, 720) << 60;
    QTest::newRow("rate below the range") << Main << "Virtual Document Camera" << QSize(1280, 720) << 15;
    QTest::newRow("zero rate") << Main << "Virtual Document Camera" << QSize(1280, 720) << 0;
    QTest::newRow("second, unknown name") << Second << "Virtual Third Camera" << QSize(640, 480) << 30;
}

void tst_MacCamera::refusedStart()
{
    QFETCH(Camera, camera);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(int, fps);
    QVERIFY(!start(camera, name, size, fps));
    QVERIFY(!waitFrame(camera, 100));
}

void tst_MacCamera::failedRestartStopsOlderCapture()
{
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    QVERIFY(waitFrame(Main));
    QVERIFY(!MacCamera::startPreviewMain(QStringLiteral("No Such Camera"), QSize(640, 480), 30));
    take(Main);
    QVERIFY(!waitFrame(Main, 200));   // the older capture was stopped, not left running
}

void tst_MacCamera::camerasAreIndependent()
{
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(1280, 720), 30));
    QVERIFY(MacCamera::startPreviewSecond(QStringLiteral("Virtual Second Camera"), QSize(640, 480), 30));
    Frame main = waitFrame(Main);
    Frame second = waitFrame(Second);
    QVERIFY(main && second);
    QCOMPARE(main->size(), QSize(1280, 720));
    QCOMPARE(second->size(), QSize(640, 480));
    MacCamera::stopPreviewSecond();
    take(Second);
    QList<qint64> numbers;
    takeFrames(Main, 4, QSize(1280, 720), &numbers);   // the main camera runs on
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!MacCamera::getFrameSecond());   // while the second put nothing more
}

void tst_MacCamera::virtualCamerasFollowSetting_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<bool>("mainStarts");
    QTest::addColumn<bool>("secondStarts");
    QTest::newRow("two cameras") << QByteArray("2") << true << true;
    QTest::newRow("one camera") << QByteArray("1") << true << false;
    QTest::newRow("off") << QByteArray() << false << false;
    QTest::newRow("missing file") << QByteArray("/nonexistent/clip.mp4") << false << false;
}

void tst_MacCamera::virtualCamerasFollowSetting()
{
    QFETCH(QByteArray, setting);
    QFETCH(bool, mainStarts);
    QFETCH(bool, secondStarts);
    qputenv("ORVANE_VIRTUAL_CAMERA", setting);
    const bool main = MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30);
    const bool second = MacCamera::startPreviewSecond(QStringLiteral("Virtual Second Camera"), QSize(640, 480), 30);
    qputenv("ORVANE_VIRTUAL_CAMERA", "2");
    QCOMPARE(main, mainStarts);
    QCOMPARE(second, secondStarts);
    if (main)
        QVERIFY(waitFrame(Main));
    if (second)
        QVERIFY(waitFrame(Second));
}

void tst_MacCamera::listAvailableCamerasIsEmpty()
{
    QVERIFY(MacCamera::listAvailableCameras().isEmpty());
}

void tst_MacCamera::singleton()
{
    MacCamera* a = MacCamera::getInstance();
    QVERIFY(a);
    QCOMPARE(MacCamera::getInstance(), a);
    MacCamera::releaseInstance();
    MacCamera* b = MacCamera::getInstance();
    QVERIFY(b);
    MacCamera::releaseInstance();
}

QTEST_GUILESS_MAIN(tst_MacCamera)
#include "tst_maccamera.moc"
