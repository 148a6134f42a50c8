#include "drawlinks.h"

#include <QGuiApplication>
#include <QFont>

namespace
{
DrawMediaLink* g_mediaLink = nullptr;
DrawCameraLink* g_cameraLink = nullptr;
}

namespace DrawLinks
{
void setMediaLink(DrawMediaLink* link) { g_mediaLink = link; }
DrawMediaLink* mediaLink() { return g_mediaLink; }
void setCameraLink(DrawCameraLink* link) { g_cameraLink = link; }
DrawCameraLink* cameraLink() { return g_cameraLink; }

QString fontFamily()
{
    if (g_cameraLink)
        return g_cameraLink->getFontFamily();
    return QGuiApplication::font().family();
}
}

static void initDrawResourcesOnce()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    Q_INIT_RESOURCE(draw);
}

void DrawLinks::initResources()
{
    initDrawResourcesOnce();
}
