// The program's runs once the application and the host exist.
#pragma once

#include "app/command_line.h"

#include <memory>
#include <string>

namespace qtbackend {
class QtHost;
}
namespace waylandbackend {
class WaylandConnection;
enum class SurfaceKind;
}

namespace app {

/// Full screen on every display, or one view in a window, until stopped; see usageText().
int runInteractive(const CommandLine& commandLine, qtbackend::QtHost& host);

/// Draws into an X window made by someone else (--root, --window-id) until SIGTERM or until the
/// window is destroyed.
int runForeignWindow(const CommandLine& commandLine, qtbackend::QtHost& host);

/// Steps the views of every display by hand, as fast as they go, and writes pictures (and a
/// trace). Runs on the offscreen platform.
int runRender(const CommandLine& commandLine, qtbackend::QtHost& host);

/// Full screen on a Wayland compositor through surfaces of our own of that kind, on the connection
/// made to choose the backend, until stopped.
int runWaylandSurfaces(const CommandLine& commandLine, qtbackend::QtHost& host,
                       std::unique_ptr<waylandbackend::WaylandConnection> connection,
                       waylandbackend::SurfaceKind kind);

/// A small window with a live preview and a button that opens the options sheet over it, until
/// the window is closed.
int runSettingsWindow(qtbackend::QtHost& host);

/// Stays in the session and starts the full-screen saver whenever the user has been idle long
/// enough, until the session ends or SIGTERM; runs its own (non-GUI) application.
int runIdleWatch(const CommandLine& commandLine, char* argv0);

/// --idle-status's exit status when no idle watcher runs in the session.
inline constexpr int kNoIdleWatcherStatus = 3;

/// Prints whether an idle watcher runs in this session, the desktop's own times and what keeps
/// the screen saver away now; 0 when a watcher runs, kNoIdleWatcherStatus when none does.
int runIdleStatus(const CommandLine& commandLine, char* argv0);

}  // namespace app
