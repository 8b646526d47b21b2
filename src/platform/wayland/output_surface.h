// One surface of ours on one output, with the view it shows, whatever role the compositor knows
// it by (a layer surface, a fullscreen toplevel: see the subclasses). Frames are drawn by the
// damage-tracked frame renderer into shared-memory buffers, and only after the compositor has
// shown the last one (its frame callback), so an output that is not repainted costs no drawing.
//
// The role's listeners record what the compositor asked (a size, a close) in the fields here; the
// session reads them after each batch of events and decides.
#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "host/screen_saver_view.h"
#include "platform/qt/qt_frame_renderer.h"
#include "platform/wayland/shm_buffer.h"
#include "platform/wayland/surface_density.h"

struct wl_callback;
struct wl_output;
struct wl_surface;
struct wp_fractional_scale_v1;
struct wp_viewport;

namespace waylandbackend {

class OutputSurface;
class WaylandConnection;
class WaylandOutput;
class WaylandScreen;

/// The host window of a surface's view. Shown once a frame of the configured size was committed,
/// until the surface goes; it outlives the surface safely (then hidden, on no display).
class SurfaceWindow : public host::Window {
public:
    explicit SurfaceWindow(OutputSurface* surface) : surface_(surface) {}
    bool isVisible() const override;
    uint64_t occlusionState() const override;
    std::shared_ptr<host::Screen> screen() const override;
    double backingScaleFactor() const override;
    host::NSEdgeInsets safeAreaInsets() const override { return {}; }
    host::Window* sheetParent() const override { return nullptr; }
    void endSheet(host::Window*) override {}
    void detach() { surface_ = nullptr; }

private:
    OutputSurface* surface_;
};

class OutputSurface {
public:
    virtual ~OutputSurface();
    OutputSurface(const OutputSurface&) = delete;
    OutputSurface& operator=(const OutputSurface&) = delete;

    /// What the log calls the role: "a layer surface", "a fullscreen toplevel".
    virtual const char* kind() const = 0;

    WaylandOutput& output() const { return output_; }
    wl_surface* surface() const { return surface_; }
    const std::shared_ptr<WaylandScreen>& screen() const { return screen_; }

    // What the compositor said, recorded by the listeners.
    bool hasPendingConfigure() const { return configurePending_; }
    /// The size of the pending configure as the compositor sent it, unchecked; 0 on a side the
    /// compositor leaves to the client, where the role allows it (see leavesSizeToClient()).
    uint32_t pendingWidth() const { return pendingWidth_; }
    uint32_t pendingHeight() const { return pendingHeight_; }
    /// Whether a side of 0 lets the client choose (a toplevel) rather than being unusable.
    virtual bool leavesSizeToClient() const { return false; }
    /// Whether the pending configure puts the surface where a screen saver must be: full screen
    /// (a layer surface anchored to every edge always is).
    virtual bool pendingIsFullscreen() const { return true; }
    /// The compositor took the surface away for good (a layer surface's closed): it shows nothing.
    bool isClosed() const { return closed_; }
    /// The compositor asks the program to close the surface (a toplevel's close): the run ends.
    bool isCloseRequested() const { return closeRequested_; }
    /// The last output the surface entered that is not its own, or none.
    wl_output* strayOutput() const { return strayOutput_; }
    /// Asks the compositor again to show the surface full screen on its own output, where the
    /// role can be moved (a toplevel); a layer surface stays where it was made.
    virtual void askToCoverOutput() {}

    /// Acknowledges the pending configure and takes `width` × `height` as the surface's size: the
    /// size asked, or the one chosen where the compositor left it to the client. The caller
    /// checked that the size can be drawn.
    void acceptConfigure(int32_t width, int32_t height);
    /// The logical size configured; zero before the first configure.
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    /// The buffers' geometry at the surface's density as of now (width 0: the size is unusable).
    BufferGeometry geometry() const { return geometryFor(width_, height_); }
    /// The same for a surface of another logical size.
    BufferGeometry geometryFor(int32_t width, int32_t height) const;

    /// Gives the surface its view (made once the first size is known) and a window to it.
    void attachView(std::shared_ptr<host::ScreenSaverView> view);
    host::ScreenSaverView* view() const { return view_.get(); }
    const std::shared_ptr<SurfaceWindow>& window() const { return window_; }

    /// Whether a frame may be drawn now: configured, and the last frame has been shown.
    bool isReadyForFrame() const { return width_ > 0 && !closed_ && !callbackPending_; }
    /// How long the compositor may leave a frame unanswered before the surface counts as not
    /// repainted (an output turned off, a surface under a lock screen) and so off screen (ms).
    static constexpr int kUnansweredMs = 1000;
    /// Whether the compositor shows the surface's frames: mapped, and the last frame's callback
    /// came back or is not overdue.
    bool isRepainted() const {
        return mapped_ && !closed_ && (!callbackPending_ || callbackAsked_.elapsed() < kUnansweredMs);
    }
    /// Draws the view's scene into a free buffer where it differs from that buffer's, commits it
    /// with the damage since the last frame, and asks for the next frame callback. False when no
    /// buffer was free or none could be made (then nothing is committed).
    bool drawFrame(bool showFrameRate);
    /// Whether a frame of the configured size has been committed.
    bool isMapped() const { return mapped_; }
    /// Takes the surface off its output for good (see takeDown()): the output shows what is under it.
    void unmap();

    /// Frames committed, and when the first was committed after the first configure (ms; -1 before).
    uint64_t framesCommitted() const { return framesCommitted_; }
    QElapsedTimer& sinceConfigure() { return sinceConfigure_; }
    /// Time since the surface was made, over which its frames are counted (ms).
    int64_t aliveMs() const { return sinceMade_.elapsed(); }

    // The compositor's events on the surface itself; they only record what it said.
    static void handlePreferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale);
    static void handleFrameDone(void* data, wl_callback* callback, uint32_t);
    static void handleEnter(void* data, wl_surface*, wl_output* output);
    static void handleLeave(void* data, wl_surface*, wl_output* output);

protected:
    /// Makes the wl_surface on `output`; the subclass gives it its role and commits.
    OutputSurface(const WaylandConnection& connection, WaylandOutput& output);
    /// Acknowledges the configure of this serial in the role's own way.
    virtual void ackConfigure(uint32_t serial) = 0;
    /// Takes the mapped surface off its output: by default the last frame goes (a null buffer).
    virtual void takeDown();
    /// How the compositor is told to read the buffers of this role.
    virtual ShmFormat bufferFormat() const { return ShmFormat::Xrgb8888; }
    /// Records a configure of the role: the size as sent, and its serial.
    void recordConfigure(uint32_t serial, uint32_t width, uint32_t height);
    void recordClosed() { closed_ = true; }
    void recordCloseRequested() { closeRequested_ = true; }

    const WaylandConnection& connection_;

private:
    /// Applies a new buffer geometry: the density, the viewport or buffer scale, new buffers.
    void applyGeometry(const BufferGeometry& geometry);
    ShmBuffer* freeBuffer();

    WaylandOutput& output_;
    std::shared_ptr<WaylandScreen> screen_;
    wl_surface* surface_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wp_fractional_scale_v1* fractionalScale_ = nullptr;
    wl_callback* frameCallback_ = nullptr;
    QElapsedTimer callbackAsked_;  ///< since the pending frame callback was asked for

    bool configurePending_ = false;
    uint32_t pendingSerial_ = 0;
    uint32_t pendingWidth_ = 0, pendingHeight_ = 0;
    int32_t width_ = 0, height_ = 0;
    uint32_t preferredScale120_ = 0;
    bool closed_ = false;
    bool closeRequested_ = false;
    bool callbackPending_ = false;
    bool mapped_ = false;
    wl_output* strayOutput_ = nullptr;

    BufferGeometry applied_;
    static constexpr size_t kBufferCount = 3;
    std::array<std::unique_ptr<ShmBuffer>, kBufferCount> buffers_;

    std::shared_ptr<host::ScreenSaverView> view_;
    std::shared_ptr<SurfaceWindow> window_;
    std::unique_ptr<qtbackend::FrameRenderer> renderer_;
    qtbackend::ShownFrame onSurface_;  ///< what the compositor shows
    qtbackend::FrameRateOverlay frameRate_;
    uint64_t framesCommitted_ = 0;
    QElapsedTimer sinceConfigure_;
    QElapsedTimer sinceMade_;
};

}  // namespace waylandbackend
