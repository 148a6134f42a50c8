// Fit of the live view without the zoom limits (the zoom buttons keep them), and the picture
// button: its picture placed by its own height, its whole text inside the button.

#include "drawtestsupport.h"
#include "eventwait.h"
#include "graphicsview.h"
#include "pushbutton.h"
#include "screengeometry.h"

#include <QGraphicsPixmapItem>
#include <QSlider>
#include <QtTest>

using namespace drawtest;

namespace
{
QPixmap filled(int w, int h, const QColor& colour)
{
    QPixmap pixmap(w, h);
    pixmap.fill(colour);
    return pixmap;
}
}

class TstGraphicsViewFit : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    RecordingMediaLink m_media;
    RecordingCameraLink m_camera;

    GraphicsView* liveView(QSize picture)
    {
        auto* view = new GraphicsView(m_media.bridge(), nullptr, GraphicsView::MainView, GraphicsView::FitOnCreate);
        view->resize(800, 600);
        view->show();
        if (!QTest::qWaitForWindowExposed(view, eventwait::kHangMs))
            qWarning("view not exposed");
        view->slotPreview();
        view->liveItem()->setPixmap(filled(picture.width(), picture.height(), Qt::darkCyan));
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), view);
        return view;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        initSettings(m_dir.path());
        DrawLinks::setMediaLink(&m_media);
        DrawLinks::setCameraLink(&m_camera);
    }
    void cleanupTestCase()
    {
        MyMemory::getInstance()->savePtr(QStringLiteral("curGraphicsView"), nullptr);
        DrawLinks::setMediaLink(nullptr);
        DrawLinks::setCameraLink(nullptr);
    }

    void fitHasNoBounds_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<double>("scale");
        QTest::newRow("small picture grows past the zoom limit") << QSize(100, 50) << 8.0;
        QTest::newRow("long picture shrinks past the zoom limit") << QSize(16000, 100) << 0.05;
        QTest::newRow("within the limits") << QSize(1600, 600) << 0.5;
    }
    void fitHasNoBounds()
    {
        QFETCH(QSize, picture);
        QFETCH(double, scale);
        QScopedPointer<GraphicsView> view(liveView(picture));
        view->slotFitToView();
        QCOMPARE(view->scale(), scale);
        QCOMPARE(view->liveItem()->scale(), scale);
    }

    // After a fit outside the limits the zoom buttons bring the scale back inside them.
    void zoomButtonsKeepTheirLimits_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<bool>("larger");
        QTest::addColumn<double>("scale");
        QTest::newRow("zoom out from 8") << QSize(100, 50) << true << 5.0;
        QTest::newRow("zoom in from 0.05") << QSize(16000, 100) << false << 0.1;
    }
    void zoomButtonsKeepTheirLimits()
    {
        QFETCH(QSize, picture);
        QFETCH(bool, larger);
        QFETCH(double, scale);
        QScopedPointer<GraphicsView> view(liveView(picture));
        view->slotFitToView();
        if (larger)
            view->zoomOut();
        else
            view->zoomIn();
        QCOMPARE(view->scale(), scale);
    }

    // The picture is drawn into the 22-pixel square at (m, m), m = (button height - picture
    // height) / 2.
    void pictureOffsetFollowsThePictureHeight_data()
    {
        QTest::addColumn<int>("pictureHeight");
        QTest::addColumn<int>("buttonHeight");
        QTest::newRow("short picture") << 10 << 50;
        QTest::newRow("square of the picture side") << 22 << 50;
        QTest::newRow("tall picture") << 40 << 60;
    }
    void pictureOffsetFollowsThePictureHeight()
    {
        QFETCH(int, pictureHeight);
        QFETCH(int, buttonHeight);
        const QString folder = m_dir.path() + QStringLiteral("/pictures");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(filled(8, 8, Qt::black).save(folder + QStringLiteral("/background.png")));
        const QString background = folder + QStringLiteral("/background.png");

        PushButton button(QString(), nullptr, PushButton::PictureMode);
        button.setBackgroundPix(background, background, background);
        button.setPix(new QPixmap(filled(pictureHeight, pictureHeight, Qt::green)));
        button.resize(200, buttonHeight);
        QImage image(button.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        button.render(&image);

        const int m = (buttonHeight - pictureHeight) / 2;
        const int s = int(PushButton::PictureSide);
        auto green = [&](int x, int y) { return QColor(image.pixel(x, y)) == QColor(Qt::green); };
        QVERIFY(green(m + 1, m + 1));
        QVERIFY(green(m + s - 2, m + s - 2));
        QVERIFY(!green(m - 1, m - 1));
        QVERIFY(!green(m + s + 1, m + s + 1));
    }

    // The function toolbar's buttons at the sizes the settings give for each screen height; the
    // recording time is their longest text.
    void wholeTextInsideTheButton_data()
    {
        QTest::addColumn<int>("screenHeight");
        QTest::addColumn<QString>("text");
        for (int h : {720, 768, 900, 1024, 1080, 1200, 1440, 2160}) {
            QTest::addRow("%d px high, recording time", h) << h << QStringLiteral("REC 00:00:00");
            QTest::addRow("%d px high, short text", h) << h << QStringLiteral("Hide");
        }
    }
    void wholeTextInsideTheButton()
    {
        QFETCH(int, screenHeight);
        QFETCH(QString, text);
        const int screenWidth = screenHeight * 16 / 9;
        ScreenGeometry::setOverride(QRect(0, 0, screenWidth, screenHeight), QRect(0, 0, screenWidth, screenHeight), 96);
        MyMemory::releaseInstance();
        initSettings(m_dir.path());
        const QSize size = MyMemory::getInstance()->wideButtonSize;
        ScreenGeometry::clearOverride();

        const QString folder = m_dir.path() + QStringLiteral("/pictures");
        QVERIFY(QDir().mkpath(folder));
        const QString background = folder + QStringLiteral("/grey.png");
        QVERIFY(filled(8, 8, QColor(40, 40, 40)).save(background));
        PushButton button(text, nullptr, PushButton::PictureMode);
        button.setBackgroundPix(background, background, background);
        button.setPix(new QPixmap(filled(22, 22, QColor(40, 40, 40))));
        button.resize(size);
        QImage image(button.size(), QImage::Format_ARGB32);
        button.render(&image);

        auto whiteIn = [&](int fromX, int toX) {
            int count = 0;
            for (int x = fromX; x < toX; ++x)
                for (int y = 0; y < image.height(); ++y)
                    count += qGray(image.pixel(x, y)) > 150 ? 1 : 0;
            return count;
        };
        QVERIFY(whiteIn(0, image.width()) > 0);
        // Nothing of the text reaches the button's last pixels: it ends inside.
        QCOMPARE(whiteIn(image.width() - 2, image.width()), 0);
    }
};

QTEST_MAIN(TstGraphicsViewFit)
#include "tst_graphicsview_fit.moc"
