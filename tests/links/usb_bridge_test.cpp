#include "app/links/usb_bridge.h"

#include <pthread.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <utility>

#include "core/exec/manual_executor.h"
#include "core/exec/serial_queue.h"
#include "core/l10n/l10n.h"
#include "links/fake_adb.h"

namespace velmora {
namespace {

const std::string header = "List of devices attached\n";
using Calls = std::vector<std::string>;
using Lists = std::vector<std::vector<std::string>>;

using test::FakeAdb;
using test::printed;

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
    for (const auto& [step, polls] : {std::pair{0.99, 0u}, {0.01, 1u}, {2.99, 0u}, {0.01, 1u}, {30.0, 10u}}) {
        queue->advance(step);
        EXPECT_EQ(fake->take(), Calls(polls, "devices -l")) << "after " << queue->now() << " s";
    }
    EXPECT_TRUE(published.empty());  // nothing published before, nothing to say now
}

TEST_F(UsbBridgeTest, PublishesReadyPhonesInAdbsOrderThroughTheirOwnForwardOrANewOne) {
    answer("devices -l",
           header + "SER3 unauthorized usb:1-3\nSER2 device usb:1-2\r\nBAD device usb:4\n" +
               "ODD device usb:5\nSER1   device usb:1-1 product:x model:Phone_7_Pro transport_id:3\n");
    answer("-s SER1 forward --list", "SER2 tcp:5000 tcp:47625\nSER1 tcp:5001 tcp:47625\n");
    answer("-s SER2 forward --list", "SER2 tcp:5002 tcp:8080\n");
    answer("-s SER2 forward tcp:0 tcp:47625", "40123\n");
    answer("-s ODD forward tcp:0 tcp:47625", "abc\n");  // and BAD's commands fail
    startBridge();
    EXPECT_EQ(published, (Lists{{phone("SER2", "SER2", 40123), phone("SER1", "Phone-7-Pro", 5001)}}));
    answer("-s SER2 forward --list", "SER2 tcp:40123 tcp:47625\n");
    fake->take();
    queue->advance(3);  // the phones left out are tried again
    EXPECT_EQ(fake->take(), (Calls{"devices -l", "-s SER2 forward --list", "-s BAD forward --list",
                                   "-s BAD forward tcp:0 tcp:47625", "-s ODD forward --list",
                                   "-s ODD forward tcp:0 tcp:47625", "-s SER1 forward --list"}));
    // Only the forward we made goes; a reused one is someone else's, or an earlier one of ours.
    bridge->stop();
    bridge->removeCreatedForwards();
    EXPECT_EQ(fake->take(), Calls{"-s SER2 forward --remove tcp:40123"});
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

TEST_F(UsbBridgeTest, AForwardWeMadeIsReusedWhileTheForwardListCannotBeRead) {
    answer("devices -l", header + "SER1 device usb:1-1 model:M\n");
    answer("-s SER1 forward tcp:0 tcp:47625", "40123\n");
    startBridge();
    queue->advance(9);
    EXPECT_EQ(fake->take(), (Calls{"devices -l", "-s SER1 forward --list", "-s SER1 forward tcp:0 tcp:47625",
                                   "devices -l", "-s SER1 forward --list", "devices -l",
                                   "-s SER1 forward --list", "devices -l", "-s SER1 forward --list"}));
    EXPECT_EQ(published, (Lists{{phone("SER1", "M", 40123)}}));
}

TEST_F(UsbBridgeTest, PublishesWhenTheListChangesEmptiesItOnceWhenAdbFailsAndAgainAfterARestart) {
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
    fake->answers["devices -l"].truncated =
        true;  // a flood cut at the cap is a failed run, whatever it reads
    queue->advance(6);
    answer("devices -l", header + one);
    queue->advance(3);
    bridge->stop();
    fake->take();
    queue->advance(30);
    EXPECT_TRUE(fake->take().empty());
    // The receiver emptied its own list when it stopped us; the same phone must reach it again.
    bridge->start();
    queue->advance(1);
    EXPECT_EQ(published, (Lists{{phone("A", "One", 5001), phone("B", "Two", 5002)},
                                {phone("B", "Two", 5002), phone("A", "One", 5001)},
                                {phone("B", "Two", 5003), phone("A", "One", 5001)},
                                {},
                                {phone("A", "One", 5001)},
                                {phone("A", "One", 5001)}}));
}

TEST_F(UsbBridgeTest, AHangingAdbIsCutByTheWatchdogAndTheListEmptied) {
    answer("devices -l", header + "SER1 device usb:1-1 model:M\n");
    answer("-s SER1 forward --list", "SER1 tcp:5001 tcp:47625\n");
    makeBridge("/usr/bin/adb", 0.5);
    bridge->start();
    queue->advance(1);
    fake->hangs = "devices -l";
    queue->advance(3);  // returns only once the child is gone
    EXPECT_TRUE(fake->cut);
    EXPECT_EQ(published, (Lists{{phone("SER1", "M", 5001)}, {}}));
    EXPECT_EQ(fake->requests.back().timeoutSeconds, 0.5);
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
    fake->holdAt = "-s SER1 forward tcp:0 tcp:47625";
    std::string pollThread;
    UsbBridge real("/usr/bin/adb", std::make_shared<SerialQueue>("corvix.usb"), fake);
    real.setOnChange([&](const std::vector<DiscoveredPhone>&) {
        char name[16] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        pollThread = name;
    });
    real.start();
    EXPECT_EQ(fake->held.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    real.stop();
    // Waits for the poll held in the create command, then removes what it created.
    std::thread shutdown([&] { real.removeCreatedForwards(); });
    fake->go.set_value();
    shutdown.join();
    EXPECT_EQ(fake->take().back(), "-s SER1 forward --remove tcp:40123");
    EXPECT_EQ(pollThread, "corvix.usb");
}

}  // namespace
}  // namespace velmora
