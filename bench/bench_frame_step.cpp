// Cost of one frame step of a 1920 x 1080 view with every effect on, full trails (30 entries),
// 200 stars and a full pool of 500 sparks, next to a second display that receives its leaks.
// Runs on the test host so that only the module is measured. The global operator new is replaced
// to count the allocations made inside the timed loop.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "support/counting_operator_new.h"
#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using tavrin::Tavrin_ScreenSaverView;

struct Scene {
    host::LocalNotificationCenter center;  // a plain centre: the test one records every post
    std::shared_ptr<fake::FakeWindow> leftWindow, rightWindow;
    std::shared_ptr<Tavrin_ScreenSaverView> left, right;

    Scene() {
        fake::FakeHost& h = fake::FakeHost::instance();
        h.reset();
        h.defaultCenter = &center;
        h.logService.defaultLevelEnabled = false;  // the periodic state line is diagnostics, not the step
        host::installHost(&h);
        auto a = h.screenList.add({{0, 0}, {1920, 1080}});
        auto b = h.screenList.add({{1920, 0}, {1920, 1080}});
        left = show(a, leftWindow);
        right = show(b, rightWindow);
        for (auto* v : {left.get(), right.get()}) {
            v->trailLength = 30;
            v->starCount = 200;
        }
        for (int i = 0; i < 30; ++i) left->animateOneFrame();  // fill the trails
        fillSparkPool();
    }

    static std::shared_ptr<Tavrin_ScreenSaverView> show(const std::shared_ptr<fake::FakeScreen>& screen,
                                                        std::shared_ptr<fake::FakeWindow>& window) {
        window = std::make_shared<fake::FakeWindow>();
        window->onScreen = screen;
        auto view = fake::viewOnWindow({{0, 0}, screen->frame().size}, window, {.moveToWindow = true});
        view->startAnimation();
        return view;
    }

    /// 500 sparks that never burn out, so every step ages a full pool.
    void fillSparkPool() {
        left->spawnSparksAtPoint({960, 540}, 500, 0, tavrin::kPi);
        for (int64_t i = 0; i < left->activeParticleCount; ++i) left->particles[i].decay = 0;
    }
};

Scene& scene() {
    static Scene* s = new Scene();
    return *s;
}

void BM_AnimateOneFrame(benchmark::State& state) {
    Scene& s = scene();
    s.fillSparkPool();
    allocation_counter::gAllocations = 0;
    allocation_counter::gCounting = true;
    for (auto _ : state) s.left->animateOneFrame();
    allocation_counter::gCounting = false;
    state.counters["allocs_per_step"] = static_cast<double>(allocation_counter::gAllocations) / static_cast<double>(state.iterations());
    state.counters["sparks"] = static_cast<double>(s.left->activeParticleCount);
}
BENCHMARK(BM_AnimateOneFrame);

}  // namespace

BENCHMARK_MAIN();
