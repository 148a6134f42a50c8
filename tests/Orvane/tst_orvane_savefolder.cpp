// The program Orvane records the camera into the save folder its settings hold (the folder the
// settings dialog shows): a process on the X display of the test, with the virtual camera and the
// test's temporary HOME.

#include "orvaneprocess.h"

#include <QSettings>

#include <csignal>
#include <sys/types.h>

using namespace orvaneprocess;

class tst_OrvaneSaveFolder : public QObject {
    Q_OBJECT

    QList<QProcess*> m_processes;

private slots:
    void initTestCase() { verifyReady(); }

    void cleanup() { endAllAndClear(m_processes); }

    void cameraRecordingLandsInTheSaveFolder()
    {
        QProcess* orvane = startKept(this, m_processes, {}, {QStringLiteral("ORVANE_TEST_RECORD=camera")});
        QVERIFY(orvane->waitForStarted(60000));
        QByteArray output;
        QString file;
        QVERIFY2(waitForTestRecording(orvane, output, file, 60000), output.right(3000).constData());

        ::kill(pid_t(orvane->processId()), SIGINT);
        QVERIFY(orvane->waitForFinished(60000));

        const QSettings config(documents() + QStringLiteral("/vq3/app/config.ini"), QSettings::IniFormat);
        QString saveFolder = config.value(QStringLiteral("common/save_path")).toString();
        QVERIFY2(!saveFolder.isEmpty(), "the settings hold no save folder");
        QCOMPARE(QDir::cleanPath(saveFolder), documents() + QStringLiteral("/Orvane"));
        if (!saveFolder.endsWith(QLatin1Char('/')))
            saveFolder += QLatin1Char('/');
        QVERIFY2(file.startsWith(saveFolder), qPrintable(file + QStringLiteral(" not in ") + saveFolder));
        QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
    }
};

QTEST_GUILESS_MAIN(tst_OrvaneSaveFolder)
#include "tst_orvane_savefolder.moc"
