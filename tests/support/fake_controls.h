// Sheet-control doubles: plain records of every property a control is given, and an action the
// test can trigger as a user would.
//
// What they do not model: layout, fonts' metrics, key handling and the slider's own mapping of a
// position to a value (the test sets the integer value directly).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/controls.h"

namespace fake {

template <class Base>
class FakeControlBase : public Base {
public:
    void setFrame(const host::CGRect& f) override { frame_ = f; }
    host::CGRect frame() const override { return frame_; }
    void setEnabled(bool e) override { enabled_ = e; }
    bool isEnabled() const override { return enabled_; }
    void setToolTip(std::string_view t) override { toolTip_ = t; }
    std::string toolTip() const override { return toolTip_; }
    void setAction(host::ControlAction a) override { action_ = std::move(a); }
    void performAction() override {
        if (action_) action_(this);
    }
    bool hasAction() const { return static_cast<bool>(action_); }

private:
    host::CGRect frame_{};
    bool enabled_ = true;
    std::string toolTip_;
    host::ControlAction action_;
};

class FakeLabel : public FakeControlBase<host::Label> {
public:
    void setStringValue(std::string_view t) override { text_ = t; }
    std::string stringValue() const override { return text_; }
    void setFont(const host::Font& f) override { font_ = f; }
    host::Font font() const override { return font_; }
    void setAlignment(host::TextAlignment a) override { alignment_ = a; }
    host::TextAlignment alignment() const override { return alignment_; }
    void setTextColor(host::TextColor c) override { color_ = c; }
    host::TextColor textColor() const override { return color_; }
    void setSelectable(bool s) override { selectable_ = s; }
    bool isSelectable() const override { return selectable_; }

private:
    std::string text_;
    host::Font font_ = host::Font::labelFont();
    host::TextAlignment alignment_ = host::TextAlignment::Natural;
    host::TextColor color_ = host::TextColor::Label;
    bool selectable_ = false;
};

class FakeCheckbox : public FakeControlBase<host::Checkbox> {
public:
    explicit FakeCheckbox(std::string title) : title_(std::move(title)) {}
    std::string title() const override { return title_; }
    void setState(int64_t s) override { state_ = s; }
    int64_t state() const override { return state_; }
    /// Clicks the box: toggles it and runs its action, as a user's click does.
    void click() {
        state_ = state_ == host::NSControlStateValueOn ? host::NSControlStateValueOff : host::NSControlStateValueOn;
        performAction();
    }

private:
    std::string title_;
    int64_t state_ = host::NSControlStateValueOff;
};

class FakeSlider : public FakeControlBase<host::Slider> {
public:
    void setMinValue(double v) override { min_ = v; }
    double minValue() const override { return min_; }
    void setMaxValue(double v) override { max_ = v; }
    double maxValue() const override { return max_; }
    void setIntegerValue(int64_t v) override { value_ = v; }
    int64_t integerValue() const override { return value_; }
    void setNumberOfTickMarks(int64_t n) override { ticks_ = n; }
    int64_t numberOfTickMarks() const override { return ticks_; }
    void setContinuous(bool c) override { continuous_ = c; }
    bool isContinuous() const override { return continuous_; }
    /// Drags the knob to a value and runs the action, as a continuous slider does.
    void dragTo(int64_t v) {
        value_ = v;
        performAction();
    }

private:
    double min_ = 0, max_ = 1;
    int64_t value_ = 0, ticks_ = 0;
    bool continuous_ = false;
};

class FakeButton : public FakeControlBase<host::Button> {
public:
    explicit FakeButton(std::string title) : title_(std::move(title)) {}
    std::string title() const override { return title_; }
    void setBezelStyle(host::BezelStyle s) override { bezel_ = s; }
    host::BezelStyle bezelStyle() const { return bezel_; }
    void setKeyEquivalent(std::string_view k) override { key_ = k; }
    std::string keyEquivalent() const override { return key_; }

private:
    std::string title_;
    host::BezelStyle bezel_ = host::BezelStyle::Push;
    std::string key_;
};

class FakeSheetWindow : public host::SheetWindow {
public:
    FakeSheetWindow(host::CGRect content, std::string title) : content_(content), title_(std::move(title)) {}
    bool isVisible() const override { return true; }
    uint64_t occlusionState() const override { return host::NSWindowOcclusionStateVisible; }
    std::shared_ptr<host::Screen> screen() const override { return nullptr; }
    double backingScaleFactor() const override { return 1; }
    host::NSEdgeInsets safeAreaInsets() const override { return {}; }
    host::Window* sheetParent() const override { return parent; }
    void endSheet(host::Window* sheet) override { endedSheets.push_back(sheet); }
    std::string title() const override { return title_; }
    host::CGRect contentRect() const override { return content_; }
    void addSubview(std::shared_ptr<host::Control> c) override { subviews.push_back(std::move(c)); }
    size_t subviewCount() const override { return subviews.size(); }
    host::Control* subviewAt(size_t i) const override { return i < subviews.size() ? subviews[i].get() : nullptr; }

    host::Window* parent = nullptr;
    std::vector<host::Window*> endedSheets;
    std::vector<std::shared_ptr<host::Control>> subviews;

private:
    host::CGRect content_;
    std::string title_;
};

class FakeControlFactory : public host::ControlFactory {
public:
    std::shared_ptr<host::SheetWindow> createSheetWindow(const host::CGRect& contentRect, std::string_view title) override {
        auto w = std::make_shared<FakeSheetWindow>(contentRect, std::string(title));
        windows.push_back(w);
        return w;
    }
    std::shared_ptr<host::Label> labelWithString(std::string_view text) override {
        auto l = std::make_shared<FakeLabel>();
        l->setStringValue(text);
        return l;
    }
    std::shared_ptr<host::Checkbox> checkboxWithTitle(std::string_view title, host::ControlAction action) override {
        auto c = std::make_shared<FakeCheckbox>(std::string(title));
        c->setAction(std::move(action));
        return c;
    }
    std::shared_ptr<host::Slider> sliderWithFrame(const host::CGRect& frame) override {
        auto s = std::make_shared<FakeSlider>();
        s->setFrame(frame);
        return s;
    }
    std::shared_ptr<host::Button> buttonWithTitle(std::string_view title, host::ControlAction action) override {
        auto b = std::make_shared<FakeButton>(std::string(title));
        b->setAction(std::move(action));
        return b;
    }
    /// Every sheet window made, held weakly so a released sheet really goes away.
    std::vector<std::weak_ptr<FakeSheetWindow>> windows;
};

}  // namespace fake
