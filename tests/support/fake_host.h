// The test backend: a deterministic double of every host service. A test scripts the random
// values, sets and advances the clock, runs queued work and due delayed calls, defines screens and
// windows, and inspects notifications, defaults-store calls, log lines and process exits.
//
// What it does not model: real time (nothing happens unless the test advances the clock or runs
// the queue), threads, pixels (see RecordingContext), and the window system's own events.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/host.h"
#include "support/fake_controls.h"
#include "support/fake_graphics.h"

namespace fake {

using host::CGPoint;
using host::CGRect;
using host::CGSize;

class FakeScreen : public host::Screen {
public:
    explicit FakeScreen(CGRect frame) : frame_(frame) {}
    CGRect frame() const override { return frame_; }
    void setFrame(CGRect frame) { frame_ = frame; }

private:
    CGRect frame_;
};

class FakeScreenList : public host::ScreenList {
public:
    const std::vector<std::shared_ptr<host::Screen>>& screens() const override { return list_; }
    std::shared_ptr<FakeScreen> add(CGRect frame);
    void remove(const std::shared_ptr<host::Screen>& screen);
    void clear() { list_.clear(); }

private:
    std::vector<std::shared_ptr<host::Screen>> list_;
};

/// A window whose every property the test sets. Does not model: ordering, focus, real sheets.
class FakeWindow : public host::Window {
public:
    bool visible = true;
    uint64_t occlusion = host::NSWindowOcclusionStateVisible;
    std::shared_ptr<host::Screen> onScreen;
    double scale = 1.0;
    host::NSEdgeInsets insets;
    Window* parent = nullptr;
    std::vector<Window*> endedSheets;

    bool isVisible() const override { return visible; }
    uint64_t occlusionState() const override { return occlusion; }
    std::shared_ptr<host::Screen> screen() const override { return onScreen; }
    double backingScaleFactor() const override { return scale; }
    host::NSEdgeInsets safeAreaInsets() const override { return insets; }
    Window* sheetParent() const override { return parent; }
    void endSheet(Window* sheet) override { endedSheets.push_back(sheet); }
};

/// Work queued for the main thread; runs only when the test says so.
class FakeMainQueue : public host::MainQueue {
public:
    void async(std::function<void()> work) override { queue_.push_back(std::move(work)); }
    /// Runs queued work (including work queued while running) until none is left; returns how
    /// many items ran.
    int runPending();
    size_t pendingCount() const { return queue_.size(); }
    void clear() { queue_.clear(); }

private:
    std::deque<std::function<void()>> queue_;
};

class FakeClock : public host::Clock {
public:
    double now() const override { return now_; }
    void set(double seconds) { now_ = seconds; }

private:
    double now_ = 1000.0;
};

/// Delayed calls held until the test advances the clock past their due time.
class FakeRunLoop : public host::RunLoop {
public:
    explicit FakeRunLoop(FakeClock& clock) : clock_(clock) { pending_.reserve(64); }
    void performAfterDelay(const void* target, std::string_view selector, double delaySeconds,
                           std::function<void()> call) override;
    void cancelPreviousPerformRequests(const void* target, std::string_view selector) override;
    void cancelPreviousPerformRequests(const void* target) override;

    /// Moves the clock forward by the seconds, running every call that falls due, in due order,
    /// each with the clock at its due time.
    void advance(double seconds);
    size_t pendingCount() const { return pending_.size(); }
    size_t pendingCount(const void* target, std::string_view selector) const;
    /// Due time of the single pending call with that target and selector.
    std::optional<double> dueTime(const void* target, std::string_view selector) const;
    void clear() { pending_.clear(); }

private:
    struct Pending {
        const void* target;
        std::string selector;
        double due;
        uint64_t sequence;
        std::function<void()> call;
    };
    FakeClock& clock_;
    std::vector<Pending> pending_;
    uint64_t sequence_ = 0;
};

/// Uniform integers: scripted values first, then a fixed pseudo-random sequence.
class FakeRandom : public host::Random {
public:
    uint32_t uniform(uint32_t upperBound) override;
    /// Scripts the next raw integers.
    void push(uint32_t value) { script_.push_back(value); }
    /// Scripts the next unit values u in [0, 1) (as the integer u * 2^24 below 2^24).
    void pushUnit(double u);
    void pushUnits(std::initializer_list<double> us) { for (double u : us) pushUnit(u); }
    size_t scriptedLeft() const { return script_.size(); }
    /// How many values were drawn since the last reset.
    uint64_t drawCount() const { return draws_; }
    void reset(uint64_t seed = 0x7a5c1);

private:
    std::deque<uint32_t> script_;
    uint64_t state_ = 0x7a5c1;
    uint64_t draws_ = 0;
};

/// An in-memory defaults store that logs its calls in order ("registerDefaults",
/// "boolForKey:EnableFadeTrails", "setInteger:15 forKey:TrailLength", "synchronize").
/// Values are held per module name and shared by every store object of that module, like one
/// file on disk. Raw string values model a stored value of the wrong type.
class FakeDefaultsStore;
class FakeDefaultsProvider : public host::DefaultsProvider {
public:
    struct Value {
        enum class Type { Bool, Integer, String } type = Type::Integer;
        bool boolean = false;
        int64_t integer = 0;
        std::string string;
    };
    std::shared_ptr<host::ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName) override;

    std::map<std::string, std::map<std::string, Value>> stored;  ///< module → key → value
    std::vector<std::string> calls;                              ///< every call, in order
    std::vector<std::string> moduleNamesAsked;
    bool synchronizeFails = false;

    void setStoredInteger(const std::string& module, const std::string& key, int64_t v);
    void setStoredBool(const std::string& module, const std::string& key, bool v);
    void setStoredString(const std::string& module, const std::string& key, const std::string& v);
    void reset();
};

class FakeBundle : public host::Bundle {
public:
    std::string identifier = "org.tavrin.screensaver";
    std::map<std::string, std::string> resources;  ///< "name.type" → path
    std::map<std::string, std::string> info;
    std::string bundleIdentifier() const override { return identifier; }
    std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const override;
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const override;
};

struct LogLine {
    host::LogLevel level;
    std::string subsystem;
    std::string category;
    std::string text;
};

/// Captures log lines; log objects stay valid for the whole process (tests share one).
class FakeLog : public host::Log {
public:
    host::LogObject* createLog(std::string_view subsystem, std::string_view category) override;
    std::vector<LogLine> lines;
    bool defaultLevelEnabled = true;
    int createCount = 0;
    /// Lines whose text contains the fragment.
    std::vector<std::string> linesContaining(std::string_view fragment) const;

private:
    std::vector<std::unique_ptr<host::LogObject>> objects_;
};

class FakeProcess : public host::Process {
public:
    void exitImmediately(int status) override { exitStatuses.push_back(status); }
    std::vector<int> exitStatuses;
};

/// Records every notification posted through it, then delivers it.
class RecordingNotificationCenter : public host::LocalNotificationCenter {
public:
    struct Posted {
        std::string name;
        const void* object;
        std::optional<host::UserInfo> userInfo;
    };
    void postNotificationName(std::string_view name, const void* object, const host::UserInfo* userInfo) override;
    std::vector<Posted> posted;
    std::vector<Posted> postedNamed(std::string_view name) const;
};

/// The whole test host, one per process; reset() before each test restores a clean, known state.
class FakeHost : public host::Host {
public:
    static FakeHost& instance();
    void reset();

    FakeScreenList screenList;
    RecordingNotificationCenter localCenter;
    RecordingNotificationCenter distributed;
    FakeMainQueue queue;
    FakeClock clockService;
    FakeRunLoop runLoopService{clockService};
    FakeRandom randomService;
    FakeDefaultsProvider defaultsService;
    FakeBundle bundleService;
    FakeLog logService;
    FakeProcess processService;
    FakeGraphics graphicsService;
    FakeControlFactory controlFactory;

private:
    FakeHost();
};

/// Fixture that installs a freshly reset fake host for each test.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    FakeHost& fake = FakeHost::instance();

    /// A window on a screen with the frame, visible and fully exposed.
    std::shared_ptr<FakeWindow> windowOn(const std::shared_ptr<host::Screen>& screen, double scale = 1.0);
};

}  // namespace fake
