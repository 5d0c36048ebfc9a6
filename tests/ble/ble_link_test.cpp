#include "app/links/ble/ble_link.h"

#include <gtest/gtest.h>

#include <future>

#include "ble/fake_radio.h"
#include "core/log/velmora_log.h"
#include "support/temp_dir.h"

namespace velmora {
namespace {

std::string logText() {
    return VelmoraLog::flush(), test::readFile(VelmoraLog::file());
}

// A link opened through the central; the test plays the peripheral's reports.
struct LinkRig : test::RadioRig {
    LinkRig() {
        central.open("AA:01", link);
        settle();
        peripheral->takeCalls();
    }
    void toCharacteristics(bool psm = true) {
        link->didDiscoverServices(nullptr, true);
        link->didDiscoverCharacteristics(nullptr, true, true, psm);
    }

    std::shared_ptr<test::FakePeripheral> peripheral = radio.add(central, "AA:01");
    std::shared_ptr<BleLink> link = std::make_shared<BleLink>(*queue);
};

TEST(BleLink, EachFallbackReasonGoesToGattOnceAndALateChannelIsThenClosed) {
    struct Case {
        std::optional<Bytes> psm;
        bool refused;
        std::string logged;  // empty: the channel was asked for on the PSM read
    };
    for (const Case& c :
         {Case{Bytes{0x01, 0x10}, true, ""}, Case{Bytes{0, 0}, false, "(celular sem L2CAP (PSM 0))"},
          Case{Bytes{7}, false, "(leitura do PSM falhou)"},
          Case{std::nullopt, true, "(L2CAP recusado: sem detalhe)"},
          Case{std::nullopt, false, "(L2CAP não abriu em 5 s)"}}) {
        SCOPED_TRACE(c.logged);
        LinkRig rig;
        rig.toCharacteristics();
        if (c.psm) rig.link->didReadPsm(nullptr, *c.psm);
        if (c.refused) rig.link->didOpenChannel(nullptr, UniqueFd(), 0x81);
        rig.queue->advance(6);  // the 5 s timer fires, or fires into a no-op
        const auto calls = rig.peripheral->takeCalls();
        if (c.logged.empty()) {
            EXPECT_EQ(calls, (std::vector<std::string>{"characteristics", "psm", "l2cap 4097", "notify"}));
        } else {
            EXPECT_EQ(std::count(calls.begin(), calls.end(), "notify"), 1);
            EXPECT_NE(logText().find("usando o cano GATT " + c.logged), std::string::npos);
            int fds[2];
            ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
            const UniqueFd phone(fds[1]);
            rig.link->didOpenChannel(nullptr, UniqueFd(fds[0]), 0x81);
            char byte = 0;
            EXPECT_EQ(::recv(phone.get(), &byte, 1, 0), 0) << "our end was closed";
            rig.link->didUpdateNotificationState(nullptr, true);
            EXPECT_EQ(rig.link->waitUntilReady(0), nullptr);
            EXPECT_EQ(rig.link->mode(), "gatt");
        }
    }
    LinkRig noPsm;
    noPsm.toCharacteristics(false);
    EXPECT_EQ(noPsm.peripheral->takeCalls(), (std::vector<std::string>{"characteristics", "notify"}));
}

TEST(BleLink, GattWritesGoInChunksOfTheWriteLengthClampedTo20Through512) {
    for (const auto& [maxWrite, total, chunks] : std::vector<std::tuple<int, int, std::vector<std::size_t>>>{
             {19, 45, {20, 20, 5}}, {513, 600, {512, 88}}}) {
        LinkRig rig;
        rig.toCharacteristics(false);
        rig.peripheral->maxWrite = maxWrite;
        rig.link->write(Bytes(total, 1));
        std::vector<std::size_t> sizes;
        for (const Bytes& w : rig.peripheral->writes)
            sizes.push_back(w.size());
        EXPECT_EQ(sizes, chunks) << maxWrite;
    }
}

TEST(BleLink, GattWriteTimesOutTwentySecondsAfterItsCall) {
    LinkRig rig;
    rig.toCharacteristics(false);
    rig.peripheral->canSend = false;
    auto writer = std::async(std::launch::async, [&] { rig.link->write(Bytes(10)); });
    while (rig.peripheral->sendChecks == 0)  // the deadline is fixed before the first try
        std::this_thread::yield();
    rig.queue->advance(19);
    rig.link->isReadyToSendWriteWithoutResponse();
    EXPECT_EQ(writer.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
    rig.queue->advance(1.5);
    EXPECT_EQ(test::caught([&] { writer.get(); }).kind(), CXPError::Kind::timedOut);
}

TEST(BleLink, FirstFailureStaysAndBufferedBytesOutliveTheClose) {
    LinkRig rig;
    rig.toCharacteristics(false);
    rig.link->didNotify(Bytes{9, 8, 7});
    rig.link->fail(std::make_exception_ptr(CXPError::protocolError("características ausentes")));
    rig.link->disconnected(nullptr);
    EXPECT_EQ(rig.link->readExactly(3), (Bytes{9, 8, 7}));
    EXPECT_EQ(test::caught([&] { std::rethrow_exception(rig.link->waitUntilReady(1e9)); }).text(),
              "características ausentes");
    EXPECT_THROW(rig.link->write(Bytes(1)), CXPError);

    LinkRig quiet;
    quiet.link->disconnected(nullptr);
    EXPECT_EQ(test::caught([&] { quiet.link->readExactly(1); }).kind(), CXPError::Kind::closed);
}

}  // namespace
}  // namespace velmora
