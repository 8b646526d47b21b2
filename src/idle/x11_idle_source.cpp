#include <cstdlib>

#include "idle/idle_source.h"

namespace idle {

SourceAttempt tryX11IdleSource(const SourceContext&) {
    SourceAttempt attempt;
    const char* display = std::getenv("DISPLAY");
    if (display && *display) attempt.missing = "the X server's idle time is not supported yet";
    return attempt;
}

}  // namespace idle
