#include "paxlib.h"
#include "paxthread.h"
#include "stdoutcapture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
QString documents()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/');
}
void touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("user data");
}
} // namespace

class TestPaxLib : public QObject
{
    Q_OBJECT
private slots:
    // Runs first: the base folder is fixed once per process.
    void emptyNameBeforeBaseGivesEmptyText()
    {
        QCOMPARE(paxlib::YL_createOrGetFatherSaveDir(QString()), QString());
    }

    void fileInTheWayGivesNumberedBaseAndIsKept()
    {
        touch(documents() + QStringLiteral("vq3"));
        const QString base = paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3"));
        QCOMPARE(base, documents() + QStringLiteral("vq3_0/"));
        QVERIFY(QFileInfo(documents() + QStringLiteral("vq3")).isFile());
        QVERIFY(QFileInfo(base).isDir());
        QCOMPARE(paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("vq3")), base);
        QCOMPARE(paxlib::YL_createOrGetFatherSaveDir(QStringLiteral("other")), base);
        QCOMPARE(paxlib::YL_createOrGetFatherSaveDir(QString()), base);
    }

    void sonFolders_data()
    {
        QTest::addColumn<QString>("father");
        QTest::addColumn<QString>("son");
        QTest::addColumn<QString>("relative");
        QTest::newRow("father only") << "screen_sdk" << "" << "screen_sdk/";
        QTest::newRow("father and son") << "pax_sdk" << "config" << "pax_sdk/config/";
        QTest::newRow("empty father") << "" << "log" << QString();
    }
    void sonFolders()
    {
        QFETCH(QString, father);
        QFETCH(QString, son);
        QFETCH(QString, relative);
        const QString base = paxlib::YL_createOrGetFatherSaveDir(QString());
        const QString result = paxlib::YL_createOrGetSonSaveDir(father, son);
        if (relative.isNull()) {
            QCOMPARE(result, QString());
            return;
        }
        QCOMPARE(result, base + relative);
        QVERIFY(QFileInfo(result).isDir());
    }

    void sonFileInTheWayIsKept()
    {
        const QString base = paxlib::YL_createOrGetFatherSaveDir(QString());
        touch(base + QStringLiteral("pictures"));
        QCOMPARE(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pictures"), QString()), base + QStringLiteral("pictures_0/"));
        QDir().mkpath(base + QStringLiteral("music"));
        touch(base + QStringLiteral("music/day"));
        touch(base + QStringLiteral("music/day_0"));
        QCOMPARE(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("music"), QStringLiteral("day")),
                 base + QStringLiteral("music/day_1/"));
        QFile kept(base + QStringLiteral("music/day"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("user data"));
    }

    void sdkLogLine()
    {
        paxSetLogDir(QStringLiteral("vq3.log"));
        const QString unique = QStringLiteral("sdk log line %1").arg(QCoreApplication::applicationPid());
        StdoutCapture capture;
        qInfo("%s", qPrintable(unique));
        const QByteArray echoed = capture.take();
        qInstallMessageHandler(nullptr);
        QCOMPARE(echoed, unique.toLocal8Bit() + "\n");
        QFile log(paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("log"))
                  + QStringLiteral("vq3.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString contents = QString::fromLocal8Bit(log.readAll());
        const QRegularExpression line(QStringLiteral("(^|\\n)\\[\\d\\d:\\d\\d:\\d\\d\\] ") + QRegularExpression::escape(unique)
                                      + QStringLiteral("\\n"));
        QVERIFY2(line.match(contents).hasMatch(), qPrintable(contents));
    }

    void sdkLogUnwritable()
    {
        const QString dir = paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("log"));
        QVERIFY(QDir(dir).mkpath(QStringLiteral("blocked.log")));
        paxSetLogDir(QStringLiteral("blocked.log"));
        StdoutCapture capture;
        qInfo("never written");
        const QByteArray out = capture.take();
        qInstallMessageHandler(nullptr);
        QCOMPARE(out, "cannot open log file[" + QFile::encodeName(dir + QStringLiteral("blocked.log")) + "]\n");
    }

    // Standard output is pointed at the log file itself, so the file shows which write came first:
    // the bare message on standard output, then the stamped line in the file.
    void sdkLogEchoBeforeFile_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("one line") << "echo order";
        QTest::newRow("several lines") << "first\nsecond";
    }
    void sdkLogEchoBeforeFile()
    {
        QFETCH(QString, message);
        const QString path = paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("log"))
                             + QStringLiteral("order.log");
        QFile::remove(path);
        paxSetLogDir(QStringLiteral("order.log"));
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(fd, STDOUT_FILENO);
        ::close(fd);
        qInfo("%s", qPrintable(message));
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        qInstallMessageHandler(nullptr);
        QFile log(path);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString contents = QString::fromLocal8Bit(log.readAll());
        const QString escaped = QRegularExpression::escape(message);
        const QRegularExpression expected(QStringLiteral("^") + escaped + QStringLiteral("\\n\\[\\d\\d:\\d\\d:\\d\\d\\] ")
                                          + escaped + QStringLiteral("\\n$"));
        QVERIFY2(expected.match(contents).hasMatch(), qPrintable(contents));
    }

    // The abort path logs through the SDK handler, which needs the base folder itself.
    void missingBaseAbortsWithoutRecursion()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--son-without-base")});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        const QByteArray err = child.readAllStandardError() + child.readAllStandardOutput();
        QVERIFY2(err.contains("app father save dir is empty!!!"), err.constData());
        QVERIFY2(!err.contains("stack-overflow"), err.constData());
    }

    void deleteFatherSaveDir_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("plain name") << "olddata" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("slash") << "olddata/sub" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("dot dot inside") << "a..b" << false;
    }
    void deleteFatherSaveDir()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        QDir().mkpath(documents() + QStringLiteral("olddata/sub"));
        touch(documents() + QStringLiteral("olddata/sub/file"));
        QCOMPARE(paxlib::YL_deleteFatherSaveDir(name), removed);
        QCOMPARE(QFileInfo(documents() + QStringLiteral("olddata")).exists(), !removed);
        QVERIFY(QFileInfo(documents()).isDir());
    }

    void appIcon()
    {
        QCOMPARE(paxlib::YL_getAppIcoImageFilename(), QCoreApplication::applicationDirPath() + QStringLiteral("/image/myico.png"));
    }

    void cpuArm_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<bool>("arm");
        QTest::newRow("Apple M1") << "Apple M1" << true;
        QTest::newRow("Apple inside") << "Virtual Apple M2 Pro" << true;
        QTest::newRow("lower case") << "apple m1" << false;
        QTest::newRow("Intel") << "Intel(R) Core(TM) i7-9750H CPU @ 2.60GHz" << false;
        QTest::newRow("empty") << "" << false;
    }
    void cpuArm()
    {
        QFETCH(QString, brand);
        QFETCH(bool, arm);
        QCOMPARE(paxlib::YL_isCpuArmBrand(brand), arm);
    }

    void fontFamilyLoadsOnce()
    {
        const QString family = PaxThread::getFontFamily();
        QVERIFY(!family.isEmpty());
        QVERIFY(QFontDatabase().families().contains(family));
        // Known now: the call answers at once, without waiting (and running events) for a load.
        bool eventsRan = false;
        QTimer::singleShot(0, [&eventsRan] { eventsRan = true; });
        QCOMPARE(PaxThread::getFontFamily(), family);
        QVERIFY(!eventsRan);
        QCoreApplication::processEvents();
        QVERIFY(eventsRan);
    }
};

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--son-without-base") == 0) {
        QCoreApplication app(argc, argv);
        paxSetLogDir(QStringLiteral("x.log"));
        paxlib::YL_createOrGetSonSaveDir(QStringLiteral("pax_sdk"), QStringLiteral("log"));
        return 0;
    }
    QApplication app(argc, argv);
    TestPaxLib test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_paxlib.moc"
