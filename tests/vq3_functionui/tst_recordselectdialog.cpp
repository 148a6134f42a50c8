// Record control panel: layout from its size, button states by each source's status, the info
// line, the role labels and the camera record requests.
#include "dialogtest.h"
#include "mymemory.h"
#include "paxscreenqtlib.h"
#include "recorddialogfixture.h"
#include "recordselectdialog.h"
#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>

namespace {
QString states(const RecordSelectDialog::Row& row)
{
    QString out;
    for (QPushButton* b : {row.settings, row.start, row.stop, row.pause, row.resume})
        out += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    out += row.info->isHidden() ? QStringLiteral("-") : QStringLiteral("+");
    return out;
}
} // namespace

class TestRecordSelectDialog : public QObject
{
    Q_OBJECT
    RecordDialogFixture m_fixture;
    FakeCameraSdk* m_sdk = nullptr;

private slots:
    void initTestCase() { QVERIFY(m_fixture.initTestCase()); }
    void init() { m_sdk = m_fixture.init(); }
    void cleanup() { m_fixture.cleanup(); }
    void cleanupTestCase() { m_fixture.cleanupTestCase(); }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("panel");
        QTest::addColumn<QRect>("mainConfig");
        QTest::addColumn<QRect>("close");
        // 1920x1080: 960 x 360, a = 19, r = 12, g = 37, b = 97
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(480, 360, 960, 360) << QRect(19, 12, 291, 37)
                                   << QRect(960 - 19 - 97, 12 + 6 * 49, 97, 37);
        // 1440x900: 720 x 300, a = 14, r = 10, g = 31, b = 73
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(360, 300, 720, 300) << QRect(14, 10, 219, 31)
                                  << QRect(720 - 14 - 73, 10 + 6 * 41, 73, 31);
        // 1680x1050: 840 x 350, a = 16, r = 11, g = 37, b = 85
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(420, 350, 840, 350) << QRect(16, 11, 255, 37)
                                   << QRect(840 - 16 - 85, 11 + 6 * 48, 85, 37);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, panel);
        QFETCH(QRect, mainConfig);
        QFETCH(QRect, close);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        RecordSelectDialog d(nullptr);
        QCOMPARE(d.geometry(), panel);
        QCOMPARE(d.mainRow().settings->geometry(), mainConfig);
        QCOMPARE(d.closeButton()->geometry(), close);
    }

    void buttonStates_data()
    {
        QTest::addColumn<int>("mainStatus");
        QTest::addColumn<int>("secondStatus");
        QTest::addColumn<bool>("hasSecond");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("second");
        QTest::newRow("both idle") << 0 << 0 << true << "11000-" << "11000-";
        QTest::newRow("main recording") << 1 << 0 << true << "10110+" << "11000-";
        QTest::newRow("second paused") << 0 << 2 << true << "11000-" << "10101+";
        QTest::newRow("no second camera") << 0 << 1 << false << "11000-" << "00000+";   // the empty info line is left as it is
    }
    void buttonStates()
    {
        QFETCH(int, mainStatus);
        QFETCH(int, secondStatus);
        QFETCH(bool, hasSecond);
        QFETCH(QString, main);
        QFETCH(QString, second);
        m_sdk->recordInfo[0].status = mainStatus;
        m_sdk->recordInfo[1].status = secondStatus;
        m_sdk->secondCamera = hasSecond;
        RecordSelectDialog d(nullptr);
        QCOMPARE(states(d.mainRow()), main);
        QCOMPARE(states(d.secondRow()), second);
        QCOMPARE(states(d.screenRow()), QStringLiteral("11000-"));   // the screen is idle
    }

    void infoText()
    {
        QCOMPARE(RecordSelectDialog::infoText("/x/2024_03_05/screen_2024_03_05_140709.mp4", 3725),
                 QStringLiteral("record filename:screen_2024_03_05_140709.mp4   record time:1hour2minutes5second"));
    }

    void notificationsUpdateTheInfoLine()
    {
        RecordSelectDialog d(nullptr);
        m_sdk->recordInfo[0] = {1, "/v/main.mp4", 61, QRect()};
        emit m_sdk->sigContentChange(CameraNotifyRecordInfoMain);
        QCoreApplication::processEvents();
        QCOMPARE(d.mainRow().info->text(), QStringLiteral("record filename:main.mp4   record time:0hour1minutes1second"));
        QCOMPARE(states(d.mainRow()), QStringLiteral("10110+"));
        m_sdk->recordInfo[0] = {2, "/v/main.mp4", 70, QRect()};
        emit m_sdk->sigContentChange(CameraNotifyRecordInfoMain);
        QCoreApplication::processEvents();
        QVERIFY(d.mainRow().info->text().endsWith("1minutes1second"));   // paused: kept
        QCOMPARE(states(d.mainRow()), QStringLiteral("10101+"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        dialogtest::saveScreenshot(&d, "record_panel");
    }

    void roleLabels_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("main");
        QTest::addColumn<QString>("second");
        QTest::newRow("main current") << 0 << "current camera" << "other camera";
        QTest::newRow("second current") << 1 << "other camera" << "current camera";
        QTest::newRow("unknown") << 2 << "" << "";
    }
    void roleLabels()
    {
        QFETCH(int, current);
        QFETCH(QString, main);
        QFETCH(QString, second);
        m_sdk->currentCamera = current;
        RecordSelectDialog d(nullptr);
        QCOMPARE(d.mainRow().role->text(), main);
        QCOMPARE(d.secondRow().role->text(), second);
    }

    void recordRequests()
    {
        m_sdk->recordInfo[0].status = 1;
        m_sdk->recordInfo[1].status = 2;
        RecordSelectDialog d(nullptr);
        d.mainRow().stop->click();
        d.mainRow().pause->click();
        d.secondRow().resume->click();
        d.secondRow().stop->click();
        QCOMPARE(m_sdk->calls, (QStringList{"stopRecord 0", "pauseRecord 0", "resumeRecord 1", "stopRecord 1"}));
    }
};

QTEST_MAIN(TestRecordSelectDialog)
#include "tst_recordselectdialog.moc"
