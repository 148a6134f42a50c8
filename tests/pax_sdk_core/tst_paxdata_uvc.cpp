// Camera image-control values on the in-process path, against the virtual camera.

#include "paxdata.h"
#include "paxdatafixture.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"
#include "virtualdevice.h"

#include <QSemaphore>
#include <QtTest>

#include <thread>

using namespace paxtest;

namespace {
using V = pax_virtual::Control;

struct ControlRow {
    int index;          // PaxData::UvcControlE
    const char* key;
    V virt;
};

// The value controls with their virtual counterparts.
const ControlRow kValueRows[] = {
    {PaxData::UvcBrightness, "brightness", pax_virtual::Brightness},
    {PaxData::UvcContrast, "contrast", pax_virtual::Contrast},
    {PaxData::UvcSaturation, "saturation", pax_virtual::Saturation},
    {PaxData::UvcSharpness, "sharpness", pax_virtual::Sharpness},
    {PaxData::UvcGain, "gain", pax_virtual::Gain},
    {PaxData::UvcExposure, "exposure", pax_virtual::Exposure},
    {PaxData::UvcFocus, "focus", pax_virtual::Focus},
};

_PaxUvcInfoS infoOf(PaxData* d, int index)
{
    switch (index) {
    case PaxData::UvcBrightness: return d->getBrightnessInfo();
    case PaxData::UvcContrast: return d->getContrastInfo();
    case PaxData::UvcSaturation: return d->getSaturationInfo();
    case PaxData::UvcSharpness: return d->getSharpnessInfo();
    case PaxData::UvcGain: return d->getGainInfo();
    case PaxData::UvcExposure: return d->getExposureInfo();
    case PaxData::UvcExposureAuto: return d->getExposureAutoInfo();
    case PaxData::UvcFocus: return d->getFocusInfo();
    default: return d->getFocusAutoInfo();
    }
}
void setOf(PaxData* d, int index, int value)
{
    switch (index) {
    case PaxData::UvcBrightness: d->setBrightness(value); break;
    case PaxData::UvcContrast: d->setContrast(value); break;
    case PaxData::UvcSaturation: d->setSaturation(value); break;
    case PaxData::UvcSharpness: d->setSharpness(value); break;
    case PaxData::UvcGain: d->setGain(value); break;
    case PaxData::UvcExposure: d->setExposure(value); break;
    case PaxData::UvcFocus: d->setFocus(value); break;
    }
}
void setDefaultOf(PaxData* d, int index)
{
    switch (index) {
    case PaxData::UvcBrightness: d->setBrightnessToDefault(); break;
    case PaxData::UvcContrast: d->setContrastToDefault(); break;
    case PaxData::UvcSaturation: d->setSaturationToDefault(); break;
    case PaxData::UvcSharpness: d->setSharpnessToDefault(); break;
    case PaxData::UvcGain: d->setGainToDefault(); break;
    case PaxData::UvcExposure: d->setExposureToDefault(); break;
    case PaxData::UvcFocus: d->setFocusToDefault(); break;
    case PaxData::UvcExposureAuto: d->setExposureAutoToDefault(); break;
    case PaxData::UvcFocusAuto: d->setFocusAutoToDefault(); break;
    }
}
QString keyOf(int index) { return QStringLiteral("common/") + kValueRows[index == PaxData::UvcFocus ? 6 : index].key; }
V virtOf(int index) { return kValueRows[index == PaxData::UvcFocus ? 6 : index].virt; }

// A store whose records were read from the attached virtual camera.
PaxData* refreshedStore()
{
    PaxUvcControl::getInstance()->freshDevice(false);
    PaxData* d = PaxData::getInstance();
    d->freshCameraRelative();
    return d;
}
} // namespace

class TestPaxDataUvc : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        pax_resetMacosVersionCache();
        QVERIFY(!isAvailableMacos13());
        QVERIFY(pax_virtual::enabled());
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
    }
    void init()
    {
        freshStart();
        pax_virtual::resetControls();
    }
    void cleanupTestCase()
    {
        PaxData::releaseInstance();
        PaxUvcControl::releaseInstance();
    }

    void unsupportedUntilRefreshed()
    {
        PaxData* d = PaxData::getInstance();
        for (int i = 0; i < PaxData::UvcControlCount; ++i)
            QVERIFY(!infoOf(d, i).supported);
        PaxUvcControl::getInstance()->freshDevice(false);
        d->setContrast(60);
        d->setExposureAuto(false);
        QVERIFY(!iniSnapshot().contains("common/contrast"));
        QVERIFY(!iniSnapshot().contains("common/exposureAuto"));
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Contrast), 50);
    }

    void refreshReadsTheCamera_data()
    {
        QTest::addColumn<int>("index");
        for (const ControlRow& r : kValueRows)
            QTest::newRow(r.key) << r.index;
    }
    void refreshReadsTheCamera()
    {
        QFETCH(int, index);
        PaxData* d = refreshedStore();
        const _PaxUvcInfoS info = infoOf(d, index);
        const pax_virtual::ControlRange range = pax_virtual::controlRange(virtOf(index));
        QVERIFY(info.supported);
        QCOMPARE(info.min, range.min);
        QCOMPARE(info.max, range.max);
        QCOMPARE(info.def, range.def);
        QCOMPARE(info.cur, range.def);
        QCOMPARE(pax_virtual::controlValue(0, virtOf(index)), range.def);
        const _PaxUvcInfoS exposureAuto = d->getExposureAutoInfo();
        QVERIFY(exposureAuto.supported);
        QVERIFY(exposureAuto.defOn);
        QVERIFY(exposureAuto.curOn);
        const _PaxUvcInfoS focusAuto = d->getFocusAutoInfo();
        QVERIFY(focusAuto.supported);
        QVERIFY(focusAuto.defOn);
        QVERIFY(focusAuto.curOn);
    }

    void setWithinRange_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("where"); // "max", "min", "max+1", "min-1"
        QTest::addColumn<bool>("taken");
        for (const ControlRow& r : kValueRows) {
            QTest::newRow(qPrintable(QString(r.key) + " max")) << r.index << "max" << true;
            QTest::newRow(qPrintable(QString(r.key) + " min")) << r.index << "min" << true;
            QTest::newRow(qPrintable(QString(r.key) + " max+1")) << r.index << "max+1" << false;
            QTest::newRow(qPrintable(QString(r.key) + " min-1")) << r.index << "min-1" << false;
        }
    }
    void setWithinRange()
    {
        QFETCH(int, index);
        QFETCH(QString, where);
        QFETCH(bool, taken);
        PaxData* d = refreshedStore();
        const _PaxUvcInfoS before = infoOf(d, index);
        const int value = where == "max" ? before.max
            : where == "min"             ? before.min
            : where == "max+1"           ? before.max + 1
                                         : before.min - 1;
        setOf(d, index, value);
        const _PaxUvcInfoS after = infoOf(d, index);
        QCOMPARE(after.cur, taken ? value : before.cur);
        QCOMPARE(iniSnapshot().contains(keyOf(index)), taken);
        if (taken)
            QCOMPARE(iniSnapshot().value(keyOf(index)).toInt(), value);
        QCOMPARE(pax_virtual::controlValue(0, virtOf(index)), taken ? value : before.def);
    }

    void defaultRemovesTheKey_data() { refreshReadsTheCamera_data(); }
    void defaultRemovesTheKey()
    {
        QFETCH(int, index);
        PaxData* d = refreshedStore();
        const _PaxUvcInfoS info = infoOf(d, index);
        setOf(d, index, info.min);
        QVERIFY(iniSnapshot().contains(keyOf(index)));
        setDefaultOf(d, index);
        QVERIFY(!iniSnapshot().contains(keyOf(index)));
        QCOMPARE(infoOf(d, index).cur, info.def);
        QCOMPARE(pax_virtual::controlValue(0, virtOf(index)), info.def);
    }

    void storedValueAtAttach_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("virt");
        QTest::addColumn<int>("applied");
        QTest::addColumn<bool>("kept");
        QTest::newRow("exposure in range") << "exposure" << "700" << int(pax_virtual::Exposure) << 700 << true;
        QTest::newRow("exposure above range") << "exposure" << "5000" << int(pax_virtual::Exposure) << 250 << false;
        QTest::newRow("brightness below range") << "brightness" << "-65" << int(pax_virtual::Brightness) << 0 << false;
        QTest::newRow("gain not a number") << "gain" << "loud" << int(pax_virtual::Gain) << 0 << false;
        QTest::newRow("sharpness at max") << "sharpness" << "15" << int(pax_virtual::Sharpness) << 15 << true;
    }
    void storedValueAtAttach()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, virt);
        QFETCH(bool, kept);
        PaxData::getInstance();
        editIni({{"common/" + key, stored}});
        pax_virtual::setControlValue(0, V(virt), pax_virtual::controlRange(V(virt)).min);
        refreshedStore();
        QTEST(pax_virtual::controlValue(0, V(virt)), "applied");
        QCOMPARE(iniSnapshot().contains("common/" + key), kept);
        // A second refresh with the same camera applies the kept value (or the default) again.
        pax_virtual::setControlValue(0, V(virt), pax_virtual::controlRange(V(virt)).min);
        PaxData::getInstance()->freshCameraRelative();
        QTEST(pax_virtual::controlValue(0, V(virt)), "applied");
    }

    void storedFocusIsNeverReapplied()
    {
        PaxData::getInstance();
        editIni({{"common/focus", 100}, {"common/focusAuto", false}});
        PaxData* d = refreshedStore();
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Focus), 512);
        QCOMPARE(d->getFocusInfo().cur, 512);
        QVERIFY(!d->getFocusAutoInfo().curOn);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 0);
        // Switching automatic focus off applies no focus value either.
        d->setFocusAuto(true);
        d->setFocusAuto(false);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Focus), 512);
        QCOMPARE(iniSnapshot().value("common/focusAuto"), QStringLiteral("false"));
    }

    void manualExposureReappliesTheStoredValue()
    {
        PaxData* d = refreshedStore();
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::ExposureMode), 8);
        editIni({{"common/exposure", 1234}});
        d->setExposureAuto(false);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::ExposureMode), 1);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Exposure), 1234);
        QCOMPARE(d->getExposureInfo().cur, 1234);
        QCOMPARE(iniSnapshot().value("common/exposureAuto"), QStringLiteral("false"));
        d->setExposureAutoToDefault();
        QVERIFY(!iniSnapshot().contains("common/exposureAuto"));
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::ExposureMode), 8);
        QVERIFY(d->getExposureAutoInfo().curOn);
    }

    void autoFocusReload()
    {
        PaxData* d = refreshedStore();
        QVERIFY(d->getFocusAutoInfo().curOn);
        editIni({{"common/focusAuto", false}});
        d->freshAutoFocusInfo();
        QVERIFY(!d->getFocusAutoInfo().curOn);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 0);
        d->setFocusAutoToDefault();
        QVERIFY(d->getFocusAutoInfo().curOn);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 1);
    }

    void oneShotRefocusEndsAutomatic()
    {
        PaxData* d = refreshedStore();
        d->setFocusAuto(false);
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 0);
        const QByteArray before = rawIni();
        d->setFocus();
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 1);
        QCOMPARE(rawIni(), before);
        QVERIFY(!d->getFocusAutoInfo().curOn);
    }

    void noCameraLeavesEverythingUnsupported()
    {
        PaxData* d = refreshedStore();
        QVERIFY(d->getBrightnessInfo().supported);
        // The camera goes away: the next refresh marks every record unsupported.
        PaxUvcControl::releaseInstance();
        qputenv("ORVANE_VIRTUAL_CAMERA", "0");
        PaxUvcControl::getInstance()->freshDevice(false);
        d->freshCameraRelative();
        for (int i = 0; i < PaxData::UvcControlCount; ++i)
            QVERIFY(!infoOf(d, i).supported);
        d->setBrightness(1);
        QVERIFY(!iniSnapshot().contains("common/brightness"));
        qputenv("ORVANE_VIRTUAL_CAMERA", "1");
        PaxUvcControl::releaseInstance();
    }

    void checkUvcInitNeedsTheSwitch()
    {
        PaxUvcControl::getInstance()->freshDevice(false);
        PaxData* d = PaxData::getInstance();
        d->checkUvcInit();
        QVERIFY(!d->getBrightnessInfo().supported);
        d->setUvcControl(true);
        d->checkUvcInit();
        QVERIFY(d->getBrightnessInfo().supported);
    }

    // A reload from the file while another thread's setter is still writing the file takes
    // that setter's value, so memory and file agree once both are done.
    void reloadDuringAnotherThreadsWrite()
    {
        PaxData* d = refreshedStore();
        int disagreements = 0;
        for (int round = 0; round < 400; ++round) {
            const bool on = round % 2 == 1;
            QSemaphore start;
            std::thread writer([&] {
                start.acquire();
                d->setFocusAuto(on);
            });
            std::thread reader([&] {
                start.acquire();
                d->freshAutoFocusInfo();
            });
            start.release(2);
            writer.join();
            reader.join();
            const bool inFile = iniSnapshot().value("common/focusAuto") == QStringLiteral("true");
            QCOMPARE(inFile, on);
            if (d->getFocusAutoInfo().curOn != inFile)
                ++disagreements;
        }
        QCOMPARE(disagreements, 0);
    }
};

QTEST_GUILESS_MAIN(TestPaxDataUvc)
#include "tst_paxdata_uvc.moc"
