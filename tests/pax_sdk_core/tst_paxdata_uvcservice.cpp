// Camera image-control values on the service path: the store talks to a real Korvid serving
// the virtual camera through the service client.

#include "korvidtestutil.h"
#include "macuvcclient.h"
#include "paxdata.h"
#include "paxdatafixture.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "paxuvccontrol.h"
#include "uvclink.h"
#include "virtualdevice.h"

#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

using namespace paxtest;

class TestPaxDataUvcService : public QObject
{
    Q_OBJECT

    QProcess* m_korvid = nullptr;

    bool startKorvid()
    {
        stopKorvid();
        m_korvid = new QProcess(this);
        m_korvid->setProcessChannelMode(QProcess::MergedChannels);
        m_korvid->start(qEnvironmentVariable("ORVANE_BIN_DIR") + "/Korvid",
                        {qEnvironmentVariable("ORVANE_TEST_TMP") + "/korvidlog"});
        if (!m_korvid->waitForStarted(kServiceHangMs))
            return false;
        // A probe connection would count as the application leaving: wait for its start line,
        // then for its command port to listen.
        QByteArray out;
        if (!processoutput::waitFor(*m_korvid, out, "start korvid", 1, kServiceHangMs))
            return false;
        return QTest::qWaitFor([] { return listeningPorts().contains(UvcServicePort); }, kServiceHangMs)
            && korvidRunning();
    }
    void stopKorvid()
    {
        if (!m_korvid)
            return;
        if (m_korvid->state() != QProcess::NotRunning) {
            m_korvid->terminate();
            if (!m_korvid->waitForFinished(3000)) {
                m_korvid->kill();
                m_korvid->waitForFinished(3000);
            }
        }
        delete m_korvid;
        m_korvid = nullptr;
    }
    bool korvidRunning() { return m_korvid && m_korvid->state() == QProcess::Running; }

    MacUvcClient* client()
    {
        MacUvcClient* c = MacUvcClient::getInstance();
        c->setWaitLimit(kServiceHangMs);   // every request is answered: only a hang reaches it
        return c;
    }
    // The switch back to work mode 0 ends the service: what the store sends it after that (its
    // deferred close) waits for a link that can't come back, until the client's limit, and
    // nothing here looks at its result (nor at the switch's close).
    static void serviceEndsNext(MacUvcClient* c) { c->setWaitLimit(500); }

private slots:
    void initTestCase()
    {
        pax_resetMacosVersionCache();
        QVERIFY(isAvailableMacos13());
        QVERIFY(pax_virtual::enabled());
        QVERIFY(!paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")).isEmpty());
    }
    void init()
    {
        freshStart();
        QVERIFY(startKorvid());
    }
    void cleanup()
    {
        PaxData::releaseInstance();
        MacUvcClient::releaseInstance();
        stopKorvid();
    }

    void switchOffSendsNothing()
    {
        PaxData* d = PaxData::getInstance();
        d->freshCameraRelative();
        d->checkUvcInit();
        QVERIFY(!d->getBrightnessInfo().supported);
        QTest::qWait(300);
        QVERIFY(korvidRunning()); // a refresh would have ended with the service closing
    }

    void refreshInWorkMode0ClosesTheService()
    {
        PaxData* d = PaxData::getInstance();
        d->setRefreshStreamWaitMs(0);
        d->setUvcControl(true);
        QCOMPARE(client()->getWorkMode(), 0);
        d->checkUvcInit();
        QVERIFY(d->getBrightnessInfo().supported);
        QVERIFY(d->getFocusAutoInfo().supported);
        QCOMPARE(d->getContrastInfo().max, pax_virtual::controlRange(pax_virtual::Contrast).max);
        QTRY_VERIFY_WITH_TIMEOUT(!korvidRunning(), kServiceHangMs);
        QCOMPARE(m_korvid->exitCode(), 12);
    }

    void valuesInPreviewModeAndDeferredClose_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("kept");
        QTest::newRow("stored in range") << "-20" << true;
        QTest::newRow("stored above range") << "500" << false;
        QTest::newRow("nothing stored") << "" << false;
    }
    void valuesInPreviewModeAndDeferredClose()
    {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        PaxData* d = PaxData::getInstance();
        if (!stored.isEmpty())
            editIni({{"common/brightness", stored}});
        d->setRefreshStreamWaitMs(0);
        d->setUvcControl(true);
        MacUvcClient* c = client();
        // UVC preview mode: the service holds the camera; a value away from the default first.
        QCOMPARE(c->switchWorkMode(1), 0);
        QCOMPARE(c->setBrightness(0, 33), 0);
        d->freshCameraRelative();
        const _PaxUvcInfoS info = d->getBrightnessInfo();
        QVERIFY(info.supported);
        QCOMPARE(info.min, -64);
        QCOMPARE(info.max, 64);
        const int expected = kept ? stored.toInt() : info.def;
        QCOMPARE(info.cur, expected);
        QCOMPARE(iniSnapshot().contains("common/brightness"), kept);
        PaxUvcControl::_CameraInfo camera;
        QCOMPARE(c->getBrightnessInfo(0, &camera), 0);
        QCOMPARE(camera.cur, expected);

        // Set within range: stored, written, applied; out of range: nothing.
        d->setBrightness(64);
        QCOMPARE(d->getBrightnessInfo().cur, 64);
        QCOMPARE(iniSnapshot().value("common/brightness"), QStringLiteral("64"));
        QCOMPARE(c->getBrightnessInfo(0, &camera), 0);
        QCOMPARE(camera.cur, 64);
        d->setBrightness(65);
        QCOMPARE(d->getBrightnessInfo().cur, 64);
        QCOMPARE(c->getBrightnessInfo(0, &camera), 0);
        QCOMPARE(camera.cur, 64);
        d->setBrightnessToDefault();
        QVERIFY(!iniSnapshot().contains("common/brightness"));
        QCOMPARE(c->getBrightnessInfo(0, &camera), 0);
        QCOMPARE(camera.cur, info.def);

        // The service keeps the camera until the preview mode ends, then the close follows.
        QTest::qWait(500);
        QVERIFY(korvidRunning());
        serviceEndsNext(c);
        QCOMPARE(c->switchWorkMode(0), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!korvidRunning(), kServiceHangMs);
        QCOMPARE(m_korvid->exitCode(), 12);
    }

    void refocusTakesTheServicePath()
    {
        // The application's own process holds no camera on this path: nothing may go there.
        pax_resetMacosVersionCache();
        PaxUvcControl::getInstance()->freshDevice(false);
        pax_virtual::setControlValue(0, pax_virtual::FocusMode, 0);
        PaxData* d = PaxData::getInstance();
        MacUvcClient* c = client();
        QCOMPARE(c->switchWorkMode(1), 0);
        QCOMPARE(c->setFocusMode(0, false), 0);
        d->setFocus();
        QCOMPARE(pax_virtual::controlValue(0, pax_virtual::FocusMode), 0);
        // The service answered both requests: the link is still idle and usable.
        PaxUvcControl::_CameraInfo camera;
        QCOMPARE(c->getFocusInfo(0, &camera), 0);
        serviceEndsNext(c);
        QCOMPARE(c->switchWorkMode(0), 0);
        PaxUvcControl::releaseInstance();
    }
};

QTEST_GUILESS_MAIN(TestPaxDataUvcService)
#include "tst_paxdata_uvcservice.moc"
