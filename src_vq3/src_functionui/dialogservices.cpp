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
