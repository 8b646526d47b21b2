// After a stop, the module retires the process a few seconds later. Should it not, this timer ends
// the program (status 0, with a log line) some time after the stop, so no saver is left behind.
#pragma once

#include <QTimer>

namespace qtbackend {
class QtHost;
}

namespace app {

class StopSafetyNet {
public:
    explicit StopSafetyNet(qtbackend::QtHost& host);
    /// Starts the wait; called when the saver stops.
    void arm() { timer_.start(); }

private:
    QTimer timer_;
};

}  // namespace app
