// ext_idle_notifier_v1: the common idle protocol of Wayland compositors. A notification object
// is idle once its seat had no activity for the timeout (and no idle inhibitor was active), and
// resumes at the next activity, after which its timeout counts afresh.
#include <wayland-client.h>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle/idle_notifier.h"

namespace idle {
namespace {

class ExtIdleNotification : public IdleNotification {
public:
    ExtIdleNotification(ext_idle_notifier_v1* notifier, wl_seat* seat, uint32_t timeoutMs)
        : notification_(ext_idle_notifier_v1_get_idle_notification(notifier, timeoutMs, seat)) {
        static const ext_idle_notification_v1_listener listener = {
            [](void* data, ext_idle_notification_v1*) { static_cast<ExtIdleNotification*>(data)->idle_ = true; },
            [](void* data, ext_idle_notification_v1*) { static_cast<ExtIdleNotification*>(data)->idle_ = false; },
        };
        ext_idle_notification_v1_add_listener(notification_, &listener, this);
    }
    ~ExtIdleNotification() override { ext_idle_notification_v1_destroy(notification_); }
    ExtIdleNotification(const ExtIdleNotification&) = delete;
    ExtIdleNotification& operator=(const ExtIdleNotification&) = delete;

private:
    ext_idle_notification_v1* notification_;
};

class ExtIdleNotifier : public IdleNotifier {
public:
    explicit ExtIdleNotifier(ext_idle_notifier_v1* notifier) : notifier_(notifier) {}
    ~ExtIdleNotifier() override { ext_idle_notifier_v1_destroy(notifier_); }
    ExtIdleNotifier(const ExtIdleNotifier&) = delete;
    ExtIdleNotifier& operator=(const ExtIdleNotifier&) = delete;

    QString name() const override { return QStringLiteral("ext_idle_notifier_v1"); }
    std::unique_ptr<IdleNotification> watch(wl_seat* seat, uint32_t timeoutMs) override {
        return std::make_unique<ExtIdleNotification>(notifier_, seat, timeoutMs);
    }

private:
    ext_idle_notifier_v1* notifier_;
};

}  // namespace

std::unique_ptr<IdleNotifier> bindExtIdleNotifier(wl_registry* registry, uint32_t name) {
    return std::make_unique<ExtIdleNotifier>(
        static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1)));
}

}  // namespace idle
