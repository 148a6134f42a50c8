// The live view on the X display: zoom and rotation (the live angle goes to the camera SDK),
// wheel zoom about the pointer, current-view gating of compare views, the preview hand-over
// between compare views, still pictures, and touch pinch gestures.

#include "eventwait.h"
#include "drawitem.h"
#include "drawtestsupport.h"
#include "graphicsscene.h"
#include "graphicsview.h"

#include <QAction>
#include <QGraphicsPixmapItem>
#include <QMenu>
#include <QMimeData>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTouchDevice>
#include <QWheelEvent>
#include <QtTest>

using namespace drawtest;

namespace
{
// Stands in for the main window: the registry entry "curMainWindow" with its two sliders.
class FakeMainWindow : public QWidget
{
public:
    FakeMainWindow()
    {
        zoom = new QSlider(this);
        zoom->setObjectName(QStringLiteral("m_sliderZoom"));
        zoom->setRange(100000, 5000000);
        rotate = new QSlider(this);
        rotate->setObjectName(QStringLiteral("m_sliderRotate"));
        rotate->setRange(0, 360);
    }
    QSlider* zoom;
    QSlider* rotate;
};

QPixmap filled(int w, int h)
{
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::darkCyan);
    return pixmap;
}

void sendWheel(GraphicsView* view, const QPoint& pos, int delta)
{
    QWheelEvent event(QPointF(pos), QPointF(view->viewport()->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view->viewport(), &event);
}
}

class TstGraphicsView : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    RecordingMediaLink m_media;
    RecordingCameraLink m_camera;
    FakeMainWindow* m_window = nullptr;
    QTouchDevice* m_touch = nullptr;

    // A shown view with a live item carrying a picture, registered as the current view.
    GraphicsView* liveView(GraphicsView::Mode mode = GraphicsView::MainView, QSize picture = QSize(1280, 720))
    {
        auto* view = new GraphicsView(m_media.bridge(), nullptr, mode, GraphicsView::FitOnCreate);
        view->resize(800, 600);
        view->show();
        if (!QTest::qWaitForWindowExposed(view, eventwait::kHangMs))
            qWarning("view not exposed");
        view->slotPreview();
        view->liveItem()->setPixmap(filled(picture.width(), picture.height()));
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), view);
        view->slotFitToView();
        m_media.calls.clear();
        m_camera.sent.clear();
        return view;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        initSettings(m_dir.path());
        m_touch = QTest::createTouchDevice();
    }
    void init()
    {
        initSettings(m_dir.path());
        m_media.calls.clear();
        m_camera = RecordingCameraLink();
        DrawLinks::setMediaLink(&m_media);
        DrawLinks::setCameraLink(&m_camera);
        m_window = new FakeMainWindow;
        MyMemory::getInstance()->savePtr(QStringLiteral("curMainWindow"), static_cast<QObject*>(m_window));
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), nullptr);
        GraphicsView::setPictureChooser(nullptr);
    }
    void cleanup()
    {
        MyMemory::getInstance()->savePtr(QStringLiteral("curMainWindow"), nullptr);
        delete m_window;
        m_window = nullptr;
        DrawLinks::setMediaLink(nullptr);
        DrawLinks::setCameraLink(nullptr);
    }
    void cleanupTestCase() { MyMemory::releaseInstance(); }

    void liveRotationGoesToTheSdk_data()
    {
        QTest::addColumn<double>("initAngle");
        QTest::addColumn<int>("slider");
        QTest::addColumn<double>("sdkAngle");
        QTest::newRow("270 with init 0") << 0.0 << 270 << -90.0;
        QTest::newRow("270 with init 90") << 90.0 << 270 << 0.0;
        QTest::newRow("360 with init 0") << 0.0 << 360 << 0.0;
        QTest::newRow("0 with init 90") << 90.0 << 0 << 90.0;
        QTest::newRow("90 with init 0") << 0.0 << 90 << 90.0;
        QTest::newRow("180 with init 90") << 90.0 << 180 << -90.0;
    }
    void liveRotationGoesToTheSdk()
    {
        QFETCH(double, initAngle);
        QFETCH(int, slider);
        QFETCH(double, sdkAngle);
        QScopedPointer<GraphicsView> view(liveView());
        m_camera.angle = 45; // an angle none of the rows produces
        view->setInitAngle(initAngle);
        const QTransform before = view->liveItem()->sceneTransform();
        view->slotRotate(slider);
        QCOMPARE(m_camera.sent, QVector<double>{sdkAngle});
        QCOMPARE(view->liveItem()->rotation(), 0.0); // the SDK turns the frames, never the item
        QCOMPARE(view->liveItem()->sceneTransform(), before);
        QCOMPARE(m_window->rotate->value(), slider == 360 ? 360 : slider);
        QVERIFY(!view->fitAllowed());
        QTRY_VERIFY_WITH_TIMEOUT(view->fitAllowed(), eventwait::kHangMs);
        // Once the SDK has the angle, the same rotation sends nothing again.
        view->slotRotate(slider);
        QCOMPARE(m_camera.sent.size(), 1);
    }

    void quarterTurns_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("right");
        QTest::addColumn<int>("expected");
        QTest::newRow("right from 135") << 135 << true << 180;
        QTest::newRow("right from 270") << 270 << true << 0;
        QTest::newRow("right from 0") << 0 << true << 90;
        QTest::newRow("left from 0") << 0 << false << 270;
        QTest::newRow("left from 90") << 90 << false << 0;
        QTest::newRow("left from 200") << 200 << false << 90;
    }
    void quarterTurns()
    {
        QFETCH(int, start);
        QFETCH(bool, right);
        QFETCH(int, expected);
        QScopedPointer<GraphicsView> view(liveView());
        view->slotRotate(start);
        if (right)
            view->rotateRight();
        else
            view->rotateLeft();
        QCOMPARE(view->getRotate(), expected);
        QCOMPARE(view->tipLabel()->text(), QString::number(expected) + QChar(0x00B0));
    }

    void zoomButtonsAndSlider_data()
    {
        QTest::addColumn<QByteArray>("action");
        QTest::addColumn<int>("times");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("tip");
        QTest::newRow("zoom out once") << QByteArray("zoomOut") << 1 << 1.1 << "110%";
        QTest::newRow("zoom in once") << QByteArray("zoomIn") << 1 << 1 / 1.1 << "90%";
        QTest::newRow("zoom out stops at 5.0") << QByteArray("zoomOut") << 40 << 5.0 << "500%";
        QTest::newRow("zoom in stops at 0.1") << QByteArray("zoomIn") << 40 << 0.1 << "10%";
    }
    void zoomButtonsAndSlider()
    {
        QFETCH(QByteArray, action);
        QFETCH(int, times);
        QFETCH(double, scale);
        QFETCH(QString, tip);
        QScopedPointer<GraphicsView> view(liveView());
        view->slot1on1();
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(view.data(), action.constData()));
        QVERIFY(qAbs(view->scale() - scale) < 1e-9);
        QVERIFY(qAbs(view->liveItem()->scale() - scale) < 1e-9);
        QCOMPARE(m_window->zoom->value(), int(view->scale() * 1000000));
        QCOMPARE(view->tipLabel()->text(), tip);
    }

    void sliderZoomIsClamped_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<double>("scale");
        QTest::newRow("in range") << 2500000 << 2.5;
        QTest::newRow("below") << 50000 << 0.1;
        QTest::newRow("above") << 9000000 << 5.0;
    }
    void sliderZoomIsClamped()
    {
        QFETCH(int, value);
        QFETCH(double, scale);
        QScopedPointer<GraphicsView> view(liveView());
        view->zoomInOut(value);
        QCOMPARE(view->scale(), scale);
    }

    void wheelKeepsThePointUnderThePointer_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("delta");
        QTest::newRow("up near the top left") << QPoint(150, 120) << 120;
        QTest::newRow("down near the top left") << QPoint(150, 120) << -120;
        QTest::newRow("up at the centre") << QPoint(400, 300) << 120;
        QTest::newRow("up near the bottom right") << QPoint(700, 450) << 120;
        QTest::newRow("down near the bottom right") << QPoint(700, 450) << -120;
    }
    void wheelKeepsThePointUnderThePointer()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, delta);
        QScopedPointer<GraphicsView> view(liveView());
        QGraphicsPixmapItem* item = view->liveItem();
        const double before = view->scale();
        for (int step = 0; step < 3; ++step) {
            const QPointF local = item->mapFromScene(view->mapToScene(pos));
            sendWheel(view.data(), pos, delta);
            const QPoint after = view->mapFromScene(item->mapToScene(local));
            QVERIFY2((after - pos).manhattanLength() <= 2,
                     qPrintable(QStringLiteral("moved to %1,%2").arg(after.x()).arg(after.y())));
        }
        QVERIFY(delta > 0 ? view->scale() > before : view->scale() < before);
    }

    void wheelClampsAndObeysTheSwitch()
    {
        QScopedPointer<GraphicsView> view(liveView());
        for (int i = 0; i < 60; ++i)
            sendWheel(view.data(), QPoint(400, 300), 120);
        QCOMPARE(view->scale(), 5.0);
        for (int i = 0; i < 80; ++i)
            sendWheel(view.data(), QPoint(400, 300), -120);
        QCOMPARE(view->scale(), 0.1);
        view->bWheelZoom = false;
        sendWheel(view.data(), QPoint(400, 300), 120);
        QCOMPARE(view->scale(), 0.1);
    }

    void nonCurrentCompareViewOnlyWheelZooms()
    {
        QScopedPointer<GraphicsView> current(liveView(GraphicsView::CompareView));
        QScopedPointer<GraphicsView> other(liveView(GraphicsView::CompareView));
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), current.data());
        const double scale = other->scale();
        other->zoomOut();
        other->zoomIn();
        other->zoomInOut(3000000);
        other->slot1on1();
        other->slotRotate(90);
        other->rotateRight();
        other->liveItem()->setScale(2.0);
        other->slotFitToView();
        QCOMPARE(other->liveItem()->scale(), 2.0);
        QCOMPARE(other->scale(), scale);
        QCOMPARE(other->rotation(), 0.0);
        sendWheel(other.data(), QPoint(400, 300), 120);
        QVERIFY(qAbs(other->scale() - scale * 1.1) < 1e-9);
        QCOMPARE(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")), current.data());

        // A click makes it current and shows its scale and angle on the sliders.
        QTest::mouseClick(other->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")), other.data());
        QCOMPARE(m_window->zoom->value(), int(other->scale() * 1000000));
        other->zoomOut();
        QVERIFY(qAbs(other->scale() - scale * 1.21) < 1e-9);
    }

    void previewHandOverBetweenCompareViews()
    {
        GraphicsView first(m_media.bridge(), nullptr, GraphicsView::CompareView, GraphicsView::FitOnCreate);
        GraphicsView second(m_media.bridge(), nullptr, GraphicsView::CompareView, GraphicsView::FitOnCreate);
        for (GraphicsView* sender : {&first, &second})
            for (GraphicsView* receiver : {&first, &second})
                connect(sender, &GraphicsView::sigBroadcastNotice, receiver, &GraphicsView::slotBroadcastNotice,
                        Qt::DirectConnection);
        for (GraphicsView* view : {&first, &second}) {
            view->resize(600, 400);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view, eventwait::kHangMs));
            QVERIFY(view->previewButton());
            QCOMPARE(view->previewButton()->geometry(), QRect(300, 150, 100, 100));
            QCOMPARE(view->pictureButton()->geometry(), QRect(200, 150, 100, 100));
        }
        QTest::mouseClick(first.previewButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!first.previewButton(), eventwait::kHangMs);
        QVERIFY(first.liveItem());
        QCOMPARE(m_media.ops(), (QStringList{"setRender"}));
        QCOMPARE(m_media.calls.last().item, first.liveItem());
        QCOMPARE(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")), &first);

        m_media.calls.clear();
        QGraphicsPixmapItem* firstItem = first.liveItem();
        QTest::mouseClick(second.previewButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!second.previewButton(), eventwait::kHangMs);
        QVERIFY(!first.liveItem());
        QVERIFY(first.previewButton());
        QVERIFY(first.previewButton()->isVisible());
        QVERIFY(second.liveItem());
        QCOMPARE(m_media.ops(), (QStringList{"closeCamera", "removeThisRender", "setRender"}));
        QCOMPARE(m_media.calls.at(1).item, firstItem);
        QCOMPARE(m_media.calls.at(2).item, second.liveItem());
        for (const MediaCall& call : m_media.calls)
            QCOMPARE(call.media, m_media.bridge());
        QCOMPARE(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")), &second);
    }

    void fitSkipsAViewWithoutPicture()
    {
        GraphicsView view(m_media.bridge(), nullptr, GraphicsView::MainView, GraphicsView::FitOnCreate);
        view.resize(800, 600);
        view.show();
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), &view);
        view.slotPreview(); // a live item before its first frame
        view.slotFitToView();
        QCOMPARE(view.scale(), 1.0);
        QCOMPARE(view.liveItem()->scale(), 1.0);
        QVERIFY(qIsFinite(view.liveItem()->pos().x()) && qIsFinite(view.liveItem()->pos().y()));
        sendWheel(&view, QPoint(100, 100), 120);
        QVERIFY(qIsFinite(view.liveItem()->pos().x()) && qIsFinite(view.liveItem()->pos().y()));
    }

    void fitUsesTheSmallerRatio_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<double>("scale");
        QTest::newRow("wide picture: width ratio") << QSize(1600, 600) << 0.5;
        QTest::newRow("tall picture: height ratio") << QSize(400, 1200) << 0.5;
        QTest::newRow("small picture grows") << QSize(400, 300) << 2.0;
    }
    void fitUsesTheSmallerRatio()
    {
        QFETCH(QSize, picture);
        QFETCH(double, scale);
        QScopedPointer<GraphicsView> view(liveView(GraphicsView::MainView, picture));
        view->slotFitToView();
        QCOMPARE(view->scale(), scale);
        QCOMPARE(view->liveItem()->pos(), QPointF(10000, 10000));
        QCOMPARE(view->sceneRect(), QRectF(0, 0, 100000, 100000));
    }

    void stillPictureFromTheChooser()
    {
        const QString file = m_dir.filePath(QStringLiteral("sheet.png"));
        QImage original(200, 100, QImage::Format_RGB32);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 200; ++x)
                original.setPixel(x, y, qRgb(x, y * 2, (x * y) % 256));
        QVERIFY(original.save(file));
        QScopedPointer<GraphicsView> view(liveView(GraphicsView::CompareView));
        QString answer;
        int asked = 0;
        QStringList questions;
        GraphicsView::setPictureChooser([&](QWidget*, const QString& title, const QString& filter) -> QString {
            ++asked;
            questions << title << filter;
            return answer;
        });
        QGraphicsPixmapItem* live = view->liveItem();
        view->slotPicture(); // cancelled
        QCOMPARE(asked, 1);
        QCOMPARE(questions, (QStringList{"Open a picture", "Images (*.jpg *.bmp *.png *.tif)"}));
        QCOMPARE(view->liveItem(), live);
        QVERIFY(!view->pictureItem());
        QVERIFY(m_media.calls.isEmpty());

        answer = file;
        view->slotPicture();
        QVERIFY(!view->liveItem());
        QCOMPARE(m_media.ops(), (QStringList{"removeThisRender"})); // the camera stays open
        QVERIFY(view->pictureItem());
        QCOMPARE(view->pictureFile(), file);
        QCOMPARE(view->pictureItem()->pixmap().size(), QSize(200, 100));
        QCOMPARE(view->scale(), 4.0);

        view->slotRotate(90);
        QCOMPARE(view->pictureItem()->pixmap().size(), QSize(100, 200));
        QCOMPARE(m_window->rotate->value(), 90);
        view->slotRotate(270);
        QCOMPARE(view->pictureAngle(), -90.0);
        view->slotRotate(0);
        // Reloaded from the file at every angle: no loss after turning round.
        QCOMPARE(view->pictureItem()->pixmap().toImage().convertToFormat(QImage::Format_RGB32), original);
        QVERIFY(m_camera.sent.isEmpty());
    }

    void brokenPictureFileIsHarmless()
    {
        const QString file = m_dir.filePath(QStringLiteral("broken.png"));
        QFile broken(file);
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture");
        broken.close();
        QScopedPointer<GraphicsView> view(liveView(GraphicsView::CompareView));
        GraphicsView::setPictureChooser([&](QWidget*, const QString&, const QString&) -> QString { return file; });
        view->slotPicture();
        QVERIFY(view->pictureItem());
        QVERIFY(view->pictureItem()->pixmap().isNull());
        QVERIFY(qIsFinite(view->scale()));
        view->zoomOut();
        QVERIFY(qIsFinite(view->pictureItem()->pos().x()));
    }

    void stopPreviewWithoutBridge()
    {
        DrawLinks::setMediaLink(nullptr);
        GraphicsView view(nullptr, nullptr, GraphicsView::CompareView, GraphicsView::FitOnCreate);
        view.resize(400, 300);
        view.show();
        view.slotPreview();
        QVERIFY(view.liveItem());
        view.stopPreview();
        QVERIFY(!view.liveItem());
        QVERIFY(view.pictureButton());
        view.removeAll();
        view.slotGrab();
    }

    void compareViewTakesDragsAndEntersClearHover_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("compare view accepts") << int(GraphicsView::CompareView) << true;
        QTest::newRow("main view does not") << int(GraphicsView::MainView) << false;
    }
    void compareViewTakesDragsAndEntersClearHover()
    {
        QFETCH(int, mode);
        QFETCH(bool, accepted);
        GraphicsView view(m_media.bridge(), nullptr, GraphicsView::Mode(mode), GraphicsView::FitOnCreate);
        view.resize(400, 300);
        view.show();
        QMimeData data;
        data.setText(QStringLiteral("from elsewhere"));
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(view.viewport(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QSignalSpy hover(&view, &GraphicsView::sigClearHoverStatus);
        QEvent entered(QEvent::Enter);
        QCoreApplication::sendEvent(&view, &entered);
        QCOMPARE(hover.count(), 1);
        if (accepted) {
            view.disableButton(true);
            QVERIFY(!view.pictureButton()->isEnabled());
            QVERIFY(!view.previewButton()->isEnabled());
            view.disableButton(false);
            QVERIFY(view.previewButton()->isEnabled());
        }
    }

    void previewHandsTheItemToTheRightCamera_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("fillMode");
        QTest::addColumn<QString>("op");
        QTest::newRow("main view, main camera") << int(GraphicsView::MainView) << 0 << "setRender";
        QTest::newRow("picture-in-picture view, second camera") << int(GraphicsView::PipView) << 1 << "setRender1";
        QTest::newRow("grab window view, main camera") << int(GraphicsView::GrabView) << 1 << "setRender";
    }
    void previewHandsTheItemToTheRightCamera()
    {
        QFETCH(int, mode);
        QFETCH(int, fillMode);
        QFETCH(QString, op);
        GraphicsView view(m_media.bridge(), nullptr, GraphicsView::Mode(mode), GraphicsView::RenderFillMode(fillMode));
        view.resize(640, 480);
        m_media.calls.clear();
        view.slotPreview();
        QCOMPARE(m_media.ops().last(), op);
        QCOMPARE(m_media.calls.last().item, view.liveItem());
        view.liveItem()->setPixmap(filled(320, 240));
        view.liveItem()->setPos(33, 44);
        view.myResize(300, 200);
        QCOMPARE(view.size(), QSize(300, 200));
        QCOMPARE(view.liveItem()->pos(), fillMode == 1 ? QPointF(0, 0) : QPointF(33, 44));
        // A main or grab view is not the current one, so nothing registers it.
        QVERIFY(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")) != &view);
    }

    void sdkAndPictureAngles_data()
    {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("init");
        QTest::addColumn<double>("sdk");
        QTest::addColumn<double>("picture");
        QTest::newRow("270") << 270 << 0.0 << -90.0 << -90.0;
        QTest::newRow("270 with init 90") << 270 << 90.0 << 0.0 << -90.0;
        QTest::newRow("180 with init 90") << 180 << 90.0 << -90.0 << 180.0;
        QTest::newRow("360") << 360 << 0.0 << 0.0 << 360.0;
        QTest::newRow("90 with init 45") << 90 << 45.0 << 135.0 << 90.0;
    }
    void sdkAndPictureAngles()
    {
        QFETCH(int, rotation);
        QFETCH(double, init);
        QFETCH(double, sdk);
        QFETCH(double, picture);
        QScopedPointer<GraphicsView> view(liveView());
        view->setInitAngle(init);
        view->slotRotate(rotation);
        QCOMPARE(view->_getRotate(0), sdk);
        QCOMPARE(view->_getRotate(1), picture);
        QCOMPARE(view->getInitAngle(), init);
    }

    void tipsDisappearAfterASecond()
    {
        QScopedPointer<GraphicsView> view(liveView());
        view->zoomOut();
        QVERIFY(view->tipLabel());
        QCOMPARE(view->tipLabel()->objectName(), QStringLiteral("viewTip"));
        const QSize tip = MyMemory::getInstance()->tipSize;
        QCOMPARE(view->tipLabel()->geometry(), QRect((800 - tip.width()) / 2, (600 - tip.height()) / 2, tip.width(), tip.height()));
        QTRY_VERIFY_WITH_TIMEOUT(!view->tipLabel(), eventwait::kHangMs);
    }

    void deviceMenuPlaysTheChosenCamera()
    {
        GraphicsView view(m_media.bridge(), nullptr, GraphicsView::MainView, GraphicsView::FitOnCreate);
        QVERIFY(view.deviceMenu());
        QCOMPARE(view.deviceMenu()->title(), QStringLiteral("switch device"));
        QAction* action = view.deviceMenu()->addAction(QStringLiteral("camera"));
        action->setData(QStringLiteral("127.0.0.2"));
        action->trigger();
        QCOMPARE(m_media.ops(), (QStringList{"playWirelessDevice"}));
        QCOMPARE(m_media.calls.first().text, QStringLiteral("127.0.0.2"));
    }

    void grabViewAsksForAShotOnDrag()
    {
        GraphicsView view(m_media.bridge(), nullptr, GraphicsView::GrabView, GraphicsView::FitOnCreate);
        QCOMPARE(m_media.ops(), (QStringList{"connectImageCaptured"}));
        view.resize(400, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view, eventwait::kHangMs));
        QTest::mousePress(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QCOMPARE(view.dragState(), int(GraphicsView::DragPressed));
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 80), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view.viewport(), &move);
        QCOMPARE(view.dragState(), int(GraphicsView::DragRequested));
        QCOMPARE(m_media.ops().last(), QStringLiteral("capture"));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(80, 80));
        QCOMPARE(view.dragState(), int(GraphicsView::DragIdle));
    }

    void pinch_data()
    {
        // Steps of the finger distance from 200 px; each factor is applied to the distance of
        // the step before.
        QTest::addColumn<QVector<double>>("factors");
        QTest::addColumn<double>("scale");
        QTest::newRow("k 1.10 accepted") << QVector<double>{1.10} << 1.10;
        QTest::newRow("k 1.10 twice") << QVector<double>{1.10, 1.10} << 1.21;
        QTest::newRow("k 1.16 ends the gesture; restart without a jump")
            << QVector<double>{1.16, 1.02} << 1.0;
        QTest::newRow("k 1.16, restart, then 1.05 applies") << QVector<double>{1.16, 1.02, 1.05} << 1.05;
        QTest::newRow("k 0.90 accepted") << QVector<double>{0.90} << 0.90;
        QTest::newRow("k 0.80 ignored") << QVector<double>{0.80} << 1.0;
    }
    void pinch()
    {
        QFETCH(QVector<double>, factors);
        QFETCH(double, scale);
        QScopedPointer<GraphicsView> view(liveView());
        view->slot1on1();
        QWidget* viewport = view->viewport();
        const QPointF centre(400, 300);
        double distance = 200;
        auto at = [&](double d, int side) { return (centre + QPointF(side * d / 2, 0)).toPoint(); };
        QTest::touchEvent(viewport, m_touch).press(0, at(distance, -1), viewport).press(1, at(distance, 1), viewport);
        QVERIFY(!(view->liveItem()->flags() & QGraphicsItem::ItemIsMovable));
        QTest::touchEvent(viewport, m_touch).move(0, at(distance, -1), viewport).move(1, at(distance, 1), viewport); // gesture starts
        double expected = view->scale();
        for (double k : factors) {
            const QPoint a = at(distance * k, -1), b = at(distance * k, 1);
            QTest::touchEvent(viewport, m_touch).move(0, a, viewport).move(1, b, viewport);
            distance = b.x() - a.x();
        }
        Q_UNUSED(expected);
        QTest::touchEvent(viewport, m_touch).release(0, at(distance, -1), viewport).release(1, at(distance, 1), viewport);
        QVERIFY2(qAbs(view->scale() - scale) < 0.011, qPrintable(QString::number(view->scale())));
        QTRY_VERIFY_WITH_TIMEOUT(view->fitAllowed(), eventwait::kHangMs);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(view->liveItem()->flags() & QGraphicsItem::ItemIsMovable);
    }

    void pinchTurn_data()
    {
        // Half the finger line after the turn, from the line's centre; the fingers start 200 px
        // apart on a horizontal line.
        QTest::addColumn<QPoint>("half");
        QTest::addColumn<bool>("turns");
        QTest::newRow("a turn under 20 degrees turns the picture") << QPoint(98, 17) << true;
        QTest::newRow("a turn of 20 degrees ends the gesture") << QPoint(94, 35) << false;
    }
    void pinchTurn()
    {
        QFETCH(QPoint, half);
        QFETCH(bool, turns);
        const QPoint centre(400, 300);
        const QLineF turned(centre + QPoint(-half.x(), half.y()), centre + QPoint(half.x(), -half.y()));
        QScopedPointer<GraphicsView> view(liveView());
        view->slot1on1();
        QWidget* viewport = view->viewport();
        const QPoint a0 = centre - QPoint(100, 0), b0 = centre + QPoint(100, 0);
        const QPoint a1 = turned.p1().toPoint(), b1 = turned.p2().toPoint();
        QVERIFY((turned.angle() >= 20) != turns);
        QTest::touchEvent(viewport, m_touch).press(0, a0, viewport).press(1, b0, viewport);
        QTest::touchEvent(viewport, m_touch).move(0, a0, viewport).move(1, b0, viewport);
        // The angle is measured on the points of the event before, so one more step follows.
        QTest::touchEvent(viewport, m_touch).move(0, a1, viewport).move(1, b1, viewport);
        QTest::touchEvent(viewport, m_touch).move(0, a1, viewport).move(1, b1, viewport);
        const double reached = view->rotation();
        // A further widening step: applied while the gesture runs, only restarts it once ended.
        const QPoint a2 = centre + (a1 - centre) * 1.1, b2 = centre + (b1 - centre) * 1.1;
        QTest::touchEvent(viewport, m_touch).move(0, a2, viewport).move(1, b2, viewport);
        QTest::touchEvent(viewport, m_touch).release(0, a2, viewport).release(1, b2, viewport);
        if (turns) {
            QVERIFY2(qAbs(reached + turned.angle()) < 0.01, qPrintable(QString::number(reached)));
            // A pinch step shows zoom and angle in two tips, the angle below the zoom.
            QVERIFY(view->tipLabel() && view->tipLabel1());
            QVERIFY(view->tipLabel()->text().endsWith(QLatin1Char('%')));
            QCOMPARE(view->tipLabel1()->text(), QString::number(int(view->rotation())) + QChar(0x00B0));
            QCOMPARE(view->tipLabel1()->y(), view->tipLabel()->y() + view->tipLabel()->height());
            QVERIFY(view->scale() > 1.05);
        } else {
            QCOMPARE(reached, 0.0);
            QVERIFY2(view->scale() < 1.01, qPrintable(QString::number(view->scale()))); // no widening step applied
        }
    }

    void threeFingersDoNothing()
    {
        QScopedPointer<GraphicsView> view(liveView());
        const double scale = view->scale();
        QWidget* viewport = view->viewport();
        QTest::touchEvent(viewport, m_touch).press(0, QPoint(300, 300), viewport).press(1, QPoint(500, 300), viewport).press(2, QPoint(400, 200), viewport);
        QTest::touchEvent(viewport, m_touch).move(0, QPoint(300, 300), viewport).move(1, QPoint(500, 300), viewport).move(2, QPoint(400, 200), viewport);
        QTest::touchEvent(viewport, m_touch).move(0, QPoint(290, 300), viewport).move(1, QPoint(510, 300), viewport).move(2, QPoint(400, 200), viewport);
        QTest::touchEvent(viewport, m_touch).release(0, QPoint(290, 300), viewport).release(1, QPoint(510, 300), viewport).release(2, QPoint(400, 200), viewport);
        QCOMPARE(view->scale(), scale);
    }

    void oneFingerErasesThroughTheTouchHook()
    {
        QScopedPointer<GraphicsView> view(liveView());
        GraphicsScene* scene = view->getScene();
        scene->slotRect();
        const QPointF origin = view->mapToScene(QPoint(200, 200));
        auto* shape = new DrawItem(QRectF(0, 0, 200, 120), DrawItem::DRAW_RECT);
        scene->addItem(shape);
        shape->setPos(origin);
        scene->slotErase();
        QCOMPARE(view->drawMode(), int(GraphicsScene::SCENE_ERASE));
        QWidget* viewport = view->viewport();
        QTest::touchEvent(viewport, m_touch).press(0, QPoint(220, 260), viewport);
        QVERIFY(scene->touchErase());
        for (int x = 230; x <= 300; x += 10)
            QTest::touchEvent(viewport, m_touch).move(0, QPoint(x, 260), viewport);
        QVERIFY(scene->touchMarker());
        QTest::touchEvent(viewport, m_touch).release(0, QPoint(300, 260), viewport);
        QVERIFY(!scene->touchMarker());
        QVERIFY(!scene->touchErase());
        QVERIFY(shape->paintsFromCache());
        QVERIFY(!shape->isTransparent());
    }

    void twoFingersDrawInAnnotationMode()
    {
        QScopedPointer<GraphicsView> view(liveView());
        view->getScene()->slotRect();
        QCOMPARE(view->ioctlMode(), int(GraphicsScene::IOCTL_DRAW));
        QWidget* viewport = view->viewport();
        const QPointF start = view->mapToScene(QPoint(200, 200));
        QTest::touchEvent(viewport, m_touch).press(0, QPoint(200, 200), viewport).press(1, QPoint(600, 500), viewport);
        QTest::touchEvent(viewport, m_touch).move(0, QPoint(300, 260), viewport).move(1, QPoint(600, 500), viewport);
        QTest::touchEvent(viewport, m_touch).release(0, QPoint(300, 260), viewport).release(1, QPoint(600, 500), viewport);
        QCOMPARE(view->getScene()->undoList().size(), 1);
        DrawItem* item = qgraphicsitem_cast<DrawItem*>(view->getScene()->undoList().first().item);
        QVERIFY(item);
        QCOMPARE(item->pos(), start);
        QCOMPARE(item->rect().size(), QSizeF(100, 60));
    }
};

QTEST_MAIN(TstGraphicsView)
#include "tst_graphicsview.moc"
