#include "platform/qt/qt_frame_renderer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/qt/qt_graphics.h"

namespace qtbackend {

const std::vector<QRect>& FrameRenderer::measure(double heightPoints, double devicePixelRatio, QSize devicePixels) {
    // Where the scene draws now, from a pass over the same drawing calls that draws nothing.
    damage_.begin(heightPoints, devicePixelRatio, devicePixels);
    {
        const host::CurrentContextScope bounds(&damage_);
        view_.drawRect(view_.bounds());
    }
    std::vector<QRect>& now = damage_.rects();
    coalesceDamage(now, kMaxDamageRects, kDamageRectCost);
    return now;
}

bool FrameRenderer::takeDamage(ShownFrame& shown) {
    const std::vector<QRect>& now = damage_.rects();
    const bool whole = !shown.valid;
    changed_.clear();
    if (!whole) {
        changed_.assign(shown.bounds.begin(), shown.bounds.end());
        changed_.insert(changed_.end(), now.begin(), now.end());
        coalesceDamage(changed_, kMaxDamageRects, kDamageRectCost);
    }
    // A copy, not a swap: several pictures may take their damage from one measure. Their vectors
    // keep their capacity, so this allocates only while they grow.
    shown.bounds.assign(now.begin(), now.end());
    shown.valid = true;
    return whole;
}

void FrameRenderer::addMeasured(ShownFrame& shown) {
    const std::vector<QRect>& now = damage_.rects();
    shown.bounds.insert(shown.bounds.end(), now.begin(), now.end());
    coalesceDamage(shown.bounds, kMaxDamageRects, kDamageRectCost);
}

void FrameRenderer::draw(QImage& image, double heightPoints, bool whole) {
    QRegion changed;  // device pixels
    if (!whole)
        for (const QRect& r : changed_) changed += r;
    QPainter painter(&image);
    {
        std::optional<QPainterContext> context;
        if (whole) {
            context.emplace(painter, heightPoints);
        } else {
            context.emplace(painter, heightPoints, changed);
        }
        const host::CurrentContextScope drawing(&*context);
        view_.drawRect(view_.bounds());
    }
}

int FrameGrid::nextDelayMs(double intervalSeconds) {
    // A view asking for 0, or for no number at all, cannot starve the loop.
    constexpr double kMinIntervalMs = 1.0;
    const double requested = intervalSeconds * 1000.0;
    const double interval = std::isfinite(requested) ? std::max(requested, kMinIntervalMs) : kMinIntervalMs;
    const double now = static_cast<double>(clock_.elapsed());
    nextMs_ += interval;
    if (nextMs_ < now) nextMs_ = now;
    return static_cast<int>(std::ceil(nextMs_ - now));
}

void FrameRateOverlay::draw(QPainter& painter, int heightPoints) {
    if (!clock_.isValid()) clock_.start();
    ++framesThisSecond_;
    const qint64 elapsed = clock_.elapsed();
    if (elapsed >= 1000) {
        rate_ = static_cast<int>(std::lround(framesThisSecond_ * 1000.0 / static_cast<double>(elapsed)));
        framesThisSecond_ = 0;
        clock_.restart();
    }
    painter.resetTransform();
    QFont font = painter.font();
    font.setPixelSize(std::max(10, std::min(heightPoints / 30, 24)));
    painter.setFont(font);
    const QString text = QStringLiteral("%1 fps").arg(rate_);
    const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    const QRect placed(QPoint(4, heightPoints - box.height() - 4), box.size());
    box_ = placed.adjusted(0, 0, box.width(), 0);
    painter.fillRect(placed, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(placed, Qt::AlignCenter, text);
}

}  // namespace qtbackend
