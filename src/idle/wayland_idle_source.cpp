#include <cstdlib>

#include "idle/idle_source.h"

namespace idle {

SourceAttempt tryWaylandIdleSource(const SourceContext&) {
    SourceAttempt attempt;
    const char* display = std::getenv("WAYLAND_DISPLAY");
    if (display && *display) attempt.missing = "the Wayland idle protocols are not supported yet";
    return attempt;
}

}  // namespace idle
