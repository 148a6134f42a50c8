#include "recordselectdialog.h"

#include "camerarecorddialog.h"
#include "dialogservices.h"
#include "mymemory.h"
#include "myuiselect.h"
#include "paxscreenqtlib.h"
#include "recorddialog.h"
#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>

namespace {
DialogCameraSdk* camera()
{
    return DialogCameraSdk::instance();
}
} // namespace

QString RecordSelectDialog::infoText(const QString& fileName, int seconds)
{
    const QString name = fileName.split(QLatin1Char('/')).last();
    return tr("record filename:") + name + QStringLiteral("   ") + tr("record time:") + QString::number(seconds / 3600) +
           tr("hour") + QString::number((seconds % 3600) / 60) + tr("minutes") + QString::number(seconds % 60) +
           tr("second");
}

RecordSelectDialog::Row RecordSelectDialog::_makeRow(const QString& settingsText, const char* prefix, bool withRole)
{
    Row row;
    auto button = [this, prefix](const QString& text, const char* role) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QStringLiteral("m_button%1%2").arg(QLatin1String(prefix), QLatin1String(role)));
        b->setAutoDefault(false);
        MyUiSelect::setButtonStyle(b);
        return b;
    };
    row.settings = button(settingsText, "Config");
    row.start = button(tr("start"), "Start");
    row.stop = button(tr("stop"), "Stop");
    row.pause = button(tr("pause"), "Pause");
    row.resume = button(tr("resume"), "Resume");
    if (withRole) {
        row.role = new QLabel(this);
        row.role->setObjectName(QStringLiteral("m_label%1Role").arg(QLatin1String(prefix)));
        MyUiSelect::setLabelStyle(row.role);
    }
    row.info = new QLabel(this);
    row.info->setObjectName(QStringLiteral("m_label%1Info").arg(QLatin1String(prefix)));
    MyUiSelect::setLabelStyle(row.info);
    return row;
}

RecordSelectDialog::RecordSelectDialog(QWidget* parent)
    : QDialog(parent)
{
    setStyleSheet(MyUiSelect::getInstance()->dialogStyle);
    setWindowTitle(tr("record"));
    m_main = _makeRow(tr("main camera record config"), "Main", true);
    m_second = _makeRow(tr("second camera record config"), "Second", true);
    m_screen = _makeRow(tr("screen record config"), "Screen", false);
    m_buttonClose = new QPushButton(tr("close"), this);
    m_buttonClose->setObjectName(QStringLiteral("m_buttonClose"));
    m_buttonClose->setAutoDefault(false);
    MyUiSelect::setButtonStyle(m_buttonClose);

    const int current = camera() ? camera()->getCurrentCameraIndex() : -1;
    if (current == PaxCameraIndexMain) {
        m_main.role->setText(tr("current camera"));
        m_second.role->setText(tr("other camera"));
    } else if (current == PaxCameraIndexSecond) {
        m_main.role->setText(tr("other camera"));
        m_second.role->setText(tr("current camera"));
    }

    connect(m_main.settings, &QPushButton::clicked, this, &RecordSelectDialog::slotRecordMainCamera);
    connect(m_main.start, &QPushButton::clicked, this, &RecordSelectDialog::slotMainCameraStartRecord);
    connect(m_main.stop, &QPushButton::clicked, this, &RecordSelectDialog::slotMainCameraStopRecord);
    connect(m_main.pause, &QPushButton::clicked, this, &RecordSelectDialog::slotMainCameraPauseRecord);
    connect(m_main.resume, &QPushButton::clicked, this, &RecordSelectDialog::slotMainCameraResumeRecord);
    connect(m_second.settings, &QPushButton::clicked, this, &RecordSelectDialog::slotRecordSecondCamera);
    connect(m_second.start, &QPushButton::clicked, this, &RecordSelectDialog::slotSecondCameraStartRecord);
    connect(m_second.stop, &QPushButton::clicked, this, &RecordSelectDialog::slotSecondCameraStopRecord);
    connect(m_second.pause, &QPushButton::clicked, this, &RecordSelectDialog::slotSecondCameraPauseRecord);
    connect(m_second.resume, &QPushButton::clicked, this, &RecordSelectDialog::slotSecondCameraResumeRecord);
    connect(m_screen.settings, &QPushButton::clicked, this, &RecordSelectDialog::slotRecordScreen);
    connect(m_screen.start, &QPushButton::clicked, this, &RecordSelectDialog::slotScreenStartRecord);
    connect(m_screen.stop, &QPushButton::clicked, this, &RecordSelectDialog::slotScreenStopRecord);
    connect(m_screen.pause, &QPushButton::clicked, this, &RecordSelectDialog::slotScreenPauseRecord);
    connect(m_screen.resume, &QPushButton::clicked, this, &RecordSelectDialog::slotScreenResumeRecord);
    connect(m_buttonClose, &QPushButton::clicked, this, &RecordSelectDialog::slotClose);
    if (camera())
        connect(camera(), &DialogCameraSdk::sigContentChange, this, &RecordSelectDialog::slotPaxContentChange,
                Qt::QueuedConnection);
    // The record info crosses threads under the name the signal uses.
    qRegisterMetaType<PaxScreenRecordInfoS>("PaxScreenRecordInfoS");
    connect(PaxScreenQtLib::getInstance(), &PaxScreenQtLib::sigRecordInfo, this, &RecordSelectDialog::slotRecordInfo,
            Qt::QueuedConnection);

    const int SW = ScreenGeometry::screenWidth();
    const int SH = ScreenGeometry::screenHeight();
    setGeometry((SW - SW / 2) / 2, (SH - SH / 3) / 2, SW / 2, SH / 3);
    _freshUi();
}

RecordSelectDialog::~RecordSelectDialog() = default;

void RecordSelectDialog::resizeEvent(QResizeEvent*)
{
    _freshUi();
}

void RecordSelectDialog::_applyStatus(const Row& row, int status, bool screen)
{
    struct States {
        bool settings, start, stop, pause, resume, info;
    };
    static const States table[3] = {
        {true, true, false, false, false, false},
        {false, false, true, true, false, true},
        {false, false, true, false, true, true},
    };
    if (status < 0 || status > 2)
        return;
    const States& s = table[status];
    if (screen)
        row.settings->setEnabled(s.settings);
    row.start->setEnabled(s.start);
    row.stop->setEnabled(s.stop);
    row.pause->setEnabled(s.pause);
    row.resume->setEnabled(s.resume);
    row.info->setVisible(s.info);
}

void RecordSelectDialog::_freshUi()
{
    const int W = width();
    const int H = height();
    const int a = W / 50;
    const int r = H / 30;
    const int g = (H - 8 * r) / 7;
    const int b = 2 * (W - 7 * a) / 17;
    auto rowY = [r, g](int k) { return r + k * (g + r); };
    auto placeRow = [&](const Row& row, int k) {
        const int y = rowY(k);
        row.settings->setGeometry(a, y, 3 * b, g);
        row.start->setGeometry(2 * a + 3 * b, y, b, g);
        row.stop->setGeometry(3 * a + 4 * b, y, b, g);
        row.pause->setGeometry(4 * a + 5 * b, y, b, g);
        row.resume->setGeometry(5 * a + 6 * b, y, b, g);
        if (row.role)
            row.role->setGeometry(6 * a + 7 * b, y, 3 * b / 2, g);
        row.info->setGeometry(a, rowY(k + 1), W - 2 * a, g);
    };
    placeRow(m_main, 0);
    placeRow(m_second, 2);
    placeRow(m_screen, 4);
    m_buttonClose->setGeometry(W - a - b, rowY(6), b, g);

    if (camera()) {
        _applyStatus(m_main, camera()->getRecordInfo(PaxCameraIndexMain).status, false);
        if (camera()->hasSecondCamera()) {
            _applyStatus(m_second, camera()->getRecordInfo(PaxCameraIndexSecond).status, false);
        } else {
            for (QPushButton* button : {m_second.settings, m_second.start, m_second.stop, m_second.pause, m_second.resume})
                button->setEnabled(false);
        }
    }
    _applyStatus(m_screen, PaxScreenQtLib::getInstance()->getRecordInfo().state, true);
}

void RecordSelectDialog::slotRecordMainCamera()
{
    CameraRecordDialog dialog(PaxCameraIndexMain, this);
    dialog.exec();
}
void RecordSelectDialog::slotMainCameraStartRecord() { if (camera()) camera()->startRecord(PaxCameraIndexMain); }
void RecordSelectDialog::slotMainCameraStopRecord() { if (camera()) camera()->stopRecord(PaxCameraIndexMain); }
void RecordSelectDialog::slotMainCameraPauseRecord() { if (camera()) camera()->pauseRecord(PaxCameraIndexMain); }
void RecordSelectDialog::slotMainCameraResumeRecord() { if (camera()) camera()->resumeRecord(PaxCameraIndexMain); }
void RecordSelectDialog::slotRecordSecondCamera()
{
    CameraRecordDialog dialog(PaxCameraIndexSecond, this);
    dialog.exec();
}
void RecordSelectDialog::slotSecondCameraStartRecord() { if (camera()) camera()->startRecord(PaxCameraIndexSecond); }
void RecordSelectDialog::slotSecondCameraStopRecord() { if (camera()) camera()->stopRecord(PaxCameraIndexSecond); }
void RecordSelectDialog::slotSecondCameraPauseRecord() { if (camera()) camera()->pauseRecord(PaxCameraIndexSecond); }
void RecordSelectDialog::slotSecondCameraResumeRecord() { if (camera()) camera()->resumeRecord(PaxCameraIndexSecond); }

void RecordSelectDialog::slotRecordScreen()
{
    RecordDialog frame(RecordDialog::FunctionRecord, this);
    frame.exec();
}
void RecordSelectDialog::slotScreenStartRecord()
{
    PaxScreenQtLib::getInstance()->startRecordScreen(MyMemory::getNextVideoName());
}
void RecordSelectDialog::slotScreenStopRecord() { PaxScreenQtLib::getInstance()->stopRecordScreen(); }
void RecordSelectDialog::slotScreenPauseRecord() { PaxScreenQtLib::getInstance()->pause(); }
void RecordSelectDialog::slotScreenResumeRecord() { PaxScreenQtLib::getInstance()->resume(); }
void RecordSelectDialog::slotClose() { close(); }

void RecordSelectDialog::slotPaxContentChange(int notify)
{
    if (!camera())
        return;
    if (notify == CameraNotifyRecordInfoMain || notify == CameraNotifyRecordInfoSecond) {
        const bool main = notify == CameraNotifyRecordInfoMain;
        const _PaxRecordInfoS info = camera()->getRecordInfo(main ? PaxCameraIndexMain : PaxCameraIndexSecond);
        if (info.status == 1)
            (main ? m_main : m_second).info->setText(infoText(info.fileName, info.seconds));
        _freshUi();
    }
}

void RecordSelectDialog::slotRecordInfo(PaxScreenRecordInfoS)
{
    const PaxScreenRecordInfoS info = PaxScreenQtLib::getInstance()->getRecordInfo();
    if (info.state == 1)
        m_screen.info->setText(infoText(info.fileName, info.recordSeconds));
    _freshUi();
}
