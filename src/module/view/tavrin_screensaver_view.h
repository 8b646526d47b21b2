// The Tavrin screen-saver view: one instance per display (and one for a preview), holding its whole
// scene in fixed arrays. Its methods are defined in the folder of their subsystem:
//   view/         creation, hooks, destruction, idle retirement, diagnostics
//   simulation/   frame step, collision, layout and bounds, spark emitter
//   crossmonitor/ edge neighbours, spark-leak notification
//   render/       frame drawing, sprite cache
//   settings/     preferences store, options sheet
// Everything runs on the host's main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/controls.h"
#include "host/graphics.h"
#include "host/host.h"
#include "host/notifications.h"
#include "host/screen_saver_view.h"
#include "module/view/scene_model.h"

namespace tavrin {

using host::Image;
using host::Notification;

using host::ScreenSaverWillStopNotification;
using host::TavrinSparkLeakNotification;

class Tavrin_ScreenSaverView;

/// The process-wide log object of the module (subsystem: the bundle's identifier, category
/// "lifecycle"). Created on first use, never released.
host::LogObject* tavrinLog();

class Tavrin_ScreenSaverView : public host::ScreenSaverView {
public:
    /// Creates and initialises a view; none when the host refuses the frame.
    static std::shared_ptr<Tavrin_ScreenSaverView> create(const CGRect& frame, bool isPreview);
    /// The live views of the process, without ownership; a destroyed view is never listed.
    static const std::vector<Tavrin_ScreenSaverView*>& sLiveViews();

    Tavrin_ScreenSaverView() = default;
    ~Tavrin_ScreenSaverView() override;

    // --- view/lifecycle.cpp ---
    Tavrin_ScreenSaverView* initWithFrame(const CGRect& frame, bool isPreview);
    void dealloc();
    void startAnimation() override;
    void stopAnimation() override;
    void viewDidMoveToWindow() override;
    void setFrameSize(const CGSize& newSize) override;
    bool isOpaque() const override { return true; }
    void screensaverWillStop(const Notification& notification);
    void handleScreenParametersChanged(const Notification& notification);
    void removeOwnObservers();

    // --- view/idle_retirement.cpp ---
    bool isActuallyOnScreen() const;
    bool isLiveOnScreen() const;
    void logAnimationState(bool onScreen);
    void scheduleIdleTerminationCheck();
    void cancelIdleTerminationCheck();
    void terminateIfHostIdle();

    // --- simulation/ ---
    void animateOneFrame() override;
    void resolveCollisionBetween(int64_t a, int64_t b);
    double effectiveMaxY() const;
    void clampObjectToBounds(SceneObject* object);
    void layoutIfNeeded();
    void layoutFromScratch();
    void rescaleLayout();
    void spawnSparksAtPoint(CGPoint point, int64_t count, double angleCenter, double angleSpread);

    // --- crossmonitor/ ---
    void computeEdgeNeighbors();
    void postSparkLeakToEdge(int64_t edge, double positionFraction, int64_t sparkCount, double angleCenter,
                             double angleSpread);
    void handleSparkLeak(const Notification& notification);

    // --- render/ ---
    void drawRect(const CGRect& dirtyRect) override;
    std::shared_ptr<Image> cachedImageForType(int64_t type, CGSize size);
    void invalidateImageCache();
    void viewDidChangeBackingProperties() override;

    // --- settings/ ---
    void loadPreferences();
    void savePreferences();
    bool hasConfigureSheet() const override { return true; }
    std::shared_ptr<host::SheetWindow> configureSheet() override;
    void sliderChanged(host::Control* sender);
    void sparksCheckboxChanged(host::Control* sender);
    void configSheetOK(host::Control* sender);
    void configSheetCancel(host::Control* sender);
    void dismissConfigSheet();

    /// A uniform value in [0, 1): a uniform integer below 2^24 times 2^-24.
    static double randomUnit();
    /// lo + (hi - lo) * u; lo without drawing a value when hi <= lo.
    static double randomInRange(double lo, double hi);

    // The view's state, in declaration order. It is public so that the host's diagnostics
    // (the trace of a headless run) and the tests can read the scene as it is.
    std::shared_ptr<Image> tavrinImage;
    std::shared_ptr<Image> wheelImage;
    std::shared_ptr<Image> tavrinCache;
    std::shared_ptr<Image> wheelCache;
    CGSize tavrinCacheSize;
    CGSize wheelCacheSize;
    double cacheBackingScale = 0;
    SceneObject objects[kObjectCount];
    TrailHistory trails[kObjectCount];
    Star stars[kStarCapacity];
    Particle particles[kParticleCapacity];
    int64_t activeParticleCount = 0;
    bool isPreviewMode = false;
    double colorDriftPhase = 0;
    bool hasRenderedVisibleFrame = false;
    bool wasOnScreenLastFrame = false;
    uint64_t frameCounter = 0;
    double createdAt = 0;
    bool layoutValid = false;
    CGSize layoutSize;
    bool edgeNeighborsValid = false;
    bool enableFadeTrails = false;
    bool enableNeonGlow = false;
    bool enableCollisionFlash = false;
    bool enableColorDrift = false;
    bool enableStarfield = false;
    bool enableCollisionSparks = false;
    bool enableCrossMonitorSparks = false;
    bool enableBallCurve = false;
    EdgeNeighbor edgeNeighbors[kEdgeCount];
    int64_t trailLength = 0;
    int64_t glowSize = 0;
    int64_t starCount = 0;
    std::shared_ptr<host::SheetWindow> configSheet;
    std::shared_ptr<host::Checkbox> trailsCheckbox;
    std::shared_ptr<host::Checkbox> glowCheckbox;
    std::shared_ptr<host::Checkbox> flashCheckbox;
    std::shared_ptr<host::Checkbox> driftCheckbox;
    std::shared_ptr<host::Checkbox> starfieldCheckbox;
    std::shared_ptr<host::Checkbox> sparksCheckbox;
    std::shared_ptr<host::Checkbox> crossMonitorCheckbox;
    std::shared_ptr<host::Checkbox> ballCurveCheckbox;
    std::shared_ptr<host::Slider> trailLengthSlider;
    std::shared_ptr<host::Slider> glowSizeSlider;
    std::shared_ptr<host::Slider> starCountSlider;
    std::shared_ptr<host::Label> trailLengthValueLabel;
    std::shared_ptr<host::Label> glowSizeValueLabel;
    std::shared_ptr<host::Label> starCountValueLabel;

private:
    void initializeStars();
    bool registeredInLiveViews_ = false;
};

}  // namespace tavrin
