// Without a powered adapter a transport fails at once with the text the user sees.

#include "app/links/ble/qt/qt_ble_radio.h"

#include <gtest/gtest.h>
#include <QCoreApplication>

#include "app/links/ble/ble_transport.h"
#include "ble/fake_radio.h"
#include "core/exec/serial_queue.h"

namespace velmora {
namespace {

TEST(QtBleRadio, WithoutAnAdapterReadsUnsupportedAndConnectsFailAtOnce) {
    int argc = 1;
    char name[] = "velmora_ble_qt_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtBleRadio radio;
    if (radio.state() == RadioState::poweredOn) GTEST_SKIP() << "this machine has a powered adapter";
    auto queue = std::make_shared<SerialQueue>("tessel.ble");
    ManualExecutor main;
    BleCentral central(radio, queue, main, [&](const Executor::Task& t) { queue->sync(t); });
    radio.setCentral(&central);
    std::vector<RadioState> states;
    central.setOnState([&](RadioState s) { states.push_back(s); });
    central.start();
    BleTransport transport(central, "AA:BB:CC:DD:EE:FF");
    EXPECT_EQ(test::caught([&] { transport.connect(10); }).text(), "Bluetooth desligado ou sem permissão");
    transport.close();
    queue->sync([] {});
    main.runPending();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.front(), radio.state());
    EXPECT_EQ(radio.peripheral("not an address"), nullptr);
}

}  // namespace
}  // namespace velmora
