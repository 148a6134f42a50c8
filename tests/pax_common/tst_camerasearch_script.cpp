// Device search on the service path against a scripted service on loopback: the answers to
// the search command, a time-out with one restart and retry, and an unreachable service.

#include "errorlines.h"
#include "macuvcclient.h"
#include "paxcamerainfo.h"
#include "paxmacos.h"
#include "uvclink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// Stands in for Korvid (command link) and its launcher (father link). Each search command
// takes the next scripted answer; an empty answer is never sent (the client times out).
// A reset on the father link drops the command connections, as a restarted service would.
class ScriptedService : public QObject
{
    Q_OBJECT
public:
    QStringList answers;
    int searches = 0;
    int resets = 0;

    bool listen(bool command)
    {
        connect(&m_command, &QTcpServer::newConnection, this, &ScriptedService::onCommandClient);
        connect(&m_father, &QTcpServer::newConnection, this, &ScriptedService::onFatherClient);
        if (command && !m_command.listen(QHostAddress(QStringLiteral("127.0.0.1")), UvcServicePort))
            return false;
        return m_father.listen(QHostAddress(QStringLiteral("127.0.0.1")), FatherPort);
    }

private slots:
    void onCommandClient()
    {
        while (QTcpSocket* s = m_command.nextPendingConnection()) {
            auto reader = std::make_shared<UvcLinkReader>();
            connect(s, &QTcpSocket::readyRead, this, [this, s, reader] {
                for (const QByteArray& payload : reader->feed(s->readAll())) {
                    if (!payload.startsWith(UvcCmdSearchDevice))
                        continue;
                    const QString answer = searches < answers.size() ? answers.at(searches) : QString();
                    ++searches;
                    if (!answer.isEmpty()) {
                        s->write(UvcLinkFrame::encode(answer));
                        s->flush();
                    }
                }
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            m_clients.append(s);
        }
    }

    void onFatherClient()
    {
        while (QTcpSocket* s = m_father.nextPendingConnection()) {
            auto reader = std::make_shared<UvcLinkReader>();
            connect(s, &QTcpSocket::readyRead, this, [this, s, reader] {
                for (const QByteArray& payload : reader->feed(s->readAll())) {
                    if (!payload.startsWith(FatherCmdReset))
                        continue;
                    ++resets;
                    for (const QPointer<QTcpSocket>& c : qAsConst(m_clients))
                        if (c)
                            c->disconnectFromHost();
                }
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    }

private:
    QTcpServer m_command;
    QTcpServer m_father;
    QList<QPointer<QTcpSocket>> m_clients;
};

class tst_CameraSearchScript : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("ORVANE_PLATFORM_VERSION", "13.0");
        pax_resetMacosVersionCache();
        QVERIFY(isAvailableMacos13());
    }

    void cleanup()
    {
        PaxCameraInfo::releaseInstance();
        MacUvcClient::releaseInstance();
    }

    void search_data()
    {
        QTest::addColumn<bool>("serviceUp");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("mainName");
        QTest::addColumn<QString>("secondName");
        QTest::addColumn<int>("searches");
        QTest::addColumn<int>("resets");
        QTest::addColumn<QStringList>("errors");

        const QString reset = QStringLiteral("1276:korvid reset");
        const QString failed = QStringLiteral("1285:MacUvcClient searchDevice failed");
        const QString none = QStringLiteral("1290:MacUvcClient searchDevice success, but not find valid device");
        const QString main = QStringLiteral("Virtual Document Camera");
        const QString second = QStringLiteral("Virtual Second Camera");
        QTest::newRow("both cameras") << true << QStringList{"[01]00000001,00000002"} << 0 << main << second << 1 << 0
                                      << QStringList{};
        QTest::newRow("main camera only") << true << QStringList{"[01]00000001,"} << 0 << main << "" << 1 << 0
                                          << QStringList{};
        QTest::newRow("ids swapped") << true << QStringList{"[01]00000002,00000001"} << 0 << second << main << 1 << 0
                                     << QStringList{};
        QTest::newRow("no camera at the service") << true << QStringList{"[01],"} << -1 << "" << "" << 1 << 0
                                                  << QStringList{none};
        QTest::newRow("main camera not a video device") << true << QStringList{"[01]12345678,00000002"} << -2 << ""
                                                        << second << 1 << 0 << QStringList{};
        QTest::newRow("id only a part of a device's id") << true << QStringList{"[01]0000001,"} << -2 << "" << "" << 1 << 0
                                                         << QStringList{};
        QTest::newRow("time-out, restart, answer")
            << true << QStringList{"", "[01]00000001,00000002"} << 0 << main << second << 2 << 1 << QStringList{reset};
        QTest::newRow("time-out twice") << true << QStringList{"", ""} << -1 << "" << "" << 2 << 1
                                        << QStringList{reset, failed};
        QTest::newRow("service not reachable") << false << QStringList{} << -1 << "" << "" << 0 << 0
                                               << QStringList{failed};
    }

    void search()
    {
        QFETCH(bool, serviceUp);
        QFETCH(QStringList, answers);
        ScriptedService service;
        service.answers = answers;
        QVERIFY2(service.listen(serviceUp), "ports 11080/11081 are taken");
        // A row that lets the client time out (a silent answer, no service) waits out a short
        // limit; every other one a limit only a hang reaches.
        const bool timesOut = !serviceUp || answers.contains(QString());
        MacUvcClient::getInstance()->setWaitLimit(timesOut ? 1000 : 60000);

        PaxCameraInfo* model = PaxCameraInfo::getInstance();
        ErrorLines errors;
        QTEST(model->searchCameraDeviceInfo(), "result");
        QTEST(errors.of(QStringLiteral("_searchCameraDeviceInfoInMac")), "errors");
        QTEST(model->getCameraDeviceNameInMac(PaxCameraIndexMain), "mainName");
        QTEST(model->getCameraDeviceNameInMac(PaxCameraIndexSecond), "secondName");
        QTEST(service.searches, "searches");
        QTEST(service.resets, "resets");
        QFETCH(int, result);
        if (result == 0) {
            QCOMPARE(model->getCameraCurSolution(PaxCameraIndexMain), QStringLiteral("1920x1080"));
            QVERIFY(model->isValidCamera(PaxCameraIndexMain));
        } else {
            QVERIFY(!model->isValidCamera(PaxCameraIndexMain));
            QVERIFY(model->getMicrophoneList().isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(tst_CameraSearchScript)
#include "tst_camerasearch_script.moc"
