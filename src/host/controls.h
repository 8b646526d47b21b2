// Controls of an options sheet: a fixed-size window with labels, check boxes, sliders and push
// buttons placed at frames given in the content view's points (origin at the lower left, y up).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "host/geometry.h"
#include "host/services.h"

namespace host {

class Control;

/// What a control calls when the user acts on it; the argument is the control itself.
using ControlAction = std::function<void(Control* sender)>;

struct Font {
    enum class Kind { System, BoldSystem, Label } kind = Font::Kind::Label;
    double size = 0;  ///< points; 0 for the default label font's size
    static Font systemFontOfSize(double s) { return {Kind::System, s}; }
    static Font boldSystemFontOfSize(double s) { return {Kind::BoldSystem, s}; }
    static Font labelFont() { return {Kind::Label, 0}; }
};

enum class TextAlignment { Natural, Right };
enum class TextColor { Label, SecondaryLabel };
enum class BezelStyle { Push };

class Control {
public:
    virtual ~Control() = default;
    virtual void setFrame(const CGRect& frame) = 0;
    virtual CGRect frame() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setToolTip(std::string_view text) = 0;
    virtual std::string toolTip() const = 0;
    /// The action run when the user changes or presses the control; none to have no target.
    virtual void setAction(ControlAction action) = 0;
    /// Runs the action as if the user had acted (used by hosts and tests).
    virtual void performAction() = 0;
};

/// A text label: not editable, no border or background.
class Label : public Control {
public:
    virtual void setStringValue(std::string_view text) = 0;
    virtual std::string stringValue() const = 0;
    virtual void setFont(const Font& font) = 0;
    virtual Font font() const = 0;
    virtual void setAlignment(TextAlignment alignment) = 0;
    virtual TextAlignment alignment() const = 0;
    virtual void setTextColor(TextColor color) = 0;
    virtual TextColor textColor() const = 0;
    virtual void setSelectable(bool selectable) = 0;
    virtual bool isSelectable() const = 0;
};

/// Check box states.
inline constexpr int64_t NSControlStateValueOff = 0;
inline constexpr int64_t NSControlStateValueOn = 1;

class Checkbox : public Control {
public:
    virtual std::string title() const = 0;
    virtual void setState(int64_t state) = 0;
    virtual int64_t state() const = 0;
};

class Slider : public Control {
public:
    virtual void setMinValue(double v) = 0;
    virtual double minValue() const = 0;
    virtual void setMaxValue(double v) = 0;
    virtual double maxValue() const = 0;
    virtual void setIntegerValue(int64_t v) = 0;
    virtual int64_t integerValue() const = 0;
    virtual void setNumberOfTickMarks(int64_t n) = 0;
    virtual int64_t numberOfTickMarks() const = 0;
    virtual void setContinuous(bool continuous) = 0;
    virtual bool isContinuous() const = 0;
};

class Button : public Control {
public:
    virtual std::string title() const = 0;
    virtual void setBezelStyle(BezelStyle style) = 0;
    /// The key that presses the button: "\r" for Return, "\x1b" for Escape.
    virtual void setKeyEquivalent(std::string_view key) = 0;
    virtual std::string keyEquivalent() const = 0;
};

/// A titled, fixed-size window whose content view holds controls in the order they were added.
class SheetWindow : public Window {
public:
    virtual std::string title() const = 0;
    virtual CGRect contentRect() const = 0;
    virtual void addSubview(std::shared_ptr<Control> control) = 0;
    virtual size_t subviewCount() const = 0;
    virtual Control* subviewAt(size_t index) const = 0;
};

/// Makes the controls of a sheet.
class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    /// A window with the content rectangle, titled only (no close, resize or minimise controls).
    virtual std::shared_ptr<SheetWindow> createSheetWindow(const CGRect& contentRect, std::string_view title) = 0;
    virtual std::shared_ptr<Label> labelWithString(std::string_view text) = 0;
    virtual std::shared_ptr<Checkbox> checkboxWithTitle(std::string_view title, ControlAction action) = 0;
    virtual std::shared_ptr<Slider> sliderWithFrame(const CGRect& frame) = 0;
    virtual std::shared_ptr<Button> buttonWithTitle(std::string_view title, ControlAction action) = 0;
};

}  // namespace host
