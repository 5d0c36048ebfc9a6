#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/links/usb_bridge.h"
#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "core/process/posix_process_runner.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

const std::string fakeAdb = std::string(VELMORA_SOURCE_DIR) + "/tests/links/fake_adb.sh";
const std::string header = "List of devices attached\n";

// "id|name|endpoint", the form in which published lists are compared.
std::vector<std::string> described(const std::vector<DiscoveredPhone>& phones) {
    std::vector<std::string> out;
    for (const auto& phone : phones) {
        out.push_back(
            phone.id + "|" + phone.name + "|" +
            (phone.endpoint ? phone.endpoint->host + ":" + std::to_string(phone.endpoint->port) : "-"));
        // Nothing but the three fields is set for a cable phone.
        DiscoveredPhone bare;
        bare.id = phone.id;
        bare.name = phone.name;
        bare.endpoint = phone.endpoint;
        EXPECT_EQ(phone, bare);
    }
    return out;
}

// Runs the real runner and keeps every request, to check what the bridge asked for.
class RecordingRunner final : public ProcessRunner {
  public:
    ProcessResult run(const ProcessRequest& request) override {
        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
        }
        return real.run(request);
    }
    std::mutex mutex;
    std::vector<ProcessRequest> requests;
    PosixProcessRunner real;
};

class UsbBridgeTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("FAKE_ADB_DIR", dir_.c_str(), 1); }
    void TearDown() override { bridge.reset(); }

    void makeBridge(std::optional<std::string> adb = fakeAdb) {
        bridge = std::make_unique<UsbBridge>(std::move(adb), queue, runner);
        bridge->setOnChange(
            [this](const std::vector<DiscoveredPhone>& phones) { published.push_back(described(phones)); });
    }
    // Writes the canned file `name` (e.g. "devices.out", "create.SER1.rc").
    void canned(const std::string& name, const std::string& content) {
        std::ofstream(dir_ + "/" + name) << content;
    }
    void removeCanned(const std::string& name) { fs::remove(dir_ + "/" + name); }
    // The adb calls since the last look.
    std::vector<std::string> takeCalls() {
        std::vector<std::string> calls;
        std::ifstream in(dir_ + "/calls.log");
        for (std::string line; std::getline(in, line);)
            calls.push_back(line);
        fs::remove(dir_ + "/calls.log");
        return calls;
    }
    std::string phone(const std::string& serial, const std::string& name, int port) {
        return "usb:" + serial + "|" + name + L10n::string("phone.suffix.usb") +
               "|127.0.0.1:" + std::to_string(port);
    }
    // SER1, a phone of the given model whose forward to 47625 already sits on local port 5001.
    void onePhone(const std::string& model) {
        canned("devices.out", header + "SER1 device usb:1-1 model:" + model + "\n");
        canned("list.SER1.out", "SER1 tcp:5001 tcp:47625\n");
    }
    // A new bridge, started, after its first poll.
    void startBridge() {
        makeBridge();
        bridge->start();
        queue->advance(1);
    }

    test::TempDir tempDir_{"velmora-fake-adb"};
    const std::string dir_ = tempDir_.path().string();
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>(0);
    std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
    std::unique_ptr<UsbBridge> bridge;
    std::vector<std::vector<std::string>> published;
};

using Calls = std::vector<std::string>;
using Lists = std::vector<std::vector<std::string>>;

TEST_F(UsbBridgeTest, PollsOneSecondAfterStartThenEveryThreeSeconds) {
    canned("devices.out", header);
    makeBridge();
    bridge->start();
    bridge->start();  // one timer, not two
    queue->advance(0.99);
    EXPECT_TRUE(takeCalls().empty());
    queue->advance(0.01);
    EXPECT_EQ(takeCalls(), Calls{"devices -l"});
    queue->advance(2.99);
    EXPECT_TRUE(takeCalls().empty());
    queue->advance(0.01);
    EXPECT_EQ(takeCalls(), Calls{"devices -l"});
    queue->advance(30);
    EXPECT_EQ(takeCalls().size(), 10u);
    EXPECT_TRUE(published.empty());  // nothing published before, nothing to say now
}

TEST_F(UsbBridgeTest, PublishesAReadyUsbPhoneThroughItsExistingForward) {
    canned("devices.out", header + "SER1   device usb:1-1 product:x model:Phone_7 device:y transport_id:3\n");
    canned("list.SER1.out", "SER1 tcp:5555 tcp:47625\n");
    startBridge();
    EXPECT_EQ(takeCalls(), (Calls{"devices -l", "-s SER1 forward --list"}));
    EXPECT_EQ(published, (Lists{{phone("SER1", "Phone-7", 5555)}}));
    // A reused forward is someone else's (or an earlier one of ours): never removed.
    bridge->removeCreatedForwards();
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(UsbBridgeTest, CreatesAForwardWhenNoneFitsAndRemovesOnlyThatOne) {
    for (const char* list : {"", "OTHER tcp:5555 tcp:47625\n", "SER1 tcp:5555 tcp:8080\n"}) {
        SCOPED_TRACE(list);
        canned("devices.out", header + "SER1 device usb:1-1 model:Phone_7\n");
        canned("list.SER1.out", list);
        canned("create.SER1.out", "40123\n");
        published.clear();
        startBridge();
        EXPECT_EQ(takeCalls(),
                  (Calls{"devices -l", "-s SER1 forward --list", "-s SER1 forward tcp:0 tcp:47625"}));
        EXPECT_EQ(published, (Lists{{phone("SER1", "Phone-7", 40123)}}));
        bridge->stop();
        bridge->removeCreatedForwards();
        EXPECT_EQ(takeCalls(), Calls{"-s SER1 forward --remove tcp:40123"});
        bridge->removeCreatedForwards();
        EXPECT_TRUE(takeCalls().empty());
    }
}

TEST_F(UsbBridgeTest, PublishesOnlyReadyCablePhonesInAdbsOrder) {
    canned("devices.out", header +
                              "SER3 unauthorized usb:1-3 transport_id:5\n"
                              "192.168.1.9:5555 device product:x model:Phone_8 transport_id:8\n"
                              "SER2 device usb:1-2 transport_id:4\r\n"
                              "SER1 device usb:1-1 model:Phone_7_Pro\n");
    canned("list.SER1.out", "SER1 tcp:5001 tcp:47625\n");
    canned("list.SER2.out", "SER2 tcp:5002 tcp:47625\n");
    startBridge();
    EXPECT_EQ(takeCalls(), (Calls{"devices -l", "-s SER2 forward --list", "-s SER1 forward --list"}));
    EXPECT_EQ(published, (Lists{{phone("SER2", "SER2", 5002), phone("SER1", "Phone-7-Pro", 5001)}}));
}

TEST_F(UsbBridgeTest, LeavesOutAPhoneWhoseForwardCannotBeMadeAndTriesAgainNextPoll) {
    struct Case {
        const char* what;
        std::string create;  // output of the create command; empty string with rc 1 for a failure
        int rc;
    };
    const Case cases[] = {
        {"adb fails", "", 1},
        {"not a number", "abc\n", 0},
        {"binary", std::string("\x01\x02", 2), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        canned("devices.out", header + "BAD device usb:1-1 model:X\nGOOD device usb:1-2 model:Y\n");
        canned("list.GOOD.out", "GOOD tcp:6000 tcp:47625\n");
        canned("create.BAD.out", c.create);
        canned("create.BAD.rc", std::to_string(c.rc));
        published.clear();
        startBridge();
        EXPECT_EQ(published, (Lists{{phone("GOOD", "Y", 6000)}}));
        takeCalls();
        queue->advance(3);
        EXPECT_EQ(takeCalls(), (Calls{"devices -l", "-s BAD forward --list", "-s BAD forward tcp:0 tcp:47625",
                                      "-s GOOD forward --list"}));
        bridge->removeCreatedForwards();
        EXPECT_TRUE(takeCalls().empty());
    }
}

TEST_F(UsbBridgeTest, PublishesWhenTheListChangesAndEmptiesItOnceWhenAdbFails) {
    const std::string one = "A device usb:1 model:One\n";
    const std::string two = "B device usb:2 model:Two\n";
    canned("list.A.out", "A tcp:5001 tcp:47625\n");
    canned("list.B.out", "B tcp:5002 tcp:47625\n");
    canned("devices.out", header + one + two);
    startBridge();
    queue->advance(3);  // the same again: nothing new
    ASSERT_EQ(published.size(), 1u);

    canned("devices.out", header + two + one);  // order counts
    queue->advance(3);
    canned("list.B.out", "B tcp:5003 tcp:47625\n");  // a new port must reach the receiver
    queue->advance(3);
    removeCanned("devices.out");  // adb fails: the phones are reported gone, once
    queue->advance(3);
    queue->advance(3);
    canned("devices.out", header);
    queue->advance(3);
    EXPECT_EQ(published, (Lists{{phone("A", "One", 5001), phone("B", "Two", 5002)},
                                {phone("B", "Two", 5002), phone("A", "One", 5001)},
                                {phone("B", "Two", 5003), phone("A", "One", 5001)},
                                {}}));
}

TEST_F(UsbBridgeTest, TruncatedOrBrokenDeviceListsCountAsFailures) {
    struct Case {
        const char* what;
        std::string file;
        std::string content;
    };
    const Case cases[] = {
        {"non-zero exit with a list", "devices.rc", "1"},
        {"flood past the cap", "devices.flood", "SER1 device usb:1-1 model:Z"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        onePhone("Z");
        published.clear();
        startBridge();
        ASSERT_EQ(published.size(), 1u);
        canned(c.file, c.content);
        queue->advance(3);
        EXPECT_EQ(published, (Lists{{phone("SER1", "Z", 5001)}, {}}));
        removeCanned(c.file);
    }
}

TEST_F(UsbBridgeTest, EveryAdbRunHasTheWatchdogTheCapAndNoStandardError) {
    canned("devices.out", header + "SER1 device usb:1-1\n");
    canned("create.SER1.out", "7000\n");
    canned("create.SER1.err", "* daemon started successfully\n");  // must not reach the port text
    startBridge();
    bridge->removeCreatedForwards();
    EXPECT_EQ(published, (Lists{{phone("SER1", "SER1", 7000)}}));
    ASSERT_EQ(runner->requests.size(), 4u);
    for (const auto& request : runner->requests) {
        EXPECT_EQ(request.executable, fakeAdb);
        EXPECT_EQ(request.timeoutSeconds, UsbBridge::commandTimeout);
        EXPECT_EQ(request.outputCap, ProcessOutput::adbMax);
        EXPECT_EQ(request.standardError, ProcessRequest::StandardError::discard);
    }
}

TEST_F(UsbBridgeTest, AHangingAdbIsCutByTheWatchdogAndTheListEmptied) {
    onePhone("Z");
    startBridge();
    ASSERT_EQ(published.size(), 1u);
    canned("devices.sleep", "40");
    const auto begin = std::chrono::steady_clock::now();
    queue->advance(3);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_GE(took, UsbBridge::commandTimeout);
    EXPECT_LT(took, 30);  // far below the 40 s the fake would sleep without the watchdog
    EXPECT_EQ(published, (Lists{{phone("SER1", "Z", 5001)}, {}}));
}

// Answers the device list with a scripted result, for the outcomes a shell script cannot fake quickly.
class ScriptedRunner final : public ProcessRunner {
  public:
    ProcessResult run(const ProcessRequest& request) override {
        if (request.arguments.front() == "devices") return devices;
        const std::string text = request.arguments[3] == "--list" ? "S tcp:5001 tcp:47625\n" : "";
        return {.started = true, .status = 0, .output = Bytes(text.begin(), text.end())};
    }
    ProcessResult devices;
};

TEST(UsbBridge, ChildrenEndedByTheWatchdogOrASignalPublishNothing) {
    const std::string list = header + "S device usb:1 model:M\n";
    const ProcessResult good{.started = true, .status = 0, .output = Bytes(list.begin(), list.end())};
    struct Case {
        const char* what;
        ProcessResult result;
    };
    const Case cases[] = {
        {"watchdog",
         {.started = true, .status = 128 + 15, .signalled = true, .timedOut = true, .output = good.output}},
        {"killed", {.started = true, .status = 128 + 9, .signalled = true, .output = good.output}},
        {"not started", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto queue = std::make_shared<ManualExecutor>(0);
        auto runner = std::make_shared<ScriptedRunner>();
        runner->devices = c.result;
        UsbBridge bridge("/usr/bin/adb", queue, runner);
        int calls = 0;
        bridge.setOnChange([&](const std::vector<DiscoveredPhone>&) { ++calls; });
        bridge.start();
        queue->advance(10);
        EXPECT_EQ(calls, 0);
        runner->devices = good;
        queue->advance(3);
        EXPECT_EQ(calls, 1);
    }
}

TEST_F(UsbBridgeTest, StopEndsPollingAndARestartPublishesThePhonesAgain) {
    onePhone("M");
    startBridge();
    bridge->stop();
    takeCalls();
    queue->advance(30);
    EXPECT_TRUE(takeCalls().empty());
    // The receiver emptied its own list when it stopped us; the same phone must reach it again.
    bridge->start();
    queue->advance(1);
    EXPECT_EQ(published, (Lists{{phone("SER1", "M", 5001)}, {phone("SER1", "M", 5001)}}));
}

TEST_F(UsbBridgeTest, WithoutAdbNothingEverRuns) {
    makeBridge(std::nullopt);
    bridge->start();
    EXPECT_EQ(queue->pendingCount(), 0u);
    queue->advance(30);
    bridge->removeCreatedForwards();
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_TRUE(published.empty());
}

TEST_F(UsbBridgeTest, AReceiverSetLaterHearsOnlyOfLaterChanges) {
    onePhone("M");
    bridge = std::make_unique<UsbBridge>(fakeAdb, queue, runner);
    bridge->start();
    queue->advance(1);
    bridge->setOnChange(
        [this](const std::vector<DiscoveredPhone>& phones) { published.push_back(described(phones)); });
    queue->advance(3);
    EXPECT_TRUE(published.empty());
    canned("devices.out", header);
    queue->advance(3);
    EXPECT_EQ(published, Lists{{}});
}

TEST_F(UsbBridgeTest, ADestroyedBridgeLeavesNoPollBehind) {
    canned("devices.out", header);
    makeBridge();
    bridge->start();
    bridge.reset();
    queue->advance(30);
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(UsbBridgeTest, PollsOnItsOwnQueueThread) {
    onePhone("M");
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> threadNames;
    {
        UsbBridge real(fakeAdb, std::make_shared<SerialQueue>("corvix.usb"),
                       std::make_shared<PosixProcessRunner>());
        real.setOnChange([&](const std::vector<DiscoveredPhone>&) {
            char name[16] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            std::lock_guard lock(mutex);
            threadNames.push_back(name);
            arrived.notify_all();
        });
        real.start();
        std::unique_lock lock(mutex);
        ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(20), [&] { return !threadNames.empty(); }));
    }  // destroyed while polling: joins its queue cleanly
    EXPECT_EQ(threadNames, std::vector<std::string>{"corvix.usb"});
}

TEST_F(UsbBridgeTest, ShutdownRemovesAForwardThatAPollInFlightWasCreating) {
    canned("devices.out", header + "SER1 device usb:1-1 model:M\n");
    canned("create.SER1.out", "40123\n");
    canned("create.SER1.sleep", "1");
    UsbBridge real(fakeAdb, std::make_shared<SerialQueue>("corvix.usb"),
                   std::make_shared<PosixProcessRunner>());
    real.start();
    // Wait until the first poll is inside the (slow) create command.
    const auto creating = [&] {
        std::ifstream in(dir_ + "/calls.log");
        std::stringstream all;
        all << in.rdbuf();
        return all.str().find("forward tcp:0") != std::string::npos;
    };
    for (int i = 0; i < 400 && !creating(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    ASSERT_TRUE(creating());
    real.stop();
    real.removeCreatedForwards();
    const auto calls = takeCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "-s SER1 forward --remove tcp:40123");
}

}  // namespace
}  // namespace velmora
