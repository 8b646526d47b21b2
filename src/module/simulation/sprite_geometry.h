// Sizes, colliders, masses and contact tests of the two sprites: pure functions over plain records,
// so the collision and layout code only apply their results.
#pragma once

#include <cstdint>

#include "module/view/scene_model.h"

namespace tavrin {

inline constexpr double kLogoWidthFraction = 0.25;     ///< of the view's width
inline constexpr double kWheelSideFraction = 0.0625;   ///< of the view's width
inline constexpr double kSmallestMass = 1.0;           ///< floor under every mass

/// One contact-test collider, built afresh for each object on every collision test.
struct Collider {
    bool isCircle = false;
    CGPoint center;
    double radius = 0;  ///< circles only
    CGRect rect;        ///< boxes only
};

/// Contact between a circle and a box. `circleIsB` says the circle is the second object of the
/// pair; the normal always points from the first object towards the second. Returns false and
/// writes nothing when they do not touch; a circle that just touches gives penetration 0.
bool circleBoxContact(bool circleIsB, CGPoint* normal, double* penetration, CGPoint* contactPoint,
                      Collider circle, CGRect box);

/// The box of a sprite of that image type in a view `viewWidth` points wide. Both follow the width
/// alone, also in a view taller than it is wide.
CGSize spriteSizeForType(int64_t imageType, double viewWidth);

/// The collider of a sprite: the wheel is a circle inside its box, anything else its box.
Collider colliderFor(const SceneObject& object);

/// Area of the collider (pi r^2 or width x height), floored at kSmallestMass, inverted.
double inverseMass(const Collider& collider);

/// A contact between two colliders A and B.
struct Contact {
    CGPoint normal;            ///< unit vector from A towards B
    double penetration = 0;    ///< overlap depth along the normal, points
    CGPoint point;             ///< where the sparks of the collision start
};

/// Circle against circle. No contact when the distance of the centres is at least the sum of the
/// radii; coinciding centres use the normal (1, 0).
bool circleCircleContact(const Collider& a, const Collider& b, Contact* contact);

/// Box against box along the axis of least overlap; boxes that merely touch do not collide.
bool boxBoxContact(const Collider& a, const Collider& b, Contact* contact);

/// Any pair of colliders, dispatched by shape.
bool contactBetween(const Collider& a, const Collider& b, Contact* contact);

}  // namespace tavrin
