#include "app/links/ble/ble_link.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sstream>

#include "app/links/ble/ble_transport.h"
#include "ble/fake_radio.h"
#include "core/errors/cxp_error.h"
#include "core/exec/manual_executor.h"
#include "core/log/velmora_log.h"

namespace velmora {
namespace {

std::string logText() {
    VelmoraLog::flush();
    std::ifstream in(VelmoraLog::file());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string failureText(const std::exception_ptr& e) {
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& x) {
        return x.what();
    }
}

// A link opened through a central on a manual queue; the test plays the peripheral's reports.
struct LinkRig {
    LinkRig() {
        central.start();
        peripheral = radio.add(central, "AA:01");
        central.open("AA:01", link);
        run();
        peripheral->takeCalls();
    }
    void run() { queue->runPending(); }
    void toCharacteristics(bool psm = true) {
        link->didDiscoverServices(nullptr, true);
        link->didDiscoverCharacteristics(nullptr, true, true, psm);
    }

    test::FakeRadio radio;
    std::shared_ptr<ManualExecutor> queue = std::make_shared<ManualExecutor>();
    ManualExecutor main;
    BleCentral central{radio, queue, main};
    std::shared_ptr<test::FakePeripheral> peripheral;
    std::shared_ptr<BleLink> link = std::make_shared<BleLink>(*queue);
};

TEST(BleLink, EachFallbackReasonGoesToGattOnceAndGoodPsmOpensTheChannel) {
    struct Case {
        const char* name;
        std::function<void(LinkRig&)> play;
        std::string logged;  // empty: no fallback
    };
    const std::vector<Case> cases = {
        {"psm 0x1001",
         [](LinkRig& r) {
             r.link->didReadPsm(nullptr, Bytes{0x01, 0x10});
         },
         ""},
        {"psm 0",
         [](LinkRig& r) {
             r.link->didReadPsm(nullptr, Bytes{0, 0});
         },
         "(celular sem L2CAP (PSM 0))"},
        {"one byte", [](LinkRig& r) { r.link->didReadPsm(nullptr, Bytes{7}); }, "(leitura do PSM falhou)"},
        {"read error",
         [](LinkRig& r) { r.link->didReadPsm(std::make_exception_ptr(BleError("x")), std::nullopt); },
         "(leitura do PSM falhou)"},
        {"refused", [](LinkRig& r) { r.link->didOpenChannel(nullptr, UniqueFd(), 0x81); },
         "(L2CAP recusado: sem detalhe)"},
        {"5 s", [](LinkRig& r) { r.queue->advance(5); }, "(L2CAP não abriu em 5 s)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkRig rig;
        rig.toCharacteristics();
        c.play(rig);
        if (c.logged.empty()) rig.link->didOpenChannel(nullptr, UniqueFd(), 0x81);  // refused after all
        rig.queue->advance(6);  // the timer is cancelled or fires into a no-op
        const auto calls = rig.peripheral->takeCalls();
        if (c.logged.empty()) {
            EXPECT_EQ(calls, (std::vector<std::string>{"characteristics", "psm", "l2cap 4097", "notify"}));
        } else {
            EXPECT_EQ(std::count(calls.begin(), calls.end(), "notify"), 1);
            EXPECT_NE(logText().find("usando o cano GATT " + c.logged), std::string::npos);
        }
    }
    LinkRig noPsm;
    noPsm.toCharacteristics(false);
    EXPECT_EQ(noPsm.peripheral->takeCalls(), (std::vector<std::string>{"characteristics", "notify"}));
}

TEST(BleLink, LateChannelAfterTheFallbackIsClosedAndTheLinkStaysOnGatt) {
    LinkRig rig;
    rig.toCharacteristics();
    rig.queue->advance(5);
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

TEST(BleLink, GattWritesGoInChunksOfTheWriteLengthClampedTo20Through512) {
    struct Case {
        std::size_t maxWrite, total;
        std::vector<std::size_t> chunks;
    };
    for (const Case& c : {Case{10, 45, {20, 20, 5}}, Case{4000, 600, {512, 88}},
                          Case{182, 1000, {182, 182, 182, 182, 182, 90}}}) {
        LinkRig rig;
        rig.toCharacteristics(false);
        rig.peripheral->maxWrite = c.maxWrite;
        rig.link->write(Bytes(c.total, 1));
        std::vector<std::size_t> sizes;
        for (const Bytes& w : rig.peripheral->writes)
            sizes.push_back(w.size());
        EXPECT_EQ(sizes, c.chunks) << c.maxWrite;
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
    try {
        writer.get();
        FAIL();
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::timedOut);
    }
}

TEST(BleLink, FirstFailureStaysAndBufferedBytesOutliveTheClose) {
    LinkRig rig;
    rig.toCharacteristics(false);
    rig.link->didNotify(Bytes{9, 8, 7});
    EXPECT_EQ(rig.link->readExactly(0), Bytes{});
    rig.link->fail(std::make_exception_ptr(CXPError::protocolError("características Bluetooth ausentes")));
    rig.link->disconnected(nullptr);
    EXPECT_EQ(rig.link->readExactly(3), (Bytes{9, 8, 7}));
    EXPECT_EQ(
        failureText(rig.link->waitUntilReady(1e9)),
        failureText(std::make_exception_ptr(CXPError::protocolError("características Bluetooth ausentes"))));
    EXPECT_THROW(rig.link->write(Bytes(1)), CXPError);

    LinkRig quiet;
    quiet.link->disconnected(nullptr);
    try {
        quiet.link->readExactly(1);
        FAIL();
    } catch (const CXPError& e) {
        EXPECT_EQ(e.kind(), CXPError::Kind::closed);
    }
}

TEST(BleTransport, ConnectWaitsEightToTwelveSecondsAndEveryFailureCancels) {
    test::FakeRadio radio;
    auto queue = std::make_shared<ManualExecutor>();
    ManualExecutor main;
    BleCentral central{radio, queue, main};
    central.start();
    queue->runPending();
    auto peripheral = radio.add(central, "T1");
    for (const auto& [timeout, wait] : std::vector<std::pair<double, double>>{{3, 8}, {10, 10}, {30, 12}}) {
        BleTransport transport(central, "T1", *queue);
        const auto before = queue->pendingCount();
        auto connecting = std::async(std::launch::async, [&] { transport.connect(timeout); });
        while (queue->pendingCount() == before)  // the open is posted once the deadline is fixed
            std::this_thread::yield();
        queue->runPending();
        queue->advance(wait - 0.01);
        peripheral->takeCalls();
        queue->advance(0.02);
        EXPECT_THROW(connecting.get(), CXPError) << timeout;
        queue->runPending();
        EXPECT_EQ(peripheral->takeCalls(), std::vector<std::string>{"cancel"}) << timeout;
        transport.close();
        transport.close();
        queue->runPending();
    }
    radio.state_ = RadioState::poweredOff;
    BleTransport off(central, "T1", *queue);
    auto connecting = std::async(std::launch::async, [&] { off.connect(30); });
    while (connecting.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        queue->runPending();  // fails without the clock moving at all
    EXPECT_THROW(connecting.get(), CXPError);
}

}  // namespace
}  // namespace velmora
