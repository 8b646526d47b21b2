// The exchange of spark leaks with the other processes of the user and display server, on a
// thread of its own: it sends what the program hands it to every other socket of the folder, and
// decodes what arrives into a small queue of fixed size for the program's own thread, which it
// wakes through a file descriptor. Neither side ever waits for the other, and nothing is
// allocated per datagram. Its datagrams carry a random token of its own, by which it knows and
// drops its own.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/spark_leak_socket.h"
#include "platform/posix/spark_leak_wire.h"

namespace posix {

/// A fixed-capacity queue of leaks between two threads.
class SparkLeakQueue {
public:
    static constexpr size_t kCapacity = 64;

    /// Adds a leak unless the queue is full (then it is dropped and counted). True when the
    /// consumer must be woken: the first leak since the consumer last found the queue empty.
    bool push(const DecodedSparkLeak& leak);
    /// Takes up to `out.size()` leaks, oldest first; `remaining` tells what is left. A consumer
    /// that finds nothing left is woken by the next push.
    template <size_t N>
    size_t take(std::array<DecodedSparkLeak, N>& out, size_t* remaining) {
        return take(out.data(), N, remaining);
    }
    uint64_t dropped() const { return dropped_.load(); }

private:
    size_t take(DecodedSparkLeak* out, size_t capacity, size_t* remaining);
    std::mutex mutex_;
    std::array<DecodedSparkLeak, kCapacity> items_{};
    size_t head_ = 0;
    size_t size_ = 0;
    bool wakePending_ = false;
    std::atomic<uint64_t> dropped_{0};
};

class SparkLeakExchange {
public:
    /// Most datagrams read in a row before the thread looks at leaks to send again.
    static constexpr size_t kReceiveBatch = 64;

    SparkLeakExchange() = default;
    ~SparkLeakExchange() { stop(); }
    SparkLeakExchange(const SparkLeakExchange&) = delete;
    SparkLeakExchange& operator=(const SparkLeakExchange&) = delete;

    /// Most log lines kept for the consumer; more are dropped. A note is made once for each peer
    /// given up on, and that many are remembered at most.
    static constexpr size_t kMaxNotes = SparkLeakSocket::kMaxGivenUp;

    /// Binds this process's socket in `folder`, named after `pid` and a random part, and starts
    /// the thread. Leaks are taken only from the user `uid` and the display server `display`, and
    /// not from this exchange. False with the reason in `why`.
    bool start(const std::string& folder, std::string_view display, uint32_t uid, uint32_t pid, std::string* why);
    /// Ends the thread and removes the socket.
    void stop();
    bool isRunning() const { return thread_.joinable(); }
    const std::string& socketPath() const { return socket_.path(); }

    /// Hands a leak over for every other process, without waiting. False when the queue of leaks
    /// still to send is full (the leak is dropped) or the exchange is not running.
    bool send(const DecodedSparkLeak& leak);

    /// Readable while received leaks or notes wait to be taken; acknowledge() before taking them.
    int readyFd() const { return readyFd_; }
    void acknowledge();
    /// Lines for the log from the exchange's thread (a peer given up on, by its name), oldest first.
    std::vector<std::string> takeNotes();
    /// The received leaks, as SparkLeakQueue::take.
    template <size_t N>
    size_t take(std::array<DecodedSparkLeak, N>& out, size_t* remaining) {
        return received_.take(out, remaining);
    }

    struct Counts {
        uint64_t sent = 0;      ///< datagrams taken by another process's queue
        uint64_t unsent = 0;    ///< leaks or datagrams dropped because a queue was full
        uint64_t accepted = 0;  ///< datagrams that decoded to a leak
        uint64_t rejected = 0;  ///< datagrams that did not
        uint64_t dropped = 0;   ///< accepted leaks dropped because the received queue was full
    };
    Counts counts() const;

private:
    void run();
    void sendWaiting();
    void receiveWaiting();
    void addNote(std::string note);

    SparkLeakSocket socket_;
    std::string display_;
    uint64_t token_ = 0;
    LeakReceiverIdentity self_;
    std::mutex notesMutex_;
    std::vector<std::string> notes_;
    bool notedLeftOut_ = false;
    SparkLeakQueue outgoing_;
    SparkLeakQueue received_;
    int wakeFd_ = -1;   ///< tells the thread: leaks to send, or stop
    int readyFd_ = -1;  ///< tells the consumer: leaks received
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    SparkLeakDatagram buffer_{};
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> unsent_{0};
    std::atomic<uint64_t> accepted_{0};
    std::atomic<uint64_t> rejected_{0};
};

}  // namespace posix
