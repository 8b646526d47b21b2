#include "support/fake_host.h"

#include <algorithm>
#include <cmath>

namespace fake {

std::shared_ptr<FakeScreen> FakeScreenList::add(CGRect frame) {
    auto s = std::make_shared<FakeScreen>(frame);
    list_.push_back(s);
    return s;
}

void FakeScreenList::remove(const std::shared_ptr<host::Screen>& screen) { std::erase(list_, screen); }

int FakeMainQueue::runPending() {
    int ran = 0;
    while (!queue_.empty()) {
        auto work = std::move(queue_.front());
        queue_.pop_front();
        work();
        ++ran;
    }
    return ran;
}

void FakeRunLoop::performAfterDelay(const void* target, std::string_view selector, double delaySeconds,
                                    std::function<void()> call) {
    pending_.push_back({target, std::string(selector), clock_.now() + delaySeconds, sequence_++, std::move(call)});
}

void FakeRunLoop::cancelPreviousPerformRequests(const void* target, std::string_view selector) {
    std::erase_if(pending_, [&](const Pending& p) { return p.target == target && p.selector == selector; });
}

void FakeRunLoop::cancelPreviousPerformRequests(const void* target) {
    std::erase_if(pending_, [&](const Pending& p) { return p.target == target; });
}

void FakeRunLoop::advance(double seconds) {
    const double end = clock_.now() + seconds;
    for (;;) {
        auto next = std::min_element(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
            return a.due < b.due || (a.due == b.due && a.sequence < b.sequence);
        });
        if (next == pending_.end() || next->due > end) break;
        clock_.set(std::max(clock_.now(), next->due));
        auto call = std::move(next->call);
        pending_.erase(next);
        call();
    }
    clock_.set(end);
}

size_t FakeRunLoop::pendingCount(const void* target, std::string_view selector) const {
    return static_cast<size_t>(std::count_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return p.target == target && p.selector == selector;
    }));
}

std::optional<double> FakeRunLoop::dueTime(const void* target, std::string_view selector) const {
    for (const auto& p : pending_)
        if (p.target == target && p.selector == selector) return p.due;
    return std::nullopt;
}

uint32_t FakeRandom::uniform(uint32_t upperBound) {
    ++draws_;
    if (upperBound == 0) upperBound = 1;
    if (!script_.empty()) {
        const uint32_t v = script_.front();
        script_.pop_front();
        return v % upperBound;
    }
    // splitmix64: a fixed sequence, so an unscripted test is still reproducible.
    state_ += 0x9e3779b97f4a7c15ULL;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    z ^= z >> 31;
    return static_cast<uint32_t>(z % upperBound);
}

void FakeRandom::pushUnit(double u) {
    const double scaled = std::floor(u * 16777216.0);
    script_.push_back(static_cast<uint32_t>(std::clamp(scaled, 0.0, 16777215.0)));
}

void FakeRandom::reset(uint64_t seed) {
    script_.clear();
    state_ = seed;
    draws_ = 0;
}

// --- defaults ---

class FakeDefaultsStore : public host::ScreenSaverDefaults {
public:
    FakeDefaultsStore(FakeDefaultsProvider& provider, std::string module) : p_(provider), module_(std::move(module)) {}

    void registerDefaults(std::span<const host::DefaultValue> defaults) override {
        p_.calls.push_back("registerDefaults");
        for (const auto& d : defaults) registered_[std::string(d.key)] = d;
    }
    bool boolForKey(std::string_view key) override {
        p_.calls.push_back("boolForKey:" + std::string(key));
        const auto& values = p_.stored[module_];
        if (auto it = values.find(std::string(key)); it != values.end()) {
            const auto& v = it->second;
            switch (v.type) {
                case FakeDefaultsProvider::Value::Type::Bool: return v.boolean;
                case FakeDefaultsProvider::Value::Type::Integer: return v.integer != 0;
                case FakeDefaultsProvider::Value::Type::String: return v.string == "true" || v.string == "YES";
            }
        }
        if (auto it = registered_.find(std::string(key)); it != registered_.end())
            return it->second.type == host::DefaultValue::Type::Bool ? it->second.boolean : it->second.integer != 0;
        return false;
    }
    int64_t integerForKey(std::string_view key) override {
        p_.calls.push_back("integerForKey:" + std::string(key));
        const auto& values = p_.stored[module_];
        if (auto it = values.find(std::string(key)); it != values.end()) {
            const auto& v = it->second;
            switch (v.type) {
                case FakeDefaultsProvider::Value::Type::Bool: return v.boolean ? 1 : 0;
                case FakeDefaultsProvider::Value::Type::Integer: return v.integer;
                case FakeDefaultsProvider::Value::Type::String: return 0;
            }
        }
        if (auto it = registered_.find(std::string(key)); it != registered_.end())
            return it->second.type == host::DefaultValue::Type::Integer ? it->second.integer : it->second.boolean;
        return 0;
    }
    void setBool(bool value, std::string_view key) override {
        p_.calls.push_back("setBool:" + std::to_string(value ? 1 : 0) + " forKey:" + std::string(key));
        p_.setStoredBool(module_, std::string(key), value);
    }
    void setInteger(int64_t value, std::string_view key) override {
        p_.calls.push_back("setInteger:" + std::to_string(value) + " forKey:" + std::string(key));
        p_.setStoredInteger(module_, std::string(key), value);
    }
    bool synchronize() override {
        p_.calls.push_back("synchronize");
        return !p_.synchronizeFails;
    }

private:
    FakeDefaultsProvider& p_;
    std::string module_;
    std::map<std::string, host::DefaultValue> registered_;
};

std::shared_ptr<host::ScreenSaverDefaults> FakeDefaultsProvider::defaultsForModuleWithName(std::string_view name) {
    moduleNamesAsked.emplace_back(name);
    return std::make_shared<FakeDefaultsStore>(*this, std::string(name));
}

void FakeDefaultsProvider::setStoredInteger(const std::string& module, const std::string& key, int64_t v) {
    Value value;
    value.type = Value::Type::Integer;
    value.integer = v;
    stored[module][key] = value;
}

void FakeDefaultsProvider::setStoredBool(const std::string& module, const std::string& key, bool v) {
    Value value;
    value.type = Value::Type::Bool;
    value.boolean = v;
    stored[module][key] = value;
}

void FakeDefaultsProvider::setStoredString(const std::string& module, const std::string& key, const std::string& v) {
    Value value;
    value.type = Value::Type::String;
    value.string = v;
    stored[module][key] = value;
}

void FakeDefaultsProvider::reset() {
    stored.clear();
    calls.clear();
    moduleNamesAsked.clear();
    synchronizeFails = false;
}

std::optional<std::string> FakeBundle::pathForResource(std::string_view name, std::string_view type) const {
    auto it = resources.find(std::string(name) + "." + std::string(type));
    if (it == resources.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeBundle::objectForInfoDictionaryKey(std::string_view key) const {
    auto it = info.find(std::string(key));
    if (it == info.end()) return std::nullopt;
    return it->second;
}

namespace {
class FakeLogObject : public host::LogObject {
public:
    FakeLogObject(FakeLog& log, std::string subsystem, std::string category)
        : log_(log), subsystem_(std::move(subsystem)), category_(std::move(category)) {}
    bool isEnabled(host::LogLevel level) const override {
        return level != host::LogLevel::Default || log_.defaultLevelEnabled;
    }
    void write(host::LogLevel level, const char* line) override {
        log_.lines.push_back({level, subsystem_, category_, line});
    }

private:
    FakeLog& log_;
    std::string subsystem_, category_;
};
}  // namespace

host::LogObject* FakeLog::createLog(std::string_view subsystem, std::string_view category) {
    ++createCount;
    objects_.push_back(std::make_unique<FakeLogObject>(*this, std::string(subsystem), std::string(category)));
    return objects_.back().get();
}

std::vector<std::string> FakeLog::linesContaining(std::string_view fragment) const {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.text.find(fragment) != std::string::npos) out.push_back(l.text);
    return out;
}

void RecordingNotificationCenter::postNotificationName(std::string_view name, const void* object,
                                                       const host::UserInfo* userInfo) {
    posted.push_back({std::string(name), object,
                      userInfo ? std::optional<host::UserInfo>(*userInfo) : std::nullopt});
    LocalNotificationCenter::postNotificationName(name, object, userInfo);
}

std::vector<RecordingNotificationCenter::Posted> RecordingNotificationCenter::postedNamed(std::string_view name) const {
    std::vector<Posted> out;
    for (const auto& p : posted)
        if (p.name == name) out.push_back(p);
    return out;
}

FakeHost::FakeHost() {
    screens = &screenList;
    defaultCenter = &localCenter;
    distributedCenter = &distributed;
    mainQueue = &queue;
    runLoop = &runLoopService;
    clock = &clockService;
    random = &randomService;
    defaults = &defaultsService;
    bundle = &bundleService;
    log = &logService;
    process = &processService;
    graphics = &graphicsService;
    controls = &controlFactory;
}

FakeHost& FakeHost::instance() {
    static FakeHost* host = new FakeHost();  // lives for the process, like a real host
    return *host;
}

void FakeHost::reset() {
    screenList.clear();
    localCenter.removeAll();
    localCenter.posted.clear();
    distributed.removeAll();
    distributed.posted.clear();
    queue.clear();
    runLoopService.clear();
    clockService.set(1000.0);
    randomService.reset();
    defaultsService.reset();
    bundleService = FakeBundle();
    bundleService.resources["tavrin.svg"] = "/bundle/tavrin.svg";
    bundleService.resources["tavrin_wheel.svg"] = "/bundle/tavrin_wheel.svg";
    bundleService.info["CFBundleShortVersionString"] = "1.0.0";
    bundleService.info["CFBundleVersion"] = "42";
    logService.lines.clear();
    logService.defaultLevelEnabled = true;
    processService.exitStatuses.clear();
    graphicsService.reset();
    graphicsService.svgFiles["/bundle/tavrin.svg"] = {1313, 288};
    graphicsService.svgFiles["/bundle/tavrin_wheel.svg"] = {512, 512};
    controlFactory.windows.clear();
}

void HostTest::SetUp() {
    fake.reset();
    host::installHost(&fake);
}

void HostTest::TearDown() {
    // Work still queued may hold views alive; drop it so every test ends with its views gone.
    fake.queue.clear();
    fake.runLoopService.clear();
}

std::shared_ptr<FakeWindow> HostTest::windowOn(const std::shared_ptr<host::Screen>& screen, double scale) {
    auto w = std::make_shared<FakeWindow>();
    w->onScreen = screen;
    w->scale = scale;
    return w;
}

}  // namespace fake
