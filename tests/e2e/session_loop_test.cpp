// The working life of a session: records from the phone reach the delegate by channel, limits per
// channel end the session, sends reach the phone, and close() ends the loop from any thread.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

#include "core/protocol/control_json.h"
#include "core/protocol/cxp_error.h"
#include "support/memory_peer_store.h"
#include "support/recording_delegate.h"
#include "support/session_harness.h"
#include "support/software_identity.h"

namespace velmora {
namespace {

using nlohmann::json;
using Kind = SessionEvent::Kind;

// A control message of exactly `size` bytes.
Bytes controlOfSize(std::size_t size) {
    const std::string head = R"({"t":"big","p":")";
    return encodeJSON(json::parse(head + std::string(size - head.size() - 2, 'x') + "\"}"));
}

const PhoneRecord marker{0, encodeJSON({{"t", "marker"}})};

// A session opened with a known phone that sends `records` as soon as it stands, and its loop running on
// a thread of its own.
class RunningSession {
  public:
    explicit RunningSession(std::vector<PhoneRecord> records, bool hangUp = false,
                            std::vector<Bytes> wire = {}, LinkKind link = LinkKind::socketPair) {
        PhoneConfig config;
        config.afterReady = std::move(records);
        config.hangUpAfterRecords = hangUp;
        config.wireAfterRecords = std::move(wire);
        phone.setConfig(config);
        OpenOptions options;
        options.link = link;
        attempt = openSession(phone, computer, store, options);
        if (!attempt.session) throw std::runtime_error("opening failed: " + attempt.errorText());
        openedAt = attempt.session->lastRx();
    }
    ~RunningSession() {
        stop();
        if (attempt.phone.valid()) attempt.phone.wait();
    }

    void start() {
        loop = std::thread([this] { attempt.session->run(delegate); });
        loopId = loop.get_id();
    }
    // Closes the session (if not yet) and waits for the loop and the phone.
    PhoneOutcome stop() {
        attempt.session->close();
        if (loop.joinable()) loop.join();
        return attempt.phone.valid() ? attempt.phone.get() : PhoneOutcome{};
    }
    LinkSession& session() { return *attempt.session; }

    SimulatedPhone phone;
    SoftwareIdentity computer{"Estação", "mac"};
    MemoryPeerStore store;
    OpenAttempt attempt;
    RecordingDelegate delegate;
    std::thread loop;
    std::thread::id loopId;
    double openedAt = 0;
};

std::vector<Kind> kinds(const std::vector<SessionEvent>& events) {
    std::vector<Kind> out;
    for (const auto& e : events)
        out.push_back(e.kind);
    return out;
}

// Later caps replace the earlier ones on the session; every caps message reaches the delegate too.
TEST(SessionLoop, DeliversEachChannelInArrivalOrderOnTheLoopThread) {
    const json caps = {{"t", "caps"}, {"mirror", true}};
    const json laterCaps = {{"t", "caps"}, {"mirror", false}};
    RunningSession s({{0, encodeJSON(caps)},
                      {1, {1, 2, 3}},
                      {2, {4}},
                      {3, encodeJSON({{"t", "in.tap"}})},
                      {4, {0, 0, 0, 7, 9}},
                      {9, {1}},
                      {255, {2}},
                      {0, encodeJSON({{"t", "notif"}})},
                      {0, encodeJSON(laterCaps)}});
    s.start();
    ASSERT_TRUE(s.delegate.waitForEvents(6));
    s.stop();

    const auto events = s.delegate.events();
    EXPECT_EQ(kinds(events), (std::vector<Kind>{Kind::control, Kind::video, Kind::audio, Kind::file,
                                                Kind::control, Kind::control, Kind::close}));
    EXPECT_EQ(events[0].message, caps);
    EXPECT_EQ(events[1].bytes, (Bytes{1, 2, 3}));
    EXPECT_EQ(events[2].bytes, (Bytes{4}));
    EXPECT_EQ(events[3].bytes, (Bytes{0, 0, 0, 7, 9}));
    EXPECT_EQ(events[4].message.at("t"), "notif");
    EXPECT_EQ(events[5].message, laterCaps);
    EXPECT_FALSE(events[6].error);
    for (const auto& e : events)
        EXPECT_EQ(e.thread, s.loopId);
    EXPECT_EQ(s.session().peerCaps(), laterCaps);
    EXPECT_GE(s.session().lastRx(), s.openedAt);
    EXPECT_TRUE(s.session().closed());
}

struct LimitRow {
    std::uint8_t channel;
    std::size_t size;
    bool endsSession;
    bool delivered;
};

class SessionLoopLimits : public ::testing::TestWithParam<LimitRow> {};

TEST_P(SessionLoopLimits, PayloadOfTheLimitPassesAndOneMoreEndsTheSession) {
    const LimitRow row = GetParam();
    const Bytes payload = row.channel == 0 ? controlOfSize(row.size) : Bytes(row.size, 0x42);
    RunningSession s({{row.channel, payload}, marker});
    s.start();
    if (row.endsSession) {
        ASSERT_TRUE(s.delegate.waitForClose());
        EXPECT_EQ(s.delegate.closeError(),
                  "protocolError: registro grande demais para o canal " + std::to_string(row.channel));
        EXPECT_EQ(kinds(s.delegate.events()), std::vector<Kind>{Kind::close});
        EXPECT_TRUE(s.session().closed());
    } else {
        ASSERT_TRUE(s.delegate.waitForEvents(row.delivered ? 2 : 1));
        const auto events = s.delegate.events();
        EXPECT_EQ(events.back().message.value("t", ""), "marker");
        if (row.delivered) {
            const std::size_t got =
                row.channel == 0 ? encodeJSON(events[0].message).size() : events[0].bytes.size();
            EXPECT_EQ(got, row.size);
        }
        EXPECT_FALSE(s.session().closed());
    }
    s.stop();
    EXPECT_EQ(s.delegate.closeCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, SessionLoopLimits,
    ::testing::Values(LimitRow{0, 2097152, false, true}, LimitRow{0, 2097153, true, false},
                      LimitRow{1, 4194303, false, true}, LimitRow{2, 262144, false, true},
                      LimitRow{2, 262145, true, false}, LimitRow{3, 65536, false, false},
                      LimitRow{3, 65537, true, false}, LimitRow{4, 262144, false, true},
                      LimitRow{4, 262145, true, false}, LimitRow{9, 4194303, false, false}),
    [](const auto& info) {
        return "Channel" + std::to_string(info.param.channel) + "Size" + std::to_string(info.param.size);
    });

TEST(SessionLoop, AControlMessageTheDecoderRefusesEndsTheSessionWithItsError) {
    const std::pair<Bytes, std::string> rows[] = {
        {Bytes{'[', ']'}, "protocolError: mensagem inválida (JSON)"},
        {Bytes(17, '{'), "protocolError: JSON aninhado demais"},
        {[] {
             std::string wide = "{\"a\":[0";
             for (int i = 0; i < 50001; ++i)
                 wide += ",0";
             wide += "]}";
             return Bytes(wide.begin(), wide.end());
         }(),
         "protocolError: JSON com elementos demais"},
    };
    for (const auto& [payload, error] : rows) {
        RunningSession s({{0, payload}, marker});
        s.start();
        ASSERT_TRUE(s.delegate.waitForClose());
        EXPECT_EQ(s.delegate.closeError(), error);
        // No bad control message is skipped: the marker after it never arrives.
        EXPECT_EQ(kinds(s.delegate.events()), std::vector<Kind>{Kind::close});
        s.stop();
    }
}

// Records the channel itself refuses, and the phone hanging up, end the session with the channel's error.
TEST(SessionLoop, ForgedOrOverlongRecordsOrAHangUpEndTheSessionWithTheChannelsError) {
    const auto lengthPrefix = [](std::uint32_t n) {
        return Bytes{static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                     static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    };
    Bytes forged = lengthPrefix(40);
    forged.resize(44, 0x5A);
    const std::tuple<std::vector<Bytes>, bool, std::string> rows[] = {
        {{forged}, false, "protocolError: falha de autenticação do registro"},
        {{lengthPrefix(4194321)}, false, "protocolError: registro inválido: 4194321"},
        {{lengthPrefix(16)}, false, "protocolError: registro inválido: 16"},
        {{}, true, "closed"},
    };
    for (const auto& [wire, hangUp, error] : rows) {
        SCOPED_TRACE(error);
        RunningSession s({marker}, hangUp, wire);
        s.start();
        ASSERT_TRUE(s.delegate.waitForClose());
        EXPECT_EQ(s.delegate.closeError(), error);
        EXPECT_EQ(kinds(s.delegate.events()), (std::vector<Kind>{Kind::control, Kind::close}));
        EXPECT_TRUE(s.session().closed());
        s.stop();
    }
}

TEST(SessionLoop, CloseFromAnotherThreadEndsAWaitingLoopQuietlyAndIsReportedOnce) {
    RunningSession s({marker});
    s.start();
    ASSERT_TRUE(s.delegate.waitForEvents(1));
    std::vector<std::thread> closers;
    for (int i = 0; i < 4; ++i)
        closers.emplace_back([&] { s.session().close(); });
    for (auto& t : closers)
        t.join();
    ASSERT_TRUE(s.delegate.waitForClose());
    s.stop();
    EXPECT_EQ(s.delegate.closeCount(), 1);
    EXPECT_EQ(s.delegate.closeError(), std::nullopt);
    EXPECT_TRUE(s.session().closed());
}

TEST(SessionLoop, ACloseFromTheDelegateEndsTheLoopQuietlyBeforeTheNextRecord) {
    Bytes forged{0, 0, 0, 40};
    forged.resize(44, 0x5A);
    RunningSession s({marker}, false, {forged});
    s.delegate.onControl = [](LinkSession& session, const nlohmann::json&) { session.close(); };
    s.start();
    ASSERT_TRUE(s.delegate.waitForClose());
    EXPECT_EQ(s.delegate.closeError(), std::nullopt);
    EXPECT_EQ(kinds(s.delegate.events()), (std::vector<Kind>{Kind::control, Kind::close}));
    s.stop();
}

TEST(SessionLoop, RunOnASessionClosedBeforehandReadsNothingAndReportsAtOnce) {
    RunningSession s({marker});
    s.session().close();
    s.session().run(s.delegate);
    EXPECT_EQ(kinds(s.delegate.events()), std::vector<Kind>{Kind::close});
    EXPECT_EQ(s.delegate.closeError(), std::nullopt);
    // A second run neither receives nor reports again.
    s.session().run(s.delegate);
    EXPECT_EQ(s.delegate.closeCount(), 1);
    // The transport was closed, so the phone's side ends too.
    EXPECT_EQ(s.stop().error, "");
}

TEST(SessionSends, EachSendReachesThePhoneOnItsChannel) {
    RunningSession s({});
    s.start();
    s.session().sendFileChunk(1, Bytes{0xAA, 0xBB, 0xCC});
    s.session().sendInput({{"t", "in.tap"}, {"x", 10}});
    s.session().sendControl({{"t", "clip"}, {"text", "olá"}});
    s.session().sendFileChunk(0xFFFFFFFEu, {});
    const PhoneOutcome phone = s.stop();
    ASSERT_EQ(phone.records.size(), 3u);
    EXPECT_EQ(phone.records[0], (Frame{4, Bytes{0, 0, 0, 1, 0xAA, 0xBB, 0xCC}}));
    EXPECT_EQ(phone.records[1].channel, 3);
    EXPECT_EQ(json::parse(phone.records[1].payload), (json{{"t", "in.tap"}, {"x", 10}}));
    EXPECT_EQ(phone.records[2], (Frame{4, Bytes{0xFF, 0xFF, 0xFF, 0xFE}}));
    ASSERT_EQ(phone.received.size(), 1u);
    EXPECT_EQ(phone.received[0].at("text"), "olá");
}

// The phone holds the computer to the same per-channel limits on receipt: a record of exactly its channel's
// limit arrives, one byte more ends the session on the phone's side.
TEST(SessionSends, ThePhoneRefusesARecordOverItsChannelsLimit) {
    const auto inputOfSize = [](std::size_t size) { return json::parse(controlOfSize(size)); };
    struct Row {
        std::uint8_t channel;
        std::size_t limit;
        std::function<void(LinkSession&, std::size_t)> send;
    };
    const Row rows[] = {
        {4, 262144, [](LinkSession& l, std::size_t n) { l.sendFileChunk(7, Bytes(n - 4, 0x42)); }},
        {3, 65536, [&](LinkSession& l, std::size_t n) { l.sendInput(inputOfSize(n)); }},
    };
    for (const Row& row : rows) {
        RunningSession s({});
        s.start();
        row.send(s.session(), row.limit);
        row.send(s.session(), row.limit + 1);
        // The phone hangs up, which ends the computer's loop.
        ASSERT_TRUE(s.delegate.waitForClose());
        const PhoneOutcome phone = s.stop();
        EXPECT_EQ(phone.error, "registro grande demais para o canal " + std::to_string(row.channel));
        ASSERT_EQ(phone.records.size(), 1u);
        EXPECT_EQ(phone.records[0].channel, row.channel);
        EXPECT_EQ(phone.records[0].payload.size(), row.limit);
    }
}

class SessionSendsOverEachLink : public ::testing::TestWithParam<LinkKind> {};

TEST_P(SessionSendsOverEachLink, ControlMessagesBothWaysFromManyThreadsWhileTheLoopRuns) {
    RunningSession s({{0, encodeJSON({{"t", "status"}, {"battery", 80}})}}, false, {}, GetParam());
    s.start();
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                s.session().sendControl({{"t", "ping"}, {"seq", t * 1000 + i}});
        });
    }
    for (auto& t : senders)
        t.join();
    ASSERT_TRUE(s.delegate.waitForEvents(1 + kThreads * kEach));
    const PhoneOutcome phone = s.stop();

    std::set<int> sent;
    for (const auto& m : phone.received)
        sent.insert(m.at("seq").get<int>());
    EXPECT_EQ(sent.size(), static_cast<std::size_t>(kThreads * kEach));
    std::set<int> answered;
    for (const auto& e : s.delegate.events()) {
        if (e.kind == Kind::control && e.message.at("t") == "pong")
            answered.insert(e.message.at("seq").get<int>());
    }
    EXPECT_EQ(answered, sent);
    EXPECT_EQ(s.delegate.events()[0].message.at("t"), "status");
}

INSTANTIATE_TEST_SUITE_P(Links, SessionSendsOverEachLink,
                         ::testing::Values(LinkKind::socketPair, LinkKind::loopbackTcp),
                         [](const auto& info) { return linkName(info.param); });

TEST(SessionSends, ASendAfterCloseFailsWithTheChannelsError) {
    RunningSession s({});
    s.start();
    s.stop();
    EXPECT_ANY_THROW(s.session().sendControl({{"t", "ping"}}));
    EXPECT_ANY_THROW(s.session().sendFileChunk(1, Bytes{1}));
}

}  // namespace
}  // namespace velmora
