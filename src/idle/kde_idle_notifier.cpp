// org_kde_kwin_idle: KDE's idle protocol, also offered by compositors that predate
// ext_idle_notifier_v1 (sway 1.7). A timeout object says idle once its seat had no activity for
// its interval, and resumed at the next activity, after which it counts afresh.
#include <wayland-client.h>

#include "idle/idle_notifier.h"
#include "org-kde-kwin-idle-client-protocol.h"

namespace idle {
namespace {

class KdeIdleTimeout : public IdleNotification {
public:
    KdeIdleTimeout(org_kde_kwin_idle* manager, wl_seat* seat, uint32_t timeoutMs)
        : timeout_(org_kde_kwin_idle_get_idle_timeout(manager, seat, timeoutMs)) {
        static const org_kde_kwin_idle_timeout_listener listener = {
            [](void* data, org_kde_kwin_idle_timeout*) { static_cast<KdeIdleTimeout*>(data)->idle_ = true; },
            [](void* data, org_kde_kwin_idle_timeout*) { static_cast<KdeIdleTimeout*>(data)->idle_ = false; },
        };
        org_kde_kwin_idle_timeout_add_listener(timeout_, &listener, this);
    }
    ~KdeIdleTimeout() override { org_kde_kwin_idle_timeout_release(timeout_); }
    KdeIdleTimeout(const KdeIdleTimeout&) = delete;
    KdeIdleTimeout& operator=(const KdeIdleTimeout&) = delete;

private:
    org_kde_kwin_idle_timeout* timeout_;
};

class KdeIdle : public IdleNotifier {
public:
    explicit KdeIdle(org_kde_kwin_idle* manager) : manager_(manager) {}
    // The manager has no destructor request: only the proxy goes.
    ~KdeIdle() override { org_kde_kwin_idle_destroy(manager_); }
    KdeIdle(const KdeIdle&) = delete;
    KdeIdle& operator=(const KdeIdle&) = delete;

    QString name() const override { return QStringLiteral("org_kde_kwin_idle"); }
    std::unique_ptr<IdleNotification> watch(wl_seat* seat, uint32_t timeoutMs) override {
        return std::make_unique<KdeIdleTimeout>(manager_, seat, timeoutMs);
    }

private:
    org_kde_kwin_idle* manager_;
};

}  // namespace

std::unique_ptr<IdleNotifier> bindKdeIdle(wl_registry* registry, uint32_t name) {
    return std::make_unique<KdeIdle>(
        static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1)));
}

}  // namespace idle
