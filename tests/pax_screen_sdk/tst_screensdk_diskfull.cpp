// Screen recordings that meet a full disk or a killed process: the file keeps whole fragments
// only (it plays without a decoding error), and a kill loses at most the last second, whatever
// the bit rate (a still desktop writes very little per second).
//
// The recorder runs in a child process (this program with "--record-child"), so a file-size
// limit (RLIMIT_FSIZE, SIGXFSZ ignored: a write past it fails with EFBIG, as on a full disk) and
// a SIGKILL reach only the child. The child prints "info <state> <seconds> <writeError> <file>"
// for each record info.
#include "mediaprobe.h"
#include "paxscreenqtlib.h"
#include "processoutput.h"
#include "screeninput.h"
#include "screenrecordchild.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

class TstScreenSdkDiskFull : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Killed once the recorder has reported N seconds: at least N - 1 seconds play.
    void killKeepsAllButTheLastSecond_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("audio");
        QTest::addColumn<int>("seconds");
        QTest::newRow("still desktop") << QStringLiteral("screen") << false << 4;
        QTest::newRow("still desktop, with microphone") << QStringLiteral("screen") << true << 4;
        QTest::newRow("moving test screen") << QStringLiteral("pattern") << false << 4;
    }
    void killKeepsAllButTheLastSecond()
    {
        QFETCH(QString, source);
        QFETCH(bool, audio);
        QFETCH(int, seconds);
        const QString file = m_dir.filePath(QStringLiteral("killed-%1.mp4").arg(QTest::currentDataTag()))
                                 .replace(QLatin1Char(' '), QLatin1Char('-'))
                                 .remove(QLatin1Char(','));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--record-child"), file, source, audio ? QStringLiteral("1") : QStringLiteral("0"),
                     QStringLiteral("0")});
        QVERIFY(child.waitForStarted(60000));
        processoutput::Lines out{child, {}, {}};
        const QByteArray wanted = "info 1 " + QByteArray::number(seconds) + ' ';
        QVERIFY2(out.waitFor([&](const QByteArray& l) { return l.startsWith(wanted); }, 60000),
                 out.lines.join('\n').right(3000).constData());
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(60000));

        const QJsonObject probe = mediaprobe::probe(file, true);
        QVERIFY2(!probe.isEmpty(), qPrintable(QStringLiteral("ffprobe can't read the file (%1 bytes)")
                                                  .arg(QFileInfo(file).size())));
        // All but the last fragment (at most a second of media) are kept. The recorder's seconds start
        // with the recording, its first frame a little later (the microphone's start): a quarter second
        // of slack for that.
        const double span = mediaprobe::videoSpan(probe);
        QVERIFY2(span >= seconds - 1.25,
                 qPrintable(QStringLiteral("%1 s kept after %2 s reported").arg(span).arg(seconds)));
    }

    // A full disk ends the recording; what is kept holds whole fragments only, so ffmpeg decodes
    // it from start to end without an error.
    void fullDiskKeepsWholeFragments_data()
    {
        QTest::addColumn<bool>("audio");
        QTest::newRow("video only") << false;
        QTest::newRow("with microphone") << true;
    }
    void fullDiskKeepsWholeFragments()
    {
        QFETCH(bool, audio);
        const QString file = m_dir.filePath(QStringLiteral("full-%1.mp4").arg(audio));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--record-child"), file, QStringLiteral("pattern"),
                     audio ? QStringLiteral("1") : QStringLiteral("0"), QString::number(1536 * 1024)});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);   // ended by itself
        const QList<QByteArray> infos = child.readAllStandardOutput().trimmed().split('\n');
        const QList<QByteArray> last = infos.last().split(' ');
        QCOMPARE(last.value(0), QByteArray("info"));
        QCOMPARE(last.value(1), QByteArray("0"));
        QVERIFY2(last.value(3).toInt() < 0, infos.last().constData());

        QVERIFY(QFile::exists(file));
        const QJsonObject probe = mediaprobe::probe(file, true);
        QVERIFY2(!probe.isEmpty(), "ffprobe can't read the file");
        // At least the first whole fragment (up to a second of media, cut where a fragment ends).
        QVERIFY2(mediaprobe::videoSpan(probe) >= 0.5, qPrintable(QString::number(mediaprobe::videoSpan(probe))));
        const QByteArray errors = mediaprobe::decodeErrors(file);
        QVERIFY2(errors.isEmpty(), errors.constData());
    }

private:
    QTemporaryDir m_dir;
};

// The child: records the screen of the test's X display ("screen") or a moving 1280x720 test
// pattern ("pattern") at 15 frames per second, with the virtual microphone when asked, under a
// file-size limit (0: none), until the recording ends by itself or the process is killed.
int recordChild(QApplication& app, const QStringList& args)
{
    const QString out = args.value(0);
    const bool pattern = args.value(1) == QLatin1String("pattern");
    const bool audio = args.value(2) == QLatin1String("1");
    const qint64 limit = args.value(3).toLongLong();
    if (pattern) {
        pax_platform::setScreenInputFactory(
            [] { return pax_platform::createLavfiScreenInput(QStringLiteral("testsrc2=s=1280x720:r={fps}")); });
    }
    const QString save = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
        + QStringLiteral("/vq3/child%1/").arg(QCoreApplication::applicationPid());
    return screenrecordchild::record(app, save, out, audio, limit, 0, 60000);
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc >= 2 && qstrcmp(argv[1], "--record-child") == 0)
        return recordChild(app, app.arguments().mid(2));
    TstScreenSdkDiskFull test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screensdk_diskfull.moc"
