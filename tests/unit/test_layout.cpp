// Layout: sizes and the random start in draw order, the usable height, rescaling on resize.
#include "support/scene_fixture.h"
#include "support/view_setup.h"

using namespace tavrin;

class Layout : public fake::SceneTest {};

TEST_F(Layout, FreshLayoutDrawsPlaceSpeedAngleSpinInOrder) {
    auto view = View::create({{0, 0}, {1000, 500}}, true);
    fake.randomService.pushUnits({0.5, 0.25, 0, 0.25, /* wheel */ 0, 0.5, 0.5, 0, 0.6});
    const uint64_t before = fake.randomService.drawCount();
    view->layoutIfNeeded();
    const SceneObject &logo = view->objects[0], &wheel = view->objects[1];
    EXPECT_NEAR(logo.size.height, 54.83625, 1e-5);
    EXPECT_EQ(logo.position.x, 375);
    EXPECT_NEAR(logo.position.y, 111.29094, 1e-5);
    EXPECT_DOUBLE_EQ(logo.velocity.y, 0.52);
    EXPECT_EQ(wheel.position, (CGPoint{0, 218.75}));
    EXPECT_DOUBLE_EQ(wheel.velocity.x, 0.91);
    EXPECT_EQ(wheel.rotationSpeed, 0.02);  // 0.01 is raised to the minimum
    EXPECT_EQ(fake.randomService.drawCount() - before, 9u + 2u * 200u);
}

TEST_F(Layout, TopInsetLimitsSpritesButNotStars) {
    auto window = std::make_shared<fake::FakeWindow>();
    window->insets.top = 30;
    auto view = fake::viewOnWindow({{0, 0}, {1000, 500}}, window, {.preview = true});
    fake.randomService.pushUnits({0, 0.999999, 0, 0, 0, 0.999999, 0, 0, 0.9, 0.5, 0.999});
    view->layoutIfNeeded();
    const double logoTop = view->objects[0].position.y + view->objects[0].size.height;
    EXPECT_TRUE(logoTop <= 470 && logoTop > 469.99) << logoTop;
    EXPECT_NEAR(view->stars[0].position.y, 499.5, 1e-3);

    SceneObject big;
    big.size = {250, 600};
    big.position = {990, 100};
    view->clampObjectToBounds(&big);
    EXPECT_EQ(big.position, (CGPoint{750, 0}));
}

TEST_F(Layout, SmallResizeKeepsTheLayoutAndTinyBoundsGetNone) {
    auto view = showView({1000, 500});
    view->setFrameSize({1000.5, 500.5});
    EXPECT_EQ(view->layoutSize, (CGSize{1000, 500}));
    view->setFrameSize({1000.6, 500});
    EXPECT_EQ(view->layoutSize, (CGSize{1000.6, 500}));

    auto tiny = fake::viewOnWindow({{0, 0}, {1000, 0.9}}, windowOn(addDisplay({{0, 0}, {1000, 500}})),
                                   {.moveToWindow = true});
    EXPECT_FALSE(tiny->layoutValid);
    EXPECT_FALSE(tiny->edgeNeighborsValid);
}

TEST_F(Layout, RescaleScalesTheSceneAndFindsNeighboursAgain) {
    auto view = showView({1000, 500});
    place(*view, 0, {100, 50}, {1, 0.5});
    place(*view, 1, {400, 430}, {-1, 1});
    view->stars[0].position = {10, 20};
    view->activeParticleCount = 1;
    view->particles[0].position = {30, 40};
    view->particles[0].velocity = {3, 4};
    addDisplay({{1000, 0}, {1000, 500}});  // only a fresh neighbour search finds it
    const uint64_t draws = fake.randomService.drawCount();

    view->setFrameSize({2000, 500});

    EXPECT_EQ(fake.randomService.drawCount(), draws);
    EXPECT_EQ(view->objects[0].position, (CGPoint{200, 50}));
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{2, 0.5}));
    EXPECT_EQ(view->objects[1].size, (CGSize{125, 125}));
    EXPECT_EQ(view->objects[1].position, (CGPoint{800, 375}));  // clamped below the top
    EXPECT_EQ(view->stars[0].position, (CGPoint{20, 20}));
    EXPECT_EQ(view->particles[0].position, (CGPoint{60, 40}));
    EXPECT_EQ(view->particles[0].velocity, (CGPoint{3, 4}));
    EXPECT_TRUE(view->edgeNeighbors[EdgeRight].hasNeighbor);
}

TEST_F(Layout, PreviewNeverSearchesForNeighbours) {
    auto display = addDisplay({{0, 0}, {1000, 500}});
    addDisplay({{1000, 0}, {1000, 500}});
    EXPECT_FALSE(showOn(display, true)->edgeNeighbors[EdgeRight].hasNeighbor);
    EXPECT_TRUE(showOn(display)->edgeNeighbors[EdgeRight].hasNeighbor);
}
