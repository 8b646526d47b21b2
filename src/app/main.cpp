// The `tavrin` program: reads the command line, picks the window system, makes the host and runs
// the chosen mode.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "app/command_line.h"
#include "app/offscreen_config.h"
#include "app/qt_messages.h"
#include "app/runs.h"
#include "app/setting_overrides.h"
#include "app/sheet_texts.h"
#include "app/show_settings.h"
#include "app/translations.h"
#include "platform/qt/qt_foreign_window.h"
#include "platform/qt/qt_host.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_session.h"

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

/// Whether a window system can be reached: an X or Wayland display, or a Qt platform that needs
/// neither (offscreen, a frame buffer...). Checked before Qt, which aborts when it finds none.
bool displayAvailable() {
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")) return true;
    if (!isSet("QT_QPA_PLATFORM")) return false;
    std::string platform = std::getenv("QT_QPA_PLATFORM");
    platform = platform.substr(0, platform.find_first_of(":;"));
    return platform != "xcb" && !platform.starts_with("wayland");
}

/// Whether Qt would run on a Wayland compositor: one is named, and no other platform is asked for.
bool onWayland() {
    if (!isSet("WAYLAND_DISPLAY") && !isSet("WAYLAND_SOCKET")) return false;
    if (!isSet("QT_QPA_PLATFORM")) return true;
    return std::string(std::getenv("QT_QPA_PLATFORM")).starts_with("wayland");
}

/// The full-screen saver on Wayland: a connection of our own with the kind of surface it draws on
/// (layer-shell surfaces where the compositor offers them, else fullscreen toplevels, as far as
/// the command line allows), else none and Qt's windows. `note` says which, for the log. Returns
/// the exit status when neither can be used, or 0.
int chooseWaylandSurfaces(const app::CommandLine& commandLine,
                          std::unique_ptr<waylandbackend::WaylandConnection>* connection,
                          waylandbackend::SurfaceKind* kind, std::string* note, const app::TextLookup& lookup) {
    using app::WaylandSurfaces;
    const bool background = commandLine.mode == app::Mode::Background;
    const bool required = background || commandLine.waylandSurfaces == WaylandSurfaces::LayerShell;
    if (commandLine.waylandSurfaces == WaylandSurfaces::QtWindows) {
        *note = "Wayland: full-screen windows through Qt (--no-own-wayland)";
        return 0;
    }
    std::string error;
    *connection = waylandbackend::WaylandConnection::connect(&error);
    if (*connection) {
        const waylandbackend::Globals& g = (*connection)->globals();
        const bool layers = g.layerShell && commandLine.waylandSurfaces != WaylandSurfaces::NoLayerShell;
        if (layers) {
            *kind = waylandbackend::SurfaceKind::Layer;
            *note = background ? "Wayland: layer-shell surfaces on the background layer"
                               : "Wayland: layer-shell surfaces of our own on every output";
            return 0;
        }
        if (g.wmBase && !required) {
            *kind = waylandbackend::SurfaceKind::Toplevel;
            *note = g.layerShell ? "Wayland: fullscreen toplevels of our own on every output (--no-layer-shell)"
                                 : "Wayland: fullscreen toplevels of our own on every output (the compositor "
                                   "offers no layer-shell)";
            return 0;
        }
        connection->reset();
        error = required       ? "the Wayland compositor offers no layer-shell (zwlr_layer_shell_v1)"
                : g.layerShell ? "the Wayland compositor offers no xdg-shell (xdg_wm_base)"
                               : "the Wayland compositor offers neither layer-shell nor xdg-shell";
    }
    if (required) {
        if (background)
            app::printError(
                {QT_TRANSLATE_NOOP("CommandLine", "%1; '--background' draws on layer-shell surfaces only"), {error}},
                lookup);
        else
            app::printError(
                {QT_TRANSLATE_NOOP("CommandLine", "%1; without '--layer-shell' other surfaces are used instead"),
                 {error}},
                lookup);
        return 1;
    }
    *note = "Wayland: " + error + "; full-screen windows through Qt";
    return 0;
}

/// Describes the displays of a headless run and points Qt's offscreen platform at them.
/// Returns the exit status on failure, or 0.
int prepareHeadlessDisplays(const app::CommandLine& commandLine, std::string* configPath) {
    std::vector<app::OffscreenScreen> screens;
    std::string error;
    if (!commandLine.screensFile.empty()) {
        if (!app::readScreensFile(commandLine.screensFile, &screens, &error)) {
            std::fprintf(stderr, "tavrin: %s\n", error.c_str());
            return 2;
        }
    } else {
        const app::PixelSize size = commandLine.renderSize.value_or(app::kDefaultRenderSize);
        screens.push_back({"Display", 0, 0, size.width, size.height, 1.0});
    }
    *configPath = app::selectOffscreenPlatform(screens, &error);
    if (configPath->empty()) {
        std::fprintf(stderr, "tavrin: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

/// The saver's own modes never use the session bus, yet Qt's accessibility bridge connects to it
/// from the GUI thread when the first window is shown and waits for the answer: on a frozen bus
/// for ever, and with no bus at all libdbus starts one (dbus-launch and a dbus-daemon) that
/// outlives the program. An address that fails at once keeps the bridge, and whatever else in Qt
/// would look for the bus (input methods, themes), off it; AT_SPI_BUS_ADDRESS would lead the
/// bridge past the session bus to the accessibility bus. Called before Qt starts. The settings
/// window is left alone: screen readers need the bridge there.
void stayOffTheSessionBus() {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    ::unsetenv("AT_SPI_BUS_ADDRESS");
}

}  // namespace

int main(int argc, char** argv) {
    // The user's language, before any text is printed. The windows use the same translation, and
    // Qt's own where the system has it (its widgets' menus).
    QTranslator translator;
    QTranslator qtTranslator;
    const QLocale locale = QLocale::system();
    app::loadTranslation(translator, locale, QStringLiteral("tavrin"), app::translationFolders());
    const app::TextLookup say = app::terminalLookup(translator);

    const app::ParseResult parsed = app::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        app::printError(parsed.error, say);
        const std::string hint =
            say(app::kTerminalContext, QT_TRANSLATE_NOOP("CommandLine", "Try 'tavrin --help' for more information."));
        std::fprintf(stderr, "%s\n", hint.c_str());
        return 2;
    }
    const app::CommandLine& commandLine = parsed.commandLine;
    switch (commandLine.mode) {
        case app::Mode::Help: std::fputs(app::usageText(say).c_str(), stdout); return 0;
        case app::Mode::Version: std::printf("tavrin %s (build %s)\n", TAVRIN_VERSION, TAVRIN_BUILD_NUMBER); return 0;
        case app::Mode::ShowSettings: return app::runShowSettings(commandLine.settings);
        case app::Mode::IdleWatch: return app::runIdleWatch(commandLine, argv[0]);
        case app::Mode::IdleStatus: return app::runIdleStatus(commandLine, argv[0]);
        default: break;
    }

    std::string offscreenConfig;
    std::unique_ptr<waylandbackend::WaylandConnection> ownSurfaces;
    waylandbackend::SurfaceKind surfaceKind = waylandbackend::SurfaceKind::Layer;
    std::string backendNote;
    const bool background = commandLine.mode == app::Mode::Background;
    if ((background || commandLine.waylandSurfaces == app::WaylandSurfaces::LayerShell || !commandLine.output.empty()) &&
        !onWayland()) {
        app::printError(
            {QT_TRANSLATE_NOOP("CommandLine", "'%1' needs a Wayland compositor (WAYLAND_DISPLAY or WAYLAND_SOCKET)"),
             {background ? "--background" : !commandLine.output.empty() ? "--output" : "--layer-shell"}},
            say);
        return 1;
    }
    if ((commandLine.mode == app::Mode::FullScreen || background) && onWayland()) {
        if (const int status = chooseWaylandSurfaces(commandLine, &ownSurfaces, &surfaceKind, &backendNote, say))
            return status;
        // Our own surfaces: Qt draws the frames and runs the event loop, and makes no window.
        if (ownSurfaces) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (commandLine.mode == app::Mode::Render) {
        if (const int status = prepareHeadlessDisplays(commandLine, &offscreenConfig)) return status;
    } else if (commandLine.mode == app::Mode::ForeignWindow) {
        // Drawing into another program's window is an X matter: Qt must run on X (XWayland will
        // do), whatever the desktop.
        std::string why;
        if (!qtbackend::canReachXServer(&why)) {
            app::printError({QT_TRANSLATE_NOOP("CommandLine",
                                               "'--root' and '--window-id' draw into an X window, but %1; on a "
                                               "Wayland desktop run 'tavrin' without options instead"),
                             {why}},
                            say);
            return 1;
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else if (!ownSurfaces && !displayAvailable()) {
        app::printError({QT_TRANSLATE_NOOP("CommandLine",
                                           "no display available: neither DISPLAY nor WAYLAND_DISPLAY is set (use "
                                           "--render DIR --frames N to draw without one)")},
                        say);
        return 1;
    }

    if (commandLine.mode != app::Mode::Settings) stayOffTheSessionBus();
    app::installQtMessageHandler(commandLine.logToStderr);
    // Qt reads only the program name: our options are not Qt's.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    app::setWindowSystemReady();
    if (!translator.isEmpty()) {
        QCoreApplication::installTranslator(&translator);
        if (app::loadTranslation(qtTranslator, locale, QStringLiteral("qtbase"),
                                 {QLibraryInfo::path(QLibraryInfo::TranslationsPath)}))
            QCoreApplication::installTranslator(&qtTranslator);
    }
    if (!offscreenConfig.empty()) ::unlink(offscreenConfig.c_str());
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        qtbackend::QtHost host({commandLine.seed, commandLine.logToStderr});
        if (!translator.isEmpty()) host.controls().setTextTranslation(app::sheetText);
        app::OverridingDefaultsProvider overrides(*host.host().defaults, commandLine.settings);
        if (!commandLine.settings.empty()) host.host().defaults = &overrides;
        host.install();
        app::setQtMessageLog(&host.log());
        if (!backendNote.empty()) host.logLine(host::LogLevel::Default, backendNote);
        if (ownSurfaces) {
            status = app::runWaylandSurfaces(commandLine, host, std::move(ownSurfaces), surfaceKind);
        } else {
            switch (commandLine.mode) {
                case app::Mode::Render: status = app::runRender(commandLine, host); break;
                case app::Mode::Settings: status = app::runSettingsWindow(host); break;
                case app::Mode::ForeignWindow: status = app::runForeignWindow(commandLine, host); break;
                default: status = app::runInteractive(commandLine, host); break;
            }
        }
        app::setQtMessageLog(nullptr);
    }
    return status;
}
