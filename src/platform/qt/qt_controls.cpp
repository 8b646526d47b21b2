#include "platform/qt/qt_controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <climits>
#include <cmath>

namespace qtbackend {
namespace {

const QString kReturnKey = QStringLiteral("\r");
const QString kEscapeKey = QStringLiteral("\x1b");

QString toQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString shownText(const TextTranslation& translation, std::string_view text) {
    return translation ? translation(text) : toQString(text);
}

/// A button or check box title shown literally: '&' would otherwise mark a mnemonic.
QString literalTitle(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

/// A slider bound or value as a Qt int: rounded, and held within int's range.
int toSliderInt(double v) {
    if (!(v == v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(std::lround(v));
}

/// Font sizes are in points of the content, which are Qt's device-independent pixels.
QFont toQFont(const host::Font& font) {
    QFont f = QApplication::font("QLabel");
    if (font.kind == host::Font::Kind::Label || font.size <= 0) return f;
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.size))));
    f.setBold(font.kind == host::Font::Kind::BoldSystem);
    return f;
}

/// What every control shares: the widget, its frame, its action.
template <class Base, class Widget>
class QtControl : public Base, public QtControlWidget {
public:
    ~QtControl() override {
        QObject::disconnect(connection_);
        // Once added to a sheet, the dialog owns the widget; before that, nobody else does.
        if (widget_ && !widget_->parent()) delete widget_.data();
    }

    void setFrame(const host::CGRect& frame) override {
        frame_ = frame;
        place();
    }
    host::CGRect frame() const override { return frame_; }
    void setEnabled(bool enabled) override {
        if (widget_) widget_->setEnabled(enabled);
    }
    bool isEnabled() const override { return widget_ && widget_->isEnabled(); }
    void setToolTip(std::string_view text) override {
        toolTip_ = text;
        if (widget_) widget_->setToolTip(shownText(translation_, text));
    }
    std::string toolTip() const override { return toolTip_; }
    void setAction(host::ControlAction action) override { action_ = std::move(action); }
    void performAction() override {
        // A copy runs: the action may release this control, and with it action_.
        const host::ControlAction action = action_;
        if (action) action(this);
    }

    QWidget* widget() const override { return widget_; }
    void attach(QWidget* content, double contentHeight) override {
        if (!widget_) return;
        contentHeight_ = contentHeight;
        widget_->setParent(content);
        place();
        widget_->show();
    }

protected:
    QtControl(Widget* widget, const TextTranslation& translation) : widget_(widget), translation_(translation) {}

    /// Runs the action when the widget emits the signal, unless the change came from this
    /// interface (a program setting a value is not the user acting).
    template <class Signal>
    void forwardSignal(Signal signal) {
        connection_ = QObject::connect(widget_.data(), signal, widget_.data(), [this] {
            if (!quiet_) performAction();
        });
    }
    /// Makes a change to the widget without running the action.
    template <class Change>
    void quietly(Change change) {
        if (!widget_) return;
        quiet_ = true;
        change();
        quiet_ = false;
    }

    QPointer<Widget> widget_;
    TextTranslation translation_;

private:
    void place() {
        if (!widget_) return;
        if (contentHeight_ > 0)
            widget_->setGeometry(widgetRectForFrame(frame_, contentHeight_));
        else
            widget_->resize(toSliderInt(frame_.size.width), toSliderInt(frame_.size.height));
    }

    host::CGRect frame_{};
    double contentHeight_ = 0;
    host::ControlAction action_;
    QMetaObject::Connection connection_;
    bool quiet_ = false;
    std::string toolTip_;
};

class QtLabel : public QtControl<host::Label, QLabel> {
public:
    QtLabel(std::string_view text, const TextTranslation& translation) : QtControl(new QLabel, translation) {
        widget_->setTextFormat(Qt::PlainText);
        widget_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        widget_->setTextInteractionFlags(Qt::NoTextInteraction);
        QtLabel::setStringValue(text);
    }
    void setStringValue(std::string_view text) override {
        text_ = text;
        if (widget_) widget_->setText(shownText(translation_, text));
    }
    std::string stringValue() const override { return text_; }
    void setFont(const host::Font& font) override {
        font_ = font;
        if (widget_) widget_->setFont(toQFont(font));
    }
    host::Font font() const override { return font_; }
    void setAlignment(host::TextAlignment alignment) override {
        alignment_ = alignment;
        const Qt::Alignment horizontal = alignment == host::TextAlignment::Right ? Qt::AlignRight : Qt::AlignLeft;
        if (widget_) widget_->setAlignment(horizontal | Qt::AlignVCenter);
    }
    host::TextAlignment alignment() const override { return alignment_; }
    void setTextColor(host::TextColor color) override {
        color_ = color;
        // The placeholder role is the theme's dimmed text, and follows theme changes.
        if (widget_)
            widget_->setForegroundRole(color == host::TextColor::SecondaryLabel ? QPalette::PlaceholderText
                                                                                : QPalette::WindowText);
    }
    host::TextColor textColor() const override { return color_; }
    void setSelectable(bool selectable) override {
        if (widget_)
            widget_->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    }
    bool isSelectable() const override {
        return widget_ && (widget_->textInteractionFlags() & Qt::TextSelectableByMouse);
    }

private:
    std::string text_;
    host::Font font_ = host::Font::labelFont();
    host::TextAlignment alignment_ = host::TextAlignment::Natural;
    host::TextColor color_ = host::TextColor::Label;
};

class QtCheckbox : public QtControl<host::Checkbox, QCheckBox> {
public:
    QtCheckbox(std::string_view title, host::ControlAction action, const TextTranslation& translation)
        : QtControl(new QCheckBox(literalTitle(shownText(translation, title))), translation),
          title_(title) {
        setAction(std::move(action));
        // clicked is emitted for the user's toggles only, not for setState.
        forwardSignal(&QCheckBox::clicked);
    }
    std::string title() const override { return title_; }
    void setState(int64_t state) override {
        quietly([&] { widget_->setChecked(state == host::NSControlStateValueOn); });
    }
    int64_t state() const override {
        return widget_ && widget_->isChecked() ? host::NSControlStateValueOn : host::NSControlStateValueOff;
    }

private:
    std::string title_;
};

class QtSlider : public QtControl<host::Slider, QSlider> {
public:
    QtSlider() : QtControl(new QSlider(Qt::Horizontal), {}) {
        widget_->setTickPosition(QSlider::NoTicks);
        // valueChanged follows the knob while dragging when tracking is on, and comes on release
        // when it is off.
        forwardSignal(&QSlider::valueChanged);
    }

    void setMinValue(double v) override {
        min_ = v;
        quietly([&] { widget_->setMinimum(toSliderInt(v)); });
        applyTickMarks();
    }
    double minValue() const override { return min_; }
    void setMaxValue(double v) override {
        max_ = v;
        quietly([&] { widget_->setMaximum(toSliderInt(v)); });
        applyTickMarks();
    }
    double maxValue() const override { return max_; }
    void setIntegerValue(int64_t v) override {
        const int value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
        quietly([&] { widget_->setValue(value); });
    }
    int64_t integerValue() const override { return widget_ ? widget_->value() : 0; }
    void setNumberOfTickMarks(int64_t n) override {
        tickMarks_ = n;
        applyTickMarks();
    }
    int64_t numberOfTickMarks() const override { return tickMarks_; }
    void setContinuous(bool continuous) override {
        if (widget_) widget_->setTracking(continuous);
    }
    bool isContinuous() const override { return widget_ && widget_->hasTracking(); }

private:
    void applyTickMarks() {
        if (!widget_) return;
        if (tickMarks_ <= 0) {
            widget_->setTickPosition(QSlider::NoTicks);
            return;
        }
        widget_->setTickPosition(QSlider::TicksBelow);
        const int span = widget_->maximum() - widget_->minimum();
        const int intervals = static_cast<int>(std::min<int64_t>(std::max<int64_t>(tickMarks_ - 1, 1), INT_MAX));
        widget_->setTickInterval(std::max(1, span / intervals));
    }

    double min_ = 0, max_ = 0;
    int64_t tickMarks_ = 0;
};

class QtButton : public QtControl<host::Button, QPushButton> {
public:
    QtButton(std::string_view title, host::ControlAction action, const TextTranslation& translation)
        : QtControl(new QPushButton(literalTitle(shownText(translation, title))), translation),
          title_(title) {
        setAction(std::move(action));
        // Return belongs to the key-equivalent button, not to whichever button has the focus.
        widget_->setAutoDefault(false);
        forwardSignal(&QPushButton::clicked);
    }
    std::string title() const override { return title_; }
    void setBezelStyle(host::BezelStyle) override {}  // a QPushButton is the standard push button
    void setKeyEquivalent(std::string_view key) override {
        key_ = key;
        if (!widget_) return;
        const QString qkey = toQString(key);
        widget_->setProperty(SheetDialog::kKeyEquivalentProperty, qkey);
        widget_->setDefault(qkey == kReturnKey);  // drawn as the default button
    }
    std::string keyEquivalent() const override { return key_; }

private:
    std::string title_;
    std::string key_;
};

}  // namespace

QRect widgetRectForFrame(const host::CGRect& frame, double contentHeight) {
    const int left = toSliderInt(frame.origin.x);
    const int right = toSliderInt(frame.origin.x + frame.size.width);
    const int top = toSliderInt(contentHeight - (frame.origin.y + frame.size.height));
    const int bottom = toSliderInt(contentHeight - frame.origin.y);
    return QRect(left, top, right - left, bottom - top);
}

// --- SheetDialog ---

SheetDialog::SheetDialog(int width, int height) : QDialog(nullptr, kFlags) {
    setFixedSize(width, height);
    setSizeGripEnabled(false);
}

bool SheetDialog::pressKeyEquivalent(const QString& key) {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (!button->isEnabled() || button->property(kKeyEquivalentProperty).toString() != key) continue;
        button->click();
        return true;
    }
    return false;
}

void SheetDialog::reject() { pressKeyEquivalent(kEscapeKey); }

void SheetDialog::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier) {
        const int key = event->key();
        const QString equivalent = key == Qt::Key_Return || key == Qt::Key_Enter ? kReturnKey
                                   : key == Qt::Key_Escape                       ? kEscapeKey
                                                                                 : QString();
        if (!equivalent.isEmpty()) {
            pressKeyEquivalent(equivalent);
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

// --- QtSheetParent ---

/// The window a sheet is presented over, as the module sees it: its endSheet ends the sheet.
class QtSheetParent : public host::Window {
public:
    QtSheetParent(QtSheetWindow& sheet, QWidget* widget) : sheet_(sheet), widget_(widget) {}
    bool isVisible() const override { return widget_ && widget_->isVisible(); }
    uint64_t occlusionState() const override { return isVisible() ? host::NSWindowOcclusionStateVisible : 0; }
    std::shared_ptr<host::Screen> screen() const override { return nullptr; }
    double backingScaleFactor() const override { return widget_ ? widget_->devicePixelRatioF() : 1.0; }
    host::NSEdgeInsets safeAreaInsets() const override { return {}; }
    host::Window* sheetParent() const override { return nullptr; }
    void endSheet(host::Window* sheet) override {
        if (sheet == &sheet_) sheet_.endPresentation();
    }

private:
    QtSheetWindow& sheet_;
    QPointer<QWidget> widget_;
};

// --- QtSheetWindow ---

QtSheetWindow::QtSheetWindow(const host::CGRect& contentRect, std::string_view title,
                             const TextTranslation& translation)
    : contentRect_(contentRect), title_(title) {
    dialog_ = new SheetDialog(toSliderInt(contentRect.size.width), toSliderInt(contentRect.size.height));
    dialog_->setWindowTitle(shownText(translation, title));
}

QtSheetWindow::~QtSheetWindow() {
    endPresentation();
    subviews_.clear();
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
    }
}

bool QtSheetWindow::isVisible() const { return dialog_ && dialog_->isVisible(); }

uint64_t QtSheetWindow::occlusionState() const { return isVisible() ? host::NSWindowOcclusionStateVisible : 0; }

double QtSheetWindow::backingScaleFactor() const { return dialog_ ? dialog_->devicePixelRatioF() : 0.0; }

host::Window* QtSheetWindow::sheetParent() const { return presented_ ? parent_.get() : nullptr; }

void QtSheetWindow::addSubview(std::shared_ptr<host::Control> control) {
    if (!control) return;
    if (auto* qt = dynamic_cast<QtControlWidget*>(control.get()); qt && dialog_)
        qt->attach(dialog_, contentRect_.size.height);
    subviews_.push_back(std::move(control));
}

host::Control* QtSheetWindow::subviewAt(size_t index) const {
    return index < subviews_.size() ? subviews_[index].get() : nullptr;
}

void QtSheetWindow::presentSheetOver(QWidget* parent, std::function<void()> onEnded) {
    if (!dialog_) return;
    QWidget* parentWindow = parent ? parent->window() : nullptr;
    parent_ = std::make_unique<QtSheetParent>(*this, parentWindow);
    onEnded_ = std::move(onEnded);
    presented_ = true;
    prepareForKeyboardAndReaders();
    // setParent resets the window flags, so they are given again.
    dialog_->setParent(parentWindow, SheetDialog::kFlags);
    dialog_->setWindowModality(parentWindow ? Qt::WindowModal : Qt::ApplicationModal);
    dialog_->show();
    dialog_->activateWindow();
}

void QtSheetWindow::prepareForKeyboardAndReaders() {
    QList<QWidget*> focusable;
    for (size_t i = 0; i < subviews_.size(); ++i) {
        auto* control = dynamic_cast<QtControlWidget*>(subviews_[i].get());
        QWidget* widget = control ? control->widget() : nullptr;
        if (!widget) continue;
        if (widget->focusPolicy() & Qt::TabFocus) focusable.push_back(widget);
        auto* slider = qobject_cast<QSlider*>(widget);
        if (!slider || !slider->accessibleName().isEmpty()) continue;
        // The nearest label before the slider whose row is the slider's and that ends left of it.
        for (size_t j = i; j-- > 0;) {
            auto* before = dynamic_cast<QtControlWidget*>(subviews_[j].get());
            auto* label = before ? qobject_cast<QLabel*>(before->widget()) : nullptr;
            if (!label || label->geometry().right() > slider->geometry().left() ||
                label->geometry().bottom() < slider->geometry().top() ||
                label->geometry().top() > slider->geometry().bottom())
                continue;
            QString name = label->text().trimmed();
            while (name.endsWith(QLatin1Char(':'))) name = name.chopped(1).trimmed();
            slider->setAccessibleName(name);
            label->setBuddy(slider);
            break;
        }
    }
    std::stable_sort(focusable.begin(), focusable.end(), [](const QWidget* a, const QWidget* b) {
        const QRect ra = a->geometry(), rb = b->geometry();
        return ra.top() != rb.top() ? ra.top() < rb.top() : ra.left() < rb.left();
    });
    for (qsizetype i = 1; i < focusable.size(); ++i) QWidget::setTabOrder(focusable[i - 1], focusable[i]);
}

void QtSheetWindow::endPresentation() {
    if (!presented_) return;
    presented_ = false;
    if (dialog_) dialog_->hide();
    std::function<void()> ended = std::move(onEnded_);
    onEnded_ = nullptr;
    if (!ended) return;
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(ended), Qt::QueuedConnection);
    else
        ended();
}

// --- QtControlFactory ---

std::shared_ptr<host::SheetWindow> QtControlFactory::createSheetWindow(const host::CGRect& contentRect,
                                                                       std::string_view title) {
    return std::make_shared<QtSheetWindow>(contentRect, title, translation_);
}

std::shared_ptr<host::Label> QtControlFactory::labelWithString(std::string_view text) {
    return std::make_shared<QtLabel>(text, translation_);
}

std::shared_ptr<host::Checkbox> QtControlFactory::checkboxWithTitle(std::string_view title, host::ControlAction action) {
    return std::make_shared<QtCheckbox>(title, std::move(action), translation_);
}

std::shared_ptr<host::Slider> QtControlFactory::sliderWithFrame(const host::CGRect& frame) {
    auto slider = std::make_shared<QtSlider>();
    slider->setFrame(frame);
    return slider;
}

std::shared_ptr<host::Button> QtControlFactory::buttonWithTitle(std::string_view title, host::ControlAction action) {
    return std::make_shared<QtButton>(title, std::move(action), translation_);
}

bool presentConfigureSheet(host::ScreenSaverView& view, QWidget* parent, std::function<void()> onEnded) {
    if (!view.hasConfigureSheet()) return false;
    const std::shared_ptr<host::SheetWindow> sheet = view.configureSheet();
    auto* qtSheet = dynamic_cast<QtSheetWindow*>(sheet.get());
    if (!qtSheet) return false;
    qtSheet->presentSheetOver(parent, std::move(onEnded));
    return true;
}

}  // namespace qtbackend
