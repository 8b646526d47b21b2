// Colours, images, bitmaps and the graphics context the module draws through. Coordinates are
// view points with y upwards; angles are radians, counter-clockwise positive.
#pragma once

#include <cstdint>
#include <memory>

#include "host/geometry.h"

namespace host {

/// Red, green, blue and alpha in [0, 1].
struct RGBA {
    double red = 0, green = 0, blue = 0, alpha = 1;
};

/// A colour as the module makes it: from a grey level or from hue, saturation and brightness
/// (HSB, also called HSV; not HSL), each with an alpha, all in [0, 1].
struct Color {
    enum class Model { White, HSB };
    Model model = Model::White;
    double white = 0;
    double hue = 0, saturation = 0, brightness = 0;
    double alpha = 1;

    static Color blackColor() { return colorWithCalibratedWhite(0, 1); }
    static Color colorWithCalibratedWhite(double white, double alpha) {
        Color c;
        c.model = Model::White;
        c.white = white;
        c.alpha = alpha;
        return c;
    }
    static Color colorWithCalibratedHue(double hue, double saturation, double brightness, double alpha) {
        Color c;
        c.model = Model::HSB;
        c.hue = hue;
        c.saturation = saturation;
        c.brightness = brightness;
        c.alpha = alpha;
        return c;
    }
    /// The colour in RGB. Hue wraps around the circle (1 is red again); the components are
    /// clamped to [0, 1] first.
    RGBA rgba() const;
};

/// How a drawing combines with what is already there.
enum class CompositingOperation : int64_t {
    Copy = 1,        ///< replaces the destination
    SourceOver = 2,  ///< blends over the destination by the source's alpha
};

/// The platform's own side of an image that its graphics made. The module never looks inside;
/// the platform's contexts reach their images through it (Image::platformImage).
class PlatformImage {
protected:
    ~PlatformImage() = default;
};

/// Anything that can be drawn into a rectangle: a vector source or a bitmap.
class Image {
public:
    virtual ~Image() = default;
    /// Natural size in points.
    virtual CGSize size() const = 0;
    /// The platform's side of the image, for the platform's contexts; none for an image that the
    /// platform's graphics did not make.
    virtual const PlatformImage* platformImage() const { return nullptr; }
};

/// An RGBA bitmap of 8 bits per sample, interleaved, with its own pixel memory; its size in
/// points may differ from its pixel count (pixel density).
class BitmapImageRep : public Image {
public:
    virtual int64_t pixelsWide() const = 0;
    virtual int64_t pixelsHigh() const = 0;
    virtual void setSize(CGSize points) = 0;
};

/// A drawing surface. Every save must be matched by a restore. The shadow set in a saved state
/// falls under everything drawn after it in that state.
class GraphicsContext {
public:
    virtual ~GraphicsContext() = default;
    virtual void setFillColor(const Color& color) = 0;
    /// Fills the rectangle with the fill colour, replacing what was there.
    virtual void fillRect(const CGRect& rect) = 0;
    /// Fills the ellipse inscribed in the rectangle, blended over what is there.
    virtual void fillEllipseInRect(const CGRect& rect) = 0;
    virtual void saveGState() = 0;
    virtual void restoreGState() = 0;
    virtual void translateCTM(double tx, double ty) = 0;
    /// Rotates the current transform; a positive angle turns counter-clockwise on screen.
    virtual void rotateCTM(double radians) = 0;
    /// Sets the shadow of the current state: offset in points, blur radius in points, colour.
    virtual void setShadow(CGSize offset, double blur, const Color& color) = 0;
    /// Draws the whole image scaled into the rectangle, upright, with an overall opacity in [0, 1].
    virtual void drawImage(const Image& image, const CGRect& rect, CompositingOperation op, double fraction) = 0;
};

/// The context that drawing goes to now, and a stack to switch it temporarily (as drawing into a
/// bitmap does). Main thread only.
GraphicsContext* currentContext();
void setCurrentContext(GraphicsContext* context);
/// Pushes the current context. The stack holds kGraphicsStateDepth contexts: a deeper save is a
/// programming error, which aborts a debug build and is reported on standard error otherwise;
/// its restore then leaves no current context rather than a stale one.
void saveGraphicsState();
void restoreGraphicsState();  ///< pops it back
inline constexpr int kGraphicsStateDepth = 16;

/// Makes a context the current one for the life of the scope and brings the previous one back
/// at its end: the way to switch contexts, so that no path can leave a dangling current context.
class CurrentContextScope {
public:
    explicit CurrentContextScope(GraphicsContext* context) {
        saveGraphicsState();
        setCurrentContext(context);
    }
    ~CurrentContextScope() { restoreGraphicsState(); }
    CurrentContextScope(const CurrentContextScope&) = delete;
    CurrentContextScope& operator=(const CurrentContextScope&) = delete;
};

/// Makes images of the platform.
class Graphics {
public:
    virtual ~Graphics() = default;
    /// Loads an SVG file; none when it is missing or cannot be parsed.
    virtual std::shared_ptr<Image> imageWithContentsOfSVGFile(const char* path) = 0;
    /// A new, transparent RGBA bitmap; none when it cannot be made (zero or absurd sizes).
    virtual std::shared_ptr<BitmapImageRep> createBitmap(int64_t pixelsWide, int64_t pixelsHigh) = 0;
    /// A context that draws into the bitmap, with one unit being one point of the bitmap's size
    /// and y upwards; none when it cannot be made.
    virtual std::unique_ptr<GraphicsContext> contextForBitmap(BitmapImageRep& bitmap) = 0;
};

}  // namespace host
