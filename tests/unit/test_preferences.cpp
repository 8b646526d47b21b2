// Loading and saving the eleven settings through the defaults store: defaults, limits, and what
// reaches the store.
#include "module/settings/settings_table.h"
#include "support/fake_host.h"

using namespace tavrin;

namespace {

const std::string kModule = "org.tavrin.screensaver";

class Preferences : public fake::HostTest {
protected:
    std::shared_ptr<Tavrin_ScreenSaverView> make() { return Tavrin_ScreenSaverView::create({{0, 0}, {800, 600}}, false); }
    std::vector<std::string> writes() const {
        std::vector<std::string> out;
        for (const auto& c : fake.defaultsService.calls)
            if (c.rfind("set", 0) == 0 || c == "synchronize") out.push_back(c);
        return out;
    }
};

TEST_F(Preferences, EmptyStoreGivesTheDefaultsAndStaysEmpty) {
    auto v = make();
    for (const auto& s : kBoolSettings) EXPECT_TRUE((*v).*s.member) << s.key;
    EXPECT_EQ(v->trailLength, 15);
    EXPECT_EQ(v->glowSize, 15);
    EXPECT_EQ(v->starCount, 50);
    EXPECT_TRUE(fake.defaultsService.stored[kModule].empty());
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(fake.defaultsService.moduleNamesAsked, std::vector<std::string>{kModule});
}

TEST_F(Preferences, ReadsInTableOrderAfterRegisteringDefaults) {
    auto v = make();
    std::vector<std::string> expected{"registerDefaults"};
    for (const auto& s : kBoolSettings) expected.push_back("boolForKey:" + std::string(s.key));
    for (const auto& s : kIntegerSettings) expected.push_back("integerForKey:" + std::string(s.key));
    EXPECT_EQ(fake.defaultsService.calls, expected);
}

TEST_F(Preferences, IntegersAreLimitedOnReadingButNotInTheStore) {
    struct Case {
        const char* key;
        int64_t stored;
        int64_t read;
    };
    const Case cases[] = {
        {"TrailLength", 0, 3},  {"TrailLength", 2, 3},    {"TrailLength", -5, 3}, {"TrailLength", 3, 3},
        {"TrailLength", 30, 30}, {"TrailLength", 31, 30}, {"TrailLength", 1000, 30},
        {"GlowSize", 4, 5},     {"GlowSize", 51, 50},     {"GlowSize", INT64_MIN, 5},
        {"StarCount", 9, 10},   {"StarCount", 201, 200},  {"StarCount", 10, 10},  {"StarCount", 200, 200},
        {"StarCount", 500, 200}, {"StarCount", INT64_MAX, 200},
    };
    for (const Case& c : cases) {
        fake.reset();
        fake.defaultsService.setStoredInteger(kModule, c.key, c.stored);
        auto v = make();
        const auto& setting = *std::find_if(kIntegerSettings.begin(), kIntegerSettings.end(),
                                            [&](const IntegerSetting& s) { return s.key == c.key; });
        EXPECT_EQ((*v).*setting.member, c.read) << c.key << " stored " << c.stored;
        EXPECT_EQ(fake.defaultsService.stored[kModule][c.key].integer, c.stored) << "the store keeps what it held";
    }
}

TEST_F(Preferences, ValuesOfTheWrongTypeReadAsFalseOrZeroThenTheLimits) {
    fake.defaultsService.setStoredString(kModule, "EnableNeonGlow", "purple");
    fake.defaultsService.setStoredString(kModule, "TrailLength", "long");
    fake.defaultsService.setStoredBool(kModule, "StarCount", true);
    auto v = make();
    EXPECT_FALSE(v->enableNeonGlow);
    EXPECT_EQ(v->trailLength, 3);
    EXPECT_EQ(v->starCount, 10);
}

TEST_F(Preferences, SavingWritesExactlyTheLoadedValuesThenSynchronizesOnce) {
    fake.defaultsService.setStoredBool(kModule, "EnableStarfield", false);
    fake.defaultsService.setStoredInteger(kModule, "GlowSize", 99);
    auto v = make();
    fake.defaultsService.calls.clear();
    v->savePreferences();
    EXPECT_EQ(writes(), (std::vector<std::string>{
                            "setBool:1 forKey:EnableFadeTrails", "setBool:1 forKey:EnableNeonGlow",
                            "setBool:1 forKey:EnableCollisionFlash", "setBool:1 forKey:EnableColorDrift",
                            "setBool:0 forKey:EnableStarfield", "setBool:1 forKey:EnableCollisionSparks",
                            "setBool:1 forKey:EnableCrossMonitorSparks", "setBool:1 forKey:EnableBallCurve",
                            "setInteger:15 forKey:TrailLength", "setInteger:50 forKey:GlowSize",
                            "setInteger:50 forKey:StarCount", "synchronize"}));
}

TEST_F(Preferences, LoadingTwiceChangesNothing) {
    fake.defaultsService.setStoredInteger(kModule, "TrailLength", 7);
    auto v = make();
    v->loadPreferences();
    EXPECT_EQ(v->trailLength, 7);
    EXPECT_EQ(std::count(fake.defaultsService.calls.begin(), fake.defaultsService.calls.end(), "registerDefaults"), 2);
    EXPECT_TRUE(writes().empty());
}

TEST_F(Preferences, EachViewKeepsItsOwnCopyUntilItLoadsAgain) {
    auto a = make();
    auto b = make();
    a->trailLength = 4;
    a->savePreferences();
    EXPECT_EQ(b->trailLength, 15);
    b->loadPreferences();
    EXPECT_EQ(b->trailLength, 4);
}

TEST_F(Preferences, AFailedSynchronizeIsNotAnErrorOfTheView) {
    fake.defaultsService.synchronizeFails = true;
    auto v = make();
    v->savePreferences();
    EXPECT_EQ(writes().back(), "synchronize");
}

}  // namespace
