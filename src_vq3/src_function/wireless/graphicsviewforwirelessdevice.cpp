#include "graphicsviewforwirelessdevice.h"

#include "drawsettings.h"
#include "graphicsscene.h"
#include "paxintool.h"
#include "wirelessdevice.h"
#include "wirelessdevicemanage.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGraphicsPixmapItem>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr double MinScale = 0.1;
constexpr double MaxScale = 5.0;
constexpr double ZoomStep = 1.1;
constexpr double ScenePlane = 100000;
constexpr double PictureOrigin = 10000;

// The main window's slider of that name, or null.
QSlider* mainWindowSlider(const char* name)
{
    QObject* window = DrawSettings::mainWindow();
    return window ? window->findChild<QSlider*>(QString::fromLatin1(name)) : nullptr;
}
} // namespace

GraphicsViewForWirelessDevice::GraphicsViewForWirelessDevice(QWidget* parent) : QGraphicsView(parent)
{
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    m_scene = new GraphicsScene();
    setScene(m_scene);
    setAttribute(Qt::WA_TranslucentBackground, false);
    setAttribute(Qt::WA_AcceptTouchEvents, false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("background-color: rgba(166,166,166,255);"));
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setObjectName(QStringLiteral("wirelessTile"));
    m_closeAction = new QAction(tr("close"), this);
    connect(m_closeAction, &QAction::triggered, this, &GraphicsViewForWirelessDevice::slotClose);
    m_deviceMenu = new QMenu(tr("switch device"), this);
    connect(m_deviceMenu, &QMenu::triggered, this, &GraphicsViewForWirelessDevice::slotDeviceActionTriggered);
    m_solutionMenu = new QMenu(tr("solution"), this);
    connect(m_solutionMenu, &QMenu::triggered, this, &GraphicsViewForWirelessDevice::slotSolutionActionTriggered);
}

GraphicsViewForWirelessDevice::~GraphicsViewForWirelessDevice()
{
    delete m_render;
    setScene(nullptr);
    delete m_scene;
}

void GraphicsViewForWirelessDevice::createRender()
{
    if (m_render)
        return;
    m_render = new QGraphicsPixmapItem();
    m_render->setFlag(QGraphicsItem::ItemIsMovable);
    m_scene->addItem(m_render);
    m_render->setVisible(true);
    m_render->setPos(0, 0);
}

void GraphicsViewForWirelessDevice::deleteRender() {}

void GraphicsViewForWirelessDevice::showImg(const QImage& image)
{
    if (!m_render || image.isNull())
        return;
    m_render->setPixmap(QPixmap::fromImage(image));
    if (image.width() != m_width || image.height() != m_height) {
        m_width = image.width();
        m_height = image.height();
        PAX_LOG_DEBUG("video solution changed, width[%d] height[%d]", m_width, m_height);
        slotFitToView();
    }
}

void GraphicsViewForWirelessDevice::slotClose()
{
    emit sigClose(this);
    if (m_render) {
        m_scene->removeItem(m_render);
        delete m_render;
        m_render = nullptr;
    }
    m_width = -1;
    m_height = -1;
}

void GraphicsViewForWirelessDevice::slotDeviceActionTriggered(QAction* action)
{
    WirelessDeviceManage::getInstance()->connectOne(this, action->data().toString());
}

void GraphicsViewForWirelessDevice::slotSolutionActionTriggered(QAction* action)
{
    action->setChecked(true);
    const int index = action->data().toInt();
    WirelessDevice* device = WirelessDeviceManage::getInstance()->getDeviceFromView(this);
    if (!device)
        return;
    device->myStop();
    device->disconnect();
    QCoreApplication::processEvents();
    if (m_render && m_width > 0 && m_height > 0) {
        QPixmap black(m_width, m_height);
        black.fill(Qt::black);
        m_render->setPixmap(black);
    }
    QCoreApplication::processEvents();
    device->switchCameraSolution(index);
    connect(device, &WirelessDevice::sigGetOneFrameInside, this, &GraphicsViewForWirelessDevice::showImg,
            Qt::QueuedConnection);
    device->myPlay();
}

void GraphicsViewForWirelessDevice::zoomIn()
{
    m_scale = qMax(MinScale, m_scale / ZoomStep);
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::zoomOut()
{
    m_scale = qMin(MaxScale, m_scale * ZoomStep);
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::zoomInOut(int value)
{
    m_scale = qBound(MinScale, value / 1000000.0, MaxScale);
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::slot1on1()
{
    m_scale = 1.0;
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::rotateRight()
{
    const int quarter = int(m_rotate / 90);
    m_rotate = ((quarter + 1) % 4) * 90;
    slotFitToView();
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::rotateLeft()
{
    const int quarter = int(m_rotate / 90);
    m_rotate = ((quarter + 3) % 4) * 90;
    slotFitToView();
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::slotRotate(int value)
{
    m_rotate = value;
    _zoomRotate();
}

void GraphicsViewForWirelessDevice::slotFitToView()
{
    if (!m_render)
        return;
    const QRectF bounds = m_render->boundingRect();
    const double w = bounds.width();
    const double h = bounds.height();
    if (w < 1 || h < 1 || width() < 1 || height() < 1)
        return;    // nothing shown yet: no size to fit
    const bool upright = m_rotate == 0 || m_rotate == 180;
    const double aspect = upright ? w / h : h / w;
    const double tileW = width();
    const double tileH = height();
    if (tileW / tileH > aspect)
        m_scale = upright ? tileH / h : tileH / w;
    else
        m_scale = upright ? tileW / w : tileW / h;
    _zoomRotate();
    _centre();
}

void GraphicsViewForWirelessDevice::_centre()
{
    if (!m_render)
        return;
    m_scene->setSceneRect(0, 0, ScenePlane, ScenePlane);
    m_render->setPos(PictureOrigin, PictureOrigin);
    centerOn(m_render->sceneBoundingRect().center());
}

// Applies the view's scale and rotation to the picture item about an anchor (scene coordinates;
// the item's centre when null), keeping the anchor where it was on screen.
void GraphicsViewForWirelessDevice::_zoomRotate(QPointF* anchor)
{
    if (!m_render)
        return;
    if (m_render->scale() == m_scale && m_render->rotation() == m_rotate)
        return;
    const QPointF a = anchor ? *anchor : m_render->mapToScene(m_render->boundingRect().center());
    const QPointF origin = anchor ? m_render->mapFromScene(*anchor) : m_render->boundingRect().center();
    const QRectF before = m_render->sceneBoundingRect();
    m_render->setTransformOriginPoint(origin);
    if (m_render->scale() != m_scale) {
        m_render->setScale(m_scale);
        if (QSlider* slider = mainWindowSlider("m_sliderZoom"))
            slider->setValue(int(m_scale * 1000000));
    }
    if (m_render->rotation() != m_rotate) {
        m_render->setRotation(m_rotate);
        if (QSlider* slider = mainWindowSlider("m_sliderRotate"))
            slider->setValue(int(m_rotate));
    }
    if (before.width() <= 0 || before.height() <= 0)
        return;
    const QPointF ratio((a.x() - before.left()) / before.width(), (a.y() - before.top()) / before.height());
    const QRectF after = m_render->sceneBoundingRect();
    const QPointF shift(after.width() * ratio.x() - (a.x() - after.left()),
                        after.height() * ratio.y() - (a.y() - after.top()));
    m_render->setPos(m_render->pos() - shift);
}

void GraphicsViewForWirelessDevice::_setSliders()
{
    if (QSlider* slider = mainWindowSlider("m_sliderZoom"))
        slider->setValue(int(m_scale * 1000000));
    PAX_LOG_DEBUG("come -----------bbb:%f", m_scale * 100);
    if (QSlider* slider = mainWindowSlider("m_sliderRotate"))
        slider->setValue(int(m_rotate));
}

void GraphicsViewForWirelessDevice::mousePressEvent(QMouseEvent* event)
{
    QGraphicsView::mousePressEvent(event);
    emit sigSelect(this);
    _setSliders();
}

void GraphicsViewForWirelessDevice::wheelEvent(QWheelEvent* event)
{
    m_scale = qBound(MinScale, event->angleDelta().y() > 0 ? m_scale * ZoomStep : m_scale / ZoomStep, MaxScale);
    QPointF anchor = mapToScene(event->position().toPoint());
    _zoomRotate(&anchor);
    event->accept();
}

void GraphicsViewForWirelessDevice::contextMenuEvent(QContextMenuEvent* event)
{
    WirelessDeviceManage* manager = WirelessDeviceManage::getInstance();
    QMenu* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("wirelessTileMenu"));
    menu->setFixedWidth(160);
    m_closeAction->setEnabled(m_render != nullptr);
    menu->addAction(m_closeAction);

    m_deviceMenu->clear();
    const QList<WirelessDevice*> idle = manager->getIdleDeviceList();
    m_deviceMenu->setEnabled(!m_render && !idle.isEmpty());
    if (!m_render) {
        for (WirelessDevice* device : idle) {
            QAction* action = m_deviceMenu->addAction(device->getDeviceInfo().ip);
            action->setData(device->getDeviceInfo().ip);
        }
    }
    menu->addMenu(m_deviceMenu);

    m_solutionMenu->clear();
    WirelessDevice* device = manager->getDeviceFromView(this);
    m_solutionMenu->setEnabled(m_render != nullptr);
    if (m_render && device) {
        const QString current = device->getCameraCurSolution();
        for (const QString& entry : device->getCameraSolutionList()) {
            QAction* action = m_solutionMenu->addAction(entry);
            action->setData(entry.section(':', 0, 0));
            action->setCheckable(true);
            action->setChecked(entry.section(':', 1, 1) == current);
        }
    }
    menu->addMenu(m_solutionMenu);
    menu->exec(event->globalPos());
    delete menu;
}
