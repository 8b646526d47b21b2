// After a stop the program ends by itself: a hack at once, a full-screen saver when the module
// retires it a few seconds later. Should it not, because the GUI thread is stuck (a frozen X
// server, a call that never returns) or for any other reason, this watchdog ends the program
// (status 0, with a log line). It runs on a thread of its own, woken by the stop signal's handler
// or by the GUI thread's stop, so a blocked GUI thread cannot hold it up.
#pragma once

#include <string>
#include <thread>

namespace qtbackend {
class QtHost;
}

namespace app {

/// How long the program may run on after a stop before the watchdog ends it.
inline constexpr int kStopSafetyNetMs = 30000;
/// How long a run that ends at once on SIGTERM or SIGINT (a hack, the layer-shell saver) may
/// take to end: the front-end that sent the signal may wait for it.
inline constexpr int kSignalEndsAtOnceMs = 800;

class StopSafetyNet {
public:
    /// The program may run on for `afterSignalMs` after SIGTERM or SIGINT, and for `afterStopMs`
    /// after a stop of the GUI thread's.
    StopSafetyNet(qtbackend::QtHost& host, int afterSignalMs, int afterStopMs);
    /// The program ends on its own: the watchdog stands down.
    ~StopSafetyNet();
    StopSafetyNet(const StopSafetyNet&) = delete;
    StopSafetyNet& operator=(const StopSafetyNet&) = delete;

    /// Starts the wait for a stop of the GUI thread's (input, or a handled signal). A signal
    /// after it gets at most kSignalEndsAtOnceMs.
    void arm();
    /// For the signal handler (StopSignals::install): a byte written here starts the wait for a
    /// signal. -1 when the watchdog could not be started.
    int signalFd() const { return writeEnd_; }

private:
    void watch();
    [[noreturn]] void expire(const std::string* line);

    qtbackend::QtHost& host_;
    int afterSignalMs_;
    int afterStopMs_;
    std::string afterSignalLine_;
    std::string afterStopLine_;
    std::string afterRetiringSignalLine_;
    int readEnd_ = -1;
    int writeEnd_ = -1;
    std::thread thread_;
};

}  // namespace app
