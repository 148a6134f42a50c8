// MacUvcClient against the real Korvid, kept running by korvid-launcher, with the virtual camera.

#include "macuvcclient.h"

#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdlib>
#include <functional>

namespace {

// Ceiling of every wait, and the wait limit of the client: only a hang reaches it.
constexpr int kHangMs = 60000;

QString binDir()
{
    return QString::fromLocal8Bit(qgetenv("ORVANE_BIN_DIR"));
}

bool linked(MacUvcClient* c)
{
    for (QTcpSocket* s : c->findChildren<QTcpSocket*>())
        if (s->peerPort() == UvcServicePort && s->state() == QAbstractSocket::ConnectedState)
            return true;
    return false;
}

// The running Korvid started by the launcher with the given pid, or 0.
qint64 korvidChild(qint64 launcherPid)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (comm) state ppid ...": comm may hold spaces, so read after its closing parenthesis.
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('(');
        const int close = line.lastIndexOf(')');
        if (open < 0 || close < open || line.mid(open + 1, close - open - 1) != "Korvid")
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields[0] != "Z" && fields[1].toLongLong() == launcherPid)
            return pid;
    }
    return 0;
}

} // namespace

class tst_MacUvcClientLive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void search();
    void controlsInPreviewMode_data();
    void controlsInPreviewMode();
    void previewFrames();
    void backToModeZeroAndReconnect();
    void logDirReachesService();
    void resetServerStartsNewKorvid();

private:
    bool waitLinked(int ms);

    QProcess m_launcher;
    QTemporaryDir m_logRoot;
    MacUvcClient* m_client = nullptr;
};

bool tst_MacUvcClientLive::waitLinked(int ms)
{
    QElapsedTimer t;
    t.start();
    while (!linked(m_client)) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

void tst_MacUvcClientLive::initTestCase()
{
    QVERIFY2(!binDir().isEmpty(), "ORVANE_BIN_DIR is not set");
    QVERIFY(QFile::exists(binDir() + "/Korvid"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVANE_VIRTUAL_CAMERA", "1");
    env.insert("ORVANE_PLATFORM_VERSION", "13.0");
    qputenv("ORVANE_VIRTUAL_CAMERA", "1");
    m_launcher.setProgram(binDir() + "/korvid-launcher");
    m_launcher.setProcessEnvironment(env);
    m_launcher.setProcessChannelMode(QProcess::ForwardedChannels);
    m_launcher.start();
    QVERIFY(m_launcher.waitForStarted(kHangMs));

    m_client = MacUvcClient::getInstance();
    m_client->setWaitLimit(kHangMs);   // replies of a loaded machine's service may take long
    QVERIFY2(waitLinked(kHangMs), "Korvid did not come up on the command link");
}

void tst_MacUvcClientLive::cleanupTestCase()
{
    if (m_client) {
        if (m_client->getWorkMode() != 0)
            m_client->switchWorkMode(0);
        MacUvcClient::releaseInstance();
        m_client = nullptr;
    }
    if (m_launcher.state() != QProcess::NotRunning) {
        m_launcher.terminate();
        if (!m_launcher.waitForFinished(8000)) {
            m_launcher.kill();
            m_launcher.waitForFinished(3000);
        }
    }
}

void tst_MacUvcClientLive::search()
{
    QString mainIds = "x", secondIds = "x";
    QCOMPARE(m_client->searchDevice(mainIds, secondIds), 0);
    QCOMPARE(mainIds, QStringLiteral("00000001"));
    QCOMPARE(secondIds, QString());
    // Korvid ends after a search; the launcher starts it again and the client reconnects.
    QVERIFY(waitLinked(kHangMs));
}

void tst_MacUvcClientLive::controlsInPreviewMode_data()
{
    QTest::addColumn<int>("type");
    for (int t = UvcControlBrightness; t <= UvcControlFocusMode; ++t)
        QTest::newRow(qPrintable(QString::number(t))) << t;
}

void tst_MacUvcClientLive::controlsInPreviewMode()
{
    QFETCH(int, type);
    if (m_client->getWorkMode() != 1)
        QCOMPARE(m_client->switchWorkMode(1), 0);
    MacUvcClient* c = m_client;

    if (uvcControlIsModeType(type)) {
        const auto get = type == UvcControlExposureMode ? &MacUvcClient::getExposureModeInfo
                                                        : &MacUvcClient::getFocusModeInfo;
        const auto set = type == UvcControlExposureMode ? &MacUvcClient::setExposureMode
                                                        : &MacUvcClient::setFocusMode;
        bool automatic = false;
        QCOMPARE((c->*get)(0, &automatic), 0);
        QCOMPARE((c->*set)(0, !automatic), 0);
        QCOMPARE((c->*set)(0, automatic), 0);
        // Camera 1 is not there: the service's failure comes back as MUCR_UVC_ERROR.
        QCOMPARE((c->*get)(1, &automatic), int(MUCR_UVC_ERROR));
        return;
    }
    using Get = int (MacUvcClient::*)(int, PaxUvcControl::_CameraInfo*);
    using Set = int (MacUvcClient::*)(int, int);
    Get get = nullptr;
    Set set = nullptr;
    switch (type) {
#define CASE(Name, Type) \
    case Type: \
        get = &MacUvcClient::get##Name##Info; \
        set = &MacUvcClient::set##Name; \
        break;
        MAC_UVC_VALUE_CONTROLS(CASE)
#undef CASE
    }
    QVERIFY(get && set);
    PaxUvcControl::_CameraInfo info{-7, -7, -7, -7};
    QCOMPARE((c->*get)(1, &info), int(MUCR_UVC_ERROR));
    QCOMPARE(info.max, -7);
    QCOMPARE((c->*get)(0, &info), 0);
    QVERIFY2(info.min <= info.def && info.def <= info.max,
             qPrintable(QString("%1 %2 %3").arg(info.min).arg(info.def).arg(info.max)));
    QCOMPARE((c->*set)(0, info.def), 0);
    if (type == UvcControlBrightness || type == UvcControlFocus) {
        // Only these report their current value.
        const int target = info.min + (info.max - info.min) / 3;
        QCOMPARE((c->*set)(0, target), 0);
        PaxUvcControl::_CameraInfo again{};
        QCOMPARE((c->*get)(0, &again), 0);
        QCOMPARE(again.cur, target);
        QCOMPARE((c->*set)(0, info.def), 0);
    }
}

void tst_MacUvcClientLive::previewFrames()
{
    if (m_client->getWorkMode() != 1)
        QCOMPARE(m_client->switchWorkMode(1), 0);
    QCOMPARE(m_client->startPlayCamera(0, 1280, 720, 30, false), 0);
    int frames = 0;
    QElapsedTimer t;
    t.start();
    while (frames < 3 && t.elapsed() < kHangMs) {
        PaxUvcControl::_VideoFrame* f = m_client->getVideoFrameFromMainCamera();
        if (!f) {
            QThread::msleep(10);
            continue;
        }
        const QByteArray bytes(reinterpret_cast<const char*>(f->data), f->size);
        std::free(f->data);
        delete f;
        QImage image;
        QVERIFY(image.loadFromData(bytes, "JPG"));
        QCOMPARE(image.size(), QSize(1280, 720));
        ++frames;
    }
    QCOMPARE(frames, 3);
    QCOMPARE(m_client->stopPlayCamera(0), 0);
}

void tst_MacUvcClientLive::backToModeZeroAndReconnect()
{
    if (m_client->getWorkMode() != 1)
        QCOMPARE(m_client->switchWorkMode(1), 0);
    QCOMPARE(m_client->switchWorkMode(0), 0);
    QCOMPARE(m_client->getWorkMode(), 0);
    // Korvid ended after the close; the next start of the service is found again.
    QCOMPARE(m_client->openDevice(), 0);
    PaxUvcControl::_CameraInfo info{};
    QCOMPARE(m_client->getGainInfo(0, &info), 0);
    QCOMPARE(m_client->closeDevice(), 0);
    QVERIFY(waitLinked(kHangMs));
}

void tst_MacUvcClientLive::logDirReachesService()
{
    const QString folder = m_logRoot.path() + "/korvid/";
    QVERIFY(QDir().mkpath(folder));
    m_client->setServerLogDir(folder);
    // Korvid writes its log lines there once the launcher handed the folder on.
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(folder + "korvid.log") && t.elapsed() < kHangMs) {
        PaxUvcControl::_CameraInfo info{};
        m_client->getBrightnessInfo(0, &info);   // makes the service log an arrival
        QTest::qWait(200);
    }
    QVERIFY(QFile::exists(folder + "korvid.log"));
    QFile log(folder + "korvid.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("vq3 to korvid command"));
}

void tst_MacUvcClientLive::resetServerStartsNewKorvid()
{
    if (m_client->getWorkMode() != 0)
        QCOMPARE(m_client->switchWorkMode(0), 0);
    QVERIFY(waitLinked(kHangMs));
    const qint64 launcherPid = m_launcher.processId();
    const qint64 before = korvidChild(launcherPid);
    QVERIFY(before > 0);

    QElapsedTimer sinceReset;
    sinceReset.start();
    m_client->resetServer();
    QVERIFY(waitLinked(kHangMs));
    // The launcher starts the new Korvid once the old one has gone.
    qint64 after = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            after = korvidChild(launcherPid);
            return after > 0 && after != before;
        },
        kHangMs));
    QCOMPARE(m_client->openDevice(), 0);
    QCOMPARE(korvidChild(launcherPid), after);

    // Past the launcher's grace time for the ended Korvid: the new one still serves. A window
    // for a wrong kill to show, which load can only hide, never fake.
    QTest::qWait(int(qMax<qint64>(0, 3500 - sinceReset.elapsed())));
    QCOMPARE(korvidChild(launcherPid), after);
    PaxUvcControl::_CameraInfo info{-7, -7, -7, -7};
    QCOMPARE(m_client->getGainInfo(0, &info), 0);
    QVERIFY(info.min <= info.def && info.def <= info.max);
    QCOMPARE(m_client->closeDevice(), 0);
    QVERIFY(waitLinked(kHangMs));
}

QTEST_GUILESS_MAIN(tst_MacUvcClientLive)
#include "tst_macuvcclient_live.moc"
