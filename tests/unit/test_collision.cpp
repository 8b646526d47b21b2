// Collision of the logo (box) and the wheel (circle): contact tests, separation by inverse mass,
// the elastic impulse, and the effects that a cooldown holds back.
#include "module/simulation/sprite_geometry.h"
#include "support/scene_fixture.h"

using namespace tavrin;

class Collision : public fake::SceneTest {
protected:
    /// In 1000 x 500: logo 250 x 54.84 at (100, 100); wheel 62.5 (radius 30.375) at (340, 110),
    /// 21.25 right of the logo's right face.
    std::shared_ptr<View> headOn(CGPoint logoVelocity, CGPoint wheelVelocity) {
        auto view = showView({1000, 500});
        view->activeParticleCount = 0;
        view->objects[1].rotationSpeed = 0.03;
        place(*view, 0, {100, 100}, logoVelocity);
        place(*view, 1, {340, 110}, wheelVelocity);
        return view;
    }
};

TEST_F(Collision, HeadOnContactSeparatesBouncesAndShowsEffects) {
    auto view = headOn({1, 0}, {-1, 0});
    view->resolveCollisionBetween(0, 1);
    const SceneObject &logo = view->objects[0], &wheel = view->objects[1];
    EXPECT_NEAR(logo.position.x, 98.407, 1e-3);
    EXPECT_NEAR(wheel.position.x, 347.532, 1e-3);
    EXPECT_NEAR(logo.velocity.x, 0.302, 1e-3);
    EXPECT_NEAR(wheel.velocity.x, 2.302, 1e-3);
    EXPECT_EQ(wheel.rotationSpeed, -0.03);
    EXPECT_EQ(logo.collisionCooldown + wheel.collisionCooldown, 30);
    EXPECT_EQ(logo.flashIntensity + wheel.flashIntensity, 2);
    ASSERT_EQ(view->activeParticleCount, 20);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(view->particles[i].position, (CGPoint{350, 141.25}));
        EXPECT_GE(view->particles[i].velocity.x, 0);  // fanned around the normal (1, 0)
    }
}

TEST_F(Collision, SeparatingOrCoolingDownSpritesShowNoEffects) {
    auto apart = headOn({-1, 0}, {1, 0});
    apart->resolveCollisionBetween(0, 1);
    EXPECT_LT(apart->objects[0].position.x, 100);  // the overlap is still removed
    EXPECT_EQ(apart->objects[1].velocity.x, 1);
    EXPECT_EQ(apart->objects[1].rotationSpeed, 0.03);
    EXPECT_EQ(apart->activeParticleCount, 0);

    for (int cool : {0, 1}) {  // either sprite's cooldown holds the effects back
        auto cooling = headOn({1, 0}, {-1, 0});
        cooling->objects[cool].collisionCooldown = 3;
        cooling->resolveCollisionBetween(0, 1);
        EXPECT_NEAR(cooling->objects[1].velocity.x, 2.302, 1e-3);
        EXPECT_EQ(cooling->objects[1].rotationSpeed, 0.03);
        EXPECT_EQ(cooling->objects[1 - cool].collisionCooldown, 0);
        EXPECT_EQ(cooling->objects[0].flashIntensity, 0);
        EXPECT_EQ(cooling->activeParticleCount, 0);
    }

    auto resting = headOn({0, 0.5}, {0, 0.5});  // no relative normal speed: effects, no impulse
    resting->resolveCollisionBetween(0, 1);
    EXPECT_EQ(resting->objects[1].velocity, (CGPoint{0, 0.5}));
    EXPECT_EQ(resting->objects[1].rotationSpeed, -0.03);
}

TEST_F(Collision, SeparationStopsAtTheWall) {
    auto view = headOn({0, 0}, {-1, 0});
    place(*view, 0, {0, 100}, {0, 0});  // the wheel's centre is inside the logo, near its right face
    place(*view, 1, {200, 100}, {-1, 0});
    view->resolveCollisionBetween(0, 1);
    EXPECT_EQ(view->objects[0].position.x, 0);
}

TEST_F(Collision, CircleBoxContactFromInsideAndAtTheSurface) {
    Collider circle;
    circle.isCircle = true;
    circle.radius = 30.375;
    circle.center = {200, 150};  // 4.84 below the box's top face
    CGPoint normal{9, 9}, point;
    double depth = 9;
    ASSERT_TRUE(circleBoxContact(true, &normal, &depth, &point, circle, {{100, 100}, {250, 54.84}}));
    EXPECT_EQ(normal, (CGPoint{0, 1}));  // from the box (A) to the circle (B)
    EXPECT_NEAR(depth, 4.84 + 30.375, 1e-9);
    EXPECT_EQ(point, circle.center);

    circle.radius = 3;
    circle.center = {0, 0};
    ASSERT_TRUE(circleBoxContact(false, &normal, &depth, &point, circle, {{3, -1}, {2, 2}}));
    EXPECT_EQ(depth, 0);  // just touching is a contact
    EXPECT_EQ(point, (CGPoint{3, 0}));
    normal = {9, 9};
    EXPECT_FALSE(circleBoxContact(false, &normal, &depth, &point, circle, {{3.5, -1}, {2, 2}}));
    EXPECT_EQ(normal, (CGPoint{9, 9}));  // nothing written
}

TEST_F(Collision, OtherPairingsTouchingCirclesAndOverlappingBoxes) {
    Collider a, b;
    a.isCircle = b.isCircle = true;
    a.radius = 3;
    b.radius = 2;
    b.center = {5, 0};
    Contact contact;
    EXPECT_FALSE(contactBetween(a, b, &contact));  // exactly touching
    b.center = a.center;
    ASSERT_TRUE(contactBetween(a, b, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{1, 0}));

    Collider p, q;
    p.rect = {{0, 0}, {100, 100}};
    p.center = {50, 50};
    q.rect = {{90, 85}, {100, 100}};  // overlap 10 wide, 15 high: along x
    q.center = {140, 135};
    ASSERT_TRUE(contactBetween(p, q, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{1, 0}));
    EXPECT_EQ(contact.penetration, 10);
    q.rect.origin = {90, 90};  // square overlap: along y
    ASSERT_TRUE(contactBetween(q, p, &contact));
    EXPECT_EQ(contact.normal, (CGPoint{0, -1}));
    p.rect.size = {0.5, 0.5};
    EXPECT_EQ(inverseMass(p), 1);  // no mass counts as less than 1
}
