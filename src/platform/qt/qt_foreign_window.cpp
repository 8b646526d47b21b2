#include "platform/qt/qt_foreign_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>
#include <cstdlib>
#include <xcb/xcb.h>

#include "platform/qt/qt_host.h"
#include "platform/qt/qt_view_widget.h"

namespace qtbackend {
namespace {

xcb_connection_t* qtConnection() {
    if (!qGuiApp) return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

QString hexId(uint32_t id) { return QStringLiteral("0x%1").arg(id, 0, 16); }

}  // namespace

bool foreignWindowIsPreview(QSize windowPixels, bool previewRequested) {
    return previewRequested || windowPixels.width() < kPreviewMaxWidth;
}

bool canReachXServer(std::string* why) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        *why = "there is no X display (DISPLAY is not set)";
        return false;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!ok) *why = std::string("cannot connect to the X display '") + display + "'";
    return ok;
}

bool hasXConnection() { return qtConnection() != nullptr; }

uint32_t xRootWindow() {
    xcb_connection_t* connection = qtConnection();
    if (!connection) return 0;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem > 0 ? screens.data->root : 0;
}

std::optional<QSize> xWindowSize(uint32_t window) {
    xcb_connection_t* connection = qtConnection();
    if (!connection || window == 0) return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &error);
    std::free(error);
    if (!reply) return std::nullopt;
    const QSize size(reply->width, reply->height);
    std::free(reply);
    return size;
}

std::optional<QPoint> xWindowRootPosition(uint32_t window) {
    xcb_connection_t* connection = qtConnection();
    const uint32_t root = xRootWindow();
    if (!connection || window == 0 || root == 0) return std::nullopt;
    xcb_generic_error_t* error = nullptr;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, root, 0, 0), &error);
    std::free(error);
    if (!reply) return std::nullopt;
    const QPoint position(reply->dst_x, reply->dst_y);
    std::free(reply);
    return position;
}

QScreen* screenAtNativePoint(QPoint point) {
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        const QRect native(g.topLeft(), QSize(static_cast<int>(std::lround(g.width() * screen->devicePixelRatio())),
                                              static_cast<int>(std::lround(g.height() * screen->devicePixelRatio()))));
        if (native.contains(point)) return screen;
    }
    return nullptr;
}

ForeignWindowSession::ForeignWindowSession(QtHost& host, uint32_t windowId, bool previewRequested,
                                           ForeignViewFactory factory, QObject* parent)
    : QObject(parent),
      host_(host),
      windowId_(windowId),
      previewRequested_(previewRequested),
      factory_(std::move(factory)) {
    pollTimer_.setInterval(kPollIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &ForeignWindowSession::poll);
}

ForeignWindowSession::~ForeignWindowSession() {
    pollTimer_.stop();
    delete widget_;
    widget_ = nullptr;
}

bool ForeignWindowSession::start(std::string* error) {
    if (widget_) return true;
    const std::optional<QSize> pixels = xWindowSize(windowId_);
    if (!pixels) {
        *error = "there is no X window " + hexId(windowId_).toStdString();
        return false;
    }
    preview_ = foreignWindowIsPreview(*pixels, previewRequested_);
    host_.screens().refresh();

    foreign_.reset(QWindow::fromWinId(windowId_));
    // A hack's window lies on one display: the one under its centre, found from where the window
    // sits on the root window. Qt takes a window it did not make for one on the primary display,
    // and the view's window, once inside it, would too: the view would find the wrong neighbours.
    QScreen* screen = foreign_->screen();
    if (const std::optional<QPoint> corner = xWindowRootPosition(windowId_)) {
        if (QScreen* under = screenAtNativePoint(*corner + QPoint(pixels->width() / 2, pixels->height() / 2)))
            screen = under;
    }
    if (screen && foreign_->screen() != screen) foreign_->setScreen(screen);
    const double dpr = screen ? screen->devicePixelRatio() : 1.0;

    const QSize points(static_cast<int>(std::lround(pixels->width() / dpr)),
                       static_cast<int>(std::lround(pixels->height() / dpr)));
    std::shared_ptr<host::ScreenSaverView> view =
        factory_(host::NSMakeRect(0, 0, std::max(points.width(), 1), std::max(points.height(), 1)), preview_);
    if (!view) {
        *error = "the screen saver refused a window of " + std::to_string(pixels->width()) + "x" +
                 std::to_string(pixels->height()) + " pixels";
        return false;
    }
    widget_ = new ViewWidget(std::move(view), host_.screens(), screen);
    widget_->setFramePacing(&host_.framePacing());
    widget_->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    widget_->setAttribute(Qt::WA_NativeWindow);
    widget_->winId();
    widget_->windowHandle()->setParent(foreign_.get());
    lastPixels_ = *pixels;
    widget_->setGeometry(0, 0, std::max(points.width(), 1), std::max(points.height(), 1));
    widget_->show();
    widget_->startAnimation();
    pollTimer_.start();
    host_.logLine(host::LogLevel::Default, "drawing into X window " + hexId(windowId_).toStdString() + " (" +
                                               std::to_string(pixels->width()) + "x" +
                                               std::to_string(pixels->height()) + (preview_ ? ", preview" : "") +
                                               ") on display '" +
                                               (screen ? screen->name().toStdString() : std::string("?")) + "'");
    return true;
}

void ForeignWindowSession::fitTo(QSize pixels) {
    if (!widget_ || pixels == lastPixels_) return;
    lastPixels_ = pixels;
    host_.logLine(host::LogLevel::Default, "X window " + hexId(windowId_).toStdString() + " resized to " +
                                               std::to_string(pixels.width()) + "x" + std::to_string(pixels.height()));
    const double dpr = widget_->devicePixelRatioF();
    widget_->setGeometry(0, 0, std::max(1, static_cast<int>(std::lround(pixels.width() / dpr))),
                         std::max(1, static_cast<int>(std::lround(pixels.height() / dpr))));
}

void ForeignWindowSession::poll() {
    if (gone_ || !widget_) return;
    const std::optional<QSize> pixels = xWindowSize(windowId_);
    if (!pixels) {
        gone_ = true;
        pollTimer_.stop();
        host_.logLine(host::LogLevel::Default, "X window " + hexId(windowId_).toStdString() + " is gone");
        emit windowGone();
        return;
    }
    fitTo(*pixels);
}

void ForeignWindowSession::stop(const QString& reason) {
    if (stopped_) return;
    stopped_ = true;
    host_.logLine(host::LogLevel::Default, "stopping the screen saver: " + reason.toStdString());
    if (widget_) {
        widget_->hide();
        widget_->stopAnimation();
    }
    host_.distributedCenter().postNotificationName(host::ScreenSaverWillStopNotification, nullptr, nullptr);
    emit stopped();
}

}  // namespace qtbackend
