// Picture-in-picture window: geometry from the screen and the camera's size reports, the aspect
// rule, grips and moving, the pointer-inside layout, the grab window and closing.
#include "dialogservices.h"
#include "dialogtest.h"
#include "graphicsview.h"
#include "mymemory.h"
#include "picturedialog.h"
#include "previewdialog.h"
#include "screengeometry.h"

#include <QCursor>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
class FakeMedia : public DialogMediaControl
{
public:
    QStringList calls;
    MediaControl* media() const override { return nullptr; }
    void switchPreview() override { calls << "switchPreview"; }
    void capture_otherCamera(const QString& name) override { calls << "capture_otherCamera " + name; }
    void closeCamera1() override { calls << "closeCamera1"; }
};

void sendMouse(QWidget* w, QEvent::Type type, QPoint global)
{
    QMouseEvent event(type, w->mapFromGlobal(global), global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
} // namespace

class TestPreviewDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    FakeMedia m_media;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.filePath("app"));
    }
    void init() { m_media.calls.clear(); }
    void cleanup() { ScreenGeometry::clearOverride(); }
    void cleanupTestCase() { MyMemory::releaseInstance(); }

    void sizeReports_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QSize>("camera");
        QTest::addColumn<QRect>("window");
        QTest::newRow("1080p camera on 1920x1080") << QSize(1920, 1080) << QSize(1920, 1080) << QRect(640, 360, 640, 360);
        QTest::newRow("640x480 camera on 1920x1080") << QSize(1920, 1080) << QSize(640, 480) << QRect(640, 360, 640, 480);
        // 1440x900: h0 = 640, w0 = 853 > 480: clamped to 480 x 300, then 480 x 360 by the aspect rule.
        QTest::newRow("640x480 camera on 1440x900") << QSize(1440, 900) << QSize(640, 480) << QRect(480, 300, 480, 360);
        // 1680x1050: h0 = 746, w0 = 560 is not above 560.
        QTest::newRow("4:3 camera on 1680x1050") << QSize(1680, 1050) << QSize(1024, 1364) << QRect(560, 152, 560, 745);
    }
    void sizeReports()
    {
        QFETCH(QSize, screen);
        QFETCH(QSize, camera);
        QFETCH(QRect, window);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
        QCOMPARE(d.geometry(), QRect(screen.width() / 3, screen.height() / 3, screen.width() / 3, screen.height() / 3));
        emit m_media.sig_solutionChangeSecond(camera.width(), camera.height());
        QCOMPARE(d.geometry().width(), screen.width() / 3);   // queued: not yet
        QCoreApplication::processEvents();
        QCOMPARE(d.geometry(), window);
    }

    void zeroSizeReportIgnored_data()
    {
        QTest::addColumn<QSize>("camera");
        QTest::newRow("zero height") << QSize(640, 0);
        QTest::newRow("zero width") << QSize(0, 480);
        QTest::newRow("negative") << QSize(-1, -1);
    }
    void zeroSizeReportIgnored()
    {
        QFETCH(QSize, camera);
        PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
        d.slotSolutionChange(camera.width(), camera.height());
        QCOMPARE(d.geometry(), QRect(640, 360, 640, 360));
    }

    void layoutFollowsThePointer()
    {
        QCursor::setPos(5, 5);   // the pointer starts outside the window
        PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        QTRY_VERIFY_WITH_TIMEOUT(d.pointerOutside(), eventwait::kHangMs);
        QCOMPARE(d.view()->geometry(), QRect(0, 0, 640, 360));
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(&d, &enter);
        QVERIFY(!d.pointerOutside());
        QCOMPARE(d.view()->geometry(), QRect(25, 25, 590, 360 - 25 - 30 - 10));
        // x0 = (640 - 180 - 2) / 2 = 229, y = 360 - 35
        QCOMPARE(d.m_buttonSwitch->geometry(), QRect(229, 325, 60, 30));
        QCOMPARE(d.m_buttonGrab->pos(), QPoint(290, 325));
        QCOMPARE(d.m_buttonClose->pos(), QPoint(351, 325));
        QCOMPARE(d.gripBottomRight()->pos(), QPoint(640 - 32, 360 - 32));
        dialogtest::saveScreenshot(&d, "pip_pointer_inside");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&d, &leave);
        QCOMPARE(d.view()->geometry(), QRect(0, 0, 640, 360));
    }

    void grabWindowShowsOnlyClose()
    {
        PreviewDialog d(&m_media, nullptr, PreviewDialog::SceneGrab);
        QVERIFY(d.m_buttonSwitch->isHidden());
        QVERIFY(d.m_buttonGrab->isHidden());
        QCOMPARE(d.m_buttonClose->pos(), QPoint((640 - 60) / 2, 325));
        QCOMPARE(d.view()->mode(), GraphicsView::GrabView);
    }

    void gripsKeepMinimumAndAspect()
    {
        PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
        d.slotSolutionChange(640, 480);   // 640 x 480 at (640, 360)
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        const QPoint grip = d.mapToGlobal(QPoint(630, 470));
        sendMouse(&d, QEvent::MouseButtonPress, grip);
        sendMouse(&d, QEvent::MouseMove, grip + QPoint(-600, 0));
        QCOMPARE(d.width(), 330);
        QCOMPARE(d.height(), 330 * 480 / 640);
        sendMouse(&d, QEvent::MouseMove, grip + QPoint(160, 0));
        QCOMPARE(d.geometry(), QRect(640, 360, 800, 600));
        sendMouse(&d, QEvent::MouseButtonRelease, grip);
    }

    void moveStopsAtTheEdges()
    {
        PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        const QPoint inside = d.mapToGlobal(QPoint(300, 100));
        sendMouse(&d, QEvent::MouseButtonPress, inside);
        sendMouse(&d, QEvent::MouseMove, inside + QPoint(5000, 5000));
        QCOMPARE(d.pos(), QPoint(1920 - 640, 1080 - 360));
        sendMouse(&d, QEvent::MouseMove, inside - QPoint(5000, 5000));
        QCOMPARE(d.pos(), QPoint(0, 0));
    }

    void switchAndGrab()
    {
        QWidget host;
        GraphicsView current(nullptr, &host, GraphicsView::MainView, GraphicsView::FitOnCreate);
        current.setSetAngleToSdk(true);
        MyMemory::getInstance()->savePtr("curGraphicsView", &current);
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
        {
            PreviewDialog d(&m_media, nullptr, PreviewDialog::ScenePip);
            d.m_buttonSwitch->click();
            QVERIFY(!current.getSetAngleToSdk());
            QVERIFY(d.view()->getSetAngleToSdk());
            d.m_buttonGrab->click();
            const QString name = MyMemory::getInstance()->getConfigSavePath() + "2024_03_05/20240305_140709.jpg";
            QCOMPARE(m_media.calls, (QStringList{"switchPreview", "capture_otherCamera " + name}));
            auto* shot = d.findChild<PictureDialog*>();
            QVERIFY(shot);
            QImage image(640, 480, QImage::Format_RGB32);
            image.fill(Qt::green);
            emit m_media.imageCaptured(image);
            QVERIFY(shot->hasPicture());
        }
        MyMemory::setClock({});
        MyMemory::getInstance()->savePtr("curGraphicsView", nullptr);
    }

    void closingClosesTheSecondCameraOnce_data()
    {
        QTest::addColumn<int>("scene");
        QTest::newRow("picture in picture") << 0;
        QTest::newRow("grab window") << 1;
    }
    void closingClosesTheSecondCameraOnce()
    {
        QFETCH(int, scene);
        QPointer<PreviewDialog> d = new PreviewDialog(&m_media, nullptr, PreviewDialog::ApplicationScene(scene));
        QSignalSpy closed(d.data(), &PreviewDialog::sigClose);
        d->show();
        d->m_buttonClose->click();
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(m_media.calls, QStringList{"closeCamera1"});
    }
};

QTEST_MAIN(TestPreviewDialog)
#include "tst_previewdialog.moc"
