// The sprite cache on the test backend: bitmap size and contents, when a slot is reused or
// rebuilt, and what happens when the source, the bitmap or its context is missing.
#include <cmath>

#include "support/fake_host.h"
#include "view/tavrin_screensaver_view.h"

using namespace tavrin;

namespace {

class SpriteCache : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        view = Tavrin_ScreenSaverView::create({{0, 0}, {1000, 500}}, false);
        window = windowOn(nullptr, 2.0);
        view->hostAttachWindow(window);
        host::setCurrentContext(&screen);
    }
    void TearDown() override {
        host::setCurrentContext(nullptr);
        view.reset();
        HostTest::TearDown();
    }

    std::shared_ptr<host::Image> get(int64_t type, CGSize size) { return view->cachedImageForType(type, size); }
    int built() const { return fake.graphicsService.bitmapsCreated; }
    const fake::FakeImage& source(const std::shared_ptr<Image>& image) {
        return static_cast<const fake::FakeImage&>(*image);
    }

    std::shared_ptr<Tavrin_ScreenSaverView> view;
    std::shared_ptr<fake::FakeWindow> window;
    fake::RecordingContext screen;  ///< the view's own context while the cache draws elsewhere
};

TEST_F(SpriteCache, LogoBitmapHasCeiledPixelsSizeInPointsAndTheSourceDrawnInto) {
    const CGSize size{250, 54.84};
    auto image = get(ImageTypeLogo, size);
    ASSERT_TRUE(image);
    auto* bitmap = dynamic_cast<fake::FakeBitmap*>(image.get());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->pixelsWide(), 500);
    EXPECT_EQ(bitmap->pixelsHigh(), 110);
    EXPECT_EQ(bitmap->size(), size);
    ASSERT_EQ(bitmap->contents.size(), 1u);
    EXPECT_EQ(bitmap->contents[0].first, "/bundle/tavrin.svg");
    EXPECT_EQ(bitmap->contents[0].second, host::NSMakeRect(0, 0, 250, 54.84));
    EXPECT_EQ(view->tavrinCache, image);
    EXPECT_EQ(view->tavrinCacheSize, size);
    EXPECT_EQ(view->cacheBackingScale, 2.0);
    // The view's context is current again and saw nothing of the rebuild.
    EXPECT_EQ(host::currentContext(), &screen);
    EXPECT_TRUE(screen.ops.empty());
}

TEST_F(SpriteCache, SameRequestReturnsTheIdenticalImageWithoutDrawing) {
    auto first = get(ImageTypeLogo, {250, 54.84});
    const int drawn = source(view->tavrinImage).timesDrawn;
    auto second = get(ImageTypeLogo, {250, 54.84});
    EXPECT_EQ(first, second);
    EXPECT_EQ(built(), 1);
    EXPECT_EQ(source(view->tavrinImage).timesDrawn, drawn);
}

TEST_F(SpriteCache, SizeChangesBelowHalfAPointReuseAndFromHalfAPointRebuild) {
    auto base = get(ImageTypeWheel, {60, 60});
    EXPECT_EQ(get(ImageTypeWheel, {60.3, 59.7}), base);
    EXPECT_EQ(get(ImageTypeWheel, {60.4999, 60}), base);
    EXPECT_EQ(built(), 1);
    // The reused bitmap stays tagged with the size it was made for.
    EXPECT_EQ(view->wheelCacheSize, (CGSize{60, 60}));

    auto wider = get(ImageTypeWheel, {60.5, 60});
    EXPECT_NE(wider, base);
    EXPECT_EQ(built(), 2);
    auto taller = get(ImageTypeWheel, {60.5, 60.5});
    EXPECT_NE(taller, wider);
    EXPECT_EQ(built(), 3);
    // The caller's image stays valid after its slot was rebuilt.
    EXPECT_EQ(base->size(), (CGSize{60, 60}));
}

TEST_F(SpriteCache, DensityWithinOneHundredthReusesAndBeyondRebuilds) {
    window->scale = 1.0;
    auto base = get(ImageTypeLogo, {100, 20});
    window->scale = 1.005;
    EXPECT_EQ(get(ImageTypeLogo, {100, 20}), base);
    window->scale = 1.01;  // not strictly within the tolerance any more
    auto denser = get(ImageTypeLogo, {100, 20});
    EXPECT_NE(denser, base);
    EXPECT_EQ(view->cacheBackingScale, 1.01);
    window->scale = 2.0;
    auto retina = get(ImageTypeLogo, {100, 20});
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*retina).pixelsWide(), 200);
    EXPECT_EQ(built(), 3);
}

TEST_F(SpriteCache, DensityBelowOneAndNoWindowRenderAtOne) {
    window->scale = 0.5;
    auto image = get(ImageTypeLogo, {100.2, 20.2});
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*image).pixelsWide(), 101);
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*image).pixelsHigh(), 21);
    EXPECT_EQ(view->cacheBackingScale, 1.0);

    view->hostAttachWindow(nullptr);
    view->invalidateImageCache();
    image = get(ImageTypeWheel, {10, 10});
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*image).pixelsWide(), 10);
    EXPECT_EQ(view->cacheBackingScale, 1.0);
}

TEST_F(SpriteCache, DensityChangeSeenByOneSlotEmptiesTheOtherSoItIsNotDrawnStale) {
    window->scale = 1.0;
    auto logo = get(ImageTypeLogo, {100, 20});
    auto wheel = get(ImageTypeWheel, {30, 30});
    window->scale = 2.0;  // no backing-properties notice
    auto logo2 = get(ImageTypeLogo, {100, 20});
    EXPECT_NE(logo2, logo);
    EXPECT_EQ(view->wheelCache, nullptr);
    EXPECT_EQ(view->wheelCacheSize, host::NSZeroSize);
    auto wheel2 = get(ImageTypeWheel, {30, 30});
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*wheel2).pixelsWide(), 60);
    // Back in step: both reused.
    EXPECT_EQ(get(ImageTypeLogo, {100, 20}), logo2);
    EXPECT_EQ(get(ImageTypeWheel, {30, 30}), wheel2);
    EXPECT_EQ(built(), 4);
}

TEST_F(SpriteCache, TooSmallOrMissingSourceGivesNoneAndMakesNothing) {
    EXPECT_EQ(get(ImageTypeLogo, {0.5, 50}), nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {50, 0.99}), nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {std::nan(""), 50}), nullptr);
    EXPECT_NE(get(ImageTypeLogo, {1, 1}), nullptr);
    view->wheelImage.reset();
    EXPECT_EQ(get(ImageTypeWheel, {60, 60}), nullptr);
    EXPECT_EQ(get(ImageTypeWheel, {1e6, 1e6}), nullptr);
    EXPECT_EQ(built(), 1);
}

TEST_F(SpriteCache, AnyTypeButTheLogoUsesTheWheelSlot) {
    auto image = get(7, {40, 40});
    ASSERT_TRUE(image);
    EXPECT_EQ(view->wheelCache, image);
    EXPECT_EQ(view->tavrinCache, nullptr);
    auto& bitmap = static_cast<fake::FakeBitmap&>(*image);
    ASSERT_EQ(bitmap.contents.size(), 1u);
    EXPECT_EQ(bitmap.contents[0].first, "/bundle/tavrin_wheel.svg");
    EXPECT_EQ(get(ImageTypeWheel, {40, 40}), image);
}

TEST_F(SpriteCache, FailedBitmapOrContextReturnsTheSourceAndKeepsTheSlot) {
    auto kept = get(ImageTypeLogo, {100, 20});
    const auto keptScale = view->cacheBackingScale;

    fake.graphicsService.failBitmaps = true;
    EXPECT_EQ(get(ImageTypeLogo, {200, 40}), view->tavrinImage);
    fake.graphicsService.failBitmaps = false;
    fake.graphicsService.failContexts = true;
    window->scale = 3.0;
    EXPECT_EQ(get(ImageTypeLogo, {200, 40}), view->tavrinImage);
    EXPECT_EQ(view->tavrinCache, kept);
    EXPECT_EQ(view->tavrinCacheSize, (CGSize{100, 20}));
    EXPECT_EQ(view->cacheBackingScale, keptScale);
    EXPECT_EQ(host::currentContext(), &screen);

    // The next call tries again and succeeds.
    fake.graphicsService.failContexts = false;
    auto rebuilt = get(ImageTypeLogo, {200, 40});
    EXPECT_NE(rebuilt, view->tavrinImage);
    EXPECT_EQ(static_cast<fake::FakeBitmap&>(*rebuilt).pixelsWide(), 600);
}

TEST_F(SpriteCache, AbsurdSizeIsRefusedBeforeTheHostAndTheSourceReturned) {
    EXPECT_EQ(get(ImageTypeLogo, {1e300, 10}), view->tavrinImage);
    EXPECT_EQ(get(ImageTypeLogo, {INFINITY, 10}), view->tavrinImage);
    EXPECT_EQ(built(), 0);
}

TEST_F(SpriteCache, InvalidationEmptiesBothSlotsAndForcesARebuild) {
    auto logo = get(ImageTypeLogo, {100, 20});
    auto wheel = get(ImageTypeWheel, {30, 30});
    view->invalidateImageCache();
    EXPECT_EQ(view->tavrinCache, nullptr);
    EXPECT_EQ(view->wheelCache, nullptr);
    EXPECT_EQ(view->tavrinCacheSize, host::NSZeroSize);
    EXPECT_EQ(view->wheelCacheSize, host::NSZeroSize);
    EXPECT_EQ(view->cacheBackingScale, 2.0);
    EXPECT_NE(get(ImageTypeLogo, {100, 20}), logo);
    EXPECT_EQ(built(), 3);

    view->viewDidChangeBackingProperties();
    EXPECT_EQ(view->tavrinCache, nullptr);
    EXPECT_NE(get(ImageTypeWheel, {30, 30}), wheel);
    EXPECT_EQ(built(), 4);
}

}  // namespace
