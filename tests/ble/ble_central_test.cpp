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

}  // namespace
}  // namespace velmora
