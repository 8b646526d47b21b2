// The trace of a headless run: the scene of one display after one frame step, as one line of
// JSON. Numbers are written with enough digits to read back exactly; a number that is not finite
// is written as null, which JSON can hold.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tavrin {
class Tavrin_ScreenSaverView;
}

namespace app {

/// Appends the line (with its newline) for the display's view to `out`.
void appendTraceLine(std::string& out, int display, const tavrin::Tavrin_ScreenSaverView& view);

/// The trace file's name: every "%p" in `pattern` becomes the process id and "%%" a single "%",
/// so that each of a daemon's processes writes a file of its own.
std::string expandTracePath(std::string_view pattern, long pid);

/// The trace of views that run on their own timers: a line per view per frame step, flushed at
/// once, so that a process ended by a signal leaves only whole lines. The line's text is reused
/// from frame to frame.
class LiveTrace {
public:
    /// Creates the file; false with the reason in `error`.
    bool open(const std::string& path, std::string* error);
    bool isOpen() const { return file_ != nullptr; }
    /// Writes the view's line. On a write error the trace closes and `error` says why; false.
    bool write(int display, const tavrin::Tavrin_ScreenSaverView& view, std::string* error);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    std::string path_;
    std::string line_;
};

}  // namespace app
