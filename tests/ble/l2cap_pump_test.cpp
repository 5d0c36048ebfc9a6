#include "app/links/ble/l2cap_pump.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <future>

#include "core/errors/cxp_error.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// The pump on one end of a SEQPACKET socketpair, the phone's end kept by the test.
struct PumpRig {
    explicit PumpRig(L2capLimits limits = {}) {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        phone = UniqueFd(fds[1]);
        pump = std::make_shared<L2capPump>(UniqueFd(fds[0]), limits);
        // The reports may come from the pump thread after the rig is gone: they write shared state only.
        pump->onOpen = [seen = seen] { seen->opened = true; };
        pump->onClosed = [seen = seen](std::exception_ptr) { ++seen->closes; };
    }
    // Reads packets from the phone's end until `total` bytes came; returns the largest packet.
    std::size_t phoneReads(std::size_t total) {
        std::size_t got = 0, largest = 0;
        Bytes packet(65536);
        while (got < total) {
            const ssize_t n = ::recv(phone.get(), packet.data(), packet.size(), 0);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
            largest = std::max(largest, static_cast<std::size_t>(n));
        }
        EXPECT_EQ(got, total);
        return largest;
    }

    ~PumpRig() { pump->close(nullptr); }

    struct Reports {
        std::atomic<bool> opened = false;
        std::atomic<int> closes = 0;
    };
    std::shared_ptr<Reports> seen = std::make_shared<Reports>();
    UniqueFd phone;
    std::shared_ptr<L2capPump> pump;
};

CXPError::Kind kindOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const CXPError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no CXPError";
    return CXPError::Kind::unknownPeer;
}

TEST(L2capPump, QueueTakesWritesUpTo131072ThenHoldsWritersUntilTheirDeadline) {
    PumpRig rig({.writeDeadline = 0.05});  // not started: nothing drains
    rig.pump->write(Bytes(131072));
    rig.pump->write(Bytes(1));  // 131072 queued is not over the limit
    EXPECT_EQ(rig.pump->queued(), 131073u);
    EXPECT_EQ(kindOf([&] { rig.pump->write(Bytes(5)); }), CXPError::Kind::timedOut);
    EXPECT_EQ(rig.pump->queued(), 131073u) << "a timed-out write queues nothing";
}

TEST(L2capPump, BigWriteGoesWholeThenTheNextWaitsForTheDrainInPacketsOfTheSendMtu) {
    PumpRig rig({.sendMtu = 1000});
    rig.pump->write(Bytes(200000, 0x5a));
    EXPECT_EQ(rig.pump->queued(), 200000u);
    auto second = std::async(std::launch::async, [&] { rig.pump->write(Bytes(7, 0x01)); });
    rig.pump->start();
    EXPECT_EQ(rig.phoneReads(200007), 1000u);
    second.get();
    EXPECT_TRUE(rig.seen->opened);
}

TEST(L2capPump, ClosingTwiceReportsOnceWithTheFirstReason) {
    PumpRig rig;
    rig.pump->start();
    rig.pump->close(std::make_exception_ptr(CXPError::protocolError("primeiro")));
    rig.pump->close(std::make_exception_ptr(CXPError::timedOut()));
    EXPECT_EQ(rig.seen->closes, 1);
    try {
        rig.pump->readExactly(1);
        FAIL();
    } catch (const CXPError& e) {
        EXPECT_EQ(e.text(), "primeiro");
    }
    EXPECT_EQ(kindOf([&] { rig.pump->write(Bytes(1)); }), CXPError::Kind::protocolError);
}

TEST(L2capPump, EndOfStreamClosesOnceAndLeavesReceivedBytesReadable) {
    PumpRig rig;
    rig.pump->start();
    const Bytes hello{1, 2, 3, 4, 5};
    ASSERT_EQ(::send(rig.phone.get(), hello.data(), hello.size(), 0), 5);
    EXPECT_EQ(rig.pump->readExactly(2), (Bytes{1, 2}));
    rig.phone.reset();
    for (int i = 0; i < 2000 && rig.seen->closes == 0; ++i)
        std::this_thread::sleep_for(5ms);  // a bounded wait for the pump thread's report
    ASSERT_EQ(rig.seen->closes, 1);
    EXPECT_EQ(rig.pump->readExactly(0), Bytes{});
    EXPECT_EQ(rig.pump->readExactly(3), (Bytes{3, 4, 5}));
    EXPECT_EQ(kindOf([&] { rig.pump->readExactly(1); }), CXPError::Kind::closed);
}

TEST(L2capPump, PacketLargerThanTheReadBufferEndsThePumpInsteadOfLosingItsTail) {
    PumpRig rig({.readChunk = 100});
    rig.pump->start();
    const Bytes packet(101, 7);
    ASSERT_EQ(::send(rig.phone.get(), packet.data(), packet.size(), 0), 101);
    EXPECT_EQ(kindOf([&] { rig.pump->readExactly(1); }), CXPError::Kind::protocolError);
}

}  // namespace
}  // namespace velmora
