// The sprite cache on the test backend: bitmap size and contents, when a slot is reused or
// rebuilt, and what happens when the source, the bitmap or its context is missing.
#include <cmath>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

using namespace tavrin;

namespace {

class SpriteCache : public fake::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        window = windowOn(nullptr, 2.0);
        view = fake::viewOnWindow({{0, 0}, {1000, 500}}, window);
        host::setCurrentContext(&screen);
    }
    void TearDown() override {
        host::setCurrentContext(nullptr);
        view.reset();
        HostTest::TearDown();
    }

    std::shared_ptr<host::Image> get(int64_t type, CGSize size) { return view->cachedImageForType(type, size); }
    static const fake::FakeBitmap& bitmap(const std::shared_ptr<host::Image>& image) {
        return dynamic_cast<const fake::FakeBitmap&>(*image);
    }
    int built() const { return fake.graphicsService.bitmapsCreated; }

    std::shared_ptr<Tavrin_ScreenSaverView> view;
    std::shared_ptr<fake::FakeWindow> window;
    fake::RecordingContext screen;  ///< the view's own context while the cache draws elsewhere
};

TEST_F(SpriteCache, BitmapHasCeiledPixelsTheSizeInPointsAndTheSourceDrawnIntoIt) {
    const CGSize size{250, 54.84};
    auto image = get(ImageTypeLogo, size);
    ASSERT_TRUE(image);
    EXPECT_EQ(bitmap(image).pixelsWide(), 500);
    EXPECT_EQ(bitmap(image).pixelsHigh(), 110);
    EXPECT_EQ(image->size(), size);
    ASSERT_EQ(bitmap(image).contents.size(), 1u);
    EXPECT_EQ(bitmap(image).contents[0].first, "/bundle/tavrin.svg");
    EXPECT_EQ(bitmap(image).contents[0].second, host::NSMakeRect(0, 0, 250, 54.84));
    EXPECT_EQ(view->tavrinCache, image);
    EXPECT_EQ(view->tavrinCacheSize, size);
    EXPECT_EQ(view->cacheBackingScale, 2.0);
    // The view's context is current again and saw nothing of the rebuild.
    EXPECT_EQ(host::currentContext(), &screen);
    EXPECT_TRUE(screen.ops.empty());

    EXPECT_EQ(get(ImageTypeLogo, size), image);  // the same call: the identical image
    EXPECT_EQ(built(), 1);
    EXPECT_EQ(static_cast<fake::FakeImage&>(*view->tavrinImage).timesDrawn, 1);

    auto wheel = get(7, {40, 40});  // any type but the logo's uses the wheel slot
    EXPECT_EQ(view->wheelCache, wheel);
    EXPECT_EQ(bitmap(wheel).contents[0].first, "/bundle/tavrin_wheel.svg");
}

TEST_F(SpriteCache, SizeChangesBelowHalfAPointReuseAndFromHalfAPointRebuild) {
    auto base = get(ImageTypeWheel, {60, 60});
    EXPECT_EQ(get(ImageTypeWheel, {60.3, 59.7}), base);
    EXPECT_EQ(get(ImageTypeWheel, {60.4999, 60}), base);
    EXPECT_EQ(view->wheelCacheSize, (CGSize{60, 60}));  // still the size it was made for
    auto wider = get(ImageTypeWheel, {60.5, 60});
    EXPECT_NE(wider, base);
    EXPECT_NE(get(ImageTypeWheel, {60.5, 60.5}), wider);
    EXPECT_EQ(built(), 3);
    EXPECT_EQ(base->size(), (CGSize{60, 60}));  // a caller's image outlives its slot
}

TEST_F(SpriteCache, DensityWithinOneHundredthReusesBelowOneOrNoWindowCountsAsOne) {
    window->scale = 1.0;
    auto base = get(ImageTypeLogo, {100.2, 20.2});
    window->scale = 1.005;
    EXPECT_EQ(get(ImageTypeLogo, {100.2, 20.2}), base);
    window->scale = 1.01;  // not strictly within the tolerance any more
    EXPECT_NE(get(ImageTypeLogo, {100.2, 20.2}), base);
    EXPECT_EQ(view->cacheBackingScale, 1.01);

    window->scale = 0.5;
    auto low = get(ImageTypeLogo, {100.2, 20.2});
    EXPECT_EQ(bitmap(low).pixelsWide(), 101);
    EXPECT_EQ(bitmap(low).pixelsHigh(), 21);
    view->hostAttachWindow(nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {100.2, 20.2}), low);
    EXPECT_EQ(built(), 3);
}

TEST_F(SpriteCache, DensityChangeSeenByOneSlotEmptiesTheOtherSoItIsNotDrawnStale) {
    window->scale = 1.0;
    auto logo = get(ImageTypeLogo, {100, 20});
    get(ImageTypeWheel, {30, 30});
    window->scale = 2.0;  // without a backing-properties notice
    auto logo2 = get(ImageTypeLogo, {100, 20});
    EXPECT_NE(logo2, logo);
    EXPECT_EQ(view->wheelCache, nullptr);
    EXPECT_EQ(view->wheelCacheSize, host::NSZeroSize);
    auto wheel2 = get(ImageTypeWheel, {30, 30});
    EXPECT_EQ(bitmap(wheel2).pixelsWide(), 60);
    EXPECT_EQ(get(ImageTypeLogo, {100, 20}), logo2);  // back in step: both reused
    EXPECT_EQ(get(ImageTypeWheel, {30, 30}), wheel2);
    EXPECT_EQ(built(), 4);
}

TEST_F(SpriteCache, TooSmallOrMissingSourceGivesNoneAndAbsurdSizesTheSource) {
    EXPECT_EQ(get(ImageTypeLogo, {0.5, 50}), nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {50, 0.99}), nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {std::nan(""), 50}), nullptr);
    EXPECT_EQ(get(ImageTypeLogo, {1e300, 10}), view->tavrinImage);  // refused before the host
    EXPECT_EQ(get(ImageTypeLogo, {INFINITY, 10}), view->tavrinImage);
    view->wheelImage.reset();
    EXPECT_EQ(get(ImageTypeWheel, {60, 60}), nullptr);
    EXPECT_EQ(built(), 0);
    EXPECT_NE(get(ImageTypeLogo, {1, 1}), nullptr);
}

TEST_F(SpriteCache, FailedBitmapOrContextReturnsTheSourceAndKeepsTheSlot) {
    auto kept = get(ImageTypeLogo, {100, 20});
    fake.graphicsService.failBitmaps = true;
    EXPECT_EQ(get(ImageTypeLogo, {200, 40}), view->tavrinImage);
    fake.graphicsService.failBitmaps = false;
    fake.graphicsService.failContexts = true;
    window->scale = 3.0;
    EXPECT_EQ(get(ImageTypeLogo, {200, 40}), view->tavrinImage);
    EXPECT_EQ(view->tavrinCache, kept);
    EXPECT_EQ(view->tavrinCacheSize, (CGSize{100, 20}));
    EXPECT_EQ(view->cacheBackingScale, 2.0);
    EXPECT_EQ(host::currentContext(), &screen);

    fake.graphicsService.failContexts = false;  // the next call tries again
    EXPECT_EQ(bitmap(get(ImageTypeLogo, {200, 40})).pixelsWide(), 600);
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

    view->viewDidChangeBackingProperties();
    EXPECT_EQ(view->tavrinCache, nullptr);
    EXPECT_NE(get(ImageTypeWheel, {30, 30}), wheel);
    EXPECT_EQ(built(), 4);
}

}  // namespace
