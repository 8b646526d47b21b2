// A view drawn into an X window that someone else made and owns: the window a screen-saver daemon
// gives each of its hacks, or the small preview area of a settings tool. The view's widget becomes
// a child of that window, follows its size, and reports when the window is gone.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "host/geometry.h"
#include "host/screen_saver_view.h"

class QScreen;
class QWindow;

namespace qtbackend {

class QtHost;
class ViewWidget;

/// Windows narrower than this, in pixels, are previews.
inline constexpr int kPreviewMaxWidth = 400;

/// The one place where the host decides whether the view in a foreign window is a preview: when
/// the caller says so (a settings tool passes both --root and --window-id), or when the window is
/// too small to be a display of its own. A preview never retires the process and keeps its
/// sparks to itself.
bool foreignWindowIsPreview(QSize windowPixels, bool previewRequested);

/// Whether an X server can be reached through DISPLAY; if not, `why` says what is wrong.
/// Usable before the QApplication exists.
bool canReachXServer(std::string* why);

/// Through the application's X connection: whether there is one (the xcb platform is running)...
bool hasXConnection();
/// ...the default screen's root window...
uint32_t xRootWindow();
/// ...a window's size in pixels, none when the window does not exist...
std::optional<QSize> xWindowSize(uint32_t window);
/// ...and the position of its top-left corner on the root window, in pixels.
std::optional<QPoint> xWindowRootPosition(uint32_t window);

/// The display that holds a point given in the X server's pixels (Qt keeps a screen's origin in
/// pixels and scales only its size); none when no display does.
QScreen* screenAtNativePoint(QPoint point);

/// Makes a view for a frame; `isPreview` is the host's decision above.
using ForeignViewFactory =
    std::function<std::shared_ptr<host::ScreenSaverView>(const host::CGRect& frame, bool isPreview)>;

class ForeignWindowSession : public QObject {
    Q_OBJECT
public:
    /// How often the window's size and existence are checked.
    static constexpr int kPollIntervalMs = 250;

    ForeignWindowSession(QtHost& host, uint32_t windowId, bool previewRequested, ForeignViewFactory factory,
                         QObject* parent = nullptr);
    ~ForeignWindowSession() override;

    /// Puts a view into the window and starts it. False, with the reason in `error`, when the
    /// window does not exist or the module refuses the view.
    bool start(std::string* error);

    /// Stops the view once: hides it, stops its animation and posts the will-stop notification.
    void stop(const QString& reason);
    bool isStopped() const { return stopped_; }
    bool isPreview() const { return preview_; }
    ViewWidget* widget() const { return widget_; }

    /// Checks the window now (the poll timer does it every kPollIntervalMs).
    void poll();

signals:
    void stopped();
    /// The foreign window no longer exists.
    void windowGone();

private:
    void fitTo(QSize pixels);

    QtHost& host_;
    uint32_t windowId_;
    bool previewRequested_;
    ForeignViewFactory factory_;
    std::unique_ptr<QWindow> foreign_;
    ViewWidget* widget_ = nullptr;
    QSize lastPixels_;
    QTimer pollTimer_;
    bool preview_ = false;
    bool stopped_ = false;
    bool gone_ = false;
};

}  // namespace qtbackend
