#include "platform/qt/qt_view_widget.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <optional>

#include "host/host.h"
#include "platform/qt/qt_graphics.h"
#include "platform/qt/qt_pixel_buffers.h"
#include "platform/qt/qt_screens.h"

namespace qtbackend {
namespace {

/// Shortest frame interval the timer accepts, so a view asking for 0 cannot starve the loop.
constexpr double kMinFrameIntervalMs = 1.0;

}  // namespace

QtWindow::QtWindow(ViewWidget* widget, const QtScreenList& screens) : widget_(widget), screens_(screens) {}

bool QtWindow::isExposed() const {
    if (!widget_) return false;
    const QWindow* handle = widget_->window()->windowHandle();
    return handle && handle->isExposed();
}

bool QtWindow::isVisible() const { return widget_ && widget_->isVisible() && isExposed(); }

uint64_t QtWindow::occlusionState() const { return isExposed() ? host::NSWindowOcclusionStateVisible : 0; }

std::shared_ptr<host::Screen> QtWindow::screen() const {
    if (!widget_) return nullptr;
    return screens_.screenFor(widget_->screen());
}

void QtWindow::endSheet(host::Window* sheet) {
    if (endSheetHandler_) endSheetHandler_(sheet);
}

double QtWindow::backingScaleFactor() const { return widget_ ? widget_->devicePixelRatioF() : 0.0; }

ViewWidget::ViewWidget(std::shared_ptr<host::ScreenSaverView> view, const QtScreenList& screens, QScreen* screen,
                       QWidget* parent)
    : QWidget(parent), view_(std::move(view)) {
    // The view finds its display through the window as soon as it is attached: place the window
    // on its display first, or the view would take the primary display for its own.
    if (screen) setScreen(screen);
    setAttribute(Qt::WA_OpaquePaintEvent, view_->isOpaque());
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    const host::CGSize size = view_->frame().size;
    resize(static_cast<int>(std::lround(size.width)), static_cast<int>(std::lround(size.height)));

    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &ViewWidget::frameTick);

    lastDevicePixelRatio_ = devicePixelRatioF();
    lastScreen_ = QWidget::screen();
    window_ = std::make_shared<QtWindow>(this, screens);
    view_->hostAttachWindow(window_);
    view_->viewDidMoveToWindow();
}

ViewWidget::~ViewWidget() {
    frameTimer_.stop();
    // The view may outlive the widget (queued work can hold it): take it out of the window so it
    // never asks a window that is gone. Without a host the process is shutting down.
    if (host::hasHost()) {
        view_->hostAttachWindow(nullptr);
        view_->viewDidMoveToWindow();
    }
}

void ViewWidget::startAnimation() {
    view_->startAnimation();
    if (!frameTimerEnabled_) return;
    clock_.start();
    nextFrameMs_ = 0;
    scheduleNextFrame();
}

void ViewWidget::stopAnimation() {
    frameTimer_.stop();
    view_->stopAnimation();
}

void ViewWidget::scheduleNextFrame() {
    const double requested = view_->animationTimeInterval() * 1000.0;
    const double interval = std::isfinite(requested) ? std::max(requested, kMinFrameIntervalMs) : kMinFrameIntervalMs;
    const double now = static_cast<double>(clock_.elapsed());
    // Frames are due on a fixed grid so that the rate averages the interval exactly even though
    // the timer counts whole milliseconds; after a stall the grid restarts instead of bursting.
    nextFrameMs_ += interval;
    if (nextFrameMs_ < now) nextFrameMs_ = now;
    frameTimer_.start(static_cast<int>(std::ceil(nextFrameMs_ - now)));
}

void ViewWidget::frameTick() {
    if (!view_->isAnimating()) return;
    // Changes of density or display reach the view here, between frames, never while painting.
    checkBackingProperties();
    view_->animateOneFrame();
    emit frameStepped();
    if (view_->needsDisplay()) showFrame();
    scheduleNextFrame();
}

QSize ViewWidget::devicePixelSize(double dpr) const {
    return {static_cast<int>(std::ceil(width() * dpr)), static_cast<int>(std::ceil(height() * dpr))};
}

std::vector<QRect>& ViewWidget::sceneBounds(double dpr) {
    // Where the scene draws now, from a pass over the same drawing calls that draws nothing.
    damage_.begin(height(), dpr, devicePixelSize(dpr));
    {
        const host::CurrentContextScope bounds(&damage_);
        view_->drawRect(view_->bounds());
    }
    std::vector<QRect>& now = damage_.rects();
    coalesceDamage(now, kMaxDamageRects, kDamageRectCost);
    return now;
}

bool ViewWidget::takeDamage(Shown& shown, double dpr) {
    std::vector<QRect>& now = sceneBounds(dpr);
    const bool whole = !shown.valid;
    changed_.clear();
    if (!whole) {
        changed_.assign(shown.bounds.begin(), shown.bounds.end());
        changed_.insert(changed_.end(), now.begin(), now.end());
        coalesceDamage(changed_, kMaxDamageRects, kDamageRectCost);
    }
    shown.bounds.swap(now);
    shown.valid = true;
    return whole;
}

QRegion ViewWidget::widgetRegionOfChanges(double dpr) const {
    QRegion region;
    if (dpr == 1) {
        for (const QRect& r : changed_) region += r;
    } else {
        // Device pixels to the widget's own units, outwards; a pixel more where they do not divide.
        const int margin = dpr == std::floor(dpr) ? 0 : 1;
        for (const QRect& r : changed_) {
            region += QRect(QPoint(static_cast<int>(std::floor(r.left() / dpr)) - margin,
                                   static_cast<int>(std::floor(r.top() / dpr)) - margin),
                            QPoint(static_cast<int>(std::ceil((r.right() + 1) / dpr)) - 1 + margin,
                                   static_cast<int>(std::ceil((r.bottom() + 1) / dpr)) - 1 + margin));
        }
    }
    if (showFrameRate_) region += frameRateBox_;
    return region & rect();
}

void ViewWidget::showFrame() {
    if (!isVisible()) {
        const QRegion changed = renderFrame();
        if (!changed.isEmpty()) update(changed);
        return;
    }
    // The window keeps its pixels between paints: only where the scene changed is drawn again,
    // at once, from the scene whose bounds were just taken.
    const double dpr = devicePixelRatioF();
    const bool whole = takeDamage(onWindow_, dpr);
    view_->setNeedsDisplay(false);
    const QRegion changed = whole ? QRegion(rect()) : widgetRegionOfChanges(dpr);
    if (changed.isEmpty()) return;
    showingFrame_ = true;
    repaint(changed);
    showingFrame_ = false;
}

QRegion ViewWidget::renderFrame() {
    const double dpr = devicePixelRatioF();
    const QSize devicePixels = devicePixelSize(dpr);
    if (frame_.size() != devicePixels || frame_.devicePixelRatio() != dpr) {
        frame_ = devicePixels.isEmpty() ? QImage() : QImage(devicePixels, QImage::Format_ARGB32_Premultiplied);
        frame_.setDevicePixelRatio(dpr);
        frame_.fill(Qt::black);  // where the view does not reach, such as before it is resized
        inFrame_.valid = false;
    }

    const bool whole = takeDamage(inFrame_, dpr);
    if (frame_.isNull()) {
        inFrame_.valid = false;
        view_->setNeedsDisplay(false);
        return QRegion();
    }
    QRegion changed;  // device pixels
    for (const QRect& r : changed_) changed += r;

    QPainter painter(&frame_);
    {
        std::optional<QPainterContext> context;
        if (whole) {
            context.emplace(painter, static_cast<double>(height()));
        } else {
            context.emplace(painter, static_cast<double>(height()), changed);
        }
        const host::CurrentContextScope drawing(&*context);
        view_->drawRect(view_->bounds());
    }
    painter.end();
    view_->setNeedsDisplay(false);
    return whole ? QRegion(rect()) : widgetRegionOfChanges(dpr);
}

void ViewWidget::drawScene(QPainter& painter) {
    const double dpr = devicePixelRatioF();
    const QSize devicePixels = devicePixelSize(dpr);
    const QTransform toDevice = painter.deviceTransform();
    const bool sameDensity = toDevice.type() <= QTransform::TxScale && toDevice.m11() == dpr && toDevice.m22() == dpr;
    if (const std::optional<PixelBuffer> target = sameDensity ? paintedPixels(painter) : std::nullopt) {
        const QPoint offset(static_cast<int>(std::lround(toDevice.dx())), static_cast<int>(std::lround(toDevice.dy())));
        const QRect area(offset, devicePixels);
        if (!area.isEmpty() && QRect(0, 0, target->width, target->height).contains(area)) {
            // The widget's part of the window's pixels, as an image of its own drawn with clip
            // rectangles of ours: under the region being painted as the painter's clip, every
            // blit would take the raster engine's span-by-span path. The image is kept while the
            // window's buffer stays where it is, so that its paint engine is made only once.
            uchar* first = reinterpret_cast<uchar*>(target->row(offset.y()) + offset.x());
            if (windowPart_.constBits() != first || windowPart_.size() != devicePixels ||
                windowPart_.bytesPerLine() != target->stride) {
                windowPart_ = QImage(first, devicePixels.width(), devicePixels.height(),
                                     static_cast<qsizetype>(target->stride), QImage::Format_ARGB32_Premultiplied);
            }
            windowPart_.setDevicePixelRatio(dpr);
            const QRegion clip = painter.paintEngine()->systemClip();
            QPainter inner(&windowPart_);
            QPainterContext context(inner, static_cast<double>(height()),
                                    clip.isEmpty() ? QRegion(windowPart_.rect())
                                                   : clip.translated(-offset) & windowPart_.rect());
            const host::CurrentContextScope drawing(&context);
            view_->drawRect(view_->bounds());
            return;
        }
    }
    // Any other device, through the painter, which keeps to the region being painted.
    QPainterContext context(painter, static_cast<double>(height()));
    const host::CurrentContextScope drawing(&context);
    view_->drawRect(view_->bounds());
}

const QImage& ViewWidget::renderImage() {
    checkBackingProperties();
    renderFrame();
    // The kept picture is opaque, so its pixels read the same as plain RGB: a view of them, made
    // again only when the picture is made anew.
    if (frame_.isNull()) {
        opaqueFrame_ = QImage();
    } else if (opaqueFrame_.constBits() != frame_.constBits() || opaqueFrame_.size() != frame_.size()) {
        opaqueFrame_ = QImage(frame_.constBits(), frame_.width(), frame_.height(), frame_.bytesPerLine(),
                              QImage::Format_RGB32);
        opaqueFrame_.setDevicePixelRatio(frame_.devicePixelRatio());
    }
    return opaqueFrame_;
}

void ViewWidget::checkBackingProperties() {
    const double dpr = devicePixelRatioF();
    QScreen* current = screen();
    if (dpr == lastDevicePixelRatio_ && current == lastScreen_) return;
    invalidateFrame();
    const bool movedToAnotherDisplay = current != lastScreen_;
    lastDevicePixelRatio_ = dpr;
    lastScreen_ = current;
    view_->viewDidChangeBackingProperties();
    // For the view, a window moved to another display is a change of the displays around it.
    if (movedToAnotherDisplay && host::hasHost())
        host::currentHost().defaultCenter->postNotificationName(host::NSApplicationDidChangeScreenParametersNotification,
                                                               nullptr, nullptr);
}

void ViewWidget::paintEvent(QPaintEvent*) {
    // Painting only shows the scene: it draws it inside the region being painted, and tells the
    // view of nothing. A paint that showFrame did not ask for (the window system's, a parent's)
    // may come after the scene changed between frames, such as sparks arriving from another
    // display: what it draws is added to what the window shows, so that the next frame clears it.
    if (!showingFrame_ && onWindow_.valid) {
        std::vector<QRect>& now = sceneBounds(devicePixelRatioF());
        onWindow_.bounds.insert(onWindow_.bounds.end(), now.begin(), now.end());
        coalesceDamage(onWindow_.bounds, kMaxDamageRects, kDamageRectCost);
    }
    QPainter painter(this);
    drawScene(painter);
    if (showFrameRate_) drawFrameRate(painter);
}

void ViewWidget::drawFrameRate(QPainter& painter) {
    if (!rateClock_.isValid()) rateClock_.start();
    ++framesThisSecond_;
    const qint64 elapsed = rateClock_.elapsed();
    if (elapsed >= 1000) {
        frameRate_ = static_cast<int>(std::lround(framesThisSecond_ * 1000.0 / static_cast<double>(elapsed)));
        framesThisSecond_ = 0;
        rateClock_.restart();
    }
    painter.resetTransform();
    QFont font = painter.font();
    font.setPixelSize(std::max(10, std::min(height() / 30, 24)));
    painter.setFont(font);
    const QString text = QStringLiteral("%1 fps").arg(frameRate_);
    const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    const QRect placed(QPoint(4, height() - box.height() - 4), box.size());
    // Wide enough for any rate: the next frames repaint it whatever they draw.
    frameRateBox_ = placed.adjusted(0, 0, box.width(), 0);
    painter.fillRect(placed, QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(placed, Qt::AlignCenter, text);
}

void ViewWidget::resizeEvent(QResizeEvent*) {
    invalidateFrame();
    view_->setFrameSize({static_cast<double>(width()), static_cast<double>(height())});
}

void ViewWidget::showEvent(QShowEvent*) {
    invalidateFrame();
    if (!watchingWindowHandle_ && windowHandle()) {
        watchingWindowHandle_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { checkBackingProperties(); });
    }
    checkBackingProperties();
}

void ViewWidget::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

void ViewWidget::keyPressEvent(QKeyEvent* event) {
    event->accept();
    emit keyPressed();
}

void ViewWidget::mousePressEvent(QMouseEvent* event) {
    event->accept();
    emit mousePressed();
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit mouseMoved(event->globalPosition());
}

void ViewWidget::wheelEvent(QWheelEvent* event) {
    event->accept();
    emit wheelTurned();
}

}  // namespace qtbackend
