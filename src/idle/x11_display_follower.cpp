// On an X11 session: the X server's own screen saver and its display power. The server says when
// its screen saver turns on and off (MIT-SCREEN-SAVER's ScreenSaverNotify). A server with DPMS
// 1.2 says when the displays' power level changes (DPMSInfoNotify, a generic event); of an older
// one the level is asked every kPollInterval, and only while a saver runs: a dark display matters
// only then, and the running saver wakes the machine far more often anyway. DPMS has one level
// for all of the server's displays.
#include <sys/uio.h>
#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcbext.h>

#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "idle/followers.h"

namespace idle {
namespace {

constexpr uint8_t kDpmsSelectInput = 8;  ///< DPMS 1.2's request
constexpr uint32_t kDpmsInfoNotifyMask = 1;
constexpr uint16_t kDpmsInfoNotify = 0;  ///< the generic event's type
constexpr uint16_t kDpmsModeOn = 0;

template <typename Reply>
struct FreeReply {
    void operator()(Reply* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply<Reply>>;

class X11DisplayFollower : public SessionFollower {
public:
    static constexpr std::chrono::milliseconds kPollInterval{2000};

    /// Takes over `connection`. `dpmsOpcode` is 0 without DPMS; `dpmsNotifies` when the server
    /// has DPMS 1.2.
    X11DisplayFollower(xcb_connection_t* connection, xcb_window_t root, uint8_t saverEvent, uint8_t dpmsOpcode,
                       bool dpmsNotifies)
        : SessionFollower(Effect::Cover),
          connection_(connection),
          saverEvent_(saverEvent),
          dpmsOpcode_(dpmsOpcode),
          dpmsNotifies_(dpmsNotifies),
          notifier_(xcb_get_file_descriptor(connection), QSocketNotifier::Read) {
        connect(&notifier_, &QSocketNotifier::activated, this, [this] { readEvents(); });
        pollTimer_.setInterval(kPollInterval);
        connect(&pollTimer_, &QTimer::timeout, this, [this] { askDpms(); });

        // What is selected first, so that a change between the question and its answer comes as
        // an event after the answer.
        xcb_screensaver_select_input(connection_, root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        if (dpmsNotifies_) selectDpmsInput();
        const ReplyPtr<xcb_screensaver_query_info_reply_t> info(
            xcb_screensaver_query_info_reply(connection_, xcb_screensaver_query_info(connection_, root), nullptr));
        if (info)
            serverSaverOn_ = info->state == XCB_SCREENSAVER_STATE_ON || info->state == XCB_SCREENSAVER_STATE_CYCLE;
        if (dpmsOpcode_) askDpms();
        update();
        readEvents();  // what came in with the answers is already read from the socket
    }

    ~X11DisplayFollower() override { xcb_disconnect(connection_); }

    QString name() const override { return QStringLiteral("the X server's screen saver and display power"); }

    void saverRunning(bool running) override {
        if (!dpmsOpcode_ || dpmsNotifies_ || lost_) return;
        if (running) {
            askDpms();
            pollTimer_.start();
        } else {
            pollTimer_.stop();
        }
    }

private:
    void selectDpmsInput() {
        struct {
            uint8_t major;
            uint8_t minor;
            uint16_t length;
            uint32_t mask;
        } request{0, kDpmsSelectInput, 0, kDpmsInfoNotifyMask};
        // xcb fills in the major opcode and the length; the two slots before the request are its own.
        iovec parts[3] = {{}, {}, {&request, sizeof request}};
        const xcb_protocol_request_t kind{1, &xcb_dpms_id, kDpmsSelectInput, 1};
        xcb_send_request(connection_, 0, parts + 2, &kind);
        xcb_flush(connection_);
    }

    void askDpms() {
        const ReplyPtr<xcb_dpms_info_reply_t> info(
            xcb_dpms_info_reply(connection_, xcb_dpms_info(connection_), nullptr));
        if (!info) return (void)connectionLost();
        setDpms(info->state, info->power_level);
    }

    void setDpms(bool enabled, uint16_t level) {
        level_ = enabled ? level : kDpmsModeOn;
        update();
    }

    void readEvents() {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == saverEvent_ + XCB_SCREENSAVER_NOTIFY) {
                const auto* notify = reinterpret_cast<const xcb_screensaver_notify_event_t*>(event);
                serverSaverOn_ =
                    notify->state == XCB_SCREENSAVER_STATE_ON || notify->state == XCB_SCREENSAVER_STATE_CYCLE;
            } else if (type == XCB_GE_GENERIC && dpmsOpcode_) {
                const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
                if (generic->extension == dpmsOpcode_ && generic->event_type == kDpmsInfoNotify) {
                    // After the 12 bytes of the generic event's head: the time, then the level
                    // (2 bytes) and whether DPMS is enabled (1 byte).
                    uint16_t level = 0;
                    std::memcpy(&level, reinterpret_cast<const uint8_t*>(event) + 16, sizeof level);
                    setDpms(reinterpret_cast<const uint8_t*>(event)[18] != 0, level);
                }
            }
            std::free(event);
        }
        if (!connectionLost()) update();
    }

    void update() {
        if (serverSaverOn_)
            setActive(true, "the X server's screen saver is on");
        else if (level_ != kDpmsModeOn)
            setActive(true, "the X server has turned the displays off (DPMS)");
        else
            setActive(false);
    }

    /// The idle source, on its own connection, ends the watcher with the server: this only stops.
    bool connectionLost() {
        if (lost_) return true;
        if (!xcb_connection_has_error(connection_)) return false;
        lost_ = true;
        notifier_.setEnabled(false);
        pollTimer_.stop();
        serverSaverOn_ = false;
        level_ = kDpmsModeOn;
        update();
        return true;
    }

    xcb_connection_t* connection_;
    uint8_t saverEvent_;
    uint8_t dpmsOpcode_;
    bool dpmsNotifies_;
    QSocketNotifier notifier_;
    QTimer pollTimer_;  ///< asks the DPMS level while a saver runs, without DPMS 1.2
    bool serverSaverOn_ = false;
    uint16_t level_ = kDpmsModeOn;  ///< DPMS's power level, on while DPMS is disabled
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<SessionFollower> followX11Display(const IdleLog& log) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    // On a Wayland session the X server is XWayland, whose screen saver and DPMS mean nothing.
    if (!display || !*display || (wayland && *wayland) || std::getenv("WAYLAND_SOCKET")) return nullptr;
    int screenNumber = 0;
    std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(xcb_connect(nullptr, &screenNumber),
                                                                              xcb_disconnect);
    if (xcb_connection_has_error(connection.get())) return nullptr;  // the idle source has said so
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    const xcb_query_extension_reply_t* saver = xcb_get_extension_data(connection.get(), &xcb_screensaver_id);
    if (screens.rem == 0 || !saver || !saver->present) return nullptr;

    uint8_t dpmsOpcode = 0;
    bool notifies = false;
    const xcb_query_extension_reply_t* dpms = xcb_get_extension_data(connection.get(), &xcb_dpms_id);
    const ReplyPtr<xcb_dpms_capable_reply_t> capable(
        dpms && dpms->present ? xcb_dpms_capable_reply(connection.get(), xcb_dpms_capable(connection.get()), nullptr)
                              : nullptr);
    if (capable && capable->capable) {
        const ReplyPtr<xcb_dpms_get_version_reply_t> version(
            xcb_dpms_get_version_reply(connection.get(), xcb_dpms_get_version(connection.get(), 1, 2), nullptr));
        dpmsOpcode = dpms->major_opcode;
        notifies = version && (version->server_major_version > 1 ||
                               (version->server_major_version == 1 && version->server_minor_version >= 2));
        log(host::LogLevel::Default, notifies ? "the X server tells when the displays turn off (DPMS 1.2)"
                                              : "the X server's DPMS is older than 1.2: while a screen saver runs, "
                                                "whether the displays are off is asked every 2 s");
    } else {
        log(host::LogLevel::Default,
            "the X server has no display power management (DPMS): only its own screen "
            "saver is followed");
    }
    return std::make_unique<X11DisplayFollower>(connection.release(), screens.data->root, saver->first_event,
                                                dpmsOpcode, notifies);
}

}  // namespace idle
