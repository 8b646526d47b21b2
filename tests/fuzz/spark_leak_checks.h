// What every leak the decoders let through must be, whatever they were given: one a view can take
// as it is, with finite numbers inside their limits and a spark count the pool can hold.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/spark_leak_wire.h"

namespace fuzzcheck {

inline void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

inline void checkDecodedLeak(const posix::DecodedSparkLeak& leak) {
    const host::CGRect& f = leak.targetScreenFrame;
    for (double v : {f.origin.x, f.origin.y, f.size.width, f.size.height, leak.positionFraction, leak.angleCenter,
                     leak.angleSpread})
        check(std::isfinite(v), "a number that is not finite");
    check(std::fabs(f.origin.x) <= posix::kMaxFrameOrigin && std::fabs(f.origin.y) <= posix::kMaxFrameOrigin,
          "a frame far away");
    check(f.size.width >= 1 && f.size.width <= posix::kMaxFrameSide && f.size.height >= 1 &&
              f.size.height <= posix::kMaxFrameSide,
          "a frame of absurd size");
    check(leak.edge >= 0 && leak.edge <= 3, "an unknown edge");
    check(leak.positionFraction >= 0 && leak.positionFraction <= 1, "a fraction off the stretch");
    check(leak.sparkCount >= 1 && leak.sparkCount <= posix::kMaxLeakSparks, "a count the pool cannot hold");
    check(std::fabs(leak.angleCenter) <= posix::kMaxAngleCenter, "an absurd heading");
    check(leak.angleSpread >= 0 && leak.angleSpread <= posix::kMaxAngleSpread, "an absurd fan");
}

}  // namespace fuzzcheck
