#include "camerarecorddialog.h"

#include "dialogservices.h"
#include "mymemory.h"
#include "myuiselect.h"
#include "paxmacos.h"
#include "paxscreenqtlib.h"
#include "screengeometry.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QThread>

namespace {
CameraRecordDialog::MicPrivacy defaultMicPrivacy()
{
    CameraRecordDialog::MicPrivacy p;
    p.status = [] { return getMicPrivacyStatus(); };
    p.request = [] { requestMicPrivacy(); };
    p.open = [] { openMicPrivacy(); };
    return p;
}
CameraRecordDialog::MicPrivacy& micPrivacy()
{
    static CameraRecordDialog::MicPrivacy p = defaultMicPrivacy();
    return p;
}
DialogCameraSdk* camera()
{
    return DialogCameraSdk::instance();
}
PaxScreenQtLib* screenSdk()
{
    return PaxScreenQtLib::getInstance();
}
const char* const kGroupStyle =
    "QGroupBox{color:white; border:2px solid; border-color:#dcdcdc; margin-top:1.5ex;}"
    "QGroupBox::title{subcontrol-origin:margin; subcontrol-position:top left; left:10px; margin-left:0px; padding:0 0px;}";
} // namespace

void CameraRecordDialog::setMicPrivacy(const MicPrivacy& privacy)
{
    micPrivacy() = privacy;
}

void CameraRecordDialog::resetMicPrivacy()
{
    micPrivacy() = defaultMicPrivacy();
}

QLabel* CameraRecordDialog::_label(const QString& text, QWidget* parent, const char* name)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    MyUiSelect::setLabelStyle(label);
    return label;
}

QComboBox* CameraRecordDialog::_combo(QWidget* parent, const char* name, const QStringList& rows, int invalidRow)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    MyUiSelect::setComboBoxStyle(box);
    box->addItems(rows);
    if (invalidRow >= 0) {
        // The "Invalid" row shows only when the SDK holds that value; the user cannot pick it.
        box->setItemData(invalidRow, 0, Qt::UserRole - 1);
        box->setItemData(invalidRow, 6, Qt::BackgroundRole);
    }
    return box;
}

CameraRecordDialog::CameraRecordDialog(_PaxCameraIndexE target, QWidget* parent)
    : QDialog(parent)
    , m_target(target)
{
    setStyleSheet(MyUiSelect::getInstance()->dialogStyle);
    static const char* const titles[] = {QT_TR_NOOP("Main camera record"), QT_TR_NOOP("Second camera record"),
                                         QT_TR_NOOP("Screen record")};
    setWindowTitle(tr(titles[target >= 0 && target <= 2 ? int(target) : 2]));

    m_labelRecordAudio = _label(tr("Record audio"), this, "m_labelRecordAudio");
    m_checkRecordAudio = new QCheckBox(this);
    m_checkRecordAudio->setObjectName(QStringLiteral("m_checkRecordAudio"));
    MyUiSelect::setCheckBoxStyle(m_checkRecordAudio);
    connect(m_checkRecordAudio, &QCheckBox::stateChanged, this, &CameraRecordDialog::slotRecordAudioChange);

    m_labelVolumn = _label(tr("Volume"), this, "m_labelVolumn");
    m_sliderVolumn = new QSlider(Qt::Horizontal, this);
    m_sliderVolumn->setObjectName(QStringLiteral("m_sliderVolumn"));
    m_sliderVolumn->setRange(0, 100);
    m_sliderVolumn->setToolTip(tr("Microphone volumn"));
    connect(m_sliderVolumn, &QSlider::valueChanged, this, &CameraRecordDialog::slotMicVolumnChanged);

    m_labelMicrophone = _label(tr("Microphone"), this, "m_labelMicrophone");
    m_comboMicrophone = _combo(this, "m_comboMicrophone", {}, -1);
    connect(m_comboMicrophone, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CameraRecordDialog::slotMicrophoneChange);

    m_labelHardwareEncoder = _label(tr("Use hardware encoder"), this, "m_labelHardwareEncoder");
    m_checkHardwareEncoder = new QCheckBox(this);
    m_checkHardwareEncoder->setObjectName(QStringLiteral("m_checkHardwareEncoder"));
    MyUiSelect::setCheckBoxStyle(m_checkHardwareEncoder);
    connect(m_checkHardwareEncoder, &QCheckBox::stateChanged, this, &CameraRecordDialog::slotHardwareEncoderChange);

    m_groupQuality = new QGroupBox(tr("Record quality"), this);
    m_groupQuality->setObjectName(QStringLiteral("m_groupQuality"));
    m_groupQuality->setStyleSheet(QLatin1String(kGroupStyle));
    auto* group = new QButtonGroup(m_groupQuality);
    group->setExclusive(true);
    QRadioButton** radios[] = {&m_radioHigh, &m_radioMiddle, &m_radioLow, &m_radioCustom};
    static const char* const radioTexts[] = {QT_TR_NOOP("High"), QT_TR_NOOP("Middle"), QT_TR_NOOP("Low"),
                                             QT_TR_NOOP("Custom")};
    static const char* radioNames[] = {"m_radioHigh", "m_radioMiddle", "m_radioLow", "m_radioCustom"};
    for (int k = 0; k < 4; ++k) {
        *radios[k] = new QRadioButton(tr(radioTexts[k]), m_groupQuality);
        (*radios[k])->setObjectName(QLatin1String(radioNames[k]));
        MyUiSelect::setRadioButtonStyle(*radios[k]);
        group->addButton(*radios[k], k);
        connect(*radios[k], &QRadioButton::toggled, this, &CameraRecordDialog::slotRecordQualityChange);
    }

    const auto rowChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    m_labelBitrateValue = _label(tr("Bitrate Value"), m_groupQuality, "m_labelBitrateValue");
    m_comboBitrateValue = _combo(m_groupQuality, "m_comboBitrateValue",
                                 {"1M", "2M", "4M", "8M", "16M", "32M", tr("Invalid")}, 6);
    connect(m_comboBitrateValue, rowChanged, this, &CameraRecordDialog::slotBitrateValueChange);
    m_labelBitrateType = _label(tr("Bitrate Type"), m_groupQuality, "m_labelBitrateType");
    m_comboBitrateType = _combo(m_groupQuality, "m_comboBitrateType",
                                {tr("CBR"), tr("VBR"), tr("ABR"), tr("CFR"), tr("CQP")}, -1);
    connect(m_comboBitrateType, rowChanged, this, &CameraRecordDialog::slotBitrateTypeChange);
    m_labelQuantizationParameter = _label(tr("Quantization Parameter"), m_groupQuality, "m_labelQuantizationParameter");
    m_comboQuantizationParameter = _combo(m_groupQuality, "m_comboQuantizationParameter",
                                          {tr("Low"), tr("Middle"), tr("High"), tr("Invalid")}, 3);
    connect(m_comboQuantizationParameter, rowChanged, this, &CameraRecordDialog::slotQuantizationParameterChange);
    m_labelProfile = _label(tr("Profile"), m_groupQuality, "m_labelProfile");
    m_comboProfile = _combo(m_groupQuality, "m_comboProfile",
                            {tr("Baseline Profile"), tr("Extended Profile"), tr("Main Profile"), tr("High Profile")}, -1);
    connect(m_comboProfile, rowChanged, this, &CameraRecordDialog::slotProfileChange);
    m_labelPreset = _label(tr("Preset"), m_groupQuality, "m_labelPreset");
    m_comboPreset = _combo(m_groupQuality, "m_comboPreset",
                           {tr("ultrafast"), tr("superfast"), tr("veryfast"), tr("faster"), tr("fast"), tr("medium"),
                            tr("slow"), tr("slower"), tr("veryslow"), tr("placebo")}, -1);
    connect(m_comboPreset, rowChanged, this, &CameraRecordDialog::slotPresetChange);

    m_labelPrefix = _label(tr("Filename prefix"), this, "m_labelPrefix");
    m_editPrefix = new QLineEdit(this);
    m_editPrefix->setObjectName(QStringLiteral("m_editPrefix"));
    MyUiSelect::setEditStyle(m_editPrefix);
    if (_isCamera()) {
        if (camera())
            m_editPrefix->setText(camera()->getVideoPrefix(m_target));
    } else {
        m_editPrefix->setText(MyMemory::getInstance()->getScreenRecordPrefix());
    }

    if (_isCamera()) {
        m_labelSolution = _label(tr("Solution"), this, "m_labelSolution");
        m_comboSolution = _combo(this, "m_comboSolution", {}, -1);
        if (camera()) {
            const int stored = camera()->getRecordSolutionIndex(m_target);
            for (const _SolutionS& s : camera()->getSolutionList(m_target)) {
                m_comboSolution->addItem(QStringLiteral("%1x%2").arg(s.width).arg(s.height), s.index);
                if (s.index == stored)
                    m_comboSolution->setCurrentIndex(m_comboSolution->count() - 1);
            }
        }
        connect(m_comboSolution, rowChanged, this, &CameraRecordDialog::slotRecordSolutionChange);
    }

    connect(this, &CameraRecordDialog::sigFreshUiContent, this, &CameraRecordDialog::slotFreshUiContent,
            Qt::QueuedConnection);
    if (_isCamera()) {
        if (camera())
            connect(camera(), &DialogCameraSdk::sigContentChange, this, &CameraRecordDialog::slotPaxContentChange,
                    Qt::QueuedConnection);
    } else {
        connect(screenSdk(), &PaxScreenQtLib::sigAudioInfoChange, this, &CameraRecordDialog::slotAudioInfoChange,
                Qt::QueuedConnection);
    }
    emit sigFreshUiContent();

    const int Ws = ScreenGeometry::screenWidth();
    const int Hs = ScreenGeometry::screenHeight();
    const int w = (2 * Ws) / 5;
    int h = (5 * Hs) / 12;
    if (_isCamera()) {
        const int q = Hs / 72;
        h = h + 3 * ((h - 8 * q) / 10 + q);
    }
    setGeometry((Ws - w) / 2, (Hs - h) / 2, w, h);
}

CameraRecordDialog::~CameraRecordDialog()
{
    slotPrefix();
}

void CameraRecordDialog::resizeEvent(QResizeEvent*)
{
    _freshUi();
}

int CameraRecordDialog::_qualityOfButton(int k) const
{
    static const int cameraValues[4] = {2, 1, 0, 3};   // High, Middle, Low, Custom
    static const int screenValues[4] = {0, 1, 2, 3};
    return _isCamera() ? cameraValues[k] : screenValues[k];
}

int CameraRecordDialog::_getQuality()
{
    if (!_isCamera())
        return screenSdk()->getRecordQuality();
    return camera() ? camera()->getRecordQuality(m_target) : -1;
}
int CameraRecordDialog::_getBitrateValue()
{
    if (!_isCamera())
        return screenSdk()->getBitrateValue();
    return camera() ? camera()->getBitrateValue(m_target) : 0;
}
int CameraRecordDialog::_getBitrateType()
{
    if (!_isCamera())
        return screenSdk()->getBitrateType();
    return camera() ? camera()->getBitrateType(m_target) : 0;
}
int CameraRecordDialog::_getQuantizationParameter()
{
    if (!_isCamera())
        return screenSdk()->getQuantizationParameter();
    return camera() ? camera()->getQuantizationParameter(m_target) : 0;
}
int CameraRecordDialog::_getProfile()
{
    if (!_isCamera())
        return screenSdk()->getProfile();
    return camera() ? camera()->getProfile(m_target) : 0;
}
int CameraRecordDialog::_getPreset()
{
    if (!_isCamera())
        return screenSdk()->getPreset();
    return camera() ? camera()->getPresetMode(m_target) : 0;
}

void CameraRecordDialog::slotFreshUiContent()
{
    _reloadRecordAudioInfo();
    _reloadVideoEncoderInfo();
    m_refreshing = true;
    const int quality = _getQuality();
    QRadioButton* radios[] = {m_radioHigh, m_radioMiddle, m_radioLow, m_radioCustom};
    QRadioButton* checked = nullptr;
    for (int k = 0; k < 4; ++k)
        if (_qualityOfButton(k) == quality)
            checked = radios[k];
    if (checked) {
        checked->setChecked(true);
    } else {
        // No quality of the table: no button checked.
        QButtonGroup* group = m_radioHigh->group();
        group->setExclusive(false);
        for (QRadioButton* r : radios)
            r->setChecked(false);
        group->setExclusive(true);
    }
    const int bitrateValue = _getBitrateValue();
    const int qp = _getQuantizationParameter();
    m_comboBitrateValue->setCurrentIndex(bitrateValue);
    m_comboBitrateType->setCurrentIndex(_getBitrateType());
    m_comboQuantizationParameter->setCurrentIndex(qp);
    m_comboProfile->setCurrentIndex(_getProfile());
    m_comboPreset->setCurrentIndex(_getPreset());
    const bool custom = m_radioCustom->isChecked();
    m_comboBitrateValue->setEnabled(custom && bitrateValue != 6);
    m_comboQuantizationParameter->setEnabled(custom && qp != 3);
    m_comboBitrateType->setEnabled(custom);
    m_comboProfile->setEnabled(custom);
    m_comboPreset->setEnabled(custom);
    m_refreshing = false;
    _freshUi();
}

void CameraRecordDialog::_reloadRecordAudioInfo()
{
    m_refreshing = true;
    bool recordAudio = false;
    QStringList microphones;
    QString current;
    int volume = 0;
    if (_isCamera()) {
        if (camera()) {
            recordAudio = camera()->getIsRecordAudio(m_target);
            microphones = camera()->getMicrophoneList();
            current = camera()->getCurMicrophone(m_target);
            volume = camera()->getCurMicrophoneVolumn(m_target);
        }
    } else {
        recordAudio = screenSdk()->getIsRecordAudio();
        for (const _ScreenMicrophoneS& m : screenSdk()->getMicrophoneList())
            microphones << m.name;
        current = screenSdk()->getCurMicrophoneName();
        volume = screenSdk()->getMicVolumn();
    }
    m_checkRecordAudio->setChecked(recordAudio);
    m_comboMicrophone->clear();
    for (const QString& name : microphones) {
        m_comboMicrophone->addItem(name);
        if (name == current)
            m_comboMicrophone->setCurrentIndex(m_comboMicrophone->count() - 1);
    }
    m_sliderVolumn->setValue(volume);
    m_comboMicrophone->setEnabled(recordAudio);
    m_sliderVolumn->setEnabled(recordAudio);
    m_refreshing = false;
}

void CameraRecordDialog::_reloadVideoEncoderInfo()
{
    m_refreshing = true;
    bool available = false;
    bool hardware = false;
    if (_isCamera()) {
        if (camera())
            hardware = camera()->getIsHardwareEncoder(m_target, available);
    } else {
        hardware = screenSdk()->getIsHardwareEncoder(available);
    }
    m_checkHardwareEncoder->setChecked(hardware);
    if (!available)
        m_checkHardwareEncoder->setEnabled(false);
    m_refreshing = false;
}

void CameraRecordDialog::slotPaxContentChange(int notify)
{
    if (notify == CameraNotifyFound || notify == CameraNotifyMissing)
        _reloadRecordAudioInfo();
    else if (notify == CameraNotifyRecordInfoMain || notify == CameraNotifyRecordInfoSecond)
        _freshUi();
}

void CameraRecordDialog::slotAudioInfoChange()
{
    _reloadRecordAudioInfo();
}

void CameraRecordDialog::_storeRecordAudio(bool on)
{
    if (_isCamera()) {
        if (camera())
            camera()->setIsRecordAudio(m_target, on);
    } else {
        screenSdk()->setIsRecordAudio(on);
    }
    emit sigFreshUiContent();
}

// Blocks the GUI thread while the user has not answered the system prompt, at most
// maxPolls × pollIntervalMs (30 s by default), and while the permission box is open.
void CameraRecordDialog::slotRecordAudioChange(int state)
{
    if (m_refreshing)
        return;
    if (state != Qt::Checked) {
        _storeRecordAudio(false);
        return;
    }
    const MicPrivacy& privacy = micPrivacy();
    int status = privacy.status ? privacy.status() : 0;
    if (status == 2) {
        if (privacy.request)
            privacy.request();
        for (int poll = 0; status == 2; ++poll) {
            if (poll >= privacy.maxPolls) {
                qCritical("[DEBUG][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__, "mic privacy: no answer");
                return;
            }
            QThread::msleep(privacy.pollIntervalMs);
            status = privacy.status ? privacy.status() : 0;
            qCritical("[DEBUG][%s][%s][%d] check mic privacy:%d", __FILE__, __FUNCTION__, __LINE__, status);
            if (status == 1) {
                qCritical("[DEBUG][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__, "P_Denied");
                return;
            }
            if (status == 0)
                qCritical("[DEBUG][%s][%s][%d] %s", __FILE__, __FUNCTION__, __LINE__, "P_Authorized");
        }
    } else if (status == 1) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Title"), QStringLiteral("This function must use a microphone"),
                        QMessageBox::NoButton);
        QPushButton* apply = box.addButton(QStringLiteral("Apply for microphone access"), QMessageBox::AcceptRole);
        QPushButton* quit = box.addButton(QStringLiteral("Quit the function"), QMessageBox::AcceptRole);
        apply->setObjectName(QStringLiteral("m_buttonApply"));
        quit->setObjectName(QStringLiteral("m_buttonQuit"));
        box.exec();
        if (box.clickedButton() == quit)
            return;
        if (box.clickedButton() == apply) {
            if (privacy.open)
                privacy.open();
            QCoreApplication::quit();
        }
    }
    _storeRecordAudio(true);
}

void CameraRecordDialog::slotMicVolumnChanged(int volume)
{
    if (m_refreshing)
        return;
    if (_isCamera()) {
        if (camera())
            camera()->setCurMicrophoneVolumn(m_target, volume);
    } else {
        screenSdk()->setMicVolumn(volume);
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotMicrophoneChange(int)
{
    if (m_refreshing)
        return;
    const QString name = m_comboMicrophone->currentText();
    if (_isCamera()) {
        if (camera())
            camera()->setCurMicrophone(m_target, name);
    } else {
        screenSdk()->setCurMicrophoneName(name);
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotHardwareEncoderChange(int state)
{
    if (m_refreshing)
        return;
    const bool on = state == Qt::Checked;
    if (_isCamera()) {
        if (camera())
            camera()->setIsHardwareEncoder(m_target, on);
    } else {
        screenSdk()->setIsHardwareEncoder(on);
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotRecordQualityChange(bool checked)
{
    if (m_refreshing)
        return;
    if (checked) {
        QRadioButton* radios[] = {m_radioHigh, m_radioMiddle, m_radioLow, m_radioCustom};
        for (int k = 0; k < 4; ++k) {
            if (radios[k] != sender())
                continue;
            const int value = _qualityOfButton(k);
            if (_isCamera()) {
                if (camera())
                    camera()->setRecordQuality(m_target, _PaxORecordQualityE(value));
            } else {
                screenSdk()->setRecordQuality(_PaxRecordQualityE(value));
            }
        }
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotBitrateValueChange(int)
{
    if (m_refreshing)
        return;
    const int row = m_comboBitrateValue->currentIndex();
    if (_isCamera()) {
        if (camera())
            camera()->setBitrateValue(m_target, _PaxOBitrateValueE(row));
    } else {
        screenSdk()->setBitrateValue(_PaxBitrateValueE(row));
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotBitrateTypeChange(int)
{
    if (m_refreshing)
        return;
    const int row = m_comboBitrateType->currentIndex();
    if (_isCamera()) {
        if (camera())
            camera()->setBitrateType(m_target, _PaxOBitrateTypeE(row));
    } else {
        screenSdk()->setBitrateType(_PaxBitrateTypeE(row));
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotQuantizationParameterChange(int)
{
    if (m_refreshing)
        return;
    const int row = m_comboQuantizationParameter->currentIndex();
    if (_isCamera()) {
        if (camera())
            camera()->setQuantizationParameter(m_target, _PaxOQuantizationParameterE(row));
    } else {
        screenSdk()->setQuantizationParameter(_PaxQuantizationParameterE(row));
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotProfileChange(int)
{
    if (m_refreshing)
        return;
    const int row = m_comboProfile->currentIndex();
    if (_isCamera()) {
        if (camera())
            camera()->setProfile(m_target, _PaxOProfileE(row));
    } else {
        screenSdk()->setProfile(_PaxProfileE(row));
    }
    emit sigFreshUiContent();
}

void CameraRecordDialog::slotPresetChange(int)
{
    if (m_refreshing)
        return;
    const int row = m_comboPreset->currentIndex();
    if (_isCamera()) {
        if (camera())
            camera()->setPresetMode(m_target, _PaxOPresetModeE(row));
    } else {
        screenSdk()->setPreset(_PaxPresetModeE(row));
    }
    emit sigFreshUiContent();
}

// A prefix with a folder separator would put recordings outside the save folder: refused.
void CameraRecordDialog::slotPrefix()
{
    const QString prefix = m_editPrefix->text();
    if (prefix.contains(QLatin1Char('/')))
        return;
    if (_isCamera()) {
        if (camera())
            camera()->setVideoPrefix(m_target, prefix);
    } else {
        MyMemory::getInstance()->setScreenRecordPrefix(prefix);
    }
}

void CameraRecordDialog::slotClose()
{
    slotPrefix();
}

void CameraRecordDialog::slotRecordSolutionChange(int)
{
    if (!_isCamera() || !camera() || !m_comboSolution)
        return;
    camera()->setRecordSolutionIndex(m_target, m_comboSolution->currentData(Qt::UserRole).toInt());
}

void CameraRecordDialog::_freshUi()
{
    const int W = width();
    const int H = height();
    const int m = W / 50;
    const int s = H / 30;
    const int a = W / 3;
    const int t = W / 12;
    const int r = _isCamera() ? (H - 11 * s) / 13 : (H - 10 * s) / 12;
    const int g = (4 * s) / 3;
    const int b = (W - 7 * m) / 4;
    auto right = [W, m](int x) { return W - m - x; };

    m_labelRecordAudio->setGeometry(m, s, a, r);
    m_checkRecordAudio->setGeometry(a + 2 * m, s, t, r);
    m_labelVolumn->setGeometry(a + 3 * m + t, s, t, r);
    m_sliderVolumn->setGeometry(a + 4 * m + 2 * t, s, right(a + 4 * m + 2 * t), r);
    m_labelMicrophone->setGeometry(m, 2 * s + r, a, r);
    m_comboMicrophone->setGeometry(a + 2 * m, 2 * s + r, right(a + 2 * m), r);
    m_labelHardwareEncoder->setGeometry(m, 3 * s + 2 * r, a, r);
    m_checkHardwareEncoder->setGeometry(a + 2 * m, 3 * s + 2 * r, right(a + 2 * m), r);
    m_groupQuality->setGeometry(m, 4 * s + 3 * r, W - 2 * m, 7 * s + 6 * r);
    QRadioButton* radios[] = {m_radioHigh, m_radioMiddle, m_radioLow, m_radioCustom};
    for (int k = 0; k < 4; ++k)
        radios[k]->setGeometry((k + 2) * m + k * b, g, b, r);
    QLabel* labels[] = {m_labelBitrateValue, m_labelBitrateType, m_labelQuantizationParameter, m_labelProfile, m_labelPreset};
    QComboBox* combos[] = {m_comboBitrateValue, m_comboBitrateType, m_comboQuantizationParameter, m_comboProfile, m_comboPreset};
    for (int j = 1; j <= 5; ++j) {
        const int y = g + j * (r + s);
        labels[j - 1]->setGeometry(2 * m, y, a - m, r);
        combos[j - 1]->setGeometry(a + m, y, (W - 3 * m) - (a + m), r);
    }
    m_labelPrefix->setGeometry(m, 11 * s + 9 * r + g, a, r);
    m_editPrefix->setGeometry(a + 2 * m, 11 * s + 9 * r + g, right(a + 2 * m), r);
    if (m_labelSolution) {
        m_labelSolution->setGeometry(m, 12 * s + 10 * r + g, a, r);
        m_comboSolution->setGeometry(a + 2 * m, 12 * s + 10 * r + g, right(a + 2 * m), r);
    }
}
