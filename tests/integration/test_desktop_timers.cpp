// The desktop's timers: the words the watcher logs and the settings row shows, the fixes offered
// only where they help, KDE's files read as KDE reads them (Plasma 5.27 and 6, defaults, hostile
// values, the system's files), GNOME's GSettings read through GIO from schemas the test compiles
// (a missing schema or a key of another type is unknown, never an abort), and the X server's
// DPMS timeouts moved in their order.
#include <QAbstractEventDispatcher>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "idle/desktop_timers.h"
#include "idle/gnome_timers_reader.h"
#include "idle/kde_timers_reader.h"
#include "idle/x11_timers_reader.h"
#include "qt_host_test_support.h"
#include "support/temporary_folder.h"

namespace {

using idle::DesktopTimers;

DesktopTimers knownOf(const char* desktop) {
    DesktopTimers timers;
    timers.desktop = desktop;
    timers.known = true;
    return timers;
}

DesktopTimers gnomeDefaults() {
    DesktopTimers timers = knownOf("GNOME");
    timers.blank = timers.lock = 300;
    timers.sleepOnAc = timers.sleepOnBattery = 1200;
    timers.fix = DesktopTimers::Fix::GnomeIdleDelay;
    return timers;
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(DesktopTimers, TimesReadAsAPersonReadsThem) {
    EXPECT_EQ(idle::describeTime(300), "5 minutes");
    EXPECT_EQ(idle::describeTime(60), "1 minute");
    EXPECT_EQ(idle::describeTime(std::nullopt), "never");
    EXPECT_EQ(idle::describeTime(90), "90 seconds");
    EXPECT_EQ(idle::describeTime(330), "5 minutes 30 seconds");
}

TEST(DesktopTimers, TheHidingLineNamesWhatComesFirstAndOnlyWhenItHidesTavrin) {
    const DesktopTimers gnome = gnomeDefaults();
    EXPECT_EQ(idle::hidingLine(gnome, 600, false),
              "GNOME blanks and locks the screen after 5 minutes, before Tavrin's 10: the screen saver would not be seen");
    EXPECT_EQ(idle::hidingLine(gnome, 300, false),
              "GNOME blanks and locks the screen after 5 minutes, at the same time as Tavrin's 5: the screen saver "
              "would not be seen");
    EXPECT_EQ(idle::hidingLine(gnome, 240, false), "") << "Tavrin comes first";

    // KDE turns the displays off sooner on battery: the line follows the power.
    DesktopTimers kde = knownOf("KDE Plasma");
    kde.lock = 300;
    kde.displaysOff = 600;
    kde.displaysOffOnBattery = 300;
    EXPECT_EQ(idle::hidingLine(kde, 600, false),
              "KDE Plasma locks the screen after 5 minutes, before Tavrin's 10: the screen saver would not be seen");
    EXPECT_EQ(idle::hidingLine(kde, 600, true),
              "KDE Plasma locks the screen and turns the displays off after 5 minutes, before Tavrin's 10: the screen "
              "saver would not be seen");

    // The X server's own screen saver is off while the watcher runs: only its DPMS hides Tavrin.
    idle::X11ServerTimes server;
    server.screenSaverTimeout = 600;
    EXPECT_EQ(idle::hidingLine(idle::x11Timers(server), 600, false), "");
    server.hasDpms = true;
    server.dpms = {600, 600, 600};
    EXPECT_EQ(idle::hidingLine(idle::x11Timers(server), 600, false), "") << "DPMS disabled";
    server.dpmsEnabled = true;
    EXPECT_EQ(idle::hidingLine(idle::x11Timers(server), 600, false),
              "The X server turns the displays off after 10 minutes, at the same time as Tavrin's 10: the screen "
              "saver would not be seen");
}

TEST(DesktopTimers, FixesAreOfferedOnlyWhereTheyLetTheSaverBeSeen) {
    DesktopTimers gnome = gnomeDefaults();
    EXPECT_EQ(idle::suggestedTavrinMinutes(gnome, 600, false), 4);
    EXPECT_EQ(idle::suggestedDesktopMinutes(gnome, 600, false), 20);
    EXPECT_EQ(idle::suggestedTavrinMinutes(gnome, 240, false), std::nullopt) << "nothing hides it";

    gnome.blank = gnome.lock = 90;
    EXPECT_EQ(idle::suggestedTavrinMinutes(gnome, 600, false), 1) << "one minute, at least";
    gnome.blank = gnome.lock = 60;
    EXPECT_EQ(idle::suggestedTavrinMinutes(gnome, 60, false), std::nullopt) << "no sooner minute to offer";

    // The machine sleeps before Tavrin too: a later blank alone would not help.
    gnome = gnomeDefaults();
    gnome.sleepOnAc = 480;
    EXPECT_EQ(idle::suggestedDesktopMinutes(gnome, 600, false), std::nullopt);
    EXPECT_EQ(idle::suggestedTavrinMinutes(gnome, 600, false), 4);

    DesktopTimers kde = knownOf("KDE Plasma");
    kde.lock = 300;
    EXPECT_EQ(idle::suggestedDesktopMinutes(kde, 600, false), std::nullopt) << "KDE's are changed by hand";

    idle::X11ServerTimes server{600, true, true, {300, 600, 900}};
    EXPECT_EQ(idle::suggestedDesktopMinutes(idle::x11Timers(server), 600, false), 20);
}

TEST(DesktopTimers, DescribedInPlainLinesWithTheFirstNamed) {
    const std::vector<std::string> gnome = idle::describeTimers(gnomeDefaults(), false);
    const std::vector<std::string> expected{"GNOME blanks the screen after 5 minutes", "GNOME locks the screen after 5 minutes",
                                            "GNOME puts the machine to sleep after 20 minutes",
                                            "First: GNOME blanks and locks the screen after 5 minutes"};
    EXPECT_EQ(gnome, expected);

    idle::X11ServerTimes server;
    const std::vector<std::string> x11 = idle::describeTimers(idle::x11Timers(server), false);
    EXPECT_EQ(x11.front(), "The X server's own blank is off while Tavrin's idle watcher runs");
    EXPECT_NE(std::find(x11.begin(), x11.end(), "First: nothing; the X server never hides the screen"), x11.end());
}

TEST(DesktopTimers, TheWatcherLogsTheLineAtTheStartAndAtEveryChangeOnly) {
    std::vector<std::string> log;
    idle::HidingLineLog hidingLog([&](host::LogLevel, const std::string& line) { log.push_back(line); });
    DesktopTimers gnome = gnomeDefaults();
    hidingLog.update(gnome, 600, false);
    hidingLog.update(gnome, 600, false);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("GNOME blanks and locks the screen after 5 minutes, before Tavrin's 10", 0), 0u);
    hidingLog.update(gnome, 240, false);  // Tavrin's minutes changed
    gnome.blank = gnome.lock = 1200;
    hidingLog.update(gnome, 240, false);  // a change that keeps Tavrin first says nothing
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "GNOME blanks and locks the screen after 5 minutes, after Tavrin's 4");
    gnome.known = false;
    gnome.unknownWhy = "its settings cannot be read";
    hidingLog.update(gnome, 240, false);
    hidingLog.update(gnome, 240, false);
    EXPECT_EQ(log.size(), 3u);
}

TEST(DesktopTimers, TheSessionChoosesTheReader) {
    auto desktopOf = [](std::map<std::string, std::string> environment) {
        return idle::timersDesktopOf([&](const char* name) { return environment[name]; });
    };
    EXPECT_EQ(desktopOf({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}, {"WAYLAND_DISPLAY", "wayland-0"}}), idle::TimersDesktop::Gnome);
    EXPECT_EQ(desktopOf({{"XDG_CURRENT_DESKTOP", "KDE"}, {"DISPLAY", ":0"}}), idle::TimersDesktop::Kde);
    EXPECT_EQ(desktopOf({{"XDG_SESSION_DESKTOP", "plasmawayland"}, {"WAYLAND_DISPLAY", "wayland-0"}}), idle::TimersDesktop::Kde);
    EXPECT_EQ(desktopOf({{"XDG_CURRENT_DESKTOP", "sway"}, {"WAYLAND_DISPLAY", "wayland-1"}}), idle::TimersDesktop::Other);
    EXPECT_EQ(desktopOf({{"XDG_CURRENT_DESKTOP", "i3"}, {"DISPLAY", ":0"}}), idle::TimersDesktop::X11);
}

TEST(DesktopTimers, DpmsTimeoutsMoveLaterInTheirOrder) {
    using idle::DpmsTimeouts;
    EXPECT_EQ(idle::dpmsTimeoutsDarkAfter({600, 600, 600}, 1200), (DpmsTimeouts{1200, 1200, 1200}));
    EXPECT_EQ(idle::dpmsTimeoutsDarkAfter({300, 600, 900}, 1200), (DpmsTimeouts{1200, 1500, 1800}));
    EXPECT_EQ(idle::dpmsTimeoutsDarkAfter({0, 0, 600}, 1200), (DpmsTimeouts{0, 0, 1200}));
    EXPECT_EQ(idle::dpmsTimeoutsDarkAfter({0, 0, 0}, 1200), (DpmsTimeouts{0, 0, 0})) << "never dark stays so";
    EXPECT_EQ(idle::dpmsTimeoutsDarkAfter({600, 60000, 65000}, 7800), (DpmsTimeouts{7800, 65535, 65535}));
}

// --- KDE's files ---

/// Lock, displays off on AC and on battery, sleep on AC and on battery.
std::vector<idle::DesktopTime> timesOf(const DesktopTimers& t) {
    return {t.lock, t.displaysOff, t.displaysOffOnBattery, t.sleepOnAc, t.sleepOnBattery};
}
using Times = std::vector<idle::DesktopTime>;
constexpr std::nullopt_t never = std::nullopt;

class KdeFiles : public ::testing::Test {
protected:
    std::string user() const { return folder_.filePath("user"); }
    std::string system() const { return folder_.filePath("system"); }
    DesktopTimers read(int plasma) const { return idle::readKdeTimers({user(), system()}, plasma); }
    TemporaryFolder folder_;
};

TEST_F(KdeFiles, WithoutFilesKdesDefaultsApply) {
    const DesktopTimers plasma6 = read(0);
    EXPECT_TRUE(plasma6.known);
    EXPECT_EQ(timesOf(plasma6), (Times{300, 600, 300, 900, 600}));
    EXPECT_EQ(plasma6.whereToChange, "System Settings → Screen Locking, and Power Management");
    const DesktopTimers plasma5 = read(5);
    EXPECT_EQ(timesOf(plasma5), (Times{300, 600, 300, 900, 600}));
    EXPECT_EQ(plasma5.whereToChange, "System Settings → Screen Locking, and Energy Saving");
}

TEST_F(KdeFiles, Plasma6FilesAsSystemSettingsWritesThem) {
    writeFile(user() + "/kscreenlockerrc", "[Daemon]\nTimeout=15\n");
    writeFile(user() + "/powerdevilrc",
              "[AC][Display]\nTurnOffDisplayIdleTimeoutSec=1200\n\n[AC][SuspendAndShutdown]\nAutoSuspendAction=0\n\n"
              "[Battery][Display]\nTurnOffDisplayWhenIdle=false\n");
    EXPECT_EQ(timesOf(read(0)), (Times{900, 1200, never, never, 600})) << "absent: KDE's default";
}

TEST_F(KdeFiles, Plasma5ProfilesActOnlyWhereTheirGroupIs) {
    writeFile(user() + "/kscreenlockerrc", "[Daemon]\nAutolock=false\nTimeout=1\n");
    writeFile(user() + "/powermanagementprofilesrc",
              "[AC][DPMSControl]\nidleTime=900\n\n[AC][SuspendSession]\nidleTime=1800000\nsuspendType=1\n\n"
              "[Battery][DimDisplay]\nidleTime=120000\n");
    const DesktopTimers timers = read(0);
    EXPECT_EQ(timers.whereToChange, "System Settings → Screen Locking, and Energy Saving") << "guessed Plasma 5";
    EXPECT_EQ(timesOf(timers), (Times{never, 900, never, 1800, never}));

    // Once Plasma 6 migrated them, the old file no longer counts.
    writeFile(user() + "/powermanagementprofilesrc", "[Migration]\nMigratedProfilesToPlasma6=powerdevilrc\n");
    EXPECT_EQ(read(0).displaysOff, 600);
}

TEST_F(KdeFiles, HostileValuesFallBackToKdesDefaults) {
    writeFile(user() + "/kscreenlockerrc", std::string("[Daemon\n=5\n\x01\xff\0[\n", 16) +
                                               "[Daemon]\nAutolock=maybe\nTimeout=99999999999\n[Daemon][x\nTimeout=abc\n");
    writeFile(user() + "/powerdevilrc", "[AC][Display]\nTurnOffDisplayIdleTimeoutSec=-1\n[Battery][Display]\n"
                                        "TurnOffDisplayIdleTimeoutSec=12x\n" +
                                            std::string(300000, 'x') + "\n");
    std::filesystem::create_directories(system());
    ::mkfifo((system() + "/powerdevilrc").c_str(), 0600);  // never opened: it would wait for a writer
    EXPECT_EQ(timesOf(read(6)), (Times{300, never, 300, 900, 600})) << "-1 is never";
}

TEST_F(KdeFiles, TheSystemsFilesLieUnderTheUsersUnlessLocked) {
    writeFile(system() + "/kscreenlockerrc", "[Daemon]\nTimeout[$i]=10\n");
    writeFile(user() + "/kscreenlockerrc", "[Daemon]\nTimeout=2\nAutolock[de]=false\n");
    EXPECT_EQ(read(6).lock, 600);
    writeFile(system() + "/kscreenlockerrc", "[Daemon]\nTimeout=10\nAutolock=false\n");
    EXPECT_EQ(read(6).lock, std::nullopt);
    writeFile(system() + "/kscreenlockerrc", "[Daemon]\nTimeout=10\n");
    EXPECT_EQ(read(6).lock, 120);
}

TEST_F(KdeFiles, TheReaderFollowsASaveThatRenamesTheFile) {
    writeFile(user() + "/kscreenlockerrc", "[Daemon]\nTimeout=5\n");
    idle::KdeTimersReader reader([](host::LogLevel, const std::string&) {}, {user(), system()}, 6);
    int changes = 0;
    QObject::connect(&reader, &idle::DesktopTimersReader::changed, [&] { ++changes; });
    writeFile(user() + "/kscreenlockerrc.new", "[Daemon]\nTimeout=20\n");
    std::filesystem::rename(user() + "/kscreenlockerrc.new", user() + "/kscreenlockerrc");
    ASSERT_TRUE(qttest::spinUntil([&] { return reader.read().lock == 1200; }));
    EXPECT_GE(changes, 1);
}

// --- GNOME's GSettings ---

class GnomeSettings : public ::testing::Test {
protected:
    /// Compiles the schemas into a folder; skips without glib-compile-schemas.
    std::string compile(const std::string& name, const std::string& xml) {
        const std::string folder = folder_.filePath(name);
        writeFile(folder + "/test.gschema.xml", "<schemalist>" + xml + "</schemalist>");
        if (QProcess::execute(QStringLiteral(TAVRIN_GLIB_COMPILE_SCHEMAS), {QString::fromStdString(folder)}) != 0)
            ADD_FAILURE() << "glib-compile-schemas failed on " << xml;
        return folder;
    }
    void SetUp() override {
        if (std::string(TAVRIN_GLIB_COMPILE_SCHEMAS).empty()) GTEST_SKIP() << "needs glib-compile-schemas";
    }
    idle::IdleLog log_ = [](host::LogLevel, const std::string&) {};
    TemporaryFolder folder_;
};

const std::string kSessionSchema =
    R"(<schema id="org.gnome.desktop.session" path="/org/gnome/desktop/session/">
         <key name="idle-delay" type="u"><default>300</default></key></schema>)";
const std::string kOtherSchemas =
    R"(<schema id="org.gnome.desktop.screensaver" path="/org/gnome/desktop/screensaver/">
         <key name="lock-enabled" type="b"><default>true</default></key>
         <key name="lock-delay" type="u"><default>30</default></key></schema>
       <enum id="test.PowerAction"><value nick="suspend" value="1"/><value nick="nothing" value="5"/></enum>
       <schema id="org.gnome.settings-daemon.plugins.power" path="/org/gnome/settings-daemon/plugins/power/">
         <key name="sleep-inactive-ac-timeout" type="i"><default>1200</default></key>
         <key name="sleep-inactive-ac-type" enum="test.PowerAction"><default>'suspend'</default></key>
         <key name="sleep-inactive-battery-timeout" type="i"><default>900</default></key>
         <key name="sleep-inactive-battery-type" enum="test.PowerAction"><default>'nothing'</default></key></schema>)";

TEST_F(GnomeSettings, ReadThroughGioAndChangedAsGnomeSettingsDoes) {
    ASSERT_TRUE(QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib"))
        << "GSettings' signals need Qt's event loop to run GLib's";
    idle::GnomeTimersReader reader(log_, {compile("all", kSessionSchema + kOtherSchemas), true});
    DesktopTimers timers = reader.read();
    ASSERT_TRUE(timers.known);
    EXPECT_EQ(timers.blank, 300);
    EXPECT_EQ(timers.lock, 330) << "lock-delay after the blank";
    EXPECT_EQ(timers.sleepOnAc, 1200);
    EXPECT_EQ(timers.sleepOnBattery, std::nullopt) << "'nothing' is never";
    EXPECT_EQ(timers.fix, DesktopTimers::Fix::GnomeIdleDelay);
    EXPECT_EQ(timers.unread, "");

    int changes = 0;
    QObject::connect(&reader, &idle::DesktopTimersReader::changed, [&] { ++changes; });
    std::string why;
    ASSERT_TRUE(reader.letBlankAfter(20, &why)) << why;
    ASSERT_TRUE(qttest::spinUntil([&] { return changes > 0; }));
    EXPECT_EQ(reader.read().blank, 1200);
    EXPECT_EQ(reader.read().lock, 1230);
    EXPECT_FALSE(reader.letBlankAfter(0, &why));
}

TEST_F(GnomeSettings, MissingSchemasAndKeysOfAnotherTypeAreUnknownNeverAnAbort) {
    const DesktopTimers sessionOnly = idle::GnomeTimersReader(log_, {compile("session", kSessionSchema), true}).read();
    EXPECT_TRUE(sessionOnly.known);
    EXPECT_EQ(sessionOnly.blank, 300);
    EXPECT_EQ(sessionOnly.lock, std::nullopt);
    EXPECT_EQ(sessionOnly.unread,
              "the lock (no schema org.gnome.desktop.screensaver); the sleep (no schema "
              "org.gnome.settings-daemon.plugins.power)");

    idle::GnomeTimersReader none(log_, {compile("none", kOtherSchemas), true});
    EXPECT_FALSE(none.read().known);
    EXPECT_NE(none.read().unknownWhy.find("no schema org.gnome.desktop.session"), std::string::npos);
    std::string why;
    EXPECT_FALSE(none.letBlankAfter(20, &why));

    const std::string strings =
        R"(<schema id="org.gnome.desktop.session" path="/org/gnome/desktop/session/">
             <key name="idle-delay" type="s"><default>'300'</default></key></schema>
           <schema id="org.gnome.desktop.screensaver"><key name="lock-enabled" type="b"><default>true</default></key></schema>)";
    const DesktopTimers mistyped = idle::GnomeTimersReader(log_, {compile("mistyped", strings), true}).read();
    EXPECT_FALSE(mistyped.known);
    EXPECT_EQ(idle::hidingLine(mistyped, 600, false), "");
}

}  // namespace
