#include "myuiselect.h"

#include "mymemory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTcpSocket>
#include <QThread>

#include <cmath>

namespace {
MyUiSelect* s_uiSelect = nullptr;
MyTcpClient* s_tcpClient = nullptr;
} // namespace

MyUiSelect* MyUiSelect::getInstance()
{
    if (!s_uiSelect)
        s_uiSelect = new MyUiSelect();
    return s_uiSelect;
}

void MyUiSelect::releaseInstance()
{
    delete s_uiSelect;
    s_uiSelect = nullptr;
}

QString MyUiSelect::uiTypeFileName()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Nodrel/config.ini");
}

MyUiSelect::MyUiSelect()
    : QObject(nullptr)
{
    _init();
    QSettings settings(uiTypeFileName(), QSettings::IniFormat);
    const QVariant ui = settings.value(QStringLiteral("common/ui"));
    m_curUiType = ui.isNull() ? MY_UI_CUSTOM3 : _MY_UI(ui.toInt());
    _initByCurUiType();
}

int MyUiSelect::_scaled(int size) const
{
    return int(std::lround(size * m_scaleY));
}

void MyUiSelect::_init()
{
    m_referenceScreen = QSize(1920, 1080);
    m_scaleX = 1.0;
    m_scaleY = 1.0;

    // Three components: Qt's sheet parser warns on every dialog given "rgba" without an alpha.
    dialogStyle = QStringLiteral("QDialog{background-color:rgb(55,66,76);}");
    labelStyle = QStringLiteral("QLabel{background-color:transparent;border:none;color:white;}"
                                "QLabel::disabled{color:#d1d1d1;}");
    editStyle = QStringLiteral("QLineEdit {border: 1px solid #cccccc; background-color: rgb(55, 66, 76);color: rgb(255, 255, 255);}"
                               "QLineEdit:hover {border: 1px solid #ffffff;}"
                               "QLineEdit:focus {border: 1px solid #ffffff;}"
                               "QLineEdit:disabled {color:#d1d1d1;}");
    buttonStyle = QStringLiteral("QPushButton{background-color: rgb(96, 106, 116);color: rgb(255, 255, 255)}"
                                 "QPushButton::disabled{color:#d1d1d1;}");
    comboBoxStyle = QStringLiteral("QComboBox {color:white; background-color:#37424c; combobox-popup:5}"
                                   "QComboBox QAbstractItemView {background-color:#37424c; color:white; selection-background-color: #0078d7; selection-color:white;}"
                                   "QComboBox:disabled {color:#d1d1d1;}");
    checkBoxStyle = QString();
    // The transparent background also clears the colours the platform style draws the indicator
    // with: the circle and the dot are drawn by the sheet itself.
    radioButtonStyle = QStringLiteral("QRadioButton {background-color:transparent;color:white;}"
                                      "QRadioButton::disabled {color:#d1d1d1;}"
                                      "QRadioButton::indicator {width:12px;height:12px;border:1px solid white;"
                                      "border-radius:7px;background-color:#37424c;}"
                                      "QRadioButton::indicator:checked {background-color:qradialgradient(cx:0.5,"
                                      "cy:0.5,radius:0.5,fx:0.5,fy:0.5,stop:0 white,stop:0.5 white,"
                                      "stop:0.6 #37424c,stop:1 #37424c);}"
                                      "QRadioButton::indicator:disabled {border-color:#d1d1d1;}");
    fontFamily = QStringLiteral("Microsoft YaHei");

    borderRadiusStyle = QStringLiteral("border-radius:4px;");
    lightEditStyle = QStringLiteral("QLineEdit{border:1px solid #cccccc;background-color:white;color:black;}");
    lightEditStyle2 = QStringLiteral("QLineEdit{border:1px solid #888888;background-color:#f5f5f5;color:black;}");
    plainTextEditStyle = QStringLiteral("QPlainTextEdit{border:1px solid #cccccc;background-color:white;color:black;}");
    sliderStyle = QStringLiteral("QSlider::groove:horizontal{height:4px;background:#cccccc;}"
                                 "QSlider::handle:horizontal{width:12px;margin:-4px 0;background:white;}"
                                 "QToolTip{background-color:white;color:black;border:1px solid #555555;}");
    toolTipStyle = QStringLiteral("QToolTip{font-size:15px;background-color:white;color:black;border:1px solid #555555;}");
    lightComboBoxStyle = QStringLiteral("QComboBox{border:1px solid #cccccc;background-color:white;color:black;}"
                                        "QComboBox::down-arrow{image:url(:/image/uparrow.png);}");

    widgetFont = QFont(fontFamily);
    widgetFont.setPointSize(qMax(1, MyMemory::getInstance()->appFontPointSize));
    widgetFont.setWeight(300);
    widgetFont.setItalic(false);

    titleFont = QFont(fontFamily);
    titleFont.setPixelSize(qMax(1, _scaled(18)));
    titleFont.setWeight(400);

    dialogButtonSize = QSize(_scaled(100), _scaled(32));
    dialogEditSize = QSize(_scaled(240), _scaled(32));
    dialogLabelSize = QSize(_scaled(120), _scaled(32));
}

void MyUiSelect::_initByCurUiType()
{
    const QString lightTitle =
        QStringLiteral("background:#d8e7f7;");
    const QString gradientTitle = QStringLiteral(
        "background-color: qlineargradient(spread:pad, x1:0,x2:0,y1:0,y2:1,stop: 0 #9eb2c8,stop: 0.2095 #346aa4,"
        "stop: 0.2705 #346aa4,stop: 1 #9eb2c8);");
    auto dockTitle = [&](const QString& background) {
        return QStringLiteral("QDockWidget::title{text-align:center;") + background +
               QStringLiteral("padding-bottom:") + QString::number(_scaled(10)) + QStringLiteral("px;padding-top:") +
               QString::number(_scaled(10)) + QStringLiteral("px;}QDockWidget{font-size:") +
               QString::number(titleFontSize) + QStringLiteral("px;font-weight:") + titleFontWeight +
               QStringLiteral(";color:#222222;}");
    };

    titleFontWeight = QStringLiteral("bold");
    switch (m_curUiType) {
    case MY_UI_FLAT:
    case MY_UI_3D:
        backgroundImage.clear();
        titleFontSize = _scaled(18);
        titleColor = QStringLiteral("black");
        dockWidgetTitleStyle = dockTitle(m_curUiType == MY_UI_FLAT ? lightTitle : gradientTitle);
        break;
    case MY_UI_CUSTOM1:
    case MY_UI_CUSTOM2:
    case MY_UI_CUSTOM3:
        backgroundImage = m_curUiType == MY_UI_CUSTOM3 ? QStringLiteral(":/image/b2.jpg") : QStringLiteral(":/image/b1.jpg");
        titleFontSize = _scaled(m_curUiType == MY_UI_CUSTOM1 ? 21 : 18);
        titleColor = QStringLiteral("white");
        dockWidgetTitleStyle.clear();
        break;
    default:
        break;   // an unknown type changes none of the type-dependent members
    }
}

QList<_MyUiInfoS> MyUiSelect::getUiInfoList() const
{
    return {
        {MY_UI_FLAT, QStringLiteral("扁平清爽")},
        {MY_UI_3D, QStringLiteral("传统3D")},
        {MY_UI_CUSTOM1, QStringLiteral("自定义风格1")},
        {MY_UI_CUSTOM2, QStringLiteral("自定义风格2")},
        {MY_UI_CUSTOM3, QStringLiteral("自定义风格3")},
    };
}

void MyUiSelect::switchCurUiType(_MY_UI type)
{
    if (type == m_curUiType)
        return;
    m_curUiType = type;
    QSettings settings(uiTypeFileName(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("common/ui"), int(type));
    settings.sync();
    _initByCurUiType();
}

void MyUiSelect::setLabelStyle(QLabel* label)
{
    MyUiSelect* ui = getInstance();
    label->setStyleSheet(ui->labelStyle);
    label->setFont(ui->widgetFont);
}

void MyUiSelect::setEditStyle(QLineEdit* edit)
{
    MyUiSelect* ui = getInstance();
    edit->setStyleSheet(ui->editStyle);
    edit->setFont(ui->widgetFont);
    edit->setAttribute(Qt::WA_MacShowFocusRect, false);
}

void MyUiSelect::setButtonStyle(QPushButton* button)
{
    MyUiSelect* ui = getInstance();
    button->setStyleSheet(ui->buttonStyle);
    button->setFont(ui->widgetFont);
}

void MyUiSelect::setComboBoxStyle(QComboBox* box)
{
    MyUiSelect* ui = getInstance();
    box->setStyleSheet(ui->comboBoxStyle);
    box->setFont(ui->widgetFont);
}

void MyUiSelect::setCheckBoxStyle(QCheckBox* box)
{
    MyUiSelect* ui = getInstance();
    box->setStyleSheet(ui->checkBoxStyle);
    box->setFont(ui->widgetFont);
}

void MyUiSelect::setRadioButtonStyle(QRadioButton* button)
{
    MyUiSelect* ui = getInstance();
    button->setStyleSheet(ui->radioButtonStyle);
    button->setFont(ui->widgetFont);
}

// ---------------------------------------------------------------- MyTcpClient

MyTcpClient* MyTcpClient::getInstance()
{
    if (!s_tcpClient)
        s_tcpClient = new MyTcpClient();
    return s_tcpClient;
}

void MyTcpClient::releaseInstance()
{
    delete s_tcpClient;
    s_tcpClient = nullptr;
}

MyTcpClient::MyTcpClient()
    : QObject(nullptr)
{
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, &MyTcpClient::slotTcpConnected);
    connect(m_socket, &QTcpSocket::disconnected, this, &MyTcpClient::slotTcpDisconnected);
    m_host = _getHostIp();
    m_port = 10080;
    m_socket->connectToHost(m_host, m_port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

MyTcpClient::~MyTcpClient() = default;

QString MyTcpClient::_getHostIp() const
{
    return QStringLiteral("127.0.0.1");
}

void MyTcpClient::slotTcpConnected()
{
    m_connected = true;
    qDebug() << "connected to vq3_server";
}

void MyTcpClient::slotTcpDisconnected()
{
    m_connected = false;
    qDebug() << "connect to vq3_server failed";
}

void MyTcpClient::waitForConnected()
{
    while (!m_connected) {
        QThread::msleep(200);
        QCoreApplication::processEvents();
    }
    QThread::msleep(1000);
}
