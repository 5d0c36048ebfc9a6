#include "app/links/ble/ble_central_port.h"

#include <gtest/gtest.h>

#include "ble/fake_radio.h"
#include "core/discovery/pairing_beacon.h"

namespace velmora {
namespace {

using Fields = std::tuple<std::string, std::string, std::optional<std::string>, std::optional<bool>,
                          std::vector<std::string>>;

TEST(BleCentralPort, HandsTheModelItsPhonesAndStatesOnMainOnly) {
    test::RadioRig rig;
    BleCentralPort port(std::shared_ptr<BleCentral>(std::shared_ptr<void>(), &rig.central));
    std::vector<int> states;
    std::vector<std::vector<Fields>> lists;
    port.setHandlers({[&](int s) { states.push_back(s); },
                      [&](std::vector<BlePhone> phones) {
                          auto& list = lists.emplace_back();
                          for (const BlePhone& p : phones)
                              list.emplace_back(p.id, p.name, p.devicePrefix, p.pairFlag, p.alternates);
                      }});
    port.start();
    rig.central.radioAdvertisement("C1", std::nullopt);
    rig.central.radioAdvertisement("B1", PairingBeacon::bleServiceData(Bytes(8, 0x01), false));
    rig.central.radioAdvertisement("A2", PairingBeacon::bleServiceData(Bytes(8, 0xab), true));
    rig.advance(1);  // A1 is the newer address of the same phone
    rig.central.radioAdvertisement("A1", PairingBeacon::bleServiceData(Bytes(8, 0xab), true));
    rig.queue->runPending();
    EXPECT_EQ(lists.size(), 3u) << "the fourth list waits for the main executor";
    rig.main.runPending();
    EXPECT_EQ(lists.back(), (std::vector<Fields>{{"A1", "", "abababababababab", true, {"A2"}},
                                                 {"B1", "", "0101010101010101", false, {}},
                                                 {"C1", "", std::nullopt, std::nullopt, {}}}));
    for (RadioState s : {RadioState::poweredOff, RadioState::unsupported, RadioState::poweredOn}) {
        rig.radio.state_ = s;
        rig.central.radioStateChanged();
        rig.settle();
    }
    EXPECT_EQ(states, (std::vector<int>{4, 2, 5}));
    EXPECT_TRUE(lists.back().empty()) << "power-off empties the model's list";
}

}  // namespace
}  // namespace velmora
