// The sockets spark leaks travel by: any process of the user can write into them, so their folder
// must be private, a datagram of any other size or carrying anything else must be dropped without
// stopping the next, and the sender must be the one the kernel names.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/spark_leak_exchange.h"
#include "support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDisplay = "x11::0.0";
// Names above any process id, so that no real process is taken for one of them.
constexpr uint32_t kFirstName = 4000000001u;

posix::DecodedSparkLeak leak(int64_t sparkCount) {
    posix::DecodedSparkLeak l;
    l.targetScreenFrame = host::NSMakeRect(1920, 0, 1920, 1080);
    l.edge = 1;
    l.positionFraction = 0.5;
    l.sparkCount = sparkCount;
    l.angleSpread = 1;
    return l;
}

posix::SparkLeakDatagram datagram(int64_t sparkCount) {
    posix::SparkLeakDatagram d{};
    posix::encodeSparkLeakDatagram(leak(sparkCount), kDisplay, d);
    return d;
}

/// A plain socket bound at `path`, as another program might make one; -1 on failure.
int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

size_t openDescriptors() {
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{}));
}

}  // namespace

TEST(SparkLeakSocket, TheFolderIsPrivateToItsUserAndDisplayServerAndAnythingElseIsRefused) {
    TemporaryFolder runtime;
    const uint32_t uid = ::getuid();
    std::string why;
    const std::string folder = posix::sparkLeakFolder(runtime.path(), uid, kDisplay, &why);
    ASSERT_EQ(folder.rfind(runtime.path() + "/tavrin-sparks/x11-", 0), 0u) << folder << why;
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(posix::sparkLeakFolder(runtime.path(), uid, kDisplay, &why), folder);
    EXPECT_NE(posix::sparkLeakFolder(runtime.path(), uid, "x11::1.0", &why), folder);

    ASSERT_EQ(::symlink(folder.c_str(), runtime.filePath("link").c_str()), 0);
    std::ofstream(runtime.filePath("file")) << "x";
    ASSERT_EQ(::mkdir(runtime.filePath("open").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(runtime.filePath("open").c_str(), 0750), 0);
    const std::pair<std::string, std::string> refused[] = {
        {runtime.filePath("link"), "is not a folder"},
        {runtime.filePath("file"), "is not a folder"},
        {runtime.filePath("open"), "is open to other users"},
    };
    for (const auto& [path, reason] : refused) {
        EXPECT_FALSE(posix::ensurePrivateFolder(path, uid, &why)) << path;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
    }
    EXPECT_FALSE(posix::ensurePrivateFolder(folder, uid + 1, &why));
    EXPECT_NE(why.find("belongs to another user"), std::string::npos) << why;
}

TEST(SparkLeakSocket, ADatagramReachesEveryOtherSocketOfOursWithTheKernelsWordOnItsSender) {
    TemporaryFolder folder;
    std::string why;
    posix::SparkLeakSocket a, b, c;
    ASSERT_TRUE(a.open(folder.path(), kFirstName, &why)) << why;
    ASSERT_TRUE(b.open(folder.path(), kFirstName + 1, &why)) << why;
    ASSERT_TRUE(c.open(folder.path(), kFirstName + 2, &why)) << why;
    // What the walk passes over or clears: a file named like a socket, a socket of another name,
    // and the socket of a process that ended without removing it.
    std::ofstream(folder.filePath("4000000009")) << "x";
    const int other = boundSocket(folder.filePath("other"));
    const int ended = boundSocket(folder.filePath("4000000010"));
    ASSERT_GE(other, 0);
    ASSERT_GE(ended, 0);
    ::close(ended);

    const posix::SparkLeakDatagram sent = datagram(10);
    const posix::SparkLeakSocket::SendResult result = a.sendToPeers(sent);
    EXPECT_EQ(result.delivered, 2u);
    EXPECT_EQ(result.stale, 1u);
    EXPECT_FALSE(fs::exists(folder.filePath("4000000010")));
    EXPECT_TRUE(fs::exists(folder.filePath("4000000009")));
    for (posix::SparkLeakSocket* peer : {&b, &c}) {
        posix::SparkLeakDatagram got{};
        posix::SenderCredentials from;
        ASSERT_EQ(peer->receive(got, &from), posix::SparkLeakSocket::Received::Datagram);
        EXPECT_EQ(got, sent);
        EXPECT_EQ(from.uid, ::getuid());
        EXPECT_EQ(from.pid, static_cast<uint32_t>(::getpid()));
    }
    posix::SparkLeakDatagram got{};
    posix::SenderCredentials from;
    EXPECT_EQ(a.receive(got, &from), posix::SparkLeakSocket::Received::Nothing) << "a sender skips itself";
    char byte;
    EXPECT_LT(::recv(other, &byte, 1, MSG_DONTWAIT), 0) << "a socket of another name gets nothing";
    ::close(other);

    const std::string bPath = b.path();
    b.close();
    EXPECT_FALSE(fs::exists(bPath)) << "a closed socket takes its name away";
}

TEST(SparkLeakSocket, ADatagramOfAnotherSizeOrCarryingDescriptorsIsDroppedAndTheNextIsTaken) {
    TemporaryFolder folder;
    std::string why;
    posix::SparkLeakSocket receiver;
    ASSERT_TRUE(receiver.open(folder.path(), kFirstName, &why)) << why;
    const int sender = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    receiver.path().copy(to.sun_path, sizeof to.sun_path - 1);
    auto send = [&](const void* data, size_t size, msghdr* with = nullptr) {
        iovec part{const_cast<void*>(data), size};
        msghdr m = with ? *with : msghdr{};
        m.msg_name = &to;
        m.msg_namelen = sizeof to;
        m.msg_iov = &part;
        m.msg_iovlen = 1;
        return ::sendmsg(sender, &m, 0) == static_cast<ssize_t>(size);
    };
    const posix::SparkLeakDatagram good = datagram(10);
    const std::vector<uint8_t> large(200000, 0xff);
    ASSERT_TRUE(send(large.data(), large.size()));
    ASSERT_TRUE(send(good.data(), good.size() - 1));
    std::vector<uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    ASSERT_TRUE(send(longer.data(), longer.size()));
    ASSERT_TRUE(send(good.data(), 0));
    // A whole datagram with a descriptor passed along: the descriptor must never land here.
    const int passed = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr withDescriptor{};
    withDescriptor.msg_control = control;
    withDescriptor.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&withDescriptor);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &passed, sizeof passed);
    ASSERT_TRUE(send(good.data(), good.size(), &withDescriptor));
    ::close(passed);
    ASSERT_TRUE(send(good.data(), good.size()));

    const size_t descriptors = openDescriptors();
    posix::SparkLeakDatagram got{};
    posix::SenderCredentials from;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(receiver.receive(got, &from), posix::SparkLeakSocket::Received::Rejected) << "datagram " << i;
    EXPECT_EQ(receiver.receive(got, &from), posix::SparkLeakSocket::Received::Datagram);
    EXPECT_EQ(got, good);
    EXPECT_EQ(receiver.receive(got, &from), posix::SparkLeakSocket::Received::Nothing);
    EXPECT_EQ(openDescriptors(), descriptors);
    ::close(sender);
}

TEST(SparkLeakExchange, LeaksCrossBetweenProcessesOnTheirThreadsAndNoneFromItself) {
    TemporaryFolder folder;
    std::string why;
    const uint32_t uid = ::getuid();
    posix::SparkLeakExchange a, b, self;
    ASSERT_TRUE(a.start(folder.path(), {kDisplay, uid, kFirstName}, &why)) << why;
    ASSERT_TRUE(b.start(folder.path(), {kDisplay, uid, kFirstName + 1}, &why)) << why;
    // Named after this very process: the kernel says whatever a sends comes from it.
    ASSERT_TRUE(self.start(folder.path(), {kDisplay, uid, static_cast<uint32_t>(::getpid())}, &why)) << why;

    ASSERT_TRUE(a.send(leak(900)));
    pollfd ready{b.readyFd(), POLLIN, 0};
    ASSERT_EQ(::poll(&ready, 1, 5000), 1);
    b.acknowledge();
    std::array<posix::DecodedSparkLeak, 4> got;
    size_t remaining = 0;
    ASSERT_EQ(b.take(got, &remaining), 1u);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(got[0].sparkCount, posix::kMaxLeakSparks);
    EXPECT_EQ(got[0].targetScreenFrame.origin.x, 1920);
    for (int i = 0; i < 500 && self.counts().rejected == 0; ++i) ::usleep(10000);
    EXPECT_EQ(self.counts().rejected, 1u);
    EXPECT_EQ(self.counts().accepted, 0u);
    EXPECT_EQ(a.counts().sent, 2u);
    EXPECT_EQ(a.counts().accepted + a.counts().rejected, 0u);
}
