#include "failingmats.h"
#include "paxopencv.h"
#include "sheetimage.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

// A dark desk, and the same desk with a light sheet on it.
QImage desk(QSize size = QSize(640, 360))
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(qRgb(20, 20, 20));
    return img;
}

QImage deskWithSheet(QSize size = QSize(640, 360))
{
    return reftest::sheetOnDesk(size, QSizeF(size.width() * 0.5, size.height() * 0.6), 8.0).image;
}

// One scripted frame: which picture and the clock reading while it is analysed.
struct Shot
{
    char picture; // 'D' desk, 'S' desk with sheet
    qint64 msecs;
};

using Script = QList<Shot>;

// The outline found by a scripted finder: four corners spanning the given rectangle.
PaxMotionDetector::OutlineFinder finderOf(bool found, QRect rect)
{
    return [found, rect](const QImage&, QPoint(&corners)[4], float& angle) {
        if (!found) {
            return false;
        }
        // transferPointsToRect: width = largest x - smallest x.
        corners[0] = rect.topLeft();
        corners[1] = QPoint(rect.left() + rect.width(), rect.top());
        corners[2] = QPoint(rect.left() + rect.width(), rect.top() + rect.height());
        corners[3] = QPoint(rect.left(), rect.top() + rect.height());
        angle = -90.0f;
        return true;
    };
}

// Ceiling of every wait on a task: only a hang reaches it.
constexpr int kHangMs = 60000;

// Hands `frame` to the running tasks of `cv` and waits until a task has kept it as its pending
// frame and let it go again, which it does once the frame is analysed. The frame is a copy of its
// own, so it is shared exactly while a task keeps it. setImage drops a frame while the task is
// inside a step: such a frame is handed again until it is kept.
bool offerUntilAnalysed(PaxOpenCv& cv, const QImage& frame)
{
    QImage own = frame.copy();
    QElapsedTimer t;
    t.start();
    while (own.isDetached()) {
        cv.setImage(own);
        if (own.isDetached()) {
            if (t.elapsed() > kHangMs) {
                return false;
            }
            QThread::msleep(1);
        }
    }
    while (!own.isDetached()) {
        if (t.elapsed() > kHangMs) {
            return false;
        }
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Script)

class TestOpenCvTasks : public QObject
{
    Q_OBJECT

private slots:
    void motionScript_data();
    void motionScript();
    void failedBuffersAreMadeAgain_data();
    void failedBuffersAreMadeAgain();
    void outlineAreaDecidesGrab_data();
    void outlineAreaDecidesGrab();
    void realOutlineDecidesGrab_data();
    void realOutlineDecidesGrab();
    void motionTaskGrabsOnceInItsThread();
    void outlineTaskReportsEveryFrame();
    void framesDroppedWhileStopped();
    void getLunkuoKeepsRecordOnFailure();
    void stopEndsThreads();
};

void TestOpenCvTasks::motionScript_data()
{
    QTest::addColumn<Script>("script");
    QTest::addColumn<QList<int>>("grabs"); // indexes of the shots that grab
    // Shot 0 only makes the buffers; the first motion after a start is ignored.
    QTest::newRow("grab at 501 ms") << Script{{'D', 0}, {'D', 100}, {'S', 200}, {'D', 300}, {'D', 1000}, {'D', 1400},
                                              {'D', 1501}, {'D', 3000}, {'D', 9000}}
                                    << QList<int>{6};
    QTest::newRow("none at 500 ms") << Script{{'D', 0}, {'D', 100}, {'S', 200}, {'D', 300}, {'D', 1000}, {'D', 1500}}
                                    << QList<int>{};
    QTest::newRow("500 then 501") << Script{{'D', 0}, {'S', 100}, {'D', 200}, {'D', 1000}, {'D', 1500}, {'D', 1501},
                                            {'D', 1502}}
                                  << QList<int>{5};
    QTest::newRow("still only never grabs") << Script{{'D', 0}, {'D', 100}, {'D', 900}, {'D', 5000}, {'D', 9000}}
                                            << QList<int>{};
    QTest::newRow("first motion ignored") << Script{{'D', 0}, {'D', 100}, {'S', 200}, {'S', 300}, {'S', 2000},
                                                    {'S', 9000}}
                                          << QList<int>{};
    QTest::newRow("motion during wait re-arms")
        << Script{{'D', 0}, {'S', 100}, {'D', 200}, {'D', 1000}, {'S', 1300}, {'S', 1400}, {'S', 1800}, {'S', 1900},
                  {'S', 1901}}
        << QList<int>{8};
    QTest::newRow("a second grab needs new motion")
        << Script{{'D', 0}, {'S', 100}, {'D', 200}, {'D', 300}, {'D', 900}, {'D', 5000}, {'S', 5100}, {'S', 5200},
                  {'S', 5600}, {'S', 5701}}
        << QList<int>{4, 9};
    QTest::newRow("clock restarts at first still frame")
        << Script{{'D', 0}, {'S', 100}, {'D', 200}, {'D', 10000}, {'D', 10400}, {'D', 10501}}
        << QList<int>{5};
}

void TestOpenCvTasks::motionScript()
{
    QFETCH(Script, script);
    QFETCH(QList<int>, grabs);
    const QImage d = desk();
    const QImage s = deskWithSheet();
    qint64 now = 0;
    int finderCalls = 0;
    PaxMotionDetector detector([&now] { return now; },
                               [&finderCalls](const QImage& frame, QPoint(&corners)[4], float& angle) {
                                   ++finderCalls;
                                   return finderOf(true, QRect(0, 0, frame.width() / 2, frame.height() / 2))(
                                       frame, corners, angle);
                               });
    QList<int> grabbed;
    for (int i = 0; i < script.size(); ++i) {
        now = script[i].msecs;
        if (grabs.contains(i)) {
            QTest::ignoreMessage(QtCriticalMsg, "curr_area: 57600 , 230400");
        }
        if (detector.step(script[i].picture == 'D' ? d : s)) {
            grabbed.append(i);
        }
    }
    QCOMPARE(grabbed, grabs);
    QCOMPARE(finderCalls, grabs.size());
}

void TestOpenCvTasks::failedBuffersAreMadeAgain_data()
{
    QTest::addColumn<bool>("standardError");
    QTest::newRow("cv::Exception") << false;
    QTest::newRow("std::bad_alloc") << true;
}

void TestOpenCvTasks::failedBuffersAreMadeAgain()
{
    QFETCH(bool, standardError);
    // A first frame whose buffers can't be made is not counted: the next one makes them.
    const QImage d = desk();
    const QImage s = deskWithSheet();
    qint64 now = 0;
    PaxMotionDetector detector([&now] { return now; }, finderOf(true, QRect(0, 0, 320, 180)));
    bool grabbed = true;
    {
        const reftest::FailingMatAllocator failing(standardError);
        grabbed = detector.step(d);
    }
    QVERIFY(!grabbed);
    QCOMPARE(detector.motionState(), -1);
    const Script script{{'D', 0}, {'D', 100}, {'S', 200}, {'D', 300}, {'D', 1000}, {'D', 1400}, {'D', 1501}};
    QList<int> grabs;
    for (int i = 0; i < script.size(); ++i) {
        now = script[i].msecs;
        if (i == 6) {
            QTest::ignoreMessage(QtCriticalMsg, "curr_area: 57600 , 230400");
        }
        if (detector.step(script[i].picture == 'D' ? d : s)) {
            grabs.append(i);
        }
    }
    QCOMPARE(grabs, QList<int>{6});
}

void TestOpenCvTasks::outlineAreaDecidesGrab_data()
{
    QTest::addColumn<bool>("found");
    QTest::addColumn<QRect>("outline");
    QTest::addColumn<bool>("grab");
    // 1920 x 1080 = 2073600 pixels; a twentieth is 103680.
    QTest::newRow("exactly a twentieth") << true << QRect(0, 0, 320, 324) << false;
    QTest::newRow("one more") << true << QRect(10, 10, 103681, 1) << true;
    QTest::newRow("half") << true << QRect(100, 100, 960, 1080) << true;
    QTest::newRow("one less than the frame") << true << QRect(0, 0, 2073599, 1) << true;
    QTest::newRow("whole frame") << true << QRect(0, 0, 1920, 1080) << false;
    QTest::newRow("not found") << false << QRect(0, 0, 900, 900) << false;
}

void TestOpenCvTasks::outlineAreaDecidesGrab()
{
    QFETCH(bool, found);
    QFETCH(QRect, outline);
    QFETCH(bool, grab);
    const QSize frame(1920, 1080);
    const QImage d = desk(frame);
    const QImage s = deskWithSheet(frame);
    qint64 now = 0;
    PaxMotionDetector detector([&now] { return now; }, finderOf(found, outline));
    const QList<QPair<const QImage*, qint64>> script = {{&d, 0}, {&s, 100}, {&d, 200}, {&d, 300}};
    for (const auto& shot : script) {
        now = shot.second;
        QVERIFY(!detector.step(*shot.first));
    }
    now = 801;
    if (grab) {
        QTest::ignoreMessage(QtCriticalMsg,
                             qPrintable(QString("curr_area: %1 , 2073600").arg(qint64(outline.width()) * outline.height())));
    }
    QCOMPARE(detector.step(d), grab);
    QCOMPARE(detector.motionState(), -1); // idle again whatever the outline
    now = 5000;
    QVERIFY(!detector.step(d));
}

void TestOpenCvTasks::realOutlineDecidesGrab_data()
{
    QTest::addColumn<QRgb>("deskColour");
    QTest::addColumn<QRgb>("pageColour");
    QTest::addColumn<bool>("grab");
    // A light sheet laid on a dark desk is a document; a dark page on a light desk outlines only the
    // frame's border, which is not one.
    QTest::newRow("light sheet, dark desk") << qRgb(40, 42, 38) << qRgb(235, 232, 228) << true;
    QTest::newRow("dark page, light desk") << qRgb(235, 232, 228) << qRgb(40, 42, 38) << false;
}

void TestOpenCvTasks::realOutlineDecidesGrab()
{
    QFETCH(QRgb, deskColour);
    QFETCH(QRgb, pageColour);
    QFETCH(bool, grab);
    const QSize frame(1920, 1080);
    QImage empty(frame, QImage::Format_RGB32);
    empty.fill(deskColour);
    const QImage page = reftest::sheetOnDesk(frame, QSizeF(900, 640), 6.0, QPointF(960, 540), deskColour, pageColour).image;
    qint64 now = 0;
    PaxMotionDetector detector([&now] { return now; });
    // Buffers, first motion (ignored), motion (armed), still from 400 ms, outline search at 1000 ms.
    const QList<QPair<const QImage*, qint64>> script = {{&empty, 0}, {&page, 100}, {&empty, 200}, {&page, 300}, {&page, 400}};
    for (const auto& shot : script) {
        now = shot.second;
        QVERIFY(!detector.step(*shot.first));
    }
    now = 1000;
    if (grab) {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^curr_area: \\d+ , 2073600$"));
    }
    QCOMPARE(detector.step(page), grab);
    QCOMPARE(detector.motionState(), -1);
}

void TestOpenCvTasks::motionTaskGrabsOnceInItsThread()
{
    PaxOpenCv cv;
    auto now = std::make_shared<std::atomic<qint64>>(0);
    cv.motionTask()->setClock([now] { return now->load(); });
    QSignalSpy grabs(&cv, &PaxOpenCv::sigGrabDoc);
    cv.startIdentifyMotion();

    // A real sheet on a 1280 x 720 desk; each frame is offered until the task has taken it.
    const QSize size(1280, 720);
    const QImage d = desk(size);
    const QImage s = reftest::sheetOnDesk(size, QSizeF(640, 420), -6.0).image;
    auto offer = [&](const QImage& img) { QVERIFY(offerUntilAnalysed(cv, img)); };
    offer(d);  // buffers
    offer(s);  // first motion, ignored
    offer(d);  // motion: armed
    offer(s);  // motion again
    now->store(1000);
    offer(s);  // still: the clock starts
    now->store(1500);
    offer(s);  // 500 ms: nothing yet
    QCOMPARE(grabs.count(), 0);
    now->store(1501);
    QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^curr_area: \\d+ , 921600$"));
    offer(s);
    QCOMPARE(grabs.count(), 1);   // emitted by the task while it analysed the frame
    now->store(9000);
    offer(s);
    offer(s);
    cv.stopIdentifyMotion();
    QCOMPARE(grabs.count(), 1);
}

void TestOpenCvTasks::outlineTaskReportsEveryFrame()
{
    PaxOpenCv cv;
    QList<LunkuoS> results;
    QObject receiver;
    connect(&cv, &PaxOpenCv::sigLunkuo, &receiver, [&results](LunkuoS l) { results.append(l); },
            Qt::QueuedConnection);
    cv.startIdentifyLunkuo();

    const reftest::Sheet sheet = reftest::sheetOnDesk(QSize(1920, 1080), QSizeF(800, 600), 10.0);
    QVERIFY(offerUntilAnalysed(cv, sheet.image));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 1, kHangMs);
    QVERIFY(results[0].found);
    QVERIFY(QLineF(results[0].corners[0], sheet.corners[3]).length() < 8 ||
            QLineF(results[0].corners[0], sheet.corners[0]).length() < 8);
    QVERIFY(results[0].angle < 0.0f && results[0].angle >= -90.0f);

    QImage uniform(800, 600, QImage::Format_RGB32);
    uniform.fill(qRgb(200, 200, 200));
    QVERIFY(offerUntilAnalysed(cv, uniform));
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 2, kHangMs);
    QVERIFY(!results[1].found);
    for (const QPoint& c : results[1].corners) {
        QCOMPARE(c, QPoint(0, 0));
    }
    QCOMPARE(results[1].angle, 0.0f);
    cv.stopIdentifyLunkuo();
}

void TestOpenCvTasks::framesDroppedWhileStopped()
{
    PaxOpenCv cv;
    QList<bool> found;
    connect(&cv, &PaxOpenCv::sigLunkuo, this, [&found](LunkuoS l) { found.append(l.found); }, Qt::DirectConnection);
    const QImage frame = deskWithSheet();
    QImage uniform(640, 360, QImage::Format_RGB32); // no outline: tells its result from the sheet's
    uniform.fill(qRgb(200, 200, 200));
    QVERIFY(frame.isDetached());
    cv.setImage(frame); // stopped: dropped, so no copy shares its pixels
    QVERIFY(frame.isDetached());
    cv.startIdentifyLunkuo();
    // The first step runs as the task starts; a kept frame would be reported before or instead of this one.
    QVERIFY(offerUntilAnalysed(cv, uniform));
    QCOMPARE(found, QList<bool>{false}); // nothing was pending
    QVERIFY(offerUntilAnalysed(cv, frame));
    QCOMPARE(found, (QList<bool>{false, true}));
    cv.stopIdentifyLunkuo();
    cv.setImage(frame);
    QVERIFY(frame.isDetached());
    cv.startIdentifyLunkuo();
    QVERIFY(offerUntilAnalysed(cv, uniform));
    QCOMPARE(found, (QList<bool>{false, true, false}));
    cv.stopIdentifyLunkuo();
}

void TestOpenCvTasks::getLunkuoKeepsRecordOnFailure()
{
    PaxOpenCv cv;
    _Lunkuo record;
    record.found = true;
    record.corners[0] = QPoint(5, 6);
    record.angle = -12.0f;
    QImage uniform(100, 100, QImage::Format_RGB32);
    uniform.fill(qRgb(10, 10, 10));
    QVERIFY(!cv.getLunkuo(uniform, record));
    QVERIFY(!record.found);
    QCOMPARE(record.corners[0], QPoint(5, 6));
    QCOMPARE(record.angle, -12.0f);

    const reftest::Sheet sheet = reftest::sheetOnDesk(QSize(1280, 720), QSizeF(600, 400), 0.0);
    QVERIFY(cv.getLunkuo(sheet.image, record));
    QVERIFY(record.found);
    QVERIFY(QLineF(record.corners[0], sheet.corners[0]).length() < 6);
    QCOMPARE(record.angle, -90.0f);
}

void TestOpenCvTasks::stopEndsThreads()
{
    PaxOpenCv cv;
    cv.startIdentifyLunkuo();
    cv.startIdentifyMotion();
    cv.startIdentifyMotion(); // already running: nothing more
    QVERIFY(cv.lunkuoTask()->isRunning());
    QVERIFY(cv.motionTask()->isRunning());
    cv.stopIdentifyLunkuo();
    QVERIFY(!cv.lunkuoTask()->isRunning());
    QVERIFY(cv.motionTask()->isRunning());
    cv.stopIdentifyMotion();
    QVERIFY(!cv.motionTask()->isRunning());
    cv.startIdentifyMotion(); // destruction stops it
}

QTEST_MAIN(TestOpenCvTasks)
#include "tst_opencvtasks.moc"
