#include "configdialog.h"

#include "aboutdialog.h"
#include "camerarecorddialog.h"
#include "dialogservices.h"
#include "mymemory.h"
#include "mytips.h"
#include "myuiselect.h"
#include "paxlib.h"
#include "paxmacos.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"
#include "tipsdialog.h"
#include "wirelessdevice.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QUrl>

namespace {
// The form's texts in the context "QDialog"; each is marked with QT_TRANSLATE_NOOP where it is used.
QString qdTr(const char* text)
{
    return QCoreApplication::translate("QDialog", text);
}
const char* const kGroupStyle =
    "QGroupBox{color:white; border:2px solid; border-color:#dcdcdc; margin-top:1.5ex;}"
    "QGroupBox::title{subcontrol-origin:margin; subcontrol-position:top left; left:10px; margin-left:0px; padding:0 0px;}";
const char* const kLabelStyle = "QLabel {color:white;}";
const char* const kComboStyle =
    "QComboBox {color:white; background-color:#37424c; combobox-popup:0}"
    "QComboBox QAbstractItemView {background-color:#37424c; color:white; selection-background-color: #0078d7; selection-color:white;}";
const char* const kEditStyle = "QLineEdit {color:white; background-color:#37424c; border:1px solid white;}";
const char* const kButtonStyle = "QPushButton {color:white; background-color:#606a74;}";
const QStringList kChannels{"40", "44", "48", "153", "157", "161", "165"};
// Texts that would end or start a field of the camera's command protocol.
const QStringList kProtocolMarkers{"PASSWD:", "WIFICHANNEL:", "SSID:", "CMD_"};

bool hasProtocolMarker(const QString& text)
{
    for (const QString& marker : kProtocolMarkers)
        if (text.contains(marker))
            return true;
    return false;
}
} // namespace

ConfigDialog::ConfigDialog(bool wirelessMode, QWidget* parent)
    : QDialog(parent)
{
    _buildForm();
    setWindowIcon(QIcon(paxlib::YL_getAppIcoImageFilename()));

    MyMemory* memory = MyMemory::getInstance();
    m_edit1->setText(memory->getConfigSavePath());
    m_checkRecordAudio->setChecked(memory->getConfigGrabTipAudio());
    m_checkUvcControl->setChecked(memory->getConfigUvcControl());
    for (const QString& entry : MyMemory::getPictureFormatOptionList())
        m_option1->addItem(entry);
    m_option1->setCurrentIndex(memory->getConfigPictureFormat());
    for (const QString& entry : MyMemory::getVideoFormatOptionList())
        m_option2->addItem(entry);
    m_option2->setCurrentIndex(memory->getConfigVideoFormat());
    for (const QString& entry : MyMemory::getLanguageOptionList())
        m_option3->addItem(entry);
    m_option3->setCurrentIndex(int(memory->getCurLanguage()));

    if (!wirelessMode) {
        label_3->hide();
        m_option2->hide();
    }
    label_5->hide();
    m_option5->hide();

    connect(m_buttonClose, &QPushButton::clicked, this, &ConfigDialog::slotConfirm);
    connect(m_buttonSelectPath, &QPushButton::clicked, this, &ConfigDialog::slotSelectPath);
    connect(m_buttonAbout, &QPushButton::clicked, this, &ConfigDialog::slotAbout);
    connect(m_buttonHelp, &QPushButton::clicked, this, &ConfigDialog::slotHelp);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    m_buttonHelp->hide();
    _layout(wirelessMode);
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::_buildForm()
{
    setObjectName(QStringLiteral("ConfigDialog"));
    resize(522, 340);
    setWindowTitle(tr("Settings"));
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(55, 66, 76));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Button, QColor(96, 106, 116));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(55, 66, 76));
    setPalette(p);
    setAutoFillBackground(true);

    const QString labelStyle = QStringLiteral("color: rgb(255, 255, 255);");
    const QString fieldStyle = QStringLiteral("background-color: rgb(55, 66, 76);\ncolor: rgb(255, 255, 255);");
    const QString buttonStyle = QStringLiteral("background-color: rgb(96, 106, 116);\ncolor: rgb(255, 255, 255);");
    auto makeLabel = [&](const QString& text, const char* name) {
        auto* w = new QLabel(text, this);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(labelStyle);
        return w;
    };
    auto makeCombo = [&](const char* name) {
        auto* w = new QComboBox(this);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(fieldStyle);
        return w;
    };
    auto makeButton = [&](const QString& text, const char* name) {
        auto* w = new QPushButton(text, this);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(buttonStyle);
        w->setAutoDefault(false);
        return w;
    };
    auto makeCheck = [&](const QString& text, const char* name) {
        auto* w = new QCheckBox(text, this);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(labelStyle);
        return w;
    };
    label = makeLabel(tr("Save position"), "label");
    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("m_edit1"));
    m_edit1->setReadOnly(true);
    m_edit1->setStyleSheet(fieldStyle);
    m_buttonSelectPath = makeButton(QStringLiteral("..."), "m_buttonSelectPath");
    label_2 = makeLabel(tr("Save picture Format"), "label_2");
    m_option1 = makeCombo("m_option1");
    label_3 = makeLabel(tr("Save video Format"), "label_3");
    m_option2 = makeCombo("m_option2");
    label_4 = makeLabel(tr("UI language"), "label_4");
    m_option3 = makeCombo("m_option3");
    m_buttonClose = makeButton(tr("Close"), "m_buttonClose");
    m_buttonAbout = makeButton(tr("About"), "m_buttonAbout");
    m_checkRecordAudio = makeCheck(tr("Snaping sound"), "m_checkRecordAudio");
    m_buttonHelp = makeButton(tr("Help"), "m_buttonHelp");
    label_5 = makeLabel(tr("OCR language"), "label_5");
    m_option5 = makeCombo("m_option5");
    m_checkUvcControl = makeCheck(tr("UVC control"), "m_checkUvcControl");
}

void ConfigDialog::_layout(bool wirelessMode)
{
    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    const int D = W / 3;
    const int u = W / 120;
    const int v = wirelessMode ? H / 74 : H / 66;
    const int height = wirelessMode ? H / 2 : H / 3;
    setGeometry((W - D) / 2, (H - height) / 2, D, height);

    label->setGeometry(u, v, wirelessMode ? 6 * u : 7 * u, 2 * v);
    m_edit1->setGeometry(8 * u, v, D - 14 * u, 2 * v);
    m_buttonSelectPath->setGeometry(D - 5 * u, v, 4 * u, 2 * v);
    label_4->setGeometry(u, 7 * v, 9 * u, 2 * v);
    if (wirelessMode) {
        label_2->setGeometry(u, 4 * v, 9 * u, 2 * v);
        m_option1->setGeometry(10 * u, 4 * v, 7 * u, 2 * v);
        label_3->setGeometry(23 * u, 4 * v, 9 * u, 2 * v);
        m_option2->setGeometry(32 * u, 4 * v, 7 * u, 2 * v);
        m_option3->setGeometry(11 * u, 7 * v, D - 12 * u, 2 * v);
        label_5->setGeometry(u, 10 * v, 9 * u, 2 * v);
        m_option5->setGeometry(11 * u, 10 * v, D - 12 * u, 2 * v);
        m_checkRecordAudio->setGeometry(u, 13 * v, 12 * u, 2 * v);
        m_checkUvcControl->setGeometry(D - 13 * u, 13 * v, 12 * u, 2 * v);
        m_checkUvcControl->setVisible(isAvailableMacos13());
        _buildWirelessGroup(D, u, v);
        m_buttonHelp->setGeometry(D - 27 * u, 34 * v, 8 * u, 2 * v);
        m_buttonAbout->setGeometry(D - 18 * u, 34 * v, 8 * u, 2 * v);
        m_buttonClose->setGeometry(D - 9 * u, 34 * v, 8 * u, 2 * v);
    } else {
        label_2->setGeometry(u, 4 * v, 10 * u, 2 * v);
        m_option1->setGeometry(11 * u, 4 * v, D - 17 * u, 2 * v);
        m_option3->setGeometry(11 * u, 7 * v, D - 17 * u, 2 * v);
        _buildRecordRow(D, u, v);
        label_5->setGeometry(u, 13 * v, 9 * u, 2 * v);
        m_option5->setGeometry(11 * u, 13 * v, D - 12 * u, 2 * v);
        m_checkRecordAudio->setGeometry(u, 16 * v, 12 * u, 2 * v);
        m_checkUvcControl->setGeometry(D - 13 * u, 16 * v, 12 * u, 2 * v);
        m_checkUvcControl->setVisible(isAvailableMacos13() && !paxlib::YL_isCpuArm());
        m_buttonHelp->setGeometry(D - 27 * u, 19 * v, 8 * u, 2 * v);
        m_buttonAbout->setGeometry(D - 18 * u, 19 * v, 8 * u, 2 * v);
        m_buttonClose->setGeometry(D - 9 * u, 19 * v, 8 * u, 2 * v);
        MyUiSelect::setButtonStyle(m_buttonClose);
    }
}

void ConfigDialog::_buildWirelessGroup(int D, int u, int v)
{
    m_groupWireless = new QGroupBox(qdTr(QT_TRANSLATE_NOOP("QDialog", "wireless config")), this);
    m_groupWireless->setObjectName(QStringLiteral("m_groupWireless"));
    m_groupWireless->setStyleSheet(QLatin1String(kGroupStyle));
    m_groupWireless->setGeometry(u, 16 * v, D - 2 * u, 15 * v);
    QGroupBox* g = m_groupWireless;
    auto makeLabel = [g](const QString& text, const char* name, QRect r) {
        auto* w = new QLabel(text, g);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(QLatin1String(kLabelStyle));
        w->setGeometry(r);
        return w;
    };
    auto makeCombo = [g](const char* name, QRect r) {
        auto* w = new QComboBox(g);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(QLatin1String(kComboStyle));
        w->setGeometry(r);
        return w;
    };
    auto makeEdit = [g](const char* name, QRect r) {
        auto* w = new QLineEdit(g);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(QLatin1String(kEditStyle));
        w->setGeometry(r);
        return w;
    };
    auto makeButton = [g](const QString& text, const char* name, QRect r) {
        auto* w = new QPushButton(text, g);
        w->setObjectName(QLatin1String(name));
        w->setStyleSheet(QLatin1String(kButtonStyle));
        w->setAutoDefault(false);
        w->setGeometry(r);
        return w;
    };
    const int gap = (D - 22 * u) / 3;

    DialogWirelessManager* manager = DialogWirelessManager::instance();
    m_curDevice = manager ? manager->getCurDevice() : nullptr;
    const QList<DialogWirelessDevice*> devices = manager ? manager->getDeviceList() : QList<DialogWirelessDevice*>();

    makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "WirelessDevice:")), "m_labelDevice", QRect(u, 2 * v, 6 * u, 2 * v));
    m_comboDevice = makeCombo("m_comboDevice", QRect(13 * u, 2 * v, D - 16 * u, 2 * v));
    for (DialogWirelessDevice* device : devices) {
        const WirelessDeviceInfo info = device->getDeviceInfo();
        m_comboDevice->addItem(info.deviceName + QStringLiteral(":") + info.ip + QStringLiteral(":") + info.wifiName);
    }
    makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "WirelessWorkmode:")), "m_labelWorkmode", QRect(u, 5 * v, 10 * u, 2 * v));
    m_comboWorkmode = makeCombo("m_comboWorkmode", QRect(16 * u, 5 * v, D - 19 * u, 2 * v));
    m_comboWorkmode->addItems({QStringLiteral("Access Point"), QStringLiteral("Station")});
    m_labelWifiName = makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "WifiName:")), "m_labelWifiName", QRect(u, 8 * v, 5 * u, 2 * v));
    m_editWifiName = makeEdit("m_editWifiName", QRect(6 * u, 8 * v, 12 * u, 2 * v));
    m_labelWifiPassword = makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "WifiPassword:")), "m_labelWifiPassword", QRect(19 * u, 8 * v, 5 * u, 2 * v));
    m_editWifiPassword = makeEdit("m_editWifiPassword", QRect(24 * u, 8 * v, D - 27 * u, 2 * v));
    m_labelDeviceName = makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "WirelessDeviceName:")), "m_labelDeviceName", QRect(u, 8 * v, 5 * u, 2 * v));
    m_editDeviceName = makeEdit("m_editDeviceName", QRect(6 * u, 8 * v, 17 * u, 2 * v));
    m_labelChannel = makeLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "PinDao:")), "m_labelChannel", QRect(25 * u, 8 * v, 3 * u, 2 * v));
    m_comboChannel = makeCombo("m_comboChannel", QRect(28 * u, 8 * v, D - 31 * u, 2 * v));
    m_comboChannel->setView(new QListView(m_comboChannel));
    m_comboChannel->addItems(kChannels);
    QPushButton* commit = makeButton(qdTr(QT_TRANSLATE_NOOP("QDialog", "commit")), "m_buttonCommit", QRect(u + gap, 11 * v, 6 * u, 2 * v));
    makeButton(qdTr(QT_TRANSLATE_NOOP("QDialog", "Default Wifi")), "m_buttonDefaultWifi", QRect(7 * u + 2 * gap, 11 * v, 12 * u, 2 * v));

    const int curIndex = devices.indexOf(m_curDevice);
    m_comboDevice->setCurrentIndex(curIndex);
    if (m_curDevice) {
        slotWirelessDeviceChange(curIndex);
        slotWirelessDeviceWorkmodeChange(m_curDevice->getDeviceInfo().mode);
    } else {
        // No current camera: empty fields, and "commit" sends nothing.
        m_comboWorkmode->setCurrentIndex(-1);
        m_comboChannel->setCurrentIndex(-1);
        slotWirelessDeviceWorkmodeChange(1);
    }
    connect(m_comboDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConfigDialog::slotWirelessDeviceChange);
    connect(m_comboWorkmode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConfigDialog::slotWirelessDeviceWorkmodeChange);
    connect(commit, &QPushButton::clicked, this, &ConfigDialog::slotCommit);
}

void ConfigDialog::_buildRecordRow(int D, int u, int v)
{
    m_labelRecordMode = new QLabel(qdTr(QT_TRANSLATE_NOOP("QDialog", "Record mode")), this);
    m_labelRecordMode->setObjectName(QStringLiteral("m_labelRecordMode"));
    m_labelRecordMode->setStyleSheet(QLatin1String(kLabelStyle));
    m_labelRecordMode->setGeometry(u, 10 * v, 9 * u, 2 * v);

    m_comboRecordType = new QComboBox(this);
    m_comboRecordType->setObjectName(QStringLiteral("m_comboRecordType"));
    m_comboRecordType->setStyleSheet(QLatin1String(kComboStyle) + QStringLiteral("QComboBox:disabled {color:#d1d1d1;}"));
    m_comboRecordType->setGeometry(11 * u, 10 * v, D - 17 * u, 2 * v);
    m_comboRecordType->addItem(qdTr(QT_TRANSLATE_NOOP("QDialog", "Screen Record")), 0);
    const int recordType = int(MyMemory::getInstance()->getRecordType());
    m_comboRecordType->setCurrentIndex(recordType < m_comboRecordType->count() ? recordType : -1);
    connect(m_comboRecordType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ConfigDialog::slotRecordTypeChange);

    int state = 0;
    if (recordType == 0)
        state = PaxScreenQtLib::getInstance()->getRecordInfo().state;
    else if ((recordType == 1 || recordType == 2) && DialogCameraSdk::instance())
        state = DialogCameraSdk::instance()
                    ->getRecordInfo(recordType == 1 ? PaxCameraIndexMain : PaxCameraIndexSecond)
                    .status;
    const bool running = state == 1 || state == 2;

    m_buttonRecordConfig = new QPushButton(qdTr(QT_TRANSLATE_NOOP("QDialog", "Options")), this);
    m_buttonRecordConfig->setObjectName(QStringLiteral("m_buttonRecordConfig"));
    m_buttonRecordConfig->setAutoDefault(false);
    m_buttonRecordConfig->setStyleSheet(QLatin1String(kButtonStyle) + QStringLiteral("QPushButton:disabled {color:#d1d1d1;}"));
    m_buttonRecordConfig->setGeometry(D - 5 * u, 10 * v, 4 * u, 2 * v);
    connect(m_buttonRecordConfig, &QPushButton::clicked, this, &ConfigDialog::slotRecordConfig);
    if (running) {
        m_comboRecordType->setEnabled(false);
        m_buttonRecordConfig->setEnabled(false);
    }
}

void ConfigDialog::slotConfirm()
{
    MyMemory* memory = MyMemory::getInstance();
    const int heldLanguage = int(memory->getCurLanguage());
    const int chosenLanguage = m_option3->currentIndex();
    memory->setConfigSavePath(m_edit1->text());
    // A selector without a selection writes its stored value back.
    memory->setConfigPictureFormat(m_option1->currentIndex() >= 0 ? m_option1->currentIndex() : memory->getConfigPictureFormat());
    memory->setConfigVideoFormat(m_option2->currentIndex() >= 0 ? m_option2->currentIndex() : memory->getConfigVideoFormat());
    if (chosenLanguage >= 0)
        memory->setConfigCurLanguage(MyMemory::Language(chosenLanguage));
    memory->setConfigGrabTipAudio(m_checkRecordAudio->isChecked());
    memory->setConfigUvcControl(m_checkUvcControl->isChecked());
    if (chosenLanguage >= 0 && chosenLanguage != heldLanguage)
        QCoreApplication::exit(RestartCode);
    close();
}

// Blocks in the folder chooser until the user answers.
void ConfigDialog::slotSelectPath()
{
    QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("保存位置"), m_edit1->text(),
                                                       QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_edit1->setText(folder);
}

void ConfigDialog::slotAbout()
{
    AboutDialog about(this);
    about.exec();
}

void ConfigDialog::slotHelp()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("file:/Applications/Orvane.app/Contents/MacOS/help.html")));
}

void ConfigDialog::slotWirelessDeviceChange(int index)
{
    DialogWirelessManager* manager = DialogWirelessManager::instance();
    const QList<DialogWirelessDevice*> devices = manager ? manager->getDeviceList() : QList<DialogWirelessDevice*>();
    if (index < 0 || index >= devices.size())
        return;
    m_curDevice = devices.at(index);
    const WirelessDeviceInfo info = m_curDevice->getDeviceInfo();
    m_comboWorkmode->setCurrentIndex(info.mode == 0 || info.mode == 1 ? info.mode : -1);
    m_editWifiName->setText(info.wifiName);
    m_editWifiPassword->clear();
    m_editDeviceName->setText(info.deviceName);
    m_comboChannel->setCurrentIndex(info.channel >= 0 && info.channel < kChannels.size() ? info.channel : -1);
}

void ConfigDialog::slotWirelessDeviceWorkmodeChange(int index)
{
    if (index != 0 && index != 1)
        return;
    const bool station = index == 1;
    for (QWidget* w : {static_cast<QWidget*>(m_labelWifiName), static_cast<QWidget*>(m_editWifiName),
                       static_cast<QWidget*>(m_labelWifiPassword), static_cast<QWidget*>(m_editWifiPassword)})
        w->setVisible(station);
    for (QWidget* w : {static_cast<QWidget*>(m_labelDeviceName), static_cast<QWidget*>(m_editDeviceName),
                       static_cast<QWidget*>(m_labelChannel), static_cast<QWidget*>(m_comboChannel)})
        w->setVisible(!station);
}

void ConfigDialog::slotCommit()
{
    TipsDialog confirm(TipsDialog::TipConfirmWireless, this, QString());
    confirm.exec();
    if (confirm.getReturnReason() != TipsDialog::ReasonConfirm)
        return;
    if (!m_curDevice)
        return;   // no camera to set up
    const int mode = m_comboWorkmode->currentIndex();
    if (mode == 0) {
        const QString name = m_editDeviceName->text();
        if (hasProtocolMarker(name) || m_comboChannel->currentIndex() < 0) {
            myErrorTip(qdTr(QT_TRANSLATE_NOOP("QDialog", "Invalid device name or channel")));
            return;
        }
        m_curDevice->setAp(name, m_comboChannel->currentIndex());
    } else if (mode == 1) {
        const QString name = m_editWifiName->text();
        const QString password = m_editWifiPassword->text();
        if (hasProtocolMarker(name) || hasProtocolMarker(password)) {
            myErrorTip(qdTr(QT_TRANSLATE_NOOP("QDialog", "Invalid Wi-Fi name or password")));
            return;
        }
        m_curDevice->setStation(name, password);
        TipsDialog done(TipsDialog::TipLinkWifi, this, name);
        done.exec();
    }
}

void ConfigDialog::slotRecordTypeChange(int)
{
    const int type = m_comboRecordType->currentData(Qt::UserRole).toInt();
    MyMemory::getInstance()->setRecordType(MyMemory::MyRecordType(type));
    if (DialogCameraSdk* sdk = DialogCameraSdk::instance()) {
        if (type == 1)
            sdk->switchCamera(PaxCameraIndexMain);
        else if (type == 2)
            sdk->switchCamera(PaxCameraIndexSecond);
    }
}

void ConfigDialog::slotRecordConfig()
{
    const int type = int(MyMemory::getInstance()->getRecordType());
    _PaxCameraIndexE target;
    switch (type) {
    case 0: target = PaxCameraIndexScreen; break;
    case 1: target = PaxCameraIndexMain; break;
    case 2: target = PaxCameraIndexSecond; break;
    default: return;
    }
    CameraRecordDialog dialog(target, this);
    dialog.exec();
}
