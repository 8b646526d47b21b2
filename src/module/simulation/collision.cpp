// Collision between the two sprites: contact tests of their colliders, separation by inverse mass,
// a perfectly elastic impulse, and the visible effects (spin reversal, flash, sparks).
#include <algorithm>
#include <cmath>

#include "module/simulation/sprite_geometry.h"
#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kCoincidenceEpsilon = 1e-9;  // squared distance below which two points coincide
constexpr int64_t kCollisionCooldownFrames = 15;
constexpr int64_t kCollisionSparkCount = 20;
constexpr double kCollisionSparkSpread = kPi / 2;

CGPoint centerOf(const SceneObject& object) {
    return {object.position.x + object.size.width / 2, object.position.y + object.size.height / 2};
}

}  // namespace

CGSize spriteSizeForType(int64_t imageType, double viewWidth) {
    if (imageType == ImageTypeLogo) {
        const double width = kLogoWidthFraction * viewWidth;
        return {width, width / kLogoAspect};
    }
    const double side = kWheelSideFraction * viewWidth;
    return {side, side};
}

Collider colliderFor(const SceneObject& object) {
    Collider c;
    c.center = centerOf(object);
    if (object.imageType == ImageTypeWheel) {
        c.isCircle = true;
        c.radius = kWheelRadiusFraction * std::min(object.size.width, object.size.height);
    } else {
        c.rect = {object.position, object.size};
    }
    return c;
}

double inverseMass(const Collider& collider) {
    const double mass = collider.isCircle ? kPi * collider.radius * collider.radius
                                          : collider.rect.size.width * collider.rect.size.height;
    return 1.0 / std::max(mass, kSmallestMass);
}

bool circleCircleContact(const Collider& a, const Collider& b, Contact* contact) {
    const double dx = b.center.x - a.center.x;
    const double dy = b.center.y - a.center.y;
    const double q = dx * dx + dy * dy;
    const double reach = a.radius + b.radius;
    if (q >= reach * reach) return false;
    if (q > kCoincidenceEpsilon) {
        const double distance = std::sqrt(q);
        contact->normal = {dx / distance, dy / distance};
        contact->penetration = reach - distance;
        contact->point = {a.center.x + a.radius * contact->normal.x, a.center.y + a.radius * contact->normal.y};
    } else {
        contact->normal = {1, 0};
        contact->penetration = reach;
        contact->point = a.center;
    }
    return true;
}

bool circleBoxContact(bool circleIsB, CGPoint* normal, double* penetration, CGPoint* contactPoint,
                      Collider circle, CGRect box) {
    const CGPoint c = circle.center;
    const double r = circle.radius;
    const double bx = box.origin.x, by = box.origin.y;
    const double bw = box.size.width, bh = box.size.height;

    const CGPoint closest{std::min(std::max(c.x, bx), bx + bw), std::min(std::max(c.y, by), by + bh)};
    const double dx = closest.x - c.x;
    const double dy = closest.y - c.y;
    const double q = dx * dx + dy * dy;

    CGPoint n;
    double depth;
    CGPoint point;
    if (q > kCoincidenceEpsilon) {
        // Centre outside the box: the normal runs from the centre to the nearest point.
        if (q > r * r) return false;
        const double distance = std::sqrt(q);
        n = {dx / distance, dy / distance};
        depth = r - distance;
        point = closest;
    } else {
        // Centre inside (or on) the box: push out through the nearest face, the first of
        // left, right, bottom, top on a tie.
        const double left = c.x - bx;
        const double right = bx + bw - c.x;
        const double bottom = c.y - by;
        const double top = by + bh - c.y;
        const double nearest = std::min(std::min(left, right), std::min(bottom, top));
        if (left == nearest) {
            n = {1, 0};
            depth = left + r;
        } else if (right == nearest) {
            n = {-1, 0};
            depth = right + r;
        } else if (bottom == nearest) {
            n = {0, 1};
            depth = bottom + r;
        } else {
            n = {0, -1};
            depth = top + r;
        }
        point = c;
    }
    // n points from the circle to the box; flip it when the box is the first object.
    *normal = circleIsB ? CGPoint{-n.x, -n.y} : n;
    *penetration = depth;
    *contactPoint = point;
    return true;
}

bool boxBoxContact(const Collider& a, const Collider& b, Contact* contact) {
    const CGRect overlap = host::NSIntersectionRect(a.rect, b.rect);
    if (host::NSIsEmptyRect(overlap)) return false;
    if (overlap.size.height > overlap.size.width) {
        contact->normal = {b.center.x >= a.center.x ? 1.0 : -1.0, 0};
        contact->penetration = overlap.size.width;
    } else {
        contact->normal = {0, a.center.y <= b.center.y ? 1.0 : -1.0};
        contact->penetration = overlap.size.height;
    }
    contact->point = {host::NSMidX(overlap), host::NSMidY(overlap)};
    return true;
}

bool contactBetween(const Collider& a, const Collider& b, Contact* contact) {
    if (a.isCircle && b.isCircle) return circleCircleContact(a, b, contact);
    if (a.isCircle) return circleBoxContact(false, &contact->normal, &contact->penetration, &contact->point, a, b.rect);
    if (b.isCircle) return circleBoxContact(true, &contact->normal, &contact->penetration, &contact->point, b, a.rect);
    return boxBoxContact(a, b, contact);
}

void Tavrin_ScreenSaverView::resolveCollisionBetween(int64_t a, int64_t b) {
    if (a < 0 || a >= kObjectCount || b < 0 || b >= kObjectCount || a == b) return;
    SceneObject& A = objects[a];
    SceneObject& B = objects[b];
    const Collider colliderA = colliderFor(A);
    const Collider colliderB = colliderFor(B);

    Contact contact;
    if (!contactBetween(colliderA, colliderB, &contact)) return;
    const CGPoint n = contact.normal;

    // Separate in proportion to the inverse masses: the lighter sprite moves further.
    const double iA = inverseMass(colliderA);
    const double iB = inverseMass(colliderB);
    const double s = iA + iB;
    const double shareA = iA / s * contact.penetration;
    const double shareB = iB / s * contact.penetration;
    A.position = {A.position.x - shareA * n.x, A.position.y - shareA * n.y};
    B.position = {B.position.x + shareB * n.x, B.position.y + shareB * n.y};
    clampObjectToBounds(&A);
    clampObjectToBounds(&B);

    const double vn = (B.velocity.x - A.velocity.x) * n.x + (B.velocity.y - A.velocity.y) * n.y;
    if (vn > 0) return;  // already moving apart

    // Restitution 1: the normal component of the relative velocity is reversed.
    const double j = -2 * vn / s;
    A.velocity = {A.velocity.x - iA * j * n.x, A.velocity.y - iA * j * n.y};
    B.velocity = {B.velocity.x + iB * j * n.x, B.velocity.y + iB * j * n.y};

    if (A.collisionCooldown > 0 || B.collisionCooldown > 0) return;

    if (A.imageType == ImageTypeWheel) A.rotationSpeed = -A.rotationSpeed;
    if (B.imageType == ImageTypeWheel) B.rotationSpeed = -B.rotationSpeed;
    A.collisionCooldown = kCollisionCooldownFrames;
    B.collisionCooldown = kCollisionCooldownFrames;
    if (enableCollisionFlash) {
        A.flashIntensity = 1;
        B.flashIntensity = 1;
    }
    if (enableCollisionSparks)
        spawnSparksAtPoint(contact.point, kCollisionSparkCount, std::atan2(n.y, n.x), kCollisionSparkSpread);
}

}  // namespace tavrin
