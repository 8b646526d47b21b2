// The Qt host: one instance of every host service for the process, gathered in a host::Host.
// Made after the QApplication, installed before the first view is created, destroyed after the
// last widget and before the QApplication.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "host/host.h"
#include "platform/posix/file_defaults_store.h"
#include "platform/posix/system_services.h"
#include "platform/posix/file_bundle.h"
#include "platform/qt/frame_pacing.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_dispatch.h"
#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_screens.h"

namespace qtbackend {

struct HostOptions {
    std::optional<uint64_t> seed;  ///< a fixed random seed for a reproducible run
    bool logToStderr = false;      ///< copy every log line to standard error
};

class QtHost {
public:
    explicit QtHost(const HostOptions& options);
    ~QtHost();
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    /// Makes this the process's host. The destructor uninstalls it again.
    void install();

    host::Host& host() { return host_; }
    QtScreenList& screens() { return screens_; }
    host::LocalNotificationCenter& defaultCenter() { return defaultCenter_; }
    host::LocalNotificationCenter& distributedCenter() { return distributedCenter_; }
    QtMainQueue& mainQueue() { return mainQueue_; }
    QtRunLoop& runLoop() { return runLoop_; }
    posix::SysLog& log() { return log_; }
    /// How the full-screen saver's frames are paced (half rate on battery).
    FramePacing& framePacing() { return framePacing_; }
    QtControlFactory& controls() { return controls_; }

    /// Writes one line of the host's own to the log (category "host").
    void logLine(host::LogLevel level, const std::string& line);

private:
    posix::FileBundle bundle_;
    posix::SysLog log_;
    posix::SystemClock clock_;
    std::unique_ptr<posix::SystemRandom> random_;
    posix::FileDefaultsProvider defaults_;
    posix::ImmediateExit process_;
    QtGraphics graphics_;
    QtControlFactory controls_;
    QtScreenList screens_;
    FramePacing framePacing_;
    host::LocalNotificationCenter defaultCenter_;
    host::LocalNotificationCenter distributedCenter_;
    QtRunLoop runLoop_;
    QtMainQueue mainQueue_;  // last: queued work, which may hold views, is dropped first
    host::Host host_;
};

}  // namespace qtbackend
