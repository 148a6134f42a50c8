// Screen area frame: layout from the screen, presets, moving and stretching, the rectangle
// handed back in function 0 and a real screen recording of the clipped area in function 1.
#include "dialogtest.h"
#include "mymemory.h"
#include "paxscreenqtlib.h"
#include "recorddialog.h"
#include "screengeometry.h"

#include "mediaprobe.h"
#include "logcapture.h"

#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {
QPushButton* button(RecordDialog& d, const char* name)
{
    return d.findChild<QPushButton*>(QLatin1String(name));
}
QLabel* label(RecordDialog& d, const char* name)
{
    return d.findChild<QLabel*>(QLatin1String(name));
}
// A mouse event with the left button held, at a global position.
void sendMouse(QWidget* w, QEvent::Type type, QPoint global, Qt::MouseButtons held = Qt::LeftButton)
{
    QMouseEvent event(type, w->mapFromGlobal(global), global,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}
} // namespace

class TestRecordDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QWidget m_view;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.filePath("app"));
        m_view.resize(1600, 900);
        MyMemory::getInstance()->savePtr("view", &m_view);
        PaxScreenQtLib::setSavePath(m_dir.filePath("screen/"));
        PaxScreenQtLib::getInstance()->setIsRecordAudio(false);
    }
    void cleanup() { ScreenGeometry::clearOverride(); }
    void cleanupTestCase()
    {
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

    void initialLayout()
    {
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        QCOMPARE(d.geometry(), QRect(400, 0, 800, 900));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        QCOMPARE(button(d, "m_buttonGrab")->text(), QStringLiteral("Start Record"));
        QCOMPARE(button(d, "m_button640x480")->size(), QSize(128, 36));
        // x0 = (800 - 768 - 3) / 2 = 14, y0 = (900 - 108 - 2) / 2 = 395
        QCOMPARE(button(d, "m_button640x480")->pos(), QPoint(14, 395));
        QCOMPARE(button(d, "m_buttonFullScreen")->pos(), QPoint(14 + 5 * 128 + 5, 395));
        QCOMPARE(label(d, "m_labelSolution")->geometry(), QRect(0, 3 * 36 + 395 + 8, 800, 36));
        QCOMPARE(label(d, "m_labelSolution")->text(), QStringLiteral("Actual solution: 800x900"));
        QCOMPARE(label(d, "m_gripBottomRight")->pos(), QPoint(800 - 32, 900 - 32));
        dialogtest::saveScreenshot(&d, "record_frame_function1");
    }

    void captureFunctionHidesTheSize()
    {
        RecordDialog d(RecordDialog::FunctionCapture, nullptr);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        QVERIFY(label(d, "m_labelSolution")->isHidden());
        QCOMPARE(button(d, "m_buttonGrab")->text(), QStringLiteral("Start Capture"));
        // g = (800 - 256 - 1) / 2 = 271; q = (900 - 108 - 2) * 3 / 4 = 592
        QCOMPARE(button(d, "m_buttonGrab")->pos(), QPoint(271 - 64, 36 + 592 + 10));
        QCOMPARE(button(d, "m_buttonClose")->pos(), QPoint(271 + 128 + 64 + 1, 36 + 592 + 10));
        dialogtest::saveScreenshot(&d, "record_frame_function0");
    }

    void narrowFrameShrinksButtons()
    {
        RecordDialog d(RecordDialog::FunctionCapture, nullptr);
        d.resizeDialog(700, 500, false);
        QCOMPARE(button(d, "m_button800x600")->width(), 700 / 6);
        QCOMPARE(button(d, "m_button800x600")->height(), 36);
    }

    void presets_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QRect>("frame");
        QTest::newRow("1280x720 on 1920x1080") << QSize(1920, 1080) << "m_button1280x720" << true << QRect(320, 180, 1280, 720);
        QTest::newRow("1920x1080 on 1920x1080") << QSize(1920, 1080) << "m_button1920x1080" << true << QRect(0, 0, 1920, 1080);
        QTest::newRow("full screen on 1440x900") << QSize(1440, 900) << "m_buttonFullScreen" << true << QRect(0, 0, 1440, 900);
        QTest::newRow("1280x720 on 1680x1050") << QSize(1680, 1050) << "m_button1280x720" << true << QRect(200, 165, 1280, 720);
        QTest::newRow("1920x1080 off on 1680x1050") << QSize(1680, 1050) << "m_button1920x1080" << false << QRect();
        QTest::newRow("640x480 on 1440x900") << QSize(1440, 900) << "m_button640x480" << true << QRect(400, 210, 640, 480);
    }
    void presets()
    {
        QFETCH(QSize, screen);
        QFETCH(QString, preset);
        QFETCH(bool, enabled);
        QFETCH(QRect, frame);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        QPushButton* b = d.findChild<QPushButton*>(preset);
        QCOMPARE(b->isEnabled(), enabled);
        if (!enabled)
            return;
        b->click();
        QCOMPARE(d.geometry(), frame);
    }

    void sizeLabelRoundsUpToEven()
    {
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        d.resizeDialog(641, 479, false);
        QCOMPARE(label(d, "m_labelSolution")->text(), QStringLiteral("Actual solution: 642x480"));
        d.slotActualSolutionScaleChanged(50);
        QCOMPARE(label(d, "m_labelSolution")->text(), QStringLiteral("Actual solution: 320x240"));
    }

    void moveStopsAtScreenEdges()
    {
        RecordDialog d(RecordDialog::FunctionCapture, nullptr);
        d.resizeDialog(800, 600, false);   // (560, 240)
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        sendMouse(&d, QEvent::MouseButtonPress, QPoint(960, 540));
        sendMouse(&d, QEvent::MouseMove, QPoint(2500, 540));
        QCOMPARE(d.pos(), QPoint(1120, 240));
        sendMouse(&d, QEvent::MouseMove, QPoint(-500, -500));
        QCOMPARE(d.pos(), QPoint(0, 0));
        sendMouse(&d, QEvent::MouseButtonRelease, QPoint(-500, -500), Qt::NoButton);
        sendMouse(&d, QEvent::MouseMove, QPoint(900, 900));
        QCOMPARE(d.pos(), QPoint(0, 0));   // released: moves do nothing
    }

    void stretchByGrips_data()
    {
        QTest::addColumn<QPoint>("grab");    // inside the frame
        QTest::addColumn<QPoint>("travel");
        QTest::addColumn<QRect>("result");
        // Frame (560, 240, 800, 600); minimum 640 x 208.
        QTest::newRow("bottom-right grows") << QPoint(790, 590) << QPoint(100, 50) << QRect(560, 240, 900, 650);
        QTest::newRow("bottom-right pinned at minimum") << QPoint(790, 590) << QPoint(-400, -500) << QRect(560, 240, 640, 208);
        QTest::newRow("top-left grows") << QPoint(5, 5) << QPoint(-60, -40) << QRect(500, 200, 860, 640);
        QTest::newRow("top-left keeps left edge at minimum") << QPoint(5, 5) << QPoint(300, 0) << QRect(560, 240, 640, 600);
        QTest::newRow("bottom-left") << QPoint(5, 590) << QPoint(-20, 30) << QRect(540, 240, 820, 630);
        QTest::newRow("top-right") << QPoint(790, 5) << QPoint(30, -20) << QRect(560, 220, 830, 620);
        QTest::newRow("past the screen edge") << QPoint(790, 590) << QPoint(800, 600) << QRect(560, 240, 1600, 1200);
    }
    void stretchByGrips()
    {
        QFETCH(QPoint, grab);
        QFETCH(QPoint, travel);
        QFETCH(QRect, result);
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        d.resizeDialog(800, 600, false);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        const QPoint start = d.mapToGlobal(grab);
        sendMouse(&d, QEvent::MouseButtonPress, start);
        sendMouse(&d, QEvent::MouseMove, start + travel);
        QCOMPARE(d.geometry(), result);
        QCOMPARE(label(d, "m_gripBottomRight")->pos(), QPoint(result.width() - 32, result.height() - 32));
    }

    void captureHandsBackUnclippedRectangle()
    {
        RecordDialog d(RecordDialog::FunctionCapture, nullptr);
        dialogtest::onNextModal("RecordDialog", [](QWidget* w) {
            auto* frame = static_cast<RecordDialog*>(w);
            frame->resizeDialog(2000, 1200, false);
            button(*frame, "m_buttonGrab")->click();
        });
        d.exec();
        QVERIFY(d.chosenRect());
        QCOMPARE(*d.chosenRect(), QRect(-40, -60, 2000, 1200));
        QCOMPARE(d.acceptedFlag(), 0);
    }

    void escapeLeavesNothing_data()
    {
        QTest::addColumn<int>("function");
        QTest::newRow("capture") << 0;
        QTest::newRow("record") << 1;
    }
    void escapeLeavesNothing()
    {
        QFETCH(int, function);
        RecordDialog d(RecordDialog::Function(function), nullptr);
        dialogtest::onNextModal("RecordDialog", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
        d.exec();
        QVERIFY(!d.chosenRect());
        QCOMPARE(d.acceptedFlag(), 0);
        QCOMPARE(PaxScreenQtLib::getInstance()->getRecordInfo().state, 0);
    }

    void recordsTheClippedArea()
    {
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        dialogtest::onNextModal("RecordDialog", [](QWidget* w) {
            w->setGeometry(1003, 601, 1280, 720);   // partly off the screen's right and bottom
            button(*static_cast<RecordDialog*>(w), "m_buttonGrab")->click();
        });
        d.exec();
        QCOMPARE(d.acceptedFlag(), 1);
        QVERIFY(!d.isVisible());
        QVERIFY(d.videoFileName().endsWith(".mp4"));
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        QTRY_COMPARE_WITH_TIMEOUT(screen->getRecordInfo().state, 1, eventwait::kHangMs);
        // Frames written: the recorder has counted its first second.
        QTRY_VERIFY_WITH_TIMEOUT(screen->getRecordInfo().recordSeconds >= 1, eventwait::kHangMs);
        d.stopRecord();
        QCOMPARE(screen->getRecordInfo().state, 0);

        const QJsonObject video = mediaprobe::stream(mediaprobe::probe(d.videoFileName()), "video");
        QCOMPARE(video.value("codec_name").toString(), QStringLiteral("h264"));
        // 1920 - 1003 = 917 and 1080 - 601 = 479, rounded down to multiples of 4.
        QCOMPARE(video.value("width").toInt(), 916);
        QCOMPARE(video.value("height").toInt(), 476);
    }

    void oversizedPresetIsClippedForRecording()
    {
        LogCapture log;
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        dialogtest::onNextModal("RecordDialog", [](QWidget* w) {
            auto* frame = static_cast<RecordDialog*>(w);
            frame->resizeDialog(2000, 1200, false);   // (-40, -60): past every screen edge
            button(*frame, "m_buttonGrab")->click();
        });
        d.exec();
        QCOMPARE(d.acceptedFlag(), 1);
        // The area handed to the SDK is already clipped to the screen.
        QVERIFY(LogCapture::messages().join('\n').contains("record rect[0][0][1920][1080]"));
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        QCOMPARE(screen->getRecordWidth(), 1920);
        QCOMPARE(screen->getRecordHeight(), 1080);
        QTRY_COMPARE_WITH_TIMEOUT(screen->getRecordInfo().state, 1, eventwait::kHangMs);
        d.stopRecord();
        QCOMPARE(screen->getRecordInfo().state, 0);
    }

    void failedStartIsNotReportedAsRunning()
    {
        // A save folder under a plain file: the recording file cannot be created.
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        MyMemory* memory = MyMemory::getInstance();
        const QString saved = memory->getConfigSavePath();
        memory->setConfigSavePath(m_dir.filePath("blocker") + "/");
        RecordDialog d(RecordDialog::FunctionRecord, nullptr);
        bool errorShown = false;
        dialogtest::onNextModal("RecordDialog", [&errorShown](QWidget* w) {
            dialogtest::onNextModal("QMessageBox", [&errorShown](QWidget* box) {
                errorShown = static_cast<QMessageBox*>(box)->text() == "record error" && box->windowTitle() == "Error";
                QTest::keyClick(box, Qt::Key_Escape);
            }, eventwait::kHangMs, w);
            w->setGeometry(100, 100, 640, 480);
            button(*static_cast<RecordDialog*>(w), "m_buttonGrab")->click();
        });
        d.exec();
        memory->setConfigSavePath(saved);
        QVERIFY(errorShown);
        QCOMPARE(d.acceptedFlag(), 0);
        QCOMPARE(PaxScreenQtLib::getInstance()->getRecordInfo().state, 0);
    }
};

QTEST_MAIN(TestRecordDialog)
#include "tst_recorddialog.moc"
