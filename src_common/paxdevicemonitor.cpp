#include "paxdevicemonitor.h"

#include <QTimerEvent>

#include <libusb.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libusb hot-plug. The callbacks only read the device descriptor (no I/O is allowed inside
// event handling); arrivals are opened for their strings after the event handling returns.
class LibusbHotplugSource final : public PaxUsbEventSource
{
public:
    ~LibusbHotplugSource() override { close(); }

    bool open() override
    {
        if (libusb_init(&m_ctx) != 0) {
            m_ctx = nullptr;
            std::puts("Error to init libusb");
            return false;
        }
        if (!_register(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, &LibusbHotplugSource::_arrived, &m_arrivedHandle)) {
            std::puts("Error to register usb arrived callback");
            return false;
        }
        m_arrivedRegistered = true;
        if (!_register(LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, &LibusbHotplugSource::_left, &m_leftHandle)) {
            std::puts("Error to register usb left callback");
            return false;
        }
        m_leftRegistered = true;
        return true;
    }

    int waitEvents(int timeoutMs) override
    {
        struct timeval tv;
        tv.tv_sec = timeoutMs / 1000;
        tv.tv_usec = (timeoutMs % 1000) * 1000;
        m_events = 0;
        libusb_handle_events_timeout_completed(m_ctx, &tv, nullptr);
        // Outside event handling now: I/O on the new devices is safe.
        for (libusb_device* dev : m_pending) {
            _describeArrival(dev);
            libusb_unref_device(dev);
        }
        m_pending.clear();
        std::fflush(stdout);
        return m_events;
    }

    void wake() override
    {
        if (m_ctx)
            libusb_interrupt_event_handler(m_ctx);
    }

    void close() override
    {
        if (!m_ctx)
            return;
        if (m_arrivedRegistered)
            libusb_hotplug_deregister_callback(m_ctx, m_arrivedHandle);
        if (m_leftRegistered)
            libusb_hotplug_deregister_callback(m_ctx, m_leftHandle);
        m_arrivedRegistered = m_leftRegistered = false;
        for (libusb_device* dev : m_pending)
            libusb_unref_device(dev);
        m_pending.clear();
        libusb_exit(m_ctx);
        m_ctx = nullptr;
    }

private:
    // One hotplug callback for every device.
    bool _register(libusb_hotplug_event event, libusb_hotplug_callback_fn callback,
                   libusb_hotplug_callback_handle* handle)
    {
        return libusb_hotplug_register_callback(m_ctx, event, libusb_hotplug_flag(0), LIBUSB_HOTPLUG_MATCH_ANY,
                                                LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, callback, this,
                                                handle) == LIBUSB_SUCCESS;
    }

    static int LIBUSB_CALL _arrived(libusb_context*, libusb_device* dev, libusb_hotplug_event, void* user)
    {
        auto* self = static_cast<LibusbHotplugSource*>(user);
        struct libusb_device_descriptor desc;
        std::memset(&desc, 0, sizeof desc);
        libusb_get_device_descriptor(dev, &desc);
        std::puts("Add usb device: ");
        std::printf("\tCLASS(0x%x) SUBCLASS(0x%x) PROTOCOL(0x%x)\n", desc.bDeviceClass, desc.bDeviceSubClass,
                    desc.bDeviceProtocol);
        std::printf("\tVENDOR(0x%x) PRODUCT(0x%x)\n", desc.idVendor, desc.idProduct);
        self->m_pending.push_back(libusb_ref_device(dev));
        ++self->m_events;
        return 0;
    }

    static int LIBUSB_CALL _left(libusb_context*, libusb_device* dev, libusb_hotplug_event, void* user)
    {
        auto* self = static_cast<LibusbHotplugSource*>(user);
        struct libusb_device_descriptor desc;
        std::memset(&desc, 0, sizeof desc);
        libusb_get_device_descriptor(dev, &desc);
        std::printf("Remove usb device: CLASS(0x%x) SUBCLASS(0x%x) iSerialNumber(0x%x)\n", desc.bDeviceClass,
                    desc.bDeviceSubClass, desc.iSerialNumber);
        ++self->m_events;
        return 0;
    }

    // The strings of a new device; a device this user can't open still counts as a change.
    static void _describeArrival(libusb_device* dev)
    {
        struct libusb_device_descriptor desc;
        std::memset(&desc, 0, sizeof desc);
        libusb_get_device_descriptor(dev, &desc);
        libusb_device_handle* handle = nullptr;
        if (libusb_open(dev, &handle) != 0 || !handle) {
            std::puts("Could not open USB device");
            return;
        }
        struct StringField { uint8_t index; const char* format; const char* failed; };
        const StringField fields[] = {
            {desc.iManufacturer, "\tManufacturer: %s\n", "Get Manufacturer failed"},
            {desc.iProduct, "\tProduct: %s\n", "Get Product failed"},
            {desc.iSerialNumber, "\tSerialNumber: %s\n", "Get SerialNumber failed"},
        };
        unsigned char text[512];
        for (const StringField& f : fields) {
            std::memset(text, 0, sizeof text);
            // One byte kept for the terminator.
            const int r = libusb_get_string_descriptor_ascii(handle, f.index, text, int(sizeof text) - 1);
            if (r >= 0)
                std::printf(f.format, reinterpret_cast<const char*>(text));
            else
                std::puts(f.failed);
        }
        libusb_close(handle);
    }

    libusb_context* m_ctx = nullptr;
    libusb_hotplug_callback_handle m_arrivedHandle = 0;
    libusb_hotplug_callback_handle m_leftHandle = 0;
    bool m_arrivedRegistered = false;
    bool m_leftRegistered = false;
    std::vector<libusb_device*> m_pending;
    int m_events = 0;
};

std::mutex g_configMutex;
PaxUsbEventSourceFactory g_factory;
std::atomic<int> g_debounceMs{5000};

} // namespace

PaxDeviceMonitor* PaxDeviceMonitor::ms_paxDeviceMonitor = nullptr;

PaxDeviceMonitor* PaxDeviceMonitor::getInstance()
{
    if (!ms_paxDeviceMonitor)
        ms_paxDeviceMonitor = new PaxDeviceMonitor(nullptr);
    return ms_paxDeviceMonitor;
}

PaxDeviceMonitor* PaxDeviceMonitor::getInstanceNoCreate()
{
    return ms_paxDeviceMonitor;
}

void PaxDeviceMonitor::releaseInstance()
{
    delete ms_paxDeviceMonitor;
    ms_paxDeviceMonitor = nullptr;
}

void PaxDeviceMonitor::setEventSourceFactory(PaxUsbEventSourceFactory factory)
{
    std::lock_guard<std::mutex> lock(g_configMutex);
    g_factory = std::move(factory);
}

void PaxDeviceMonitor::setDebounceInterval(int ms)
{
    g_debounceMs = ms;
}

int PaxDeviceMonitor::debounceInterval()
{
    return g_debounceMs;
}

PaxDeviceMonitor::PaxDeviceMonitor(QObject* parent)
    : QThread(parent)
{
    connect(this, &PaxDeviceMonitor::sigInDeviceInOut, this, &PaxDeviceMonitor::slotDeviceInOut,
            Qt::QueuedConnection);
    m_stop = 0;
    start(QThread::InheritPriority);
}

PaxDeviceMonitor::~PaxDeviceMonitor()
{
    m_stop = 1;
    {
        std::lock_guard<std::mutex> lock(m_sourceMutex);
        if (m_source)
            m_source->wake();
    }
    wait();
    QObject::disconnect(this, nullptr, nullptr, nullptr);
}

void PaxDeviceMonitor::run()
{
    std::unique_ptr<PaxUsbEventSource> source;
    {
        std::lock_guard<std::mutex> lock(g_configMutex);
        source = g_factory ? g_factory() : nullptr;
    }
    if (!source)
        source = std::make_unique<LibusbHotplugSource>();
    if (source->open()) {
        {
            std::lock_guard<std::mutex> lock(m_sourceMutex);
            m_source = source.get();
        }
        while (m_stop != 1) {
            const int events = source->waitEvents(EventTimeoutMs);
            for (int i = 0; i < events; ++i)
                emit sigInDeviceInOut();
        }
        std::lock_guard<std::mutex> lock(m_sourceMutex);
        m_source = nullptr;
    }
    std::fflush(stdout);
    source->close();
}

void PaxDeviceMonitor::slotDeviceInOut()
{
    if (m_debounceTimerId != -1) {
        killTimer(m_debounceTimerId);
        m_debounceTimerId = -1;
    }
    m_debounceTimerId = startTimer(g_debounceMs, Qt::CoarseTimer);
}

void PaxDeviceMonitor::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_debounceTimerId)
        return;
    emit sigOutdeviceInOut();
    killTimer(m_debounceTimerId);
    m_debounceTimerId = -1;
}
