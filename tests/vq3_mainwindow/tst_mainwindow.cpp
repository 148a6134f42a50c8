// The main window on the X display: palettes and their order, notifications of the camera SDK,
// camera and screen recordings (the screen through the real screen-record SDK), modes with
// compare views and wireless tiles, shots, pickers, the UVC preview switch and the exit.
#include "dialogtest.h"
#include "eventwait.h"
#include "mediaprobe.h"
#include "mainwindowfakes.h"

#include "drawoptionselect.h"
#include "graphicsview.h"
#include "graphicsviewforwirelessdevice.h"
#include "ltoolbar.h"
#include "mainwindow.h"
#include "mymemory.h"
#include "paxscreenqtlib.h"
#include "picturedialog.h"
#include "pushbutton.h"
#include "recordareabox.h"
#include "recorddialog.h"
#include "tipsdialog.h"

#include <QComboBox>
#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QSlider>
#include <QTemporaryDir>

#include <memory>

namespace {
QStringList unitNames(const Ltoolbar* toolbar)
{
    QStringList names;
    for (const Ltoolbar::Unit& unit : toolbar->units()) {
        QObject* o = unit.button ? static_cast<QObject*>(unit.button)
                     : unit.slider ? static_cast<QObject*>(unit.slider)
                                   : static_cast<QObject*>(unit.comboBox);
        names << (o ? o->objectName() : QString());
    }
    return names;
}

template <class T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}

// Runs `act` on the next popup window (checked every 20 ms, up to the hang ceiling).
void onNextPopup(std::function<void(QWidget*)> act, QObject* context)
{
    auto* timer = new QTimer(context);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, clock] {
        QWidget* popup = QApplication::activePopupWidget();
        if (popup || clock->elapsed() > eventwait::kHangMs) {
            timer->stop();
            timer->deleteLater();
            if (popup)
                act(popup);
        }
    });
    timer->start(20);
}

// Distinct left and top edges of a set of widgets.
QPair<int, int> rowsAndColumns(const QList<QWidget*>& widgets)
{
    QSet<int> xs, ys;
    for (QWidget* w : widgets) {
        xs.insert(w->geometry().x());
        ys.insert(w->geometry().y());
    }
    return {ys.size(), xs.size()};
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeLinks m_fakes;
    // Watches for modal windows end with the test that started them.
    std::unique_ptr<QObject> m_scope;

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>();
        window->init();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get(), eventwait::kHangMs) || !dialogtest::flushEvents())
            return nullptr;
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The exit test closes its window; that must not end the next test's event loops.
        qApp->setQuitOnLastWindowClosed(false);
        keepFilesIn(m_dir);
        PaxScreenQtLib::getInstance()->setIsRecordAudio(false);
    }
    void init()
    {
        m_fakes.link();
        m_scope = std::make_unique<QObject>();
        MyMemory::getInstance()->setRecordType(MyMemory::RecordScreen);
    }
    void cleanup()
    {
        m_fakes.unlink();
        m_scope.reset();
        QVERIFY(dialogtest::flushEvents());
    }
    void cleanupTestCase()
    {
        PaxScreenQtLib::releaseInstance();
        MyMemory::releaseInstance();
    }

    void functionToolbarOrder_data()
    {
        QTest::addColumn<bool>("second");
        QTest::addColumn<QStringList>("names");
        const QString head = "buttonSettings";
        const QStringList tail{"m_buttonRecord", "m_buttonPause", "m_buttonCompare", "m_buttonPresenter",
                               "m_buttonDesktop", "buttonExit"};
        QTest::newRow("one camera") << false << (QStringList{head} + tail);
        QTest::newRow("two cameras") << true << (QStringList{head, "buttonPip"} + tail);
    }
    void functionToolbarOrder()
    {
        QFETCH(bool, second);
        QFETCH(QStringList, names);
        m_fakes.media->secondCamera = second;
        auto window = makeWindow();
        QVERIFY(window);
        Ltoolbar* toolbar = window->functionToolbar();
        QVERIFY(toolbar);
        QCOMPARE(unitNames(toolbar), names);
        QVERIFY(toolbar->hideButton());
        QCOMPARE(toolbar->hideButton()->objectName(), QString("m_buttonHide"));
        QVERIFY(child<PushButton>(toolbar, "m_buttonPause")->myGetHide());
        QVERIFY(!child<PushButton>(toolbar, "m_buttonRecord")->myGetHide());
        for (const char* name : {"m_buttonCompare", "m_buttonPresenter", "m_buttonDesktop"})
            QVERIFY2(child<PushButton>(toolbar, name)->isCheckable(), name);
        QVERIFY(!child<PushButton>(toolbar, "buttonExit")->isCheckable());
        QVERIFY(child<PushButton>(toolbar, "m_buttonPresenter")->isChecked());
        dialogtest::saveScreenshot(window.get(), second ? "mainwindow-two-cameras" : "mainwindow-one-camera");
    }

    void drawAndBottomToolbars()
    {
        auto window = makeWindow();
        QVERIFY(window);
        const QStringList draw{"m_buttonEllipse", "m_buttonRect", "m_buttonTriangle", "m_buttonLine", "m_buttonText",
                               "m_buttonEraser", "buttonDelete", "buttonUndo", "buttonRedo", "buttonClear",
                               "m_buttonMove", "m_buttonBack", "buttonScreenShot", "buttonOpenFolder",
                               "m_buttonExtension"};
        QCOMPARE(unitNames(window->drawToolbar()), draw);
        const QSet<QString> checkable{"m_buttonEllipse", "m_buttonRect", "m_buttonTriangle", "m_buttonLine",
                                      "m_buttonText", "m_buttonEraser", "m_buttonMove", "m_buttonBack"};
        for (const Ltoolbar::Unit& unit : window->drawToolbar()->units())
            QCOMPARE(unit.button->isCheckable(), checkable.contains(unit.button->objectName()));
        const QStringList bottom{"m_buttonVideoSet", "m_comboSolution", "m_buttonZoomIn", "m_sliderZoom",
                                 "m_buttonZoomOut", "m_buttonFitView", "m_buttonFullSize", "m_buttonTurnLeft",
                                 "m_sliderRotate", "m_buttonTurnRight", "m_buttonPictureLock", "buttonCameraShot",
                                 "buttonFullScreen"};
        QCOMPARE(unitNames(window->bottomToolbar()), bottom);
        QSlider* zoom = window->m_sliderZoom;
        QCOMPARE(zoom->minimum(), 100000);
        QCOMPARE(zoom->maximum(), 5000000);
        QCOMPARE(window->m_sliderRotate->maximum(), 360);
        QCOMPARE(window->m_sliderRotate->value(), 0);
        auto* combo = child<QComboBox>(window->bottomToolbar(), "m_comboSolution");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QString("1920x1080"));
        QCOMPARE(combo->itemData(1).toInt(), 1);
        QCOMPARE(combo->currentIndex(), 1);
        QVERIFY(m_fakes.media->switchedSolutions.isEmpty());
        combo->setCurrentIndex(0);
        QCOMPARE(m_fakes.media->switchedSolutions, QList<int>{0});
        QVERIFY(child<PushButton>(window->bottomToolbar(), "m_buttonPictureLock")->isCheckable());
    }

    void recordTimeText_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "REC 00:00:00";
        QTest::newRow("59 s") << 59 << "REC 00:00:59";
        QTest::newRow("one hour") << 3600 << "REC 01:00:00";
        QTest::newRow("3725 s") << 3725 << "REC 01:02:05";
        QTest::newRow("100 hours") << 360000 << "REC 100:00:00";
    }
    void recordTimeText()
    {
        QFETCH(int, seconds);
        QFETCH(QString, text);
        QCOMPARE(MainWindow::recordTimeText(seconds), text);
    }

    void cameraNotifications_data()
    {
        QTest::addColumn<int>("notify");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("hideText");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("main 3725 s") << 5 << 1 << 3725 << "REC 01:02:05" << "main camera record is running, record file is:/v/a.mp4";
        QTest::newRow("main 360000 s") << 5 << 1 << 360000 << "REC 100:00:00" << "main camera record is running, record file is:/v/a.mp4";
        QTest::newRow("second 61 s") << 6 << 1 << 61 << "REC 00:01:01" << "second camera record is running, record file is:/v/a.mp4";
        QTest::newRow("main stopped keeps text") << 5 << 0 << 0 << "before" << "";
        QTest::newRow("second stopped says Hide") << 6 << 0 << 0 << "Hide" << "";
    }
    void cameraNotifications()
    {
        QFETCH(int, notify);
        QFETCH(int, status);
        QFETCH(int, seconds);
        QFETCH(QString, hideText);
        QFETCH(QString, tooltip);
        auto window = makeWindow();
        QVERIFY(window);
        auto* hide = child<PushButton>(window->functionToolbar(), "m_buttonHide");
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        hide->setMyText("before");
        record->setToolTip("old");
        _PaxRecordInfoS info;
        info.status = status;
        info.seconds = seconds;
        info.fileName = "/v/a.mp4";
        (notify == 5 ? m_fakes.camera->main : m_fakes.camera->second) = info;
        emit m_fakes.camera->object_.sigContentChange(_PaxChangeNotifyE(notify));
        QVERIFY(dialogtest::flushEvents());   // queued to the window
        QCOMPARE(hide->myText(), hideText);
        QCOMPARE(record->toolTip(), tooltip);
    }

    void freezeFollowsCameraStatus()
    {
        auto window = makeWindow();
        QVERIFY(window);
        auto* lock = child<PushButton>(window->bottomToolbar(), "m_buttonPictureLock");
        QTest::mouseClick(lock, Qt::LeftButton);
        QVERIFY(lock->isChecked());
        QVERIFY(m_fakes.media->frozen);
        emit m_fakes.camera->object_.sigContentChange(PaxChangeCameraStatus);
        QTRY_VERIFY_WITH_TIMEOUT(!lock->isChecked(), eventwait::kHangMs);
        QVERIFY(m_fakes.media->frozen);   // unchecked without running the freeze slot again
        // Keys 7 and 5 toggle freezing like the button; 3 does nothing.
        emit m_fakes.camera->object_.sigBacklight(7);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fakes.media->frozen, eventwait::kHangMs);
        QVERIFY(!lock->isChecked());
        emit m_fakes.camera->object_.sigBacklight(5);
        QTRY_VERIFY_WITH_TIMEOUT(m_fakes.media->frozen, eventwait::kHangMs);
        QVERIFY(lock->isChecked());
        emit m_fakes.camera->object_.sigBacklight(3);
        QVERIFY(dialogtest::flushEvents());
        QVERIFY(m_fakes.media->frozen);
    }

    void cameraRecording_data()
    {
        QTest::addColumn<bool>("startSucceeds");
        QTest::newRow("start refused") << false;
        QTest::newRow("started, then ends by itself") << true;
    }
    void cameraRecording()
    {
        QFETCH(bool, startSucceeds);
        MyMemory::getInstance()->setRecordType(MyMemory::RecordMainCamera);
        m_fakes.camera->startSucceeds = startSucceeds;
        m_fakes.camera->recordFile = m_dir.filePath("missing.mp4");
        auto window = makeWindow();
        QVERIFY(window);
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        auto* pause = child<PushButton>(window->functionToolbar(), "m_buttonPause");
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(dialogtest::flushEvents());
        QCOMPARE(m_fakes.camera->calls, QStringList{"startRecordMain"});
        if (!startSucceeds) {
            QCOMPARE(record->myText(), QString("Record"));
            QVERIFY(pause->myGetHide());
            return;
        }
        QCOMPARE(record->myText(), QString("Stop"));
        QVERIFY(!pause->myGetHide());
        QCOMPARE(child<PushButton>(window->functionToolbar(), "m_buttonHide")->myText(), QString("REC 00:00:00"));
        QVERIFY(child<QComboBox>(window->bottomToolbar(), "m_comboSolution")->isEnabled() == false);
        // The recording ends by itself and left no file: idle again, with an error.
        QString shown;
        dialogtest::onNextModal("QMessageBox", [&shown](QWidget* box) {
            shown = static_cast<QMessageBox*>(box)->text();
            box->close();
        }, eventwait::kHangMs, m_scope.get());
        m_fakes.camera->main.status = 0;
        emit m_fakes.camera->object_.sigContentChange(PaxChangeRecordInfoMain);
        QTRY_COMPARE_WITH_TIMEOUT(shown, QString("record error"), eventwait::kHangMs);
        QCOMPARE(record->myText(), QString("Record"));
        QVERIFY(pause->myGetHide());
        QCOMPARE(child<PushButton>(window->functionToolbar(), "m_buttonHide")->myText(), QString("Hide"));
    }

    void screenRecording()
    {
        auto window = makeWindow();
        QVERIFY(window);
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        auto* hide = child<PushButton>(window->functionToolbar(), "m_buttonHide");
        dialogtest::onNextModal("RecordDialog", [](QWidget* frame) {
            frame->findChild<QPushButton*>("m_buttonGrab")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(window->recordAreaBox());
        QVERIFY(window->recordAreaBox()->isVisible());
        QVERIFY(window->recordAreaBox()->isFlashing());
        QCOMPARE(record->myText(), QString("Stop"));
        QVERIFY(!child<PushButton>(window->functionToolbar(), "m_buttonPause")->myGetHide());
        QVERIFY(hide->isOpenPixFlicker());
        // The recorder's own clock: the button counts up in whole seconds to two seconds and more.
        QStringList texts;
        const QRegularExpression recText("^REC (\\d\\d):(\\d\\d):(\\d\\d)$");
        const auto seconds = [&recText](const QString& text) {
            const auto m = recText.match(text);
            return m.hasMatch() ? m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt()
                                : -1;
        };
        QVERIFY2(QTest::qWaitFor([&] {
            if (texts.isEmpty() || texts.last() != hide->myText())
                texts << hide->myText();
            return seconds(texts.last()) >= 2;
        }, eventwait::kHangMs), qPrintable(texts.join(',')));
        // "REC" alone until the recorder's first report, then the time, rising.
        for (int i = 0; i < texts.size(); ++i) {
            QVERIFY2(seconds(texts[i]) >= 0 || (i == 0 && texts[i] == "REC"), qPrintable(texts.join(',')));
            QVERIFY2(i == 0 || seconds(texts[i]) > seconds(texts[i - 1]), qPrintable(texts.join(',')));
        }
        QVERIFY(record->toolTip().startsWith("screen record is running, record file is:"));

        // Exit is refused while recording.
        QString warning;
        dialogtest::onNextModal("QMessageBox", [&warning](QWidget* box) {
            warning = static_cast<QMessageBox*>(box)->text();
            box->close();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "buttonExit"), Qt::LeftButton);
        QCOMPARE(warning, QString("Please stop recording first!"));
        QVERIFY(window->isVisible());
        QVERIFY(!m_fakes.camera->calls.contains("releaseInstance"));

        bool offered = false;
        dialogtest::onNextModal("recordFinishedDialog", [&offered](QWidget* dialog) {
            offered = true;
            dialog->findChild<QPushButton*>("pushButton_2")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(offered);
        QCOMPARE(record->myText(), QString("Record"));
        QCOMPARE(hide->myText(), QString("Hide"));
        QVERIFY(!hide->isOpenPixFlicker());
        QVERIFY(!window->recordDialog());
        QVERIFY(!window->recordAreaBox()->isVisible());
        const QString file = PaxScreenQtLib::getInstance()->getRecordInfo().fileName;
        QVERIFY2(QFileInfo(file).fileName().startsWith("screen_"), qPrintable(file));
        QVERIFY(QFileInfo(file).size() > 0);
        const QJsonObject info = mediaprobe::probe(file);
        QVERIFY(!mediaprobe::stream(info, "video").isEmpty());
        // A report of the running recording queued before the stop and delivered after it
        // (a busy machine) shows nothing: the recording has ended.
        PaxScreenRecordInfoS late = PaxScreenQtLib::getInstance()->getRecordInfo();
        late.state = 1;
        late.recordSeconds = 5;
        window->slotRecordInfo(late);
        QCOMPARE(hide->myText(), QString("Hide"));
        QVERIFY(record->toolTip().isEmpty());
    }

    void screenRecordingFailedStart()
    {
        MyMemory* memory = MyMemory::getInstance();
        const QString saved = memory->getConfigSavePath();
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        memory->setConfigSavePath(m_dir.filePath("blocker") + "/");
        auto window = makeWindow();
        QVERIFY(window);
        QString error;
        dialogtest::onNextModal("RecordDialog", [this, &error](QWidget* frame) {
            dialogtest::onNextModal("QMessageBox", [&error](QWidget* box) {
                error = static_cast<QMessageBox*>(box)->text();
                box->close();
            }, eventwait::kHangMs, m_scope.get());
            frame->findChild<QPushButton*>("m_buttonGrab")->click();
        }, eventwait::kHangMs, m_scope.get());
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        QTest::mouseClick(record, Qt::LeftButton);
        memory->setConfigSavePath(saved);
        QCOMPARE(error, QString("record error"));
        QCOMPARE(record->myText(), QString("Record"));
        QVERIFY(!window->recordDialog());
        QVERIFY(!window->recordAreaBox() || !window->recordAreaBox()->isVisible());
        QVERIFY(child<PushButton>(window->functionToolbar(), "m_buttonPause")->myGetHide());
    }

    void screenRecordingEndsByItself()
    {
        auto window = makeWindow();
        QVERIFY(window);
        dialogtest::onNextModal("RecordDialog", [](QWidget* frame) {
            frame->findChild<QPushButton*>("m_buttonGrab")->click();
        }, eventwait::kHangMs, m_scope.get());
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(record->myText(), QString("Stop"));
        QString error;
        dialogtest::onNextModal("QMessageBox", [&error](QWidget* box) {
            error = static_cast<QMessageBox*>(box)->text();
            box->close();
        }, eventwait::kHangMs, m_scope.get());
        // The recorder reports an end with a write error that the window did not ask for.
        PaxScreenRecordInfoS info;
        info.state = 0;
        info.fileName = m_dir.filePath("never-written.mp4");
        info.writeError = -28;
        window->slotRecordInfo(info);
        QCOMPARE(error, QString("record error"));
        QCOMPARE(record->myText(), QString("Record"));
        QVERIFY(!window->recordDialog());
        QVERIFY(!window->recordAreaBox()->isVisible());
        QCOMPARE(PaxScreenQtLib::getInstance()->getRecordInfo().state, 0);
    }

    void destructorStopsScreenRecording_data()
    {
        QTest::addColumn<bool>("closeOnly");
        QTest::newRow("window destroyed") << false;
        QTest::newRow("window closed") << true;
    }
    void destructorStopsScreenRecording()
    {
        QFETCH(bool, closeOnly);
        auto window = makeWindow();
        QVERIFY(window);
        dialogtest::onNextModal("RecordDialog", [](QWidget* frame) {
            frame->findChild<QPushButton*>("m_buttonGrab")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonRecord"), Qt::LeftButton);
        // Frames are written: the recorder has counted its first second.
        QTRY_VERIFY_WITH_TIMEOUT(PaxScreenQtLib::getInstance()->getRecordInfo().state == 1
                                     && PaxScreenQtLib::getInstance()->getRecordInfo().recordSeconds >= 1,
                                 eventwait::kHangMs);
        if (closeOnly) {
            QVERIFY(window->close());
            QCOMPARE(child<PushButton>(window->functionToolbar(), "m_buttonRecord")->myText(), QString("Record"));
            QVERIFY(!window->recordDialog());
        } else {
            window.reset();
        }
        QCOMPARE(PaxScreenQtLib::getInstance()->getRecordInfo().state, 0);
        const QString file = PaxScreenQtLib::getInstance()->getRecordInfo().fileName;
        QVERIFY(QFileInfo(file).size() > 0);
    }

    // In desktop mode the window (and with it the area frame) is hidden, yet the recording runs:
    // "Stop" stops it instead of framing a second one.
    void stopInDesktopMode()
    {
        auto window = makeWindow();
        QVERIFY(window);
        dialogtest::onNextModal("RecordDialog", [](QWidget* frame) {
            frame->findChild<QPushButton*>("m_buttonGrab")->click();
        }, eventwait::kHangMs, m_scope.get());
        auto* record = child<PushButton>(window->functionToolbar(), "m_buttonRecord");
        QTest::mouseClick(record, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(PaxScreenQtLib::getInstance()->getRecordInfo().state, 1, eventwait::kHangMs);
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonDesktop"), Qt::LeftButton);
        QCOMPARE(window->mode(), int(MainWindow::ModeDesktop));
        QVERIFY(!window->isVisible());
        // Frames are written: the recorder has counted its first second.
        QTRY_VERIFY_WITH_TIMEOUT(PaxScreenQtLib::getInstance()->getRecordInfo().recordSeconds >= 1,
                                 eventwait::kHangMs);
        QString opened;
        dialogtest::onNextModal("QWidget", [&opened](QWidget* dialog) {
            opened = dialog->objectName();
            if (auto* close = dialog->findChild<QPushButton*>("pushButton_2"))
                close->click();
            else
                dialog->close();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(opened, QString("recordFinishedDialog"));
        QCOMPARE(PaxScreenQtLib::getInstance()->getRecordInfo().state, 0);
        QCOMPARE(record->myText(), QString("Record"));
        QVERIFY(QFileInfo(PaxScreenQtLib::getInstance()->getRecordInfo().fileName).size() > 0);
    }

    void compareViews_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::newRow("1") << 1 << 1 << 1;
        QTest::newRow("2") << 2 << 1 << 2;
        QTest::newRow("3 in a row") << 3 << 1 << 3;
        QTest::newRow("4 as 2x2") << 4 << 2 << 2;
    }
    void compareViews()
    {
        QFETCH(int, count);
        QFETCH(int, rows);
        QFETCH(int, columns);
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonCompare"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->compareViews().size(), 2, eventwait::kHangMs);
        QCOMPARE(window->mode(), int(MainWindow::ModeCompare));
        // The count buttons stand on the palette the rebuild replaces.
        const QByteArray name = "buttonCompare" + QByteArray::number(count);
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), name.constData()), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->compareViews().size(), count, eventwait::kHangMs);
        QVERIFY(dialogtest::flushEvents());
        QList<QWidget*> views;
        for (GraphicsView* v : window->compareViews())
            views << v;
        const auto grid = rowsAndColumns(views);
        QCOMPARE(grid.first, rows);
        QCOMPARE(grid.second, columns);
        QVERIFY(child<PushButton>(window->functionToolbar(), "m_buttonCompare")->isChecked());
        QVERIFY(!child<PushButton>(window->functionToolbar(), "m_buttonPresenter")->isChecked());
        // Pressing the count shown again rebuilds nothing.
        const QList<GraphicsView*> before = window->compareViews();
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), name.constData()), Qt::LeftButton);
        QVERIFY(dialogtest::flushEvents());
        QCOMPARE(window->compareViews(), before);
        dialogtest::saveScreenshot(window.get(), QStringLiteral("mainwindow-compare-%1").arg(count));
        // Back to presenter mode: views gone, main palette back.
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonPresenter"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->mode(), int(MainWindow::ModePresenter), eventwait::kHangMs);
        QVERIFY(window->compareViews().isEmpty());
        QVERIFY(child<PushButton>(window->bottomToolbar(), "buttonCameraShot"));
        QCOMPARE(m_fakes.media->refreshes, 1);
    }

    void tileColumns_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("columns");
        for (auto [n, c] : QList<QPair<int, int>>{{2, 2}, {3, 3}, {4, 4}, {8, 4}, {16, 4}, {32, 8}, {48, 8}, {5, 2}})
            QTest::newRow(qPrintable(QString::number(n))) << n << c;
    }
    void tileColumns()
    {
        QFETCH(int, count);
        QFETCH(int, columns);
        QCOMPARE(MainWindow::tileColumns(count), columns);
    }

    void wirelessTiles_data()
    {
        QTest::addColumn<int>("comboIndex");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::newRow("4") << 2 << 4 << 1 << 4;
        QTest::newRow("8") << 3 << 8 << 2 << 4;
        QTest::newRow("48") << 6 << 48 << 6 << 8;
    }
    void wirelessTiles()
    {
        QFETCH(int, comboIndex);
        QFETCH(int, count);
        QFETCH(int, rows);
        QFETCH(int, columns);
        m_fakes.media->wireless = true;
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonCompare"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->wirelessTiles().size(), 2, eventwait::kHangMs);
        QVERIFY(dialogtest::flushEvents());
        QList<QWidget*> two;
        for (GraphicsViewForWirelessDevice* t : window->wirelessTiles())
            two << t;
        QCOMPARE(rowsAndColumns(two), qMakePair(1, 2));   // "Compare" gives two tiles side by side
        auto* combo = child<QComboBox>(window->bottomToolbar(), "m_comboTiles");
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), QString("2"));
        combo->setCurrentIndex(comboIndex);
        QTRY_COMPARE_WITH_TIMEOUT(window->wirelessTiles().size(), count, eventwait::kHangMs);
        QVERIFY(dialogtest::flushEvents());
        QList<QWidget*> tiles;
        for (GraphicsViewForWirelessDevice* t : window->wirelessTiles())
            tiles << t;
        const auto grid = rowsAndColumns(tiles);
        QCOMPARE(grid.first, rows);
        QCOMPARE(grid.second, columns);
        auto* rebuilt = child<QComboBox>(window->bottomToolbar(), "m_comboTiles");
        QCOMPARE(rebuilt->currentText(), QString::number(count));
    }

    void noCameraTipCloseExits()
    {
        m_fakes.media->status = 1;
        auto window = std::make_unique<MainWindow>();
        window->init();
        window->show();
        QString text;
        dialogtest::onNextModal("TipsDialog", [&text](QWidget* tip) {
            // The wired tip: "close" and "Wireless Mode".
            text = tip->findChild<QPushButton*>("m_buttonClose")->text() + "|"
                   + tip->findChild<QPushButton*>("m_buttonSwitch")->text();
            tip->findChild<QPushButton*>("m_buttonClose")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTimer guard;   // ends with this test
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(eventwait::kHangMs);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(text, QString("close|Wireless Mode"));
    }

    void noCameraWirelessModeThenClose()
    {
        m_fakes.media->status = 1;
        auto window = std::make_unique<MainWindow>();
        window->init();
        window->show();
        QStringList tips;
        // Wired tip: choose "Wireless Mode"; the check runs again at once and shows the
        // wireless tip, whose "Close" ends the program.
        dialogtest::onNextModal("TipsDialog", [this, &tips](QWidget* tip) {
            tips << tip->findChild<QPushButton*>("m_buttonSwitch")->text();
            QTimer::singleShot(0, this, [this, &tips] {
                dialogtest::onNextModal("TipsDialog", [&tips](QWidget* second) {
                    tips << second->findChild<QPushButton*>("m_buttonSwitch")->text();
                    second->findChild<QPushButton*>("m_buttonClose")->click();
                }, eventwait::kHangMs, m_scope.get());
            });
            tip->findChild<QPushButton*>("m_buttonSwitch")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(eventwait::kHangMs);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(tips, (QStringList{"Wireless Mode", "Wire Mode"}));
        QCOMPARE(m_fakes.media->wirelessSwitches, QList<bool>{true});
        QVERIFY(child<QComboBox>(window->bottomToolbar(), "m_comboSolution")->count() == 2);
    }

    void undecidedCameraIsCheckedEverySecond()
    {
        m_fakes.media->status = -1;
        auto window = makeWindow();
        QVERIFY(window);
        const QList<QComboBox*> before = window->findChildren<QComboBox*>("m_comboSolution");
        // Asked again and again while undecided, with no tip meanwhile.
        const int first = m_fakes.media->statusChecks;
        QVERIFY(first >= 1);
        QTRY_VERIFY_WITH_TIMEOUT(m_fakes.media->statusChecks >= first + 2, eventwait::kHangMs);
        QVERIFY(!QApplication::activeModalWidget());
        m_fakes.media->solutions = QStringList{"0:640x480"};
        m_fakes.media->solutionIndex = 0;
        m_fakes.media->status = 0;
        // The next check finds the camera and rebuilds the bottom palette with its modes.
        QTRY_COMPARE_WITH_TIMEOUT(child<QComboBox>(window->bottomToolbar(), "m_comboSolution")->itemText(0),
                                  QString("640x480"), eventwait::kHangMs);
        QCOMPARE(before.size(), 1);
    }

    void screenGrab_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("closed") << false;
        QTest::newRow("grabbed") << true;
    }
    void screenGrab()
    {
        QFETCH(bool, confirm);
        auto window = makeWindow();
        QVERIFY(window);
        const QString day = m_dir.filePath("save") + "/" + QDate::currentDate().toString("yyyy_MM_dd");
        const int filesBefore = QDir(day).entryList(QDir::Files).size();
        dialogtest::onNextModal("RecordDialog", [confirm](QWidget* frame) {
            frame->resize(400, 300);
            frame->findChild<QPushButton*>(confirm ? "m_buttonGrab" : "m_buttonClose")->click();
        }, eventwait::kHangMs, m_scope.get());
        QTest::mouseClick(child<PushButton>(window->drawToolbar(), "buttonScreenShot"), Qt::LeftButton);
        // A chosen area is grabbed a moment later (the frame gone from the screen): its picture
        // window appears. Closed, nothing follows.
        if (confirm)
            QTRY_COMPARE_WITH_TIMEOUT(window->findChildren<PictureDialog*>("pictureDialog").size(), 1,
                                      eventwait::kHangMs);
        QVERIFY(dialogtest::flushEvents());
        const int filesAfter = QDir(day).entryList(QDir::Files).size();
        QCOMPARE(filesAfter - filesBefore, confirm ? 1 : 0);
        QCOMPARE(window->grabRect().isValid(), confirm);
        if (confirm) {
            QCOMPARE(window->grabRect().size(), QSize(400, 300));
            const auto dialogs = window->findChildren<PictureDialog*>("pictureDialog");
            QCOMPARE(dialogs.size(), 1);
            QVERIFY(dialogs.first()->hasPicture());
        }
    }

    void fullScreenTwiceReturns()
    {
        auto window = makeWindow();
        QVERIFY(window);
        const QRect normal = window->geometry();
        auto* fs = child<PushButton>(window->bottomToolbar(), "buttonFullScreen");
        QTest::mouseClick(fs, Qt::LeftButton);
        QCOMPARE(window->normalWindowFlag(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(window->isFullScreen(), eventwait::kHangMs);
        QVERIFY(dialogtest::flushEvents());
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), "buttonFullScreen"), Qt::LeftButton);
        QCOMPARE(window->normalWindowFlag(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(window->geometry(), normal, eventwait::kHangMs);
        QVERIFY(window->drawToolbar()->isVisible());
        QVERIFY(window->functionToolbar()->isVisible());
    }

    void uvcPreviewSwitch_data()
    {
        QTest::addColumn<int>("switchResult");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("held");
        QTest::newRow("switch succeeds") << 0
            << QStringList{"closeCurCamera", "checkUvcInit", "switchWorkMode 1", "openCurCamera"} << true;
        QTest::newRow("switch fails") << -1 << QStringList{"closeCurCamera", "checkUvcInit", "switchWorkMode 1"}
                                      << false;
    }
    void uvcPreviewSwitch()
    {
        QFETCH(int, switchResult);
        QFETCH(QStringList, calls);
        QFETCH(bool, held);
        m_fakes.camera->servicePath = true;
        m_fakes.camera->switchResult = switchResult;
        // The switch waits until the tip has been seen, so the tip shows however slow the machine.
        m_fakes.camera->holdSwitch = true;
        auto window = makeWindow();
        QVERIFY(window);
        bool tipShown = false;
        dialogtest::onNextModal("TipsDialog", [this, &tipShown](QWidget*) {
            tipShown = true;
            m_fakes.camera->switchGate.release();
        }, eventwait::kHangMs, m_scope.get());
        QElapsedTimer elapsed;
        elapsed.start();
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), "m_buttonVideoSet"), Qt::LeftButton);
        const qint64 ms = elapsed.elapsed();
        QVERIFY(tipShown);
        QVERIFY(m_fakes.camera->switchReleased);
        QCOMPARE(m_fakes.camera->calls, calls);
        QCOMPARE(m_fakes.dialogs->videoSetRuns, 1);
        // A successful switch holds the tip until 3 s after the start (a lower bound: a busy
        // machine only makes it longer); a failed one opens no camera and so has nothing to hold.
        if (held)
            QVERIFY2(ms >= 3000, qPrintable(QString::number(ms)));
    }

    // Escape on the tip does not end the wait early: the tip comes back until the switch is
    // done, and the window keeps handling its events meanwhile.
    void uvcPreviewTipStaysAfterEscape()
    {
        m_fakes.camera->servicePath = true;
        // The switch waits until the tip has come back and the window's timer has fired meanwhile.
        m_fakes.camera->holdSwitch = true;
        auto window = makeWindow();
        QVERIFY(window);
        bool tipAgain = false;
        int ticks = 0;
        int ticksAtTipAgain = -1;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [this, &ticks, &ticksAtTipAgain] {
            ++ticks;
            if (ticksAtTipAgain >= 0 && ticks == ticksAtTipAgain + 1)
                m_fakes.camera->switchGate.release();
        });
        dialogtest::onNextModal("TipsDialog", [this, &tipAgain, &ticks, &ticksAtTipAgain](QWidget* tip) {
            QTest::keyClick(tip, Qt::Key_Escape);
            QTimer::singleShot(0, m_scope.get(), [this, &tipAgain, &ticks, &ticksAtTipAgain] {
                dialogtest::onNextModal("TipsDialog", [&tipAgain, &ticks, &ticksAtTipAgain](QWidget*) {
                    tipAgain = true;
                    ticksAtTipAgain = ticks;
                }, eventwait::kHangMs, m_scope.get());
            });
        }, eventwait::kHangMs, m_scope.get());
        tick.start(100);
        QElapsedTimer elapsed;
        elapsed.start();
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), "m_buttonVideoSet"), Qt::LeftButton);
        const qint64 ms = elapsed.elapsed();
        QVERIFY(tipAgain);
        QVERIFY(m_fakes.camera->switchReleased);
        // The tip held the window until 3 s after the start (a lower bound), and the window's
        // timer kept firing while the tip was back.
        QVERIFY2(ms >= 3000, qPrintable(QString::number(ms)));
        QVERIFY2(ticks > ticksAtTipAgain, qPrintable(QString("%1 %2").arg(ticks).arg(ticksAtTipAgain)));
        QCOMPARE(m_fakes.dialogs->videoSetRuns, 1);
    }

    void exitRetriesWhileServiceBusy()
    {
        m_fakes.camera->servicePath = true;
        m_fakes.camera->busyAnswers = 3;
        auto window = makeWindow();
        QVERIFY(window);
        QTimer::singleShot(0, [&window] {
            QTest::mouseClick(window->findChild<PushButton*>("buttonExit"), Qt::LeftButton);
        });
        QTimer guard;   // ends with this test
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(eventwait::kHangMs);
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(m_fakes.camera->releaseAsked.size(), 4);
        // Asked again after a second each time (a lower bound: a busy machine only makes it longer).
        for (int i = 1; i < 4; ++i) {
            const qint64 gap = m_fakes.camera->releaseAsked[i] - m_fakes.camera->releaseAsked[i - 1];
            QVERIFY2(gap >= 900, qPrintable(QString::number(gap)));
        }
        const QStringList expected{"closeCurCamera", "closeOtherCamera", "releaseInstance", "releaseServiceClient"};
        QCOMPARE(m_fakes.camera->calls, expected);
        QVERIFY(!window->isVisible());
    }

    void cameraShots()
    {
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->bottomToolbar(), "m_buttonTurnRight"), Qt::LeftButton);
        auto* shot = child<PushButton>(window->bottomToolbar(), "buttonCameraShot");
        QTest::mouseClick(shot, Qt::LeftButton);
        QTest::mouseClick(shot, Qt::LeftButton);
        QCOMPARE(m_fakes.media->captures, 2);
        QCOMPARE(m_fakes.media->captureNames.size(), 2);
        QVERIFY(m_fakes.media->captureNames[0] != m_fakes.media->captureNames[1]);
        const QString day = QDate::currentDate().toString("yyyy_MM_dd");
        const QRegularExpression pattern("^" + QRegularExpression::escape(m_dir.filePath("save") + "/" + day + "/")
                                         + "\\d{8}_\\d{6}(_\\d+)?\\.jpg$");
        for (const QString& name : m_fakes.media->captureNames)
            QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QCOMPARE(m_fakes.media->angles, (QList<int>{window->mainView()->getRotate(), window->mainView()->getRotate()}));
        QCOMPARE(window->mainView()->getRotate(), 90);
        const auto dialogs = window->findChildren<PictureDialog*>("pictureDialog");
        QCOMPARE(dialogs.size(), 2);
        for (PictureDialog* d : dialogs)
            QVERIFY(d->hasPicture());
    }

    void sceneModeFollowsScene_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("ioctl");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("controlsEnabled");
        QTest::newRow("video") << 5 << 1 << "m_buttonBack" << true;
        QTest::newRow("move") << 5 << 0 << "m_buttonMove" << false;
        QTest::newRow("rect") << 0 << 0 << "m_buttonRect" << false;
        QTest::newRow("erase") << 7 << 0 << "m_buttonEraser" << false;
        QTest::newRow("pen") << 3 << 0 << "m_buttonLine" << false;
    }
    void sceneModeFollowsScene()
    {
        QFETCH(int, mode);
        QFETCH(int, ioctl);
        QFETCH(QString, checked);
        QFETCH(bool, controlsEnabled);
        auto window = makeWindow();
        QVERIFY(window);
        window->slotUpdateSceneMode(mode, ioctl);
        for (const Ltoolbar::Unit& unit : window->drawToolbar()->units())
            if (unit.button->isCheckable())
                QCOMPARE(unit.button->isChecked(), unit.button->objectName() == checked);
        QCOMPARE(window->mainView()->bWheelZoom, controlsEnabled);
        for (const char* name : {"m_buttonVideoSet", "m_buttonZoomIn", "m_sliderZoom", "m_buttonTurnRight"})
            QCOMPARE(child<QWidget>(window->bottomToolbar(), name)->isEnabled(), controlsEnabled);
        QVERIFY(child<QWidget>(window->bottomToolbar(), "m_comboSolution")->isEnabled());
    }

    void pickerForwardsOnlyOutsidePress_data()
    {
        QTest::addColumn<bool>("outside");
        QTest::newRow("closed by Escape") << false;
        QTest::newRow("closed by a press outside") << true;
    }
    void pickerForwardsOnlyOutsidePress()
    {
        QFETCH(bool, outside);
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->drawToolbar(), "m_buttonExtension"), Qt::LeftButton);
        QVERIFY(window->extendToolbar());
        auto* undo = child<PushButton>(window->drawToolbar(), "buttonUndo");
        int undoClicks = 0;
        connect(undo, &QPushButton::clicked, this, [&undoClicks] { ++undoClicks; });
        const QPoint target = undo->mapToGlobal(undo->rect().center());
        QCursor::setPos(target);
        QTRY_COMPARE_WITH_TIMEOUT(QCursor::pos(), target, eventwait::kHangMs);
        bool seen = false;
        onNextPopup([outside, &seen](QWidget* popup) {
            seen = true;
            if (outside)
                QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(-20, -20));
            else
                QTest::keyClick(popup, Qt::Key_Escape);
        }, this);
        auto* lc = child<PushButton>(window->extendToolbar(), "m_buttonLineColor");
        QTest::mouseClick(lc, Qt::LeftButton);
        QVERIFY(seen);
        QVERIFY(dialogtest::flushEvents());
        QCOMPARE(undoClicks, outside ? 1 : 0);
    }

    void pickerChoiceClosesExtension()
    {
        auto window = makeWindow();
        QVERIFY(window);
        MyMemory::getInstance()->setConfigDrawColor(MyMemory::ColorRed);
        QTest::mouseClick(child<PushButton>(window->drawToolbar(), "m_buttonExtension"), Qt::LeftButton);
        QVERIFY(window->extendToolbar());
        onNextPopup([](QWidget* popup) {
            emit static_cast<ColorSelect*>(popup)->sigColorSelectChanged(MyMemory::ColorBlue);
            popup->close();
        }, this);
        QTest::mouseClick(child<PushButton>(window->extendToolbar(), "m_buttonLineColor"), Qt::LeftButton);
        QVERIFY(dialogtest::flushEvents());
        QVERIFY(!window->extendToolbar());
        QCOMPARE(MyMemory::getInstance()->getDrawColor(), MyMemory::ColorBlue);
        QCOMPARE(child<PushButton>(window->drawToolbar(), "m_buttonExtension")->toolTip(), QString("Extension"));
    }

    // What the X screen shows of the mode buttons once in desktop mode: the red checked frame on
    // "Desktop" only. Row: the mode button checked before.
    void desktopFrameOnScreen_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::newRow("from presenter mode") << QByteArray("m_buttonPresenter");
        QTest::newRow("from compare mode") << QByteArray("m_buttonCompare");
    }
    void desktopFrameOnScreen()
    {
        QFETCH(QByteArray, before);
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), before.constData()), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(child<PushButton>(window->functionToolbar(), before.constData())->isChecked(),
                                 eventwait::kHangMs);
        auto* previous = child<PushButton>(window->functionToolbar(), before.constData());
        auto* desktop = child<PushButton>(window->functionToolbar(), "m_buttonDesktop");
        // The left edge of a button's frame, as the screen shows it.
        auto framed = [](PushButton* button) {
            const QPoint at = button->mapToGlobal(QPoint(1, button->height() / 2));
            const QRgb c = QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixel(0, 0);
            return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80;
        };
        QTRY_VERIFY_WITH_TIMEOUT(framed(previous), eventwait::kHangMs);
        QTest::mouseClick(desktop, Qt::LeftButton);
        QCOMPARE(window->mode(), int(MainWindow::ModeDesktop));
        QVERIFY(!previous->isChecked());
        QVERIFY(dialogtest::flushEvents());
        QTRY_VERIFY_WITH_TIMEOUT(framed(desktop), eventwait::kHangMs);
        QVERIFY(!framed(previous));
    }

    void desktopAndBack()
    {
        auto window = makeWindow();
        QVERIFY(window);
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonDesktop"), Qt::LeftButton);
        QCOMPARE(window->mode(), int(MainWindow::ModeDesktop));
        QVERIFY(!window->isVisible());
        QVERIFY(!window->drawToolbar()->isVisible());
        QVERIFY(window->functionToolbar()->isVisible());
        QVERIFY(child<PushButton>(window->functionToolbar(), "m_buttonDesktop")->isChecked());
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonDesktop"), Qt::LeftButton);
        QCOMPARE(window->mode(), int(MainWindow::ModeDesktop));
        QVERIFY(child<PushButton>(window->functionToolbar(), "m_buttonDesktop")->isChecked());
        QTest::mouseClick(child<PushButton>(window->functionToolbar(), "m_buttonPresenter"), Qt::LeftButton);
        QCOMPARE(window->mode(), int(MainWindow::ModePresenter));
        QVERIFY(window->isVisible());
        QVERIFY(window->drawToolbar()->isVisible());
        QVERIFY(!child<PushButton>(window->functionToolbar(), "m_buttonDesktop")->isChecked());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
