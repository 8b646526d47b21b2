#include "app/idle_switch.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QVBoxLayout>

#include "idle/autostart_entry.h"
#include "idle/idle_settings.h"
#include "idle/session_lock.h"
#include "platform/posix/file_defaults_store.h"

namespace app {
namespace {

/// How long the minutes may rest before they are saved: a value typed digit by digit is saved
/// once.
constexpr int kSaveMinutesAfterMs = 600;
/// How long a watcher started by the switch has to take the session's lock: it takes it before
/// anything else, in a few milliseconds.
constexpr int kCheckWatcherAfterMs = 2000;

}  // namespace

IdleSwitch::IdleSwitch(QString program, bool logToStderr, std::function<void(const std::string&)> log,
                       QWidget* parent)
    : QWidget(parent),
      program_(std::move(program)),
      logToStderr_(logToStderr),
      log_(std::move(log)),
      settingsPath_(posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER)) {
    const idle::IdleSettings settings = idle::readIdleSettings(settingsPath_);
    for (const std::string& problem : settings.problems) log_(problem);

    enabled_ = new QCheckBox(tr("&Start Tavrin after"), this);
    enabled_->setAccessibleDescription(tr("Starts the screen saver when the computer has been idle for the minutes "
                                          "that follow"));
    enabled_->setChecked(settings.startOnIdle);
    minutes_ = new QSpinBox(this);
    minutes_->setRange(static_cast<int>(idle::kMinIdleMinutes), static_cast<int>(idle::kMaxIdleMinutes));
    minutes_->setValue(static_cast<int>(settings.minutes));
    minutes_->setAccessibleName(tr("Minutes of inactivity"));
    auto* rest = new QLabel(tr("minutes of inactivity"), this);
    rest->setBuddy(minutes_);

    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->hide();

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(enabled_);
    row->addWidget(minutes_);
    row->addWidget(rest);
    row->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addWidget(problem_);

    checkWatcherLater_.setSingleShot(true);
    checkWatcherLater_.setInterval(kCheckWatcherAfterMs);
    connect(&checkWatcherLater_, &QTimer::timeout, this, &IdleSwitch::checkWatcher);

    saveMinutesLater_.setSingleShot(true);
    saveMinutesLater_.setInterval(kSaveMinutesAfterMs);
    connect(&saveMinutesLater_, &QTimer::timeout, this, &IdleSwitch::saveMinutes);
    connect(minutes_, &QSpinBox::valueChanged, this, [this] { saveMinutesLater_.start(); });
    connect(enabled_, &QCheckBox::toggled, this, &IdleSwitch::turn);
}

IdleSwitch::~IdleSwitch() {
    if (saveMinutesLater_.isActive()) saveMinutes();
}

void IdleSwitch::saveMinutes() {
    saveMinutesLater_.stop();
    const idle::IdleSettings stored = idle::readIdleSettings(settingsPath_);
    if (stored.minutes == minutes_->value() && stored.problems.empty()) return;
    idle::writeIdleSettings(settingsPath_, stored.startOnIdle, minutes_->value(), log_);
}

void IdleSwitch::checkWatcher() {
    if (!enabled_->isChecked() || idle::watcherRunsInThisSession()) return;
    problem_->setText(tr("Tavrin's idle watcher is not running in this session; "
                         "'journalctl -t org.tavrin.screensaver' says why."));
    problem_->show();
    log_("the idle watcher started by the settings window is not running");
}

void IdleSwitch::turn(bool on) {
    saveMinutesLater_.stop();
    problem_->hide();
    if (!idle::writeIdleSettings(settingsPath_, on, minutes_->value(), log_)) return;
    std::string why;
    if (!on) {
        if (!idle::removeAutostartEntry(&why)) log_(why);
        return;
    }
    if (!idle::writeAutostartEntry(program_.toStdString(), &why)) log_(why);
    // Started now, not at the next login; a watcher that already runs in this session lets the
    // new one end at once.
    QStringList arguments{QStringLiteral("--idle-watch")};
    if (logToStderr_) arguments.push_back(QStringLiteral("--log-stderr"));
    if (!QProcess::startDetached(program_, arguments))
        log_("cannot start the idle watcher " + program_.toStdString() + " --idle-watch");
    checkWatcherLater_.start();
}

}  // namespace app
