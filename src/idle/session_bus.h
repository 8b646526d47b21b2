// Where the session bus is, found without libdbus: with neither an address nor the user bus's
// socket, libdbus would "autolaunch" a bus of its own (dbus-launch and a dbus-daemon) that outlives
// the process. The watcher and --idle-status only ever use a bus the session already has.
#pragma once

#include <string>

namespace idle {

/// DBUS_SESSION_BUS_ADDRESS, else the user bus's socket in XDG_RUNTIME_DIR; empty when neither.
std::string sessionBusAddress();

}  // namespace idle
