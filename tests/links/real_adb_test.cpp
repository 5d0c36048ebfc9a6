#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/links/adb_output.h"
#include "app/links/usb_bridge.h"
#include "core/exec/manual_executor.h"
#include "core/loopback.h"
#include "core/process/adb_locator.h"
#include "core/process/posix_process_runner.h"
#include "support/temp_dir.h"
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

// Whether a USB device under `devices` (a sysfs folder) offers an adb interface: class 0xff, subclass 0x42,
// protocol 0x01, as a phone with USB debugging on does.
bool adbInterfaceUnder(const fs::path& devices) {
    const auto has = [](const fs::path& dir, const char* name, const char* value) {
        std::ifstream in(dir / name);
        std::string text;
        return in >> text && text == value;
    };
    std::error_code error;
    for (fs::directory_iterator it(devices, error), end; !error && it != end; it.increment(error)) {
        if (has(it->path(), "bInterfaceClass", "ff") && has(it->path(), "bInterfaceSubClass", "42") &&
            has(it->path(), "bInterfaceProtocol", "01"))
            return true;
    }
    return false;
}

TEST(AdbInterface, IsFoundOnlyWhereADeviceOffersIt) {
    const test::TempDir sysfs;
    const auto device = [&](const char* name, const char* cls, const char* sub, const char* protocol) {
        fs::create_directories(sysfs.path() / name);
        std::ofstream(sysfs.path() / name / "bInterfaceClass") << cls << "\n";
        std::ofstream(sysfs.path() / name / "bInterfaceSubClass") << sub << "\n";
        std::ofstream(sysfs.path() / name / "bInterfaceProtocol") << protocol << "\n";
    };
    EXPECT_FALSE(adbInterfaceUnder(sysfs.path() / "missing"));
    device("1-1:1.0", "08", "06", "50");  // a USB stick
    device("1-2:1.0", "ff", "42", "03");  // fastboot, not adb
    EXPECT_FALSE(adbInterfaceUnder(sysfs.path()));
    device("1-3:1.1", "ff", "42", "01");
    EXPECT_TRUE(adbInterfaceUnder(sysfs.path()));
}

// Runs Debian's adb against a server of the test's own, in a home and temporary folder of the test's own
// (the server writes its key and its log there), and stops that server however the test ends. A real
// server reaches every phone on this computer's cable, so with one plugged in the test does not run.
class RealAdb : public ::testing::Test {
  protected:
    void SetUp() override {
        if (adbInterfaceUnder("/sys/bus/usb/devices"))
            GTEST_SKIP()
                << "a phone with USB debugging is on the cable: the test's adb server would reach it";
        adb_ = AdbLocator::find(AdbLocator::defaultCandidates(AdbLocator::userHome()));
        ASSERT_TRUE(adb_) << "adb missing: ./dev installs it (deps/apt/links.txt)";
        port_ = test::LoopbackListener().port();  // free now, so our adb server never meets the user's
        set("ANDROID_ADB_SERVER_PORT", std::to_string(port_));
        set("HOME", scratch_.path().string());
        set("TMPDIR", scratch_.path().string());
        for (const char* other : {"ADB_SERVER_SOCKET", "ANDROID_ADB_SERVER_ADDRESS", "ANDROID_SDK_HOME"})
            set(other, std::nullopt);
    }
    void TearDown() override {
        if (adb_) {
            runner_.run(ProcessRequest{*adb_, {"-P", std::to_string(port_), "kill-server"}, 20});
            EXPECT_TRUE(test::waitUntil([&] { return serversOn(port_).empty(); }))
                << "the test's adb server is still running";
        }
        for (const auto& [name, value] : saved_)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    // Sets (or, with no value, removes) a variable for this test; TearDown puts the caller's back.
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* before = std::getenv(name.c_str());
        saved_.emplace_back(name, before ? std::optional<std::string>(before) : std::nullopt);
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
    ProcessResult adb(std::vector<std::string> arguments) {
        return runner_.run(ProcessRequest{*adb_, std::move(arguments), 30});
    }

    std::optional<std::string> adb_;
    int port_ = 0;
    PosixProcessRunner runner_;
    test::TempDir scratch_{"velmora-adb"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
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
