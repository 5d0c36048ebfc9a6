// A whole session through BleTransport and the L2CAP channel, the simulated phone at its far end.

#include <gtest/gtest.h>

#include "app/links/ble/ble_transport.h"
#include "ble/fake_radio.h"
#include "core/exec/serial_queue.h"
#include "core/session/link_session.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

TEST(BleSession, OpensOverTheL2capChannelAndEndsWhenTheTransportCloses) {
    test::FakeRadio radio;
    auto queue = std::make_shared<SerialQueue>("tessel.ble");
    ManualExecutor main;
    BleCentral central(radio, queue, main, [&](const Executor::Task& task) { queue->sync(task); });
    central.start();
    auto peripheral = radio.add(central, "AA:BB:CC:DD:EE:01");
    peripheral->answer = true;

    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    store.put(peerOf(phone));
    phone.remember(computer.id());

    auto transport = std::make_shared<BleTransport>(central, "AA:BB:CC:DD:EE:01");
    transport->connect(3);
    EXPECT_EQ(transport->mode(), "l2cap");
    std::unique_lock lock(peripheral->mutex);
    auto served = phone.serveAsync(std::make_shared<TcpTransport>(std::move(peripheral->phoneEnd)));
    lock.unlock();
    auto session = LinkSession::open(SecureChannel::connectAsClient(transport), computer, store, std::nullopt,
                                     false, [](const Peer&, const std::string&) { return false; });
    ASSERT_NE(session, nullptr);
    session->sendControl({{"t", "ping"}});
    session->close();
    EXPECT_TRUE(served.get().sessionReady);
    queue->sync([] {});  // the cancel has run: the link is gone from the central
    EXPECT_EQ(peripheral->takeCalls().back(), "cancel");
}

}  // namespace
}  // namespace velmora
