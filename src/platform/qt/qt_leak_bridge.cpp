#include "platform/qt/qt_leak_bridge.h"

#include <QGuiApplication>
#include <cstdlib>
#include <unistd.h>

#include "platform/posix/spark_leak_socket.h"

namespace qtbackend {
namespace {

using namespace host::sparkleak;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

SparkLeakBridgeOptions SparkLeakBridgeOptions::fromEnvironment() {
    SparkLeakBridgeOptions options;
    options.uid = static_cast<uint32_t>(::getuid());
    options.pid = static_cast<uint32_t>(::getpid());
    options.displayIdentity =
        posix::displayServerIdentity(QGuiApplication::platformName().toStdString(), environment("DISPLAY"),
                                     environment("WAYLAND_DISPLAY"), environment("XDG_RUNTIME_DIR"));
    if (options.displayIdentity.empty()) {
        options.whyNoFolder = "the display server has no name";
        return options;
    }
    options.folder = posix::sparkLeakFolder(environment("XDG_RUNTIME_DIR"), options.uid, options.displayIdentity,
                                            &options.passedOver, &options.whyNoFolder);
    return options;
}

SparkLeakBridge::SparkLeakBridge(host::NotificationCenter& center, CoverageTest coveredHere, LogLine log,
                                 SparkLeakBridgeOptions options)
    : center_(center), coveredHere_(std::move(coveredHere)), log_(std::move(log)), options_(std::move(options)) {
    drainTimer_.setSingleShot(true);
    QObject::connect(&drainTimer_, &QTimer::timeout, [this] { drain(); });
    drainClock_.start();
}

SparkLeakBridge::~SparkLeakBridge() {
    if (observing_) center_.removeObserver(this, host::TavrinSparkLeakNotification, nullptr);
    ready_.reset();
    exchange_.stop();
}

bool SparkLeakBridge::start() {
    if (isExchanging()) return true;
    for (const std::string& line : options_.passedOver) log_("sparks: " + line);
    std::string why = options_.whyNoFolder;
    if (options_.folder.empty() ||
        !exchange_.start(options_.folder, options_.displayIdentity, options_.uid, options_.pid, &why)) {
        log_("sparks stay on this display: " + why);
        return false;
    }
    ready_ = std::make_unique<QSocketNotifier>(exchange_.readyFd(), QSocketNotifier::Read);
    QObject::connect(ready_.get(), &QSocketNotifier::activated, [this] {
        exchange_.acknowledge();
        for (const std::string& note : exchange_.takeNotes()) log_(note);
        wake();
    });
    center_.addObserver(this, host::TavrinSparkLeakNotification, nullptr,
                        [this](const host::Notification& n) { handleLocalLeak(n); });
    observing_ = true;
    log_("sparks for displays of other processes go through the sockets in " + options_.folder);
    return true;
}

void SparkLeakBridge::handleLocalLeak(const host::Notification& notification) {
    // What the bridge posts itself came from another process: it never goes back.
    if (notification.object == this || !notification.userInfo) return;
    const host::UserInfo& info = *notification.userInfo;
    posix::DecodedSparkLeak leak;
    leak.targetScreenFrame = info.objectForKeyedSubscript(kTargetScreenFrameKey).rectValue();
    if (coveredHere_ && coveredHere_(leak.targetScreenFrame)) return;
    leak.edge = info.objectForKeyedSubscript(kEdgeKey).integerValue();
    leak.positionFraction = info.objectForKeyedSubscript(kPositionFractionKey).doubleValue();
    leak.sparkCount = info.objectForKeyedSubscript(kSparkCountKey).integerValue();
    leak.angleCenter = info.objectForKeyedSubscript(kAngleCenterKey).doubleValue();
    leak.angleSpread = info.objectForKeyedSubscript(kAngleSpreadKey).doubleValue();
    exchange_.send(leak);
}

void SparkLeakBridge::wake() {
    const qint64 sinceLast = drainClock_.elapsed() - lastDrainMs_;
    if (lastDrainMs_ >= 0 && sinceLast < kDrainSpacingMs) {
        if (!drainTimer_.isActive()) drainTimer_.start(static_cast<int>(kDrainSpacingMs - sinceLast));
        return;
    }
    drain();
}

void SparkLeakBridge::drain() {
    lastDrainMs_ = drainClock_.elapsed();
    std::array<posix::DecodedSparkLeak, kMaxLeaksPerDrain> batch;
    size_t remaining = 0;
    const size_t n = exchange_.take(batch, &remaining);
    for (size_t i = 0; i < n; ++i) {
        const posix::DecodedSparkLeak& leak = batch[i];
        host::UserInfo info;
        info.set(kTargetScreenFrameKey, host::InfoValue::valueWithRect(leak.targetScreenFrame));
        info.set(kEdgeKey, host::InfoValue::numberWithInteger(leak.edge));
        info.set(kPositionFractionKey, host::InfoValue::numberWithDouble(leak.positionFraction));
        info.set(kSparkCountKey, host::InfoValue::numberWithInteger(leak.sparkCount));
        info.set(kAngleCenterKey, host::InfoValue::numberWithDouble(leak.angleCenter));
        info.set(kAngleSpreadKey, host::InfoValue::numberWithDouble(leak.angleSpread));
        center_.postNotificationName(host::TavrinSparkLeakNotification, this, &info);
    }
    reposted_ += n;
    if (n > 0) ++drains_;
    if (remaining > 0) drainTimer_.start(kDrainSpacingMs);
    if (!loggedDrop_ && exchange_.counts().dropped > 0) {
        loggedDrop_ = true;
        log_("spark leaks arrive faster than they can be shown; the surplus is dropped");
    }
}

SparkLeakBridge::Counts SparkLeakBridge::counts() const { return {exchange_.counts(), reposted_, drains_}; }

}  // namespace qtbackend
