// The one-frame grab dialog with the capture tool shipped beside the programs and the virtual
// camera: the grab lands as the next picture in the save folder and is shown.

#include "mymemory.h"
#include "picturegrabdialog.h"

#include <QImageReader>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

class TestPictureGrabDialogTool : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.filePath("app"));
        MyMemory::getInstance()->setConfigSavePath(m_dir.filePath("pictures"));
        PictureGrabDialog::setToolProgram(qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/mytool"));
    }
    void cleanupTestCase()
    {
        PictureGrabDialog::setToolProgram(QString());
        MyMemory::releaseInstance();
    }

    void grabsTheVirtualCamera()
    {
        QPointer<PictureGrabDialog> d = new PictureGrabDialog(0, nullptr);
        const QString name = d->pictureFileName();
        QVERIFY2(name.startsWith(m_dir.filePath("pictures")), qPrintable(name));
        QImageReader reader(name);
        QVERIFY2(reader.canRead(), qPrintable(name));
        QCOMPARE(reader.size(), QSize(1920, 1080));
        QVERIFY(d->hasPicture());
        d->show();
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), 60000);
    }
};

QTEST_MAIN(TestPictureGrabDialogTool)
#include "tst_picturegrabdialog_tool.moc"
