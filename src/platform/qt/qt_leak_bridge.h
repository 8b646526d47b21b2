// Sparks between processes. A screen-saver daemon on X runs one process per monitor, so a spark
// leak aimed at the next monitor must leave the process that posted it. The bridge watches the
// spark-leak notification on the process's default centre; one aimed at a display that no view of
// this process covers goes to the other processes of the same user and display server through
// the exchange's sockets (posix/spark_leak_exchange.h). Leaks they send are decoded on the
// exchange's thread into a small queue of fixed size, and re-posted on the default centre from
// the GUI thread, where the module's own receiving code decides which view, if any, spawns the
// sparks. A flood of datagrams costs the GUI thread at most kMaxLeaksPerDrain re-posts every
// kDrainSpacingMs; the rest is dropped.
#pragma once

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/notifications.h"
#include "platform/posix/spark_leak_exchange.h"

namespace qtbackend {

/// Where and as whom the bridge exchanges leaks.
struct SparkLeakBridgeOptions {
    std::string folder;           ///< the folder of the sockets; empty: sparks stay in the process
    std::string whyNoFolder;      ///< with no folder: what the log line says
    std::vector<std::string> passedOver;  ///< why each runtime folder passed over was, one line each
    std::string displayIdentity;  ///< posix::displayServerIdentity() of this process
    uint32_t uid = 0;
    uint32_t pid = 0;             ///< the first part of this process's socket's name

    /// The folder of this process's user and display server (posix::sparkLeakFolder(), made
    /// when missing), the display server Qt runs on, and this process's user and id.
    static SparkLeakBridgeOptions fromEnvironment();
};

class SparkLeakBridge {
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
                    SparkLeakBridgeOptions options);
    ~SparkLeakBridge();
    SparkLeakBridge(const SparkLeakBridge&) = delete;
    SparkLeakBridge& operator=(const SparkLeakBridge&) = delete;

    /// Binds this process's socket and starts watching the default centre. Logs a line for each
    /// runtime folder passed over, then one: where sparks go, or why they stay on this display;
    /// later, what the exchange notes (a peer given up on). True when leaks are exchanged.
    bool start();
    bool isExchanging() const { return exchange_.isRunning(); }
    const std::string& socketPath() const { return exchange_.socketPath(); }

    struct Counts {
        posix::SparkLeakExchange::Counts exchange;
        uint64_t reposted = 0;  ///< leaks posted on the default centre
        uint64_t drains = 0;    ///< drains that re-posted at least one leak
    };
    Counts counts() const;

private:
    void handleLocalLeak(const host::Notification& notification);
    void wake();
    void drain();

    host::NotificationCenter& center_;
    CoverageTest coveredHere_;
    LogLine log_;
    SparkLeakBridgeOptions options_;
    posix::SparkLeakExchange exchange_;
    std::unique_ptr<QSocketNotifier> ready_;
    bool observing_ = false;
    QTimer drainTimer_;
    QElapsedTimer drainClock_;
    qint64 lastDrainMs_ = -1;
    bool loggedDrop_ = false;
    uint64_t reposted_ = 0;
    uint64_t drains_ = 0;
};

}  // namespace qtbackend
