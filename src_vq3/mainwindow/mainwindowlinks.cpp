#include "mainwindowlinks.h"

namespace
{
MainMediaLink g_noMedia;
MainCameraLink g_noCamera;
MainDialogLink g_noDialogs;
MainMediaLink* g_media = nullptr;
MainCameraLink* g_camera = nullptr;
MainDialogLink* g_dialogs = nullptr;
}

namespace MainWindowLinks
{
void setMediaLink(MainMediaLink* link) { g_media = link; }
MainMediaLink* media() { return g_media ? g_media : &g_noMedia; }
void setCameraLink(MainCameraLink* link) { g_camera = link; }
MainCameraLink* camera() { return g_camera ? g_camera : &g_noCamera; }
void setDialogLink(MainDialogLink* link) { g_dialogs = link; }
MainDialogLink* dialogs() { return g_dialogs ? g_dialogs : &g_noDialogs; }
}
