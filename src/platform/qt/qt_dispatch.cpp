#include "platform/qt/qt_dispatch.h"

#include <QTimerEvent>
#include <climits>
#include <cmath>

namespace qtbackend {

QtMainQueue::QtMainQueue() = default;

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::async(std::function<void()> work) {
    QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

QtRunLoop::QtRunLoop() = default;

QtRunLoop::~QtRunLoop() {
    for (const auto& entry : pending_) killTimer(entry.first);
}

int QtRunLoop::delayMilliseconds(double seconds) {
    if (!(seconds > 0)) return 0;
    const double ms = std::ceil(seconds * 1000.0);
    return ms >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(ms);
}

void QtRunLoop::performAfterDelay(const void* target, std::string_view selector, double delaySeconds,
                                  std::function<void()> call) {
    const int id = startTimer(delayMilliseconds(delaySeconds), Qt::PreciseTimer);
    if (id == 0) return;  // Qt could not make a timer; nothing would ever run it
    pending_[id] = Pending{target, std::string(selector), std::move(call)};
}

template <typename Match>
void QtRunLoop::cancelMatching(Match match) {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (match(it->second)) {
            killTimer(it->first);
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

void QtRunLoop::cancelPreviousPerformRequests(const void* target, std::string_view selector) {
    cancelMatching([&](const Pending& p) { return p.target == target && p.selector == selector; });
}

void QtRunLoop::cancelPreviousPerformRequests(const void* target) {
    cancelMatching([&](const Pending& p) { return p.target == target; });
}

void QtRunLoop::timerEvent(QTimerEvent* event) {
    const auto it = pending_.find(event->timerId());
    killTimer(event->timerId());
    if (it == pending_.end()) return;
    // Forget the call before running it: the call may schedule or cancel others, itself included.
    std::function<void()> call = std::move(it->second.call);
    pending_.erase(it);
    call();
}

}  // namespace qtbackend
