// The connection half as the user lives it, over loopback TCP against the simulated phone, with the
// model's clock in the test's hands.
#include <gtest/gtest.h>

#include "app/model/app_version.h"
#include "core/l10n/l10n.h"
#include "support/model_harness.h"

namespace velmora {
namespace {

using test::ModelHarness;
using Kind = ConnState::Kind;

TEST(ConnectionStory, KnownPhoneOnTheCableIsReachedOnItsOwnAndTheUserDisconnects) {
    ModelHarness h;
    h.pairBothSides();
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil(Kind::connected));
    EXPECT_EQ(model.state().state, ConnState::connected("Celular Simulado"));
    EXPECT_EQ(transportTitle(model.state()), L10n::string("conn.usb.title"));
    std::vector<nlohmann::json> got;  // the control messages the phone received, in order
    ASSERT_TRUE(h.pumpUntil([&] {
        got.clear();
        for (const std::string& entry : h.journal->all())
            if (entry.starts_with("phone ")) got.push_back(nlohmann::json::parse(entry.substr(6)));
        return got.size() >= 3;
    }));
    EXPECT_EQ(nlohmann::json({got[0]["t"], got[1]["t"], got[2]["t"]}),
              nlohmann::json({"caps", "notif.filter", "apps.get"}));
    const nlohmann::json& caps = got[0];
    EXPECT_EQ(caps["v"], 2);
    EXPECT_EQ(caps["model"], "Mac");
    EXPECT_EQ(caps["name"], "Estação");
    EXPECT_EQ(caps["features"], nlohmann::json({"clip", "files", "notif", "notif.filter", "mirror", "input",
                                                "net.offer", "pair.cr1"}));
    EXPECT_EQ(caps["appVersion"], AppVersion::version());
    EXPECT_GT(caps["appBuild"].get<std::int64_t>(), 0);
    EXPECT_NE(h.log().find("conectado a Celular Simulado via tcp (novo=false)"), std::string::npos);

    h.advance(AppModel::heartbeatInterval);  // the first tick pings; the pong gives the round trip
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().rttMs.has_value(); }));
    model.disconnect();
    ASSERT_TRUE(h.pumpUntil(Kind::idle));
    EXPECT_FALSE(model.state().rttMs);
    h.advance(60);
    EXPECT_EQ(h.journal->count("server.accepted"), 1) << "no reconnect after the user's disconnect";
    EXPECT_FALSE(model.state().phoneLost);
}

// Every TCP attempt, planned or typed, leaves the connection's states in the log a user sends: how far it
// got, and why it failed when the phone refused.
TEST(ConnectionStory, EveryTcpAttemptWritesTheConnectionsStatesToTheLog) {
    for (const std::string row : {"typed", "planned", "refused"}) {
        SCOPED_TRACE(row);
        ModelHarness h;
        h.pairBothSides();
        AppModel& model = h.start();
        if (row == "refused") h.hangUp();
        if (row == "planned") {
            h.plugInCable();
        } else {
            model.connectManual("127.0.0.1");
        }
        ASSERT_TRUE(h.pumpUntil(row == "refused" ? Kind::idle : Kind::connected));
        const std::string log = h.log();
        const auto at = [&](const std::string& line) { return log.find("conexão de rede: " + line); };
        ASSERT_NE(at("preparing"), std::string::npos);
        if (row == "refused") {
            EXPECT_NE(at("waiting(erro de rede ECONNREFUSED"), std::string::npos);
            EXPECT_EQ(at("ready"), std::string::npos);
            continue;
        }
        ASSERT_NE(at("ready"), std::string::npos);
        EXPECT_LT(at("preparing"), at("ready"));
        EXPECT_LT(at("ready"), log.find("conectado a Celular Simulado via tcp"));
    }
}

TEST(ConnectionStory, AnAutomaticAttemptNeverPairsANewPhone) {
    ModelHarness h;  // neither side knows the other
    AppModel& model = h.start();
    h.plugInCable();
    ASSERT_TRUE(h.pumpUntil([&] { return model.state().lastError.has_value(); }));
    EXPECT_EQ(model.state().state, ConnState::idle());
    for (const std::string& entry : h.journal->all())
        EXPECT_FALSE(entry.starts_with("prompt.shown")) << entry;
    EXPECT_NE(h.log().find("aparelho desconhecido numa conexão automática: fechando sem enviar a identidade"),
              std::string::npos);
}

// Table: the user's answer to the code.
TEST(ConnectionStory, AUserInitiatedPairingShowsTheCodeAndFollowsTheAnswer) {
    for (const bool accept : {true, false}) {
        SCOPED_TRACE(accept);
        ModelHarness h;
        AppModel& model = h.start();
        model.connect(h.userConnect());
        const std::string shown = h.journal->waitFor("prompt.shown ");
        EXPECT_TRUE(shown.starts_with("prompt.shown Celular Simulado ")) << shown;
        h.advance(30);  // the watchdog leaves a handshake alone while the code shows
        EXPECT_EQ(model.state().state.kind(), Kind::connecting);
        h.prompt->answer(accept);
        ASSERT_TRUE(h.pumpUntil([&] { return model.state().state.kind() != Kind::connecting; }));
        EXPECT_EQ(model.state().state.kind(), accept ? Kind::connected : Kind::idle);
        EXPECT_EQ(model.state().paired.size(), accept ? 1u : 0u);
    }
}

}  // namespace
}  // namespace velmora
