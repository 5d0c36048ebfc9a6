// The working life of a session: records from the phone reach the delegate by channel, limits per
// channel end the session, sends reach the phone, and close() ends the loop from any thread.

#include <gtest/gtest.h>

#include <thread>

#include "core/protocol/control_json.h"
#include "core/session/session_runner.h"
#include "support/session_harness.h"

namespace velmora {
namespace {

using nlohmann::json;
using Story = std::vector<std::string>;

// A control message of exactly `size` bytes.
Bytes controlOfSize(std::size_t size) {
    const std::string head = R"({"t":"big","p":")";
    return encodeJSON(json::parse(head + std::string(size - head.size() - 2, 'x') + "\"}"));
}

const std::string kMarkerLine = R"({"t":"marker"})";
const Frame kMarker{Ch::control, Bytes(kMarkerLine.begin(), kMarkerLine.end())};

// A session opened (by pairing) with a phone that sends `records` as soon as it stands and then hangs up
// if asked to, its loop running on a thread of its own.
struct RunningSession {
    explicit RunningSession(std::vector<Frame> records, bool hangUp = false,
                            std::function<void(LinkSession&, const json&)> onControl = {}) {
        phone.setConfig({.afterReady = std::move(records), .hangUpAfterRecords = hangUp});
        attempt = openSession(phone, computer, store);
        if (!attempt.session) throw std::runtime_error("opening failed: " + attempt.errorText());
        delegate.onControl = std::move(onControl);
        loop = std::thread([this] { attempt.session->run(delegate); });
    }
    ~RunningSession() { stop(); }

    // Closes the session (if not yet) and waits for the loop and the phone.
    PhoneOutcome stop() {
        attempt.session->close();
        if (loop.joinable()) loop.join();
        return attempt.finish();
    }
    LinkSession& session() { return *attempt.session; }

    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    OpenAttempt attempt;
    RecordingDelegate delegate;
    std::thread loop;
};

// Channels 3, 9 and 255 carry nothing for the computer; a later "caps" replaces the earlier one.
TEST(SessionLoop, DeliversEachChannelInArrivalOrderOnTheLoopThread) {
    const json caps = {{"t", "caps"}, {"mirror", true}};
    const json laterCaps = {{"t", "caps"}, {"mirror", false}};
    RunningSession s({{0, encodeJSON(caps)},
                      {1, {1, 2, 3}},
                      {2, {4}},
                      {3, encodeJSON({{"t", "in.tap"}})},
                      {4, {0, 0, 0, 7, 0xF9}},
                      {9, {1}},
                      {255, {2}},
                      {0, encodeJSON({{"t", "notif"}})},
                      {0, encodeJSON(laterCaps)}});
    const std::thread::id loop = s.loop.get_id();
    ASSERT_TRUE(s.delegate.waitForEvents(6));
    s.stop();
    EXPECT_EQ(s.delegate.story(), (Story{caps.dump(), "video 010203", "audio 04", "file 00000007f9",
                                         R"({"t":"notif"})", laterCaps.dump(), "close"}));
    EXPECT_EQ(s.delegate.threads(), std::vector<std::thread::id>(7, loop));
    EXPECT_EQ(s.session().peerCaps(), laterCaps);
}

// One record then the marker, and the phone hangs up: a record of its channel's limit is reported (or
// dropped where the computer expects nothing) and the marker follows; one byte more ends the session before
// the marker, as does a control message the decoder refuses.
struct RecordRow {
    const char* what;
    Frame record;
    std::string seen;  // the record's report; the close's when it ends the session; "" when dropped
};

std::string tooLarge(int channel) {
    return "close: protocolError: registro grande demais para o canal " + std::to_string(channel);
}

const std::vector<RecordRow>& recordRows() {
    static const std::vector<RecordRow> rows = {
        {"Control2097152", {0, controlOfSize(2097152)}, "control 2097152 bytes"},
        {"Control2097153", {0, controlOfSize(2097153)}, tooLarge(0)},
        {"ControlNotAnObject", {0, Bytes{'[', ']'}}, "close: protocolError: mensagem inválida (JSON)"},
        {"Video4194303", {1, Bytes(4194303, 1)}, "video 4194303 bytes"},
        {"Audio262144", {2, Bytes(262144, 2)}, "audio 262144 bytes"},
        {"Audio262145", {2, Bytes(262145, 2)}, tooLarge(2)},
        {"Input65536", {3, Bytes(65536, 3)}, ""},
        {"Input65537", {3, Bytes(65537, 3)}, tooLarge(3)},
        {"File262144", {4, Bytes(262144, 4)}, "file 262144 bytes"},
        {"File262145", {4, Bytes(262145, 4)}, tooLarge(4)},
    };
    return rows;
}

class SessionLoopRecords : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SessionLoopRecords, EndTheSessionOnlyOverTheirChannelsLimit) {
    const RecordRow& row = recordRows()[GetParam()];
    RunningSession s({row.record, kMarker}, true);
    ASSERT_TRUE(s.delegate.waitForClose());
    Story expected =
        row.seen.starts_with("close") ? Story{row.seen} : Story{row.seen, kMarkerLine, "close: closed"};
    std::erase(expected, "");
    EXPECT_EQ(s.delegate.story(), expected);
    EXPECT_TRUE(s.session().closed());
}

INSTANTIATE_TEST_SUITE_P(Rows, SessionLoopRecords, ::testing::Range<std::size_t>(0, recordRows().size()),
                         [](const auto& info) { return std::string(recordRows()[info.param].what); });

// A second run afterwards neither receives nor reports.
TEST(SessionLoop, CloseFromSeveralThreadsEndsAWaitingLoopQuietlyAndIsReportedOnce) {
    RunningSession s({kMarker});
    ASSERT_TRUE(s.delegate.waitForEvents(1));
    std::vector<std::thread> closers;
    for (int i = 0; i < 4; ++i)
        closers.emplace_back([&] { s.session().close(); });
    for (auto& t : closers)
        t.join();
    ASSERT_TRUE(s.delegate.waitForClose());
    s.stop();
    s.session().run(s.delegate);
    EXPECT_EQ(s.delegate.story(), (Story{kMarkerLine, "close"}));
}

TEST(SessionLoop, ACloseFromTheDelegateEndsTheLoopQuietlyBeforeTheNextRecord) {
    RunningSession s({kMarker, kMarker}, false, [](LinkSession& session, const json&) { session.close(); });
    ASSERT_TRUE(s.delegate.waitForClose());
    EXPECT_EQ(s.delegate.story(), (Story{kMarkerLine, "close"}));
}

// The computer's end of the link, telling when the last owner of the session has let it go.
struct WatchedEnd final : Transport {
    WatchedEnd(std::shared_ptr<Transport> end, std::shared_ptr<std::promise<void>> promise)
        : inner(std::move(end)), gone(std::move(promise)) {}
    ~WatchedEnd() override { gone->set_value(); }
    Bytes readExactly(std::size_t n) override { return inner->readExactly(n); }
    void write(ByteView data) override { inner->write(data); }
    void close() noexcept override { inner->close(); }
    std::shared_ptr<Transport> inner;
    std::shared_ptr<std::promise<void>> gone;
};

// A delegate that drops the runner when told of the close, on the loop thread, as a model may.
struct DroppingDelegate : RecordingDelegate {
    void sessionDidClose(LinkSession& session, std::exception_ptr error) override {
        RecordingDelegate::sessionDidClose(session, error);
        take();
    }
    std::unique_ptr<SessionRunner> take() {
        std::lock_guard lock(mutex);
        return std::move(runner);
    }
    std::mutex mutex;  // guards runner
    std::unique_ptr<SessionRunner> runner;
};

// Whether the runner is dropped by the close report on its own thread or by its owner while the loop
// waits, the session outlives its loop (ASan and TSan watch this) and is gone once the loop has ended.
TEST(SessionRunner, DroppedInItsCloseReportOrWhileWaitingItNeverDestroysARunningLoop) {
    for (const bool phoneHangsUp : {true, false}) {
        SimulatedPhone phone({.afterReady = {kMarker}, .hangUpAfterRecords = phoneHangsUp});
        SoftwareIdentity computer{"Estação", "mac"};
        MemoryPeerStore store;
        auto gone = std::make_shared<std::promise<void>>();
        auto goneFuture = gone->get_future();
        OpenAttempt a = openSession(phone, computer, store, {.wrap = [&](LinkEnds& ends) {
                                        ends.computer = std::make_shared<WatchedEnd>(ends.computer, gone);
                                    }});
        ASSERT_TRUE(a.session) << a.errorText();
        a.computerEnd.reset();
        DroppingDelegate delegate;
        {
            std::lock_guard lock(delegate.mutex);
            delegate.runner = std::make_unique<SessionRunner>(std::move(a.session), delegate);
        }
        ASSERT_TRUE(delegate.waitForEvents(phoneHangsUp ? 2 : 1));
        if (!phoneHangsUp) delegate.take();  // joins the waiting loop, so the session is gone at once
        EXPECT_EQ(goneFuture.wait_for(phoneHangsUp ? std::chrono::seconds(120) : std::chrono::seconds(0)),
                  std::future_status::ready);
        EXPECT_EQ(delegate.story(),
                  (phoneHangsUp ? Story{kMarkerLine, "close: closed"} : Story{kMarkerLine}));
        a.finish();
    }
}

// The phone holds the computer to the same per-channel limits: a record of exactly its channel's limit
// arrives, one byte more ends the session on the phone's side.
// Work that hops threads names its session by serial: a freed session's address comes back for the next
// one (the allocator reuses it), its serial never does.
TEST(SessionSerial, EachSessionHasItsOwnEvenWhereTheAddressIsReused) {
    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    std::vector<std::pair<const LinkSession*, std::uint64_t>> seen;
    for (int i = 0; i < 6; ++i) {
        OpenAttempt attempt = openSession(phone, computer, store);
        ASSERT_TRUE(attempt.session) << attempt.errorText();
        seen.emplace_back(attempt.session.get(), attempt.session->serial());
        attempt.session.reset();
        attempt.finish();
    }
    for (std::size_t i = 1; i < seen.size(); ++i)
        EXPECT_GT(seen[i].second, seen[i - 1].second) << "whatever the address";
}

TEST(SessionSends, EachSendReachesThePhoneOnItsChannelWithinItsLimit) {
    RunningSession s({});
    s.session().sendFileChunk(1, Bytes{0xAA, 0xBB, 0xCC});
    s.session().sendInput({{"t", "in.tap"}, {"x", 10}});
    s.session().sendControl({{"t", "clip"}, {"text", "olá"}});
    s.session().sendFileChunk(0xFFFFFFFEu, {});
    s.session().sendFileChunk(7, Bytes(262140, 0x42));
    // A block of a file as one run of records: 64 KiB each, the last one what remains.
    Bytes block(300000);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(i * 11 + (i >> 12));
    s.session().sendFileChunks(9, block, 65536);
    s.session().sendInput(json::parse(controlOfSize(65536)));
    s.session().sendInput(json::parse(controlOfSize(65537)));
    // The phone hangs up, which ends the computer's loop.
    ASSERT_TRUE(s.delegate.waitForClose());
    const PhoneOutcome phone = s.stop();
    EXPECT_EQ(phone.error, "registro grande demais para o canal 3");
    EXPECT_EQ(phone.received, std::vector<json>{json({{"t", "clip"}, {"text", "olá"}})});
    ASSERT_EQ(phone.records.size(), 10u);
    EXPECT_EQ(phone.records[0], (Frame{4, Bytes{0, 0, 0, 1, 0xAA, 0xBB, 0xCC}}));
    EXPECT_EQ(phone.records[1], (Frame{3, encodeJSON({{"t", "in.tap"}, {"x", 10}})}));
    EXPECT_EQ(phone.records[2], (Frame{4, Bytes{0xFF, 0xFF, 0xFF, 0xFE}}));
    EXPECT_EQ(phone.records[3].payload.size(), 262144u);
    for (std::size_t i = 0, at = 0; i < 5; ++i, at += 65536) {
        const std::size_t n = std::min<std::size_t>(65536, block.size() - at);
        Bytes expected(4 + n);
        expected[3] = 9;  // the transfer id, big-endian, then the block's next bytes
        std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(at), n, expected.begin() + 4);
        EXPECT_EQ(phone.records[4 + i], (Frame{4, expected})) << "record " << i << " of the block";
    }
    EXPECT_EQ(phone.records[9], (Frame{3, controlOfSize(65536)}));
}

}  // namespace
}  // namespace velmora
