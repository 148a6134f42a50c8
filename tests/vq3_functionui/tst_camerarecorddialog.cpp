// Recording settings dialog: geometry and layout, the screen target against the real
// screen-record SDK (presets and couplings after the queued refresh), the camera targets against
// a recording double, the prefix rules and the bounded microphone permission flow.
#include "camerarecorddialog.h"
#include "dialogtest.h"
#include "recorddialogfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionButton>

namespace {
template <class T>
T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QLatin1String(name));
}
void refresh()
{
    // The refresh is queued: let it run.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}
QStringList enabledCombos(QWidget& d)
{
    QStringList out;
    for (const char* n : {"m_comboBitrateValue", "m_comboBitrateType", "m_comboQuantizationParameter", "m_comboProfile",
                          "m_comboPreset"})
        if (child<QComboBox>(d, n)->isEnabled())
            out << QString::fromLatin1(n).mid(7);
    return out;
}
QString checkedQuality(QWidget& d)
{
    for (const char* n : {"m_radioHigh", "m_radioMiddle", "m_radioLow", "m_radioCustom"})
        if (child<QRadioButton>(d, n)->isChecked())
            return QString::fromLatin1(n).mid(7);
    return QString();
}
} // namespace

class TestCameraRecordDialog : public QObject
{
    Q_OBJECT
    RecordDialogFixture m_fixture;
    FakeCameraSdk* m_sdk = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixture.initTestCase());
        PaxScreenQtLib::getInstance();
    }
    void init()
    {
        m_sdk = m_fixture.init();
        m_sdk->microphones = QStringList{"Mic A", "Mic B"};
        m_sdk->microphone[0] = "Mic B";
        m_sdk->solutions[0] = {{0, 1920, 1080}, {1, 1280, 720}, {2, 640, 480}};
        m_sdk->solutionIndex[0] = 1;
    }
    void cleanup()
    {
        m_fixture.cleanup();
        CameraRecordDialog::resetMicPrivacy();
    }
    void cleanupTestCase() { m_fixture.cleanupTestCase(); }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("target");
        QTest::addColumn<QRect>("dialog");
        QTest::newRow("camera 1920x1080") << QSize(1920, 1080) << 0 << QRect(576, 243, 768, 594);
        QTest::newRow("screen 1920x1080") << QSize(1920, 1080) << 2 << QRect(576, 315, 768, 450);
        QTest::newRow("second camera 1440x900") << QSize(1440, 900) << 1 << QRect(432, 204, 576, 492);
        QTest::newRow("screen 1680x1050") << QSize(1680, 1050) << 2 << QRect(504, 306, 672, 437);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(int, target);
        QFETCH(QRect, dialog);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        CameraRecordDialog d(_PaxCameraIndexE(target), nullptr);
        QCOMPARE(d.geometry(), dialog);
        QCOMPARE(child<QLabel>(d, "m_labelSolution") != nullptr, target != 2);
    }

    void layoutOfCameraDialog()
    {
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        refresh();
        // m = 15, s = 19, a = 256, t = 64, r = 29, g = 25, b = 165
        QCOMPARE(child<QLabel>(d, "m_labelRecordAudio")->geometry(), QRect(15, 19, 256, 29));
        QCOMPARE(child<QSlider>(d, "m_sliderVolumn")->geometry(), QRect(256 + 60 + 128, 19, 768 - 15 - 444, 29));
        QCOMPARE(child<QGroupBox>(d, "m_groupQuality")->geometry(), QRect(15, 4 * 19 + 3 * 29, 738, 7 * 19 + 6 * 29));
        QCOMPARE(child<QRadioButton>(d, "m_radioCustom")->geometry(), QRect(5 * 15 + 3 * 165, 25, 165, 29));
        QCOMPARE(child<QComboBox>(d, "m_comboPreset")->geometry(), QRect(271, 25 + 5 * 48, 768 - 45 - 271, 29));
        QCOMPARE(child<QLineEdit>(d, "m_editPrefix")->geometry(), QRect(286, 11 * 19 + 9 * 29 + 25, 768 - 15 - 286, 29));
        QCOMPARE(child<QComboBox>(d, "m_comboSolution")->geometry(), QRect(286, 12 * 19 + 10 * 29 + 25, 467, 29));
        QCOMPARE(d.windowTitle(), QStringLiteral("Main camera record"));
        dialogtest::saveScreenshot(&d, "record_settings_camera");
    }

    // Every quality button shows its circle on the dark dialog: a light ring around a dark inside;
    // the checked one also shows a light dot in the middle. Row: the button the stored quality checks.
    void qualityButtonsShowCircles_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("checked");
        QTest::newRow("camera quality 1") << 1 << "Middle";
        QTest::newRow("camera quality 3") << 3 << "Custom";
    }
    void qualityButtonsShowCircles()
    {
        QFETCH(int, stored);
        QFETCH(QString, checked);
        m_sdk->quality[0] = stored;
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        refresh();
        QCOMPARE(checkedQuality(d), checked);
        auto light = [](QRgb c) { return qRed(c) > 180 && qGreen(c) > 180 && qBlue(c) > 180; };
        for (const char* n : {"m_radioHigh", "m_radioMiddle", "m_radioLow", "m_radioCustom"}) {
            auto* radio = child<QRadioButton>(d, n);
            // The dialog around the button paints its background, as on screen.
            const QImage image = d.grab(QRect(radio->mapTo(&d, QPoint(0, 0)), radio->size())).toImage();
            QStyleOptionButton option;
            option.initFrom(radio);
            const QRect indicator = radio->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, radio);
            QVERIFY2(indicator.width() >= 8, n);
            const int y = indicator.center().y();
            int lightLeft = 0, lightRight = 0;
            for (int x = indicator.left(); x <= indicator.right(); ++x) {
                if (!light(image.pixel(x, y)))
                    continue;
                if (x < indicator.left() + indicator.width() / 4)
                    ++lightLeft;
                else if (x > indicator.right() - indicator.width() / 4)
                    ++lightRight;
            }
            QVERIFY2(lightLeft > 0 && lightRight > 0, n);
            // Between the ring and the middle lies the dark inside.
            QVERIFY2(!light(image.pixel(indicator.left() + 2, y)), n);
            QCOMPARE(light(image.pixel(indicator.center())), radio->isChecked());
        }
        dialogtest::saveScreenshot(&d, "record_settings_quality_" + checked.toLower());
    }

    void invalidRowsCannotBeChosen()
    {
        CameraRecordDialog d(PaxCameraIndexScreen, nullptr);
        const QList<QPair<const char*, int>> rows{{"m_comboBitrateValue", 6}, {"m_comboQuantizationParameter", 3}};
        for (const auto& row : rows) {
            QComboBox* box = child<QComboBox>(d, row.first);
            auto* model = qobject_cast<QStandardItemModel*>(box->model());
            QVERIFY(model);
            QCOMPARE(model->item(row.second)->text(), QStringLiteral("Invalid"));
            QCOMPARE(int(model->item(row.second)->flags()), 0);
            QCOMPARE(box->itemData(row.second, Qt::BackgroundRole).toInt(), 6);
            QVERIFY(model->item(0)->isEnabled());
        }
        QCOMPARE(child<QComboBox>(d, "m_comboBitrateValue")->itemText(3), QStringLiteral("8M"));
    }

    void screenPresetsCoupleAfterRefresh_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("bitrate");
        QTest::newRow("high") << "m_radioHigh" << 0 << "8M";
        QTest::newRow("middle") << "m_radioMiddle" << 1 << "4M";
        QTest::newRow("low") << "m_radioLow" << 2 << "2M";
    }
    void screenPresetsCoupleAfterRefresh()
    {
        QFETCH(QString, radio);
        QFETCH(int, quality);
        QFETCH(QString, bitrate);
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        screen->setRecordQuality(PaxRecordQualityCustom);
        screen->setBitrateType(PaxBitrateTypeCRF);
        CameraRecordDialog d(PaxCameraIndexScreen, nullptr);
        refresh();
        QCOMPARE(checkedQuality(d), QStringLiteral("Custom"));
        child<QRadioButton>(d, qPrintable(radio))->click();
        QCOMPARE(screen->getRecordQuality(), quality);
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboBitrateValue")->currentText(), bitrate);
        QCOMPARE(child<QComboBox>(d, "m_comboBitrateType")->currentText(), QStringLiteral("VBR"));
        QCOMPARE(child<QComboBox>(d, "m_comboPreset")->currentText(), QStringLiteral("ultrafast"));
        QCOMPARE(child<QComboBox>(d, "m_comboProfile")->currentText(), QStringLiteral("Main Profile"));
        QCOMPARE(child<QComboBox>(d, "m_comboQuantizationParameter")->currentText(), QStringLiteral("Middle"));
        QCOMPARE(enabledCombos(d), QStringList());
    }

    void screenCustomRateControlCoupling()
    {
        PaxScreenQtLib* screen = PaxScreenQtLib::getInstance();
        screen->setRecordQuality(PaxRecordQualityHigh);
        CameraRecordDialog d(PaxCameraIndexScreen, nullptr);
        refresh();
        child<QRadioButton>(d, "m_radioCustom")->click();
        refresh();
        // The preset left a bit rate and a quantization parameter: all five open.
        QCOMPARE(enabledCombos(d).size(), 5);
        // CFR: no bit rate, a quantization parameter.
        child<QComboBox>(d, "m_comboBitrateType")->setCurrentIndex(3);
        refresh();
        QCOMPARE(int(screen->getBitrateValue()), 6);
        QCOMPARE(child<QComboBox>(d, "m_comboBitrateValue")->currentText(), QStringLiteral("Invalid"));
        QCOMPARE(child<QComboBox>(d, "m_comboQuantizationParameter")->currentText(), QStringLiteral("Middle"));
        QCOMPARE(enabledCombos(d), (QStringList{"BitrateType", "QuantizationParameter", "Profile", "Preset"}));
        // CBR: a bit rate again, no quantization parameter.
        child<QComboBox>(d, "m_comboBitrateType")->setCurrentIndex(0);
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboBitrateValue")->currentText(), QStringLiteral("8M"));
        QCOMPARE(child<QComboBox>(d, "m_comboQuantizationParameter")->currentText(), QStringLiteral("Invalid"));
        QCOMPARE(enabledCombos(d), (QStringList{"BitrateValue", "BitrateType", "Profile", "Preset"}));
        dialogtest::saveScreenshot(&d, "record_settings_screen");
    }

    void cameraQualityButtons_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("checked");
        QTest::newRow("camera 0 is Low") << 0 << 0 << "Low";
        QTest::newRow("camera 2 is High") << 0 << 2 << "High";
        QTest::newRow("second camera 1 is Middle") << 1 << 1 << "Middle";
        QTest::newRow("camera 3 is Custom") << 0 << 3 << "Custom";
        QTest::newRow("camera 4 checks none") << 0 << 4 << "";
    }
    void cameraQualityButtons()
    {
        QFETCH(int, target);
        QFETCH(int, stored);
        QFETCH(QString, checked);
        m_sdk->quality[target] = stored;
        CameraRecordDialog d(_PaxCameraIndexE(target), nullptr);
        refresh();
        QCOMPARE(checkedQuality(d), checked);
        if (checked != "Custom")
            QCOMPARE(enabledCombos(d), QStringList());
        QVERIFY(m_sdk->calls.isEmpty());   // filling writes nothing
    }

    void cameraChoicesGoToTheSdk()
    {
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboMicrophone")->currentText(), QStringLiteral("Mic B"));
        QCOMPARE(child<QComboBox>(d, "m_comboSolution")->currentText(), QStringLiteral("1280x720"));
        child<QRadioButton>(d, "m_radioHigh")->click();
        refresh();
        // Moving the check emits twice; only the button turned on is stored.
        QCOMPARE(m_sdk->calls, QStringList{"setRecordQuality 0 2"});
        m_sdk->calls.clear();
        QSlider* slider = child<QSlider>(d, "m_sliderVolumn");
        slider->setValue(97);
        slider->setValue(96);
        slider->setValue(95);
        QCOMPARE(m_sdk->calls, (QStringList{"setCurMicrophoneVolumn 0 97", "setCurMicrophoneVolumn 0 96",
                                            "setCurMicrophoneVolumn 0 95"}));
        m_sdk->calls.clear();
        child<QComboBox>(d, "m_comboSolution")->setCurrentIndex(2);
        QCOMPARE(m_sdk->calls, QStringList{"setRecordSolutionIndex 0 2"});
    }

    void unknownStoredChoicesStoreNothing()
    {
        m_sdk->microphone[0] = "Unplugged";
        m_sdk->solutionIndex[0] = 9;
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboMicrophone")->currentText(), QStringLiteral("Mic A"));
        QCOMPARE(child<QComboBox>(d, "m_comboSolution")->currentText(), QStringLiteral("1920x1080"));
        QVERIFY(m_sdk->calls.isEmpty());
        QCOMPARE(m_sdk->microphone[0], QStringLiteral("Unplugged"));
    }

    void emptyMicrophoneListAndNoHardwareEncoder()
    {
        m_sdk->microphones.clear();
        m_sdk->hardwareAvailable = false;
        CameraRecordDialog d(PaxCameraIndexSecond, nullptr);
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboMicrophone")->count(), 0);
        QVERIFY(!child<QCheckBox>(d, "m_checkHardwareEncoder")->isEnabled());
        QVERIFY(child<QLabel>(d, "m_labelSolution"));
    }

    void notificationsReloadMicrophones()
    {
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        refresh();
        m_sdk->microphones << "Mic C";
        emit m_sdk->sigContentChange(CameraNotifyFound);
        QCOMPARE(child<QComboBox>(d, "m_comboMicrophone")->count(), 2);   // queued: not yet
        refresh();
        QCOMPARE(child<QComboBox>(d, "m_comboMicrophone")->count(), 3);
    }

    void prefixStoredWhenDestroyed_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("screen") << 2 << "lesson" << "lesson";
        QTest::newRow("screen, folder separator refused") << 2 << "../escape" << "screen";
        QTest::newRow("main camera") << 0 << "board" << "board";
        QTest::newRow("second camera refused") << 1 << "a/b" << "second";
    }
    void prefixStoredWhenDestroyed()
    {
        QFETCH(int, target);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        MyMemory::getInstance()->setScreenRecordPrefix("screen");
        {
            CameraRecordDialog d(_PaxCameraIndexE(target), nullptr);
            child<QLineEdit>(d, "m_editPrefix")->setText(typed);
            QCOMPARE(MyMemory::getInstance()->getScreenRecordPrefix(), QStringLiteral("screen"));   // not while typing
        }
        const QString now = target == 2 ? MyMemory::getInstance()->getScreenRecordPrefix() : m_sdk->prefix[target];
        QCOMPARE(now, stored);
    }

    void micPermissionFlow_data()
    {
        QTest::addColumn<QList<int>>("statuses");   // the status read first, then by each poll
        QTest::addColumn<bool>("stored");
        QTest::newRow("authorised") << QList<int>{0} << true;
        QTest::newRow("other state treated as authorised") << QList<int>{3} << true;
        QTest::newRow("asked, then allowed") << QList<int>{2, 2, 0} << true;
        QTest::newRow("asked, then denied") << QList<int>{2, 1} << false;
        QTest::newRow("asked, never answered") << QList<int>{2, 2, 2, 2, 2, 2, 2, 2} << false;
    }
    void micPermissionFlow()
    {
        QFETCH(QList<int>, statuses);
        QFETCH(bool, stored);
        auto reads = std::make_shared<int>(0);
        auto requests = std::make_shared<int>(0);
        CameraRecordDialog::MicPrivacy privacy;
        privacy.status = [statuses, reads] { return statuses.value((*reads)++, statuses.last()); };
        privacy.request = [requests] { ++*requests; };
        privacy.maxPolls = 4;
        privacy.pollIntervalMs = 5;
        CameraRecordDialog::setMicPrivacy(privacy);
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        refresh();
        child<QCheckBox>(d, "m_checkRecordAudio")->setChecked(true);
        QCOMPARE(m_sdk->calls.contains("setIsRecordAudio 0 1"), stored);
        QCOMPARE(*requests, statuses.first() == 2 ? 1 : 0);
        QVERIFY(*reads <= 5);   // bounded
    }

    void deniedPermissionBoxQuit()
    {
        CameraRecordDialog::MicPrivacy privacy;
        privacy.status = [] { return 1; };
        CameraRecordDialog::setMicPrivacy(privacy);
        CameraRecordDialog d(PaxCameraIndexMain, nullptr);
        refresh();
        QString text;
        dialogtest::onNextModal("QMessageBox", [&text](QWidget* box) {
            text = static_cast<QMessageBox*>(box)->text();
            box->findChild<QPushButton*>("m_buttonQuit")->click();
        }, eventwait::kHangMs, &d);
        child<QCheckBox>(d, "m_checkRecordAudio")->setChecked(true);
        QCOMPARE(text, QStringLiteral("This function must use a microphone"));
        QVERIFY(!m_sdk->calls.contains("setIsRecordAudio 0 1"));
    }
};

QTEST_MAIN(TestCameraRecordDialog)
#include "tst_camerarecorddialog.moc"
