// The UVC controls popup on the real camera SDK facade and the virtual camera: the popup shows
// what the settings store holds and a slider move reaches the camera.
#include "dialogtest.h"
#include "paxdata.h"
#include "paxlib.h"
#include "paxqtlib.h"
#include "paxqtlibdialogsdk.h"
#include "videoset.h"
#include "virtualdevice.h"

#include <QPushButton>
#include <QSlider>

class TestVideoSetFacade : public QObject
{
    Q_OBJECT
    PaxQtLibDialogSdk* m_sdk = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(pax_virtual::enabled());
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
        PaxQtLib* lib = PaxQtLib::getInstance();
        lib->setUvcControl(true);
        m_sdk = new PaxQtLibDialogSdk(lib);
        DialogCameraSdk::setInstance(m_sdk);
        QTRY_VERIFY_WITH_TIMEOUT(m_sdk->getUvcInfo(DialogCameraSdk::Brightness).supported, eventwait::kHangMs);
    }
    void cleanupTestCase()
    {
        VideoSet::destroyWindow();
        DialogCameraSdk::setInstance(nullptr);
        delete m_sdk;
        PaxQtLib::releaseInstance();
    }

    void popupDrivesTheCamera()
    {
        const _PaxUvcInfoS before = m_sdk->getUvcInfo(DialogCameraSdk::Brightness);
        VideoSet set(QPoint(200, 900), nullptr);
        QCOMPARE(set.m_sliderBrightness->minimum(), before.min);
        QCOMPARE(set.m_sliderBrightness->maximum(), before.max);
        QCOMPARE(set.m_sliderBrightness->value(), before.cur);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Brightness), before.cur);   // opening wrote nothing
        const int target = before.cur == before.max ? before.cur - 1 : before.cur + 1;
        set.m_sliderBrightness->setValue(target);
        QCOMPARE(m_sdk->getUvcInfo(DialogCameraSdk::Brightness).cur, target);
        QTRY_COMPARE_WITH_TIMEOUT(pax_virtual::controlValue(0, pax_virtual::Brightness), target, eventwait::kHangMs);
        set.m_buttonDefault->click();
        QCOMPARE(set.m_sliderBrightness->value(), before.def);
        QTRY_COMPARE_WITH_TIMEOUT(pax_virtual::controlValue(0, pax_virtual::Brightness), before.def, eventwait::kHangMs);
    }
};

QTEST_MAIN(TestVideoSetFacade)
#include "tst_videoset_facade.moc"
