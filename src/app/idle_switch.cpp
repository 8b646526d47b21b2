#include "app/idle_switch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include "idle/autostart_entry.h"
#include "idle/idle_report.h"
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
/// How long the watcher's status folder rests before the row reads it again: a burst of changes
/// is read once.
constexpr int kRefreshKeptAwayAfterMs = 300;

/// A button's text for `minutes`: `one` for a single minute, else `many` with the number; both
/// marked for translation where they are given.
QString minutesText(const char* one, const char* many, int64_t minutes) {
    return minutes == 1 ? IdleSwitch::tr(one) : IdleSwitch::tr(many).arg(minutes);
}

}  // namespace

IdleSwitch::IdleSwitch(QString program, bool logToStderr, std::function<void(const std::string&)> log,
                       QWidget* parent, std::unique_ptr<idle::DesktopTimersReader> timers)
    : QWidget(parent),
      program_(std::move(program)),
      logToStderr_(logToStderr),
      log_(std::move(log)),
      settingsPath_(posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER)),
      timers_(std::move(timers)) {
    const idle::IdleSettings settings = idle::readIdleSettings(settingsPath_);
    for (const std::string& problem : settings.problems) log_(problem);
    if (!timers_)
        timers_ = idle::makeDesktopTimersReader([this](host::LogLevel, const std::string& line) { log_(line); });

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

    // The desktop's timers, under the switch.
    hiding_ = new QLabel(this);
    hiding_->setWordWrap(true);
    hiding_->setAccessibleName(tr("The desktop's own timers"));
    startEarlier_ = new QPushButton(this);
    desktopLater_ = new QPushButton(this);
    whereToChange_ = new QLabel(this);
    whereToChange_->setWordWrap(true);
    keptAway_ = new QLabel(this);
    keptAway_->setWordWrap(true);
    keptAway_->setAccessibleName(tr("What keeps the screen awake"));
    keptAway_->hide();

    onBattery_ = new QComboBox(this);
    onBattery_->addItem(tr("Half the frame rate"), static_cast<int>(idle::BatteryMode::Half));
    onBattery_->addItem(tr("Full frame rate"), static_cast<int>(idle::BatteryMode::Full));
    onBattery_->addItem(tr("Don't start Tavrin"), static_cast<int>(idle::BatteryMode::Off));
    onBattery_->setCurrentIndex(onBattery_->findData(static_cast<int>(settings.onBattery)));
    onBattery_->setAccessibleName(tr("What Tavrin does on battery"));
    auto* onBatteryLabel = new QLabel(tr("&On battery:"), this);
    onBatteryLabel->setBuddy(onBattery_);

    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->hide();

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(enabled_);
    row->addWidget(minutes_);
    row->addWidget(rest);
    row->addStretch(1);
    auto* fixes = new QHBoxLayout;
    fixes->addWidget(startEarlier_);
    fixes->addWidget(desktopLater_);
    fixes->addStretch(1);
    // The desktop's lines stand under the switch's text, past its box.
    auto* desktop = new QVBoxLayout;
    desktop->setContentsMargins(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                    style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing),
                                0, 0, 0);
    desktop->addWidget(hiding_);
    desktop->addLayout(fixes);
    desktop->addWidget(whereToChange_);
    desktop->addWidget(keptAway_);
    auto* battery = new QHBoxLayout;
    battery->addWidget(onBatteryLabel);
    battery->addWidget(onBattery_);
    battery->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addLayout(desktop);
    column->addLayout(battery);
    column->addWidget(problem_);
    setTabOrder(enabled_, minutes_);
    setTabOrder(minutes_, startEarlier_);
    setTabOrder(startEarlier_, desktopLater_);
    setTabOrder(desktopLater_, onBattery_);

    connect(timers_.get(), &idle::DesktopTimersReader::changed, this, &IdleSwitch::showDesktopTimers);
    connect(minutes_, &QSpinBox::valueChanged, this, &IdleSwitch::showDesktopTimers);
    connect(startEarlier_, &QPushButton::clicked, this, [this] {
        if (!earlierMinutes_) return;
        minutes_->setValue(static_cast<int>(*earlierMinutes_));
        saveMinutes();
    });
    connect(desktopLater_, &QPushButton::clicked, this, &IdleSwitch::letDesktopWait);
    connect(onBattery_, &QComboBox::activated, this, [this] {
        const auto mode = static_cast<idle::BatteryMode>(onBattery_->currentData().toInt());
        idle::writeBatteryMode(settingsPath_, mode, log_);
    });
    showDesktopTimers();

    // The watcher rewrites its status file as what it does changes; the row reads it then, and
    // when the window comes to the front (GNOME's and logind's inhibitors send no word here).
    refreshKeptAwayLater_.setSingleShot(true);
    refreshKeptAwayLater_.setInterval(kRefreshKeptAwayAfterMs);
    connect(&refreshKeptAwayLater_, &QTimer::timeout, this, &IdleSwitch::refreshKeptAway);
    std::string why;
    const std::string statusFolder = idle::sessionLockFolder(nullptr, &why);
    if (!statusFolder.empty()) watcherStatus_.addPath(QString::fromStdString(statusFolder));
    connect(&watcherStatus_, &QFileSystemWatcher::directoryChanged, this, [this] { refreshKeptAwayLater_.start(); });
    refreshKeptAwayLater_.start();

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

void IdleSwitch::showKeptAway(const QString& line) {
    keptAway_->setText(line);
    keptAway_->setVisible(!line.isEmpty());
}

void IdleSwitch::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        timers_->recheck();
        refreshKeptAwayLater_.start();
    }
}

void IdleSwitch::refreshKeptAway() {
    const std::optional<idle::Inhibitor> first = idle::firstKeptAway(idle::gatherIdleReport(timers_.get()));
    if (!first) {
        showKeptAway(QString());
    } else if (first->application.empty()) {
        showKeptAway(tr("Kept away now: %1").arg(QString::fromStdString(first->reason)));
    } else if (first->reason.empty()) {
        showKeptAway(tr("Kept away now by %1").arg(QString::fromStdString(first->application)));
    } else {
        showKeptAway(tr("Kept away now by %1: %2")
                         .arg(QString::fromStdString(first->application), QString::fromStdString(first->reason)));
    }
}

void IdleSwitch::showDesktopTimers() {
    const idle::DesktopTimers timers = timers_->read();
    const int64_t seconds = int64_t{minutes_->value()} * 60;
    // The times on mains power: the window does not follow the machine's power.
    const std::string line = idle::hidingLine(timers, seconds, false);
    hiding_->setText(QString::fromStdString(line));
    hiding_->setVisible(!line.empty());

    earlierMinutes_ = idle::suggestedTavrinMinutes(timers, seconds, false);
    if (earlierMinutes_) {
        startEarlier_->setText(minutesText(QT_TR_NOOP("Start &Tavrin after 1 minute"),
                                           QT_TR_NOOP("Start &Tavrin after %1 minutes"), *earlierMinutes_));
        startEarlier_->setAccessibleName(startEarlier_->text().remove(QLatin1Char('&')));
    }
    startEarlier_->setVisible(earlierMinutes_.has_value());

    desktopMinutes_ = idle::suggestedDesktopMinutes(timers, seconds, false);
    if (desktopMinutes_) {
        desktopLater_->setText(timers.fix == idle::DesktopTimers::Fix::GnomeIdleDelay
                                   ? minutesText(QT_TR_NOOP("Let GNOME &blank after 1 minute"),
                                                 QT_TR_NOOP("Let GNOME &blank after %1 minutes"), *desktopMinutes_)
                                   : minutesText(QT_TR_NOOP("Let the X server turn the &displays off after 1 minute"),
                                                 QT_TR_NOOP("Let the X server turn the &displays off after %1 minutes"),
                                                 *desktopMinutes_));
        desktopLater_->setAccessibleName(desktopLater_->text().remove(QLatin1Char('&')));
    }
    desktopLater_->setVisible(desktopMinutes_.has_value());

    const bool sayWhere = !line.empty() && !desktopMinutes_ && !timers.whereToChange.empty();
    whereToChange_->setText(
        sayWhere ? tr("Change the desktop's times in %1.").arg(QString::fromStdString(timers.whereToChange)) : QString());
    whereToChange_->setVisible(sayWhere);
}

void IdleSwitch::letDesktopWait() {
    if (!desktopMinutes_) return;
    std::string why;
    if (timers_->letBlankAfter(*desktopMinutes_, &why)) {
        problem_->hide();
        return;
    }
    problem_->setText(tr("The desktop's times could not be changed: %1").arg(QString::fromStdString(why)));
    problem_->show();
    log_("the desktop's times could not be changed: " + why);
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
