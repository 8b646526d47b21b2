// The host's side of a run: views per display, the stop and what triggers it, display changes.
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include "platform/qt/qt_saver_session.h"
#include "qt_host_test_support.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

using qtbackend::ScreenSaverSession;
using qttest::ProbeView;
using qttest::spinUntil;

class QtSaverSessionTest : public qttest::QtHostTest {
protected:
    void TearDown() override {
        qtHost().distributedCenter().removeObserver(this, host::ScreenSaverWillStopNotification, nullptr);
        qtHost().defaultCenter().removeObserver(this, host::NSApplicationDidChangeScreenParametersNotification,
                                                nullptr);
    }

    std::unique_ptr<ScreenSaverSession> makeSession(ScreenSaverSession::Mode mode) {
        return std::make_unique<ScreenSaverSession>(qtHost(), mode, [this](const host::CGRect& frame) {
            auto view = ProbeView::make(frame);
            views.push_back(view);
            return view;
        });
    }
    void countWillStop(std::function<void()> check = {}) {
        qtHost().distributedCenter().addObserver(this, host::ScreenSaverWillStopNotification, nullptr,
                                                 [this, check](const host::Notification&) {
                                                     ++willStopPosts;
                                                     if (check) check();
                                                 });
    }
    void countScreenChanges() {
        qtHost().defaultCenter().addObserver(this, host::NSApplicationDidChangeScreenParametersNotification, nullptr,
                                             [this](const host::Notification&) { ++screenChanges; });
    }
    static void send(QWidget* widget, QEvent* event) { QCoreApplication::sendEvent(widget, event); }
    static void moveMouse(QWidget* widget, QPointF global) {
        QMouseEvent move(QEvent::MouseMove, global, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        send(widget, &move);
    }

    std::vector<std::weak_ptr<ProbeView>> views;
    int willStopPosts = 0;
    int screenChanges = 0;
};

TEST_F(QtSaverSessionTest, FullScreenShowsOneAnimatingViewCoveringEachDisplay) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    const QList<QScreen*> screens = QGuiApplication::screens();
    ASSERT_EQ(session->widgets().size(), static_cast<size_t>(screens.size()));
    for (qsizetype i = 0; i < screens.size(); ++i) {
        qtbackend::ViewWidget* widget = session->widgets()[static_cast<size_t>(i)];
        QScreen* screen = screens[i];
        EXPECT_EQ(session->widgetForScreen(screen), widget);
        EXPECT_EQ(widget->geometry(), screen->geometry());
        EXPECT_TRUE(widget->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(widget->view().isAnimating());
        EXPECT_EQ(widget->view().frame().size,
                  (host::CGSize{double(screen->geometry().width()), double(screen->geometry().height())}));
        ASSERT_TRUE(spinUntil([&] { return widget->view().window()->isVisible(); }));
        EXPECT_EQ(widget->view().window()->screen(), qtHost().screens().screenFor(screen));
    }
}

TEST_F(QtSaverSessionTest, StopHidesAndStopsEveryViewBeforePostingWillStopOnce) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    bool quietWhenPosted = true;
    countWillStop([&] {
        for (auto* w : session->widgets())
            if (w->isVisible() || w->view().isAnimating() || w->isFrameTimerActive()) quietWhenPosted = false;
    });
    int stopped = 0;
    QObject::connect(session.get(), &ScreenSaverSession::stopped, [&] { ++stopped; });

    session->stop("test");
    EXPECT_EQ(willStopPosts, 1);
    EXPECT_TRUE(quietWhenPosted);
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(session->isStopped());

    session->stop("again");
    EXPECT_EQ(willStopPosts, 1);
    EXPECT_EQ(stopped, 1);
}

TEST_F(QtSaverSessionTest, KeyPressOrClickStopsAFullScreenRun) {
    for (int kind = 0; kind < 2; ++kind) {
        auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
        ASSERT_TRUE(session->start());
        QWidget* widget = session->widgets().front();
        if (kind == 0) {
            QKeyEvent key(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier);
            send(widget, &key);
        } else {
            QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            send(widget, &click);
        }
        EXPECT_TRUE(session->isStopped()) << (kind == 0 ? "key press" : "click");
    }
}

TEST_F(QtSaverSessionTest, PointerJitterIsIgnoredButRealMovementStops) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    QWidget* widget = session->widgets().front();
    moveMouse(widget, {100, 100});  // where the pointer is first seen
    moveMouse(widget, {104, 103});
    moveMouse(widget, {95, 100});
    moveMouse(widget, {100, 107});
    EXPECT_FALSE(session->isStopped()) << "movement within a few points of the first position is jitter";
    moveMouse(widget, {100, 100 + ScreenSaverSession::kPointerJitter + 1});
    EXPECT_TRUE(session->isStopped());
}

TEST_F(QtSaverSessionTest, SlowDriftAddsUpFromTheFirstPosition) {
    // Small steps must not each count as jitter: the distance is from where the pointer was first seen.
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    QWidget* widget = session->widgets().front();
    for (int x = 100; x <= 120 && !session->isStopped(); x += 2) moveMouse(widget, {double(x), 50});
    EXPECT_TRUE(session->isStopped());
}

TEST_F(QtSaverSessionTest, HeadlessRunIgnoresInputAndLeavesFramesToItsOwner) {
    auto session = makeSession(ScreenSaverSession::Mode::Headless);
    ASSERT_TRUE(session->start());
    qtbackend::ViewWidget* widget = session->widgets().front();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    send(widget, &key);
    moveMouse(widget, {0, 0});
    moveMouse(widget, {500, 500});
    EXPECT_FALSE(session->isStopped());
    EXPECT_TRUE(widget->view().isAnimating());
    EXPECT_FALSE(widget->isFrameTimerActive());
    qttest::spinFor(100);
    EXPECT_EQ(views.front().lock()->frames, 0);
}

TEST_F(QtSaverSessionTest, WindowRunHasTheAskedSizeAndReportsItsClosing) {
    auto session = makeSession(ScreenSaverSession::Mode::Window);
    ASSERT_TRUE(session->start(QSize(640, 360)));
    ASSERT_EQ(session->widgets().size(), 1u);
    qtbackend::ViewWidget* widget = session->widgets().front();
    EXPECT_EQ(widget->size(), QSize(640, 360));
    EXPECT_EQ(widget->view().frame().size, (host::CGSize{640, 360}));
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    send(widget, &key);
    EXPECT_FALSE(session->isStopped()) << "typing into the window is not a reason to stop";

    int closed = 0;
    QObject::connect(session.get(), &ScreenSaverSession::windowClosed, [&] { ++closed; });
    widget->close();
    EXPECT_EQ(closed, 1);
}

TEST_F(QtSaverSessionTest, RemovedDisplayTakesItsViewAlongAndAnAddedOneGetsANewView) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    countScreenChanges();
    QScreen* primary = QGuiApplication::primaryScreen();
    const std::weak_ptr<ProbeView> first = views.front();
    ASSERT_NE(session->widgetForScreen(primary), nullptr);

    session->handleScreenRemoved(primary);
    EXPECT_EQ(session->widgetForScreen(primary), nullptr);
    EXPECT_TRUE(first.expired()) << "the display's view is destroyed with it";
    EXPECT_EQ(screenChanges, 1);

    session->handleScreenAdded(primary);
    ASSERT_NE(session->widgetForScreen(primary), nullptr);
    EXPECT_EQ(views.size(), 2u);
    EXPECT_TRUE(session->widgetForScreen(primary)->view().isAnimating());
    EXPECT_EQ(screenChanges, 2);
    EXPECT_EQ(session->widgets().size(), static_cast<size_t>(QGuiApplication::screens().size()));
}

TEST_F(QtSaverSessionTest, DisplayChangesLeaveAWindowRunsViewAlone) {
    auto session = makeSession(ScreenSaverSession::Mode::Window);
    ASSERT_TRUE(session->start());
    countScreenChanges();
    QScreen* primary = QGuiApplication::primaryScreen();
    session->handleScreenRemoved(primary);
    session->handleScreenAdded(primary);
    session->handleScreenGeometryChanged(primary);
    EXPECT_EQ(screenChanges, 3);
    EXPECT_EQ(views.size(), 1u);
    EXPECT_FALSE(views.front().expired());
    EXPECT_TRUE(views.front().lock()->isAnimating());
}

TEST_F(QtSaverSessionTest, NoNewViewsAfterTheStop) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    QScreen* primary = QGuiApplication::primaryScreen();
    session->handleScreenRemoved(primary);
    session->stop("test");
    session->handleScreenAdded(primary);
    EXPECT_EQ(session->widgetForScreen(primary), nullptr);
}

TEST_F(QtSaverSessionTest, GeometryChangeRefitsTheViewAndAnnouncesIt) {
    auto session = makeSession(ScreenSaverSession::Mode::FullScreen);
    ASSERT_TRUE(session->start());
    countScreenChanges();
    QScreen* primary = QGuiApplication::primaryScreen();
    qtbackend::ViewWidget* widget = session->widgetForScreen(primary);
    widget->setGeometry(QRect(0, 0, 100, 100));
    session->handleScreenGeometryChanged(primary);
    EXPECT_EQ(widget->geometry(), primary->geometry());
    EXPECT_EQ(screenChanges, 1);
}

TEST_F(QtSaverSessionTest, ModuleViewsAreReleasedWithTheSessionEvenAfterAStop) {
    // The stop queues work holding each view; once that has run and the session is gone, no view
    // may be left alive (a reference cycle between a view and its window would keep it).
    {
        ScreenSaverSession session(qtHost(), ScreenSaverSession::Mode::Headless, [](const host::CGRect& frame) {
            return tavrin::Tavrin_ScreenSaverView::create(frame, false);
        });
        ASSERT_TRUE(session.start());
        EXPECT_EQ(tavrin::Tavrin_ScreenSaverView::sLiveViews().size(), session.widgets().size());
        EXPECT_EQ(qtHost().distributedCenter().observerCount(), session.widgets().size());
        session.stop("test");
    }
    ASSERT_TRUE(spinUntil([] { return tavrin::Tavrin_ScreenSaverView::sLiveViews().empty(); }));
    EXPECT_EQ(qtHost().distributedCenter().observerCount(), 0u);
}

}  // namespace
