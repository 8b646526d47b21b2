#include "platform/posix/spark_leak_exchange.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace posix {
namespace {

void signalFd(int fd) {
    const uint64_t one = 1;
    // A full counter already wakes the reader: the result is moot.
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void clearFd(int fd) {
    uint64_t count;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}

int64_t monotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

// --- The queue ---

bool SparkLeakQueue::push(const DecodedSparkLeak& leak) {
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

size_t SparkLeakQueue::take(DecodedSparkLeak* out, size_t capacity, size_t* remaining) {
    std::lock_guard lock(mutex_);
    const size_t n = std::min(capacity, size_);
    for (size_t i = 0; i < n; ++i) out[i] = items_[(head_ + i) % kCapacity];
    head_ = (head_ + n) % kCapacity;
    size_ -= n;
    if (size_ == 0) wakePending_ = false;
    *remaining = size_;
    return n;
}

// --- The exchange ---

bool SparkLeakExchange::start(const std::string& folder, std::string_view display, uint32_t uid, uint32_t pid,
                              std::string* why) {
    if (isRunning()) return true;
    if (display.size() > kMaxDisplayIdentity) {
        *why = "the display server's name is too long";
        return false;
    }
    if (!socket_.open(folder, pid, why)) return false;
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    readyFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0 || readyFd_ < 0) {
        *why = std::string("cannot make an event descriptor: ") + std::strerror(errno);
        stop();
        return false;
    }
    display_ = std::string(display);
    token_ = randomToken();
    self_ = {display_, uid, token_};
    notedLeftOut_ = false;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SparkLeakExchange::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        signalFd(wakeFd_);
        thread_.join();
    }
    socket_.close();
    for (int* fd : {&wakeFd_, &readyFd_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

bool SparkLeakExchange::send(const DecodedSparkLeak& leak) {
    if (!isRunning()) return false;
    const uint64_t droppedBefore = outgoing_.dropped();
    if (outgoing_.push(leak)) signalFd(wakeFd_);
    if (outgoing_.dropped() == droppedBefore) return true;
    unsent_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void SparkLeakExchange::acknowledge() { clearFd(readyFd_); }

std::vector<std::string> SparkLeakExchange::takeNotes() {
    std::lock_guard lock(notesMutex_);
    return std::exchange(notes_, {});
}

void SparkLeakExchange::addNote(std::string note) {
    {
        std::lock_guard lock(notesMutex_);
        if (notes_.size() == kMaxNotes) return;
        notes_.push_back(std::move(note));
    }
    signalFd(readyFd_);
}

SparkLeakExchange::Counts SparkLeakExchange::counts() const {
    return {sent_.load(), unsent_.load(), accepted_.load(), rejected_.load(), received_.dropped()};
}

void SparkLeakExchange::run() {
    pollfd watched[2] = {{socket_.fd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    while (!stopping_) {
        if (::poll(watched, 2, -1) < 0) continue;  // EINTR
        if (watched[1].revents) {
            clearFd(wakeFd_);
            sendWaiting();
        }
        if (watched[0].revents) receiveWaiting();
    }
}

void SparkLeakExchange::sendWaiting() {
    std::array<DecodedSparkLeak, 16> batch;
    SparkLeakDatagram datagram;
    size_t remaining = 1;
    while (remaining > 0 && !stopping_) {
        const size_t n = outgoing_.take(batch, &remaining);
        for (size_t i = 0; i < n; ++i) {
            if (!encodeSparkLeakDatagram(batch[i], display_, token_, datagram)) continue;
            const SparkLeakSocket::SendResult r = socket_.sendToPeers(datagram, monotonicMs());
            sent_.fetch_add(r.delivered, std::memory_order_relaxed);
            unsent_.fetch_add(r.full, std::memory_order_relaxed);
        }
    }
    // Said once per peer, never per datagram.
    socket_.reportGivenUp([this](std::string_view name) {
        addNote("sparks for the socket " + std::string(name) + " are given up: its queue stayed full for " +
                std::to_string(SparkLeakSocket::kGiveUpMs) + " ms (a process that does not read); it is tried again " +
                "every " + std::to_string(SparkLeakSocket::kRetryMs / 1000) + " s");
    });
    if (socket_.peersLeftOut() && !notedLeftOut_) {
        notedLeftOut_ = true;
        addNote("the folder holds more than " + std::to_string(SparkLeakSocket::kMaxPeers) +
                " sockets of other processes; sparks go to the first of them only");
    }
}

void SparkLeakExchange::receiveWaiting() {
    SenderCredentials from;
    for (size_t i = 0; i < kReceiveBatch; ++i) {
        const SparkLeakSocket::Received got = socket_.receive(buffer_, &from);
        if (got == SparkLeakSocket::Received::Nothing) return;
        const std::optional<DecodedSparkLeak> leak =
            got == SparkLeakSocket::Received::Datagram ? decodeSparkLeakDatagram(buffer_, from, self_) : std::nullopt;
        if (!leak) {
            rejected_.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        accepted_.fetch_add(1, std::memory_order_relaxed);
        if (received_.push(*leak)) signalFd(readyFd_);
    }
}

}  // namespace posix
