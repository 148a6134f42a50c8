#include "graphicsview.h"

#include "drawlinks.h"
#include "drawsettings.h"
#include "graphicsscene.h"

#include <QGraphicsPixmapItem>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimerEvent>
#include <QWheelEvent>

#include <cmath>

namespace
{
// Degrees as the SDK and the still picture expect them: a right angle short of a full turn is
// passed as a quarter turn the other way.
double normalisedQuarter(double angle)
{
    return angle == 270 ? -90 : angle;
}

int sliderValueForScale(double scale)
{
    return int(qBound(0.0, scale, 2000.0) * 1000000);
}
}

GraphicsView::GraphicsView(MediaControl* media, QWidget* parent, Mode mode, RenderFillMode fillMode)
    : QGraphicsView(parent), m_mode(mode), m_fillMode(fillMode), m_media(media)
{
    DrawLinks::initResources();
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    m_scene = new GraphicsScene(this);
    connect(m_scene, &GraphicsScene::sigUpdateSceneMode, this, &GraphicsView::slotUpdateSceneMode);
    setScene(m_scene);
    if (m_mode == CompareView)
        setAcceptDrops(true);
    if (m_mode == GrabView && m_media && DrawLinks::mediaLink())
        DrawLinks::mediaLink()->connectImageCaptured(m_media, this, SLOT(slotImageCaptured(QImage)));
    if (m_mode == MainView) {
        m_deviceMenu = new QMenu(tr("switch device"), this);
        connect(m_deviceMenu, &QMenu::triggered, this, &GraphicsView::slotDeviceActionTriggered);
    }
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAttribute(Qt::WA_AcceptTouchEvents, false);
    // Touch reaches the view through its viewport, which must accept it even when no item does.
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents, true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background-color: rgba(166,166,166,255);"));
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setObjectName(QStringLiteral("graphicsView%1").arg(int(mode)));
}

GraphicsView::~GraphicsView()
{
    delete m_pictureButton;
    delete m_previewButton;
    m_pictureButton = m_previewButton = nullptr;
    _dropPictureItem();
    _dropLiveItem();
    delete m_dragPixmap;
    if (DrawSettings::currentView() == this)
        DrawSettings::setCurrentView(nullptr);
    delete m_scene;
    m_scene = nullptr;
    delete m_tipLabel;
    delete m_tipLabel1;
}

void GraphicsView::_dropLiveItem()
{
    if (!m_liveItem)
        return;
    if (m_media && DrawLinks::mediaLink())
        DrawLinks::mediaLink()->removeThisRender(m_media, m_liveItem);
    if (m_scene)
        m_scene->removeItem(m_liveItem);
    delete m_liveItem;
    m_liveItem = nullptr;
}

void GraphicsView::_dropPictureItem()
{
    if (m_pictureItem) {
        if (m_scene)
            m_scene->removeItem(m_pictureItem);
        delete m_pictureItem;
        m_pictureItem = nullptr;
    }
    m_pictureFile.clear();
}

void GraphicsView::slotUpdateSceneMode(int drawMode, int ioctlMode)
{
    m_drawMode = drawMode;
    m_ioctlMode = ioctlMode;
}

bool GraphicsView::_isCurrentView() const
{
    return DrawSettings::currentView() == this;
}

void GraphicsView::zoomIn()
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipZoom;
    m_scale = qMax(MinScale, m_scale / 1.1);
    _zoomRotate();
}

void GraphicsView::zoomOut()
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipZoom;
    m_scale = qMin(MaxScale, m_scale * 1.1);
    _zoomRotate();
}

void GraphicsView::zoomInOut(int value)
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipZoom;
    m_scale = qBound(MinScale, value / 1000000.0, MaxScale);
    _zoomRotate();
}

void GraphicsView::rotateRight()
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipRotate;
    const int q = int(m_rotate / 90);
    m_rotate = ((q + 1) % 4) * 90;
    _zoomRotate();
    slotFitToView();
}

void GraphicsView::rotateLeft()
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipRotate;
    const int q = int(m_rotate / 90);
    m_rotate = ((q + 3) % 4) * 90;
    _zoomRotate();
    slotFitToView();
}

void GraphicsView::_restartRotateTimer()
{
    if (m_rotateTimer != -1)
        killTimer(m_rotateTimer);
    m_fitAllowed = false;
    m_rotateTimer = startTimer(1000, Qt::CoarseTimer);
}

void GraphicsView::slotRotate(int angle)
{
    if (!_isCurrentView())
        return;
    m_tipKind = TipRotate;
    m_rotate = angle;
    _restartRotateTimer();
    _zoomRotate();
}

void GraphicsView::slot1on1()
{
    if (!_isCurrentView())
        return;
    m_scale = 1.0;
    _zoomRotate();
}

void GraphicsView::slotFitToView()
{
    if (m_mode == GrabView)
        return;
    if (m_mode == CompareView && !_isCurrentView())
        return;
    if (!m_fitAllowed)
        return;
    const double W = width(), H = height();
    for (QGraphicsPixmapItem* item : {m_liveItem, m_pictureItem}) {
        if (!item)
            continue;
        const QRectF bounds = item->boundingRect();
        const double w = bounds.width(), h = bounds.height();
        // An item without a picture yet (or a view without a size) has nothing to fit.
        if (w < 1 || h < 1 || W < 1 || H < 1)
            continue;
        // Fit has no bounds of its own; only the zoom buttons, slider and wheel keep the limits.
        m_scale = (W / H > w / h) ? H / h : W / w;
        _zoomRotate();
        _centerToView();
    }
}

double GraphicsView::_getRotate(int which) const
{
    double angle = m_rotate;
    if (which == 0) {
        angle += m_initAngle;
        if (angle == 360)
            angle = 0;
    }
    return normalisedQuarter(angle);
}

void GraphicsView::myResize(int width, int height)
{
    resize(width, height);
    if (m_fillMode == OriginOnCreate && m_liveItem)
        m_liveItem->setPos(0, 0);
}

// Scales the item about the anchor (its centre when null) so that the anchor keeps its place
// inside the picture.
void GraphicsView::_moveItemAbout(QGraphicsPixmapItem* item, QPointF* anchor)
{
    QPointF origin, A;
    if (!anchor) {
        const QRectF bounds = item->boundingRect();
        origin = QPointF(bounds.width() / 2, bounds.height() / 2);
        A = item->mapToScene(origin);
    } else {
        A = *anchor;
        origin = item->mapFromScene(A);
    }
    const QRectF before = item->sceneBoundingRect();
    item->setTransformOriginPoint(origin);
    if (item->scale() != m_scale) {
        item->setScale(m_scale);
        DrawSettings::setMainWindowSlider("m_sliderZoom", sliderValueForScale(m_scale));
    }
    if (item == m_pictureItem) {
        const double pictureAngle = normalisedQuarter(m_rotate);
        if (m_pictureAngle != pictureAngle) {
            m_pictureAngle = pictureAngle;
            _freshPixmap();
            DrawSettings::setMainWindowSlider("m_sliderRotate", int(m_rotate));
        }
    }
    const QPointF r(before.width() > 0 ? (A.x() - before.x()) / before.width() : 0,
                    before.height() > 0 ? (A.y() - before.y()) / before.height() : 0);
    const QRectF after = item->sceneBoundingRect();
    const QPointF d(after.width() * r.x() - (A.x() - after.x()), after.height() * r.y() - (A.y() - after.y()));
    item->setPos(item->pos() - d);
}

void GraphicsView::_zoomRotate(QPointF* anchor)
{
    if (m_liveItem) {
        const double sdkAngle = _getRotate(0);
        DrawCameraLink* camera = DrawLinks::cameraLink();
        const bool sdkDone = !m_setAngleToSdk || !camera || camera->getInitAngle() == sdkAngle;
        if (m_liveItem->scale() == m_scale && sdkDone) {
            _showTipByKind();
            return;
        }
        _moveItemAbout(m_liveItem, anchor);
        if (!sdkDone) {
            camera->setInitAngle(sdkAngle);
            DrawSettings::setMainWindowSlider("m_sliderRotate", int(m_rotate));
        }
        _showTipByKind();
    }
    if (m_pictureItem) {
        const double pictureAngle = normalisedQuarter(m_rotate);
        if (m_pictureItem->scale() == m_scale && m_pictureAngle == pictureAngle) {
            _showTipByKind();
            return;
        }
        _moveItemAbout(m_pictureItem, anchor);
        _showTipByKind();
    }
}

void GraphicsView::_showTipByKind()
{
    const int p = int(m_scale * 100);
    const bool inRange = p >= 1 && p <= 1999;
    const QString zoomText = QStringLiteral("%1%").arg(p);
    switch (m_tipKind) {
    case TipZoom:
        if (inRange)
            _showTip(zoomText, 0);
        break;
    case TipRotate:
        _showTip(QString::asprintf("%g", m_rotate) + QChar(0x00B0), 1);
        break;
    case TipZoomRotate: {
        const QString angleText = QString::number(int(m_rotate)) + QChar(0x00B0);
        if (inRange)
            _showTip1(zoomText, angleText);
        else
            _showTip(angleText, 1);
        break;
    }
    default:
        break;
    }
}

QLabel* GraphicsView::_makeTipLabel(QLabel* label, const QString& text, int type, int x, int y)
{
    if (!label) {
        label = new QLabel(this);
        label->setObjectName(QStringLiteral("viewTip"));
    }
    label->setText(text);
    label->setGeometry(x, y, DrawSettings::tipWidth(), DrawSettings::tipHeight());
    if (type == 1)
        label->setStyleSheet(QStringLiteral("background-color:rgba(0,0,255,128);color:rgba(255,255,255,255);"));
    else if (type == 0)
        label->setStyleSheet(QStringLiteral("background-color:rgba(128,255,0,128);color:rgba(255,255,255,255);"));
    QFont font(DrawLinks::fontFamily());
    font.setPointSize(qMax(1, DrawSettings::tipFontSize()));
    font.setWeight(87);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->show();
    return label;
}

void GraphicsView::_showTip(const QString& text, int type)
{
    if (m_tipTimer != -1) {
        killTimer(m_tipTimer);
        m_tipTimer = -1;
    }
    const int w = DrawSettings::tipWidth(), h = DrawSettings::tipHeight();
    m_tipLabel = _makeTipLabel(m_tipLabel, text, type, (width() - w) / 2, (height() - h) / 2);
    m_tipTimer = startTimer(1000, Qt::CoarseTimer);
}

void GraphicsView::_showTip1(const QString& zoomText, const QString& angleText)
{
    if (m_tipTimer != -1) {
        killTimer(m_tipTimer);
        m_tipTimer = -1;
    }
    const int w = DrawSettings::tipWidth(), h = DrawSettings::tipHeight();
    const int x = (width() - w) / 2, y = (height() - 2 * h) / 2;
    m_tipLabel = _makeTipLabel(m_tipLabel, zoomText, 0, x, y);
    m_tipLabel1 = _makeTipLabel(m_tipLabel1, angleText, 1, x, y + h);
    m_tipTimer = startTimer(1000, Qt::CoarseTimer);
}

void GraphicsView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_tipTimer) {
        killTimer(m_tipTimer);
        m_tipTimer = -1;
        delete m_tipLabel;
        delete m_tipLabel1;
        m_tipLabel = m_tipLabel1 = nullptr;
        return;
    }
    if (event->timerId() == m_rotateTimer) {
        killTimer(m_rotateTimer);
        m_rotateTimer = -1;
        m_fitAllowed = true;
        return;
    }
    QGraphicsView::timerEvent(event);
}

void GraphicsView::_centerToView()
{
    for (QGraphicsPixmapItem* item : {m_liveItem, m_pictureItem}) {
        if (!item)
            continue;
        setSceneRect(0, 0, SceneSide, SceneSide);
        item->setPos(CentrePos, CentrePos);
        centerOn(item->sceneBoundingRect().center());
    }
}

void GraphicsView::wheelEvent(QWheelEvent* event)
{
    if (!bWheelZoom)
        return;
    m_scale = event->angleDelta().y() > 0 ? m_scale * 1.1 : m_scale / 1.1;
    m_scale = qBound(MinScale, m_scale, MaxScale);
    QPointF anchor = mapToScene(event->position().toPoint());
    m_tipKind = TipZoom;
    _zoomRotate(&anchor);
}

void GraphicsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return;
    switch (m_mode) {
    case MainView:
        QGraphicsView::mousePressEvent(event);
        break;
    case CompareView:
        QGraphicsView::mousePressEvent(event);
        DrawSettings::setCurrentView(this);
        DrawSettings::setMainWindowSlider("m_sliderZoom", sliderValueForScale(m_scale));
        DrawSettings::setMainWindowSlider("m_sliderRotate", int(m_rotate));
        break;
    case GrabView:
        m_dragState = DragPressed;
        delete m_dragPixmap;
        m_dragPixmap = nullptr;
        break;
    default:
        break;
    }
}

void GraphicsView::mouseMoveEvent(QMouseEvent* event)
{
    switch (m_mode) {
    case MainView:
    case CompareView:
        QGraphicsView::mouseMoveEvent(event);
        break;
    case GrabView:
        if (m_dragState == DragPressed) {
            m_dragState = DragRequested;
            if (m_media && DrawLinks::mediaLink())
                DrawLinks::mediaLink()->capture(m_media);
        }
        break;
    default:
        break;
    }
}

void GraphicsView::mouseReleaseEvent(QMouseEvent* event)
{
    switch (m_mode) {
    case MainView:
    case CompareView:
        QGraphicsView::mouseReleaseEvent(event);
        break;
    case GrabView:
        m_dragState = DragIdle;
        delete m_dragPixmap;
        m_dragPixmap = nullptr;
        break;
    default:
        break;
    }
    if (m_scene && m_scene->getIoctlMode() == GraphicsScene::IOCTL_VIDEO) {
        if (m_liveItem)
            m_liveItem->setFlag(QGraphicsItem::ItemIsMovable, true);
        if (m_pictureItem)
            m_pictureItem->setFlag(QGraphicsItem::ItemIsMovable, true);
    }
}

void GraphicsView::enterEvent(QEvent* event)
{
    QGraphicsView::enterEvent(event);
    emit sigClearHoverStatus();
}
