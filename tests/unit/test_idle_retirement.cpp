// Retirement of an idle host process: which view keeps the process, when the check runs, and the
// log lines a user reads afterwards.
#include <cstdio>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

using namespace tavrin;

namespace {

constexpr std::string_view kCheck = "terminateIfHostIdle";

class IdleRetirement : public fake::HostTest {
protected:
    std::shared_ptr<Tavrin_ScreenSaverView> make(bool preview = false) {
        return Tavrin_ScreenSaverView::create({{0, 0}, {1000, 500}}, preview);
    }
    std::string address(const void* p) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", p);
        return buf;
    }
    std::vector<std::string> notRetiring() { return fake.logService.linesContaining("not retiring host"); }
    bool exited() const { return !fake.processService.exitStatuses.empty(); }
};

TEST_F(IdleRetirement, AStoppedViewRetiresTheProcessFiveSecondsLater) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->stopAnimation();
    fake.runLoopService.advance(4.99);
    EXPECT_FALSE(exited());
    fake.runLoopService.advance(0.02);
    EXPECT_EQ(fake.processService.exitStatuses, std::vector<int>{0});
    const auto lines = fake.logService.linesContaining("retiring host process");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "all views idle for 5s - retiring host process");
    EXPECT_EQ(fake.logService.lines.back().category, "lifecycle");
    EXPECT_EQ(fake.logService.lines.back().subsystem, "org.tavrin.screensaver");
    EXPECT_EQ(fake.logService.lines.back().level, host::LogLevel::Default);
}

TEST_F(IdleRetirement, ViewsThatNeverShowedAFrameOrArePreviewsArmNothing) {
    auto full = make();
    auto preview = make(true);
    preview->hasRenderedVisibleFrame = true;
    full->stopAnimation();
    preview->stopAnimation();
    EXPECT_EQ(fake.runLoopService.pendingCount(), 0u);
}

TEST_F(IdleRetirement, EachReasonKeepsTheProcessAndIsLogged) {
    struct Case {
        const char* reason;
        std::function<void(Tavrin_ScreenSaverView&)> arrange;
    };
    const Case cases[] = {
        {"preview instance", [](Tavrin_ScreenSaverView& v) { v.isPreviewMode = true; }},
        {"options sheet open",
         [](Tavrin_ScreenSaverView& v) {
             v.configSheet = std::make_shared<fake::FakeSheetWindow>(host::CGRect{}, "sheet");
         }},
        {"still starting up", [](Tavrin_ScreenSaverView& v) { v.hasRenderedVisibleFrame = false; }},
        {"still on screen",
         [](Tavrin_ScreenSaverView& v) {
             v.hostAttachWindow(std::make_shared<fake::FakeWindow>());
             v.startAnimation();
         }},
    };
    for (const Case& c : cases) {
        fake.reset();
        auto v = make();
        v->hasRenderedVisibleFrame = true;
        c.arrange(*v);
        v->terminateIfHostIdle();
        EXPECT_FALSE(exited()) << c.reason;
        EXPECT_EQ(notRetiring(), std::vector<std::string>{"not retiring host: view " + address(v.get()) + " " + c.reason});
    }
}

// The reasons are tested in a fixed order and the first that holds is the one logged: a user
// reading why the process stayed sees the most telling one.
TEST_F(IdleRetirement, AViewWithSeveralReasonsLogsTheFirstInOrder) {
    auto v = make(true);
    v->configSheet = std::make_shared<fake::FakeSheetWindow>(host::CGRect{}, "sheet");
    v->terminateIfHostIdle();
    v->isPreviewMode = false;
    v->terminateIfHostIdle();
    v->configSheet.reset();
    v->hostAttachWindow(std::make_shared<fake::FakeWindow>());
    v->startAnimation();  // live on screen, but no frame step has shown it yet
    v->terminateIfHostIdle();
    const std::string view = "not retiring host: view " + address(v.get());
    EXPECT_EQ(notRetiring(), (std::vector<std::string>{view + " preview instance", view + " options sheet open",
                                                       view + " still starting up"}));
    EXPECT_FALSE(exited());
}

TEST_F(IdleRetirement, StartUpGraceEndsAtThirtySecondsExactly) {
    auto young = make();  // never rendered a visible frame
    fake.clockService.set(young->createdAt + 29.9);
    young->terminateIfHostIdle();
    EXPECT_FALSE(exited());
    EXPECT_EQ(notRetiring().size(), 1u);

    fake.clockService.set(young->createdAt + 30.0);
    young->terminateIfHostIdle();
    EXPECT_TRUE(exited());
}

TEST_F(IdleRetirement, AVisibleWindowWithoutAnimationDoesNotKeepTheProcess) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->hostAttachWindow(std::make_shared<fake::FakeWindow>());
    EXPECT_TRUE(v->isActuallyOnScreen());
    EXPECT_FALSE(v->isLiveOnScreen());
    v->terminateIfHostIdle();
    EXPECT_TRUE(exited());
}

TEST_F(IdleRetirement, OnlyTheFirstViewWithAReasonIsLogged) {
    auto a = make(true);
    auto b = make(true);
    b->terminateIfHostIdle();  // the check looks at all views, not at the one it was sent to
    EXPECT_EQ(notRetiring(), std::vector<std::string>{"not retiring host: view " + address(a.get()) + " preview instance"});
}

TEST_F(IdleRetirement, SchedulingAgainRestartsTheWaitAndStartingCancelsIt) {
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->scheduleIdleTerminationCheck();
    fake.runLoopService.advance(3);
    v->scheduleIdleTerminationCheck();
    EXPECT_EQ(fake.runLoopService.pendingCount(v.get(), kCheck), 1u);
    EXPECT_DOUBLE_EQ(*fake.runLoopService.dueTime(v.get(), kCheck), fake.clockService.now() + 5);
    fake.runLoopService.advance(4);
    EXPECT_FALSE(exited());
    v->startAnimation();
    fake.runLoopService.advance(10);
    EXPECT_FALSE(exited());
}

TEST_F(IdleRetirement, ACheckThatFindsAReasonArmsNothingNew) {
    auto keeper = make(true);
    auto v = make();
    v->hasRenderedVisibleFrame = true;
    v->stopAnimation();
    fake.runLoopService.advance(5);
    EXPECT_FALSE(exited());
    EXPECT_EQ(fake.runLoopService.pendingCount(), 0u);
}

TEST_F(IdleRetirement, StateLineDescribesAViewWithoutAWindow) {
    auto v = make();
    v->frameCounter = 7;
    v->logAnimationState(false);
    ASSERT_EQ(fake.logService.lines.size(), 1u);
    const std::string expected = "view=" + address(v.get()) + " frame=7 onScreen=0 animating=0 rendered=0 preview=0 window=" +
                                 address(nullptr) + " visible=0 occlusion=0x0 screen=" + address(nullptr) +
                                 " bounds=1000x500";
    EXPECT_EQ(fake.logService.lines[0].text, expected);
}

TEST_F(IdleRetirement, StateLineDescribesTheWindowAndItsScreen) {
    auto screen = fake.screenList.add({{0, 0}, {1000, 500}});
    auto window = windowOn(screen);
    auto v = fake::viewOnWindow({{0, 0}, {1000, 500}}, window);
    v->startAnimation();
    v->logAnimationState(true);
    const std::string expected = "view=" + address(v.get()) + " frame=0 onScreen=1 animating=1 rendered=0 preview=0 window=" +
                                 address(window.get()) + " visible=1 occlusion=0x2 screen=" + address(screen.get()) +
                                 " bounds=1000x500";
    EXPECT_EQ(fake.logService.lines.back().text, expected);
}

TEST_F(IdleRetirement, NoStateLineWhenTheDefaultLevelIsOff) {
    auto v = make();
    fake.logService.defaultLevelEnabled = false;
    v->logAnimationState(true);
    EXPECT_TRUE(fake.logService.lines.empty());
}

}  // namespace
