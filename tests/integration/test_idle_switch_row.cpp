// The settings window's idle row with a desktop the test drives: it says when the desktop hides
// Tavrin, its one-click ways out do what they say (Tavrin's minutes saved, the desktop asked to
// wait Tavrin's minutes + 10), it follows the desktop's changes and the minutes as they are set,
// says where KDE's times are changed, and saves the battery choice.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "app/idle_switch.h"
#include "idle/idle_settings.h"
#include "platform/posix/file_defaults_store.h"
#include "qt_host_test_support.h"
#include "support/temporary_folder.h"

namespace {

class ScriptedTimers : public idle::DesktopTimersReader {
public:
    idle::DesktopTimers read() override { return timers; }
    bool letBlankAfter(int64_t minutes, std::string*) override {
        asked.push_back(minutes);
        timers.blank = timers.lock = minutes * 60;
        emit changed();
        return true;
    }
    idle::DesktopTimers timers;
    std::vector<int64_t> asked;
};

class IdleRow : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
        ::setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        auto timers = std::make_unique<ScriptedTimers>();
        timers_ = timers.get();
        timers_->timers.desktop = "GNOME";
        timers_->timers.known = true;
        timers_->timers.blank = timers_->timers.lock = 300;
        timers_->timers.fix = idle::DesktopTimers::Fix::GnomeIdleDelay;
        row_ = std::make_unique<app::IdleSwitch>(QStringLiteral("/bin/false"), false,
                                                 [](const std::string&) {}, nullptr, std::move(timers));
    }
    void TearDown() override {
        row_.reset();
        if (savedConfigHome_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
    }

    /// The shown button whose text (without its mnemonic) begins so; null when there is none.
    QPushButton* button(const QString& start) const {
        for (QPushButton* button : row_->findChildren<QPushButton*>())
            if (!button->isHidden() && button->text().remove(QLatin1Char('&')).startsWith(start)) return button;
        return nullptr;
    }
    QString shownLines() const {
        QStringList lines;
        for (QLabel* label : row_->findChildren<QLabel*>())
            if (!label->isHidden() && label->wordWrap()) lines << label->text();
        return lines.join(QLatin1Char('\n'));
    }
    idle::IdleSettings saved() const { return idle::readIdleSettings(posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER)); }

    TemporaryFolder config_;
    std::string savedConfigHome_;
    ScriptedTimers* timers_ = nullptr;
    std::unique_ptr<app::IdleSwitch> row_;
};

TEST_F(IdleRow, TheDesktopsLineAndTheTavrinFixWhichSavesTheMinutes) {
    EXPECT_EQ(shownLines(), QStringLiteral("GNOME blanks and locks the screen after 5 minutes, before Tavrin's 10: the "
                                           "screen saver would not be seen"));
    QPushButton* earlier = button(QStringLiteral("Start Tavrin after 4 minutes"));
    ASSERT_NE(earlier, nullptr);
    EXPECT_EQ(earlier->accessibleName(), QStringLiteral("Start Tavrin after 4 minutes"));
    earlier->click();
    EXPECT_EQ(row_->findChild<QSpinBox*>()->value(), 4);
    EXPECT_EQ(saved().minutes, 4) << "saved at once";
    EXPECT_EQ(shownLines(), QString()) << "Tavrin now comes first";
    EXPECT_EQ(button(QStringLiteral("Start Tavrin")), nullptr);
    EXPECT_EQ(button(QStringLiteral("Let GNOME")), nullptr);
}

TEST_F(IdleRow, TheDesktopFixAsksForTavrinsMinutesPlusTenAndTheRowFollows) {
    row_->findChild<QSpinBox*>()->setValue(15);
    QPushButton* later = button(QStringLiteral("Let GNOME blank after 25 minutes"));
    ASSERT_NE(later, nullptr);
    later->click();
    EXPECT_EQ(timers_->asked, std::vector<int64_t>{25});
    EXPECT_EQ(shownLines(), QString());

    // The desktop's own change, and one that no fix of Tavrin's can mend (KDE's).
    timers_->timers.desktop = "KDE Plasma";
    timers_->timers.blank = std::nullopt;
    timers_->timers.lock = 300;
    timers_->timers.fix = idle::DesktopTimers::Fix::None;
    timers_->timers.whereToChange = "System Settings → Screen Locking, and Power Management";
    emit timers_->changed();
    EXPECT_TRUE(shownLines().contains(QStringLiteral("KDE Plasma locks the screen after 5 minutes, before Tavrin's 15")));
    EXPECT_TRUE(shownLines().contains(QStringLiteral("System Settings → Screen Locking, and Power Management")));
    EXPECT_NE(button(QStringLiteral("Start Tavrin after 4 minutes")), nullptr);
    EXPECT_EQ(button(QStringLiteral("Let")), nullptr);
}

TEST_F(IdleRow, TheBatteryChoiceIsSavedAndReadBack) {
    auto* combo = row_->findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->accessibleName().isEmpty());
    EXPECT_EQ(combo->currentData().toInt(), static_cast<int>(idle::BatteryMode::Half));
    combo->setCurrentIndex(combo->findData(static_cast<int>(idle::BatteryMode::Off)));
    emit combo->activated(combo->currentIndex());
    EXPECT_EQ(saved().onBattery, idle::BatteryMode::Off);
    const app::IdleSwitch again(QStringLiteral("/bin/false"), false, [](const std::string&) {}, nullptr,
                                std::make_unique<ScriptedTimers>());
    EXPECT_EQ(again.findChild<QComboBox*>()->currentData().toInt(), static_cast<int>(idle::BatteryMode::Off));
}

}  // namespace
