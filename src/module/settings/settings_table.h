// The eleven settings: key, default, limits and the view variable each fills, in the order in which
// they are registered, read and written. Loading, saving, the options sheet, the command line and
// the tests all walk these tables.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {

struct BoolSetting {
    std::string_view key;
    bool defaultValue;
    bool Tavrin_ScreenSaverView::*member;
    std::string_view flag;  ///< command-line stem: --flag / --no-flag
    std::string_view title; ///< the sheet's check box title
};

struct IntegerSetting {
    std::string_view key;
    int64_t defaultValue;
    int64_t lower;  ///< inclusive
    int64_t upper;  ///< inclusive
    int64_t Tavrin_ScreenSaverView::*member;
    std::string_view flag;  ///< command-line option: --flag N
    std::string_view label; ///< the sheet's label

    constexpr int64_t limit(int64_t v) const { return std::min(std::max(v, lower), upper); }
};

inline constexpr std::array<BoolSetting, 8> kBoolSettings{{
    {"EnableFadeTrails", true, &Tavrin_ScreenSaverView::enableFadeTrails, "trails", "Fade Trails"},
    {"EnableNeonGlow", true, &Tavrin_ScreenSaverView::enableNeonGlow, "glow", "Neon Glow"},
    {"EnableCollisionFlash", true, &Tavrin_ScreenSaverView::enableCollisionFlash, "flash", "Collision Flash"},
    {"EnableColorDrift", true, &Tavrin_ScreenSaverView::enableColorDrift, "drift", "Color Drift"},
    {"EnableStarfield", true, &Tavrin_ScreenSaverView::enableStarfield, "stars", "Starfield Background"},
    {"EnableCollisionSparks", true, &Tavrin_ScreenSaverView::enableCollisionSparks, "sparks", "Collision Sparks"},
    {"EnableCrossMonitorSparks", true, &Tavrin_ScreenSaverView::enableCrossMonitorSparks, "cross-monitor-sparks",
     "Cross-Monitor Sparks"},
    {"EnableBallCurve", true, &Tavrin_ScreenSaverView::enableBallCurve, "ball-curve", "Ball Curve (Magnus Effect)"},
}};

inline constexpr std::array<IntegerSetting, 3> kIntegerSettings{{
    {"TrailLength", 15, 3, 30, &Tavrin_ScreenSaverView::trailLength, "trail-length", "Trail Length:"},
    {"GlowSize", 15, 5, 50, &Tavrin_ScreenSaverView::glowSize, "glow-size", "Glow Size:"},
    {"StarCount", 50, 10, 200, &Tavrin_ScreenSaverView::starCount, "star-count", "Star Count:"},
}};

}  // namespace tavrin
