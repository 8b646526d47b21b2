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
    : QWidget(parent), view_(std::move(view)), renderer_(*view_) {
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
    grid_.restart();
    scheduleNextFrame();
}

void ViewWidget::stopAnimation() {
    frameTimer_.stop();
    view_->stopAnimation();
}

void ViewWidget::scheduleNextFrame() {
    const double interval = view_->animationTimeInterval();
    frameTimer_.start(grid_.nextDelayMs(pacing_ ? pacing_->tickInterval(interval, window_->isVisible()) : interval));
}

void ViewWidget::frameTick() {
    if (!view_->isAnimating()) return;
    // Changes of density or display reach the view here, between frames, never while painting.
    checkBackingProperties();
    const int steps = pacing_ ? pacing_->stepsPerTick(window_->isVisible()) : 1;
    for (int i = 0; i < steps && view_->isAnimating(); ++i) {
        view_->animateOneFrame();
        emit frameStepped();
    }
    if (view_->needsDisplay()) showFrame();
    scheduleNextFrame();
}

QSize ViewWidget::devicePixelSize(double dpr) const {
    return {static_cast<int>(std::ceil(width() * dpr)), static_cast<int>(std::ceil(height() * dpr))};
}

void ViewWidget::measureScene(double dpr) { renderer_.measure(height(), dpr, devicePixelSize(dpr)); }

QRegion ViewWidget::widgetRegionOfChanges(double dpr) const {
    QRegion region;
    if (dpr == 1) {
        for (const QRect& r : renderer_.changed()) region += r;
    } else {
        // Device pixels to the widget's own units, outwards; a pixel more where they do not divide.
        const int margin = dpr == std::floor(dpr) ? 0 : 1;
        for (const QRect& r : renderer_.changed()) {
            region += QRect(QPoint(static_cast<int>(std::floor(r.left() / dpr)) - margin,
                                   static_cast<int>(std::floor(r.top() / dpr)) - margin),
                            QPoint(static_cast<int>(std::ceil((r.right() + 1) / dpr)) - 1 + margin,
                                   static_cast<int>(std::ceil((r.bottom() + 1) / dpr)) - 1 + margin));
        }
    }
    if (showFrameRate_) region += frameRate_.box();
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
    measureScene(dpr);
    const bool whole = renderer_.takeDamage(onWindow_);
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

    measureScene(dpr);
    const bool whole = renderer_.takeDamage(inFrame_);
    if (frame_.isNull()) {
        inFrame_.valid = false;
        view_->setNeedsDisplay(false);
        return QRegion();
    }
    renderer_.draw(frame_, static_cast<double>(height()), whole);
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
        measureScene(devicePixelRatioF());
        renderer_.addMeasured(onWindow_);
    }
    QPainter painter(this);
    drawScene(painter);
    if (showFrameRate_) frameRate_.draw(painter, height());
}

void ViewWidget::resizeEvent(QResizeEvent*) {
    invalidateFrame();
    view_->setFrameSize({static_cast<double>(width()), static_cast<double>(height())});
}

bool ViewWidget::eventFilter(QObject* watched, QEvent* event) {
    // A window that comes on screen while its view waits off screen is stepped at once: the
    // first frame it shows does not wait for the off-screen second to end.
    if (watched == windowHandle() && event->type() == QEvent::Expose && windowHandle()->isExposed() &&
        frameTimer_.isActive() && frameTimer_.remainingTime() > kWakeWithinMs) {
        grid_.restart();
        frameTimer_.start(0);
    }
    return QWidget::eventFilter(watched, event);
}

void ViewWidget::showEvent(QShowEvent*) {
    invalidateFrame();
    if (!watchingWindowHandle_ && windowHandle()) {
        watchingWindowHandle_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { checkBackingProperties(); });
        windowHandle()->installEventFilter(this);
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
