#include "app/setting_overrides.h"

namespace app {

const SettingOverride* OverridingDefaults::find(std::string_view key) const {
    // The last one given wins, as on any command line.
    for (auto it = overrides_.rbegin(); it != overrides_.rend(); ++it)
        if (it->key == key) return &*it;
    return nullptr;
}

bool OverridingDefaults::boolForKey(std::string_view key) {
    const SettingOverride* o = find(key);
    return o ? o->value != 0 : stored_->boolForKey(key);
}

int64_t OverridingDefaults::integerForKey(std::string_view key) {
    const SettingOverride* o = find(key);
    return o ? o->value : stored_->integerForKey(key);
}

}  // namespace app
