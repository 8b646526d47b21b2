#include "host/notifications.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace host {

int64_t InfoValue::integerValue() const {
    switch (type) {
        case Type::Integer: return integer;
        case Type::Double:
            // Truncate like a number's integer value; what has no integer meaning reads as 0.
            if (!std::isfinite(real) || real >= 9.2233720368547758e18 || real < -9.2233720368547758e18) return 0;
            return static_cast<int64_t>(real);
        default: return 0;
    }
}

double InfoValue::doubleValue() const {
    switch (type) {
        case Type::Integer: return static_cast<double>(integer);
        case Type::Double: return real;
        default: return 0;
    }
}

CGRect InfoValue::rectValue() const { return type == Type::Rect ? rect : NSZeroRect; }

void UserInfo::set(std::string_view key, const InfoValue& value) {
    for (size_t i = 0; i < count_; ++i) {
        if (keys_[i] == key) {
            values_[i] = value;
            return;
        }
    }
    if (count_ == kCapacity) return;
    keys_[count_] = key;
    values_[count_] = value;
    ++count_;
}

InfoValue UserInfo::objectForKeyedSubscript(std::string_view key) const {
    for (size_t i = 0; i < count_; ++i)
        if (keys_[i] == key) return values_[i];
    return {};
}

void LocalNotificationCenter::addObserver(const void* observer, std::string_view name, const void* sender,
                                          NotificationHandler handler) {
    entries_.push_back({observer, name, sender, std::make_shared<NotificationHandler>(std::move(handler)), true});
}

void LocalNotificationCenter::removeObserver(const void* observer, std::string_view name, const void* sender) {
    for (auto& e : entries_) {
        if (e.live && e.observer == observer && e.name == name && (sender == nullptr || e.sender == sender)) {
            e.live = false;
            needsCompaction_ = true;
        }
    }
    if (postingDepth_ == 0 && needsCompaction_) {
        std::erase_if(entries_, [](const Entry& e) { return !e.live; });
        needsCompaction_ = false;
    }
}

void LocalNotificationCenter::postNotificationName(std::string_view name, const void* object,
                                                   const UserInfo* userInfo) {
    const Notification note{name, object, userInfo};
    ++postingDepth_;
    // Observers added during delivery are not called for this post: walk only the entries that
    // existed when it began. Index access stays valid if a handler appends.
    const size_t n = entries_.size();
    for (size_t i = 0; i < n; ++i) {
        if (!entries_[i].live || entries_[i].name != name) continue;
        if (entries_[i].sender != nullptr && entries_[i].sender != object) continue;
        // Hold the handler: a handler that registers another observer may move the entries.
        const std::shared_ptr<NotificationHandler> handler = entries_[i].handler;
        (*handler)(note);
    }
    --postingDepth_;
    if (postingDepth_ == 0 && needsCompaction_) {
        std::erase_if(entries_, [](const Entry& e) { return !e.live; });
        needsCompaction_ = false;
    }
}

size_t LocalNotificationCenter::observerCount() const {
    return static_cast<size_t>(std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.live; }));
}

void LocalNotificationCenter::removeAll() {
    if (postingDepth_ > 0) {
        for (auto& e : entries_) e.live = false;
        needsCompaction_ = true;
    } else {
        entries_.clear();
    }
}

}  // namespace host
