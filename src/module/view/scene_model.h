// The records of the scene. Every piece of a view's scene lives in fixed arrays of these, so a
// frame step and a draw never allocate. Units: view points, radians, per frame step.
#pragma once

#include <cstdint>

#include "host/geometry.h"

namespace tavrin {

using host::CGPoint;
using host::CGRect;
using host::CGSize;

inline constexpr int64_t ImageTypeLogo = 0;
inline constexpr int64_t ImageTypeWheel = 1;

inline constexpr int64_t EdgeLeft = 0;
inline constexpr int64_t EdgeRight = 1;
inline constexpr int64_t EdgeBottom = 2;
inline constexpr int64_t EdgeTop = 3;

inline constexpr int kObjectCount = 2;
inline constexpr int kTrailCapacity = 30;
inline constexpr int kStarCapacity = 200;
inline constexpr int kParticleCapacity = 500;
inline constexpr int kEdgeCount = 4;

/// The logo's box is this many times as wide as it is high (1313 : 288).
inline constexpr double kLogoAspect = 4.559027777777778;
/// The wheel collides as a circle of this fraction of its box's smaller side.
inline constexpr double kWheelRadiusFraction = 0.486;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kPi = 3.141592653589793;

struct SceneObject {
    CGPoint position;           ///< lower-left corner of the sprite's box, points
    CGPoint velocity;           ///< points per frame
    CGSize size;                ///< the box, points
    double rotation = 0;        ///< drawing angle, radians
    double rotationSpeed = 0;   ///< the wheel's spin, radians per frame; the logo's stays 0
    int64_t imageType = 0;      ///< ImageTypeLogo or ImageTypeWheel
    int64_t collisionCooldown = 0;  ///< frames during which a collision has no effects
    double flashIntensity = 0;  ///< 0 to 1, decays after a collision
};

struct TrailHistory {
    CGPoint positions[kTrailCapacity];  ///< past positions, newest at 0
    double rotations[kTrailCapacity];   ///< the rotations at those positions
    int64_t count = 0;                  ///< valid entries
};

struct Star {
    CGPoint position;
    CGPoint velocity;       ///< points per frame
    double brightness = 0;  ///< base alpha
    double twinklePhase = 0;   ///< radians
    double twinkleSpeed = 0;   ///< radians per frame
    double radius = 0;         ///< points
};

struct Particle {
    CGPoint position;       ///< centre
    CGPoint velocity;       ///< points per frame
    double lifetime = 0;    ///< 1 when new, dead at or below 0; also the drawing alpha
    double decay = 0;       ///< subtracted from lifetime each frame
    double size = 0;        ///< radius, points
    double hue = 0;         ///< 0 to 1
};

struct EdgeNeighbor {
    bool hasNeighbor = false;
    CGRect neighborScreenFrame;  ///< the neighbour's frame in global display coordinates
    double overlapMin = 0;  ///< start of the shared stretch, from this display's origin along the side
    double overlapMax = 0;  ///< its end; always more than 2 points past overlapMin
};

}  // namespace tavrin
