#include "app/links/ble/l2cap_pump.h"

#include <gtest/gtest.h>

#include "support/wait_until.h"

#include <future>

#include "ble/fake_radio.h"
#include "core/errors/net_error.h"

namespace velmora {
namespace {

using test::caught;

// The pump on one end of a SEQPACKET socketpair, the phone's end kept by the test.
struct PumpRig {
    explicit PumpRig(L2capLimits limits = {}, bool start = true) {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        phone = UniqueFd(fds[1]);
        pump = std::make_shared<L2capPump>(UniqueFd(fds[0]), limits);
        // Reports may come from the pump thread after the rig is gone: they touch shared state only.
        pump->onOpen = [seen = seen] { seen->opened = true; };
        pump->onClosed = [seen = seen](std::exception_ptr) { ++seen->closes; };
        if (start) pump->start();
    }
    ~PumpRig() { pump->close(nullptr); }
    void phoneSends(const Bytes& packet) {
        ASSERT_EQ(::send(phone.get(), packet.data(), packet.size(), 0), static_cast<ssize_t>(packet.size()));
    }

    struct Reports {
        std::atomic<bool> opened = false;
        std::atomic<int> closes = 0;
    };
    std::shared_ptr<Reports> seen = std::make_shared<Reports>();
    UniqueFd phone;
    std::shared_ptr<L2capPump> pump;
};

TEST(L2capPump, QueueTakesWritesUpTo131072ThenHoldsWritersUntilTheirDeadline) {
    PumpRig rig({.writeDeadline = 0.05}, false);  // nothing drains
    rig.pump->write(Bytes(131072));
    rig.pump->write(Bytes(1));  // 131072 queued is not over the limit
    EXPECT_EQ(caught([&] { rig.pump->write(Bytes(5)); }).kind(), CXPError::Kind::timedOut);
    EXPECT_EQ(rig.pump->queued(), 131073u) << "a timed-out write queues nothing";
}

TEST(L2capPump, BigWriteGoesWholeThenTheNextWaitsForTheDrainInPacketsOfTheSendMtu) {
    PumpRig rig({.sendMtu = 1000}, false);
    rig.pump->write(Bytes(200000, 0x5a));
    auto second = std::async(std::launch::async, [&] { rig.pump->write(Bytes(7, 0x01)); });
    rig.pump->start();
    Bytes packet(65536);
    for (std::size_t got = 0; got < 200007;) {
        const ssize_t n = ::recv(rig.phone.get(), packet.data(), packet.size(), 0);
        ASSERT_TRUE(n == 1000 || (n > 0 && got + n == 200007)) << n;
        got += n;
    }
    second.get();
    EXPECT_TRUE(rig.seen->opened);
}

TEST(L2capPump, ClosingTwiceReportsOnceWithTheFirstReason) {
    PumpRig rig;
    rig.pump->close(std::make_exception_ptr(CXPError::protocolError("primeiro")));
    rig.pump->close(std::make_exception_ptr(CXPError::timedOut()));
    EXPECT_EQ(rig.seen->closes, 1);
    EXPECT_EQ(caught([&] { rig.pump->readExactly(1); }).text(), "primeiro");
    EXPECT_EQ(caught([&] { rig.pump->write(Bytes(1)); }).kind(), CXPError::Kind::protocolError);
}

TEST(L2capPump, EndOfStreamClosesOnceAndLeavesReceivedBytesReadable) {
    PumpRig rig;
    rig.phoneSends({1, 2, 3, 4, 5});
    EXPECT_EQ(rig.pump->readExactly(2), (Bytes{1, 2}));
    rig.phone.reset();
    ASSERT_TRUE(test::waitUntil([&] { return rig.seen->closes > 0; }));
    EXPECT_EQ(rig.seen->closes, 1);
    EXPECT_EQ(rig.pump->readExactly(3), (Bytes{3, 4, 5}));
    EXPECT_EQ(caught([&] { rig.pump->readExactly(1); }).kind(), CXPError::Kind::closed);
}

TEST(L2capPump, PacketLargerThanTheReadBufferEndsThePumpInsteadOfLosingItsTail) {
    PumpRig rig({.readChunk = 100});
    rig.phoneSends(Bytes(101, 7));
    EXPECT_EQ(caught([&] { rig.pump->readExactly(1); }).kind(), CXPError::Kind::protocolError);
}

TEST(L2capPump, SendErrorEndsThePumpWithItsErrnoInsteadOfPollingForEver) {
    PumpRig rig;
    ASSERT_TRUE(test::waitUntil([&] { return rig.seen->opened.load(); }));
    ::shutdown(rig.phone.get(), SHUT_RD);  // the phone takes nothing more: every send fails with EPIPE
    rig.pump->write(Bytes(64, 1));
    ASSERT_TRUE(test::waitUntil([&] { return rig.seen->closes > 0; }));
    EXPECT_EQ(rig.seen->closes, 1);
    try {
        rig.pump->write(Bytes(1));
        ADD_FAILURE() << "a write after the failed send went through";
    } catch (const NetError& e) {
        EXPECT_EQ(e.code(), EPIPE);
    }
}

}  // namespace
}  // namespace velmora
