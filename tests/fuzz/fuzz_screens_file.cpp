// The screens file of a headless run (--screens): any bytes. A file is either refused with a
// message or gives 1 to 16 screens within the limits, whose configuration for Qt's offscreen
// platform reads back as the same screens.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/offscreen_config.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

bool same(const app::OffscreenScreen& a, const app::OffscreenScreen& b) {
    return a.name == b.name && a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.dpr == b.dpr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<app::OffscreenScreen> screens;
    std::string error;
    if (!app::parseScreens(text, "fuzz.json", &screens, &error)) {
        check(!error.empty(), "a refusal without a message");
        return 0;
    }
    check(error.empty(), "a message with success");
    check(!screens.empty() && screens.size() <= app::kMaxScreens, "screen count out of range");
    for (const app::OffscreenScreen& s : screens) {
        check(!s.name.empty(), "a screen without a name");
        check(s.width >= 1 && s.height >= 1 && s.width * s.dpr <= app::kMaxSide && s.height * s.dpr <= app::kMaxSide,
              "a screen size out of range");
        check(s.dpr > 0 && s.dpr <= app::kMaxDevicePixelRatio, "a pixel ratio out of range");
    }
    std::vector<app::OffscreenScreen> again;
    check(app::parseScreens(app::offscreenConfiguration(screens), "again.json", &again, &error),
          "the offscreen configuration does not read back");
    check(again.size() == screens.size(), "the configuration lost screens");
    for (size_t i = 0; i < screens.size(); ++i) check(same(screens[i], again[i]), "the configuration changed a screen");
    return 0;
}
