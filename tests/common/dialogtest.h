#pragma once
// Helpers of the dialog tests: screenshots kept as artefacts beside the build's test output,
// and closing whatever modal window a dialog under test opens.

#include "eventwait.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <memory>

namespace dialogtest {

// Writes the widget's picture to <build>/test-artefacts/functionui/<name>.png.
inline QString saveScreenshot(QWidget* widget, const QString& name)
{
    const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR", QDir::currentPath()) +
                           QStringLiteral("/../test-artefacts/functionui");
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

// Runs `act` on the next modal widget of class `className` (checked every 20 ms, up to `ms`).
// The watch ends with `context` when one is given, so `act` may capture what lives as long.
inline void onNextModal(const char* className, std::function<void(QWidget*)> act, int ms = eventwait::kHangMs,
                        QObject* context = nullptr)
{
    auto* timer = new QTimer(context);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, ms, className, clock] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && !modal->inherits(className))
            modal = nullptr;
        if (modal || clock->elapsed() > ms) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                act(modal);
        }
    });
    timer->start(20);
}

// Delivers every event posted so far, runs the zero timers started before this call and the
// deletions they left (eventwait::runPending).
inline bool flushEvents()
{
    return eventwait::runPending();
}

} // namespace dialogtest
