// One copy of the device layer and of the SDK's core in a process that holds the camera SDK's
// library beside it: the test program (linked like the application, the device layer named before
// the SDK) and the SDK's library reach the same code and so the same singletons, factories and
// registries.

#include "paxdevicemonitor.h"
#include "paxcamerainfo.h"
#include "paxh264options.h"
#include "paxlog.h"
#include "paxdata.h"
#include "paxopencvutil.h"
#include "screeninput.h"

#include "nousbevents.h"

#include <QFileInfo>
#include <QtTest>

#include <dlfcn.h>

namespace {

// The shared object holding the code at address, and that code's exported name.
struct Origin {
    QString file;
    QByteArray symbol;
};

Origin originOf(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname)
        return {};
    return {QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName(),
            info.dli_sname ? QByteArray(info.dli_sname) : QByteArray()};
}

template <typename F>
quintptr addressOf(F function)
{
    return reinterpret_cast<quintptr>(reinterpret_cast<void*>(function));
}

// The SDK's library as loaded into this process (not loaded a second time).
void* sdkLibrary()
{
    static void* handle = dlopen("libpax_sdk.so", RTLD_NOW | RTLD_NOLOAD);
    return handle;
}

} // namespace

class tst_OneDeviceLayer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(sdkLibrary(), dlerror());
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
    }

    void oneDefinition_data()
    {
        QTest::addColumn<quintptr>("address");
        QTest::addColumn<QString>("library");
        QTest::newRow("device monitor") << addressOf(&PaxDeviceMonitor::getInstance) << "libpax_common.so";
        QTest::newRow("device monitor factory")
            << addressOf(&PaxDeviceMonitor::setEventSourceFactory) << "libpax_common.so";
        QTest::newRow("camera info") << addressOf(&PaxCameraInfo::getInstance) << "libpax_common.so";
        QTest::newRow("screen input factory")
            << addressOf(&pax_platform::setScreenInputFactory) << "libpax_platform.so";
        QTest::newRow("encoder options") << addressOf(&paxh264::bitRateOf) << "libpax_media.so";
        QTest::newRow("FFmpeg start") << addressOf(&ffmpeg_init) << "libpax_imageproc.so";
        QTest::newRow("log destinations") << addressOf(&pax_log::registerDestination) << "libpax_log.so";
        QTest::newRow("settings store") << addressOf(&PaxData::getInstance) << "libpax_sdk_core.so";
    }

    // The code this program calls lies in the layer's own library, and the SDK's library, looking up
    // the same name, reaches that very code rather than a copy of its own.
    void oneDefinition()
    {
        QFETCH(quintptr, address);
        QFETCH(QString, library);
        const Origin origin = originOf(reinterpret_cast<const void*>(address));
        QCOMPARE(origin.file, library);
        QVERIFY(!origin.symbol.isEmpty());
        QCOMPARE(reinterpret_cast<quintptr>(dlsym(sdkLibrary(), origin.symbol.constData())), address);
        QCOMPARE(reinterpret_cast<quintptr>(dlsym(RTLD_DEFAULT, origin.symbol.constData())), address);
    }

    // The device monitor the SDK's library hands out is the one this program sees.
    void oneDeviceMonitor()
    {
        const Origin origin = originOf(reinterpret_cast<const void*>(&PaxDeviceMonitor::getInstance));
        QVERIFY(!origin.symbol.isEmpty());
        using GetInstance = PaxDeviceMonitor* (*)();
        const auto sdkGetInstance =
            reinterpret_cast<GetInstance>(dlsym(sdkLibrary(), origin.symbol.constData()));
        QVERIFY(sdkGetInstance);
        PaxDeviceMonitor* fromSdk = sdkGetInstance();
        QVERIFY(fromSdk);
        QCOMPARE(PaxDeviceMonitor::getInstanceNoCreate(), fromSdk);
        QCOMPARE(PaxDeviceMonitor::getInstance(), fromSdk);
        PaxDeviceMonitor::releaseInstance();
        QCOMPARE(PaxDeviceMonitor::getInstanceNoCreate(), nullptr);
    }
};

QTEST_MAIN(tst_OneDeviceLayer)
#include "tst_onedevicelayer.moc"
