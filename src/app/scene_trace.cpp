#include "app/scene_trace.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "view/tavrin_screensaver_view.h"

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

}  // namespace app
