// Sparks that cross to the neighbouring display: one view posts where and how a burst leaves its
// display, and the view of the display named as the target spawns it on its facing side.
#include <cmath>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

using namespace host::sparkleak;

constexpr double kFrameMatchTolerance = 1;  // points per coordinate, inclusive
constexpr int64_t kOppositeEdge[kEdgeCount] = {EdgeRight, EdgeLeft, EdgeTop, EdgeBottom};

/// True when every coordinate of the two frames is within the tolerance. A coordinate that is not
/// a number matches nothing.
bool framesMatch(const CGRect& a, const CGRect& b) {
    return std::fabs(a.origin.x - b.origin.x) <= kFrameMatchTolerance &&
           std::fabs(a.origin.y - b.origin.y) <= kFrameMatchTolerance &&
           std::fabs(a.size.width - b.size.width) <= kFrameMatchTolerance &&
           std::fabs(a.size.height - b.size.height) <= kFrameMatchTolerance;
}

}  // namespace

void Tavrin_ScreenSaverView::postSparkLeakToEdge(int64_t edge, double positionFraction, int64_t sparkCount,
                                                 double angleCenter, double angleSpread) {
    if (edge < 0 || edge >= kEdgeCount) return;
    const EdgeNeighbor& neighbor = edgeNeighbors[edge];
    if (!neighbor.hasNeighbor) return;

    // Built on the stack: posting allocates nothing.
    host::UserInfo info;
    info.set(kTargetScreenFrameKey, host::InfoValue::valueWithRect(neighbor.neighborScreenFrame));
    info.set(kEdgeKey, host::InfoValue::numberWithInteger(edge));
    info.set(kPositionFractionKey, host::InfoValue::numberWithDouble(positionFraction));
    info.set(kSparkCountKey, host::InfoValue::numberWithInteger(sparkCount));
    info.set(kAngleCenterKey, host::InfoValue::numberWithDouble(angleCenter));
    info.set(kAngleSpreadKey, host::InfoValue::numberWithDouble(angleSpread));
    // Every view receives it, this one too; this view's display is never its own neighbour, so it
    // drops its own post at the frame test.
    host::currentHost().defaultCenter->postNotificationName(TavrinSparkLeakNotification, this, &info);
}

void Tavrin_ScreenSaverView::handleSparkLeak(const Notification& notification) {
    if (!enableCollisionSparks || !enableCrossMonitorSparks || isPreviewMode) return;
    const host::UserInfo* info = notification.userInfo;
    if (!info) return;

    const CGRect target = info->objectForKeyedSubscript(kTargetScreenFrameKey).rectValue();
    const host::Window* w = window();
    const std::shared_ptr<host::Screen> display = w ? w->screen() : nullptr;
    if (!display) return;
    if (!framesMatch(display->frame(), target)) return;  // meant for another display

    const int64_t edge = info->objectForKeyedSubscript(kEdgeKey).integerValue();
    const int64_t sparkCount = info->objectForKeyedSubscript(kSparkCountKey).integerValue();
    const double fraction = info->objectForKeyedSubscript(kPositionFractionKey).doubleValue();
    const double angleCenter = info->objectForKeyedSubscript(kAngleCenterKey).doubleValue();
    const double angleSpread = info->objectForKeyedSubscript(kAngleSpreadKey).doubleValue();
    if (static_cast<uint64_t>(edge) >= static_cast<uint64_t>(kEdgeCount)) return;
    // A fraction outside the shared stretch names no point of it (and a huge one would put the
    // sparks at no finite place); a fan whose ends cannot be computed gives no heading. Values
    // that are not numbers fail both tests.
    if (!(fraction >= 0 && fraction <= 1)) return;
    if (!std::isfinite(angleCenter - angleSpread) || !std::isfinite(angleCenter + angleSpread) ||
        !std::isfinite(2 * angleSpread))
        return;

    const int64_t facing = kOppositeEdge[edge];
    const EdgeNeighbor& side = edgeNeighbors[facing];
    if (!side.hasNeighbor) return;

    const double v = side.overlapMin + fraction * (side.overlapMax - side.overlapMin);
    const CGSize size = bounds().size;
    CGPoint point;
    switch (facing) {
        case EdgeLeft: point = {0, v}; break;
        case EdgeRight: point = {size.width, v}; break;
        case EdgeBottom: point = {v, 0}; break;
        default: point = {v, size.height}; break;
    }
    spawnSparksAtPoint(point, sparkCount, angleCenter, angleSpread);
}

}  // namespace tavrin
