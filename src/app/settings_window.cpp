#include "app/settings_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <csignal>

#include "app/idle_switch.h"
#include "app/runs.h"
#include "app/signal_pipe.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_host.h"
#include "platform/qt/qt_view_widget.h"
#include "module/view/tavrin_screensaver_view.h"

namespace app {
namespace {

constexpr int kPreviewWidth = 480;
constexpr int kPreviewHeight = 270;

}  // namespace

SettingsWindow::SettingsWindow(std::shared_ptr<host::ScreenSaverView> view, qtbackend::QtHost& host)
    : view_(std::move(view)), host_(host) {
    setWindowTitle(tr("Tavrin Screen Saver"));
    auto* content = new QWidget(this);
    setCentralWidget(content);

    preview_ = new qtbackend::ViewWidget(view_, host.screens(), nullptr, content);
    preview_->setMinimumSize(160, 90);
    // The preview takes no input here: Tab goes from control to control.
    preview_->setFocusPolicy(Qt::NoFocus);
    auto* caption = new QLabel(tr("Tavrin — live preview"), content);
    preview_->setAccessibleName(tr("Live preview of the screen saver"));
    options_ = new QPushButton(tr("Options…"), content);
    options_->setDefault(true);
    options_->setAccessibleDescription(tr("Opens the screen saver's options"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(caption);
    buttons->addStretch(1);
    buttons->addWidget(options_);
    auto* idleSwitch = new IdleSwitch(QCoreApplication::applicationFilePath(), host.log().alsoStderr(),
                                      [&host](const std::string& line) { host.logLine(host::LogLevel::Error, line); },
                                      content);
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);
    layout->addWidget(idleSwitch);
    // The preview at its size, over the caption's row and the idle row with its lines.
    resize(kPreviewWidth + 24, kPreviewHeight + 64 + idleSwitch->sizeHint().height());

    connect(options_, &QPushButton::clicked, this, &SettingsWindow::openOptions);
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose) onClose();
}

void SettingsWindow::openOptions() {
    options_->setEnabled(false);
    // OK applies to the preview at once and saves; Cancel reloads what is stored.
    // New settings change what the scene draws between two frames: the preview repaints whole.
    const bool shown = qtbackend::presentConfigureSheet(*view_, this, [this] {
        options_->setEnabled(true);
        preview_->invalidateFrame();
    });
    if (!shown) {
        host_.logLine(host::LogLevel::Error, "the options sheet could not be shown");
        options_->setEnabled(true);
    }
}

int runSettingsWindow(qtbackend::QtHost& host) {
    auto view = tavrin::Tavrin_ScreenSaverView::create(host::NSMakeRect(0, 0, kPreviewWidth, kPreviewHeight), true);
    if (!view) return 1;

    SettingsWindow window(view, host);
    window.onClose = [] { QCoreApplication::exit(0); };

    StopSignals stopSignals;
    if (!stopSignals.install([](int) { QCoreApplication::exit(0); }))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    window.show();
    window.preview()->startAnimation();
    const int status = QApplication::exec();
    // The sheet, if still open, goes with the view; the window's widgets go before the host.
    view->dismissConfigSheet();
    return status;
}

}  // namespace app
