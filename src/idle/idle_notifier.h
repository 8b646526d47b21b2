// A compositor's idle protocol, reduced to what the watcher asks of it: objects that say when a
// seat has been idle for a timeout and when it is active again. One file per protocol
// (ext_idle_notifier.cpp, kde_idle_notifier.cpp); the Wayland idle source knows only this.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

struct wl_registry;
struct wl_seat;

namespace idle {

/// One notification object of the compositor, for one seat and one timeout, destroyed with this.
class IdleNotification {
public:
    virtual ~IdleNotification() = default;
    /// Whether the compositor said idle and has not said resumed since: its listeners set it,
    /// and do nothing else.
    bool idle() const { return idle_; }

protected:
    bool idle_ = false;
};

class IdleNotifier {
public:
    virtual ~IdleNotifier() = default;
    /// The protocol's name, for the log.
    virtual QString name() const = 0;
    /// A new notification object: idle after `timeoutMs` without activity on `seat`, counted
    /// from now (the compositor holds it back while an idle inhibitor is active).
    virtual std::unique_ptr<IdleNotification> watch(wl_seat* seat, uint32_t timeoutMs) = 0;
};

/// The global `name` of the registry, as ext_idle_notifier_v1 or org_kde_kwin_idle.
std::unique_ptr<IdleNotifier> bindExtIdleNotifier(wl_registry* registry, uint32_t name);
std::unique_ptr<IdleNotifier> bindKdeIdle(wl_registry* registry, uint32_t name);

}  // namespace idle
