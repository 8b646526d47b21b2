#include "app/scene_trace.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "module/view/tavrin_screensaver_view.h"

namespace app {
namespace {

class JsonLine {
public:
    explicit JsonLine(std::string& out) : out_(out) {}
    JsonLine& raw(const char* text) {
        out_ += text;
        return *this;
    }
    JsonLine& number(double v) {
        if (!std::isfinite(v)) return raw("null");
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        return raw(buffer);
    }
    JsonLine& integer(int64_t v) {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "%" PRId64, v);
        return raw(buffer);
    }
    JsonLine& unsignedInteger(uint64_t v) {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "%" PRIu64, v);
        return raw(buffer);
    }
    JsonLine& boolean(bool v) { return raw(v ? "true" : "false"); }
    JsonLine& pair(double x, double y) { return raw("[").number(x).raw(",").number(y).raw("]"); }
    JsonLine& rect(const host::CGRect& r) {
        return raw("[").number(r.origin.x).raw(",").number(r.origin.y).raw(",").number(r.size.width).raw(",")
            .number(r.size.height).raw("]");
    }

private:
    std::string& out_;
};

}  // namespace

void appendTraceLine(std::string& out, int display, const tavrin::Tavrin_ScreenSaverView& view) {
    JsonLine line(out);
    line.raw("{\"display\":").integer(display).raw(",\"frameCounter\":").unsignedInteger(view.frameCounter);
    line.raw(",\"objects\":[");
    for (int i = 0; i < tavrin::kObjectCount; ++i) {
        const tavrin::SceneObject& o = view.objects[i];
        line.raw(i ? ",{" : "{");
        line.raw("\"position\":").pair(o.position.x, o.position.y);
        line.raw(",\"velocity\":").pair(o.velocity.x, o.velocity.y);
        line.raw(",\"size\":").pair(o.size.width, o.size.height);
        line.raw(",\"rotation\":").number(o.rotation);
        line.raw(",\"rotationSpeed\":").number(o.rotationSpeed);
        line.raw(",\"collisionCooldown\":").integer(o.collisionCooldown);
        line.raw(",\"flashIntensity\":").number(o.flashIntensity);
        line.raw("}");
    }
    line.raw("],\"trails\":[");
    for (int i = 0; i < tavrin::kObjectCount; ++i)
        line.raw(i ? ",{\"count\":" : "{\"count\":").integer(view.trails[i].count).raw("}");
    line.raw("],\"activeParticleCount\":").integer(view.activeParticleCount);
    line.raw(",\"colorDriftPhase\":").number(view.colorDriftPhase);
    line.raw(",\"edgeNeighbors\":[");
    for (int e = 0; e < tavrin::kEdgeCount; ++e) {
        const tavrin::EdgeNeighbor& n = view.edgeNeighbors[e];
        line.raw(e ? ",{" : "{");
        line.raw("\"hasNeighbor\":").boolean(n.hasNeighbor);
        line.raw(",\"neighborScreenFrame\":").rect(n.neighborScreenFrame);
        line.raw(",\"overlapMin\":").number(n.overlapMin);
        line.raw(",\"overlapMax\":").number(n.overlapMax);
        line.raw("}");
    }
    line.raw("]}\n");
}

std::string expandTracePath(std::string_view pattern, long pid) {
    std::string path;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 'p' || pattern[i + 1] == '%')) {
            path += pattern[i + 1] == 'p' ? std::to_string(pid) : std::string("%");
            ++i;
        } else {
            path += pattern[i];
        }
    }
    return path;
}

bool LiveTrace::open(const std::string& path, std::string* error) {
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        *error = "cannot write the trace '" + path + "': " + std::strerror(errno);
        return false;
    }
    path_ = path;
    // One scene line is about 1.5 KB: room for a few, once.
    line_.reserve(8192);
    return true;
}

bool LiveTrace::write(int display, const tavrin::Tavrin_ScreenSaverView& view, std::string* error) {
    if (!file_) return false;
    line_.clear();
    appendTraceLine(line_, display, view);
    if (std::fwrite(line_.data(), 1, line_.size(), file_.get()) != line_.size() || std::fflush(file_.get()) != 0) {
        *error = "cannot write the trace '" + path_ + "': " + std::strerror(errno) + "; tracing stops";
        file_.reset();
        return false;
    }
    return true;
}

}  // namespace app
