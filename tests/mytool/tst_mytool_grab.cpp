// mytool's one-frame grab, run as the one-frame grab dialog runs it: a picture of the camera at the
// device index, scaled to the asked size, written to the given file.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int runTool(const QStringList& args, const QByteArray& virtualSetting, QByteArray* output)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANE_VIRTUAL_CAMERA"), QString::fromLatin1(virtualSetting));
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":42"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/mytool"), args);
    if (!p.waitForFinished(60000))
        return -1;
    *output = p.readAll();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

QStringList grabArgs(const QString& index, const QString& size, const QString& file, bool overwrite = true)
{
    QStringList args{"-f", "avfoundation", "-i", index, "-f", "image2", "-t", "1", "-frames:v", "1", "-s", size, file};
    if (overwrite)
        args << "-y";
    return args;
}

} // namespace

class TstMytoolGrab : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void grabsOneFrame_data()
    {
        QTest::addColumn<QByteArray>("cameras");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("main camera, screen size") << QByteArray("1") << "0" << "1920x1080" << "jpg";
        QTest::newRow("second camera, other size") << QByteArray("2") << "1" << "640x480" << "png";
    }
    void grabsOneFrame()
    {
        QFETCH(QByteArray, cameras);
        QFETCH(QString, index);
        QFETCH(QString, size);
        QFETCH(QString, suffix);
        const QString file = m_dir.filePath(QStringLiteral("grab.") + suffix);
        QFile::remove(file);
        QByteArray output;
        QCOMPARE(runTool(grabArgs(index, size, file), cameras, &output), 0);
        QImageReader reader(file);
        QVERIFY2(reader.canRead(), output.constData());
        QCOMPARE(QString::fromLatin1(reader.format()), suffix == QLatin1String("jpg") ? QStringLiteral("jpeg") : suffix);
        const QImage picture = reader.read();
        QCOMPARE(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()), size);
        // The camera's picture, not a blank: more than one colour.
        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); y += 37)
            for (int x = 0; x < picture.width(); x += 41)
                colours << picture.pixel(x, y);
        QVERIFY(colours.size() > 1);
    }

    void writesNothingWithoutACamera_data()
    {
        QTest::addColumn<QByteArray>("cameras");
        QTest::addColumn<QString>("index");
        QTest::newRow("screen has no modes") << QByteArray("1") << "1";
        QTest::newRow("index past the list") << QByteArray("1") << "5";
        QTest::newRow("not a number") << QByteArray("1") << "cam";
        QTest::newRow("nothing virtual") << QByteArray() << "0";
    }
    void writesNothingWithoutACamera()
    {
        QFETCH(QByteArray, cameras);
        QFETCH(QString, index);
        const QString file = m_dir.filePath(QStringLiteral("none.jpg"));
        QByteArray output;
        QCOMPARE(runTool(grabArgs(index, "1920x1080", file), cameras, &output), 1);
        QVERIFY(!QFile::exists(file));
    }

    void keepsAnExistingFileWithoutOverwrite()
    {
        const QString file = m_dir.filePath(QStringLiteral("kept.jpg"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept");
        f.close();
        QByteArray output;
        QCOMPARE(runTool(grabArgs("0", "1920x1080", file, false), "1", &output), 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(TstMytoolGrab)
#include "tst_mytool_grab.moc"
