// The services of the screen-saver host and the window system that the module relies on. Each is a
// small interface; the Qt backend makes them real and the test backend makes them scriptable.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/geometry.h"

namespace host {

/// One display. Displays are compared by identity, never by frame.
class Screen {
public:
    virtual ~Screen() = default;
    /// The display's rectangle in global display coordinates (points, origin at the lower left
    /// of the primary display, y upwards).
    virtual CGRect frame() const = 0;
};

/// All displays, in the host's order.
class ScreenList {
public:
    virtual ~ScreenList() = default;
    virtual const std::vector<std::shared_ptr<Screen>>& screens() const = 0;
};

/// The occlusion bit meaning that some part of the window is visible.
inline constexpr uint64_t NSWindowOcclusionStateVisible = 1u << 1;

/// A window holding a view, or an options sheet.
class Window {
public:
    virtual ~Window() = default;
    virtual bool isVisible() const = 0;
    virtual uint64_t occlusionState() const = 0;
    /// The display that holds the window, or none.
    virtual std::shared_ptr<Screen> screen() const = 0;
    /// Device pixels per point; 0 when unknown.
    virtual double backingScaleFactor() const = 0;
    /// Insets of the usable area (a notch or panel at the top).
    virtual NSEdgeInsets safeAreaInsets() const = 0;
    /// For a sheet: the window it is attached to, or none.
    virtual Window* sheetParent() const = 0;
    /// Ends the sheet attached to this window.
    virtual void endSheet(Window* sheet) = 0;
};

/// Work handed to the main thread, run after the current work has finished.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void async(std::function<void()> work) = 0;
};

/// Delayed calls of a method on an object, on the main thread's run loop. A call is known by its
/// target and its selector name so that it can be cancelled.
class RunLoop {
public:
    virtual ~RunLoop() = default;
    virtual void performAfterDelay(const void* target, std::string_view selector, double delaySeconds,
                                   std::function<void()> call) = 0;
    /// Cancels every pending call with this target and selector.
    virtual void cancelPreviousPerformRequests(const void* target, std::string_view selector) = 0;
    /// Cancels every pending call aimed at the target, whatever its selector.
    virtual void cancelPreviousPerformRequests(const void* target) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    /// Seconds since a fixed reference date.
    virtual double now() const = 0;
};

class Random {
public:
    virtual ~Random() = default;
    /// A uniform integer in [0, upperBound); upperBound is at least 1.
    virtual uint32_t uniform(uint32_t upperBound) = 0;
};

/// One entry of a defaults registration: a key with a boolean or integer value.
struct DefaultValue {
    std::string_view key;
    enum class Type { Bool, Integer } type = Type::Bool;
    bool boolean = false;
    int64_t integer = 0;
};

/// A module's persistent settings, read and written by key. Reads fall back to the registered
/// defaults; a value that cannot be read as the asked type reads as false or 0.
class ScreenSaverDefaults {
public:
    virtual ~ScreenSaverDefaults() = default;
    /// Values that reads return for keys the store holds nothing for. Never written to disk.
    virtual void registerDefaults(std::span<const DefaultValue> defaults) = 0;
    virtual bool boolForKey(std::string_view key) = 0;
    virtual int64_t integerForKey(std::string_view key) = 0;
    virtual void setBool(bool value, std::string_view key) = 0;
    virtual void setInteger(int64_t value, std::string_view key) = 0;
    /// Writes pending changes to persistent storage now; false when that failed.
    virtual bool synchronize() = 0;
};

class DefaultsProvider {
public:
    virtual ~DefaultsProvider() = default;
    /// The store of the module with that name, read afresh.
    virtual std::shared_ptr<ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName) = 0;
};

/// The module's bundle: its identifier, resources and information values.
class Bundle {
public:
    virtual ~Bundle() = default;
    virtual std::string bundleIdentifier() const = 0;
    /// Full path of a resource, or none when it does not exist.
    virtual std::optional<std::string> pathForResource(std::string_view name, std::string_view type) const = 0;
    /// An information-list value ("CFBundleShortVersionString", "CFBundleVersion"), or none.
    virtual std::optional<std::string> objectForInfoDictionaryKey(std::string_view key) const = 0;
};

enum class LogLevel { Debug, Info, Default, Error, Fault };

/// A log object for one subsystem and category.
class LogObject {
public:
    virtual ~LogObject() = default;
    virtual bool isEnabled(LogLevel level) const = 0;
    /// Writes one finished line.
    virtual void write(LogLevel level, const char* line) = 0;
};

class Log {
public:
    virtual ~Log() = default;
    /// A log object that lives as long as the process.
    virtual LogObject* createLog(std::string_view subsystem, std::string_view category) = 0;
};

class Process {
public:
    virtual ~Process() = default;
    /// Ends the process at once with the status, without running exit handlers. A test double
    /// records the call and returns.
    virtual void exitImmediately(int status) = 0;
};

}  // namespace host
