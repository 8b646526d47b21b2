// Which display adjoins each side of the view's display, and which stretch of that side they share.
#include <algorithm>
#include <cmath>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kAdjacencyTolerance = 2;  // points between facing sides, strictly less
constexpr double kMinSharedStretch = 2;    // points of shared side, strictly more

void setNeighbor(EdgeNeighbor& record, const CGRect& frame, double overlapMin, double overlapMax) {
    record.hasNeighbor = true;
    record.neighborScreenFrame = frame;
    record.overlapMin = overlapMin;
    record.overlapMax = overlapMax;
}

/// Records `other` on each side of `own` that it adjoins. Stretches are offsets from own's origin,
/// so they double as view coordinates along the matching side.
void recordAdjacentSides(EdgeNeighbor (&records)[kEdgeCount], const CGRect& own, const CGRect& other) {
    const double left = host::NSMinX(own), right = host::NSMaxX(own);
    const double bottom = host::NSMinY(own), top = host::NSMaxY(own);
    const double yLo = std::max(host::NSMinY(other), bottom), yHi = std::min(top, host::NSMaxY(other));
    const double xLo = std::max(host::NSMinX(other), left), xHi = std::min(right, host::NSMaxX(other));

    if (std::fabs(right - host::NSMinX(other)) < kAdjacencyTolerance && yHi - yLo > kMinSharedStretch)
        setNeighbor(records[EdgeRight], other, yLo - bottom, yHi - bottom);
    if (std::fabs(left - host::NSMaxX(other)) < kAdjacencyTolerance && yHi - yLo > kMinSharedStretch)
        setNeighbor(records[EdgeLeft], other, yLo - bottom, yHi - bottom);
    if (std::fabs(top - host::NSMinY(other)) < kAdjacencyTolerance && xHi - xLo > kMinSharedStretch)
        setNeighbor(records[EdgeTop], other, xLo - left, xHi - left);
    if (std::fabs(bottom - host::NSMaxY(other)) < kAdjacencyTolerance && xHi - xLo > kMinSharedStretch)
        setNeighbor(records[EdgeBottom], other, xLo - left, xHi - left);
}

}  // namespace

void Tavrin_ScreenSaverView::computeEdgeNeighbors() {
    for (EdgeNeighbor& record : edgeNeighbors) record.hasNeighbor = false;
    const host::Window* w = window();
    const std::shared_ptr<host::Screen> display = w ? w->screen() : nullptr;
    if (!display) return;  // stays stale, so the next layout tries again
    edgeNeighborsValid = true;

    const CGRect own = display->frame();
    // Displays are told apart by identity; a later display in the list overrides an earlier one
    // on the same side.
    for (const std::shared_ptr<host::Screen>& other : host::currentHost().screens->screens()) {
        if (!other || other == display) continue;
        recordAdjacentSides(edgeNeighbors, own, other->frame());
    }
}

}  // namespace tavrin
