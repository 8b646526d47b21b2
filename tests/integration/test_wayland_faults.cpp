// The Wayland session against a compositor that says, on demand, what a real one rarely does:
// sizes that cannot be drawn, surfaces closed, protocol errors, outputs that vanish and appear,
// frame callbacks and buffers never given back; and, for fullscreen toplevels, sizes other than
// the output's or left to the program, full screen refused, a toplevel shown on another output,
// a close.
#include <QElapsedTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "fake_compositor.h"
#include "platform/wayland/wayland_session.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_output.h"
#include "qt_host_test_support.h"

namespace {

using fakewl::FakeCompositor;
using fakewl::FakeOutput;
using qttest::spinUntil;
using waylandbackend::SurfaceKind;
using waylandbackend::WaylandSession;

const FakeOutput kLeft{.name = "LEFT", .width = 640, .height = 480};
const FakeOutput kRight{.name = "RIGHT", .x = 640, .width = 320, .height = 240};
const FakeOutput kBelow{.name = "BELOW", .y = 480, .width = 200, .height = 100};

class WaylandFaultsTest : public qttest::QtHostTest {
protected:
    void SetUp() override {
        QtHostTest::SetUp();
        qtHost().log().setAlsoStderr(true);
        testing::internal::CaptureStderr();
    }
    void TearDown() override {
        reset();
        qtHost().log().setAlsoStderr(false);
        testing::internal::GetCapturedStderr();
    }
    void reset() {
        session.reset();
        connection.reset();
        fake.reset();
        endings.clear();
        stops = 0;
    }

    /// A compositor with these outputs, and a session connected to it (as through WAYLAND_SOCKET).
    void start(const std::vector<FakeOutput>& outputs, SurfaceKind kind = SurfaceKind::Layer) {
        reset();
        fake = std::make_unique<FakeCompositor>();
        for (const FakeOutput& o : outputs) fake->addOutput(o);
        ::setenv("WAYLAND_SOCKET", std::to_string(fake->connectClient()).c_str(), 1);
        // Connecting waits for the compositor's answer outside Qt's event loop.
        std::atomic<bool> connected = false;
        std::thread serve([&] {
            while (!connected) fake->dispatch(5);
        });
        std::string error;
        connection = waylandbackend::WaylandConnection::connect(&error);
        connected = true;
        serve.join();
        ASSERT_TRUE(connection) << error;
        waylandbackend::SessionOptions options;
        options.kind = kind;
        session = std::make_unique<WaylandSession>(qtHost(), *connection, options, [](const host::CGRect& frame) {
            auto view = qttest::ProbeView::make(frame);
            view->setAnimationTimeInterval(0.01);
            return view;
        });
        QObject::connect(session.get(), &WaylandSession::ended,
                         [this](int status, const QString& why) { endings.emplace_back(status, why.toStdString()); });
        QObject::connect(session.get(), &WaylandSession::viewStepped, [this] { ++steps; });
        QObject::connect(session.get(), &WaylandSession::stopped, [this] { ++stops; });
        ASSERT_TRUE(session->start(&error)) << error;
    }

    size_t commits(size_t surface) const {
        return surface < fake->surfaces().size() ? fake->surfaces()[surface].commits.size() : 0;
    }
    /// Waits until the surface has committed `more` frames beyond what it has now.
    bool keepsCommitting(size_t surface, size_t more = 3) {
        const size_t before = commits(surface);
        return spinUntil([&] { return commits(surface) >= before + more; });
    }
    std::vector<std::string> outputsWithViews() const {
        std::vector<std::string> names;
        for (const auto* s : session->surfaces()) names.push_back(s->output().description().name);
        return names;
    }
    size_t displays() const { return session->screens().screens().size(); }
    std::string log() {
        captured += testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        return captured;
    }
    /// The frames and seconds the log last gives for the surface on the output of this name
    /// ("NAME' (...): N frames committed in T s"); {-1, -1} when it gives none.
    std::pair<long long, double> framesLogged(const std::string& name) {
        const std::string text = log();
        const size_t line = text.rfind("output '" + name + "' (");
        const size_t colon = line == std::string::npos ? line : text.find("): ", line);
        long long frames = -1;
        double seconds = -1;
        if (colon == std::string::npos ||
            std::sscanf(text.c_str() + colon + 3, "%lld frames committed in %lf s", &frames, &seconds) != 2)
            return {-1, -1};
        return {frames, seconds};
    }
    /// Runs the event loop until the views have taken `n` more steps.
    void stepFor(int n) {
        const int target = steps + n;
        spinUntil([&] { return steps >= target; });
    }

    std::unique_ptr<FakeCompositor> fake;
    std::unique_ptr<waylandbackend::WaylandConnection> connection;
    std::unique_ptr<WaylandSession> session;
    std::vector<std::pair<int, std::string>> endings;
    int steps = 0;
    int stops = 0;
    std::string captured;
};

using Records = std::vector<fakewl::SurfaceRecord>;

TEST_F(WaylandFaultsTest, ASizeThatCannotBeDrawnRefusesThatOutputUntilItChanges) {
    const std::pair<uint32_t, uint32_t> sizes[] = {{0, 0}, {20000, 20000}, {4294967295u, 1}};
    for (const auto& [w, h] : sizes) {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        SCOPED_TRACE(size);
        FakeOutput bad = kRight;
        bad.firstConfigure = {w, h};
        start({kLeft, bad});
        ASSERT_TRUE(spinUntil([&] {
            const Records r = fake->surfaces();
            return r.size() == 2 && r[1].destroyed && !r[0].commits.empty();
        }));
        const Records r = fake->surfaces();
        EXPECT_TRUE(r[1].commits.empty());
        EXPECT_EQ(r[1].lastSerialAcked, 0u) << "a refused size is not acknowledged";
        EXPECT_EQ(r[0].commits.front(), (std::pair{640, 480}));
        EXPECT_EQ(outputsWithViews(), std::vector<std::string>{"LEFT"});
        EXPECT_TRUE(keepsCommitting(0)) << "the other output goes on drawing";
        const std::string text = log();
        EXPECT_NE(text.find("output 'RIGHT' (320x240 at 640,0, scale 1) refused: the compositor asked for a surface of " +
                            size),
                  std::string::npos)
            << text;
        // A new description of the output is a new chance: the compositor configures it anew.
        FakeOutput resized = kRight;
        resized.width = 400;
        fake->updateOutput(resized);
        ASSERT_TRUE(spinUntil([&] { return commits(2) > 0; }));
        EXPECT_EQ(fake->surfaces()[2].commits.front(), (std::pair{400, 240}));
        EXPECT_EQ(outputsWithViews(), (std::vector<std::string>{"LEFT", "RIGHT"}));
        EXPECT_TRUE(endings.empty());
    }
}

TEST_F(WaylandFaultsTest, ClosedSurfacesAreRetiredOneByOneAndTheLastCloseEndsTheRunOnce) {
    FakeOutput unconfigured = kRight;
    unconfigured.configureNewSurfaces = false;
    start({kLeft, unconfigured, kBelow});
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(2) > 0; }));

    fake->close(1);  // before its first configure: it never had a view
    ASSERT_TRUE(spinUntil([&] { return fake->surfaces()[1].destroyed; }));
    EXPECT_EQ(outputsWithViews(), (std::vector<std::string>{"LEFT", "BELOW"}));

    fake->close(0);
    ASSERT_TRUE(spinUntil([&] { return fake->surfaces()[0].destroyed; }));
    // Unlike a refused size, a close is not undone by a new description of the output.
    fake->updateOutput({.name = "LEFT", .width = 600, .height = 480});
    EXPECT_TRUE(keepsCommitting(2));
    EXPECT_EQ(outputsWithViews(), std::vector<std::string>{"BELOW"});
    EXPECT_EQ(fake->surfaces().size(), 3u);
    EXPECT_NE(log().find("the compositor closed the surface on output 'LEFT'"), std::string::npos);
    EXPECT_TRUE(endings.empty());

    fake->close(2);
    ASSERT_TRUE(spinUntil([&] { return !endings.empty(); }));
    // Events after the end neither end the run again nor step it.
    const int stepsAtEnd = steps;
    fake->updateOutput(kBelow);
    qttest::spinFor(100);
    EXPECT_EQ(steps, stepsAtEnd);
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(endings[0].first, 0);
    EXPECT_NE(endings[0].second.find("closed every surface"), std::string::npos) << endings[0].second;
}

TEST_F(WaylandFaultsTest, AProtocolErrorEndsTheRunWithStatusOneNamingTheInterface) {
    start({kLeft, kRight});
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(1) > 0; }));
    fake->postError(1, 1 /* zwlr_layer_surface_v1.error.invalid_size */, "size out of range");
    ASSERT_TRUE(spinUntil([&] { return !endings.empty(); }));
    ASSERT_EQ(endings.size(), 1u);
    EXPECT_EQ(endings[0].first, 1);
    EXPECT_NE(endings[0].second.find("protocol error on zwlr_layer_surface_v1"), std::string::npos)
        << endings[0].second;
    EXPECT_NE(endings[0].second.find("code 1"), std::string::npos) << endings[0].second;
    EXPECT_TRUE(connection->hasFailed());
    const int stepsAtEnd = steps;
    qttest::spinFor(100);
    EXPECT_EQ(steps, stepsAtEnd) << "nothing is stepped on a failed connection";
}

TEST_F(WaylandFaultsTest, ARemovedOutputTakesItsViewAndDisplayAlongAndAnAddedOneGetsBoth) {
    const FakeOutput incomplete{.name = "INCOMPLETE", .x = 2000, .width = 100, .height = 100, .describe = false};
    start({kLeft, kRight, incomplete});
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(1) > 0; }));
    EXPECT_EQ(displays(), 2u) << "an output that never finished describing itself is no display";

    fake->removeOutput("INCOMPLETE");
    fake->removeOutput("RIGHT");
    ASSERT_TRUE(spinUntil([&] { return displays() == 1; }));
    EXPECT_EQ(outputsWithViews(), std::vector<std::string>{"LEFT"});
    EXPECT_TRUE(fake->surfaces()[1].destroyed);
    EXPECT_EQ(session->screens().screens()[0]->frame().size, (host::CGSize{640, 480}));
    EXPECT_NE(log().find("output 'RIGHT' (320x240 at 640,0, scale 1) removed"), std::string::npos);
    EXPECT_EQ(framesLogged("RIGHT").first, static_cast<long long>(commits(1)))
        << "a retired surface reports its frames as it goes";
    EXPECT_TRUE(keepsCommitting(0));

    // An output plugged in later counts its frames over its own life, not the session's.
    qttest::spinFor(500);
    QElapsedTimer sinceAdded;
    sinceAdded.start();
    fake->addOutput(kBelow);
    ASSERT_TRUE(spinUntil([&] { return commits(2) > 0; }));
    const Records r = fake->surfaces();
    EXPECT_EQ(r[2].output, "BELOW");
    EXPECT_EQ(r[2].commits.front(), (std::pair{200, 100}));
    EXPECT_EQ(r[2].lastSerialAcked, r[2].lastSerialSent);
    EXPECT_EQ(outputsWithViews(), (std::vector<std::string>{"LEFT", "BELOW"}));
    EXPECT_EQ(displays(), 2u);
    EXPECT_TRUE(endings.empty());

    session->stop("test");
    const auto [belowFrames, belowSeconds] = framesLogged("BELOW");
    const auto [leftFrames, leftSeconds] = framesLogged("LEFT");
    EXPECT_EQ(belowFrames, static_cast<long long>(commits(2)));
    EXPECT_EQ(leftFrames, static_cast<long long>(commits(0)));
    EXPECT_GE(belowSeconds, 0);
    EXPECT_LE(belowSeconds, static_cast<double>(sinceAdded.elapsed()) / 1000.0 + 0.05);
    EXPECT_GE(leftSeconds, belowSeconds + 0.4);
}

TEST_F(WaylandFaultsTest, UnansweredFramesAndHeldBuffersStopTheCommitsButNotTheSteps) {
    start({kLeft});
    ASSERT_TRUE(keepsCommitting(0));

    fake->answerFrames(false);
    const size_t whenStalled = commits(0);
    stepFor(10);
    // The frame in flight when the stall began may still go out; nothing after it.
    EXPECT_LE(commits(0), whenStalled + 1);
    fake->answerFrames(true);
    EXPECT_TRUE(keepsCommitting(0)) << "drawing resumes with the frame callbacks";

    fake->releaseBuffers(false);
    stepFor(10);
    const size_t whenHeld = commits(0);
    stepFor(10);
    const Records r = fake->surfaces();
    EXPECT_EQ(r[0].commits.size(), whenHeld) << "every buffer is held: nothing to draw into";
    EXPECT_EQ(r[0].attachedWhileHeld, 0) << "a buffer the compositor holds is never drawn into";
    EXPECT_LE(r[0].mostLiveBuffers, 3);
    EXPECT_TRUE(endings.empty());
}

TEST_F(WaylandFaultsTest, AToplevelIsDrawnAtTheSizeEachConfigureGivesNotTheOutputs) {
    FakeOutput small = kRight;
    small.firstConfigure = {300, 200};
    start({kLeft, small}, SurfaceKind::Toplevel);
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(1) > 0; }));
    Records r = fake->surfaces();
    EXPECT_EQ(r[0].output, "LEFT") << "each toplevel asks to be full screen on its own output";
    EXPECT_EQ(r[1].output, "RIGHT");
    EXPECT_EQ(r[0].commits.front(), (std::pair{640, 480}));
    EXPECT_EQ(r[1].commits.front(), (std::pair{300, 200})) << "drawn at the size given, not the output's";
    EXPECT_EQ(r[1].lastSerialAcked, r[1].lastSerialSent);

    fake->configureToplevel(1, 320, 240, true);
    ASSERT_TRUE(spinUntil([&] { return fake->surfaces()[1].commits.back() == std::pair{320, 240}; }));
    r = fake->surfaces();
    EXPECT_EQ(r[1].lastSerialAcked, r[1].lastSerialSent);
    EXPECT_EQ(session->surfaces()[1]->view()->frame().size, (host::CGSize{320, 240}));
    EXPECT_EQ(r[1].fullscreenRequests, 1) << "a toplevel where it should be is asked nothing more";
    EXPECT_EQ(log().find("full screen"), std::string::npos);
    EXPECT_TRUE(endings.empty());
}

TEST_F(WaylandFaultsTest, AToplevelLeftUnsizedNotFullScreenOrElsewhereIsDrawnLoggedAndAskedBack) {
    FakeOutput loose = kLeft;
    loose.firstConfigure = {0, 0};
    loose.fullscreenToplevels = false;
    start({loose, kRight}, SurfaceKind::Toplevel);
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(1) > 0; }));
    EXPECT_EQ(fake->surfaces()[0].commits.front(), (std::pair{640, 480})) << "a size left to it is the output's";
    EXPECT_EQ(fake->surfaces()[0].fullscreenRequests, 2) << "not full screen: asked once more";
    std::string text = log();
    EXPECT_NE(text.find("output 'LEFT' (640x480 at 0,0, scale 1): the compositor leaves the size to the program"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("output 'LEFT' (640x480 at 0,0, scale 1): the compositor did not make a fullscreen "
                        "toplevel full screen"),
              std::string::npos)
        << text;

    fake->enter(1, "LEFT");
    ASSERT_TRUE(spinUntil([&] { return fake->surfaces()[1].fullscreenRequests == 2; }));
    EXPECT_NE(log().find("output 'RIGHT' (320x240 at 640,0, scale 1): a fullscreen toplevel made for it shows on "
                         "output 'LEFT'"),
              std::string::npos);
    fake->configureToplevel(0, 640, 480, true);
    EXPECT_TRUE(spinUntil([&] { return log().find("output 'LEFT' (640x480 at 0,0, scale 1): full screen again") !=
                                       std::string::npos; }));
    EXPECT_TRUE(keepsCommitting(0) && keepsCommitting(1)) << "the saver goes on wherever it is shown";
    EXPECT_EQ(stops, 0);
    EXPECT_TRUE(endings.empty());
}

TEST_F(WaylandFaultsTest, AToplevelsCloseStopsTheRunAndPingsAreAnswered) {
    start({kLeft, kRight}, SurfaceKind::Toplevel);
    ASSERT_TRUE(spinUntil([&] { return commits(0) > 0 && commits(1) > 0; }));
    fake->ping();
    EXPECT_TRUE(spinUntil([&] { return fake->pongs() == 1; }));

    fake->close(1);
    ASSERT_TRUE(spinUntil([&] { return stops > 0; }));
    EXPECT_TRUE(session->isStopped());
    EXPECT_NE(log().find("stopping the screen saver: the compositor closed the window on output 'RIGHT'"),
              std::string::npos);
    // Taken down as a whole, so that the compositor gives the keyboard back to what had it.
    EXPECT_TRUE(spinUntil([&] { return fake->surfaces()[0].destroyed && fake->surfaces()[1].destroyed; }));
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(endings.empty()) << "a close is the user's stop, not the end of the compositor";
}

}  // namespace
