#include "fake_compositor.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <list>
#include <map>
#include <mutex>

#include "wlr-layer-shell-unstable-v1-server-protocol.h"

namespace fakewl {
namespace {

/// Requests that change nothing the tests look at.
constexpr auto ignore = [](auto...) {};

void destroyResource(wl_client*, wl_resource* resource) { wl_resource_destroy(resource); }

struct Output {
    FakeOutput description;
    wl_global* global = nullptr;
    bool removed = false;
    std::vector<wl_resource*> resources;
};

struct Surface {
    FakeCompositor::State* state = nullptr;
    wl_resource* resource = nullptr;
    wl_resource* layer = nullptr;  ///< its layer surface; the object lives until both are gone
    const Output* output = nullptr;
    size_t record = 0;
    wl_resource* pendingBuffer = nullptr;
    bool attached = false;
    bool configured = false;
    std::vector<wl_resource*> pendingFrames, frames;
};

/// A committed buffer, followed until the client destroys it.
struct BufferWatch {
    wl_listener destroyed;  // first: the watch is found from it
    FakeCompositor::State* state;
    wl_resource* buffer;
    size_t record;
    bool held;
};

template <typename T>
T* dataOf(wl_resource* resource) {
    return static_cast<T*>(wl_resource_get_user_data(resource));
}

}  // namespace

struct FakeCompositor::State {
    wl_display* display = wl_display_create();
    wl_event_loop* loop = wl_display_get_event_loop(display);
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::mutex mutex;
    std::vector<std::function<void()>> queue;
    bool stopping = false;
    bool answerFrames = true;
    bool releaseBuffers = true;
    uint32_t serial = 0;
    std::list<Output> outputs;            // never shrinks: resources point at their output
    std::vector<SurfaceRecord> records;   // by layer surface, in the order they were made
    std::vector<wl_resource*> layers;     // the same order; null once destroyed
    std::map<wl_resource*, BufferWatch*> buffers;

    ~State() {
        wl_display_destroy_clients(display);
        wl_display_destroy(display);
        ::close(wake);
    }

    Output* output(const std::string& name) {
        for (Output& o : outputs)
            if (!o.removed && o.description.name == name) return &o;
        return nullptr;
    }

    void sendConfigure(size_t record, uint32_t width, uint32_t height) {
        if (record >= layers.size() || !layers[record]) return;
        records[record].lastSerialSent = ++serial;
        zwlr_layer_surface_v1_send_configure(layers[record], serial, width, height);
    }

    void answer(Surface& s) {
        for (wl_resource* callback : s.frames) {
            wl_callback_send_done(callback, 0);
            wl_resource_destroy(callback);
        }
        s.frames.clear();
    }

    void commitBuffer(Surface& s, wl_resource* buffer) {
        SurfaceRecord& r = records[s.record];
        BufferWatch*& watch = buffers[buffer];
        if (!watch) {
            watch = new BufferWatch{{}, this, buffer, s.record, false};
            watch->destroyed.notify = [](wl_listener* listener, void*) {
                auto* w = reinterpret_cast<BufferWatch*>(listener);
                wl_list_remove(&listener->link);
                --w->state->records[w->record].liveBuffers;
                w->state->buffers.erase(w->buffer);
                delete w;
            };
            wl_resource_add_destroy_listener(buffer, &watch->destroyed);
            r.mostLiveBuffers = std::max(r.mostLiveBuffers, ++r.liveBuffers);
        }
        if (watch->held) ++r.attachedWhileHeld;
        watch->held = true;
        wl_shm_buffer* shm = wl_shm_buffer_get(buffer);
        r.commits.emplace_back(shm ? wl_shm_buffer_get_width(shm) : 0, shm ? wl_shm_buffer_get_height(shm) : 0);
        if (!releaseBuffers) return;
        for (auto& [other, w] : buffers)
            if (w->record == s.record && other != buffer && w->held) {
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

void bindOutput(wl_client* client, void* data, uint32_t version, uint32_t id) {
    static const struct wl_output_interface impl = {destroyResource};
    auto* o = static_cast<Output*>(data);
    wl_resource* r = wl_resource_create(client, &wl_output_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(r, &impl, o, [](wl_resource* gone) {
        std::erase(dataOf<Output>(gone)->resources, gone);
    });
    o->resources.push_back(r);
    describe(*o, r);
}

void commit(wl_client*, wl_resource* resource) {
    Surface& s = *dataOf<Surface>(resource);
    State& st = *s.state;
    if (s.attached && s.pendingBuffer && s.layer) st.commitBuffer(s, s.pendingBuffer);
    s.attached = false;
    s.pendingBuffer = nullptr;
    s.frames.insert(s.frames.end(), s.pendingFrames.begin(), s.pendingFrames.end());
    s.pendingFrames.clear();
    if (st.answerFrames) st.answer(s);
    // The first commit of a layer surface asks for its size.
    if (s.layer && !s.configured) {
        s.configured = true;
        const FakeOutput* d = s.output ? &s.output->description : nullptr;
        if (d && d->configureNewSurfaces) {
            const auto size = d->firstConfigure.value_or(
                std::pair{static_cast<uint32_t>(d->width), static_cast<uint32_t>(d->height)});
            st.sendConfigure(s.record, size.first, size.second);
        }
    }
}

void surfaceGone(wl_resource* resource) {
    Surface* s = dataOf<Surface>(resource);
    s->resource = nullptr;
    if (!s->layer) delete s;
}

void layerGone(wl_resource* resource) {
    Surface* s = dataOf<Surface>(resource);
    s->state->records[s->record].destroyed = true;
    s->state->layers[s->record] = nullptr;
    s->layer = nullptr;
    if (!s->resource) delete s;
}

void createSurface(wl_client* client, wl_resource* compositor, uint32_t id) {
    static const struct wl_surface_interface impl = {
        destroyResource,
        [](wl_client*, wl_resource* r, wl_resource* buffer, int32_t, int32_t) {
            dataOf<Surface>(r)->pendingBuffer = buffer;
            dataOf<Surface>(r)->attached = true;
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
    wl_resource_set_implementation(s->resource, &impl, s, surfaceGone);
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
    State& st = *dataOf<State>(shell);
    Surface* s = dataOf<Surface>(surface);
    s->layer = wl_resource_create(client, &zwlr_layer_surface_v1_interface, wl_resource_get_version(shell), id);
    s->output = output ? dataOf<Output>(output) : nullptr;
    s->record = st.records.size();
    st.records.emplace_back().output = s->output ? s->output->description.name : std::string();
    st.layers.push_back(s->layer);
    wl_resource_set_implementation(s->layer, &impl, s, layerGone);
}

template <typename Interface>
void bindGlobal(wl_client* client, void* data, uint32_t version, uint32_t id, const wl_interface* interface,
                const Interface* impl) {
    wl_resource* r = wl_resource_create(client, interface, static_cast<int>(version), id);
    wl_resource_set_implementation(r, impl, data, nullptr);
}

}  // namespace

FakeCompositor::FakeCompositor() : state_(std::make_unique<State>()) {
    State& st = *state_;
    wl_display_init_shm(st.display);
    wl_global_create(st.display, &wl_compositor_interface, 4, &st, [](wl_client* c, void* d, uint32_t v, uint32_t id) {
        static const struct wl_compositor_interface impl = {createSurface, ignore};
        bindGlobal(c, d, v, id, &wl_compositor_interface, &impl);
    });
    wl_global_create(st.display, &zwlr_layer_shell_v1_interface, 4, &st,
                     [](wl_client* c, void* d, uint32_t v, uint32_t id) {
                         static const struct zwlr_layer_shell_v1_interface impl = {getLayerSurface, destroyResource};
                         bindGlobal(c, d, v, id, &zwlr_layer_shell_v1_interface, &impl);
                     });
    wl_event_loop_add_fd(st.loop, st.wake, WL_EVENT_READABLE, [](int fd, uint32_t, void* data) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
        State& s = *static_cast<State*>(data);
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(s.mutex);
            work.swap(s.queue);
        }
        for (auto& w : work) w();
        return 0;
    }, &st);
    thread_ = std::thread([&st] {
        while (!st.stopping) {
            wl_event_loop_dispatch(st.loop, -1);
            wl_display_flush_clients(st.display);
        }
    });
}

FakeCompositor::~FakeCompositor() {
    run([this] { state_->stopping = true; });
    thread_.join();
}

void FakeCompositor::run(const std::function<void()>& work) {
    std::promise<void> done;
    {
        std::lock_guard lock(state_->mutex);
        state_->queue.push_back([&] {
            work();
            done.set_value();
        });
    }
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(state_->wake, &one, sizeof one);
    // The compositor's thread only ever waits in its event loop, which the write wakes.
    if (done.get_future().wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        std::fputs("fake compositor: its thread does not answer\n", stderr);
        std::abort();
    }
}

int FakeCompositor::connectClient() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return -1;
    run([&] { wl_client_create(state_->display, fds[0]); });
    return fds[1];
}

void FakeCompositor::addOutput(const FakeOutput& output) {
    run([&] {
        Output& o = state_->outputs.emplace_back();
        o.description = output;
        o.global = wl_global_create(state_->display, &wl_output_interface, 4, &o, bindOutput);
    });
}

void FakeCompositor::updateOutput(const FakeOutput& output) {
    run([&] {
        if (Output* o = state_->output(output.name)) {
            o->description = output;
            for (wl_resource* r : o->resources) describe(*o, r);
        }
    });
}

void FakeCompositor::removeOutput(const std::string& name) {
    run([&] {
        if (Output* o = state_->output(name)) {
            o->removed = true;
            wl_global_remove(o->global);
        }
    });
}

void FakeCompositor::configure(size_t surface, uint32_t width, uint32_t height) {
    run([&] { state_->sendConfigure(surface, width, height); });
}

void FakeCompositor::close(size_t surface) {
    run([&] {
        if (surface < state_->layers.size() && state_->layers[surface])
            zwlr_layer_surface_v1_send_closed(state_->layers[surface]);
    });
}

void FakeCompositor::postError(size_t surface, uint32_t code, const std::string& message) {
    run([&] {
        if (surface < state_->layers.size() && state_->layers[surface])
            wl_resource_post_error(state_->layers[surface], code, "%s", message.c_str());
    });
}

void FakeCompositor::answerFrames(bool answer) {
    run([&] {
        state_->answerFrames = answer;
        if (!answer) return;
        for (wl_resource* layer : state_->layers)
            if (layer) state_->answer(*dataOf<Surface>(layer));
    });
}

void FakeCompositor::releaseBuffers(bool release) {
    run([&] { state_->releaseBuffers = release; });
}

std::vector<SurfaceRecord> FakeCompositor::surfaces() {
    std::vector<SurfaceRecord> copy;
    run([&] { copy = state_->records; });
    return copy;
}

}  // namespace fakewl
