#include "app/command_line.h"

#include <algorithm>
#include <charconv>

#include "module/settings/settings_table.h"

namespace app {
namespace {

template <typename Int>
std::optional<Int> parseDecimal(std::string_view text) {
    Int value{};
    if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

/// Walks the arguments; an option's value may follow it or be attached with '='.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& arguments) : arguments_(arguments) {}
    bool atEnd() const { return index_ >= arguments_.size(); }

    /// The next option's name (up to '=' if any). A long option may be written with one dash
    /// (-root, -trail-length 5), as X programs take them; it reads as its two-dash form.
    std::string_view next() {
        const std::string& argument = arguments_[index_++];
        if (argument.size() > 2 && argument[0] == '-' && argument[1] != '-') {
            normalized_ = "-" + argument;
            current_ = normalized_;
        } else {
            current_ = argument;
        }
        attached_.reset();
        const size_t eq = current_.find('=');
        if (current_.starts_with("--") && eq != std::string_view::npos) {
            attached_ = current_.substr(eq + 1);
            return current_.substr(0, eq);
        }
        return current_;
    }
    bool hasAttachedValue() const { return attached_.has_value(); }
    /// The option's value: attached, or the next argument.
    std::optional<std::string_view> value() {
        if (attached_) return attached_;
        if (atEnd()) return std::nullopt;
        return std::string_view(arguments_[index_++]);
    }
    /// The next argument when it is not an option (an optional value).
    std::optional<std::string_view> optionalValue() {
        if (attached_) return attached_;
        if (atEnd() || arguments_[index_].starts_with("-")) return std::nullopt;
        return std::string_view(arguments_[index_++]);
    }

private:
    const std::vector<std::string>& arguments_;
    size_t index_ = 0;
    std::string_view current_;
    std::string normalized_;
    std::optional<std::string_view> attached_;
};

/// A switch of the settings table named by the option (--flag or --no-flag), or none.
std::optional<SettingOverride> switchOption(std::string_view option) {
    if (!option.starts_with("--")) return std::nullopt;
    std::string_view stem = option.substr(2);
    const bool off = stem.starts_with("no-");
    if (off) stem.remove_prefix(3);
    for (const auto& s : tavrin::kBoolSettings)
        if (s.flag == stem) return SettingOverride{s.key, off ? 0 : 1};
    return std::nullopt;
}

const tavrin::IntegerSetting* numberOption(std::string_view option) {
    if (!option.starts_with("--")) return nullptr;
    for (const auto& s : tavrin::kIntegerSettings)
        if (s.flag == option.substr(2)) return &s;
    return nullptr;
}

/// An option padded to the help's description column, or on a line of its own when too long.
constexpr size_t kHelpColumn = 25;

std::string helpColumn(std::string option) {
    if (option.size() >= kHelpColumn) return option + "\n" + std::string(kHelpColumn, ' ');
    option.resize(kHelpColumn, ' ');
    return option;
}

std::string quoted(std::string_view text) {
    std::string result(1, '\'');
    result.append(text);
    result.push_back('\'');
    return result;
}

}  // namespace

std::optional<uint64_t> parseWindowId(std::string_view text) {
    std::optional<uint64_t> id;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        const std::string_view digits = text.substr(2);
        uint64_t value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        if (!digits.empty() && error == std::errc() && end == digits.data() + digits.size()) id = value;
    } else {
        id = parseDecimal<uint64_t>(text);
    }
    // X ids are 29-bit numbers in a 32-bit field; zero is no window.
    if (!id || *id == 0 || *id > 0xffffffffu) return std::nullopt;
    return id;
}

std::optional<int64_t> parseIdleAfter(std::string_view text) {
    const bool seconds = text.ends_with('s');
    if (seconds) text.remove_suffix(1);
    const auto n = parseDecimal<int64_t>(text);
    if (!n || *n < 1 || *n > kMaxIdleAfterSeconds / (seconds ? 1 : 60)) return std::nullopt;
    return seconds ? *n : *n * 60;
}

std::vector<std::string> saverArguments(const CommandLine& line) {
    std::vector<std::string> arguments;
    for (const SettingOverride& o : line.settings) {
        for (const auto& s : tavrin::kBoolSettings)
            if (s.key == o.key) arguments.push_back((o.value ? "--" : "--no-") + std::string(s.flag));
        for (const auto& s : tavrin::kIntegerSettings)
            if (s.key == o.key) {
                arguments.push_back("--" + std::string(s.flag));
                arguments.push_back(std::to_string(o.value));
            }
    }
    if (!line.traceFile.empty()) arguments.insert(arguments.end(), {"--trace", line.traceFile});
    if (line.seed) arguments.insert(arguments.end(), {"--seed", std::to_string(*line.seed)});
    if (line.showFrameRate) arguments.push_back("--fps");
    if (line.logToStderr) arguments.push_back("--log-stderr");
    if (line.waylandSurfaces == WaylandSurfaces::LayerShell) arguments.push_back("--layer-shell");
    if (line.waylandSurfaces == WaylandSurfaces::NoLayerShell) arguments.push_back("--no-layer-shell");
    if (line.waylandSurfaces == WaylandSurfaces::QtWindows) arguments.push_back("--no-own-wayland");
    return arguments;
}

std::optional<PixelSize> parsePixelSize(std::string_view text) {
    const size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto w = parseDecimal<int>(text.substr(0, x));
    const auto h = parseDecimal<int>(text.substr(x + 1));
    if (!w || !h || *w < 1 || *h < 1 || *w > kMaxSide || *h > kMaxSide) return std::nullopt;
    return PixelSize{*w, *h};
}

ParseResult parseCommandLine(const std::vector<std::string>& arguments) {
    ParseResult result;
    CommandLine& line = result.commandLine;
    auto fail = [&](const char* text, std::vector<std::string> arguments = {}) {
        result.error = Message{text, std::move(arguments)};
        return result;
    };
    bool help = false, version = false, window = false, render = false, showSettings = false, settingsWindow = false;
    bool background = false, idleWatch = false, idleStatus = false;
    bool framesGiven = false, everyGiven = false;

    ArgumentReader reader(arguments);
    while (!reader.atEnd()) {
        const std::string_view option = reader.next();
        const tavrin::IntegerSetting* number = numberOption(option);
        const bool takesValue = number != nullptr || option == "--render" || option == "--frames" || option == "--every" ||
                                option == "--size" || option == "--screens" || option == "--seed" ||
                                option == "--trace" || option == "--window" || option == "--window-id" ||
                                option == "--output" || option == "--after";
        if (!takesValue && reader.hasAttachedValue())
            return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option %1 takes no value"), {quoted(option)});

        if (option == "--help" || option == "-h") {
            help = true;
        } else if (option == "--version") {
            version = true;
        } else if (option == "--show-settings") {
            showSettings = true;
        } else if (option == "--settings") {
            settingsWindow = true;
        } else if (option == "--background") {
            background = true;
        } else if (option == "--idle-watch") {
            idleWatch = true;
        } else if (option == "--idle-status") {
            idleStatus = true;
        } else if (option == "--half-rate") {
            line.halfRate = true;
        } else if (option == "--log-stderr") {
            line.logToStderr = true;
        } else if (option == "--fps") {
            line.showFrameRate = true;
        } else if (option == "--root") {
            line.root = true;
        } else if (option == "--layer-shell") {
            line.waylandSurfaces = WaylandSurfaces::LayerShell;
        } else if (option == "--no-layer-shell") {
            line.waylandSurfaces = WaylandSurfaces::NoLayerShell;
        } else if (option == "--no-own-wayland") {
            line.waylandSurfaces = WaylandSurfaces::QtWindows;
        } else if (option == "--window") {
            window = true;
            if (const auto text = reader.optionalValue()) {
                const auto size = parsePixelSize(*text);
                if (!size)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                      "invalid window size %1 (expected WxH, each side 1 to %2)"),
                                {quoted(*text), std::to_string(kMaxSide)});
                line.windowSize = *size;
            }
        } else if (const auto toggle = switchOption(option)) {
            line.settings.push_back(*toggle);
        } else if (takesValue) {
            const auto text = reader.value();
            if (!text) return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option %1 needs a value"), {quoted(option)});
            if (number) {
                const auto n = parseDecimal<int64_t>(*text);
                if (!n || *n < number->lower || *n > number->upper)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "invalid value %1 for %2 (expected %3 to %4)"),
                                {quoted(*text), quoted(option), std::to_string(number->lower),
                                 std::to_string(number->upper)});
                line.settings.push_back({number->key, *n});
            } else if (option == "--render") {
                if (text->empty())
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option '--render' needs a folder"));
                render = true;
                line.renderFolder = std::string(*text);
            } else if (option == "--frames" || option == "--every") {
                const auto n = parseDecimal<int64_t>(*text);
                if (!n || *n < 1 || *n > kMaxFrames)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "invalid value %1 for %2 (expected %3 to %4)"),
                                {quoted(*text), quoted(option), "1", std::to_string(kMaxFrames)});
                (option == "--frames" ? line.frames : line.every) = *n;
                (option == "--frames" ? framesGiven : everyGiven) = true;
            } else if (option == "--size") {
                const auto size = parsePixelSize(*text);
                if (!size)
                    return fail(
                        TAVRIN_TRANSLATE_NOOP("CommandLine", "invalid size %1 (expected WxH, each side 1 to %2)"),
                        {quoted(*text), std::to_string(kMaxSide)});
                line.renderSize = *size;
            } else if (option == "--screens") {
                if (text->empty())
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option '--screens' needs a file"));
                line.screensFile = std::string(*text);
            } else if (option == "--trace") {
                if (text->empty())
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option '--trace' needs a file"));
                line.traceFile = std::string(*text);
            } else if (option == "--output") {
                if (text->empty())
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "option '--output' needs an output's name"));
                line.output = std::string(*text);
            } else if (option == "--window-id") {
                const auto id = parseWindowId(*text);
                if (!id)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                      "invalid window id %1 (expected 0x1234abcd or a decimal number)"),
                                {quoted(*text)});
                line.foreignWindowId = *id;
            } else if (option == "--after") {
                const auto seconds = parseIdleAfter(*text);
                if (!seconds)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                      "invalid time %1 for '--after' (expected minutes, or seconds "
                                                      "with an 's': 10, 90s; at most a day)"),
                                {quoted(*text)});
                line.idleAfterSeconds = *seconds;
            } else if (option == "--seed") {
                const auto seed = parseDecimal<uint64_t>(*text);
                if (!seed)
                    return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                      "invalid seed %1 (expected a whole number from 0 to 2^64-1)"),
                                {quoted(*text)});
                line.seed = *seed;
            }
        } else if (option.starts_with("-")) {
            return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "unknown option %1"), {quoted(option)});
        } else {
            return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "unexpected argument %1"), {quoted(option)});
        }
    }

    if (help) {
        line.mode = Mode::Help;
        return result;
    }
    if (version) {
        line.mode = Mode::Version;
        return result;
    }
    const bool foreign = line.root || line.foreignWindowId;
    if (int(window) + int(render) + int(showSettings) + int(foreign) + int(settingsWindow) + int(background) +
            int(idleWatch) + int(idleStatus) >
        1)
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "choose one of '--window', '--root' (or '--window-id'), '--render', "
                                          "'--show-settings', '--settings', '--background', '--idle-watch' and "
                                          "'--idle-status'"));
    if (idleStatus && (!line.settings.empty() || !line.traceFile.empty() || line.seed || line.showFrameRate ||
                       line.halfRate || !line.output.empty() || line.waylandSurfaces != WaylandSurfaces::Automatic))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--idle-status' takes no other option but '--log-stderr'"));
    if (line.halfRate && (render || showSettings || settingsWindow || idleWatch))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "'--half-rate' goes with a mode that draws on a display: the full-screen "
                                          "saver, '--window', '--root' or '--window-id', '--background'"));
    if (line.idleAfterSeconds && !idleWatch)
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--after' goes with '--idle-watch'"));
    if (idleWatch && !line.output.empty())
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "'--output' cannot be passed on by '--idle-watch': the saver covers "
                                          "every display"));
    if (line.showFrameRate && (render || showSettings))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--fps' needs a view on a display"));
    const bool renderOnly = framesGiven || everyGiven || line.renderSize || !line.screensFile.empty();
    if (renderOnly && !render)
        return fail(
            TAVRIN_TRANSLATE_NOOP("CommandLine", "'--frames', '--every', '--size' and '--screens' need '--render'"));
    if (!line.traceFile.empty() && (showSettings || settingsWindow))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--trace' needs a mode that draws the screen saver"));
    if (render && !framesGiven) return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--render' needs '--frames N'"));
    if (line.waylandSurfaces != WaylandSurfaces::Automatic &&
        (window || render || showSettings || foreign || settingsWindow || background))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "'--layer-shell', '--no-layer-shell' and '--no-own-wayland' choose how the "
                                          "full-screen saver is shown on Wayland; they go with no other mode"));
    if (!line.output.empty() && (window || render || showSettings || foreign || settingsWindow ||
                                 line.waylandSurfaces == WaylandSurfaces::QtWindows))
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "'--output' names a Wayland output for surfaces of our own: it goes with the "
                                          "full-screen saver or '--background', not with '--no-own-wayland'"));
    if (line.renderSize && !line.screensFile.empty())
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "give either '--size' or '--screens', not both"));
    if (showSettings && line.seed)
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine", "'--seed' has no meaning with '--show-settings'"));

    // The settings window saves what its sheet shows; settings for one run would be saved with it.
    if (settingsWindow && !line.settings.empty())
        return fail(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                          "settings for one run cannot be combined with '--settings', which saves "
                                          "what it shows"));
    line.mode = render           ? Mode::Render
                : window         ? Mode::Window
                : showSettings   ? Mode::ShowSettings
                : foreign        ? Mode::ForeignWindow
                : settingsWindow ? Mode::Settings
                : background     ? Mode::Background
                : idleWatch      ? Mode::IdleWatch
                : idleStatus     ? Mode::IdleStatus
                                 : Mode::FullScreen;
    return result;
}

std::string usageText(const TextLookup& lookup) {
    auto text = [&](const char* english) { return lookup(kTerminalContext, english); };
    // The settings' titles are the options sheet's, in its context.
    auto sheetText = [&](std::string_view english) { return lookup("OptionsSheet", std::string(english).c_str()); };
    std::string usage;
    // An option and its description, whose further lines (a translation may break them anywhere)
    // start at the description column.
    auto entry = [&](std::string option, const std::string& description) {
        usage += helpColumn(std::move(option));
        for (size_t start = 0; start < description.size();) {
            const size_t end = std::min(description.find('\n', start), description.size());
            if (start > 0) usage += std::string(kHelpColumn, ' ');
            usage.append(description, start, end - start).push_back('\n');
            start = end + 1;
        }
    };
    auto paragraph = [&](const char* english) {
        usage.push_back('\n');
        usage.append(text(english)).push_back('\n');
    };

    usage += text(TAVRIN_TRANSLATE_NOOP("CommandLine", "Usage: tavrin [OPTION]...")) + "\n";
    usage += text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                        "A logo and a spinning wheel fly over a starfield, bounce and throw sparks.")) +
             "\n";
    paragraph(TAVRIN_TRANSLATE_NOOP(
        "CommandLine",
        "Without options, shows the screen saver full screen on every display until a key\n"
        "is pressed, the mouse is clicked or moved, or the program receives SIGTERM or SIGINT."));
    paragraph(TAVRIN_TRANSLATE_NOOP("CommandLine", "Modes:"));
    entry("  --window [WxH]",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "show one view in an ordinary window (default 960x540)")));
    entry("  --render DIR --frames N", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                                  "draw N frames without a display and write PNG "
                                                                  "pictures\nDIR/display<i>-frame<n>.png")));
    entry("      --every K",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "write every K-th frame (the last one always)")));
    entry("      --size WxH",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "one display of that size (default 1920x1080)")));
    entry("      --screens FILE",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "the displays described in a JSON file:")) +
              "\n{\"screens\":[{\"name\":\"A\",\"x\":0,\"y\":0,\"width\":1920,\n \"height\":1080,\"dpr\":1}, ...]}");
    entry("  --settings",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "a window with a live preview and the options sheet")));
    entry("  --show-settings",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "print the settings in effect and the settings file")));
    entry("  --root", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                 "draw into the window named by XSCREENSAVER_WINDOW, or the\n"
                                                 "root window (X only; how XScreenSaver runs its hacks)")));
    entry("  --window-id ID", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                         "draw into the X window ID (0x... or decimal); a small\n"
                                                         "window, or --root with --window-id, is a preview")));
    entry("  --idle-watch", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                       "stay in the session and start the screen saver full screen\n"
                                                       "when the user has been idle for the time in the settings\n"
                                                       "(10 minutes unless set); the saver's options given with it\n"
                                                       "are passed on to every saver it starts")));
    entry("      --after T", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                        "this time instead, for this run: minutes, or seconds with\n"
                                                        "an 's' (--after 5, --after 30s)")));
    entry("  --idle-status", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                        "say whether an idle watcher runs in this session, when the\n"
                                                        "desktop blanks, locks and sleeps, and what keeps the screen\n"
                                                        "saver away now (exit status 3 when no watcher runs)")));
    paragraph(TAVRIN_TRANSLATE_NOOP(
        "CommandLine",
        "On Wayland, full screen uses layer-shell surfaces where the compositor offers them\n"
        "(sway, Hyprland, KDE Plasma...), else fullscreen windows of its own (GNOME, weston):"));
    entry("  --layer-shell",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "layer-shell surfaces, or fail (status 1) without them")));
    entry("  --no-layer-shell", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                           "fullscreen windows of its own even where there are\n"
                                                           "layer-shell surfaces")));
    entry("  --no-own-wayland",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "full-screen windows through Qt's Wayland platform")));
    entry("  --output NAME",
          text(TAVRIN_TRANSLATE_NOOP("CommandLine", "draw on the output NAME only (not with --no-own-wayland)")));
    entry("  --background", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                       "draw on the background layer of every output until SIGTERM\n"
                                                       "or the compositor's connection ends, never stopping on\n"
                                                       "input: an animated background for a lock screen such as\n"
                                                       "swaylock-plugin (it takes the connection from\n"
                                                       "WAYLAND_SOCKET, and the output from\n"
                                                       "SWAYLOCK_PLUGIN_OUTPUT_NAME)")));

    paragraph(TAVRIN_TRANSLATE_NOOP(
        "CommandLine",
        "Settings for this run (they win over the settings file, which they leave alone):"));
    for (const auto& s : tavrin::kBoolSettings) {
        entry("  --[no-]" + std::string(s.flag),
              sheetText(s.title) + " " +
                  text(s.defaultValue ? TAVRIN_TRANSLATE_NOOP("CommandLine", "(default on)")
                                      : TAVRIN_TRANSLATE_NOOP("CommandLine", "(default off)")));
    }
    for (const auto& s : tavrin::kIntegerSettings) {
        // The sheet's label without its colon (and the space a language may put before it).
        std::string label = sheetText(s.label);
        while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
        const Message line{TAVRIN_TRANSLATE_NOOP("CommandLine", "%1, %2 to %3 (default %4)"),
                           {label, std::to_string(s.lower), std::to_string(s.upper), std::to_string(s.defaultValue)}};
        entry("  --" + std::string(s.flag) + " N", line.format(lookup));
    }

    paragraph(TAVRIN_TRANSLATE_NOOP("CommandLine", "Options:"));
    entry("  --seed S", text(TAVRIN_TRANSLATE_NOOP("CommandLine", "use a fixed random seed (reproducible runs)")));
    entry("  --log-stderr", text(TAVRIN_TRANSLATE_NOOP("CommandLine", "copy log lines to standard error")));
    entry("  --fps", text(TAVRIN_TRANSLATE_NOOP("CommandLine", "show the frame rate in a corner")));
    entry("  --half-rate", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                      "draw every second frame (the motion is unchanged), as on\n"
                                                      "battery; SIGUSR1 turns this on, SIGUSR2 off")));
    entry("  --trace FILE", text(TAVRIN_TRANSLATE_NOOP("CommandLine",
                                                       "write the scene of every display after every frame as\n"
                                                       "one JSON object per line; %p in FILE is the process id")));
    entry("  --help", text(TAVRIN_TRANSLATE_NOOP("CommandLine", "print this help and exit")));
    entry("  --version", text(TAVRIN_TRANSLATE_NOOP("CommandLine", "print the version and exit")));
    paragraph(TAVRIN_TRANSLATE_NOOP(
        "CommandLine",
        "Exit status: 0 on success, 1 when the program cannot run (no display, a file that\n"
        "cannot be written), 2 for a malformed command line.\n"
        "Every long option may also be written with a single dash (-root, -window-id ID)."));
    return usage;
}

}  // namespace app
