// Display frames in the host's space: origin at the primary's lower-left corner, y upwards, and
// one stable object per display.
#include <QGuiApplication>
#include <QScreen>

#include "platform/qt/qt_screens.h"
#include "qt_host_test_support.h"

using host::NSMakeRect;
using qtbackend::globalFrameFromQt;

namespace {

const QRect kPrimary(0, 0, 1920, 1080);

TEST(QtScreenConversion, PrimaryKeepsItsSizeAtTheOrigin) {
    EXPECT_EQ(globalFrameFromQt(kPrimary, kPrimary), NSMakeRect(0, 0, 1920, 1080));
}

TEST(QtScreenConversion, ShorterScreenAlignedAtTheTopSitsHigherInYUp) {
    // Qt aligns the tops (y = 0); in y-up space the 720-high screen's bottom is 360 above the
    // primary's bottom.
    EXPECT_EQ(globalFrameFromQt(kPrimary, QRect(1920, 0, 1280, 720)), NSMakeRect(1920, 360, 1280, 720));
    // Aligned at the bottom in Qt (y = 360) it shares the primary's bottom edge.
    EXPECT_EQ(globalFrameFromQt(kPrimary, QRect(1920, 360, 1280, 720)), NSMakeRect(1920, 0, 1280, 720));
}

TEST(QtScreenConversion, AboveAndBelowSwapSides) {
    EXPECT_EQ(globalFrameFromQt(kPrimary, QRect(0, -1080, 1920, 1080)), NSMakeRect(0, 1080, 1920, 1080));
    EXPECT_EQ(globalFrameFromQt(kPrimary, QRect(200, 1080, 1024, 768)), NSMakeRect(200, -768, 1024, 768));
    EXPECT_EQ(globalFrameFromQt(kPrimary, QRect(-1280, 100, 1280, 1024)), NSMakeRect(-1280, -44, 1280, 1024));
}

TEST(QtScreenConversion, PrimaryAwayFromQtsOriginStillDefinesTheOrigin) {
    const QRect primary(-1920, -500, 1920, 1080);
    EXPECT_EQ(globalFrameFromQt(primary, primary), NSMakeRect(0, 0, 1920, 1080));
    EXPECT_EQ(globalFrameFromQt(primary, QRect(0, -500, 800, 600)), NSMakeRect(1920, 480, 800, 600));
}

TEST(QtScreenList, ListsTheLiveScreensWithThePrimaryAtTheOrigin) {
    qtbackend::QtScreenList list;
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(list.screens().size(), static_cast<size_t>(screens.size()));
    QScreen* primary = QGuiApplication::primaryScreen();
    const auto frame = list.screenFor(primary)->frame();
    EXPECT_EQ(frame.origin, (host::CGPoint{0, 0}));
    EXPECT_EQ(frame.size, (host::CGSize{double(primary->geometry().width()), double(primary->geometry().height())}));
    for (size_t i = 0; i < list.screens().size(); ++i)
        EXPECT_EQ(list.screens()[i], list.screenFor(screens[static_cast<qsizetype>(i)])) << "Qt's order is kept";
}

TEST(QtScreenList, KeepsOneObjectPerScreenAcrossRefreshes) {
    qtbackend::QtScreenList list;
    QScreen* primary = QGuiApplication::primaryScreen();
    const std::shared_ptr<host::Screen> before = list.screenFor(primary);
    list.refresh();
    list.refresh(QGuiApplication::screens(), primary);
    EXPECT_EQ(list.screenFor(primary), before) << "displays are compared by identity";
}

TEST(QtScreenList, ForgetsARemovedScreenAndKeepsItsLastFrame) {
    qtbackend::QtScreenList list;
    QScreen* primary = QGuiApplication::primaryScreen();
    const std::shared_ptr<host::Screen> old = list.screenFor(primary);
    const host::CGRect oldFrame = old->frame();

    list.refresh({}, nullptr);
    EXPECT_TRUE(list.screens().empty());
    EXPECT_EQ(list.screenFor(primary), nullptr);
    EXPECT_EQ(old->frame(), oldFrame) << "a holder of the old object can still read it";

    list.refresh(QGuiApplication::screens(), primary);
    EXPECT_NE(list.screenFor(primary), old) << "a display that comes back is a new display";
    EXPECT_EQ(list.screenFor(nullptr), nullptr);
}

}  // namespace
