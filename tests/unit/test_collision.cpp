// Collision of the logo (box) and the wheel (circle): contact tests, separation by inverse mass,
// the elastic impulse, and the effects that a cooldown holds back.
#include <cmath>

#include "simulation/sprite_geometry.h"
#include "support/scene_fixture.h"

using namespace tavrin;

class Collision : public fake::SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        view = showView({1000, 500});  // logo 250 x 54.84, wheel 62.5, radius 30.375
        view->activeParticleCount = 0;
        view->objects[1].rotationSpeed = 0.03;
    }
    std::shared_ptr<View> view;
};

TEST_F(Collision, HeadOnContactSeparatesBouncesAndShowsEffects) {
    place(*view, 0, {100, 100}, {1, 0});
    place(*view, 1, {340, 110}, {-1, 0});
    view->resolveCollisionBetween(0, 1);

    const SceneObject& logo = view->objects[0];
    const SceneObject& wheel = view->objects[1];
    EXPECT_NEAR(logo.position.x, 98.407, 1e-3);
    EXPECT_NEAR(wheel.position.x, 347.532, 1e-3);
    EXPECT_EQ(logo.position.y, 100);
    EXPECT_EQ(wheel.position.y, 110);
    EXPECT_NEAR(logo.velocity.x, 0.302, 1e-3);
    EXPECT_NEAR(wheel.velocity.x, 2.302, 1e-3);
    EXPECT_EQ(logo.velocity.y, 0);
    // Momentum weighted by the masses is kept.
    const double massLogo = 250 * logo.size.height, massWheel = kPi * 30.375 * 30.375;
    EXPECT_NEAR(massLogo * logo.velocity.x + massWheel * wheel.velocity.x, massLogo - massWheel, 1e-6);
    EXPECT_EQ(wheel.rotationSpeed, -0.03);
    EXPECT_EQ(logo.rotationSpeed, 0);
    EXPECT_EQ(logo.collisionCooldown, 15);
    EXPECT_EQ(wheel.collisionCooldown, 15);
    EXPECT_EQ(logo.flashIntensity, 1);
    EXPECT_EQ(wheel.flashIntensity, 1);
    ASSERT_EQ(view->activeParticleCount, 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(view->particles[i].position, (CGPoint{350, 141.25}));
        EXPECT_GE(view->particles[i].velocity.x, 0);
    }
}

TEST_F(Collision, SeparatingSpritesAreOnlyPushedApart) {
    place(*view, 0, {100, 100}, {-1, 0});
    place(*view, 1, {340, 110}, {1, 0});
    view->resolveCollisionBetween(0, 1);
    EXPECT_LT(view->objects[0].position.x, 100);
    EXPECT_GT(view->objects[1].position.x, 340);
    EXPECT_EQ(view->objects[0].velocity.x, -1);
    EXPECT_EQ(view->objects[1].velocity.x, 1);
    EXPECT_EQ(view->objects[1].rotationSpeed, 0.03);
    EXPECT_EQ(view->objects[0].collisionCooldown, 0);
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(Collision, CooldownKeepsTheBounceButNotTheEffects) {
    place(*view, 0, {100, 100}, {1, 0});
    place(*view, 1, {340, 110}, {-1, 0});
    view->objects[0].collisionCooldown = 3;
    view->resolveCollisionBetween(0, 1);
    EXPECT_NEAR(view->objects[1].velocity.x, 2.302, 1e-3);
    EXPECT_EQ(view->objects[1].rotationSpeed, 0.03);
    EXPECT_EQ(view->objects[0].collisionCooldown, 3);
    EXPECT_EQ(view->objects[1].collisionCooldown, 0);
    EXPECT_EQ(view->objects[0].flashIntensity, 0);
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(Collision, RestingContactHasEffectsWithoutImpulse) {
    place(*view, 0, {100, 100}, {0, 0.5});
    place(*view, 1, {340, 110}, {0, 0.5});
    view->enableCollisionFlash = false;
    view->enableCollisionSparks = false;
    view->resolveCollisionBetween(0, 1);
    EXPECT_EQ(view->objects[0].velocity, (CGPoint{0, 0.5}));
    EXPECT_EQ(view->objects[1].velocity, (CGPoint{0, 0.5}));
    EXPECT_EQ(view->objects[1].rotationSpeed, -0.03);
    EXPECT_EQ(view->objects[0].collisionCooldown, 15);
    EXPECT_EQ(view->objects[0].flashIntensity, 0);
    EXPECT_EQ(view->activeParticleCount, 0);
}

TEST_F(Collision, SeparationStopsAtTheWall) {
    place(*view, 0, {0, 100}, {0, 0});
    place(*view, 1, {200, 100}, {-1, 0});  // centre inside the logo, nearest its right face
    view->resolveCollisionBetween(0, 1);
    EXPECT_EQ(view->objects[0].position.x, 0);  // pushed left, clamped
    EXPECT_GT(view->objects[1].position.x, 200);
    EXPECT_LT(view->objects[1].position.x, 250);  // still overlapping
}

TEST_F(Collision, CircleInsideBoxLeavesThroughTheNearestFace) {
    const CGRect box{{100, 100}, {250, 54.84}};
    Collider circle;
    circle.isCircle = true;
    circle.radius = 30.375;
    circle.center = {200, 150};  // 4.84 below the top face
    CGPoint normal, point;
    double depth = 0;
    ASSERT_TRUE(circleBoxContact(true, &normal, &depth, &point, circle, box));
    EXPECT_EQ(normal, (CGPoint{0, 1}));  // from the box (A) to the circle (B)
    EXPECT_NEAR(depth, 4.84 + 30.375, 1e-9);
    EXPECT_EQ(point, circle.center);
    ASSERT_TRUE(circleBoxContact(false, &normal, &depth, &point, circle, box));
    EXPECT_EQ(normal, (CGPoint{0, -1}));

    circle.center = {100, 127.42};  // on the left face, equally near nothing else: left wins
    ASSERT_TRUE(circleBoxContact(false, &normal, &depth, &point, circle, box));
    EXPECT_EQ(normal, (CGPoint{1, 0}));
    EXPECT_NEAR(depth, 30.375, 1e-9);
}

TEST_F(Collision, TouchingCirclesMissButATouchingCircleHitsABox) {
    Collider a, b;
    a.isCircle = b.isCircle = true;
    a.radius = 3;
    b.radius = 2;
    b.center = {5, 0};
    Contact contact;
    contact.penetration = -7;
    EXPECT_FALSE(circleCircleContact(a, b, &contact));
    EXPECT_EQ(contact.penetration, -7);  // untouched
    b.center = {3, 4 - 1e-9};
    ASSERT_TRUE(circleCircleContact(a, b, &contact));
    EXPECT_NEAR(contact.normal.x, 0.6, 1e-9);
    EXPECT_NEAR(contact.point.y, 2.4, 1e-9);
    b.center = a.center;
    ASSERT_TRUE(circleCircleContact(a, b, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{1, 0}));
    EXPECT_EQ(contact.penetration, 5);

    CGPoint normal{9, 9};
    double depth = 9;
    CGPoint point;
    EXPECT_FALSE(circleBoxContact(false, &normal, &depth, &point, a, {{3.5, -1}, {2, 2}}));
    EXPECT_EQ(normal, (CGPoint{9, 9}));
    ASSERT_TRUE(circleBoxContact(false, &normal, &depth, &point, a, {{3, -1}, {2, 2}}));
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(normal, (CGPoint{1, 0}));
    EXPECT_EQ(point, (CGPoint{3, 0}));
}

TEST_F(Collision, BoxesSeparateAlongTheSmallerOverlap) {
    Collider a, b;
    a.rect = {{0, 0}, {100, 100}};
    a.center = {50, 50};
    b.rect = {{90, 85}, {100, 100}};  // overlap 10 wide, 15 high
    b.center = {140, 135};
    Contact contact;
    ASSERT_TRUE(boxBoxContact(a, b, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{1, 0}));
    EXPECT_EQ(contact.penetration, 10);
    EXPECT_EQ(contact.point, (CGPoint{95, 92.5}));
    b.rect.origin = {90, 90};  // square overlap: along y
    ASSERT_TRUE(boxBoxContact(b, a, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{0, -1}));
    b.rect.origin = {100, 0};  // touching only
    EXPECT_FALSE(boxBoxContact(a, b, &contact));

    a.rect.size = {0.5, 0.5};  // mass under the floor of 1
    EXPECT_EQ(inverseMass(a), 1);
}
