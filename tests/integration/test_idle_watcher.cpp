// The idle watcher's loop against a source the test drives and savers that are small shell
// commands: one saver at a time, a saver that outlives the user's return is ended (and killed when
// it ignores SIGTERM), a failing saver is logged and tried again at the next idle period, and the
// session's followers end savers or keep them away. Also the settings that fall back and the
// one-watcher-per-session lock.
#include <QCoreApplication>
#include <gtest/gtest.h>
#include <signal.h>

#include "idle/idle_settings.h"
#include "idle/idle_watcher.h"
#include "idle/session_lock.h"
#include "idle/watcher_status.h"
#include "qt_host_test_support.h"
#include "support/temporary_folder.h"

namespace {

using namespace std::chrono_literals;
using qttest::spinUntil;

class ScriptedSource : public idle::IdleSource {
public:
    QString name() const override { return QStringLiteral("a scripted source"); }
    bool watch(std::chrono::milliseconds timeout, std::string*) override {
        watched = timeout;
        ++watches;
        return true;
    }
    void goIdle() { emit idle(); }
    void comeBack() { emit active(); }
    void end() { emit ended(0, QStringLiteral("the session ended")); }
    std::chrono::milliseconds watched{0};
    int watches = 0;
};

class ScriptedFollower : public idle::SessionFollower {
public:
    using SessionFollower::SessionFollower;
    QString name() const override { return QStringLiteral("a scripted follower"); }
    void set(bool active, const std::string& reason) { setActive(active, reason); }
    void saverRunning(bool running) override { told.push_back(running); }
    std::vector<bool> told;
};

/// A saver that runs until it is ended: `exec`, so that the signal reaches the sleep itself, and no
/// orphan keeps the test's output open after the test.
struct WatcherRun {
    explicit WatcherRun(const QString& script)
        : watcher(source, {QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, {}},
                  [this](host::LogLevel, const std::string& line) { log.push_back(line); }) {
        QObject::connect(&watcher, &idle::IdleWatcher::saverStarted, [this](qint64) { ++started; });
        QObject::connect(&watcher, &idle::IdleWatcher::saverEnded, [this](int status) { ended.push_back(status); });
        std::string why;
        EXPECT_TRUE(watcher.start(2s, &why));
    }
    bool logged(const std::string& part) const {
        for (const std::string& line : log)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }
    ScriptedSource source;
    std::vector<std::string> log;
    int started = 0;
    std::vector<int> ended;
    idle::IdleWatcher watcher;
};

TEST(IdleWatcher, StartsOneSaverAtATimeAndEndsOneThatOutlivesTheUsersReturn) {
    WatcherRun run(QStringLiteral("exec sleep 30"));
    EXPECT_EQ(run.source.watched, 2s);
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.watcher.saverRunning(); }));
    run.source.goIdle();
    EXPECT_EQ(run.started, 1) << "a second idle period while the saver runs starts none";

    // The saver did not see the input: after the grace, SIGTERM.
    run.source.comeBack();
    qttest::spinFor(static_cast<int>(idle::IdleWatcher::kUserBackGrace.count()) - 300);
    EXPECT_TRUE(run.watcher.saverRunning()) << "the saver gets its grace to end by itself";
    ASSERT_TRUE(spinUntil([&] { return !run.watcher.saverRunning(); }, 2000));
    EXPECT_TRUE(run.logged("the user is back"));

    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.started == 2; }));
}

TEST(IdleWatcher, AnIdlePeriodThatBeginsWhileTheLastSaverRetiresStartsTheNextWhenItEnds) {
    WatcherRun run(QStringLiteral("sleep 0.5"));
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.started == 1; }));
    run.source.comeBack();
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.started == 2; }));
    EXPECT_EQ(run.ended.size(), 1u) << "one saver at a time";

    // Back again before the saver ended: nothing starts after it.
    run.source.comeBack();
    run.source.goIdle();
    run.source.comeBack();
    ASSERT_TRUE(spinUntil([&] { return run.ended.size() == 2; }));
    qttest::spinFor(300);
    EXPECT_EQ(run.started, 2);
}

TEST(IdleWatcher, ASaverThatEndsItselfIsLeftAloneAndOneThatIgnoresSigtermIsKilled) {
    WatcherRun quick(QStringLiteral("sleep 0.2"));
    quick.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return quick.ended.size() == 1; }));
    quick.source.comeBack();
    qttest::spinFor(static_cast<int>(idle::IdleWatcher::kUserBackGrace.count()) + 200);
    EXPECT_FALSE(quick.logged("SIGTERM"));
    EXPECT_EQ(quick.ended, std::vector<int>{0});

    WatcherRun stubborn(QStringLiteral("trap '' TERM; exec sleep 30"));
    stubborn.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return stubborn.watcher.saverRunning(); }));
    stubborn.source.comeBack();
    const int allowed = static_cast<int>((idle::IdleWatcher::kUserBackGrace + idle::IdleWatcher::kTerminateGrace).count());
    ASSERT_TRUE(spinUntil([&] { return !stubborn.watcher.saverRunning(); }, allowed + 2000));
    EXPECT_TRUE(stubborn.logged("killing it"));
}

TEST(IdleWatcher, AFailingOrMissingSaverIsLoggedAndTriedAgainAtTheNextIdlePeriod) {
    WatcherRun failing(QStringLiteral("exit 3"));
    failing.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return failing.ended.size() == 1; }));
    EXPECT_EQ(failing.ended[0], 3);
    EXPECT_TRUE(failing.logged("exit status 3"));
    failing.source.comeBack();
    failing.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return failing.ended.size() == 2; }));

    ScriptedSource source;
    std::vector<std::string> log;
    idle::IdleWatcher missing(source, {QStringLiteral("/nonexistent/tavrin"), {}, {}},
                              [&log](host::LogLevel, const std::string& line) { log.push_back(line); });
    std::string why;
    ASSERT_TRUE(missing.start(1s, &why));
    source.goIdle();
    EXPECT_FALSE(missing.saverRunning());
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find("cannot start the screen saver /nonexistent/tavrin"), std::string::npos) << log.back();

    // The source's end ends the watcher and its saver.
    int finished = -1;
    WatcherRun ending(QStringLiteral("exec sleep 30"));
    QObject::connect(&ending.watcher, &idle::IdleWatcher::finished, [&finished](int status) { finished = status; });
    ending.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return ending.watcher.saverRunning(); }));
    ending.source.end();
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(ending.watcher.saverRunning());
}

TEST(IdleWatcher, AFollowerThatCoversTheScreenEndsTheSaverAtOnceAndNoneStartsUntilItIsOver) {
    WatcherRun run(QStringLiteral("exec sleep 30"));
    ScriptedFollower shield(idle::SessionFollower::Effect::Cover);
    run.watcher.follow(shield);
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.watcher.saverRunning(); }));
    EXPECT_EQ(shield.told, std::vector<bool>{true});

    shield.set(true, "the shield is up");
    ASSERT_TRUE(spinUntil([&] { return !run.watcher.saverRunning(); }, 1000)) << "ended within a second";
    EXPECT_TRUE(run.logged("the shield is up: ending the screen saver"));
    EXPECT_EQ(shield.told, (std::vector<bool>{true, false}));

    // The user comes and goes under the shield: the idle period is passed over.
    run.source.comeBack();
    run.source.goIdle();
    EXPECT_TRUE(run.logged("no screen saver starts while the shield is up"));
    EXPECT_EQ(run.started, 1);

    // Over while the user is still idle: the source watches afresh, and the watcher counts the idle
    // period itself, since the source says idle once per period.
    const int watches = run.source.watches;
    shield.set(false, {});
    EXPECT_EQ(run.source.watches, watches + 1);
    EXPECT_TRUE(run.logged("the idle period counts afresh"));
    qttest::spinFor(1500);
    EXPECT_EQ(run.started, 1) << "a full idle period first";
    ASSERT_TRUE(spinUntil([&] { return run.started == 2; }, 2000));

    // A user back before the period is over starts it anew with the source.
    shield.set(true, "the shield is up");
    ASSERT_TRUE(spinUntil([&] { return !run.watcher.saverRunning(); }, 1000));
    shield.set(false, {});
    run.source.comeBack();
    qttest::spinFor(2500);
    EXPECT_EQ(run.started, 2);
}

TEST(IdleWatcher, AFollowerThatKeepsAwayLetsTheRunningSaverGoOnAndTheLastOneOverCountsAfresh) {
    WatcherRun run(QStringLiteral("exec sleep 30"));
    ScriptedFollower inhibitor(idle::SessionFollower::Effect::KeepAway);
    ScriptedFollower lock(idle::SessionFollower::Effect::Cover);
    run.watcher.follow(inhibitor);
    run.watcher.follow(lock);
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.watcher.saverRunning(); }));
    inhibitor.set(true, "kept awake by mpv: Playing video");
    qttest::spinFor(300);
    EXPECT_TRUE(run.watcher.saverRunning()) << "a video started under the saver does not end it";
    EXPECT_TRUE(run.logged("no screen saver starts while kept awake by mpv: Playing video"));

    run.source.comeBack();
    ASSERT_TRUE(spinUntil([&] { return !run.watcher.saverRunning(); }, 3000));
    run.source.goIdle();
    lock.set(true, "the session is locked");
    const int watches = run.source.watches;
    inhibitor.set(false, {});
    EXPECT_EQ(run.source.watches, watches) << "the lock still keeps the saver away";
    lock.set(false, {});
    EXPECT_EQ(run.source.watches, watches + 1);
    ASSERT_TRUE(spinUntil([&] { return run.started == 2; }, 3000));

    // A follower that goes away while active keeps nothing away any more.
    {
        ScriptedFollower gone(idle::SessionFollower::Effect::Cover);
        run.watcher.follow(gone);
        EXPECT_EQ(gone.told, std::vector<bool>{true}) << "told at once that a saver runs";
        gone.set(true, "the displays are off");
        ASSERT_TRUE(spinUntil([&] { return !run.watcher.saverRunning(); }, 1000));
    }
    run.source.comeBack();
    run.source.goIdle();
    ASSERT_TRUE(spinUntil([&] { return run.started == 3; }));
}

TEST(IdleSettings, UnusableValuesFallBackWithALineAndWritesKeepTheRest) {
    TemporaryFolder folder;
    const std::string path = folder.filePath("settings.conf");
    EXPECT_EQ(idle::readIdleSettings(path).minutes, idle::kDefaultIdleMinutes) << "a missing file";

    for (const char* bad : {"0", "121", "ten", "99999999999999999999999"}) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fprintf(f, "StartOnIdle=maybe\nIdleMinutes=%s\nOnBattery=%s\n", bad, bad);
        std::fclose(f);
        const idle::IdleSettings s = idle::readIdleSettings(path);
        EXPECT_EQ(s.minutes, idle::kDefaultIdleMinutes) << bad;
        EXPECT_FALSE(s.startOnIdle);
        EXPECT_EQ(s.onBattery, idle::kDefaultBatteryMode);
        EXPECT_EQ(s.problems.size(), 3u) << bad;
    }

    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("# mine\nTrailLength=9\n", f);
    std::fclose(f);
    ASSERT_TRUE(idle::writeIdleSettings(path, true, 45, [](const std::string&) {}));
    ASSERT_TRUE(idle::writeBatteryMode(path, idle::BatteryMode::Off, [](const std::string&) {}));
    const idle::IdleSettings s = idle::readIdleSettings(path);
    EXPECT_TRUE(s.startOnIdle);
    EXPECT_EQ(s.minutes, 45);
    EXPECT_EQ(s.onBattery, idle::BatteryMode::Off);
    EXPECT_TRUE(s.problems.empty());
    posix::FileDefaultsStore store(path, [](const std::string&) {});
    ASSERT_NE(store.valueForKey("TrailLength"), nullptr);
    EXPECT_EQ(*store.valueForKey("TrailLength"), "9");
}

TEST(WatcherStatus, WhatIsWrittenIsReadBackAndAHostileFileIsNeverBelieved) {
    TemporaryFolder folder;
    const std::string path = idle::watcherStatusPath(folder.filePath("tavrin-idle-watch-x11-0.lock"));
    EXPECT_EQ(path, folder.filePath("tavrin-idle-watch-x11-0.status"));

    idle::WatcherStatus status;
    status.pid = 42;
    status.startedAt = 1700000000;
    status.source = "the X server's idle time";
    status.timeoutSeconds = 600;
    status.covers = {"GNOME's screen shield is up"};
    status.keptAwayBy = {"kept awake by mpv: Playing"};
    // A client's text may hold line breaks: they must not forge lines of their own.
    status.holders = {{"player\npid=1", "a film\nsaver=7"}, {"browser", ""}};
    status.saverPid = 77;
    status.saverSince = 1700000100;
    std::string why;
    ASSERT_TRUE(idle::writeWatcherStatus(path, status, &why)) << why;
    const std::optional<idle::WatcherStatus> read = idle::readWatcherStatus(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->pid, 42);
    EXPECT_EQ(read->saverPid, 77);
    ASSERT_EQ(read->holders.size(), 2u);
    EXPECT_EQ(read->holders[0].application, "player pid=1");
    EXPECT_EQ(read->holders[0].reason, "a film saver=7");
    EXPECT_EQ(read->covers, status.covers);
    EXPECT_EQ(read->keptAwayBy, status.keptAwayBy);

    for (const std::string& hostile : {std::string("pid=-5\n"), std::string("garbage\0\n", 9),
                                      std::string("pid=99999999999999999999999\n"), std::string(70000, 'x'),
                                      "pid=3\n" + std::string(70000, '\n')}) {
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::fwrite(hostile.data(), 1, hostile.size(), f);
        std::fclose(f);
        EXPECT_FALSE(idle::readWatcherStatus(path)) << hostile.substr(0, 20);
    }
}

TEST(SessionLock, OneWatcherPerSessionAndTheHolderIsNamed) {
    TemporaryFolder folder;
    idle::SessionLock first, second, other;
    long holder = 0;
    std::string why;
    ASSERT_EQ(first.take(folder.path(), "x11::5", &holder, &why), idle::SessionLock::Result::Taken) << why;
    EXPECT_EQ(second.take(folder.path(), "x11::5", &holder, &why), idle::SessionLock::Result::Held);
    EXPECT_EQ(holder, ::getpid());
    EXPECT_EQ(other.take(folder.path(), "wayland:/run/user/1/wayland-1", &holder, &why),
              idle::SessionLock::Result::Taken)
        << "another session has a lock of its own";
    EXPECT_EQ(idle::SessionLock().take(folder.path() + "/missing", "x11::5", &holder, &why),
              idle::SessionLock::Result::Failed);

    // Asking who holds a lock names the holder and never takes a lock that is free.
    EXPECT_EQ(idle::flockHolder(first.path()), ::getpid());
    const std::string free = idle::sessionLockPath(folder.path(), "x11::6");
    std::fclose(std::fopen(free.c_str(), "w"));
    EXPECT_EQ(idle::flockHolder(free), 0);
    EXPECT_EQ(idle::SessionLock().take(folder.path(), "x11::6", &holder, &why), idle::SessionLock::Result::Taken);
    EXPECT_EQ(idle::flockHolder(folder.filePath("missing.lock")), 0);
}

}  // namespace
