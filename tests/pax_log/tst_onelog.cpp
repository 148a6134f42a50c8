// One log for the process: the device layer, the camera SDK and the screen-record SDK started in
// different orders in one process, each message checked in the file of the component that logged
// it, in that component's line form. Each order runs in a child process of this program.
#include "paxintool.h"
#include "paxlib.h"
#include "paxscreenqtlib.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavutil/log.h>
}

namespace {

const char* const kSdkLogName = "onelog.log";

QString sdkLogPath(const QString& base)
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/') + base
           + QStringLiteral("/pax_sdk/log/") + QLatin1String(kSdkLogName);
}

QString paxLogPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/pax.log");
}

QStringList linesWith(const QString& path, const QString& token)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QString& line : QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.contains(token))
            out << line;
    }
    return out;
}

// The child: starts the components in the given order, then logs one message as each of them.
int runChild(const QStringList& args)
{
    const QStringList steps = args.value(0).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QString token = args.value(1);
    const QString screenLog = args.value(2);
    const QString base = args.value(3);
    for (const QString& step : steps) {
        if (step == QLatin1String("device")) {
            pax_sdk_init();
        } else if (step == QLatin1String("sdk")) {
            paxlib::YL_createOrGetFatherSaveDir(base);
            paxSetLogDir(QLatin1String(kSdkLogName));
        } else if (step == QLatin1String("screenlog")) {
            if (!PaxScreenQtLib::setLogFile(screenLog))
                return 2;
        } else if (step == QLatin1String("screen")) {
            PaxScreenQtLib::setSavePath(QFileInfo(screenLog).absolutePath() + QLatin1Char('/'));
            PaxScreenQtLib::getInstance();
        } else {
            return 3;
        }
    }
    pax_log::line(pax_log::Component::Device, pax_log::LineForm::Tagged, false, "devicefile.cpp", "deviceFunction",
                  11, "device message %s", qPrintable(token));
    pax_log::line(pax_log::Component::CameraSdk, pax_log::LineForm::Tagged, true, "sdkfile.cpp", "sdkFunction", 22,
                  "sdk message %s", qPrintable(token));
    // A real message of the screen SDK: the facade refuses the suffix.
    if (PaxScreenQtLib::getInstance()->startRecordScreen(QStringLiteral("/tmp/") + token + QStringLiteral(".MP4")))
        return 4;
    qWarning("plain message %s", qPrintable(token));
    av_log(nullptr, AV_LOG_ERROR, "ffmpeg error %s\n", qPrintable(token));
    av_log(nullptr, AV_LOG_INFO, "ffmpeg info %s\n", qPrintable(token));
    PaxScreenQtLib::releaseInstance();
    return 0;
}

} // namespace

class TestOneLog : public QObject
{
    Q_OBJECT
private slots:
    void messagesLandInTheirComponentsFile_data()
    {
        // Where each component's message must land: "pax" (pax.log), "sdk" (the camera SDK log),
        // "screen" (the screen SDK's own file) or "out" (standard output only).
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("sdk");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("plain");
        QTest::newRow("device, camera SDK, screen SDK") << "device,sdk,screenlog,screen" << "pax" << "sdk"
                                                        << "screen" << "sdk";
        QTest::newRow("screen SDK, camera SDK, device") << "screen,screenlog,sdk,device" << "pax" << "sdk"
                                                        << "screen" << "sdk";
        QTest::newRow("camera SDK, screen SDK, device") << "sdk,screen,screenlog,device" << "pax" << "sdk"
                                                        << "screen" << "sdk";
        QTest::newRow("application: no screen log file") << "sdk,screen" << "sdk" << "sdk" << "sdk" << "sdk";
        QTest::newRow("application, screen SDK first") << "screen,sdk" << "sdk" << "sdk" << "sdk" << "sdk";
        QTest::newRow("exported entry points only") << "screen,device" << "pax" << "pax" << "pax" << "pax";
        QTest::newRow("screen log file only") << "screenlog,screen" << "out" << "out" << "screen" << "out";
    }

    void messagesLandInTheirComponentsFile()
    {
        QFETCH(QString, order);
        QFETCH(QString, device);
        QFETCH(QString, sdk);
        QFETCH(QString, screen);
        QFETCH(QString, plain);
        static int run = 0;
        ++run;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // pax.log stays in the build folder from run to run, and the process id repeats in a PID
        // namespace of its own: a random token finds only this run's lines.
        const QString token = QStringLiteral("t%1r%2n").arg(QRandomGenerator::global()->generate64(), 0, 16).arg(run);
        const QString screenLog = dir.filePath(QStringLiteral("screen.log"));
        const QString base = QStringLiteral("onelog%1").arg(run);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), order, token, screenLog, base});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));

        const QMap<QString, QString> files = {{QStringLiteral("pax"), paxLogPath()},
                                              {QStringLiteral("sdk"), sdkLogPath(base)},
                                              {QStringLiteral("screen"), screenLog}};
        const QString stamp = QStringLiteral("^\\[\\d\\d:\\d\\d:\\d\\d\\] ");
        struct Expectation
        {
            QString where;
            QString token;     // the text that finds the line
            QString tagged;    // the line form in the file, after the time stamp
        };
        const bool screenOwnFile = screen == QLatin1String("screen");
        const QString screenForm = screenOwnFile ? QString() : QStringLiteral("paxscreen");
        const QList<Expectation> expectations = {
            {device, QStringLiteral("device message ") + token,
             QStringLiteral("\\[DEBUG\\]\\[devicefile\\.cpp\\]\\[deviceFunction\\]\\[11\\] device message ") + token},
            {sdk, QStringLiteral("sdk message ") + token,
             QStringLiteral("\\[ERROR\\]\\[sdkfile\\.cpp\\]\\[sdkFunction\\]\\[22\\] sdk message ") + token},
            {screen, token + QStringLiteral(".MP4"),
             screenForm + QStringLiteral("\\[error\\]\\[paxscreenlibprivate\\.cpp\\]\\[\\d+\\] file\\[/tmp/") + token
                 + QStringLiteral("\\.MP4\\] do not end with \\.mp4")},
            {screen, QStringLiteral("ffmpeg error ") + token,
             screenForm + QStringLiteral("\\[error\\]\\[ffmpeg\\]\\[0\\] ffmpeg error ") + token},
            {plain, QStringLiteral("plain message ") + token, QStringLiteral("plain message ") + token},
        };
        for (const Expectation& e : expectations) {
            for (auto it = files.cbegin(); it != files.cend(); ++it) {
                const QStringList found = linesWith(it.value(), e.token);
                if (it.key() != e.where) {
                    QVERIFY2(found.isEmpty(), qPrintable(e.token + QStringLiteral(" also in ") + it.key()));
                    continue;
                }
                QCOMPARE(found.size(), 1);
                const QRegularExpression form(stamp + e.tagged + QLatin1Char('$'));
                QVERIFY2(form.match(found.first()).hasMatch(), qPrintable(found.first()));
            }
            if (e.where == QLatin1String("out"))
                QVERIFY2(out.contains(e.token), qPrintable(out));
        }
        // FFmpeg's messages above the level the screen SDK asked for are not logged anywhere.
        for (const QString& path : files)
            QVERIFY(linesWith(path, QStringLiteral("ffmpeg info ") + token).isEmpty());
        QVERIFY(!out.contains(QStringLiteral("ffmpeg info ") + token));
    }

    // Echo forms on standard output: the camera SDK echoes the bare message, the device log the stamped line.
    void echoFollowsTheDestination_data()
    {
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("echo");
        QTest::newRow("camera SDK") << "sdk" << "^\\[ERROR\\]\\[sdkfile\\.cpp\\]\\[sdkFunction\\]\\[22\\] sdk message %1$";
        QTest::newRow("device") << "device" << "^\\[\\d\\d:\\d\\d:\\d\\d\\] \\[ERROR\\]\\[sdkfile\\.cpp\\]\\[sdkFunction\\]\\[22\\] sdk message %1$";
    }
    void echoFollowsTheDestination()
    {
        QFETCH(QString, order);
        QFETCH(QString, echo);
        QTemporaryDir dir;
        const QString token = QStringLiteral("echo%1%2").arg(QCoreApplication::applicationPid()).arg(order);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), order, token, dir.filePath(QStringLiteral("s.log")),
                     QStringLiteral("oneloge")});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QRegularExpression expected(echo.arg(token), QRegularExpression::MultilineOption);
        QVERIFY2(expected.match(out).hasMatch(), qPrintable(out));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--child") == 0) {
        QApplication app(argc, argv);
        return runChild(app.arguments().mid(2));
    }
    QApplication app(argc, argv);
    TestOneLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_onelog.moc"
