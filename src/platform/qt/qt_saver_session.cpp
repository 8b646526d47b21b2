#include "platform/qt/qt_saver_session.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "platform/qt/qt_host.h"

namespace qtbackend {

ScreenSaverSession::ScreenSaverSession(QtHost& host, Mode mode, ViewFactory factory, QObject* parent)
    : QObject(parent), host_(host), mode_(mode), factory_(std::move(factory)) {}

ScreenSaverSession::~ScreenSaverSession() {
    std::vector<Display> displays = std::move(displays_);
    displays_.clear();
    for (const Display& d : displays) delete d.widget;
}

bool ScreenSaverSession::start(QSize windowSize) {
    if (started_) return !displays_.empty();
    started_ = true;
    host_.screens().refresh();

    connect(qGuiApp, &QGuiApplication::screenAdded, this, &ScreenSaverSession::handleScreenAdded);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &ScreenSaverSession::handleScreenRemoved);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen*) { displaysChanged(); });
    for (QScreen* screen : QGuiApplication::screens()) watchScreen(screen);

    if (mode_ == Mode::Window) {
        ViewWidget* widget = createWidget(nullptr, windowSize);
        if (!widget) return false;
        displays_.push_back({nullptr, widget});
        widget->setWindowTitle(QStringLiteral("Tavrin"));
        widget->show();
        widget->startAnimation();
        return true;
    }
    for (QScreen* screen : QGuiApplication::screens()) {
        ViewWidget* widget = createWidget(screen, screen->geometry().size());
        if (!widget) continue;
        displays_.push_back({screen, widget});
        showOnScreen(widget, screen);
        widget->startAnimation();
    }
    return !displays_.empty();
}

ViewWidget* ScreenSaverSession::createWidget(QScreen* screen, QSize size) {
    if (size.isEmpty()) return nullptr;
    std::shared_ptr<host::ScreenSaverView> view = factory_(host::NSMakeRect(0, 0, size.width(), size.height()));
    if (!view) return nullptr;
    auto* widget = new ViewWidget(std::move(view), host_.screens(), screen);
    widget->setFramePacing(&host_.framePacing());
    switch (mode_) {
        case Mode::FullScreen:
            widget->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
            widget->setCursor(Qt::BlankCursor);
            connect(widget, &ViewWidget::keyPressed, this, [this] { stop(QStringLiteral("key press")); });
            connect(widget, &ViewWidget::mousePressed, this, [this] { stop(QStringLiteral("mouse click")); });
            connect(widget, &ViewWidget::wheelTurned, this, [this] { stop(QStringLiteral("mouse wheel")); });
            connect(widget, &ViewWidget::mouseMoved, this, &ScreenSaverSession::handlePointerMoved);
            connect(widget, &ViewWidget::closeRequested, this, [this] { stop(QStringLiteral("window closed")); });
            break;
        case Mode::Window:
            connect(widget, &ViewWidget::closeRequested, this, &ScreenSaverSession::windowClosed);
            break;
        case Mode::Headless:
            widget->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
            widget->setFrameTimerEnabled(false);
            break;
    }
    emit widgetCreated(widget);
    return widget;
}

void ScreenSaverSession::showOnScreen(ViewWidget* widget, QScreen* screen) {
    widget->setScreen(screen);
    widget->setGeometry(screen->geometry());
    widget->showFullScreen();
    if (mode_ == Mode::FullScreen) {
        widget->raise();
        widget->activateWindow();
    }
}

void ScreenSaverSession::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &ScreenSaverSession::screenGeometryChanged, Qt::UniqueConnection);
}

void ScreenSaverSession::stop(const QString& reason) {
    if (stopped_) return;
    stopped_ = true;
    host_.logLine(host::LogLevel::Default, "stopping the screen saver: " + reason.toStdString());
    for (const Display& d : displays_) d.widget->hide();
    for (const Display& d : displays_) d.widget->stopAnimation();
    host_.distributedCenter().postNotificationName(host::ScreenSaverWillStopNotification, nullptr, nullptr);
    emit stopped();
}

void ScreenSaverSession::handlePointerMoved(QPointF globalPosition) {
    if (!firstPointer_) {
        firstPointer_ = globalPosition;
        return;
    }
    const QPointF travel = globalPosition - *firstPointer_;
    if (std::hypot(travel.x(), travel.y()) > kPointerJitter) stop(QStringLiteral("mouse movement"));
}

std::vector<ViewWidget*> ScreenSaverSession::widgets() const {
    std::vector<ViewWidget*> result;
    result.reserve(displays_.size());
    for (const Display& d : displays_) result.push_back(d.widget);
    return result;
}

ViewWidget* ScreenSaverSession::widgetForScreen(const QScreen* screen) const {
    for (const Display& d : displays_)
        if (d.screen == screen && screen) return d.widget;
    return nullptr;
}

void ScreenSaverSession::handleScreenAdded(QScreen* screen) {
    watchScreen(screen);
    host_.screens().refresh();
    if (mode_ != Mode::Window && started_ && !stopped_ && !widgetForScreen(screen)) {
        if (ViewWidget* widget = createWidget(screen, screen->geometry().size())) {
            displays_.push_back({screen, widget});
            // Keep the views in the displays' order.
            const QList<QScreen*> order = QGuiApplication::screens();
            std::stable_sort(displays_.begin(), displays_.end(), [&](const Display& a, const Display& b) {
                return order.indexOf(a.screen) < order.indexOf(b.screen);
            });
            showOnScreen(widget, screen);
            widget->startAnimation();
        }
    }
    logDisplayChange("added", screen);
    displaysChanged();
}

void ScreenSaverSession::handleScreenRemoved(QScreen* screen) {
    // Qt still holds the screen while it announces the removal: the view goes now, before any
    // window could be moved to another display or anything asks the screen that is going away.
    const auto it = std::find_if(displays_.begin(), displays_.end(), [&](const Display& d) { return d.screen == screen; });
    if (it != displays_.end()) {
        ViewWidget* widget = it->widget;
        displays_.erase(it);
        delete widget;
    }
    disconnect(screen, nullptr, this, nullptr);
    logDisplayChange("removed", screen);
    displaysChanged();
}

void ScreenSaverSession::logDisplayChange(const char* what, const QScreen* screen) {
    const QRect g = screen->geometry();
    host_.logLine(host::LogLevel::Default, "display '" + screen->name().toStdString() + "' " + what + " (" +
                                               std::to_string(g.width()) + "x" + std::to_string(g.height()) + "+" +
                                               std::to_string(g.x()) + "+" + std::to_string(g.y()) + "); " +
                                               std::to_string(displays_.size()) + " view(s)");
}

void ScreenSaverSession::handleScreenGeometryChanged(QScreen* screen) {
    if (ViewWidget* widget = widgetForScreen(screen)) widget->setGeometry(screen->geometry());
    displaysChanged();
}

void ScreenSaverSession::screenGeometryChanged() {
    if (auto* screen = qobject_cast<QScreen*>(sender())) handleScreenGeometryChanged(screen);
}

void ScreenSaverSession::displaysChanged() {
    host_.screens().refresh();
    host_.defaultCenter().postNotificationName(host::NSApplicationDidChangeScreenParametersNotification, qGuiApp,
                                               nullptr);
}

}  // namespace qtbackend
