#include "platform/wayland/display_pump.h"

#include <poll.h>
#include <wayland-client.h>

#include <QElapsedTimer>
#include <cerrno>
#include <cstring>

namespace waylandbackend {

DisplayPump::DisplayPump(wl_display* display) : display_(display) {}

DisplayPump::~DisplayPump() {
    readNotifier_.reset();
    writeNotifier_.reset();
    if (!failed_) wl_display_flush(display_);
}

void DisplayPump::start() {
    if (readNotifier_ || failed_) return;
    readNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Read);
    QObject::connect(readNotifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
    writeNotifier_ = std::make_unique<QSocketNotifier>(wl_display_get_fd(display_), QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, this, [this] { flush(); });
    flush();
}

void DisplayPump::setReadOnlyWhenAsked(bool onlyWhenAsked) {
    if (readNotifier_ && !failed_) readNotifier_->setEnabled(!onlyWhenAsked);
}

void DisplayPump::readNow() {
    if (failed_) return;
    pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
    if (::poll(&fd, 1, 0) > 0) readEvents();
}

void DisplayPump::flush() {
    if (failed_) return;
    if (wl_display_flush(display_) >= 0) {
        if (writeNotifier_) writeNotifier_->setEnabled(false);
        return;
    }
    if (errno == EAGAIN) {
        // The socket is full: the rest goes out when it can take more, never by spinning here.
        if (writeNotifier_) writeNotifier_->setEnabled(true);
        return;
    }
    checkFailure();
}

bool DisplayPump::roundtrip(int timeoutMs) {
    if (failed_) return false;
    // wl_display_roundtrip would wait for ever on a compositor that stalls: the same, with a limit.
    wl_callback* done = wl_display_sync(display_);
    bool answered = false;
    static const wl_callback_listener listener = {
        [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
    wl_callback_add_listener(done, &listener, &answered);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkFailure();
            break;
        }
        if (answered) break;
        if (wl_display_prepare_read(display_) != 0) continue;  // more events queued meanwhile
        if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display_);
            checkFailure();
            break;
        }
        const int left = timeoutMs - static_cast<int>(clock.elapsed());
        pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, left) <= 0) {
            wl_display_cancel_read(display_);
            break;
        }
        if (wl_display_read_events(display_) < 0) {
            checkFailure();
            break;
        }
    }
    wl_callback_destroy(done);
    return answered;
}

void DisplayPump::readEvents() {
    if (failed_) return;
    // Events another path read into the queue are dispatched before reading: prepare_read
    // refuses until the queue is empty.
    while (wl_display_prepare_read(display_) != 0) {
        if (wl_display_dispatch_pending(display_) < 0) {
            checkFailure();
            return;
        }
    }
    if (wl_display_read_events(display_) < 0) {
        checkFailure();
        return;
    }
    dispatchPending();
}

void DisplayPump::dispatchPending() {
    if (wl_display_dispatch_pending(display_) < 0) {
        checkFailure();
        return;
    }
    emit dispatched();
    flush();
}

void DisplayPump::checkFailure() {
    const int error = wl_display_get_error(display_);
    if (failed_) return;
    failed_ = true;
    if (readNotifier_) readNotifier_->setEnabled(false);
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        uint32_t id = 0;
        const uint32_t code = wl_display_get_protocol_error(display_, &interface, &id);
        emit failed(QStringLiteral("the Wayland compositor reported a protocol error on %1 (object %2, code %3)")
                        .arg(QString::fromUtf8(interface ? interface->name : "an unknown interface"))
                        .arg(id)
                        .arg(code),
                    true, error);
        return;
    }
    emit failed(QStringLiteral("lost the connection to the Wayland compositor (%1)")
                    .arg(QString::fromUtf8(std::strerror(error ? error : EPIPE))),
                false, error);
}

}  // namespace waylandbackend
