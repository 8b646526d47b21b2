#include "platform/qt/qt_host.h"

namespace qtbackend {

QtHost::QtHost(const HostOptions& options)
    : bundle_(posix::FileBundle::program()),
      log_(bundle_.bundleIdentifier(), options.logToStderr),
      random_(options.seed ? std::make_unique<posix::SystemRandom>(*options.seed)
                           : std::make_unique<posix::SystemRandom>()),
      defaults_([this](const std::string& line) { log_.message(host::LogLevel::Error, "settings", line); }) {
    host_.screens = &screens_;
    host_.defaultCenter = &defaultCenter_;
    host_.distributedCenter = &distributedCenter_;
    host_.mainQueue = &mainQueue_;
    host_.runLoop = &runLoop_;
    host_.clock = &clock_;
    host_.random = random_.get();
    host_.defaults = &defaults_;
    host_.bundle = &bundle_;
    host_.log = &log_;
    host_.process = &process_;
    host_.graphics = &graphics_;
    host_.controls = &controls_;
}

QtHost::~QtHost() {
    if (host::hasHost() && &host::currentHost() == &host_) host::installHost(nullptr);
}

void QtHost::install() { host::installHost(&host_); }

void QtHost::logLine(host::LogLevel level, const std::string& line) { log_.message(level, "host", line); }

}  // namespace qtbackend
