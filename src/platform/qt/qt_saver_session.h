// The screen-saver host's side of a run: the views it shows (one full-screen view per display, a
// single view in an ordinary window, or views stepped by hand without a timer), the displays it
// follows while running, and the stop. User input stops a full-screen run.
#pragma once

#include <QObject>
#include <QPointF>
#include <QSize>
#include <functional>
#include <optional>
#include <vector>

#include "host/geometry.h"
#include "host/screen_saver_view.h"
#include "platform/qt/qt_view_widget.h"

class QScreen;

namespace qtbackend {

class QtHost;

/// Makes a view for a frame (origin zero, the display's or window's size); none when the module
/// refuses the frame.
using ViewFactory = std::function<std::shared_ptr<host::ScreenSaverView>(const host::CGRect& frame)>;

class ScreenSaverSession : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        FullScreen,  ///< a frameless view covering each display; input stops the run
        Window,      ///< one view in an ordinary resizable window; closing it ends the run
        Headless,    ///< a view per display, shown, whose frames the owner steps by hand
    };

    /// Pointer travel, in points from where it was first seen, that counts as movement rather
    /// than jitter of the device.
    static constexpr double kPointerJitter = 8.0;

    ScreenSaverSession(QtHost& host, Mode mode, ViewFactory factory, QObject* parent = nullptr);
    ~ScreenSaverSession() override;

    /// Creates and shows the views and starts their animation. In Window mode the window has the
    /// given size. False when no view could be made.
    bool start(QSize windowSize = QSize(960, 540));

    /// Stops the saver once: hides every view, stops its animation, and posts the host's
    /// will-stop notification. Later calls do nothing.
    void stop(const QString& reason);
    bool isStopped() const { return stopped_; }

    /// The view widgets in display order (one in Window mode).
    std::vector<ViewWidget*> widgets() const;
    /// The widget showing a display, or none.
    ViewWidget* widgetForScreen(const QScreen* screen) const;

    // Display changes; connected to QGuiApplication by start(), public so tests can drive them.
    void handleScreenAdded(QScreen* screen);
    void handleScreenRemoved(QScreen* screen);
    void handleScreenGeometryChanged(QScreen* screen);

signals:
    /// The saver stopped; the views are hidden and the will-stop notification was posted.
    void stopped();
    /// The window of a Window-mode run was closed.
    void windowClosed();
    /// A view widget was made (at the start, or for a display that was added).
    void widgetCreated(ViewWidget* widget);

private slots:
    void screenGeometryChanged();

private:
    struct Display {
        QScreen* screen = nullptr;  ///< none in Window mode
        ViewWidget* widget = nullptr;
    };
    ViewWidget* createWidget(QScreen* screen, QSize size);
    void showOnScreen(ViewWidget* widget, QScreen* screen);
    void watchScreen(QScreen* screen);
    void handlePointerMoved(QPointF globalPosition);
    void displaysChanged();
    /// One log line per display plugged in or out, with the number of views after the change.
    void logDisplayChange(const char* what, const QScreen* screen);

    QtHost& host_;
    Mode mode_;
    ViewFactory factory_;
    std::vector<Display> displays_;
    bool started_ = false;
    bool stopped_ = false;
    std::optional<QPointF> firstPointer_;
};

}  // namespace qtbackend
