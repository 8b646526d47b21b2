// The desktop's timers in words, and the choice of reader. The words go through Qt's translation
// (context "idle::DesktopTimers"): the settings window shows them; the watcher, which installs no
// translation, logs them in English.
#include "idle/desktop_timers.h"

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

#include "idle/gnome_timers_reader.h"
#include "idle/kde_timers_reader.h"
#include "idle/x11_timers_reader.h"

namespace idle {
namespace {

/// A text of the desktop's times in the user's language (the program's translation, context
/// "DesktopTimers"); each is marked where it is written.
QString words(const char* english) { return QCoreApplication::translate("DesktopTimers", english); }

/// What hides the screen, in the order the lines name them.
enum class Hiding { Blank, Lock, DisplaysOff, Sleep };
constexpr std::array<Hiding, 4> kHidings{Hiding::Blank, Hiding::Lock, Hiding::DisplaysOff, Hiding::Sleep};

/// The time of one kind on the given power; none when it never comes or never hides Tavrin.
DesktopTime timeOf(const DesktopTimers& timers, Hiding hiding, bool onBattery) {
    DesktopTime time;
    switch (hiding) {
        case Hiding::Blank:
            time = timers.blankOffWhileWatching ? DesktopTime() : timers.blank;
            break;
        case Hiding::Lock:
            time = timers.lock;
            break;
        case Hiding::DisplaysOff:
            time = onBattery ? timers.displaysOffOnBattery : timers.displaysOff;
            break;
        case Hiding::Sleep:
            time = onBattery ? timers.sleepOnBattery : timers.sleepOnAc;
            break;
    }
    if (time && *time < 0) return std::nullopt;
    return time;
}

std::string capitalized(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

/// "blanks and locks the screen", "locks the screen and turns the displays off": what the desktop
/// does at the time `at`.
QString doingsAt(const DesktopTimers& timers, int64_t at, bool onBattery) {
    auto at_ = [&](Hiding hiding) {
        const DesktopTime time = timeOf(timers, hiding, onBattery);
        return time && *time == at;
    };
    QStringList parts;
    if (at_(Hiding::Blank) && at_(Hiding::Lock))
        parts << words(QT_TRANSLATE_NOOP("DesktopTimers", "blanks and locks the screen"));
    else if (at_(Hiding::Blank))
        parts << words(QT_TRANSLATE_NOOP("DesktopTimers", "blanks the screen"));
    else if (at_(Hiding::Lock))
        parts << words(QT_TRANSLATE_NOOP("DesktopTimers", "locks the screen"));
    if (at_(Hiding::DisplaysOff)) parts << words(QT_TRANSLATE_NOOP("DesktopTimers", "turns the displays off"));
    if (at_(Hiding::Sleep)) parts << words(QT_TRANSLATE_NOOP("DesktopTimers", "puts the machine to sleep"));
    if (parts.size() == 1) return parts[0];
    const QString last = parts.takeLast();
    return words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 and %2"))
        .arg(parts.join(words(QT_TRANSLATE_NOOP("DesktopTimers", ", "))), last);
}

/// Tavrin's time after "Tavrin's": "10" for whole minutes, else "90 seconds".
QString tavrinTime(int64_t tavrinSeconds) {
    if (tavrinSeconds > 0 && tavrinSeconds % 60 == 0) return QString::number(tavrinSeconds / 60);
    return QString::fromStdString(describeTime(tavrinSeconds));
}

QString subject(const DesktopTimers& timers) { return QString::fromStdString(capitalized(timers.desktop)); }

/// "after 5 minutes" or "never", for a time that may not come.
QString afterOrNever(DesktopTime time) {
    return time ? words(QT_TRANSLATE_NOOP("DesktopTimers", "after %1")).arg(QString::fromStdString(describeTime(time)))
                : words(QT_TRANSLATE_NOOP("DesktopTimers", "never"));
}

/// One line for a time that may differ between mains power and battery.
QString perPowerLine(const QString& who, const QString& doing, DesktopTime onAc, DesktopTime onBattery) {
    if (onAc == onBattery) {
        if (!onAc) return words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 never %2")).arg(who, doing);
        return words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 %2 %3")).arg(who, doing, afterOrNever(onAc));
    }
    return words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 %2 %3 on mains power and %4 on battery"))
        .arg(who, doing, afterOrNever(onAc), afterOrNever(onBattery));
}

}  // namespace

std::string describeTime(DesktopTime seconds) {
    if (!seconds || *seconds < 0) return words(QT_TRANSLATE_NOOP("DesktopTimers", "never")).toStdString();
    const int64_t s = *seconds;
    QString text;
    if (s >= 3600 && s % 3600 == 0)
        text = s == 3600 ? words(QT_TRANSLATE_NOOP("DesktopTimers", "1 hour"))
                         : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 hours")).arg(s / 3600);
    else if (s % 60 == 0 && s > 0)
        text = s == 60 ? words(QT_TRANSLATE_NOOP("DesktopTimers", "1 minute"))
                       : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 minutes")).arg(s / 60);
    else if (s < 120)
        text = s == 1 ? words(QT_TRANSLATE_NOOP("DesktopTimers", "1 second"))
                      : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 seconds")).arg(s);
    else
        text = words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 minutes %2"))
                   .arg(QString::number(s / 60),
                        s % 60 == 1 ? words(QT_TRANSLATE_NOOP("DesktopTimers", "1 second"))
                                    : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 seconds")).arg(s % 60));
    return text.toStdString();
}

DesktopTime firstHiding(const DesktopTimers& timers, bool onBattery) {
    if (!timers.known) return std::nullopt;
    DesktopTime first;
    for (Hiding hiding : kHidings) {
        const DesktopTime time = timeOf(timers, hiding, onBattery);
        if (time && (!first || *time < *first)) first = time;
    }
    return first;
}

std::string hidingLine(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery) {
    const DesktopTime first = firstHiding(timers, onBattery);
    if (!first || *first > tavrinSeconds) return {};
    const QString when = *first < tavrinSeconds
                             ? words(QT_TRANSLATE_NOOP("DesktopTimers", "before Tavrin's %1"))
                             : words(QT_TRANSLATE_NOOP("DesktopTimers", "at the same time as Tavrin's %1"));
    return words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 %2 after %3, %4: the screen saver would not be seen"))
        .arg(subject(timers), doingsAt(timers, *first, onBattery), QString::fromStdString(describeTime(first)),
             when.arg(tavrinTime(tavrinSeconds)))
        .toStdString();
}

std::vector<std::string> describeTimers(const DesktopTimers& timers, bool onBattery) {
    if (!timers.known) {
        const QString who = timers.desktop.empty()
                                ? words(QT_TRANSLATE_NOOP("DesktopTimers", "The desktop's"))
                                : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1's")).arg(subject(timers));
        return {words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 own times are unknown: %2"))
                    .arg(who, QString::fromStdString(timers.unknownWhy))
                    .toStdString()};
    }
    const QString who = subject(timers);
    QStringList lines;
    if (timers.blankOffWhileWatching)
        lines << (timers.blank
                      ? words(QT_TRANSLATE_NOOP(
                                  "DesktopTimers",
                                  "%1 blanks the screen after %2, but not while Tavrin's idle watcher runs: it "
                                  "turns that off"))
                            .arg(who, QString::fromStdString(describeTime(timers.blank)))
                      : words(QT_TRANSLATE_NOOP("DesktopTimers",
                                                "%1's own blank is off while Tavrin's idle watcher runs"))
                            .arg(who));
    else
        lines << perPowerLine(who, words(QT_TRANSLATE_NOOP("DesktopTimers", "blanks the screen")), timers.blank,
                              timers.blank);
    lines << perPowerLine(who, words(QT_TRANSLATE_NOOP("DesktopTimers", "locks the screen")), timers.lock, timers.lock);
    // Desktops that turn the displays off with the blank (GNOME) have no line of their own for it.
    if (timers.displaysOff || timers.displaysOffOnBattery)
        lines << perPowerLine(who, words(QT_TRANSLATE_NOOP("DesktopTimers", "turns the displays off")),
                              timers.displaysOff, timers.displaysOffOnBattery);
    lines << perPowerLine(who, words(QT_TRANSLATE_NOOP("DesktopTimers", "puts the machine to sleep")), timers.sleepOnAc,
                          timers.sleepOnBattery);
    if (!timers.unread.empty())
        lines << words(QT_TRANSLATE_NOOP("DesktopTimers", "Not read: %1")).arg(QString::fromStdString(timers.unread));
    const DesktopTime first = firstHiding(timers, onBattery);
    const QString power = onBattery ? words(QT_TRANSLATE_NOOP("DesktopTimers", " (on battery)")) : QString();
    if (first)
        lines << words(QT_TRANSLATE_NOOP("DesktopTimers", "First%1: %2 %3 after %4"))
                     .arg(power, who, doingsAt(timers, *first, onBattery), QString::fromStdString(describeTime(first)));
    else
        lines << words(QT_TRANSLATE_NOOP("DesktopTimers", "First%1: nothing; %2 never hides the screen"))
                     .arg(power, QString::fromStdString(timers.desktop));
    if (!timers.whereToChange.empty())
        lines << words(QT_TRANSLATE_NOOP("DesktopTimers", "They are changed in %1"))
                     .arg(QString::fromStdString(timers.whereToChange));
    std::vector<std::string> result;
    for (const QString& line : lines) result.push_back(line.toStdString());
    return result;
}

std::optional<int64_t> suggestedTavrinMinutes(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery) {
    const DesktopTime first = firstHiding(timers, onBattery);
    if (!first || *first > tavrinSeconds) return std::nullopt;
    const int64_t minutes = std::max<int64_t>(1, (*first - 60) / 60);
    if (minutes * 60 >= tavrinSeconds) return std::nullopt;
    return minutes;
}

std::optional<int64_t> suggestedDesktopMinutes(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery) {
    if (timers.fix == DesktopTimers::Fix::None) return std::nullopt;
    const DesktopTime first = firstHiding(timers, onBattery);
    if (!first || *first > tavrinSeconds) return std::nullopt;
    auto movedByFix = [&](Hiding hiding) {
        if (timers.fix == DesktopTimers::Fix::GnomeIdleDelay) return hiding == Hiding::Blank || hiding == Hiding::Lock;
        return hiding == Hiding::DisplaysOff;
    };
    for (Hiding hiding : kHidings) {
        const DesktopTime time = timeOf(timers, hiding, onBattery);
        if (time && *time <= tavrinSeconds && !movedByFix(hiding)) return std::nullopt;
    }
    return (std::max<int64_t>(tavrinSeconds, 1) + 59) / 60 + 10;
}

void HidingLineLog::update(const DesktopTimers& timers, int64_t tavrinSeconds, bool onBattery) {
    if (!timers.known) {
        lastLine_.reset();
        if (lastUnknown_ == timers.unknownWhy) return;
        lastUnknown_ = timers.unknownWhy;
        log_(host::LogLevel::Default, describeTimers(timers, onBattery).front());
        return;
    }
    lastUnknown_.reset();
    const std::string line = hidingLine(timers, tavrinSeconds, onBattery);
    if (lastLine_ == line) return;
    lastLine_ = line;
    if (!line.empty()) {
        log_(host::LogLevel::Default, line);
        return;
    }
    // Nothing hides the saver: said once at the start, and when a change ended what hid it.
    const DesktopTime first = firstHiding(timers, onBattery);
    const QString who = subject(timers);
    const QString text = first ? words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 %2 after %3, after Tavrin's %4"))
                                     .arg(who, doingsAt(timers, *first, onBattery),
                                          QString::fromStdString(describeTime(first)), tavrinTime(tavrinSeconds))
                               : words(QT_TRANSLATE_NOOP("DesktopTimers", "%1 never hides the screen")).arg(who);
    log_(host::LogLevel::Default, text.toStdString());
}

TimersDesktop timersDesktopOf(const std::function<std::string(const char*)>& environment) {
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text;
    };
    // XDG_CURRENT_DESKTOP is a list ("ubuntu:GNOME", "GNOME-Classic:GNOME").
    const std::string current = lower(environment("XDG_CURRENT_DESKTOP"));
    size_t start = 0;
    while (start <= current.size() && !current.empty()) {
        const size_t end = std::min(current.find(':', start), current.size());
        const std::string entry = current.substr(start, end - start);
        if (entry == "gnome") return TimersDesktop::Gnome;
        if (entry == "kde") return TimersDesktop::Kde;
        start = end + 1;
    }
    if (current.empty()) {
        for (const char* name : {"XDG_SESSION_DESKTOP", "DESKTOP_SESSION"}) {
            const std::string session = lower(environment(name));
            if (session.find("gnome") != std::string::npos) return TimersDesktop::Gnome;
            if (session.find("plasma") != std::string::npos || session.find("kde") != std::string::npos)
                return TimersDesktop::Kde;
        }
    }
    if (!environment("WAYLAND_DISPLAY").empty() || !environment("WAYLAND_SOCKET").empty()) return TimersDesktop::Other;
    if (!environment("DISPLAY").empty()) return TimersDesktop::X11;
    return TimersDesktop::Other;
}

namespace {

/// Where Tavrin cannot read the times (sway, Hyprland, another compositor): unknown, and why.
class OtherDesktopReader : public DesktopTimersReader {
public:
    explicit OtherDesktopReader(std::string why) { timers_.unknownWhy = std::move(why); }
    DesktopTimers read() override { return timers_; }

private:
    DesktopTimers timers_;
};

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string whyUnknown() {
    const std::string current = environmentValue("XDG_CURRENT_DESKTOP");
    if (!environmentValue("SWAYSOCK").empty() || current.find("sway") != std::string::npos)
        return "sway's are in its own configuration and swayidle's command line";
    if (!environmentValue("HYPRLAND_INSTANCE_SIGNATURE").empty() || current.find("Hyprland") != std::string::npos)
        return "Hyprland's are in hypridle's configuration";
    if (!current.empty()) return current + "'s are not known to Tavrin";
    if (!environmentValue("WAYLAND_DISPLAY").empty()) return "this Wayland compositor's are not known to Tavrin";
    return "there is no desktop session to ask";
}

}  // namespace

std::unique_ptr<DesktopTimersReader> makeDesktopTimersReader(IdleLog log) {
    switch (timersDesktopOf(environmentValue)) {
        case TimersDesktop::Gnome:
            return std::make_unique<GnomeTimersReader>(std::move(log));
        case TimersDesktop::Kde:
            return std::make_unique<KdeTimersReader>(std::move(log));
        case TimersDesktop::X11:
            return std::make_unique<X11TimersReader>(std::move(log));
        case TimersDesktop::Other:
            break;
    }
    return std::make_unique<OtherDesktopReader>(whyUnknown());
}

}  // namespace idle
