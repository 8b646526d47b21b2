#include "platform/wayland/wayland_session.h"

#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "host/host.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_screens.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "platform/wayland/wayland_seat.h"
#include "platform/wayland/xdg_toplevel_surface.h"

namespace waylandbackend {
namespace {

QRect logicalRect(const OutputDescription& d) { return QRect(d.x, d.y, d.width, d.height); }

std::string describe(const WaylandOutput& output) {
    const OutputDescription& d = output.description();
    return "output '" + output.label() + "' (" + std::to_string(d.width) + "x" + std::to_string(d.height) + " at " +
           std::to_string(d.x) + "," + std::to_string(d.y) + ", scale " + std::to_string(d.scale) + ")";
}

}  // namespace

void WaylandScreenList::refresh(const std::vector<std::unique_ptr<WaylandOutput>>& outputs) {
    list_.clear();
    const WaylandOutput* primary = nullptr;
    for (const auto& output : outputs) {
        if (!output->isReady()) continue;
        if (!primary) primary = output.get();
        output->screen()->setFrame(
            qtbackend::globalFrameFromQt(logicalRect(primary->description()), logicalRect(output->description())));
        list_.push_back(output->screen());
    }
}

WaylandSession::WaylandSession(qtbackend::QtHost& host, WaylandConnection& connection, SessionOptions options,
                               qtbackend::ViewFactory factory, QObject* parent)
    : QObject(parent), host_(host), connection_(connection), options_(std::move(options)), factory_(std::move(factory)) {
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, &WaylandSession::frameTick);
}

WaylandSession::~WaylandSession() {
    entries_.clear();
    if (started_ && &host_.host() == &host::currentHost() && host_.host().screens == &screens_)
        host_.host().screens = &host_.screens();
}

bool WaylandSession::start(std::string* error) {
    const Globals& g = connection_.globals();
    const bool layers = options_.kind == SurfaceKind::Layer;
    if (!g.compositor || !g.shm || (layers ? !g.layerShell : !g.wmBase)) {
        *error = layers && !g.layerShell ? "the Wayland compositor offers no layer-shell (zwlr_layer_shell_v1)"
                 : !layers && !g.wmBase  ? "the Wayland compositor offers no xdg-shell (xdg_wm_base)"
                                         : "the Wayland compositor offers no wl_compositor or wl_shm";
        return false;
    }
    started_ = true;
    // The views' displays are the outputs, not the screens of Qt's platform (offscreen here).
    host_.host().screens = &screens_;
    connect(&connection_, &WaylandConnection::dispatched, this, &WaylandSession::afterDispatch);
    connect(&connection_, &WaylandConnection::failed, this,
            [this](const QString& message, bool protocolError) { emit ended(protocolError ? 1 : 0, message); });
    // Without input to stop on, no seat is followed (a lock screen's background may have none).
    connection_.start(options_.stopOnInput);
    grid_.restart();
    scheduleNextFrame();
    afterDispatch();
    return true;
}

std::vector<const OutputSurface*> WaylandSession::surfaces() const {
    std::vector<const OutputSurface*> result;
    for (const Entry& e : entries_)
        if (e.surface->view()) result.push_back(e.surface.get());
    return result;
}

void WaylandSession::logLine(const std::string& line) { host_.logLine(host::LogLevel::Default, line); }

bool WaylandSession::wantsOutput(const WaylandOutput& output) const {
    if (std::find(refused_.begin(), refused_.end(), &output) != refused_.end()) return false;
    if (std::find(refusedSize_.begin(), refusedSize_.end(), &output) != refusedSize_.end()) return false;
    return options_.onlyOutput.empty() || output.description().name == options_.onlyOutput;
}

void WaylandSession::afterDispatch() {
    if (stopped_ || closedByCompositor_ || connection_.hasFailed()) return;
    followOutputs();
    handleConfigures();
    handleInput();
    drawOwedFrames();
    connection_.flush();
    updateReading();
}

void WaylandSession::followOutputs() {
    bool changed = false;
    // Outputs that went away: their surfaces first, while the outputs still exist.
    std::vector<std::unique_ptr<WaylandOutput>> removed = connection_.takeRemovedOutputs();
    for (const auto& output : removed) {
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return &e.surface->output() == output.get(); });
        if (it != entries_.end()) retire(it, describe(*output) + " removed");
        std::erase(refused_, output.get());
        std::erase(refusedSize_, output.get());
        changed = changed || output->isReady();
    }
    removed.clear();

    for (const auto& output : connection_.outputs()) {
        const bool described = output->takeChanged();
        if (!output->isReady()) continue;
        if (described) std::erase(refusedSize_, output.get());
        changed = changed || described;
        const bool hasSurface = std::any_of(entries_.begin(), entries_.end(),
                                            [&](const Entry& e) { return &e.surface->output() == output.get(); });
        if (hasSurface || !wantsOutput(*output)) continue;
        Entry entry;
        if (options_.kind == SurfaceKind::Layer)
            entry.surface = std::make_unique<LayerSurface>(connection_, *output, options_.role);
        else
            entry.surface = std::make_unique<XdgToplevelSurface>(connection_, *output);
        logLine(describe(*output) + ": " + entry.surface->kind());
        entries_.push_back(std::move(entry));
        changed = true;
    }
    if (changed) displaysChanged();
    if (!options_.onlyOutput.empty() && entries_.empty() && !missingOutputLogged_ && !screens_.screens().empty()) {
        missingOutputLogged_ = true;
        std::string names;
        for (const auto& output : connection_.outputs())
            if (output->isReady()) names += (names.empty() ? "'" : ", '") + output->label() + "'";
        logLine("no output is named '" + options_.onlyOutput + "' (there are " + names + "); waiting for it");
    }
}

void WaylandSession::handleConfigures() {
    for (auto it = entries_.begin(); it != entries_.end();) {
        OutputSurface& surface = *it->surface;
        if (surface.isCloseRequested()) {
            // Asked to close the window, as the user would by input: the run stops.
            stop(QStringLiteral("the compositor closed the window on ") +
                 QString::fromStdString(describe(surface.output())));
            return;
        }
        if (surface.isClosed()) {
            refused_.push_back(&surface.output());
            anyClosedByCompositor_ = true;
            retire(it, "the compositor closed the surface on " + describe(surface.output()));
            it = entries_.begin();  // retire erased; start over (few entries)
            continue;
        }
        if (surface.hasPendingConfigure()) {
            const OutputDescription& d = surface.output().description();
            // A side the compositor leaves to the client is the output's, as full screen would be.
            const auto asked = [&](uint32_t sent, int32_t outputSide) {
                return sent == 0 && surface.leavesSizeToClient() ? static_cast<uint32_t>(outputSide) : sent;
            };
            const uint32_t askedWidth = asked(surface.pendingWidth(), d.width);
            const uint32_t askedHeight = asked(surface.pendingHeight(), d.height);
            // A side beyond int32 is as absurd as any other too large: refused as such, and the
            // log names the size as the compositor sent it.
            const auto side = [](uint32_t sent) {
                return static_cast<int32_t>(std::min<uint32_t>(sent, kMaxSurfaceSide + 1));
            };
            const int32_t w = side(askedWidth), h = side(askedHeight);
            if (surface.geometryFor(w, h).width <= 0) {
                refusedSize_.push_back(&surface.output());
                retire(it, describe(surface.output()) + " refused: the compositor asked for a surface of " +
                               std::to_string(surface.pendingWidth()) + "x" + std::to_string(surface.pendingHeight()) +
                               ", which cannot be drawn (at most " +
                               std::to_string(kMaxSurfaceSide) + " pixels a side)");
                it = entries_.begin();
                continue;
            }
            if (askedWidth != surface.pendingWidth() || askedHeight != surface.pendingHeight())
                logLine(describe(surface.output()) + ": the compositor leaves the size to the program; " +
                        std::to_string(w) + "x" + std::to_string(h) + ", the output's");
            const bool fullscreen = surface.pendingIsFullscreen();
            const bool resized = surface.width() != w || surface.height() != h;
            surface.acceptConfigure(w, h);
            checkPlacement(*it, fullscreen);
            if (!surface.view()) {
                std::shared_ptr<host::ScreenSaverView> view = factory_(host::NSMakeRect(0, 0, w, h));
                if (view) {
                    surface.attachView(view);
                    it->number = viewsMade_++;
                    emit viewCreated(view.get(), it->number);
                    view->startAnimation();
                }
            } else if (resized) {
                surface.view()->setFrameSize({static_cast<double>(w), static_cast<double>(h)});
            }
            // A frame of the configured size goes out now, not at the next tick, and the steps
            // come at the view's rate from now on, not after an off-screen wait.
            drawFrame(*it, true);
            wakeFrames();
        } else {
            checkPlacement(*it, it->fullscreen);
        }
        ++it;
    }
    if (entries_.empty() && anyClosedByCompositor_) {
        // The run is over: it is told so once, and nothing is followed or stepped any more.
        closedByCompositor_ = true;
        frameTimer_.stop();
        emit ended(0, QStringLiteral("the compositor closed every surface of the screen saver"));
    }
}

void WaylandSession::checkPlacement(Entry& entry, bool fullscreen) {
    OutputSurface& surface = *entry.surface;
    // Each time the compositor takes the surface away from where it should be, it is logged and
    // asked once to put it back; a compositor that will not is left to show it where it likes.
    if (fullscreen != entry.fullscreen) {
        entry.fullscreen = fullscreen;
        logLine(describe(surface.output()) + (fullscreen ? ": full screen again" : ": the compositor did not make " +
                                                                                        std::string(surface.kind()) +
                                                                                        " full screen"));
        if (!fullscreen) surface.askToCoverOutput();
    }
    wl_output* stray = surface.strayOutput();
    if (stray == entry.strayLogged) return;
    entry.strayLogged = stray;
    if (!stray) return;
    const WaylandOutput& other = shownOn(surface);
    logLine(describe(surface.output()) + ": " + surface.kind() + " made for it shows on " +
            (&other != &surface.output() ? describe(other) : std::string("another output")));
    surface.askToCoverOutput();
}

const WaylandOutput& WaylandSession::shownOn(const OutputSurface& surface) const {
    if (wl_output* stray = surface.strayOutput())
        for (const auto& output : connection_.outputs())
            if (output->output() == stray && output->isReady()) return *output;
    return surface.output();
}

void WaylandSession::handleInput() {
    for (const auto& seat : connection_.seats()) {
        InputRecord& record = seat->record();
        const char* reason = std::exchange(record.stopReason, nullptr);
        const bool moved = std::exchange(record.pointerMoved, false);
        if (!options_.stopOnInput || stopped_) continue;
        if (reason) {
            stop(QString::fromLatin1(reason));
            return;
        }
        if (!moved || !record.pointerSurface) continue;
        const auto it = std::find_if(entries_.begin(), entries_.end(),
                                     [&](const Entry& e) { return e.surface->surface() == record.pointerSurface; });
        if (it == entries_.end()) continue;
        // The layout's coordinates: the logical position of the output the surface is on (which
        // a compositor may change without a word to the program) plus the point on the surface.
        const OutputDescription& d = shownOn(*it->surface).description();
        const double x = d.x + record.pointerX, y = d.y + record.pointerY;
        if (!firstPointer_) {
            firstPointer_.emplace(x, y);
            continue;
        }
        if (std::hypot(x - firstPointer_->first, y - firstPointer_->second) > kPointerJitter) {
            stop(QStringLiteral("mouse movement"));
            return;
        }
    }
}

void WaylandSession::wakeFrames() {
    if (stopped_ || !frameTimer_.isActive() || frameTimer_.remainingTime() <= kWakeWithinMs) return;
    grid_.restart();
    frameTimer_.start(0);
}

void WaylandSession::scheduleNextFrame() {
    double interval = 1.0 / 30.0;
    bool anyOnScreen = false;
    bool found = false;
    for (const Entry& e : entries_) {
        const host::ScreenSaverView* view = e.surface->view();
        if (!view) continue;
        if (!found) interval = view->animationTimeInterval();
        found = true;
        anyOnScreen = anyOnScreen || (view->window() && view->window()->isVisible());
    }
    // One timer steps every view: it slows down only when none of them is on screen.
    const double tick = host_.framePacing().tickInterval(interval, anyOnScreen || !found);
    readAtSteps_ = tick <= kReadAtStepsInterval;
    frameTimer_.start(grid_.nextDelayMs(tick));
}

void WaylandSession::updateReading() {
    // While the views are stepped often, the display is read at each step rather than whenever it
    // has something: its events (frame callbacks, buffers given back, input) then cost no wake-up
    // of their own and wait at most one step. A frame owed waits for its callback, not a step.
    const bool owed = std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.owed; });
    connection_.setReadOnlyWhenAsked(readAtSteps_ && !owed && !stopped_);
}

void WaylandSession::drawOwedFrames() {
    for (Entry& e : entries_) {
        if (!e.owed || !e.surface->isReadyForFrame()) continue;
        e.owed = false;
        drawFrame(e, false);
        e.committedAtStep = !e.surface->isReadyForFrame();
    }
}

void WaylandSession::frameTick() {
    connection_.readNow();
    if (stopped_ || closedByCompositor_ || connection_.hasFailed()) return;
    for (Entry& e : entries_) {
        host::ScreenSaverView* view = e.surface->view();
        if (!view || !view->isAnimating()) continue;
        const int steps = host_.framePacing().stepsPerTick(view->window() && view->window()->isVisible());
        for (int i = 0; i < steps && view->isAnimating(); ++i) {
            view->animateOneFrame();
            emit viewStepped(view, e.number);
            if (stopped_) return;
        }
        const bool answerDue = std::exchange(e.committedAtStep, false);
        if (!view->needsDisplay()) continue;
        if (e.surface->isReadyForFrame()) {
            drawFrame(e, false);
            e.committedAtStep = !e.surface->isReadyForFrame();
        } else {
            // The frame of the last step is not shown yet: this one follows as soon as it is,
            // rather than a step later. An output that does not answer within a step is not being
            // repainted: nothing is drawn there until it answers, at a step.
            e.owed = answerDue;
        }
    }
    connection_.flush();
    scheduleNextFrame();
    updateReading();
}

void WaylandSession::drawFrame(Entry& entry, bool force) {
    OutputSurface& surface = *entry.surface;
    if (!surface.view() || (!force && !surface.isReadyForFrame())) return;
    surface.drawFrame(options_.showFrameRate);
    if (!surface.isMapped()) return;
    const BufferGeometry g = surface.geometry();
    // Said once at the first frame and again only when the buffers change: a frame builds no text.
    if (entry.firstFrameLogged && g == entry.loggedGeometry) return;
    const std::string pixels = std::to_string(g.width) + "x" + std::to_string(g.height) + " pixels";
    const std::string logical = std::to_string(surface.width()) + "x" + std::to_string(surface.height());
    char scale[32];
    std::snprintf(scale, sizeof scale, "%g", g.devicePixelRatio);
    const std::string geometry = pixels + " for " + logical + " logical (scale " + scale +
                                 (g.viewport ? ", through a viewport)" : ")");
    if (!entry.firstFrameLogged) {
        entry.firstFrameLogged = true;
        logLine(describe(surface.output()) + ": first frame of " + geometry + ", " +
                std::to_string(surface.sinceConfigure().elapsed()) + " ms after its configure");
    } else if (g != entry.loggedGeometry) {
        // A new density or size: said once, so that what the compositor is given can be checked.
        logLine(describe(surface.output()) + ": frames of " + geometry);
    }
    entry.loggedGeometry = g;
}

void WaylandSession::logFramesCommitted(const Entry& entry) {
    const OutputSurface& surface = *entry.surface;
    // Counted from the surface's making, not the session's start: an output plugged in later, or
    // unplugged early, reports the rate it was drawn at while it was there.
    const double seconds = static_cast<double>(surface.aliveMs()) / 1000.0;
    const uint64_t frames = surface.framesCommitted();
    char text[96];
    std::snprintf(text, sizeof text, "%llu frames committed in %.1f s (%.1f per second)",
                  static_cast<unsigned long long>(frames), seconds,
                  seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
    logLine(describe(surface.output()) + ": " + text);
}

void WaylandSession::retire(std::vector<Entry>::iterator it, const std::string& why) {
    logLine(why);
    // A surface that had a view says what it drew before it goes; the stop never sees it.
    if (it->surface->view()) logFramesCommitted(*it);
    for (const auto& seat : connection_.seats()) seat->forgetSurface(it->surface->surface());
    if (host::ScreenSaverView* view = it->surface->view()) view->stopAnimation();
    entries_.erase(it);
}

void WaylandSession::displaysChanged() {
    // Outputs that come, go or move may carry the pointer along in the layout without any
    // movement of the user's: it is measured afresh from its next position.
    firstPointer_.reset();
    screens_.refresh(connection_.outputs());
    host_.defaultCenter().postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, nullptr,
                                               nullptr);
}

void WaylandSession::stop(const QString& reason) {
    if (stopped_) return;
    stopped_ = true;
    frameTimer_.stop();
    // Nothing steps any more: whatever still comes is read as it comes.
    updateReading();
    logLine("stopping the screen saver: " + reason.toStdString());
    for (Entry& e : entries_) {
        logFramesCommitted(e);
        if (host::ScreenSaverView* view = e.surface->view()) view->stopAnimation();
        e.surface->unmap();
    }
    host_.distributedCenter().postNotificationName(host::ScreenSaverWillStopNotification, nullptr, nullptr);
    connection_.flush();
    emit stopped();
}

}  // namespace waylandbackend
