#include "videoset.h"

#include "macuvcclient.h"
#include "mytips.h"
#include "paxmacos.h"
#include "screengeometry.h"
#include "tipsdialog.h"

#include <QCheckBox>
#include <QFutureWatcher>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QElapsedTimer>
#include <QtConcurrent>

VideoSet* VideoSet::m_spVideoSet = nullptr;

namespace {
std::function<int(int)>& workModeSwitch()
{
    static std::function<int(int)> switcher;
    return switcher;
}
std::function<void(int)>& leaveWait()
{
    static std::function<void(int)> wait;
    return wait;
}
// The tip of the way back stays at least this long, the switch done or not.
constexpr int kLeaveTipMinimumMs = 5500;
using Uvc = DialogCameraSdk::UvcControl;
DialogCameraSdk* sdk()
{
    return DialogCameraSdk::instance();
}
} // namespace

void VideoSet::setWorkModeSwitch(std::function<int(int)> switcher)
{
    workModeSwitch() = std::move(switcher);
}

void VideoSet::setLeaveWait(std::function<void(int)> wait)
{
    leaveWait() = std::move(wait);
}

void VideoSet::showWindow(QPoint pos, QWidget* parent)
{
    if (!m_spVideoSet)
        m_spVideoSet = new VideoSet(pos, parent);
    else
        m_spVideoSet->setLeftBottomGlobalPos(pos);
    m_spVideoSet->exec();
}

void VideoSet::destroyWindow()
{
    if (m_spVideoSet) {
        VideoSet* popup = m_spVideoSet;
        m_spVideoSet = nullptr;
        delete popup;
    }
}

VideoSet::VideoSet(QPoint pos, QWidget* parent)
    : QDialog(parent)
    , m_anchor(pos)
{
    functionUiInitResources();
    _buildForm();
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
    _place();

    const QString sliderStyle = QStringLiteral(
        "QToolTip{background-color: rgba(255,255,255,255);color:rgba(0,0,0,255);border:1px solid #555555;}");
    const QString buttonStyle = QStringLiteral(
        "QPushButton{background-color: rgba(55,66,76,255);border-style:none;color:rgba(255,255,255,255);}"
        "QPushButton:hover{background-color: rgba(120,120,120,255);}");
    m_labelBrightness->setPixmap(QPixmap(QStringLiteral(":/myImage/res/brightness.png")));
    m_labelContrast->setPixmap(QPixmap(QStringLiteral(":/myImage/res/contrast.png")));
    m_labelSaturation->setPixmap(QPixmap(QStringLiteral(":/myImage/res/saturation.png")));
    m_labelSharpness->setPixmap(QPixmap(QStringLiteral(":/myImage/res/sharpness.png")));
    m_labelGain->setPixmap(QPixmap(QStringLiteral(":/myImage/res/gain.png")));
    const QList<QPair<QSlider*, const char*>> tips{
        {m_sliderBrightness, QT_TR_NOOP("Brightness")}, {m_sliderContrast, QT_TR_NOOP("Contrast")},
        {m_sliderSaturation, QT_TR_NOOP("Saturation")}, {m_sliderSharpness, QT_TR_NOOP("Sharpness")},
        {m_sliderGain, QT_TR_NOOP("Gain")},             {m_sliderExposure, QT_TR_NOOP("Exposure")},
        {m_sliderFocus, QT_TR_NOOP("Focus")}};
    for (const auto& tip : tips) {
        tip.first->setToolTip(tr(tip.second));
        tip.first->setStyleSheet(sliderStyle);
    }
    m_buttonDefault->setStyleSheet(buttonStyle);
    m_buttonFocus->setStyleSheet(buttonStyle);
    m_buttonDefault->setText(tr("Reset"));
    m_buttonFocus->setText(tr("Focus"));
    m_buttonFocus->hide();

    _freshUi();

    // Connected after the first fill (which blocks the signals as well): opening writes nothing.
    DialogCameraSdk* camera = sdk();
    const QList<QPair<QSlider*, Uvc>> values{
        {m_sliderBrightness, DialogCameraSdk::Brightness}, {m_sliderContrast, DialogCameraSdk::Contrast},
        {m_sliderSaturation, DialogCameraSdk::Saturation}, {m_sliderSharpness, DialogCameraSdk::Sharpness},
        {m_sliderGain, DialogCameraSdk::Gain},             {m_sliderExposure, DialogCameraSdk::Exposure},
        {m_sliderFocus, DialogCameraSdk::Focus}};
    for (const auto& value : values) {
        const Uvc control = value.second;
        connect(value.first, &QSlider::valueChanged, this, [camera, control](int v) {
            if (camera)
                camera->setUvcValue(control, v);
        });
    }
    connect(m_buttonDefault, &QPushButton::clicked, this, &VideoSet::slotDefault);
    connect(m_checkAuto, &QCheckBox::clicked, this, &VideoSet::slotExposureAutoClicked);
    connect(m_checkAutoFocus, &QCheckBox::clicked, this, &VideoSet::slotFocusAutoClicked);
}

VideoSet::~VideoSet()
{
    if (m_spVideoSet == this)
        m_spVideoSet = nullptr;
    if (isAvailableMacos13())
        _leaveUvcPreviewMode();
}

void VideoSet::_buildForm()
{
    setObjectName(QStringLiteral("VideoSet"));
    setWindowTitle(tr("Form"));
    setStyleSheet(QStringLiteral("background-color: rgb(55, 56, 66);"));
    auto slider = [this](const char* name) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(QLatin1String(name));
        return s;
    };
    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    m_sliderBrightness = slider("m_sliderBrightness");
    m_sliderContrast = slider("m_sliderContrast");
    m_sliderSaturation = slider("m_sliderSaturation");
    m_labelBrightness = label("m_labelBrightness");
    m_labelContrast = label("m_labelContrast");
    m_labelSaturation = label("m_labelSaturation");
    m_buttonDefault = new QPushButton(this);
    m_buttonDefault->setObjectName(QStringLiteral("m_buttonDefault"));
    m_sliderSharpness = slider("m_sliderSharpness");
    m_sliderGain = slider("m_sliderGain");
    m_labelSharpness = label("m_labelSharpness");
    m_labelGain = label("m_labelGain");
    m_labelExposure = label("m_labelExposure");
    m_labelExposure->setText(tr("Exposure"));
    m_sliderExposure = slider("m_sliderExposure");
    m_checkAuto = new QCheckBox(tr("Auto"), this);
    m_checkAuto->setObjectName(QStringLiteral("m_checkAuto"));
    m_buttonFocus = new QPushButton(this);
    m_buttonFocus->setObjectName(QStringLiteral("m_buttonFocus"));
    m_labelFocus = label("m_labelFocus");
    m_labelFocus->setText(tr("Focus"));
    m_sliderFocus = slider("m_sliderFocus");
    m_checkAutoFocus = new QCheckBox(tr("Auto"), this);
    m_checkAutoFocus->setObjectName(QStringLiteral("m_checkAutoFocus"));

    QPalette captions;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        captions.setColor(g, QPalette::WindowText, Qt::white);
    captions.setColor(QPalette::Disabled, QPalette::WindowText, QColor(190, 190, 190));
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (QPalette::ColorRole r : {QPalette::Button, QPalette::Base, QPalette::Window})
            captions.setColor(g, r, QColor(55, 56, 66));
    m_labelExposure->setPalette(captions);
    m_labelFocus->setPalette(captions);
    QPalette checks = captions;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        checks.setColor(g, QPalette::Light, Qt::black);
        checks.setColor(g, QPalette::Text, Qt::black);
        checks.setColor(g, QPalette::PlaceholderText, Qt::black);
    }
    checks.setColor(QPalette::Disabled, QPalette::Text, QColor(190, 190, 190));
    checks.setColor(QPalette::Disabled, QPalette::Light, Qt::black);
    checks.setColor(QPalette::Disabled, QPalette::PlaceholderText, Qt::black);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        checks.setColor(g, QPalette::BrightText, QColor(204, 0, 0));
    m_checkAuto->setPalette(checks);
    m_checkAutoFocus->setPalette(checks);
    m_checkAuto->setAutoFillBackground(false);
    m_checkAutoFocus->setAutoFillBackground(false);
}

void VideoSet::setLeftBottomGlobalPos(QPoint pos)
{
    m_anchor = pos;
    _place();
}

void VideoSet::_place()
{
    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    const int w = W / 5;
    const int h = (5 * H) / 12;
    setGeometry(m_anchor.x(), m_anchor.y() - h, w, h);
    const int u = H / 168;
    const int r = (h - 11 * u) / 10;
    const int p = r + u;
    const int m = (r - 16) / 2 + u;
    QLabel* icons[] = {m_labelBrightness, m_labelContrast, m_labelSaturation, m_labelSharpness, m_labelGain};
    QSlider* sliders[] = {m_sliderBrightness, m_sliderContrast, m_sliderSaturation, m_sliderSharpness, m_sliderGain};
    for (int k = 0; k < 5; ++k) {
        icons[k]->setGeometry(m, m + k * p, 16, 16);
        sliders[k]->setGeometry(r + 2 * u, k * p + u + 5, w - r - 3 * u, r - 10);
    }
    m_labelExposure->setGeometry(3 * u, 5 * p, 2 * r, r);
    m_checkAuto->setGeometry(2 * r + 4 * u, 5 * p, 3 * r, r);
    m_sliderExposure->setGeometry(m, 6 * p + 5, w - u - m, r - 10);
    m_labelFocus->setGeometry(3 * u, 7 * p, 2 * r, r);
    m_checkAutoFocus->setGeometry(2 * r + 4 * u, 7 * p, 3 * r, r);
    m_sliderFocus->setGeometry(m, 8 * p + 5, w - u - m, r - 10);
    m_buttonDefault->setGeometry((w - 2 * r) / 2, 9 * p + 5, 2 * r, r);
}

void VideoSet::_freshUi()
{
    QWidget* valueWidgets[] = {m_sliderBrightness, m_sliderContrast, m_sliderSaturation, m_sliderSharpness,
                               m_sliderGain,       m_sliderExposure, m_sliderFocus,      m_checkAuto,
                               m_checkAutoFocus};
    for (QWidget* w : valueWidgets)
        w->blockSignals(true);
    DialogCameraSdk* camera = sdk();
    auto fill = [camera](QSlider* slider, Uvc control) {
        const _PaxUvcInfoS info = camera ? camera->getUvcInfo(control) : _PaxUvcInfoS();
        if (!info.supported) {
            slider->setEnabled(false);
            return;
        }
        slider->setEnabled(true);
        slider->setMaximum(info.max);
        slider->setMinimum(info.min);
        slider->setValue(info.cur);
    };
    auto fillAuto = [camera](QCheckBox* box, QSlider* slider, Uvc control) {
        const _PaxUvcInfoS info = camera ? camera->getUvcInfo(control) : _PaxUvcInfoS();
        if (!info.supported) {
            box->setEnabled(false);
            return;
        }
        box->setEnabled(true);
        box->setChecked(info.curOn);
        slider->setEnabled(!info.curOn);
    };
    fill(m_sliderBrightness, DialogCameraSdk::Brightness);
    fill(m_sliderContrast, DialogCameraSdk::Contrast);
    fill(m_sliderSaturation, DialogCameraSdk::Saturation);
    fill(m_sliderSharpness, DialogCameraSdk::Sharpness);
    fill(m_sliderGain, DialogCameraSdk::Gain);
    fill(m_sliderExposure, DialogCameraSdk::Exposure);
    fillAuto(m_checkAuto, m_sliderExposure, DialogCameraSdk::ExposureAuto);
    fill(m_sliderFocus, DialogCameraSdk::Focus);
    fillAuto(m_checkAutoFocus, m_sliderFocus, DialogCameraSdk::FocusAuto);
    for (QWidget* w : valueWidgets)
        w->blockSignals(false);
}

void VideoSet::slotDefault()
{
    if (DialogCameraSdk* camera = sdk()) {
        for (Uvc control : {DialogCameraSdk::Brightness, DialogCameraSdk::Contrast, DialogCameraSdk::Saturation,
                            DialogCameraSdk::Sharpness, DialogCameraSdk::Gain, DialogCameraSdk::Exposure,
                            DialogCameraSdk::ExposureAuto, DialogCameraSdk::Focus, DialogCameraSdk::FocusAuto})
            camera->setUvcToDefault(control);
    }
    _freshUi();
}

void VideoSet::slotFocus()
{
    if (DialogCameraSdk* camera = sdk())
        camera->doFocus();
}

void VideoSet::slotExposureAutoClicked(bool)
{
    if (DialogCameraSdk* camera = sdk())
        camera->setUvcAuto(DialogCameraSdk::ExposureAuto, m_checkAuto->isChecked());
    _freshUi();
}

void VideoSet::slotFocusAutoClicked(bool)
{
    if (DialogCameraSdk* camera = sdk())
        camera->setUvcAuto(DialogCameraSdk::FocusAuto, m_checkAutoFocus->isChecked());
    _freshUi();
}

// Holds the GUI thread in the tip's event loop until the pool task has ended: the switch back,
// and at least 5.5 s from the popup's close.
void VideoSet::_leaveUvcPreviewMode()
{
    auto* tip = new TipsDialog(TipsDialog::TipExitUvcPreview, nullptr, QString());
    DialogCameraSdk* camera = sdk();
    std::function<int(int)> switcher = workModeSwitch();
    if (!switcher)
        switcher = [](int mode) { return MacUvcClient::getInstance()->switchWorkMode(mode); };
    std::function<void(int)> wait = leaveWait();
    if (!wait)
        wait = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    auto* watcher = new QFutureWatcher<void>;
    QObject::connect(watcher, &QFutureWatcher<void>::finished, tip, &QDialog::close, Qt::DirectConnection);
    watcher->setFuture(QtConcurrent::run([camera, switcher, wait] {
        QElapsedTimer elapsed;
        elapsed.start();
        if (camera)
            camera->closeCurCamera();
        wait(500);
        switcher(0);   // a failure does not stop the sequence
        if (camera)
            camera->openCurCamera();
        const qint64 left = kLeaveTipMinimumMs - elapsed.elapsed();
        if (left > 0)
            wait(int(left));
    }));
    if (!watcher->isFinished())
        tip->exec();
    watcher->waitForFinished();
    delete watcher;
    delete tip;
}
