// Layout: sizes from the view's width, the random start and its draw order, the usable height
// below a top inset, rescaling on resize, and when the edge neighbours are found again.
#include "support/scene_fixture.h"

using namespace tavrin;

class Layout : public fake::SceneTest {};

TEST_F(Layout, FreshLayoutDrawsPlaceSpeedAngleSpinInOrder) {
    auto display = addDisplay({{0, 0}, {1000, 500}});
    auto view = View::create({{0, 0}, {1000, 500}}, false);
    view->hostAttachWindow(windowOn(display));
    // logo: x, y, speed, angle; wheel: x, y, speed, angle, spin (-0.05 + 0.1 * 0.6 = 0.01 -> 0.02)
    fake.randomService.pushUnits({0.5, 0.25, 0, 0.25, 0, 0.5, 0.5, 0, 0.6});
    const uint64_t drawsBefore = fake.randomService.drawCount();
    view->viewDidMoveToWindow();

    const SceneObject& logo = view->objects[0];
    const SceneObject& wheel = view->objects[1];
    EXPECT_DOUBLE_EQ(logo.size.width, 250);
    EXPECT_NEAR(logo.size.height, 54.83625, 1e-5);
    EXPECT_DOUBLE_EQ(logo.position.x, 375);
    EXPECT_NEAR(logo.position.y, 111.29094, 1e-5);
    EXPECT_NEAR(logo.velocity.x, 0, 1e-12);
    EXPECT_DOUBLE_EQ(logo.velocity.y, 0.52);
    EXPECT_EQ(logo.rotationSpeed, 0);
    EXPECT_EQ(wheel.size, (CGSize{62.5, 62.5}));
    EXPECT_EQ(wheel.position, (CGPoint{0, 218.75}));
    EXPECT_DOUBLE_EQ(wheel.velocity.x, 0.91);
    EXPECT_EQ(wheel.velocity.y, 0);
    EXPECT_EQ(wheel.rotationSpeed, 0.02);
    // Nine values for the sprites and two for each of the 200 stars, nothing more.
    EXPECT_EQ(fake.randomService.drawCount() - drawsBefore, 9u + 400u);
    EXPECT_TRUE(view->layoutValid);
    EXPECT_EQ(view->layoutSize, (CGSize{1000, 500}));
    EXPECT_TRUE(view->edgeNeighborsValid);
}

TEST_F(Layout, SlowSpinIsRaisedToTheMinimumKeepingItsSign) {
    const std::pair<double, double> cases[] = {{0.45, -0.02}, {0.5, 0.02}, {0.1, -0.04}, {0.0, -0.05}};
    for (auto [u, expected] : cases) {
        auto view = View::create({{0, 0}, {1000, 500}}, true);
        fake.randomService.pushUnits({0, 0, 0, 0, 0, 0, 0, 0, u});
        view->layoutIfNeeded();
        EXPECT_NEAR(view->objects[1].rotationSpeed, expected, 1e-8) << "u = " << u;
    }
}

TEST_F(Layout, BoundsUnderOnePointAreNotLaidOut) {
    auto display = addDisplay({{0, 0}, {1000, 500}});
    addDisplay({{1000, 0}, {1000, 500}});
    for (CGSize size : {CGSize{0.9, 500}, CGSize{1000, 0.9}}) {
        auto view = View::create({{0, 0}, size}, false);
        view->hostAttachWindow(windowOn(display));
        const uint64_t draws = fake.randomService.drawCount();
        view->viewDidMoveToWindow();
        EXPECT_FALSE(view->layoutValid);
        EXPECT_FALSE(view->edgeNeighborsValid);
        EXPECT_FALSE(view->edgeNeighbors[EdgeRight].hasNeighbor);
        EXPECT_EQ(fake.randomService.drawCount(), draws);
    }
}

TEST_F(Layout, TopInsetLimitsSpritesButNotStars) {
    auto display = addDisplay({{0, 0}, {1000, 500}});
    auto view = View::create({{0, 0}, {1000, 500}}, false);
    auto window = windowOn(display);
    window->insets.top = 30;
    view->hostAttachWindow(window);
    fake.randomService.pushUnits({0, 0.999999, 0, 0, 0, 0.999999, 0, 0, 0.9, 0.5, 0.999});
    view->viewDidMoveToWindow();
    EXPECT_EQ(view->effectiveMaxY(), 470);
    EXPECT_LE(view->objects[0].position.y + view->objects[0].size.height, 470);
    EXPECT_GT(view->objects[0].position.y + view->objects[0].size.height, 469.99);
    EXPECT_LE(view->objects[1].position.y + 62.5, 470);
    EXPECT_NEAR(view->stars[0].position.y, 499.5, 1e-3);

    SceneObject big;
    big.size = {250, 600};
    big.position = {990, 100};
    view->clampObjectToBounds(&big);
    EXPECT_EQ(big.position, (CGPoint{750, 0}));
    big.position = {-5, -5};
    big.size = {10, 10};
    view->clampObjectToBounds(&big);
    EXPECT_EQ(big.position, (CGPoint{0, 0}));
}

TEST_F(Layout, ResizeRescalesOnlyBeyondHalfAPoint) {
    auto view = showView({1000, 500});
    view->setFrameSize({1000.5, 500.5});
    EXPECT_EQ(view->layoutSize, (CGSize{1000, 500}));
    view->setFrameSize({1000.6, 500});
    EXPECT_EQ(view->layoutSize, (CGSize{1000.6, 500}));
}

TEST_F(Layout, RescaleScalesTheSceneAndFindsNeighboursAgain) {
    auto view = showView({1000, 500});
    place(*view, 0, {100, 50}, {1, 0.5});
    place(*view, 1, {400, 430}, {-1, 1});
    view->objects[1].rotationSpeed = 0.03;
    view->trails[0].count = 5;
    view->trails[1].count = 5;
    view->stars[0].position = {10, 20};
    view->stars[0].velocity = {0.1, 0.2};
    view->activeParticleCount = 1;
    view->particles[0].position = {30, 40};
    view->particles[0].velocity = {3, 4};
    addDisplay({{1000, 0}, {1000, 500}});  // appears only through the recomputation
    const uint64_t draws = fake.randomService.drawCount();

    view->setFrameSize({2000, 500});

    EXPECT_EQ(fake.randomService.drawCount(), draws);
    EXPECT_EQ(view->objects[0].position, (CGPoint{200, 50}));
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{2, 0.5}));
    EXPECT_EQ(view->objects[1].size, (CGSize{125, 125}));
    EXPECT_EQ(view->objects[1].position, (CGPoint{800, 375}));  // clamped below the top
    EXPECT_EQ(view->objects[1].velocity, (CGPoint{-2, 1}));
    EXPECT_EQ(view->objects[1].rotationSpeed, 0.03);
    EXPECT_EQ(view->trails[0].count, 0);
    EXPECT_EQ(view->trails[1].count, 0);
    EXPECT_EQ(view->stars[0].position, (CGPoint{20, 20}));
    EXPECT_EQ(view->stars[0].velocity, (CGPoint{0.1, 0.2}));
    EXPECT_EQ(view->particles[0].position, (CGPoint{60, 40}));
    EXPECT_EQ(view->particles[0].velocity, (CGPoint{3, 4}));
    EXPECT_EQ(view->layoutSize, (CGSize{2000, 500}));
    EXPECT_TRUE(view->edgeNeighborsValid);
    EXPECT_TRUE(view->edgeNeighbors[EdgeRight].hasNeighbor);
}

TEST_F(Layout, ClearedNeighboursAreFoundAgainWithoutRelayout) {
    auto view = showView({1000, 500});
    auto preview = showView({1000, 500}, true);
    addDisplay({{1000, 0}, {1000, 500}});
    const CGPoint logoAt = view->objects[0].position;
    view->edgeNeighborsValid = false;
    preview->edgeNeighborsValid = false;
    view->layoutIfNeeded();
    preview->layoutIfNeeded();
    EXPECT_EQ(view->objects[0].position, logoAt);
    EXPECT_TRUE(view->edgeNeighborsValid);
    EXPECT_TRUE(view->edgeNeighbors[EdgeRight].hasNeighbor);
    EXPECT_FALSE(preview->edgeNeighborsValid);  // a preview never looks for neighbours
    EXPECT_FALSE(preview->edgeNeighbors[EdgeRight].hasNeighbor);
}
