// The command line of the `tavrin` program: its modes and options, read strictly so that a typo
// is reported instead of being ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/setting_overrides.h"
#include "app/terminal_text.h"

namespace app {

enum class Mode {
    FullScreen,
    Window,
    Render,
    Help,
    Version,
    ShowSettings,
    ForeignWindow,  ///< draws into an X window made by someone else (--root, --window-id)
    Settings,       ///< the settings window with a live preview
    Background,     ///< layer-shell background surfaces on Wayland (a lock screen's background)
    IdleWatch,      ///< stays in the session and starts the full-screen saver when the user is idle
    IdleStatus,     ///< says whether a watcher runs, when the saver would come and what keeps it away
};

/// How the full-screen saver is shown on a Wayland desktop.
enum class WaylandSurfaces {
    Automatic,     ///< layer-shell surfaces where the compositor offers them, else fullscreen
                   ///< toplevels of our own, else Qt's windows
    LayerShell,    ///< --layer-shell: layer-shell surfaces, or an error
    NoLayerShell,  ///< --no-layer-shell: fullscreen toplevels of our own, else Qt's windows
    QtWindows,     ///< --no-own-wayland: full-screen windows through Qt
};

struct PixelSize {
    int width = 0;
    int height = 0;
};

inline constexpr int kMaxSide = 16384;       ///< largest window or display side accepted
inline constexpr int64_t kMaxFrames = 100000000;
inline constexpr PixelSize kDefaultWindowSize{960, 540};
inline constexpr PixelSize kDefaultRenderSize{1920, 1080};
/// Longest idle timeout --after takes: a day.
inline constexpr int64_t kMaxIdleAfterSeconds = 24 * 60 * 60;

struct CommandLine {
    Mode mode = Mode::FullScreen;
    PixelSize windowSize = kDefaultWindowSize;
    std::string renderFolder;
    int64_t frames = 0;
    int64_t every = 1;
    std::optional<PixelSize> renderSize;
    std::string screensFile;
    std::string traceFile;
    std::optional<uint64_t> seed;
    bool logToStderr = false;
    bool showFrameRate = false;                  ///< --fps
    bool root = false;                           ///< --root: the window in XSCREENSAVER_WINDOW, or the root window
    std::optional<uint64_t> foreignWindowId;     ///< --window-id
    WaylandSurfaces waylandSurfaces = WaylandSurfaces::Automatic;
    std::string output;                          ///< --output: draw on the Wayland output of this name only
    std::vector<SettingOverride> settings;  ///< in the order given
    std::optional<int64_t> idleAfterSeconds;     ///< --after: the idle watcher's timeout for this run
    bool halfRate = false;                       ///< --half-rate: every second frame drawn (SIGUSR1/SIGUSR2 switch)
};

struct ParseResult {
    CommandLine commandLine;
    Message error;  ///< what is wrong, or empty
};

/// Reads the arguments after the program name.
ParseResult parseCommandLine(const std::vector<std::string>& arguments);

/// "WxH" with both sides from 1 to kMaxSide; none otherwise.
std::optional<PixelSize> parsePixelSize(std::string_view text);

/// An X window id: hexadecimal with 0x, or decimal; from 1 to 2^32-1.
std::optional<uint64_t> parseWindowId(std::string_view text);

/// --after's value: whole minutes ("10"), or seconds with an "s" ("90s"); from 1 s to a day.
std::optional<int64_t> parseIdleAfter(std::string_view text);

/// The options of the full-screen saver the idle watcher starts: what `line` says of the saver's
/// settings, trace, seed, frame-rate overlay, log and Wayland surfaces, as arguments for it.
std::vector<std::string> saverArguments(const CommandLine& line);

/// The text printed by --help, its texts as `lookup` finds them: those of the terminal in
/// kTerminalContext, the settings' titles in the options sheet's context ("OptionsSheet").
std::string usageText(const TextLookup& lookup = englishText);

}  // namespace app
