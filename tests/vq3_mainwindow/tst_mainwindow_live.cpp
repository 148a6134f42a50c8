// The main window on the real camera SDK facade and media bridge with the virtual camera: the
// live picture reaches the main view, and camera shots are written into the day folder at the
// camera mode's size.
#include "dialogtest.h"
#include "eventwait.h"

#include "graphicsview.h"
#include "ltoolbar.h"
#include "mainwindow.h"
#include "mainwindowsdklinks.h"
#include "mymemory.h"
#include "paxlib.h"
#include "paxqtlib.h"
#include "paxscreenqtlib.h"
#include "pushbutton.h"

#include <QDate>
#include <QGuiApplication>
#include <QScreen>
#include <QDir>
#include <QElapsedTimer>
#include <QGraphicsPixmapItem>
#include <QImageReader>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <memory>

class TestMainWindowLive : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<MainWindow> m_window;

    QPixmap livePixmap() const
    {
        QGraphicsPixmapItem* item = m_window->mainView()->liveItem();
        return item ? item->pixmap() : QPixmap();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qApp->setQuitOnLastWindowClosed(false);
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        MyMemory::setSavePath(m_dir.filePath("app"));
        QDir().mkpath(m_dir.filePath("app"));
        PaxScreenQtLib::setSavePath(m_dir.filePath("screen/"));
        PaxQtLib::getInstance();
        MyMemory::getInstance()->setConfigSavePath(m_dir.filePath("save") + "/");
        MyMemory::getInstance()->setConfigGrabTipAudio(false);
        QTRY_VERIFY_WITH_TIMEOUT(PaxQtLib::getInstance()->getbInitComplete(), eventwait::kHangMs);
        installMainWindowLinks();
        m_window = std::make_unique<MainWindow>();
        m_window->init();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get(), eventwait::kHangMs));
    }
    void cleanupTestCase()
    {
        m_window.reset();   // stops the camera SDK
        removeMainWindowLinks();
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

    void liveViewShowsTheCamera()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!livePixmap().isNull(), eventwait::kHangMs);
        // The virtual sheet slides into place over the first frames, and the view fits a new
        // picture size after the frame is set: wait until the picture is fitted (centred in the
        // view) and the sheet lies still in the middle of the view, in the window and in what the
        // X server shows.
        const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR", QDir::currentPath()) + "/../test-artefacts/mainwindow";
        QDir().mkpath(folder);
        GraphicsView* view = m_window->mainView();
        // The sheet's share of `area` and its centre's distance from the area's centre (in parts of
        // the area's size; the larger of the two directions).
        struct Sheet {
            double share = 0, offCentre = 1;
        };
        const auto sheetIn = [](const QImage& image, const QRect& area) {
            qint64 bright = 0, all = 0, sumX = 0, sumY = 0;
            for (int y = area.top(); y <= area.bottom(); y += 7)
                for (int x = area.left(); x <= area.right(); x += 7, ++all)
                    if (qGray(image.pixel(x, y)) > 200) {
                        ++bright;
                        sumX += x;
                        sumY += y;
                    }
            Sheet sheet;
            if (bright == 0)
                return sheet;
            sheet.share = double(bright) / all;
            const QPointF centre(double(sumX) / bright, double(sumY) / bright);
            const QPointF off = centre - QRectF(area).center();
            sheet.offCentre = std::max(std::abs(off.x()) / area.width(), std::abs(off.y()) / area.height());
            return sheet;
        };
        QString seen;
        QImage screen;
        QVERIFY2(QTest::qWaitFor([&] {
            QGraphicsPixmapItem* item = view->liveItem();
            if (!item || item->pixmap().isNull())
                return false;
            const QRect shown = view->mapFromScene(item->sceneBoundingRect()).boundingRect();
            const QPoint offset = shown.center() - view->viewport()->rect().center();
            const QRect onScreen(view->viewport()->mapToGlobal(QPoint(0, 0)), view->viewport()->size());
            screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
            const QImage window = view->viewport()->grab().toImage();
            const Sheet inWindow = sheetIn(window, window.rect());
            const Sheet onX = sheetIn(screen, onScreen.intersected(screen.rect()));
            seen = QStringLiteral("picture centre off by (%1,%2); sheet %3 of the view, %4 off its centre; on the "
                                  "screen %5, %6 off")
                       .arg(offset.x()).arg(offset.y()).arg(inWindow.share).arg(inWindow.offCentre)
                       .arg(onX.share).arg(onX.offCentre);
            return offset.manhattanLength() <= 2 && inWindow.share > 0.1 && inWindow.offCentre < 0.04
                   && onX.share > 0.1 && onX.offCentre < 0.04;
        }, eventwait::kHangMs), qPrintable(seen));
        dialogtest::saveScreenshot(m_window.get(), "mainwindow-live");
        // The whole screen, with the floating palettes around the window.
        QVERIFY(screen.save(folder + "/mainwindow-live-screen.png"));
        // The function palette with one camera: seven buttons plus "Hide".
        QCOMPARE(m_window->functionToolbar()->units().size(), 7);
        QVERIFY(m_window->functionToolbar()->hideButton());
    }

    void cameraShotsAreWritten()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!livePixmap().isNull(), eventwait::kHangMs);
        const QSize mode = livePixmap().size();
        auto* shot = m_window->bottomToolbar()->findChild<PushButton*>("buttonCameraShot");
        QVERIFY(shot);
        QTest::mouseClick(shot, Qt::LeftButton);
        QTest::mouseClick(shot, Qt::LeftButton);
        const QString day = m_dir.filePath("save") + "/" + QDate::currentDate().toString("yyyy_MM_dd");
        // Both files there and written whole (their headers readable).
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            const QStringList files = QDir(day).entryList({"*.jpg"}, QDir::Files);
            for (const QString& file : files)
                if (!QImageReader(day + "/" + file).size().isValid())
                    return false;
            return files.size() == 2;
        }(), eventwait::kHangMs);
        const QRegularExpression name("^\\d{8}_\\d{6}(_\\d+)?\\.jpg$");
        for (const QString& file : QDir(day).entryList({"*.jpg"}, QDir::Files)) {
            QVERIFY2(name.match(file).hasMatch(), qPrintable(file));
            QImageReader reader(day + "/" + file);
            QCOMPARE(reader.size(), mode);
        }
    }
};

QTEST_MAIN(TestMainWindowLive)
#include "tst_mainwindow_live.moc"
