// One-frame grab dialog: the tool's command line (an argument list), the saved picture and the
// five shrinking steps; a tool that writes nothing still steps and closes.
#include "dialogtest.h"
#include "mymemory.h"
#include "picturegrabdialog.h"
#include "screengeometry.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

namespace {
class SteppedGrab : public PictureGrabDialog
{
public:
    using PictureGrabDialog::PictureGrabDialog;
    QList<QSize>* steps = nullptr;
protected:
    void timerEvent(QTimerEvent* event) override
    {
        const int before = stepsLeft();
        PictureGrabDialog::timerEvent(event);
        if (steps && stepsLeft() != before)
            steps->append(size());
    }
};
} // namespace

class TestPictureGrabDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // A stand-in tool: records its arguments, one a line, and writes a picture unless told not to.
    QString makeTool(bool writes)
    {
        const QString path = m_dir.filePath(writes ? "tool-writes.sh" : "tool-silent.sh");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                            m_dir.filePath("args.txt").toUtf8() + "\"\n";
        if (writes)
            script += "out=\"${13}\"\nffmpeg -v error -f lavfi -i color=c=red:s=320x180 -frames:v 1 -y \"$out\"\n";
        f.write(script);
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MyMemory::setSavePath(m_dir.filePath("app"));
        MyMemory::setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
    }
    void cleanupTestCase()
    {
        PictureGrabDialog::setToolProgram(QString());
        MyMemory::releaseInstance();
    }

    void grabsSavesAndShrinks()
    {
        PictureGrabDialog::setToolProgram(makeTool(true));
        QList<QSize> steps;
        auto* grab = new SteppedGrab(3, nullptr);
        grab->steps = &steps;
        QPointer<PictureGrabDialog> d = grab;
        QFile args(m_dir.filePath("args.txt"));
        QVERIFY(args.open(QIODevice::ReadOnly));
        const QStringList got = QString::fromUtf8(args.readAll()).split('\n', Qt::SkipEmptyParts);
        const QString name = d->pictureFileName();
        QCOMPARE(got, (QStringList{"-f", "avfoundation", "-i", "3", "-f", "image2", "-t", "1", "-frames:v", "1",
                                   "-s", "1920x1080", name, "-y"}));
        QVERIFY(name.endsWith("2024_03_05/20240305_140709.png") || name.endsWith("2024_03_05/20240305_140709.jpg"));
        QVERIFY(QFile::exists(name));
        QVERIFY(d->hasPicture());
        QCOMPARE(d->geometry(), QRect(0, 0, 1920, 1080));
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d, eventwait::kHangMs));
        dialogtest::saveScreenshot(d, "one_frame_grab");
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
        QCOMPARE(steps, (QList<QSize>{{1600, 900}, {1280, 720}, {960, 540}, {640, 360}, {320, 180}}));
    }

    void toolWritingNothingStillCloses()
    {
        PictureGrabDialog::setToolProgram(makeTool(false));
        QPointer<PictureGrabDialog> d = new PictureGrabDialog(0, nullptr);
        QVERIFY(!d->hasPicture());
        QCOMPARE(d->stepsLeft(), 5);
        d->show();
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
    }

    void missingToolStillCloses()
    {
        PictureGrabDialog::setToolProgram(m_dir.filePath("no-such-tool"));
        QPointer<PictureGrabDialog> d = new PictureGrabDialog(0, nullptr);
        QVERIFY(!d->hasPicture());
        QTRY_VERIFY_WITH_TIMEOUT(d.isNull(), eventwait::kHangMs);
    }
};

QTEST_MAIN(TestPictureGrabDialog)
#include "tst_picturegrabdialog.moc"
