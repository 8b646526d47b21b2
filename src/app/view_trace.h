// The trace of views that draw on a display (full screen, in a window, in a daemon's window):
// one line per view after each of its frame steps, in the format of the headless trace.
#pragma once

#include <string>

#include "app/scene_trace.h"

namespace host {
class ScreenSaverView;
}
namespace qtbackend {
class QtHost;
class ViewWidget;
}  // namespace qtbackend

namespace app {

/// Opens the trace the command line asks for, "%p" replaced by the process id. False, with a
/// message on standard error, when the file cannot be created.
bool openLiveTrace(const std::string& pattern, LiveTrace& trace);

/// Writes a line for the widget's view after each of its frame steps, numbered `display` for as
/// long as the view lives, so that a view stays one stream of lines while displays come, go and
/// change places. A write error stops the trace and is reported once, in the log and on standard
/// error; the screen saver runs on.
void traceWidget(LiveTrace& trace, qtbackend::ViewWidget* widget, qtbackend::QtHost& host, int display);

/// Writes the view's line, numbered `display`. A write error stops the trace and is reported
/// once, in the log and on standard error.
void writeTraceLine(LiveTrace& trace, qtbackend::QtHost& host, const host::ScreenSaverView* view, int display);

/// The place of the widget's display in the list of displays, or -1 when it is on none.
int displayIndexOf(const qtbackend::ViewWidget* widget);

}  // namespace app
