// Device search on the service path: camera ids from a live Korvid (started by its
// launcher, both on loopback) through MacUvcClient, then the same listing and probes.

#include "macuvcclient.h"
#include "paxcamerainfo.h"
#include "paxmacos.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

using Info = PaxCameraInfo::_CameraDeviceInfoS;

namespace {

// True while something listens on 127.0.0.1:port (read from /proc, without connecting:
// a connection would count as a client for the service).
bool listening(quint16 port)
{
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cols = line.simplified().split(' ');
        if (cols.size() > 3 && cols.at(1) == local && cols.at(3) == "0A")
            return true;
    }
    return false;
}

QStringList sizes(const Info& info)
{
    QStringList out;
    for (const PaxCameraInfo::_Device_Option& o : info.optionList)
        out << QStringLiteral("%1@%2").arg(o.video_size).arg(o.fps);
    return out;
}

} // namespace

class tst_CameraSearchService : public QObject
{
    Q_OBJECT

    QProcess m_launcher;

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            qInfo("no DISPLAY: the listing has no screen entry, and the checks expect none");
        QVERIFY2(!listening(UvcServicePort), "port 11080 is taken by another program");
        qputenv("ORVANE_PLATFORM_VERSION", "13.0");
        pax_resetMacosVersionCache();
        QVERIFY(isAvailableMacos13());

        m_launcher.setProgram(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/korvid-launcher"));
        m_launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_launcher.start();
        QVERIFY(m_launcher.waitForStarted(60000));
        QTRY_VERIFY_WITH_TIMEOUT(listening(UvcServicePort), 60000);
        // The service answers a loaded machine's requests late, never not at all.
        MacUvcClient::getInstance()->setWaitLimit(60000);
    }

    void cleanupTestCase()
    {
        PaxCameraInfo::releaseInstance();
        MacUvcClient::releaseInstance();
        if (m_launcher.state() != QProcess::NotRunning) {
            m_launcher.terminate();
            if (!m_launcher.waitForFinished(10000)) {
                m_launcher.kill();
                m_launcher.waitForFinished(5000);
            }
        }
    }

    void twoVirtualCameras_data()
    {
        QTest::addColumn<int>("round");
        // The service ends after each search and its launcher starts it again.
        QTest::newRow("first search") << 1;
        QTest::newRow("search of a restarted service") << 2;
    }

    void twoVirtualCameras()
    {
        QTRY_VERIFY_WITH_TIMEOUT(listening(UvcServicePort), 60000);
        PaxCameraInfo* model = PaxCameraInfo::getInstance();
        QCOMPARE(model->searchCameraDeviceInfo(), 0);

        const QStringList modes{"640x480@30", "1280x720@30", "1920x1080@30"};
        const Info main = model->getCameraInfo(PaxCameraIndexMain);
        QCOMPARE(main.deviceNameInMac, QStringLiteral("Virtual Document Camera"));
        QCOMPARE(main.deviceIndexInMac, 0);
        QCOMPARE(sizes(main), modes);
        QCOMPARE(model->getCameraCurSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
        QCOMPARE(model->getCameraCurFps(PaxCameraIndexMain), 30);

        const Info second = model->getCameraInfo(PaxCameraIndexSecond);
        QCOMPARE(second.deviceNameInMac, QStringLiteral("Virtual Second Camera"));
        QCOMPARE(second.deviceIndexInMac, 1);
        QCOMPARE(sizes(second), modes);

        const Info screen = model->getCameraInfo(PaxCameraIndexScreen);
        // The X11 screen is listed only when DISPLAY names one.
        const bool display = !qEnvironmentVariableIsEmpty("DISPLAY");
        QCOMPARE(screen.deviceNameInMac, display ? QStringLiteral("Capture screen 0") : QString());
        QCOMPARE(screen.deviceIndexInMac, display ? 2 : -1);

        QStringList mics;
        for (const PaxCameraInfo::_MicrophoneS& m : model->getMicrophoneList())
            mics << m.name;
        QVERIFY2(mics.contains(QStringLiteral("Virtual Microphone")), qPrintable(mics.join(", ")));
        QCOMPARE(model->getCurMicrophoneIndex(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_CameraSearchService)
#include "tst_camerasearch_service.moc"
