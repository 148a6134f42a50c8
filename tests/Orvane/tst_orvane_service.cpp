// The program Orvane on its default platform path (camera service) with no camera service running:
// its splash tells the user that the service does not answer, and an ending signal ends it at
// once while its first device search still waits for the service.

#include "orvaneprocess.h"

#include <QTemporaryDir>
#include <QTranslator>

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_OrvaneService : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;
    QTemporaryDir m_dir;
    QTranslator m_translator;

    // The program with the platform version left to its default and the widget map written.
    QProcess* start()
    {
        auto* process = new QProcess(this);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("ORVANE_PLATFORM_VERSION"));
        environment.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
        environment.insert(QStringLiteral("ORVANE_TEST_WIDGET_MAP"), mapFile());
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(programPath(), QStringList());
        m_processes << process;
        return process;
    }

    QString mapFile() const { return m_dir.filePath(QStringLiteral("widgets.json")); }

    // The message of the program's splash screen in its widget map; empty when none is shown.
    QString splashMessage() const
    {
        QFile file(mapFile());
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QJsonArray widgets = QJsonDocument::fromJson(file.readAll()).object().value("widgets").toArray();
        for (const QJsonValue& value : widgets) {
            const QJsonObject widget = value.toObject();
            if (widget.value("class").toString() == QLatin1String("QSplashScreen"))
                return widget.value("text").toString();
        }
        return QString();
    }

    static bool portFree(quint16 port)
    {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port);
        const bool up = probe.waitForConnected(kHangMs);
        probe.abort();
        return !up;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(programPath()).isExecutable(), qPrintable(programPath()));
        QVERIFY(m_dir.isValid());
        QVERIFY2(m_translator.load(QStringLiteral(ORVANE_TR_QM)), ORVANE_TR_QM);
        QVERIFY2(!portListens(), "port 11050 is taken before the test");
        // No camera service and no launcher.
        QVERIFY(portFree(11080));
        QVERIFY(portFree(11081));
    }

    void cleanup()
    {
        QVERIFY(endAll(m_processes));
        QFile::remove(mapFile());
        QDir(documents() + QStringLiteral("/vq3")).removeRecursively();
        QDir(documents() + QStringLiteral("/Orvane")).removeRecursively();
    }

    // While the first search waits for the service that does not answer, the splash says so;
    // an ending signal then ends the program with status 0, the search interrupted rather than
    // run to its end.
    void endingSignalInterruptsTheSearch_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QByteArray>("endLine");
        QTest::newRow("SIGINT") << int(SIGINT) << QByteArray("SIGINT: ending");
        QTest::newRow("SIGTERM") << int(SIGTERM) << QByteArray("SIGTERM: ending");
        QTest::newRow("SIGHUP") << int(SIGHUP) << QByteArray("SIGHUP: ending");
    }
    void endingSignalInterruptsTheSearch()
    {
        QFETCH(int, signalNumber);
        QFETCH(QByteArray, endLine);
        // The program runs with the Simplified Chinese translation of its default language.
        const QString expected = m_translator.translate(
            "OrvaneApp", "The camera service does not answer, please start it and wait");
        QVERIFY(!expected.isEmpty());

        QProcess* orvane = start();
        QVERIFY(orvane->waitForStarted(kHangMs));
        QByteArray output;
        const bool told = waitFor([&] {
            output += orvane->readAll();
            return splashMessage() == expected || orvane->state() == QProcess::NotRunning;
        }, kHangMs) && splashMessage() == expected;
        QVERIFY2(told, qPrintable(QStringLiteral("running %1, map %2, splash \"%3\"\n%4")
                                      .arg(orvane->state() == QProcess::Running)
                                      .arg(QFileInfo::exists(mapFile()))
                                      .arg(splashMessage(), QString::fromUtf8(output.right(3000)))));
        QVERIFY2(countLines(stripStamps(output), "camera service does not answer") == 1, output.right(3000).constData());
        // Still in the search: the start is not done.
        QVERIFY(!output.contains("start-up done"));

        ::kill(pid_t(orvane->processId()), signalNumber);
        QVERIFY(orvane->waitForFinished(kHangMs));
        output += orvane->readAll();
        QCOMPARE(orvane->exitStatus(), QProcess::NormalExit);
        QCOMPARE(orvane->exitCode(), 0);
        QVERIFY2(countLines(output, endLine) == 1, output.right(3000).constData());
        // The search's request to the service ended as interrupted, not by its own time limit.
        bool interrupted = false;
        for (const QByteArray& line : output.split('\n'))
            interrupted = interrupted || (line.contains("[searchDevice]") && line.trimmed().endsWith("MUCR_CLOSED"));
        QVERIFY2(interrupted, output.right(3000).constData());
        QVERIFY2(!output.contains("MUCR_CONNECT_SERVER_FAILD"), output.right(3000).constData());
        QVERIFY(!output.contains("start-up done"));
    }
};

QTEST_MAIN(tst_OrvaneService)
#include "tst_orvane_service.moc"
