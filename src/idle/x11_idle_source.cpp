#include "idle/x11_idle_source.h"

#include <cmath>
#include <cstdlib>
#include <xcb/screensaver.h>
#include <xcb/xinput.h>

#include "idle/screensaver_service.h"
#include "idle/xcb_reply.h"

namespace idle {
namespace {

using std::chrono::milliseconds;

/// The shortest sleep between two looks at the idle time, so that a server clock a little behind
/// ours never makes the timer spin.
constexpr milliseconds kShortestSleep{10};

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

/// Whether an XScreenSaver daemon runs on this display: it keeps a small window of its own among
/// the root window's children, marked with the property _SCREENSAVER_VERSION, for as long as it
/// runs. (The _SCREENSAVER_STATUS it sets on the root window stays behind when it ends.)
bool xscreensaverDaemonRuns(xcb_connection_t* connection, xcb_window_t root) {
    static constexpr char kMark[] = "_SCREENSAVER_VERSION";
    const ReplyPtr<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, /*only_if_exists=*/1, sizeof kMark - 1, kMark), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) return false;  // no daemon ever ran on this server
    const ReplyPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr));
    if (!tree) return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // All the questions first, then the answers: one round trip, however many windows there are.
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(count);
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_get_property(connection, 0, children[i], atom->atom, XCB_ATOM_STRING, 0, 0));
    bool found = false;
    for (const xcb_get_property_cookie_t& cookie : cookies) {
        const ReplyPtr<xcb_get_property_reply_t> property(xcb_get_property_reply(connection, cookie, nullptr));
        found = found || (property && property->type != XCB_ATOM_NONE);
    }
    return found;
}

}  // namespace

X11IdleSource::X11IdleSource(xcb_connection_t* connection, xcb_window_t root, uint8_t xinputOpcode,
                             SourceContext context)
    : connection_(connection), root_(root), xinputOpcode_(xinputOpcode), context_(std::move(context)) {
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &X11IdleSource::readEvents);
    checkTimer_.setSingleShot(true);
    checkTimer_.setTimerType(Qt::PreciseTimer);
    connect(&checkTimer_, &QTimer::timeout, this, &X11IdleSource::checkIdle);

    service_ = std::make_unique<ScreenSaverService>(context_.log, context_.saverRunning);
    if (service_->serve()) {
        connect(service_.get(), &ScreenSaverService::inhibitedChanged, this, &X11IdleSource::inhibitionChanged);
        connect(service_.get(), &ScreenSaverService::userActivity, this, &X11IdleSource::activityReported);
        connect(service_.get(), &ScreenSaverService::holdersChanged, this, &IdleSource::holdersChanged);
    } else {
        service_.reset();
    }
}

X11IdleSource::~X11IdleSource() {
    service_.reset();
    notifier_.reset();
    xcb_disconnect(connection_);
}

QString X11IdleSource::name() const { return QStringLiteral("the X server's idle time (MIT-SCREEN-SAVER)"); }

bool X11IdleSource::watch(milliseconds timeout, std::string*) {
    timeout_ = timeout;
    freshSince_ = std::chrono::steady_clock::now();
    // While idle, the new timeout applies from the user's return.
    if (!idle_ && !inhibited()) scheduleCheck(timeout_);
    return true;
}

std::vector<Inhibitor> X11IdleSource::holders() const {
    return service_ ? service_->holders() : std::vector<Inhibitor>();
}

void X11IdleSource::saverStateChanged(bool running) {
    if (service_) service_->announceActive(running);
}

bool X11IdleSource::inhibited() const { return service_ && service_->inhibited(); }

void X11IdleSource::scheduleCheck(milliseconds delay) { checkTimer_.start(std::max(delay, kShortestSleep)); }

std::optional<milliseconds> X11IdleSource::idleTime() {
    const ReplyPtr<xcb_screensaver_query_info_reply_t> info(
        xcb_screensaver_query_info_reply(connection_, xcb_screensaver_query_info(connection_, root_), nullptr));
    if (!info) {
        connectionLost();
        return std::nullopt;
    }
    const auto fresh =
        std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - freshSince_);
    return std::min(milliseconds(info->ms_since_user_input), fresh);
}

std::optional<std::pair<int, int>> X11IdleSource::pointerPosition() {
    const ReplyPtr<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr));
    if (!pointer) {
        connectionLost();
        return std::nullopt;
    }
    return std::pair<int, int>(pointer->root_x, pointer->root_y);
}

void X11IdleSource::selectRawInput(bool on) {
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, 0};
    if (on)
        mask.bits = XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS |
                    XCB_INPUT_XI_EVENT_MASK_RAW_MOTION | XCB_INPUT_XI_EVENT_MASK_RAW_TOUCH_BEGIN;
    xcb_input_xi_select_events(connection_, root_, 1, &mask.head);
    xcb_flush(connection_);
}

void X11IdleSource::checkIdle() {
    if (idle_ || inhibited() || ended_) return;
    const std::optional<milliseconds> idleFor = idleTime();
    if (!idleFor) {
        // The server refused an answer but the connection stands: it is asked again a timeout later.
        if (!ended_) scheduleCheck(timeout_);
        return;
    }
    if (*idleFor < timeout_) {
        scheduleCheck(timeout_ - *idleFor);
        return;
    }
    // The return is listened for before the word goes out, and the idle time asked once more
    // behind the selection: input in between shows as a shorter idle time, not as a lost return.
    selectRawInput(true);
    const std::optional<std::pair<int, int>> pointer = pointerPosition();
    const std::optional<milliseconds> idleStill = idleTime();
    if (!pointer || !idleStill || *idleStill < *idleFor) {
        if (ended_) return;
        selectRawInput(false);
        scheduleCheck(timeout_ - idleStill.value_or(milliseconds(0)));
        return;
    }
    idlePointer_ = *pointer;
    idle_ = true;
    emit idle();
    readEvents();  // what came in with the replies is already read from the socket
}

void X11IdleSource::readEvents() {
    for (;;) {
        const char* input = nullptr;
        bool motion = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_GE_GENERIC) {
                const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
                if (generic->extension == xinputOpcode_) {
                    switch (generic->event_type) {
                        case XCB_INPUT_RAW_KEY_PRESS: input = "a key press"; break;
                        case XCB_INPUT_RAW_BUTTON_PRESS: input = "a button press"; break;
                        case XCB_INPUT_RAW_TOUCH_BEGIN: input = "a touch"; break;
                        case XCB_INPUT_RAW_MOTION: motion = true; break;
                    }
                }
            }
            std::free(event);
        }
        if (connectionLost() || !idle_ || !(input || motion)) return;
        if (!input) {
            // Raw motion says that the device moved, not how far on the screen: the pointer does.
            const std::optional<std::pair<int, int>> pointer = pointerPosition();
            if (!pointer) return;
            const double travel =
                std::hypot(pointer->first - idlePointer_.first, pointer->second - idlePointer_.second);
            // Within the allowance: look again, for what came in while the pointer was asked.
            if (travel <= kPointerJitter) continue;
            input = "pointer movement";
        }
        userReturned(input);
        return;
    }
}

void X11IdleSource::userReturned(const char* how) {
    context_.log(host::LogLevel::Default, std::string("the user is back: ") + how);
    idle_ = false;
    selectRawInput(false);
    emit active();
    checkIdle();
}

void X11IdleSource::inhibitionChanged(bool inhibited) {
    if (inhibited) {
        checkTimer_.stop();
        return;
    }
    // The idle period counts from the release of the last inhibition.
    freshSince_ = std::chrono::steady_clock::now();
    if (!idle_) scheduleCheck(timeout_);
}

void X11IdleSource::activityReported() {
    freshSince_ = std::chrono::steady_clock::now();
    // The server learns of it too, so that its own blanking and display power saving start afresh.
    xcb_force_screen_saver(connection_, XCB_SCREEN_SAVER_RESET);
    xcb_flush(connection_);
    if (idle_) userReturned("activity reported on the bus");
}

bool X11IdleSource::connectionLost() {
    if (ended_) return true;
    if (!xcb_connection_has_error(connection_)) return false;
    ended_ = true;
    notifier_->setEnabled(false);
    checkTimer_.stop();
    emit ended(0, QStringLiteral("lost the connection to the X server"));
    return true;
}

SourceAttempt tryX11IdleSource(const SourceContext& context) {
    SourceAttempt attempt;
    const std::string display = environment("DISPLAY");
    // On a Wayland session the X server is XWayland, whose idle time sees only X clients' input.
    if (display.empty() || !environment("WAYLAND_DISPLAY").empty() || !environment("WAYLAND_SOCKET").empty())
        return attempt;
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(xcb_connect(nullptr, &screenNumber),
                                                                              xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) {
        attempt.missing = "cannot connect to the X server " + display;
        return attempt;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        attempt.missing = "the X server " + display + " has no screen " + std::to_string(screenNumber);
        return attempt;
    }
    const xcb_window_t root = screens.data->root;
    if (xscreensaverDaemonRuns(connection.get(), root)) {
        attempt.stepAside =
            "XScreenSaver runs here and starts the screen savers: choose Tavrin in its settings "
            "('xscreensaver-settings') instead of the idle watcher";
        return attempt;
    }
    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(connection.get(), &xcb_screensaver_id);
    if (!saver || !saver->present) {
        attempt.missing = "the X server " + display + " has no MIT-SCREEN-SAVER extension to tell the idle time";
        return attempt;
    }
    const xcb_query_extension_reply_t* xinput = xcb_get_extension_data(connection.get(), &xcb_input_id);
    const ReplyPtr<xcb_input_xi_query_version_reply_t> version(
        xinput && xinput->present
            ? xcb_input_xi_query_version_reply(connection.get(), xcb_input_xi_query_version(connection.get(), 2, 2),
                                               nullptr)
            : nullptr);
    if (!version || version->major_version < 2 || (version->major_version == 2 && version->minor_version < 2)) {
        attempt.missing = "the X server " + display + " has no XInput 2.2 to tell the user's return";
        return attempt;
    }
    attempt.source =
        std::make_unique<X11IdleSource>(connection.release(), root, xinput->major_opcode, context);
    return attempt;
}

}  // namespace idle
