// Plane geometry of the host: points, sizes and rectangles of doubles, in points, origin at the
// lower left and y growing upwards. Display frames use one global space for all displays; view
// coordinates start at the view's lower-left corner.
#pragma once

namespace host {

using CGFloat = double;

struct CGPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    friend bool operator==(const CGRect&, const CGRect&) = default;
};

/// Insets of a view's usable area from each side, in points (the top one keeps sprites below a
/// notch or a panel).
struct NSEdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;
    friend bool operator==(const NSEdgeInsets&, const NSEdgeInsets&) = default;
};

inline constexpr CGRect NSZeroRect{};
inline constexpr CGSize NSZeroSize{};

constexpr CGRect NSMakeRect(double x, double y, double w, double h) { return {{x, y}, {w, h}}; }
constexpr double NSMinX(const CGRect& r) { return r.origin.x; }
constexpr double NSMinY(const CGRect& r) { return r.origin.y; }
constexpr double NSMaxX(const CGRect& r) { return r.origin.x + r.size.width; }
constexpr double NSMaxY(const CGRect& r) { return r.origin.y + r.size.height; }
constexpr double NSMidX(const CGRect& r) { return r.origin.x + r.size.width / 2; }
constexpr double NSMidY(const CGRect& r) { return r.origin.y + r.size.height / 2; }

/// True when the rectangle encloses no area (zero or negative width or height).
constexpr bool NSIsEmptyRect(const CGRect& r) { return !(r.size.width > 0 && r.size.height > 0); }

/// The overlap of two rectangles; the zero rectangle when they do not overlap or merely touch.
constexpr CGRect NSIntersectionRect(const CGRect& a, const CGRect& b) {
    const double minX = NSMinX(a) > NSMinX(b) ? NSMinX(a) : NSMinX(b);
    const double minY = NSMinY(a) > NSMinY(b) ? NSMinY(a) : NSMinY(b);
    const double maxX = NSMaxX(a) < NSMaxX(b) ? NSMaxX(a) : NSMaxX(b);
    const double maxY = NSMaxY(a) < NSMaxY(b) ? NSMaxY(a) : NSMaxY(b);
    if (!(maxX > minX) || !(maxY > minY)) return NSZeroRect;
    return {{minX, minY}, {maxX - minX, maxY - minY}};
}

}  // namespace host
