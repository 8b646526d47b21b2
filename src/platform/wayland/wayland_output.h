// One output of the compositor: its wl_output and, where the compositor offers it, its
// xdg-output, which alone tells where the output lies in the desktop's layout (several
// compositors report every wl_output at 0,0). The description is taken as a whole at each "done".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/services.h"

struct wl_output;
struct zxdg_output_v1;
struct zxdg_output_manager_v1;

namespace waylandbackend {

/// What an output says about itself, in logical units (the compositor's points) except `mode`.
struct OutputDescription {
    std::string name;         ///< "HEADLESS-1", "DP-2"...; empty until told
    int32_t x = 0, y = 0;     ///< logical position in the layout
    int32_t width = 0, height = 0;  ///< logical size; 0 until told
    int32_t modeWidth = 0, modeHeight = 0;  ///< current mode, pixels
    int32_t scale = 1;        ///< wl_output's integer scale
    bool hasLogicalGeometry = false;  ///< position and size came from xdg-output
};

/// The host's display standing for an output. Its frame is a copy set by the session, so the
/// object stays valid (and keeps its identity) after the output is gone.
class WaylandScreen : public host::Screen {
public:
    host::CGRect frame() const override { return frame_; }
    void setFrame(host::CGRect frame) { frame_ = frame; }

private:
    host::CGRect frame_{};
};

class WaylandOutput {
public:
    /// Binds the output (`globalName` at `version`) and, with a manager, its xdg-output.
    WaylandOutput(wl_output* output, uint32_t globalName, uint32_t version);
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    /// Asks for the output's logical layout; done once, when the manager is known.
    void watchLogicalGeometry(zxdg_output_manager_v1* manager, uint32_t managerVersion);

    wl_output* output() const { return output_; }
    uint32_t globalName() const { return globalName_; }
    /// Whether the whole description has arrived at least once.
    bool isReady() const { return ready_; }
    /// The description as of the last "done".
    const OutputDescription& description() const { return current_; }
    /// True once after each "done" that changed the description.
    bool takeChanged();
    const std::shared_ptr<WaylandScreen>& screen() const { return screen_; }
    /// The output's name, or "output <n>" before it is told.
    std::string label() const;

    // The compositor's events; they only record what it said, until "done".
    static void handleGeometry(void*, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                               const char*, int32_t);
    static void handleMode(void*, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t);
    static void handleDone(void*, wl_output*);
    static void handleScale(void*, wl_output*, int32_t factor);
    static void handleName(void*, wl_output*, const char* name);
    static void handleDescription(void*, wl_output*, const char*);
    static void handleLogicalPosition(void*, zxdg_output_v1*, int32_t x, int32_t y);
    static void handleLogicalSize(void*, zxdg_output_v1*, int32_t width, int32_t height);
    static void handleXdgDone(void*, zxdg_output_v1*);
    static void handleXdgName(void*, zxdg_output_v1*, const char* name);
    static void handleXdgDescription(void*, zxdg_output_v1*, const char*);

private:
    void commit();

    wl_output* output_;
    zxdg_output_v1* xdgOutput_ = nullptr;
    uint32_t globalName_;
    uint32_t version_;
    uint32_t xdgVersion_ = 0;
    OutputDescription pending_;
    OutputDescription current_;
    bool wlDone_ = false;   ///< a wl_output.done since the xdg-output was made
    bool xdgDone_ = false;  ///< an xdg_output.done (before version 3 it comes on its own)
    bool ready_ = false;
    bool changed_ = false;
    std::shared_ptr<WaylandScreen> screen_ = std::make_shared<WaylandScreen>();
};

}  // namespace waylandbackend
