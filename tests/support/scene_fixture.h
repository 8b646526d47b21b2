// Fixture for tests of a running scene: fake displays, and views shown full-screen on them in
// visible windows, laid out and with their edge neighbours found.
#pragma once

#include <memory>

#include "support/fake_host.h"
#include "support/view_setup.h"
#include "module/view/tavrin_screensaver_view.h"

namespace fake {

class SceneTest : public HostTest {
protected:
    using View = tavrin::Tavrin_ScreenSaverView;

    std::shared_ptr<FakeScreen> addDisplay(CGRect frame) { return fake.screenList.add(frame); }

    /// A view as large as the display, in a visible window on it. Add every display first.
    std::shared_ptr<View> showOn(const std::shared_ptr<FakeScreen>& display, bool preview = false) {
        windows_.push_back(windowOn(display));
        return viewOnWindow({{0, 0}, display->frame().size}, windows_.back(), {.preview = preview, .moveToWindow = true});
    }
    std::shared_ptr<View> showView(CGSize size) { return showOn(addDisplay({{0, 0}, size})); }
    FakeWindow& windowOf(const View& view) { return *static_cast<FakeWindow*>(view.window()); }

    /// Puts a sprite at a place with a velocity, clear of cooldown and flash.
    static void place(View& view, int index, CGPoint position, CGPoint velocity) {
        view.objects[index].position = position;
        view.objects[index].velocity = velocity;
        view.objects[index].collisionCooldown = 0;
        view.objects[index].flashIntensity = 0;
    }

private:
    std::vector<std::shared_ptr<FakeWindow>> windows_;
};

}  // namespace fake
