// Work on the GUI thread: the main queue as queued invocations, delayed calls as timers.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <string>

#include "host/services.h"

namespace qtbackend {

/// Runs work after the event loop's current work, in the order it was handed over. Work still
/// queued when the queue is destroyed is dropped without running.
class QtMainQueue : public host::MainQueue {
public:
    QtMainQueue();
    ~QtMainQueue() override;
    void async(std::function<void()> work) override;

private:
    QObject context_;  // queued calls are addressed to it, so they die with the queue
};

/// Delayed calls as precise timers of one object on the GUI thread. A call is known by its
/// target and selector until it fires or is cancelled.
class QtRunLoop : public QObject, public host::RunLoop {
    Q_OBJECT
public:
    QtRunLoop();
    ~QtRunLoop() override;
    void performAfterDelay(const void* target, std::string_view selector, double delaySeconds,
                           std::function<void()> call) override;
    void cancelPreviousPerformRequests(const void* target, std::string_view selector) override;
    void cancelPreviousPerformRequests(const void* target) override;

    /// Calls waiting to fire.
    size_t pendingCount() const { return pending_.size(); }

    /// A delay in seconds as timer milliseconds: rounded up, 0 for negative or not-a-number,
    /// at most about 24 days.
    static int delayMilliseconds(double seconds);

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Pending {
        const void* target;
        std::string selector;
        std::function<void()> call;
    };
    template <typename Match>
    void cancelMatching(Match match);

    std::map<int, Pending> pending_;  // by timer id
};

}  // namespace qtbackend
