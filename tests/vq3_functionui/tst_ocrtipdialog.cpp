// OCR progress dialog: window geometry, a real tesseract run on a rendered picture, and the
// failure paths (picture unreadable, dialog gone before the run).
#include "dialogtest.h"
#include "myuiselect.h"
#include "ocrtipdialog.h"
#include "screengeometry.h"
#include "urlcatcher.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>

class TestOcrTipDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    UrlCatcher m_urls;   // the "file" URLs the dialog opens

    QString renderText(const QString& name, const QString& text)
    {
        QImage image(900, 240, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(96);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, text);
        painter.end();
        const QString path = m_dir.filePath(name);
        image.save(path);
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }
    void init() { m_urls.urls.clear(); }
    void cleanup() { ScreenGeometry::clearOverride(); }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("window");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(768, 522, 384, 36);
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(576, 435, 288, 30);
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(672, 507, 336, 35);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, window);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        OcrTipDialog d(QString(), nullptr);   // destroyed before the run: nothing happens
        QCOMPARE(d.geometry(), window);
        auto* label = d.findChild<QLabel*>("m_label");
        QCOMPARE(label->geometry(), QRect(QPoint(0, 0), window.size()));
        QCOMPARE(label->text(), QStringLiteral("Ocring, pls waiting..."));
        QCOMPARE(d.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    }

    // The wait window is slate with the label in the dialogs' label style.
    void look()
    {
        OcrTipDialog d(QString(), nullptr);   // destroyed before the run: nothing happens
        QCOMPARE(d.styleSheet(), QStringLiteral("background-color:rgba(55,66,76,255);"));
        auto* label = d.findChild<QLabel*>("m_label");
        QCOMPARE(label->styleSheet(), MyUiSelect::getInstance()->labelStyle);
        QCOMPARE(label->font().family(), MyUiSelect::getInstance()->fontFamily);
        const QImage picture = d.grab().toImage();
        QCOMPARE(QColor(picture.pixel(1, 1)), QColor(55, 66, 76));
        dialogtest::saveScreenshot(&d, "ocr_look");
    }

    void readsTextAndRemovesPicture()
    {
        QVERIFY2(QFileInfo(OcrTipDialog::ocrProgram()).exists(), "tesseract link beside the programs");
        const QString picture = renderText(QStringLiteral("with blank dir/hello.png").replace("/", "_"), "HELLO 123");
        QDir().mkpath(m_dir.filePath("with blank"));
        const QString spaced = m_dir.filePath("with blank/hello 123.png");
        QVERIFY(QFile::rename(picture, spaced));
        OcrTipDialog d(spaced, nullptr);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        dialogtest::saveScreenshot(&d, "ocr_wait");
        QString error;
        dialogtest::onNextModal("QMessageBox", [&error](QWidget* box) {
            error = static_cast<QMessageBox*>(box)->text();
            QTest::keyClick(box, Qt::Key_Escape);
        }, eventwait::kHangMs, &d);
        d.exec();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(m_urls.urls.size(), 1);
        const QString text = m_urls.urls.first().toLocalFile();
        QVERIFY(text.endsWith(".txt"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString recognised = QString::fromUtf8(file.readAll()).simplified();
        QVERIFY2(recognised.contains("HELLO 123"), qPrintable(recognised));
        QVERIFY(!QFile::exists(spaced));
        QCOMPARE(qEnvironmentVariable("TESSDATA_PREFIX"), OcrTipDialog::tessdataFolder());
        file.remove();
    }

    void unreadablePictureKeptAndReported()
    {
        const QString picture = m_dir.filePath("not-a-picture.png");
        QFile f(picture);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("plain text");
        f.close();
        QString shown;
        OcrTipDialog d(picture, nullptr);
        dialogtest::onNextModal("QMessageBox", [&shown](QWidget* box) {
            shown = static_cast<QMessageBox*>(box)->text();
            QTest::keyClick(box, Qt::Key_Escape);
        }, eventwait::kHangMs, &d);
        QTimer::singleShot(eventwait::kHangMs, &d, &QDialog::reject);   // only a hang ends it this way
        d.exec();
        QCOMPARE(shown, "open temp pic file error, temp pic file:" + picture);
        QVERIFY(QFile::exists(picture));
        QVERIFY(m_urls.urls.isEmpty());
    }

    void dialogGoneBeforeRunTouchesNothing()
    {
        const QString picture = renderText("gone.png", "GONE");
        {
            OcrTipDialog d(picture, nullptr);
        }
        // The dialog's run was due 100 ms after its start: a timer of twice that period started now
        // fires after it would have.
        QObject context;
        bool later = false;
        QTimer::singleShot(200, &context, [&later] { later = true; });
        QTRY_VERIFY_WITH_TIMEOUT(later, eventwait::kHangMs);
        QVERIFY(QFile::exists(picture));
        QVERIFY(m_urls.urls.isEmpty());
    }
};

QTEST_MAIN(TestOcrTipDialog)
#include "tst_ocrtipdialog.moc"
