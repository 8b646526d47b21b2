#include "app/show_settings.h"

#include <cstdio>
#include <sys/stat.h>
#include <memory>
#include <vector>

#include "host/host.h"
#include "platform/posix/file_defaults_store.h"
#include "module/settings/settings_table.h"

namespace app {
namespace {

/// Just enough of a bundle for the settings: the module's name.
class IdentifierBundle : public host::Bundle {
public:
    std::string bundleIdentifier() const override { return TAVRIN_BUNDLE_IDENTIFIER; }
    std::optional<std::string> pathForResource(std::string_view, std::string_view) const override { return {}; }
    std::optional<std::string> objectForInfoDictionaryKey(std::string_view) const override { return {}; }
};

/// The settings file of the module named, with the command line's settings over it; keeps the
/// file's store so that a read error can be reported.
class ShownDefaultsProvider : public host::DefaultsProvider {
public:
    explicit ShownDefaultsProvider(const std::vector<SettingOverride>& overrides) : overrides_(overrides) {}
    std::shared_ptr<host::ScreenSaverDefaults> defaultsForModuleWithName(std::string_view moduleName) override {
        file = std::make_shared<posix::FileDefaultsStore>(
            posix::settingsFilePath(moduleName), [](const std::string& line) { std::fprintf(stderr, "tavrin: %s\n", line.c_str()); });
        return std::make_shared<OverridingDefaults>(file, overrides_);
    }
    std::shared_ptr<posix::FileDefaultsStore> file;

private:
    const std::vector<SettingOverride>& overrides_;
};

}  // namespace

int runShowSettings(const std::vector<SettingOverride>& overrides) {
    // The settings are read by the module's own loading code, with its registration and limits,
    // into a view that is never shown: what is printed is what a running view would use.
    IdentifierBundle bundle;
    ShownDefaultsProvider defaults(overrides);
    host::Host host;
    host.bundle = &bundle;
    host.defaults = &defaults;
    host::installHost(&host);
    tavrin::Tavrin_ScreenSaverView view;
    view.loadPreferences();
    host::installHost(nullptr);

    for (const auto& s : tavrin::kBoolSettings)
        std::printf("%.*s=%s\n", static_cast<int>(s.key.size()), s.key.data(), view.*s.member ? "true" : "false");
    for (const auto& s : tavrin::kIntegerSettings)
        std::printf("%.*s=%lld\n", static_cast<int>(s.key.size()), s.key.data(), static_cast<long long>(view.*s.member));

    const std::string& path = defaults.file->path();
    const std::string& readError = defaults.file->readError();
    struct stat st {};
    const char* state = "";
    if (!readError.empty())
        state = " (could not be read)";
    else if (::stat(path.c_str(), &st) != 0)
        state = " (not present)";
    std::printf("settings file: %s%s\n", path.c_str(), state);
    if (!readError.empty()) std::fprintf(stderr, "tavrin: %s: %s\n", path.c_str(), readError.c_str());
    return 0;
}

}  // namespace app
