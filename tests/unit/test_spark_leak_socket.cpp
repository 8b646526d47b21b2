// The sockets spark leaks travel by: their folder must be private to the user, a send reaches
// every other socket of ours in it and clears those of ended processes, and the receiver learns
// the sender from the kernel. (What a receiver drops is tested on real processes, in
// tests/e2e/test_sparks_sockets.sh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/posix/spark_leak_socket.h"
#include "support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDisplay = "x11::0.0";
// Names above any process id, so that no real process is taken for one of them.
constexpr uint32_t kFirstName = 4000000001u;

/// A plain socket bound at `path`, as another program might make one; -1 on failure.
int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
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

    posix::SparkLeakDatagram sent;
    sent.fill(7);
    const posix::SparkLeakSocket::SendResult result = a.sendToPeers(sent);
    EXPECT_EQ(result.delivered, 2u);
    EXPECT_EQ(result.stale, 1u);
    EXPECT_FALSE(fs::exists(folder.filePath("4000000010")));
    EXPECT_TRUE(fs::exists(folder.filePath("4000000009")));
    posix::SparkLeakDatagram got{};
    posix::SenderCredentials from;
    for (posix::SparkLeakSocket* peer : {&b, &c}) {
        ASSERT_EQ(peer->receive(got, &from), posix::SparkLeakSocket::Received::Datagram);
        EXPECT_EQ(got, sent);
        EXPECT_EQ(from.uid, ::getuid());
        EXPECT_EQ(from.pid, static_cast<uint32_t>(::getpid()));
    }
    EXPECT_EQ(a.receive(got, &from), posix::SparkLeakSocket::Received::Nothing) << "a sender skips itself";
    char byte;
    EXPECT_LT(::recv(other, &byte, 1, MSG_DONTWAIT), 0) << "a socket of another name gets nothing";
    ::close(other);

    const std::string bPath = b.path();
    b.close();
    EXPECT_FALSE(fs::exists(bPath)) << "a closed socket takes its name away";
}
