// Edge neighbours: which display adjoins each side, the shared stretch measured from this display's
// origin, the strict 2-point tolerances, and a view on no display.
#include <cstdio>

#include "support/scene_fixture.h"

using namespace tavrin;

class EdgeNeighbors : public fake::SceneTest {
protected:
    static constexpr CGRect kMain{{0, 0}, {1920, 1080}};

    /// The view on the first display of the list, with its neighbours as "edge:min-max ".
    std::string neighboursOfFirst(std::initializer_list<CGRect> frames) {
        fake.screenList.clear();
        std::vector<std::shared_ptr<fake::FakeScreen>> displays;
        for (const CGRect& f : frames) displays.push_back(addDisplay(f));
        view = showOn(displays[0]);
        std::string out;
        for (int e = 0; e < kEdgeCount; ++e) {
            const EdgeNeighbor& n = view->edgeNeighbors[e];
            char text[64];
            std::snprintf(text, sizeof text, "%d:%g-%g ", e, n.overlapMin, n.overlapMax);
            if (n.hasNeighbor) out += text;
        }
        return out;
    }
    std::shared_ptr<View> view;
};

TEST_F(EdgeNeighbors, EachSideWithItsStretchFromTheOwnOrigin) {
    EXPECT_EQ(neighboursOfFirst({kMain}), "");
    EXPECT_TRUE(view->edgeNeighborsValid);
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 0}, {1920, 1080}}}), "1:0-1080 ");
    EXPECT_EQ(view->edgeNeighbors[EdgeRight].neighborScreenFrame, (CGRect{{1920, 0}, {1920, 1080}}));
    EXPECT_EQ(neighboursOfFirst({{{1920, 0}, {1920, 1080}}, kMain}), "0:0-1080 ");
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 500}, {1280, 720}}}), "1:500-1080 ");
    EXPECT_EQ(neighboursOfFirst({{{1920, 500}, {1280, 720}}, kMain}), "0:0-580 ");
    EXPECT_EQ(neighboursOfFirst({kMain, {{0, 1080}, {1920, 1080}}}), "3:0-1920 ");
    EXPECT_EQ(neighboursOfFirst({{{0, 1080}, {1920, 1080}}, kMain}), "2:0-1920 ");
}

TEST_F(EdgeNeighbors, GapAndSharedStretchTestsAreStrict) {
    EXPECT_EQ(neighboursOfFirst({kMain, {{1921.5, 0}, {1920, 1080}}}), "1:0-1080 ");
    EXPECT_EQ(neighboursOfFirst({kMain, {{1922, 0}, {1920, 1080}}}), "");
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 1078}, {1920, 1080}}}), "");
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 1077.5}, {1920, 1080}}}), "1:1077.5-1080 ");
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 1080}, {1920, 1080}}}), "");  // corner only
}

TEST_F(EdgeNeighbors, LaterDisplayInTheListWinsASide) {
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 0}, {1920, 540}}, {{1920, 540}, {1920, 540}}}), "1:540-1080 ");
    EXPECT_EQ(view->edgeNeighbors[EdgeRight].neighborScreenFrame, (CGRect{{1920, 540}, {1920, 540}}));
}

TEST_F(EdgeNeighbors, WindowOnNoDisplayClearsAndStaysStale) {
    EXPECT_EQ(neighboursOfFirst({kMain, {{1920, 0}, {1920, 1080}}}), "1:0-1080 ");
    auto display = windowOf(*view).onScreen;
    windowOf(*view).onScreen = nullptr;
    view->edgeNeighborsValid = false;
    view->layoutIfNeeded();
    EXPECT_FALSE(view->edgeNeighborsValid);
    EXPECT_FALSE(view->edgeNeighbors[EdgeRight].hasNeighbor);
    windowOf(*view).onScreen = display;  // the next layout tries again
    view->layoutIfNeeded();
    EXPECT_TRUE(view->edgeNeighbors[EdgeRight].hasNeighbor);
}
