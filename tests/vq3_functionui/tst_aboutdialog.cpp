// About dialog: geometry from the screen, texts, hidden version line and the link line.
#include "aboutdialog.h"
#include "paxlib.h"
#include "dialogtest.h"
#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

class TestAboutDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void geometry_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("logo");
        QTest::addColumn<QRect>("title");
        QTest::addColumn<QRect>("link");
        QTest::addColumn<QRect>("close");
        // a = W/150, b = H/78; the logo keeps the 64x64 resource picture's proportions.
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(768, 450, 384, 180) << QRect(12, 13, 96, 96)
                                   << QRect(120, 52, 252, 26) << QRect(120, 91, 252, 26) << QRect(264, 130, 96, 26);
        QTest::newRow("1440x900") << QSize(1440, 900) << QRect(576, 375, 288, 150) << QRect(9, 11, 72, 72)
                                  << QRect(90, 44, 189, 22) << QRect(90, 77, 189, 22) << QRect(198, 110, 72, 22);
        QTest::newRow("1680x1050") << QSize(1680, 1050) << QRect(672, 437, 336, 175) << QRect(11, 13, 88, 88)
                                   << QRect(110, 52, 215, 26) << QRect(110, 91, 215, 26) << QRect(226, 130, 88, 26);
    }
    void geometry()
    {
        QFETCH(QSize, screen);
        QFETCH(QRect, dialog);
        QFETCH(QRect, logo);
        QFETCH(QRect, title);
        QFETCH(QRect, link);
        QFETCH(QRect, close);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        AboutDialog d(nullptr);
        QCOMPARE(d.geometry(), dialog);
        QCOMPARE(d.label_2->geometry(), logo);
        QCOMPARE(d.label_3->geometry(), title);
        QCOMPARE(d.textBrowser->geometry(), link);
        QCOMPARE(d.m_buttonClose->geometry(), close);
    }

    void contents()
    {
        AboutDialog d(nullptr);
        QCOMPARE(d.label_3->text(), AboutDialog::productTitle());
        QVERIFY(!AboutDialog::productTitle().isEmpty());
        QCOMPARE(d.windowTitle(), "about " + AboutDialog::productTitle());
        QVERIFY(d.label->isHidden());
        QCOMPARE(d.label->text(), QStringLiteral("Lumora V3.1"));
        QVERIFY(d.textBrowser->openExternalLinks());
        QVERIFY(d.textBrowser->toHtml().contains("href="));
        QCOMPARE(d.textBrowser->styleSheet(), QStringLiteral("QTextBrowser{border-width:0;border-style:outset}"));
        QCOMPARE(d.textBrowser->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!(d.windowFlags() & Qt::WindowContextHelpButtonHint));
        // Its background comes from its style sheet alone.
        QCOMPARE(d.styleSheet(), QStringLiteral("background-color: rgb(55, 66, 76);"));
        QVERIFY(!d.autoFillBackground());
        // The logo is the icon file beside the programs; without that file it stays empty.
        const QPixmap icon(paxlib::YL_getAppIcoImageFilename());
        if (icon.isNull())
            QVERIFY(d.label_2->pixmap(Qt::ReturnByValue).isNull());
        else
            QCOMPARE(d.label_2->pixmap(Qt::ReturnByValue).size(), icon.size());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        dialogtest::saveScreenshot(&d, "about");
        QTest::mouseClick(d.m_buttonClose, Qt::LeftButton);
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
