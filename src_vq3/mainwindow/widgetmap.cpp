#include "widgetmap.h"

#include "ltoolbar.h"
#include "pushbutton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QSaveFile>
#include <QSlider>
#include <QSplashScreen>
#include <QTimer>
#include <QWidget>

namespace {
constexpr int kPeriodMs = 100;

// A header's visible section titles, one a line.
QString sectionTitles(const QHeaderView* header)
{
    QStringList titles;
    for (int section = 0; header->model() && section < header->count(); ++section)
        if (!header->isSectionHidden(section))
            titles << header->model()->headerData(section, header->orientation()).toString();
    return titles.join(QLatin1Char('\n'));
}

// A menu's visible entries (a submenu by its title), one a line.
QString entryTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (action->isVisible() && !action->isSeparator())
            texts << action->text();
    return texts.join(QLatin1Char('\n'));
}

QString textOf(const QWidget* widget)
{
    if (auto* picture = qobject_cast<const PushButton*>(widget))
        return picture->myText().isEmpty() ? picture->text() : picture->myText();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->currentText();
    if (auto* splash = qobject_cast<const QSplashScreen*>(widget))
        return splash->message();
    if (auto* group = qobject_cast<const QGroupBox*>(widget))
        return group->title();
    if (auto* header = qobject_cast<const QHeaderView*>(widget))
        return sectionTitles(header);
    if (auto* menu = qobject_cast<const QMenu*>(widget))
        return entryTexts(menu);
    if (widget->isWindow())
        return widget->windowTitle();
    return QString();
}

QJsonArray unitNames(const Ltoolbar* toolbar)
{
    QJsonArray names;
    for (const Ltoolbar::Unit& unit : toolbar->units()) {
        const QObject* object = unit.button ? static_cast<const QObject*>(unit.button)
                                : unit.slider ? static_cast<const QObject*>(unit.slider)
                                              : static_cast<const QObject*>(unit.comboBox);
        names.append(object ? object->objectName() : QString());
    }
    return names;
}

// Windows, buttons, labels, headers and whatever has a tooltip always (the standard dialogs' own
// widgets are unnamed or named "qt_..."); other widgets when they carry a name of ours.
bool worthListing(const QWidget* widget)
{
    if (widget->isWindow() || qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QHeaderView*>(widget) || !widget->toolTip().isEmpty())
        return true;
    return !widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_"));
}

void add(const QWidget* widget, const QWidget* window, QJsonArray& out)
{
    if (!widget->isVisible())
        return;
    if (worthListing(widget)) {
        const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
        QJsonObject entry{{QStringLiteral("class"), QString::fromLatin1(widget->metaObject()->className())},
                          {QStringLiteral("name"), widget->objectName()},
                          {QStringLiteral("window"), window->objectName()},
                          {QStringLiteral("windowClass"), QString::fromLatin1(window->metaObject()->className())},
                          {QStringLiteral("x"), origin.x()},
                          {QStringLiteral("y"), origin.y()},
                          {QStringLiteral("w"), widget->width()},
                          {QStringLiteral("h"), widget->height()},
                          {QStringLiteral("text"), textOf(widget)},
                          {QStringLiteral("tip"), widget->toolTip()},
                          {QStringLiteral("enabled"), widget->isEnabled()},
                          {QStringLiteral("top"), widget->isWindow()},
                          {QStringLiteral("modal"), widget->isModal()}};
        if (auto* button = qobject_cast<const QAbstractButton*>(widget))
            entry.insert(QStringLiteral("checked"), button->isChecked());
        if (auto* slider = qobject_cast<const QSlider*>(widget))
            entry.insert(QStringLiteral("value"), slider->value());
        if (auto* toolbar = qobject_cast<const Ltoolbar*>(widget)) {
            entry.insert(QStringLiteral("units"), unitNames(toolbar));
            if (toolbar->hideButton())
                entry.insert(QStringLiteral("hideButton"), toolbar->hideButton()->objectName());
        }
        out.append(entry);
    }
    for (const QObject* child : widget->children()) {
        auto* childWidget = qobject_cast<const QWidget*>(child);
        if (childWidget && !childWidget->isWindow())
            add(childWidget, window, out);
    }
}

void write(const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    out.write(WidgetMap::snapshot());
    out.commit();
}
} // namespace

namespace WidgetMap {
QByteArray snapshot()
{
    QJsonArray widgets;
    for (const QWidget* window : QApplication::topLevelWidgets())
        add(window, window, widgets);
    const QWidget* modal = QApplication::activeModalWidget();
    QJsonObject map{{QStringLiteral("widgets"), widgets},
                    {QStringLiteral("activeModal"), modal ? modal->objectName() : QString()},
                    {QStringLiteral("activeModalClass"),
                     modal ? QString::fromLatin1(modal->metaObject()->className()) : QString()}};
    return QJsonDocument(map).toJson(QJsonDocument::Compact);
}

void startFromEnvironment()
{
    static bool started = false;
    const QString file = qEnvironmentVariable(Variable);
    if (started || file.isEmpty() || !qApp)
        return;
    started = true;
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [file] { write(file); });
    timer->start(kPeriodMs);
}
} // namespace WidgetMap
