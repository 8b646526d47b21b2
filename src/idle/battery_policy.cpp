#include "idle/battery_policy.h"

#include <csignal>

namespace idle {

BatteryPolicy::BatteryPolicy(PowerState& power, BatteryMode mode, IdleLog log)
    : SessionFollower(Effect::KeepAway), power_(power), mode_(mode), log_(std::move(log)) {
    repeat_.setSingleShot(true);
    repeat_.setInterval(kRepeatAfterStartMs);
    connect(&repeat_, &QTimer::timeout, this, &BatteryPolicy::tellSaver);
    connect(&power_, &PowerState::changed, this, &BatteryPolicy::update);
    update();
}

void BatteryPolicy::setMode(BatteryMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    log_(host::LogLevel::Default, "OnBattery is now " + std::string(batteryModeWord(mode)));
    update();
}

QStringList BatteryPolicy::saverArguments() const {
    return halfRate() ? QStringList{QStringLiteral("--half-rate")} : QStringList{};
}

void BatteryPolicy::saverStarted(qint64 pid) {
    saverPid_ = pid;
    toldHalf_ = halfRate();
    repeat_.start();
}

void BatteryPolicy::saverEnded() {
    saverPid_ = 0;
    repeat_.stop();
}

std::string BatteryPolicy::describe() const {
    if (!power_.savingPower()) return {};
    switch (mode_) {
        case BatteryMode::Half: return power_.why() + ": every second frame is drawn (OnBattery=half)";
        case BatteryMode::Full: return power_.why() + ": every frame is drawn (OnBattery=full)";
        case BatteryMode::Off: return power_.why() + ": no saver starts (OnBattery=off)";
    }
    return {};
}

void BatteryPolicy::update() {
    const bool off = power_.savingPower() && mode_ == BatteryMode::Off;
    setActive(off, off ? power_.why() + ", and OnBattery is off" : std::string());
    if (saverPid_ > 0 && halfRate() != toldHalf_) tellSaver();
}

void BatteryPolicy::tellSaver() {
    if (saverPid_ <= 0) return;
    const bool half = halfRate();
    // The saver takes SIGUSR1 for half rate and SIGUSR2 for full; it starts with both ignored
    // until it listens, and is told again once it surely does.
    if (::kill(static_cast<pid_t>(saverPid_), half ? SIGUSR1 : SIGUSR2) == 0) {
        if (half != toldHalf_)
            log_(host::LogLevel::Default, std::string("the running screen saver draws ") +
                                              (half ? "every second frame" : "every frame") + " from now on");
        toldHalf_ = half;
    }
}

}  // namespace idle
