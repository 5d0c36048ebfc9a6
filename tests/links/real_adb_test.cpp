#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/links/adb_output.h"
#include "app/links/usb_bridge.h"
#include "core/exec/manual_executor.h"
#include "core/loopback.h"
#include "core/process/adb_locator.h"
#include "core/process/posix_process_runner.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::string text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The command line of the process whose /proc folder is `dir`; empty or cut short once that process has
// gone, which it may do at any moment between the listing and the read (the read then fails with ESRCH,
// which the stream library reports by throwing).
std::string cmdlineOf(const fs::path& dir) {
    try {
        std::ifstream in(dir / "cmdline", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    } catch (const std::ios_base::failure&) {
        return {};
    }
}

// Process ids of the adb servers listening on `port`.
std::vector<int> serversOn(int port) {
    std::vector<int> pids;
    const std::string listen = "tcp:" + std::to_string(port);
    std::error_code error;
    for (fs::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
        const std::string cmdline = cmdlineOf(it->path());
        if (cmdline.find("fork-server") != std::string::npos && cmdline.find(listen) != std::string::npos)
            pids.push_back(std::atoi(it->path().filename().c_str()));
    }
    return pids;
}

// Runs Debian's adb against a server of the test's own, and stops that server however the test ends.
class RealAdb : public ::testing::Test {
  protected:
    void SetUp() override {
        adb_ = AdbLocator::find(AdbLocator::defaultCandidates(AdbLocator::userHome()));
        ASSERT_TRUE(adb_) << "adb missing: ./dev installs it (deps/apt/links.txt)";
        port_ = test::LoopbackListener().port();  // free now, so our adb server never meets the user's
        ::setenv("ANDROID_ADB_SERVER_PORT", std::to_string(port_).c_str(), 1);
    }
    void TearDown() override {
        if (!adb_) return;
        runner_.run(ProcessRequest{*adb_, {"-P", std::to_string(port_), "kill-server"}, 20});
        EXPECT_TRUE(test::waitUntil([&] { return serversOn(port_).empty(); }))
            << "the test's adb server is still running";
    }
    ProcessResult adb(std::vector<std::string> arguments) {
        return runner_.run(ProcessRequest{*adb_, std::move(arguments), 30});
    }

    std::optional<std::string> adb_;
    int port_ = 0;
    PosixProcessRunner runner_;
};

TEST_F(RealAdb, WithoutAPhoneTheListsAreEmptyAndTheBridgePublishesNothing) {
    auto queue = std::make_shared<ManualExecutor>(0);
    UsbBridge bridge(adb_, queue, std::make_shared<PosixProcessRunner>());
    int published = 0;
    bridge.setOnChange([&](const std::vector<DiscoveredPhone>&) { ++published; });
    bridge.start();
    queue->advance(4);
    bridge.stop();
    bridge.removeCreatedForwards();
    EXPECT_EQ(published, 0);
    EXPECT_EQ(serversOn(port_).size(), 1u);  // the polls really reached adb, on our port

    const auto devices = adb({"devices", "-l"});
    ASSERT_TRUE(devices.succeeded()) << devices.status << " " << text(devices.output);
    EXPECT_EQ(text(devices.output).rfind("List of devices attached", 0), 0u) << text(devices.output);
    EXPECT_TRUE(AdbOutput::cableDevices(text(devices.output)).empty());
    const auto forwards = adb({"-s", "NOPE", "forward", "--list"});
    ASSERT_TRUE(forwards.succeeded()) << forwards.status;
    EXPECT_EQ(AdbOutput::existingForward(text(forwards.output), "NOPE", UsbBridge::phonePort), std::nullopt);
    const auto create = adb({"-s", "NOPE", "forward", "tcp:0", "tcp:47625"});
    EXPECT_TRUE(create.started);
    EXPECT_FALSE(create.succeeded());  // "device 'NOPE' not found", on standard error
}

}  // namespace
}  // namespace velmora
