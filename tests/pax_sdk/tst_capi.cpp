// The camera SDK's exported entry points seen from a C host program.

#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QString binDir() { return qEnvironmentVariable("ORVANE_BIN_DIR"); }
QString library() { return binDir() + "/libpax_sdk.so"; }

struct HostRun {
    int exitCode = -1;
    QMap<QString, QStringList> lines; // first word -> the rest
    QString output;
};

HostRun runHost(const QString& camera, const QString& folder, int width, int height)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ORVANE_VIRTUAL_CAMERA");
    if (!camera.isEmpty())
        env.insert("ORVANE_VIRTUAL_CAMERA", camera);
    env.insert("ORVANE_PLATFORM_VERSION", "11.0");
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(binDir() + "/c-host", {library(), folder, QString::number(width), QString::number(height)});
    p.waitForFinished(60000);
    HostRun run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.output = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const QString& line : run.output.split('\n')) {
        QStringList words = line.split(' ');
        const QString key = words.takeFirst();
        if (!run.lines.contains(key))
            run.lines.insert(key, words);
    }
    if (run.exitCode != 0)
        qWarning("%s\n%s", qPrintable(run.output), p.readAllStandardError().right(4000).constData());
    return run;
}

QString cText(const QByteArray& record, int offset, int size)
{
    const QByteArray field = record.mid(offset, size);
    return QString::fromLatin1(field.left(field.indexOf('\0')));
}

QSize probedSize(const QString& file)
{
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height", "-of",
                        "csv=p=0:s=x", file});
    p.waitForFinished(60000);
    const QStringList parts = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split('x');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize();
}

} // namespace

class tst_Capi : public QObject
{
    Q_OBJECT
private slots:
    void exportedNames()
    {
        QProcess nm;
        nm.start("nm", {"-D", "--defined-only", library()});
        QVERIFY(nm.waitForFinished(60000));
        QSet<QString> names;
        for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n')) {
            const QStringList words = line.split(' ', Qt::SkipEmptyParts);
            if (words.size() == 3 && words[1] == "T")
                names.insert(words[2]);
        }
        for (const char* plain : {"pax_close", "getDeviceInfo", "getDeviceSolutionList", "openDevice",
                                  "getDeviceStatus", "closeDevice", "startCapture", "getCapFrame", "stopCapture",
                                  "photo", "startRec", "stopRec"})
            QVERIFY2(names.contains(plain), plain);
        QVERIFY(names.contains("_Z8pax_initv"));
        QVERIFY(names.contains("_Z8pax_finiv"));
        QVERIFY(!names.contains("pax_init"));
    }

    void noCamera()
    {
        QTemporaryDir dir;
        const HostRun run = runHost(QString(), dir.path(), 640, 480);
        QCOMPARE(run.exitCode, 0);
        // The wait ended with the search: it gave up at its limit (a search held up by load) only
        // on a search that had not ended by then.
        const int searchEnded = run.output.indexOf("not find device!!!");
        const int gaveUp = run.output.indexOf("device search not complete");
        QVERIFY2(searchEnded >= 0 || gaveUp >= 0, qPrintable(run.output.right(3000)));
        QVERIFY2(gaveUp < 0 || searchEnded < 0 || gaveUp < searchEnded, qPrintable(run.output.right(3000)));
        QCOMPARE(run.lines.value("devices"), (QStringList{"431004", "0", "No", "Response"}));
        QVERIFY(!QFileInfo::exists(dir.filePath("record.bin")));
    }

    void virtualCamera()
    {
        QTemporaryDir dir;
        const HostRun run = runHost("1", dir.path(), 640, 480);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.lines.value("devices"), (QStringList{"0", "1", "Success"}));

        QFile recordFile(dir.filePath("record.bin"));
        QVERIFY(recordFile.open(QIODevice::ReadOnly));
        const QByteArray record = recordFile.readAll();
        QCOMPARE(record.size(), 344);
        QCOMPARE(qFromLittleEndian<quint16>(record.constData()), quint16(0));
        QCOMPARE(cText(record, 2, 40), QString("Main camera"));
        QCOMPARE(cText(record, 42, 56), QString("Company"));
        QCOMPARE(cText(record, 98, 118), QString("Main camera"));
        const qint64 w = qFromLittleEndian<qint64>(record.constData() + 216);
        const qint64 h = qFromLittleEndian<qint64>(record.constData() + 224);
        QVERIFY2((QList<QSize>{{1920, 1080}, {1280, 720}, {640, 480}}).contains(QSize(int(w), int(h))),
                 qPrintable(QStringLiteral("%1x%2").arg(w).arg(h)));
        QCOMPARE(record.mid(232), QByteArray(112, '\0'));

        QCOMPARE(run.lines.value("start"), (QStringList{"0", "Success"}));
        QCOMPARE(run.lines.value("early"), (QStringList{"431008", "1"}));
        QCOMPARE(run.lines.value("frame"), (QStringList{"0", "921600", "640", "480", "640", "480"}));
        QCOMPARE(QFileInfo(dir.filePath("frame.rgb")).size(), 921600);
        const QStringList photo = run.lines.value("photo");
        QCOMPARE(photo.mid(0, 2), (QStringList{"0", "Success"}));
        QVERIFY(probedSize(dir.filePath("photo.jpg")).isValid());
        QCOMPARE(run.lines.value("badindex"), (QStringList{"431007", "Device", "Not", "Exist"}));
        QCOMPARE(run.lines.value("stop"), (QStringList{"0", "Success"}));
    }
};

QTEST_GUILESS_MAIN(tst_Capi)
#include "tst_capi.moc"
