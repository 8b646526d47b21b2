#include "idle/idle_source.h"

namespace idle {

SourceAttempt tryMutterIdleSource(const SourceContext&) { return {}; }

}  // namespace idle
