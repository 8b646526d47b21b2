// The settings window's row for starting on idle: "Start Tavrin after [10] minutes of
// inactivity". The switch applies at once, without the options sheet's OK: on, it saves the
// setting, writes the autostart entry and starts the idle watcher; off, it saves the setting
// (which ends a running watcher, since the watcher follows the settings file) and removes the
// entry. The minutes are saved as they change and a running watcher takes them up. When no
// watcher runs shortly after the switch was turned on (the session has no idle source, say), the
// row says so and where to read why.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace app {

class IdleSwitch : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(IdleSwitch)

public:
    /// `program` is started as `program --idle-watch` when the switch is turned on (with
    /// `--log-stderr` when `logToStderr`, so that its lines follow the window's); `log` gets a line
    /// for each failure (a file that cannot be written, a watcher that cannot start).
    IdleSwitch(QString program, bool logToStderr, std::function<void(const std::string&)> log,
               QWidget* parent = nullptr);
    ~IdleSwitch() override;

private:
    void turn(bool on);
    void saveMinutes();
    void checkWatcher();

    QString program_;
    bool logToStderr_;
    std::function<void(const std::string&)> log_;
    std::string settingsPath_;
    QCheckBox* enabled_;
    QSpinBox* minutes_;
    QLabel* problem_;  ///< says when the watcher started by the switch is not running
    QTimer saveMinutesLater_;
    QTimer checkWatcherLater_;
};

}  // namespace app
