// The settings window: a live preview of the screen saver, an Options… button that opens the
// options sheet over it, and the row that starts Tavrin on idle. The preview is a preview view, so
// it never retires the process and never sends sparks to other displays.
#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <functional>
#include <memory>

namespace host {
class ScreenSaverView;
}
namespace qtbackend {
class QtHost;
class ViewWidget;
}
class QPushButton;

namespace app {

/// A main window, so that screen readers present it as an application's frame.
class SettingsWindow : public QMainWindow {
    Q_DECLARE_TR_FUNCTIONS(SettingsWindow)

public:
    /// The window over `view`, a preview view made on `host`, which both must outlive it.
    SettingsWindow(std::shared_ptr<host::ScreenSaverView> view, qtbackend::QtHost& host);

    /// Runs when the window is closed (it is only hidden).
    std::function<void()> onClose;

    qtbackend::ViewWidget* preview() const { return preview_; }
    QPushButton* optionsButton() const { return options_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openOptions();

    std::shared_ptr<host::ScreenSaverView> view_;
    qtbackend::QtHost& host_;
    qtbackend::ViewWidget* preview_;
    QPushButton* options_;
};

}  // namespace app
