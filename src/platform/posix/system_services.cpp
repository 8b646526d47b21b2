#include "platform/posix/system_services.h"

#include <sys/random.h>
#include <syslog.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace posix {
namespace {

constexpr double kUnixToReferenceDate = 978307200.0;  // 2001-01-01 in Unix time

int syslogPriority(host::LogLevel level) {
    switch (level) {
        case host::LogLevel::Debug: return LOG_DEBUG;
        case host::LogLevel::Info: return LOG_INFO;
        case host::LogLevel::Default: return LOG_NOTICE;
        case host::LogLevel::Error: return LOG_ERR;
        case host::LogLevel::Fault: return LOG_CRIT;
    }
    return LOG_NOTICE;
}

class SysLogObject : public host::LogObject {
public:
    SysLogObject(SysLog& log, std::string category) : log_(log), category_(std::move(category)) {}
    bool isEnabled(host::LogLevel) const override { return true; }
    void write(host::LogLevel level, const char* line) override { log_.message(level, category_, line); }

private:
    SysLog& log_;
    std::string category_;
};

}  // namespace

double SystemClock::now() const {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count() - kUnixToReferenceDate;
}

SystemRandom::SystemRandom() {
    uint64_t seed = 0;
    if (::getrandom(&seed, sizeof seed, 0) != static_cast<ssize_t>(sizeof seed))
        seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    engine_.seed(seed);
}

SystemRandom::SystemRandom(uint64_t seed) : seeded_(true) { engine_.seed(seed); }

uint32_t SystemRandom::uniform(uint32_t upperBound) {
    if (upperBound <= 1) return 0;
    // Rejection sampling keeps every value equally likely.
    const uint64_t range = upperBound;
    const uint64_t limit = UINT64_MAX - (UINT64_MAX % range);
    uint64_t v;
    do v = engine_();
    while (v >= limit);
    (void)seeded_;
    return static_cast<uint32_t>(v % range);
}

SysLog::SysLog(std::string ident, bool alsoStderr) : ident_(std::move(ident)), alsoStderr_(alsoStderr) {
    ::openlog(ident_.c_str(), LOG_PID, LOG_USER);
}

SysLog::~SysLog() { ::closelog(); }

host::LogObject* SysLog::createLog(std::string_view, std::string_view category) {
    std::lock_guard lock(mutex_);
    objects_.push_back(std::make_unique<SysLogObject>(*this, std::string(category)));
    return objects_.back().get();
}

void SysLog::message(host::LogLevel level, std::string_view category, const std::string& line) {
    ::syslog(syslogPriority(level), "%.*s: %s", static_cast<int>(category.size()), category.data(), line.c_str());
    if (alsoStderr_) {
        std::fprintf(stderr, "%s[%d] %.*s: %s\n", ident_.c_str(), static_cast<int>(::getpid()),
                     static_cast<int>(category.size()), category.data(), line.c_str());
        std::fflush(stderr);
    }
}

void ImmediateExit::exitImmediately(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

}  // namespace posix
