// The options sheet: eight check boxes for the effect switches, three sliders with live value
// labels for the numbers, a version line and OK / Cancel. The controls hold the user's choices
// until OK; only OK writes the view's settings (and saves them), Cancel reloads the stored ones.
#include "module/settings/options_sheet.h"

#include <array>
#include <climits>
#include <cstdio>
#include <string>

#include "module/settings/settings_table.h"

namespace tavrin {
namespace {

using CheckboxMember = std::shared_ptr<host::Checkbox> Tavrin_ScreenSaverView::*;
using SliderMember = std::shared_ptr<host::Slider> Tavrin_ScreenSaverView::*;
using LabelMember = std::shared_ptr<host::Label> Tavrin_ScreenSaverView::*;
using ActionMethod = void (Tavrin_ScreenSaverView::*)(host::Control*);

/// The check box of each boolean setting, in the order of kBoolSettings.
constexpr std::array<CheckboxMember, 8> kCheckboxMembers{{
    &Tavrin_ScreenSaverView::trailsCheckbox,
    &Tavrin_ScreenSaverView::glowCheckbox,
    &Tavrin_ScreenSaverView::flashCheckbox,
    &Tavrin_ScreenSaverView::driftCheckbox,
    &Tavrin_ScreenSaverView::starfieldCheckbox,
    &Tavrin_ScreenSaverView::sparksCheckbox,
    &Tavrin_ScreenSaverView::crossMonitorCheckbox,
    &Tavrin_ScreenSaverView::ballCurveCheckbox,
}};
static_assert(kCheckboxMembers.size() == kBoolSettings.size());

/// The slider and value label of each integer setting, in the order of kIntegerSettings.
constexpr std::array<SliderMember, 3> kSliderMembers{{
    &Tavrin_ScreenSaverView::trailLengthSlider,
    &Tavrin_ScreenSaverView::glowSizeSlider,
    &Tavrin_ScreenSaverView::starCountSlider,
}};
constexpr std::array<LabelMember, 3> kValueLabelMembers{{
    &Tavrin_ScreenSaverView::trailLengthValueLabel,
    &Tavrin_ScreenSaverView::glowSizeValueLabel,
    &Tavrin_ScreenSaverView::starCountValueLabel,
}};
static_assert(kSliderMembers.size() == kIntegerSettings.size());
static_assert(kValueLabelMembers.size() == kIntegerSettings.size());

constexpr CGRect kContentRect = host::NSMakeRect(0, 0, 360, 510);
constexpr std::string_view kSheetTitle = "Tavrin Screensaver Options";
constexpr double kHeadingFontSize = 13;
constexpr double kVersionFontSize = 10;

// Rows of the sheet, in content points from the bottom. Check boxes and slider rows are spaced
// evenly downwards from their first row.
constexpr CGRect kEffectsHeadingFrame = host::NSMakeRect(20, 470, 320, 20);
constexpr double kFirstCheckboxY = 437;
constexpr double kCheckboxPitch = 28;
constexpr double kCheckboxX = 20;
constexpr double kCheckboxWidth = 320;
constexpr double kCheckboxHeight = 22;
constexpr double kSubordinateIndent = 20;  ///< a box that depends on the one above it
constexpr CGRect kSettingsHeadingFrame = host::NSMakeRect(20, 203, 320, 20);
constexpr double kFirstSliderRowY = 173;
constexpr double kSliderRowPitch = 28;
constexpr double kSliderRowHeight = 22;
constexpr double kSliderLabelX = 20, kSliderLabelWidth = 90;
constexpr double kSliderX = 114, kSliderWidth = 187;
constexpr double kValueLabelX = 305, kValueLabelWidth = 35;
constexpr CGRect kVersionFrame = host::NSMakeRect(20, 81, 320, 16);
constexpr CGRect kOKFrame = host::NSMakeRect(260, 15, 80, 28);
constexpr CGRect kCancelFrame = host::NSMakeRect(170, 15, 80, 28);

constexpr std::string_view kReturnKey = "\r";
constexpr std::string_view kEscapeKey = "\x1b";
constexpr std::string_view kBallCurveToolTip =
    "Spin bends the wheel's flight path, the way a struck ball curves. Speed is unaffected, so it still "
    "reaches every part of the screen.";
constexpr std::string_view kMissingVersion = "?";

/// An action that calls the method on the view while the view lives. Only a weak reference is
/// captured: the sheet may outlive the view in a host's hands, and must then do nothing.
host::ControlAction actionFor(Tavrin_ScreenSaverView& view, ActionMethod method) {
    std::weak_ptr<host::ScreenSaverView> weakView = view.weak_from_this();
    return [weakView, method](host::Control* sender) {
        // Take what is needed out of the closure first: the method may release the control that
        // owns this action, and with it the closure.
        const ActionMethod call = method;
        const std::shared_ptr<host::ScreenSaverView> strong = weakView.lock();
        if (!strong) return;
        (static_cast<Tavrin_ScreenSaverView*>(strong.get())->*call)(sender);
    };
}

/// Detaches every control of a sheet from the view, so that a sheet the view has let go (and
/// that a host may still hold) can no longer act on it.
void silenceSheet(host::SheetWindow* sheet) {
    if (!sheet) return;
    for (size_t i = 0; i < sheet->subviewCount(); ++i)
        if (host::Control* control = sheet->subviewAt(i)) control->setAction(nullptr);
}

std::string decimal(int64_t value) { return std::to_string(value); }

/// A decimal number read from the text at `start`: leading spaces skipped, an optional sign,
/// then digits. No digits, or a start beyond the text, give 0; a value beyond int saturates.
int readDecimal(std::string_view text, size_t start) {
    if (start >= text.size()) return 0;
    size_t i = start;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace

std::string buildStampFromCompilerDate(std::string_view date, std::string_view time) {
    static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    constexpr size_t kDayStart = 4;
    constexpr size_t kYearStart = 7;

    int month = 0;
    if (date.size() >= 3) {
        const size_t at = kMonths.find(date.substr(0, 3));
        if (at != std::string_view::npos) month = static_cast<int>(at / 3 + 1);
    }
    const int day = readDecimal(date, kDayStart);
    const int year = readDecimal(date, kYearStart);

    char datePart[48];
    std::snprintf(datePart, sizeof datePart, "%04d-%02d-%02d ", year, month, day);
    std::string stamp(datePart);
    stamp.append(time);
    return stamp;
}

std::string sheetVersionLine(std::string_view shortVersion, std::string_view buildVersion, std::string_view stamp) {
    std::string line = "Version: ";
    line.append(shortVersion);
    line.append(" (");
    line.append(buildVersion);
    line.append(") \u2014 built ");
    line.append(stamp);
    return line;
}

std::shared_ptr<host::SheetWindow> Tavrin_ScreenSaverView::configureSheet() {
    host::Host& h = host::currentHost();
    host::ControlFactory& make = *h.controls;

    // Building always starts afresh; a sheet held from before is let go as its variables are
    // overwritten below.
    silenceSheet(configSheet.get());
    configSheet = make.createSheetWindow(kContentRect, kSheetTitle);
    if (!configSheet) {
        dismissConfigSheet();
        return nullptr;
    }
    host::SheetWindow& sheet = *configSheet;

    auto addHeading = [&](std::string_view text, const CGRect& frame) {
        std::shared_ptr<host::Label> heading = make.labelWithString(text);
        heading->setFrame(frame);
        heading->setFont(host::Font::boldSystemFontOfSize(kHeadingFontSize));
        sheet.addSubview(heading);
    };

    addHeading("Visual Effects", kEffectsHeadingFrame);

    for (size_t i = 0; i < kBoolSettings.size(); ++i) {
        const BoolSetting& setting = kBoolSettings[i];
        const CheckboxMember member = kCheckboxMembers[i];
        const bool isSparks = member == &Tavrin_ScreenSaverView::sparksCheckbox;
        const bool isCrossMonitor = member == &Tavrin_ScreenSaverView::crossMonitorCheckbox;

        std::shared_ptr<host::Checkbox> box = make.checkboxWithTitle(
            setting.title, isSparks ? actionFor(*this, &Tavrin_ScreenSaverView::sparksCheckboxChanged) : nullptr);
        this->*member = box;
        const double indent = isCrossMonitor ? kSubordinateIndent : 0;
        box->setFrame(host::NSMakeRect(kCheckboxX + indent, kFirstCheckboxY - kCheckboxPitch * static_cast<double>(i),
                                       kCheckboxWidth - indent, kCheckboxHeight));
        box->setState(this->*setting.member ? host::NSControlStateValueOn : host::NSControlStateValueOff);
        if (isCrossMonitor) box->setEnabled(enableCollisionSparks);
        if (member == &Tavrin_ScreenSaverView::ballCurveCheckbox) box->setToolTip(kBallCurveToolTip);
        sheet.addSubview(box);
    }

    addHeading("Settings", kSettingsHeadingFrame);

    for (size_t i = 0; i < kIntegerSettings.size(); ++i) {
        const IntegerSetting& setting = kIntegerSettings[i];
        const double y = kFirstSliderRowY - kSliderRowPitch * static_cast<double>(i);

        std::shared_ptr<host::Label> name = make.labelWithString(setting.label);
        name->setFrame(host::NSMakeRect(kSliderLabelX, y, kSliderLabelWidth, kSliderRowHeight));
        name->setAlignment(host::TextAlignment::Right);
        sheet.addSubview(name);

        std::shared_ptr<host::Slider> slider =
            make.sliderWithFrame(host::NSMakeRect(kSliderX, y, kSliderWidth, kSliderRowHeight));
        this->*kSliderMembers[i] = slider;
        slider->setMinValue(static_cast<double>(setting.lower));
        slider->setMaxValue(static_cast<double>(setting.upper));
        slider->setIntegerValue(this->*setting.member);
        slider->setNumberOfTickMarks(0);
        slider->setAction(actionFor(*this, &Tavrin_ScreenSaverView::sliderChanged));
        slider->setContinuous(true);
        sheet.addSubview(slider);

        std::shared_ptr<host::Label> value = make.labelWithString(decimal(this->*setting.member));
        this->*kValueLabelMembers[i] = value;
        value->setFrame(host::NSMakeRect(kValueLabelX, y, kValueLabelWidth, kSliderRowHeight));
        value->setFont(host::Font::labelFont());
        sheet.addSubview(value);
    }

    const std::optional<std::string> shortVersion = h.bundle->objectForInfoDictionaryKey("CFBundleShortVersionString");
    const std::optional<std::string> buildVersion = h.bundle->objectForInfoDictionaryKey("CFBundleVersion");
    std::shared_ptr<host::Label> version = make.labelWithString(
        sheetVersionLine(shortVersion ? *shortVersion : kMissingVersion, buildVersion ? *buildVersion : kMissingVersion,
                         buildStampFromCompilerDate(__DATE__, __TIME__)));
    version->setFrame(kVersionFrame);
    version->setFont(host::Font::systemFontOfSize(kVersionFontSize));
    version->setTextColor(host::TextColor::SecondaryLabel);
    version->setSelectable(true);
    sheet.addSubview(version);

    auto addButton = [&](std::string_view title, const CGRect& frame, std::string_view key, ActionMethod method) {
        std::shared_ptr<host::Button> button = make.buttonWithTitle(title, actionFor(*this, method));
        button->setFrame(frame);
        button->setBezelStyle(host::BezelStyle::Push);
        button->setKeyEquivalent(key);
        sheet.addSubview(button);
    };
    addButton("OK", kOKFrame, kReturnKey, &Tavrin_ScreenSaverView::configSheetOK);
    addButton("Cancel", kCancelFrame, kEscapeKey, &Tavrin_ScreenSaverView::configSheetCancel);

    return configSheet;
}

void Tavrin_ScreenSaverView::sliderChanged(host::Control* sender) {
    if (!sender) return;
    for (size_t i = 0; i < kSliderMembers.size(); ++i) {
        const std::shared_ptr<host::Slider>& slider = this->*kSliderMembers[i];
        if (sender != slider.get()) continue;
        if (const std::shared_ptr<host::Label>& label = this->*kValueLabelMembers[i])
            label->setStringValue(decimal(slider->integerValue()));
        return;
    }
}

void Tavrin_ScreenSaverView::sparksCheckboxChanged(host::Control*) {
    // The sparks box itself decides, whoever sent the action.
    if (!sparksCheckbox || !crossMonitorCheckbox) return;
    crossMonitorCheckbox->setEnabled(sparksCheckbox->state() == host::NSControlStateValueOn);
}

void Tavrin_ScreenSaverView::configSheetOK(host::Control*) {
    if (!configSheet) return;  // a stray action after the sheet is gone has nothing to read

    // A disabled box counts like any other: its state alone decides.
    for (size_t i = 0; i < kBoolSettings.size(); ++i) {
        const std::shared_ptr<host::Checkbox>& box = this->*kCheckboxMembers[i];
        this->*kBoolSettings[i].member = box && box->state() == host::NSControlStateValueOn;
    }
    for (size_t i = 0; i < kIntegerSettings.size(); ++i) {
        const std::shared_ptr<host::Slider>& slider = this->*kSliderMembers[i];
        if (slider) this->*kIntegerSettings[i].member = kIntegerSettings[i].limit(slider->integerValue());
    }
    // Emptied so that no trail is longer than a new, shorter trail length.
    for (TrailHistory& trail : trails) trail.count = 0;

    savePreferences();
    dismissConfigSheet();
}

void Tavrin_ScreenSaverView::configSheetCancel(host::Control*) {
    loadPreferences();
    dismissConfigSheet();
}

void Tavrin_ScreenSaverView::dismissConfigSheet() {
    if (configSheet)
        if (host::Window* parent = configSheet->sheetParent()) parent->endSheet(configSheet.get());

    for (CheckboxMember member : kCheckboxMembers) (this->*member).reset();
    for (SliderMember member : kSliderMembers) (this->*member).reset();
    for (LabelMember member : kValueLabelMembers) (this->*member).reset();

    silenceSheet(configSheet.get());
    configSheet.reset();
}

}  // namespace tavrin
