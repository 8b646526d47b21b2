// The screen saver on a Wayland compositor through surfaces of its own: one surface and one view
// per output (layer surfaces, or fullscreen toplevels where the compositor has no layer-shell),
// the outputs followed as they come, go and move, the views stepped on the 1/30 s grid, and
// input that stops the run. Both kinds of surface are configured, stepped and drawn by the same
// code here; only their making differs. The host's displays are the outputs, in the order the
// compositor announced them, placed in the host's global space as the Qt backend places Qt's
// screens.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/services.h"
#include "platform/qt/qt_saver_session.h"
#include "platform/wayland/layer_surface.h"
#include "platform/wayland/output_surface.h"

namespace qtbackend {
class QtHost;
}

namespace waylandbackend {

class WaylandConnection;
class WaylandOutput;

/// The host's list of displays: the outputs that have described themselves.
class WaylandScreenList : public host::ScreenList {
public:
    const std::vector<std::shared_ptr<host::Screen>>& screens() const override { return list_; }
    /// Rebuilds the list from the outputs (announcement order), placing them in the host's
    /// global space with the first as the primary display.
    void refresh(const std::vector<std::unique_ptr<WaylandOutput>>& outputs);

private:
    std::vector<std::shared_ptr<host::Screen>> list_;
};

/// The role the compositor knows the surfaces by.
enum class SurfaceKind {
    Layer,     ///< zwlr_layer_shell_v1 surfaces, in `role`
    Toplevel,  ///< fullscreen xdg_toplevels
};

struct SessionOptions {
    SurfaceKind kind = SurfaceKind::Layer;
    SurfaceRole role;  ///< of layer surfaces
    bool stopOnInput = true;     ///< a key, button, touch or pointer movement stops the run
    std::string onlyOutput;      ///< draw on the output of this name only; empty: on every output
    bool showFrameRate = false;  ///< --fps
};

class WaylandSession : public QObject {
    Q_OBJECT
public:
    /// Pointer travel, in points from where it was first seen, that counts as movement rather
    /// than jitter of the device (the same as on X).
    static constexpr double kPointerJitter = qtbackend::ScreenSaverSession::kPointerJitter;
    /// Longest tick interval (s) at which the display is read at the ticks only (see
    /// updateReading): a frame's time, or two at half rate; input then waits at most that long.
    static constexpr double kReadAtStepsInterval = 0.07;
    /// A surface that comes on screen while the next tick is farther away than this (ms) is
    /// stepped at once.
    static constexpr int kWakeWithinMs = 100;

    WaylandSession(qtbackend::QtHost& host, WaylandConnection& connection, SessionOptions options,
                   qtbackend::ViewFactory factory, QObject* parent = nullptr);
    ~WaylandSession() override;

    /// Checks that the compositor offers what the surfaces need, makes the host's displays the
    /// outputs and starts following them. False, with the reason in `error`, when it cannot run.
    bool start(std::string* error);
    /// Stops once: takes the surfaces down, stops every view's animation and posts the host's
    /// will-stop notification. Later calls do nothing.
    void stop(const QString& reason);
    bool isStopped() const { return stopped_; }

    WaylandScreenList& screens() { return screens_; }
    /// The surfaces with a view, in the order they were made.
    std::vector<const OutputSurface*> surfaces() const;

signals:
    /// A view was made for an output's surface; `number` counts views in the order they are made.
    void viewCreated(host::ScreenSaverView* view, int number);
    /// A view took a frame step.
    void viewStepped(const host::ScreenSaverView* view, int number);
    void stopped();
    /// The run cannot go on: `status` is the exit status, `message` says why.
    void ended(int status, const QString& message);

private:
    struct Entry {
        std::unique_ptr<OutputSurface> surface;
        int number = -1;                   ///< of its view, -1 before it has one
        bool firstFrameLogged = false;
        bool committedAtStep = false;      ///< a frame went out at the last step (or after it, owed)
        bool owed = false;                 ///< the last step's frame waits for the callback of the one before
        bool fullscreen = true;            ///< as of its last configure
        wl_output* strayLogged = nullptr;  ///< the other output it was last said to be on
        BufferGeometry loggedGeometry;     ///< the buffers' geometry last logged
    };

    void afterDispatch();
    void followOutputs();
    void handleConfigures();
    void handleInput();
    /// Says once where a surface is not what a screen saver needs: not full screen, or shown on
    /// another output than its own.
    void checkPlacement(Entry& entry, bool fullscreen);
    /// The output the surface was last seen on: its own, or another the compositor put it on.
    const WaylandOutput& shownOn(const OutputSurface& surface) const;
    void frameTick();
    void scheduleNextFrame();
    /// Brings the next tick forward when the views were waiting off screen.
    void wakeFrames();
    /// Draws the frames owed (see frameTick) whose surfaces have shown their last one since.
    void drawOwedFrames();
    /// Reads the display at the steps only while they come often and no frame is owed, else as
    /// events come.
    void updateReading();
    void drawFrame(Entry& entry, bool force);
    void retire(std::vector<Entry>::iterator it, const std::string& why);
    /// Logs the frames the entry's surface committed over its own lifetime.
    void logFramesCommitted(const Entry& entry);
    void displaysChanged();
    bool wantsOutput(const WaylandOutput& output) const;
    void logLine(const std::string& line);

    qtbackend::QtHost& host_;
    WaylandConnection& connection_;
    SessionOptions options_;
    qtbackend::ViewFactory factory_;
    WaylandScreenList screens_;
    std::vector<Entry> entries_;
    /// Outputs whose surface the compositor closed: never given another.
    std::vector<const WaylandOutput*> refused_;
    /// Outputs whose surface was given a size that cannot be drawn: given another once the output
    /// describes itself anew, which brings a new configure.
    std::vector<const WaylandOutput*> refusedSize_;
    int viewsMade_ = 0;
    bool closedByCompositor_ = false;  ///< every surface was closed: the run has ended
    bool started_ = false;
    bool stopped_ = false;
    bool anyClosedByCompositor_ = false;
    bool missingOutputLogged_ = false;
    QTimer frameTimer_;
    bool readAtSteps_ = false;  ///< the views are stepped often enough to read the display then
    qtbackend::FrameGrid grid_;
    std::optional<std::pair<double, double>> firstPointer_;  ///< global, points
};

}  // namespace waylandbackend
