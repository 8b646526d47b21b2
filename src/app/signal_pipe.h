// SIGTERM and SIGINT turned into calls on the GUI thread: the handler only writes the signal's
// number into a pipe, whose reading end the event loop watches.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace app {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    /// Catches SIGTERM and SIGINT from now on and calls `onSignal` with the signal's number from
    /// the event loop. False (and nothing caught) when the pipe could not be made.
    bool install(std::function<void(int)> onSignal);

private:
    void drain();

    int readEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> onSignal_;
};

}  // namespace app
