// The trace of a headless run: the scene of one display after one frame step, as one line of
// JSON. Numbers are written with enough digits to read back exactly; a number that is not finite
// is written as null, which JSON can hold.
#pragma once

#include <string>

namespace tavrin {
class Tavrin_ScreenSaverView;
}

namespace app {

/// Appends the line (with its newline) for the display's view to `out`.
void appendTraceLine(std::string& out, int display, const tavrin::Tavrin_ScreenSaverView& view);

}  // namespace app
