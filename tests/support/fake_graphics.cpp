#include "support/fake_graphics.h"

namespace fake {

using Kind = DrawOp::Kind;

namespace {
DrawOp opOf(Kind kind) {
    DrawOp op;
    op.kind = kind;
    return op;
}
}  // namespace

void RecordingContext::setFillColor(const host::Color& c) {
    DrawOp op = opOf(Kind::SetFillColor);
    op.color = c;
    ops.push_back(op);
}

void RecordingContext::fillRect(const host::CGRect& r) {
    DrawOp op = opOf(Kind::FillRect);
    op.rect = r;
    ops.push_back(op);
}

void RecordingContext::fillEllipseInRect(const host::CGRect& r) {
    DrawOp op = opOf(Kind::FillEllipse);
    op.rect = r;
    ops.push_back(op);
}

void RecordingContext::saveGState() {
    ops.push_back(opOf(Kind::Save));
    ++depth;
    if (depth > maxDepth) maxDepth = depth;
}

void RecordingContext::restoreGState() {
    ops.push_back(opOf(Kind::Restore));
    --depth;
}

void RecordingContext::translateCTM(double tx, double ty) {
    DrawOp op = opOf(Kind::Translate);
    op.a = tx;
    op.b = ty;
    ops.push_back(op);
}

void RecordingContext::rotateCTM(double radians) {
    DrawOp op = opOf(Kind::Rotate);
    op.a = radians;
    ops.push_back(op);
}

void RecordingContext::setShadow(host::CGSize offset, double blur, const host::Color& color) {
    DrawOp op = opOf(Kind::SetShadow);
    op.shadowOffset = offset;
    op.a = blur;
    op.color = color;
    ops.push_back(op);
}

void RecordingContext::drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation o,
                                 double fraction) {
    DrawOp op = opOf(Kind::DrawImage);
    op.image = &image;
    op.rect = rect;
    op.op = o;
    op.fraction = fraction;
    ops.push_back(op);
    if (auto* src = dynamic_cast<const FakeImage*>(&image)) {
        ++src->timesDrawn;
        if (target_) target_->contents.emplace_back(src->name, rect);
    }
}

std::vector<const DrawOp*> RecordingContext::opsOfKind(DrawOp::Kind kind) const {
    std::vector<const DrawOp*> out;
    for (const auto& op : ops)
        if (op.kind == kind) out.push_back(&op);
    return out;
}

std::shared_ptr<host::Image> FakeGraphics::imageWithContentsOfSVGFile(const char* path) {
    loadedPaths.emplace_back(path);
    auto it = svgFiles.find(path);
    if (it == svgFiles.end()) return nullptr;
    return std::make_shared<FakeImage>(path, it->second);
}

std::shared_ptr<host::BitmapImageRep> FakeGraphics::createBitmap(int64_t w, int64_t h) {
    if (failBitmaps || w <= 0 || h <= 0) return nullptr;
    ++bitmapsCreated;
    return std::make_shared<FakeBitmap>(w, h);
}

std::unique_ptr<host::GraphicsContext> FakeGraphics::contextForBitmap(host::BitmapImageRep& bitmap) {
    if (failContexts) return nullptr;
    return std::make_unique<RecordingContext>(dynamic_cast<FakeBitmap*>(&bitmap));
}

void FakeGraphics::reset() {
    svgFiles.clear();
    failBitmaps = false;
    failContexts = false;
    bitmapsCreated = 0;
    loadedPaths.clear();
}

}  // namespace fake
