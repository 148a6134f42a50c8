// UVC controls popup: placement above the anchor, filling without writes, one write per slider
// value, the automatic modes, "Reset", and the leaving sequence from macOS 12 on.
#include "dialogtest.h"
#include "fakecamerasdk.h"
#include "paxmacos.h"
#include "screengeometry.h"
#include "tipsdialog.h"
#include "videoset.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {
_PaxUvcInfoS info(int min, int max, int cur, int def, bool supported = true, bool curOn = false, bool defOn = false)
{
    _PaxUvcInfoS i;
    i.min = min;
    i.max = max;
    i.cur = cur;
    i.def = def;
    i.supported = supported;
    i.curOn = curOn;
    i.defOn = defOn;
    return i;
}
} // namespace

class TestVideoSet : public QObject
{
    Q_OBJECT
    FakeCameraSdk* m_sdk = nullptr;

    void setPlatform(const char* version)
    {
        qputenv("ORVANE_PLATFORM_VERSION", version);
        pax_resetMacosVersionCache();
    }

private slots:
    void init()
    {
        m_sdk = new FakeCameraSdk;
        m_sdk->uvc[DialogCameraSdk::Brightness] = info(-64, 64, 10, 0);
        m_sdk->uvc[DialogCameraSdk::Contrast] = info(0, 100, 50, 50);
        m_sdk->uvc[DialogCameraSdk::Saturation] = info(0, 100, 60, 64);
        m_sdk->uvc[DialogCameraSdk::Sharpness] = info(0, 7, 3, 2);
        m_sdk->uvc[DialogCameraSdk::Gain] = info(0, 100, 0, 0);
        m_sdk->uvc[DialogCameraSdk::Exposure] = info(1, 5000, 156, 156);
        m_sdk->uvc[DialogCameraSdk::ExposureAuto] = info(0, 1, 0, 0, true, true, true);
        m_sdk->uvc[DialogCameraSdk::Focus] = info(0, 0, 0, 0, false);
        m_sdk->uvc[DialogCameraSdk::FocusAuto] = info(0, 0, 0, 0, false);
        DialogCameraSdk::setInstance(m_sdk);
        setPlatform("11.0");
    }
    void cleanup()
    {
        VideoSet::destroyWindow();
        DialogCameraSdk::setInstance(nullptr);
        delete m_sdk;
        ScreenGeometry::clearOverride();
        VideoSet::setWorkModeSwitch({});
    }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("popup");
        QTest::addColumn<QRect>("slider");
        QTest::addColumn<QRect>("exposure");
        QTest::addColumn<QRect>("reset");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(300, 1000 - 450, 384, 450) << QRect(50, 11, 328, 28)
                                   << QRect(17, 6 * 44 + 5, 361, 28) << QRect(154, 401, 76, 38);
        // 1440x900: w 288, h 375, u 5, r 32, p 37, m 13
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(300, 1000 - 375, 288, 375) << QRect(42, 10, 241, 22)
                                  << QRect(13, 6 * 37 + 5, 270, 22) << QRect(112, 338, 64, 32);
        // 1680x1050: w 336, h 437, u 6, r 37, p 43, m 16
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(300, 1000 - 437, 336, 437) << QRect(49, 11, 281, 27)
                                   << QRect(16, 6 * 43 + 5, 314, 27) << QRect(131, 392, 74, 37);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, popup);
        QFETCH(QRect, slider);
        QFETCH(QRect, exposure);
        QFETCH(QRect, reset);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        VideoSet set(QPoint(300, 1000), nullptr);
        QCOMPARE(set.geometry(), popup);
        QCOMPARE(set.m_sliderBrightness->geometry(), slider);
        QCOMPARE(set.m_sliderExposure->geometry(), exposure);
        QCOMPARE(set.m_buttonDefault->geometry(), reset);
        QVERIFY(set.m_buttonFocus->isHidden());
    }

    void openingFillsWithoutWriting()
    {
        VideoSet set(QPoint(300, 1000), nullptr);
        QVERIFY(m_sdk->calls.isEmpty());
        QCOMPARE(set.m_sliderBrightness->minimum(), -64);
        QCOMPARE(set.m_sliderBrightness->maximum(), 64);
        QCOMPARE(set.m_sliderBrightness->value(), 10);
        QCOMPARE(set.m_sliderSharpness->value(), 3);
        QVERIFY(set.m_checkAuto->isChecked());
        QVERIFY(!set.m_sliderExposure->isEnabled());   // automatic exposure on
        QVERIFY(!set.m_sliderFocus->isEnabled());      // no focus control
        QVERIFY(!set.m_checkAutoFocus->isEnabled());
        QCOMPARE(set.m_buttonDefault->text(), QStringLiteral("Reset"));
        QCOMPARE(set.m_sliderGain->toolTip(), QStringLiteral("Gain"));
        set.show();
        QVERIFY(QTest::qWaitForWindowExposed(&set, eventwait::kHangMs));
        dialogtest::saveScreenshot(&set, "uvc_popup");
    }

    void focusAutoOnLocksFocusSlider()
    {
        m_sdk->uvc[DialogCameraSdk::Focus] = info(0, 255, 30, 0);
        m_sdk->uvc[DialogCameraSdk::FocusAuto] = info(0, 1, 0, 0, true, true, true);
        VideoSet set(QPoint(300, 1000), nullptr);
        QVERIFY(set.m_checkAutoFocus->isChecked());
        QVERIFY(!set.m_sliderFocus->isEnabled());
        QCOMPARE(set.m_sliderFocus->value(), 30);
    }

    void everySliderValueIsWritten()
    {
        VideoSet set(QPoint(300, 1000), nullptr);
        for (int v = 11; v <= 14; ++v)
            set.m_sliderBrightness->setValue(v);
        QCOMPARE(m_sdk->calls, (QStringList{"setUvcValue 0 11", "setUvcValue 0 12", "setUvcValue 0 13", "setUvcValue 0 14"}));
    }

    void autoExposureClicks()
    {
        VideoSet set(QPoint(300, 1000), nullptr);
        set.show();
        QVERIFY(QTest::qWaitForWindowExposed(&set, eventwait::kHangMs));
        QTest::mouseClick(set.m_checkAuto, Qt::LeftButton, Qt::NoModifier, QPoint(8, set.m_checkAuto->height() / 2));
        QCOMPARE(m_sdk->calls, QStringList{"setUvcAuto 7 0"});
        QVERIFY(set.m_sliderExposure->isEnabled());
        QCOMPARE(set.m_sliderExposure->value(), 156);
        QTest::mouseClick(set.m_checkAuto, Qt::LeftButton, Qt::NoModifier, QPoint(8, set.m_checkAuto->height() / 2));
        QCOMPARE(m_sdk->calls, (QStringList{"setUvcAuto 7 0", "setUvcAuto 7 1"}));
        QVERIFY(!set.m_sliderExposure->isEnabled());
    }

    void resetCallsDefaultsInOrderWithoutSliderWrites()
    {
        VideoSet set(QPoint(300, 1000), nullptr);
        set.m_buttonDefault->click();
        QCOMPARE(m_sdk->calls, (QStringList{"setUvcToDefault 0", "setUvcToDefault 1", "setUvcToDefault 2",
                                            "setUvcToDefault 3", "setUvcToDefault 4", "setUvcToDefault 5",
                                            "setUvcToDefault 7", "setUvcToDefault 6", "setUvcToDefault 8"}));
        QCOMPARE(set.m_sliderBrightness->value(), 0);
        QCOMPARE(set.m_sliderSaturation->value(), 64);
    }

    void secondShowWindowReplacesTheOpenPopup()
    {
        VideoSet* first = nullptr;
        QRect placed;
        dialogtest::onNextModal("VideoSet", [&first, &placed](QWidget* w) {
            first = VideoSet::m_spVideoSet;
            VideoSet::showWindow(QPoint(700, 800), nullptr);   // re-places; the running popup stays
            placed = w->geometry();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        VideoSet::showWindow(QPoint(300, 1000), nullptr);
        QVERIFY(first);
        QCOMPARE(placed, QRect(700, 350, 384, 450));
        QVERIFY(!VideoSet::m_spVideoSet);
        QVERIFY(m_sdk->calls.isEmpty());   // nothing further below macOS 12
    }

    void leavingFromMacos12()
    {
        setPlatform("13.0");
        QStringList* calls = &m_sdk->calls;
        FakeCameraSdk* sdk = m_sdk;
        VideoSet::setWorkModeSwitch([sdk](int mode) {
            sdk->log(QStringLiteral("switchWorkMode %1").arg(mode));
            return -95;   // the service link is closed
        });
        QString tipText;
        QElapsedTimer closed;
        dialogtest::onNextModal("VideoSet", [&](QWidget* w) {
            dialogtest::onNextModal("TipsDialog", [&tipText](QWidget* tip) {
                tipText = tip->findChild<QLabel*>("label")->text();
            });
            closed.start();
            QTest::keyClick(w, Qt::Key_Escape);
        });
        VideoSet::showWindow(QPoint(300, 1000), nullptr);
        const qint64 held = closed.elapsed();
        QVERIFY2(held >= 5500, qPrintable(QString::number(held)));
        QCOMPARE(tipText, QStringLiteral("Exiting from UVC preview mode ..."));
        QCOMPARE(*calls, (QStringList{"closeCurCamera", "switchWorkMode 0", "openCurCamera"}));
        setPlatform("11.0");
    }
};

QTEST_MAIN(TestVideoSet)
#include "tst_videoset.moc"
