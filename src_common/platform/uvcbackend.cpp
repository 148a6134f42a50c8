// Which UVC implementation runs: the virtual camera while it is selected (or its devices are
// replaced for a test), otherwise libuvc.

#include "uvcbackend.h"

#include "virtualdevice.h"

namespace pax_uvc {

int createContext(std::unique_ptr<Context>* context)
{
    if (pax_virtual::enabled() || pax_virtual::uvcDevicesReplaced())
        return createVirtualContext(context);
    return createLibuvcContext(context);
}

QList<KnownCameraId> platformKnownCameras()
{
    if (!pax_virtual::enabled())
        return {};
    return {{false, QString::fromLatin1(pax_virtual::kVendorId), QString::fromLatin1(pax_virtual::kMainProductId)},
            {true, QString::fromLatin1(pax_virtual::kVendorId), QString::fromLatin1(pax_virtual::kSecondProductId)}};
}

} // namespace pax_uvc
