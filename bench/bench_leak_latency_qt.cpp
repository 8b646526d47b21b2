// How long a spark leak takes from one process to another through the sockets of the bridge, and
// what the bridge costs a process while no leaks happen. Run by hand from a Release build:
//
//     build/release/bench/bench_leak_latency_qt [LEAKS]
//
// It makes a folder for the sockets and forks. The child stands for the process whose sprite hits
// the shared edge: it posts a leak on its default centre every 1/30 s, as a frame step would,
// and notes the time of each post. The parent stands for the neighbour's process: its bridge
// re-posts what arrives on its default centre, where a view spawns the sparks at once, and it
// notes the time of each re-post. Both clocks are CLOCK_MONOTONIC, one clock for the machine.
// Then the parent's bridge idles for ten seconds with nobody sending, and the program prints the
// CPU time and the context switches of that idle stretch.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/qt/qt_leak_bridge.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

const host::CGRect kLeft = host::NSMakeRect(0, 0, 1920, 1080);
const host::CGRect kRight = host::NSMakeRect(1920, 0, 1920, 1080);

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

qtbackend::SparkLeakBridgeOptions options(const std::string& folder) {
    qtbackend::SparkLeakBridgeOptions o;
    o.folder = folder;
    o.displayIdentity = "x11:bench:0.0";
    o.uid = static_cast<uint32_t>(::getuid());
    o.pid = static_cast<uint32_t>(::getpid());
    return o;
}

/// Runs the event loop for a while, sleeping while nothing happens.
void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

/// The sending process: posts `leaks` leaks for the other display, one a frame, and writes the
/// time of each post to `out`.
int runSender(const std::string& folder, int leaks, int out) {
    int argc = 1;
    char name[] = "sender";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    host::LocalNotificationCenter center;
    qtbackend::SparkLeakBridge bridge(center, [](const host::CGRect& f) { return f.origin.x == kLeft.origin.x; },
                                      [](const std::string&) {}, options(folder));
    if (!bridge.start()) return 1;
    spin(500);  // the receiver starts meanwhile
    std::vector<double> sent(static_cast<size_t>(leaks));
    const int view = 0;
    for (int i = 0; i < leaks; ++i) {
        host::UserInfo info;
        info.set("targetScreenFrame", host::InfoValue::valueWithRect(kRight));
        info.set("edge", host::InfoValue::numberWithInteger(tavrin::EdgeRight));
        info.set("positionFraction", host::InfoValue::numberWithDouble(0.5));
        info.set("sparkCount", host::InfoValue::numberWithInteger(10));
        // The leak's number travels as its angle.
        info.set("angleCenter", host::InfoValue::numberWithDouble(i * 1e-3));
        info.set("angleSpread", host::InfoValue::numberWithDouble(1.5));
        sent[static_cast<size_t>(i)] = nowMs();
        center.postNotificationName(host::TavrinSparkLeakNotification, &view, &info);
        spin(33);
    }
    spin(500);
    const ssize_t bytes = static_cast<ssize_t>(sent.size() * sizeof(double));
    return ::write(out, sent.data(), static_cast<size_t>(bytes)) == bytes ? 0 : 1;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

}  // namespace

int main(int argc, char** argv) {
    const int leaks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    std::string folder = (std::filesystem::temp_directory_path() / "tavrin-bench.XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        std::fputs("cannot make a folder for the sockets\n", stderr);
        return 1;
    }

    int times[2];
    if (::pipe(times) != 0) return 1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(times[0]);
        ::_exit(runSender(folder, leaks, times[1]));
    }
    ::close(times[1]);

    QCoreApplication app(argc, argv);
    host::LocalNotificationCenter center;
    qtbackend::SparkLeakBridge bridge(center, [](const host::CGRect& f) { return f.origin.x == kRight.origin.x; },
                                      [](const std::string&) {}, options(folder));
    std::vector<double> arrived(static_cast<size_t>(leaks), -1);
    const int observer = 0;
    center.addObserver(&observer, host::TavrinSparkLeakNotification, nullptr, [&](const host::Notification& n) {
        if (n.object != &bridge) return;
        const long i = std::lround(n.userInfo->objectForKeyedSubscript("angleCenter").doubleValue() * 1e3);
        if (i >= 0 && i < leaks) arrived[static_cast<size_t>(i)] = nowMs();
    });
    if (!bridge.start()) return 1;

    // Frames of the receiving process, as a view's timer would run them.
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frames, &QTimer::timeout, [] {});
    frames.start(33);
    // The sender needs about 1/30 s a leak, plus a second to start and to end.
    spin(leaks * 34 + 3000);
    std::vector<double> sent(static_cast<size_t>(leaks));
    size_t got = 0;
    while (got < sent.size() * sizeof(double)) {
        const ssize_t n = ::read(times[0], reinterpret_cast<char*>(sent.data()) + got, sent.size() * sizeof(double) - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (got != sent.size() * sizeof(double)) {
        std::fputs("the sender did not finish\n", stderr);
        return 1;
    }
    std::vector<double> latency;
    for (size_t i = 0; i < sent.size(); ++i)
        if (arrived[i] >= 0) latency.push_back(arrived[i] - sent[i]);
    if (latency.empty()) {
        std::fputs("no leak arrived\n", stderr);
        return 1;
    }
    std::printf("post to spawn over %zu of %d leaks: median %.3f ms, 90th percentile %.3f ms, max %.3f ms\n",
                latency.size(), leaks, percentile(latency, 0.5), percentile(latency, 0.9),
                *std::max_element(latency.begin(), latency.end()));

    // The idle bridge: its socket bound, nobody sends.
    frames.stop();
    spin(500);
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const double start = nowMs();
    spin(10000);
    getrusage(RUSAGE_SELF, &after);
    auto ms = [](const timeval& v) { return static_cast<double>(v.tv_sec) * 1e3 + static_cast<double>(v.tv_usec) / 1e3; };
    std::printf("idle bridge over %.0f ms: CPU %.3f ms (user %.3f, system %.3f), %ld voluntary context switches "
                "(all threads of the process)\n",
                nowMs() - start, ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime),
                ms(after.ru_utime) - ms(before.ru_utime), ms(after.ru_stime) - ms(before.ru_stime),
                after.ru_nvcsw - before.ru_nvcsw);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
