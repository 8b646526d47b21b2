#include "support/fake_host.h"
#include "view/tavrin_screensaver_view.h"

using namespace tavrin;

class ViewCreation : public fake::HostTest {};

TEST_F(ViewCreation, FreshViewJoinsLiveViewsAndLeavesOnDestruction) {
    auto a = Tavrin_ScreenSaverView::create({{0, 0}, {100, 100}}, false);
    ASSERT_TRUE(a);
    EXPECT_EQ(Tavrin_ScreenSaverView::sLiveViews().size(), 1u);
    a.reset();
    EXPECT_TRUE(Tavrin_ScreenSaverView::sLiveViews().empty());
}
