// Edge neighbours: which display adjoins each side, the shared stretch from this display's origin,
// the strict 2-point tolerances, and a view on no display.
#include "support/scene_fixture.h"

using namespace tavrin;

class EdgeNeighbors : public fake::SceneTest {
protected:
    /// The neighbours seen by a view on the first display of the list.
    std::shared_ptr<View> viewOnFirstOf(std::initializer_list<CGRect> frames) {
        std::shared_ptr<fake::FakeScreen> first;
        for (const CGRect& f : frames) {
            auto s = addDisplay(f);
            if (!first) first = s;
        }
        return showOn(first);
    }
    static int neighborCount(const View& v) {
        int n = 0;
        for (const EdgeNeighbor& e : v.edgeNeighbors) n += e.hasNeighbor;
        return n;
    }
    static void expectStretch(const View& v, int64_t edge, double lo, double hi) {
        ASSERT_TRUE(v.edgeNeighbors[edge].hasNeighbor) << "edge " << edge;
        EXPECT_EQ(v.edgeNeighbors[edge].overlapMin, lo);
        EXPECT_EQ(v.edgeNeighbors[edge].overlapMax, hi);
    }
};

TEST_F(EdgeNeighbors, SingleDisplayHasNoNeighbours) {
    auto view = viewOnFirstOf({{{0, 0}, {1920, 1080}}});
    EXPECT_TRUE(view->edgeNeighborsValid);
    EXPECT_EQ(neighborCount(*view), 0);
}

TEST_F(EdgeNeighbors, SideBySideDisplaysSeeEachOther) {
    auto a = addDisplay({{0, 0}, {1920, 1080}});
    auto b = addDisplay({{1920, 0}, {1920, 1080}});
    auto left = showOn(a), right = showOn(b);
    expectStretch(*left, EdgeRight, 0, 1080);
    EXPECT_EQ(left->edgeNeighbors[EdgeRight].neighborScreenFrame, b->frame());
    expectStretch(*right, EdgeLeft, 0, 1080);
    EXPECT_EQ(right->edgeNeighbors[EdgeLeft].neighborScreenFrame, a->frame());
    EXPECT_EQ(neighborCount(*left), 1);
    EXPECT_EQ(neighborCount(*right), 1);
}

TEST_F(EdgeNeighbors, StretchIsMeasuredFromEachDisplaysOwnOrigin) {
    auto a = addDisplay({{0, 0}, {1920, 1080}});
    auto b = addDisplay({{1920, 500}, {1280, 720}});
    auto c = addDisplay({{0, 1080}, {1000, 1080}});
    auto first = showOn(a), second = showOn(b), above = showOn(c);
    expectStretch(*first, EdgeRight, 500, 1080);
    expectStretch(*second, EdgeLeft, 0, 580);
    expectStretch(*first, EdgeTop, 0, 1000);
    expectStretch(*above, EdgeBottom, 0, 1000);
    EXPECT_EQ(neighborCount(*second), 1);
}

TEST_F(EdgeNeighbors, GapsAndStretchesAreStrict) {
    const std::pair<CGRect, bool> cases[] = {
        {{{1921.5, 0}, {1920, 1080}}, true},   // gap 1.5
        {{{1922, 0}, {1920, 1080}}, false},    // gap exactly 2
        {{{1918.5, 0}, {1920, 1080}}, true},   // overlapping by 1.5
        {{{1920, 1078}, {1920, 1080}}, false}, // shares exactly 2 points
        {{{1920, 1077.5}, {1920, 1080}}, true},
        {{{1920, 1080}, {1920, 1080}}, false}, // corner only
    };
    for (auto [frame, adjoins] : cases) {
        fake.screenList.clear();
        auto view = viewOnFirstOf({{{0, 0}, {1920, 1080}}, frame});
        EXPECT_EQ(view->edgeNeighbors[EdgeRight].hasNeighbor, adjoins) << frame.origin.x << "," << frame.origin.y;
        EXPECT_EQ(neighborCount(*view), adjoins ? 1 : 0);
    }
}

TEST_F(EdgeNeighbors, LaterDisplayInTheListWinsASide) {
    auto view = viewOnFirstOf({{{0, 0}, {1920, 1080}}, {{1920, 0}, {1920, 540}}, {{1920, 540}, {1920, 540}}});
    expectStretch(*view, EdgeRight, 540, 1080);
    EXPECT_EQ(view->edgeNeighbors[EdgeRight].neighborScreenFrame, (CGRect{{1920, 540}, {1920, 540}}));
}

TEST_F(EdgeNeighbors, WindowOnNoDisplayClearsAndStaysStale) {
    auto a = addDisplay({{0, 0}, {1920, 1080}});
    addDisplay({{1920, 0}, {1920, 1080}});
    auto view = showOn(a);
    ASSERT_TRUE(view->edgeNeighbors[EdgeRight].hasNeighbor);
    windowOf(*view).onScreen = nullptr;
    view->edgeNeighborsValid = false;
    view->layoutIfNeeded();
    EXPECT_FALSE(view->edgeNeighborsValid);
    EXPECT_EQ(neighborCount(*view), 0);
    windowOf(*view).onScreen = a;  // the next layout tries again
    view->layoutIfNeeded();
    EXPECT_TRUE(view->edgeNeighborsValid);
    EXPECT_EQ(neighborCount(*view), 1);
}
