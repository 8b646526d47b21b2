// Sparks between processes. A screen-saver daemon on X runs one process per monitor, so a spark
// leak aimed at the next monitor must leave the process that posted it. The bridge watches the
// spark-leak notification on the process's default centre; one aimed at a display that no view of
// this process covers goes out as a signal on the session bus. Signals from the other processes
// of the same user and display server are decoded on a thread of their own into a small queue
// of fixed size, and re-posted on the default centre from the GUI thread, where the module's own
// receiving code decides which view, if any, spawns the sparks. A flood of messages costs the
// GUI thread at most kMaxLeaksPerDrain re-posts every kDrainSpacingMs; the rest is dropped.
#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "host/notifications.h"
#include "platform/posix/spark_leak_wire.h"

namespace qtbackend {

class SparkLeakReceiver;

/// The bus object, interface and member of the leak signal.
inline constexpr char kSparkLeakPath[] = "/org/tavrin/ScreenSaver";
inline constexpr char kSparkLeakInterface[] = "org.tavrin.ScreenSaver.CrossMonitor";
inline constexpr char kSparkLeakMember[] = "SparkLeak";

/// Where and as whom the bridge talks.
struct SparkLeakBridgeOptions {
    QString busAddress;           ///< the session bus's address; empty: there is none
    std::string whyNoBus;         ///< with no address: what the log line says
    std::string displayIdentity;  ///< posix::displayServerIdentity() of this process
    uint32_t uid = 0;
    uint32_t pid = 0;

    /// The session bus of this process's environment (DBUS_SESSION_BUS_ADDRESS, else the
    /// per-user socket $XDG_RUNTIME_DIR/bus; never a bus started on demand), the display server
    /// Qt runs on, and this process's user and id.
    static SparkLeakBridgeOptions fromEnvironment();
};

/// A fixed-capacity queue of decoded leaks between the receiving thread and the GUI thread.
class SparkLeakQueue {
public:
    static constexpr size_t kCapacity = 64;

    /// Adds a leak unless the queue is full (then it is dropped and counted). True when the
    /// consumer must be woken: the first leak since the consumer last found the queue empty.
    bool push(const posix::DecodedSparkLeak& leak);
    /// Takes up to `out.size()` leaks, oldest first; `remaining` tells what is left. A consumer
    /// that finds nothing left is woken by the next push.
    template <size_t N>
    size_t take(std::array<posix::DecodedSparkLeak, N>& out, size_t* remaining) {
        return take(out.data(), N, remaining);
    }
    uint64_t dropped() const { return dropped_.load(); }

private:
    size_t take(posix::DecodedSparkLeak* out, size_t capacity, size_t* remaining);
    std::mutex mutex_;
    std::array<posix::DecodedSparkLeak, kCapacity> items_{};
    size_t head_ = 0;
    size_t size_ = 0;
    bool wakePending_ = false;
    std::atomic<uint64_t> dropped_{0};
};

class SparkLeakBridge : public QObject {
    Q_OBJECT
public:
    /// Whether a view of this process covers the display with that frame (global display
    /// coordinates); such leaks stay in the process.
    using CoverageTest = std::function<bool(const host::CGRect& frame)>;
    /// Writes one line to the log.
    using LogLine = std::function<void(const std::string& line)>;

    /// Most leaks re-posted by one drain, and the least time between two drains.
    static constexpr size_t kMaxLeaksPerDrain = 16;
    static constexpr int kDrainSpacingMs = 10;

    SparkLeakBridge(host::NotificationCenter& center, CoverageTest coveredHere, LogLine log,
                    SparkLeakBridgeOptions options, QObject* parent = nullptr);
    ~SparkLeakBridge() override;

    /// Connects to the bus on the receiving thread and starts watching the default centre. Logs
    /// one line: connected, or why sparks stay on this display. `connectedChanged` follows.
    void start();
    bool isConnected() const { return connected_; }

    struct Counts {
        uint64_t sent = 0;       ///< leaks handed to the bus
        uint64_t accepted = 0;   ///< received messages that decoded to a leak
        uint64_t rejected = 0;   ///< received messages that did not
        uint64_t dropped = 0;    ///< accepted leaks dropped because the queue was full
        uint64_t reposted = 0;   ///< leaks posted on the default centre
        uint64_t drains = 0;     ///< drains that re-posted at least one leak
    };
    Counts counts() const;

signals:
    /// The bus connection was made (true) or could not be (false).
    void connectedChanged(bool connected);

private:
    friend class SparkLeakReceiver;
    void handleLocalLeak(const host::Notification& notification);
    void receiverConnected(bool ok, const QString& error);
    void wake();
    void drain();
    void logNoBus(const std::string& why);

    host::NotificationCenter& center_;
    CoverageTest coveredHere_;
    LogLine log_;
    SparkLeakBridgeOptions options_;
    QString connectionName_;
    QString displayIdentity_;
    SparkLeakQueue queue_;
    QThread thread_;
    SparkLeakReceiver* receiver_ = nullptr;
    std::optional<QDBusConnection> connection_;
    bool connected_ = false;
    bool started_ = false;
    bool observing_ = false;
    QTimer drainTimer_;
    QElapsedTimer drainClock_;
    qint64 lastDrainMs_ = -1;
    bool loggedDrop_ = false;
    uint64_t sent_ = 0;
    uint64_t reposted_ = 0;
    uint64_t drains_ = 0;
    std::atomic<uint64_t> accepted_{0};
    std::atomic<uint64_t> rejected_{0};
};

/// Lives on the bridge's receiving thread: owns the bus connection's signal handler.
class SparkLeakReceiver : public QObject {
    Q_OBJECT
public:
    explicit SparkLeakReceiver(SparkLeakBridge& bridge) : bridge_(bridge) {}

public slots:
    void connectToBus();
    void handleMessage(const QDBusMessage& message);

private:
    SparkLeakBridge& bridge_;
};

}  // namespace qtbackend
