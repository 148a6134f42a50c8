// Dialog styles: the exact style sheets and font each setter applies, the UI type file, and the
// local TCP client that connects only when asked for.
#include "eventwait.h"
#include "mymemory.h"
#include "myuiselect.h"
#include "screengeometry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>

#include <functional>

using StyleWidget = std::function<QWidget*(QWidget* parent)>;
Q_DECLARE_METATYPE(StyleWidget)

class TestMyUiSelect : public QObject
{
    Q_OBJECT

    void removeUiTypeFile()
    {
        QFile::remove(MyUiSelect::uiTypeFileName());
        QDir().rmdir(QFileInfo(MyUiSelect::uiTypeFileName()).path());
    }

private slots:
    void initTestCase()
    {
        MyMemory::setSavePath(QDir::tempPath() + "/myuiselect-app");
        ScreenGeometry::setOverride(QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040), 96);
        removeUiTypeFile();
    }
    void cleanup()
    {
        MyUiSelect::releaseInstance();
        removeUiTypeFile();
    }
    void cleanupTestCase()
    {
        MyTcpClient::releaseInstance();
        MyMemory::releaseInstance();
        QDir(QDir::tempPath() + "/myuiselect-app").removeRecursively();
    }

    void settersApplyStyleAndFont_data()
    {
        QTest::addColumn<StyleWidget>("make");
        QTest::addColumn<QString>("style");
        QTest::newRow("label") << StyleWidget([](QWidget* p) { auto* w = new QLabel(p); MyUiSelect::setLabelStyle(w); return w; })
            << "QLabel{background-color:transparent;border:none;color:white;}QLabel::disabled{color:#d1d1d1;}";
        QTest::newRow("line edit") << StyleWidget([](QWidget* p) { auto* w = new QLineEdit(p); MyUiSelect::setEditStyle(w); return w; })
            << "QLineEdit {border: 1px solid #cccccc; background-color: rgb(55, 66, 76);color: rgb(255, 255, 255);}"
               "QLineEdit:hover {border: 1px solid #ffffff;}QLineEdit:focus {border: 1px solid #ffffff;}"
               "QLineEdit:disabled {color:#d1d1d1;}";
        QTest::newRow("button") << StyleWidget([](QWidget* p) { auto* w = new QPushButton(p); MyUiSelect::setButtonStyle(w); return w; })
            << "QPushButton{background-color: rgb(96, 106, 116);color: rgb(255, 255, 255)}QPushButton::disabled{color:#d1d1d1;}";
        QTest::newRow("combo box") << StyleWidget([](QWidget* p) { auto* w = new QComboBox(p); MyUiSelect::setComboBoxStyle(w); return w; })
            << "QComboBox {color:white; background-color:#37424c; combobox-popup:5}"
               "QComboBox QAbstractItemView {background-color:#37424c; color:white; selection-background-color: #0078d7; selection-color:white;}"
               "QComboBox:disabled {color:#d1d1d1;}";
        QTest::newRow("check box keeps platform look") << StyleWidget([](QWidget* p) { auto* w = new QCheckBox(p); w->setStyleSheet("QCheckBox{color:red;}"); MyUiSelect::setCheckBoxStyle(w); return w; })
            << "";
        QTest::newRow("radio button") << StyleWidget([](QWidget* p) { auto* w = new QRadioButton(p); MyUiSelect::setRadioButtonStyle(w); return w; })
            << "QRadioButton {background-color:transparent;color:white;}QRadioButton::disabled {color:#d1d1d1;}"
               "QRadioButton::indicator {width:12px;height:12px;border:1px solid white;border-radius:7px;"
               "background-color:#37424c;}"
               "QRadioButton::indicator:checked {background-color:qradialgradient(cx:0.5,cy:0.5,radius:0.5,fx:0.5,"
               "fy:0.5,stop:0 white,stop:0.5 white,stop:0.6 #37424c,stop:1 #37424c);}"
               "QRadioButton::indicator:disabled {border-color:#d1d1d1;}";
    }
    void settersApplyStyleAndFont()
    {
        QFETCH(StyleWidget, make);
        QFETCH(QString, style);
        QWidget parent;
        QWidget* w = make(&parent);   // the setter creates the singleton itself
        QCOMPARE(w->styleSheet(), style);
        QCOMPARE(w->font().family(), QStringLiteral("Microsoft YaHei"));
        QCOMPARE(w->font().pointSize(), MyMemory::getInstance()->appFontPointSize);
        QFont weighted;
        weighted.setWeight(300);   // the toolkit maps the value as it stands
        QCOMPARE(w->font().weight(), weighted.weight());
        QVERIFY(!w->font().italic());
    }

    void editShowsNoFocusRing()
    {
        QLineEdit edit;
        edit.setAttribute(Qt::WA_MacShowFocusRect, true);
        MyUiSelect::setEditStyle(&edit);
        QVERIFY(!edit.testAttribute(Qt::WA_MacShowFocusRect));
    }

    void dialogStyleAndFamily()
    {
        MyUiSelect* ui = MyUiSelect::getInstance();
        QCOMPARE(ui->dialogStyle, QStringLiteral("QDialog{background-color:rgb(55,66,76);}"));
        QCOMPARE(ui->fontFamily, QStringLiteral("Microsoft YaHei"));
    }

    // The dialog is painted with the sheet's colour, and Qt's parser has nothing to warn of.
    void dialogStylePaintsItsColour()
    {
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& msg) {
            warnings.append(msg);
        });
        QDialog dialog;
        dialog.resize(40, 30);
        dialog.setStyleSheet(MyUiSelect::getInstance()->dialogStyle);
        const QImage image = dialog.grab().toImage();
        qInstallMessageHandler(previous);
        QCOMPARE(QColor(image.pixel(20, 15)), QColor(55, 66, 76));
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    void uiTypeFromFile_data()
    {
        QTest::addColumn<QVariant>("stored");     // invalid: no file
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("background");
        QTest::addColumn<int>("titleSize");
        QTest::addColumn<QString>("titleColour");
        QTest::addColumn<QString>("dockTitle");
        const QString tail = "padding-bottom:10px;padding-top:10px;}QDockWidget{font-size:18px;font-weight:bold;color:#222222;}";
        QTest::newRow("no file") << QVariant() << 5 << ":/image/b2.jpg" << 18 << "white" << "";
        QTest::newRow("flat") << QVariant(1) << 1 << "" << 18 << "black"
            << "QDockWidget::title{text-align:center;background:#d8e7f7;" + tail;
        QTest::newRow("3d") << QVariant(2) << 2 << "" << 18 << "black"
            << "QDockWidget::title{text-align:center;background-color: qlineargradient(spread:pad, x1:0,x2:0,y1:0,y2:1,"
               "stop: 0 #9eb2c8,stop: 0.2095 #346aa4,stop: 0.2705 #346aa4,stop: 1 #9eb2c8);" + tail;
        QTest::newRow("custom 1") << QVariant(3) << 3 << ":/image/b1.jpg" << 21 << "white" << "";
        QTest::newRow("custom 2") << QVariant(4) << 4 << ":/image/b1.jpg" << 18 << "white" << "";
        QTest::newRow("custom 3") << QVariant(5) << 5 << ":/image/b2.jpg" << 18 << "white" << "";
    }
    void uiTypeFromFile()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, type);
        QFETCH(QString, background);
        QFETCH(int, titleSize);
        QFETCH(QString, titleColour);
        QFETCH(QString, dockTitle);
        if (stored.isValid()) {
            QSettings s(MyUiSelect::uiTypeFileName(), QSettings::IniFormat);
            s.setValue("common/ui", stored);
        }
        MyUiSelect* ui = MyUiSelect::getInstance();
        QCOMPARE(int(ui->getCurUiType()), type);
        QCOMPARE(ui->backgroundImage, background);
        QCOMPARE(ui->titleFontSize, titleSize);
        QCOMPARE(ui->titleColor, titleColour);
        QCOMPARE(ui->dockWidgetTitleStyle, dockTitle);
        QCOMPARE(ui->titleFontWeight, QStringLiteral("bold"));
        // The type never changes what the dialogs apply.
        QCOMPARE(ui->buttonStyle, QStringLiteral("QPushButton{background-color: rgb(96, 106, 116);color: rgb(255, 255, 255)}"
                                                 "QPushButton::disabled{color:#d1d1d1;}"));
    }

    void switchWritesTypeFile()
    {
        MyUiSelect* ui = MyUiSelect::getInstance();
        ui->switchCurUiType(MY_UI_CUSTOM3);
        QVERIFY(!QFile::exists(MyUiSelect::uiTypeFileName()));   // same type: nothing written
        ui->switchCurUiType(MY_UI_FLAT);
        QCOMPARE(int(ui->getCurUiType()), 1);
        QCOMPARE(ui->titleColor, QStringLiteral("black"));
        QCOMPARE(QSettings(MyUiSelect::uiTypeFileName(), QSettings::IniFormat).value("common/ui").toInt(), 1);
        ui->switchCurUiType(_MY_UI(9));   // unknown: stored, members kept
        QCOMPARE(int(ui->getCurUiType()), 9);
        QCOMPARE(ui->titleColor, QStringLiteral("black"));
    }

    void uiInfoList()
    {
        const QList<_MyUiInfoS> list = MyUiSelect::getInstance()->getUiInfoList();
        QCOMPARE(list.size(), 5);
        const QStringList names{"扁平清爽", "传统3D", "自定义风格1", "自定义风格2", "自定义风格3"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(int(list[i].type), i + 1);
            QCOMPARE(list[i].name, names[i]);
        }
    }

    void tcpClientConnectsOnlyWhenAsked()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 10080));
        MyUiSelect::getInstance();
        QLabel label;
        MyUiSelect::setLabelStyle(&label);
        // What those two left pending has run: no connection reached the port.
        QVERIFY(eventwait::runPending());
        QVERIFY(!server.waitForNewConnection(0));
        QVERIFY(!server.hasPendingConnections());

        MyTcpClient* client = MyTcpClient::getInstance();
        QVERIFY(server.waitForNewConnection(eventwait::kHangMs));
        QTRY_VERIFY_WITH_TIMEOUT(client->isConnected(), eventwait::kHangMs);
        QCOMPARE(client->_getHostIp(), QStringLiteral("127.0.0.1"));
        QTcpSocket* peer = server.nextPendingConnection();
        QCOMPARE(peer->peerAddress(), QHostAddress(QHostAddress::LocalHost));
        peer->close();
        QTRY_VERIFY_WITH_TIMEOUT(!client->isConnected(), eventwait::kHangMs);
    }
};

QTEST_MAIN(TestMyUiSelect)
#include "tst_myuiselect.moc"
