// Reading and writing the eleven settings through the host's per-module defaults store.
#include <array>

#include "module/settings/settings_table.h"

namespace tavrin {
namespace {

std::shared_ptr<host::ScreenSaverDefaults> moduleDefaults() {
    host::Host& h = host::currentHost();
    return h.defaults->defaultsForModuleWithName(h.bundle->bundleIdentifier());
}

}  // namespace

void Tavrin_ScreenSaverView::loadPreferences() {
    auto defaults = moduleDefaults();
    std::array<host::DefaultValue, kBoolSettings.size() + kIntegerSettings.size()> registration;
    size_t i = 0;
    for (const auto& s : kBoolSettings) registration[i++] = {s.key, host::DefaultValue::Type::Bool, s.defaultValue, 0};
    for (const auto& s : kIntegerSettings)
        registration[i++] = {s.key, host::DefaultValue::Type::Integer, false, s.defaultValue};
    defaults->registerDefaults(registration);

    for (const auto& s : kBoolSettings) this->*s.member = defaults->boolForKey(s.key);
    for (const auto& s : kIntegerSettings) this->*s.member = s.limit(defaults->integerForKey(s.key));
}

void Tavrin_ScreenSaverView::savePreferences() {
    auto defaults = moduleDefaults();
    for (const auto& s : kBoolSettings) defaults->setBool(this->*s.member, s.key);
    for (const auto& s : kIntegerSettings) defaults->setInteger(this->*s.member, s.key);
    defaults->synchronize();
}

}  // namespace tavrin
