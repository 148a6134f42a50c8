// The callback facade: deliveries, plain records, text buffers and the shared singletons, with the
// virtual camera (ORVANE_VIRTUAL_CAMERA=1) or without a camera.

#include "myffmpegcameracontrol.h"
#include "paxcommonlib.h"
#include "paxcustom1lib.h"
#include "nousbevents.h"
#include "paxdevicemonitor.h"
#include "paxlib.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <atomic>

namespace {

// Longest wait for an event; it only catches a hang.
constexpr int kEventCeilingMs = 60000;

// Counts the frames leaving the capture pipeline (in its threads, after the camera worker took
// each one) while it lives.
class PipelineFrames
{
public:
    PipelineFrames()
    {
        MyFfmpegCameraControl* pipeline = MyFfmpegCameraControl::getInstance();
        m_connection = QObject::connect(pipeline, &MyFfmpegCameraControl::sigGetOneFrameForMain, pipeline,
                                        [this] { ++m_count; }, Qt::DirectConnection);
    }
    ~PipelineFrames() { QObject::disconnect(m_connection); }
    int count() const { return m_count.load(); }
    // Runs events until `n` more frames have passed; false after the ceiling.
    bool waitFor(int n)
    {
        const int target = m_count.load() + n;
        QElapsedTimer t;
        t.start();
        while (m_count.load() < target) {
            if (t.elapsed() > kEventCeilingMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

private:
    QMetaObject::Connection m_connection;
    std::atomic<int> m_count{0};
};

bool withCamera() { return qgetenv("ORVANE_VIRTUAL_CAMERA") == "1"; }

struct Deliveries {
    QList<int> changes;
    int frames = 0;
    bool rowsPacked = true;
    QStringList grabs;
};
Deliveries g_got;

void onChange(_PaxChangeNotifyE n) { g_got.changes.append(int(n)); }
void onFrame(_PaxFrameInfoS f)
{
    ++g_got.frames;
    g_got.rowsPacked = g_got.rowsPacked && f.size == uint64_t(f.width * f.height * 3) && f.data != nullptr;
}
void onGrab(const _PaxBufS& name) { g_got.grabs.append(QString::fromLocal8Bit(name.buf)); }

_PaxBufS buf(const QString& text)
{
    _PaxBufS b;
    paxStringToBuf(text, b);
    return b;
}

} // namespace

class tst_CommonLib : public QObject
{
    Q_OBJECT

    PaxCommonLib* lib() { return PaxCommonLib::getInstance(); }

private slots:
    void initTestCase()
    {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });
        // No save root set by the host: the facade sets one itself.
        QVERIFY(paxlib::YL_createOrGetFatherSaveDir(QString()).isEmpty());
        QVERIFY(!QCoreApplication::instance());
        lib()->registerCallBackFun(&onChange);
        QVERIFY(qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QString()).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!g_got.changes.isEmpty(), kEventCeilingMs);
        QCOMPARE(g_got.changes.first(), withCamera() ? int(PaxChangeDeviceFound) : int(PaxChangeDeviceMissing));
    }
    void cleanupTestCase() { PaxCommonLib::releaseInstance(); }

    void packedRows_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("641 wide") << 641;
        QTest::newRow("640 wide") << 640;
        QTest::newRow("1 wide") << 1;
    }
    void packedRows()
    {
        QFETCH(int, width);
        QImage picture(width, 3, QImage::Format_ARGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                picture.setPixel(x, y, qRgb(x % 256, y * 80, 7));
        std::vector<uint8_t> out;
        int w = 0;
        int h = 0;
        paxPackRgb(picture, out, w, h);
        QCOMPARE(w, width);
        QCOMPARE(h, 3);
        QCOMPARE(out.size(), size_t(width) * 3 * 3);
        // Row 2 starts right after width x 3 bytes of row 1, red green blue per pixel.
        const size_t row2 = size_t(width) * 3 * 2;
        QCOMPARE(int(out[row2]), 0);
        QCOMPARE(int(out[row2 + 1]), 160);
        QCOMPARE(int(out[row2 + 2]), 7);
        QCOMPARE(int(out[size_t(width) * 3 - 3]), (width - 1) % 256);
    }

    void framesOnlyWithACallback()
    {
        if (!withCamera())
            QSKIP("needs the virtual camera");
        PipelineFrames pipeline;
        lib()->openCamera();
        QVERIFY(pipeline.waitFor(5));
        const quint64 before = paxPackedFrameCount();
        QVERIFY(pipeline.waitFor(5));
        QCOMPARE(paxPackedFrameCount(), before); // no frame callback: no conversion
        lib()->registerCallBackFun(&onFrame);
        QTRY_VERIFY_WITH_TIMEOUT(g_got.frames >= 5, kEventCeilingMs);
        QVERIFY(g_got.rowsPacked);
        lib()->registerCallBackFun(static_cast<PaxCommonLib::FrameCallback>(nullptr));
        QCoreApplication::processEvents();
        const int frames = g_got.frames;
        QVERIFY(pipeline.waitFor(5));
        QCoreApplication::processEvents();
        QCOMPARE(g_got.frames, frames);
        lib()->closeCamera();
    }

    void grabNameDelivered()
    {
        if (!withCamera())
            QSKIP("needs the virtual camera");
        lib()->registerCallBackFun(&onGrab);
        lib()->openCamera();
        lib()->setPicSaveFormat(PaxPicSaveFormatPng);
        lib()->grab();
        QTRY_VERIFY_WITH_TIMEOUT(!g_got.grabs.isEmpty(), kEventCeilingMs);
        QVERIFY2(QFileInfo(g_got.grabs.first()).size() > 0, qPrintable(g_got.grabs.first()));
        lib()->closeCamera();
    }

    // The store's notifications that the Qt facade turns into news reach this facade as nothing.
    void settingsNewsIsNotDelivered()
    {
        QCoreApplication::processEvents();
        g_got.changes.clear();
        _PaxRecordInfoS info;
        info.status = 1;
        PaxData::getInstance()->setRecordInfoMain(info);
        PaxData::getInstance()->setRecordInfoSecond(info);
        PaxData::getInstance()->setCurCameraStatus("0");
        PaxData::getInstance()->cameraInfoUpdate();
        QTest::qWait(300);
        QCOMPARE(g_got.changes, QList<int>());
    }

    void solutionList()
    {
        _SolutionS* list = reinterpret_cast<_SolutionS*>(0x1);
        const int n = lib()->getSolutionList(&list);
        if (withCamera()) {
            QVERIFY(n >= 3);
            QVERIFY(list);
            QCOMPARE(list[0].width > 0, true);
            std::free(list);
        } else {
            QCOMPARE(n, 0);
            QVERIFY(list == nullptr);
        }
    }

    void nonAsciiSavePathRoundTrips()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QString::fromUtf8("/Bilder_äöü_图片");
        QVERIFY(QDir().mkpath(path));
        lib()->setPicSavePath(buf(path));
        _PaxBufS out;
        lib()->getPicSavePath(out);
        QCOMPARE(QString::fromUtf8(out.buf), path);
    }

    void longTextIsCutAtACharacter()
    {
        const QString text = QString(1022, QLatin1Char('a')) + QString::fromUtf8("ä");
        _PaxBufS b;
        paxStringToBuf(text, b);
        QCOMPARE(int(strlen(b.buf)), 1022);
        QCOMPARE(paxBufToString(b), QString(1022, QLatin1Char('a')));
        _PaxBufS logo = buf("x");
        lib()->setTextLogoInfo(buf(text), 10, 1, 2, 3, 4, buf("red"));
        unsigned char alpha = 0;
        int x = 0, y = 0, size = 0, weight = 0;
        _PaxBufS colour = buf("");
        lib()->getTextLogoInfo(logo, alpha, x, y, size, weight, colour);
        QCOMPARE(paxBufToString(logo), QString(1022, QLatin1Char('a')));
        QCOMPARE(paxBufToString(colour), QString("red"));
        QCOMPARE(int(alpha), 10);
    }

    // Two facades share the store and the camera model: releasing one leaves them to the other.
    void lastFacadeReleasesTheStore()
    {
        PaxData* store = PaxData::getInstance();
        PaxCustom1Lib::getInstance();
        PaxCustom1Lib::releaseInstance();
        QCOMPARE(PaxData::ms_paxData, store);
        lib()->setPicPressRatio(55);
        QCOMPARE(lib()->getPicPressRatio(), 55);
    }
};

// No application object: the facade makes the offscreen one a plain host needs.
int main(int argc, char** argv)
{
    tst_CommonLib test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_commonlib.moc"
