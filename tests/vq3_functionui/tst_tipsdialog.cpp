// Tip dialog: size, place, label and buttons by type and screen, and the return reasons.
#include "dialogtest.h"
#include "screengeometry.h"
#include "tipsdialog.h"

#include <QLabel>
#include <QPushButton>

namespace {
QPushButton* button(TipsDialog& d, const char* name)
{
    return d.findChild<QPushButton*>(QLatin1String(name));
}
QStringList visibleButtons(TipsDialog& d)
{
    QStringList out;
    for (QPushButton* b : d.findChildren<QPushButton*>())
        if (!b->isHidden())
            out << b->text();
    out.sort();
    return out;
}
} // namespace

class TestTipsDialog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { ScreenGeometry::clearOverride(); }

    void geometryByType_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("type");
        QTest::addColumn<QRect>("dialog");
        QTest::addColumn<QRect>("label");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("no wireless, 1920x1080") << QSize(1920, 1080) << 3 << QRect(720, 405, 480, 270)
            << QRect(24, 9, 432, 162) << QStringList{"Close", "Retry", "Wire Mode"};
        QTest::newRow("no wireless, 1440x900") << QSize(1440, 900) << 3 << QRect(540, 337, 360, 225)
            << QRect(18, 7, 324, 135) << QStringList{"Close", "Retry", "Wire Mode"};
        QTest::newRow("no device, 1680x1050") << QSize(1680, 1050) << 2 << QRect(630, 394, 420, 262)
            << QRect(21, 8, 378, 157) << QStringList{"close"};
        QTest::newRow("confirm, 1920x1080") << QSize(1920, 1080) << 4 << QRect(768, 472, 384, 135)
            << QRect(19, 4, 345, 81) << QStringList{"cancel", "confirm"};
        QTest::newRow("ocr, 1920x1080") << QSize(1920, 1080) << 1 << QRect(768, 405, 384, 270)
            << QRect(19, 9, 345, 162) << QStringList();
        QTest::newRow("removed, 1440x900") << QSize(1440, 900) << 6 << QRect(540, 337, 360, 225)
            << QRect(18, 7, 324, 135) << QStringList{"close"};
    }
    void geometryByType()
    {
        QFETCH(QSize, screen);
        QFETCH(int, type);
        QFETCH(QRect, dialog);
        QFETCH(QRect, label);
        QFETCH(QStringList, buttons);
        ScreenGeometry::setOverride(QRect(QPoint(0, 0), screen));
        TipsDialog d(type, nullptr);
        QCOMPARE(QRect(d.pos(), d.size()), dialog);
        QCOMPARE(d.minimumSize(), dialog.size());
        QCOMPARE(d.maximumSize(), dialog.size());
        QCOMPARE(d.label()->geometry(), label);
        QCOMPARE(visibleButtons(d), buttons);
    }

    void buttonRowOfNoWirelessTip()
    {
        TipsDialog d(TipsDialog::TipNoWirelessDevice);
        QCOMPARE(d.windowTitle(), QStringLiteral("Tip"));
        QCOMPARE(button(d, "m_buttonClose")->geometry(), QRect(120, 180, 72, 54));
        QCOMPARE(button(d, "m_buttonRetry")->geometry(), QRect(216, 180, 72, 54));
        QCOMPARE(button(d, "m_buttonSwitch")->geometry(), QRect(312, 180, 144, 54));
        QCOMPARE(button(d, "m_buttonSwitch")->styleSheet(), QStringLiteral("QPushButton{border:1px solid #888888;}"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        dialogtest::saveScreenshot(&d, "tips_type3");
    }

    void noDeviceTipShowsOneCloseAtTheRight()
    {
        TipsDialog d(TipsDialog::TipNoDevice);
        QCOMPARE(button(d, "m_buttonClose")->geometry(), QRect(312, 180, 72, 54));
        QVERIFY(button(d, "m_buttonSwitch")->isHidden());
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d, eventwait::kHangMs));
        dialogtest::saveScreenshot(&d, "tips_type2");
        QTest::mouseClick(button(d, "m_buttonClose"), Qt::LeftButton);
        QCOMPARE(d.getReturnReason(), 0);
        QVERIFY(!d.isVisible());
    }

    void returnReasons_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("reason");
        QTest::newRow("close") << 3 << "m_buttonClose" << 0;
        QTest::newRow("retry") << 3 << "m_buttonRetry" << 1;
        QTest::newRow("wire mode") << 3 << "m_buttonSwitch" << 2;
        QTest::newRow("confirm") << 4 << "m_buttonConfirm" << 3;
        QTest::newRow("cancel") << 4 << "m_buttonCancel" << 4;
        QTest::newRow("ok leaves none") << 5 << "m_buttonOk" << -1;
        QTest::newRow("removed close") << 6 << "m_buttonClose" << 0;
        QTest::newRow("escape leaves none") << 3 << "" << -1;
    }
    void returnReasons()
    {
        QFETCH(int, type);
        QFETCH(QString, button);
        QFETCH(int, reason);
        TipsDialog d(type, nullptr, "net");
        dialogtest::onNextModal("TipsDialog", [button](QWidget* w) {
            if (button.isEmpty())
                QTest::keyClick(w, Qt::Key_Escape);
            else
                QTest::mouseClick(w->findChild<QPushButton*>(button), Qt::LeftButton);
        });
        d.exec();
        QCOMPARE(d.getReturnReason(), reason);
    }

    void wifiTipJoinsTheName()
    {
        TipsDialog d(TipsDialog::TipLinkWifi, nullptr, "Office-5G");
        QCOMPARE(d.label()->text(), QStringLiteral("Pls link wifi to Office-5G,then restart!"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Warning"));
    }

    void noDeviceTipText()
    {
        TipsDialog d(2);
        QCOMPARE(d.label()->text(), QStringLiteral("Not find valid device, please insert valid device into usb and wait"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Tip"));
    }

    void waitTipsHaveNoCloseControl_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::newRow("ocr") << 1 << "Doing ocr, please wait";
        QTest::newRow("entering") << 7 << "Entering to UVC preview mode ...";
        QTest::newRow("exiting") << 8 << "Exiting from UVC preview mode ...";
    }
    void waitTipsHaveNoCloseControl()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        TipsDialog d(type);
        QCOMPARE(d.label()->text(), text);
        const Qt::WindowFlags flags = d.windowFlags();
        QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    // The tip dialog keeps the platform's own look: no dialog or label style, the button outline
    // only on the types that have it.
    void lookByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("buttonStyle");
        const QString outline = QStringLiteral("QPushButton{border:1px solid #888888;}");
        QTest::newRow("4K display") << 0 << QStringList{"m_buttonClose"} << outline;
        QTest::newRow("ocr") << 1 << QStringList() << QString();
        QTest::newRow("no device") << 2 << QStringList{"m_buttonClose", "m_buttonSwitch"} << outline;
        QTest::newRow("no wireless") << 3 << QStringList{"m_buttonClose", "m_buttonRetry", "m_buttonSwitch"}
                                     << outline;
        QTest::newRow("confirm") << 4 << QStringList{"m_buttonConfirm", "m_buttonCancel"} << QString();
        QTest::newRow("link wifi") << 5 << QStringList{"m_buttonOk"} << QString();
        QTest::newRow("removed") << 6 << QStringList{"m_buttonClose"} << outline;
    }
    void lookByType()
    {
        QFETCH(int, type);
        QFETCH(QStringList, buttons);
        QFETCH(QString, buttonStyle);
        TipsDialog d(type, nullptr, "net");
        QCOMPARE(d.styleSheet(), QString());
        QCOMPARE(d.label()->styleSheet(), QString());
        QCOMPARE(d.findChildren<QPushButton*>().size(), buttons.size());
        for (const QString& name : buttons)
            QCOMPARE(button(d, qPrintable(name))->styleSheet(), buttonStyle);
        // The window's own background is the application palette's.
        const QImage picture = d.grab().toImage();
        QCOMPARE(QColor(picture.pixel(1, picture.height() - 2)), QApplication::palette().color(QPalette::Window));
        dialogtest::saveScreenshot(&d, QStringLiteral("tips_look_type%1").arg(type));
    }

    void unknownTypeKeepsPlaceholders()
    {
        TipsDialog d(9);
        QCOMPARE(d.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(d.label()->text(), QStringLiteral("TextLabel"));
        QVERIFY(d.findChildren<QPushButton*>().isEmpty());
    }
};

QTEST_MAIN(TestTipsDialog)
#include "tst_tipsdialog.moc"
