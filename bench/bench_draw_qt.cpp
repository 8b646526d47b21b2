// Time of one drawRect on the Qt backend into an offscreen image, with every effect on: full
// trails of 30, 200 stars, 500 sparks, both sprites glowing and flashing, the hue drifting and the
// wheel turning. Each repetition draws one frame; the median over the repetitions is the figure
// that counts (budget: 4 ms at 1920 × 1080, 12 ms at 3840 × 2160).
//
// Runs on the test backend's host with the Qt graphics swapped in, so the view needs no window
// system; the sprites come from the real artwork.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>

#include "platform/qt/qt_graphics.h"
#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using tavrin::Tavrin_ScreenSaverView;

enum class Flash { Decaying, Off };

struct Scene {
    std::shared_ptr<Tavrin_ScreenSaverView> view;
    std::shared_ptr<fake::FakeWindow> window;
    QImage target;
    int frame = 0;
};

qtbackend::QtGraphics& qtGraphics() {
    static qtbackend::QtGraphics graphics;
    return graphics;
}

/// A view of `points` with pixel density `scale`, drawing into an image of the matching pixels,
/// its scene filled to capacity.
Scene makeScene(double width, double height, double scale) {
    fake::FakeHost& fake = fake::FakeHost::instance();
    fake.reset();
    fake.graphics = &qtGraphics();
    fake.bundleService.resources["tavrin.svg"] = TAVRIN_SOURCE_RESOURCES "/tavrin.svg";
    fake.bundleService.resources["tavrin_wheel.svg"] = TAVRIN_SOURCE_RESOURCES "/tavrin_wheel.svg";
    host::installHost(&fake);

    Scene s;
    s.window = std::make_shared<fake::FakeWindow>();
    s.window->scale = scale;
    s.view = fake::viewOnWindow({{0, 0}, {width, height}}, s.window);
    Tavrin_ScreenSaverView& v = *s.view;
    // Every switch on; the two that only steer the simulation (ball curve, cross-monitor sparks)
    // change nothing here, where the frames are moved on by hand.
    fake::setEveryEffect(v, true);
    v.trailLength = 30;
    v.glowSize = 15;
    v.starCount = 200;

    const double logoW = 0.25 * width;
    const double wheelW = 0.0625 * width;
    v.objects[0].size = {logoW, logoW / tavrin::kLogoAspect};
    v.objects[1].size = {wheelW, wheelW};
    for (int k = 0; k < tavrin::kObjectCount; ++k) {
        v.trails[k].count = tavrin::kTrailCapacity;
        for (int i = 0; i < tavrin::kTrailCapacity; ++i) {
            v.trails[k].positions[i] = {width * (0.2 + 0.4 * k) + 3.1 * i, height * (0.3 + 0.3 * k) + 1.7 * i};
            v.trails[k].rotations[i] = k == 1 ? 0.04 * i : 0.0;
        }
        v.objects[k].position = v.trails[k].positions[0];
    }
    for (int i = 0; i < tavrin::kStarCapacity; ++i) {
        tavrin::Star& star = v.stars[i];
        star.position = {std::fmod(i * 97.3, width), std::fmod(i * 53.9, height)};
        star.brightness = 0.3 + 0.7 * std::fmod(i * 0.37, 1.0);
        star.twinklePhase = i * 0.5;
        star.radius = 0.5 + 1.5 * std::fmod(i * 0.61, 1.0);
    }
    v.activeParticleCount = tavrin::kParticleCapacity;
    for (int i = 0; i < tavrin::kParticleCapacity; ++i) {
        tavrin::Particle& spark = v.particles[i];
        spark.position = {width * 0.5 + 300 * std::cos(i * 0.7), height * 0.5 + 200 * std::sin(i * 1.3)};
        spark.lifetime = 0.05 + 0.95 * std::fmod(i * 0.13, 1.0);
        spark.size = 1 + 2 * std::fmod(i * 0.29, 1.0);
        spark.hue = 0.17 * std::fmod(i * 0.41, 1.0);
    }
    s.target = QImage(static_cast<int>(std::ceil(width * scale)), static_cast<int>(std::ceil(height * scale)),
                      QImage::Format_ARGB32_Premultiplied);
    s.target.setDevicePixelRatio(scale);
    return s;
}

/// Moves the scene on by one frame the way the frame step would: both sprites move by about a
/// thousandth of the width (the speed of the real scene, fractions of a pixel included), the
/// wheel turns, each trail entry keeps the position and angle its sprite had then, the hue
/// drifts and, when flashing, both flashes decay by 0.9 and start again after a collision.
void advance(Scene& s, Flash flash) {
    Tavrin_ScreenSaverView& v = *s.view;
    ++s.frame;
    v.colorDriftPhase = std::fmod(v.colorDriftPhase + 0.03, tavrin::kTwoPi);
    const double width = v.bounds().size.width, height = v.bounds().size.height;
    v.objects[1].rotation += 0.04;
    for (int k = 0; k < tavrin::kObjectCount; ++k) {
        tavrin::SceneObject& o = v.objects[k];
        if (o.velocity.x == 0) o.velocity = {(k == 0 ? 0.00107 : -0.00093) * width, (k == 0 ? 0.00061 : 0.00079) * height};
        // Back and forth between a fifth and three fifths of the view.
        if ((o.position.x < 0.2 * width && o.velocity.x < 0) || (o.position.x > 0.6 * width && o.velocity.x > 0))
            o.velocity.x = -o.velocity.x;
        if ((o.position.y < 0.2 * height && o.velocity.y < 0) || (o.position.y > 0.6 * height && o.velocity.y > 0))
            o.velocity.y = -o.velocity.y;
        o.position = {o.position.x + o.velocity.x, o.position.y + o.velocity.y};
        for (int i = tavrin::kTrailCapacity - 1; i > 0; --i) {
            v.trails[k].positions[i] = v.trails[k].positions[i - 1];
            v.trails[k].rotations[i] = v.trails[k].rotations[i - 1];
        }
        v.trails[k].positions[0] = v.objects[k].position;
        v.trails[k].rotations[0] = v.objects[k].rotation;
    }
    const double f = flash == Flash::Off ? 0.0 : std::pow(0.9, s.frame % 45);
    v.objects[0].flashIntensity = v.objects[1].flashIntensity = f;
}

void drawFrame(Scene& s) {
    QPainter painter(&s.target);
    qtbackend::QPainterContext context(painter, s.view->bounds().size.height);
    host::setCurrentContext(&context);
    s.view->drawRect(s.view->bounds());
    host::setCurrentContext(nullptr);
}

/// One scene per benchmark, kept across its repetitions so that the frames run on as they would
/// on screen: the caches of the first frame stay warm and the flash decays and starts again.
Scene gScene;

Scene& sceneFor(double width, double height, double scale) {
    static double made[3] = {0, 0, 0};
    if (!gScene.view || made[0] != width || made[1] != height || made[2] != scale) {
        gScene.view.reset();
        gScene = makeScene(width, height, scale);
        made[0] = width, made[1] = height, made[2] = scale;
        drawFrame(gScene);  // builds the sprite bitmaps, as the first frame on screen does
    }
    return gScene;
}

void BM_DrawFrame(benchmark::State& state, double width, double height, double scale, Flash flash) {
    Scene& s = sceneFor(width, height, scale);
    for (auto _ : state) {
        advance(s, flash);
        drawFrame(s);
        benchmark::DoNotOptimize(s.target.constBits());
    }
}

constexpr int kFrames = 300;

}  // namespace

BENCHMARK_CAPTURE(BM_DrawFrame, hd_flash, 1920, 1080, 1.0, Flash::Decaying)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_DrawFrame, hd_steady, 1920, 1080, 1.0, Flash::Off)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_DrawFrame, uhd_flash, 3840, 2160, 1.0, Flash::Decaying)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_DrawFrame, uhd_steady, 3840, 2160, 1.0, Flash::Off)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_DrawFrame, uhd_hidpi_flash, 1920, 1080, 2.0, Flash::Decaying)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kFrames)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gScene = Scene{};  // the view and its images go while the application still exists
    return 0;
}
