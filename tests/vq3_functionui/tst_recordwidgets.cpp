// Record-finished dialog and record area box.
#include "dialogtest.h"
#include "recordareabox.h"
#include "recordfinisheddialog.h"
#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>

class TestRecordWidgets : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void finishedDialogGeometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("label");
        QTest::addColumn<QRect>("open");
        QTest::addColumn<QRect>("close");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(800, 472, 320, 135) << QRect(16, 19, 288, 38)
                                   << QRect(16, 85, 128, 29) << QRect(176, 85, 128, 29);
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(600, 394, 240, 112) << QRect(12, 16, 216, 32)
                                  << QRect(12, 72, 96, 24) << QRect(132, 72, 96, 24);
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(700, 459, 280, 131) << QRect(14, 18, 252, 36)
                                   << QRect(14, 81, 112, 27) << QRect(154, 81, 112, 27);
    }
    void finishedDialogGeometry()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, dialog);
        QFETCH(QRect, label);
        QFETCH(QRect, open);
        QFETCH(QRect, close);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        recordFinishedDialog d(nullptr);
        QCOMPARE(d.geometry(), dialog);
        QCOMPARE(d.label->geometry(), label);
        QCOMPARE(d.pushButton->geometry(), open);
        QCOMPARE(d.pushButton_2->geometry(), close);
        QCOMPARE(d.pushButton->text(), QStringLiteral("Open the file"));
        QCOMPARE(d.pushButton_2->text(), QStringLiteral("Close"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Record Finished"));
        QCOMPARE(d.label->text(), QStringLiteral("The video is finished. Do you want to open this video file?"));
    }

    void finishedDialogAnswers_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::newRow("open the file") << "pushButton" << 0;
        QTest::newRow("close") << "pushButton_2" << 1;
        QTest::newRow("escape") << "" << 1;
    }
    void finishedDialogAnswers()
    {
        QFETCH(QString, action);
        QFETCH(int, answer);
        recordFinishedDialog d(nullptr);
        dialogtest::onNextModal("recordFinishedDialog", [action](QWidget* w) {
            if (action == "pushButton")
                dialogtest::saveScreenshot(w, "record_finished");
            if (action.isEmpty())
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QTest::mouseClick(w->findChild<QPushButton*>(action), Qt::LeftButton);
        });
        d.exec();
        QCOMPARE(d.answer(), answer);
    }

    void boxAlternatesColoursAndPassesClicks()
    {
        QWidget owner;
        owner.resize(400, 300);
        auto* under = new QPushButton("under", &owner);
        under->setGeometry(40, 40, 200, 100);
        int clicks = 0;
        connect(under, &QPushButton::clicked, [&clicks] { ++clicks; });
        auto* box = new RecordAreaBox(&owner);
        box->setGeometry(30, 30, 220, 120);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner, eventwait::kHangMs));
        QVERIFY(!box->isWindow());
        QVERIFY(box->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(box->color(), QColor(Qt::red));

        // The toggle is shared and starts at blue: red, blue, red, ... from the first tick.
        box->FlickSlots();
        const QColor first = box->color();
        box->FlickSlots();
        QVERIFY(box->color() != first);
        QVERIFY(first == QColor(Qt::blue) || first == QColor(Qt::red));

        // Stopping and starting keeps the colour and goes on alternating.
        box->Flick(true);
        QVERIFY(box->isFlashing());
        const QColor before = box->color();
        QTRY_VERIFY_WITH_TIMEOUT(box->color() != before, eventwait::kHangMs);
        box->Flick(false);
        const QColor kept = box->color();
        // Stopped: its timer no longer runs, and what was pending changes nothing.
        QVERIFY(!box->isFlashing());
        QVERIFY(eventwait::runPending());
        QCOMPARE(box->color(), kept);
        box->Flick(true);
        QTRY_VERIFY_WITH_TIMEOUT(box->color() != kept, eventwait::kHangMs);
        box->Flick(false);

        const QImage picture = box->grab().toImage();
        QCOMPARE(picture.pixelColor(1, 1).alpha() > 0 || picture.pixelColor(2, 1).alpha() > 0, true);
        dialogtest::saveScreenshot(&owner, "record_area_box");

        QTest::mouseClick(under, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QWidget* atPoint = owner.childAt(QPoint(45, 45));
        QCOMPARE(atPoint, static_cast<QWidget*>(under));
        QCOMPARE(clicks, 1);
    }
};

QTEST_MAIN(TestRecordWidgets)
#include "tst_recordwidgets.moc"
