#include "app/signal_pipe.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace app {
namespace {

// The writing ends, read by the handler. A signal handler can reach only process-wide state.
volatile sig_atomic_t gWriteEnd = -1;
volatile sig_atomic_t gWatchdogEnd = -1;

void onStopSignal(int signo) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // write is async-signal-safe; a full pipe already holds enough wake-ups, so the result is moot.
    [[maybe_unused]] ssize_t n = ::write(gWriteEnd, &byte, 1);
    if (gWatchdogEnd >= 0 && (signo == SIGTERM || signo == SIGINT)) n = ::write(gWatchdogEnd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals() = default;

StopSignals::~StopSignals() {
    if (readEnd_ < 0) return;
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGTERM, &dfl, nullptr);
    ::sigaction(SIGINT, &dfl, nullptr);
    for (const int signo : alsoCaught_) ::sigaction(signo, &dfl, nullptr);
    gWatchdogEnd = -1;
    notifier_.reset();
    ::close(readEnd_);
    ::close(gWriteEnd);
    gWriteEnd = -1;
}

bool StopSignals::install(std::function<void(int)> onSignal, int watchdogFd) {
    if (readEnd_ >= 0) return false;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readEnd_ = fds[0];
    gWriteEnd = fds[1];
    gWatchdogEnd = watchdogFd;
    onSignal_ = std::move(onSignal);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { drain(); });

    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    return true;
}

bool StopSignals::alsoCatch(int signo) {
    if (readEnd_ < 0 || signo <= 0 || signo > 255) return false;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(signo, &action, nullptr) != 0) return false;
    alsoCaught_.push_back(signo);
    return true;
}

void StopSignals::drain() {
    unsigned char buffer[64];
    for (;;) {
        const ssize_t n = ::read(readEnd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) onSignal_(buffer[i]);
    }
}

}  // namespace app
