// Notifications between the module's views and from the host. A notification carries a name, the
// posting object and a small typed dictionary, stored inline so that posting allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "host/geometry.h"

namespace host {

/// A value in a notification's user information.
struct InfoValue {
    enum class Type { None, Integer, Double, Rect };
    Type type = Type::None;
    int64_t integer = 0;
    double real = 0;
    CGRect rect{};

    static InfoValue numberWithInteger(int64_t v) { InfoValue r; r.type = Type::Integer; r.integer = v; return r; }
    static InfoValue numberWithDouble(double v) { InfoValue r; r.type = Type::Double; r.real = v; return r; }
    static InfoValue valueWithRect(CGRect v) { InfoValue r; r.type = Type::Rect; r.rect = v; return r; }

    /// The value as an integer: a double is truncated toward zero (0 when not finite or out of
    /// range), anything else reads as 0.
    int64_t integerValue() const;
    /// The value as a double: an integer converts, anything else reads as 0.
    double doubleValue() const;
    /// The rectangle, or the zero rectangle for any other type.
    CGRect rectValue() const;
};

/// A fixed-capacity dictionary from key to value. Keys must outlive the dictionary (literals).
class UserInfo {
public:
    static constexpr size_t kCapacity = 8;

    /// Adds or replaces a key; entries past the capacity are dropped.
    void set(std::string_view key, const InfoValue& value);
    /// The value under the key; a value of type None when missing.
    InfoValue objectForKeyedSubscript(std::string_view key) const;
    size_t count() const { return count_; }
    std::string_view keyAt(size_t i) const { return keys_[i]; }
    const InfoValue& valueAt(size_t i) const { return values_[i]; }

private:
    std::string_view keys_[kCapacity];
    InfoValue values_[kCapacity];
    size_t count_ = 0;
};

struct Notification {
    std::string_view name;
    const void* object = nullptr;  ///< the sender
    const UserInfo* userInfo = nullptr;  ///< may be none
};

using NotificationHandler = std::function<void(const Notification&)>;

/// A broadcast centre: observers register by name (and optionally a sender) and are called
/// synchronously, on the posting thread, when a matching notification is posted.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;
    /// Registers a handler; `sender` none means any sender.
    virtual void addObserver(const void* observer, std::string_view name, const void* sender,
                             NotificationHandler handler) = 0;
    /// Removes the observer's registrations for that name and sender (none matches all senders).
    virtual void removeObserver(const void* observer, std::string_view name, const void* sender) = 0;
    /// Delivers to every matching observer before returning.
    virtual void postNotificationName(std::string_view name, const void* object, const UserInfo* userInfo) = 0;
};

/// The in-process centre used by both backends. Observers may be added or removed while a post
/// is being delivered; a removed observer is not called afterwards.
class LocalNotificationCenter : public NotificationCenter {
public:
    void addObserver(const void* observer, std::string_view name, const void* sender,
                     NotificationHandler handler) override;
    void removeObserver(const void* observer, std::string_view name, const void* sender) override;
    void postNotificationName(std::string_view name, const void* object, const UserInfo* userInfo) override;
    /// Number of live registrations.
    size_t observerCount() const;
    /// Removes every registration (for a host that is shutting down or a test that starts anew).
    void removeAll();

private:
    struct Entry {
        const void* observer;
        std::string_view name;  // names are literals owned by the callers
        const void* sender;
        std::shared_ptr<NotificationHandler> handler;  // shared so a running handler outlives a reallocation
        bool live;
    };
    std::vector<Entry> entries_;
    int postingDepth_ = 0;
    bool needsCompaction_ = false;
};

/// Name of the host's signal that the screen saver is about to stop.
inline constexpr std::string_view ScreenSaverWillStopNotification = "com.apple.screensaver.willstop";

/// Name of the notification by which the views hand a burst of sparks to the view of a
/// neighbouring display. The views post and observe it themselves; the host only carries it to
/// the views of other processes.
inline constexpr std::string_view TavrinSparkLeakNotification = "TavrinSparkLeakNotification";
/// The keys of its user information.
namespace sparkleak {
inline constexpr std::string_view kTargetScreenFrameKey = "targetScreenFrame";
inline constexpr std::string_view kEdgeKey = "edge";
inline constexpr std::string_view kPositionFractionKey = "positionFraction";
inline constexpr std::string_view kSparkCountKey = "sparkCount";
inline constexpr std::string_view kAngleCenterKey = "angleCenter";
inline constexpr std::string_view kAngleSpreadKey = "angleSpread";
}  // namespace sparkleak

/// Name of the host's notification that the arrangement of displays changed.
inline constexpr std::string_view NSApplicationDidChangeScreenParametersNotification =
    "NSApplicationDidChangeScreenParametersNotification";

}  // namespace host
