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
#include <QSet>
#include <QTemporaryDir>

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
        // The virtual sheet slides into place over the first frames: wait until the view shows
        // the picture (many colours), not the empty desk.
        int colours = 0;
        QVERIFY2(QTest::qWaitFor([&] {
            const QImage shown = m_window->mainView()->grab().toImage();
            QSet<QRgb> seen;
            for (int y = 0; y < shown.height(); y += 7)
                for (int x = 0; x < shown.width(); x += 7)
                    seen.insert(shown.pixel(x, y));
            colours = seen.size();
            return colours > 20;
        }, eventwait::kHangMs), qPrintable(QString::number(colours)));
        dialogtest::saveScreenshot(m_window.get(), "mainwindow-live");
        // The whole screen, with the floating palettes around the window.
        const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR", QDir::currentPath()) + "/../test-artefacts/mainwindow";
        QDir().mkpath(folder);
        QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(folder + "/mainwindow-live-screen.png"));
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
