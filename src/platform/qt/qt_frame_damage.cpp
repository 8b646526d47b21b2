#include "platform/qt/qt_frame_damage.h"

#include <algorithm>
#include <cmath>

#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_images.h"
#include "platform/qt/qt_placement.h"

namespace qtbackend {
namespace {

int64_t area(const QRect& r) { return static_cast<int64_t>(r.width()) * r.height(); }

/// The bounding rectangle of two non-empty rectangles (QRect's own is out of line and checks for
/// empty ones; this runs thousands of times a frame).
inline QRect unite(const QRect& a, const QRect& b) {
    return QRect(QPoint(std::min(a.left(), b.left()), std::min(a.top(), b.top())),
                 QPoint(std::max(a.right(), b.right()), std::max(a.bottom(), b.bottom())));
}

}  // namespace

void DamageRecorder::begin(double heightPoints, double devicePixelRatio, QSize devicePixels) {
    base_ = QTransform(1, 0, 0, -1, 0, heightPoints);
    baseInverse_ = base_.inverted();
    toDevice_ = QTransform::fromScale(devicePixelRatio, devicePixelRatio);
    device_ = QRect(QPoint(0, 0), devicePixels);
    state_ = State{base_, false, {}, 0};
    stack_.clear();
    rects_.clear();
    fill_ = 0;
}

void DamageRecorder::add(const QRect& deviceRect) {
    const QRect inside = deviceRect & device_;
    if (!inside.isEmpty()) rects_.push_back(inside);
}

void DamageRecorder::setFillColor(const host::Color& color) {
    fill_ = QPainterContext::toQColor(color).rgba64().premultiplied().toArgb32();
}

void DamageRecorder::fillRect(const host::CGRect& rect) {
    if (fill_ == qRgba(0, 0, 0, 255)) return;  // the background
    add(filteredFootprint(toQRectF(rect), state_.ctm * toDevice_));
}

void DamageRecorder::fillEllipseInRect(const host::CGRect& rect) {
    if (qAlpha(fill_) == 0) return;
    // A disc smaller than a pixel is spread over a pixel's radius: one more pixel of margin.
    add(filteredFootprint(toQRectF(rect), state_.ctm * toDevice_).adjusted(-1, -1, 1, 1));
}

void DamageRecorder::saveGState() { stack_.push_back(state_); }

void DamageRecorder::restoreGState() {
    if (stack_.empty()) return;
    state_ = stack_.back();
    stack_.pop_back();
}

void DamageRecorder::translateCTM(double tx, double ty) { state_.ctm = QTransform::fromTranslate(tx, ty) * state_.ctm; }

void DamageRecorder::rotateCTM(double radians) {
    QTransform turn;
    turn.rotateRadians(radians);
    state_.ctm = turn * state_.ctm;
}

void DamageRecorder::setShadow(host::CGSize offset, double blur, const host::Color& color) {
    state_.shadow = QPainterContext::toQColor(color).alpha() > 0;
    state_.shadowOffset = offset;
    state_.shadowBlur = std::isfinite(blur) ? std::max(blur, 0.0) : 0.0;
}

void DamageRecorder::drawImage(const host::Image& image, const host::CGRect& rect, host::CompositingOperation op,
                               double fraction) {
    if (host::NSIsEmptyRect(rect) || !(fraction > 0)) return;
    if (const QtImage* qt = qtImageOf(image)) qt->drawWith(*this, {rect, op, fraction});
}

void DamageRecorder::drawBitmap(const QtBitmap& bitmap, const ImageDrawing& drawing) {
    const QImage& pixels = bitmap.image();
    if (pixels.isNull()) return;
    const QTransform upright = uprightIn(drawing.rect) * state_.ctm;
    const QTransform uprightToDevice = upright * toDevice_;
    const QRectF target(0, 0, drawing.rect.size.width, drawing.rect.size.height);
    const BitmapPlacement placement = placeBitmap(pixels.size(), target.size(), uprightToDevice);
    const QRect placed = placedBitmapFootprint(placement, pixels.size(), bitmap.opaqueBounds());
    // A turned copy too large to keep is drawn smoothly instead, over a little more.
    const bool kept =
        placement.asIs || (placed.width() < TurnedCache::kMaxSide && placed.height() < TurnedCache::kMaxSide);
    add(kept ? placed : filteredFootprint(target, uprightToDevice));
    addShadow(pixels.size(), target.size(), upright);
}

void DamageRecorder::drawSvg(const QtSvgImage&, const ImageDrawing& drawing) {
    // Drawn straight from its source; its shadow is made from a raster copy at device scale.
    const QTransform upright = uprightIn(drawing.rect) * state_.ctm;
    const QTransform uprightToDevice = upright * toDevice_;
    const QRectF target(0, 0, drawing.rect.size.width, drawing.rect.size.height);
    add(filteredFootprint(target, uprightToDevice));
    addShadow(svgShadowRaster(target.size(), uprightToDevice), target.size(), upright);
}

void DamageRecorder::addShadow(QSize source, QSizeF target, const QTransform& upright) {
    if (!state_.shadow) return;
    const ShadowPlacement shadow =
        placeShadow(source, target, upright, base_, baseInverse_, state_.shadowOffset, state_.shadowBlur);
    // One pixel more: a glow that keeps its blur is placed at the nearest quarter pixel.
    if (shadow.visible) add(filteredFootprint(shadow.padded, shadow.world * toDevice_).adjusted(-1, -1, 1, 1));
}

namespace {

/// One round of merging at a rectangle cost: each rectangle absorbs every other one whose union
/// with it costs no more than the two apart, until no pair is left to merge.
void mergeAtCost(std::vector<QRect>& rects, int64_t rectCost) {
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size(); ++i) {
            for (size_t j = i + 1; j < rects.size();) {
                const QRect joined = unite(rects[i], rects[j]);
                if (area(joined) <= area(rects[i]) + area(rects[j]) + rectCost) {
                    rects[i] = joined;
                    rects[j] = rects.back();
                    rects.pop_back();
                    merged = true;
                    j = i + 1;  // the grown rectangle may now reach ones already passed
                } else {
                    ++j;
                }
            }
        }
    }
}

/// Merges the pair whose union adds the fewest pixels, again and again, until `limit` rectangles
/// are left. Each rectangle remembers its cheapest partner, so a merge costs one pass over the
/// others rather than over all pairs.
void mergeCheapestPairs(std::vector<QRect>& rects, size_t limit) {
    const size_t n = rects.size();
    std::vector<char> alive(n, 1);
    std::vector<size_t> partner(n, 0);
    std::vector<int64_t> cost(n, 0);
    const auto extra = [&](size_t i, size_t j) { return area(unite(rects[i], rects[j])) - area(rects[i]) - area(rects[j]); };
    const auto findPartner = [&](size_t i) {
        cost[i] = INT64_MAX;
        for (size_t j = 0; j < n; ++j) {
            if (j == i || !alive[j]) continue;
            const int64_t c = extra(i, j);
            if (c < cost[i]) cost[i] = c, partner[i] = j;
        }
    };
    for (size_t i = 0; i < n; ++i) findPartner(i);
    for (size_t count = n; count > limit && count > 1; --count) {
        size_t i = n;
        for (size_t k = 0; k < n; ++k)
            if (alive[k] && (i == n || cost[k] < cost[i])) i = k;
        const size_t j = partner[i];
        rects[i] = unite(rects[i], rects[j]);
        alive[j] = 0;
        for (size_t k = 0; k < n; ++k) {
            if (!alive[k] || k == i) continue;
            if (partner[k] == i || partner[k] == j) {
                findPartner(k);  // its partner grew or is gone
            } else if (const int64_t c = extra(k, i); c < cost[k]) {
                cost[k] = c, partner[k] = i;
            }
        }
        findPartner(i);
    }
    size_t kept = 0;
    for (size_t k = 0; k < n; ++k)
        if (alive[k]) rects[kept++] = rects[k];
    rects.resize(kept);
}

}  // namespace

void coalesceDamage(std::vector<QRect>& rects, int maxCount, int64_t rectCost) {
    rects.erase(std::remove_if(rects.begin(), rects.end(), [](const QRect& r) { return r.isEmpty(); }), rects.end());
    // Neighbours first: sorted by their top edge, most merges happen between rectangles met one
    // after the other, and the pairwise rounds below start from far fewer rectangles.
    std::sort(rects.begin(), rects.end(), [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
    size_t kept = 0;
    for (size_t i = 0; i < rects.size(); ++i) {
        bool absorbed = false;
        for (size_t k = kept; k-- > 0 && k + 8 >= kept;) {
            const QRect joined = unite(rects[k], rects[i]);
            if (area(joined) <= area(rects[k]) + area(rects[i]) + rectCost) {
                rects[k] = joined;
                absorbed = true;
                break;
            }
        }
        if (!absorbed) rects[kept++] = rects[i];
    }
    rects.resize(kept);
    mergeAtCost(rects, rectCost);
    const size_t limit = static_cast<size_t>(std::max(maxCount, 1));
    if (rects.size() > limit) {
        mergeCheapestPairs(rects, limit);
    }
}

}  // namespace qtbackend
