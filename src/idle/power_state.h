// Whether the machine saves power now: on battery (UPower's OnBattery on the system bus) or in
// power-profiles-daemon's power-saver profile. Followed through the services' own change signals;
// without a system bus, or without either service, the machine never counts as saving power.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "idle/idle_source.h"

namespace idle {

class PowerState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    bool savingPower() const { return savingPower_; }
    /// Why, for the log and --idle-status: "on battery", "in the power-saver profile"; empty
    /// while not saving power.
    const std::string& why() const { return why_; }

signals:
    void changed();

protected:
    void setSavingPower(bool saving, std::string why) {
        if (!saving) why.clear();
        if (saving == savingPower_ && why == why_) return;
        savingPower_ = saving;
        why_ = std::move(why);
        emit changed();
    }

private:
    bool savingPower_ = false;
    std::string why_;
};

/// The machine's power state, followed from now on; logs one line for each service it cannot
/// reach. Never null. (power_services.cpp)
std::unique_ptr<PowerState> followPowerState(const IdleLog& log);

}  // namespace idle
