// A scripted Wayland compositor for the Wayland backend's tests, on libwayland-server, reached
// through a socket pair and run by Qt's event loop on the test's thread. It offers wl_compositor
// (version 4), wl_shm, wl_output (version 4), zwlr_layer_shell_v1 (version 4) and xdg_wm_base
// (version 1); answers a layer surface's or a toplevel's first commit with a configure of the size
// the test chose for its output (a toplevel's on the output it asked to be full screen on);
// answers frame callbacks and releases buffers unless told not to; and records what the client
// commits.
//
// Not modelled: seats and input, xdg-output, viewporter and fractional scale, popups, toplevel
// states other than fullscreen, window geometry, buffer transforms and offsets; regions are
// accepted and forgotten; nothing is drawn or read from the buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fakewl {

struct FakeOutput {
    std::string name;
    int32_t x = 0, y = 0, width = 0, height = 0;  ///< logical; the mode is this times the scale
    int32_t scale = 1;
    bool describe = true;  ///< false: never sends its done, so the client never sees it complete
    /// Size of the first configure of a surface on this output; none: the output's size.
    std::optional<std::pair<uint32_t, uint32_t>> firstConfigure = std::nullopt;
    bool configureNewSurfaces = true;  ///< false: a new surface on it waits for a configure
    bool fullscreenToplevels = true;   ///< false: toplevels on it are configured without the state
};

/// What the compositor saw of one layer surface or toplevel, in the order they were made.
struct SurfaceRecord {
    std::string output;  ///< name of the output it was made on (a toplevel's: the one asked for)
    int fullscreenRequests = 0;  ///< a toplevel's set_fullscreen on that output
    uint32_t lastSerialSent = 0, lastSerialAcked = 0;
    std::vector<std::pair<int32_t, int32_t>> commits;  ///< buffer size of each commit with a buffer
    int liveBuffers = 0, mostLiveBuffers = 0;  ///< buffers committed and not yet destroyed
    int attachedWhileHeld = 0;  ///< commits of a buffer the compositor had not released
    bool destroyed = false;
};

class FakeCompositor {
public:
    FakeCompositor();
    ~FakeCompositor();
    FakeCompositor(const FakeCompositor&) = delete;
    FakeCompositor& operator=(const FakeCompositor&) = delete;

    /// The client's end of a new connection (for WAYLAND_SOCKET); the caller owns it.
    int connectClient();
    /// Handles the clients' requests and sends what they caused, waiting up to `timeoutMs` for
    /// some. Qt's event loop calls it whenever a client wrote; a client that waits for an answer
    /// outside that loop (connecting) needs it called from another thread meanwhile.
    void dispatch(int timeoutMs);

    // Scripting: the events go out at once.
    void addOutput(const FakeOutput& output);
    /// Sends the output's new description to the clients that bound it.
    void updateOutput(const FakeOutput& output);
    void removeOutput(const std::string& name);
    /// Closes a layer surface (closed) or asks a toplevel to close (close).
    void close(size_t surface);
    /// Configures a toplevel anew.
    void configureToplevel(size_t surface, uint32_t width, uint32_t height, bool fullscreen);
    /// Tells the client that the surface is shown on the output of this name.
    void enter(size_t surface, const std::string& output);
    /// Pings the client through xdg_wm_base; pongs() counts the answers.
    void ping();
    int pongs() const;
    void postError(size_t surface, uint32_t code, const std::string& message);
    /// Whether frame callbacks are answered; answering again answers those held back.
    void answerFrames(bool answer);
    /// Whether a buffer is released once the next one is committed; otherwise it is held for ever.
    void releaseBuffers(bool release);

    const std::vector<SurfaceRecord>& surfaces() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace fakewl
