// Background commands: the OCR job with the real tesseract beside the program, and the grab sound.
#include "eventwait.h"
#include "logcapture.h"
#include "oncecommandfromthread.h"
#include "urlcatcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class TestOnceCommand : public QObject
{
    Q_OBJECT
private slots:
    void outputBase_data();
    void outputBase();
    void argumentsKeepBlanks();
    void ocrReadsPicture();
    void ocrOfMissingPictureEnds();
    void playerThreadEndsAndFreesItself();
};

void TestOnceCommand::outputBase_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("base");
    QTest::newRow("shot") << "/p/2024_03_05/20240305_140709.jpg" << "/p/2024_03_05/20240305_140709";
    QTest::newRow("double suffix") << "/p/a.jpg.jpg" << "/p/a";
    QTest::newRow("no jpg") << "/p/pic.png" << "/p/pic.png";
    QTest::newRow("upper case kept") << "/p/pic.JPG" << "/p/pic.JPG";
}

void TestOnceCommand::outputBase()
{
    QFETCH(QString, picture);
    QFETCH(QString, base);
    QCOMPARE(OnceCommandFromThread::ocrOutputBase(picture), base);
}

void TestOnceCommand::argumentsKeepBlanks()
{
    const QString picture = "/tmp/my shots/page 1.jpg";
    const QStringList arguments = OnceCommandFromThread::ocrArguments(picture);
    QCOMPARE(arguments, (QStringList{picture, "/tmp/my shots/page 1", "-l", "chi_sim", "--oem", "1"}));
}

void TestOnceCommand::ocrReadsPicture()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("scan folder"));
    const QString picture = dir.path() + "/scan folder/page.jpg";
    QImage image(900, 260, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QFont font("DejaVu Sans", 64, QFont::Bold);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, "HELLO 123");
    }
    QVERIFY(image.save(picture, "jpg", 95));
    UrlCatcher catcher;
    LogCapture capture;
    OnceCommandFromThread::tesseractOcr(picture);
    const QString text = dir.path() + "/scan folder/page.txt";
    QVERIFY(QFile::exists(text));
    QFile file(text);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString read = QString::fromUtf8(file.readAll()).simplified().remove(' ');
    QVERIFY2(read.contains("HELLO") && read.contains("123"), qPrintable(read));
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first(), QUrl("file:" + dir.path() + "/scan folder/page.txt"));
    QCOMPARE(qgetenv("TESSDATA_PREFIX"), (QCoreApplication::applicationDirPath() + "/../tessdata").toUtf8());
    QVERIFY(!LogCapture::messages().filter("tesseract command:").isEmpty());
}

void TestOnceCommand::ocrOfMissingPictureEnds()
{
    QTemporaryDir dir;
    UrlCatcher catcher;
    OnceCommandFromThread::tesseractOcr(dir.path() + "/missing.jpg");    // returns: the job ended
    QCOMPARE(catcher.urls.size(), 1);
}

void TestOnceCommand::playerThreadEndsAndFreesItself()
{
    OnceCommandFromThread::playGrabTipAudio();    // asynchronous; no thread
    auto* command = new OnceCommandFromThread();
    QSignalSpy destroyed(command, &QObject::destroyed);
    LogCapture capture;
    command->_playGrabTipAudio();
    QVERIFY(destroyed.wait(eventwait::kHangMs));
    QVERIFY(!LogCapture::messages().filter("play wav command:").isEmpty());
    QVERIFY(LogCapture::messages().filter("play wav command:").first().contains("mytool2 grabTipAudio.wav -nodisp -autoexit"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestOnceCommand test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_oncecommand.moc"
