// Process-level services that need no window system: the clock, random integers, the system log
// and the immediate exit.
#pragma once

#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "host/services.h"

namespace posix {

/// Seconds since 2001-01-01 00:00:00 UTC, from the real-time clock.
class SystemClock : public host::Clock {
public:
    double now() const override;
};

/// Uniform integers from the kernel's random source, or from a fixed seed for reproducible runs.
class SystemRandom : public host::Random {
public:
    SystemRandom();
    explicit SystemRandom(uint64_t seed);
    uint32_t uniform(uint32_t upperBound) override;

private:
    bool seeded_ = false;
    std::mt19937_64 engine_;
};

/// The system log through syslog(3) with the ident given at creation; lines are tagged with
/// their category ("lifecycle: ..."). With `alsoStderr`, every line also goes to standard error.
class SysLog : public host::Log {
public:
    SysLog(std::string ident, bool alsoStderr);
    ~SysLog() override;
    host::LogObject* createLog(std::string_view subsystem, std::string_view category) override;
    void setAlsoStderr(bool on) { alsoStderr_ = on; }
    bool alsoStderr() const { return alsoStderr_; }
    /// Writes a line of the program's own (not a module log object's).
    void message(host::LogLevel level, std::string_view category, const std::string& line);

private:
    std::string ident_;
    bool alsoStderr_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<host::LogObject>> objects_;
};

/// Ends the process with _exit: no exit handlers, no static destructors.
class ImmediateExit : public host::Process {
public:
    void exitImmediately(int status) override;
};

}  // namespace posix
