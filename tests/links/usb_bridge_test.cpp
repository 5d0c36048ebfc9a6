#include "app/links/usb_bridge.h"

#include <pthread.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <thread>
#include <utility>

#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "core/process/posix_process_runner.h"

namespace velmora {
namespace {

const std::string header = "List of devices attached\n";
using Calls = std::vector<std::string>;
using Lists = std::vector<std::vector<std::string>>;

ProcessResult printed(const std::string& text, int status = 0) {
    return {.started = true, .status = status, .output = Bytes(text.begin(), text.end())};
}

// adb in memory. Each command line ("devices -l", "-s SER1 forward --list", ...) gets its set answer; a
// command without one fails as adb does for an unknown device. `holdAt` keeps that command waiting until
// release(); `hangs` runs that command as a real child that never ends, under the request's watchdog.
class FakeAdb final : public ProcessRunner {
  public:
    ProcessResult run(const ProcessRequest& request) override {
        std::string line;
        for (const auto& argument : request.arguments)
            line += (line.empty() ? "" : " ") + argument;
        std::unique_lock lock(mutex);
        requests.push_back(request);
        calls.push_back(line);
        changed.notify_all();
        changed.wait(lock, [&] { return holdAt != line; });
        if (line == hangs) {
            lock.unlock();
            ProcessRequest child = request;
            child.executable = "/bin/sleep";
            child.arguments = {"600"};
            const auto result = PosixProcessRunner().run(child);
            cut = result.timedOut;
            return result;
        }
        const auto answer = answers.find(line);
        return answer == answers.end() ? printed("", 1) : answer->second;
    }
    Calls take() {
        std::lock_guard lock(mutex);
        return std::exchange(calls, {});
    }
    bool waitForCall(const std::string& line) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return std::find(calls.begin(), calls.end(), line) != calls.end(); });
    }
    void release() {
        std::lock_guard lock(mutex);
        holdAt.clear();
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, ProcessResult> answers;
    std::vector<ProcessRequest> requests;
    Calls calls;
    std::string holdAt, hangs;
    bool cut = false;
};

class UsbBridgeTest : public ::testing::Test {
  protected:
    void makeBridge(std::optional<std::string> adb = "/usr/bin/adb",
                    double watchdog = UsbBridge::commandTimeout) {
        bridge = std::make_unique<UsbBridge>(std::move(adb), queue, fake, watchdog);
        bridge->setOnChange([this](const std::vector<DiscoveredPhone>& phones) {
            std::vector<std::string> list;
            for (const auto& p : phones)
                list.push_back(p.id + "|" + p.name + "|" + p.endpoint->host + ":" +
                               std::to_string(p.endpoint->port));
            published.push_back(list);
        });
    }
    void startBridge() {
        makeBridge();
        bridge->start();
        queue->advance(1);
    }
    void answer(const std::string& line, const std::string& text) { fake->answers[line] = printed(text); }
    // SER1, a phone of the given model whose forward to 47625 already sits on local port 5001.
    void onePhone(const std::string& model) {
        answer("devices -l", header + "SER1 device usb:1-1 model:" + model + "\n");
        answer("-s SER1 forward --list", "SER1 tcp:5001 tcp:47625\n");
    }
    static std::string phone(const std::string& serial, const std::string& name, int port) {
        return "usb:" + serial + "|" + name + L10n::string("phone.suffix.usb") +
               "|127.0.0.1:" + std::to_string(port);
    }

    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>(0);
    std::shared_ptr<FakeAdb> fake = std::make_shared<FakeAdb>();
    std::unique_ptr<UsbBridge> bridge;
    Lists published;
};

TEST_F(UsbBridgeTest, PollsOneSecondAfterStartThenEveryThreeSeconds) {
    answer("devices -l", header);
    makeBridge();
    bridge->start();
    bridge->start();  // one timer, not two
    queue->advance(0.99);
    EXPECT_TRUE(fake->take().empty());
    queue->advance(0.01);
    EXPECT_EQ(fake->take(), Calls{"devices -l"});
    queue->advance(2.99);
    EXPECT_TRUE(fake->take().empty());
    queue->advance(0.01);
    EXPECT_EQ(fake->take(), Calls{"devices -l"});
    queue->advance(30);
    EXPECT_EQ(fake->take().size(), 10u);
    EXPECT_TRUE(published.empty());  // nothing published before, nothing to say now
}

TEST_F(UsbBridgeTest, PublishesReadyCablePhonesInAdbsOrderThroughTheirExistingForwards) {
    answer("devices -l", header +
                             "SER3 unauthorized usb:1-3\nSER2 device usb:1-2\r\n"
                             "SER1   device usb:1-1 product:x model:Phone_7_Pro transport_id:3\n");
    answer("-s SER1 forward --list", "SER1 tcp:5001 tcp:47625\n");
    answer("-s SER2 forward --list", "SER2 tcp:5002 tcp:47625\n");
    startBridge();
    EXPECT_EQ(fake->take(), (Calls{"devices -l", "-s SER2 forward --list", "-s SER1 forward --list"}));
    EXPECT_EQ(published, (Lists{{phone("SER2", "SER2", 5002), phone("SER1", "Phone-7-Pro", 5001)}}));
    // A reused forward is someone else's (or an earlier one of ours): never removed.
    bridge->removeCreatedForwards();
    EXPECT_TRUE(fake->take().empty());
    // Every command has the watchdog, the cap, and standard error kept out of the output.
    for (const auto& request : fake->requests) {
        EXPECT_EQ(request.executable, "/usr/bin/adb");
        EXPECT_EQ(request.timeoutSeconds, UsbBridge::commandTimeout);
        EXPECT_EQ(request.outputCap, ProcessOutput::adbMax);
        EXPECT_EQ(request.standardError, ProcessRequest::StandardError::discard);
    }
}

TEST_F(UsbBridgeTest, CreatesAForwardWhenNoneIsListedAndRemovesOnlyThatOne) {
    answer("devices -l", header + "SER1 device usb:1-1 model:Phone_7\n");
    answer("-s SER1 forward tcp:0 tcp:47625", "40123\n");  // no list answer: the list command fails
    startBridge();
    EXPECT_EQ(fake->take(),
              (Calls{"devices -l", "-s SER1 forward --list", "-s SER1 forward tcp:0 tcp:47625"}));
    EXPECT_EQ(published, (Lists{{phone("SER1", "Phone-7", 40123)}}));
    bridge->stop();
    bridge->removeCreatedForwards();
    EXPECT_EQ(fake->take(), Calls{"-s SER1 forward --remove tcp:40123"});
    bridge->removeCreatedForwards();
    EXPECT_TRUE(fake->take().empty());
}

TEST_F(UsbBridgeTest, LeavesOutAPhoneWhoseForwardCannotBeMadeAndTriesAgainNextPoll) {
    for (const auto& create : {printed("", 1), printed("abc\n")}) {
        published.clear();
        answer("devices -l", header + "BAD device usb:1-1 model:X\nGOOD device usb:1-2 model:Y\n");
        answer("-s GOOD forward --list", "GOOD tcp:6000 tcp:47625\n");
        fake->answers["-s BAD forward tcp:0 tcp:47625"] = create;
        startBridge();
        EXPECT_EQ(published, (Lists{{phone("GOOD", "Y", 6000)}}));
        fake->take();
        queue->advance(3);
        EXPECT_EQ(fake->take(), (Calls{"devices -l", "-s BAD forward --list",
                                       "-s BAD forward tcp:0 tcp:47625", "-s GOOD forward --list"}));
        bridge->removeCreatedForwards();
        EXPECT_TRUE(fake->take().empty());
    }
}

TEST_F(UsbBridgeTest, PublishesWhenTheListChangesAndEmptiesItOnceWhenAdbFails) {
    const std::string one = "A device usb:1 model:One\n", two = "B device usb:2 model:Two\n";
    answer("-s A forward --list", "A tcp:5001 tcp:47625\n");
    answer("-s B forward --list", "B tcp:5002 tcp:47625\n");
    answer("devices -l", header + one + two);
    startBridge();
    queue->advance(3);                         // the same again: nothing new
    answer("devices -l", header + two + one);  // order counts
    queue->advance(3);
    answer("-s B forward --list", "B tcp:5003 tcp:47625\n");  // a new port must reach the receiver
    queue->advance(3);
    fake->answers.erase("devices -l");  // adb fails: the phones are reported gone, once
    queue->advance(6);
    answer("devices -l", header);
    queue->advance(3);
    EXPECT_EQ(published, (Lists{{phone("A", "One", 5001), phone("B", "Two", 5002)},
                                {phone("B", "Two", 5002), phone("A", "One", 5001)},
                                {phone("B", "Two", 5003), phone("A", "One", 5001)},
                                {}}));
}

TEST_F(UsbBridgeTest, AListFromAFailedRunEmptiesTheListUntilAdbAnswersAgain) {
    const std::string list = header + "SER1 device usb:1 model:M\n";
    ProcessResult truncated = printed(list), killed = printed(list);
    truncated.truncated = true;
    killed.signalled = true;
    killed.status = 128 + 9;
    for (const auto& failed : {printed(list, 1), truncated, killed, ProcessResult{}}) {
        published.clear();
        onePhone("M");
        startBridge();
        fake->answers["devices -l"] = failed;
        queue->advance(3);
        onePhone("M");
        queue->advance(3);
        EXPECT_EQ(published, (Lists{{phone("SER1", "M", 5001)}, {}, {phone("SER1", "M", 5001)}}));
    }
}

TEST_F(UsbBridgeTest, AHangingAdbIsCutByTheWatchdogAndTheListEmptied) {
    onePhone("Z");
    makeBridge("/usr/bin/adb", 0.5);
    bridge->start();
    queue->advance(1);
    fake->hangs = "devices -l";
    queue->advance(3);  // returns only once the child is gone
    EXPECT_TRUE(fake->cut);
    EXPECT_EQ(published, (Lists{{phone("SER1", "Z", 5001)}, {}}));
    EXPECT_EQ(fake->requests.back().timeoutSeconds, 0.5);
}

TEST_F(UsbBridgeTest, StopEndsPollingAndARestartPublishesThePhonesAgain) {
    onePhone("M");
    startBridge();
    bridge->stop();
    fake->take();
    queue->advance(30);
    EXPECT_TRUE(fake->take().empty());
    // The receiver emptied its own list when it stopped us; the same phone must reach it again.
    bridge->start();
    queue->advance(1);
    EXPECT_EQ(published, (Lists{{phone("SER1", "M", 5001)}, {phone("SER1", "M", 5001)}}));
}

TEST_F(UsbBridgeTest, WithoutAdbOrOnceDestroyedNothingRuns) {
    makeBridge(std::nullopt);
    bridge->start();
    EXPECT_EQ(queue->pendingCount(), 0u);
    bridge->removeCreatedForwards();
    makeBridge();
    bridge->start();
    bridge.reset();
    queue->advance(30);
    EXPECT_TRUE(fake->take().empty());
}

TEST_F(UsbBridgeTest, PollsOnItsOwnQueueThreadAndShutdownRemovesTheForwardAPollWasCreating) {
    answer("devices -l", header + "SER1 device usb:1-1 model:M\n");
    answer("-s SER1 forward tcp:0 tcp:47625", "40123\n");
    const std::string create = "-s SER1 forward tcp:0 tcp:47625";
    fake->holdAt = create;
    std::string pollThread;
    UsbBridge real("/usr/bin/adb", std::make_shared<SerialQueue>("corvix.usb"), fake);
    real.setOnChange([&](const std::vector<DiscoveredPhone>&) {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        pollThread = name;
    });
    real.start();
    ASSERT_TRUE(fake->waitForCall(create));
    real.stop();
    // Waits for the poll stuck in the create command, then removes what it created.
    std::thread shutdown([&] { real.removeCreatedForwards(); });
    fake->release();
    shutdown.join();
    EXPECT_EQ(fake->take().back(), "-s SER1 forward --remove tcp:40123");
    EXPECT_EQ(pollThread, "corvix.usb");
}

}  // namespace
}  // namespace velmora
