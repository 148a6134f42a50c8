// Where the device layer's log goes: beside the program, and beside its library while no
// application object exists; never into the current folder or the root.
//
// The logging runs in a child process (this program with "--log-child"), started in a folder
// of its own, so the current folder is one the test can look into.
#include "paxintool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

namespace {

bool fileHas(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}

} // namespace

class TestPaxIntoolLogPlace : public QObject
{
    Q_OBJECT
private slots:
    void logBesideProgram_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("before the application object") << QStringLiteral("before");
        QTest::newRow("while it exists") << QStringLiteral("during");
        QTest::newRow("after it is gone") << QStringLiteral("after");
    }

    void logBesideProgram()
    {
        QFETCH(QString, when);
        QTemporaryDir cwd;
        QVERIFY(cwd.isValid());
        const QByteArray marker = "log place " + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        QProcess child;
        child.setWorkingDirectory(cwd.path());
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--log-child"), when, QString::fromLatin1(marker)});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray output = child.readAll();
        QCOMPARE(child.exitCode(), 0);
        QVERIFY2(output.contains(marker), output.constData());   // echoed: the line was written

        // This program and the device library lie in the same folder.
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/pax.log");
        QVERIFY2(fileHas(beside, marker), qPrintable(beside));
        QVERIFY(!QFile::exists(cwd.filePath(QStringLiteral("pax.log"))));
        QVERIFY(!fileHas(QStringLiteral("/pax.log"), marker));
    }
};

int logChild(int argc, char** argv)
{
    const QByteArray when = argv[2];
    const char* marker = argv[3];
    if (when == "before") {
        pax_sdk_init();
        PAX_LOG_ERROR("%s", marker);
        return 0;
    }
    if (when == "during") {
        QCoreApplication app(argc, argv);
        pax_sdk_init();
        PAX_LOG_ERROR("%s", marker);
        return 0;
    }
    {
        QCoreApplication app(argc, argv);
        pax_sdk_init();
    }
    PAX_LOG_ERROR("%s", marker);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 4 && qstrcmp(argv[1], "--log-child") == 0)
        return logChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestPaxIntoolLogPlace test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_paxintool_logplace.moc"
