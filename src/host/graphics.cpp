#include "host/graphics.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>

namespace host {
namespace {

double clamp01(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }

GraphicsContext* gCurrent = nullptr;
GraphicsContext* gStack[kGraphicsStateDepth];
int gDepth = 0;

}  // namespace

RGBA Color::rgba() const {
    const double a = clamp01(alpha);
    if (model == Model::White) {
        const double w = clamp01(white);
        return {w, w, w, a};
    }
    // HSB (HSV): six sectors of the hue circle.
    double h = std::isfinite(hue) ? hue - std::floor(hue) : 0.0;
    const double s = clamp01(saturation);
    const double v = clamp01(brightness);
    h *= 6.0;
    const int sector = static_cast<int>(h) % 6;
    const double f = h - std::floor(h);
    const double p = v * (1 - s);
    const double q = v * (1 - s * f);
    const double t = v * (1 - s * (1 - f));
    switch (sector) {
        case 0: return {v, t, p, a};
        case 1: return {q, v, p, a};
        case 2: return {p, v, t, a};
        case 3: return {p, q, v, a};
        case 4: return {t, p, v, a};
        default: return {v, p, q, a};
    }
}

GraphicsContext* currentContext() { return gCurrent; }

void setCurrentContext(GraphicsContext* context) { gCurrent = context; }

void saveGraphicsState() {
    if (gDepth < kGraphicsStateDepth) {
        gStack[gDepth] = gCurrent;
    } else {
        std::fprintf(stderr, "tavrin: graphics state stack overflow: %d saves deep, %d kept\n", gDepth + 1,
                     kGraphicsStateDepth);
        assert(!"graphics state stack overflow");
    }
    ++gDepth;
}

void restoreGraphicsState() {
    if (gDepth == 0) return;
    --gDepth;
    // A level the stack could not keep has no context to return to.
    gCurrent = gDepth < kGraphicsStateDepth ? gStack[gDepth] : nullptr;
}

}  // namespace host
