#include "app/show_settings.h"

#include <cstdio>
#include <sys/stat.h>
#include <memory>
#include <vector>

#include "platform/posix/file_defaults_store.h"
#include "settings/settings_table.h"

namespace app {

int runShowSettings(const std::vector<SettingOverride>& overrides) {
    const std::string path = posix::settingsFilePath(TAVRIN_BUNDLE_IDENTIFIER);
    auto file = std::make_shared<posix::FileDefaultsStore>(
        path, [](const std::string& line) { std::fprintf(stderr, "tavrin: %s\n", line.c_str()); });
    OverridingDefaults store(file, overrides);

    std::vector<host::DefaultValue> registration;
    for (const auto& s : tavrin::kBoolSettings) registration.push_back({s.key, host::DefaultValue::Type::Bool, s.defaultValue, 0});
    for (const auto& s : tavrin::kIntegerSettings)
        registration.push_back({s.key, host::DefaultValue::Type::Integer, false, s.defaultValue});
    store.registerDefaults(registration);

    for (const auto& s : tavrin::kBoolSettings)
        std::printf("%.*s=%s\n", static_cast<int>(s.key.size()), s.key.data(), store.boolForKey(s.key) ? "true" : "false");
    for (const auto& s : tavrin::kIntegerSettings)
        std::printf("%.*s=%lld\n", static_cast<int>(s.key.size()), s.key.data(),
                    static_cast<long long>(s.limit(store.integerForKey(s.key))));

    struct stat st {};
    const char* state = "";
    if (!file->readError().empty())
        state = " (could not be read)";
    else if (::stat(path.c_str(), &st) != 0)
        state = " (not present)";
    std::printf("settings file: %s%s\n", path.c_str(), state);
    if (!file->readError().empty()) std::fprintf(stderr, "tavrin: %s: %s\n", path.c_str(), file->readError().c_str());
    return 0;
}

}  // namespace app
