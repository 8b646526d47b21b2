// SIGTERM and SIGINT (and others asked for) turned into calls on the GUI thread: the handler only writes the signal's
// number into a pipe, whose reading end the event loop watches, and into a watchdog's, which
// does not depend on the event loop.
#pragma once

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace app {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// Catches SIGTERM and SIGINT from now on and calls `onSignal` with the signal's number from
    /// the event loop; the handler also writes the number to `watchdogFd` (when not -1), which
    /// must stay open as long as this object lives. False (and nothing caught) when the pipe
    /// could not be made.
    bool install(std::function<void(int)> onSignal, int watchdogFd = -1);
    /// After install(): catches `signo` too and hands it to the same `onSignal`; it never reaches
    /// the watchdog, which is for the stopping signals only.
    bool alsoCatch(int signo);

private:
    void drain();

    int readEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> onSignal_;
    std::vector<int> alsoCaught_;
};

}  // namespace app
