#include "app/stop_safety_net.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "platform/qt/qt_host.h"

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kStopByte = 's';
constexpr char kQuitByte = 'q';
/// How long the last log line may take: the log itself may be what holds the program up.
constexpr int kLogGraceMs = 100;

void writeByte(int fd, char byte) {
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
}

}  // namespace

StopSafetyNet::StopSafetyNet(qtbackend::QtHost& host, int afterSignalMs, int afterStopMs)
    : host_(host),
      afterSignalMs_(afterSignalMs),
      afterStopMs_(afterStopMs),
      afterSignalLine_("the screen saver was still running " + std::to_string(afterSignalMs) +
                       " ms after SIGTERM or SIGINT - exiting"),
      afterStopLine_("the screen saver was still running " + std::to_string(afterStopMs / 1000) +
                     " s after the stop - exiting"),
      afterRetiringSignalLine_("the stopped screen saver was still running " +
                               std::to_string(kSignalEndsAtOnceMs) + " ms after SIGTERM or SIGINT - exiting") {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        host_.logLine(host::LogLevel::Error, "cannot start the stop watchdog: no pipe");
        return;
    }
    readEnd_ = fds[0];
    writeEnd_ = fds[1];
    thread_ = std::thread([this] { watch(); });
}

StopSafetyNet::~StopSafetyNet() {
    if (thread_.joinable()) {
        writeByte(writeEnd_, kQuitByte);
        thread_.join();
    }
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

void StopSafetyNet::arm() { writeByte(writeEnd_, kStopByte); }

void StopSafetyNet::watch() {
    Clock::time_point deadline = Clock::time_point::max();
    const std::string* line = nullptr;
    bool stopped = false;
    for (;;) {
        int timeoutMs = -1;
        if (deadline != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeoutMs = static_cast<int>(std::max<decltype(left)>(left, 0));
        }
        pollfd readable{readEnd_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, timeoutMs);
        if (ready == 0) expire(line);
        if (ready < 0) continue;  // EINTR
        char bytes[64];
        const ssize_t n = ::read(readEnd_, bytes, sizeof bytes);
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == kQuitByte) return;
            // Anything else is a stop: the GUI thread's, or a signal's number from its handler.
            const bool signal = bytes[i] != kStopByte;
            // A signal after the stop ends a program that is only retiring: it goes within the
            // time a signal always gets, whatever the first signal was allowed.
            const bool retiring = signal && stopped && afterSignalMs_ > kSignalEndsAtOnceMs;
            stopped = stopped || !signal;
            const int ms = retiring ? kSignalEndsAtOnceMs : signal ? afterSignalMs_ : afterStopMs_;
            const Clock::time_point due = Clock::now() + std::chrono::milliseconds(ms);
            if (due < deadline) {
                deadline = due;
                line = retiring ? &afterRetiringSignalLine_ : signal ? &afterSignalLine_ : &afterStopLine_;
            }
        }
    }
}

void StopSafetyNet::expire(const std::string* line) {
    try {
        std::thread([this, line] {
            host_.logLine(host::LogLevel::Error, *line);
            ::_exit(0);
        }).detach();
        ::poll(nullptr, 0, kLogGraceMs);
    } catch (...) {
        // No thread for the log line: the program ends without it.
    }
    ::_exit(0);
}

}  // namespace app
