#include "dialogservices.h"

namespace {
DialogCameraSdk* s_cameraSdk = nullptr;
}

DialogCameraSdk* DialogCameraSdk::instance()
{
    return s_cameraSdk;
}

void DialogCameraSdk::setInstance(DialogCameraSdk* sdk)
{
    s_cameraSdk = sdk;
}

namespace {
DialogWirelessManager* s_wirelessManager = nullptr;
}

DialogWirelessManager* DialogWirelessManager::instance()
{
    return s_wirelessManager;
}

void DialogWirelessManager::setInstance(DialogWirelessManager* manager)
{
    s_wirelessManager = manager;
}
