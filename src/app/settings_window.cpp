// The settings window: a live preview of the screen saver and a button that opens the options
// sheet over it. The preview is a preview view, so it never retires the process and never sends
// sparks to other displays; the program ends when the window is closed.
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
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

/// A top-level window that reports its closing instead of just hiding.
class SettingsWindow : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        if (onClose) onClose();
    }
};

}  // namespace

int runSettingsWindow(qtbackend::QtHost& host) {
    auto view = tavrin::Tavrin_ScreenSaverView::create(host::NSMakeRect(0, 0, kPreviewWidth, kPreviewHeight), true);
    if (!view) return 1;

    SettingsWindow window;
    window.setWindowTitle(QStringLiteral("Tavrin Screen Saver"));
    window.onClose = [] { QCoreApplication::exit(0); };

    auto* preview = new qtbackend::ViewWidget(view, host.screens(), nullptr, &window);
    preview->setMinimumSize(160, 90);
    auto* caption = new QLabel(QStringLiteral("Tavrin — live preview"), &window);
    auto* options = new QPushButton(QStringLiteral("Options…"), &window);
    options->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(caption);
    buttons->addStretch(1);
    buttons->addWidget(options);
    auto* idleSwitch = new IdleSwitch(QCoreApplication::applicationFilePath(), host.log().alsoStderr(),
                                      [&host](const std::string& line) { host.logLine(host::LogLevel::Error, line); },
                                      &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(preview, 1);
    layout->addLayout(buttons);
    layout->addWidget(idleSwitch);
    // The preview at its size, over the caption's row and the idle row with its lines.
    window.resize(kPreviewWidth + 24, kPreviewHeight + 64 + idleSwitch->sizeHint().height());

    QObject::connect(options, &QPushButton::clicked, &window, [&] {
        options->setEnabled(false);
        // OK applies to the preview at once and saves; Cancel reloads what is stored.
        // New settings change what the scene draws between two frames: the preview repaints whole.
        const bool shown = qtbackend::presentConfigureSheet(*view, &window, [options, preview] {
            options->setEnabled(true);
            preview->invalidateFrame();
        });
        if (!shown) {
            host.logLine(host::LogLevel::Error, "the options sheet could not be shown");
            options->setEnabled(true);
        }
    });

    StopSignals stopSignals;
    if (!stopSignals.install([](int) { QCoreApplication::exit(0); }))
        host.logLine(host::LogLevel::Error, "cannot watch for SIGTERM and SIGINT; they end the program at once");

    window.show();
    preview->startAnimation();
    const int status = QApplication::exec();
    // The sheet, if still open, goes with the view; the window's widgets go before the host.
    view->dismissConfigSheet();
    return status;
}

}  // namespace app
