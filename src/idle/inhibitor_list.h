// Who keeps the screen awake now, asked of those who keep the list: GNOME's session manager (the
// inhibitors of idleness that video players and browsers take there) and logind (the blocking
// idle inhibitors of `systemd-inhibit --what=idle` and its like). Each holder is named by the
// application id or name it gave, and its reason is kept as given, cut and cleaned for one line.
// The calls wait at most a short while: a frozen service leaves the list short, never hangs.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <string>
#include <vector>

#include "idle/watcher_status.h"

namespace idle {

/// The longest one listing waits for an answer, per call.
inline constexpr int kInhibitorCallTimeoutMs = 500;

/// GNOME's inhibitors of idleness (org.gnome.SessionManager's GetInhibitors, then each
/// inhibitor's app id, reason and flags); none where the session manager does not answer.
/// `answered` (when not null) says whether it did.
std::vector<Inhibitor> gnomeIdleInhibitors(const QDBusConnection& sessionBus, bool* answered = nullptr);

/// logind's blocking idle inhibitors (ListInhibitors); none without logind.
std::vector<Inhibitor> logindIdleInhibitors(const QDBusConnection& systemBus);
/// The blocking idle inhibitors in logind's answer to ListInhibitors; `wellFormed` says whether
/// the answer was one.
std::vector<Inhibitor> logindIdleInhibitorsIn(const QDBusMessage& reply, bool* wellFormed);
/// Whether logind's list of what is inhibited ("sleep:idle") holds idleness.
bool blocksIdle(const QString& what);

/// The name an application goes by: the Name of its desktop entry when `appId` names one,
/// else `appId` itself.
std::string applicationName(const QString& appId);

}  // namespace idle
