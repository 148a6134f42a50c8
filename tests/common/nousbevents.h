#pragma once
// A USB event source that never opens and never reports an event, so the device monitor falls
// back to its periodic rescan. Install it before the first monitor starts:
//     PaxDeviceMonitor::setEventSourceFactory([] { return std::make_unique<NoUsbEvents>(); });

#include "paxdevicemonitor.h"

class NoUsbEvents final : public PaxUsbEventSource
{
public:
    bool open() override { return false; }
    int waitEvents(int) override { return 0; }
    void wake() override {}
    void close() override {}
};
