// A phone's GATT pipe through the Qt layer and the BlueZ stand-in: the L2CAP open fails on this computer (no
// Bluetooth sockets, or no such phone) and the link falls over to GATT; notifications on tx arrive; writes
// to rx go through BlueZ's write socket, whose far end the test holds as the adapter would, or with response
// where BlueZ refuses the lock. The central runs on its real queue; the test's thread runs Qt's events while
// workers block in the transport.

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <QDBusUnixFileDescriptor>
#include <deque>
#include <future>
#include <mutex>

#include "app/links/ble/ble_transport.h"
#include "app/links/ble/qt/qt_ble_radio.h"
#include "ble/fake_radio.h"
#include "ble/stepped_clock.h"
#include "bluez_stand_in.h"
#include "core/discovery/pairing_beacon.h"
#include "core/exec/serial_queue.h"
#include "core/log/velmora_log.h"
#include "support/temp_dir.h"

namespace velmora {
namespace test {
extern BluezStandIn* standIn;
}
namespace {

using test::pumpUntil;

const char* const phone = "6A:10:20:30:40:50";
constexpr std::size_t payload = 182;  // the stand-in's MTU 185 less the ATT header

template <class T>
bool ready(const std::future<T>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// The stand-in with a fresh adapter and the phone in range; BlueZ's write lock hands out the socket whose
// other end `adapter` the test reads as the adapter would. Set up before the radio reads the adapter.
struct StandInStage {
    explicit StandInStage(bool writeLock) {
        bluez.call("SetAdapter", {false});
        bluez.call("SetAdapter", {true});
        bluez.call("SetPsm", {qint16(0x0081)});
        bluez.call("AnswerWrites", {true});
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
        adapter = UniqueFd(fds[0]);
        const UniqueFd bluezEnd(fds[1]);
        if (writeLock) {
            bluez.call("SetWriteSocket", {QVariant::fromValue(QDBusUnixFileDescriptor(bluezEnd.get()))});
        } else {
            bluez.call("RefuseWriteLock");
        }
        bluez.call("AddPhone",
                   {phone, test::BluezStandIn::bytes(PairingBeacon::bleServiceData(Bytes(8, 9), false))});
    }
    test::BluezStandIn& bluez = *test::standIn;
    UniqueFd adapter;
};

// Connected over GATT once made.
struct GattStory : StandInStage {
    explicit GattStory(bool writeLock = true) : StandInStage(writeLock) {
        radio->setCentral(&central);
        central.start();
        auto connect = std::async(std::launch::async, [this] { transport->connect(10); });
        EXPECT_TRUE(pumpUntil([&] { return ready(connect); }));
        connect.get();
    }
    ~GattStory() {
        // A worker still blocked in the transport (a failed story) wakes with the close; `workers` then
        // joins.
        if (transport) transport->close();
        queue->sync([] {});
        radio->setCentral(nullptr);
    }
    // Runs `work` on a worker that the story joins when it ends, after closing the transport.
    std::future<void>& spawn(std::function<void()> work) {
        return workers.emplace_back(std::async(std::launch::async, std::move(work)));
    }
    // Runs Qt's events until `f` is ready; its value.
    template <class T>
    T await(std::future<T>& f) {
        if (!pumpUntil([&] { return ready(f); })) {
            ADD_FAILURE() << "a worker stayed blocked in the transport";
            transport->close();  // it wakes with the close instead of holding the story for ever
        }
        return f.get();
    }
    // Every packet the adapter end holds now.
    std::vector<Bytes> packets() {
        std::vector<Bytes> got;
        Bytes packet(4096);
        for (;;) {
            const ssize_t n = ::recv(adapter.get(), packet.data(), packet.size(), MSG_DONTWAIT);
            if (n < 0) return got;
            got.emplace_back(packet.begin(), packet.begin() + n);
        }
    }
    std::size_t queuedBytes() const {
        int bytes = 0;
        ::ioctl(adapter.get(), SIOCINQ, &bytes);
        return std::size_t(bytes);
    }

    test::SteppedClock clock;
    std::unique_ptr<QtBleRadio> radio = std::make_unique<QtBleRadio>();
    std::shared_ptr<SerialQueue> queue = std::make_shared<SerialQueue>("tessel.ble");
    ManualExecutor main;
    BleCentral central{*radio, queue, main, [q = queue](const Executor::Task& t) { q->sync(t); }};
    std::unique_ptr<BleTransport> transport = std::make_unique<BleTransport>(central, phone, clock);
    std::deque<std::future<void>> workers;  // last: joined before anything they use goes
};

std::string logText() {
    return VelmoraLog::flush(), test::readFile(VelmoraLog::file());
}

TEST(QtBleGatt, L2capFailsOverToGattThenNotificationsAndWritesFlowInPacketsOfTheMtu) {
    GattStory story;
    EXPECT_EQ(story.transport->mode(), "gatt");
    EXPECT_NE(logText().find("Bluetooth: usando o cano GATT (L2CAP recusado: "), std::string::npos);
    EXPECT_TRUE(story.bluez.takeCalls().contains("StartNotify"));

    auto read = std::async(std::launch::async, [&] { return story.transport->readExactly(7); });
    story.bluez.call("Notify", {phone, QByteArray("abc")});
    story.bluez.call("Notify", {phone, QByteArray("defgh")});
    EXPECT_EQ(story.await(read), (Bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g'}));

    Bytes data(1000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7);
    auto& write = story.spawn([&] { story.transport->write(data); });
    story.await(write);
    const auto packets = story.packets();
    std::vector<std::size_t> sizes;
    Bytes joined;
    for (const Bytes& p : packets) {
        sizes.push_back(p.size());
        joined.insert(joined.end(), p.begin(), p.end());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{182, 182, 182, 182, 182, 90}));
    EXPECT_EQ(joined, data);
}

// 5 MiB in 4 KiB records, as the session writes a file, one record at a time; the adapter reads as fast as it
// can. The queue below the writer stays a few packets deep, and a ping asked for mid-transfer goes out after
// at most the record being written and that queue.
TEST(QtBleGatt, FiveMegabyteTransferKeepsAShortQueueAndAPingOvertakesTheRest) {
    GattStory story;
    constexpr std::size_t total = 5 << 20, record = 4096;
    const Bytes ping(16, 0xEE);  // the bulk bytes stay under 0x80
    std::mutex records;          // one record on the transport at a time
    std::atomic<bool> pingAsked = false, pingSent = false, stop = false;

    auto bulk = std::async(std::launch::async, [&] {
        Bytes chunk(record);
        for (std::size_t sent = 0; sent < total; sent += record) {
            while (pingAsked && !pingSent)
                std::this_thread::yield();  // the ping's turn comes first
            for (std::size_t i = 0; i < record; ++i)
                chunk[i] = std::uint8_t((sent + i) % 127);
            std::lock_guard lock(records);
            story.transport->write(chunk);
        }
    });
    auto pinger = std::async(std::launch::async, [&] {
        while (!pingAsked)
            std::this_thread::yield();
        std::lock_guard lock(records);
        story.transport->write(ping);
        pingSent = true;
    });
    std::size_t got = 0, askedAt = 0, pingAt = 0, deepest = 0;
    bool intact = true;
    Bytes packet(4096);
    auto adapter = std::async(std::launch::async, [&] {
        while (got < total + ping.size()) {
            deepest = std::max(deepest, story.queuedBytes());
            pollfd readable{story.adapter.get(), POLLIN, 0};
            if (::poll(&readable, 1, 100) <= 0) {
                if (stop) return;
                continue;
            }
            const ssize_t n = ::recv(story.adapter.get(), packet.data(), packet.size(), 0);
            if (n <= 0) return;
            for (ssize_t i = 0; i < n; ++i) {
                if (packet[i] == 0xEE) {
                    if (pingAt == 0) pingAt = got + 1;
                } else if (packet[i] != (got - (pingAt ? ping.size() : 0)) % 127) {
                    intact = false;
                }
                ++got;
            }
            if (!pingAsked && got >= (1 << 20) + 1000) {  // mid-record
                askedAt = got;
                pingAsked = true;
            }
        }
    });
    // Whatever fails below, no worker is left waiting: the writers' transport closes, the adapter stops.
    struct StopAll {
        std::atomic<bool>& stop;
        BleTransport& transport;
        ~StopAll() {
            stop = true;
            transport.close();
        }
    } stopAll{stop, *story.transport};
    story.await(bulk);
    story.await(pinger);
    stop = true;  // every byte is in the socket now: the adapter reads it all, then finds it empty and ends
    story.await(adapter);
    const double queued = double(deepest) / payload;
    const std::size_t lag = pingAt - 1 - askedAt;
    std::printf(
        "[ GATT     ] 5 MiB: at most %zu bytes (%.0f packets of %zu) queued below the writer; the ping "
        "went out %zu bytes (%.1f packets) after it was asked, within one %zu-byte record\n",
        deepest, queued, payload, lag, double(lag) / payload, record);
    EXPECT_EQ(got, total + ping.size());
    EXPECT_TRUE(intact);
    EXPECT_LE(queued, 48.0);
    EXPECT_LE(lag, record + deepest + payload);
}

// BlueZ stops taking writes: the writer waits while the socket is full and gives up 20 s (on the link's
// clock) after its call began, not before.
TEST(QtBleGatt, WriteGivesUpTwentySecondsAfterBluezStopsTakingWrites) {
    GattStory story;
    auto& write = story.spawn([&] { story.transport->write(Bytes(64 * 1024, 1)); });
    ASSERT_TRUE(test::lookedTwice(story.clock, [] { QCoreApplication::processEvents(); }));
    const std::size_t stuck = story.queuedBytes();
    std::printf(
        "[ GATT     ] the adapter taking nothing: %zu bytes (%zu packets) queued, the writer waiting\n",
        stuck, stuck / payload);
    EXPECT_LE(stuck / payload, 48u);
    story.clock.at = 100.0 + BleLink::gattWriteDeadline - 0.1;
    ASSERT_TRUE(test::lookedTwice(story.clock, [] { QCoreApplication::processEvents(); }));
    EXPECT_FALSE(ready(write));
    EXPECT_EQ(story.queuedBytes(), stuck) << "nothing more went out while the adapter took nothing";
    story.clock.at = 100.0 + BleLink::gattWriteDeadline + 0.1;
    ASSERT_TRUE(pumpUntil([&] { return ready(write); }));
    EXPECT_EQ(test::caught([&] { write.get(); }).kind(), CXPError::Kind::timedOut);
}

// Without BlueZ's write lock each chunk goes with response, the next only once the phone answered.
TEST(QtBleGatt, WithoutTheWriteLockEachChunkWaitsForTheAnswerToThePrevious) {
    GattStory story(false);
    EXPECT_EQ(story.transport->mode(), "gatt");
    story.bluez.call("AnswerWrites", {false});
    auto& write = story.spawn([&] { story.transport->write(Bytes(500, 3)); });
    QByteArray written;
    QStringList kinds;
    auto take = [&] {
        const auto answer = story.bluez.call("TakeWritten");
        written += answer.value(0).toByteArray();
        kinds += answer.value(1).toStringList();
    };
    ASSERT_TRUE(pumpUntil([&] { return take(), !written.isEmpty(); }));
    ASSERT_TRUE(test::lookedTwice(story.clock, [] { QCoreApplication::processEvents(); }));
    take();
    EXPECT_EQ(written.size(), qsizetype(payload)) << "a second chunk went before the first was answered";
    story.bluez.call("AnswerWrites", {true});
    story.await(write);  // the last chunk is handed over; it reaches BlueZ soon after
    EXPECT_TRUE(pumpUntil([&] { return take(), written.size() >= 500; }));
    EXPECT_EQ(written, QByteArray(500, 3));
    EXPECT_EQ(kinds, (QStringList{"request", "request", "request"}));
}

// The phone keeps notifying while the transport is closed and dropped on a worker: the peripheral's Qt half
// goes on the Qt thread after the cancel it was asked for, and no report reaches a link that is gone.
TEST(QtBleGatt, TransportDroppedOnAWorkerWhileNotificationsArriveEndsCleanly) {
    GattStory story;
    for (int i = 0; i < 50; ++i)
        story.bluez.call("Notify", {phone, QByteArray(100, char(i))});
    auto drop = std::async(std::launch::async, [&] {
        story.transport->close();
        story.queue->sync([] {});  // the central has let go of the link
        story.transport.reset();   // the link and the peripheral's half on this side go here
    });
    story.await(drop);
    EXPECT_TRUE(pumpUntil([&] { return story.bluez.takeCalls().contains("Disconnect"); }));
    for (int i = 0; i < 5; ++i)
        story.bluez.call("Notify", {phone, QByteArray(10, 'x')});
    QCoreApplication::processEvents();
    story.queue->sync([] {});
}

}  // namespace
}  // namespace velmora
