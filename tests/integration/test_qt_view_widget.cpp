// A view in a Qt widget: its window, its frame timer, its drawing and its resizes.
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "platform/qt/qt_view_widget.h"
#include "qt_host_test_support.h"

namespace {

using qttest::ProbeView;
using qttest::spinFor;
using qttest::spinUntil;

class QtViewWidgetTest : public qttest::QtHostTest {
protected:
    std::shared_ptr<ProbeView> view = ProbeView::make(host::NSMakeRect(0, 0, 200, 100));
    std::unique_ptr<qtbackend::ViewWidget> widget =
        std::make_unique<qtbackend::ViewWidget>(view, qtHost().screens());

    bool exposed() const { return widget->windowHandle() && widget->windowHandle()->isExposed(); }
    void showAndWait() {
        widget->show();
        ASSERT_TRUE(spinUntil([&] { return exposed(); }));
    }
};

TEST_F(QtViewWidgetTest, AttachesAWindowThatIsVisibleOnlyOnceShownAndExposed) {
    ASSERT_NE(view->window(), nullptr);
    EXPECT_EQ(view->windowMoves, 1);
    EXPECT_FALSE(view->window()->isVisible());
    EXPECT_EQ(view->window()->occlusionState() & host::NSWindowOcclusionStateVisible, 0u);

    showAndWait();
    host::Window& window = *view->window();
    EXPECT_TRUE(window.isVisible());
    EXPECT_NE(window.occlusionState() & host::NSWindowOcclusionStateVisible, 0u);
    EXPECT_EQ(window.screen(), qtHost().screens().screenFor(widget->screen())) << "the listed object, by identity";
    EXPECT_NE(window.screen(), nullptr);
    EXPECT_EQ(window.backingScaleFactor(), widget->devicePixelRatioF());
    EXPECT_EQ(window.safeAreaInsets(), host::NSEdgeInsets{});

    widget->hide();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(QtViewWidgetTest, FrameTimerStepsTheViewAboutThirtyTimesASecondAndDraws) {
    showAndWait();
    widget->startAnimation();
    EXPECT_TRUE(view->isAnimating());
    spinFor(600);
    // 1/30 s gives 18 frames in 0.6 s; the bounds catch a timer in the wrong unit or one that
    // never waits, with room for a busy machine.
    EXPECT_GE(view->frames, 6);
    EXPECT_LE(view->frames, 24);
    EXPECT_GT(view->draws, 0) << "a frame that asked for display must be drawn";
    EXPECT_EQ(view->drawsWithoutContext, 0);
}

TEST_F(QtViewWidgetTest, PacedFramesAreDrawnEverySecondStepAtHalfRateAndStepOnceASecondOffScreen) {
    qtbackend::FramePacing pacing;
    widget->setFramePacing(&pacing);
    showAndWait();
    widget->startAnimation();
    // Draws over 20 steps at full rate, then at half rate: every step still comes, two at a tick,
    // and half of them are drawn.
    auto drawsOver20Steps = [&] {
        const int frames = view->frames, draws = view->draws;
        EXPECT_TRUE(spinUntil([&] { return view->frames >= frames + 20; }));
        return view->draws - draws;
    };
    ASSERT_TRUE(spinUntil([&] { return view->frames >= 2; }));
    const int full = drawsOver20Steps();
    pacing.setHalfRate(true);
    const int half = drawsOver20Steps();
    ASSERT_GT(full, 0);
    EXPECT_GE(half, full * 4 / 10);
    EXPECT_LE(half, full * 6 / 10);

    // Hidden, the view is stepped once a second (the bound is kind to a busy machine, which only
    // steps less often).
    widget->hide();
    const int frames = view->frames;
    spinFor(1500);
    EXPECT_LE(view->frames - frames, 3);
}

TEST_F(QtViewWidgetTest, StoppingTheAnimationStopsTheFrames) {
    showAndWait();
    widget->startAnimation();
    ASSERT_TRUE(spinUntil([&] { return view->frames >= 2; }));
    widget->stopAnimation();
    EXPECT_FALSE(view->isAnimating());
    const int frames = view->frames;
    spinFor(150);
    EXPECT_EQ(view->frames, frames);
    EXPECT_FALSE(widget->isFrameTimerActive());
}

TEST_F(QtViewWidgetTest, AViewThatStopsItselfGetsNoMoreFrames) {
    // The module may stop its own animation (the will-stop handler does); the timer must notice.
    showAndWait();
    widget->startAnimation();
    ASSERT_TRUE(spinUntil([&] { return view->frames >= 1; }));
    view->stopAnimation();
    const int frames = view->frames;
    spinFor(150);
    EXPECT_LE(view->frames, frames);
    EXPECT_FALSE(widget->isFrameTimerActive());
}

TEST_F(QtViewWidgetTest, ResizingTheWidgetResizesTheView) {
    showAndWait();
    widget->resize(321, 123);
    ASSERT_TRUE(spinUntil([&] { return view->frame().size == host::CGSize{321, 123}; }));
    EXPECT_EQ(view->frameSizes.back(), (host::CGSize{321, 123}));
    EXPECT_EQ(view->bounds(), host::NSMakeRect(0, 0, 321, 123));
}

TEST_F(QtViewWidgetTest, RenderedImageIsFlippedSoTheViewDrawsWithYUp) {
    const QImage& image = widget->renderImage();
    const double dpr = widget->devicePixelRatioF();
    ASSERT_EQ(image.size(), QSize(int(std::ceil(200 * dpr)), int(std::ceil(100 * dpr))));
    EXPECT_EQ(view->drawsWithoutContext, 0);
    // The view's lower-left quarter is red: at the bottom left of the picture.
    const int w = image.width(), h = image.height();
    EXPECT_EQ(QColor(image.pixel(w / 8, h * 7 / 8)), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(w / 8, h / 8)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(w * 7 / 8, h * 7 / 8)), QColor(Qt::black));
    EXPECT_EQ(host::currentContext(), nullptr) << "the context must not outlive the drawing";
    EXPECT_FALSE(view->needsDisplay());
}

TEST_F(QtViewWidgetTest, PaintingTheWidgetDrawsTheView) {
    showAndWait();
    const QImage grabbed = widget->grab().toImage();
    EXPECT_GT(view->draws, 0);  // once, into the picture the widget keeps
    EXPECT_EQ(QColor(grabbed.pixel(grabbed.width() / 8, grabbed.height() * 7 / 8)), QColor(Qt::red));
}

TEST_F(QtViewWidgetTest, EndingASheetGoesToWhoeverPresentedIt) {
    qtbackend::QtWindow& window = *widget->hostWindow();
    window.endSheet(nullptr);  // nobody presented a sheet: nothing happens
    std::vector<host::Window*> ended;
    window.setEndSheetHandler([&](host::Window* sheet) { ended.push_back(sheet); });
    qtbackend::QtWindow sheet(nullptr, qtHost().screens());
    window.endSheet(&sheet);
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0], &sheet);
    EXPECT_EQ(window.sheetParent(), nullptr) << "a view's window is no sheet";
}

TEST_F(QtViewWidgetTest, DestroyingTheWidgetTakesTheViewOutOfItsWindow) {
    showAndWait();
    const std::shared_ptr<qtbackend::QtWindow> window = widget->hostWindow();
    const int moves = view->windowMoves;
    widget.reset();
    EXPECT_EQ(view->window(), nullptr);
    EXPECT_EQ(view->windowMoves, moves + 1);
    // Whoever still holds the old window reads a hidden window on no display.
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->occlusionState(), 0u);
    EXPECT_EQ(window->screen(), nullptr);
    EXPECT_EQ(window->backingScaleFactor(), 0);
}

}  // namespace
