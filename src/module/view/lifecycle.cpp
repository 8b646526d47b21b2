// Creation, host hooks and destruction of a view.
#include <algorithm>
#include <cmath>
#include <string>

#include "module/view/tavrin_screensaver_view.h"

namespace tavrin {
namespace {

constexpr double kAnimationInterval = 1.0 / 30.0;
constexpr double kStarSpeedRange = 0.6;
constexpr double kStarSpeedLow = -0.3;
constexpr double kStarMinSpeed = 0.05;

/// The live views of the process. Created on first use (C++ guarantees a once-only, thread-safe
/// initialisation of a function-local static); a view removes itself when it is destroyed, so a
/// destroyed view is never listed.
std::vector<Tavrin_ScreenSaverView*>& liveViewTable() {
    static std::vector<Tavrin_ScreenSaverView*>* table = new std::vector<Tavrin_ScreenSaverView*>();
    return *table;
}

/// A velocity component below the minimum magnitude becomes the minimum, keeping its sign (zero
/// counts as positive), so no star stands still on an axis.
double withMinimumMagnitude(double component) {
    static constexpr double kReplacement[2] = {kStarMinSpeed, -kStarMinSpeed};
    if (std::fabs(component) < kStarMinSpeed) return kReplacement[component < 0 ? 1 : 0];
    return component;
}

}  // namespace

const std::vector<Tavrin_ScreenSaverView*>& Tavrin_ScreenSaverView::sLiveViews() { return liveViewTable(); }

std::shared_ptr<Tavrin_ScreenSaverView> Tavrin_ScreenSaverView::create(const CGRect& frame, bool isPreview) {
    auto view = std::make_shared<Tavrin_ScreenSaverView>();
    if (!view->initWithFrame(frame, isPreview)) return nullptr;
    return view;
}

double Tavrin_ScreenSaverView::randomUnit() {
    return static_cast<double>(host::currentHost().random->uniform(1u << 24)) * (1.0 / 16777216.0);
}

double Tavrin_ScreenSaverView::randomInRange(double lo, double hi) {
    if (!(hi > lo)) return lo;
    return lo + (hi - lo) * randomUnit();
}

Tavrin_ScreenSaverView* Tavrin_ScreenSaverView::initWithFrame(const CGRect& frame, bool isPreview) {
    if (!ScreenSaverView::initWithFrame(frame, isPreview)) return nullptr;
    host::Host& h = host::currentHost();

    isPreviewMode = isPreview;
    setAnimationTimeInterval(kAnimationInterval);
    loadPreferences();

    colorDriftPhase = 0;
    activeParticleCount = 0;
    hasRenderedVisibleFrame = false;
    wasOnScreenLastFrame = false;
    frameCounter = 0;
    createdAt = h.clock->now();
    layoutValid = false;
    layoutSize = {0, 0};
    edgeNeighborsValid = false;
    trails[0].count = 0;
    trails[1].count = 0;

    liveViewTable().push_back(this);
    registeredInLiveViews_ = true;

    // The handlers capture the raw view: every registration is removed in dealloc, before the
    // view's memory goes away.
    h.distributedCenter->addObserver(this, ScreenSaverWillStopNotification, nullptr,
                                     [this](const Notification& n) { screensaverWillStop(n); });
    h.defaultCenter->addObserver(this, TavrinSparkLeakNotification, nullptr,
                                 [this](const Notification& n) { handleSparkLeak(n); });
    h.defaultCenter->addObserver(this, host::NSApplicationDidChangeScreenParametersNotification, nullptr,
                                 [this](const Notification& n) { handleScreenParametersChanged(n); });

    if (auto path = h.bundle->pathForResource("tavrin", "svg")) tavrinImage = h.graphics->imageWithContentsOfSVGFile(path->c_str());
    if (auto path = h.bundle->pathForResource("tavrin_wheel", "svg"))
        wheelImage = h.graphics->imageWithContentsOfSVGFile(path->c_str());

    objects[0].rotation = 0;
    objects[0].rotationSpeed = 0;
    objects[0].imageType = ImageTypeLogo;
    objects[0].collisionCooldown = 0;
    objects[0].flashIntensity = 0;
    objects[1].rotation = 0;
    objects[1].rotationSpeed = 0;
    objects[1].imageType = ImageTypeWheel;
    objects[1].collisionCooldown = 0;
    objects[1].flashIntensity = 0;

    initializeStars();
    return this;
}

void Tavrin_ScreenSaverView::initializeStars() {
    // Every star gets a velocity and a look, whatever starCount is, so raising the count later
    // shows stars that were ready all along. Six draws per star, in this order.
    for (Star& star : stars) {
        star.velocity.x = randomUnit() * kStarSpeedRange + kStarSpeedLow;
        star.velocity.y = randomUnit() * kStarSpeedRange + kStarSpeedLow;
        star.velocity.x = withMinimumMagnitude(star.velocity.x);
        star.velocity.y = withMinimumMagnitude(star.velocity.y);
        star.brightness = randomUnit() * 0.7 + 0.3;
        star.twinklePhase = randomUnit() * kTwoPi;
        star.twinkleSpeed = randomUnit() * 0.06 + 0.02;
        star.radius = randomUnit() * 1.5 + 0.5;
    }
}

Tavrin_ScreenSaverView::~Tavrin_ScreenSaverView() { dealloc(); }

void Tavrin_ScreenSaverView::dealloc() {
    if (!registeredInLiveViews_) return;  // creation never got this far
    registeredInLiveViews_ = false;
    if (host::hasHost()) {
        removeOwnObservers();
        host::currentHost().runLoop->cancelPreviousPerformRequests(this);
    }
    std::erase(liveViewTable(), this);
    configSheet.reset();
}

void Tavrin_ScreenSaverView::removeOwnObservers() {
    host::Host& h = host::currentHost();
    h.defaultCenter->removeObserver(this, TavrinSparkLeakNotification, nullptr);
    h.defaultCenter->removeObserver(this, host::NSApplicationDidChangeScreenParametersNotification, nullptr);
    h.distributedCenter->removeObserver(this, ScreenSaverWillStopNotification, nullptr);
}

void Tavrin_ScreenSaverView::startAnimation() {
    ScreenSaverView::startAnimation();
    cancelIdleTerminationCheck();
    layoutIfNeeded();
}

void Tavrin_ScreenSaverView::stopAnimation() {
    ScreenSaverView::stopAnimation();
    scheduleIdleTerminationCheck();
}

void Tavrin_ScreenSaverView::viewDidMoveToWindow() {
    ScreenSaverView::viewDidMoveToWindow();
    layoutIfNeeded();
}

void Tavrin_ScreenSaverView::setFrameSize(const CGSize& newSize) {
    ScreenSaverView::setFrameSize(newSize);
    layoutIfNeeded();
}

void Tavrin_ScreenSaverView::screensaverWillStop(const Notification&) {
    // The queued work holds the view, so it cannot be destroyed between this handler and the work.
    auto self = std::static_pointer_cast<Tavrin_ScreenSaverView>(shared_from_this());
    host::currentHost().mainQueue->async([self] {
        if (self->isAnimating()) self->stopAnimation();
        self->scheduleIdleTerminationCheck();
    });
}

void Tavrin_ScreenSaverView::handleScreenParametersChanged(const Notification&) {
    auto self = std::static_pointer_cast<Tavrin_ScreenSaverView>(shared_from_this());
    host::currentHost().mainQueue->async([self] {
        self->edgeNeighborsValid = false;
        self->layoutIfNeeded();
    });
}

}  // namespace tavrin
