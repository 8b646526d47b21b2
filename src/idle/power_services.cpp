// The machine's power state (power_state.h) from the system bus: UPower's OnBattery, and the
// active profile of power-profiles-daemon under its newer name (org.freedesktop.UPower.PowerProfiles)
// and its older one (net.hadess.PowerProfiles); a machine has either, or both from one daemon.
// Each is read whenever its name gets an owner, and followed through PropertiesChanged.
#include "idle/followed_service.h"
#include "idle/power_state.h"

namespace idle {
namespace {

class PowerServices : public PowerState {
public:
    PowerServices(const QDBusConnection& bus, IdleLog log)
        : log_(std::move(log)),
          upower_(bus, QStringLiteral("org.freedesktop.UPower")),
          profiles_{{bus, QStringLiteral("org.freedesktop.UPower.PowerProfiles")},
                    {bus, QStringLiteral("net.hadess.PowerProfiles")}} {
        upower_.followProperty(QStringLiteral("/org/freedesktop/UPower"), QStringLiteral("org.freedesktop.UPower"),
                               QStringLiteral("OnBattery"), QMetaType::fromType<bool>(),
                               [this](const QVariant& value, const std::string& error) {
                                   complain("UPower answers OnBattery with ", error);
                                   onBattery_ = value.toBool();
                                   update();
                               });
        // The newer name's object and interface, then the older one's.
        const QString names[] = {QStringLiteral("org.freedesktop.UPower.PowerProfiles"),
                                 QStringLiteral("net.hadess.PowerProfiles")};
        for (int i = 0; i < 2; ++i) {
            const QString path = QLatin1Char('/') + QString(names[i]).replace(QLatin1Char('.'), QLatin1Char('/'));
            profiles_[i].followProperty(path, names[i], QStringLiteral("ActiveProfile"), QMetaType::fromType<QString>(),
                                        [this, i](const QVariant& value, const std::string& error) {
                                            complain("power-profiles-daemon answers ActiveProfile with ", error);
                                            powerSaver_[i] = value.toString() == QLatin1String("power-saver");
                                            update();
                                        });
        }
        // One line for each service the machine lacks, once its first owner is known.
        connect(&upower_, &FollowedService::ownerChanged, this, [this](const QString& owner) {
            if (owner.isEmpty() && !upowerSeen_)
                log_(host::LogLevel::Default,
                     "no UPower on the system bus: the "
                     "machine never counts as on battery");
            upowerSeen_ = true;
        });
        for (FollowedService& profiles : profiles_)
            connect(&profiles, &FollowedService::ownerChanged, this, [this](const QString& owner) {
                profilesPresent_ = profilesPresent_ || !owner.isEmpty();
                if (++profilesHeard_ == 2 && !profilesPresent_)
                    log_(host::LogLevel::Default,
                         "no power-profiles-daemon on the system bus: the power-saver "
                         "profile is never seen");
            });
    }

private:
    void update() {
        const bool saver = powerSaver_[0] || powerSaver_[1];
        const char* why = onBattery_ && saver ? "on battery, in the power-saver profile"
                          : onBattery_        ? "on battery"
                                              : "in the power-saver profile";
        const bool was = savingPower();
        setSavingPower(onBattery_ || saver, why);
        if (savingPower() != was)
            log_(host::LogLevel::Default, savingPower() ? "the machine saves power now: " + this->why()
                                                        : std::string("the machine no longer saves power"));
    }

    void complain(const char* what, const std::string& error) {
        if (error.empty() || complained_) return;
        complained_ = true;
        log_(host::LogLevel::Error, what + error + "; taken as not saving power");
    }

    IdleLog log_;
    FollowedService upower_;
    FollowedService profiles_[2];
    bool onBattery_ = false;
    bool powerSaver_[2] = {false, false};
    bool complained_ = false;
    bool upowerSeen_ = false;
    int profilesHeard_ = 0;  ///< first words about the owners of the two names
    bool profilesPresent_ = false;
};

/// Without a system bus the machine never counts as saving power.
class NoPowerServices : public PowerState {};

}  // namespace

std::unique_ptr<PowerState> followPowerState(const IdleLog& log) {
    const std::string address = systemBusAddress();
    std::string why = "nothing at DBUS_SYSTEM_BUS_ADDRESS or /var/run/dbus/system_bus_socket";
    const QDBusConnection bus = address.empty() ? QDBusConnection(QString())
                                                : connectFollowerBus(address, QStringLiteral("tavrin-power"), &why);
    if (!bus.isConnected()) {
        log(host::LogLevel::Default, "no system bus (" + why + "): the machine never counts as saving power");
        return std::make_unique<NoPowerServices>();
    }
    return std::make_unique<PowerServices>(bus, log);
}

}  // namespace idle
