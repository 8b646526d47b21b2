// Qt's own messages: warnings go to the log (and to standard error with --log-stderr); a fatal
// message ends the program with one line and status 1 instead of an abort.
#pragma once

namespace posix {
class SysLog;
}

namespace app {

/// Installs the handler. Until a log is given, warnings go to standard error only when asked.
void installQtMessageHandler(bool toStderr);
/// From now on, warnings go to this log (none: back to standard error only).
void setQtMessageLog(posix::SysLog* log);
/// Says that the window system is up: a fatal message is no longer about opening the display.
void setWindowSystemReady();

}  // namespace app
