// The transport's connect wait, on a clock the test moves: clamped to 8-12 s, and a connect that runs out
// cancels the half-made connection through the central.

#include "app/links/ble/ble_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "ble/fake_radio.h"
#include "ble/stepped_clock.h"
#include "support/wait_until.h"

namespace velmora {
namespace {

using test::lookedTwice;
using test::SteppedClock;

TEST(BleTransport, ConnectWaitsItsTimeoutClampedTo8To12SecondsThenCancels) {
    struct Case {
        double timeout, waits;
    };
    for (const Case c : {Case{3, 8}, Case{10, 10}, Case{30, 12}, Case{-1, 8}}) {
        SCOPED_TRACE(c.timeout);
        test::RadioRig rig;
        auto peripheral = rig.radio.add(rig.central, "AA:02");  // takes the connect and never answers
        SteppedClock clock;
        BleTransport transport(rig.central, "AA:02", clock);
        auto connect = std::async(std::launch::async, [&] { transport.connect(c.timeout); });
        ASSERT_TRUE(test::waitUntil([&] {
            rig.settle();
            return peripheral->takeCalls() == std::vector<std::string>{"connect"};
        }));
        clock.at = 100.0 + c.waits - 0.01;
        ASSERT_TRUE(lookedTwice(clock));
        EXPECT_EQ(connect.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "gave up early";
        clock.at = 100.0 + c.waits;
        EXPECT_EQ(test::caught([&] { connect.get(); }).kind(), CXPError::Kind::timedOut);
        rig.settle();
        EXPECT_EQ(peripheral->takeCalls(), std::vector<std::string>{"cancel"});
        transport.close();  // a second cancel finds no link and asks the stack again, harmlessly
        rig.settle();
        EXPECT_EQ(peripheral->takeCalls(), std::vector<std::string>{});
    }
}

TEST(BleTransport, ConnectThatFailsCancelsAtOnceWithoutWaitingForTheDeadline) {
    test::RadioRig rig;
    auto peripheral = rig.radio.add(rig.central, "AA:03");
    SteppedClock clock;
    BleTransport transport(rig.central, "AA:03", clock);
    auto connect = std::async(std::launch::async, [&] { transport.connect(10); });
    ASSERT_TRUE(test::waitUntil([&] {
        rig.settle();
        return !peripheral->takeCalls().empty();
    }));
    rig.central.radioFailedToConnect("AA:03", std::make_exception_ptr(BleError("recusado pelo celular")));
    rig.settle();
    try {
        connect.get();
        ADD_FAILURE() << "connected";
    } catch (const BleError& e) {
        EXPECT_STREQ(e.what(), "recusado pelo celular");
    }
    rig.settle();
    EXPECT_EQ(clock.at.load(), 100.0) << "no time had to pass";
}

}  // namespace
}  // namespace velmora
