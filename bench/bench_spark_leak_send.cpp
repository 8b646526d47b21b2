// One send of a spark leak over a folder that a careless or hostile process of the user has filled:
// 1,000 junk entries, 50 sockets that never read (queues full) and two live peers, plus 150 sockets
// of ended processes for the first send, which removes them. A first send walks the folder and
// connects to every peer; later sends walk it at most every SparkLeakSocket::kRescanMs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/spark_leak_socket.h"

namespace {

using posix::SparkLeakSocket;

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    path.copy(a.sun_path, sizeof a.sun_path - 1);
    return a;
}

/// The folder, its junk, silent sockets and live peers, made once.
struct HostileFolder {
    HostileFolder() {
        char pattern[] = "/tmp/tavrin-bench-XXXXXX";
        path = ::mkdtemp(pattern);
        for (int i = 0; i < 1000; ++i)
            std::system(("touch '" + path + "/junk" + std::to_string(i) + "'").c_str());
        const posix::SparkLeakDatagram d{};
        for (int i = 0; i < 50; ++i) {
            const sockaddr_un a = addressOf(path + "/" + std::to_string(700000 + i) + "-0000abcd");
            silent.push_back(::socket(AF_UNIX, SOCK_DGRAM, 0));
            ::bind(silent.back(), reinterpret_cast<const sockaddr*>(&a), sizeof a);
            // Fresh senders until the queue takes no more.
            for (bool took = true; took;) {
                const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
                took = false;
                while (::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) >= 0)
                    took = true;
                ::close(fd);
            }
        }
        std::string why;
        live[0].open(path, 2, &why);
        live[1].open(path, 3, &why);
    }
    ~HostileFolder() {
        for (const int fd : silent) ::close(fd);
        live[0].close();
        live[1].close();
        std::system(("rm -rf '" + path + "'").c_str());
    }
    void makeStale() {
        for (int i = 0; i < 150; ++i) {
            const sockaddr_un a = addressOf(path + "/" + std::to_string(800000 + i) + "-0000abcd");
            const int fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
            ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
            ::close(fd);
        }
    }
    void drainLive() {
        posix::SparkLeakDatagram d;
        posix::SenderCredentials from;
        for (SparkLeakSocket& peer : live)
            while (peer.receive(d, &from) != SparkLeakSocket::Received::Nothing) {
            }
    }

    std::string path;
    std::vector<int> silent;
    SparkLeakSocket live[2];
};

HostileFolder& folder() {
    static HostileFolder f;
    return f;
}

void BM_FirstSendOverHostileFolder(benchmark::State& state) {
    HostileFolder& f = folder();
    const posix::SparkLeakDatagram d{};
    uint64_t delivered = 0, stale = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.makeStale();
        SparkLeakSocket sender;
        std::string why;
        sender.open(f.path, 1, &why);
        state.ResumeTiming();
        const SparkLeakSocket::SendResult r = sender.sendToPeers(d, 0);
        state.PauseTiming();
        delivered += r.delivered;
        stale += r.stale;
        sender.close();
        f.drainLive();
        state.ResumeTiming();
    }
    const auto perSend = [](uint64_t n) {
        return benchmark::Counter(static_cast<double>(n), benchmark::Counter::kAvgIterations);
    };
    state.counters["delivered"] = perSend(delivered);
    state.counters["stale"] = perSend(stale);
}
BENCHMARK(BM_FirstSendOverHostileFolder)->Unit(benchmark::kMicrosecond)->Iterations(30);

/// Later sends: `walkEvery` 1 walks the folder at each send, 0 never after the first.
void BM_LaterSend(benchmark::State& state) {
    HostileFolder& f = folder();
    const posix::SparkLeakDatagram d{};
    SparkLeakSocket sender;
    std::string why;
    sender.open(f.path, 1, &why);
    // Past the first send, and past giving up on the silent sockets.
    int64_t now = 0;
    for (; now <= SparkLeakSocket::kGiveUpMs + SparkLeakSocket::kRescanMs; now += SparkLeakSocket::kRescanMs)
        sender.sendToPeers(d, now);
    f.drainLive();
    uint64_t delivered = 0, sends = 0;
    for (auto _ : state) {
        now += state.range(0) ? SparkLeakSocket::kRescanMs : 0;
        delivered += sender.sendToPeers(d, now).delivered;
        if (++sends % 8 == 0) {  // a live peer queues about 10 datagrams (net.unix.max_dgram_qlen)
            state.PauseTiming();
            f.drainLive();
            state.ResumeTiming();
        }
    }
    f.drainLive();
    state.counters["delivered"] =
        benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LaterSend)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
