#include "app/links/ble/ble_central.h"

#include <gtest/gtest.h>

#include "ble/fake_radio.h"
#include "core/discovery/pairing_beacon.h"
#include "core/errors/cxp_error.h"
#include "core/exec/manual_executor.h"

namespace velmora {
namespace {

Bytes beacon(std::uint8_t idByte, bool pairing) {
    return PairingBeacon::bleServiceData(Bytes(8, idByte), pairing);
}

// The central on a manual queue and a manual main executor sharing one fake clock (the queue's).
struct CentralRig {
    CentralRig() {
        central.setOnPhones([this](const std::vector<BlePhone>& list) {
            phones = list;
            ++publishes;
        });
        central.setOnState([this](RadioState s) { states.push_back(s); });
        central.start();
        settle();
    }
    void settle() {
        queue->runPending();
        main.runPending();
    }
    void advance(double seconds) {
        queue->advance(seconds);
        main.runPending();
    }
    void see(const BleId& id, std::optional<Bytes> data) {
        central.radioAdvertisement(id, std::move(data));
        settle();
    }
    std::vector<BleId> ids() const {
        std::vector<BleId> out;
        for (const auto& p : phones)
            out.push_back(p.id);
        return out;
    }

    test::FakeRadio radio;
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    ManualExecutor main;
    BleCentral central{radio, queue, main};
    std::vector<BlePhone> phones;
    std::vector<RadioState> states;
    int publishes = 0;
};

TEST(BleCentral, GroupsSightingsByPrefixNewestFirstWithFourAlternatesAndSortsById) {
    CentralRig rig;
    EXPECT_EQ(rig.publishes, 0) << "the first, empty list is not delivered";
    for (const char* id : {"A6", "A5", "A4", "A3", "A2", "A1"}) {  // A1 first seen last
        rig.see(id, beacon(0xab, true));
        rig.advance(0.5);
    }
    rig.see("0-NOBEACON", std::nullopt);
    rig.see("Z-NOBEACON", std::nullopt);
    ASSERT_EQ(rig.ids(), (std::vector<BleId>{"0-NOBEACON", "A1", "Z-NOBEACON"}));
    EXPECT_EQ(rig.phones[1].alternates, (std::vector<BleId>{"A2", "A3", "A4", "A5"}));
    EXPECT_EQ(rig.phones[1].devicePrefix, "abababababababab");
    EXPECT_EQ(rig.phones[1].pairing, true);
    EXPECT_EQ(rig.phones[0], (BlePhone{"0-NOBEACON", std::nullopt, std::nullopt, {}}));
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
    rig.advance(11.9);  // 11.9 s since the last advertisement: kept
    EXPECT_EQ(rig.phones.size(), 1u);
    rig.advance(3);  // stale at the next prune
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
    try {
        std::rethrow_exception(late->waitUntilReady(1e9));
    } catch (const CXPError& e) {
        EXPECT_EQ(e.text(), "Bluetooth desligado ou sem permissão");
    }
}

TEST(BleCentral, DroppedPhoneHidesUntilSeenAgainAndCancelReachesTheLinksOwnPeripheral) {
    CentralRig rig;
    auto peripheral = rig.radio.add(rig.central, "D1");  // remembered by the stack, never seen
    auto link = std::make_shared<BleLink>(*rig.queue);
    rig.central.open("D1", link);
    rig.settle();
    rig.see("D1", beacon(4, false));
    rig.central.pause();  // forgets the sighting; the link stays
    rig.settle();
    rig.central.cancel("D1");
    rig.settle();
    EXPECT_EQ(peripheral->takeCalls(), (std::vector<std::string>{"connect", "cancel"}));
    EXPECT_THROW(link->readExactly(1), CXPError);

    rig.central.start();
    rig.settle();
    rig.central.radioAdvertisement("D1", beacon(4, false));  // heard at the very moment of the drop
    rig.settle();
    EXPECT_TRUE(rig.phones.empty()) << "a sighting not newer than the drop stays hidden";
    rig.advance(1);
    rig.see("D1", std::nullopt);
    EXPECT_EQ(rig.ids(), std::vector<BleId>{"D1"});
}

}  // namespace
}  // namespace velmora
