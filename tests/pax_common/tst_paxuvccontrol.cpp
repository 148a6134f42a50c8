// The in-process UVC layer through the virtual camera (ORVANE_VIRTUAL_CAMERA=2).

#include "cameravidpid.h"
#include "logcapture.h"
#include "paxuvccontrol.h"
#include "virtualdevice.h"

#include <QtTest>

using Info = PaxUvcControl::_CameraInfo;
using Spec = pax_virtual::UvcDeviceSpec;
using Specs = QList<Spec>;

Q_DECLARE_METATYPE(Spec)

namespace {

constexpr qint32 kUntouched = -12345;

Spec device(quint16 vid, quint16 pid, int camera = 0)
{
    Spec d;
    d.vendorId = vid;
    d.productId = pid;
    d.product = "Cam";
    d.serialNumber = "S1";
    d.manufacturer = "Maker";
    d.camera = camera;
    return d;
}

Info untouched()
{
    return {kUntouched, kUntouched, kUntouched, kUntouched};
}

// The seven value controls.
struct ValueControl
{
    const char* name;
    int (PaxUvcControl::*get)(int, Info*);
    int (PaxUvcControl::*set)(int, int);
    pax_virtual::Control control;
    const char* getFunction;
    const char* setFunction;
    bool readsCur;
};

const ValueControl kValueControls[] = {
    {"brightness", &PaxUvcControl::getBrightnessInfo, &PaxUvcControl::setBrightness, pax_virtual::Brightness,
     "uvc_get_brightness", "uvc_set_brightness", true},
    {"contrast", &PaxUvcControl::getContrastInfo, &PaxUvcControl::setContrast, pax_virtual::Contrast,
     "uvc_get_contrast", "uvc_set_contrast", false},
    {"saturation", &PaxUvcControl::getSaturationInfo, &PaxUvcControl::setSaturation, pax_virtual::Saturation,
     "uvc_get_saturation", "uvc_set_saturation", false},
    {"sharpness", &PaxUvcControl::getSharpnessInfo, &PaxUvcControl::setSharpness, pax_virtual::Sharpness,
     "uvc_get_sharpness", "uvc_set_sharpness", false},
    {"gain", &PaxUvcControl::getGainInfo, &PaxUvcControl::setGain, pax_virtual::Gain, "uvc_get_gain",
     "uvc_set_gain", false},
    {"exposure", &PaxUvcControl::getExposureInfo, &PaxUvcControl::setExposure, pax_virtual::Exposure,
     "uvc_get_exposure_abs", "uvc_set_exposure_abs", false},
    {"focus", &PaxUvcControl::getFocusInfo, &PaxUvcControl::setFocus, pax_virtual::Focus, "uvc_get_focus_abs",
     "uvc_set_focus_abs", true},
};

const ValueControl* valueControl(const QString& name)
{
    for (const ValueControl& c : kValueControls)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

} // namespace

class tst_PaxUvcControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void virtualRowsInTable();
    void roles_data();
    void roles();
    void descriptorTextsPrinted_data();
    void descriptorTextsPrinted();
    void surplusCameraIsClosed();
    void refreshTwice();
    void funcType1Filter();

    void invalidIndex_data();
    void invalidIndex();
    void getValueControl_data();
    void getValueControl();
    void setValueControl_data();
    void setValueControl();
    void getFailureStopsReads_data();
    void getFailureStopsReads();
    void modes_data();
    void modes();
    void modeFailures_data();
    void modeFailures();
    void secondCameraControlsItsOwnState();
    void backlightAndOptions();

private:
    PaxUvcControl* refresh(const Specs& devices);
};

void tst_PaxUvcControl::initTestCase()
{
    QCOMPARE(pax_virtual::cameraCount(), 2);
    // Rows of models used by the cases below only.
    QList<CameraVidPid>& table = getCameraVidPidList();
    table.append(CameraVidPid(CameraVidPid::CameraTypeMain, QStringLiteral("0ABC"), QStringLiteral("0DEF")));
    table.append(CameraVidPid(CameraVidPid::CameraTypeMain, QStringLiteral("bcd"), QStringLiteral("0123")));
    table.append(CameraVidPid(CameraVidPid::CameraTypeSecond, QStringLiteral("0fed"), QStringLiteral("0cba")));
}

void tst_PaxUvcControl::init()
{
    pax_virtual::resetControls();
    pax_virtual::clearControlFaults();
    pax_virtual::clearUvcDevices();
}

void tst_PaxUvcControl::cleanup()
{
    PaxUvcControl::releaseInstance();
    pax_virtual::clearUvcDevices();
    pax_virtual::clearControlFaults();
}

PaxUvcControl* tst_PaxUvcControl::refresh(const Specs& devices)
{
    pax_virtual::setUvcDevices(devices);
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    return uvc;
}

void tst_PaxUvcControl::virtualRowsInTable()
{
    bool main = false;
    bool second = false;
    for (const CameraVidPid& row : getCameraVidPidList()) {
        if (row.getVid() == QLatin1String("0000") && row.getPid() == QLatin1String("0001"))
            main = row.getType() == CameraVidPid::CameraTypeMain;
        if (row.getVid() == QLatin1String("0000") && row.getPid() == QLatin1String("0002"))
            second = row.getType() == CameraVidPid::CameraTypeSecond;
    }
    QVERIFY(main);
    QVERIFY(second);

    // The devices the variable selects: main then second.
    pax_virtual::clearUvcDevices();
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    QVERIFY(uvc->isSuccessInit());
    QCOMPARE(uvc->getMainVid() + uvc->getMainPid(), QStringLiteral("00000001"));
    QCOMPARE(uvc->getSecondVid() + uvc->getSecondPid(), QStringLiteral("00000002"));
}

void tst_PaxUvcControl::roles_data()
{
    QTest::addColumn<Specs>("devices");
    QTest::addColumn<QString>("mainId");     // vid + pid, empty for none
    QTest::addColumn<QString>("secondId");
    QTest::addColumn<QStringList>("logged");
    QTest::addColumn<QStringList>("notLogged");

    QTest::newRow("main and second")
        << Specs{device(0x0000, 0x0001, 0), device(0x0000, 0x0002, 1)} << "00000001" << "00000002"
        << QStringList{} << QStringList{"uvc device number:2"};
    QTest::newRow("first main model wins")
        << Specs{device(0x046d, 0x082d, 0), device(0x046d, 0x0825, 1)} << "046d082d" << ""
        << QStringList{"uvc device number:2"} << QStringList{};
    QTest::newRow("unknown ids are neither")
        << Specs{device(0x1234, 0x5678)} << "" << "" << QStringList{"uvc device number:1"}
        << QStringList{"uvc_open success:"};
    QTest::newRow("upper-case row does not match") << Specs{device(0x0abc, 0x0def)} << "" << ""
                                                   << QStringList{"uvc device number:1"} << QStringList{};
    QTest::newRow("three-digit row does not match") << Specs{device(0x0bcd, 0x0123)} << "" << ""
                                                    << QStringList{"uvc device number:1"} << QStringList{};
    QTest::newRow("four-digit second row matches")
        << Specs{device(0x0fed, 0x0cba)} << "" << "0fed0cba" << QStringList{"uvc device number:1"} << QStringList{};
    QTest::newRow("second only") << Specs{device(0x0000, 0x0002, 1)} << "" << "00000002"
                                 << QStringList{"uvc device number:1"} << QStringList{};
    QTest::newRow("pair complete ends the scan")
        << Specs{device(0x0000, 0x0002, 1), device(0x046d, 0x082d, 0), device(0x0000, 0x0001)} << "046d082d"
        << "00000002" << QStringList{}
        << QStringList{"uvc device number:3", "uvcDevice(2) idVendor(0000) idProduct(0001) product(Cam) serial(S1) "
                                              "manufacturer(Maker)"};
    Spec locked = device(0x046d, 0x082d, 1);
    locked.openFails = true;
    QTest::newRow("unopenable camera does not hide later ones")
        << Specs{locked, device(0x0000, 0x0001, 0)} << "00000001" << ""
        << QStringList{"uvc_open error: -3", "uvc device number:2"} << QStringList{};
    Spec broken = device(0x0000, 0x0001, 1);
    broken.descriptorFails = true;
    QTest::newRow("unreadable descriptor is skipped")
        << Specs{broken, device(0x0000, 0x0002, 1), device(0x046d, 0x0825, 0)} << "046d0825" << "00000002"
        << QStringList{"uvc_get_device_descriptor error: -1"} << QStringList{"uvc device number:3"};
    QTest::newRow("no camera") << Specs{} << "" << "" << QStringList{"uvc_find_devices error: -4"}
                               << QStringList{"uvc device number:0"};
}

void tst_PaxUvcControl::roles()
{
    QFETCH(Specs, devices);
    QFETCH(QString, mainId);
    QFETCH(QString, secondId);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, notLogged);

    LogCapture log;
    PaxUvcControl* uvc = refresh(devices);
    QCOMPARE(uvc->getMainVid() + uvc->getMainPid(), mainId);
    QCOMPARE(uvc->getSecondVid() + uvc->getSecondPid(), secondId);
    QCOMPARE(uvc->isSuccessInit(), !mainId.isEmpty());
    QCOMPARE(uvc->isCameraValid(0), !mainId.isEmpty());
    QCOMPARE(uvc->isCameraValid(1), !secondId.isEmpty());
    QCOMPARE(uvc->getFuncType(), 2);
    for (const QString& line : logged)
        QVERIFY2(log.contains(line), qPrintable(line + " not in:\n" + log.messages().join('\n')));
    for (const QString& line : notLogged)
        QVERIFY2(log.countStartingWith(line) == 0, qPrintable(line));
    QCOMPARE(log.countStartingWith(QStringLiteral("uvc_open success: ")),
             int(!mainId.isEmpty()) + int(!secondId.isEmpty()) + (QTest::currentDataTag() == QByteArray("first main model wins") ? 1 : 0));
}

void tst_PaxUvcControl::descriptorTextsPrinted_data()
{
    QTest::addColumn<Spec>("spec");
    QTest::addColumn<QString>("line");
    Spec full = device(0x0000, 0x0001);
    QTest::newRow("texts") << full
                           << "uvcDevice(0) idVendor(0000) idProduct(0001) product(Cam) serial(S1) manufacturer(Maker)";
    Spec none = device(0x046d, 0x0825);
    none.product = QByteArray();
    none.serialNumber = QByteArray();
    none.manufacturer = QByteArray();
    QTest::newRow("no texts") << none
                              << "uvcDevice(0) idVendor(046d) idProduct(0825) product() serial() manufacturer()";
}

void tst_PaxUvcControl::descriptorTextsPrinted()
{
    QFETCH(Spec, spec);
    QFETCH(QString, line);
    LogCapture log;
    refresh({spec});
    QVERIFY2(log.contains(line), qPrintable(log.messages().join('\n')));
}

void tst_PaxUvcControl::surplusCameraIsClosed()
{
    // Two cameras of the main model: the first one in enumeration order takes the role, and the
    // other is closed again. Their control states tell them apart.
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 1), device(0x0000, 0x0001, 0)});
    QCOMPARE(uvc->getMainVid() + uvc->getMainPid(), QStringLiteral("00000001"));
    QCOMPARE(uvc->getSecondVid(), QString());
    QCOMPARE(uvc->setBrightness(0, 17), 0);
    QCOMPARE(pax_virtual::controlValue(1, pax_virtual::Brightness), 17);
    QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Brightness), 0);
}

void tst_PaxUvcControl::refreshTwice()
{
    // A device stays busy while a handle is open: a second refresh finds both cameras again only
    // when the first refresh's handles were closed.
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0), device(0x0000, 0x0002, 1)});
    QVERIFY(uvc->isCameraValid(0) && uvc->isCameraValid(1));
    {
        LogCapture log;
        uvc->freshDevice(false);
        QVERIFY2(!log.contains(QStringLiteral("uvc_open error: -6")), qPrintable(log.messages().join('\n')));
    }
    QVERIFY(uvc->isCameraValid(0) && uvc->isCameraValid(1));

    // The second camera is gone: dropped by the next refresh.
    pax_virtual::setUvcDevices({device(0x0000, 0x0001, 0)});
    uvc->freshDevice(false);
    QCOMPARE(uvc->getMainPid(), QStringLiteral("0001"));
    QCOMPARE(uvc->getSecondVid(), QString());
    QCOMPARE(uvc->getSecondPid(), QString());
    QVERIFY(!uvc->isCameraValid(1));

    // Released and made again: the cameras open again.
    PaxUvcControl::releaseInstance();
    uvc = PaxUvcControl::getInstance();
    QVERIFY(!uvc->isSuccessInit());
    QCOMPARE(uvc->getMainVid(), QString());
    uvc->freshDevice(false);
    QVERIFY(uvc->isSuccessInit());
}

void tst_PaxUvcControl::funcType1Filter()
{
    // No row has function type 1: asking for it finds nothing.
    pax_virtual::setUvcDevices({device(0x0000, 0x0001, 0)});
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(true);
    QVERIFY(!uvc->isSuccessInit());
    uvc->freshDevice(false);
    QVERIFY(uvc->isSuccessInit());
}

void tst_PaxUvcControl::invalidIndex_data()
{
    QTest::addColumn<int>("idx");
    QTest::addColumn<QString>("operation");
    const QStringList ops{"brightness", "contrast",   "saturation",   "sharpness",  "gain",    "exposure",
                          "focus",      "exposureMode", "focusMode", "backlight"};
    for (int idx : {2, -1, 1}) {
        for (const QString& op : ops) {
            QTest::newRow(qPrintable(QStringLiteral("%1 idx %2").arg(op).arg(idx))) << idx << op;
        }
    }
}

void tst_PaxUvcControl::invalidIndex()
{
    QFETCH(int, idx);
    QFETCH(QString, operation);
    // Only the main camera is open: index 1 is a closed camera.
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0)});
    pax_virtual::setControlValue(1, pax_virtual::Brightness, 9);
    const QString expected = QStringLiteral("cameraType error: %1").arg(idx);

    LogCapture log;
    if (const ValueControl* c = valueControl(operation)) {
        Info info = untouched();
        QCOMPARE((uvc->*c->get)(idx, &info), -1);
        QCOMPARE(info.max, kUntouched);
        QCOMPARE(info.min, kUntouched);
        QCOMPARE(info.def, kUntouched);
        QCOMPARE(info.cur, kUntouched);
        QCOMPARE((uvc->*c->set)(idx, 1), -1);
        QCOMPARE(log.countStartingWith(expected), 2);
    } else if (operation == QLatin1String("exposureMode") || operation == QLatin1String("focusMode")) {
        const bool exposure = operation == QLatin1String("exposureMode");
        bool isAuto = false;
        QCOMPARE(exposure ? uvc->getExposureModeInfo(idx, &isAuto) : uvc->getFocusModeInfo(idx, &isAuto), -1);
        QCOMPARE(isAuto, false);
        QCOMPARE(exposure ? uvc->setExposureMode(idx, true) : uvc->setFocusMode(idx, true), -1);
        QCOMPARE(log.countStartingWith(expected), 2);
    } else {
        QCOMPARE(uvc->getBacklight(idx), -1);
        QCOMPARE(log.countStartingWith(expected), 1);
        QList<PaxUvcControl::_Camera_Option> options;
        QCOMPARE(uvc->getCameraOption(idx, options), -1);
        QVERIFY(options.isEmpty());
    }
    QVERIFY(log.contains(expected));
    // Nothing was written to the second camera.
    QCOMPARE(pax_virtual::controlValue(1, pax_virtual::Brightness), 9);
}

void tst_PaxUvcControl::getValueControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("idx");
    for (const ValueControl& c : kValueControls)
        for (int idx : {0, 1})
            QTest::newRow(qPrintable(QStringLiteral("%1 camera %2").arg(c.name).arg(idx))) << c.name << idx;
}

void tst_PaxUvcControl::getValueControl()
{
    QFETCH(QString, name);
    QFETCH(int, idx);
    const ValueControl* c = valueControl(name);
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0), device(0x0000, 0x0002, 1)});
    const pax_virtual::ControlRange range = pax_virtual::controlRange(c->control);
    const int current = range.min + 1;
    QVERIFY(pax_virtual::setControlValue(idx, c->control, current));

    Info info = untouched();
    QCOMPARE((uvc->*c->get)(idx, &info), 0);
    QCOMPARE(info.max, range.max);
    QCOMPARE(info.min, range.min);
    QCOMPARE(info.def, range.def);
    // Only brightness and focus read the current value; the others leave cur as given.
    QCOMPARE(info.cur, c->readsCur ? current : kUntouched);
    QVERIFY(range.max > range.min);
}

void tst_PaxUvcControl::setValueControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("stored");   // value the camera holds afterwards
    for (const ValueControl& c : kValueControls) {
        const pax_virtual::ControlRange r = pax_virtual::controlRange(c.control);
        QTest::newRow(qPrintable(QStringLiteral("%1 max").arg(c.name))) << c.name << r.max << 0 << r.max;
        QTest::newRow(qPrintable(QStringLiteral("%1 min").arg(c.name))) << c.name << r.min << 0 << r.min;
        QTest::newRow(qPrintable(QStringLiteral("%1 above range").arg(c.name)))
            << c.name << r.max + 1 << -2 << r.def;
    }
    // Values are narrowed to the control's width before they reach the camera.
    QTest::newRow("brightness narrowed to int16") << "brightness" << 65536 + 5 << 0 << 5;
    QTest::newRow("brightness negative") << "brightness" << -7 << 0 << -7;
    QTest::newRow("brightness 0xffff is -1") << "brightness" << 0xffff << 0 << -1;
    QTest::newRow("contrast narrowed to uint16") << "contrast" << 65536 + 40 << 0 << 40;
    QTest::newRow("contrast -1 is 65535") << "contrast" << -1 << -2 << 50;
    QTest::newRow("exposure keeps 32 bits") << "exposure" << 65536 + 40 << -2 << 250;
    QTest::newRow("exposure above 16 bits") << "exposure" << 2000 << 0 << 2000;
}

void tst_PaxUvcControl::setValueControl()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(int, result);
    QFETCH(int, stored);
    const ValueControl* c = valueControl(name);
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0), device(0x0000, 0x0002, 1)});

    LogCapture log;
    QCOMPARE((uvc->*c->set)(0, value), result);
    QCOMPARE(pax_virtual::controlValue(0, c->control), stored);
    QCOMPARE(pax_virtual::controlValue(1, c->control), pax_virtual::controlRange(c->control).def);
    if (result == -2)
        QVERIFY2(log.contains(QStringLiteral("%1 error: -9").arg(c->setFunction)), qPrintable(log.messages().join('\n')));
    else
        QCOMPARE(log.countStartingWith(QString::fromLatin1(c->setFunction)), 0);

    // A value that stuck is what the camera reports as current.
    if (c->readsCur) {
        Info info = untouched();
        QCOMPARE((uvc->*c->get)(0, &info), 0);
        QCOMPARE(info.cur, stored);
    }
}

void tst_PaxUvcControl::getFailureStopsReads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("request");   // the failing read
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("written");  // fields written before the failure, of "cxnd" (cur max min def)

    QTest::newRow("brightness cur") << "brightness" << 0x81 << "uvc_get_brightness UVC_GET_CUR error: -9" << "";
    QTest::newRow("brightness max") << "brightness" << 0x83 << "uvc_get_brightness UVC_GET_MAX error: -9" << "c";
    QTest::newRow("brightness min") << "brightness" << 0x82 << "uvc_get_brightness UVC_GET_MIN error: -9" << "cx";
    QTest::newRow("brightness def") << "brightness" << 0x87 << "uvc_get_brightness UVC_GET_DEF error: -9" << "cxn";
    QTest::newRow("contrast max") << "contrast" << 0x83 << "uvc_get_contrast UVC_GET_MAX error: -9" << "";
    QTest::newRow("saturation min") << "saturation" << 0x82 << "uvc_get_saturation UVC_GET_MIN error: -9" << "x";
    QTest::newRow("sharpness def") << "sharpness" << 0x87 << "uvc_get_sharpness UVC_GET_DEF error: -9" << "xn";
    QTest::newRow("gain max") << "gain" << 0x83 << "uvc_get_gain UVC_GET_MAX error: -9" << "";
    QTest::newRow("exposure def") << "exposure" << 0x87 << "uvc_get_exposure_abs UVC_GET_DEF error: -9" << "xn";
    QTest::newRow("exposure cur not read") << "exposure" << 0x81 << "" << "xnd";
    QTest::newRow("focus max") << "focus" << 0x83 << "uvc_get_focus_abs UVC_GET_MAX error: -9" << "";
    QTest::newRow("focus def") << "focus" << 0x87 << "uvc_get_focus_abs UVC_GET_DEF error: -9" << "xn";
    QTest::newRow("focus cur named as def") << "focus" << 0x81 << "uvc_get_focus_abs UVC_GET_DEF error: -9" << "xnd";
}

void tst_PaxUvcControl::getFailureStopsReads()
{
    QFETCH(QString, name);
    QFETCH(int, request);
    QFETCH(QString, message);
    QFETCH(QString, written);
    const ValueControl* c = valueControl(name);
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0)});
    pax_virtual::setControlFault(0, c->control, request, -9);
    const pax_virtual::ControlRange range = pax_virtual::controlRange(c->control);

    LogCapture log;
    Info info = untouched();
    const int r = (uvc->*c->get)(0, &info);
    QCOMPARE(r, message.isEmpty() ? 0 : -2);
    if (!message.isEmpty())
        QVERIFY2(log.contains(message), qPrintable(log.messages().join('\n')));
    QCOMPARE(info.cur, written.contains('c') ? pax_virtual::controlValue(0, c->control) : kUntouched);
    QCOMPARE(info.max, written.contains('x') ? range.max : kUntouched);
    QCOMPARE(info.min, written.contains('n') ? range.min : kUntouched);
    QCOMPARE(info.def, written.contains('d') ? range.def : kUntouched);

    // A failed write is -2 with the setter's line.
    pax_virtual::setControlFault(0, c->control, pax_virtual::RequestSet, -4);
    QCOMPARE((uvc->*c->set)(0, range.def), -2);
    QVERIFY(log.contains(QStringLiteral("%1 error: -4").arg(c->setFunction)));
}

void tst_PaxUvcControl::modes_data()
{
    QTest::addColumn<bool>("exposure");
    QTest::addColumn<bool>("isAuto");
    QTest::addColumn<int>("written");
    QTest::newRow("exposure auto") << true << true << 8;
    QTest::newRow("exposure manual") << true << false << 1;
    QTest::newRow("focus auto") << false << true << 1;
    QTest::newRow("focus manual") << false << false << 0;
}

void tst_PaxUvcControl::modes()
{
    QFETCH(bool, exposure);
    QFETCH(bool, isAuto);
    QFETCH(int, written);
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0)});
    const pax_virtual::Control control = exposure ? pax_virtual::ExposureMode : pax_virtual::FocusMode;
    // Start from the opposite mode so that the write shows.
    QVERIFY(pax_virtual::setControlValue(0, control, exposure ? (isAuto ? 1 : 8) : (isAuto ? 0 : 1)));

    QCOMPARE(exposure ? uvc->setExposureMode(0, isAuto) : uvc->setFocusMode(0, isAuto), 0);
    QCOMPARE(pax_virtual::controlValue(0, control), written);

    // The getters report the control's default (automatic for both), not the mode in force.
    bool reported = !true;
    QCOMPARE(exposure ? uvc->getExposureModeInfo(0, &reported) : uvc->getFocusModeInfo(0, &reported), 0);
    QCOMPARE(reported, pax_virtual::controlRange(control).def == (exposure ? 8 : 1));
    QVERIFY(reported);
}

void tst_PaxUvcControl::modeFailures_data()
{
    QTest::addColumn<bool>("exposure");
    QTest::addColumn<QString>("getMessage");
    QTest::addColumn<QString>("setMessage");
    QTest::newRow("exposure mode") << true << "uvc_get_ae_mode UVC_GET_DEF error: -7" << "uvc_set_ae_mode error: -7";
    QTest::newRow("focus mode") << false << "uvc_get_focus_auto UVC_GET_DEF error: -7"
                                << "uvc_set_focus_auto error: -7";
}

void tst_PaxUvcControl::modeFailures()
{
    QFETCH(bool, exposure);
    QFETCH(QString, getMessage);
    QFETCH(QString, setMessage);
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0)});
    const pax_virtual::Control control = exposure ? pax_virtual::ExposureMode : pax_virtual::FocusMode;
    // The current value is not what the getter reads.
    pax_virtual::setControlFault(0, control, pax_virtual::RequestCur, -7);
    bool isAuto = false;
    QCOMPARE(exposure ? uvc->getExposureModeInfo(0, &isAuto) : uvc->getFocusModeInfo(0, &isAuto), 0);
    QVERIFY(isAuto);

    pax_virtual::setControlFault(0, control, pax_virtual::RequestDef, -7);
    pax_virtual::setControlFault(0, control, pax_virtual::RequestSet, -7);
    LogCapture log;
    isAuto = false;
    QCOMPARE(exposure ? uvc->getExposureModeInfo(0, &isAuto) : uvc->getFocusModeInfo(0, &isAuto), -2);
    QVERIFY(!isAuto);
    QCOMPARE(exposure ? uvc->setExposureMode(0, false) : uvc->setFocusMode(0, false), -2);
    QVERIFY2(log.contains(getMessage), qPrintable(log.messages().join('\n')));
    QVERIFY2(log.contains(setMessage), qPrintable(log.messages().join('\n')));
}

void tst_PaxUvcControl::secondCameraControlsItsOwnState()
{
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0), device(0x0000, 0x0002, 1)});
    QCOMPARE(uvc->setGain(1, 33), 0);
    QCOMPARE(uvc->setFocusMode(1, false), 0);
    QCOMPARE(pax_virtual::controlValue(1, pax_virtual::Gain), 33);
    QCOMPARE(pax_virtual::controlValue(0, pax_virtual::Gain), pax_virtual::controlRange(pax_virtual::Gain).def);
    QCOMPARE(pax_virtual::controlValue(1, pax_virtual::FocusMode), 0);
    QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 1);
}

void tst_PaxUvcControl::backlightAndOptions()
{
    PaxUvcControl* uvc = refresh({device(0x0000, 0x0001, 0)});
    // The virtual camera has no backlight compensation: the device refuses the read.
    LogCapture log;
    QCOMPARE(uvc->getBacklight(0), -2);
    QVERIFY(log.contains(QStringLiteral("uvc_get_backlight_compensation error: -9")));

    QList<PaxUvcControl::_Camera_Option> options;
    QCOMPARE(uvc->getCameraOption(0, options), 0);
    QCOMPARE(options.size(), 3);
    const int sizes[][2] = {{1920, 1080}, {1280, 720}, {640, 480}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(options[i].format, QStringLiteral("mjpeg"));
        QCOMPARE(options[i].width, sizes[i][0]);
        QCOMPARE(options[i].height, sizes[i][1]);
        QCOMPARE(options[i].fps, 30);
    }
}

QTEST_GUILESS_MAIN(tst_PaxUvcControl)
#include "tst_paxuvccontrol.moc"
