// What the machine's power does to the savers the watcher starts (the OnBattery setting), while
// the machine saves power (on battery, or in the power-saver profile):
// - half: a saver draws every second frame, the motion on screen unchanged (--half-rate at its
//   start; SIGUSR1 and SIGUSR2 have a running one follow the power state within two seconds);
// - full: as on mains power;
// - off: no saver starts (the policy is then a follower that keeps the saver away), and the
//   desktop blanks on its own.
#pragma once

#include <QStringList>
#include <QTimer>

#include "idle/idle_settings.h"
#include "idle/power_state.h"
#include "idle/session_follower.h"

namespace idle {

class BatteryPolicy : public SessionFollower {
    Q_OBJECT
public:
    /// How long after a saver's start the watcher tells it the power state again, for a change
    /// that came before it listened.
    static constexpr int kRepeatAfterStartMs = 1500;

    BatteryPolicy(PowerState& power, BatteryMode mode, IdleLog log);

    QString name() const override { return QStringLiteral("the OnBattery setting"); }
    void setMode(BatteryMode mode);
    BatteryMode mode() const { return mode_; }

    /// Whether a saver draws at half rate now.
    bool halfRate() const { return power_.savingPower() && mode_ == BatteryMode::Half; }
    /// The arguments of a saver starting now.
    QStringList saverArguments() const;
    /// A saver the watcher started (its process id), or its end: a running saver follows the
    /// power state.
    void saverStarted(qint64 pid);
    void saverEnded();
    /// What the power does to the saver now, for the status ("on battery: every second frame is
    /// drawn"); empty on mains power.
    std::string describe() const;

private:
    void update();
    void tellSaver();

    PowerState& power_;
    BatteryMode mode_;
    IdleLog log_;
    qint64 saverPid_ = 0;
    bool toldHalf_ = false;  ///< what the running saver was last told
    QTimer repeat_;
};

}  // namespace idle
