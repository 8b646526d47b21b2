// The options sheet on the Qt backend: the dialog's widgets at their places, the Return and Escape
// keys, and a round trip from the dialog to the settings file on disk.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <tuple>

#include "host/host.h"
#include "platform/posix/file_defaults_store.h"
#include "platform/posix/system_services.h"
#include "platform/qt/qt_controls.h"
#include "platform/qt/qt_graphics.h"
#include "module/view/tavrin_screensaver_view.h"

using tavrin::Tavrin_ScreenSaverView;

namespace {

class TestBundle : public host::Bundle {
public:
    std::string bundleIdentifier() const override { return "org.tavrin.screensaver"; }
    std::optional<std::string> pathForResource(std::string_view, std::string_view) const override { return {}; }
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const override {
        return key == "CFBundleVersion" ? std::optional<std::string>("42") : std::nullopt;
    }
};

/// Quiet doubles of what the sheet never exercises: log, delayed calls, main queue, screens, exit.
struct QuietServices : host::Log, host::LogObject, host::RunLoop, host::MainQueue, host::ScreenList, host::Process {
    host::LogObject* createLog(std::string_view, std::string_view) override { return this; }
    bool isEnabled(host::LogLevel) const override { return false; }
    void write(host::LogLevel, const char*) override {}
    void performAfterDelay(const void*, std::string_view, double, std::function<void()>) override {}
    void cancelPreviousPerformRequests(const void*, std::string_view) override {}
    void cancelPreviousPerformRequests(const void*) override {}
    void async(std::function<void()>) override {}
    const std::vector<std::shared_ptr<host::Screen>>& screens() const override { return none; }
    void exitImmediately(int) override {}
    std::vector<std::shared_ptr<host::Screen>> none;
};

/// The real settings file, clock, random source, graphics and controls; quiet doubles for the
/// rest. Lives for the whole process, like a real host (the module keeps its log object).
struct SheetHost : host::Host {
    SheetHost() {
        screens = &quiet;
        defaultCenter = &local;
        distributedCenter = &distributed;
        mainQueue = &quiet;
        runLoop = &quiet;
        clock = &clockService;
        random = &randomService;
        defaults = &defaultsService;
        bundle = &bundleService;
        log = &quiet;
        process = &quiet;
        graphics = &graphicsService;
        controls = &controlFactory;
    }
    QuietServices quiet;
    host::LocalNotificationCenter local, distributed;
    posix::SystemClock clockService;
    posix::SystemRandom randomService{1};
    posix::FileDefaultsProvider defaultsService{[](const std::string&) {}};
    TestBundle bundleService;
    qtbackend::QtGraphics graphicsService;
    qtbackend::QtControlFactory controlFactory;
};

SheetHost& sheetHost() {
    static SheetHost* h = new SheetHost();
    return *h;
}

void flushDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

void sendKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

QSlider* sliderWidget(const std::shared_ptr<host::Slider>& slider) {
    return dynamic_cast<QSlider*>(dynamic_cast<qtbackend::QtControlWidget*>(slider.get())->widget());
}

template <class W>
W* widgetWithText(QWidget* dialog, const QString& text) {
    for (W* w : dialog->findChildren<W*>())
        if (w->text() == text) return w;
    return nullptr;
}

class QtOptionsSheet : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) savedConfigHome_ = old;
        char pattern[] = "/tmp/tavrin-sheet-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        configHome_ = pattern;
        ::setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
        host::installHost(&sheetHost());
        view_ = Tavrin_ScreenSaverView::create({{0, 0}, {400, 300}}, true);
        ASSERT_TRUE(view_);
    }
    void TearDown() override {
        view_.reset();
        QCoreApplication::processEvents();
        flushDeferredDeletes();
        if (savedConfigHome_.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
        std::filesystem::remove_all(configHome_);
    }

    /// Key → value of the settings file.
    std::map<std::string, std::string> settingsFile() const {
        std::map<std::string, std::string> values;
        std::ifstream in(configHome_ + "/org.tavrin.screensaver.conf");
        for (std::string line; std::getline(in, line);)
            if (const size_t eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
        return values;
    }

    std::shared_ptr<Tavrin_ScreenSaverView> view_;
    std::string configHome_;
    std::string savedConfigHome_;
};

TEST_F(QtOptionsSheet, DialogHoldsEveryWidgetAtItsFrame) {
    std::shared_ptr<host::SheetWindow> window = view_->configureSheet();
    auto* sheet = dynamic_cast<qtbackend::QtSheetWindow*>(window.get());
    ASSERT_NE(sheet, nullptr);
    QDialog* dialog = sheet->dialog();
    EXPECT_EQ(dialog->windowTitle(), "Tavrin Screensaver Options");
    EXPECT_EQ(dialog->size(), QSize(360, 510));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    EXPECT_EQ(dialog->findChildren<QCheckBox*>().size(), 8);
    EXPECT_EQ(dialog->findChildren<QSlider*>().size(), 3);
    EXPECT_EQ(dialog->findChildren<QPushButton*>().size(), 2);
    EXPECT_EQ(dialog->findChildren<QLabel*>().size(), 9);

    // y-up frames from the bottom of a 510-point content area become y-down rectangles.
    EXPECT_EQ(widgetWithText<QLabel>(dialog, "Visual Effects")->geometry(), QRect(20, 20, 320, 20));
    EXPECT_EQ(widgetWithText<QCheckBox>(dialog, "Cross-Monitor Sparks")->geometry(), QRect(40, 219, 300, 22));
    EXPECT_EQ(widgetWithText<QLabel>(dialog, "Glow Size:")->geometry(), QRect(20, 343, 90, 22));
    EXPECT_EQ(sliderWidget(view_->glowSizeSlider)->geometry(), QRect(114, 343, 187, 22));
    EXPECT_EQ(widgetWithText<QLabel>(dialog, "50")->geometry(), QRect(305, 371, 35, 22));
    QPushButton* ok = widgetWithText<QPushButton>(dialog, "OK");
    EXPECT_EQ(ok->geometry(), QRect(260, 467, 80, 28));
    EXPECT_EQ(widgetWithText<QPushButton>(dialog, "Cancel")->geometry(), QRect(170, 467, 80, 28));
    EXPECT_TRUE(ok->isDefault());

    QSlider* slider = sliderWidget(view_->starCountSlider);
    EXPECT_EQ(slider->orientation(), Qt::Horizontal);
    EXPECT_EQ(std::make_tuple(slider->minimum(), slider->maximum(), slider->value()), std::make_tuple(10, 200, 50));
    EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
    EXPECT_TRUE(slider->hasTracking());
    // The missing short version shows as "?"; the line can be selected for copying.
    QLabel* version = nullptr;
    for (QLabel* label : dialog->findChildren<QLabel*>())
        if (label->text().startsWith(QString::fromUtf8("Version: ? (42) \u2014 built "))) version = label;
    ASSERT_NE(version, nullptr);
    EXPECT_TRUE(version->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(widgetWithText<QLabel>(dialog, "Settings")->font().bold());
    EXPECT_FALSE(widgetWithText<QCheckBox>(dialog, "Ball Curve (Magnus Effect)")->toolTip().isEmpty());

    // A look at the dialog for whoever runs the tests with a folder to put it in.
    if (const char* dir = std::getenv("TAVRIN_SCREENSHOT_DIR")) {
        dialog->show();
        QCoreApplication::processEvents();
        dialog->grab().save(QString::fromUtf8(dir) + "/options_sheet.png");
    }

    QPointer<QDialog> guard(dialog);
    window.reset();
    view_->dismissConfigSheet();
    flushDeferredDeletes();
    EXPECT_TRUE(guard.isNull()) << "a released sheet leaves its dialog behind";
}

TEST_F(QtOptionsSheet, ReturnPressesOKAndEscapePressesCancelWhereverTheFocusIs) {
    QWidget parent;
    parent.resize(640, 480);
    parent.show();
    int ended = 0;

    ASSERT_TRUE(qtbackend::presentConfigureSheet(*view_, &parent, [&] { ++ended; }));
    QPointer<QDialog> dialog = dynamic_cast<qtbackend::QtSheetWindow*>(view_->configSheet.get())->dialog();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    sliderWidget(view_->trailLengthSlider)->setValue(22);
    EXPECT_EQ(view_->trailLengthValueLabel->stringValue(), "22");
    sendKey(widgetWithText<QCheckBox>(dialog, "Neon Glow"), Qt::Key_Escape);
    EXPECT_FALSE(view_->configSheet);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(view_->trailLength, 15);
    EXPECT_EQ(ended, 0) << "the end is reported from the event loop, not from inside the action";
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 1);

    ASSERT_TRUE(qtbackend::presentConfigureSheet(*view_, &parent, [&] { ++ended; }));
    dialog = dynamic_cast<qtbackend::QtSheetWindow*>(view_->configSheet.get())->dialog();
    sliderWidget(view_->trailLengthSlider)->setValue(22);
    // Return on the focused Cancel button still confirms.
    sendKey(widgetWithText<QPushButton>(dialog, "Cancel"), Qt::Key_Return);
    EXPECT_FALSE(view_->configSheet);
    EXPECT_EQ(view_->trailLength, 22);
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, 2);
}

TEST_F(QtOptionsSheet, ConfirmedChoicesReachTheSettingsFile) {
    std::shared_ptr<host::SheetWindow> window = view_->configureSheet();
    QDialog* dialog = dynamic_cast<qtbackend::QtSheetWindow*>(window.get())->dialog();
    window.reset();
    QCheckBox* sparks = widgetWithText<QCheckBox>(dialog, "Collision Sparks");
    QCheckBox* cross = widgetWithText<QCheckBox>(dialog, "Cross-Monitor Sparks");
    sparks->click();
    EXPECT_FALSE(cross->isEnabled());
    widgetWithText<QCheckBox>(dialog, "Neon Glow")->click();
    sliderWidget(view_->starCountSlider)->setValue(120);
    EXPECT_EQ(widgetWithText<QLabel>(dialog, "120")->text(), "120");
    EXPECT_TRUE(settingsFile().empty()) << "nothing is written before OK";

    widgetWithText<QPushButton>(dialog, "OK")->click();
    std::map<std::string, std::string> file = settingsFile();
    EXPECT_EQ(file["EnableNeonGlow"], "false");
    EXPECT_EQ(file["EnableCollisionSparks"], "false");
    EXPECT_EQ(file["EnableCrossMonitorSparks"], "true");
    EXPECT_EQ(file["StarCount"], "120");
    EXPECT_EQ(file["TrailLength"], "15");

    auto reloaded = Tavrin_ScreenSaverView::create({{0, 0}, {400, 300}}, true);
    EXPECT_FALSE(reloaded->enableNeonGlow);
    EXPECT_EQ(reloaded->starCount, 120);
}

}  // namespace
