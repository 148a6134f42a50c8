#include "outsidepresswatch.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

OutsidePressWatch::OutsidePressWatch()
{
    qApp->installEventFilter(this);
}

OutsidePressWatch::~OutsidePressWatch()
{
    qApp->removeEventFilter(this);
}

bool OutsidePressWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        QWidget* window = widget->window();
        if (window && (window->windowFlags() & Qt::Popup) == Qt::Popup) {
            const QPoint global = static_cast<QMouseEvent*>(event)->globalPos();
            if (!window->frameGeometry().contains(global))
                m_pressedOutside = true;
        }
    }
    return false;
}

void OutsidePressWatch::forwardClick() const
{
    if (!m_pressedOutside)
        return;
    if (auto* button = qobject_cast<QPushButton*>(QApplication::widgetAt(QCursor::pos())))
        button->click();
}
