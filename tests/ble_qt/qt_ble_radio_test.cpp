// The Qt radio against the BlueZ stand-in: the adapter absent and present, its power going off and on, a
// phone found and lost, and a scan that BlueZ ends by itself starting again. The central runs on manual
// executors driven from the Qt thread, so its 3 s prune and 1 s rescan pass on a fake clock.

#include "app/links/ble/qt/qt_ble_radio.h"

#include <gtest/gtest.h>

#include <future>

#include "app/links/ble/ble_transport.h"
#include "ble/fake_radio.h"
#include "bluez_stand_in.h"
#include "core/discovery/pairing_beacon.h"

namespace velmora {
namespace test {
extern BluezStandIn* standIn;
}
namespace {

using test::pumpUntil;

const char* const phone = "5E:11:22:33:44:55";

// A radio made after the stand-in was set up (Qt reads the adapter when the radio is made), and a central
// over it on manual executors.
struct RadioStory {
    RadioStory() {
        radio->setCentral(&central);
        central.setOnState([this](RadioState s) { states.push_back(s); });
        central.setOnPhones([this](const std::vector<BleScannedPhone>& list) { phones = list; });
        central.start();
    }
    ~RadioStory() { radio->setCentral(nullptr); }
    void settle() {
        queue->runPending();
        main.runPending();
    }
    bool until(const std::function<bool()>& done) {
        return pumpUntil(done, [this] { settle(); });
    }
    bool scanStarted() {
        return until([&] { return bluez.takeCalls().contains("StartDiscovery"); });
    }

    test::BluezStandIn& bluez = *test::standIn;
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    ManualExecutor main;
    std::unique_ptr<QtBleRadio> radio = std::make_unique<QtBleRadio>();
    BleCentral central{*radio, queue, main};
    std::vector<RadioState> states;
    std::vector<BleScannedPhone> phones;
};

TEST(QtBleRadio, WithoutAnAdapterReadsUnsupportedAndConnectsFailAtOnce) {
    test::standIn->call("SetAdapter", {false});
    RadioStory story;
    EXPECT_EQ(story.radio->state(), RadioState::unsupported);
    BleTransport transport(story.central, phone);
    auto connect = std::async(std::launch::async, [&] { transport.connect(10); });
    ASSERT_TRUE(
        story.until([&] { return connect.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(test::caught([&] { connect.get(); }).text(), "Bluetooth desligado ou sem permissão");
    story.settle();
    EXPECT_EQ(story.states, std::vector<RadioState>{RadioState::unsupported});
    EXPECT_EQ(story.radio->peripheral("not an address"), nullptr);
}

TEST(QtBleRadio, PowerOffEmptiesTheListAndPowerOnScansAgain) {
    test::standIn->call("SetAdapter", {true});
    RadioStory story;
    ASSERT_TRUE(story.scanStarted());
    EXPECT_EQ(story.states, std::vector<RadioState>{RadioState::poweredOn});
    story.bluez.call("AddPhone",
                     {phone, test::BluezStandIn::bytes(PairingBeacon::bleServiceData(Bytes(8, 0x3c), true))});
    ASSERT_TRUE(story.until([&] { return story.phones.size() == 1; }));
    EXPECT_EQ(story.phones[0].id, phone);
    EXPECT_EQ(story.phones[0].devicePrefix, "3c3c3c3c3c3c3c3c");
    EXPECT_EQ(story.phones[0].pairing, true);

    story.bluez.call("SetPowered", {false});
    ASSERT_TRUE(story.until([&] { return story.states.back() == RadioState::poweredOff; }));
    EXPECT_TRUE(story.phones.empty());
    story.bluez.call("SetPowered", {true});
    ASSERT_TRUE(story.until([&] { return story.states.back() == RadioState::poweredOn; }));
    ASSERT_TRUE(story.scanStarted());
    story.bluez.call("Advertise", {phone, qint16(-50)});
    ASSERT_TRUE(story.until([&] { return story.phones.size() == 1; }));
}

// The adapter goes away under a running radio (a dongle pulled out) and comes back: Qt's local device stays
// bound to the adapter it was made with, so the radio makes a new one.
TEST(QtBleRadio, AdapterPulledOutEmptiesTheListAndOnePluggedInScansAgain) {
    test::standIn->call("SetAdapter", {false});
    test::standIn->call("SetAdapter", {true});
    RadioStory story;
    ASSERT_TRUE(story.scanStarted());
    story.bluez.call("AddPhone",
                     {phone, test::BluezStandIn::bytes(PairingBeacon::bleServiceData(Bytes(8, 5), false))});
    ASSERT_TRUE(story.until([&] { return story.phones.size() == 1; }));
    story.bluez.call("SetAdapter", {false});
    ASSERT_TRUE(story.until([&] { return story.states.back() != RadioState::poweredOn; }));
    EXPECT_EQ(story.states.back(), RadioState::unsupported);
    EXPECT_TRUE(story.phones.empty());

    story.bluez.takeCalls();
    story.bluez.call("SetAdapter", {true});  // plugged in again
    ASSERT_TRUE(story.until([&] { return story.states.back() == RadioState::poweredOn; }));
    ASSERT_TRUE(story.scanStarted());
    story.bluez.call("AddPhone",
                     {phone, test::BluezStandIn::bytes(PairingBeacon::bleServiceData(Bytes(8, 5), false))});
    ASSERT_TRUE(story.until([&] { return story.phones.size() == 1; }));
}

// BlueZ's discovery ends under the agent and Qt's own attempt to resume it fails: the central hears of it
// from the adapter, scans again a second later (fake time), and the phone it still hears stays listed. A
// phone gone quiet leaves the list 12 s later.
TEST(QtBleRadio, ScanThatBluezEndsStartsAgainAndAPhoneGoneQuietIsDropped) {
    test::standIn->call("SetAdapter", {false});
    test::standIn->call("SetAdapter", {true});
    RadioStory story;
    ASSERT_TRUE(story.scanStarted());
    story.bluez.call("AddPhone",
                     {phone, test::BluezStandIn::bytes(PairingBeacon::bleServiceData(Bytes(8, 7), false))});
    ASSERT_TRUE(story.until([&] { return story.phones.size() == 1; }));

    story.bluez.call("StopDiscoveryByItself", {1u});
    ASSERT_TRUE(story.until([&] { return story.queue->pendingCount() > 1; }));  // the rescan is waiting
    story.bluez.takeCalls();
    story.queue->advance(BleCentral::rescanDelay);
    ASSERT_TRUE(story.scanStarted());
    for (int i = 0; i < 6; ++i) {  // heard on the new scan for longer than the prune limit
        story.queue->advance(3);
        story.bluez.call("Advertise", {phone, qint16(-40 - i)});
        ASSERT_TRUE(pumpUntil([&] { return story.queue->pendingCount() > 1; }));  // the sighting is posted
        story.settle();
    }
    EXPECT_EQ(story.phones.size(), 1u);
    EXPECT_EQ(story.queue->pendingCount(), 1u) << "only the prune waits: the restart did not loop";

    story.bluez.call("RemovePhone", {phone});
    story.queue->advance(BleCentral::staleAfter + BleCentral::pruneInterval);
    story.settle();
    EXPECT_TRUE(story.phones.empty());
}

}  // namespace
}  // namespace velmora
