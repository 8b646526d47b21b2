// The command line: any arguments (the input split at NUL bytes). Parsing either names what is
// wrong or gives a command line whose every value lies within its limits.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "module/settings/settings_table.h"

namespace {

void check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

bool sizeInRange(const app::PixelSize& s) { return s.width >= 1 && s.height >= 1 && s.width <= app::kMaxSide && s.height <= app::kMaxSide; }

bool overrideInRange(const app::SettingOverride& o) {
    for (const auto& s : tavrin::kBoolSettings)
        if (s.key == o.key) return o.value == 0 || o.value == 1;
    for (const auto& s : tavrin::kIntegerSettings)
        if (s.key == o.key) return o.value >= s.lower && o.value <= s.upper;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= text.size() && arguments.size() < 64;) {
        const size_t end = std::min(text.find('\0', start), text.size());
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const app::ParseResult parsed = app::parseCommandLine(arguments);
    if (!parsed.error.empty()) {
        // The message puts the arguments (parts of the input) into its text.
        check(!parsed.error.format().empty(), "an error without words");
        return 0;
    }
    const app::CommandLine& line = parsed.commandLine;
    check(sizeInRange(line.windowSize), "window size out of range");
    check(!line.renderSize || sizeInRange(*line.renderSize), "render size out of range");
    check(line.every >= 1 && line.every <= app::kMaxFrames, "--every out of range");
    check(!line.foreignWindowId || (*line.foreignWindowId >= 1 && *line.foreignWindowId <= 0xffffffffu),
          "window id out of range");
    for (const app::SettingOverride& o : line.settings) check(overrideInRange(o), "a setting out of its limits");
    if (line.mode == app::Mode::Render) {
        check(!line.renderFolder.empty(), "a render without a folder");
        check(line.frames >= 1 && line.frames <= app::kMaxFrames, "--frames out of range");
        check(!(line.renderSize && !line.screensFile.empty()), "both --size and --screens");
    } else if (line.mode != app::Mode::Help && line.mode != app::Mode::Version) {
        check(line.renderFolder.empty() && line.screensFile.empty() && !line.renderSize,
              "render options outside a render");
        if (line.mode == app::Mode::Settings || line.mode == app::Mode::ShowSettings)
            check(line.traceFile.empty(), "a trace in a mode that draws no screen saver");
    }
    if (line.mode == app::Mode::Settings) check(line.settings.empty(), "settings for one run with --settings");
    return 0;
}
