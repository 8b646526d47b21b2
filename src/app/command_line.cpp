#include "app/command_line.h"

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
std::string helpColumn(std::string option) {
    constexpr size_t kColumn = 25;
    if (option.size() >= kColumn) return option + "\n" + std::string(kColumn, ' ');
    option.resize(kColumn, ' ');
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
    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };
    bool help = false, version = false, window = false, render = false, showSettings = false, settingsWindow = false;
    bool background = false, idleWatch = false;
    bool framesGiven = false, everyGiven = false;

    ArgumentReader reader(arguments);
    while (!reader.atEnd()) {
        const std::string_view option = reader.next();
        const tavrin::IntegerSetting* number = numberOption(option);
        const bool takesValue = number != nullptr || option == "--render" || option == "--frames" || option == "--every" ||
                                option == "--size" || option == "--screens" || option == "--seed" ||
                                option == "--trace" || option == "--window" || option == "--window-id" ||
                                option == "--output" || option == "--after";
        if (!takesValue && reader.hasAttachedValue()) return fail("option " + quoted(option) + " takes no value");

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
                    return fail("invalid window size " + quoted(*text) + " (expected WxH, each side 1 to " +
                                std::to_string(kMaxSide) + ")");
                line.windowSize = *size;
            }
        } else if (const auto toggle = switchOption(option)) {
            line.settings.push_back(*toggle);
        } else if (takesValue) {
            const auto text = reader.value();
            if (!text) return fail("option " + quoted(option) + " needs a value");
            if (number) {
                const auto n = parseDecimal<int64_t>(*text);
                if (!n || *n < number->lower || *n > number->upper)
                    return fail("invalid value " + quoted(*text) + " for " + quoted(option) + " (expected " +
                                std::to_string(number->lower) + " to " + std::to_string(number->upper) + ")");
                line.settings.push_back({number->key, *n});
            } else if (option == "--render") {
                if (text->empty()) return fail("option '--render' needs a folder");
                render = true;
                line.renderFolder = std::string(*text);
            } else if (option == "--frames" || option == "--every") {
                const auto n = parseDecimal<int64_t>(*text);
                if (!n || *n < 1 || *n > kMaxFrames)
                    return fail("invalid value " + quoted(*text) + " for " + quoted(option) + " (expected 1 to " +
                                std::to_string(kMaxFrames) + ")");
                (option == "--frames" ? line.frames : line.every) = *n;
                (option == "--frames" ? framesGiven : everyGiven) = true;
            } else if (option == "--size") {
                const auto size = parsePixelSize(*text);
                if (!size)
                    return fail("invalid size " + quoted(*text) + " (expected WxH, each side 1 to " +
                                std::to_string(kMaxSide) + ")");
                line.renderSize = *size;
            } else if (option == "--screens") {
                if (text->empty()) return fail("option '--screens' needs a file");
                line.screensFile = std::string(*text);
            } else if (option == "--trace") {
                if (text->empty()) return fail("option '--trace' needs a file");
                line.traceFile = std::string(*text);
            } else if (option == "--output") {
                if (text->empty()) return fail("option '--output' needs an output's name");
                line.output = std::string(*text);
            } else if (option == "--window-id") {
                const auto id = parseWindowId(*text);
                if (!id) return fail("invalid window id " + quoted(*text) + " (expected 0x1234abcd or a decimal number)");
                line.foreignWindowId = *id;
            } else if (option == "--after") {
                const auto seconds = parseIdleAfter(*text);
                if (!seconds)
                    return fail("invalid time " + quoted(*text) +
                                " for '--after' (expected minutes, or seconds with an 's': 10, 90s; at most a day)");
                line.idleAfterSeconds = *seconds;
            } else if (option == "--seed") {
                const auto seed = parseDecimal<uint64_t>(*text);
                if (!seed) return fail("invalid seed " + quoted(*text) + " (expected a whole number from 0 to 2^64-1)");
                line.seed = *seed;
            }
        } else if (option.starts_with("-")) {
            return fail("unknown option " + quoted(option));
        } else {
            return fail("unexpected argument " + quoted(option));
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
            int(idleWatch) >
        1)
        return fail("choose one of '--window', '--root' (or '--window-id'), '--render', '--show-settings', "
                    "'--settings', '--background' and '--idle-watch'");
    if (line.idleAfterSeconds && !idleWatch) return fail("'--after' goes with '--idle-watch'");
    if (idleWatch && !line.output.empty())
        return fail("'--output' cannot be passed on by '--idle-watch': the saver covers every display");
    if (line.showFrameRate && (render || showSettings)) return fail("'--fps' needs a view on a display");
    const bool renderOnly = framesGiven || everyGiven || line.renderSize || !line.screensFile.empty();
    if (renderOnly && !render) return fail("'--frames', '--every', '--size' and '--screens' need '--render'");
    if (!line.traceFile.empty() && (showSettings || settingsWindow))
        return fail("'--trace' needs a mode that draws the screen saver");
    if (render && !framesGiven) return fail("'--render' needs '--frames N'");
    if (line.waylandSurfaces != WaylandSurfaces::Automatic &&
        (window || render || showSettings || foreign || settingsWindow || background))
        return fail("'--layer-shell', '--no-layer-shell' and '--no-own-wayland' choose how the full-screen saver is "
                    "shown on Wayland; they go with no other mode");
    if (!line.output.empty() && (window || render || showSettings || foreign || settingsWindow ||
                                 line.waylandSurfaces == WaylandSurfaces::QtWindows))
        return fail("'--output' names a Wayland output for surfaces of our own: it goes with the full-screen "
                    "saver or '--background', not with '--no-own-wayland'");
    if (line.renderSize && !line.screensFile.empty()) return fail("give either '--size' or '--screens', not both");
    if (showSettings && line.seed) return fail("'--seed' has no meaning with '--show-settings'");

    // The settings window saves what its sheet shows; settings for one run would be saved with it.
    if (settingsWindow && !line.settings.empty())
        return fail("settings for one run cannot be combined with '--settings', which saves what it shows");
    line.mode = render           ? Mode::Render
                : window         ? Mode::Window
                : showSettings   ? Mode::ShowSettings
                : foreign        ? Mode::ForeignWindow
                : settingsWindow ? Mode::Settings
                : background     ? Mode::Background
                : idleWatch      ? Mode::IdleWatch
                                 : Mode::FullScreen;
    return result;
}

std::string usageText() {
    std::string settings =
        "\n"
        "Settings for this run (they win over the settings file, which they leave alone):\n";
    for (const auto& s : tavrin::kBoolSettings) {
        settings += helpColumn("  --[no-]" + std::string(s.flag)) + std::string(s.title) + " (default " + (s.defaultValue ? "on" : "off") + ")\n";
    }
    for (const auto& s : tavrin::kIntegerSettings) {
        std::string label(s.label);
        if (label.ends_with(':')) label.pop_back();
        settings += helpColumn("  --" + std::string(s.flag) + " N") + label + ", " + std::to_string(s.lower) + " to " + std::to_string(s.upper) + " (default " +
                    std::to_string(s.defaultValue) + ")\n";
    }
    return "Usage: tavrin [OPTION]...\n"
           "A logo and a spinning wheel fly over a starfield, bounce and throw sparks.\n"
           "\n"
           "Without options, shows the screen saver full screen on every display until a key\n"
           "is pressed, the mouse is clicked or moved, or the program receives SIGTERM or SIGINT.\n"
           "\n"
           "Modes:\n"
           "  --window [WxH]         show one view in an ordinary window (default 960x540)\n"
           "  --render DIR --frames N\n"
           "                         draw N frames without a display and write PNG pictures\n"
           "                         DIR/display<i>-frame<n>.png\n"
           "      --every K          write every K-th frame (the last one always)\n"
           "      --size WxH         one display of that size (default 1920x1080)\n"
           "      --screens FILE     the displays described in a JSON file:\n"
           "                         {\"screens\":[{\"name\":\"A\",\"x\":0,\"y\":0,\"width\":1920,\n"
           "                          \"height\":1080,\"dpr\":1}, ...]}\n"
           "  --settings             a window with a live preview and the options sheet\n"
           "  --show-settings        print the settings in effect and the settings file\n"
           "  --root                 draw into the window named by XSCREENSAVER_WINDOW, or the\n"
           "                         root window (X only; how XScreenSaver runs its hacks)\n"
           "  --window-id ID         draw into the X window ID (0x... or decimal); a small\n"
           "                         window, or --root with --window-id, is a preview\n"
           "  --idle-watch           stay in the session and start the screen saver full screen\n"
           "                         when the user has been idle for the time in the settings\n"
           "                         (10 minutes unless set); the saver's options given with it\n"
           "                         are passed on to every saver it starts\n"
           "      --after T          this time instead, for this run: minutes, or seconds with\n"
           "                         an 's' (--after 5, --after 30s)\n"
           "\n"
           "On Wayland, full screen uses layer-shell surfaces where the compositor offers them\n"
           "(sway, Hyprland, KDE Plasma...), else fullscreen windows of its own (GNOME, weston):\n"
           "  --layer-shell          layer-shell surfaces, or fail (status 1) without them\n"
           "  --no-layer-shell       fullscreen windows of its own even where there are\n"
           "                         layer-shell surfaces\n"
           "  --no-own-wayland       full-screen windows through Qt's Wayland platform\n"
           "  --output NAME          draw on the output NAME only (not with --no-own-wayland)\n"
           "  --background           draw on the background layer of every output until SIGTERM\n"
           "                         or the compositor's connection ends, never stopping on\n"
           "                         input: an animated background for a lock screen such as\n"
           "                         swaylock-plugin (it takes the connection from\n"
           "                         WAYLAND_SOCKET, and the output from\n"
           "                         SWAYLOCK_PLUGIN_OUTPUT_NAME)\n" +
           settings +
           "\n"
           "Options:\n"
           "  --seed S               use a fixed random seed (reproducible runs)\n"
           "  --log-stderr           copy log lines to standard error\n"
           "  --fps                  show the frame rate in a corner\n"
           "  --trace FILE           write the scene of every display after every frame as\n"
           "                         one JSON object per line; %p in FILE is the process id\n"
           "  --help                 print this help and exit\n"
           "  --version              print the version and exit\n"
           "\n"
           "Exit status: 0 on success, 1 when the program cannot run (no display, a file that\n"
           "cannot be written), 2 for a malformed command line.\n"
           "Every long option may also be written with a single dash (-root, -window-id ID).\n";
}

}  // namespace app
