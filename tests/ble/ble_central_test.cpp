#include "app/links/ble/ble_central.h"

#include <gtest/gtest.h>

#include "ble/fake_radio.h"
#include "core/discovery/pairing_beacon.h"

namespace velmora {
namespace {

Bytes beacon(std::uint8_t idByte, bool pairing) {
    return PairingBeacon::bleServiceData(Bytes(8, idByte), pairing);
}

struct CentralRig : test::RadioRig {
    CentralRig() {
        central.setOnPhones([this](const std::vector<BleScannedPhone>& list) {
            phones = list;
            ++publishes;
        });
        central.setOnState([this](RadioState s) { states.push_back(s); });
    }
    void see(const BleId& id, std::optional<Bytes> data) {
        central.radioAdvertisement(id, std::move(data));
        settle();
    }

    std::vector<BleScannedPhone> phones;
    std::vector<RadioState> states;
    int publishes = 0;
};

TEST(BleCentral, GroupsSightingsByPrefixNewestFirstWithFourAlternatesAndSortsById) {
    CentralRig rig;
    for (const char* id : {"A6", "A5", "A4", "A3", "A2", "A1"}) {  // A1 first seen last
        rig.see(id, beacon(0xab, true));
        rig.advance(0.5);
    }
    rig.see("0-NOBEACON", std::nullopt);
    rig.see("Z-NOBEACON", std::nullopt);
    EXPECT_EQ(rig.phones,
              (std::vector<BleScannedPhone>{{"0-NOBEACON", std::nullopt, std::nullopt, {}},
                                            {"A1", "abababababababab", true, {"A2", "A3", "A4", "A5"}},
                                            {"Z-NOBEACON", std::nullopt, std::nullopt, {}}}));
}

TEST(BleCentral, AdvertisementWithoutBeaconKeepsThePrefixAndRepeatsAreNotPublished) {
    CentralRig rig;
    rig.see("P1", beacon(2, true));
    const int after = rig.publishes;
    rig.advance(10);
    rig.see("P1", std::nullopt);  // refreshes the sighting only
    rig.see("P1", Bytes{1, 2});   // not a beacon either
    EXPECT_EQ(rig.publishes, after);
    EXPECT_EQ(rig.phones[0].devicePrefix, "0202020202020202");
    rig.advance(11.9);
    EXPECT_EQ(rig.phones.size(), 1u);
    rig.advance(3);
    EXPECT_TRUE(rig.phones.empty());
}

TEST(BleCentral, PowerOffEmptiesTheListWithoutFailingLinksAndOpenNeedsPowerOn) {
    CentralRig rig;
    auto peripheral = rig.radio.add(rig.central, "L1");
    rig.see("L1", beacon(3, false));
    auto link = std::make_shared<BleLink>(*rig.queue);
    rig.central.open("L1", link);
    rig.settle();
    rig.radio.state_ = RadioState::poweredOff;
    rig.central.radioStateChanged();
    rig.settle();
    EXPECT_TRUE(rig.phones.empty());
    EXPECT_EQ(rig.states.back(), RadioState::poweredOff);
    EXPECT_THROW(std::rethrow_exception(link->waitUntilReady(0)), CXPError)
        << "pending: only the wait ran out";
    EXPECT_EQ(peripheral->takeCalls(), std::vector<std::string>{"connect"});

    auto late = std::make_shared<BleLink>(*rig.queue);
    rig.central.open("L1", late);
    rig.settle();
    EXPECT_EQ(test::caught([&] { std::rethrow_exception(late->waitUntilReady(1e9)); }).text(),
              "Bluetooth desligado ou sem permissão");
}

TEST(BleCentral, DroppedPhoneHidesUntilSeenAgainAndCancelReachesTheLinksOwnPeripheral) {
    CentralRig rig;
    auto peripheral = rig.radio.add(rig.central, "D1");  // remembered by the stack, never seen
    auto link = std::make_shared<BleLink>(*rig.queue);
    rig.central.open("D1", link);
    rig.settle();
    rig.see("D1", beacon(4, false));
    rig.central.pause();  // forgets the sighting; the link stays
    rig.central.cancel("D1");
    rig.settle();
    EXPECT_EQ(peripheral->takeCalls(), (std::vector<std::string>{"connect", "cancel"}));
    EXPECT_THROW(link->readExactly(1), CXPError);

    rig.central.start();
    rig.see("D1", beacon(4, false));  // heard at the very moment of the drop
    EXPECT_TRUE(rig.phones.empty()) << "a sighting not newer than the drop stays hidden";
    rig.advance(1);
    rig.see("D1", std::nullopt);
    EXPECT_EQ(rig.phones, (std::vector<BleScannedPhone>{{"D1", "0404040404040404", false, {}}}));
}

// The stack ends the scan by itself (an error, or its own finish): the central scans again a second later
// and keeps the phones it still hears; a stop it asked for, or one while the radio is off, stays stopped.
TEST(BleCentral, ScanThatStopsOnItsOwnStartsAgainAfterAPause) {
    CentralRig rig;
    ASSERT_EQ(rig.radio.starts, 1);
    rig.see("P1", beacon(3, false));
    rig.central.radioScanStopped(std::make_exception_ptr(BleError("org.bluez.Error.Failed")));
    rig.settle();
    rig.central.radioScanStopped(nullptr);  // a second report of the same stop restarts nothing more
    rig.advance(0.9);
    EXPECT_EQ(rig.radio.starts, 1);
    rig.advance(0.1);
    EXPECT_EQ(rig.radio.starts, 2);
    for (int i = 0; i < 10; ++i) {  // heard again on the new scan: never pruned
        rig.advance(2);
        rig.see("P1", std::nullopt);
    }
    EXPECT_EQ(rig.phones.size(), 1u);
    rig.central.radioScanStopped(nullptr);  // stopped again, by its own finish this time
    rig.advance(1);
    EXPECT_EQ(rig.radio.starts, 3);

    rig.central.pause();
    rig.settle();
    rig.central.radioScanStopped(nullptr);  // the report of the stop the central asked for
    rig.advance(5);
    EXPECT_EQ(rig.radio.starts, 3);
    rig.central.start();
    rig.settle();
    EXPECT_EQ(rig.radio.starts, 4);

    rig.radio.state_ = RadioState::poweredOff;
    rig.central.radioScanStopped(nullptr);  // stopped on its own, then the power report: nothing to restart
    rig.central.radioStateChanged();
    rig.advance(5);
    EXPECT_EQ(rig.radio.starts, 4);
    rig.radio.state_ = RadioState::poweredOn;
    rig.central.radioStateChanged();
    rig.settle();
    EXPECT_EQ(rig.radio.starts, 5);
}

}  // namespace
}  // namespace velmora
