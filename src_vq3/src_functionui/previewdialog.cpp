#include "previewdialog.h"

#include "dialogservices.h"
#include "graphicsview.h"
#include "mymemory.h"
#include "mytips.h"
#include "picturedialog.h"
#include "screengeometry.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>

PreviewDialog::PreviewDialog(DialogMediaControl* media, QWidget* parent, PreviewDialog::ApplicationScene scene)
    : QDialog(parent)
    , m_scene(scene)
    , m_media(media)
{
    functionUiInitResources();
    // The form.
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    setStyleSheet(QStringLiteral("background-color: rgb(56, 66, 76);"));
    const QString buttonStyle = QStringLiteral("background-color: rgb(96, 106, 116);\ncolor: rgb(255, 255, 255);");
    auto button = [this, &buttonStyle](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setStyleSheet(buttonStyle);
        b->setAutoDefault(false);
        return b;
    };
    m_buttonSwitch = button(tr("Switch"), "m_buttonSwitch");
    m_buttonGrab = button(tr("Grab"), "m_buttonGrab");
    m_buttonClose = button(tr("Close"), "m_buttonClose");

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setModal(false);
    installEventFilter(this);

    static const char* pictures[4] = {":/myImage/res/size1.png", ":/myImage/res/size4.png", ":/myImage/res/size2.png",
                                      ":/myImage/res/size3.png"};
    for (int i = 0; i < 4; ++i) {
        m_grips[i] = new QLabel(this);
        const QPixmap picture(QLatin1String(pictures[i]));
        m_grips[i]->setPixmap(picture);
        m_grips[i]->setFixedSize(picture.size());
        m_grips[i]->setStyleSheet(QStringLiteral("QLabel{background-color: rgba(55, 56, 66, 0);}"));
    }

    m_view = new GraphicsView(m_media ? m_media->media() : nullptr, this,
                              scene == ScenePip ? GraphicsView::PipView : GraphicsView::GrabView,
                              GraphicsView::OriginOnCreate);
    m_view->setInitAngle(0.0);
    m_view->setSetAngleToSdk(false);
    if (m_media)
        connect(m_media, &DialogMediaControl::sig_solutionChangeSecond, this, &PreviewDialog::slotSolutionChange,
                Qt::QueuedConnection);

    for (QPushButton* b : {m_buttonSwitch, m_buttonGrab, m_buttonClose})
        b->resize(int(m_buttonWidth), int(m_buttonHeight));
    if (scene == SceneGrab) {
        m_buttonSwitch->hide();
        m_buttonGrab->hide();
    }
    m_minWidth = 3 * m_buttonWidth + 150;
    m_minHeight = m_buttonHeight + 200;

    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    setGeometry(W / 3, H / 3, W / 3, H / 3);
    _layoutControls();
    m_view->slotPreview(true);

    connect(m_buttonSwitch, &QPushButton::clicked, this, &PreviewDialog::slotSwitch);
    connect(m_buttonGrab, &QPushButton::clicked, this, &PreviewDialog::slotGrab);
    connect(m_buttonClose, &QPushButton::clicked, this, &PreviewDialog::slotClose);
}

PreviewDialog::~PreviewDialog()
{
    emit sigClose();
    if (m_media)
        m_media->closeCamera1();
    delete m_view;
    for (QLabel*& grip : m_grips) {
        delete grip;
        grip = nullptr;
    }
}

void PreviewDialog::_layoutControls()
{
    const int w = width();
    const int h = height();
    const int bw = int(m_buttonWidth);
    const int bh = int(m_buttonHeight);
    m_grips[0]->move(0, 0);
    m_grips[1]->move(0, h - m_grips[1]->height());
    m_grips[2]->move(w - m_grips[2]->width(), 0);
    m_grips[3]->move(w - m_grips[2]->width(), h - m_grips[1]->height());
    if (m_pointerOutside == 1) {
        m_view->myResize(w, h);
        m_view->move(0, 0);
    } else {
        m_view->myResize(w - 50, h - 25 - bh - 10);
        m_view->move(25, 25);
    }
    m_view->slotFitToView();
    const int y = h - bh - 5;
    if (m_scene == SceneGrab) {
        m_buttonClose->move((w - bw) / 2, y);
    } else {
        const int x0 = (w - 3 * bw - 2) / 2;
        m_buttonSwitch->move(x0, y);
        m_buttonGrab->move(x0 + bw + 1, y);
        m_buttonClose->move(x0 + 2 * bw + 2, y);
    }
}

bool PreviewDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && (event->type() == QEvent::Enter || event->type() == QEvent::Leave)) {
        m_pointerOutside = event->type() == QEvent::Enter ? 0 : 1;
        _layoutControls();
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewDialog::slotSolutionChange(int width, int height)
{
    if (width <= 0 || height <= 0)
        return;
    m_videoWidth = width;
    m_videoHeight = height;
    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    int h0 = (640 * H) / 900;
    int w0 = (width * h0) / height;
    if (w0 > W / 3) {
        h0 = (H * (W / 3)) / W;
        w0 = W / 3;
    }
    _setGeometryByVideoWidthAndHeight(QRect((W - w0) / 2, (H - h0) / 2, w0, h0));
}

void PreviewDialog::_setGeometryByVideoWidthAndHeight(QRect rect)
{
    if (m_videoWidth > 0 && m_videoHeight > 0)
        rect.setHeight((rect.width() * m_videoHeight) / m_videoWidth);
    setGeometry(rect);
    _layoutControls();
    m_view->slotFitToView();
}

void PreviewDialog::mousePressEvent(QMouseEvent* event)
{
    const QPoint global = event->globalPos();
    m_pressOffset = global - pos();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint local = mapFromGlobal(global);
    for (int i = 0; i < 4; ++i) {
        if (m_grips[i]->geometry().contains(local)) {
            m_dragMode = 3 + i;
            m_startWidth = width();
            m_startHeight = height();
            m_startPos = pos();
            return;
        }
    }
    m_dragMode = 1;
}

void PreviewDialog::mouseReleaseEvent(QMouseEvent*)
{
    m_dragMode = 0;
}

void PreviewDialog::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint g = event->globalPos();
    const QPoint o = m_pressOffset;
    const QPoint p = m_startPos;
    const int W = ScreenGeometry::screenWidth();
    const int H = ScreenGeometry::screenHeight();
    if (m_dragMode == 1) {
        int x = std::max(0, g.x() - o.x());
        int y = std::max(0, g.y() - o.y());
        if (x + width() > W)
            x = W - width();
        if (y + height() > H)
            y = H - height();
        move(x, y);
        return;
    }
    if (m_dragMode < 3 || m_dragMode > 6)
        return;
    int x = p.x();
    int y = p.y();
    double w = m_startWidth;
    double h = m_startHeight;
    switch (m_dragMode) {
    case 3:   // top-left
        x = g.x() - o.x();
        y = g.y() - o.y();
        w = m_startWidth - (x - p.x());
        h = m_startHeight - (y - p.y());
        break;
    case 4:   // bottom-left
        x = g.x() - o.x();
        w = m_startWidth - (x - p.x());
        h = std::max(m_minHeight, m_startHeight + (g.y() - p.y() - o.y()));
        break;
    case 5:   // top-right
        w = std::max(m_minWidth, m_startWidth + (g.x() - p.x() - o.x()));
        y = g.y() - o.y();
        h = m_startHeight - (y - p.y());
        break;
    case 6:   // bottom-right
        w = std::max(m_minWidth, m_startWidth + g.x() - o.x() - p.x());
        h = std::max(m_minHeight, m_startHeight + g.y() - o.y() - p.y());
        break;
    }
    if ((m_dragMode == 3 || m_dragMode == 4) && w < m_minWidth) {
        w = m_minWidth;
        x = this->x();
    }
    if ((m_dragMode == 3 || m_dragMode == 5) && h < m_minHeight) {
        h = m_minHeight;
        y = this->y();
    }
    _setGeometryByVideoWidthAndHeight(QRect(x, y, int(w), int(h)));
}

void PreviewDialog::slotSwitch()
{
    auto* current = static_cast<GraphicsView*>(MyMemory::getInstance()->getPtr(QStringLiteral("curGraphicsView")));
    if (current) {
        if (current->getSetAngleToSdk()) {
            current->setSetAngleToSdk(false);
            current->setInitAngle(0.0);
            m_view->setSetAngleToSdk(true);
        } else {
            current->setSetAngleToSdk(true);
            current->setInitAngle(0.0);
            m_view->setSetAngleToSdk(false);
        }
    }
    m_view->setInitAngle(0.0);
    if (m_media)
        m_media->switchPreview();
}

void PreviewDialog::slotGrab()
{
    auto* shot = new PictureDialog(this);
    if (m_media)
        connect(m_media, &DialogMediaControl::imageCaptured, shot, &PictureDialog::slotImageCaptured);
    shot->hide();
    const QString name = MyMemory::getNextPictureName();
    if (m_media)
        m_media->capture_otherCamera(name);
}

void PreviewDialog::slotClose()
{
    close();
    deleteLater();
}
