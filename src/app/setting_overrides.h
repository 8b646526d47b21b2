// Settings given on the command line (--no-stars, --glow-size 30...): they win over the stored
// values for this run only. Reads see them; writes still go to the settings file.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "host/services.h"

namespace app {

struct SettingOverride {
    std::string_view key;  ///< a key of the settings table (static storage)
    int64_t value = 0;     ///< 0 or 1 for a switch
};

/// A defaults store whose reads of the overridden keys return the command line's values.
class OverridingDefaults : public host::ScreenSaverDefaults {
public:
    OverridingDefaults(std::shared_ptr<host::ScreenSaverDefaults> stored, std::vector<SettingOverride> overrides)
        : stored_(std::move(stored)), overrides_(std::move(overrides)) {}
    void registerDefaults(std::span<const host::DefaultValue> defaults) override { stored_->registerDefaults(defaults); }
    bool boolForKey(std::string_view key) override;
    int64_t integerForKey(std::string_view key) override;
    void setBool(bool value, std::string_view key) override { stored_->setBool(value, key); }
    void setInteger(int64_t value, std::string_view key) override { stored_->setInteger(value, key); }
    bool synchronize() override { return stored_->synchronize(); }

private:
    const SettingOverride* find(std::string_view key) const;
    std::shared_ptr<host::ScreenSaverDefaults> stored_;
    std::vector<SettingOverride> overrides_;
};

class OverridingDefaultsProvider : public host::DefaultsProvider {
public:
    OverridingDefaultsProvider(host::DefaultsProvider& stored, std::vector<SettingOverride> overrides)
        : stored_(stored), overrides_(std::move(overrides)) {}
    std::shared_ptr<host::ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName) override {
        return std::make_shared<OverridingDefaults>(stored_.defaultsForModuleWithName(moduleName), overrides_);
    }

private:
    host::DefaultsProvider& stored_;
    std::vector<SettingOverride> overrides_;
};

}  // namespace app
