#include "ltoolbar.h"

#include "drawlinks.h"
#include "drawsettings.h"
#include "pushbutton.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHoverEvent>
#include <QPainter>
#include <QSlider>
#include <QWindow>

namespace
{
const char* const kToolTipSheet =
    "QToolTip{background-color: rgba(255,255,255,255);color:rgba(0,0,0,255);border:1px solid #555555;";
const char* const kNormalPicture = ":/myImage/res/main_btn_normal.png";
const char* const kPressedPicture = ":/myImage/res/main_btn_pressed.png";
const char* const kActivePicture = ":/myImage/res/main_btn_active.png";
const char* const kHidePicture = ":/myImage/res/icoHide.png";

QString toolTipSection(bool withFontSize)
{
    QString sheet = QString::fromLatin1(kToolTipSheet);
    if (withFontSize)
        sheet += QStringLiteral("font-size:%1px;").arg(DrawSettings::uiFontSize());
    return sheet + QStringLiteral("}");
}
}

Ltoolbar::Ltoolbar(QWidget* parent, Style style) : QWidget(parent), m_style(style)
{
    DrawLinks::initResources();
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // A palette belongs to its main window: announced as a utility window, window managers keep
    // it above its main window and off the task bar, without treating it as a desktop panel
    // (a dock) that sits on every workspace and reserves screen space.
    setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    if (m_style == StyleTranslucent)
        setAttribute(Qt::WA_TranslucentBackground);
}

Ltoolbar::~Ltoolbar()
{
    clearUnit();
}

QString Ltoolbar::buttonStyleSheet(const QString& icon, bool toolTipFontSize) const
{
    switch (m_style) {
    case StyleTranslucent:
        return QStringLiteral("QPushButton{background-color: rgba(55,66,76,0);}")
               + QStringLiteral("QPushButton:hover{background-color: rgba(180,180,180,128);}")
               + QStringLiteral("QPushButton:checked{background-color: rgba(180,180,180,128);background-image: url(")
               + icon
               + QStringLiteral("); background-position: center center; background-repeat: no-repeat; border: 3px "
                                "solid #FF0000;border-style: inset;}")
               + QStringLiteral("QPushButton{background-image: url(") + icon
               + QStringLiteral("); background-position: center center; background-repeat: no-repeat; }")
               + toolTipSection(toolTipFontSize);
    case StyleBottom:
        return QStringLiteral("QPushButton{background-image: url(") + icon
               + QStringLiteral("); border-style:none; background-position: center center; background-repeat: "
                                "no-repeat; }")
               + QStringLiteral("QPushButton{background-color: rgba(55,66,76,255);}")
               + QStringLiteral("QPushButton:hover{background-color: rgba(120,120,120,255);}")
               + QStringLiteral("QPushButton:checked{background-color: rgba(120,120,120,255);background-image: url(")
               + icon
               + QStringLiteral("); background-position: center center; background-repeat: no-repeat; border: 3px "
                                "solid #FF0000;border-style: inset;}")
               + toolTipSection(toolTipFontSize);
    default:
        return QString();
    }
}

PushButton* Ltoolbar::addButton(const QString& text, const QString& iconPath)
{
    const bool pictures = m_style == StyleFunction;
    auto* button = new PushButton(text, this, pictures ? PushButton::PictureMode : PushButton::StyleSheetMode);
    button->setStyleSheet(buttonStyleSheet(iconPath));
    if (pictures) {
        button->setBackgroundPix(QString::fromLatin1(kNormalPicture), QString::fromLatin1(kPressedPicture),
                                 QString::fromLatin1(kActivePicture));
        button->setPix(iconPath);
    }
    Unit unit;
    unit.type = UnitButton;
    unit.name = text;
    unit.button = button;
    m_units.append(unit);
    button->show();
    return button;
}

QSlider* Ltoolbar::addSlider()
{
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setValue(50);
    slider->setStyleSheet(toolTipSection(false));
    Unit unit;
    unit.type = UnitSlider;
    unit.slider = slider;
    m_units.append(unit);
    slider->show();
    return slider;
}

QComboBox* Ltoolbar::addComboBox()
{
    auto* combo = new QComboBox(this);
    combo->setStyleSheet(QStringLiteral("QComboBox QAbstractItemView{background-color: rgba(55,66,76,255);color: "
                                        "white;selection-background-color:blue;}")
                         + QStringLiteral("QComboBox{color: rgba(255,255,255,255);}"));
    Unit unit;
    unit.type = UnitComboBox;
    unit.comboBox = combo;
    m_units.append(unit);
    combo->show();
    return combo;
}

PushButton* Ltoolbar::addHideButton()
{
    m_hideButton = new PushButton(QString(), this, PushButton::PictureMode);
    m_hideButton->setObjectName(QStringLiteral("toolbarHideButton"));
    connect(m_hideButton, &PushButton::clicked, this, &Ltoolbar::slotHide);
    if (m_style == StyleFunction) {
        m_hideButton->setBackgroundPix(QString::fromLatin1(kNormalPicture), QString::fromLatin1(kPressedPicture),
                                       QString::fromLatin1(kActivePicture));
        m_hideButton->setPix(QString::fromLatin1(kHidePicture));
    }
    return m_hideButton;
}

void Ltoolbar::changeButtonRes(PushButton* button, const QString& iconPath)
{
    if (m_style != StyleTranslucent || !button)
        return;
    button->setStyleSheet(buttonStyleSheet(iconPath, false));
    button->hide();
    button->show();
}

void Ltoolbar::setFullScreen(bool on)
{
    if (on) {
        setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        raise();
    } else {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    }
    show();
}

void Ltoolbar::renewWindow()
{
    if (!isWindow() || !isVisible())
        return;
    hide();
    destroy(true, false);
    show();
    // Windows of our own (the picture-in-picture window, a picker) were tied to the old native
    // window: tie them to the new one, or the manager lets them fall behind the main window. The
    // manager reads the tie when a window is mapped, so a shown one gets a new native window too;
    // not a popup (stacked by no manager) nor a modal dialog (hiding it would end its run).
    const QList<QWidget*> children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (!child->isWindow() || !child->windowHandle())
            continue;
        const bool remap = child->isVisible() && child->windowType() != Qt::Popup && !child->isModal();
        if (remap) {
            child->hide();
            child->windowHandle()->destroy();
        }
        child->windowHandle()->setTransientParent(windowHandle());
        if (remap)
            child->show();
    }
}

void Ltoolbar::clearUnit()
{
    for (const Unit& unit : qAsConst(m_units)) {
        switch (unit.type) {
        case UnitButton: delete unit.button; break;
        case UnitSlider: delete unit.slider; break;
        case UnitComboBox: delete unit.comboBox; break;
        default: break;
        }
    }
    m_units.clear();
    delete m_hideButton;
    m_hideButton = nullptr;
}

void Ltoolbar::slotHide()
{
    if (m_hideState == 0)
        m_hideState = 1;
    else if (m_hideState == 1)
        m_hideState = 0;
    freshUi();
}

void Ltoolbar::slotClearHoverStatus()
{
    for (const Unit& unit : qAsConst(m_units)) {
        if (unit.type != UnitButton || !unit.button)
            continue;
        unit.button->setAttribute(Qt::WA_UnderMouse, false);
        QHoverEvent leave(QEvent::HoverLeave, QPointF(40, 40), QPointF(0, 0));
        QCoreApplication::sendEvent(unit.button, &leave);
    }
}

void Ltoolbar::freshUi()
{
    if (m_inFreshUi)
        return;
    m_inFreshUi = true;
    if (m_style == StyleBottom) {
        setStyleSheet(QStringLiteral("background-color:rgba(55,66,76,255);"));
    } else if (m_style == StyleTranslucent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setStyleSheet(QStringLiteral("background-color:rgba(55,66,76,128);"));
    }
    if (m_layoutType == CentredRow && m_sizeType == SizeType0)
        _layoutRow();
    else if (m_layoutType == Column && m_sizeType == SizeType0)
        _layoutColumn();
    else if (m_layoutType == ColumnUpward && m_sizeType == SizeType1)
        _layoutColumnUpward();
    m_inFreshUi = false;
}

void Ltoolbar::_layoutRow()
{
    const QSize T = m_toolbarSize;
    const double S = m_spacing;
    setGeometry(m_anchor.x(), m_anchor.y() - T.height(), T.width(), T.height());
    if (m_units.isEmpty())
        return;
    const QSizeF slider = DrawSettings::sliderSize();
    const QSizeF combo = DrawSettings::comboSize();
    const int inset = DrawSettings::bottomInset();
    double total = 0;
    for (const Unit& unit : qAsConst(m_units)) {
        switch (unit.type) {
        case UnitButton: total += m_buttonSize.width() + S; break;
        case UnitSlider: total += slider.width() + S; break;
        case UnitComboBox: total += combo.width() + S; break;
        default: total += S; break;
        }
    }
    double x = (T.width() + S - total) * 0.5;
    for (const Unit& unit : qAsConst(m_units)) {
        switch (unit.type) {
        case UnitComboBox:
            unit.comboBox->setGeometry(int(x), int((T.height() - inset - combo.height()) * 0.5), int(combo.width()),
                                       int(combo.height()));
            x += combo.width() + S;
            break;
        case UnitButton:
            unit.button->setGeometry(int(x), int((T.height() - inset - m_buttonSize.height()) * 0.5),
                                     m_buttonSize.width(), m_buttonSize.height());
            x += m_buttonSize.width() + S;
            break;
        case UnitSlider:
            unit.slider->setGeometry(int(x), int((T.height() - inset - slider.height()) * 0.5), int(slider.width()),
                                     int(slider.height()));
            x += slider.width() + S;
            break;
        default:
            break;
        }
    }
}

// Columns hold buttons only; a slider or combo box put into one is left where it is.
void Ltoolbar::_layoutColumn()
{
    const QSize B = m_buttonSize;
    for (int i = 0; i < m_units.size(); ++i) {
        if (m_units[i].type == UnitButton && m_units[i].button)
            m_units[i].button->setGeometry(0, i * B.height(), B.width(), B.height());
    }
}

void Ltoolbar::_layoutColumnUpward()
{
    const QSize B = m_buttonSize;
    const QPoint A = m_anchor;
    QList<PushButton*> buttons;
    for (const Unit& unit : qAsConst(m_units)) {
        if (unit.type == UnitButton && unit.button)
            buttons.append(unit.button);
    }
    const int n = buttons.size();
    int k = 0;
    if (!m_hideButton) {
        setGeometry(A.x(), A.y() - n * B.height(), B.width(), n * B.height());
    } else if (m_hideState == 1) {
        setGeometry(A.x(), A.y() - B.height(), B.width(), B.height());
        if (!m_hideButton->isOpenPixFlicker())
            m_hideButton->setMyText(tr("Lumora"));
        m_hideButton->setGeometry(0, 0, B.width(), B.height());
        return;
    } else if (m_hideState == 0) {
        int hidden = 0;
        for (PushButton* button : qAsConst(buttons))
            hidden += button->myGetHide() ? 1 : 0;
        const int rows = n - hidden + 1;
        setGeometry(A.x(), A.y() - rows * B.height(), B.width(), rows * B.height());
        if (!m_hideButton->isOpenPixFlicker())
            m_hideButton->setMyText(tr("Hide"));
        m_hideButton->setGeometry(0, 0, B.width(), B.height());
        k = 1;
    } else {
        return;
    }
    for (PushButton* button : qAsConst(buttons)) {
        if (button->myGetHide()) {
            button->hide();
            continue;
        }
        button->show();
        button->setGeometry(0, k * B.height(), B.width(), B.height());
        ++k;
    }
}

void Ltoolbar::mousePressEvent(QMouseEvent*)
{
}

void Ltoolbar::mouseReleaseEvent(QMouseEvent*)
{
}

void Ltoolbar::mouseMoveEvent(QMouseEvent*)
{
}

void Ltoolbar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), QColor(55, 66, 76, m_style == StyleTranslucent ? 128 : 255));
}

void Ltoolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    freshUi();
}
