// Setting up a view the way the tests and the benchmarks need it: made and put into a window, and
// every effect switched on or off at once.
#pragma once

#include <memory>

#include "module/settings/settings_table.h"
#include "module/view/tavrin_screensaver_view.h"
#include "support/fake_host.h"

namespace fake {

struct ViewSetup {
    bool preview = false;
    /// Tell the view it moved to the window, as a host does when it shows it: the view lays
    /// itself out and finds its neighbours.
    bool moveToWindow = false;
};

/// A new view of `frame` in `window` (whatever display the window is on), which the view holds;
/// none when the module refuses the frame.
inline std::shared_ptr<tavrin::Tavrin_ScreenSaverView> viewOnWindow(const host::CGRect& frame,
                                                                    const std::shared_ptr<host::Window>& window,
                                                                    ViewSetup setup = {}) {
    auto view = tavrin::Tavrin_ScreenSaverView::create(frame, setup.preview);
    if (!view) return nullptr;
    view->hostAttachWindow(window);
    if (setup.moveToWindow) view->viewDidMoveToWindow();
    return view;
}

/// Every switch of the settings table on or off.
inline void setEveryEffect(tavrin::Tavrin_ScreenSaverView& view, bool on) {
    for (const tavrin::BoolSetting& setting : tavrin::kBoolSettings) view.*setting.member = on;
}

}  // namespace fake
