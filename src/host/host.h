// The host a module runs in: one set of services for the whole process, installed by the backend
// (the Qt program or a test) before the first view is created, as a screen-saver host provides
// its class-wide services to the plug-ins it loads.
#pragma once

#include "host/controls.h"
#include "host/graphics.h"
#include "host/notifications.h"
#include "host/services.h"

namespace host {

struct Host {
    ScreenList* screens = nullptr;
    NotificationCenter* defaultCenter = nullptr;      ///< in-process
    NotificationCenter* distributedCenter = nullptr;  ///< the screen-saver host's signals
    MainQueue* mainQueue = nullptr;
    RunLoop* runLoop = nullptr;
    Clock* clock = nullptr;
    Random* random = nullptr;
    DefaultsProvider* defaults = nullptr;
    Bundle* bundle = nullptr;
    Log* log = nullptr;
    Process* process = nullptr;
    Graphics* graphics = nullptr;
    ControlFactory* controls = nullptr;
};

/// The installed host. Calling it before installHost is a programming error and aborts.
Host& currentHost();
void installHost(Host* host);
bool hasHost();

}  // namespace host
