// Graphics doubles: images that remember how often they were drawn, bitmaps that record what was
// drawn into them, and a context that records every drawing operation in order.
//
// What they do not model: pixels, blending, clipping and colour spaces.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/graphics.h"

namespace fake {

/// A source image (what an SVG file becomes).
class FakeImage : public host::Image {
public:
    FakeImage(std::string name, host::CGSize size) : name(std::move(name)), naturalSize(size) {}
    host::CGSize size() const override { return naturalSize; }
    std::string name;
    host::CGSize naturalSize;
    mutable int timesDrawn = 0;
};

class FakeBitmap : public host::BitmapImageRep {
public:
    FakeBitmap(int64_t w, int64_t h) : wide(w), high(h) {}
    host::CGSize size() const override { return points; }
    int64_t pixelsWide() const override { return wide; }
    int64_t pixelsHigh() const override { return high; }
    void setSize(host::CGSize s) override { points = s; }
    int64_t wide, high;
    host::CGSize points;
    /// Names of the images drawn into this bitmap, with their rectangles.
    std::vector<std::pair<std::string, host::CGRect>> contents;
};

struct DrawOp {
    enum class Kind { SetFillColor, FillRect, FillEllipse, Save, Restore, Translate, Rotate, SetShadow, DrawImage };
    Kind kind = Kind::Save;
    host::Color color;       // SetFillColor, SetShadow
    host::CGRect rect{};     // FillRect, FillEllipse, DrawImage
    double a = 0, b = 0;     // Translate (tx, ty), Rotate (a), SetShadow (blur in a; offset in shadowOffset)
    host::CGSize shadowOffset{};
    const host::Image* image = nullptr;  // DrawImage
    host::CompositingOperation op = host::CompositingOperation::SourceOver;
    double fraction = 0;     // DrawImage
};

/// Records operations; a draw into a FakeBitmap's context also lands in the bitmap's contents.
class RecordingContext : public host::GraphicsContext {
public:
    explicit RecordingContext(FakeBitmap* target = nullptr) : target_(target) { ops.reserve(4096); }
    void setFillColor(const host::Color& c) override;
    void fillRect(const host::CGRect& r) override;
    void fillEllipseInRect(const host::CGRect& r) override;
    void saveGState() override;
    void restoreGState() override;
    void translateCTM(double tx, double ty) override;
    void rotateCTM(double radians) override;
    void setShadow(host::CGSize offset, double blur, const host::Color& color) override;
    void drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation op,
                   double fraction) override;

    std::vector<DrawOp> ops;
    int depth = 0;     ///< saves minus restores
    int maxDepth = 0;
    std::vector<const DrawOp*> opsOfKind(DrawOp::Kind kind) const;

private:
    FakeBitmap* target_;
};

class FakeGraphics : public host::Graphics {
public:
    std::shared_ptr<host::Image> imageWithContentsOfSVGFile(const char* path) override;
    std::shared_ptr<host::BitmapImageRep> createBitmap(int64_t w, int64_t h) override;
    std::unique_ptr<host::GraphicsContext> contextForBitmap(host::BitmapImageRep& bitmap) override;

    /// path → natural size of the SVG there; a path not listed fails to load.
    std::map<std::string, host::CGSize> svgFiles;
    bool failBitmaps = false;
    bool failContexts = false;
    int bitmapsCreated = 0;
    std::vector<std::string> loadedPaths;
    void reset();
};

}  // namespace fake
