// The settings file reader: any bytes on disk. Reading never fails loudly and never changes the
// file; the integers read are limited as loading limits them; and what is saved back reads back
// the same, with every line the store does not own kept.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/posix/file_defaults_store.h"
#include "module/settings/settings_table.h"

namespace {

/// This run's settings file, removed after each input. A memory file system keeps the many
/// writes cheap.
const std::string& settingsPath() {
    static const std::string path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                    std::string("/tavrin-fuzz-") + std::to_string(getpid()) + ".conf";
    return path;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

struct Values {
    bool flags[tavrin::kBoolSettings.size()];
    int64_t numbers[tavrin::kIntegerSettings.size()];
};

Values readAll(posix::FileDefaultsStore& store) {
    std::vector<host::DefaultValue> registration;
    for (const auto& s : tavrin::kBoolSettings) registration.push_back({s.key, host::DefaultValue::Type::Bool, s.defaultValue, 0});
    for (const auto& s : tavrin::kIntegerSettings)
        registration.push_back({s.key, host::DefaultValue::Type::Integer, false, s.defaultValue});
    store.registerDefaults(registration);
    Values v{};
    for (size_t i = 0; i < tavrin::kBoolSettings.size(); ++i) v.flags[i] = store.boolForKey(tavrin::kBoolSettings[i].key);
    for (size_t i = 0; i < tavrin::kIntegerSettings.size(); ++i) {
        const auto& s = tavrin::kIntegerSettings[i];
        v.numbers[i] = s.limit(store.integerForKey(s.key));
        check(v.numbers[i] >= s.lower && v.numbers[i] <= s.upper, "a limited integer outside its limits");
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = settingsPath();
    const std::string original(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << original;
    }
    auto ignore = [](const std::string&) {};

    posix::FileDefaultsStore first(path, ignore);
    check(first.readError().empty(), "a small regular file could not be read");
    const Values read = readAll(first);
    check(slurp(path) == original, "reading changed the file");

    // Save what was read, in the module's order, and read it again.
    for (size_t i = 0; i < tavrin::kBoolSettings.size(); ++i) first.setBool(read.flags[i], tavrin::kBoolSettings[i].key);
    for (size_t i = 0; i < tavrin::kIntegerSettings.size(); ++i)
        first.setInteger(read.numbers[i], tavrin::kIntegerSettings[i].key);
    check(first.synchronize(), "saving failed");
    posix::FileDefaultsStore second(path, ignore);
    const Values again = readAll(second);
    for (size_t i = 0; i < tavrin::kBoolSettings.size(); ++i) check(again.flags[i] == read.flags[i], "a switch changed");
    for (size_t i = 0; i < tavrin::kIntegerSettings.size(); ++i)
        check(again.numbers[i] == read.numbers[i], "a number changed");

    // Comments survive a save.
    const std::string saved = slurp(path);
    std::istringstream lines(original);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '#') check(saved.find(line) != std::string::npos, "a comment was lost");
    unlink(path.c_str());
    return 0;
}
