// The receiver of spark leaks: a user-information dictionary built from any bytes (keys known and
// unknown, values of any type, any bit pattern), posted to real views on the test backend. At most
// the one view whose display is addressed gains sparks, never more than asked and never past the
// pool, a preview never does, and every spark it gains has a finite place and speed.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using tavrin::Tavrin_ScreenSaverView;

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

constexpr std::string_view kKeys[] = {"targetScreenFrame", "edge", "positionFraction", "sparkCount",
                                      "angleCenter", "angleSpread", "somethingElse"};
constexpr host::CGRect kFrames[] = {
    {{0, 0}, {1920, 1080}}, {{1920, 200}, {1280, 720}}, {{0, 1080}, {1920, 1080}}, {{-800, -600}, {800, 600}}};

struct Scene {
    fake::FakeHost& fake = fake::FakeHost::instance();
    std::vector<std::shared_ptr<fake::FakeWindow>> windows;
    std::vector<std::shared_ptr<Tavrin_ScreenSaverView>> views;  // the last one is a preview

    Scene() {
        fake.reset();
        host::installHost(&fake);
        std::vector<std::shared_ptr<fake::FakeScreen>> displays;
        for (const host::CGRect& f : kFrames) displays.push_back(fake.screenList.add(f));
        for (size_t i = 0; i <= displays.size(); ++i) {
            const bool preview = i == displays.size();
            const auto& display = displays[preview ? 0 : i];
            auto window = std::make_shared<fake::FakeWindow>();
            window->onScreen = display;
            auto view = fake::viewOnWindow({{0, 0}, display->frame().size}, window,
                                           {.preview = preview, .moveToWindow = true});
            windows.push_back(window);
            views.push_back(view);
        }
    }
};

host::InfoValue value(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0: return {};
        case 1: return host::InfoValue::numberWithInteger(in.ConsumeIntegral<int64_t>());
        case 2: {
            uint64_t bits = in.ConsumeIntegral<uint64_t>();
            double d;
            std::memcpy(&d, &bits, sizeof d);
            return host::InfoValue::numberWithDouble(d);
        }
        case 3: {  // near one of the displays, so that the address often matches
            host::CGRect r = kFrames[in.ConsumeIntegralInRange<size_t>(0, std::size(kFrames) - 1)];
            r.origin.x += in.ConsumeFloatingPointInRange(-2.0, 2.0);
            r.origin.y += in.ConsumeFloatingPointInRange(-2.0, 2.0);
            r.size.width += in.ConsumeFloatingPointInRange(-2.0, 2.0);
            r.size.height += in.ConsumeFloatingPointInRange(-2.0, 2.0);
            return host::InfoValue::valueWithRect(r);
        }
        default: {
            host::CGRect r;
            r.origin.x = in.ConsumeFloatingPoint<double>();
            r.origin.y = in.ConsumeFloatingPoint<double>();
            r.size.width = in.ConsumeFloatingPoint<double>();
            r.size.height = in.ConsumeFloatingPoint<double>();
            return host::InfoValue::valueWithRect(r);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Scene scene;
    FuzzedDataProvider in(data, size);
    scene.fake.randomService.reset();
    scene.fake.localCenter.posted.clear();  // the test centre records every post

    host::UserInfo info;
    const int entries = in.ConsumeIntegralInRange<int>(0, 10);
    for (int i = 0; i < entries; ++i)
        info.set(kKeys[in.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)], value(in));
    const int64_t asked = info.objectForKeyedSubscript("sparkCount").integerValue();

    int64_t before[8];
    for (size_t i = 0; i < scene.views.size(); ++i) {
        Tavrin_ScreenSaverView& v = *scene.views[i];
        v.activeParticleCount = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<int64_t>(0, tavrin::kParticleCapacity);
        before[i] = v.activeParticleCount;
    }
    const void* sender = in.ConsumeBool() ? scene.views[0].get() : nullptr;
    scene.fake.localCenter.postNotificationName(host::TavrinSparkLeakNotification, sender,
                                                in.ConsumeBool() ? &info : nullptr);

    int gaining = 0;
    for (size_t i = 0; i < scene.views.size(); ++i) {
        const Tavrin_ScreenSaverView& v = *scene.views[i];
        check(v.activeParticleCount >= before[i] && v.activeParticleCount <= tavrin::kParticleCapacity,
              "the spark pool shrank or overflowed");
        const int64_t gained = v.activeParticleCount - before[i];
        if (gained == 0) continue;
        ++gaining;
        check(!v.isPreviewMode, "a preview gained sparks");
        check(gained <= asked, "more sparks than asked for");
        for (int64_t p = before[i]; p < v.activeParticleCount; ++p) {
            const tavrin::Particle& s = v.particles[p];
            check(std::isfinite(s.position.x) && std::isfinite(s.position.y), "a spark at no place");
            check(std::isfinite(s.velocity.x) && std::isfinite(s.velocity.y), "a spark with no speed");
        }
    }
    check(gaining <= 1, "more than one view took the leak");
    return 0;
}
