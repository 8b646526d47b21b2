// Spark leaks between processes over a real bus (a dbus-daemon started for the test). Two
// bridges stand for two processes: a leak for a display the sender does not cover reaches the
// other, and nothing else crosses; then a flood of hostile and valid messages is taken without
// stalling the GUI thread or holding on to memory.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <malloc.h>
#include <vector>

#include "platform/qt/qt_leak_bridge.h"
#include "qt_host_test_support.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

constexpr char kDisplay[] = "x11:test:0.0";
constexpr uint32_t kUid = 1000;

/// A private bus for one test, ended with it.
class TestBus {
public:
    TestBus() {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) return;
        process_.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!process_.waitForStarted(5000)) return;
        for (int i = 0; i < 50 && !process_.canReadLine(); ++i) process_.waitForReadyRead(100);
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~TestBus() {
        process_.kill();
        process_.waitForFinished(3000);
    }
    const QString& address() const { return address_; }

private:
    QProcess process_;
    QString address_;
};

qtbackend::SparkLeakBridgeOptions options(const QString& address, uint32_t pid) {
    qtbackend::SparkLeakBridgeOptions o;
    o.busAddress = address;
    o.displayIdentity = kDisplay;
    o.uid = kUid;
    o.pid = pid;
    return o;
}

bool sameFrame(const host::CGRect& a, const host::CGRect& b) {
    return a.origin.x == b.origin.x && a.origin.y == b.origin.y && a.size.width == b.size.width &&
           a.size.height == b.size.height;
}

/// The leaks that reach a centre, and from whom.
struct Recorder {
    struct Seen {
        const void* sender;
        host::CGRect target;
        int64_t edge, sparkCount;
        double fraction, angleCenter, angleSpread;
    };
    explicit Recorder(host::NotificationCenter& center) : center(center) {
        center.addObserver(this, host::TavrinSparkLeakNotification, nullptr, [this](const host::Notification& n) {
            const host::UserInfo& i = *n.userInfo;
            seen.push_back({n.object, i.objectForKeyedSubscript("targetScreenFrame").rectValue(),
                            i.objectForKeyedSubscript("edge").integerValue(),
                            i.objectForKeyedSubscript("sparkCount").integerValue(),
                            i.objectForKeyedSubscript("positionFraction").doubleValue(),
                            i.objectForKeyedSubscript("angleCenter").doubleValue(),
                            i.objectForKeyedSubscript("angleSpread").doubleValue()});
        });
    }
    ~Recorder() { center.removeObserver(this, host::TavrinSparkLeakNotification, nullptr); }
    size_t from(const void* sender) const {
        return static_cast<size_t>(std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.sender == sender; }));
    }
    host::NotificationCenter& center;
    std::vector<Seen> seen;
};

void postLeak(host::NotificationCenter& center, const void* sender, host::CGRect target, int64_t count = 10) {
    host::UserInfo info;
    info.set("targetScreenFrame", host::InfoValue::valueWithRect(target));
    info.set("edge", host::InfoValue::numberWithInteger(1));
    info.set("positionFraction", host::InfoValue::numberWithDouble(0.25));
    info.set("sparkCount", host::InfoValue::numberWithInteger(count));
    info.set("angleCenter", host::InfoValue::numberWithDouble(0.5));
    info.set("angleSpread", host::InfoValue::numberWithDouble(1.5));
    center.postNotificationName(host::TavrinSparkLeakNotification, sender, &info);
}

const host::CGRect kLeft = host::NSMakeRect(0, 0, 1920, 1080);
const host::CGRect kRight = host::NSMakeRect(1920, 0, 1920, 1080);

}  // namespace

TEST(SparkLeakBridge, OnlyLeaksForUncoveredDisplaysCrossAndAFloodNeitherStallsNorHoldsMemory) {
    TestBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "needs dbus-daemon (package dbus-daemon)";
    // Two processes: A shows the left display, the receiver the right one.
    host::LocalNotificationCenter centerA, center;
    std::vector<std::string> logA;
    qtbackend::SparkLeakBridge a(centerA, [](const host::CGRect& f) { return sameFrame(f, kLeft); },
                                 [&logA](const std::string& l) { logA.push_back(l); }, options(bus.address(), 1001));
    qtbackend::SparkLeakBridge receiver(center, [](const host::CGRect& f) { return sameFrame(f, kRight); },
                                        [](const std::string&) {}, options(bus.address(), 1002));
    a.start();
    receiver.start();
    ASSERT_TRUE(qttest::spinUntil([&] { return a.isConnected() && receiver.isConnected(); }, 10000));
    ASSERT_EQ(logA.size(), 1u);
    Recorder seenA(centerA), seen(center);

    const int view = 0;
    postLeak(centerA, &view, kLeft);        // A covers its own display: stays in A
    postLeak(centerA, &view, kRight, 900);  // for the other display: crosses, its count clamped
    ASSERT_TRUE(qttest::spinUntil([&] { return seen.from(&receiver) == 1; }, 5000));
    qttest::spinFor(200);  // anything that would wrongly follow has time to arrive
    EXPECT_EQ(a.counts().sent, 1u);
    ASSERT_EQ(seen.from(&receiver), 1u);
    const Recorder::Seen& got = seen.seen.back();
    EXPECT_TRUE(sameFrame(got.target, kRight));
    EXPECT_EQ(got.edge, 1);
    EXPECT_EQ(got.fraction, 0.25);
    EXPECT_EQ(got.sparkCount, posix::kMaxLeakSparks);
    EXPECT_EQ(got.angleCenter, 0.5);
    EXPECT_EQ(got.angleSpread, 1.5);
    // A heard its own signal and dropped it; the receiver posted what it got but never sent it on.
    EXPECT_EQ(seenA.from(&a), 0u);
    EXPECT_EQ(a.counts().rejected, 1u);
    EXPECT_EQ(receiver.counts().sent, 0u);
    seen.seen.clear();

    // 10,000 messages in about a second from another connection: one in four a valid leak, the
    // rest broken in the ways a hostile sender might choose.
    constexpr int kMessages = 10000;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QThread* flood = QThread::create([&bus, nan] {
        QDBusConnection c = QDBusConnection::connectToBus(bus.address(), QStringLiteral("flood"));
        for (int i = 0; i < kMessages; ++i) {
            QDBusMessage m = QDBusMessage::createSignal(QLatin1String(qtbackend::kSparkLeakPath),
                                                        QLatin1String(qtbackend::kSparkLeakInterface),
                                                        QLatin1String(qtbackend::kSparkLeakMember));
            const int kind = i % 8;
            m << posix::kSparkLeakWireVersion << QString::fromLatin1(kDisplay) << kUid << uint32_t(2000);
            if (kind == 1) {  // missing fields
                c.send(m);
            } else {
                m << 1920.0 << 0.0 << (kind == 2 ? nan : 1920.0) << 1080.0 << (kind == 3 ? 7 : 1)
                  << (kind == 4 ? QVariant(QStringLiteral("half")) : QVariant(0.5))
                  << (kind == 5 ? -5 : kind == 6 ? 1000000000 : 10) << 0.0 << 1.0;
                if (kind == 7) m << QByteArray(4096, 'x');  // one too many, and large
                c.send(m);
            }
            if (i % 100 == 99) QThread::msleep(10);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("flood"));
    });

    seen.seen.reserve(kMessages);  // the recorder's own memory is not the bridge's
    const size_t heapBefore = mallinfo2().uordblks;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0, longestGap = 0;
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frames, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    frames.start(33);
    flood->start();
    const bool allArrived = qttest::spinUntil(
        [&] {
            const auto c = receiver.counts();
            return flood->isFinished() && c.accepted + c.rejected >= kMessages + 1;
        },
        30000);
    qttest::spinFor(100);
    frames.stop();
    const qint64 elapsed = clock.elapsed();
    flood->wait();
    delete flood;
    const size_t heapAfter = mallinfo2().uordblks;

    const auto c = receiver.counts();
    std::printf("    %d messages in %lld ms: %llu accepted, %llu rejected, %llu dropped, %llu re-posted in %llu "
                "drains; longest gap between 33 ms frames %lld ms; heap %+lld bytes\n",
                kMessages, static_cast<long long>(elapsed), static_cast<unsigned long long>(c.accepted),
                static_cast<unsigned long long>(c.rejected), static_cast<unsigned long long>(c.dropped),
                static_cast<unsigned long long>(c.reposted), static_cast<unsigned long long>(c.drains),
                static_cast<long long>(longestGap),
                static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore));
    EXPECT_TRUE(allArrived);
    // Valid: kinds 0 and 6 (its count clamped). Everything else is rejected.
    EXPECT_EQ(c.accepted, static_cast<uint64_t>(kMessages / 4 + 1));
    EXPECT_EQ(c.rejected, static_cast<uint64_t>(kMessages - kMessages / 4));
    EXPECT_EQ(c.accepted, c.reposted + c.dropped);
    for (const auto& s : seen.seen) EXPECT_LE(s.sparkCount, posix::kMaxLeakSparks);
    // The GUI thread's share is bounded: a drain at most every kDrainSpacingMs, each of a few
    // leaks. (The spacing is measured between drains, so allow for one early drain.)
    EXPECT_LE(c.drains, static_cast<uint64_t>(elapsed / qtbackend::SparkLeakBridge::kDrainSpacingMs + 2));
    EXPECT_LE(c.reposted, c.drains * qtbackend::SparkLeakBridge::kMaxLeaksPerDrain);
    // Frames go on: generous, for a machine shared with other work; a GUI thread that handled
    // the flood itself falls seconds behind.
    EXPECT_LT(longestGap, 250);
    // Nothing of the flood is kept: the queue is fixed and every message is freed.
    EXPECT_LT(static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore), 1 << 20);
}
