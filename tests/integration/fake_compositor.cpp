#include "fake_compositor.h"

#include <sys/socket.h>
#include <unistd.h>
#include <wayland-server.h>

#include <QSocketNotifier>
#include <algorithm>
#include <list>
#include <map>

#include "wlr-layer-shell-unstable-v1-server-protocol.h"
#include "xdg-shell-server-protocol.h"

namespace fakewl {
namespace {

/// Requests that change nothing the tests look at.
constexpr auto ignore = [](auto...) {};

void destroyResource(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }

template <typename T>
T* dataOf(wl_resource* resource) {
    return static_cast<T*>(wl_resource_get_user_data(resource));
}

struct Output {
    FakeOutput description;
    wl_global* global = nullptr;  ///< null once removed
    std::vector<wl_resource*> resources;
};

/// A wl_surface and, once it has a role, its layer surface or its xdg_surface and toplevel; freed
/// when all are gone.
struct Surface {
    FakeCompositor::State* state = nullptr;
    wl_resource* resource = nullptr;
    wl_resource* layer = nullptr;
    wl_resource* xdgSurface = nullptr;
    wl_resource* toplevel = nullptr;
    const Output* output = nullptr;
    size_t record = 0;
    wl_resource* pendingBuffer = nullptr;  // the client never destroys a buffer between attach and commit
    bool configured = false;
    std::vector<wl_resource*> pendingFrames, frames;

    bool hasRole() const { return layer || toplevel; }
    void freeWhenGone() {
        if (!resource && !layer && !xdgSurface && !toplevel) delete this;
    }
};

/// A committed buffer, followed until the client destroys it.
struct BufferWatch {
    wl_listener destroyed;  // first: the watch is found from it
    FakeCompositor::State* state;
    size_t record;
    bool held;
};

}  // namespace

struct FakeCompositor::State {
    wl_display* display = wl_display_create();
    std::unique_ptr<QSocketNotifier> notifier;
    bool answerFrames = true, releaseBuffers = true;
    uint32_t serial = 0;
    std::list<Output> outputs;           // never shrinks: resources point at their output
    std::vector<SurfaceRecord> records;  // by role, in the order they were made
    std::vector<Surface*> roles;         // the same order; null once the role is destroyed
    std::vector<wl_resource*> bases;  // xdg_wm_base resources bound
    int pongs = 0;
    std::map<wl_resource*, BufferWatch*> buffers;

    ~State() {
        notifier.reset();
        wl_display_destroy_clients(display);
        wl_display_destroy(display);
    }

    Output* output(const std::string& name) {
        for (Output& o : outputs)
            if (o.global && o.description.name == name) return &o;
        return nullptr;
    }

    void sendConfigure(size_t record, uint32_t width, uint32_t height, bool fullscreen = true) {
        records[record].lastSerialSent = ++serial;
        Surface& s = *roles[record];
        if (s.layer) {
            zwlr_layer_surface_v1_send_configure(s.layer, serial, width, height);
            return;
        }
        wl_array states;
        wl_array_init(&states);
        if (fullscreen)
            *static_cast<uint32_t*>(wl_array_add(&states, sizeof(uint32_t))) = XDG_TOPLEVEL_STATE_FULLSCREEN;
        xdg_toplevel_send_configure(s.toplevel, int32_t(width), int32_t(height), &states);
        wl_array_release(&states);
        xdg_surface_send_configure(s.xdgSurface, serial);
    }

    /// Records a role for the surface, on the output given.
    void addRole(Surface& s, wl_resource* output) {
        s.output = output ? dataOf<Output>(output) : nullptr;
        s.record = records.size();
        records.emplace_back().output = s.output ? s.output->description.name : std::string();
        roles.push_back(&s);
    }

    void answer(Surface& s) {
        for (wl_resource* callback : s.frames) {
            wl_callback_send_done(callback, 0);
            wl_resource_destroy(callback);
        }
        s.frames.clear();
    }

    void commitBuffer(const Surface& s, wl_resource* buffer) {
        SurfaceRecord& r = records[s.record];
        BufferWatch*& watch = buffers[buffer];
        if (!watch) {
            watch = new BufferWatch{{}, this, s.record, false};
            watch->destroyed.notify = [](wl_listener* listener, void* gone) {
                auto* w = reinterpret_cast<BufferWatch*>(listener);
                wl_list_remove(&listener->link);
                --w->state->records[w->record].liveBuffers;
                w->state->buffers.erase(static_cast<wl_resource*>(gone));
                delete w;
            };
            wl_resource_add_destroy_listener(buffer, &watch->destroyed);
            r.mostLiveBuffers = std::max(r.mostLiveBuffers, ++r.liveBuffers);
        }
        if (watch->held) ++r.attachedWhileHeld;
        watch->held = true;
        wl_shm_buffer* shm = wl_shm_buffer_get(buffer);
        r.commits.emplace_back(shm ? wl_shm_buffer_get_width(shm) : 0, shm ? wl_shm_buffer_get_height(shm) : 0);
        for (auto& [other, w] : buffers)
            if (releaseBuffers && w->record == s.record && other != buffer && w->held) {
                wl_buffer_send_release(other);
                w->held = false;
            }
    }
};

namespace {

using State = FakeCompositor::State;

void describe(const Output& o, wl_resource* r) {
    const FakeOutput& d = o.description;
    wl_output_send_geometry(r, d.x, d.y, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "fake", "fake", WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(r, WL_OUTPUT_MODE_CURRENT, d.width * d.scale, d.height * d.scale, 60000);
    wl_output_send_scale(r, d.scale);
    if (wl_resource_get_version(r) >= WL_OUTPUT_NAME_SINCE_VERSION) wl_output_send_name(r, d.name.c_str());
    if (d.describe) wl_output_send_done(r);
}

void commit(wl_client*, wl_resource* resource) {
    Surface& s = *dataOf<Surface>(resource);
    State& st = *s.state;
    if (s.pendingBuffer && s.hasRole()) st.commitBuffer(s, s.pendingBuffer);
    s.pendingBuffer = nullptr;
    s.frames.insert(s.frames.end(), s.pendingFrames.begin(), s.pendingFrames.end());
    s.pendingFrames.clear();
    if (st.answerFrames) st.answer(s);
    // A role's first commit asks for its size.
    if (!s.hasRole() || s.configured || !s.output) return;
    s.configured = true;
    const FakeOutput& d = s.output->description;
    const auto size = d.firstConfigure.value_or(std::pair{uint32_t(d.width), uint32_t(d.height)});
    if (d.configureNewSurfaces) st.sendConfigure(s.record, size.first, size.second, d.fullscreenToplevels);
}

void createSurface(wl_client* client, wl_resource* compositor, uint32_t id) {
    static const struct wl_surface_interface impl = {
        destroyResource,
        [](wl_client*, wl_resource* r, wl_resource* buffer, int32_t, int32_t) {
            dataOf<Surface>(r)->pendingBuffer = buffer;
        },
        ignore,
        [](wl_client* c, wl_resource* r, uint32_t callback) {
            dataOf<Surface>(r)->pendingFrames.push_back(wl_resource_create(c, &wl_callback_interface, 1, callback));
        },
        ignore, ignore, commit, ignore, ignore, ignore, ignore,
    };
    auto* s = new Surface{};
    s->state = dataOf<State>(compositor);
    s->resource = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(compositor), id);
    wl_resource_set_implementation(s->resource, &impl, s, [](wl_resource* gone) {
        Surface* s = dataOf<Surface>(gone);
        s->resource = nullptr;
        s->freeWhenGone();
    });
}

void getLayerSurface(wl_client* client, wl_resource* shell, uint32_t id, wl_resource* surface, wl_resource* output,
                     uint32_t, const char*) {
    static const struct zwlr_layer_surface_v1_interface impl = {
        ignore, ignore, ignore, ignore, ignore, ignore,
        [](wl_client*, wl_resource* r, uint32_t serial) {
            Surface* s = dataOf<Surface>(r);
            s->state->records[s->record].lastSerialAcked = serial;
        },
        destroyResource, ignore,
    };
    Surface* s = dataOf<Surface>(surface);
    s->layer = wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(shell), id);
    dataOf<State>(shell)->addRole(*s, output);
    wl_resource_set_implementation(s->layer, &impl, s, [](wl_resource* gone) {
        Surface* s = dataOf<Surface>(gone);
        s->state->records[s->record].destroyed = true;
        s->state->roles[s->record] = nullptr;
        s->layer = nullptr;
        s->freeWhenGone();
    });
}

void getToplevel(wl_client* client, wl_resource* xdgSurface, uint32_t id) {
    // destroy, then set_parent to unset_maximized, set_fullscreen, unset_fullscreen, set_minimized.
    static const struct xdg_toplevel_interface impl = {
        destroyResource, ignore, ignore, ignore, ignore, ignore, ignore, ignore, ignore, ignore, ignore,
        [](wl_client*, wl_resource* r, wl_resource* output) {
            Surface* s = dataOf<Surface>(r);
            State& st = *s->state;
            // The first request, before the first commit, names the output the toplevel is for.
            if (!s->configured && !s->output && output) {
                s->output = dataOf<Output>(output);
                st.records[s->record].output = s->output->description.name;
            }
            if (output && dataOf<Output>(output) == s->output) ++st.records[s->record].fullscreenRequests;
        },
        ignore, ignore,
    };
    Surface* s = dataOf<Surface>(xdgSurface);
    s->toplevel = wl_resource_create(client, &xdg_toplevel_interface, wl_resource_get_version(xdgSurface), id);
    s->state->addRole(*s, nullptr);
    wl_resource_set_implementation(s->toplevel, &impl, s, [](wl_resource* gone) {
        Surface* s = dataOf<Surface>(gone);
        s->state->records[s->record].destroyed = true;
        s->state->roles[s->record] = nullptr;
        s->toplevel = nullptr;
        s->freeWhenGone();
    });
}

void getXdgSurface(wl_client* client, wl_resource* base, uint32_t id, wl_resource* surface) {
    static const struct xdg_surface_interface impl = {
        destroyResource, getToplevel, ignore, ignore,
        [](wl_client*, wl_resource* r, uint32_t serial) {
            Surface* s = dataOf<Surface>(r);
            if (s->toplevel) s->state->records[s->record].lastSerialAcked = serial;
        },
    };
    Surface* s = dataOf<Surface>(surface);
    s->xdgSurface = wl_resource_create(client, &xdg_surface_interface, wl_resource_get_version(base), id);
    wl_resource_set_implementation(s->xdgSurface, &impl, s, [](wl_resource* gone) {
        Surface* s = dataOf<Surface>(gone);
        s->xdgSurface = nullptr;
        s->freeWhenGone();
    });
}

}  // namespace

FakeCompositor::FakeCompositor() : state_(std::make_unique<State>()) {
    State& st = *state_;
    wl_display_init_shm(st.display);
    wl_global_create(st.display, &wl_compositor_interface, 4, &st, [](wl_client* c, void* d, uint32_t v, uint32_t id) {
        static const struct wl_compositor_interface impl = {
            createSurface, [](wl_client* c, wl_resource* r, uint32_t region) {
                static const struct wl_region_interface regionImpl = {destroyResource, ignore, ignore};
                wl_resource* made = wl_resource_create(c, &wl_region_interface, wl_resource_get_version(r), region);
                wl_resource_set_implementation(made, &regionImpl, nullptr, nullptr);
            }};
        wl_resource_set_implementation(wl_resource_create(c, &wl_compositor_interface, int(v), id), &impl, d, nullptr);
    });
    wl_global_create(st.display, &zwlr_layer_shell_v1_interface, 4, &st,
                     [](wl_client* c, void* d, uint32_t v, uint32_t id) {
                         static const struct zwlr_layer_shell_v1_interface impl = {getLayerSurface, destroyResource};
                         wl_resource* r = wl_resource_create(c, &zwlr_layer_shell_v1_interface, int(v), id);
                         wl_resource_set_implementation(r, &impl, d, nullptr);
                     });
    wl_global_create(st.display, &xdg_wm_base_interface, 1, &st, [](wl_client* c, void* d, uint32_t v, uint32_t id) {
        static const struct xdg_wm_base_interface impl = {
            destroyResource, ignore, getXdgSurface,
            [](wl_client*, wl_resource* r, uint32_t) { ++dataOf<State>(r)->pongs; },
        };
        wl_resource* r = wl_resource_create(c, &xdg_wm_base_interface, int(v), id);
        wl_resource_set_implementation(r, &impl, d, [](wl_resource* gone) {
            std::erase(dataOf<State>(gone)->bases, gone);
        });
        dataOf<State>(r)->bases.push_back(r);
    });
    // Qt's event loop runs the compositor too, between the client's turns.
    st.notifier = std::make_unique<QSocketNotifier>(wl_event_loop_get_fd(wl_display_get_event_loop(st.display)),
                                                    QSocketNotifier::Read);
    QObject::connect(st.notifier.get(), &QSocketNotifier::activated, [this] { dispatch(0); });
}

FakeCompositor::~FakeCompositor() = default;

void FakeCompositor::dispatch(int timeoutMs) {
    wl_event_loop_dispatch(wl_display_get_event_loop(state_->display), timeoutMs);
    wl_display_flush_clients(state_->display);
}

int FakeCompositor::connectClient() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return -1;
    wl_client_create(state_->display, fds[0]);
    return fds[1];
}

void FakeCompositor::addOutput(const FakeOutput& output) {
    Output& o = state_->outputs.emplace_back();
    o.description = output;
    o.global = wl_global_create(state_->display, &wl_output_interface, 4, &o,
                                [](wl_client* c, void* data, uint32_t v, uint32_t id) {
        static const struct wl_output_interface impl = {destroyResource};
        auto* o = static_cast<Output*>(data);
        wl_resource* r = wl_resource_create(c, &wl_output_interface, int(v), id);
        wl_resource_set_implementation(r, &impl, o, [](wl_resource* gone) {
            std::erase(dataOf<Output>(gone)->resources, gone);
        });
        o->resources.push_back(r);
        describe(*o, r);
    });
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::updateOutput(const FakeOutput& output) {
    if (Output* o = state_->output(output.name)) {
        o->description = output;
        for (wl_resource* r : o->resources) describe(*o, r);
    }
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::removeOutput(const std::string& name) {
    if (Output* o = state_->output(name)) wl_global_remove(std::exchange(o->global, nullptr));
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::close(size_t surface) {
    if (const Surface* s = state_->roles.at(surface)) {
        if (s->layer)
            zwlr_layer_surface_v1_send_closed(s->layer);
        else
            xdg_toplevel_send_close(s->toplevel);
    }
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::configureToplevel(size_t surface, uint32_t width, uint32_t height, bool fullscreen) {
    if (state_->roles.at(surface)) state_->sendConfigure(surface, width, height, fullscreen);
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::enter(size_t surface, const std::string& output) {
    const Surface* s = state_->roles.at(surface);
    const Output* o = state_->output(output);
    if (s && s->resource && o)
        for (wl_resource* r : o->resources)
            if (wl_resource_get_client(r) == wl_resource_get_client(s->resource)) wl_surface_send_enter(s->resource, r);
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::ping() {
    for (wl_resource* base : state_->bases) xdg_wm_base_send_ping(base, ++state_->serial);
    wl_display_flush_clients(state_->display);
}

int FakeCompositor::pongs() const { return state_->pongs; }

void FakeCompositor::postError(size_t surface, uint32_t code, const std::string& message) {
    if (const Surface* s = state_->roles.at(surface))
        wl_resource_post_error(s->layer ? s->layer : s->toplevel, code, "%s", message.c_str());
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::answerFrames(bool answer) {
    state_->answerFrames = answer;
    for (Surface* s : state_->roles)
        if (s && answer) state_->answer(*s);
    wl_display_flush_clients(state_->display);
}

void FakeCompositor::releaseBuffers(bool release) { state_->releaseBuffers = release; }

const std::vector<SurfaceRecord>& FakeCompositor::surfaces() const { return state_->records; }

}  // namespace fakewl
