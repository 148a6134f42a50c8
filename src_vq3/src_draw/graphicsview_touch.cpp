// Touch on a view: one finger draws in annotation mode; two fingers zoom and turn the picture
// in video mode. The gesture state is shared by every view, so a pinch that wanders from one
// view to another carries on there.

#include "graphicsscene.h"
#include "graphicsview.h"

#include <QGraphicsPixmapItem>
#include <QGraphicsSceneMouseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTouchEvent>

#include <cmath>

namespace
{
QTouchEvent::TouchPoint _touchPoint0;
QTouchEvent::TouchPoint _touchPoint1;
QLineF _firstLine;
double _lastAngle = 0;
QLineF _lastLine;
QLineF _lastScreenLine;
QPoint _zoomCenterPos;

bool isNullLine(const QLineF& line)
{
    return qFuzzyCompare(line.x1(), line.x2()) && qFuzzyCompare(line.y1(), line.y2());
}

int primaryScreenHeight()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

void sendToScene(GraphicsScene* scene, QEvent::Type type, const QPointF& scenePos)
{
    QGraphicsSceneMouseEvent event(type);
    event.setButton(Qt::LeftButton);
    event.setButtons(type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
    event.setModifiers(Qt::NoModifier);
    event.setScenePos(scenePos);
    event.setButtonDownScenePos(Qt::LeftButton, scenePos);
    event.setLastScenePos(scenePos);
    QGraphicsScene* base = scene;
    // The scene's handlers are protected; QCoreApplication::sendEvent routes the event to them.
    QCoreApplication::sendEvent(base, &event);
}
}

bool GraphicsView::viewportEvent(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::TouchBegin && type != QEvent::TouchUpdate && type != QEvent::TouchEnd)
        return QGraphicsView::viewportEvent(event);
    QTouchEvent* touch = static_cast<QTouchEvent*>(event);
    if (m_ioctlMode == GraphicsScene::IOCTL_DRAW)
        return _touchDraw(touch);
    return _touchPinch(touch);
}

bool GraphicsView::_touchDraw(QTouchEvent* event)
{
    const QList<QTouchEvent::TouchPoint> points = event->touchPoints();
    QPoint P(0, 0);
    for (const QTouchEvent::TouchPoint& point : points) {
        if (event->type() == QEvent::TouchBegin) {
            m_touchId = points.first().id();
            P = points.first().pos().toPoint();
            break;
        }
        if (event->type() == QEvent::TouchUpdate) {
            if (point.id() == m_touchId) {
                P = point.pos().toPoint();
                break;
            }
            continue;
        }
        // TouchEnd
        if (points.first().id() == m_touchId)
            P = points.first().pos().toPoint();
        m_touchId = -1;
        break;
    }
    const QPointF scenePos = mapToScene(P);
    if (points.size() == 1) {
        QGraphicsView::viewportEvent(event);
        if (m_drawMode == GraphicsScene::SCENE_ERASE)
            m_scene->setTouchErase();
        if (event->type() == QEvent::TouchEnd)
            sendToScene(m_scene, QEvent::GraphicsSceneMouseRelease, scenePos);
        return true;
    }
    event->accept();
    switch (event->type()) {
    case QEvent::TouchBegin:
        sendToScene(m_scene, QEvent::GraphicsSceneMousePress, scenePos);
        break;
    case QEvent::TouchUpdate:
        sendToScene(m_scene, QEvent::GraphicsSceneMouseMove, scenePos);
        break;
    default:
        sendToScene(m_scene, QEvent::GraphicsSceneMouseRelease, scenePos);
        break;
    }
    return true;
}

bool GraphicsView::_touchPinch(QTouchEvent* event)
{
    const QLineF L(_touchPoint0.scenePos(), _touchPoint1.scenePos());
    const QList<QTouchEvent::TouchPoint> points = event->touchPoints();
    const int n = points.size();
    event->accept();
    if (n >= 3)
        return true;
    if (n <= 1) {
        _lastLine = QLineF();
        event->ignore();
        return QGraphicsView::viewportEvent(event);
    }
    _touchPoint0 = points.first();
    _touchPoint1 = points.last();
    const Qt::TouchPointStates states = event->touchPointStates();
    if (states & Qt::TouchPointPressed) {
        if (m_liveItem)
            m_liveItem->setFlag(QGraphicsItem::ItemIsMovable, false);
        if (m_pictureItem)
            m_pictureItem->setFlag(QGraphicsItem::ItemIsMovable, false);
        return true;
    }
    const double a = L.angle();
    const double a0 = _firstLine.angle();
    if (states & Qt::TouchPointReleased) {
        _lastLine = QLineF();
        return true;
    }
    const QPointF v0 = _touchPoint0.pos(), v1 = _touchPoint1.pos();
    _zoomCenterPos = QPoint(int(v0.x() + (v1.x() - v0.x()) * 0.5), int(v0.y() + (v1.y() - v0.y()) * 0.5));
    const QLineF viewLine(v0, v1);
    const QLineF screenLine(_touchPoint0.screenPos(), _touchPoint1.screenPos());
    if (isNullLine(_lastLine)) {
        if (states & Qt::TouchPointMoved) {
            _firstLine = QLineF(_touchPoint0.scenePos(), _touchPoint1.scenePos());
            _lastAngle = m_rotate;
            _lastLine = viewLine;
            _lastScreenLine = screenLine;
        }
        return true;
    }
    const int Hs = primaryScreenHeight();
    if (!(states & Qt::TouchPointMoved)) {
        _lastLine = QLineF();
        return true;
    }
    const double jump = Hs / 20;
    const bool accepted = QLineF(screenLine.p1(), _lastScreenLine.p1()).length() < jump
                          && QLineF(screenLine.p2(), _lastScreenLine.p2()).length() < jump
                          && screenLine.length() > Hs / 40 && std::fabs(a - a0) < 20;
    const double k = _lastLine.length() > 0 ? viewLine.length() / _lastLine.length() : 0;
    if (!accepted || !(k > 0.85 && k < 1.15)) {
        _lastLine = QLineF();
        return true;
    }
    m_scale = qBound(0.01, m_scale * k, MaxScale);
    m_rotate = _lastAngle - (a - a0);
    m_tipKind = TipZoomRotate;
    QPointF anchor = mapToScene(_zoomCenterPos);
    _restartRotateTimer();
    _zoomRotate(&anchor);
    _lastLine = viewLine;
    _lastScreenLine = screenLine;
    return true;
}
