// The XDG autostart entry that starts the idle watcher at login: GNOME, KDE, Xfce, MATE and
// Cinnamon all read ~/.config/autostart/. Only the settings window's switch writes or removes it;
// installing the package starts nothing for anyone.
#pragma once

#include <string>

namespace idle {

/// $XDG_CONFIG_HOME/autostart/tavrin-idle-watch.desktop (XDG_CONFIG_HOME only when absolute, else
/// ~/.config).
std::string autostartEntryPath();

/// The entry's text for a watcher started as `program --idle-watch`.
std::string autostartEntryText(const std::string& program);

/// Writes the entry, atomically, making the folder when missing. False with the reason in `why`.
bool writeAutostartEntry(const std::string& program, std::string* why);

/// Removes the entry; a missing entry is no error. False with the reason in `why`.
bool removeAutostartEntry(std::string* why);

}  // namespace idle
