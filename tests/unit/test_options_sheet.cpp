// The options sheet through the fake controls: what a fresh sheet shows, what OK and Cancel do to
// the view, the store and the trails, and how the sheet's lifetime is handled.
#include <algorithm>
#include <regex>

#include "module/settings/options_sheet.h"
#include "module/settings/settings_table.h"
#include "support/fake_host.h"

using namespace tavrin;
using fake::FakeSheetWindow;

namespace {

constexpr const char* kModule = "org.tavrin.screensaver";

fake::FakeCheckbox& box(const std::shared_ptr<host::Checkbox>& c) { return static_cast<fake::FakeCheckbox&>(*c); }
fake::FakeSlider& slider(const std::shared_ptr<host::Slider>& s) { return static_cast<fake::FakeSlider&>(*s); }

/// The sheet's push button with that title.
host::Control* button(const host::SheetWindow& sheet, std::string_view title) {
    for (size_t i = 0; i < sheet.subviewCount(); ++i)
        if (auto* b = dynamic_cast<host::Button*>(sheet.subviewAt(i)); b && b->title() == title) return b;
    return nullptr;
}

class OptionsSheet : public fake::HostTest {
protected:
    std::shared_ptr<Tavrin_ScreenSaverView> makeView() { return Tavrin_ScreenSaverView::create({{0, 0}, {800, 600}}, false); }
    /// Opens the view's sheet and returns it; the view is its only owner.
    FakeSheetWindow& open(Tavrin_ScreenSaverView& view) { return static_cast<FakeSheetWindow&>(*view.configureSheet()); }
    void press(Tavrin_ScreenSaverView& view, std::string_view title) { button(*view.configSheet, title)->performAction(); }
    fake::FakeDefaultsProvider::Value stored(const std::string& key) { return fake.defaultsService.stored[kModule][key]; }
    size_t writeCalls() const {
        return std::count_if(fake.defaultsService.calls.begin(), fake.defaultsService.calls.end(),
                             [](const std::string& c) { return c.rfind("set", 0) == 0 || c == "synchronize"; });
    }
};

TEST_F(OptionsSheet, FreshSheetShowsTheRegisteredDefaults) {
    auto view = makeView();
    FakeSheetWindow& sheet = open(*view);
    EXPECT_EQ(sheet.title(), "Tavrin Screensaver Options");
    EXPECT_EQ(sheet.contentRect(), host::NSMakeRect(0, 0, 360, 510));
    ASSERT_EQ(sheet.subviewCount(), 22u);

    const std::shared_ptr<host::Checkbox> boxes[] = {view->trailsCheckbox,    view->glowCheckbox,
                                                     view->flashCheckbox,     view->driftCheckbox,
                                                     view->starfieldCheckbox, view->sparksCheckbox,
                                                     view->crossMonitorCheckbox, view->ballCurveCheckbox};
    for (size_t i = 0; i < 8; ++i) {
        ASSERT_TRUE(boxes[i]);
        EXPECT_EQ(sheet.subviewAt(1 + i), boxes[i].get()) << "box " << i << " out of order";
        EXPECT_EQ(boxes[i]->title(), kBoolSettings[i].title);
        EXPECT_EQ(boxes[i]->state(), host::NSControlStateValueOn);
        EXPECT_TRUE(boxes[i]->isEnabled());
    }
    const std::shared_ptr<host::Slider> sliders[] = {view->trailLengthSlider, view->glowSizeSlider, view->starCountSlider};
    const std::shared_ptr<host::Label> labels[] = {view->trailLengthValueLabel, view->glowSizeValueLabel,
                                                   view->starCountValueLabel};
    const int64_t expected[] = {15, 15, 50};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sliders[i]->minValue(), static_cast<double>(kIntegerSettings[i].lower));
        EXPECT_EQ(sliders[i]->maxValue(), static_cast<double>(kIntegerSettings[i].upper));
        EXPECT_EQ(sliders[i]->integerValue(), expected[i]);
        EXPECT_EQ(sliders[i]->numberOfTickMarks(), 0);
        EXPECT_TRUE(sliders[i]->isContinuous());
        EXPECT_EQ(labels[i]->stringValue(), std::to_string(expected[i]));
    }
}

TEST_F(OptionsSheet, ControlsSitInTheirRowsWithTheirLook) {
    auto view = makeView();
    FakeSheetWindow& sheet = open(*view);
    const host::CGRect frames[22] = {
        {{20, 470}, {320, 20}},  {{20, 437}, {320, 22}},  {{20, 409}, {320, 22}},  {{20, 381}, {320, 22}},
        {{20, 353}, {320, 22}},  {{20, 325}, {320, 22}},  {{20, 297}, {320, 22}},  {{40, 269}, {300, 22}},
        {{20, 241}, {320, 22}},  {{20, 203}, {320, 20}},  {{20, 173}, {90, 22}},   {{114, 173}, {187, 22}},
        {{305, 173}, {35, 22}},  {{20, 145}, {90, 22}},   {{114, 145}, {187, 22}}, {{305, 145}, {35, 22}},
        {{20, 117}, {90, 22}},   {{114, 117}, {187, 22}}, {{305, 117}, {35, 22}},  {{20, 81}, {320, 16}},
        {{260, 15}, {80, 28}},   {{170, 15}, {80, 28}}};
    for (size_t i = 0; i < 22; ++i) EXPECT_EQ(sheet.subviewAt(i)->frame(), frames[i]) << "control " << i;

    auto label = [&](size_t i) { return dynamic_cast<fake::FakeLabel*>(sheet.subviewAt(i)); };
    for (size_t i : {0u, 9u}) {
        EXPECT_EQ(label(i)->font().kind, host::Font::Kind::BoldSystem);
        EXPECT_EQ(label(i)->font().size, 13);
    }
    EXPECT_EQ(label(0)->stringValue(), "Visual Effects");
    EXPECT_EQ(label(9)->stringValue(), "Settings");
    for (size_t i : {10u, 13u, 16u}) EXPECT_EQ(label(i)->alignment(), host::TextAlignment::Right);
    fake::FakeLabel* version = label(19);
    EXPECT_EQ(version->font().kind, host::Font::Kind::System);
    EXPECT_EQ(version->font().size, 10);
    EXPECT_EQ(version->textColor(), host::TextColor::SecondaryLabel);
    EXPECT_TRUE(version->isSelectable());
    EXPECT_FALSE(label(12)->isSelectable());

    auto* ok = dynamic_cast<fake::FakeButton*>(sheet.subviewAt(20));
    auto* cancel = dynamic_cast<fake::FakeButton*>(sheet.subviewAt(21));
    EXPECT_EQ(ok->title(), "OK");
    EXPECT_EQ(ok->keyEquivalent(), "\r");
    EXPECT_EQ(cancel->title(), "Cancel");
    EXPECT_EQ(cancel->keyEquivalent(), "\x1b");
    EXPECT_EQ(view->ballCurveCheckbox->toolTip(),
              "Spin bends the wheel's flight path, the way a struck ball curves. Speed is unaffected, so it still "
              "reaches every part of the screen.");
    // Only the sparks box acts at once; the others are read on OK.
    EXPECT_TRUE(box(view->sparksCheckbox).hasAction());
    EXPECT_FALSE(box(view->trailsCheckbox).hasAction());
}

TEST_F(OptionsSheet, VersionLineShowsBundleValuesOrQuestionMarks) {
    auto view = makeView();
    const std::regex line("Version: 1\\.0\\.0 \\(42\\) \u2014 built \\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}");
    EXPECT_TRUE(std::regex_match(dynamic_cast<host::Label*>(open(*view).subviewAt(19))->stringValue(), line));

    fake.bundleService.info.clear();
    const std::string missing = dynamic_cast<host::Label*>(open(*view).subviewAt(19))->stringValue();
    EXPECT_EQ(missing.rfind("Version: ? (?) \u2014 built ", 0), 0u) << missing;
}

TEST(BuildStamp, ReadsTheCompilerDateAndTime) {
    EXPECT_EQ(buildStampFromCompilerDate("Mar  5 2024", "09:07:03"), "2024-03-05 09:07:03");
    EXPECT_EQ(buildStampFromCompilerDate("Dec 31 1999", "23:59:59"), "1999-12-31 23:59:59");
    EXPECT_EQ(buildStampFromCompilerDate("Jan 10 2025", "00:00:00"), "2025-01-10 00:00:00");
    // An unknown month reads as 0; the day and year are still read.
    EXPECT_EQ(buildStampFromCompilerDate("Foo 12 2023", "10:00:00"), "2023-00-12 10:00:00");
    // Text too short for its fields gives zeros instead of reading past its end.
    EXPECT_EQ(buildStampFromCompilerDate("Ma", "t"), "0000-00-00 t");
    EXPECT_EQ(buildStampFromCompilerDate("Apr  7", ""), "0000-04-07 ");
}

TEST_F(OptionsSheet, CrossMonitorBoxFollowsSparksBoxButKeepsItsState) {
    fake.defaultsService.setStoredBool(kModule, "EnableCollisionSparks", false);
    auto view = makeView();
    open(*view);
    fake::FakeCheckbox& cross = box(view->crossMonitorCheckbox);
    EXPECT_FALSE(cross.isEnabled());
    EXPECT_EQ(cross.state(), host::NSControlStateValueOn);

    box(view->sparksCheckbox).click();
    EXPECT_TRUE(cross.isEnabled());
    box(view->sparksCheckbox).click();
    EXPECT_FALSE(cross.isEnabled());
    EXPECT_EQ(cross.state(), host::NSControlStateValueOn);

    // The disabled box's state is what OK stores.
    press(*view, "OK");
    EXPECT_FALSE(view->enableCollisionSparks);
    EXPECT_TRUE(view->enableCrossMonitorSparks);
    EXPECT_FALSE(stored("EnableCollisionSparks").boolean);
    EXPECT_TRUE(stored("EnableCrossMonitorSparks").boolean);
}

TEST_F(OptionsSheet, EachBoxWritesOnlyItsOwnSetting) {
    for (size_t i = 0; i < kBoolSettings.size(); ++i) {
        fake.defaultsService.stored.clear();  // each round starts from the defaults
        auto view = makeView();
        auto* clicked = dynamic_cast<fake::FakeCheckbox*>(open(*view).subviewAt(1 + i));
        ASSERT_EQ(clicked->title(), kBoolSettings[i].title);
        clicked->click();
        press(*view, "OK");
        for (size_t j = 0; j < kBoolSettings.size(); ++j)
            EXPECT_EQ(view.get()->*kBoolSettings[j].member, i != j) << "box " << i << ", setting " << j;
        EXPECT_FALSE(stored(std::string(kBoolSettings[i].key)).boolean);
    }
}

TEST_F(OptionsSheet, SlidersChangeOnlyTheirLabelsUntilOK) {
    auto view = makeView();
    open(*view);
    const size_t writesBefore = writeCalls();
    slider(view->trailLengthSlider).dragTo(7);
    slider(view->glowSizeSlider).dragTo(40);
    EXPECT_EQ(view->trailLengthValueLabel->stringValue(), "7");
    EXPECT_EQ(view->glowSizeValueLabel->stringValue(), "40");
    EXPECT_EQ(view->starCountValueLabel->stringValue(), "50");
    EXPECT_EQ(view->trailLength, 15);
    EXPECT_EQ(view->glowSize, 15);
    EXPECT_EQ(writeCalls(), writesBefore);

    press(*view, "OK");
    EXPECT_EQ(view->trailLength, 7);
    EXPECT_EQ(view->glowSize, 40);
    EXPECT_EQ(stored("TrailLength").integer, 7);
    EXPECT_EQ(stored("GlowSize").integer, 40);
    EXPECT_EQ(fake.defaultsService.calls.back(), "synchronize");
}

TEST_F(OptionsSheet, OKLimitsValuesTheSlidersShouldNotHaveGiven) {
    auto view = makeView();
    open(*view);
    view->trailLengthSlider->setIntegerValue(1);
    view->glowSizeSlider->setIntegerValue(99);
    view->starCountSlider->setIntegerValue(1000);
    press(*view, "OK");
    EXPECT_EQ(view->trailLength, 3);
    EXPECT_EQ(view->glowSize, 50);
    EXPECT_EQ(view->starCount, 200);
}

TEST_F(OptionsSheet, OKEmptiesTrailsAndCancelNeverDoes) {
    auto view = makeView();
    view->trails[0].count = 12;
    view->trails[1].count = 9;
    open(*view);
    press(*view, "OK");  // nothing changed, still emptied
    EXPECT_EQ(view->trails[0].count, 0);
    EXPECT_EQ(view->trails[1].count, 0);

    view->trails[0].count = 12;
    view->trails[1].count = 9;
    open(*view);
    fake.defaultsService.setStoredInteger(kModule, "TrailLength", 5);
    press(*view, "Cancel");
    EXPECT_EQ(view->trailLength, 5);
    EXPECT_EQ(view->trails[0].count, 12);
    EXPECT_EQ(view->trails[1].count, 9);
}

TEST_F(OptionsSheet, CancelReloadsWhatAnotherViewSavedAndWritesNothing) {
    auto view = makeView();
    auto other = makeView();
    open(*view);
    other->starCount = 120;
    other->enableNeonGlow = false;
    other->savePreferences();

    slider(view->starCountSlider).dragTo(30);
    box(view->glowCheckbox).click();
    const size_t writesBefore = writeCalls();
    press(*view, "Cancel");
    EXPECT_EQ(writeCalls(), writesBefore);
    EXPECT_EQ(view->starCount, 120);
    EXPECT_FALSE(view->enableNeonGlow);

    open(*view);
    EXPECT_EQ(view->starCountSlider->integerValue(), 120);
    EXPECT_EQ(view->starCountValueLabel->stringValue(), "120");
}

TEST_F(OptionsSheet, SecondSheetReplacesTheFirstAndDismissReleasesEverything) {
    auto view = makeView();
    std::weak_ptr<FakeSheetWindow> first, second;
    open(*view);
    first = fake.controlFactory.windows.back();
    FakeSheetWindow& sheet = open(*view);
    second = fake.controlFactory.windows.back();
    EXPECT_TRUE(first.expired());
    ASSERT_FALSE(second.expired());
    EXPECT_EQ(view->trailsCheckbox.get(), sheet.subviewAt(1));
    EXPECT_EQ(view->starCountValueLabel.get(), sheet.subviewAt(18));

    fake::FakeWindow parent;
    sheet.parent = &parent;
    press(*view, "OK");
    EXPECT_EQ(parent.endedSheets, std::vector<host::Window*>{&sheet});
    EXPECT_TRUE(second.expired());
    EXPECT_FALSE(view->configSheet);
    EXPECT_FALSE(view->trailsCheckbox || view->glowCheckbox || view->flashCheckbox || view->driftCheckbox ||
                 view->starfieldCheckbox || view->sparksCheckbox || view->crossMonitorCheckbox ||
                 view->ballCurveCheckbox || view->trailLengthSlider || view->glowSizeSlider ||
                 view->starCountSlider || view->trailLengthValueLabel || view->glowSizeValueLabel ||
                 view->starCountValueLabel);

    view->dismissConfigSheet();  // with no sheet: nothing to end, nothing breaks
    EXPECT_EQ(parent.endedSheets.size(), 1u);
}

TEST_F(OptionsSheet, ASheetTheViewLetGoCannotActOnIt) {
    auto view = makeView();
    // A replaced sheet that someone still holds: its OK must not confirm the newer sheet.
    std::shared_ptr<host::SheetWindow> replaced = view->configureSheet();
    std::shared_ptr<host::SheetWindow> current = view->configureSheet();
    const size_t writes = writeCalls();
    button(*replaced, "OK")->performAction();
    EXPECT_EQ(view->configSheet, current);
    EXPECT_EQ(writeCalls(), writes);

    // A dismissed sheet still held: its Cancel must not reload the settings.
    button(*current, "Cancel")->performAction();
    fake.defaultsService.setStoredInteger(kModule, "GlowSize", 33);
    button(*current, "Cancel")->performAction();
    EXPECT_EQ(view->glowSize, 15);

    // The view goes while its sheet is still held.
    current = view->configureSheet();
    view.reset();
    button(*current, "OK")->performAction();
    static_cast<fake::FakeSlider*>(current->subviewAt(11))->dragTo(9);
    EXPECT_EQ(writeCalls(), writes);
}

TEST_F(OptionsSheet, OpenSheetKeepsTheIdleHostAlive) {
    auto view = makeView();
    fake.clockService.set(fake.clockService.now() + 60);  // long past the start-up grace
    open(*view);
    view->terminateIfHostIdle();
    EXPECT_TRUE(fake.processService.exitStatuses.empty());
    EXPECT_EQ(fake.logService.linesContaining("options sheet open").size(), 1u);

    press(*view, "Cancel");
    view->terminateIfHostIdle();
    EXPECT_EQ(fake.processService.exitStatuses, std::vector<int>{0});
}

}  // namespace
