// MacCamera: the one-frame slot and the previews of the virtual cameras (ORVANE_VIRTUAL_CAMERA=2).

#include "maccamera.h"

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

// Takes frames every few milliseconds for `ms`, as a video-input thread does.
QList<QSize> pollFrames(Camera c, int ms, int* count = nullptr)
{
    QList<QSize> sizes;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (Frame f = take(c))
            sizes << f->size();
        QThread::msleep(5);
    }
    if (count)
        *count = sizes.size();
    return sizes;
}

Frame waitFrame(Camera c, int ms = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (Frame f = take(c))
            return f;
        QThread::msleep(5);
    }
    return nullptr;
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

    void deliversFramesAtRate_data();
    void deliversFramesAtRate();
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

void tst_MacCamera::deliversFramesAtRate_data()
{
    QTest::addColumn<Camera>("camera");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("main 1280x720") << Main << "Virtual Document Camera" << QSize(1280, 720);
    QTest::newRow("second 640x480") << Second << "Virtual Second Camera" << QSize(640, 480);
}

void tst_MacCamera::deliversFramesAtRate()
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

    int count = 0;
    const QList<QSize> sizes = pollFrames(camera, 1500, &count);
    // 30 a second for 1.5 s is 45; loose bounds for a loaded machine.
    QVERIFY2(count >= 30 && count <= 60, qPrintable(QString::number(count)));
    for (const QSize& s : sizes)
        QCOMPARE(s, size);
}

void tst_MacCamera::frameLeftAfterStopIsReturned()
{
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    QVERIFY(waitFrame(Main));
    QThread::msleep(100);   // a new frame arrives and is not taken
    MacCamera::stopPreviewMain();
    Frame left(MacCamera::getFrameMain());
    QVERIFY(left);
    QCOMPARE(left->size(), QSize(640, 480));
    QVERIFY(!MacCamera::getFrameMain());
    QThread::msleep(100);
    QVERIFY(!MacCamera::getFrameMain());   // stopped: nothing new
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
    int count = 0;
    const QList<QSize> sizes = pollFrames(Main, 700, &count);
    QVERIFY2(count >= 10, qPrintable(QString::number(count)));
    for (const QSize& s : sizes)
        QCOMPARE(s, QSize(640, 480));   // one writer: no frame of the older capture

    // And again, same mode.
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    take(Main);
    pollFrames(Main, 500, &count);
    QVERIFY2(count >= 8 && count <= 22, qPrintable(QString::number(count)));   // ~15: not two writers
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
    QThread::msleep(80);
    QVERIFY(!take(camera));
}

void tst_MacCamera::failedRestartStopsOlderCapture()
{
    QVERIFY(MacCamera::startPreviewMain(QStringLiteral("Virtual Document Camera"), QSize(640, 480), 30));
    QVERIFY(waitFrame(Main));
    QVERIFY(!MacCamera::startPreviewMain(QStringLiteral("No Such Camera"), QSize(640, 480), 30));
    take(Main);
    QThread::msleep(150);
    QVERIFY(!MacCamera::getFrameMain());   // the older capture was stopped, not left running
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
    int mainCount = 0;
    pollFrames(Main, 300, &mainCount);
    QVERIFY(mainCount > 3);
    QVERIFY(!MacCamera::getFrameSecond());
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
