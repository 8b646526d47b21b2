// The settings window's row for starting on idle: "Start Tavrin after [10] minutes of inactivity".
// The switch applies at once, without the options sheet's OK: on, it saves the setting, writes the
// autostart entry and starts the idle watcher; off, it saves the setting (which ends a running
// watcher, since the watcher follows the settings file) and removes the entry. The minutes are
// saved as they change and a running watcher takes them up. When no watcher runs shortly after
// the switch was turned on (the session has no idle source, say), the row says so and where to
// read why.
//
// Under the switch, when the desktop's own timers hide the screen before Tavrin's time, the row
// says so (the watcher's log line) with the ways out: a button that starts Tavrin a minute before
// the desktop, one that lets the desktop wait longer where Tavrin can change its times (GNOME's
// idle-delay, the X server's DPMS), or where to change them by hand (KDE). It follows the
// desktop's changes and the minutes as they are set. Then what Tavrin does on battery.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "idle/desktop_timers.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace app {

class IdleSwitch : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(IdleSwitch)

public:
    /// `program` is started as `program --idle-watch` when the switch is turned on (with
    /// `--log-stderr` when `logToStderr`, so that its lines follow the window's); `log` gets a line
    /// for each failure (a file that cannot be written, a watcher that cannot start). `timers`
    /// reads the desktop's timers; null: the session's reader.
    IdleSwitch(QString program, bool logToStderr, std::function<void(const std::string&)> log,
               QWidget* parent = nullptr, std::unique_ptr<idle::DesktopTimersReader> timers = nullptr);
    ~IdleSwitch() override;

    /// The line of what keeps the screen awake now ("Kept away now by Firefox: Playing video"),
    /// under the desktop's timers; empty hides it.
    void showKeptAway(const QString& line);

protected:
    /// The X server tells no change of its timers: they are read again when the window comes to
    /// the front.
    void changeEvent(QEvent* event) override;

private:
    void turn(bool on);
    void saveMinutes();
    void checkWatcher();
    /// What keeps Tavrin away now, asked afresh: when the window is shown or activated and when
    /// the watcher publishes a change.
    void refreshKeptAway();
    /// The desktop's timers against the minutes shown: the line, the buttons, where to change them.
    void showDesktopTimers();
    void letDesktopWait();

    QString program_;
    bool logToStderr_;
    std::function<void(const std::string&)> log_;
    std::string settingsPath_;
    std::unique_ptr<idle::DesktopTimersReader> timers_;
    QCheckBox* enabled_;
    QSpinBox* minutes_;
    QLabel* hiding_;              ///< the desktop hides the screen before Tavrin's time
    QPushButton* startEarlier_;   ///< "Start Tavrin after N minutes"
    QPushButton* desktopLater_;   ///< "Let GNOME blank after M minutes"
    QLabel* whereToChange_;       ///< where the desktop's times are changed by hand
    QLabel* keptAway_;            ///< what keeps the screen awake now
    QComboBox* onBattery_;
    QLabel* problem_;  ///< says when the watcher started by the switch is not running
    std::optional<int64_t> earlierMinutes_;
    std::optional<int64_t> desktopMinutes_;
    QTimer saveMinutesLater_;
    QTimer checkWatcherLater_;
    QTimer refreshKeptAwayLater_;
    QFileSystemWatcher watcherStatus_;  ///< the folder where the watcher publishes its status
};

}  // namespace app
