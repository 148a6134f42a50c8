#include "paxintool.h"
#include "stdoutcapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList g_messages;
QList<QtMsgType> g_types;
void recordingHandler(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    g_types << type;
    g_messages << msg;
}
} // namespace

class TestPaxIntool : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        g_messages.clear();
        g_types.clear();
    }

    void lineForm_data()
    {
        QTest::addColumn<bool>("error");
        QTest::addColumn<QString>("tag");
        QTest::newRow("error") << true << "ERROR";
        QTest::newRow("debug") << false << "DEBUG";
    }

    void lineForm()
    {
        QFETCH(bool, error);
        QFETCH(QString, tag);
        auto previous = qInstallMessageHandler(recordingHandler);
        int line = 0;
        if (error) {
            line = __LINE__ + 1;
            PAX_LOG_ERROR("camera index[%d], name[%s]", 1, "Doc Cam");
        } else {
            line = __LINE__ + 1;
            PAX_LOG_DEBUG("camera index[%d], name[%s]", 1, "Doc Cam");
        }
        qInstallMessageHandler(previous);
        QCOMPARE(g_messages.size(), 1);
        QCOMPARE(g_types.first(), QtCriticalMsg);
        const QString expected = QStringLiteral("[%1][%2][lineForm][%3] camera index[1], name[Doc Cam]")
                                     .arg(tag, QString::fromUtf8(__FILE__)).arg(line);
        QCOMPARE(g_messages.first(), expected);
        // The file as the compiler was given it, whatever folder the build runs in.
        const QRegularExpression form(QStringLiteral("^\\[%1\\]\\[([^\\]]*/)?tests/pax_common/tst_paxintool\\.cpp\\]\\[").arg(tag));
        QVERIFY2(form.match(g_messages.first()).hasMatch(), qPrintable(g_messages.first()));
    }

    void longTextIsCutNotOverflowed()
    {
        auto previous = qInstallMessageHandler(recordingHandler);
        const QByteArray big(10000, 'x');
        PAX_LOG_DEBUG("%s", big.constData());
        qInstallMessageHandler(previous);
        QCOMPARE(g_messages.size(), 1);
        const QString text = g_messages.first().section(QStringLiteral("] "), 1);
        QCOMPARE(text.size(), 2047);
        QVERIFY(text.count(QLatin1Char('x')) == 2047);
    }

    void initInstallsOnceUntilDestroyed()
    {
        pax_sdk_init();
        QVERIFY(qInstallMessageHandler(recordingHandler) == &customMessageHandler);
        pax_sdk_init();   // flag still set: must not install again
        QVERIFY(qInstallMessageHandler(recordingHandler) == &recordingHandler);
        pax_sdk_destroy();
        pax_sdk_init();
        QVERIFY(qInstallMessageHandler(nullptr) == &customMessageHandler);
        pax_sdk_destroy();
    }

    void handlerWritesPaxLog()
    {
        // pax.log stays in the build folder from run to run: a random mark finds this run's line.
        const QString unique =
            QStringLiteral("first line %1\nsecond line").arg(QRandomGenerator::global()->generate64(), 0, 16);
        pax_sdk_init();
        StdoutCapture capture;
        qWarning("%s", qPrintable(unique));
        const QByteArray echoed = capture.take();
        qInstallMessageHandler(nullptr);
        pax_sdk_destroy();

        const QRegularExpression stamp(QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] "));
        QVERIFY2(stamp.match(QString::fromLocal8Bit(echoed)).hasMatch(), echoed.constData());
        QVERIFY(echoed.endsWith(unique.toLocal8Bit() + "\n"));

        QFile log(QCoreApplication::applicationDirPath() + QStringLiteral("/pax.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray contents = log.readAll();
        QVERIFY(contents.contains(echoed));
    }

    // The program copied into a folder where pax.log is a directory: the log can't be opened.
    void unwritableLogPrintsOnlyTheComplaint()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pax.log")));
        const QString copy = dir.filePath(QStringLiteral("logchild"));
        QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), copy));
        QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner);
        QProcess child;
        child.start(copy, {QStringLiteral("--log-child")});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        const QByteArray expected = "cannot open log file[" + QFile::encodeName(dir.filePath(QStringLiteral("pax.log")))
                                    + "]\n";
        QCOMPARE(child.readAllStandardOutput(), expected + expected);
    }

    void strContainList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("match");
        QTest::newRow("empty list, no fallback") << "abc" << QStringList() << false << false << "";
        QTest::newRow("first item found wins") << "USB Camera 2" << QStringList{"Camera", "USB"} << false << true
                                               << "Camera";
        QTest::newRow("case sensitive") << "usb camera" << QStringList{"Camera"} << false << false << "";
        QTest::newRow("fallback splits at p") << "abcdehd1p2kxyz" << QStringList{"none"} << true << true
                                              << "HD1p2KXYZ";
        QTest::newRow("fallback without p") << "abcde19201080" << QStringList() << true << true << "19201080p";
        QTest::newRow("fallback on short text") << "ab" << QStringList() << true << true << "p";
    }

    void strContainList()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, list);
        QFETCH(bool, fallback);
        QFETCH(bool, result);
        QFETCH(QString, match);
        QString out = QStringLiteral("stale");
        QCOMPARE(pax_strContainList(text, list, out, fallback), result);
        QCOMPARE(out, match);
    }
};

int main(int argc, char** argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--log-child") == 0) {
        QCoreApplication app(argc, argv);
        pax_sdk_init();
        qWarning("lost message");
        qCritical("another lost message");
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestPaxIntool test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_paxintool.moc"
