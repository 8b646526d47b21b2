// The machine's power state against stand-ins of UPower and power-profiles-daemon on a private
// bus given as the system bus (e2e/system_bus.py): on battery, in the power-saver profile or both,
// changes told with their values or by name only, nonsense answered with one line, the services
// leaving, and no system bus at all.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QProcess>
#include <fstream>

#include "idle/power_state.h"
#include "qt_host_test_support.h"
#include "support/temporary_folder.h"

namespace {

using qttest::spinUntil;

struct StandIn {
    TemporaryFolder folder;
    QProcess bus, services;
    std::string fifo = folder.filePath("commands");

    /// False when the machine lacks what the stand-in needs.
    bool start() {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!bus.waitForStarted(5000) || !spinUntil([&] { return bus.canReadLine(); }, 5000)) return false;
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus.readLine().trimmed());
        ::mkfifo(fifo.c_str(), 0600);
        services.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(TAVRIN_TEST_E2E_DIR "/system_bus.py"),
                                                            QStringLiteral("system"), QString::fromStdString(fifo)});
        bool ready = false;
        return services.waitForStarted(5000) && spinUntil(
                                                    [&] {
                                                        while (!ready && services.canReadLine())
                                                            ready = services.readLine().startsWith("ready");
                                                        return ready;
                                                    },
                                                    10000);
    }
    void tell(const std::string& command) { std::ofstream(fifo) << command << "\n"; }
    ~StandIn() {
        for (QProcess* process : {&services, &bus}) {
            process->kill();
            process->waitForFinished(5000);
        }
        qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
};

TEST(PowerState, FollowsBatteryAndThePowerSaverProfileAndSurvivesNonsenseAndLeaving) {
    std::vector<std::string> log;
    const idle::IdleLog logLine = [&log](host::LogLevel, const std::string& line) { log.push_back(line); };
    auto logged = [&log](const std::string& part) {
        int count = 0;
        for (const std::string& line : log) count += line.find(part) != std::string::npos;
        return count;
    };

    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    EXPECT_FALSE(idle::followPowerState(logLine)->savingPower());
    EXPECT_EQ(logged("no system bus"), 1);

    StandIn standIn;
    if (!standIn.start())
        GTEST_SKIP() << "needs dbus-daemon and python3-dbus with python3-gi: "
                     << standIn.services.readAllStandardError().toStdString();
    const auto power = idle::followPowerState(logLine);
    auto state = [&power] { return power->savingPower() ? power->why() : std::string("not saving"); };
    standIn.tell("battery on");
    ASSERT_TRUE(spinUntil([&] { return state() == "on battery"; })) << state();
    EXPECT_EQ(logged("the machine saves power now: on battery"), 1);
    standIn.tell("battery off");
    ASSERT_TRUE(spinUntil([&] { return state() == "not saving"; })) << state();

    // Changes told by name only are read again.
    standIn.tell("changes names");
    standIn.tell("profile power-saver");
    ASSERT_TRUE(spinUntil([&] { return state() == "in the power-saver profile"; })) << state();
    standIn.tell("battery on");
    ASSERT_TRUE(spinUntil([&] { return state() == "on battery, in the power-saver profile"; })) << state();

    // Values of the wrong type count as not saving power, said once.
    standIn.tell("nonsense");
    ASSERT_TRUE(spinUntil([&] { return state() == "not saving"; })) << state();
    standIn.tell("sense");
    standIn.tell("battery on");
    ASSERT_TRUE(spinUntil([&] { return state() == "on battery"; })) << state();
    EXPECT_EQ(logged("a value of the wrong type; taken as not saving power"), 1);

    // The services leave the bus.
    standIn.services.kill();
    ASSERT_TRUE(spinUntil([&] { return state() == "not saving"; })) << state();
}

}  // namespace
