#include "platform/qt/qt_leak_bridge.h"

#include <QDBusMessage>
#include <QGuiApplication>
#include <QStringEncoder>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qtbackend {
namespace {

using namespace host::sparkleak;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

int32_t toInt32(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }

}  // namespace

SparkLeakBridgeOptions SparkLeakBridgeOptions::fromEnvironment() {
    SparkLeakBridgeOptions options;
    options.uid = static_cast<uint32_t>(::getuid());
    options.pid = static_cast<uint32_t>(::getpid());
    options.displayIdentity =
        posix::displayServerIdentity(QGuiApplication::platformName().toStdString(), environment("DISPLAY"),
                                     environment("WAYLAND_DISPLAY"), environment("XDG_RUNTIME_DIR"));
    const std::string address = environment("DBUS_SESSION_BUS_ADDRESS");
    if (!address.empty()) {
        options.busAddress = QString::fromStdString(address);
        return options;
    }
    // What libdbus would find on a desktop with a per-user bus; it would also start a bus of its
    // own on the X display when there is none, which a screen saver must not do.
    const std::string runtimeDir = environment("XDG_RUNTIME_DIR");
    struct stat info {};
    const std::string socket = runtimeDir + "/bus";
    if (!runtimeDir.empty() && ::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
        info.st_uid == ::getuid()) {
        options.busAddress = QStringLiteral("unix:path=") + QString::fromStdString(socket);
        return options;
    }
    options.whyNoBus = "DBUS_SESSION_BUS_ADDRESS is not set and there is no $XDG_RUNTIME_DIR/bus";
    return options;
}

// --- The queue ---

bool SparkLeakQueue::push(const posix::DecodedSparkLeak& leak) {
    std::lock_guard lock(mutex_);
    if (size_ == kCapacity) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    items_[(head_ + size_) % kCapacity] = leak;
    ++size_;
    if (wakePending_) return false;
    wakePending_ = true;
    return true;
}

size_t SparkLeakQueue::take(posix::DecodedSparkLeak* out, size_t capacity, size_t* remaining) {
    std::lock_guard lock(mutex_);
    const size_t n = std::min(capacity, size_);
    for (size_t i = 0; i < n; ++i) out[i] = items_[(head_ + i) % kCapacity];
    head_ = (head_ + n) % kCapacity;
    size_ -= n;
    if (size_ == 0) wakePending_ = false;
    *remaining = size_;
    return n;
}

// --- The bridge, on the GUI thread ---

SparkLeakBridge::SparkLeakBridge(host::NotificationCenter& center, CoverageTest coveredHere, LogLine log,
                                 SparkLeakBridgeOptions options, QObject* parent)
    : QObject(parent),
      center_(center),
      coveredHere_(std::move(coveredHere)),
      log_(std::move(log)),
      options_(std::move(options)),
      connectionName_(QStringLiteral("tavrin-sparks-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)),
      displayIdentity_(QString::fromStdString(options_.displayIdentity)) {
    drainTimer_.setSingleShot(true);
    connect(&drainTimer_, &QTimer::timeout, this, &SparkLeakBridge::drain);
    drainClock_.start();
}

SparkLeakBridge::~SparkLeakBridge() {
    if (observing_) center_.removeObserver(this, host::TavrinSparkLeakNotification, nullptr);
    if (thread_.isRunning()) {
        thread_.quit();
        thread_.wait();
    }
    delete receiver_;
    connection_.reset();
    if (started_) QDBusConnection::disconnectFromBus(connectionName_);
}

void SparkLeakBridge::logNoBus(const std::string& why) {
    log_("no session bus (" + why + "): sparks stay on this display");
}

void SparkLeakBridge::start() {
    if (started_) return;
    if (options_.busAddress.isEmpty() || options_.displayIdentity.empty()) {
        logNoBus(options_.busAddress.isEmpty() ? options_.whyNoBus : "the display server has no name");
        emit connectedChanged(false);
        return;
    }
    started_ = true;
    receiver_ = new SparkLeakReceiver(*this);
    receiver_->moveToThread(&thread_);
    thread_.setObjectName(QStringLiteral("tavrin-sparks"));
    thread_.start();
    // The handshake with the bus blocks: it happens on the receiving thread, not in a frame.
    QMetaObject::invokeMethod(receiver_, &SparkLeakReceiver::connectToBus, Qt::QueuedConnection);
}

void SparkLeakBridge::receiverConnected(bool ok, const QString& error) {
    if (!ok) {
        logNoBus(error.toStdString());
        emit connectedChanged(false);
        return;
    }
    connection_.emplace(QDBusConnection(connectionName_));
    connected_ = true;
    center_.addObserver(this, host::TavrinSparkLeakNotification, nullptr,
                        [this](const host::Notification& n) { handleLocalLeak(n); });
    observing_ = true;
    log_("sparks for displays of other processes go over the session bus (display " + options_.displayIdentity +
         ")");
    emit connectedChanged(true);
}

void SparkLeakBridge::handleLocalLeak(const host::Notification& notification) {
    // What the bridge posts itself came from the bus: it never goes back.
    if (notification.object == this || !connected_ || !notification.userInfo) return;
    const host::UserInfo& info = *notification.userInfo;
    const host::CGRect target = info.objectForKeyedSubscript(kTargetScreenFrameKey).rectValue();
    if (coveredHere_ && coveredHere_(target)) return;

    QDBusMessage message =
        QDBusMessage::createSignal(QLatin1String(kSparkLeakPath), QLatin1String(kSparkLeakInterface),
                                   QLatin1String(kSparkLeakMember));
    message << posix::kSparkLeakWireVersion << displayIdentity_ << options_.uid << options_.pid
            << target.origin.x << target.origin.y << target.size.width << target.size.height
            << toInt32(info.objectForKeyedSubscript(kEdgeKey).integerValue(), INT32_MIN, INT32_MAX)
            << info.objectForKeyedSubscript(kPositionFractionKey).doubleValue()
            << toInt32(info.objectForKeyedSubscript(kSparkCountKey).integerValue(), INT32_MIN, INT32_MAX)
            << info.objectForKeyedSubscript(kAngleCenterKey).doubleValue()
            << info.objectForKeyedSubscript(kAngleSpreadKey).doubleValue();
    if (connection_->send(message)) ++sent_;
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
    const size_t n = queue_.take(batch, &remaining);
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
    if (!loggedDrop_ && queue_.dropped() > 0) {
        loggedDrop_ = true;
        log_("spark leaks arrive faster than they can be shown; the surplus is dropped");
    }
}

SparkLeakBridge::Counts SparkLeakBridge::counts() const {
    Counts c;
    c.sent = sent_;
    c.accepted = accepted_.load();
    c.rejected = rejected_.load();
    c.dropped = queue_.dropped();
    c.reposted = reposted_;
    c.drains = drains_;
    return c;
}

// --- The receiver, on the receiving thread ---

void SparkLeakReceiver::connectToBus() {
    QDBusConnection connection = QDBusConnection::connectToBus(bridge_.options_.busAddress, bridge_.connectionName_);
    QString error;
    bool ok = connection.isConnected();
    if (!ok) {
        error = connection.lastError().message();
        if (error.isEmpty()) error = QStringLiteral("cannot connect to ") + bridge_.options_.busAddress;
    } else if (!connection.connect(QString(), QLatin1String(kSparkLeakPath), QLatin1String(kSparkLeakInterface),
                                   QLatin1String(kSparkLeakMember), this, SLOT(handleMessage(QDBusMessage)))) {
        ok = false;
        error = QStringLiteral("cannot watch for spark leaks: ") + connection.lastError().message();
    }
    SparkLeakBridge* bridge = &bridge_;
    QMetaObject::invokeMethod(bridge, [bridge, ok, error] { bridge->receiverConnected(ok, error); },
                              Qt::QueuedConnection);
}

void SparkLeakReceiver::handleMessage(const QDBusMessage& message) {
    // The arguments as plain values for the decoder; no allocation but what the message holds.
    // One string is all a message needs: text past the buffer reads as a value of another type.
    const QList<QVariant> arguments = message.arguments();
    std::array<posix::WireValue, posix::kSparkLeakArgumentCount> values;
    std::array<char, posix::kMaxDisplayIdentity * 3> text;
    size_t textUsed = 0;
    const size_t count = static_cast<size_t>(arguments.size());
    if (count == values.size()) {
        for (size_t i = 0; i < count; ++i) {
            const QVariant& v = arguments[static_cast<qsizetype>(i)];
            switch (v.metaType().id()) {
                case QMetaType::Int: values[i] = posix::WireValue::int32(v.toInt()); break;
                case QMetaType::UInt: values[i] = posix::WireValue::uint32(v.toUInt()); break;
                case QMetaType::Double: values[i] = posix::WireValue::number(v.toDouble()); break;
                case QMetaType::QString: {
                    const QString* s = static_cast<const QString*>(v.constData());
                    const size_t room = text.size() - textUsed;
                    if (static_cast<size_t>(s->size()) * 3 > room) break;  // stays Other
                    QStringEncoder encoder(QStringEncoder::Utf8);
                    char* begin = text.data() + textUsed;
                    char* end = encoder.appendToBuffer(begin, *s);
                    textUsed += static_cast<size_t>(end - begin);
                    values[i] = posix::WireValue::string(std::string_view(begin, static_cast<size_t>(end - begin)));
                    break;
                }
                default: break;  // any other type stays Other
            }
        }
    }
    const posix::LeakReceiverIdentity self{bridge_.options_.displayIdentity, bridge_.options_.uid,
                                           bridge_.options_.pid};
    const std::optional<posix::DecodedSparkLeak> leak =
        count == values.size() ? posix::decodeSparkLeak(values, self) : std::nullopt;
    if (!leak) {
        bridge_.rejected_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    bridge_.accepted_.fetch_add(1, std::memory_order_relaxed);
    if (bridge_.queue_.push(*leak)) {
        SparkLeakBridge* bridge = &bridge_;
        QMetaObject::invokeMethod(bridge, [bridge] { bridge->wake(); }, Qt::QueuedConnection);
    }
}

}  // namespace qtbackend
