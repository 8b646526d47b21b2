// A screen-saver view in a Qt widget: the widget is the view's window, drives its frames with a
// precise timer, paints it through a QPainter context and passes on resizes and changes of pixel
// density. User input is only reported (signals); what it means is up to the widget's owner.
//
// Each frame is drawn only where it changed since the frame before (see qt_frame_renderer.h):
// straight into the window's pixels on screen, into a picture the widget keeps otherwise; only the
// changed rectangles are handed to the window system.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "host/screen_saver_view.h"
#include "platform/qt/frame_pacing.h"
#include "platform/qt/qt_frame_renderer.h"

class QScreen;

namespace qtbackend {

class QtScreenList;
class ViewWidget;

/// The host window of a view, standing for its widget. It outlives the widget safely: once the
/// widget is gone the window reads as hidden, on no display.
class QtWindow : public host::Window {
public:
    QtWindow(ViewWidget* widget, const QtScreenList& screens);
    bool isVisible() const override;
    uint64_t occlusionState() const override;
    std::shared_ptr<host::Screen> screen() const override;
    double backingScaleFactor() const override;
    host::NSEdgeInsets safeAreaInsets() const override { return {}; }
    host::Window* sheetParent() const override { return nullptr; }
    /// Hands the sheet to whoever presented it on this window (see setEndSheetHandler).
    void endSheet(host::Window* sheet) override;

    /// Whoever presents a sheet on this window says here how to take it down again.
    void setEndSheetHandler(std::function<void(host::Window* sheet)> handler) { endSheetHandler_ = std::move(handler); }

private:
    bool isExposed() const;
    QPointer<ViewWidget> widget_;
    const QtScreenList& screens_;
    std::function<void(host::Window*)> endSheetHandler_;
};

class ViewWidget : public QWidget {
    Q_OBJECT
public:
    /// Attaches the view to a new window standing for this widget. The widget shares ownership
    /// of the view; `screens` must outlive both.
    /// `screen` places the window on its display before the view first asks for it.
    ViewWidget(std::shared_ptr<host::ScreenSaverView> view, const QtScreenList& screens, QScreen* screen = nullptr,
               QWidget* parent = nullptr);
    ~ViewWidget() override;

    host::ScreenSaverView& view() const { return *view_; }
    const std::shared_ptr<host::ScreenSaverView>& sharedView() const { return view_; }
    const std::shared_ptr<QtWindow>& hostWindow() const { return window_; }

    /// Starts the view's animation and, unless frames are driven by hand, the frame timer.
    void startAnimation();
    /// Stops the frame timer and the view's animation.
    void stopAnimation();
    /// With false, no timer calls animateOneFrame: the owner steps frames itself.
    void setFrameTimerEnabled(bool enabled) { frameTimerEnabled_ = enabled; }
    bool isFrameTimerActive() const { return frameTimer_.isActive(); }
    /// The process's pacing of full-screen frames (half rate, off-screen steps); without one every
    /// step is drawn at the view's interval. It must outlive the widget.
    void setFramePacing(const FramePacing* pacing) { pacing_ = pacing; }
    /// With true, the frames painted per second are drawn over the view's bottom-left corner.
    void setShowFrameRate(bool show) { showFrameRate_ = show; }
    /// The frames painted in the last whole second; 0 before the first second is over.
    int frameRate() const { return frameRate_.rate(); }

    /// For frames stepped by hand (a headless run): passes on changes of density or display, as
    /// the frame timer does, brings the kept picture up to the scene (renderFrame) and returns
    /// it as an opaque image of the view's size times the pixel density, valid until the next
    /// call.
    const QImage& renderImage();

    /// Brings the kept picture up to the view's scene as it is now, drawing it again only where
    /// the two differ (where either the picture's scene or this one drew anything), and returns
    /// that region of the widget, in its own units. The whole picture is drawn when it may no
    /// longer match the scene it was last drawn from: the first time, after a resize, a change of
    /// pixel density, showing, or invalidateFrame.
    QRegion renderFrame();
    /// What the frame timer does after each step that needs display. On screen, repaints the part
    /// of the window where the scene differs from what the window shows, which draws the scene
    /// straight into the window's pixels, inside that part; hidden, brings the kept picture up to
    /// date (renderFrame).
    void showFrame();
    /// The picture kept between frames, device pixels.
    const QImage& frameImage() const { return frame_; }
    /// The next frame is drawn whole: for changes the scene's bounds cannot see, such as new
    /// settings taking effect between two frames.
    void invalidateFrame() { inFrame_.valid = onWindow_.valid = false; }

signals:
    void keyPressed();
    void mousePressed();
    void mouseMoved(QPointF globalPosition);
    void wheelTurned();
    void closeRequested();
    /// A frame timer tick stepped the view (not emitted for frames stepped by hand).
    void frameStepped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    /// A window that comes on screen while the next frame is farther away than this (ms) is
    /// stepped at once.
    static constexpr int kWakeWithinMs = 100;

    void frameTick();
    void scheduleNextFrame();
    /// The widget's size in device pixels at `dpr`.
    QSize devicePixelSize(double dpr) const;
    /// Measures the scene as it is now at `dpr` (see FrameRenderer::measure).
    void measureScene(double dpr);
    /// The renderer's changed rectangles (device pixels) in the widget's own units, outwards.
    QRegion widgetRegionOfChanges(double dpr) const;
    /// Draws the scene into the painter's device, inside the region being painted.
    void drawScene(QPainter& painter);
    void checkBackingProperties();

    std::shared_ptr<host::ScreenSaverView> view_;
    std::shared_ptr<QtWindow> window_;
    QTimer frameTimer_;
    FrameGrid grid_;
    bool frameTimerEnabled_ = true;
    const FramePacing* pacing_ = nullptr;
    double lastDevicePixelRatio_ = 0;
    QPointer<QScreen> lastScreen_;
    bool watchingWindowHandle_ = false;
    bool showFrameRate_ = false;
    FrameRateOverlay frameRate_;

    QImage frame_;        ///< the kept picture, device pixels (frames stepped by hand, hidden widgets)
    QImage opaqueFrame_;  ///< frame_'s pixels read as RGB, for renderImage
    QImage windowPart_;   ///< the widget's part of the window's pixels, while painting on screen
    ShownFrame inFrame_;  ///< what frame_ shows
    ShownFrame onWindow_; ///< what the window shows, drawn there by showFrame and paintEvent
    bool showingFrame_ = false;  ///< showFrame's repaint is under way
    FrameRenderer renderer_;
};

}  // namespace qtbackend
