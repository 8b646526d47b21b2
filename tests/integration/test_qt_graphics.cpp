// The Qt graphics context on real pixels: y-up coordinates, upright images, counter-clockwise
// rotation, replacing fills, blended discs, drop shadows (halo, hue, offset, per saved state,
// following a turn) and the caches kept with a bitmap; then the view drawing whole frames through
// it, and the artwork itself.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>

#include "platform/qt/qt_graphics.h"
#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

using qtbackend::QPainterContext;
using qtbackend::QtBitmap;
using qtbackend::QtGraphics;
using qtbackend::QtSvgImage;

namespace {

const double kPi = std::acos(-1.0);

/// An image painted through a context; pixels are read back in the module's y-up points.
struct Canvas {
    Canvas(int width, int height, QColor background = Qt::black, double dpr = 1,
           QImage::Format format = QImage::Format_ARGB32_Premultiplied)
        : image(static_cast<int>(width * dpr), static_cast<int>(height * dpr), format), dpr(dpr) {
        image.fill(background);
        image.setDevicePixelRatio(dpr);
        painter.begin(&image);
        context = std::make_unique<QPainterContext>(painter, height);
    }
    ~Canvas() { finish(); }
    void finish() {
        context.reset();
        if (painter.isActive()) painter.end();
    }
    /// The device pixel under the point (x, y) in y-up points.
    QColor at(double x, double y) const {
        const int col = static_cast<int>(std::floor(x * dpr));
        const int row = image.height() - 1 - static_cast<int>(std::floor(y * dpr));
        return image.pixelColor(col, row);
    }

    QImage image;
    double dpr;
    QPainter painter;
    std::unique_ptr<QPainterContext> context;
};

/// A bitmap of w × h pixels and points, painted top-down by `paint`.
template <typename Paint>
std::shared_ptr<QtBitmap> makeBitmap(int w, int h, Paint paint) {
    auto bitmap = std::make_shared<QtBitmap>(w, h);
    QPainter p(&bitmap->image());
    paint(p);
    return bitmap;
}

std::shared_ptr<QtBitmap> whiteSquare(int side) {
    return makeBitmap(side, side, [&](QPainter& p) { p.fillRect(0, 0, side, side, Qt::white); });
}

host::Color glowColor(double hue, double alpha = 1.0) { return host::Color::colorWithCalibratedHue(hue, 0.52, 1.0, alpha); }

TEST(QtColor, HueSaturationBrightnessConvertAsHsbNotHsl) {
    struct Case {
        double h, s, b;
        double r, g, bl;
    } cases[] = {
        {1.0 / 3, 1, 1, 0, 1, 0}, {1, 1, 1, 1, 0, 0}, {-0.25, 1, 1, 0.5, 0, 1}, {0.5, 0, 0.4, 0.4, 0.4, 0.4},
        // The glow: brightness is the largest component; HSL would give a lighter colour.
        {0.63, 0.52, 0.73, 0.73 * 0.48, 0.73 * (1 - 0.52 * 0.78), 0.73},
    };
    for (const auto& c : cases) {
        const host::RGBA rgba = host::Color::colorWithCalibratedHue(c.h, c.s, c.b, 0.5).rgba();
        EXPECT_NEAR(rgba.red, c.r, 1e-12) << c.h;
        EXPECT_NEAR(rgba.green, c.g, 1e-12) << c.h;
        EXPECT_NEAR(rgba.blue, c.bl, 1e-12) << c.h;
        EXPECT_EQ(rgba.alpha, 0.5);
        const QColor q = QPainterContext::toQColor(host::Color::colorWithCalibratedHue(c.h, c.s, c.b, 0.5));
        EXPECT_NEAR(q.redF(), c.r, 1.0 / 255);
        EXPECT_NEAR(q.blueF(), c.bl, 1.0 / 255);
        EXPECT_NEAR(q.alphaF(), 0.5, 1.0 / 255);
    }
    const host::RGBA grey = host::Color::colorWithCalibratedWhite(0.25, 2.0).rgba();
    EXPECT_EQ(grey.red, 0.25);
    EXPECT_EQ(grey.alpha, 1.0);  // clamped
}

TEST(QtContext, OriginIsLowerLeftAndFillRectReplacesWhatWasThere) {
    Canvas c(100, 50, Qt::white);
    c.context->setFillColor(host::Color::colorWithCalibratedWhite(0, 0.5));
    c.context->fillRect(host::NSMakeRect(0, 0, 10, 10));
    c.finish();
    const QRgb replaced = c.image.pixel(0, 49);  // bottom-left pixel
    EXPECT_EQ(qAlpha(replaced), 128);
    EXPECT_EQ(qRed(replaced), 0);
    EXPECT_EQ(c.image.pixel(0, 39), QColor(Qt::white).rgba());  // just above the filled square
    EXPECT_EQ(c.image.pixel(10, 49), QColor(Qt::white).rgba());
}

TEST(QtContext, ImageDrawnIntoARectAppearsUpright) {
    auto bitmap = makeBitmap(10, 10, [](QPainter& p) {
        p.fillRect(0, 0, 10, 5, Qt::red);   // the top half of the picture
        p.fillRect(0, 5, 10, 5, Qt::blue);
    });
    Canvas c(100, 100);
    c.context->drawImage(*bitmap, host::NSMakeRect(20, 20, 10, 10), host::CompositingOperation::SourceOver, 1);
    c.finish();
    EXPECT_EQ(c.at(25, 27.5), QColor(Qt::red));
    EXPECT_EQ(c.at(25, 22.5), QColor(Qt::blue));
}

TEST(QtContext, OpacityScalesTheImageAndCopyReplaces) {
    auto white = whiteSquare(10);
    auto clear = makeBitmap(10, 10, [](QPainter&) {});
    Canvas c(40, 20, QColor(0, 0, 255));
    c.context->drawImage(*white, host::NSMakeRect(0, 0, 10, 10), host::CompositingOperation::SourceOver, 0.25);
    c.context->drawImage(*clear, host::NSMakeRect(20, 0, 10, 10), host::CompositingOperation::Copy, 1);
    c.finish();
    const QColor blended = c.at(5, 5);
    EXPECT_NEAR(blended.red(), 64, 1);
    EXPECT_NEAR(blended.blue(), 255, 1);
    EXPECT_EQ(c.at(25, 5).alpha(), 0);
}

TEST(QtContext, SmallDiscsBlendWithTheirAlphaAndCoverTheirArea) {
    // Blended straight into the pixels: a disc's inside takes the colour's alpha, and the light
    // it adds up to equals its area, for discs smaller and larger than a pixel.
    struct Disc {
        double x, r;
    } discs[] = {{20, 0.3}, {40.5, 0.8}, {60, 1}, {80.5, 2.5}, {110, 6}};
    Canvas c(200, 60);
    c.context->setFillColor(host::Color::colorWithCalibratedWhite(1, 0.6));
    for (const Disc& d : discs) c.context->fillEllipseInRect(host::NSMakeRect(d.x - d.r, 30 - d.r, 2 * d.r, 2 * d.r));
    c.finish();
    EXPECT_NEAR(c.at(80.5, 30.5).red(), 153, 1);
    for (const Disc& d : discs) {
        double sum = 0;
        for (int row = 0; row < 60; ++row)
            for (int col = static_cast<int>(d.x - d.r - 3); col <= static_cast<int>(d.x + d.r + 3); ++col)
                sum += c.image.pixelColor(col, row).redF();
        EXPECT_NEAR(sum, 0.6 * kPi * d.r * d.r, 0.06 * 0.6 * kPi * d.r * d.r + 0.02) << d.r;
    }
}

/// A widget that fills itself blue and draws a row of white discs across itself through a context.
class DiscWidget : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QPainterContext context(painter, height());
        context.setFillColor(host::Color::colorWithCalibratedHue(2.0 / 3, 1, 1, 1));
        context.fillRect(host::NSMakeRect(0, 0, width(), height()));
        context.setFillColor(host::Color::colorWithCalibratedWhite(1, 1));
        for (int x = 5; x < width(); x += 10) context.fillEllipseInRect(host::NSMakeRect(x - 3, 7, 6, 6));
    }
};

TEST(QtContext, FillsAndDiscsInAWidgetStayInsideTheRegionBeingPaintedAndAtItsOffset) {
    DiscWidget widget;
    widget.resize(100, 20);
    QImage target(120, 30, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    widget.render(&target, QPoint(10, 5), QRegion(0, 0, 50, 20), QWidget::RenderFlags());
    // Disc centres sit at widget x = 5, 15, … and 10 from the bottom: target row 5 + 9.
    EXPECT_EQ(target.pixel(10 + 5, 5 + 9), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(10 + 45, 5 + 9), qRgb(255, 255, 255));
    EXPECT_EQ(target.pixel(10 + 10, 5 + 9), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(10 + 49, 5 + 19), qRgb(0, 0, 255));
    EXPECT_EQ(target.pixel(10 + 55, 5 + 9), qRgb(0, 0, 0));  // outside the painted region
    EXPECT_EQ(target.pixel(10 + 50, 5), qRgb(0, 0, 0));
    EXPECT_EQ(target.pixel(5, 5 + 9), qRgb(0, 0, 0));        // left of the widget
    EXPECT_EQ(target.pixel(15, 4), qRgb(0, 0, 0));           // above it
}

class QtShadow : public ::testing::Test {
protected:
    /// Halo intensity (the colour's largest component) at a point.
    static double glow(const Canvas& c, double x, double y) {
        const QColor q = c.at(x, y);
        return std::max({q.redF(), q.greenF(), q.blueF()});
    }
};

TEST_F(QtShadow, HaloOfTheShadowColourSurroundsTheImageAndFadesWithDistance) {
    auto square = whiteSquare(20);
    Canvas c(120, 120);
    c.context->saveGState();
    c.context->setShadow(host::NSZeroSize, 10, glowColor(0.63));
    c.context->drawImage(*square, host::NSMakeRect(50, 50, 20, 20), host::CompositingOperation::SourceOver, 1);
    c.context->restoreGState();
    c.finish();

    EXPECT_EQ(c.at(60, 60), QColor(Qt::white));  // the image lies over its shadow
    const QColor near = c.at(71, 60);
    EXPECT_NEAR(near.hsvHueF(), 0.63, 0.02);
    EXPECT_NEAR(near.hsvSaturationF(), 0.52, 0.06);
    // Blur 10 is a Gaussian of deviation 5: just outside the edge about half the colour, then
    // fading; gone beyond three deviations.
    EXPECT_NEAR(glow(c, 70.5, 60), 0.48, 0.08);
    double previous = 1;
    for (double d = 1.5; d < 14; d += 2) {
        const double g = glow(c, 70 + d, 60);
        EXPECT_LT(g, previous) << d;
        previous = g;
    }
    EXPECT_EQ(glow(c, 70 + 17, 60), 0.0);
    EXPECT_EQ(glow(c, 60, 50 - 17), 0.0);
    // Symmetric on all four sides with a zero offset.
    EXPECT_NEAR(glow(c, 46, 60), glow(c, 73, 60), 0.02);
    EXPECT_NEAR(glow(c, 60, 46), glow(c, 60, 73), 0.02);

    // An offset moves the halo, in y-up points.
    Canvas shifted(120, 120);
    shifted.context->setShadow({0, -8}, 4, glowColor(0.0));
    shifted.context->drawImage(*square, host::NSMakeRect(50, 50, 20, 20), host::CompositingOperation::SourceOver, 1);
    shifted.finish();
    EXPECT_GT(glow(shifted, 60, 45), 0.5);  // below the square
    EXPECT_EQ(glow(shifted, 60, 76), 0.0);  // nothing above it
}

TEST_F(QtShadow, ShadowBelongsToItsSavedStateAndIsInheritedByNestedOnes) {
    auto square = whiteSquare(10);
    Canvas c(200, 60);
    const auto draw = [&](double x) {
        c.context->drawImage(*square, host::NSMakeRect(x, 25, 10, 10), host::CompositingOperation::SourceOver, 1);
    };
    c.context->saveGState();
    c.context->setShadow(host::NSZeroSize, 6, glowColor(0.3));
    c.context->restoreGState();
    draw(20);  // after the restore: no shadow

    c.context->setShadow(host::NSZeroSize, 6, glowColor(0.3));
    c.context->saveGState();
    draw(80);  // a nested state keeps the shadow
    c.context->setShadow(host::NSZeroSize, 0, glowColor(0.3, 0));
    c.context->restoreGState();
    draw(140);  // and the outer one has it back
    c.finish();
    EXPECT_EQ(glow(c, 32, 30), 0.0);
    EXPECT_GT(glow(c, 92, 30), 0.1);
    EXPECT_GT(glow(c, 152, 30), 0.1);
}

TEST_F(QtShadow, SilhouettesAndTurnedCopiesAreMadeOnceAndAgainWhenTheBitmapChanges) {
    auto square = whiteSquare(16);
    const auto frame = [&](double blur, double hue, double angle) {
        Canvas c(64, 64);
        c.context->setShadow(host::NSZeroSize, blur, glowColor(hue));
        c.context->translateCTM(32, 32);
        c.context->rotateCTM(angle);
        c.context->translateCTM(-8, -8);
        c.context->drawImage(*square, host::NSMakeRect(0, 0, 16, 16), host::CompositingOperation::SourceOver, 1);
        c.finish();
        return glow(c, 42, 32);
    };
    const double first = frame(6, 0.63, 0.3);
    EXPECT_EQ(frame(6, 0.1, 0.3), first);  // a new tint, the same blur and angle
    EXPECT_EQ(square->silhouettes().blursMade(), 1);
    EXPECT_EQ(square->turned().copiesMade(), 1);
    frame(12, 0.63, 0.31);
    frame(6, 0.63, 0.3);
    EXPECT_EQ(square->silhouettes().blursMade(), 2);
    EXPECT_EQ(square->turned().copiesMade(), 2);
    {
        QPainter p(&square->image());
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(0, 0, 16, 16, Qt::transparent);
    }
    EXPECT_EQ(frame(6, 0.63, 0.3), 0.0);  // nothing opaque left to cast a shadow
    EXPECT_EQ(square->silhouettes().blursMade(), 3);
    EXPECT_EQ(square->turned().copiesMade(), 3);
}

TEST_F(QtShadow, OnlyGlowsOfABlurThatLastsAreKeptAndTheOthersAreDrawnAlike) {
    // A flash's widest blur lasts a frame or three: kept, its glows would pile up, a phase a flash.
    auto square = whiteSquare(16);
    const auto frame = [&](double blur, double x, double out) {
        Canvas c(160, 96);
        c.context->setShadow(host::NSZeroSize, blur, glowColor(0.63));
        c.context->drawImage(*square, host::NSMakeRect(x, 40, 16, 16), host::CompositingOperation::SourceOver, 1);
        c.finish();
        return glow(c, x + 16 + out, 48);
    };
    const qtbackend::GlowCache& glows = square->silhouettes().glows();
    const double first = frame(6, 40, 2);
    EXPECT_GT(first, 0.1);
    for (int i = 2; i < qtbackend::GlowCache::kRequestsToKeep; ++i) frame(6, 40, 2);
    EXPECT_EQ(glows.entryCount(), 0u) << "a blur not asked for long enough keeps nothing";
    EXPECT_EQ(frame(6, 40, 2), first) << "a kept glow is drawn as one that was not";
    EXPECT_EQ(glows.entryCount(), 1u);
    EXPECT_GT(frame(30, 40.5, 10), 0.05) << "a frame of a flash is drawn all the same";
    frame(30, 40.5, 10);
    EXPECT_EQ(glows.entryCount(), 1u);
    for (int i = 0; i < qtbackend::GlowCache::kRequestsToKeep; ++i) frame(6, 40, 2);
    frame(6, 41.25, 2);  // another phase of the lasting blur
    EXPECT_EQ(glows.entryCount(), 2u);
}

TEST_F(QtShadow, LargeTurnedImageAndItsHaloAreWholeAcrossBands) {
    // Tall enough to be drawn in several bands: every band joins the next without a seam.
    auto bar = makeBitmap(240, 40, [](QPainter& p) { p.fillRect(0, 0, 240, 40, Qt::white); });
    Canvas c(320, 320);
    c.context->setShadow(host::NSZeroSize, 8, glowColor(0.63));
    c.context->translateCTM(160, 160);
    c.context->rotateCTM(1.1);
    c.context->translateCTM(-120, -20);
    c.context->drawImage(*bar, host::NSMakeRect(0, 0, 240, 40), host::CompositingOperation::SourceOver, 1);
    c.finish();
    const double ux = std::cos(1.1), uy = std::sin(1.1);  // along the bar
    double lowest = 1, highest = 0;
    for (double t = -100; t <= 100; t += 1.5) {
        EXPECT_EQ(c.at(160 + t * ux, 160 + t * uy), QColor(Qt::white)) << t;
        // Three points out from the long edge: the same halo all along.
        const double g = glow(c, 160 + t * ux + 23 * -uy, 160 + t * uy + 23 * ux);
        lowest = std::min(lowest, g);
        highest = std::max(highest, g);
    }
    EXPECT_GT(lowest, 0.1);
    EXPECT_LT(highest, 1.6 * lowest);  // a band drawn twice would nearly double it
}

TEST(QtBitmapContext, PointsMapOntoEveryPixelOfABitmapOfCeiledSize) {
    QtGraphics graphics;
    auto bitmap = graphics.createBitmap(500, 110);
    ASSERT_TRUE(bitmap);
    bitmap->setSize({250, 54.84});
    {
        auto context = graphics.contextForBitmap(*bitmap);
        ASSERT_TRUE(context);
        context->setFillColor(host::Color::colorWithCalibratedWhite(1, 1));
        context->fillRect(host::NSMakeRect(0, 0, 250, 54.84));
    }
    const QImage& pixels = static_cast<QtBitmap&>(*bitmap).image();
    EXPECT_EQ(qAlpha(pixels.pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(pixels.pixel(499, 109)), 255);
    EXPECT_EQ(graphics.createBitmap(0, 10), nullptr);
    EXPECT_EQ(graphics.createBitmap(10, QtGraphics::kMaxBitmapSide + 1), nullptr);
}

// --- The view drawing whole frames through Qt ---

class ViewOnQt : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        fake.graphics = &graphics;
        fake.bundleService.resources["tavrin.svg"] = TAVRIN_TEST_RESOURCES "/tavrin.svg";
        fake.bundleService.resources["tavrin_wheel.svg"] = TAVRIN_TEST_RESOURCES "/tavrin_wheel.svg";
    }
    void TearDown() override {
        view.reset();
        fake.graphics = &fake.graphicsService;
        HostTest::TearDown();
    }

    /// A 400 × 200 view with every effect off and nothing in its scene but the two sprites.
    void makeView(double scale = 1) {
        window = windowOn(nullptr, scale);
        view = fake::viewOnWindow({{0, 0}, {400, 200}}, window);
        ASSERT_TRUE(view);
        auto& v = *view;
        fake::setEveryEffect(v, false);
        v.glowSize = 15;
        v.activeParticleCount = 0;
        v.objects[0].size = {200, 200 / tavrin::kLogoAspect};
        v.objects[0].position = {40, 120};
        v.objects[1].size = {60, 60};
        v.objects[1].position = {300, 20};
        for (auto& t : v.trails) t.count = 0;
        for (auto& o : v.objects) o.flashIntensity = 0;
    }

    std::unique_ptr<Canvas> draw(QColor background = Qt::black) {
        auto canvas = std::make_unique<Canvas>(400, 200, background, window->scale);
        host::setCurrentContext(canvas->context.get());
        view->drawRect(host::NSMakeRect(0, 0, 10, 10));
        host::setCurrentContext(nullptr);
        canvas->finish();
        return canvas;
    }

    /// Mean colour of a rectangle of points.
    static QColor meanColor(const Canvas& c, double x0, double y0, double x1, double y1) {
        double r = 0, g = 0, b = 0;
        int n = 0;
        for (double y = y0; y < y1; y += 1)
            for (double x = x0; x < x1; x += 1, ++n) {
                const QColor q = c.at(x, y);
                r += q.redF(), g += q.greenF(), b += q.blueF();
            }
        return QColor::fromRgbF(static_cast<float>(r / n), static_cast<float>(g / n), static_cast<float>(b / n));
    }

    QtGraphics graphics;
    std::shared_ptr<tavrin::Tavrin_ScreenSaverView> view;
    std::shared_ptr<fake::FakeWindow> window;
};

TEST_F(ViewOnQt, FrameIsBlackOverTheWholeBoundsWhateverRectIsAsked) {
    makeView();
    view->objects[0].size = view->objects[1].size = {0, 0};
    auto c = draw(Qt::red);
    for (int y = 0; y < c->image.height(); ++y)
        for (int x = 0; x < c->image.width(); ++x) ASSERT_EQ(c->image.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
}

TEST_F(ViewOnQt, StarPixelCarriesItsTwinkledAlphaAtEveryDensity) {
    for (double scale : {1.0, 2.0}) {
        makeView(scale);
        view->objects[0].size = view->objects[1].size = {0, 0};
        view->enableStarfield = true;
        view->starCount = 1;
        view->stars[0] = {{20.5, 30.5}, {}, 0.5, 0, 0, 2};  // alpha 0.5 + 0.4 sin 0
        auto c = draw();
        EXPECT_NEAR(c->at(20.5, 30.5).red(), 128, 1) << scale;
        EXPECT_EQ(c->at(20.5, 34).red(), 0) << scale;
    }
}

TEST_F(ViewOnQt, GlowHaloAroundTheLogoHasTheGlowHueAndDriftsWithIt) {
    makeView();
    const auto& logo = view->objects[0];
    // A strip just above the logo's lettering, inside its box's margin and beyond it.
    const auto haloAbove = [&](const Canvas& c) {
        const double top = logo.position.y + logo.size.height;
        return meanColor(c, logo.position.x + 20, top - 4, logo.position.x + logo.size.width - 20, top + 4);
    };
    EXPECT_LT(haloAbove(*draw()).valueF(), 0.01);  // no glow: black

    view->enableNeonGlow = true;
    const QColor halo = haloAbove(*draw());
    EXPECT_GT(halo.valueF(), 0.05);
    EXPECT_NEAR(halo.hsvHueF(), 0.63, 0.02);
    EXPECT_NEAR(halo.hsvSaturationF(), 0.52, 0.08);

    view->enableColorDrift = true;
    view->colorDriftPhase = kPi / 2;
    EXPECT_NEAR(haloAbove(*draw()).hsvHueF(), 0.83, 0.02);
}

TEST_F(ViewOnQt, WheelTurnedByAPositiveAngleTurnsCounterClockwise) {
    QTemporaryDir dir;
    const QString arrow = dir.filePath("arrow.svg");
    {
        QFile f(arrow);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100'>"
                "<rect x='50' y='40' width='50' height='20' fill='#ff0000'/></svg>");
    }
    makeView();
    view->wheelImage = graphics.imageWithContentsOfSVGFile(arrow.toUtf8().constData());
    ASSERT_TRUE(view->wheelImage);
    view->objects[1].rotation = kPi / 2;
    auto c = draw();
    const double cx = 330, cy = 50;  // the wheel's centre
    EXPECT_GT(c->at(cx, cy + 20).red(), 200);  // the arrow points up
    EXPECT_EQ(c->at(cx + 20, cy).red(), 0);
    EXPECT_EQ(c->at(cx, cy - 20).red(), 0);
}

TEST_F(ViewOnQt, SourceIsRenderedOnlyWhenTheSizeOrTheDensityChanges) {
    makeView();
    const auto& logo = static_cast<const QtSvgImage&>(*view->tavrinImage);
    const auto& wheel = static_cast<const QtSvgImage&>(*view->wheelImage);
    view->enableNeonGlow = view->enableFadeTrails = true;
    view->trailLength = 10;
    view->trails[1].count = 5;
    for (int i = 0; i < 3; ++i) {
        view->objects[1].rotation += 0.1;
        draw();
    }
    EXPECT_EQ(logo.renderCount(), 1);
    EXPECT_EQ(wheel.renderCount(), 1);

    view->objects[0].size.width += 0.3;
    draw();
    EXPECT_EQ(logo.renderCount(), 1);
    view->objects[0].size.width += 0.2;  // 0.5 from the size the bitmap was made for
    draw();
    EXPECT_EQ(logo.renderCount(), 2);

    window->scale = 2;
    auto c = draw();
    EXPECT_EQ(logo.renderCount(), 3);
    EXPECT_EQ(wheel.renderCount(), 2);
    EXPECT_EQ(static_cast<QtBitmap&>(*view->wheelCache).pixelsWide(), 120);
    EXPECT_GT(meanColor(*c, 300, 20, 360, 80).valueF(), 0.2);  // the wheel, drawn
}

TEST_F(ViewOnQt, SlowSpritesAndTheirGlowMoveByFractionsOfAPixel) {
    // Whole-pixel placement would hold a sprite still for frames and then jump: its picture's
    // centre of brightness would stray up to half a pixel from its position. Both the unturned
    // logo (with its glow) and the turned wheel are moved by a fraction of a pixel a frame.
    const auto centroid = [](const Canvas& c, QRect area) {
        double sum = 0, sx = 0, sy = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb p = c.image.pixel(x, y);
                const double v = qRed(p) + qGreen(p) + qBlue(p);
                sum += v, sx += v * x, sy += v * y;
            }
        return QPointF(sx / sum, sy / sum);
    };
    struct Case {
        int object;
        double rotation;
        QRect area;  // device pixels around the sprite, glow and motion included
    } cases[] = {{0, 0.0, QRect(0, 0, 300, 110)}, {1, 0.3, QRect(270, 100, 100, 100)}};
    for (const Case& c : cases) {
        makeView();
        view->enableNeonGlow = c.object == 0;
        view->objects[1 - c.object].size = {0, 0};  // alone in the picture
        auto& sprite = view->objects[c.object];
        sprite.rotation = c.rotation;
        const host::CGPoint start = sprite.position;
        QPointF first;
        for (int k = 0; k <= 16; ++k) {
            sprite.position = {start.x + 0.13 * k, start.y + 0.07 * k};
            const QPointF at = centroid(*draw(), c.area);
            if (k == 0) first = at;
            EXPECT_NEAR(at.x() - first.x(), 0.13 * k, 0.1) << "object " << c.object << " frame " << k;
            EXPECT_NEAR(first.y() - at.y(), 0.07 * k, 0.1) << "object " << c.object << " frame " << k;  // y up
        }
    }
}

TEST_F(ViewOnQt, BrokenLogoResourceLeavesTheLogoOutAndTheRestDrawn) {
    QTemporaryDir dir;
    const QString garbage = dir.filePath("tavrin.svg");
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x89PNG not really");
    }
    fake.bundleService.resources["tavrin.svg"] = garbage.toStdString();
    fake.bundleService.resources["tavrin_wheel.svg"] = dir.filePath("absent.svg").toStdString();
    makeView();
    EXPECT_EQ(view->tavrinImage, nullptr);
    EXPECT_EQ(view->wheelImage, nullptr);
    view->wheelImage = graphics.imageWithContentsOfSVGFile(TAVRIN_TEST_RESOURCES "/tavrin_wheel.svg");
    ASSERT_TRUE(view->wheelImage);
    EXPECT_EQ(graphics.imageWithContentsOfSVGFile(TAVRIN_TEST_RESOURCES "/tavrin.svg")->size(),
              (host::CGSize{1313, 288}));
    view->enableNeonGlow = true;
    auto c = draw();
    EXPECT_LT(meanColor(*c, 40, 120, 240, 160).valueF(), 0.001);
    EXPECT_GT(meanColor(*c, 300, 20, 360, 80).valueF(), 0.2);
}

// --- The artwork ---

/// Renders an SVG file `width` pixels wide; saves it when TAVRIN_ARTWORK_DIR names a folder, to
/// look at.
QImage renderArtwork(const char* name, int width) {
    QSvgRenderer renderer(QString(TAVRIN_TEST_RESOURCES "/") + name);
    const QRectF box = renderer.viewBoxF();
    QImage image(width, static_cast<int>(std::ceil(width * box.height() / box.width())),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    renderer.render(&p, QRectF(0, 0, image.width(), image.height()));
    p.end();
    if (const char* dir = std::getenv("TAVRIN_ARTWORK_DIR"))
        image.save(QDir(dir).filePath(QString("%1-%2.png").arg(QString(name).section('.', 0, 0)).arg(width)));
    return image;
}

TEST(Artwork, WheelFillsItsDiscOfRadiusPoint486AndNothingOutside) {
    // The wheel collides as that disc, so what is drawn must match it.
    for (int side : {50, 2000}) {
        const QImage image = renderArtwork("tavrin_wheel.svg", side);
        const double c = side / 2.0, r = 0.486 * side;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                if (std::hypot(x + 0.5 - c, y + 0.5 - c) > r + 1) {
                    ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << side;
                }
            }
        }
        // The tyre runs round the rim: opaque just inside the disc's edge at every angle.
        for (int k = 0; k < 36; ++k) {
            const double a = k * kPi / 18, inner = r - std::max(1.5, 0.02 * side);
            const int x = static_cast<int>(c + inner * std::cos(a)), y = static_cast<int>(c + inner * std::sin(a));
            EXPECT_GT(qAlpha(image.pixel(x, y)), 200) << side << " at " << k * 10 << " degrees";
        }
    }
}

}  // namespace
