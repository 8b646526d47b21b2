// The sheet controls of the Qt backend: a fixed-size, titled-only QDialog holding QLabel, QCheckBox,
// QSlider and QPushButton widgets at frames given in content points from the bottom (flipped to
// Qt's y-down when placed), and the presentation of a view's options sheet over a Qt window.
//
// Texts: a control shows the module's text through the factory's translation (none: as it is) and
// keeps the module's own text for the module (title(), stringValue(), toolTip()). When a sheet is
// presented, Tab follows the reading order of its controls, and a slider is named after the label
// on its row, as a sighted user reads it.
//
// Ownership: the dialog owns the widgets (Qt parenting); each control object owns only a guarded
// pointer to its widget, and the sheet window object schedules the dialog's deletion when it is
// released. Deletion is deferred because a sheet is usually released from inside the click of one
// of its own buttons.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/controls.h"
#include "host/screen_saver_view.h"

class QPushButton;
class QWidget;

namespace qtbackend {

/// How a sheet shows a text of the module: its translation, say. None shows the text as it is.
using TextTranslation = std::function<QString(std::string_view)>;

/// The dialog of a sheet: fixed size, title bar without close, minimise or resize buttons. Return
/// presses the push button whose key equivalent is "\r" and Escape the one whose key equivalent is
/// "\x1b", whichever widget has the focus; a close request (window manager) presses Escape's.
class SheetDialog : public QDialog {
public:
    SheetDialog(int width, int height);

    /// Presses the enabled push button with that key equivalent; false when there is none.
    bool pressKeyEquivalent(const QString& key);
    /// Asks for the sheet to be cancelled through its Escape button; without one it stays open,
    /// since only the sheet's owner may end it.
    void reject() override;

    static constexpr Qt::WindowFlags kFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    /// The QPushButton property that holds a button's key equivalent (a QString).
    static constexpr const char* kKeyEquivalentProperty = "tavrinKeyEquivalent";

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

/// Implemented by every Qt control so that a sheet window can place its widget.
class QtControlWidget {
public:
    virtual ~QtControlWidget() = default;
    virtual QWidget* widget() const = 0;
    /// Reparents the widget into the content widget, whose height flips the y-up frames.
    virtual void attach(QWidget* content, double contentHeight) = 0;
};

class QtSheetParent;

/// A sheet: the dialog and the controls added to it, in order.
class QtSheetWindow : public host::SheetWindow {
public:
    QtSheetWindow(const host::CGRect& contentRect, std::string_view title, const TextTranslation& translation = {});
    /// Ends the presentation if it is still on, and schedules the dialog's deletion.
    ~QtSheetWindow() override;

    bool isVisible() const override;
    uint64_t occlusionState() const override;
    /// None: the module never places a sheet by its display.
    std::shared_ptr<host::Screen> screen() const override { return nullptr; }
    double backingScaleFactor() const override;
    host::NSEdgeInsets safeAreaInsets() const override { return {}; }
    /// The window the sheet is presented over, while it is presented; else none.
    host::Window* sheetParent() const override;
    /// Sheets are never attached to a sheet; nothing to end.
    void endSheet(host::Window*) override {}

    std::string title() const override { return title_; }
    host::CGRect contentRect() const override { return contentRect_; }
    void addSubview(std::shared_ptr<host::Control> control) override;
    size_t subviewCount() const override { return subviews_.size(); }
    host::Control* subviewAt(size_t index) const override;

    /// Shows the sheet window-modal over the window of `parent` (application-modal when none).
    /// When the parent's endSheet ends it, the dialog hides and `onEnded` runs once, later, from
    /// the event loop (so it may safely destroy the view whose action ended the sheet).
    void presentSheetOver(QWidget* parent, std::function<void()> onEnded = {});
    bool isPresented() const { return presented_; }
    /// The dialog, or none once Qt has deleted it (with the parent it was presented over).
    SheetDialog* dialog() const { return dialog_; }

private:
    friend class QtSheetParent;
    void endPresentation();
    /// Names each slider after the label on its row, left of it, and lets Tab go through the
    /// controls top to bottom, left to right.
    void prepareForKeyboardAndReaders();

    host::CGRect contentRect_;
    std::string title_;
    QPointer<SheetDialog> dialog_;
    std::vector<std::shared_ptr<host::Control>> subviews_;
    std::unique_ptr<QtSheetParent> parent_;
    std::function<void()> onEnded_;
    bool presented_ = false;
};

/// Makes Qt sheets and controls.
class QtControlFactory : public host::ControlFactory {
public:
    /// How the controls made from now on show the module's texts.
    void setTextTranslation(TextTranslation translation) { translation_ = std::move(translation); }

    std::shared_ptr<host::SheetWindow> createSheetWindow(const host::CGRect& contentRect, std::string_view title) override;
    std::shared_ptr<host::Label> labelWithString(std::string_view text) override;
    std::shared_ptr<host::Checkbox> checkboxWithTitle(std::string_view title, host::ControlAction action) override;
    std::shared_ptr<host::Slider> sliderWithFrame(const host::CGRect& frame) override;
    std::shared_ptr<host::Button> buttonWithTitle(std::string_view title, host::ControlAction action) override;

private:
    TextTranslation translation_;
};

/// The Qt widget rectangle of a frame given in points from the bottom of a content area that is
/// `contentHeight` high. Edges are rounded, so neighbouring frames stay adjacent.
QRect widgetRectForFrame(const host::CGRect& frame, double contentHeight);

/// Asks the view for its options sheet and shows it window-modal over `parent`; `onEnded` runs
/// from the event loop once the sheet has ended (OK, Cancel, or the view let it go). False, with
/// nothing shown, when the view offers no sheet or the sheet was not made by QtControlFactory.
bool presentConfigureSheet(host::ScreenSaverView& view, QWidget* parent, std::function<void()> onEnded = {});

}  // namespace qtbackend
