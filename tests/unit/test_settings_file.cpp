// The settings file on disk: round trips, hostile content, and saves that cannot write. Loading
// must never change the file; a failed save must leave the old file exactly as it was.
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "platform/posix/file_defaults_store.h"
#include "module/settings/settings_table.h"
#include "support/fake_host.h"

namespace {

using posix::FileDefaultsStore;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

int filesIn(const std::string& dir) {
    int n = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++n;
        ::closedir(d);
    }
    return n;
}

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tavrin-settings-XXXXXX";
        dir = ::mkdtemp(tmpl);
        path = dir + "/org.tavrin.screensaver.conf";
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    FileDefaultsStore open() {
        return FileDefaultsStore(path, [this](const std::string& line) { logged.push_back(line); });
    }
    /// Registers the module's defaults as loading does.
    static void registerModuleDefaults(FileDefaultsStore& s) {
        std::vector<host::DefaultValue> d;
        for (const auto& b : tavrin::kBoolSettings) d.push_back({b.key, host::DefaultValue::Type::Bool, b.defaultValue, 0});
        for (const auto& i : tavrin::kIntegerSettings) d.push_back({i.key, host::DefaultValue::Type::Integer, false, i.defaultValue});
        s.registerDefaults(d);
    }

    std::string dir, path;
    std::vector<std::string> logged;
};

TEST_F(SettingsFile, PathFollowsXdgConfigHomeThenHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/somewhere/config", 1);
    EXPECT_EQ(posix::settingsFilePath("org.x"), "/somewhere/config/org.x.conf");
    ::setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", "/home/user", 1);
    EXPECT_EQ(posix::settingsFilePath("org.x"), "/home/user/.config/org.x.conf");
    if (oldXdg) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsFile, MissingFileGivesDefaultsAndIsNotCreatedByReading) {
    auto s = open();
    registerModuleDefaults(s);
    EXPECT_TRUE(s.boolForKey("EnableFadeTrails"));
    EXPECT_EQ(s.integerForKey("StarCount"), 50);
    EXPECT_TRUE(s.synchronize());  // nothing to write
    EXPECT_EQ(filesIn(dir), 0);
}

TEST_F(SettingsFile, SavedValuesReadBackAndRegisteredDefaultsAreNeverWritten) {
    {
        auto s = open();
        registerModuleDefaults(s);
        s.setBool(false, "EnableNeonGlow");
        s.setInteger(22, "TrailLength");
        ASSERT_TRUE(s.synchronize());
    }
    const std::string text = readFile(path);
    EXPECT_NE(text.find("EnableNeonGlow=false\n"), std::string::npos);
    EXPECT_NE(text.find("TrailLength=22\n"), std::string::npos);
    EXPECT_EQ(text.find("StarCount"), std::string::npos) << "defaults must not be written";
    auto again = open();
    EXPECT_FALSE(again.boolForKey("EnableNeonGlow"));
    EXPECT_EQ(again.integerForKey("TrailLength"), 22);
    EXPECT_EQ(filesIn(dir), 1) << "no temporary file may be left behind";
}

TEST_F(SettingsFile, CommentsUnknownKeysAndOddLinesSurviveASave) {
    const std::string original =
        "# my settings\nFutureOption=wobble\n[section]\n  TrailLength = 9  \nnot a setting\nGlowSize=7";
    writeFile(path, original);
    auto s = open();
    EXPECT_EQ(s.integerForKey("TrailLength"), 9);
    s.setInteger(12, "TrailLength");
    s.setBool(true, "EnableBallCurve");
    ASSERT_TRUE(s.synchronize());
    EXPECT_EQ(readFile(path),
              "# my settings\nFutureOption=wobble\n[section]\nTrailLength=12\nnot a setting\nGlowSize=7\n"
              "EnableBallCurve=true\n");
}

TEST_F(SettingsFile, ASaveKeepsWhatAnotherWriterSavedSinceTheFileWasRead) {
    // The settings window's sheet and its idle switch, or two processes, each hold a store read
    // at their start: neither save may lose the other's value.
    FileDefaultsStore sheet = open();
    FileDefaultsStore idleSwitch = open();
    idleSwitch.setBool(true, "StartOnIdle");
    ASSERT_TRUE(idleSwitch.synchronize());
    writeFile(path, readFile(path) + "# a comment typed in meanwhile\n");
    sheet.setInteger(7, "TrailLength");
    ASSERT_TRUE(sheet.synchronize());
    FileDefaultsStore reread = open();
    EXPECT_TRUE(reread.boolForKey("StartOnIdle"));
    EXPECT_EQ(reread.integerForKey("TrailLength"), 7);
    EXPECT_NE(readFile(path).find("# a comment typed in meanwhile"), std::string::npos);
    EXPECT_EQ(sheet.integerForKey("TrailLength"), 7);
    EXPECT_TRUE(sheet.boolForKey("StartOnIdle")) << "the saving store sees what it kept";
}

TEST_F(SettingsFile, HostileContentReadsAsFallbacksAndIsNeverChangedByReading) {
    static const char kBinary[] = "\x00\xff\x13\nTrailLength=\x00\x01\nEnableNeonGlow=\xfe";
    struct Case {
        const char* name;
        std::string content;
        int64_t trailLength;  // as read, before the view's limits
        bool glow;
    };
    const Case cases[] = {
        {"empty", "", 15, true},
        {"truncated value", "TrailLength=", 0, true},
        {"truncated key", "Trail", 15, true},
        {"binary", std::string(kBinary, sizeof kBinary - 1), 0, false},
        {"wrong type", "TrailLength=very long\nEnableNeonGlow=purple", 0, false},
        {"too large for 64 bits", "TrailLength=99999999999999999999", 0, true},
        {"negative", "TrailLength=-5\nEnableNeonGlow=-1", -5, true},
        {"key twice", "TrailLength=4\nTrailLength=8", 8, true},
        {"words", "TrailLength=yes\nEnableNeonGlow=off", 1, false},
        {"carriage returns", "TrailLength=6\r\nEnableNeonGlow=false\r\n", 6, false},
    };
    for (const Case& c : cases) {
        writeFile(path, c.content);
        auto s = open();
        registerModuleDefaults(s);
        EXPECT_EQ(s.integerForKey("TrailLength"), c.trailLength) << c.name;
        EXPECT_EQ(s.boolForKey("EnableNeonGlow"), c.glow) << c.name;
        EXPECT_EQ(readFile(path), c.content) << c.name << ": reading changed the file";
    }
}

TEST_F(SettingsFile, APathThatIsNotAFileIsNeitherReadNorReplaced) {
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    auto s = open();
    registerModuleDefaults(s);
    EXPECT_EQ(s.integerForKey("GlowSize"), 15);
    EXPECT_FALSE(s.readError().empty());
    s.setInteger(20, "GlowSize");
    EXPECT_FALSE(s.synchronize());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find(path), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(SettingsFile, AnOversizedFileIsNotReadAndNotOverwritten) {
    const std::string big = "TrailLength=5\n" + std::string(FileDefaultsStore::kMaxFileSize, '#');
    writeFile(path, big);
    auto s = open();
    registerModuleDefaults(s);
    EXPECT_EQ(s.integerForKey("TrailLength"), 15);
    s.setInteger(6, "TrailLength");
    EXPECT_FALSE(s.synchronize());
    EXPECT_EQ(logged.size(), 1u);
    EXPECT_EQ(readFile(path), big);
}

TEST_F(SettingsFile, ASaveThatCannotWriteLeavesTheOldFileIntact) {
    const std::string original = "TrailLength=9\n";
    writeFile(path, original);
    auto s = open();
    s.setInteger(10, "TrailLength");
    for (int i = 0; i < 200; ++i) s.setInteger(i, "Padding" + std::to_string(i));
    // Limit file sizes so that writing the new file fails half way, as a full disk would.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = s.synchronize();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(filesIn(dir), 1) << "the temporary file must be removed";
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("previous file is unchanged"), std::string::npos);
}

TEST_F(SettingsFile, AFolderThatCannotBeCreatedIsReportedOnce) {
    writeFile(dir + "/blocker", "x");
    FileDefaultsStore s(dir + "/blocker/sub/settings.conf", [this](const std::string& l) { logged.push_back(l); });
    s.setInteger(5, "GlowSize");
    EXPECT_FALSE(s.synchronize());
    EXPECT_EQ(logged.size(), 1u);
    EXPECT_EQ(readFile(dir + "/blocker"), "x");
}

TEST_F(SettingsFile, MissingFoldersAreCreated) {
    FileDefaultsStore s(dir + "/a/b/settings.conf", [](const std::string&) {});
    s.setInteger(5, "GlowSize");
    ASSERT_TRUE(s.synchronize());
    EXPECT_NE(readFile(dir + "/a/b/settings.conf").find("GlowSize=5"), std::string::npos);
}

TEST_F(SettingsFile, ALinkedSettingsFileStaysALink) {
    const std::string real = dir + "/dotfiles-settings.conf";
    writeFile(real, "GlowSize=9\n");
    ASSERT_EQ(::symlink(real.c_str(), path.c_str()), 0);
    auto s = open();
    EXPECT_EQ(s.integerForKey("GlowSize"), 9);
    s.setInteger(11, "GlowSize");
    ASSERT_TRUE(s.synchronize());
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readFile(real), "GlowSize=11\n");
}

TEST_F(SettingsFile, ViewsLoadAndSaveThroughTheRealFile) {
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    auto& fake = fake::FakeHost::instance();
    fake.reset();
    posix::FileDefaultsProvider provider([this](const std::string& l) { logged.push_back(l); });
    fake.defaults = &provider;
    host::installHost(&fake);
    writeFile(path, "TrailLength=1000\nStarCount=abc\nFavouriteColour=teal\n");
    {
        auto v = tavrin::Tavrin_ScreenSaverView::create({{0, 0}, {100, 100}}, false);
        EXPECT_EQ(v->trailLength, 30);
        EXPECT_EQ(v->starCount, 10);
        v->enableColorDrift = false;
        v->savePreferences();
    }
    fake.defaults = &fake.defaultsService;
    ::unsetenv("XDG_CONFIG_HOME");
    const std::string text = readFile(path);
    EXPECT_NE(text.find("FavouriteColour=teal"), std::string::npos);
    EXPECT_NE(text.find("TrailLength=30\n"), std::string::npos);
    EXPECT_NE(text.find("StarCount=10\n"), std::string::npos);
    EXPECT_NE(text.find("EnableColorDrift=false\n"), std::string::npos);
    EXPECT_TRUE(logged.empty());
}

}  // namespace
