#include "tipsdialog.h"

#include "screengeometry.h"

#include <QLabel>
#include <QPushButton>

TipsDialog::TipsDialog(int type, QWidget* parent, QString text)
    : QDialog(parent)
{
    // The form: one word-wrapped label, placeholders replaced below.
    setObjectName(QStringLiteral("TipsDialog"));
    resize(320, 140);
    setWindowTitle(QStringLiteral("Dialog"));
    m_label = new QLabel(QStringLiteral("TextLabel"), this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setWordWrap(true);
    m_returnReason = ReasonNone;

    struct Kind {
        const char* title;
        const char* text;
        int wDiv, hDiv;   // fixed size W/wDiv x H/hDiv
    };
    static const Kind kinds[] = {
        {QT_TR_NOOP("Warning"), QT_TR_NOOP("Don't support recording in 4K display mode, please changed the display resolution below 1920x1200"), 4, 4},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Doing ocr, please wait"), 5, 4},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Not find valid device, please insert valid device into usb and wait"), 4, 4},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Not find wireless device, please open wireless device and click refresh button, or switch into wire mode"), 4, 4},
        {QT_TR_NOOP("Warning"), QT_TR_NOOP("You confirm set wireless device?"), 5, 8},
        {QT_TR_NOOP("Warning"), "", 5, 8},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Device has been removed!"), 4, 4},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Entering to UVC preview mode ..."), 5, 4},
        {QT_TR_NOOP("Tip"), QT_TR_NOOP("Exiting from UVC preview mode ..."), 5, 4},
    };
    const bool known = type >= 0 && type <= TipExitUvcPreview;
    if (known) {
        setWindowTitle(tr(kinds[type].title));
        if (type == TipLinkWifi)
            m_label->setText(tr("Pls link wifi to ") + text + tr(",then restart!"));
        else
            m_label->setText(tr(kinds[type].text));
    }

    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    const int wDiv = known ? kinds[type].wDiv : 4;
    const int hDiv = known ? kinds[type].hDiv : 4;
    const int dw = W / wDiv;
    const int dh = H / hDiv;
    setFixedSize(dw, dh);
    move((W - dw) / 2, (H - dh) / 2);
    if (!known)
        return;   // placeholders, no layout

    const int lw = (9 * dw) / 10;
    const int lh = (6 * dh) / 10;
    const int ly = (type == TipConfirmWireless || type == TipLinkWifi) ? H / 240 : H / 120;
    m_label->setGeometry((dw - lw) / 2, ly, lw, lh);
    if (type == Tip4kDisplay || type == TipDeviceRemoved)
        m_label->setAlignment(Qt::AlignCenter);

    const int by = lh + 2 * ly;
    const QString outline = QStringLiteral("QPushButton{border:1px solid #888888;}");
    switch (type) {
    case Tip4kDisplay:
    case TipDeviceRemoved: {
        QPushButton* close = _addButton(tr("close"), "m_buttonClose", SLOT(slotClose()));
        close->setGeometry(W / 12, by, dw - 2 * (W / 12), H / 20);
        close->setStyleSheet(outline);
        break;
    }
    case TipNoDevice:
    case TipNoWirelessDevice: {
        const int g = W / 80;
        const int b = (dw - 5 * g) / 5;
        const int bh = H / 20;
        if (type == TipNoWirelessDevice) {
            QPushButton* close = _addButton(tr("Close"), "m_buttonClose", SLOT(slotClose()));
            QPushButton* retry = _addButton(tr("Retry"), "m_buttonRetry", SLOT(slotRetry()));
            QPushButton* wire = _addButton(tr("Wire Mode"), "m_buttonSwitch", SLOT(slotSwitch()));
            close->setGeometry(b + 2 * g, by, b, bh);
            retry->setGeometry(2 * b + 3 * g, by, b, bh);
            wire->setGeometry(3 * b + 4 * g, by, 2 * b, bh);
            for (QPushButton* button : {close, retry, wire})
                button->setStyleSheet(outline);
        } else {
            QPushButton* close = _addButton(tr("close"), "m_buttonClose", SLOT(slotClose()));
            QPushButton* wireless = _addButton(tr("Wireless Mode"), "m_buttonSwitch", SLOT(slotSwitch()));
            close->setGeometry(2 * b + 3 * g, by, b, bh);
            wireless->setGeometry(3 * b + 4 * g, by, b, bh);
            wireless->hide();
            close->setGeometry(3 * b + 4 * g, by, b, bh);
            close->setStyleSheet(outline);
            wireless->setStyleSheet(outline);
        }
        break;
    }
    case TipConfirmWireless:
    case TipLinkWifi: {
        const int g = W / 100;
        const int b = (dw - 4 * g) / 3;
        const int bh = H / 40;
        if (type == TipConfirmWireless) {
            _addButton(tr("confirm"), "m_buttonConfirm", SLOT(slotConfirm()))->setGeometry(b + 2 * g, by, b, bh);
            _addButton(tr("cancel"), "m_buttonCancel", SLOT(slotCancel()))->setGeometry(2 * b + 3 * g, by, b, bh);
        } else {
            _addButton(tr("OK"), "m_buttonOk", SLOT(close()))->setGeometry(2 * b + 3 * g, by, b, bh);
        }
        break;
    }
    default:
        break;
    }

    if (type == TipOcrRunning || type == TipEnterUvcPreview || type == TipExitUvcPreview)
        setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

TipsDialog::~TipsDialog() = default;

QPushButton* TipsDialog::_addButton(const QString& text, const char* objectName, const char* slot)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoDefault(false);
    connect(button, SIGNAL(clicked()), this, slot);
    return button;
}

void TipsDialog::slotClose() { m_returnReason = ReasonClose; close(); }
void TipsDialog::slotRetry() { m_returnReason = ReasonRetry; close(); }
void TipsDialog::slotSwitch() { m_returnReason = ReasonSwitch; close(); }
void TipsDialog::slotConfirm() { m_returnReason = ReasonConfirm; close(); }
void TipsDialog::slotCancel() { m_returnReason = ReasonCancel; close(); }
