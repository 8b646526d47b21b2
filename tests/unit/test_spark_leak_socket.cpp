// The sockets spark leaks travel by: only a private folder is used and every runtime folder passed
// over is said; a send reaches every live peer whatever else the folder holds (junk, sockets of
// ended processes, peers that never read) and gives up on a full peer once, by its name; and the
// folder checked at the start is the one used to the end, even when it is renamed. (What a
// receiver drops is tested on real processes, in tests/e2e/test_sparks_sockets.sh.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/spark_leak_socket.h"
#include "support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using posix::SparkLeakSocket;

constexpr std::string_view kDisplay = "x11::0.0";

/// A plain socket bound at `path`, as another program might make one; -1 on failure.
int boundSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

size_t entriesIn(const std::string& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

}  // namespace

TEST(SparkLeakSocket, OnlyAPrivateRuntimeFolderIsUsedAndEachOnePassedOverIsSaid) {
    TemporaryFolder root;
    const uint32_t uid = ::getuid();
    const std::string runtime = root.filePath("run");
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    std::vector<std::string> passedOver;
    std::string why;
    EXPECT_EQ(posix::privateRuntimeFolder(runtime, uid, 100, &passedOver, &why), runtime);
    EXPECT_TRUE(passedOver.empty());

    ASSERT_EQ(::symlink(runtime.c_str(), root.filePath("link").c_str()), 0);
    std::ofstream(root.filePath("file")) << "x";
    ASSERT_EQ(::mkdir(root.filePath("open").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(root.filePath("open").c_str(), 0777), 0);
    const std::string fallback = "/tmp/tavrin-" + std::to_string(uid);
    const std::pair<std::string, std::string> passed[] = {
        {"", "it is not set"},
        {"run", "not an absolute path"},
        {runtime + "/" + std::string(100, 'x'), "longer than 100 characters"},
        {root.filePath("link"), "is a link"},
        {root.filePath("file"), "is not a folder"},
        {root.filePath("open"), "is open to other users (mode 0777)"},
        {root.filePath("missing"), "No such file"},
    };
    for (const auto& [dir, reason] : passed) {
        passedOver.clear();
        EXPECT_EQ(posix::privateRuntimeFolder(dir, uid, 100, &passedOver, &why), fallback) << dir << ": " << why;
        ASSERT_EQ(passedOver.size(), 1u) << dir;
        EXPECT_NE(passedOver[0].find("XDG_RUNTIME_DIR " + dir), std::string::npos) << passedOver[0];
        EXPECT_NE(passedOver[0].find(reason), std::string::npos) << passedOver[0];
    }
    struct stat info {};
    ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_LT(posix::openPrivateFolder(AT_FDCWD, runtime, runtime, uid + 1, false, &why), 0);
    EXPECT_NE(why.find("belongs to another user"), std::string::npos) << why;

    // The sparks' folders: one per display server, private, under the runtime folder or the one
    // that stands in for it.
    passedOver.clear();
    const std::string folder = posix::sparkLeakFolder(runtime, uid, kDisplay, &passedOver, &why);
    ASSERT_EQ(folder.rfind(runtime + "/tavrin-sparks/x11-", 0), 0u) << folder << why;
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(posix::sparkLeakFolder(runtime, uid, kDisplay, &passedOver, &why), folder);
    EXPECT_NE(posix::sparkLeakFolder(runtime, uid, "x11::1.0", &passedOver, &why), folder);
    EXPECT_EQ(posix::sparkLeakFolder(root.filePath("open"), uid, kDisplay, &passedOver, &why)
                  .rfind(fallback + "/tavrin-sparks/x11-", 0),
              0u);
    EXPECT_EQ(passedOver.size(), 1u);
}

TEST(SparkLeakSocket, ASendReachesEveryLivePeerWhateverElseTheFolderHoldsAndGivesUpOnFullOnesOnce) {
    TemporaryFolder folder;
    std::string why;
    // Two live peers of one process id, as processes of two pid namespaces have it.
    SparkLeakSocket a, b, c;
    ASSERT_TRUE(a.open(folder.path(), 1, &why)) << why;
    ASSERT_TRUE(b.open(folder.path(), 7, &why)) << why;
    ASSERT_TRUE(c.open(folder.path(), 7, &why)) << why;
    EXPECT_NE(b.name(), c.name());
    EXPECT_EQ(b.name().rfind("7-", 0), 0u);

    // Junk: files, folders and links, some named like our sockets; a socket of another name; more
    // sockets of ended processes than a send has peers; and peers that never read, as many as a
    // stopped process's share of one sending socket's buffer would exhaust.
    for (int i = 0; i < 300; ++i) std::ofstream(folder.filePath("junk" + std::to_string(i))) << "x";
    std::ofstream(folder.filePath("123-0000abcd")) << "x";
    fs::create_directory(folder.filePath("124-0000abcd"));
    fs::create_symlink(b.path(), folder.filePath("125-0000abcd"));
    const int other = boundSocket(folder.filePath("other"));
    ASSERT_GE(other, 0);
    const size_t kStale = SparkLeakSocket::kMaxPeers + 10, kSilent = 50;
    for (size_t i = 0; i < kStale; ++i) {
        const int ended = boundSocket(folder.filePath(std::to_string(1000 + i) + "-0000abcd"));
        ASSERT_GE(ended, 0);
        ::close(ended);
    }
    std::vector<int> silent;
    std::set<std::string> silentNames;
    for (size_t i = 0; i < kSilent; ++i) {
        const std::string name = std::to_string(2000 + i) + "-0000abcd";
        silent.push_back(boundSocket(folder.filePath(name)));
        silentNames.insert(name);
    }
    const size_t entriesBefore = entriesIn(folder.path());

    posix::SparkLeakDatagram sent;
    sent.fill(7);
    EXPECT_EQ(a.sendToPeers(sent, 0).stale, kStale);
    EXPECT_EQ(entriesIn(folder.path()), entriesBefore - kStale) << "only the stale sockets are removed";
    // Datagrams a peer leaves unread count against the socket that sent them: the live peers get
    // every one while the silent queues fill and stay full.
    posix::SparkLeakDatagram got{};
    posix::SenderCredentials from;
    SparkLeakSocket::SendResult r;
    for (int send = 1; send <= 40; ++send) {
        for (SparkLeakSocket* peer : {&b, &c}) {
            ASSERT_EQ(peer->receive(got, &from), SparkLeakSocket::Received::Datagram) << send;
            EXPECT_EQ(got, sent);
            EXPECT_EQ(from.uid, ::getuid());
            EXPECT_EQ(peer->receive(got, &from), SparkLeakSocket::Received::Nothing) << "one, not one per link";
        }
        r = a.sendToPeers(sent, 0);
    }
    EXPECT_EQ(r.delivered, 2u);
    EXPECT_EQ(r.full, kSilent);
    EXPECT_EQ(a.receive(got, &from), SparkLeakSocket::Received::Nothing) << "a sender skips itself";
    char byte;
    EXPECT_LT(::recv(other, &byte, 1, MSG_DONTWAIT), 0) << "a socket of another name gets nothing";

    // Full since time 0, for less than kGiveUpMs: still tried. Past it: given up, said once each,
    // by name.
    std::vector<std::string> reported;
    const auto report = [&reported](std::string_view name) { reported.emplace_back(name); };
    EXPECT_EQ(a.sendToPeers(sent, SparkLeakSocket::kGiveUpMs - 1).full, kSilent);
    a.reportGivenUp(report);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(a.sendToPeers(sent, SparkLeakSocket::kGiveUpMs).full, kSilent);
    r = a.sendToPeers(sent, SparkLeakSocket::kGiveUpMs + SparkLeakSocket::kRescanMs);
    EXPECT_EQ(r.full, 0u);
    EXPECT_EQ(r.delivered, 2u);
    a.reportGivenUp(report);
    a.reportGivenUp(report);
    EXPECT_EQ(std::set<std::string>(reported.begin(), reported.end()), silentNames);
    EXPECT_EQ(reported.size(), silentNames.size());
    // Tried again after kRetryMs, and not said again while they stay full.
    const int64_t retry = SparkLeakSocket::kGiveUpMs + SparkLeakSocket::kRetryMs;
    EXPECT_EQ(a.sendToPeers(sent, retry).full, kSilent);
    EXPECT_EQ(a.sendToPeers(sent, retry + SparkLeakSocket::kGiveUpMs).full, kSilent);
    a.reportGivenUp(report);
    EXPECT_EQ(reported.size(), silentNames.size());

    for (const int fd : silent) ::close(fd);
    ::close(other);
    const std::string bPath = b.path();
    b.close();
    EXPECT_FALSE(fs::exists(bPath)) << "a closed socket takes its name away";
}

TEST(SparkLeakSocket, TheFolderCheckedAtTheStartIsTheOneUsedEvenWhenItIsRenamed) {
    TemporaryFolder root;
    const std::string folder = root.filePath("sparks"), moved = root.filePath("moved");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    std::string why;
    SparkLeakSocket a, peer;
    ASSERT_TRUE(a.open(folder, 1, &why)) << why;
    ASSERT_TRUE(peer.open(folder, 2, &why)) << why;
    const std::string name(a.name());
    // Someone moves the folder away and puts one of their own, with a socket named like ours, in
    // its place: nothing of ours goes there.
    ASSERT_EQ(::rename(folder.c_str(), moved.c_str()), 0);
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const int impostor = boundSocket(folder + "/3-0000abcd");
    ASSERT_GE(impostor, 0);
    posix::SparkLeakDatagram d{};
    EXPECT_EQ(a.sendToPeers(d, 0).delivered, 1u);
    posix::SenderCredentials from;
    EXPECT_EQ(peer.receive(d, &from), SparkLeakSocket::Received::Datagram);
    char byte;
    EXPECT_LT(::recv(impostor, &byte, 1, MSG_DONTWAIT), 0);
    a.close();
    EXPECT_FALSE(fs::exists(moved + "/" + name)) << "the socket is removed from where it is";
    ::close(impostor);

    // A folder open to others is refused from the start.
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    EXPECT_FALSE(a.open(folder, 1, &why));
    EXPECT_NE(why.find("is open to other users"), std::string::npos) << why;
}
