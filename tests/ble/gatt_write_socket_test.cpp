#include "app/links/ble/gatt_write_socket.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "core/errors/net_error.h"

namespace velmora {
namespace {

struct SocketRig {
    SocketRig() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        ours = std::make_unique<GattWriteSocket>(UniqueFd(fds[0]), 185);
        adapter = UniqueFd(fds[1]);
    }
    std::unique_ptr<GattWriteSocket> ours;
    UniqueFd adapter;  // BlueZ's end
};

TEST(GattWriteSocket, PayloadIsTheMtuLessTheAttHeaderNeverUnder20) {
    for (const auto& [mtu, payload] : std::vector<std::pair<std::size_t, std::size_t>>{
             {0, 20}, {23, 20}, {24, 21}, {185, 182}, {247, 244}, {517, 514}}) {
        EXPECT_EQ(GattWriteSocket(UniqueFd(), mtu).maximumWriteLength(), payload) << mtu;
    }
}

// An adapter that takes nothing fills the small send buffer after a bounded number of packets; each packet
// reaches BlueZ whole, one write each.
TEST(GattWriteSocket, FullBufferStopsTheWriterAfterABoundedNumberOfPackets) {
    SocketRig rig;
    const Bytes packet(182, 0x42);
    int sent = 0;
    while (rig.ours->writable() && sent < 10000) {
        rig.ours->send(packet);
        ++sent;
    }
    std::printf("[ GATT     ] %d packets of 182 bytes queued before the socket said full\n", sent);
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 64);
    Bytes got(1024);
    EXPECT_EQ(::recv(rig.adapter.get(), got.data(), got.size(), 0), 182);
    for (int i = 1; i < sent; ++i)
        ::recv(rig.adapter.get(), got.data(), got.size(), 0);
    EXPECT_TRUE(rig.ours->writable());
}

TEST(GattWriteSocket, ReleasedLockEndsWritesWithTheSocketsError) {
    SocketRig rig;
    rig.adapter.reset();  // BlueZ closes its end when the device goes or the lock is released
    EXPECT_TRUE(rig.ours->writable()) << "a broken socket must not keep the writer waiting";
    try {
        rig.ours->send(Bytes(20));
        ADD_FAILURE() << "sent into a closed socket";
    } catch (const PosixError& e) {
        EXPECT_EQ(e.code(), EPIPE);
    }
}

}  // namespace
}  // namespace velmora
