// The plumbing every connection of ours to a Wayland compositor needs, whatever it binds: the
// display's socket watched by Qt's event loop (prepare_read, read_events, dispatch_pending), a
// full socket flushed when it can take more rather than by spinning, a roundtrip that gives up
// after a while instead of waiting for ever on a stalled compositor, and the end of the
// connection told once, with what ended it.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>

struct wl_display;

namespace waylandbackend {

class DisplayPump : public QObject {
    Q_OBJECT
public:
    /// Pumps `display`, which the owner connected and disconnects after this is gone.
    explicit DisplayPump(wl_display* display);
    ~DisplayPump() override;
    DisplayPump(const DisplayPump&) = delete;
    DisplayPump& operator=(const DisplayPump&) = delete;

    /// Watches the display's socket from now on and sends what is queued.
    void start();
    /// Sends the requests made so far; a full socket is flushed as soon as it can take more.
    void flush();
    /// Sends the requests made so far and dispatches until the compositor has handled them, at
    /// most `timeoutMs`. False when it did not answer in time or the connection failed.
    bool roundtrip(int timeoutMs);
    /// Whether the connection has failed; then nothing is sent or read again.
    bool hasFailed() const { return failed_; }
    /// Whether the socket is read only when readNow() is called, rather than as soon as it has
    /// something: a client woken by a timer anyway saves the wake-ups of the events themselves.
    void setReadOnlyWhenAsked(bool onlyWhenAsked);
    /// Reads and dispatches what the socket holds now, without waiting for more.
    void readNow();

signals:
    /// A batch of events was dispatched.
    void dispatched();
    /// The connection ended, once: a protocol error (`protocolError`, with the interface, object
    /// and code in `message`), or the socket's end or failure (`error` is its errno value, 0 when
    /// the compositor just closed it).
    void failed(const QString& message, bool protocolError, int error);

private:
    void readEvents();
    void dispatchPending();
    void checkFailure();

    wl_display* display_;
    bool failed_ = false;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
};

}  // namespace waylandbackend
