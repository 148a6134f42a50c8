#include "drawsettings.h"

#include "graphicsview.h"
#include "mymemory.h"

#include <QSignalBlocker>
#include <QSlider>

namespace
{
const QString kMainViewKey = QStringLiteral("view");
const QString kCurrentViewKey = QStringLiteral("curGraphicsView");
const QString kMainWindowKey = QStringLiteral("curMainWindow");

MyMemory* settings()
{
    return MyMemory::getInstance();
}
}

namespace DrawSettings
{
QColor lineColor() { return settings()->getDrawColorByQt(); }
QColor fillColor() { return settings()->getFillColorByQt(); }
int fillChoice() { return settings()->getFillColor(); }
int penWidth() { return settings()->getPenWidthByInt(); }
int eraseWidth() { return settings()->getEraseWidthByInt(); }

GraphicsView* mainView() { return static_cast<GraphicsView*>(settings()->getPtr(kMainViewKey)); }
GraphicsView* currentView() { return static_cast<GraphicsView*>(settings()->getPtr(kCurrentViewKey)); }
void setCurrentView(GraphicsView* view) { settings()->savePtr(kCurrentViewKey, view); }
QObject* mainWindow() { return static_cast<QObject*>(settings()->getPtr(kMainWindowKey)); }

void setMainWindowSlider(const char* objectName, int value)
{
    QObject* window = mainWindow();
    if (!window)
        return;
    QSlider* slider = window->findChild<QSlider*>(QString::fromLatin1(objectName));
    if (!slider)
        return;
    const QSignalBlocker blocker(slider);
    slider->setValue(value);
}

QSizeF sliderSize() { return settings()->sliderSize; }
QSizeF comboSize() { return settings()->comboSize; }
int bottomInset() { return settings()->bottomMargin; }
int uiFontSize() { return settings()->buttonFontSize; }
int tipWidth() { return settings()->tipSize.width(); }
int tipHeight() { return settings()->tipSize.height(); }
int tipFontSize() { return settings()->buttonFontSize; }
}
